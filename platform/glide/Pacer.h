// Swap pacing: the retraces of a display refreshing at a fixed rate, on an absolute grid that
// starts when the display opens; waiting for a retrace sleeps, never spins. Two ways to meet a
// swap that comes late:
// - kBoard, as the SST-1's swap command does (glide-notes 11.2): a swap with interval n takes
//   effect at the first retrace that is at least n retraces after the previous swap and not in
//   the past, so every lost retrace puts the picture one more frame behind the sound for good.
// - kKeepUp (the default): every swap has its own slot, n retraces after the previous swap's
//   slot. A swap that misses its slot is shown at once and the next ones come as soon as they
//   are drawn until the picture is back on its slots, so the frame clock stays with the sound
//   (which plays on in real time) over the whole run. The first swap shows at once and the
//   slots count from it. After a stall of more than a second (the process was stopped, the
//   machine suspended) a new grid starts from the late swap instead.
#pragma once

#include <chrono>
#include <cstdint>

namespace glide {

enum class Pacing { kKeepUp, kBoard };

class SwapPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // How far behind its slot a swap may be and still be caught up with.
  static constexpr std::chrono::seconds kLongestCatchUp{1};

  SwapPacer(int rateHz, Clock::time_point origin, Pacing pacing = Pacing::kKeepUp);

  // A swap with `interval` (>= 1) issued at `now`: its slot, and when it is shown (the slot, or
  // `now` when a swap kept up with is late). Pure.
  struct Swap {
    Clock::time_point slot;
    Clock::time_point shown;
  };
  Swap Plan(Clock::time_point now, int interval) const;

  // When a swap with `interval` issued at `now` is shown. Pure.
  Clock::time_point RetraceFor(Clock::time_point now, int interval) const { return Plan(now, interval).shown; }

  // Sleeps until the swap is shown (Plan) and records it. Returns when it is shown.
  Clock::time_point WaitForSwap(int interval);

  // Records a swap shown at `when` without waiting (unpaced swaps, or swaps paced by vsync).
  void NoteSwap(Clock::time_point when) {
    lastSlot_ = when;
    haveSwap_ = true;
  }

  // Whether a swap shown at `now` came within half a retrace period of the previous one's slot,
  // which a retrace-synchronised present cannot do.
  bool TooSoon(Clock::time_point now) const { return haveSwap_ && now - lastSlot_ < period_ / 2; }

  Clock::duration Period() const { return period_; }
  Clock::time_point Origin() const { return origin_; }

  // When a swap with `interval` (>= 1) issued at `now` is due if the program keeps up:
  // `interval` retraces after the previous swap's slot; the first swap at the first retrace on
  // the board, at once when kept up with.
  Clock::time_point Due(Clock::time_point now, int interval) const {
    if (haveSwap_) return lastSlot_ + interval * period_;
    return pacing_ == Pacing::kBoard ? origin_ + period_ : now;
  }

 private:
  Clock::time_point FirstRetraceAfter(Clock::time_point now) const;

  Clock::time_point origin_;
  Clock::duration period_;
  Pacing pacing_;
  Clock::time_point lastSlot_{};  // the previous swap's slot (on the board, when it was shown)
  bool haveSwap_ = false;
};

}  // namespace glide
