// The specialised span paths agree bit for bit with the generic path.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "GlideTestSupport.h"
#include "TestSupport.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

// Random rounds per test: under the sanitizers, which look for memory faults and undefined
// behaviour rather than disagreements, a third as many (every level and every state kind still
// runs; the optimised build runs them all).
constexpr int Rounds(int rounds) { return KELDRIN_UNDER_SANITIZERS ? (rounds + 2) / 3 : rounds; }

class RandomScenes;

class SpanAgreement : public GlideFixture, public ::testing::WithParamInterface<glide::SimdLevel> {
 protected:
  void TearDown() override {
    glide::TheContext().SetSimdLimit(glide::DetectedSimd());
    GlideFixture::TearDown();
  }

  // Triangles (three vertices each) drawn from fresh backgrounds both ways: colour and depth agree.
  ::testing::AssertionResult TrianglesAgree(RandomScenes& scenes, const std::vector<GrVertex>& v);
  ::testing::AssertionResult TriangleAgrees(RandomScenes& scenes, const GrVertex (&v)[3]) {
    return TrianglesAgree(scenes, {v[0], v[1], v[2]});
  }
};

// Random render states over what the specialised paths cover and what they hand back to the
// generic path, three textures, and backgrounds for the colour and depth buffers.
class RandomScenes {
 public:
  explicit RandomScenes(uint32_t seed) : rng_(seed) {
    // Textures at fixed places: 64 x 64 P_8, 256 x 256 RGB565, 128 x 128 ARGB4444.
    p8_.resize(64 * 64);
    t565_.resize(256 * 256 * 2);
    t4444_.resize(128 * 128 * 2);
    for (auto& v : p8_) v = static_cast<uint8_t>(Byte() < 40 ? 0 : Byte());
    for (auto& v : t565_) v = static_cast<uint8_t>(Byte() < 40 ? 0 : Byte());
    for (auto& v : t4444_) v = static_cast<uint8_t>(Byte());
    GuTexPalette palette;
    for (auto& e : palette.data) e = static_cast<FxU32>(Byte() * 0x10101 ^ Byte() << 8);
    palette.data[0] = 0;
    grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
    infos_[0] = {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_P_8, p8_.data()};
    infos_[1] = {GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, t565_.data()};
    infos_[2] = {GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, t4444_.data()};
    for (int i = 0; i < 3; ++i) {
      grTexDownloadMipMap(GR_TMU0, kAddress[i], GR_MIPMAPLEVELMASK_BOTH, &infos_[i]);
    }
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  float Unit() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng_); }
  int Byte() { return std::uniform_int_distribution<int>(0, 255)(rng_); }

  void SetRandomState() {
    const int tex = Pick(3);
    grTexSource(GR_TMU0, kAddress[tex], GR_MIPMAPLEVELMASK_BOTH, &infos_[tex]);
    const int filter = Pick(2) ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED;
    grTexFilterMode(GR_TMU0, filter, filter);
    const int clamp = Pick(2) ? GR_TEXTURECLAMP_CLAMP : GR_TEXTURECLAMP_WRAP;
    grTexClampMode(GR_TMU0, clamp, Pick(2) ? clamp : GR_TEXTURECLAMP_WRAP);
    guTexCombineFunction(GR_TMU0, Pick(6) ? GR_TEXTURECOMBINE_DECAL : GR_TEXTURECOMBINE_ONE);
    const int colorFns[] = {GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_COLORCOMBINE_ITRGB,
                            GR_COLORCOMBINE_DECAL_TEXTURE, GR_COLORCOMBINE_TEXTURE_TIMES_ALPHA, -1};
    const int colorFn = colorFns[Pick(5)];
    if (colorFn < 0) {
      grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                     GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    } else {
      guColorCombineFunction(colorFn);
    }
    const int alphaSources[] = {GR_ALPHASOURCE_ITERATED_ALPHA,
                                GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA,
                                GR_ALPHASOURCE_TEXTURE_ALPHA};
    guAlphaSource(alphaSources[Pick(3)]);
    const int blends[][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO}, {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                             {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE}, {GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                             {GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO}, {GR_BLEND_DST_COLOR, GR_BLEND_ONE}};
    const auto& blend = blends[Pick(6)];
    grAlphaBlendFunction(blend[0], blend[1], GR_BLEND_ONE, GR_BLEND_ZERO);
    const int depthFuncs[] = {-1, GR_CMP_LESS, GR_CMP_LEQUAL, GR_CMP_ALWAYS, GR_CMP_GREATER};
    const int depthFunc = depthFuncs[Pick(5)];
    grDepthBufferMode(depthFunc < 0 ? GR_DEPTHBUFFER_DISABLE : GR_DEPTHBUFFER_WBUFFER);
    if (depthFunc >= 0) grDepthBufferFunction(depthFunc);
    grDepthMask(Pick(2) ? FXTRUE : FXFALSE);
    grChromakeyMode(Pick(3) == 0 ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
    grChromakeyValue(0);
    grAlphaTestFunction(Pick(3) == 0 ? GR_CMP_GREATER : GR_CMP_ALWAYS);
    grAlphaTestReferenceValue(static_cast<GrAlpha_t>(Pick(2) ? 64 : 2));
    const int dithers[] = {GR_DITHER_4x4, GR_DITHER_DISABLE, GR_DITHER_2x2};
    grDitherMode(dithers[Pick(3)]);
  }

  // The states whose small triangles are shaded with their pixels packed across rows: DECAL
  // texture combine, texture plus iterated colour, one of the usual blends and dithers, a W
  // buffer or none; now and then a chroma key, an alpha test, the lower-left origin or a clip
  // window.
  void SetRandomPackedState() {
    SetRandomState();
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
    if (Pick(4) == 0) {
      grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                     GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
      guAlphaSource(Pick(2) ? GR_ALPHASOURCE_ITERATED_ALPHA : GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
    } else {
      guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
      guAlphaSource(Pick(2) ? GR_ALPHASOURCE_ITERATED_ALPHA : GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
    }
    const int blends[][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO}, {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                             {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE}, {GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                             {GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO}};
    const auto& blend = blends[Pick(5)];
    grAlphaBlendFunction(blend[0], blend[1], GR_BLEND_ONE, GR_BLEND_ZERO);
    const int depthFuncs[] = {-1, GR_CMP_LESS, GR_CMP_LEQUAL, GR_CMP_ALWAYS};
    const int depthFunc = depthFuncs[Pick(4)];
    grDepthBufferMode(depthFunc < 0 ? GR_DEPTHBUFFER_DISABLE : GR_DEPTHBUFFER_WBUFFER);
    if (depthFunc >= 0) grDepthBufferFunction(depthFunc);
    grDitherMode(Pick(4) == 0 ? GR_DITHER_DISABLE : GR_DITHER_4x4);
    const int alphaTests[] = {GR_CMP_ALWAYS, GR_CMP_ALWAYS, GR_CMP_GREATER, GR_CMP_LESS,
                              GR_CMP_EQUAL, GR_CMP_NOTEQUAL, GR_CMP_GEQUAL, GR_CMP_LEQUAL};
    grAlphaTestFunction(alphaTests[Pick(8)]);
    grAlphaTestReferenceValue(static_cast<GrAlpha_t>(Byte()));
    grSstOrigin(Pick(4) == 0 ? GR_ORIGIN_LOWER_LEFT : GR_ORIGIN_UPPER_LEFT);
    if (Pick(3) == 0) {
      const int x0 = Pick(200), y0 = Pick(200);
      grClipWindow(x0, y0, x0 + 100 + Pick(340), y0 + 100 + Pick(180));
    } else {
      grClipWindow(0, 0, 640, 480);
    }
  }

  // A vertex at (x, y) with random colour, W (sometimes exactly 1) and texture coordinates.
  GrVertex RandomVertex(float x, float y) {
    const float oow = Pick(3) == 0 ? 1.0f : 0.005f + Unit();
    return Vertex(x, y, Unit() * 300 - 20, Unit() * 255, Unit() * 255, Unit() * 300 - 20, oow,
                  (Unit() * 700 - 200) * oow, (Unit() * 700 - 200) * oow);
  }

  void NewBackgrounds() {
    for (auto& p : background_) p = static_cast<uint16_t>(Byte() << 8 | Byte());
    for (auto& d : depth_) d = static_cast<uint16_t>(Byte() << 8 | Byte());
  }

  // Draws the triangles from the backgrounds through the specialised paths, then through the
  // generic path, and returns colour and depth of both: {specialised, generic}.
  template <typename Draw, typename ReadBuffer>
  void DrawBothWays(const Draw& draw, const ReadBuffer& read, std::vector<uint16_t> (&results)[2][2]) {
    for (int generic = 0; generic < 2; ++generic) {
      glide::TheContext().SetGenericOnly(generic == 1);
      ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 0, 0, GR_LFB_SRC_FMT_565, 640, 480, 1280, background_.data()));
      ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_AUXBUFFER, 0, 0, GR_LFB_SRC_FMT_ZA16, 640, 480, 1280, depth_.data()));
      draw();
      results[generic][0] = read(GR_BUFFER_BACKBUFFER);
      results[generic][1] = read(GR_BUFFER_AUXBUFFER);
    }
  }

 private:
  static constexpr FxU32 kAddress[3] = {0, 0x10000, 0x40000};
  std::mt19937 rng_;
  std::vector<uint8_t> p8_, t565_, t4444_;
  GrTexInfo infos_[3];
  std::vector<uint16_t> background_ = std::vector<uint16_t>(640 * 480);
  std::vector<uint16_t> depth_ = std::vector<uint16_t>(640 * 480);
};

