// The temple scene through the pixels it shows and the triangles it hands to Glide, with fixture
// data: black light, flare and glow textures (so only what a test looks at lights up), objects
// that are empty or made of rectangles placed, through the scene's own view of the frame in
// question, on known pixels at known depths.
#include "TestSupport.h"
#include "SceneFixture.h"

#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "geom/P3d.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "runtime/Random.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <glide.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>
#include <vector>

namespace {

constexpr int kSceneFrames = 3112;
constexpr float kTempleScale = 0.3f;

HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)); }

// A screen rectangle of an object: pixels [left, right) x [top, bottom) at distance w from the
// eye, drawn with the object's texture `texture`.
struct ScreenRect {
  float left, top, right, bottom, w;
  int texture = 0;
};

class TempleSceneTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    for (const char* name : {"flare.cel", "red.cel", "grn.cel", "blue.cel", "glow.cel"}) {
      WriteUniformCel(name, 64, 64, 0, 0, 0);
    }
    WriteUniformCel("white.cel", 16, 16, 255, 255, 255);
    WriteUniformCel("black.cel", 16, 16, 0, 0, 0);
    WriteUniformCel("reddish.cel", 16, 16, 255, 0, 0);
    WriteUniformCel("bluish.cel", 16, 16, 0, 0, 255);
    for (const char* name : {"temple.p3d", "light.p3d", "liteball.p3d"}) WriteEmptyObject(name);
  }

  void WriteEmptyObject(const std::string& name) { Create(name) << "0\n0\n0\n"; }

  // A CEL of 64 x 64 whose centre 16 x 16 texels hold (r, g, b) and the rest black: as a glow
  // texture, a particle sprite that lights the two pixels left and above of its centre fully.
  void WriteDotCel(const std::string& name, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> bytes(800 + 64 * 64, 0);
    bytes[32 + 3] = r >> 2;
    bytes[32 + 4] = g >> 2;
    bytes[32 + 5] = b >> 2;
    for (int y = 30; y < 34; ++y)
      for (int x = 30; x < 34; ++x) bytes[800 + y * 64 + x] = 1;
    Create(name).write(reinterpret_cast<const char*>(bytes.data()), 800 + 64 * 64);
  }

  // A 64 x 64 CEL whose top half is white and bottom half grey `grey` (8-bit).
  void WriteHalvesCel(const std::string& name, uint8_t grey) {
    std::vector<uint8_t> bytes(800 + 64 * 64, 1);
    for (int c = 0; c < 3; ++c) {
      bytes[32 + 3 + c] = 63;
      bytes[32 + 6 + c] = grey >> 2;
    }
    std::fill(bytes.begin() + 800 + 32 * 64, bytes.end(), 2);
    Create(name).write(reinterpret_cast<const char*>(bytes.data()), 800 + 64 * 64);
  }

  // The temple's view at frame F, as the scene builds it: turned by 0.2 F, tilted and pushed.
  static void LoadTempleView(int frame, bool inverse) {
    const float descent = std::clamp(static_cast<float>(frame - 128) * 0.5f, 0.0f, 200.0f);
    const float turn = 0.2f * static_cast<float>(frame);
    const float tilt = 35.0f - 0.05f * descent;
    if (inverse) {
      LoadMatrix(MakeTranslation(0.0f, 0.0f, -(100.0f - descent)));
      MultMatrix(MakeRotationX(-tilt));
      MultMatrix(MakeRotationY(-turn));
    } else {
      LoadMatrix(MakeRotationY(turn));
      MultMatrix(MakeRotationX(tilt));
      MultMatrix(MakeTranslation(0.0f, 0.0f, 100.0f - descent));
    }
  }

  // Writes `name` as a temple (loaded at scale 0.3) whose rectangles land, at frame `frame`, on
  // the given screen rectangles, each as two triangles facing the eye, textured with the named
  // images.
  void WriteTempleObject(const std::string& name, int frame, const std::vector<ScreenRect>& rects,
                         const std::vector<std::string>& textures) {
    std::vector<Vertex4> view;
    for (const ScreenRect& r : rects) {
      const float k = r.w / 640.0f;
      const float corners[4][2] = {{r.left, r.top}, {r.left, r.bottom}, {r.right, r.bottom}, {r.right, r.top}};
      for (const auto& c : corners) view.push_back({(c[0] - 320.0f) * k, (c[1] - 240.0f) * k, r.w - 350.0f, 1.0f});
    }
    std::vector<Vertex4> object(view.size());
    LoadTempleView(frame, true);
    TransformPoints(object.data(), view.data(), static_cast<uint32_t>(view.size()));
    std::ostringstream text;
    text.precision(9);
    text << textures.size() << '\n';
    for (const std::string& t : textures) text << t << '\n';
    text << object.size() << '\n';
    const float k = 1.0f / (2.0f * kTempleScale);  // object (x, y, z) = 2 s (a, -c, b)
    for (const Vertex4& p : object) text << p.x * k << ' ' << p.z * k << ' ' << -p.y * k << '\n';
    text << 2 * rects.size() << '\n';
    for (size_t i = 0; i < rects.size(); ++i) {
      const size_t v = 4 * i;
      text << rects[i].texture << ' ' << v << " 0 0 " << v + 1 << " 0 1 " << v + 2 << " 1 1\n";
      text << rects[i].texture << ' ' << v << " 0 0 " << v + 2 << " 1 1 " << v + 3 << " 1 0\n";
    }
    Create(name) << text.str();
  }

  // Runs the scene from init, calling `each(call)` after every frame call (the frame shown is
  // F = call) until `last` or the end, and returns the call that reported the end (-1 if none).
  int Run(int last, const std::function<void(int)>& each) {
    TempleInit();
    for (int call = 0; call <= last; ++call) {
      const int32_t over = TempleFrame();
      each(call);
      if (over) return call;
    }
    return -1;
  }

  static bool IsBlack(const std::vector<uint16_t>& frame) {
    return std::all_of(frame.begin(), frame.end(), [](uint16_t p) { return p == 0; });
  }
};

