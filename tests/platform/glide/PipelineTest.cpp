// Table-driven cases for each pixel operation, drawn through the public calls on small quads.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "GlideTestSupport.h"
#include "Pipeline.h"
#include "ReferenceRasterizer.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

uint16_t To565(int r, int g, int b) {
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

class Pixels : public GlideFixture {
 protected:
  void SetUp() override {
    GlideFixture::SetUp();
    grDitherMode(GR_DITHER_DISABLE);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
    grBufferClear(0, 0, 0);
  }
  // A 1 x 1 texel texture (LOD 1) of the given 4444 value.
  void Texel4444(uint16_t argb) {
    texel_ = argb;
    GrTexInfo info{GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, &texel_};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  }
  // An 8 x 8 flat quad at (x, y) with iterated colour (r, g, b, a) and W = 1 / oow.
  void Quad(int x, int y, int r, int g, int b, int a, float oow = 1.0f) {
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    GrVertex q[4] = {Vertex(fx, fy, r, g, b, a, oow), Vertex(fx + 8, fy, r, g, b, a, oow),
                     Vertex(fx + 8, fy + 8, r, g, b, a, oow), Vertex(fx, fy + 8, r, g, b, a, oow)};
    grDrawPolygonVertexList(4, q);
  }
  uint16_t texel_ = 0;
};

TEST_F(Pixels, CombineUnitsFollowTheHardwareEquation) {
  struct Case {
    const char* what;
    int colorFn, alphaSource;
    uint16_t texel;
    int r, g, b, a;
    int er, eg, eb;
  };
  // Texel 0xF8C4: a 0xFF, r 0x88, g 0xCC, b 0x44.
  const Case cases[] = {
      {"TEXTURE_ADD_ITRGB adds", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 16, 8, 40, 255, 0x98, 0xD4, 0x6C},
      {"TEXTURE_ADD_ITRGB saturates at 255", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 200, 200, 0, 255, 255, 255, 0x44},
      {"TEXTURE_TIMES_ALPHA a=255 keeps x", GR_COLORCOMBINE_TEXTURE_TIMES_ALPHA, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 0, 0, 0, 255, 0x88, 0xCC, 0x44},
      {"TEXTURE_TIMES_ALPHA a=128 is (x*129)>>8", GR_COLORCOMBINE_TEXTURE_TIMES_ALPHA, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 0, 0, 0, 128, (0x88 * 129) >> 8, (0xCC * 129) >> 8, (0x44 * 129) >> 8},
      {"TEXTURE_TIMES_ALPHA a=0 is (x*1)>>8 = 0", GR_COLORCOMBINE_TEXTURE_TIMES_ALPHA, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 0, 0, 0, 0, 0, 0, 0},
      {"TEXTURE_TIMES_ITRGB", GR_COLORCOMBINE_TEXTURE_TIMES_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 255, 127, 0, 255, 0x88, (0xCC * 128) >> 8, 0},
      {"TEXTURE_SUB_ITRGB clamps at 0", GR_COLORCOMBINE_TEXTURE_SUB_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 0x10, 0xFF, 0x44, 255, 0x78, 0, 0},
      {"ONE inverts zero", GR_COLORCOMBINE_ONE, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 0, 0, 0, 255, 255, 255, 255},
      {"ITRGB", GR_COLORCOMBINE_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, 0xF8C4, 1, 128, 254, 255, 1, 128, 254},
  };
  int x = 0;
  for (const Case& c : cases) {
    Texel4444(c.texel);
    guColorCombineFunction(c.colorFn);
    guAlphaSource(c.alphaSource);
    Quad(x, 0, c.r, c.g, c.b, c.a);
    EXPECT_EQ(Pixel(x + 4, 4), To565(c.er, c.eg, c.eb)) << c.what;
    x += 8;
  }
}

TEST_F(Pixels, AlphaCombineAndTheDisplayDefaultCombine) {
  // Texture alpha times iterated alpha: (ta * (ia + 1)) >> 8, visible through blending with
  // SRC_ALPHA / ZERO on white.
  Texel4444(0x8FFF);  // alpha 0x88, white
  guColorCombineFunction(GR_COLORCOMBINE_DECAL_TEXTURE);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  Quad(0, 0, 0, 0, 0, 200);
  const int alpha = (0x88 * 201) >> 8;
  const int value = (255 * (alpha + 1)) >> 8;
  EXPECT_EQ(Pixel(4, 4), To565(value, value, value));

  // The program's own default: texture scaled by iterated alpha, plus iterated colour.
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                 GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  Texel4444(0xF8C4);
  Quad(8, 0, 10, 20, 30, 100);
  EXPECT_EQ(Pixel(12, 4), To565(((0x88 * 101) >> 8) + 10, ((0xCC * 101) >> 8) + 20,
                                ((0x44 * 101) >> 8) + 30));
}

TEST_F(Pixels, BlendFactorsUseTheBoardsArithmetic) {
  struct Case {
    const char* what;
    int src, dst;
    int alpha;
    int expected;  // for source grey 0xC8 over destination grey 0x40
  };
  const int s = 0xC8, d = 0x42;  // 0x42 is exact in 565 (0x40 | 0x40 >> 5 ...)
  const Case cases[] = {
      {"SRC_ALPHA/ONE_MINUS_SRC_ALPHA a=255 gives S", GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, 255, s},
      {"SRC_ALPHA/ONE_MINUS_SRC_ALPHA a=0 gives D", GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, 0, d},
      {"SRC_ALPHA/ONE_MINUS_SRC_ALPHA a=100", GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, 100, (s * 101 + d * 156) >> 8},
      {"SRC_ALPHA/ONE saturates", GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, 255, 255},
      {"SRC_ALPHA/ONE a=64", GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, 64, std::min(255, (s * 65 + d * 256) >> 8)},
      {"ZERO/ONE_MINUS_SRC_ALPHA darkens", GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA, 192, (d * 64) >> 8},
      {"SRC_ALPHA/ZERO", GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, 127, (s * 128) >> 8},
      {"DST_COLOR/ZERO multiplies", GR_BLEND_DST_COLOR, GR_BLEND_ZERO, 255, (s * (d + 1)) >> 8},
      {"ONE/ONE_MINUS_SRC_COLOR", GR_BLEND_ONE, GR_BLEND_ONE_MINUS_SRC_COLOR, 255, std::min(255, (s * 256 + d * (256 - s)) >> 8)},
      {"DST_ALPHA without alpha planes reads 255", GR_BLEND_DST_ALPHA, GR_BLEND_ZERO, 0, s},
  };
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  const uint16_t dst565 = 0x4208;  // expands to 0x42, 0x41, 0x42
  int x = 0;
  for (const Case& c : cases) {
    std::vector<uint16_t> fill(64, dst565);
    ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, x, 0, GR_LFB_SRC_FMT_565, 8, 8, 16, fill.data()));
    grAlphaBlendFunction(c.src, c.dst, GR_BLEND_ONE, GR_BLEND_ZERO);
    Quad(x, 0, s, s, s, c.alpha);
    // Red and blue of the destination expand to 0x42, the value the table assumes.
    EXPECT_EQ(Pixel(x + 4, 4) >> 11, c.expected >> 3) << c.what;
    x += 8;
  }
}