::testing::AssertionResult SpanAgreement::TrianglesAgree(RandomScenes& scenes, const std::vector<GrVertex>& v) {
  scenes.NewBackgrounds();
  std::vector<uint16_t> results[2][2];
  scenes.DrawBothWays(
      [&] {
        for (size_t i = 0; i + 2 < v.size(); i += 3) grDrawTriangle(&v[i], &v[i + 1], &v[i + 2]);
      },
      [&](GrBuffer_t b) { return Read(b); }, results);
  if (results[0][0] != results[1][0]) return ::testing::AssertionFailure() << "colour differs";
  if (results[0][1] != results[1][1]) return ::testing::AssertionFailure() << "depth differs";
  return ::testing::AssertionSuccess();
}

TEST_P(SpanAgreement, SpecialisedPathsMatchTheGenericPathOnRandomStatesAndTriangles) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(99);
  for (int round = 0; round < Rounds(400); ++round) {
    scenes.SetRandomState();
    const float extent = scenes.Pick(4) == 0 ? 900.0f : 200.0f;
    GrVertex v[3];
    for (auto& p : v) p = scenes.RandomVertex(scenes.Unit() * extent - 100, scenes.Unit() * extent - 100);
    ASSERT_TRUE(TriangleAgrees(scenes, v)) << "in round " << round;
  }
}