// The triangles Glide saw during one frame call.
FxU32 ProcessedTriangles() {
  FxU32 processed = 0, drawn = 0;
  grTriStats(&processed, &drawn);
  return processed;
}

// The number of particles drawn at frame F of a run from init, from the ageing alone: a slot
// spawned n frames ago has age 4n, a slot not yet spawned 4F; a particle shows while its age is
// at most the brightness.
int ParticlesShown(int frame) {
  const float b = std::min(frame > 2600 ? std::max(static_cast<float>(kSceneFrames - frame) * 0.5f, 0.0f)
                                        : 0.5f * static_cast<float>(frame),
                           255.0f);
  int perTrail = 0;
  for (int n = 0; n <= std::min(frame, 49); ++n) perTrail += 4.0f * static_cast<float>(n) <= b;
  if (frame < 49 && 4.0f * static_cast<float>(frame) <= b) perTrail += 49 - frame;
  return 3 * perTrail;
}

TEST_F(TempleSceneTest, EveryFrameDrawsTheLiveParticlesTheFlareAndThePulsingGlowThenTheSceneEnds) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteUniformCel("glow.cel", 64, 64, 255, 255, 255);
  uint64_t shownBefore = 0;
  std::vector<FxU32> triangles;
  std::map<int, std::vector<uint16_t>> kept{{339, {}}, {2871, {}}, {2872, {}}};
  grResetTriStats();
  const int end = Run(kSceneFrames + 5, [&](int call) {
    if (call == 0) shownBefore = platform::FrameCount() - 1;
    triangles.push_back(ProcessedTriangles());
    grResetTriStats();
    if (kept.count(call)) kept[call] = ShownFrame();
  });
  EXPECT_EQ(end, kSceneFrames - 1) << "frames 0 ... 3111";
  EXPECT_EQ(platform::FrameCount() - shownBefore, static_cast<uint64_t>(kSceneFrames));

  // Two triangles per particle, two for the flare, two for the glow while it pulses above 0.4
  // within frames 191 ... 2871.
  std::vector<int> glowFrames;
  for (int f = 0; f < static_cast<int>(triangles.size()); ++f) {
    const int rest = static_cast<int>(triangles[f]) - 2 * ParticlesShown(f) - 2;
    ASSERT_TRUE(rest == 0 || rest == 2) << "frame " << f << ": " << triangles[f] << " triangles";
    if (rest == 2) glowFrames.push_back(f);
  }
  EXPECT_EQ(triangles[0], 302u) << "all 150 particles from init, at alpha 0";
  EXPECT_EQ(triangles[1], 8u) << "only the three just spawned";
  EXPECT_EQ(triangles[3000], 2u * 45 + 2) << "B = 56: ages 0 ... 56, fifteen per trail";
  EXPECT_EQ(triangles[3111], 2u * 3 + 2) << "B = 0.5: the newest particle of each trail";
  ASSERT_FALSE(glowFrames.empty());
  EXPECT_EQ(glowFrames.front(), 264) << "frames 38 ... 188 pulse above 0.4 before the window opens";
  EXPECT_EQ(glowFrames.back(), 2871) << "the window closes while the pulse is still high";
  EXPECT_TRUE(std::find(glowFrames.begin(), glowFrames.end(), 263) == glowFrames.end());
  EXPECT_TRUE(std::find(glowFrames.begin(), glowFrames.end(), 2752) == glowFrames.end()) << "g = 0.39966";
  EXPECT_TRUE(std::find(glowFrames.begin(), glowFrames.end(), 2753) != glowFrames.end()) << "g = 0.40935";

  // The glow's span: columns -128 ... 128 and rows -128 ... 127 about the centre, times g.
  auto span = [](const std::vector<uint16_t>& frame, bool columns) {
    int first = -1, last = -1;
    for (int i = 0; i < (columns ? 640 : 480); ++i) {
      if (Green(columns ? At(frame, i, 240) : At(frame, 320, i)) > 150) {
        if (first < 0) first = i;
        last = i;
      }
    }
    return std::make_pair(first, last);
  };
  EXPECT_EQ(span(kept[339], true), std::make_pair(192, 447)) << "g = 0.99999: 192.002 ... 447.998";
  EXPECT_EQ(span(kept[339], false), std::make_pair(112, 366)) << "112.002 ... 366.998";
  EXPECT_EQ(span(kept[2871], true), std::make_pair(225, 414)) << "g = 0.74114: 225.13 ... 414.87";
  EXPECT_EQ(span(kept[2871], false), std::make_pair(145, 333)) << "145.13 ... 334.12";
  EXPECT_NEAR(Green(At(kept[339], 320, 240)), 226, 8) << "alpha 240, scaled by alpha again in the blend";
  EXPECT_TRUE(IsBlack(kept[2872]));
}

