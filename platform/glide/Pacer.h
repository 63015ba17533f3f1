// Swap pacing: the retraces of a display refreshing at a fixed rate, on an absolute grid that
// starts when the display opens. A swap with interval n takes effect at the first retrace that
// is at least n retraces after the previous swap and not in the past, as the SST-1's swap
// command does (glide-notes 11.2); waiting for it sleeps, never spins.
#pragma once

#include <chrono>
#include <cstdint>

namespace glide {

class SwapPacer {
 public:
  using Clock = std::chrono::steady_clock;

  SwapPacer(int rateHz, Clock::time_point origin);

  // The retrace at which a swap with `interval` (>= 1) issued at `now` is shown. Pure.
  Clock::time_point RetraceFor(Clock::time_point now, int interval) const;

  // Sleeps until RetraceFor(now, interval) and records it as the last swap. Returns that time.
  Clock::time_point WaitForSwap(int interval);

  // Records a swap shown at `when` without waiting (unpaced swaps, or swaps paced by vsync).
  void NoteSwap(Clock::time_point when) { lastSwap_ = when; haveSwap_ = true; }

  // Whether a swap shown at `now` came within half a retrace period of the previous one, which
  // a retrace-synchronised present cannot do.
  bool TooSoon(Clock::time_point now) const { return haveSwap_ && now - lastSwap_ < period_ / 2; }

  Clock::duration Period() const { return period_; }
  Clock::time_point Origin() const { return origin_; }

  // When a swap with `interval` (>= 1) is due if the program keeps up: `interval` retraces after
  // the previous swap, or the first retrace for the first swap.
  Clock::time_point Due(int interval) const {
    return haveSwap_ ? lastSwap_ + interval * period_ : origin_ + period_;
  }

 private:
  Clock::time_point origin_;
  Clock::duration period_;
  Clock::time_point lastSwap_{};
  bool haveSwap_ = false;
};

}  // namespace glide
