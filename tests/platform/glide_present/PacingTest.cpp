// Swap pacing: the retrace grid itself (pure), and swaps through PresentFrame really waiting for
// it, or not at all when the swap interval (or FX_GLIDE_SWAPINTERVAL) is 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "Pacer.h"
#include "Presentation.h"
#include "platform/FrameClock.h"

namespace {

using Clock = glide::SwapPacer::Clock;
using std::chrono::duration_cast;
using std::chrono::microseconds;

class RetraceGrid : public testing::Test {
 protected:
  Clock::time_point At(double periods) const {
    return origin_ + duration_cast<Clock::duration>(std::chrono::duration<double>(periods / 60.0));
  }
  // Distance from the expected retrace, in microseconds (the period is not a whole number of ns).
  int64_t Off(Clock::time_point actual, double periods) const {
    return std::llabs(duration_cast<microseconds>(actual - At(periods)).count());
  }
  Clock::time_point origin_ = Clock::now();
  glide::SwapPacer pacer_{60, origin_, glide::Pacing::kBoard};
  glide::SwapPacer keepUp_{60, origin_};
};

TEST_F(RetraceGrid, TheBoardsFirstSwapWaitsForTheNextRetraceAndAKeptUpOneShowsAtOnce) {
  EXPECT_LE(Off(pacer_.RetraceFor(At(0.3), 1), 1), 1);
  EXPECT_LE(Off(pacer_.RetraceFor(At(1.0), 1), 2), 1) << "exactly on a retrace: the next one";
  EXPECT_LE(Off(keepUp_.RetraceFor(At(0.3), 1), 0.3), 1);
}

TEST_F(RetraceGrid, OnTheBoardIntervalsCountRetracesSinceTheLastSwapAndStallsDoNotBurst) {
  pacer_.NoteSwap(At(1));
  EXPECT_LE(Off(pacer_.RetraceFor(At(1.1), 1), 2), 1);
  EXPECT_LE(Off(pacer_.RetraceFor(At(1.1), 2), 3), 1);
  EXPECT_LE(Off(pacer_.RetraceFor(At(1.1), 3), 4), 1);
  EXPECT_LE(Off(pacer_.RetraceFor(At(2.5), 2), 3), 1) << "late, but two retraces since the swap are still ahead";
  // A stall of many retraces: the next swap takes the next retrace on the same grid, no catch-up.
  EXPECT_LE(Off(pacer_.RetraceFor(At(10.5), 1), 11), 1);
  pacer_.NoteSwap(At(11));
  EXPECT_LE(Off(pacer_.RetraceFor(At(11.2), 1), 12), 1);

  glide::SwapPacer fast(120, origin_, glide::Pacing::kBoard);
  EXPECT_LE(Off(fast.RetraceFor(At(0.3), 1), 0.5), 1) << "120 Hz retraces come twice per 60 Hz period";
}

TEST_F(RetraceGrid, KeptUpLateSwapsShowAtOnceUntilThePictureIsBackOnItsSlots) {
  keepUp_.NoteSwap(At(1));
  EXPECT_LE(Off(keepUp_.RetraceFor(At(1.1), 1), 2), 1) << "on time: waits for its slot";
  EXPECT_LE(Off(keepUp_.RetraceFor(At(1.1), 3), 4), 1);
  // Three retraces lost in a frame drawn from 1 to 4.5: shown at once, and the slots stay on the
  // grid from the last swap, so the next swaps do not wait until they are back on it.
  glide::SwapPacer::Swap late = keepUp_.Plan(At(4.5), 1);
  EXPECT_LE(Off(late.slot, 2), 1);
  EXPECT_LE(Off(late.shown, 4.5), 1);
  double now = 4.5;
  for (int slot = 2; slot <= 7; ++slot, now += 0.4) {
    keepUp_.NoteSwap(At(slot));
    late = keepUp_.Plan(At(now + 0.4), 1);
    if (slot < 6) {
      EXPECT_LE(Off(late.slot, slot + 1), 1);
      EXPECT_LE(Off(late.shown, now + 0.4), 1) << "still behind after slot " << slot;
    } else {
      EXPECT_LE(Off(late.shown, slot + 1), 1) << "caught up: waits for slot " << slot + 1;
    }
  }
  EXPECT_EQ(keepUp_.Due(At(0), 2), keepUp_.Plan(At(0), 2).slot) << "the swap log's due time is the slot";
  // More than a second behind: a new grid from the next retrace, not a second of racing.
  keepUp_.NoteSwap(At(10));
  late = keepUp_.Plan(At(80.5), 1);
  EXPECT_LE(Off(late.slot, 81), 1);
  EXPECT_LE(Off(late.shown, 81), 1);
  // Exactly on a retrace, on time: waits for the next one.
  keepUp_.NoteSwap(At(90));
  EXPECT_LE(Off(keepUp_.RetraceFor(At(90), 1), 91), 1);
}

class LiveSwaps : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("FX_GLIDE_SWAPINTERVAL");
    unsetenv("SST_SCREENREFRESH");
    setenv("GLIDE_PRESENT", "none", 1);
    platform::ResetFrameClock();
  }
  void TearDown() override {
    glide::ClosePresentation();
    unsetenv("FX_GLIDE_SWAPINTERVAL");
    unsetenv("GLIDE_PRESENT");
  }
  // Seconds taken by `swaps` swaps with `interval` on a freshly opened 16 x 8 display.
  double TimeSwaps(int swaps, int interval) {
    EXPECT_TRUE(glide::OpenPresentation(16, 8));
    std::vector<uint16_t> frame(16 * 8, 0x1234);
    const auto start = Clock::now();
    for (int i = 0; i < swaps; ++i) glide::PresentFrame(frame.data(), 16, interval);
    return std::chrono::duration<double>(Clock::now() - start).count();
  }
};

