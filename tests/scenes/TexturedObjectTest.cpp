// The textured-object drawer through the real Glide stand-in, on hand-made objects whose corners
// project to known pixels: with the eye 350 units away and focal length 640, a view-space offset
// of 35 is 64 pixels on the screen.
#include "SceneFixture.h"

#include "geom/Projection.h"
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

TEST_F(TexturedObjectTest, ProjectsWithTheDepthDividedOutBeforeTheFocalLength) {
  // 250 units in front of the eye, x = -66.40625 lands on 150 as trunc(x / w 640 + 320) and on
  // 149 as trunc(640 x / w + 320): the left edge shows which the drawer takes (the space, crypt
  // and temple frames were made with the first).
  const Vertex4 corner{-66.40625f, -20.0f, -100.0f, 1.0f};
  ASSERT_EQ(ProjectToScreen(corner, kFar.depthOffset).x, 150.0f);
  ASSERT_EQ(ProjectToScreenScaledFirst(corner, kFar.depthOffset).x, 149.0f);
  const std::vector<Vertex4> points = {corner, {corner.x, 20.0f, -100.0f, 1.0f}, {0.0f, 20.0f, -100.0f, 1.0f}};
  const auto frame = Draw(points, {Face(0, 1, 2, quadrants_)}, 255.0f, kFar);
  EXPECT_NE(At(frame, 150, 280), 0);
  EXPECT_EQ(At(frame, 149, 280), 0);
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

// The clipping choice, seen through Glide's triangle statistics: with an empty clip window the
// clipper draws nothing, so a face counts as processed only when it went to grDrawTriangle.
TEST_F(TexturedObjectTest, OnlyFacesReachingOffTheScreenOrBelowRow439GoThroughTheClipper) {
  // The triangle (300, 300), (300, 340), (340, 340) with corner `moved` at (x, y) instead, still
  // facing the eye; view offsets half a pixel inside, so that truncation lands on x and y.
  auto wentToClipper = [&](int moved, float x, float y, bool clipOffscreen) {
    auto view = [](float pixel, float centre) {
      return (pixel + (pixel < 0.0f ? -0.5f : 0.5f) - centre) * 350.0f / 640.0f;
    };
    float pixels[3][2] = {{300.0f, 300.0f}, {300.0f, 340.0f}, {340.0f, 340.0f}};
    pixels[moved][0] = x;
    pixels[moved][1] = y;
    std::vector<Vertex4> corners;
    for (const auto& p : pixels) corners.push_back({view(p[0], 320.0f), view(p[1], 240.0f), 0.0f, 1.0f});
    TexturedObjectStyle style = kFar;
    style.clipOffscreen = clipOffscreen;
    P3dFace face = Face(0, 1, 2, grey_);
    P3dObject object{};
    object.vertexCount = 3;
    object.faceCount = 1;
    object.faces = &face;
    grClipWindow(0, 0, 0, 0);
    grResetTriStats();
    DrawTexturedObject(corners.data(), object, 255.0f, style);
    grClipWindow(0, 0, 640, 480);
    FxU32 processed = 0, drawn = 0;
    grTriStats(&processed, &drawn);
    return processed == 0;
  };
  EXPECT_FALSE(wentToClipper(1, 300.0f, 340.0f, true)) << "on the screen";
  EXPECT_FALSE(wentToClipper(1, 0.0f, 439.0f, true)) << "column 0, row 439";
  EXPECT_TRUE(wentToClipper(1, 300.0f, 440.0f, true)) << "row 440 is below the line";
  EXPECT_TRUE(wentToClipper(1, 300.0f, 479.0f, true)) << "still on the screen, but below row 439";
  EXPECT_TRUE(wentToClipper(1, 300.0f, 900.0f, true));
  EXPECT_TRUE(wentToClipper(1, -1.0f, 340.0f, true)) << "left of column 0";
  EXPECT_FALSE(wentToClipper(2, 639.0f, 340.0f, true)) << "column 639";
  EXPECT_TRUE(wentToClipper(2, 640.0f, 340.0f, true)) << "right of column 639";
  EXPECT_FALSE(wentToClipper(0, 300.0f, 0.0f, true)) << "row 0";
  EXPECT_TRUE(wentToClipper(0, 300.0f, -1.0f, true)) << "above row 0";
  EXPECT_FALSE(wentToClipper(1, 300.0f, 440.0f, false)) << "the scenes that do not clip";
  EXPECT_FALSE(wentToClipper(1, -1.0f, 340.0f, false));
}

TEST_F(TexturedObjectTest, ClippedFacesShowTheirPartOnTheScreen) {
  // The left triangle stretched down to row 600: what lies on the screen is drawn.
  std::vector<Vertex4> points = LeftTriangle();
  points[1].y = points[2].y = (600.5f - 240.0f) * 350.0f / 640.0f;
  TexturedObjectStyle style = kFar;
  style.clipOffscreen = true;
  const auto frame = Draw(points, {Face(0, 1, 2, grey_)}, 255.0f, style);
  EXPECT_NEAR(Green(At(frame, 260, 470)), 128, 12);
  EXPECT_NEAR(Green(At(frame, 260, 200)), 128, 12);
  EXPECT_EQ(At(frame, 250, 470), 0);
}

// The render state of the scenes that draw these objects: the texture scaled by the vertex alpha,
// replacing what was there, and W-buffered so that a nearer face hides a farther one.
TEST_F(TexturedObjectTest, SceneStateScalesByAlphaAndKeepsTheNearerFace) {
  SetTexturedObjectState();
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  P3dObject object{};
  std::vector<P3dFace> faces = {Face(0, 1, 2, quadrants_), Face(3, 4, 5, grey_)};
  std::vector<Vertex4> points = LeftTriangle();
  for (Vertex4 p : LeftTriangle(100.0f)) {  // twice the size, farther: (220, 140) ... (419, 339)
    p.x *= 2.0f;
    p.y *= 2.0f;
    points.push_back(p);
  }
  object.vertexCount = 6;
  object.faceCount = 2;
  object.faces = faces.data();
  DrawTexturedObject(points.data(), object, 128.0f, kFar);
  const auto frame = Show();
  EXPECT_NEAR(Red(At(frame, 262, 200)), 128, 10) << "red quadrant at alpha 128, in front of the grey";
  EXPECT_EQ(Green(At(frame, 262, 200)), 0);
  EXPECT_NEAR(Green(At(frame, 230, 330)), 64, 10) << "the farther grey, outside the nearer face";
}

}  // namespace
