// The facemap and enviro scenes through the real stand-ins, with uniform reflection map
// fixtures, so that an object's brightness shows the scene's fade and its colour the map in force.
#include "SceneFixture.h"

#include "audio/AudioService.h"
#include "scenes/ReflectionScenes.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"

#include <algorithm>
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
};

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