// Lower bounds are exact (a retrace cannot come early); upper bounds only catch "not paced
// at all" or "paced at a wrong multiple" on a busy machine.
TEST_F(LiveSwaps, IntervalOneShowsOneFramePerRetrace) {
  const double seconds = TimeSwaps(12, 1);
  EXPECT_GE(seconds, 11 / 60.0 - 0.002);
  EXPECT_LT(seconds, 1.0);
  EXPECT_EQ(platform::FrameCount(), 12u);
}

TEST_F(LiveSwaps, IntervalZeroAndTheOverrideSwapAtOnce) {
  EXPECT_LT(TimeSwaps(60, 0), 0.5) << "60 paced swaps would take a second";
  EXPECT_EQ(platform::FrameCount(), 60u);
  glide::ClosePresentation();
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  EXPECT_LT(TimeSwaps(60, 1), 0.5);
  glide::ClosePresentation();
  setenv("FX_GLIDE_SWAPINTERVAL", "-4", 1);
  EXPECT_LT(TimeSwaps(60, 1), 0.5) << "a negative override means 0";
  EXPECT_EQ(platform::FrameCount(), 180u);
}

TEST_F(LiveSwaps, OverrideOfTwoHalvesTheRate) {
  setenv("FX_GLIDE_SWAPINTERVAL", "2", 1);
  const double seconds = TimeSwaps(6, 1);
  EXPECT_GE(seconds, 10 / 60.0 - 0.002) << "two retraces per swap after the first";
}

TEST_F(LiveSwaps, RefreshRateChangesTheGrid) {
  setenv("SST_SCREENREFRESH", "120", 1);
  const double seconds = TimeSwaps(48, 1);
  unsetenv("SST_SCREENREFRESH");
  EXPECT_GE(seconds, 47 / 120.0 - 0.002);
  EXPECT_LT(seconds, 0.6) << "48 swaps at 60 Hz would take 0.78 s";
}

TEST_F(LiveSwaps, SwapsBeforeTheDisplayOpensArePacedAndCounted) {
  glide::ClosePresentation();
  const auto start = Clock::now();
  for (int i = 0; i < 3; ++i) glide::PresentFrame(nullptr, 16, 1);
  EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 2 / 60.0 - 0.002);
  EXPECT_EQ(platform::FrameCount(), 3u);
}

}  // namespace