TEST_F(Pixels, DitherMatchesTheEquationsForAll4096Values) {
  grDitherMode(GR_DITHER_4x4);
  const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  grClipWindow(0, 0, 4, 4);
  for (int v = 0; v < 256; ++v) {
    // A clear goes through the dither unit; ABGR grey v.
    grBufferClear(static_cast<GrColor_t>(v * 0x010101), 0, 0);
    uint16_t px[16];
    ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 4, 4, 8, px));
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        const int d = matrix[y][x];
        const uint16_t expected = static_cast<uint16_t>(reference::DitherChannel(v, d, 5) << 11 |
                                                        reference::DitherChannel(v, d, 6) << 5 |
                                                        reference::DitherChannel(v, d, 5));
        ASSERT_EQ(px[y * 4 + x], expected) << "v " << v << " at " << x << "," << y;
      }
    }
  }
  // The extremes stay exact everywhere.
  EXPECT_EQ(reference::DitherChannel(255, 0, 5), 31);
  EXPECT_EQ(reference::DitherChannel(255, 15, 6), 63);
  EXPECT_EQ(reference::DitherChannel(0, 15, 5), 0);
}

TEST_F(Pixels, DitherSubtractionKeepsRepeatedBlendsFromDrifting) {
  // Blending a colour at alpha 0 over itself must leave the frame as it was: with subtraction
  // the destination's dither offset comes back out before the blend.
  grDitherMode(GR_DITHER_4x4);
  grBufferClear(0x00606060, 0, 0);
  const std::vector<uint16_t> before = Read();
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  for (int i = 0; i < 8; ++i) Quad(0, 0, 0x60, 0x60, 0x60, 0);
  const std::vector<uint16_t> after = Read();
  int changed = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) changed += after[y * 640 + x] != before[y * 640 + x];
  }
  EXPECT_LE(changed, 8) << "at most a one-step wobble on some of the 64 pixels";
}

