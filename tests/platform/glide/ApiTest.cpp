// The published functions as a whole: each refusal names the function the program called, and
// each render-state call reaches the very next draw (the span selection is rebuilt for it).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "GlideTestSupport.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

class Api : public GlideFixture {
 protected:
  // A 16 x 16 square at column x0, in the fixture's flat white, texture coordinate s everywhere.
  void Square(float x0, float s = 0.0f) {
    GrVertex q[4] = {Vertex(x0, 0, 255, 255, 255, 128, 1, s, 16), Vertex(x0 + 16, 0, 255, 255, 255, 128, 1, s, 16),
                     Vertex(x0 + 16, 16, 255, 255, 255, 128, 1, s, 16), Vertex(x0, 16, 255, 255, 255, 128, 1, s, 16)};
    grDrawPolygonVertexList(4, q);
  }

  // An 8 x 8 RGB565 texture, red in columns 0-3 and green in columns 4-7, selected and passed
  // through the combine units.
  void SelectHalvesTexture() {
    texels_.assign(64, 0);
    for (int i = 0; i < 64; ++i) texels_[i] = (i % 8) < 4 ? 0xF800 : 0x07E0;
    GrTexInfo info{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, texels_.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    guColorCombineFunction(GR_COLORCOMBINE_DECAL_TEXTURE);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  }

  std::vector<uint16_t> texels_;
};

TEST_F(Api, EveryReportNamesTheFunctionTheProgramCalled) {
  GrVertex v = Vertex(0, 0);
  const struct {
    const char* name;
    std::function<void()> call;
  } refused[] = {
      {"grTexDownloadTable", [] { grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, nullptr); }},
      {"grTexDownloadTablePartial", [] { grTexDownloadTablePartial(GR_TMU1, GR_TEXTABLE_PALETTE, nullptr, 0, 9); }},
      {"grTexCombineFunction", [] { grTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DETAIL); }},
      {"guTexCombineFunction", [] { guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DETAIL); }},
      {"guDrawTriangleWithClip", [&] { guDrawTriangleWithClip(&v, nullptr, &v); }},
      {"guDrawPolygonVertexListWithClip", [] { guDrawPolygonVertexListWithClip(3, nullptr); }},
      {"grDrawPlanarPolygon", [&] { grDrawPlanarPolygon(3, nullptr, &v); }},
      {"grCullMode", [] { grCullMode(7); }},
      {"grSstOrigin", [] { grSstOrigin(5); }},
      {"grTexClampMode", [] { grTexClampMode(GR_TMU1, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP); }},
      {"grTexMipMapMode", [] { grTexMipMapMode(GR_TMU0, 99, FXFALSE); }},
      {"grLfbLock", [] { grLfbLock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_UPPER_LEFT, FXFALSE, nullptr); }},
      {"grGlideGetState", [] { grGlideGetState(nullptr); }},
      {"guAlphaSource", [] { guAlphaSource(99); }},
      {"grAlphaCombine", [] { grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, 9, 0, FXFALSE); }},
      {"grGammaCorrectionValue", [] { grGammaCorrectionValue(-1.0f); }},
  };
  for (const auto& r : refused) {
    const uint64_t before = glide::MisuseCount();
    r.call();
    EXPECT_EQ(glide::MisuseCount(), before + 1) << r.name;
    EXPECT_EQ(glide::LastMisuse().rfind(std::string(r.name) + ": ", 0), 0u) << glide::LastMisuse();
  }
  ExpectMisuse(std::size(refused));
}

// Each row sets a state in which the square draws one way, draws it, makes one call, and draws it
// again beside the first: the two must differ where the call says (a call that failed to reach
// the draw leaves them alike).
TEST_F(Api, EachStateCallTakesEffectOnTheNextDraw) {
  const auto color = [this](int x) { return Pixel(x, 8); };
  const auto depth = [this](int x) { return Pixel(x, 8, GR_BUFFER_AUXBUFFER); };
  const auto wBuffer = [] {
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_ALWAYS);
    grDepthMask(FXTRUE);
  };
  const struct {
    const char* call;
    std::function<void()> before, change;
    std::function<uint16_t(int)> look;
    float s = 0.0f;
  } rows[] = {
      {"grConstantColorValue",
       [] {
         grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                        GR_COMBINE_OTHER_NONE, FXFALSE);
         grConstantColorValue(0xFF0000FF);
       },
       [] { grConstantColorValue(0xFF00FF00); }, color},
      {"grConstantColorValue4",
       [] {
         grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                        GR_COMBINE_OTHER_NONE, FXFALSE);
       },
       [] { grConstantColorValue4(255, 0, 0, 255); }, color},
      {"grAlphaTestFunction", [] {}, [] { grAlphaTestFunction(GR_CMP_NEVER); }, color},
      {"grAlphaTestReferenceValue", [] { grAlphaTestFunction(GR_CMP_GREATER); },
       [] { grAlphaTestReferenceValue(200); }, color},
      {"grChromakeyMode", [] { grChromakeyValue(0xFFFFFF); }, [] { grChromakeyMode(GR_CHROMAKEY_ENABLE); }, color},
      {"grChromakeyValue", [] { grChromakeyMode(GR_CHROMAKEY_ENABLE); }, [] { grChromakeyValue(0xFFFFFF); }, color},
      {"grColorMask", [] {}, [] { grColorMask(FXFALSE, FXFALSE); }, color},
      {"grDepthBufferMode", [] { grDepthBufferFunction(GR_CMP_NEVER); },
       [] { grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER); }, color},
      {"grDepthBufferFunction", wBuffer, [] { grDepthBufferFunction(GR_CMP_NEVER); }, color},
      {"grDepthMask",
       [&] {
         wBuffer();
         grBufferClear(0, 0, 0xFFFF);  // the farthest depth, which a written square replaces
         grDepthMask(FXFALSE);
       },
       [] { grDepthMask(FXTRUE); }, depth},
      {"grDepthBiasLevel", wBuffer, [] { grDepthBiasLevel(1000); }, depth},
      {"grDisableAllEffects", [] { grAlphaTestFunction(GR_CMP_NEVER); }, [] { grDisableAllEffects(); }, color},
      {"grTexClampMode",
       [this] {
         SelectHalvesTexture();
         grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
         grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
       },
       [] { grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_CLAMP); }, color, 300.0f},
      {"grTexFilterMode",
       [this] {
         SelectHalvesTexture();
         grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
       },
       [] { grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR); }, color, 128.0f},
  };
  for (const auto& row : rows) {
    grGlideInit();
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1));
    FlatState();
    grBufferClear(0, 0, 0);
    row.before();
    Square(0, row.s);
    row.change();
    Square(32, row.s);
    EXPECT_NE(row.look(8), row.look(40)) << row.call << " did not reach the draw after it";
  }
}

}  // namespace