TEST_F(TempleSceneTest, TheFirstFrameIsBlackAndObjectsBrightenWithTheFrame) {
  for (const char* name : {"flare.cel", "red.cel", "grn.cel", "blue.cel", "glow.cel"}) {
    WriteUniformCel(name, 64, 64, 255, 255, 255);
  }
  WriteTempleObject("temple.p3d", 100, {{250, 200, 390, 280, 400}}, {"white.cel"});
  Create("light.p3d") << "1\nwhite.cel\n3\n-9 0 9\n-9 0 -9\n9 0 -9\n1\n0 0 0 0 1 0 1 2 1 1\n";
  Create("liteball.p3d") << "1\nwhite.cel\n3\n-9 0 9\n-9 0 -9\n9 0 -9\n1\n0 0 0 0 1 0 1 2 1 1\n";
  std::vector<uint16_t> first, hundredth;
  Run(100, [&](int call) {
    if (call == 0) first = ShownFrame();
    if (call == 100) hundredth = ShownFrame();
  });
  EXPECT_TRUE(IsBlack(first)) << "B = 0 at F = 0";
  // F = 100: B = 50, the temple's face replaces what is behind it at 50 / 255 of its texture.
  EXPECT_NEAR(Red(At(hundredth, 300, 240)), 50, 7);
  EXPECT_NEAR(Blue(At(hundredth, 380, 270)), 50, 7);
  EXPECT_EQ(At(hundredth, 248, 240), 0) << "left of the face";
}