// Adding black keeps every stored pixel, whatever its value and dither position, with the 4x4
// dither and its subtraction and with no dither (the additive blend's fast paths skip such
// pixels). Every RGB565 value fills a 4 x 4 block, so it meets all sixteen dither positions.
TEST_F(Pixels, AddingBlackKeepsEveryStoredPixel) {
  glide::TheContext().SetGenericOnly(true);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
  std::vector<uint16_t> background(640 * 480);
  for (const int dither : {GR_DITHER_4x4, GR_DITHER_DISABLE}) {
    grDitherMode(dither);
    for (int first = 0; first < 65536; first += 160 * 120) {
      for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
          background[static_cast<size_t>(y * 640 + x)] = static_cast<uint16_t>(first + (y / 4) * 160 + x / 4);
        }
      }
      ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 0, 0, GR_LFB_SRC_FMT_565, 640, 480, 1280,
                                   background.data()));
      GrVertex q[4] = {Vertex(0, 0, 0, 0, 0, 255), Vertex(640, 0, 0, 0, 0, 0), Vertex(640, 480, 0, 0, 0, 128),
                       Vertex(0, 480, 0, 0, 0, 40)};
      grDrawPolygonVertexList(4, q);
      ASSERT_EQ(Read(), background) << "dither " << dither << ", values from " << first;
    }
  }
}

TEST_F(Pixels, FxGlideNoDitherSubBlendsTheStoredDestination) {
  // Half-alpha grey 0x60 over a dithered clear of grey 0x60: with FX_GLIDE_NO_DITHER_SUB the
  // destination is the stored 565 value expanded, with nothing taken out.
  setenv("FX_GLIDE_NO_DITHER_SUB", "1", 1);
  grGlideInit();
  ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
                           GR_ORIGIN_UPPER_LEFT, 2, 1));
  unsetenv("FX_GLIDE_NO_DITHER_SUB");
  grBufferClear(0x00606060, 0, 0);
  const std::vector<uint16_t> before = Read();
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  Quad(0, 0, 0x60, 0x60, 0x60, 128);
  const std::vector<uint16_t> plain = Read();
  const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const uint16_t old = before[y * 640 + x];
      const int r5 = old >> 11, g6 = (old >> 5) & 63;
      const int dr = r5 << 3 | r5 >> 2, dg = g6 << 2 | g6 >> 4;
      const int d = matrix[y & 3][x & 3];
      const int r = (0x60 * 129 + dr * 128) >> 8, g = (0x60 * 129 + dg * 128) >> 8;
      ASSERT_EQ(plain[y * 640 + x] >> 11, reference::DitherChannel(r, d, 5)) << x << "," << y;
      ASSERT_EQ((plain[y * 640 + x] >> 5) & 63, reference::DitherChannel(g, d, 6)) << x << "," << y;
    }
  }
  // Over a range of greys blended at alpha 0, the default (subtraction on) and the switched-off
  // board store different pixels: only one of them takes the dither offset back out.
  auto greys = [&](bool subtract) {
    if (!subtract) setenv("FX_GLIDE_NO_DITHER_SUB", "1", 1);
    grGlideInit();
    unsetenv("FX_GLIDE_NO_DITHER_SUB");
    EXPECT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
                             GR_ORIGIN_UPPER_LEFT, 2, 1));
    guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
    guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
    std::vector<uint16_t> all;
    for (int v = 0x20; v < 0xE0; v += 3) {
      grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
      grBufferClear(static_cast<GrColor_t>(v * 0x010101), 0, 0);
      grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
      Quad(0, 0, v, v, v, 0);
      const std::vector<uint16_t> px = Read();
      all.insert(all.end(), px.begin(), px.begin() + 8);
    }
    return all;
  };
  EXPECT_NE(greys(true), greys(false));
}

