// The tunnel through what it shows and what it captures, with fixture tiles drawn through a
// fixture palette: a white tile (whose centre saturates, so that the shown centre is the fade
// itself), a quadrant tile (whose corners tell the turning) and a half-black tile (whose black
// half is keyed out).
#include "FeedbackFixture.h"

#include "TestSupport.h"

#include "audio/AudioService.h"
#include "gfx/Loaders.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

constexpr int kLastFrame = 500;

// Palette: 1 white, 2 red, 3 green, 4 blue (6-bit).
const std::vector<FeedbackSceneTest::Rgb6> kFixturePalette = {{0, 0, 0}, {63, 63, 63}, {63, 0, 0}, {0, 63, 0}, {0, 0, 63}};

class TunnelSceneTest : public FeedbackSceneTest {
 protected:
  void SetUp() override {
    FeedbackSceneTest::SetUp();
    WritePalette("tunnel.pal", kFixturePalette);
    WriteIndexedCel("tunnel.cel", 64, [](int, int) { return uint8_t{1}; });
  }
  // Red top-left, green top-right, blue bottom-left, white bottom-right.
  void WriteQuadrantTile() {
    WriteIndexedCel("tunnel.cel", 64, [](int x, int y) {
      static const uint8_t quadrant[4] = {2, 3, 4, 1};
      return quadrant[(x >= 32) + 2 * (y >= 32)];
    });
  }
};

// The fade the tunnel shows at frame n: set on even frames only, rising 0, 2 ... 254, then
// 500 - n from n = 256.
int TunnelFade(int n) {
  const int even = n - n % 2;
  return even < 255 ? even : std::min(kLastFrame - even, 255);
}

// Every shown frame is the capture of the frame before, scaled by the fade of its own frame: the
// same pixels as the display pass drawn by the test with that fade, and not those of the fade one
// step off, nor of a whole working area of 200 rows.
TEST_F(TunnelSceneTest, FadeRisesAndFallsOnEvenFramesAndTheSceneShows501Frames) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteQuadrantTile();
  TunnelInit();
  const uint64_t swapsBefore = platform::FrameCount();
  std::vector<std::vector<uint16_t>> captures{Captured(TunnelFeedbackState())};
  std::vector<uint64_t> shown;
  for (int n = 0; n <= kLastFrame; ++n) {
    ASSERT_EQ(TunnelFrame(), n == kLastFrame ? 1 : 0) << "frame " << n;
    const std::vector<uint16_t> frame = ShownFrame();
    if (n <= 1 || n == kLastFrame) {
      EXPECT_TRUE(AllBlack(frame)) << "frame " << n;
    }
    shown.push_back(Hash(frame));
    captures.push_back(Captured(TunnelFeedbackState()));
  }
  EXPECT_EQ(platform::FrameCount() - swapsBefore, 501u);
  EXPECT_EQ(TunnelFrame(), 1) << "over stays over";

  for (int n = 2; n < kLastFrame; ++n) {
    const int fade = TunnelFade(n);
    const std::vector<uint16_t>& previous = captures[static_cast<size_t>(n)];  // captured by frame n - 1
    ASSERT_EQ(shown[n], Hash(ReferenceDisplay(previous, 255.0f, static_cast<float>(fade))))
        << "frame " << n << ", fade " << fade;
    if (n < 20) continue;  // dim enough that one step of fade may not show
    EXPECT_NE(shown[n], Hash(ReferenceDisplay(previous, 255.0f, static_cast<float>(fade + 1)))) << "frame " << n;
    EXPECT_NE(shown[n], Hash(ReferenceDisplay(previous, 255.0f, static_cast<float>(fade - 1)))) << "frame " << n;
    EXPECT_NE(shown[n], Hash(ReferenceDisplay(captures[static_cast<size_t>(n) + 1], 255.0f, static_cast<float>(fade))))
        << "frame " << n << " shows the capture of the frame before, not its own";
  }
}

