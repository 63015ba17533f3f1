// The fire through what it shows and what it captures, with fixture flame textures drawn through
// a fixture palette: a band whose columns are told apart by their green (so the strip's sampled
// columns can be read back), and a striped band that makes the rising picture uneven.
#include "FeedbackFixture.h"

#include "TestSupport.h"

#include "audio/AudioService.h"
#include "gfx/Loaders.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <cmath>

namespace {

constexpr int kLastFrame = 600;

// Entries 1 ... 255: red 63, green rising with the entry (a column ramp).
std::vector<FeedbackSceneTest::Rgb6> RampPalette() {
  std::vector<FeedbackSceneTest::Rgb6> entries(256, {0, 0, 0});
  for (int i = 1; i < 256; ++i) entries[i] = {63, static_cast<uint8_t>(i * 63 / 255), 20};
  return entries;
}

class FireSceneTest : public FeedbackSceneTest {
 protected:
  void SetUp() override {
    FeedbackSceneTest::SetUp();
    WritePalette("fire.pal", RampPalette());
    WriteColumnBand();
  }
  // Rows 120 ... 152 (the strip samples 128 ... 144) hold entry 1 + x: green tells the column.
  // Everything else is black.
  void WriteColumnBand() {
    WriteIndexedCel("fire.cel", 256, [](int x, int y) {
      return static_cast<uint8_t>(y >= 120 && y <= 152 ? std::min(1 + x, 255) : 0);
    });
  }
  // The same band cut into 12-texel flames with black between them.
  void WriteStripedBand() {
    WriteIndexedCel("fire.cel", 256, [](int x, int y) {
      return static_cast<uint8_t>(y >= 120 && y <= 152 && (x / 12) % 2 == 0 ? std::min(1 + x, 255) : 0);
    });
  }
};

// Column of the band shown by a green value.
double ColumnOf(uint16_t p) { return FeedbackSceneTest::Green(p) - 1.0; }

// The shown picture predicted from the previous capture: the working area's rows 0 ... height
// stretched over the screen (bilinear), scaled by the fade; the green channel, summed.
struct Prediction {
  double shown = 0.0;      // sum of the shown green
  double predicted = 0.0;  // sum of the predicted green at full fade
  double error = 0.0;      // sum of |shown - predicted x fade| at the fitted fade
};

double BilinearGreen(const std::vector<uint16_t>& capture, double s, double t) {
  const double u = s - 0.5, v = t - 0.5;
  const int u0 = static_cast<int>(std::floor(u)), v0 = static_cast<int>(std::floor(v));
  const double fu = u - u0, fv = v - v0;
  auto g = [&](int x, int y) {
    return static_cast<double>(FeedbackSceneTest::Green(FeedbackSceneTest::CapturedAt(capture, x & 255, y & 255)));
  };
  return (g(u0, v0) * (1 - fu) + g(u0 + 1, v0) * fu) * (1 - fv) + (g(u0, v0 + 1) * (1 - fu) + g(u0 + 1, v0 + 1) * fu) * fv;
}

Prediction Predict(const std::vector<uint16_t>& shown, const std::vector<uint16_t>& capture, double height) {
  Prediction p;
  std::vector<double> predicted(640 * 480);
  for (int y = 0; y < 479; ++y) {
    for (int x = 0; x < 639; ++x) {
      const double g = BilinearGreen(capture, (x + 0.5) * 255.0 / 639.0, (y + 0.5) * height / 479.0);
      predicted[y * 640 + x] = g;
      p.predicted += g;
      p.shown += FeedbackSceneTest::Green(FeedbackSceneTest::At(shown, x, y));
    }
  }
  const double scale = p.predicted > 0.0 ? p.shown / p.predicted : 0.0;
  for (int y = 0; y < 479; ++y)
    for (int x = 0; x < 639; ++x)
      p.error += std::abs(FeedbackSceneTest::Green(FeedbackSceneTest::At(shown, x, y)) - scale * predicted[y * 640 + x]);
  p.error /= 639.0 * 479.0;
  return p;
}

int FireFade(int n) { return n < 255 ? n : std::min(kLastFrame - n, 255); }

TEST_F(FireSceneTest, FadeFollowsEveryFrameHoldsAndFallsAndTheSceneShows601Frames) {
  WriteStripedBand();
  FireInit();
  const uint64_t swapsBefore = platform::FrameCount();
  std::vector<uint16_t> previous = Captured(FireFeedbackState());
  for (int n = 0; n <= kLastFrame; ++n) {
    ASSERT_EQ(FireFrame(), n == kLastFrame ? 1 : 0) << "frame " << n;
    const std::vector<uint16_t> shown = ShownFrame();
    if (n == 0 || n == kLastFrame) {
      EXPECT_TRUE(AllBlack(shown)) << "frame " << n;
    }
    if (n >= 24 && n < kLastFrame - 2) {
      // The shown picture is the previous capture x (fade + 1) / 256.
      const Prediction p = Predict(shown, previous, 200.0);
      const double fade = 256.0 * p.shown / p.predicted - 1.0;
      EXPECT_NEAR(fade, FireFade(n), 0.6) << "frame " << n;
    }
    previous = Captured(FireFeedbackState());
  }
  EXPECT_EQ(platform::FrameCount() - swapsBefore, 601u);
  EXPECT_EQ(FireFrame(), 1);
}

// Rows 0 ... 200 fill the screen: the predicted picture with that height fits the shown one far
// better than the whole working area would.
TEST_F(FireSceneTest, DisplayShowsTheWorkingRowsZeroToTwoHundredOnly) {
  WriteStripedBand();
  FireInit();
  std::vector<uint16_t> previous;
  for (int n = 0; n <= 300; ++n) {
    if (n == 300) previous = Captured(FireFeedbackState());
    ASSERT_EQ(FireFrame(), 0);
  }
  const std::vector<uint16_t> shown = ShownFrame();
  const Prediction right = Predict(shown, previous, 200.0);
  const Prediction whole = Predict(shown, previous, 255.0);
  EXPECT_LT(right.error, 2.0);
  EXPECT_GT(whole.error, 3.0 * right.error);
  // The strip (rows 245 ... 255, the brightest of the working area) is not on the screen.
  int bottomLit = 0;
  for (int x = 0; x < 256; ++x) bottomLit += CapturedAt(previous, x, 250) != 0;
  EXPECT_GT(bottomLit, 100);
}

// The strip samples the band at columns 32 + 32 cos(100 A) on its left and 192 + 32 sin(100 B)
// on its right, opaque, a different band every frame.
TEST_F(FireSceneTest, StripSamplesTheBandAtTheHundredfoldAnglesOpaque) {
  FireInit();
  int jumps = 0;
  double lastLeft = -1.0;
  for (int n = 0; n < 200; ++n) {
    const PhasePair phases = FireFeedbackState().phases;
    ASSERT_EQ(FireFrame(), 0);
    const std::vector<uint16_t> capture = Captured(FireFeedbackState());
    const float a = 100.0f * phases.first, b = 100.0f * phases.second;
    const double left = 32.0 + 32.0 * std::cos(a), right = 192.0 + 32.0 * std::sin(b);
    // On the strip's top row the column runs from the left value to the right one.
    for (int x : {8, 64, 128, 192, 247}) {
      const double expected = left + (right - left) * (x + 0.5) / 255.0;
      EXPECT_NEAR(ColumnOf(CapturedAt(capture, x, 245)), expected, 7.0) << "frame " << n << ", x " << x;
    }
    // Opaque: full red whatever lay below.
    EXPECT_GE(Red(CapturedAt(capture, 128, 250)), 248) << "frame " << n;
    if (lastLeft >= 0.0 && std::abs(left - lastLeft) > 16.0) ++jumps;
    lastLeft = left;
  }
  EXPECT_GT(jumps, 50) << "the band jumps from frame to frame";
}

// On the first frame only the strip is drawn; on the next its copy has risen by five rows at the
// bottom, and the rows below the feedback quad (251 ... 255) are the strip's own.
TEST_F(FireSceneTest, StripRisesFiveRowsAtTheBottom) {
  FireInit();
  ASSERT_EQ(FireFrame(), 0);
  const std::vector<uint16_t> first = Captured(FireFeedbackState());
  auto topLitRow = [](const std::vector<uint16_t>& capture, int x) {
    for (int y = 0; y < kWorkingSide; ++y)
      if (CapturedAt(capture, x, y) != 0) return y;
    return kWorkingSide;
  };
  for (int x : {10, 100, 200, 250}) {
    EXPECT_EQ(topLitRow(first, x), 245) << x;
    EXPECT_NE(CapturedAt(first, x, 255), 0) << x;
  }
  ASSERT_EQ(FireFrame(), 0);
  const std::vector<uint16_t> second = Captured(FireFeedbackState());
  // Pixel row y shows texel row 1 + (y + 0.5) x 254 / 250: row 240 is the first to reach the
  // old strip's top row 245.
  for (int x : {10, 100, 200, 250}) EXPECT_EQ(topLitRow(second, x), 240) << x;
}

TEST_F(FireSceneTest, StartsNoSoundOfItsOwn) {
  MusicPlayHandle = 7;
  FireInit();
  EXPECT_EQ(Log(), "start:fire\n");
  EXPECT_EQ(MusicPlayHandle, 7u);
  MusicPlayHandle = 0;
}

class FireBrokenDataTest : public FireSceneTest, public ::testing::WithParamInterface<int> {
 protected:
  // 0: missing, 1: truncated to half, 2: garbage of a size no loader takes.
  void BreakFile(const std::string& name) {
    const std::string bytes = testsupport::ReadFile(dir_ / name);
    if (GetParam() == 0) {
      Remove(name);
      return;
    }
    std::vector<uint8_t> whole(bytes.begin(), bytes.end());
    whole.resize(GetParam() == 1 ? whole.size() / 2 : 501);
    if (GetParam() == 2) {
      for (size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<uint8_t>(i * 91 + 7);
    }
    WriteBytes(name, whole);
  }
};

TEST_P(FireBrokenDataTest, BrokenFlameTextureEndsTheSceneAtItsFirstFrame) {
  BreakFile("fire.cel");
  FireInit();
  EXPECT_EQ(Log(), "start:fire\n");
  const uint64_t swaps = platform::FrameCount();
  EXPECT_EQ(FireFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), swaps) << "nothing drawn or swapped";
}

TEST_P(FireBrokenDataTest, BrokenPaletteKeepsThePaletteInForce) {
  WritePalette("before.pal", {{0, 0, 0}, {10, 50, 30}});
  LoadPalette("before.pal");
  const std::vector<FxU32> before(CurrentPalette, CurrentPalette + 256);
  BreakFile("fire.pal");
  FireInit();
  EXPECT_EQ(std::vector<FxU32>(CurrentPalette, CurrentPalette + 256), before);
  EXPECT_EQ(FireFrame(), 0);
}

INSTANTIATE_TEST_SUITE_P(MissingTruncatedGarbage, FireBrokenDataTest, ::testing::Values(0, 1, 2));

TEST_F(FireSceneTest, RefusedCaptureBufferEndsTheSceneAtItsFirstFrame) {
  const CaptureAllocator kept = AllocateCaptureBuffer;
  AllocateCaptureBuffer = [] { return std::unique_ptr<uint16_t[]>(); };
  FireInit();
  AllocateCaptureBuffer = kept;
  const uint64_t swaps = platform::FrameCount();
  EXPECT_EQ(FireFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), swaps);
}

}  // namespace
