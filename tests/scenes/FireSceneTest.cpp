// The fire through what it shows and what it captures, with fixture flame textures drawn through
// a fixture palette: a band whose columns are told apart by their green (so the strip's sampled
// columns can be read back), and a striped band that makes the rising picture uneven.
#include "FeedbackFixture.h"

#include "TestSupport.h"

#include "audio/AudioService.h"
#include "gfx/Loaders.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <algorithm>
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

int FireFade(int n) { return n < 255 ? n : std::min(kLastFrame - n, 255); }

// Every shown frame is the capture of the frame before, working rows 0 ... 200 only, scaled by
// the fade of its own frame: the same pixels as the display pass drawn by the test, and not those
// of the fade one step off or of the whole working area.
TEST_F(FireSceneTest, FadeFollowsEveryFrameHoldsAndFallsAndTheSceneShows601Frames) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteStripedBand();
  FireInit();
  const uint64_t swapsBefore = platform::FrameCount();
  std::vector<std::vector<uint16_t>> captures{Captured(FireFeedbackState())};
  std::vector<uint64_t> shown;
  for (int n = 0; n <= kLastFrame; ++n) {
    ASSERT_EQ(FireFrame(), n == kLastFrame ? 1 : 0) << "frame " << n;
    const std::vector<uint16_t> frame = ShownFrame();
    if (n == 0 || n == kLastFrame) {
      EXPECT_TRUE(AllBlack(frame)) << "frame " << n;
    }
    shown.push_back(Hash(frame));
    captures.push_back(Captured(FireFeedbackState()));
  }
  EXPECT_EQ(platform::FrameCount() - swapsBefore, 601u);
  EXPECT_EQ(FireFrame(), 1);

  for (int n = 1; n < kLastFrame; ++n) {
    const float fade = static_cast<float>(FireFade(n));
    const std::vector<uint16_t>& previous = captures[static_cast<size_t>(n)];  // captured by frame n - 1
    ASSERT_EQ(shown[n], Hash(ReferenceDisplay(previous, 200.0f, fade))) << "frame " << n << ", fade " << fade;
    if (n < 40 || n > kLastFrame - 40) continue;  // dim enough that one step of fade may not show
    if (fade < 255.0f) {
      EXPECT_NE(shown[n], Hash(ReferenceDisplay(previous, 200.0f, fade + 1.0f))) << "frame " << n;
    }
    EXPECT_NE(shown[n], Hash(ReferenceDisplay(previous, 200.0f, fade - 1.0f))) << "frame " << n;
    EXPECT_NE(shown[n], Hash(ReferenceDisplay(previous, 255.0f, fade))) << "frame " << n << ": rows 0 ... 200 only";
  }
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
    // Corners top-left, top-right, bottom-right, bottom-left, drawn as triangles (0, 1, 2) and
    // (0, 2, 3); on the strip's second row the column runs from the left corners' to the right ones'.
    const double s0 = 32.0 + 32.0 * std::cos(a), s1 = 192.0 + 32.0 * std::sin(b);
    const double s2 = 192.0 + 32.0 * std::sin(a), s3 = 32.0 + 32.0 * std::cos(b);
    const double left = s0;
    for (int x : {64, 128, 192, 247}) {
      const double u = (x + 0.5) / 255.0, v = (246.5 - 245.0) / 10.0;
      const double expected = v < u ? s0 + (s1 - s0) * u + (s2 - s1) * v : s0 + (s3 - s0) * v + (s2 - s3) * u;
      // Reading a column back loses up to about 10 (6-bit green, texel centres, dithering).
      EXPECT_NEAR(ColumnOf(CapturedAt(capture, x, 246)) + 5.0, expected, 5.0) << "frame " << n << ", x " << x;
    }
    // Opaque: full red whatever lay below.
    EXPECT_GE(Red(CapturedAt(capture, 128, 250)), 240) << "frame " << n;
    if (lastLeft >= 0.0 && std::abs(left - lastLeft) > 16.0) ++jumps;
    lastLeft = left;
  }
  EXPECT_GT(jumps, 50) << "the band jumps from frame to frame";
}