// Faces whose colour or alpha is the same at every corner (flat-shaded objects, the screen
// quads), some channels only: the row paths take a channel that does not change along the row
// once, and must still iterate the others.
TEST_P(SpanAgreement, SpecialisedPathsMatchTheGenericPathWhereSomeChannelsAreFlat) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(4242);
  for (int round = 0; round < Rounds(200); ++round) {
    scenes.SetRandomState();
    GrVertex v[3];
    for (auto& p : v) p = scenes.RandomVertex(scenes.Unit() * 500 - 30, scenes.Unit() * 400 - 30);
    // Each channel flat (all corners alike) or not; at least one of each kind now and then.
    const int flat = scenes.Pick(16);
    float GrVertex::*channels[4] = {&GrVertex::r, &GrVertex::g, &GrVertex::b, &GrVertex::a};
    for (int k = 0; k < 4; ++k) {
      if (flat & (1 << k)) v[1].*channels[k] = v[2].*channels[k] = v[0].*channels[k];
    }
    ASSERT_TRUE(TriangleAgrees(scenes, v)) << "in round " << round << " (flat channels " << flat << ")";
  }
}

// Faces whose 1/W is the same at every pixel (screen quads, sprites) or along every row (a
// horizontal edge whose corners share it), some also with T/W (the screen-aligned quads) or S/W
// the same along the rows: the row paths divide, take the depth and address the texture rows once
// for those. 1/W of every kind: usual, exactly 1 and above (no valid depth), zero of either sign,
// negative, tiny. Large faces go row by row, small ones through the packed batch.
TEST_P(SpanAgreement, SpecialisedPathsMatchTheGenericPathWhereWOrTIsFlat) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(1717);
  const float ws[] = {0.25f, 0.0031f, 1.0f, 1.5f, 0.0f, -0.0f, -0.02f, 1.0e-30f, 0.9999f};
  for (int round = 0; round < Rounds(300); ++round) {
    if (round % 2) {
      scenes.SetRandomPackedState();
    } else {
      scenes.SetRandomState();
    }
    const float w = round < 90 ? ws[round % 9] : 0.002f + scenes.Unit();
    // 0: 1/W flat; 1: flat along the rows only; 2: changing along the rows too.
    const int wKind = scenes.Pick(3);
    // Bit 0: T/W the same at both ends of the horizontal edge; bit 1: S/W.
    const int same = scenes.Pick(4);
    const float size = scenes.Pick(2) ? 3.0f + scenes.Unit() * 20.0f : 40.0f + scenes.Unit() * 500.0f;
    const float x = scenes.Unit() * 640.0f - 20.0f, y = scenes.Unit() * 480.0f - 20.0f;
    GrVertex v[3] = {scenes.RandomVertex(x, y), scenes.RandomVertex(x + size, y),
                     scenes.RandomVertex(x + scenes.Unit() * size, y + (scenes.Pick(2) ? size : -size))};
    for (int k = 0; k < 3; ++k) {
      const float oow = (wKind == 1 && k == 2) || (wKind == 2 && k > 0) ? 0.002f + scenes.Unit() : w;
      v[k].tmuvtx[0].sow = v[k].tmuvtx[0].sow / v[k].oow * oow;
      v[k].tmuvtx[0].tow = v[k].tmuvtx[0].tow / v[k].oow * oow;
      v[k].oow = oow;
    }
    if (same & 1) v[1].tmuvtx[0].tow = v[0].tmuvtx[0].tow;
    if (same & 2) v[1].tmuvtx[0].sow = v[0].tmuvtx[0].sow;
    ASSERT_TRUE(TriangleAgrees(scenes, v)) << "in round " << round << " (1/W " << w << ", kind " << wKind
                                           << ", same " << same << ", size " << size << ")";
  }
  grSstOrigin(GR_ORIGIN_UPPER_LEFT);
  grClipWindow(0, 0, 640, 480);
}

