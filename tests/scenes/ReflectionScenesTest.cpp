// The facemap and enviro scenes through the real stand-ins, with uniform reflection map
// fixtures, so that an object's brightness shows the scene's fade and its colour the map in force.
#include "TestSupport.h"
#include "SceneFixture.h"

#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "scenes/ReflectionScenes.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <fstream>
#include <map>

namespace {

class ReflectionScenesTest : public SceneFixture {
 protected:
  // The brightest red, green and blue among the shown pixels.
  struct Peak {
    int r = 0, g = 0, b = 0, lit = 0;
  };
  static Peak PeakOf(const std::vector<uint16_t>& frame) {
    Peak peak;
    for (uint16_t p : frame) {
      if (p == 0) continue;
      ++peak.lit;
      peak.r = std::max(peak.r, Red(p));
      peak.g = std::max(peak.g, Green(p));
      peak.b = std::max(peak.b, Blue(p));
    }
    return peak;
  }

  // Draws a small opaque quad with whatever texture is selected and returns its centre pixel; the
  // frame shown next is cleared by the scene anyway.
  static uint16_t ProbeTextureSource() {
    GrVertex quad[4];
    SetScreenQuad(quad, -8.0f, -8.0f, 8.0f, 8.0f, 1.0f, 255.0f);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grDepthBufferFunction(GR_CMP_ALWAYS);
    DrawScreenQuad(quad);
    uint16_t pixel = 0;
    grLfbReadRegion(GR_BUFFER_BACKBUFFER, 320, 240, 1, 1, 2, &pixel);
    grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
    SetReflectionSceneState();
    return pixel;
  }

  // Writes a P3D of triangles given in view space (before the scene's rotation), for loading at
  // `scale`: the loader maps a file's (a, b, c) to (2sa, -2sc, 2sb).
  void WriteTriangles(const std::string& name, const std::vector<std::array<float, 3>>& corners, float scale) {
    std::ostringstream text;
    text << "1\nrefmap.cel\n" << corners.size() << "\n";
    const float k = 1.0f / (2.0f * scale);
    for (const auto& c : corners) text << c[0] * k << ' ' << c[2] * k << ' ' << -c[1] * k << '\n';
    text << corners.size() / 3 << '\n';
    for (size_t i = 0; i < corners.size(); i += 3) {
      text << "0 " << i << " 0 0 " << i + 1 << " 0 0 " << i + 2 << " 0 0\n";
    }
    Remove(name);
    std::ofstream(dir_ / name) << text.str();
  }

  // A sphere of `radius` view units: its silhouette is the same however the scene turns it.
  void WriteSphere(const std::string& name, float radius, float scale) {
    constexpr int kStacks = 12, kSlices = 16;
    auto point = [&](int i, int j) -> std::array<float, 3> {
      const float theta = 3.14159265f * static_cast<float>(i) / kStacks;
      const float phi = 6.2831853f * static_cast<float>(j) / kSlices;
      return {radius * std::sin(theta) * std::cos(phi), radius * std::cos(theta), radius * std::sin(theta) * std::sin(phi)};
    };
    std::vector<std::array<float, 3>> corners;
    for (int i = 0; i < kStacks; ++i) {
      for (int j = 0; j < kSlices; ++j) {
        for (auto [a, b] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{1, 1}, std::pair{0, 0}, std::pair{1, 1}, std::pair{0, 1}})
          corners.push_back(point(i + a, j + b));
      }
    }
    WriteTriangles(name, corners, scale);
  }

  // A box of half-sizes (hx, hy, hz), both windings of every face, so that its whole silhouette
  // shows whichever way it turns.
  void WriteBox(const std::string& name, float hx, float hy, float hz, float scale) {
    std::vector<std::array<float, 3>> corners;
    const float h[3] = {hx, hy, hz};
    for (int axis = 0; axis < 3; ++axis) {
      for (float side : {-1.0f, 1.0f}) {
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        std::array<float, 3> quad[4];
        const float us[4] = {-1, 1, 1, -1}, vs[4] = {-1, -1, 1, 1};
        for (int q = 0; q < 4; ++q) {
          quad[q][axis] = side * h[axis];
          quad[q][u] = us[q] * h[u];
          quad[q][v] = vs[q] * h[v];
        }
        for (int q : {0, 1, 2, 0, 2, 3, 0, 2, 1, 0, 3, 2}) corners.push_back(quad[q]);
      }
    }
    WriteTriangles(name, corners, scale);
  }

  // The screen box of the lit pixels: min x, min y, max x, max y.
  static std::array<int, 4> LitBox(const std::vector<uint16_t>& frame) {
    std::array<int, 4> box = {640, 480, -1, -1};
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (At(frame, x, y) != 0) box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    return box;
  }