// The strip samples the band's rows at 136 + 8 sin(100 B) on its left corners' diagonal and
// 136 + 8 cos(100 A) on the other, planar over the quad (the gradients of its first triangle,
// corners 0, 1, 2): read back from a band whose rows are told apart by their green.
TEST_F(FireSceneTest, StripSamplesTheBandRowsAtTheHundredfoldAngles) {
  // Rows 108 ... 158 hold entries 1, 6 ... 251: green rises five entries a row.
  WriteIndexedCel("fire.cel", 256, [](int, int y) { return static_cast<uint8_t>(y >= 108 && y <= 158 ? 1 + 5 * (y - 108) : 0); });
  FireInit();
  int checked = 0;
  for (int n = 0; n < 200; ++n) {
    const PhasePair phases = FireFeedbackState().phases;
    ASSERT_EQ(FireFrame(), 0);
    const std::vector<uint16_t> capture = Captured(FireFeedbackState());
    const double a = 100.0 * phases.first, b = 100.0 * phases.second;
    const double t0 = 136.0 + 8.0 * std::sin(b), t1 = 136.0 + 8.0 * std::cos(a), t2 = 136.0 + 8.0 * std::sin(b);
    for (int y : {246, 249, 252}) {
      for (int x : {8, 64, 128, 192, 247}) {
        const double u = (x + 0.5) / 255.0, v = (y + 0.5 - 245.0) / 10.0;
        const double expected = t0 + (t1 - t0) * u + (t2 - t1) * v;
        if (expected < 110.0 || expected > 157.0) continue;  // beyond the band
        // The entry from the 6-bit green (entry i has green i * 63 / 255), the row from the entry
        // (texel row r is centred at r + 0.5). The filter's and the write's truncations lose up
        // to about a row, never gain one.
        const double entry = ((Green(CapturedAt(capture, x, y)) >> 2) + 0.5) * 255.0 / 63.0;
        const double row = 108.5 + (entry - 1.0) / 5.0;
        EXPECT_NEAR(row + 0.5, expected, 1.5) << "frame " << n << " at " << x << ", " << y;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 2500);
}

// The feedback quad's corners sway by a texel at most, each by its own term: -2 - sin A and
// 257 - cos B along the top, -cos A and 255 + sin B along the bottom (A and B the phases the
// frame starts with). The top corners move a picture that its long rise has blurred, too little
// to see, so the quad the frame drew is looked at; the bottom ones show on a band of stripes two
// texels wide: the rows just above the strip, where its fresh copy has risen, follow the quad as
// the scene sways it and not the quad with one bottom term turned the other way or the phases
// swapped.
TEST_F(FireSceneTest, FeedbackQuadSwaysEachCornerByItsOwnTerm) {
  WriteIndexedCel("fire.cel", 256, [](int x, int y) {
    return static_cast<uint8_t>(y >= 120 && y <= 152 && (x / 2) % 2 == 0 ? std::min(1 + x, 255) : 0);
  });
  FireInit();
  struct Sway {
    const char* what;
    double bottom0, bottom1;  // signs: -cos A, 255 + sin B
    bool swapPhases;
  };
  const Sway sways[] = {{"as the scene sways", -1, 1, false},
                        {"bottom left turned", 1, 1, false},
                        {"bottom right turned", -1, -1, false},
                        {"phases swapped", -1, 1, true}};
  std::vector<double> errors(std::size(sways), 0.0);
  std::vector<std::vector<uint16_t>> shown, captured;
  auto fresh = [](int, int y) { return y >= 238 && y <= 244; };
  for (int n = 0; n < 120; ++n) {
    const PhasePair phases = FireFeedbackState().phases;
    ASSERT_EQ(FireFrame(), 0);
    const GrVertex* quad = FireFeedbackState().feedbackQuad;
    EXPECT_FLOAT_EQ(quad[0].tmuvtx[0].sow, -2.0f - std::sin(phases.first)) << "frame " << n;
    EXPECT_FLOAT_EQ(quad[1].tmuvtx[0].sow, 257.0f - std::cos(phases.second)) << "frame " << n;
    EXPECT_FLOAT_EQ(quad[2].tmuvtx[0].sow, -std::cos(phases.first)) << "frame " << n;
    EXPECT_FLOAT_EQ(quad[3].tmuvtx[0].sow, 255.0f + std::sin(phases.second)) << "frame " << n;
    shown.push_back(ShownFrame());
    captured.push_back(Captured(FireFeedbackState()));
    if (n < 2) continue;
    for (size_t k = 0; k < std::size(sways); ++k) {
      const Sway& w = sways[k];
      const double a = w.swapPhases ? phases.second : phases.first, b = w.swapPhases ? phases.first : phases.second;
      const QuadCorner corners[4] = {{0, 0, -2 - std::sin(a), 1, 240},
                                     {255, 0, 257 - std::cos(b), 1, 240},
                                     {0, 250, w.bottom0 * std::cos(a), 255, 255},
                                     {255, 250, 255 + w.bottom1 * std::sin(b), 255, 255}};
      errors[k] += FeedbackError(captured[n - 1], shown[n - 2], captured[n], corners, fresh);
    }
  }
  for (size_t k = 1; k < std::size(sways); ++k) {
    EXPECT_LT(errors[0] * 1.5, errors[k]) << sways[k].what << ": " << errors[k] << " against " << errors[0];
  }
}

// On the first frame only the strip (rows 245 ... 254) is drawn; on the next its copy has risen
// by five rows.
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
    EXPECT_NE(CapturedAt(first, x, 254), 0) << x;
    EXPECT_EQ(CapturedAt(first, x, 255), 0) << x;
  }
  ASSERT_EQ(FireFrame(), 0);
  const std::vector<uint16_t> second = Captured(FireFeedbackState());
  // Pixel row y shows texel row 1 + (y + 0.5) x 254 / 250: row 240 is the first to reach the
  // old strip's top row 245.
  for (int x : {10, 100, 200, 250}) EXPECT_EQ(topLitRow(second, x), 240) << x;
}

