// Coverage, texel centres and the whole pipeline against the independent reference.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "GlideTestSupport.h"
#include "ReferenceRasterizer.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

class Coverage : public GlideFixture {
 protected:
  void SetUp() override {
    GlideFixture::SetUp();
    FlatState();
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
    grBufferClear(0, 0, 0);
  }
};

TEST_F(Coverage, TrianglesSharingAnEdgeCoverEveryPixelOnce) {
  // Random convex quads split along a diagonal, drawn additively: a pixel covered twice would
  // read 128, a gap 0 where the reference says covered.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-40 * 16, 120 * 16);
  reference::State flat;
  for (int quad = 0; quad < 200; ++quad) {
    grBufferClear(0, 0, 0);
    GrVertex v[4];
    for (auto& p : v) {
      const float x = coord(rng) / 16.0f, y = coord(rng) / 16.0f;
      p = Vertex(x, y, 64, 64, 64, 255);
    }
    grDrawTriangle(&v[0], &v[1], &v[2]);
    grDrawTriangle(&v[0], &v[2], &v[3]);
    reference::Image image;
    image.color.assign(640 * 480, 0);
    image.depth.assign(640 * 480, 0);
    std::vector<uint8_t> f1, f2;
    reference::DrawTriangle(flat, v[0], v[1], v[2], image, f1, 100, 100);
    reference::DrawTriangle(flat, v[0], v[2], v[3], image, f2, 100, 100);
    const std::vector<uint16_t> px = Read();
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 100; ++x) {
        const size_t i = static_cast<size_t>(y) * 640 + x;
        const int times = (f1[i] & reference::kCovered) + (f2[i] & reference::kCovered);
        const uint16_t expected = times == 0 ? 0 : times == 1 ? 0x4208 : 0x8410;
        ASSERT_EQ(px[i], expected) << "quad " << quad << " pixel " << x << "," << y;
      }
    }
  }
}

TEST_F(Coverage, CentresOnTopAndLeftEdgesAreDrawnOnBottomAndRightAreNot) {
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  // A square whose edges pass exactly through pixel centres: columns 10..19, rows 10..19.
  GrVertex q[4] = {Vertex(10.5f, 10.5f), Vertex(20.5f, 10.5f), Vertex(20.5f, 20.5f),
                   Vertex(10.5f, 20.5f)};
  grDrawPolygonVertexList(4, q);
  EXPECT_EQ(Pixel(10, 10), 0xFFFF) << "top-left corner centre";
  EXPECT_EQ(Pixel(19, 19), 0xFFFF);
  EXPECT_EQ(Pixel(20, 15), 0) << "right edge";
  EXPECT_EQ(Pixel(15, 20), 0) << "bottom edge";
  EXPECT_EQ(Pixel(9, 15), 0);
  EXPECT_EQ(Pixel(15, 9), 0);
  // A sloped left edge through centres (x = 40.5 + (y - 30.5)), right edge vertical.
  GrVertex a = Vertex(40.5f, 30.5f), b = Vertex(60.5f, 30.5f), c = Vertex(60.5f, 50.5f);
  grDrawTriangle(&a, &b, &c);
  EXPECT_EQ(Pixel(45, 35), 0xFFFF) << "centre exactly on the sloped left edge";
  EXPECT_EQ(Pixel(44, 35), 0);
  EXPECT_EQ(Pixel(60, 40), 0) << "centre exactly on the right edge";
  // The same triangle mirrored puts the sloped edge on the right: now not drawn.
  GrVertex d = Vertex(100.5f, 30.5f), e = Vertex(120.5f, 30.5f), f = Vertex(100.5f, 50.5f);
  grDrawTriangle(&d, &e, &f);
  EXPECT_EQ(Pixel(115, 35), 0) << "centre exactly on the sloped right edge";
  EXPECT_EQ(Pixel(114, 35), 0xFFFF);
  EXPECT_EQ(Pixel(100, 35), 0xFFFF);
}