TEST_F(TempleSceneTest, TheTempleShowsEachFacesOwnStone) {
  WriteTempleObject("temple.p3d", 600, {{200, 200, 300, 300, 400, 0}, {340, 200, 440, 300, 400, 1}},
                    {"reddish.cel", "bluish.cel"});
  std::vector<uint16_t> frame;
  Run(600, [&](int call) {
    if (call == 600) frame = ShownFrame();
  });
  EXPECT_GE(Red(At(frame, 250, 250)), 240);
  EXPECT_EQ(Blue(At(frame, 250, 250)), 0);
  EXPECT_GE(Blue(At(frame, 390, 250)), 240);
  EXPECT_EQ(Red(At(frame, 390, 250)), 0);
}

TEST_F(TempleSceneTest, LightsAndBallsShowTheirColourNotTheTexturesTheyName) {
  WriteUniformCel("red.cel", 64, 64, 255, 0, 0);
  for (const char* name : {"light.p3d", "liteball.p3d"}) {
    // A 12 x 12 square across the object's origin, facing the eye.
    Create(name) << "1\nwhite.cel\n4\n-3 0 3\n-3 0 -3\n3 0 -3\n3 0 3\n2\n"
                               << "0 0 0 0 1 0 1 2 1 1\n0 0 0 0 2 1 1 3 1 0\n";
  }
  std::vector<uint16_t> frame;
  Run(600, [&](int call) {
    if (call == 600) frame = ShownFrame();
  });
  int red = 0, other = 0;
  for (uint16_t p : frame) {
    red += Red(p) > 200;
    other += Green(p) > 16 || Blue(p) > 16;
  }
  EXPECT_GT(red, 400) << "the red light and the red ball, about 22 x 22 pixels each";
  EXPECT_EQ(other, 0) << "green and blue are black here, and no face shows its own white";
}

TEST_F(TempleSceneTest, FlarePassesTheAlphaTestOnlyWhereBrightEnoughAndHidesBehindTheTemple) {
  WriteHalvesCel("flare.cel", 85);  // top half alpha 255, bottom half alpha 85
  // At F = 132 (T = 2) the flare sits at w = 448: a black face at w 300 hides its left part, one
  // at w 450 lies behind its right part.
  WriteTempleObject("temple.p3d", 132, {{280, 200, 320, 280, 300}, {320, 200, 360, 280, 450}}, {"black.cel"});
  std::map<int, std::vector<uint16_t>> kept{{128, {}}, {132, {}}, {1032, {}}};
  Run(1032, [&](int call) {
    if (kept.count(call)) kept[call] = ShownFrame();
  });
  for (int y = 200; y < 280; ++y)
    for (int x = 280; x < 360; ++x) ASSERT_EQ(At(kept[128], x, y), 0) << "B = 64 passes no pixel, at " << x << "," << y;
  // F = 132, B = 66: the top half passes with alpha 66, the bottom (alpha 22) does not.
  const auto& f132 = kept[132];
  EXPECT_NEAR(Red(At(f132, 330, 225)), 17, 6) << "66 x 66 / 255: the blend scales by alpha again";
  EXPECT_EQ(At(f132, 330, 255), 0);
  EXPECT_EQ(At(f132, 310, 225), 0) << "behind the nearer face";
  // F = 1032, B = 255, the temple turned half round, both faces away from the eye: the square
  // (296, 216) ... (343, 263), both halves.
  const auto& full = kept[1032];
  EXPECT_GE(Red(At(full, 296, 216)), 240);
  EXPECT_GE(Red(At(full, 342, 225)), 240);
  EXPECT_EQ(At(full, 295, 225), 0);
  EXPECT_EQ(At(full, 343, 225), 0);
  EXPECT_EQ(At(full, 320, 215), 0);
  EXPECT_NEAR(Red(At(full, 320, 255)), 28, 6) << "alpha 85 passes at full brightness: 85 x 85 / 255";
  EXPECT_EQ(At(full, 320, 263), 0);
}

