// The textured-object drawer through the real Glide stand-in, on hand-made objects whose corners
// project to known pixels: with the eye 350 units away and focal length 640, a view-space offset
// of 35 is 64 pixels on the screen.
#include "SceneFixture.h"

#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/ScreenQuad.h"
#include "scenes/TexturedObject.h"

#include <glide.h>

namespace {

constexpr TexturedObjectStyle kFar{350.0f, 0.0f};

class TexturedObjectTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    WriteQuadrantCel("quadrants.cel", 64, 64);
    WriteUniformCel("grey.cel", 16, 16, 128, 128, 128);
    BeginScene();
    quadrants_ = LoadCelRgb565("quadrants.cel");
    grey_ = LoadCelRgb565("grey.cel");
    ASSERT_EQ(quadrants_, 0);
    ASSERT_EQ(grey_, 1);
    grDepthBufferFunction(GR_CMP_ALWAYS);
    grDepthMask(FXFALSE);
    guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_CLAMP);
  }

  // Draws the faces over the points and returns the frame shown.
  std::vector<uint16_t> Draw(const std::vector<Vertex4>& points, std::vector<P3dFace> faces, float alpha,
                             const TexturedObjectStyle& style) {
    P3dObject object{};
    object.vertexCount = static_cast<int32_t>(points.size());
    object.faceCount = static_cast<int32_t>(faces.size());
    object.faces = faces.data();
    DrawTexturedObject(points.data(), object, alpha, style);
    return Show();
  }

  static std::vector<uint16_t> Show() {
    grBufferSwap(0);
    auto shown = ShownFrame();
    grBufferClear(0, 0, 0xFFFF);
    return shown;
  }

  // The left triangle: corners at pixels (256, 176), (256, 304), (384, 304), counter-clockwise on
  // the screen, textured from the texture's top-left corner down its left edge to its bottom right.
  static P3dFace Face(int32_t a, int32_t b, int32_t c, TextureId texture) {
    P3dFace face{};
    face.vertex0 = a;
    face.vertex1 = b;
    face.vertex2 = c;
    face.texU0 = 0.0f;
    face.texV0 = 0.0f;
    face.texU1 = 0.0f;
    face.texV1 = 255.0f;
    face.texU2 = 255.0f;
    face.texV2 = 255.0f;
    face.textureId = texture;
    return face;
  }

  static std::vector<Vertex4> LeftTriangle(float z = 0.0f) {
    return {{-35.0f, -35.0f, z, 1.0f}, {-35.0f, 35.0f, z, 1.0f}, {35.0f, 35.0f, z, 1.0f}};
  }

  static bool IsBlack(const std::vector<uint16_t>& frame) {
    for (uint16_t p : frame)
      if (p != 0) return false;
    return true;
  }

  TextureId quadrants_ = -1;
  TextureId grey_ = -1;
};

TEST_F(TexturedObjectTest, ProjectsOntoWholePixelsWithTheFacesTextureCorners) {
  const auto frame = Draw(LeftTriangle(), {Face(0, 1, 2, 0)}, 255.0f, kFar);
  // Top-left of the triangle shows the texture's top-left (red) quadrant, the bottom-left its
  // bottom-left (blue) one, the bottom-right its bottom-right (white) one.
  EXPECT_GE(Red(At(frame, 260, 200)), 240);
  EXPECT_EQ(Blue(At(frame, 260, 200)), 0);
  EXPECT_GE(Blue(At(frame, 260, 300)), 240);
  EXPECT_EQ(Red(At(frame, 260, 300)), 0);
  EXPECT_GE(Green(At(frame, 378, 300)), 240);
  EXPECT_GE(Red(At(frame, 378, 300)), 240);
  // Its edges: column 256 is inside, 255 outside; row 303 inside, 304 outside.
  EXPECT_NE(At(frame, 256, 300), 0);
  EXPECT_EQ(At(frame, 255, 300), 0);
  EXPECT_NE(At(frame, 300, 303), 0);
  EXPECT_EQ(At(frame, 300, 304), 0);
  EXPECT_EQ(At(frame, 300, 200), 0) << "right of the diagonal";
}