// The feedback quad of frame n lays the capture of frame n - 1 over the working area: texture rows
// 1 ... 255 over pixel rows 0 ... 250, its top edge from -2 - sin A to 257 - cos B and its bottom
// edge from -cos A to 255 + sin B, at alpha 240 at the top and 255 at the bottom, over the
// picture shown two frames before. The capture follows that prediction closely, and clearly
// better than the same quad from texture row 0 or at full alpha. (A sway a texel off is within
// what the prediction cannot tell apart.)
TEST_F(FireSceneTest, FeedbackQuadLiftsNarrowsSwaysAndFadesThePreviousCapture) {
  WriteStripedBand();
  FireInit();
  std::vector<std::vector<uint16_t>> shown, captured;
  auto upper = [](int x, int y) { return x < 255 && y < 200; };
  double fitted = 0.0, fromRowZero = 0.0, opaque = 0.0;
  for (int n = 0; n < 300; ++n) {
    const PhasePair phases = FireFeedbackState().phases;
    ASSERT_EQ(FireFrame(), 0);
    shown.push_back(ShownFrame());
    captured.push_back(Captured(FireFeedbackState()));
    if (n < 240) continue;  // until the flames have risen high and show at full fade
    const double a = phases.first, b = phases.second;
    const QuadCorner corners[4] = {{0, 0, -2 - std::sin(a), 1, 240},
                                   {255, 0, 257 - std::cos(b), 1, 240},
                                   {0, 250, -std::cos(a), 255, 255},
                                   {255, 250, 255 + std::sin(b), 255, 255}};
    auto error = [&](const QuadCorner* quad, auto use) {
      return FeedbackError(captured[n - 1], shown[n - 2], captured[n], quad, use);
    };
    const double e = error(corners, upper);
    EXPECT_LT(e, 1.5) << "frame " << n;
    fitted += e;
    QuadCorner other[4];
    std::copy(corners, corners + 4, other);
    other[0].t = other[1].t = 0;
    fromRowZero += error(other, upper);
    std::copy(corners, corners + 4, other);
    other[0].a = other[1].a = 255;
    opaque += error(other, upper);
  }
  EXPECT_LT(fitted * 1.2, fromRowZero);
  EXPECT_LT(fitted * 1.15, opaque);
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
