// Tiny numbered golden frames, one feature each, drawn through the public calls.
#include <gtest/gtest.h>

#include <vector>

#include "GlideTestSupport.h"

using glidetest::GlideFixture;
using glidetest::MatchesGolden;
using glidetest::Vertex;

namespace {

class Golden : public GlideFixture {
 protected:
  void SetUp() override {
    GlideFixture::SetUp();
    grClipWindow(0, 0, 64, 64);
    grBufferClear(0x00302010, 0, 0xFFFF);
  }
  void Checker8(int format) {
    // 8 x 8 checker of two colours with a marked corner texel.
    texels_.assign(64, 0);
    for (int t = 0; t < 8; ++t) {
      for (int s = 0; s < 8; ++s) {
        uint16_t v = ((s ^ t) & 1) ? (format == GR_TEXFMT_ARGB_4444 ? 0xFFFF : 0xFFE0)
                                   : (format == GR_TEXFMT_ARGB_4444 ? 0x8F00 : 0x001F);
        if (s == 0 && t == 0) v = format == GR_TEXFMT_ARGB_4444 ? 0xF000 : 0xF800;
        texels_[t * 8 + s] = v;
      }
    }
    GrTexInfo info{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, format, texels_.data()};
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  }
  std::vector<uint16_t> texels_;
};

TEST_F(Golden, Gouraud0001) {
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  GrVertex a = Vertex(2, 3, 255, 0, 0), b = Vertex(61, 12, 0, 255, 0), c = Vertex(20, 60, 0, 0, 255);
  grDrawTriangle(&a, &b, &c);
  EXPECT_TRUE(MatchesGolden("0001_gouraud", Read().data(), 64, 64, 0));
}

TEST_F(Golden, BilinearWrapPerspective0002) {
  Checker8(GR_TEXFMT_RGB_565);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  guColorCombineFunction(GR_COLORCOMBINE_DECAL_TEXTURE);
  // A floor receding to the top: W 4 at the far edge, 1 at the near edge; three repeats.
  GrVertex q[4] = {Vertex(16, 4, 0, 0, 0, 255, 0.25f, -256 * 0.25f, 0),
                   Vertex(48, 4, 0, 0, 0, 255, 0.25f, 512 * 0.25f, 0),
                   Vertex(64, 64, 0, 0, 0, 255, 1, 512, 768), Vertex(0, 64, 0, 0, 0, 255, 1, -256, 768)};
  grDrawPlanarPolygonVertexList(4, q);
  EXPECT_TRUE(MatchesGolden("0002_bilinear_wrap", Read().data(), 64, 64, 8));
}

TEST_F(Golden, ChromaKeyAndAlphaTestSprites0003) {
  Checker8(GR_TEXFMT_ARGB_4444);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  // Left: the black corner texel keyed out. Right: alpha test drops the half-alpha texels.
  grChromakeyMode(GR_CHROMAKEY_ENABLE);
  grChromakeyValue(0);
  GrVertex l[4] = {Vertex(2, 2, 0, 0, 0, 255, 1, 0, 0), Vertex(30, 2, 0, 0, 0, 255, 1, 256, 0),
                   Vertex(30, 62, 0, 0, 0, 255, 1, 256, 256), Vertex(2, 62, 0, 0, 0, 255, 1, 0, 256)};
  grDrawPolygonVertexList(4, l);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grAlphaTestFunction(GR_CMP_GREATER);
  grAlphaTestReferenceValue(0x90);
  GrVertex r[4] = {Vertex(34, 2, 0, 0, 0, 255, 1, 0, 0), Vertex(62, 2, 0, 0, 0, 255, 1, 256, 0),
                   Vertex(62, 62, 0, 0, 0, 255, 1, 256, 256), Vertex(34, 62, 0, 0, 0, 255, 1, 0, 256)};
  grDrawPolygonVertexList(4, r);
  EXPECT_TRUE(MatchesGolden("0003_chroma_alpha_test", Read().data(), 64, 64, 8));
}

TEST_F(Golden, IntersectingTrianglesInTheWBuffer0004) {
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
  grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  GrVertex a[3] = {Vertex(4, 8, 255, 60, 60, 255, 1.0f / 2), Vertex(60, 20, 255, 60, 60, 255, 1.0f / 40),
                   Vertex(10, 60, 255, 60, 60, 255, 1.0f / 2)};
  GrVertex b[3] = {Vertex(60, 6, 60, 200, 255, 255, 1.0f / 2), Vertex(58, 60, 60, 200, 255, 255, 1.0f / 2),
                   Vertex(2, 34, 60, 200, 255, 255, 1.0f / 40)};
  grDrawTriangle(&a[0], &a[1], &a[2]);
  grDrawTriangle(&b[0], &b[1], &b[2]);
  EXPECT_TRUE(MatchesGolden("0004_wbuffer_intersect", Read().data(), 64, 64, 0));
}

TEST_F(Golden, BlendModesOverAGradient0005) {
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  GrVertex bg[4] = {Vertex(0, 0, 0, 0, 0), Vertex(64, 0, 255, 255, 255), Vertex(64, 64, 255, 255, 255),
                    Vertex(0, 64, 0, 0, 0)};
  grDrawPolygonVertexList(4, bg);
  const int modes[4][2] = {{GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE},
                           {GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO}};
  for (int m = 0; m < 4; ++m) {
    grAlphaBlendFunction(modes[m][0], modes[m][1], GR_BLEND_ONE, GR_BLEND_ZERO);
    const float y0 = 2.0f + 16.0f * m, y1 = y0 + 12.0f;
    GrVertex q[4] = {Vertex(2, y0, 255, 128, 0, 0), Vertex(62, y0, 255, 128, 0, 255),
                     Vertex(62, y1, 255, 128, 0, 255), Vertex(2, y1, 255, 128, 0, 0)};
    grDrawPolygonVertexList(4, q);
  }
  EXPECT_TRUE(MatchesGolden("0005_blend_modes", Read().data(), 64, 64, 8));
}

}  // namespace