TEST_F(TexturedObjectTest, AlphaScalesTheTextureOnEveryCorner) {
  const auto frame = Draw(LeftTriangle(), {Face(0, 1, 2, 0)}, 64.0f, kFar);
  EXPECT_NEAR(Red(At(frame, 262, 200)), 255 * 64 / 255, 10);
  EXPECT_NEAR(Blue(At(frame, 262, 300)), 255 * 64 / 255, 10);
}

TEST_F(TexturedObjectTest, DepthOffsetIsTheSceneDistance) {
  // The same points 200 units away: x = -35 / 200 * 640 + 320 = 208, y = 352 at the bottom.
  const auto frame = Draw(LeftTriangle(), {Face(0, 1, 2, 0)}, 255.0f, {200.0f, 1.0f});
  EXPECT_EQ(At(frame, 207, 340), 0);
  EXPECT_NE(At(frame, 208, 340), 0);
  EXPECT_NE(At(frame, 220, 351), 0);
  EXPECT_EQ(At(frame, 220, 352), 0);
}

TEST_F(TexturedObjectTest, NearLimitSkipsTheWholeFace) {
  // Corner 2 one unit in front of the eye, on the axis: it projects to the centre.
  std::vector<Vertex4> points = LeftTriangle();
  points[2] = {0.0f, 0.0f, -349.0f, 1.0f};
  EXPECT_FALSE(IsBlack(Draw(points, {Face(0, 1, 2, 0)}, 255.0f, {350.0f, 0.0f}))) << "1.0 is in front of 0";
  EXPECT_TRUE(IsBlack(Draw(points, {Face(0, 1, 2, 0)}, 255.0f, {350.0f, 1.0f}))) << "1.0 is not in front of 1.0";
  points[2].z = -350.0f;
  EXPECT_TRUE(IsBlack(Draw(points, {Face(0, 1, 2, 0)}, 255.0f, {350.0f, 0.0f})));
}

TEST_F(TexturedObjectTest, CulledFacesStillSelectTheirTexture) {
  // Face 0 drawn with the quadrants; face 1 runs clockwise (culled) but selects the grey texture,
  // which a following quad drawn without selecting shows.
  const auto frame = Draw(LeftTriangle(), {Face(0, 1, 2, quadrants_), Face(0, 2, 1, grey_)}, 255.0f, kFar);
  EXPECT_GE(Red(At(frame, 260, 200)), 240);
  EXPECT_EQ(Green(At(frame, 260, 200)), 0);
  EXPECT_TRUE(IsBlack(Draw(LeftTriangle(), {Face(0, 2, 1, quadrants_)}, 255.0f, kFar))) << "clockwise";
  EXPECT_TRUE(IsBlack(Draw(LeftTriangle(), {Face(0, 1, 1, quadrants_)}, 255.0f, kFar))) << "degenerate";

  GrVertex quad[4];
  SetScreenQuad(quad, -10.0f, -10.0f, 10.0f, 10.0f, 1.0f, 255.0f);
  Draw(LeftTriangle(), {Face(0, 1, 2, quadrants_), Face(0, 2, 1, grey_)}, 255.0f, kFar);
  DrawScreenQuad(quad);
  const auto after = Show();
  EXPECT_NEAR(Green(At(after, 320, 240)), 128, 12) << "the culled face's texture is the source";
}

TEST_F(TexturedObjectTest, WithoutFaceTexturesTheCallersTextureServesEveryFace) {
  SelectTexture(grey_);
  TexturedObjectStyle style = kFar;
  style.selectFaceTextures = false;
  const auto frame = Draw(LeftTriangle(), {Face(0, 1, 2, quadrants_)}, 255.0f, style);
  EXPECT_NEAR(Red(At(frame, 262, 200)), 128, 12);
  EXPECT_NEAR(Green(At(frame, 262, 200)), 128, 12);
}

}  // namespace