// The spawn point of each trail's newest particle at frame F, from the two draws J1 and J2 of the
// frame, and the pixel that its sprite's centre lands on.
std::array<std::pair<int, int>, 3> NewestParticlePixels(int frame, int j1, int j2) {
  const float f = static_cast<float>(frame);
  const float a1 = f * (1.0f / 11.0f), a2 = 0.1f * f, a3 = a2 + 1.2f;
  const float fj1 = static_cast<float>(j1), fj2 = static_cast<float>(j2);
  const Vertex4 spawn[3] = {
      {28.0f * std::sin(a1) + fj1, 8.0f * std::cos(a3) - 16.0f, 27.0f * std::cos(a1) + fj1, 1.0f},
      {27.0f * std::cos(a2) - fj2, 8.0f * std::sin(a2) - 16.0f, 27.0f * std::sin(a2) + fj1, 1.0f},
      {-27.0f * std::sin(a3) + fj1, -8.0f * std::cos(f * (1.0f / 15.0f) + 1.2f) - 16.0f, 27.0f * std::cos(a3) - fj2, 1.0f},
  };
  Vertex4 view[3];
  LoadMatrix(MakeRotationX(25.0f));
  MultMatrix(MakeTranslation(0.0f, 0.0f, -100.0f));
  TransformPoints(view, spawn, 3);
  std::array<std::pair<int, int>, 3> pixels;
  for (int i = 0; i < 3; ++i) {
    const float oow = 1.0f / (view[i].z + 350.0f);
    pixels[i] = {static_cast<int>(std::trunc(view[i].x * oow * 640.0f + 320.0f)),
                 static_cast<int>(std::trunc(view[i].y * oow * 640.0f + 240.0f))};
  }
  return pixels;
}