// Iterated colour far outside 0..255 clamps, whatever its magnitude: on both sides of where the
// set-up's fixed-point conversion leaves single precision (2^19) and far beyond it.
TEST_F(Pixels, IteratedColourOfAnyMagnitudeClamps) {
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  for (const float v : {300.0f, 524287.0f, 524288.0f, 700000.0f, 3.0e6f, 1.0e12f}) {
    GrVertex q[4] = {Vertex(0, 0, v, -v, 100), Vertex(8, 0, v, -v, 100), Vertex(8, 8, v, -v, 100),
                     Vertex(0, 8, v, -v, 100)};
    grDrawPolygonVertexList(4, q);
    EXPECT_EQ(Pixel(4, 4), To565(255, 0, 100)) << v;
    for (auto& p : q) std::swap(p.r, p.g);
    grDrawPolygonVertexList(4, q);
    EXPECT_EQ(Pixel(4, 4), To565(0, 255, 100)) << -v;
  }
}

TEST_F(Pixels, ZBufferStoresIteratedOozAndSavedStateRestores) {
  grDepthBufferMode(GR_DEPTHBUFFER_ZBUFFER);
  grDepthBufferFunction(GR_CMP_GREATER);  // larger ooz is nearer
  grDepthMask(FXTRUE);
  grBufferClear(0, 0, 0);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  GrVertex q[4] = {Vertex(0, 0, 255, 255, 255), Vertex(8, 0, 255, 255, 255), Vertex(8, 8, 255, 255, 255),
                   Vertex(0, 8, 255, 255, 255)};
  for (auto& v : q) v.ooz = 1000.0f;
  grDrawPolygonVertexList(4, q);
  EXPECT_EQ(Read(GR_BUFFER_AUXBUFFER)[4 * 640 + 4], 1000);
  for (auto& v : q) v.ooz = 999.0f;  // farther: rejected
  GrState saved;
  grGlideGetState(&saved);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  grGlideSetState(&saved);
  grDrawPolygonVertexList(4, q);
  EXPECT_EQ(Read(GR_BUFFER_AUXBUFFER)[4 * 640 + 4], 1000) << "GREATER restored from the saved state";
}

