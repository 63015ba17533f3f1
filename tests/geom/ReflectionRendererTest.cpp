// The reflection-mapped renderer drawn through the real Glide stand-in, on hand-made objects in
// view space, with a reflection map fixture whose texels tell which map coordinates were used:
// black, with a white 8 x 8 square at the centre (124..131) and white columns from 217 on.
#include "DisplayFixture.h"

#include "geom/Projection.h"
#include "geom/ReflectionRenderer.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"

#include <glide.h>

#include <cmath>
#include <fstream>

namespace {

class ReflectionRendererTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    WriteMapFixture();
    BeginScene();
    const TextureId map = LoadCelRgb565("probe.cel");
    ASSERT_EQ(map, 0);
    SelectTexture(map);
    SetRendererState();
  }

  // The state the renderer expects of its caller (as the facemap and enviro scenes set it): W-buffer
  // with depth writes, texture alpha times iterated alpha, texture plus iterated colour, blend
  // (SRC_ALPHA, ZERO), bilinear filtering.
  static void SetRendererState() {
    grColorMask(FXTRUE, FXFALSE);
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
    guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
    grChromakeyMode(GR_CHROMAKEY_DISABLE);
  }

  void WriteMapFixture() {
    std::vector<uint8_t> bytes(800 + 256 * 256, 0);
    bytes[32 + 3] = bytes[32 + 4] = bytes[32 + 5] = 63;  // entry 1 white, entry 0 black
    for (int y = 0; y < 256; ++y) {
      for (int x = 0; x < 256; ++x) {
        const bool centre = x >= 124 && x <= 131 && y >= 124 && y <= 131;
        bytes[800 + y * 256 + x] = (centre || x >= 217) ? 1 : 0;
      }
    }
    std::ofstream(dir_ / "probe.cel", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              static_cast<std::streamsize>(bytes.size()));
  }

  // Draws the faces over the points, then shows the frame and returns it.
  std::vector<uint16_t> Draw(const std::vector<Vertex4>& points, std::vector<P3dFace> faces, float alpha,
                             bool faceted) {
    P3dObject object{};
    object.vertexCount = static_cast<int32_t>(points.size());
    object.faceCount = static_cast<int32_t>(faces.size());
    object.faces = faces.data();
    object.vertices = nullptr;
    if (faceted) {
      DrawFaceMappedObject(points.data(), &object, alpha);
    } else {
      DrawEnvMappedObject(points.data(), &object, alpha);
    }
    grBufferSwap(0);
    auto shown = ShownFrame();
    grBufferClear(0, 0, 0xFFFF);
    return shown;
  }

  static P3dFace Face(int32_t a, int32_t b, int32_t c) {
    P3dFace face{};
    face.vertex0 = a;
    face.vertex1 = b;
    face.vertex2 = c;
    return face;
  }

  static int LitPixels(const std::vector<uint16_t>& frame) {
    int lit = 0;
    for (uint16_t p : frame) lit += p != 0;
    return lit;
  }
};

// A face in the z = 0 plane covering screen x 160..480, y 80..400 (half of that square), turned
// towards the viewer; its normal points along -z.
const std::vector<Vertex4> kFacing = {{-50, -50, 0, 1}, {-50, 50, 0, 1}, {50, -50, 0, 1}};

TEST_F(ReflectionRendererTest, NormalsAlongZShowTheMapCentre) {
  for (bool faceted : {false, true}) {
    const auto frame = Draw(kFacing, {Face(0, 1, 2)}, 255.0f, faceted);
    EXPECT_GE(Red(At(frame, 200, 120)), 240) << "faceted " << faceted;
    EXPECT_GE(Red(At(frame, 170, 380)), 240) << "faceted " << faceted;
  }
}

TEST_F(ReflectionRendererTest, WindingAndSizeDecideWhatIsDrawn) {
  EXPECT_GT(LitPixels(Draw(kFacing, {Face(0, 1, 2)}, 255.0f, false)), 40000);
  EXPECT_EQ(LitPixels(Draw(kFacing, {Face(0, 2, 1)}, 255.0f, false)), 0) << "clockwise on the screen";
  EXPECT_EQ(LitPixels(Draw(kFacing, {Face(0, 2, 1)}, 255.0f, true)), 0) << "clockwise on the screen";
  // Edge-on: all three corners on one screen line.
  const std::vector<Vertex4> edgeOn = {{-50, 0, 0, 1}, {0, 0, 0, 1}, {50, 0, 0, 1}};
  EXPECT_EQ(LitPixels(Draw(edgeOn, {Face(0, 1, 2)}, 255.0f, false)), 0);
}

