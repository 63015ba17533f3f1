// Misuse draws nothing wrong and crashes nothing (also run under ASan and UBSan).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "GlideTestSupport.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

// While set, every allocation through operator new in this test binary fails. (GCC takes the
// replacement pair for a mismatched one.)
std::atomic<bool> RefuseAllocations{false};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (RefuseAllocations.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class Misuse : public GlideFixture {};

// Runs `call` with every allocation refused.
template <class F>
auto WithoutMemory(F&& call) {
  RefuseAllocations = true;
  const auto result = call();
  RefuseAllocations = false;
  return result;
}

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

// A published function that cannot allocate returns instead of throwing through the C
// interface, reports the first failure once, and leaves the context able to work again.
TEST_F(Misuse, EntryPointsThatCannotAllocateReportOnceAndRecover) {
  const auto open = [] {
    return grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
                        GR_ORIGIN_UPPER_LEFT, 2, 1);
  };
  EXPECT_FALSE(WithoutMemory(open));
  EXPECT_EQ(glide::MisuseCount(), 1u);
  EXPECT_NE(glide::LastMisuse().find("grSstWinOpen failed"), std::string::npos) << glide::LastMisuse();
  EXPECT_FALSE(WithoutMemory(open));
  EXPECT_EQ(glide::MisuseCount(), 1u) << "a second failure of the same call is not reported again";
  ASSERT_TRUE(open());

  // A draw in a state not seen before must choose (and cache) its span function.
  FlatState();
  grAlphaTestFunction(GR_CMP_GEQUAL);
  grAlphaTestReferenceValue(77);
  grBufferClear(0, 0, 0);
  GrVertex a = Vertex(10, 10), b = Vertex(60, 10), c = Vertex(10, 60);
  WithoutMemory([&] {
    grDrawTriangle(&a, &b, &c);
    return 0;
  });
  EXPECT_EQ(glide::MisuseCount(), 2u);
  EXPECT_NE(glide::LastMisuse().find("grDrawTriangle failed"), std::string::npos) << glide::LastMisuse();
  grDrawTriangle(&a, &b, &c);
  EXPECT_EQ(Pixel(20, 20), 0xFFFF);
  EXPECT_EQ(Pixel(50, 50), 0x0000);
  ExpectMisuse(2);
}

}  // namespace
