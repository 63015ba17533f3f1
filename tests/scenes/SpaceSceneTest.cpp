// The space scene through the pixels it shows, with fixture data: black starfield, sun and flares
// (so only what a test looks at lights up), a quadrant "green.cel" whose corners tell the
// overlay's orientation, a white "white.cel", and hand-made objects whose placement is known.
#include "TestSupport.h"
#include "SceneFixture.h"

#include "audio/AudioService.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/PhasePair.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace {

constexpr int kFlightFrames = 873;
constexpr int kSceneFrames = 1129;

class SpaceSceneTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    WriteUniformCel("space.cel", 64, 64, 0, 0, 0);
    WriteUniformCel("sun.cel", 64, 64, 0, 0, 0);
    WriteUniformCel("flare.cel", 64, 64, 0, 0, 0);
    WriteUniformCel("glow.cel", 64, 64, 0, 0, 0);
    WriteUniformCel("clouds.cel", 64, 64, 255, 255, 255);
    WriteUniformCel("white.cel", 16, 16, 255, 255, 255);
    WriteQuadrantCel("green.cel", 64, 64);
    WriteUniformCel("lit.cel", 16, 16, 255, 255, 255);
    WriteEmptyObject("planet.p3d");
    WriteEmptyObject("clouds.p3d");
    WriteEmptyObject("plane.p3d");
  }

  // A P3D file of one rectangle in view space, x and y within +-half, at view depth z (before
  // the scene's transform), facing the eye, textured with "lit.cel", for loading at `scale`.
  void WriteObject(const std::string& name, float halfX, float halfY, float z, float scale) {
    const float k = 1.0f / (2.0f * scale);  // view (x, y, z) = 2 * scale * (a, -c, b)
    const float a = halfX * k, c = halfY * k, b = z * k;
    // Corners top-left, bottom-left, bottom-right, top-right.
    Create(name) << "1\nlit.cel\n4\n"
                               << -a << ' ' << b << ' ' << c << '\n' << -a << ' ' << b << ' ' << -c << '\n'
                               << a << ' ' << b << ' ' << -c << '\n' << a << ' ' << b << ' ' << c << '\n'
                               << "2\n0 0 0 0 1 0 0 2 1 0\n0 0 0 0 2 1 0 3 1 1\n";
  }
  void WriteEmptyObject(const std::string& name) { Create(name) << "0\n0\n0\n"; }

  // Runs the scene from init to its end, keeping the frames asked for (by call index) and
  // returning the index of the call that reported the end.
  int Run(std::map<int, std::vector<uint16_t>>& kept) {
    SpaceInit();
    for (int call = 0; call < 2000; ++call) {
      const int32_t over = SpaceFrame();
      if (kept.count(call)) kept[call] = ShownFrame();
      if (over) return call;
    }
    return -1;
  }
};

// The overlay at a corner pixel: texture x alpha, blended by alpha over black.
int Faded(int full, int alpha) { return full * alpha / 255 * alpha / 255; }