TEST_F(Coverage, PointsAndBiasedVerticesLandOnTheSamePixels) {
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  GrVertex p = Vertex(10.3f, 20.7f);
  grDrawPoint(&p);
  const std::vector<uint16_t> px = Read();
  int lit = 0;
  for (uint16_t v : px) lit += v != 0;
  EXPECT_EQ(lit, 1);
  EXPECT_EQ(px[20 * 640 + 10], 0xFFFF);

  // A triangle with the 3 << 18 snapping bias left in (as 3dfx's own code does) covers the
  // same pixels: the bias vanishes in the 16-bit 12.4 register.
  grBufferClear(0, 0, 0);
  GrVertex a = Vertex(30.25f, 40.5f), b = Vertex(90.0f, 45.125f), c = Vertex(50.0f, 99.9375f);
  grDrawTriangle(&a, &b, &c);
  const std::vector<uint16_t> plain = Read();
  grBufferClear(0, 0, 0);
  const float bias = 786432.0f;
  GrVertex ab = a, bb = b, cb = c;
  for (GrVertex* v : {&ab, &bb, &cb}) {
    v->x += bias;
    v->y += bias;
  }
  grDrawTriangle(&ab, &bb, &cb);
  EXPECT_EQ(Read(), plain);
}

class Texels : public GlideFixture {
 protected:
  void SetUp() override {
    GlideFixture::SetUp();
    grDitherMode(GR_DITHER_DISABLE);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_NONE,
                   GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
    grBufferClear(0, 0, 0);
  }
  // A texture whose texel (s, t) holds a unique 565 value.
  void LoadUnique(int lod) {
    const int size = 256 >> lod;
    texels_.resize(static_cast<size_t>(size) * size);
    for (int t = 0; t < size; ++t) {
      for (int s = 0; s < size; ++s) texels_[t * size + s] = static_cast<uint16_t>(s | (t & 7) << 8);
    }
    GrTexInfo info{lod, lod, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels_.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  }
  void Quad(float x0, float x1, float s0, float s1) {
    GrVertex q[4] = {Vertex(x0, 0, 0, 0, 0, 255, 1, s0, 0.5f), Vertex(x1, 0, 0, 0, 0, 255, 1, s1, 0.5f),
                     Vertex(x1, 8, 0, 0, 0, 255, 1, s1, 0.5f), Vertex(x0, 8, 0, 0, 0, 255, 1, s0, 0.5f)};
    grDrawPlanarPolygonVertexList(4, q);
  }
  std::vector<uint16_t> texels_;
};

TEST_F(Texels, ColumnIShowsTexelIWithPointAndBilinearFiltering) {
  LoadUnique(GR_LOD_256);
  for (int filter : {GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_BILINEAR}) {
    grTexFilterMode(GR_TMU0, filter, filter);
    Quad(0, 256, 0, 256);
    const std::vector<uint16_t> px = Read();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(px[4 * 640 + i], texels_[i]) << "filter " << filter << " column " << i;
  }
}

TEST_F(Texels, SmallerTexturesSpanTheSameRange) {
  LoadUnique(GR_LOD_128);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  Quad(0, 256, 0, 256);
  std::vector<uint16_t> px = Read();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(px[4 * 640 + i], texels_[i / 2]) << i;
  // Bilinear: pixel centre 2k + 0.5 lies a quarter texel left of texel k's centre, so it mixes
  // texel k - 1 and k with weights 4/16 and 12/16 (blue carries the texel's s).
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  Quad(0, 256, 0, 256);
  px = Read();
  auto blue8 = [](int b5) { return b5 << 3 | b5 >> 2; };
  for (int k = 1; k < 32; ++k) {
    const int lo = blue8(k - 1), hi = blue8(k);
    const int mixed = (lo * (256 - 192) + hi * 192) >> 8;
    ASSERT_EQ(px[4 * 640 + 2 * k] & 31, mixed >> 3) << k;
  }
}

TEST_F(Texels, EveryLodSpansTextureSpaceZeroTo256) {
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  for (int lod = GR_LOD_256; lod <= GR_LOD_1; ++lod) {
    LoadUnique(lod);
    Quad(0, 256, 0, 256);
    const std::vector<uint16_t> px = Read();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(px[4 * 640 + i], texels_[i >> lod]) << "lod " << lod << " column " << i;
  }
}

TEST_F(Texels, EightAndSixteenBitFormatsExpandByBitReplication) {
  struct Case {
    int format;
    uint16_t raw;
    int r, g, b;  // expected 8-bit colour (dither off, so the pixel is r>>3, g>>2, b>>3)
  };
  const Case cases[] = {
      {GR_TEXFMT_RGB_332, 0xE3, 0xFF, 0x00, 0xFF},           {GR_TEXFMT_RGB_332, 0x49, 0x49, 0x49, 0x55},
      {GR_TEXFMT_ALPHA_8, 0x80, 0x80, 0x80, 0x80},           {GR_TEXFMT_INTENSITY_8, 0x7B, 0x7B, 0x7B, 0x7B},
      {GR_TEXFMT_ALPHA_INTENSITY_44, 0x3C, 0xCC, 0xCC, 0xCC}, {GR_TEXFMT_P_8, 0x02, 0x12, 0x34, 0x56},
      {GR_TEXFMT_ARGB_8332, 0x80E3, 0xFF, 0x00, 0xFF},       {GR_TEXFMT_RGB_565, 0x8410, 0x84, 0x82, 0x84},
      {GR_TEXFMT_ARGB_1555, 0x7C1F, 0xFF, 0x00, 0xFF},       {GR_TEXFMT_ARGB_4444, 0x1234, 0x22, 0x33, 0x44},
      {GR_TEXFMT_ALPHA_INTENSITY_88, 0x10C8, 0xC8, 0xC8, 0xC8}, {GR_TEXFMT_AP_88, 0xFF02, 0x12, 0x34, 0x56},
  };
  GuTexPalette palette{};
  palette.data[2] = 0x00123456;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  for (const Case& c : cases) {
    uint16_t texel = c.raw;  // little-endian: the low byte is the 8-bit texel
    GrTexInfo info{GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1, c.format, &texel};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    Quad(0, 8, 0, 256);
    EXPECT_EQ(Pixel(4, 4), static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3)))
        << "format " << c.format;
  }
  // The texture combine unit: ONE gives white whatever the texel, ZERO black.
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_ONE);
  Quad(0, 8, 0, 256);
  EXPECT_EQ(Pixel(4, 4), 0xFFFF);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_ZERO);
  Quad(0, 8, 0, 256);
  EXPECT_EQ(Pixel(4, 4), 0x0000);
}