// Colour that changes by hundreds to thousands a pixel along full-width rows, crossing the
// clamps inside a chunk: the row paths keep a chunk's iterators in 32-bit lanes only where no
// value can leave 32 bits before the chunk ends.
TEST_P(SpanAgreement, SteepColourAlongLongRowsMatchesTheGenericPath) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(2323);
  const float slopes[] = {300.0f, 1500.0f, 2047.0f, 2049.0f, 3000.0f, 8000.0f, 30000.0f, -2049.0f, -8000.0f};
  for (int round = 0; round < Rounds(90); ++round) {
    scenes.SetRandomState();
    const float slope = slopes[round % 9];
    // Zero somewhere in the first chunks of the row.
    const float zeroAt = scenes.Unit() * 300.0f;
    GrVertex v[3] = {scenes.RandomVertex(-10.0f, 100.0f), scenes.RandomVertex(650.0f, 100.0f),
                     scenes.RandomVertex(320.0f, 180.0f)};
    for (GrVertex& p : v) {
      const float value = (p.x - zeroAt) * slope;
      (round % 2 ? p.r : p.a) = value;
      p.g = value * 0.5f;
    }
    ASSERT_TRUE(TriangleAgrees(scenes, v)) << "in round " << round << " (slope " << slope << ")";
  }
}

// Small triangles: rows of one to about a dozen pixels, the short-span path's ground, also at
// the right edge of the screen and in the last rows, where its eight-lane blocks run past the
// span (into the next row, or the buffers' padding).
TEST_P(SpanAgreement, SpecialisedPathsMatchTheGenericPathOnSmallTriangles) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(7);
  for (int round = 0; round < Rounds(150); ++round) {
    scenes.SetRandomState();
    std::vector<GrVertex> v;
    for (int i = 0; i < 24; ++i) {
      const int place = scenes.Pick(4);
      const float size = 1.0f + scenes.Unit() * 12.0f;
      const float x = place == 1 ? 640.0f - size * scenes.Unit() : scenes.Unit() * 640.0f;
      const float y = place == 2 ? 480.0f - size * scenes.Unit() : scenes.Unit() * 480.0f;
      for (int k = 0; k < 3; ++k) {
        v.push_back(scenes.RandomVertex(x + (scenes.Unit() - 0.5f) * size, y + (scenes.Unit() - 0.5f) * size));
      }
    }
    ASSERT_TRUE(TrianglesAgree(scenes, v)) << "in round " << round;
  }
}