TEST_F(TempleSceneTest, EachTrailsNewestParticleSitsUnderItsBallWithTheFramesTwoDraws) {
  WriteDotCel("red.cel", 255, 0, 0);
  WriteDotCel("grn.cel", 0, 255, 0);
  WriteDotCel("blue.cel", 0, 0, 255);
  int checked = 0;
  uint32_t seed = 0;
  TempleInit();
  for (int call = 0; call < 600; ++call) {
    seed = RandSeed();
    ASSERT_EQ(TempleFrame(), 0);
    if (call < 550) continue;
    // The frame's draws, followed from the generator's state before it.
    uint32_t s = seed;
    int draws[2];
    for (int& d : draws) {
      s = s * 214013u + 2531011u;
      d = static_cast<int>((s >> 16) & 0x7FFF) % 5 - 2;
    }
    EXPECT_EQ(RandSeed(), s) << "exactly two draws per frame";
    const auto frame = ShownFrame();
    const auto pixels = NewestParticlePixels(call, draws[0], draws[1]);
    // The sprite's lit centre covers its pixels 15 and 16: the centre pixel and the one before.
    for (int t = 0; t < 3; ++t) {
      const auto [x, y] = pixels[t];
      const uint16_t p = At(frame, x - 1, y - 1);
      const int own = t == 0 ? Red(p) : t == 1 ? Green(p) : Blue(p);
      EXPECT_GE(own, 230) << "frame " << call << " trail " << t << " at " << x << "," << y;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 150) << "50 frames: every ring slot of every trail";
}

// A point of the scene's space once the frame's view has taken it (tilted by 35 - 0.05 T degrees,
// +y towards +z, and pushed by 100 - T), on the screen 350 units from the eye.
std::pair<double, double> TempleScreen(int frame, double x, double y, double z) {
  const double descent = std::clamp((frame - 128) * 0.5, 0.0, 200.0);
  const double tilt = (35.0 - 0.05 * descent) * M_PI / 180.0;
  const double vy = y * std::cos(tilt) - z * std::sin(tilt);
  const double vz = y * std::sin(tilt) + z * std::cos(tilt) + 100.0 - descent;
  return {320.0 + 640.0 * x / (vz + 350.0), 240.0 + 640.0 * vy / (vz + 350.0)};
}

// The three lights circle 39 units above the floor, 27 from the axis: red at (27 sin a, 27 cos a)
// with a = F / 11, green at (27 cos b, 27 sin b) with b = F / 10, blue at (-27 sin c, 27 cos c)
// with c = b + 1.2 (x and z). Each light here is a square lit all over in its colour, so it shows
// as a solid block among the particles' two-pixel dots; the block's middle lies where the light
// is.
TEST_F(TempleSceneTest, TheLightsCircleTheirOrbitsEachAtItsOwnRateAndPhase) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteDotCel("red.cel", 255, 0, 0);
  WriteDotCel("grn.cel", 0, 255, 0);
  WriteDotCel("blue.cel", 0, 0, 255);
  // A 12 x 12 square across the object's origin, every corner sampling the dot in the middle of
  // the texture.
  Create("light.p3d") << "1\nwhite.cel\n4\n-3 0 3\n-3 0 -3\n3 0 -3\n3 0 3\n2\n"
                      << "0 0 0.5 0.5 1 0.5 0.5 2 0.5 0.5\n0 0 0.5 0.5 2 0.5 0.5 3 0.5 0.5\n";
  const std::vector<int> calls = {600, 733, 1000, 1456, 2000, 2345};
  std::map<int, std::vector<uint16_t>> kept;
  Run(calls.back(), [&](int call) {
    if (std::find(calls.begin(), calls.end(), call) != calls.end()) kept[call] = ShownFrame();
  });
  int checked = 0;
  for (const int call : calls) {
    const double f = call, a = f / 11.0, b = 0.1 * f, c = b + 1.2;
    const std::pair<double, double> lights[3] = {TempleScreen(call, 27.0 * std::sin(a), -39.0, 27.0 * std::cos(a)),
                                                 TempleScreen(call, 27.0 * std::cos(b), -39.0, 27.0 * std::sin(b)),
                                                 TempleScreen(call, -27.0 * std::sin(c), -39.0, 27.0 * std::cos(c))};
    const auto& frame = kept[call];
    for (int light = 0; light < 3; ++light) {
      // Where a block of this light's colour five pixels across lies, its middle.
      auto own = [&](int x, int y) {
        const uint16_t p = At(frame, x, y);
        return (light == 0 ? Red(p) : light == 1 ? Green(p) : Blue(p)) > 200;
      };
      double sx = 0.0, sy = 0.0;
      int solid = 0;
      for (int y = 2; y < 478; ++y) {
        for (int x = 2; x < 638; ++x) {
          bool all = true;
          for (int dy = -2; dy <= 2 && all; ++dy)
            for (int dx = -2; dx <= 2 && all; ++dx) all = own(x + dx, y + dy);
          if (!all) continue;
          sx += x;
          sy += y;
          ++solid;
        }
      }
      ASSERT_GT(solid, 20) << "call " << call << ", light " << light;
      EXPECT_NEAR(sx / solid, lights[light].first, 3.0) << "call " << call << ", light " << light;
      EXPECT_NEAR(sy / solid, lights[light].second, 3.0) << "call " << call << ", light " << light;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 18);
}

// Once born, a particle rises a quarter unit a frame and moves away from the vertical axis by a
// thousandth a frame (x and z). Every particle of frames 650 ... 700 born in the 38 frames before
// (bright enough to see: alpha B - 4 x age at least 100) shows its dot where that drift has
// taken it from where it was born. The same frames checked against particles that do not
// spread, or that only sink, find far fewer of them: this fixture tells those drifts apart.
TEST_F(TempleSceneTest, ParticlesRiseAndSpreadFromTheAxisOnceBorn) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteDotCel("red.cel", 255, 0, 0);
  WriteDotCel("grn.cel", 0, 255, 0);
  WriteDotCel("blue.cel", 0, 0, 255);
  constexpr int kOldest = 38;
  std::map<int, std::array<Vertex4, 3>> born;  // by call: each trail's spawn point
  std::map<int, std::vector<uint16_t>> kept;
  TempleInit();
  for (int call = 0; call <= 700; ++call) {
    const uint32_t before = RandSeed();
    ASSERT_EQ(TempleFrame(), 0);
    if (call < 650 - kOldest) continue;
    // The frame's two draws, from the generator's state before it, and the spawn points.
    uint32_t seed = before;
    float j[2];
    for (float& draw : j) {
      seed = seed * 214013u + 2531011u;
      draw = static_cast<float>(static_cast<int>((seed >> 16) & 0x7FFF) % 5 - 2);
    }
    const float f = static_cast<float>(call);
    const float a1 = f * (1.0f / 11.0f), a2 = 0.1f * f, a3 = a2 + 1.2f;
    born[call] = {Vertex4{28.0f * std::sin(a1) + j[0], 8.0f * std::cos(a3) - 16.0f, 27.0f * std::cos(a1) + j[0], 1.0f},
                  Vertex4{27.0f * std::cos(a2) - j[1], 8.0f * std::sin(a2) - 16.0f, 27.0f * std::sin(a2) + j[0], 1.0f},
                  Vertex4{-27.0f * std::sin(a3) + j[0], -8.0f * std::cos(f * (1.0f / 15.0f) + 1.2f) - 16.0f,
                          27.0f * std::cos(a3) - j[1], 1.0f}};
    if (call >= 650) kept[call] = ShownFrame();
  }
  // The share of the particles whose dot is lit where `drift` takes them after `age` frames.
  auto found = [&](const std::function<Vertex4(Vertex4, int)>& drift) {
    int lit = 0, particles = 0;
    for (const auto& [call, frame] : kept) {
      for (int age = 0; age <= kOldest; ++age) {
        for (int trail = 0; trail < 3; ++trail) {
          const Vertex4 p = drift(born[call - age][trail], age);
          // The sprite's lit middle covers the pixel its centre lands on and the one before.
          const auto [sx, sy] = TempleScreen(call, p.x, p.y, p.z);
          const uint16_t px = At(frame, static_cast<int>(sx) - 1, static_cast<int>(sy) - 1);
          lit += (trail == 0 ? Red(px) : trail == 1 ? Green(px) : Blue(px)) > 24;
          ++particles;
        }
      }
    }
    return static_cast<double>(lit) / particles;
  };
  const double drifted = found([](Vertex4 p, int age) {
    for (int k = 0; k < age; ++k) {
      p.y -= 0.25f;
      p.x *= 1.001f;
      p.z *= 1.001f;
    }
    return p;
  });
  const double risen = found([](Vertex4 p, int age) {
    for (int k = 0; k < age; ++k) p.y -= 0.25f;
    return p;
  });
  const double sunk = found([](Vertex4 p, int age) {
    for (int k = 0; k < age; ++k) {
      p.y += 0.25f;
      p.x *= 1.001f;
      p.z *= 1.001f;
    }
    return p;
  });
  EXPECT_GE(drifted, 0.97) << "particles where the drift takes them";
  EXPECT_LT(risen, drifted - 0.15) << "rising without spreading";
  EXPECT_LT(sunk, drifted - 0.5) << "sinking";
}