// Angle of the direction from the red quadrant's centre of mass to the white one's, measured
// with y divided by the tile's 1.2 stretch, in radians (y down).
struct TileMeasure {
  double cx = 0.0, cy = 0.0;  // centre of mass of every lit pixel, pixel centres at +0.5
  double angle = 0.0;
  int lit = 0;
};

TileMeasure MeasureTile(const std::vector<uint16_t>& capture) {
  TileMeasure m;
  double rx = 0.0, ry = 0.0, wx = 0.0, wy = 0.0, weight = 0.0;
  int reds = 0, whites = 0;
  for (int y = 0; y < kWorkingSide; ++y) {
    for (int x = 0; x < kWorkingSide; ++x) {
      const uint16_t p = FeedbackSceneTest::CapturedAt(capture, x, y);
      if (p == 0) continue;
      const int r = FeedbackSceneTest::Red(p), g = FeedbackSceneTest::Green(p), b = FeedbackSceneTest::Blue(p);
      m.cx += x + 0.5;
      m.cy += y + 0.5;
      weight += 1.0;
      ++m.lit;
      if (r > 40 && g < 8 && b < 8) rx += x + 0.5, ry += y + 0.5, ++reds;
      if (r > 40 && g > 40 && b > 40) wx += x + 0.5, wy += y + 0.5, ++whites;
    }
  }
  if (weight == 0.0 || reds == 0 || whites == 0) return m;
  m.cx /= weight;
  m.cy /= weight;
  m.angle = std::atan2((wy / whites - ry / reds) / 1.2, wx / whites - rx / reds);
  return m;
}

double AngleBetween(double a, double b) { return std::abs(std::remainder(a - b, 2.0 * M_PI)); }

// Init empties the capture and clears both buffers but leaves the phases running, so the first
// frame after each init captures the tile alone, at the orientation of the next frame of the
// scene.
TEST_F(TunnelSceneTest, TileTurnsWithTheFirstPhaseAboutTheCentreOfTheWorkingArea) {
  WriteQuadrantTile();
  double lowest = 10.0, highest = -10.0;
  for (int n = 0; n <= kLastFrame; ++n) {
    TunnelInit();
    const PhasePair before = TunnelFeedbackState().phases;
    ASSERT_EQ(TunnelFrame(), 0);
    const TileMeasure m = MeasureTile(Captured(TunnelFeedbackState()));
    ASSERT_GT(m.lit, 200) << "frame " << n;
    EXPECT_NEAR(m.cx, 128.0, 0.3) << "frame " << n;
    EXPECT_NEAR(m.cy, 128.0, 0.3) << "frame " << n;
    // At PhaseA = 0 the tile is upright: red top-left, white bottom-right, 45 degrees apart.
    EXPECT_LT(AngleBetween(m.angle, before.first + M_PI / 4.0), 0.08)
        << "frame " << n << ", PhaseA " << before.first << ", measured " << m.angle - M_PI / 4.0;
    lowest = std::min(lowest, static_cast<double>(before.first));
    highest = std::max(highest, static_cast<double>(before.first));
    // The phase pair advances once per frame, after the frame is drawn, A first.
    const PhasePair& after = TunnelFeedbackState().phases;
    const float a = before.first + 0.1f * std::cos(before.second);
    EXPECT_EQ(after.first, a);
    EXPECT_EQ(after.second, before.second + 0.05925697676830226f * std::sin(a));
  }
  EXPECT_GT(highest - lowest, 1.0) << "the tile turned through a range of angles";
}