// Meshes of small triangles (a jittered grid, shared edges, one to forty pixels across) and
// loose ones across the screen's and the clip window's edges, in the states that pack a small
// triangle's pixels across rows. Some meshes carry colours whose iterators leave 32 bits, which
// sends their triangles back to the rows.
TEST_P(SpanAgreement, PackedSmallTrianglesMatchTheGenericPath) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(31);
  for (int round = 0; round < Rounds(120); ++round) {
    scenes.SetRandomPackedState();
    const float cell = 1.5f + scenes.Unit() * 28.0f;
    const float x0 = scenes.Unit() * 700.0f - 60.0f, y0 = scenes.Unit() * 540.0f - 60.0f;
    const bool hugeColour = scenes.Pick(8) == 0;
    std::vector<GrVertex> grid;
    const int n = 6;
    for (int j = 0; j <= n; ++j) {
      for (int i = 0; i <= n; ++i) {
        GrVertex v = scenes.RandomVertex(x0 + (i + (scenes.Unit() - 0.5f) * 0.6f) * cell,
                                         y0 + (j + (scenes.Unit() - 0.5f) * 0.6f) * cell);
        if (hugeColour) v.r = scenes.Pick(2) ? 3.0e6f : -3.0e6f;
        grid.push_back(v);
      }
    }
    std::vector<GrVertex> loose;
    for (int i = 0; i < 12; ++i) {
      const float size = 1.0f + scenes.Unit() * 30.0f;
      const float x = scenes.Pick(3) == 0 ? 640.0f - size * scenes.Unit() : scenes.Unit() * 660.0f - 10.0f;
      const float y = scenes.Pick(3) == 0 ? 480.0f - size * scenes.Unit() : scenes.Unit() * 500.0f - 10.0f;
      for (int k = 0; k < 3; ++k) {
        loose.push_back(scenes.RandomVertex(x + (scenes.Unit() - 0.5f) * size, y + (scenes.Unit() - 0.5f) * size));
      }
    }
    scenes.NewBackgrounds();
    std::vector<uint16_t> results[2][2];
    scenes.DrawBothWays(
        [&] {
          // Twice: the second pass meets its own depths (LESS fails, LEQUAL passes).
          for (int pass = 0; pass < 2; ++pass) {
            for (int j = 0; j < n; ++j) {
              for (int i = 0; i < n; ++i) {
                const int a = j * (n + 1) + i;
                grDrawTriangle(&grid[a], &grid[a + 1], &grid[a + n + 2]);
                grDrawTriangle(&grid[a], &grid[a + n + 2], &grid[a + n + 1]);
              }
            }
          }
          for (size_t i = 0; i < loose.size(); i += 3) grDrawTriangle(&loose[i], &loose[i + 1], &loose[i + 2]);
        },
        [&](GrBuffer_t b) { return Read(b); }, results);
    ASSERT_EQ(results[0][0], results[1][0]) << "colour differs in round " << round;
    ASSERT_EQ(results[0][1], results[1][1]) << "depth differs in round " << round;
  }
  grSstOrigin(GR_ORIGIN_UPPER_LEFT);
  grClipWindow(0, 0, 640, 480);
}