  // Where the scene draws a box turned by the current matrix: its corners projected as the
  // renderer projects them (eye 200 units away, focal length 640, truncated).
  static std::array<int, 4> ProjectedBox(float hx, float hy, float hz) {
    std::array<int, 4> box = {640, 480, -1, -1};
    for (float sx : {-1.0f, 1.0f})
      for (float sy : {-1.0f, 1.0f})
        for (float sz : {-1.0f, 1.0f}) {
          Vertex4 p{sx * hx, sy * hy, sz * hz, 1.0f};
          TransformPoints(&p, &p, 1);
          const float oow = 1.0f / (p.z + 200.0f);
          const int x = static_cast<int>(std::trunc(640.0f * p.x * oow + 320.0f));
          const int y = static_cast<int>(std::trunc(640.0f * p.y * oow + 240.0f));
          box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
        }
    return box;
  }
};

// Boxes match within the rounding of the corner projection and the fill rule.
void ExpectBoxNear(const std::array<int, 4>& lit, const std::array<int, 4>& expected, const std::string& where) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(lit[i], expected[i], 2) << where << ", edge " << i;
}

TEST_F(ReflectionScenesTest, FacemapTurnsAboutTheVerticalAxisBeforeTheTilt) {
  WriteUniformCel("refmap2.cel", 256, 256, 255, 255, 255);
  WriteBox("vexol.p3d", 8.0f, 60.0f, 20.0f, 0.7f);
  FacemapInit();
  std::vector<uint16_t> frame36;
  for (int f = 0; f <= 36; ++f) {
    FacemapFrame();
    if (f == 36) frame36 = ShownFrame();
  }
  LoadMatrix(MakeRotationY(2.5f * 36.0f));
  MultMatrix(MakeRotationX(45.0f));
  ExpectBoxNear(LitBox(frame36), ProjectedBox(8.0f, 60.0f, 20.0f), "F = 36");
}

TEST_F(ReflectionScenesTest, EnviroShowsItsTenObjectsInOrderTurnedByTheSceneFrame) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  for (const char* name : {"refmap.cel", "refmap2.cel", "refmap3.cel"}) WriteUniformCel(name, 256, 256, 255, 255, 255);
  // Ten spheres growing in file order, except the teapot: a box, to show the turning.
  const char* kFiles[] = {"vexol.p3d", "teapot.p3d", "torus.p3d", "knot.p3d", "shape1.p3d",
                          "shape2.p3d", "shape3.p3d", "shape4.p3d", "shape5.p3d", "shape6.p3d"};
  const float kScales[] = {0.7f, 0.4f, 1.0f, 0.45f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f};
  for (int k = 0; k < 10; ++k) {
    if (k == 1) {
      WriteBox(kFiles[k], 10.0f, 50.0f, 25.0f, kScales[k]);
    } else {
      WriteSphere(kFiles[k], 16.0f + 6.0f * static_cast<float>(k), kScales[k]);
    }
  }
  EnviroInit();
  std::map<int, int> litAt;
  std::array<int, 4> teapotBox{};
  for (int f = 0; f <= 6000; ++f) {
    EnviroFrame();
    if (f % 600 == 300) {
      const auto shown = ShownFrame();
      litAt[f / 600] = static_cast<int>(std::count_if(shown.begin(), shown.end(), [](uint16_t p) { return p != 0; }));
      if (f == 900) teapotBox = LitBox(shown);
    }
  }
  EXPECT_GT(litAt[2], litAt[0] * 11 / 10) << "the torus after the figure";
  for (int k = 3; k < 10; ++k) EXPECT_GT(litAt[k], litAt[k - 1] * 11 / 10) << "object " << k << " after " << k - 1;
  // The teapot at F = 900 turned by the scene's frame counter itself, not the frame in its slot.
  LoadMatrix(MakeRotationZ(1.5f * 900.0f));
  MultMatrix(MakeRotationX(1.23f * 900.0f));
  ExpectBoxNear(teapotBox, ProjectedBox(10.0f, 50.0f, 25.0f), "teapot at F = 900");
}

}  // namespace

