// The specialised span paths agree bit for bit with the generic path.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "GlideTestSupport.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

class SpanAgreement : public GlideFixture, public ::testing::WithParamInterface<glide::SimdLevel> {
 protected:
  void TearDown() override {
    glide::TheContext().SetSimdLimit(glide::DetectedSimd());
    GlideFixture::TearDown();
  }
};

TEST_P(SpanAgreement, SpecialisedPathsMatchTheGenericPathOnRandomStatesAndTriangles) {
  if (GetParam() > glide::DetectedSimd()) GTEST_SKIP() << "this CPU lacks the instructions";
  glide::TheContext().SetSimdLimit(GetParam());
  std::mt19937 rng(99);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> byte(0, 255);

  // Textures at fixed places: 64 x 64 P_8, 256 x 256 RGB565, 128 x 128 ARGB4444.
  std::vector<uint8_t> p8(64 * 64), t565(256 * 256 * 2), t4444(128 * 128 * 2);
  for (auto& v : p8) v = static_cast<uint8_t>(byte(rng) < 40 ? 0 : byte(rng));
  for (auto& v : t565) v = static_cast<uint8_t>(byte(rng) < 40 ? 0 : byte(rng));
  for (auto& v : t4444) v = static_cast<uint8_t>(byte(rng));
  GuTexPalette palette;
  for (auto& e : palette.data) e = static_cast<FxU32>(byte(rng) * 0x10101 ^ byte(rng) << 8);
  palette.data[0] = 0;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  GrTexInfo infos[3] = {{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_P_8, p8.data()},
                        {GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, t565.data()},
                        {GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, t4444.data()}};
  const FxU32 address[3] = {0, 0x10000, 0x40000};
  for (int i = 0; i < 3; ++i) grTexDownloadMipMap(GR_TMU0, address[i], GR_MIPMAPLEVELMASK_BOTH, &infos[i]);

  const int colorFns[] = {GR_COLORCOMBINE_TEXTURE_ADD_ITRGB, GR_COLORCOMBINE_ITRGB,
                          GR_COLORCOMBINE_DECAL_TEXTURE, GR_COLORCOMBINE_TEXTURE_TIMES_ALPHA, -1};
  const int alphaSources[] = {GR_ALPHASOURCE_ITERATED_ALPHA,
                              GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA,
                              GR_ALPHASOURCE_TEXTURE_ALPHA};
  const int blends[][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO}, {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE}, {GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO}, {GR_BLEND_DST_COLOR, GR_BLEND_ONE}};
  const int depthFuncs[] = {-1, GR_CMP_LESS, GR_CMP_LEQUAL, GR_CMP_ALWAYS, GR_CMP_GREATER};
  const int dithers[] = {GR_DITHER_4x4, GR_DITHER_DISABLE, GR_DITHER_2x2};

  std::vector<uint16_t> background(640 * 480), depth(640 * 480);
  for (int round = 0; round < 400; ++round) {
    const int tex = pick(3);
    grTexSource(GR_TMU0, address[tex], GR_MIPMAPLEVELMASK_BOTH, &infos[tex]);
    const int filter = pick(2) ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED;
    grTexFilterMode(GR_TMU0, filter, filter);
    const int clamp = pick(2) ? GR_TEXTURECLAMP_CLAMP : GR_TEXTURECLAMP_WRAP;
    grTexClampMode(GR_TMU0, clamp, pick(2) ? clamp : GR_TEXTURECLAMP_WRAP);
    guTexCombineFunction(GR_TMU0, pick(6) ? GR_TEXTURECOMBINE_DECAL : GR_TEXTURECOMBINE_ONE);
    const int colorFn = colorFns[pick(5)];
    if (colorFn < 0) {
      grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                     GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    } else {
      guColorCombineFunction(colorFn);
    }
    guAlphaSource(alphaSources[pick(3)]);
    const auto& blend = blends[pick(6)];
    grAlphaBlendFunction(blend[0], blend[1], GR_BLEND_ONE, GR_BLEND_ZERO);
    const int depthFunc = depthFuncs[pick(5)];
    grDepthBufferMode(depthFunc < 0 ? GR_DEPTHBUFFER_DISABLE : GR_DEPTHBUFFER_WBUFFER);
    if (depthFunc >= 0) grDepthBufferFunction(depthFunc);
    grDepthMask(pick(2) ? FXTRUE : FXFALSE);
    grChromakeyMode(pick(3) == 0 ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
    grChromakeyValue(0);
    grAlphaTestFunction(pick(3) == 0 ? GR_CMP_GREATER : GR_CMP_ALWAYS);
    grAlphaTestReferenceValue(static_cast<GrAlpha_t>(pick(2) ? 64 : 2));
    grDitherMode(dithers[pick(3)]);

    GrVertex v[3];
    const float extent = pick(4) == 0 ? 900.0f : 200.0f;
    for (auto& p : v) {
      const float oow = pick(3) == 0 ? 1.0f : 0.005f + unit(rng);
      p = Vertex(unit(rng) * extent - 100, unit(rng) * extent - 100, unit(rng) * 300 - 20,
                 unit(rng) * 255, unit(rng) * 255, unit(rng) * 300 - 20, oow,
                 (unit(rng) * 700 - 200) * oow, (unit(rng) * 700 - 200) * oow);
    }
    for (auto& p : background) p = static_cast<uint16_t>(byte(rng) << 8 | byte(rng));
    for (auto& d : depth) d = static_cast<uint16_t>(byte(rng) << 8 | byte(rng));
    std::vector<uint16_t> results[2][2];
    for (int generic = 0; generic < 2; ++generic) {
      glide::TheContext().SetGenericOnly(generic == 1);
      ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 0, 0, GR_LFB_SRC_FMT_565, 640, 480, 1280, background.data()));
      ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_AUXBUFFER, 0, 0, GR_LFB_SRC_FMT_ZA16, 640, 480, 1280, depth.data()));
      grDrawTriangle(&v[0], &v[1], &v[2]);
      results[generic][0] = Read();
      results[generic][1] = Read(GR_BUFFER_AUXBUFFER);
    }
    ASSERT_EQ(results[0][0], results[1][0]) << "colour differs in round " << round;
    ASSERT_EQ(results[0][1], results[1][1]) << "depth differs in round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(SimdLevels, SpanAgreement,
                         ::testing::Values(glide::SimdLevel::kNone, glide::SimdLevel::kSse2,
                                           glide::SimdLevel::kAvx2),
                         [](const auto& param) {
                           switch (param.param) {
                             case glide::SimdLevel::kNone: return std::string("none");
                             case glide::SimdLevel::kSse2: return std::string("sse2");
                             default: return std::string("avx2");
                           }
                         });

}  // namespace