// 8-bit textures are sampled from copies expanded through their tables, kept for the textures
// drawn from last: what is drawn follows every download over a texture (whole, partial, or
// another texture's), the palette, and more textures in turn than copies are kept.
TEST_P(SpanAgreement, EightBitTexturesFollowDownloadsAndThePalette) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(5);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
  grDitherMode(GR_DITHER_4x4);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grAlphaTestFunction(GR_CMP_ALWAYS);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);

  struct Texture {
    FxU32 address = 0;
    GrTexInfo info{};
    std::vector<uint8_t> texels;
  };
  const GrTextureFormat_t formats[] = {GR_TEXFMT_P_8, GR_TEXFMT_RGB_332, GR_TEXFMT_INTENSITY_8,
                                       GR_TEXFMT_ALPHA_8, GR_TEXFMT_ALPHA_INTENSITY_44};
  const struct {
    GrLOD_t lod;
    GrAspectRatio_t aspect;
  } shapes[] = {{GR_LOD_64, GR_ASPECT_1x1}, {GR_LOD_128, GR_ASPECT_2x1}, {GR_LOD_32, GR_ASPECT_1x4},
                {GR_LOD_1, GR_ASPECT_1x1}, {GR_LOD_16, GR_ASPECT_8x1}};
  std::vector<Texture> textures(11);
  FxU32 address = 0x80000;
  for (size_t i = 0; i < textures.size(); ++i) {
    Texture& t = textures[i];
    t.info = {shapes[i % 5].lod, shapes[i % 5].lod, shapes[i % 5].aspect, formats[(i + i / 5) % 5], nullptr};
    t.texels.resize(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &t.info));
    for (auto& b : t.texels) b = static_cast<uint8_t>(scenes.Byte());
    t.info.data = t.texels.data();
    t.address = address;
    address += (static_cast<FxU32>(t.texels.size()) + 7) & ~7u;
    grTexDownloadMipMap(GR_TMU0, t.address, GR_MIPMAPLEVELMASK_BOTH, &t.info);
  }
  auto check = [&](const Texture& t, const std::string& step) {
    grTexSource(GR_TMU0, t.address, GR_MIPMAPLEVELMASK_BOTH, const_cast<GrTexInfo*>(&t.info));
    for (const int filter : {GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_BILINEAR}) {
      grTexFilterMode(GR_TMU0, filter, filter);
      // A large triangle (rows) and small ones (packed).
      std::vector<GrVertex> v = {scenes.RandomVertex(20, 30), scenes.RandomVertex(600, 90),
                                 scenes.RandomVertex(200, 450)};
      for (int i = 0; i < 8; ++i) {
        const float x = scenes.Unit() * 600, y = scenes.Unit() * 440;
        for (int k = 0; k < 3; ++k) v.push_back(scenes.RandomVertex(x + scenes.Unit() * 25, y + scenes.Unit() * 25));
      }
      ASSERT_TRUE(TrianglesAgree(scenes, v)) << step;
    }
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < textures.size(); ++i) check(textures[i], "drawing texture " + std::to_string(i));
  }
  // Each change below comes right after a draw from the texture, which holds its copy.
  Texture& first = textures[0];  // P_8, 64 x 64
  check(first, "drawing texture 0 again");
  for (auto& b : first.texels) b = static_cast<uint8_t>(scenes.Byte());
  grTexDownloadMipMap(GR_TMU0, first.address, GR_MIPMAPLEVELMASK_BOTH, &first.info);
  check(first, "after new texels were downloaded over it");
  std::vector<uint8_t> rows(64 * 10);
  for (auto& b : rows) b = static_cast<uint8_t>(scenes.Byte());
  grTexDownloadMipMapLevelPartial(GR_TMU0, first.address, GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1,
                                  GR_TEXFMT_P_8, GR_MIPMAPLEVELMASK_BOTH, rows.data(), 20, 29);
  check(first, "after a partial download over its rows 20 to 29");
  GuTexPalette palette;
  for (auto& e : palette.data) e = static_cast<FxU32>(scenes.Byte() << 16 | scenes.Byte() << 8 | scenes.Byte());
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  check(first, "after a new palette");
  // An RGB565 texture written over the second half of texture 1 (RGB332, 128 x 64).
  check(textures[1], "drawing texture 1 again");
  std::vector<uint8_t> other(64 * 32 * 2);
  for (auto& b : other) b = static_cast<uint8_t>(scenes.Byte());
  GrTexInfo otherInfo{GR_LOD_64, GR_LOD_64, GR_ASPECT_2x1, GR_TEXFMT_RGB_565, other.data()};
  grTexDownloadMipMap(GR_TMU0, textures[1].address + 128 * 32, GR_MIPMAPLEVELMASK_BOTH, &otherInfo);
  check(textures[1], "after another texture was downloaded over half of it");
}