namespace {

TEST_F(ReflectionScenesTest, FacemapFadesInAndOut) {
  WriteUniformCel("refmap2.cel", 256, 256, 255, 255, 255);
  FacemapInit();
  EXPECT_EQ(Log().substr(0, 14), "start:facemap\n");
  const std::map<int, int> expected = {{0, 0}, {1, 1}, {100, 100}, {255, 255}, {945, 255}, {946, 254}, {1200, 0}};
  int frames = 0;
  for (int f = 0; f <= 1200; ++f) {
    const int32_t result = FacemapFrame();
    ++frames;
    if (auto it = expected.find(f); it != expected.end()) {
      const Peak peak = PeakOf(ShownFrame());
      // Dithering moves a value by up to one RGB565 step.
      EXPECT_NEAR(peak.g, it->second, 8) << "F = " << f;
      if (it->second == 0) {
        EXPECT_EQ(peak.lit, 0) << "F = " << f;
      } else {
        EXPECT_GT(peak.lit, 0) << "F = " << f << ": alpha " << it->second << " lights some dithered pixels";
      }
    }
    if (result != 0) break;
  }
  EXPECT_EQ(frames, 1201);
}

TEST_F(ReflectionScenesTest, EnviroObjectsMapsAndFades) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteUniformCel("refmap.cel", 256, 256, 255, 0, 0);
  WriteUniformCel("refmap2.cel", 256, 256, 0, 255, 0);
  WriteUniformCel("refmap3.cel", 256, 256, 0, 0, 255);
  EnviroInit();
  EXPECT_EQ(Log().substr(0, 13), "start:enviro\n");
  std::map<int, Peak> peaks;
  const int kProbes[] = {0, 16, 64, 300, 599, 600, 610, 1199, 1500, 3550, 3599, 3600, 3610, 5700, 6000};
  std::map<int, uint16_t> mapInForce;  // the texture source after the frame, drawn on a probe quad
  int frames = 0;
  for (int f = 0; f <= 6000; ++f) {
    const int32_t result = EnviroFrame();
    ++frames;
    if (std::find(std::begin(kProbes), std::end(kProbes), f) != std::end(kProbes)) peaks[f] = PeakOf(ShownFrame());
    if (f == 599 || f == 600 || f == 3599 || f == 3600) mapInForce[f] = ProbeTextureSource();
    if (result != 0) break;
  }
  EXPECT_EQ(frames, 6001);

  // The figure under the red map, fading in over 64 frames and out over the last 63.
  EXPECT_EQ(peaks[0].lit, 0);
  EXPECT_NEAR(peaks[16].r, 64, 8);
  EXPECT_NEAR(peaks[64].r, 255, 8);
  EXPECT_NEAR(peaks[300].r, 255, 8);
  EXPECT_NEAR(peaks[599].r, 4, 8);
  EXPECT_GT(peaks[599].lit, 0);
  // F = 600: the teapot, black at alpha 0; from then on the green map.
  EXPECT_EQ(peaks[600].lit, 0);
  EXPECT_NEAR(peaks[610].g, 40, 8);
  EXPECT_EQ(peaks[610].r, 0);
  EXPECT_NEAR(peaks[1500].g, 255, 8);
  // The teapot's last fade-out frame in the green channel, whose steps are fine enough: t = 599
  // is alpha 4, which dithers to green 0 or 4 (alpha 8 would reach 8).
  EXPECT_EQ(peaks[1199].g, 4);
  // The map changes in the same frame as the object: red until F = 599, green from 600; green
  // until 3599, blue from 3600.
  EXPECT_GT(Red(mapInForce[599]), 200);
  EXPECT_GT(Green(mapInForce[600]), 200);
  EXPECT_EQ(Red(mapInForce[600]), 0);
  EXPECT_GT(Green(mapInForce[3599]), 200);
  EXPECT_GT(Blue(mapInForce[3600]), 200);
  EXPECT_EQ(Green(mapInForce[3600]), 0);
  EXPECT_EQ(peaks[3550].b, 0) << "shape2 still under the green map";
  EXPECT_GT(peaks[3550].g, 0);
  EXPECT_EQ(peaks[3600].lit, 0);
  EXPECT_GT(peaks[3610].b, 0) << "shape3 brings the blue map";
  EXPECT_EQ(peaks[3610].g, 0);
  EXPECT_NEAR(peaks[5700].b, 255, 8);
  EXPECT_EQ(peaks[6000].lit, 0) << "the last frame, at alpha 0";

  EnviroDone();
  EXPECT_NE(Log().find("ENV DONE\n"), std::string::npos);
}

TEST_F(ReflectionScenesTest, AMissingMapEndsEnviroBeforeAnyObjectLoads) {
  Remove("refmap3.cel");
  Remove("vexol.p3d");  // would fail too, if it were reached
  EnviroInit();
  EXPECT_EQ(EnviroFrame(), 1);
}

TEST_F(ReflectionScenesTest, AnObjectTooLargeForThePointScratchIsRefused) {
  // A valid object file of `vertices` vertices and one face.
  auto writeFigure = [&](int vertices) {
    std::string text = "1\nrefmap.cel\n" + std::to_string(vertices) + "\n";
    for (int i = 0; i < vertices; ++i) text += std::to_string(i % 7) + " 0 " + std::to_string(i % 5) + "\n";
    text += "1\n0 0 0 0 1 1 0 2 0 1\n";
    Remove("vexol.p3d");
    std::ofstream(dir_ / "vexol.p3d") << text;
  };
  writeFigure(3000);
  FacemapInit();
  EXPECT_EQ(FacemapFrame(), 0) << "3000 vertices fit";
  writeFigure(3001);
  FacemapInit();
  EXPECT_EQ(FacemapFrame(), 1) << "the scene ends as for a failed load";
}

}  // namespace
