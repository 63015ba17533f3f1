// Misuse draws nothing wrong and crashes nothing (also run under ASan and UBSan).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "GlideTestSupport.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

class Misuse : public GlideFixture {};

TEST_F(Misuse, NanAndInfiniteVerticesAreDroppedWithOneReport) {
  FlatState();
  grBufferClear(0, 0, 0);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  GrVertex a = Vertex(nan, 10), b = Vertex(100, 10), c = Vertex(50, 80);
  grDrawTriangle(&a, &b, &c);
  GrVertex d = Vertex(10, inf);
  grDrawTriangle(&d, &b, &c);
  GrVertex quad[4] = {Vertex(nan, 0), Vertex(10, 0), Vertex(10, 10), Vertex(0, 10)};
  grDrawPlanarPolygonVertexList(4, quad);
  guDrawTriangleWithClip(&a, &b, &c);
  ExpectMisuse(5);  // the polygon drops both of its triangles (vertex 0 is in each)
  for (uint16_t p : Read()) ASSERT_EQ(p, 0);
}

TEST_F(Misuse, HugeCoordinatesWrapAndStayInsideTheBuffers) {
  FlatState();
  grBufferClear(0, 0, 0);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  grDepthMask(FXTRUE);
  const float big[] = {1e30f, -1e30f, 3e9f, -70000.0f, 4095.9f, 2047.0f, -2048.0f};
  for (float x : big) {
    for (float y : big) {
      GrVertex a = Vertex(x, 10, 255, 0, 0, 255, 1e-30f), b = Vertex(320, y, 0, 255, 0, 255, 1e30f),
               c = Vertex(-x, -y, 0, 0, 255, 255, NAN);
      grDrawTriangle(&a, &b, &c);
      guDrawTriangleWithClip(&a, &b, &c);
    }
  }
  // Clipped drawing is bounded by the clip window.
  grBufferClear(0, 0, 0);
  grClipWindow(100, 100, 200, 200);
  GrVertex a = Vertex(-1e20f, -1e20f), b = Vertex(1e20f, -1e20f), c = Vertex(0, 1e20f);
  guDrawTriangleWithClip(&a, &b, &c);
  const std::vector<uint16_t> px = Read();
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool inside = x >= 100 && x < 200 && y >= 100 && y < 200;
      ASSERT_EQ(px[y * 640 + x] != 0, inside) << x << "," << y;
    }
  }
}

TEST_F(Misuse, TextureSourceBeyondMemoryKeepsThePreviousTextureAndUnsetPaletteIsReported) {
  grDitherMode(GR_DITHER_DISABLE);
  guColorCombineFunction(GR_COLORCOMBINE_DECAL_TEXTURE);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  std::vector<uint16_t> green(64, 0x07E0);
  GrTexInfo small{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, green.data()};
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &small);
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &small);
  GrTexInfo large{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
  grTexSource(GR_TMU0, grTexMaxAddress(GR_TMU0) - 0x100, GR_MIPMAPLEVELMASK_BOTH, &large);
  grTexSource(GR_TMU0, 3, GR_MIPMAPLEVELMASK_BOTH, &small);
  GrTexInfo bad{GR_LOD_1, GR_LOD_256 - 1, GR_ASPECT_1x1, 99, nullptr};
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &bad);
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, nullptr);
  GrVertex q[4] = {Vertex(0, 0, 0, 0, 0, 255, 1, 0, 0), Vertex(16, 0, 0, 0, 0, 255, 1, 256, 0),
                   Vertex(16, 16, 0, 0, 0, 255, 1, 256, 256), Vertex(0, 16, 0, 0, 0, 255, 1, 0, 256)};
  grDrawPolygonVertexList(4, q);
  EXPECT_EQ(Pixel(8, 8), 0x07E0) << "the last good texture is still selected";

  // A palette texture before any palette was loaded: black, reported once.
  std::vector<uint8_t> indices(64, 7);
  GrTexInfo paletted{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_P_8, indices.data()};
  grTexDownloadMipMap(GR_TMU0, 256, GR_MIPMAPLEVELMASK_BOTH, &paletted);
  grTexSource(GR_TMU0, 256, GR_MIPMAPLEVELMASK_BOTH, &paletted);
  grDrawPolygonVertexList(4, q);
  grDrawPolygonVertexList(4, q);
  EXPECT_EQ(Pixel(8, 8), 0);
  ExpectMisuse(5);
}

TEST_F(Misuse, CallsOutOfRangeOrBeforeOpeningAreRefused) {
  grColorCombine(99, 0, 0, 0, FXFALSE);
  grAlphaBlendFunction(GR_BLEND_ONE, 12, GR_BLEND_ONE, GR_BLEND_ZERO);
  grDepthBufferFunction(9);
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, nullptr);
  grDrawPolygonVertexList(4, nullptr);
  EXPECT_EQ(glide::MisuseCount(), 5u);
  grGlideShutdown();
  grGlideShutdown();  // harmless when repeated
  GrVertex a = Vertex(0, 0), b = Vertex(10, 0), c = Vertex(0, 10);
  grDrawTriangle(&a, &b, &c);
  grBufferClear(0, 0, 0);
  grBufferSwap(1);
  uint16_t p;
  EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 1, 1, 2, &p));
  ExpectMisuse(9);
}

}  // namespace