// Textures of one colour (fades through a plain texture, a captured black screen) are drawn
// without fetching texels. Near misses must still be sampled: one texel different at the start,
// the end or the middle. What is drawn follows downloads and the palette, in and out of one
// colour; the chroma key matches the colour of some.
TEST_P(SpanAgreement, TexturesOfOneColourMatchTheGenericPath) {
  glide::TheContext().SetSimdLimit(GetParam());
  RandomScenes scenes(808);
  struct Texture {
    FxU32 address = 0;
    GrTexInfo info{};
    std::vector<uint8_t> texels;
  };
  // Each: format, size, the texel (its bytes repeated), and where one texel differs (-1: none,
  // else a texel index; -2: the last).
  const struct {
    GrTextureFormat_t format;
    GrLOD_t lod;
    GrAspectRatio_t aspect;
    uint16_t texel;
    int odd;
  } kinds[] = {
      {GR_TEXFMT_P_8, GR_LOD_64, GR_ASPECT_1x1, 0, -1},          // palette entry 0: black, the chroma key
      {GR_TEXFMT_P_8, GR_LOD_64, GR_ASPECT_2x1, 200, -1},
      {GR_TEXFMT_P_8, GR_LOD_16, GR_ASPECT_8x1, 17, 9},
      {GR_TEXFMT_RGB_565, GR_LOD_256, GR_ASPECT_1x1, 0x7BEF, -2},
      {GR_TEXFMT_RGB_565, GR_LOD_32, GR_ASPECT_1x1, 0xFFFF, -1},
      {GR_TEXFMT_RGB_565, GR_LOD_1, GR_ASPECT_1x1, 0x0000, -1},  // black, the chroma key
      {GR_TEXFMT_ARGB_4444, GR_LOD_128, GR_ASPECT_1x1, 0x8C3F, -1},
      {GR_TEXFMT_ARGB_4444, GR_LOD_64, GR_ASPECT_1x2, 0xF0A5, 0},
  };
  std::vector<Texture> textures;
  FxU32 address = 0x80000;
  for (const auto& kind : kinds) {
    Texture t;
    t.info = {kind.lod, kind.lod, kind.aspect, kind.format, nullptr};
    t.texels.resize(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &t.info));
    const size_t bytes = kind.format == GR_TEXFMT_P_8 ? 1 : 2;
    for (size_t i = 0; i < t.texels.size(); ++i) t.texels[i] = static_cast<uint8_t>(kind.texel >> (8 * (i % bytes)));
    if (kind.odd != -1) {
      const size_t at = kind.odd == -2 ? t.texels.size() / bytes - 1 : static_cast<size_t>(kind.odd);
      t.texels[at * bytes] ^= 0x21;
    }
    t.info.data = t.texels.data();
    t.address = address;
    address += (static_cast<FxU32>(t.texels.size()) + 7) & ~7u;
    grTexDownloadMipMap(GR_TMU0, t.address, GR_MIPMAPLEVELMASK_BOTH, &t.info);
    textures.push_back(std::move(t));
  }
  GuTexPalette palette;
  for (auto& e : palette.data) e = static_cast<FxU32>(scenes.Byte() << 16 | scenes.Byte() << 8 | scenes.Byte());
  palette.data[0] = 0;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);

  // A large triangle (rows) or a quad of two (screen-aligned, flat 1/W and colour, as the fades
  // draw), then small triangles (packed), in a random state drawing from `t`; `plain`: one of the
  // sixteen-lane paths' states that writes the combined colour as it is.
  auto drawAgrees = [&](const Texture& t, int round, bool plain = false) -> ::testing::AssertionResult {
    if (round % 2 || plain) {
      scenes.SetRandomPackedState();
    } else {
      scenes.SetRandomState();
    }
    if (plain) {
      grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
      grAlphaTestFunction(GR_CMP_ALWAYS);
      grChromakeyMode(GR_CHROMAKEY_DISABLE);
    }
    grTexSource(GR_TMU0, t.address, GR_MIPMAPLEVELMASK_BOTH, const_cast<GrTexInfo*>(&t.info));
    std::vector<GrVertex> v;
    if (scenes.Pick(2)) {
      for (int k = 0; k < 3; ++k) v.push_back(scenes.RandomVertex(scenes.Unit() * 800 - 80, scenes.Unit() * 600 - 60));
    } else {
      const float x0 = scenes.Unit() * 300 - 40, y0 = scenes.Unit() * 200 - 40;
      const float x1 = x0 + 100 + scenes.Unit() * 500, y1 = y0 + 50 + scenes.Unit() * 400;
      GrVertex corner = scenes.RandomVertex(x0, y0);
      const float oow = corner.oow;
      const auto at = [&](float x, float y, float s, float tt) {
        GrVertex c = corner;
        c.x = x;
        c.y = y;
        c.tmuvtx[0].sow = s * oow;
        c.tmuvtx[0].tow = tt * oow;
        return c;
      };
      const GrVertex a = at(x0, y0, 0, 0), b = at(x1, y0, 255, 0), c = at(x1, y1, 255, 255), d = at(x0, y1, 0, 255);
      v.insert(v.end(), {a, b, c, a, c, d});
    }
    for (int i = 0; i < 6; ++i) {
      const float x = scenes.Unit() * 620, y = scenes.Unit() * 460;
      for (int k = 0; k < 3; ++k) v.push_back(scenes.RandomVertex(x + scenes.Unit() * 20, y + scenes.Unit() * 20));
    }
    return TrianglesAgree(scenes, v);
  };
  for (int round = 0; round < Rounds(240); ++round) {
    const size_t which = static_cast<size_t>(round) % textures.size();
    ASSERT_TRUE(drawAgrees(textures[which], round)) << "texture " << which << ", round " << round;
  }

  // Out of one colour and back: a texel of the white RGB565 texture changed by a partial
  // download, then the whole texture again; a new palette under the P_8 texture of entry 200.
  // The first draw after each change matters most: it is in a state whose colour shows.
  // Each change comes right after a draw from the texture.
  Texture& white = textures[4];
  ASSERT_TRUE(drawAgrees(white, 0, true)) << "drawing the white texture again";
  std::vector<uint8_t> row(32 * 2, 0xFF);
  row[40] = 0x12;
  grTexDownloadMipMapLevelPartial(GR_TMU0, white.address, GR_LOD_32, GR_LOD_32, GR_ASPECT_1x1, GR_TEXFMT_RGB_565,
                                  GR_MIPMAPLEVELMASK_BOTH, row.data(), 31, 31);
  for (int round = 0; round < 6; ++round) {
    ASSERT_TRUE(drawAgrees(white, round, round == 0)) << "after one texel changed, round " << round;
  }
  grTexDownloadMipMap(GR_TMU0, white.address, GR_MIPMAPLEVELMASK_BOTH, &white.info);
  for (int round = 0; round < 6; ++round) {
    ASSERT_TRUE(drawAgrees(white, round, round == 0)) << "after the whole texture again, round " << round;
  }
  ASSERT_TRUE(drawAgrees(textures[1], 0, true)) << "drawing the P_8 texture again";
  palette.data[200] = 0x00FF8000;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  for (int round = 0; round < 6; ++round) {
    ASSERT_TRUE(drawAgrees(textures[1], round, round == 0)) << "after a new palette, round " << round;
  }
  grSstOrigin(GR_ORIGIN_UPPER_LEFT);
  grClipWindow(0, 0, 640, 480);
}