TEST_F(ReflectionRendererTest, ACornerAtOrBehindTheEyeDropsTheFace) {
  auto points = kFacing;
  for (auto& p : points) p.z = -150.0f;  // close to the eye, still in front of it
  EXPECT_GT(LitPixels(Draw(points, {Face(0, 1, 2)}, 255.0f, false)), 0);
  points[2].z = -200.0f;
  EXPECT_EQ(LitPixels(Draw(points, {Face(0, 1, 2)}, 255.0f, false)), 0);
  EXPECT_EQ(LitPixels(Draw(points, {Face(0, 1, 2)}, 255.0f, true)), 0);
  points[2].z = -1000.0f;
  EXPECT_EQ(LitPixels(Draw(points, {Face(0, 1, 2)}, 255.0f, true)), 0);
}

TEST_F(ReflectionRendererTest, ScreenPositionsAreTruncatedTowardsZero) {
  // x' = 640 x / 200 + 320. A right edge at x' = 12.7 is drawn at 12: column 11 is lit, 12 not.
  const float at12_7 = (12.7f - 320.0f) / 3.2f;
  const std::vector<Vertex4> right = {{-100, -50, 0, 1}, {-100, 50, 0, 1}, {at12_7, -50, 0, 1}, {at12_7, 50, 0, 1}};
  const auto frame = Draw(right, {Face(0, 1, 2), Face(2, 1, 3)}, 255.0f, true);
  EXPECT_NE(At(frame, 11, 240), 0);
  EXPECT_EQ(At(frame, 12, 240), 0);

  // A corner at x' = -3.7 lands on -3, not -4: along the steep left edge from (-3.7, 0) to
  // (50, 1000) column 0 is inside down to row 65 (an edge from -4 would keep it to row 82).
  const float atMinus3_7 = (-3.7f - 320.0f) / 3.2f;
  const float y0 = (0.0f - 240.0f) / 3.2f;
  const float x1 = (50.0f - 320.0f) / 3.2f, y1 = (1000.0f - 240.0f) / 3.2f;
  const float xFar = (300.0f - 320.0f) / 3.2f;
  const std::vector<Vertex4> steep = {{atMinus3_7, y0, 0, 1}, {x1, y1, 0, 1}, {xFar, y0, 0, 1}};
  const auto steepFrame = Draw(steep, {Face(0, 1, 2)}, 255.0f, true);
  ASSERT_GT(LitPixels(steepFrame), 0);
  int lastRow = -1;
  for (int y = 0; y < 480; ++y)
    if (At(steepFrame, 0, y) != 0) lastRow = y;
  EXPECT_EQ(lastRow, 65);
}

TEST_F(ReflectionRendererTest, ProjectsWithTheFocalLengthAppliedBeforeTheDepth) {
  // 100 units in front of the eye, x = -26.5625 (one step of float below it) lands on 149 as
  // trunc(640 x / w + 320) and on 150 as trunc(x / w 640 + 320): the left edge of this face
  // shows which the renderer takes (its frames were made with the first).
  const float x = std::nextafter(-26.5625f, -100.0f);
  const Vertex4 corner{x, -20.0f, -100.0f, 1.0f};
  ASSERT_EQ(ProjectToScreenScaledFirst(corner, kReflectionEyeDistance).x, 149.0f);
  ASSERT_EQ(ProjectToScreen(corner, kReflectionEyeDistance).x, 150.0f);
  const std::vector<Vertex4> points = {corner, {x, 20.0f, -100.0f, 1.0f}, {0.0f, -20.0f, -100.0f, 1.0f}};
  for (bool faceted : {false, true}) {
    const auto frame = Draw(points, {Face(0, 1, 2)}, 255.0f, faceted);
    EXPECT_NE(At(frame, 149, 120), 0) << "faceted " << faceted;
    EXPECT_EQ(At(frame, 148, 120), 0) << "faceted " << faceted;
  }
}

TEST_F(ReflectionRendererTest, AlphaZeroDrawsBlackAndStillWritesDepth) {
  // The far face alone shows; drawn after the same face nearer at alpha 0, it is hidden.
  auto farFace = kFacing;
  for (auto& p : farFace) p.z = 100.0f;
  std::vector<Vertex4> both = kFacing;
  both.insert(both.end(), farFace.begin(), farFace.end());

  P3dObject nearObject{1, 3, 1, {}, nullptr, nullptr};
  std::vector<P3dFace> nearFaces = {Face(0, 1, 2)};
  nearObject.faces = nearFaces.data();
  DrawFaceMappedObject(kFacing.data(), &nearObject, 0.0f);
  const auto frame = Draw(both, {Face(3, 4, 5)}, 255.0f, true);
  EXPECT_EQ(At(frame, 250, 180), 0) << "hidden behind the invisible near face";
  EXPECT_NE(At(Draw(farFace, {Face(0, 1, 2)}, 255.0f, true), 250, 180), 0);
}

