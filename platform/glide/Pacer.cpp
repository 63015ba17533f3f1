#include "Pacer.h"

#include <cerrno>
#include <ctime>

namespace glide {

SwapPacer::SwapPacer(int rateHz, Clock::time_point origin, Pacing pacing)
    : origin_(origin),
      period_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rateHz))),
      pacing_(pacing) {}

SwapPacer::Clock::time_point SwapPacer::FirstRetraceAfter(Clock::time_point now) const {
  const auto sinceOrigin = now - origin_;
  const int64_t ticks = sinceOrigin.count() < 0 ? 0 : sinceOrigin / period_ + 1;
  return origin_ + ticks * period_;
}

SwapPacer::Swap SwapPacer::Plan(Clock::time_point now, int interval) const {
  const Clock::time_point retrace = FirstRetraceAfter(now);
  if (!haveSwap_) {
    // The board's first swap waits for its free-running retrace; kept up with, the first frame
    // shows at once and the slots count from it.
    return pacing_ == Pacing::kBoard ? Swap{retrace, retrace} : Swap{now, now};
  }
  const Clock::time_point slot = lastSlot_ + interval * period_;
  if (pacing_ == Pacing::kBoard) {
    // No earlier than `interval` retraces after the previous swap; after a stall the grid
    // simply moves on.
    const Clock::time_point shown = slot > retrace ? slot : retrace;
    return {shown, shown};
  }
  if (slot > now) return {slot, slot};
  if (now - slot > kLongestCatchUp) return {retrace, retrace};
  return {slot, now};
}

#if !defined(__EMSCRIPTEN__)  // a web page's thread cannot sleep: PacerBrowser.cpp
SwapPacer::Clock::time_point SwapPacer::WaitForSwap(int interval) {
  const Swap swap = Plan(Clock::now(), interval);
  // An absolute deadline on the monotonic clock (steady_clock's): oversleeping never drifts
  // the grid, and a signal only restarts the same wait.
  const auto sinceEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(swap.shown.time_since_epoch());
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(sinceEpoch.count() / 1000000000);
  deadline.tv_nsec = static_cast<long>(sinceEpoch.count() % 1000000000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
  lastSlot_ = swap.slot;
  haveSwap_ = true;
  return swap.shown;
}
#endif

}  // namespace glide