// The tile's corners are snapped to the 1/16-pixel grid, each to the grid point nearest the
// turned corner (A the first phase): (p, -1.2 q), (q, 1.2 p), (-p, 1.2 q), (-q, -1.2 p) about
// (128, 128), with p = 8 (sin A - cos A) and q = 8 (sin A + cos A).
TEST_F(TunnelSceneTest, TileCornersLieOnTheSixteenthPixelGrid) {
  TunnelInit();
  int offGrid = 0;
  for (int n = 0; n < 200; ++n) {
    const float a = TunnelFeedbackState().phases.first;
    ASSERT_EQ(TunnelFrame(), 0);
    const double u = std::sin(static_cast<double>(a)), w = std::cos(static_cast<double>(a));
    const double p = 8.0 * (u - w), q = 8.0 * (u + w);
    const double xs[4] = {p, q, -p, -q}, ys[4] = {-1.2 * q, 1.2 * p, 1.2 * q, -1.2 * p};
    const GrVertex* quad = TunnelFeedbackState().sourceQuad;
    for (int i = 0; i < 4; ++i) {
      for (const auto& [got, want] : {std::pair{quad[i].x, 128.0 + xs[i]}, std::pair{quad[i].y, 128.0 + ys[i]}}) {
        EXPECT_EQ(got * 16.0f, std::round(got * 16.0f)) << "frame " << n << ", corner " << i << ": " << got;
        EXPECT_LE(std::abs(got - want), 1.0 / 32.0 + 1e-4) << "frame " << n << ", corner " << i;
        offGrid += std::abs(want * 16.0 - std::round(want * 16.0)) > 0.01;
      }
    }
  }
  EXPECT_GT(offGrid, 1000) << "the turned corners themselves fall between grid points";
}

TEST_F(TunnelSceneTest, FirstFrameCapturesTheTileAtQuarterOpacityOnBlack) {
  WriteQuadrantTile();
  TunnelInit();
  EXPECT_EQ(TunnelFrame(), 0);
  const std::vector<uint16_t> capture = Captured(TunnelFeedbackState());
  // Alpha 64 over black: 255 x 65 / 256 = 64 in each lit channel.
  int lit = 0;
  for (int y = 0; y < kWorkingSide; ++y) {
    for (int x = 0; x < kWorkingSide; ++x) {
      const uint16_t p = CapturedAt(capture, x, y);
      const double dx = x + 0.5 - 128.0, dy = y + 0.5 - 128.0;
      if (std::hypot(dx, dy / 1.2) > 12.0) {
        ASSERT_EQ(p, 0) << "nothing but the tile at (" << x << ", " << y << ")";
      } else if (p != 0) {
        ++lit;
        EXPECT_LE(std::max({Red(p), Green(p), Blue(p)}), 72) << x << ", " << y;
      }
    }
  }
  EXPECT_GT(lit, 250);
  // Near the tile's centre, at least one quadrant's colour at a quarter.
  const uint16_t centre = CapturedAt(capture, 128, 128);
  EXPECT_NEAR(std::max({Red(centre), Green(centre), Blue(centre)}), 64, 8);
  EXPECT_TRUE(AllBlack(ShownFrame()));
}

// The feedback quad's black fragments are keyed out, and the back buffer is never cleared: where
// the previous capture is black all around, the new capture holds the shown picture of two
// frames before.
TEST_F(TunnelSceneTest, KeyedOutFeedbackLeavesThePictureOfTwoFramesBefore) {
  WriteQuadrantTile();
  TunnelInit();
  std::vector<std::vector<uint16_t>> shown, captured;
  for (int n = 0; n <= 60; ++n) {
    ASSERT_EQ(TunnelFrame(), 0);
    shown.push_back(ShownFrame());
    captured.push_back(Captured(TunnelFeedbackState()));
  }
  int checked = 0, meaningful = 0;
  for (int n = 2; n <= 60; ++n) {
    const std::vector<uint16_t>& previous = captured[n - 1];
    auto blackAround = [&](int x, int y) {
      // Pixel centre x + 0.5 samples texel 16 + (x + 0.5) * 223 / 255; two texels either side.
      const int s = static_cast<int>(16.0 + (x + 0.5) * 223.0 / 255.0);
      const int t = static_cast<int>(16.0 + (y + 0.5) * 223.0 / 255.0);
      for (int v = t - 2; v <= t + 2; ++v)
        for (int u = s - 2; u <= s + 2; ++u)
          if (CapturedAt(previous, u, v) != 0) return false;
      return true;
    };
    for (int y = 0; y < 255; ++y) {
      for (int x = 0; x < 255; ++x) {
        if (std::hypot(x + 0.5 - 128.0, y + 0.5 - 128.0) < 16.0 || !blackAround(x, y)) continue;
        const uint16_t old = At(shown[n - 2], x, y);
        ASSERT_EQ(CapturedAt(captured[n], x, y), old) << "frame " << n << " at (" << x << ", " << y << ")";
        ++checked;
        if (old != 0) ++meaningful;
      }
    }
  }
  EXPECT_GT(checked, 10000);
  EXPECT_GT(meaningful, 100) << "old pictures that were not black showed through";
}