TEST_F(TempleSceneTest, FacesReachingOffTheScreenOrBelowRow439AreDrawnThroughTheClipper) {
  // With an empty clip window the clipper draws nothing, so the triangle statistics count only
  // what went to grDrawTriangle: 150 particles and the flare at F = 0, and the temple faces
  // that stay within columns 0 ... 639 and rows 0 ... 439.
  WriteTempleObject("temple.p3d", 0,
                    {{300.5f, 300.5f, 340.5f, 439.5f, 400}, {300.5f, 300.5f, 340.5f, 440.5f, 400},
                     {600.5f, 100.5f, 640.5f, 140.5f, 400}, {10.5f, -1.5f, 50.5f, 40.5f, 400}},
                    {"white.cel"});
  TempleInit();
  grClipWindow(0, 0, 0, 0);
  grResetTriStats();
  TempleFrame();
  grClipWindow(0, 0, 640, 480);
  EXPECT_EQ(ProcessedTriangles(), 302u + 2);
}

TEST_F(TempleSceneTest, WithSoundRunningTheModulePlaysFromInitToDone) {
  ::setenv("MIDAS_OUTPUT", "silent", 1);
  ::setenv("MIDAS_CONFIG", "ok", 1);
  AudioStartup(FakeWindow());
  const std::string started = "MIDAS: Loading samples\nMIDAS: starting\n";
  ASSERT_EQ(Log(), started);
  TempleInit();
  EXPECT_EQ(Log(), started + "start:temple\n");
  EXPECT_NE(MusicModule, nullptr);
  EXPECT_NE(MusicPlayHandle, 0u);
  EXPECT_EQ(ObjectScale, 1.0f);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(TempleFrame(), 0);
  TempleDone();
  EXPECT_EQ(Log(), started + "start:temple\ntemple:done\n");
  EXPECT_EQ(MusicModule, nullptr);
  EXPECT_EQ(MusicPlayHandle, 0u);
  AudioShutdown();
}