TEST_F(ReflectionRendererTest, SmoothNormalOfTwoPerpendicularFacesLandsAt217) {
  // The facing face plus, for each of its corners, a face of the same area whose normal points
  // along +x. Those faces reach behind the eye, so they are not drawn, but they still bend the
  // corners' normals half way: s = 128 + 126 * 0.7071 = 217.1, t = 128 on every corner. The map
  // turns white from column 217, so bilinear filtering at 217.1 shows 9/16 of white.
  std::vector<Vertex4> points = kFacing;
  std::vector<P3dFace> faces = {Face(0, 1, 2)};
  for (int32_t corner = 0; corner < 3; ++corner) {
    const Vertex4 v = kFacing[static_cast<size_t>(corner)];
    points.push_back({v.x, v.y, v.z - 250.0f, 1});
    points.push_back({v.x, v.y + 40.0f, v.z, 1});
    const auto n = static_cast<int32_t>(points.size());
    faces.push_back(Face(corner, n - 2, n - 1));
  }
  const auto frame = Draw(points, faces, 255.0f, false);
  const int red = Red(At(frame, 250, 150));
  EXPECT_GE(red, 128);
  EXPECT_LE(red, 160);
  EXPECT_NEAR(Red(At(frame, 250, 150)), Red(At(frame, 170, 380)), 8) << "uniform over the face";
}

// A face tilted so that its normal leans right and up: n = (3000, -3000, -10000), so the faceted
// rule gives corner 0 (162.8, 93.2), corner 1 (130.6, 93.2) and corner 2 (162.8, 125.4), and the
// smooth rule (one face: every corner has the face's normal) (162.8, 93.2) everywhere. On the
// screen the corners land at (160, 80), (131, 428) and (459, 100).
const std::vector<Vertex4> kTilted = {{-50, -50, 0, 1}, {-50, 50, -30, 1}, {50, -50, 30, 1}};

class ReflectionCoordinatesTest : public ReflectionRendererTest {
 protected:
  void SetUp() override {
    ReflectionRendererTest::SetUp();
    // A map whose red tells s and whose green tells t, in steps of 16 texels (17 per step).
    std::vector<std::array<uint8_t, 3>> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = {static_cast<uint8_t>((i >> 4) * 17), static_cast<uint8_t>((i & 15) * 17), 0};
    WriteCel("coords.cel", 256, 256, palette, [](int x, int y) { return static_cast<uint8_t>((x >> 4) << 4 | (y >> 4)); });
    BeginScene();
    const TextureId map = LoadCelRgb565("coords.cel");
    ASSERT_EQ(map, 0);
    SelectTexture(map);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  }
  // The map coordinates (s, t) a pixel shows, to 16 texels.
  static std::pair<int, int> Coordinates(const std::vector<uint16_t>& frame, int x, int y) {
    const uint16_t p = At(frame, x, y);
    return {(Red(p) + 8) / 17 * 16, (Green(p) + 8) / 17 * 16};
  }
};

TEST_F(ReflectionCoordinatesTest, FacetedRulePullsCornerOneAcrossAndCornerTwoDown) {
  const auto frame = Draw(kTilted, {Face(0, 1, 2)}, 255.0f, true);
  EXPECT_EQ(Coordinates(frame, 166, 92), std::make_pair(160, 80)) << "corner 0: (162.8, 93.2)";
  EXPECT_EQ(Coordinates(frame, 140, 400), std::make_pair(128, 80)) << "corner 1: (130.6, 93.2)";
  EXPECT_EQ(Coordinates(frame, 440, 104), std::make_pair(160, 112)) << "corner 2: (162.8, 125.4)";
}

TEST_F(ReflectionCoordinatesTest, SmoothRuleMapsTheNormalsXAndYToSAndT) {
  const auto frame = Draw(kTilted, {Face(0, 1, 2)}, 255.0f, false);
  for (auto [x, y] : {std::pair{166, 92}, std::pair{140, 400}, std::pair{440, 104}}) {
    EXPECT_EQ(Coordinates(frame, x, y), std::make_pair(160, 80)) << x << ", " << y;
  }
}

TEST_F(ReflectionCoordinatesTest, FacesThatFailTheAreaTestNeverReachGlide) {
  // Degenerate and clockwise faces are dropped before grDrawTriangle, not handed to it.
  const std::vector<Vertex4> edgeOn = {{-50, 0, 0, 1}, {0, 0, 0, 1}, {50, 0, 0, 1}};
  for (bool faceted : {false, true}) {
    grResetTriStats();
    Draw(edgeOn, {Face(0, 1, 2)}, 255.0f, faceted);
    Draw(kTilted, {Face(0, 2, 1)}, 255.0f, faceted);
    FxU32 processed = 0, drawn = 0;
    grTriStats(&processed, &drawn);
    EXPECT_EQ(processed, 0u) << "faceted " << faceted;
    Draw(kTilted, {Face(0, 1, 2)}, 255.0f, faceted);
    grTriStats(&processed, &drawn);
    EXPECT_EQ(processed, 1u) << "faceted " << faceted;
  }
}

}  // namespace