TEST_F(Pixels, ChromaKeyOnTheCombinedTexelAndAlphaTestLeaveColourAndDepthUntouched) {
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  grDepthMask(FXTRUE);
  grBufferClear(0, 0, 0x1234);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grChromakeyValue(0x000000);  // black (ABGR)
  struct Case {
    const char* what;
    uint16_t texel;
    bool chroma;
    int test, ref, itAlpha;
    bool drawn;
  };
  const Case cases[] = {
      {"black texel keyed", 0xF000, true, GR_CMP_ALWAYS, 0, 255, false},
      {"black texel drawn without the key", 0xF000, false, GR_CMP_ALWAYS, 0, 255, true},
      {"near-black texel not keyed", 0xF001, true, GR_CMP_ALWAYS, 0, 255, true},
      {"key ignores alpha", 0x0000, true, GR_CMP_ALWAYS, 0, 255, false},
      {"alpha 255 > 64", 0xFFFF, false, GR_CMP_GREATER, 64, 255, true},
      {"alpha 64 not > 64", 0xFFFF, false, GR_CMP_GREATER, 64, 63, false},  // (255*64)>>8 = 63
      {"alpha 2 > 2 fails", 0xFFFF, false, GR_CMP_GREATER, 2, 2, false},
      {"alpha equal passes EQUAL", 0xFFFF, false, GR_CMP_EQUAL, 99, 99, true},
      {"NEVER", 0xFFFF, false, GR_CMP_NEVER, 0, 255, false},
  };
  int x = 0;
  for (const Case& c : cases) {
    Texel4444(c.texel);
    grChromakeyMode(c.chroma ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
    grAlphaTestFunction(c.test);
    grAlphaTestReferenceValue(static_cast<GrAlpha_t>(c.ref));
    // Iterated colour 8 so that even a black texel draws a visible colour.
    Quad(x, 0, 8, 8, 8, c.itAlpha == 63 ? 64 : (c.itAlpha == 2 ? 2 : (c.itAlpha == 99 ? 99 : 255)));
    const bool drawn = Pixel(x + 4, 4) != 0;
    EXPECT_EQ(drawn, c.drawn) << c.what;
    EXPECT_EQ(Read(GR_BUFFER_AUXBUFFER)[4 * 640 + x + 4] != 0x1234, c.drawn) << c.what << " (depth)";
    x += 8;
  }
}

TEST(WBuffer, EncodingAtKnownPointsAndMonotonic) {
  EXPECT_EQ(glide::WDepth(1.0f / 1.0f), 0x0000u);
  EXPECT_EQ(glide::WDepth(1.0f / 2.0f), 0x1000u);
  EXPECT_EQ(glide::WDepth(1.0f / 256.0f), 0x8000u);
  EXPECT_EQ(glide::WDepth(1.0f / 65536.0f), 0xFFFFu);
  EXPECT_EQ(glide::WDepth(1.0f / 4.0f), 0x2000u);
  EXPECT_EQ(glide::WDepth(1.0f / 1.5f), 0x0AABu);
  EXPECT_EQ(glide::WDepth(1.0f / 1e9f), 0xFFFFu);
  EXPECT_EQ(glide::WDepth(4.0f), 0u) << "nearer than W = 1";
  EXPECT_EQ(glide::WDepth(-1.0f), 0u);
  uint32_t previous = 0;
  for (double w = 1.0; w < 65536.0; w *= 1.0009) {
    const uint32_t depth = glide::WDepth(static_cast<float>(1.0 / w));
    ASSERT_GE(depth, previous) << "W " << w;
    ASSERT_LE(std::abs(static_cast<int>(depth) - static_cast<int>(reference::WDepthOf(w))), 1) << w;
    previous = depth;
  }
}

TEST_F(Pixels, DepthComparesAllEight) {
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthMask(FXFALSE);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  grBufferClear(0, 0, 0);
  std::vector<uint16_t> depth(640 * 8, 0x8000);  // W = 256 stored
  ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_AUXBUFFER, 0, 0, GR_LFB_SRC_FMT_ZA16, 640, 8, 1280, depth.data()));
  struct Case {
    int func;
    bool nearer, equal, farther;
  };
  const Case cases[] = {
      {GR_CMP_NEVER, false, false, false}, {GR_CMP_LESS, true, false, false},
      {GR_CMP_EQUAL, false, true, false},  {GR_CMP_LEQUAL, true, true, false},
      {GR_CMP_GREATER, false, false, true}, {GR_CMP_NOTEQUAL, true, false, true},
      {GR_CMP_GEQUAL, false, true, true},  {GR_CMP_ALWAYS, true, true, true},
  };
  int x = 0;
  for (const Case& c : cases) {
    grDepthBufferFunction(c.func);
    Quad(x, 0, 255, 255, 255, 255, 1.0f / 128.0f);       // nearer
    Quad(x + 8, 0, 255, 255, 255, 255, 1.0f / 256.0f);   // equal
    Quad(x + 16, 0, 255, 255, 255, 255, 1.0f / 512.0f);  // farther
    EXPECT_EQ(Pixel(x + 4, 4) != 0, c.nearer) << "func " << c.func;
    EXPECT_EQ(Pixel(x + 12, 4) != 0, c.equal) << "func " << c.func;
    EXPECT_EQ(Pixel(x + 20, 4) != 0, c.farther) << "func " << c.func;
    x += 24;
  }
  // With writes on, a passing pixel stores its own depth.
  grDepthMask(FXTRUE);
  grDepthBufferFunction(GR_CMP_LESS);
  Quad(400, 0, 255, 255, 255, 255, 1.0f / 2.0f);
  EXPECT_EQ(Read(GR_BUFFER_AUXBUFFER)[4 * 640 + 404], 0x1000);
}

}  // namespace