TEST_F(SpaceSceneTest, OverlaysFadeGreenOutWhiteInThenToBlack) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  // A dim blue starfield under the overlays shows how they blend: the overlay's alpha takes its
  // share of what lies beneath.
  WriteUniformCel("space.cel", 64, 64, 0, 0, 160);
  std::map<int, std::vector<uint16_t>> kept;
  // Call k of the flight shows F = k + 1; fade call 873 + j shows F = j + 1.
  for (int call : {0, 63, 125, 126, 127, 400, 729, 730, 793, 799, 856, 857, 872, 873, 999, 1000, 1127, 1128})
    kept[call] = {};
  ASSERT_EQ(Run(kept), kSceneFrames - 1) << "873 flight frames and 256 fade frames";
  EXPECT_EQ(SpaceFrame(), 1);

  // F = 1: green (quadrants) at alpha 253, upright: red top-left, green top-right, blue
  // bottom-left, white bottom-right.
  const auto& first = kept[0];
  EXPECT_NEAR(Red(At(first, 10, 10)), Faded(255, 253), 6);
  EXPECT_EQ(Green(At(first, 10, 10)), 0);
  EXPECT_NEAR(Green(At(first, 630, 10)), Faded(255, 253), 6);
  EXPECT_EQ(Red(At(first, 630, 10)), 0);
  EXPECT_NEAR(Blue(At(first, 10, 470)), Faded(255, 253), 6);
  EXPECT_EQ(Red(At(first, 10, 470)), 0);
  EXPECT_NEAR(Red(At(first, 630, 470)), Faded(255, 253), 6);
  EXPECT_NEAR(Green(At(kept[63], 630, 10)), Faded(255, 127), 6) << "F = 64, alpha 127";
  EXPECT_NEAR(Blue(At(kept[63], 630, 10)), 160 * 128 / 255, 6) << "the starfield beneath keeps 1 - alpha";
  EXPECT_NEAR(Green(At(kept[125], 630, 10)), Faded(255, 3), 3) << "F = 126, alpha 3";
  for (int call : {127, 400, 729}) {
    EXPECT_EQ(Green(At(kept[call], 630, 10)), 0) << "F = " << call + 1 << ": no overlay";
    EXPECT_NEAR(Blue(At(kept[call], 630, 10)), 160, 6) << "F = " << call + 1 << ": the starfield alone";
  }
  EXPECT_EQ(Red(At(kept[730], 10, 10)), Green(At(kept[730], 10, 10))) << "F = 731: white";
  EXPECT_LE(Green(At(kept[730], 10, 10)), 2) << "F = 731: alpha 2";
  EXPECT_NEAR(Green(At(kept[799], 10, 10)), Faded(255, 140), 6) << "F = 800: alpha 140";
  EXPECT_LT(Green(At(kept[856], 10, 10)), 252) << "F = 857: alpha 254";
  EXPECT_GE(Green(At(kept[857], 10, 470)), 250) << "F = 858: full white";
  EXPECT_GE(Blue(At(kept[872], 630, 470)), 250) << "F = 873: full white";
  // The fade: white at 255 - F over black.
  EXPECT_NEAR(Green(At(kept[873], 10, 10)), Faded(255, 254), 6) << "fade F = 1";
  EXPECT_NEAR(Green(At(kept[1000], 10, 10)), Faded(255, 127), 6) << "fade F = 128";
  EXPECT_LE(Green(At(kept[1127], 10, 10)), 1) << "fade F = 255";
  for (uint16_t p : kept[1128]) ASSERT_EQ(p, 0) << "the last frame, alpha -1, is black";
  // Fade F = 127 (alpha 128) against flight F = 794 (white at alpha 128 over the starfield).
  EXPECT_NEAR(Green(At(kept[999], 10, 10)), Green(At(kept[793], 10, 10)), 1) << "the same white at alpha 128";
  EXPECT_NEAR(Blue(At(kept[999], 10, 10)), Green(At(kept[999], 10, 10)), 6) << "no starfield under the fade";
}

TEST_F(SpaceSceneTest, GlowAppearsAtHalfSizeWhenTheApproachPassesThirteen) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteUniformCel("glow.cel", 64, 64, 255, 255, 255);
  std::map<int, std::vector<uint16_t>> kept;
  for (int call : {319, 320, 548, 549}) kept[call] = {};
  Run(kept);
  auto litSpan = [](const std::vector<uint16_t>& frame) {
    int first = -1, last = -1;
    for (int x = 0; x < 640; ++x) {
      if (Green(At(frame, x, 240)) > 100) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return std::make_pair(first, last);
  };
  EXPECT_EQ(litSpan(kept[319]).first, -1) << "F = 320: D = 13, no glow";
  // F = 321: k = 0.5 + 0.05 / 23; the quad spans 320 - 240k .. 320 + 239k, 199.48 .. 440.02.
  EXPECT_EQ(litSpan(kept[320]), std::make_pair(199, 439));
  EXPECT_LT(litSpan(kept[548]).first, 81) << "F = 549: nearly full";
  EXPECT_EQ(litSpan(kept[549]), std::make_pair(80, 558)) << "F = 550: D = 24.5, full size";
}

TEST_F(SpaceSceneTest, PlanetBrightensBehindTheDarkeningPlanesAndHidesTheStarfield) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteUniformCel("space.cel", 64, 64, 0, 0, 160);
  WriteObject("planet.p3d", 50.0f, 50.0f, 0.0f, 0.2f);
  std::map<int, std::vector<uint16_t>> kept;
  for (int call : {199, 509}) kept[call] = {};
  Run(kept);
  // F = 200: L = 100, so the white planet shows at 100; the starfield (w 1000) is behind it.
  EXPECT_NEAR(Red(At(kept[199], 320, 240)), 100, 6);
  EXPECT_EQ(Blue(At(kept[199], 320, 240)), Red(At(kept[199], 320, 240))) << "no starfield over the planet";
  EXPECT_NEAR(Blue(At(kept[199], 20, 240)), 160, 8) << "the starfield added elsewhere";
  EXPECT_EQ(Red(At(kept[199], 20, 240)), 0);
  EXPECT_GE(Red(At(kept[509], 320, 240)), 250) << "F = 510: full brightness";
}

