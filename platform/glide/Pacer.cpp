#include "Pacer.h"

#include <cerrno>
#include <ctime>

namespace glide {

SwapPacer::SwapPacer(int rateHz, Clock::time_point origin)
    : origin_(origin),
      period_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rateHz))) {}

SwapPacer::Clock::time_point SwapPacer::RetraceFor(Clock::time_point now, int interval) const {
  // The first retrace strictly after `now`...
  const auto sinceOrigin = now - origin_;
  const int64_t ticks = sinceOrigin.count() < 0 ? 0 : sinceOrigin / period_ + 1;
  Clock::time_point retrace = origin_ + ticks * period_;
  // ...but no earlier than `interval` retraces after the previous swap. After a stall the
  // grid simply moves on: late swaps are never made up with a burst of unpaced ones.
  if (haveSwap_) {
    const Clock::time_point earliest = lastSwap_ + interval * period_;
    if (earliest > retrace) retrace = earliest;
  }
  return retrace;
}

SwapPacer::Clock::time_point SwapPacer::WaitForSwap(int interval) {
  const Clock::time_point retrace = RetraceFor(Clock::now(), interval);
  // An absolute deadline on the monotonic clock (steady_clock's): oversleeping never drifts
  // the grid, and a signal only restarts the same wait.
  const auto sinceEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(retrace.time_since_epoch());
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(sinceEpoch.count() / 1000000000);
  deadline.tv_nsec = static_cast<long>(sinceEpoch.count() % 1000000000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
  NoteSwap(retrace);
  return retrace;
}

}  // namespace glide