// Outside the tile, each capture is the one before magnified by 255 / 223 about the centre: its
// texels 16 ... 239 spread over the whole area, opaque, where they are not black.
TEST_F(TunnelSceneTest, FeedbackMagnifiesThePreviousCaptureAboutTheCentre) {
  WriteQuadrantTile();
  TunnelInit();
  std::vector<std::vector<uint16_t>> shown, captured;
  auto outsideTheTile = [](int x, int y) { return x < 255 && y < 255 && std::hypot(x + 0.5 - 128.0, y + 0.5 - 128.0) > 16.0; };
  const QuadCorner corners[4] = {{0, 0, 16, 16, 255}, {255, 0, 239, 16, 255}, {0, 255, 16, 239, 255}, {255, 255, 239, 239, 255}};
  QuadCorner wider[4];
  std::copy(corners, corners + 4, wider);
  for (QuadCorner& c : wider) {
    c.s += c.s < 128 ? -1 : 1;
    c.t += c.t < 128 ? -1 : 1;
  }
  double fitted = 0.0, off = 0.0;
  for (int n = 0; n < 60; ++n) {
    ASSERT_EQ(TunnelFrame(), 0);
    shown.push_back(ShownFrame());
    captured.push_back(Captured(TunnelFeedbackState()));
    if (n < 20) continue;
    const double error = FeedbackError(captured[n - 1], shown[n - 2], captured[n], corners, outsideTheTile);
    EXPECT_LT(error, 2.0) << "frame " << n;
    fitted += error;
    off += FeedbackError(captured[n - 1], shown[n - 2], captured[n], wider, outsideTheTile);
  }
  EXPECT_LT(fitted * 1.3, off);
}

TEST_F(TunnelSceneTest, WithoutTheLibraryRunningEveryAudioCallIsLoggedAndThePictureGoesOn) {
  TunnelInit();
  EXPECT_EQ(Log(),
            "start:tunnel\nCouldn't open channels!\nCouldn't clear sfx channels!\nCouldn't load go.s3m !\n"
            "Couldn't play go.s3m !\n");
  EXPECT_EQ(TunnelFrame(), 0);
}

// With the sound library running (silent output).
class TunnelMusicTest : public TunnelSceneTest {
 protected:
  void SetUp() override {
    TunnelSceneTest::SetUp();
    ::setenv("MIDAS_OUTPUT", "silent", 1);
    ::setenv("MIDAS_CONFIG", "ok", 1);
    AudioStartup(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)));
  }
  void TearDown() override {
    AudioShutdown();
    MusicModule = nullptr;
    MusicPlayHandle = 0;
    for (MIDASsample& sample : AudioSamples) sample = 0;
    TunnelSceneTest::TearDown();
  }
  static constexpr const char* kStarted = "MIDAS: Loading samples\nMIDAS: starting\nstart:tunnel\n";
};

TEST_F(TunnelMusicTest, StartsGoLooping) {
  TunnelInit();
  EXPECT_EQ(Log(), kStarted);
  ASSERT_NE(MusicModule, nullptr);
  ASSERT_NE(MusicPlayHandle, 0u);
  MIDASplayStatus status{};
  ASSERT_TRUE(MIDASgetPlayStatus(MusicPlayHandle, &status));
  EXPECT_EQ(TunnelFrame(), 0);
}

class TunnelBadModuleTest : public TunnelMusicTest, public ::testing::WithParamInterface<int> {};