// The context keeps what it derived from the selected texture (addressing, the 8-bit table, the
// expanded copy) until the texture, its memory or its table changes: alternating textures of one
// format, reselecting the same one, and a new palette under a selected texture all show.
TEST_F(Texels, SwitchingTexturesAndTablesBetweenDrawsShowsTheCurrentOnes) {
  GuTexPalette palette{};
  for (int i = 0; i < 256; ++i) palette.data[i] = static_cast<FxU32>(i) << 16 | 0x40;  // red = index
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  // Two 8 x 8 P_8 textures: A holds s * 8, B holds 255 - s * 8; an RGB_565 one after them.
  uint8_t a[64], b[64];
  for (int i = 0; i < 64; ++i) {
    a[i] = static_cast<uint8_t>((i & 7) * 8);
    b[i] = static_cast<uint8_t>(255 - (i & 7) * 8);
  }
  uint16_t c[64];
  for (int i = 0; i < 64; ++i) c[i] = static_cast<uint16_t>(0x001F - (i & 7));
  GrTexInfo infoA{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_P_8, a};
  GrTexInfo infoB{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_P_8, b};
  GrTexInfo infoC{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, c};
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &infoA);
  grTexDownloadMipMap(GR_TMU0, 256, GR_MIPMAPLEVELMASK_BOTH, &infoB);
  grTexDownloadMipMap(GR_TMU0, 512, GR_MIPMAPLEVELMASK_BOTH, &infoC);
  auto red = [](uint16_t px) { return px >> 11; };
  // Quad(x0, x1, 0, 256) over 64 pixels shows texel s in columns 8s .. 8s + 7.
  auto expectRow = [&](int x0, auto expectedRed, const char* what) {
    for (int s = 0; s < 8; ++s) ASSERT_EQ(red(Pixel(x0 + 8 * s + 4, 4)), expectedRed(s)) << what << " texel " << s;
  };
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &infoA);
  Quad(0, 64, 0, 256);
  grTexSource(GR_TMU0, 256, GR_MIPMAPLEVELMASK_BOTH, &infoB);
  Quad(64, 128, 0, 256);
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &infoA);
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &infoA);
  Quad(128, 192, 0, 256);
  grTexSource(GR_TMU0, 512, GR_MIPMAPLEVELMASK_BOTH, &infoC);
  Quad(192, 256, 0, 256);
  grTexSource(GR_TMU0, 256, GR_MIPMAPLEVELMASK_BOTH, &infoB);
  Quad(256, 320, 0, 256);
  expectRow(0, [](int s) { return (s * 8) >> 3; }, "A");
  expectRow(64, [](int s) { return (255 - s * 8) >> 3; }, "B");
  expectRow(128, [](int s) { return (s * 8) >> 3; }, "A again");
  for (int s = 0; s < 8; ++s) ASSERT_EQ(Pixel(192 + 8 * s + 4, 4), c[s]) << "RGB_565 texel " << s;
  expectRow(256, [](int s) { return (255 - s * 8) >> 3; }, "B after RGB_565");
  // A new table under the selected texture B: red = 255 - index now, so B reads s * 8.
  for (int i = 0; i < 256; ++i) palette.data[i] = static_cast<FxU32>(255 - i) << 16;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  Quad(320, 384, 0, 256);
  expectRow(320, [](int s) { return (s * 8) >> 3; }, "B with the new table");
  // New texels under the selected texture, written without selecting it again.
  for (int i = 0; i < 64; ++i) b[i] = static_cast<uint8_t>(255 - 4 * (i & 7));
  grTexDownloadMipMap(GR_TMU0, 256, GR_MIPMAPLEVELMASK_BOTH, &infoB);
  Quad(384, 448, 0, 256);
  expectRow(384, [](int s) { return (4 * s) >> 3; }, "B rewritten");
}