// A file broken in one of three ways.
enum class Damage { kMissing, kTruncated, kGarbage };

class TempleBrokenFileTest : public TempleSceneTest,
                             public ::testing::WithParamInterface<std::tuple<const char*, Damage>> {
 protected:
  void Break(const std::string& name, Damage damage) {
    const std::string text = testsupport_ReadOrEmpty(name);
    Remove(name);
    if (damage == Damage::kTruncated) {
      Create(name) << text.substr(0, text.size() / 2);
    } else if (damage == Damage::kGarbage) {
      std::string junk(3001, '\0');
      uint32_t s = 7;
      for (char& c : junk) c = static_cast<char>((s = s * 1103515245u + 12345u) >> 24);
      Create(name) << junk;
    }
  }
  std::string testsupport_ReadOrEmpty(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_P(TempleBrokenFileTest, EndsCleanlyWithTheLogLinesOfTheFailure) {
  const auto [name, damage] = GetParam();
  const std::string file = name;
  if (file == "temple.p3d") WriteTempleObject("temple.p3d", 0, {{300, 200, 340, 280, 400}}, {"white.cel"});
  Break(file, damage);
  ::setenv("MIDAS_OUTPUT", "silent", 1);
  ::setenv("MIDAS_CONFIG", "ok", 1);
  AudioStartup(FakeWindow());
  const std::string started = "MIDAS: Loading samples\nMIDAS: starting\nstart:temple\n";
  GlowDoubling = 1;
  TempleInit();
  const uint64_t shown = platform::FrameCount();
  if (file == "creature.s3m") {
    EXPECT_EQ(Log(), started + "Couldn't load creature.s3m !\n");
    EXPECT_EQ(TempleFrame(), 0) << "the scene runs silent";
    EXPECT_EQ(platform::FrameCount(), shown + 1);
  } else {
    EXPECT_EQ(Log(), started) << "no sound is tried";
    EXPECT_EQ(TempleFrame(), 1);
    EXPECT_EQ(platform::FrameCount(), shown) << "nothing drawn or swapped";
  }
  if (file.ends_with(".cel")) {
    EXPECT_EQ(TextureCount, 4) << "all five loads are attempted";
    EXPECT_EQ(GlowDoubling, 0);
  }
  if (file == "temple.p3d") {
    EXPECT_EQ(ObjectScale, 0.3f) << "left at the failed load's scale";
  }
  TempleDone();
  EXPECT_EQ(Log().substr(started.size()),
            (file == "creature.s3m" ? "Couldn't load creature.s3m !\n" : "") +
                std::string("temple:done\nCouldn't stop 3'nd module!\nCouldn't free 3'nd module!\n"));
  AudioShutdown();
}

std::string BrokenFileName(const ::testing::TestParamInfo<std::tuple<const char*, Damage>>& info) {
  std::string file = std::get<0>(info.param);
  std::replace(file.begin(), file.end(), '.', '_');
  static const char* const kDamage[] = {"Missing", "Truncated", "Garbage"};
  return file + "_" + kDamage[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    EachFile, TempleBrokenFileTest,
    ::testing::Combine(::testing::Values("flare.cel", "red.cel", "grn.cel", "blue.cel", "glow.cel", "temple.p3d",
                                         "light.p3d", "liteball.p3d", "creature.s3m"),
                       ::testing::Values(Damage::kMissing, Damage::kTruncated, Damage::kGarbage)),
    BrokenFileName);

TEST_F(TempleSceneTest, WithoutTheSoundLibraryEveryRefusalIsLogged) {
  TempleInit();
  EXPECT_EQ(Log(), "start:temple\nCouldn't open channels!\nCouldn't clear sfx channels!\nCouldn't load creature.s3m !\n");
  EXPECT_EQ(TempleFrame(), 0);
  TempleDone();
  EXPECT_EQ(Log().substr(Log().find("temple:done")), "temple:done\nCouldn't stop 3'nd module!\nCouldn't free 3'nd module!\n");
}

}  // namespace