// 0: missing, 1: truncated, 2: garbage.
TEST_P(TunnelBadModuleTest, IsLoggedNotPlayedAndThePictureGoesOn) {
  if (GetParam() == 0) {
    Remove("go.s3m");
  } else {
    const std::string whole = testsupport::ReadFile(dir_ / "go.s3m");
    std::vector<uint8_t> bytes(whole.begin(), whole.end());
    bytes.resize(GetParam() == 1 ? bytes.size() / 3 : 4000);
    if (GetParam() == 2) {
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    WriteBytes("go.s3m", bytes);
  }
  TunnelInit();
  EXPECT_EQ(Log(), std::string(kStarted) + "Couldn't load go.s3m !\nCouldn't play go.s3m !\n");
  EXPECT_EQ(MusicModule, nullptr);
  EXPECT_EQ(MusicPlayHandle, 0u);
  // The library's last error is the load's: the missing module was not handed to the player.
  EXPECT_STRNE(MIDASgetErrorMessage(MIDASgetLastError()), "Invalid function arguments");
  for (int n = 0; n < 3; ++n) EXPECT_EQ(TunnelFrame(), 0);
}

INSTANTIATE_TEST_SUITE_P(MissingTruncatedGarbage, TunnelBadModuleTest, ::testing::Values(0, 1, 2));

constexpr const char* kSilentStart =
    "start:tunnel\nCouldn't open channels!\nCouldn't clear sfx channels!\nCouldn't load go.s3m !\n"
    "Couldn't play go.s3m !\n";

class TunnelBrokenDataTest : public TunnelSceneTest, public ::testing::WithParamInterface<int> {
 protected:
  void BreakFile(const std::string& name) {
    const std::string bytes = testsupport::ReadFile(dir_ / name);
    if (GetParam() == 0) {
      Remove(name);
    } else {
      std::vector<uint8_t> whole(bytes.begin(), bytes.end());
      whole.resize(GetParam() == 1 ? whole.size() / 2 : 501);
      if (GetParam() == 2)
        for (size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<uint8_t>(i * 91 + 7);
      WriteBytes(name, whole);
    }
  }
};

TEST_P(TunnelBrokenDataTest, BrokenTileEndsTheSceneAtItsFirstFrameWithoutDrawing) {
  BreakFile("tunnel.cel");
  TunnelInit();
  EXPECT_EQ(Log(), kSilentStart) << "the music is still tried: it plays on into the next scenes";
  const uint64_t swaps = platform::FrameCount();
  EXPECT_EQ(TunnelFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), swaps) << "nothing drawn or swapped";
}

TEST_P(TunnelBrokenDataTest, BrokenPaletteKeepsThePaletteInForce) {
  WritePalette("before.pal", {{0, 0, 0}, {40, 20, 60}});
  LoadPalette("before.pal");
  const std::vector<FxU32> before(CurrentPalette, CurrentPalette + 256);
  BreakFile("tunnel.pal");
  TunnelInit();
  EXPECT_EQ(std::vector<FxU32>(CurrentPalette, CurrentPalette + 256), before);
  EXPECT_EQ(TunnelFrame(), 0);
  // The white-indexed tile shows entry 1 of the kept palette, (160, 80, 240), at a quarter.
  const uint16_t centre = CapturedAt(Captured(TunnelFeedbackState()), 128, 128);
  EXPECT_NEAR(Red(centre), 40, 8);
  EXPECT_NEAR(Green(centre), 20, 5);
  EXPECT_NEAR(Blue(centre), 60, 8);
}

INSTANTIATE_TEST_SUITE_P(MissingTruncatedGarbage, TunnelBrokenDataTest, ::testing::Values(0, 1, 2));

TEST_F(TunnelSceneTest, RefusedCaptureBufferEndsTheSceneAtItsFirstFrame) {
  const CaptureAllocator kept = AllocateCaptureBuffer;
  AllocateCaptureBuffer = [] { return std::unique_ptr<uint16_t[]>(); };
  TunnelInit();
  AllocateCaptureBuffer = kept;
  const uint64_t swaps = platform::FrameCount();
  EXPECT_EQ(TunnelFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), swaps);
  EXPECT_EQ(Log(), kSilentStart);
  // The next run of the scene gets its buffer and plays.
  TunnelInit();
  EXPECT_EQ(TunnelFrame(), 0);
}

}  // namespace