TEST_F(Texels, ClampAndWrapAtTheEdges) {
  LoadUnique(GR_LOD_256);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  // Pixel centre i + 0.5 samples s = i - 7.5: pixel 7 at s = -0.5, pixel 264 at s = 256.5.
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_CLAMP);
  Quad(0, 280, -8, 272);
  std::vector<uint16_t> px = Read();
  EXPECT_EQ(px[4 * 640 + 7], texels_[0]);
  EXPECT_EQ(px[4 * 640 + 264], texels_[255]);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  Quad(0, 280, -8, 272);
  px = Read();
  EXPECT_EQ(px[4 * 640 + 7], texels_[255]);
  EXPECT_EQ(px[4 * 640 + 264], texels_[0]);
}

// ---- Random triangles against the reference, in the render states the scenes use ----------

struct SceneState {
  const char* name;
  int colorFn;  // guColorCombineFunction, or -1 for the display's default combine
  int alphaSource;
  int format;
  int blendSrc, blendDst;
  int depthFunc;  // W-buffer compare; -1 no depth buffer
  bool depthWrite;
  bool chroma;
  int alphaTest, alphaRef;
  bool bilinear, clamp, textured;
};

const SceneState kSceneStates[] = {
    {"display default", -1, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_RGB_565, GR_BLEND_ONE, GR_BLEND_ZERO, GR_CMP_LESS, true, false, GR_CMP_ALWAYS, 0, true, false, true},
    {"soft sprite", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA, GR_TEXFMT_ARGB_4444, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_CMP_ALWAYS, false, false, GR_CMP_ALWAYS, 0, true, false, true},
    {"additive glow", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_RGB_565, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_CMP_LEQUAL, false, false, GR_CMP_ALWAYS, 0, true, false, true},
    {"env mapped", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA, GR_TEXFMT_P_8, GR_BLEND_ONE, GR_BLEND_ZERO, GR_CMP_LESS, true, false, GR_CMP_ALWAYS, 0, true, false, true},
    {"shadow plane", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_RGB_565, GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_CMP_ALWAYS, false, false, GR_CMP_ALWAYS, 0, true, false, true},
    {"fractal fade", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_P_8, GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_CMP_ALWAYS, false, false, GR_CMP_ALWAYS, 0, true, false, true},
    {"feedback keyed", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_RGB_565, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_CMP_ALWAYS, false, true, GR_CMP_ALWAYS, 0, true, false, true},
    {"flare alpha test", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA, GR_TEXFMT_ARGB_4444, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_CMP_LESS, true, false, GR_CMP_GREATER, 64, true, false, true},
    {"point clamp", GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_P_8, GR_BLEND_ONE, GR_BLEND_ZERO, GR_CMP_ALWAYS, false, false, GR_CMP_ALWAYS, 0, false, true, true},
    {"gouraud blend", GR_COLORCOMBINE_ITRGB, GR_ALPHASOURCE_ITERATED_ALPHA, GR_TEXFMT_RGB_565, GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, -1, false, false, GR_CMP_ALWAYS, 0, false, false, false},
};