TEST_F(SpaceSceneTest, PlaneCopiesDarkenWithoutWritingDepth) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteUniformCel("space.cel", 64, 64, 0, 0, 160);
  WriteObject("planet.p3d", 50.0f, 50.0f, 0.0f, 0.2f);
  // Turned by -30 degrees, this plane runs from far left in front to far right behind, and
  // crosses the screen centre well in front of the planet.
  WriteObject("plane.p3d", 200.0f, 1000.0f, -200.0f, 0.205f);
  std::map<int, std::vector<uint16_t>> kept;
  kept[199] = {};
  Run(kept);
  // Two copies at alpha 128 each keep (127/255)^2 of the planet's 100.
  EXPECT_NEAR(Red(At(kept[199], 320, 240)), 100 * 127 / 255 * 127 / 255, 6);
  EXPECT_NEAR(Blue(At(kept[199], 20, 240)), 160, 8) << "the starfield still added where only the planes are";
}

TEST_F(SpaceSceneTest, CloudsAreAddedAtThePlanetsBrightness) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  // The cloud shell alone, white, where the planet would be: added at alpha L (L = 100 at F = 200),
  // after the planes' own brightness was put back.
  WriteObject("clouds.p3d", 50.0f, 50.0f, 0.0f, 0.205f);
  WriteObject("plane.p3d", 5.0f, 5.0f, 0.0f, 0.205f);
  std::map<int, std::vector<uint16_t>> kept;
  kept[199] = {};
  Run(kept);
  EXPECT_NEAR(Green(At(kept[199], 320, 240)), 100 * 100 / 255, 6);
}

// A quadrant texture's colour (red top-left, green top-right, blue bottom-left, white
// bottom-right) at quad-local (x, y) of a square of half-size `half`, or nothing outside it
// (and near its inner edges, where the filter mixes quadrants).
struct Channels {
  int r = 0, g = 0, b = 0;
  bool known = true;
};
Channels QuadrantAt(double x, double y, double half) {
  Channels c;
  if (std::abs(x) > half - 4.0 || std::abs(y) > half - 4.0) {
    c.known = std::abs(x) > half + 4.0 || std::abs(y) > half + 4.0;  // well outside: nothing
    return c;
  }
  if (std::abs(x) < 4.0 || std::abs(y) < 4.0) {
    c.known = false;
    return c;
  }
  const bool right = x > 0, bottom = y > 0;
  c.r = (!right && !bottom) || (right && bottom);
  c.g = (right && !bottom) || (right && bottom);
  c.b = bottom;
  return c;
}

// The two flares, the same quadrant texture at alpha 100 added to the picture: the first as a
// square of 140 turned by 0.025 F, the second of 120 turned by -0.025 F. At pixels inside the
// quadrants of either, and just outside their sides, the picture holds the sum of both flares'
// colours there (each 255 x (100 / 255)^2, about 39) and nothing else: flares turning the same
// way, of the wrong size or rejected by the depth test at the starfield's w = 1000 all show
// elsewhere.
TEST_F(SpaceSceneTest, FlaresTurnOppositeWaysAtTheirOwnSizes) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteQuadrantCel("flare.cel", 64, 64);
  std::map<int, std::vector<uint16_t>> kept;
  for (int call : {282, 399, 554, 699}) kept[call] = {};
  Run(kept);
  int checked = 0;
  for (const auto& [call, frame] : kept) {
    const double angle = 0.025 * (call + 1);
    const struct {
      double half, turn;
    } flares[2] = {{70.0, angle}, {60.0, -angle}};
    for (const auto& flare : flares) {
      // Each quadrant's centre, and points just inside and just outside each side.
      std::vector<std::pair<double, double>> points;
      for (const double qx : {-0.5, 0.5}) {
        for (const double qy : {-0.5, 0.5}) {
          points.push_back({qx * flare.half, qy * flare.half});
          const double x = qx * 2.0, y = qy * 2.0;  // the side's direction, -1 or 1
          points.push_back({x * (flare.half - 8.0), y * 0.5 * flare.half});
          points.push_back({x * (flare.half + 8.0), y * 0.5 * flare.half});
          points.push_back({x * 0.5 * flare.half, y * (flare.half + 8.0)});
        }
      }
      for (const auto& [lx, ly] : points) {
        {
          // The point on the screen.
          const double sx = lx * std::cos(flare.turn) - ly * std::sin(flare.turn);
          const double sy = lx * std::sin(flare.turn) + ly * std::cos(flare.turn);
          Channels sum;
          for (const auto& other : flares) {
            // Back to the other flare's own square.
            const double ox = sx * std::cos(other.turn) + sy * std::sin(other.turn);
            const double oy = -sx * std::sin(other.turn) + sy * std::cos(other.turn);
            const Channels c = QuadrantAt(ox, oy, other.half);
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
            sum.known = sum.known && c.known;
          }
          if (!sum.known) continue;
          const uint16_t p = At(frame, static_cast<int>(320.0 + sx), static_cast<int>(240.0 + sy));
          const std::string where = "F = " + std::to_string(call + 1) + " at " + std::to_string(320.0 + sx) + ", " +
                                    std::to_string(240.0 + sy);
          EXPECT_NEAR(Red(p), 39 * sum.r, 10) << where;
          EXPECT_NEAR(Green(p), 39 * sum.g, 10) << where;
          EXPECT_NEAR(Blue(p), 39 * sum.b, 10) << where;
          ++checked;
        }
      }
    }
  }
  EXPECT_GE(checked, 60);
}

