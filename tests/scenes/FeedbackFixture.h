// What the tunnel and fire tests share: paletted fixtures drawn through a palette file of their
// own, copies of what a feedback scene captured, and the shown picture read as a fade.
#pragma once

#include "SceneFixture.h"

#include "scenes/FeedbackRenderer.h"

#include <glide.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

class FeedbackSceneTest : public SceneFixture {
 public:
  using Rgb6 = std::array<uint8_t, 3>;
  // For the measuring helpers outside the tests.
  using SceneFixture::At;
  using SceneFixture::Blue;
  using SceneFixture::Green;
  using SceneFixture::Red;

  static uint16_t CapturedAt(const std::vector<uint16_t>& capture, int x, int y) {
    return capture[static_cast<size_t>(y) * kWorkingSide + x];
  }

 protected:

  // A 768-byte palette of 6-bit components: `entries` from index 0 on, black after them.
  void WritePalette(const std::string& name, const std::vector<Rgb6>& entries) {
    std::vector<uint8_t> bytes(768, 0);
    for (size_t i = 0; i < entries.size(); ++i)
      for (size_t c = 0; c < 3; ++c) bytes[3 * i + c] = entries[i][c];
    WriteBytes(name, bytes);
  }

  // A square paletted CEL whose pixel (x, y) has palette index `index(x, y)` (its own palette is
  // left black: the paletted loader does not read it).
  void WriteIndexedCel(const std::string& name, int side, const std::function<uint8_t(int, int)>& index) {
    std::vector<uint8_t> bytes(800 + static_cast<size_t>(side) * side, 0);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) bytes[800 + static_cast<size_t>(y) * side + x] = index(x, y);
    WriteBytes(name, bytes);
  }

  void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    Remove(name);
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }

  // The working area as the scene last read it back, 256 x 256 RGB565.
  static std::vector<uint16_t> Captured(const FeedbackState& state) {
    return std::vector<uint16_t>(state.capture.get(), state.capture.get() + kCapturePixels);
  }
  // Mean of the 8-bit green of a block of the shown frame (blocks of whole 4 x 4 dither cells
  // average the dither out).
  static double MeanGreen(const std::vector<uint16_t>& frame, int x0, int y0, int width, int height) {
    double sum = 0.0;
    for (int y = y0; y < y0 + height; ++y)
      for (int x = x0; x < x0 + width; ++x) sum += Green(At(frame, x, y));
    return sum / (width * height);
  }

  // The whole screen as the display pass must show `capture`: working rows 0 ... height stretched
  // over 640 x 480 as two triangles, texture x fade through the combine unit, unblended, not
  // keyed. Drawn into the back buffer and texture memory, so only once the scene is over.
  static std::vector<uint16_t> ReferenceDisplay(std::vector<uint16_t> capture, float height, float fade) {
    GrTexInfo info{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, capture.data()};
    const FxU32 address = grTexMinAddress(GR_TMU0);
    grTexDownloadMipMap(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
    grRenderBuffer(GR_BUFFER_BACKBUFFER);
    grDepthMask(FXFALSE);
    grDepthBufferFunction(GR_CMP_ALWAYS);
    guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grChromakeyMode(GR_CHROMAKEY_DISABLE);
    const float corners[4][4] = {{0, 0, 0, 0}, {639, 0, 255, 0}, {0, 479, 0, height}, {639, 479, 255, height}};
    GrVertex v[4]{};
    for (int i = 0; i < 4; ++i) {
      v[i].x = corners[i][0];
      v[i].y = corners[i][1];
      v[i].tmuvtx[0].sow = corners[i][2];
      v[i].tmuvtx[0].tow = corners[i][3];
      v[i].a = fade;
      v[i].ooz = v[i].oow = v[i].tmuvtx[0].oow = 1.0f;
    }
    grDrawTriangle(&v[0], &v[1], &v[2]);
    grDrawTriangle(&v[2], &v[1], &v[3]);
    std::vector<uint16_t> frame(640 * 480);
    EXPECT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 640, 480, 1280, frame.data()));
    return frame;
  }

  static bool AllBlack(const std::vector<uint16_t>& frame) {
    for (uint16_t p : frame)
      if (p != 0) return false;
    return true;
  }
};

// One corner of a feedback quad: pixel position, texel position and alpha.
struct QuadCorner {
  double x, y, s, t, a;
};

// s, t and alpha at a pixel centre of a quad drawn as triangles (0, 1, 2) and (2, 1, 3), corners
// top-left, top-right, bottom-left, bottom-right, each interpolated linearly over its triangle.
inline std::array<double, 3> QuadAt(const QuadCorner* c, double x, double y) {
  const bool upper = (x - c[0].x) / (c[1].x - c[0].x) + (y - c[0].y) / (c[2].y - c[0].y) < 1.0;
  const QuadCorner& p = upper ? c[0] : c[3];
  const QuadCorner& q = c[1];
  const QuadCorner& r = c[2];
  const double ax = q.x - p.x, ay = q.y - p.y, bx = r.x - p.x, by = r.y - p.y;
  const double det = ax * by - ay * bx;
  const double u = ((x - p.x) * by - (y - p.y) * bx) / det;
  const double v = (ax * (y - p.y) - ay * (x - p.x)) / det;
  auto mix = [&](double QuadCorner::*field) { return p.*field + u * (q.*field - p.*field) + v * (r.*field - p.*field); };
  return {mix(&QuadCorner::s), mix(&QuadCorner::t), mix(&QuadCorner::a)};
}

// How far a capture is from the feedback pass predicted for it: the previous capture laid over the
// working area through `corners` (bilinear, wrapping), blended by the corners' alpha over what the
// back buffer held (`behind`: the picture shown two frames before), its black fragments keyed out.
// The mean |captured - predicted| of the green channel over the pixels `use(x, y)` picks.
template <class Use>
double FeedbackError(const std::vector<uint16_t>& previous, const std::vector<uint16_t>& behind,
                     const std::vector<uint16_t>& captured, const QuadCorner* corners, Use use) {
  double sum = 0.0;
  int count = 0;
  for (int y = 0; y < kWorkingSide; ++y) {
    for (int x = 0; x < kWorkingSide; ++x) {
      if (!use(x, y)) continue;
      const auto [s, t, a] = QuadAt(corners, x + 0.5, y + 0.5);
      const double u = s - 0.5, v = t - 0.5;
      const int u0 = static_cast<int>(std::floor(u)), v0 = static_cast<int>(std::floor(v));
      const double fu = u - u0, fv = v - v0;
      bool black = true;
      auto green = [&](int tx, int ty) {
        const uint16_t p = FeedbackSceneTest::CapturedAt(previous, tx & 255, ty & 255);
        black = black && p == 0;
        return static_cast<double>(FeedbackSceneTest::Green(p));
      };
      const double source = (green(u0, v0) * (1 - fu) + green(u0 + 1, v0) * fu) * (1 - fv) +
                            (green(u0, v0 + 1) * (1 - fu) + green(u0 + 1, v0 + 1) * fu) * fv;
      const double old = FeedbackSceneTest::Green(FeedbackSceneTest::At(behind, x, y));
      const double predicted = black ? old : (source * (a + 1.0) + old * (256.0 - a)) / 256.0;
      sum += std::abs(FeedbackSceneTest::Green(FeedbackSceneTest::CapturedAt(captured, x, y)) - predicted);
      ++count;
    }
  }
  return count > 0 ? sum / count : 0.0;
}