std::string Describe(const GrVertex* v) {
  std::string out;
  char buf[200];
  for (int i = 0; i < 3; ++i) {
    std::snprintf(buf, sizeof buf, "[%g,%g rgba %g %g %g %g oow %g s %g t %g] ", v[i].x, v[i].y,
                  v[i].r, v[i].g, v[i].b, v[i].a, v[i].oow, v[i].tmuvtx[0].sow, v[i].tmuvtx[0].tow);
    out += buf;
  }
  return out;
}

class AgainstReference : public GlideFixture, public ::testing::WithParamInterface<SceneState> {};

TEST_P(AgainstReference, RandomTrianglesMatchWithinTheIteratorsRounding) {
  const SceneState& sc = GetParam();
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  constexpr int kClip = 80;
  grClipWindow(0, 0, kClip, kClip);

  // Texture: random texels with many key-black ones; palette random with entry 0 black.
  const int lod = GR_LOD_64;
  const int size = 256 >> lod;
  std::vector<uint8_t> texels(static_cast<size_t>(size) * size * 2);
  for (auto& t : texels) t = byte(rng) < 64 ? 0 : static_cast<uint8_t>(byte(rng));
  GuTexPalette palette;
  for (auto& e : palette.data) {
    const FxU32 r = byte(rng), g = byte(rng), b = byte(rng);
    e = r << 16 | g << 8 | b;
  }
  palette.data[0] = 0;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  GrTexInfo info{lod, lod, GR_ASPECT_1x1, sc.format, texels.data()};
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  const int filter = sc.bilinear ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED;
  grTexFilterMode(GR_TMU0, filter, filter);
  const int clamp = sc.clamp ? GR_TEXTURECLAMP_CLAMP : GR_TEXTURECLAMP_WRAP;
  grTexClampMode(GR_TMU0, clamp, clamp);

  reference::State ref;
  if (sc.colorFn < 0) {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    ref.color = {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                 GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, false};
  } else if (sc.colorFn == GR_COLORCOMBINE_TEXTURE_ADD_ITRGB) {
    guColorCombineFunction(sc.colorFn);
    ref.color = {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_ONE,
                 GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, false};
  } else {
    guColorCombineFunction(sc.colorFn);
    ref.color = {GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_NONE, false};
  }
  guAlphaSource(sc.alphaSource);
  ref.alpha = sc.alphaSource == GR_ALPHASOURCE_ITERATED_ALPHA
                  ? reference::CombineArgs{GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
                                           GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE, false}
                  : reference::CombineArgs{GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                                           GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE,
                                           false};
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  ref.texDecal = sc.textured;
  ref.format = sc.format;
  ref.lod = lod;
  ref.texels = texels.data();
  ref.palette = palette.data;
  ref.bilinear = sc.bilinear;
  ref.clamp = sc.clamp;
  grAlphaBlendFunction(sc.blendSrc, sc.blendDst, GR_BLEND_ONE, GR_BLEND_ZERO);
  ref.blendSrc = sc.blendSrc;
  ref.blendDst = sc.blendDst;
  if (sc.depthFunc >= 0) {
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(sc.depthFunc);
    grDepthMask(sc.depthWrite ? FXTRUE : FXFALSE);
    ref.wbuffer = true;
    ref.depthFunc = sc.depthFunc;
    ref.depthWrite = sc.depthWrite;
  } else {
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
  }
  grChromakeyMode(sc.chroma ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
  grChromakeyValue(0);
  ref.chroma = sc.chroma;
  grAlphaTestFunction(sc.alphaTest);
  grAlphaTestReferenceValue(static_cast<GrAlpha_t>(sc.alphaRef));
  ref.alphaTest = sc.alphaTest;
  ref.alphaRef = sc.alphaRef;

  std::uniform_int_distribution<int> pos(-20 * 16, (kClip + 20) * 16);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  long compared = 0, exact = 0, ambiguous = 0, worst = 0;
  std::vector<uint16_t> background(640 * 480), depth(640 * 480);
  for (int tri = 0; tri < 300; ++tri) {
    for (auto& p : background) {
      const int high = byte(rng), low = byte(rng);
      p = static_cast<uint16_t>(high << 8 | low);
    }
    for (auto& d : depth) d = static_cast<uint16_t>(0x4000 + byte(rng) * 128);
    ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 0, 0, GR_LFB_SRC_FMT_565, 640, 480, 1280, background.data()));
    ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_AUXBUFFER, 0, 0, GR_LFB_SRC_FMT_ZA16, 640, 480, 1280, depth.data()));
    GrVertex v[3];
    for (auto& p : v) {
      // One draw after another, in a fixed order: the order in which a call's arguments are
      // worked out differs between compilers and processors.
      const float oow = 0.02f + unit(rng);
      const float x = pos(rng) / 16.0f, y = pos(rng) / 16.0f;
      const float r = unit(rng) * 255, g = unit(rng) * 255, b = unit(rng) * 255, a = unit(rng) * 255;
      const float s = (unit(rng) * 600 - 200) * oow, t = (unit(rng) * 600 - 200) * oow;
      p = Vertex(x, y, r, g, b, a, oow, s, t);
    }
    grDrawTriangle(&v[0], &v[1], &v[2]);
    reference::Image image;
    image.color = background;
    image.depth = depth;
    std::vector<uint8_t> flags;
    reference::DrawTriangle(ref, v[0], v[1], v[2], image, flags, kClip, kClip);
    const std::vector<uint16_t> px = Read();
    for (int y = 0; y < kClip; ++y) {
      for (int x = 0; x < kClip; ++x) {
        const size_t i = static_cast<size_t>(y) * 640 + x;
        if (!(flags[i] & reference::kCovered)) {
          ASSERT_EQ(px[i], background[i]) << sc.name << ": drawn outside the triangle at " << x << "," << y;
          continue;
        }
        if (flags[i] & reference::kAmbiguous) {
          ++ambiguous;
          continue;
        }
        ++compared;
        const int dr = std::abs((px[i] >> 11) - (image.color[i] >> 11));
        const int dg = std::abs(((px[i] >> 5) & 63) - ((image.color[i] >> 5) & 63));
        const int db = std::abs((px[i] & 31) - (image.color[i] & 31));
        const int d = std::max({dr, dg, db});
        exact += d == 0;
        worst = std::max<long>(worst, d);
        ASSERT_LE(d, 1) << sc.name << " triangle " << tri << " pixel " << x << "," << y
                        << ": got 0x" << std::hex << px[i] << " expected 0x" << image.color[i]
                        << std::dec << " " << Describe(v);
      }
    }
  }
  // Iterated colour in 12.12 and the W float may put a value one step to either side; nothing
  // else may differ. Nearly every pixel agrees exactly.
  EXPECT_GT(compared, 20000) << sc.name;
  EXPECT_GT(static_cast<double>(exact) / compared, 0.97) << sc.name << " worst " << worst;
  EXPECT_LT(static_cast<double>(ambiguous) / (compared + ambiguous), 0.1) << sc.name;
}