// The sun, upright, widens and narrows with the swing P on the horizontal axis only: a square of
// 480 about the centre with its width scaled by 1 + 0.05 P (P advanced once a flight frame).
TEST_F(SpaceSceneTest, SunWidensAndNarrowsWithTheSwingOnItsHorizontalAxis) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteQuadrantCel("sun.cel", 64, 64);
  PhasePair swing;
  std::map<int, float> scale;
  for (int call = 0; call < 700; ++call) {
    if (call >= 130 && std::abs(swing.first) > 0.8f && scale.size() < 6 &&
        (scale.empty() || call - scale.rbegin()->first > 40)) {
      scale[call] = 1.0f + 0.05f * swing.first;
    }
    swing.Advance({0.1f, 0.0592569746f});
  }
  ASSERT_GE(scale.size(), 3u) << "frames where the sun is clearly wider or narrower";
  std::map<int, std::vector<uint16_t>> kept;
  for (const auto& [call, k] : scale) kept[call] = {};
  Run(kept);
  bool wider = false, narrower = false;
  for (const auto& [call, k] : scale) {
    const auto& frame = kept[call];
    // The lit span of a row in the top half: red on the left, green on the right.
    int first = -1, last = -1;
    for (int x = 0; x < 640; ++x) {
      const uint16_t p = At(frame, x, 100);
      if (p == 0) continue;
      if (first < 0) first = x;
      last = x;
    }
    // Within two pixels: the corners are snapped to sixteenths, the columns to their centres.
    EXPECT_NEAR(first, 320.0 - 240.0 * k, 2.0) << "call " << call << ", scale " << k;
    EXPECT_NEAR(last, 320.0 + 239.0 * k, 2.0) << "call " << call << ", scale " << k;
    EXPECT_GT(Red(At(frame, 200, 100)), 150) << "call " << call;
    EXPECT_EQ(Green(At(frame, 200, 100)), 0) << "call " << call;
    EXPECT_GT(Green(At(frame, 440, 100)), 150) << "call " << call;
    EXPECT_GT(Blue(At(frame, 200, 380)), 150) << "call " << call;
    EXPECT_NE(At(frame, 320, 2), 0) << "the full height: not scaled vertically";
    EXPECT_NE(At(frame, 320, 477), 0) << "the full height: not scaled vertically";
    wider = wider || k > 1.0f;
    narrower = narrower || k < 1.0f;
  }
  EXPECT_TRUE(wider && narrower);
}

TEST_F(SpaceSceneTest, MissingGlowEndsTheSceneBeforeAnythingElse) {
  Remove("glow.cel");
  SpaceInit();
  EXPECT_EQ(GlowDoubling, 0) << "the clouds' load, still doubled, cleared the flag";
  const uint64_t shown = platform::FrameCount();
  EXPECT_EQ(SpaceFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), shown) << "nothing drawn or swapped";
  EXPECT_EQ(Log(), "start:space\n") << "no sample was tried";
}

class SpaceBrokenObjectTest : public SpaceSceneTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SpaceBrokenObjectTest, EndsTheSceneWithoutSound) {
  Create(GetParam()) << "1\nnot-there.cel\n3\n0 0";
  SpaceInit();
  EXPECT_EQ(SpaceFrame(), 1);
  EXPECT_EQ(Log(), "start:space\n") << "no sample is started";
}

INSTANTIATE_TEST_SUITE_P(EachObject, SpaceBrokenObjectTest, ::testing::Values("planet.p3d", "clouds.p3d", "plane.p3d"));

TEST_F(SpaceSceneTest, DoneStopsAndFreesTheEffectWhenSkipped) {
  SpaceInit();
  EXPECT_EQ(Log(), "start:space\nCouldn't play 2'nd sample!\n") << "the sound library is not running here";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(SpaceFrame(), 0);
  SpaceDone();
  EXPECT_EQ(Log(), "start:space\nCouldn't play 2'nd sample!\nstart:done\nCouldn't stop 2'nd sample!\n"
                   "Couldn't free 2'nd sample!\n");
  EXPECT_EQ(EffectPlayHandle, 0u);
  EXPECT_EQ(AudioSamples[2], 0u);
}

}  // namespace