// The additive blend leaves a block of pixels unread and unwritten where every channel's term
// (s (a + 1)) >> 8 is zero, since adding nothing gives the stored pixel back: with the 4x4
// dither and its subtraction, and with no dither. With the 4x4 dither but no subtraction (the
// FX_GLIDE_NO_DITHER_SUB board) adding nothing moves some stored values, so nothing is skipped
// there. Sources that are black, dark, or bright at alpha near zero, over random backgrounds.
TEST_P(SpanAgreement, AddingDarkOrFaintSourcesMatchesTheGenericPath) {
  for (const bool subtract : {true, false}) {
    if (!subtract) {
      grGlideShutdown();
      setenv("FX_GLIDE_NO_DITHER_SUB", "1", 1);
      grGlideInit();
      unsetenv("FX_GLIDE_NO_DITHER_SUB");
      ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
                               GR_ORIGIN_UPPER_LEFT, 2, 1));
    }
    glide::TheContext().SetSimdLimit(GetParam());
    RandomScenes scenes(subtract ? 61 : 62);
    // 128 x 128 RGB565: the left half black, the right half a gradient from dark to bright.
    std::vector<uint16_t> texels(128 * 128);
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const int v = (x - 64) / 2;
        texels[static_cast<size_t>(y * 128 + x)] = x < 64 ? 0 : static_cast<uint16_t>(v << 11 | (y / 2) << 5 | v);
      }
    }
    GrTexInfo info{GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels.data()};
    grTexDownloadMipMap(GR_TMU0, 0x80000, GR_MIPMAPLEVELMASK_BOTH, &info);
    for (int round = 0; round < Rounds(90); ++round) {
      scenes.SetRandomPackedState();
      grTexSource(GR_TMU0, 0x80000, GR_MIPMAPLEVELMASK_BOTH, &info);
      grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
      const int dithers[] = {GR_DITHER_4x4, GR_DITHER_4x4, GR_DITHER_DISABLE, GR_DITHER_2x2};
      grDitherMode(dithers[scenes.Pick(4)]);
      // Iterated colour black or not; alpha zero, tiny or anything.
      const bool black = scenes.Pick(2) == 0;
      const float alphas[] = {0.0f, 2.0f, 255.0f * scenes.Unit()};
      const float alpha = alphas[scenes.Pick(3)];
      auto vertex = [&](float x, float y) {
        GrVertex v = scenes.RandomVertex(x, y);
        if (black) v.r = v.g = v.b = 0.0f;
        v.a = alpha;
        return v;
      };
      // A screen-sized triangle (rows), then small ones (packed).
      std::vector<GrVertex> v = {vertex(-40, -30), vertex(700, 20), vertex(300, 520)};
      for (int i = 0; i < 8; ++i) {
        const float x = scenes.Unit() * 620, y = scenes.Unit() * 460;
        for (int k = 0; k < 3; ++k) v.push_back(vertex(x + scenes.Unit() * 24, y + scenes.Unit() * 24));
      }
      ASSERT_TRUE(TrianglesAgree(scenes, v)) << (subtract ? "with" : "without") << " dither subtraction, round "
                                             << round;
    }
  }
  grSstOrigin(GR_ORIGIN_UPPER_LEFT);
  grClipWindow(0, 0, 640, 480);
}

// Every level this build has and this CPU runs.
INSTANTIATE_TEST_SUITE_P(SimdLevels, SpanAgreement, ::testing::ValuesIn(glide::AvailableSimd()),
                         [](const auto& param) { return std::string(glide::SimdName(param.param)); });

}  // namespace