INSTANTIATE_TEST_SUITE_P(SceneStates, AgainstReference, ::testing::ValuesIn(kSceneStates),
                         [](const auto& param) {
                           std::string name = param.param.name;
                           for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

// With worker threads the plane equations are computed by the thread that draws a triangle,
// from what set-up kept: they must be exactly those set-up computes at once, for either origin,
// any scale and vertices in any order, and the walk must not depend on them.
TEST(DeferredPlanes, AreTheSetUpsOwn) {
  glide::SpanTarget target;
  target.stride = 4 * 640 + glide::Context::kRowPad;
  uint32_t seed = 12345;
  auto next = [&](float lo, float hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + (hi - lo) * static_cast<float>(seed >> 8) / 16777216.0f;
  };
  int compared = 0;
  for (int scale : {1, 3}) {
    for (bool lowerLeft : {false, true}) {
      glide::TriangleJob job;
      job.target = &target;
      job.span = [](const glide::SpanTarget&, const glide::Gradients&, int, int, int) {};
      job.clip = {3 * scale, 5 * scale, 600 * scale, 470 * scale};
      job.screenHeight = 480 * scale;
      job.scale = scale;
      job.originLowerLeft = lowerLeft;
      for (int i = 0; i < 200; ++i) {
        GrVertex v[3];
        for (GrVertex& p : v) {
          p = glidetest::Vertex(next(-20, 660), next(-20, 500));
          p.r = next(0, 255), p.g = next(0, 255), p.b = next(0, 255), p.a = next(0, 255);
          p.ooz = next(0, 65535), p.oow = next(0.01f, 1);
          p.tmuvtx[0].sow = next(0, 256) * p.oow, p.tmuvtx[0].tow = next(0, 256) * p.oow;
        }
        glide::TriangleSetup now, later;
        const auto result = glide::SetUpTriangle(job, v[0], v[1], v[2], nullptr, nullptr, now);
        ASSERT_EQ(glide::SetUpTriangle(job, v[0], v[1], v[2], nullptr, nullptr, later, true), result);
        if (result != glide::SetupResult::kDrawn || now.yBegin >= now.yEnd) continue;
        EXPECT_EQ(later.yBegin, now.yBegin);
        EXPECT_EQ(later.yEnd, now.yEnd);
        EXPECT_EQ(later.width, now.width);
        glide::Gradients planes;
        glide::SetUpPlanes(later, planes);
        ASSERT_TRUE(planes == now.g) << "triangle " << i << " scale " << scale << " lower left " << lowerLeft
                                     << ": " << Describe(v);
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 400);
}

// The invariant checks are on in the test builds: a walk handed a band above the buffer, or a
// clip window without room for the spans' overrun, stops the program instead of writing outside
// a row.
void SetUpInBuffer(int stride, int bandTop) {
  glide::TriangleJob job;
  glide::SpanTarget target;
  target.stride = stride;
  job.target = &target;
  job.span = [](const glide::SpanTarget&, const glide::Gradients&, int, int, int) {};
  job.clip = {0, 0, 640, 480};
  job.screenHeight = 480;
  const GrVertex a = glidetest::Vertex(10, 10), b = glidetest::Vertex(50, 12), c = glidetest::Vertex(20, 40);
  glide::TriangleSetup setup;
  glide::SetUpTriangle(job, a, b, c, nullptr, nullptr, setup);
  glide::RasterizeTriangle(setup, setup.g, target, job.span, bandTop, bandTop + 16, nullptr);
}

TEST(InvariantChecks, StopABandAboveTheBufferAndAClipWithoutRoomForTheOverrun) {
  EXPECT_DEATH(SetUpInBuffer(640 + glide::Context::kRowPad, -4), "invariant broken: 0 <= bandTop");
  EXPECT_DEATH(SetUpInBuffer(640 + glide::kSpanOverrun - 1, 0), "invariant broken: .*kSpanOverrun");
}

}  // namespace
