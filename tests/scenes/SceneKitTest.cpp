// The scene kit's quad operations and phase pair, checked on the values the scenes rely on.
#include "SceneFixture.h"

#include "scenes/PhasePair.h"
#include "scenes/SceneObjects.h"
#include "scenes/ScreenQuad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(ScreenQuadTest, SetScreenQuadPlacesCornersAndPreDividesTheWholeTextureFromRowOne) {
  GrVertex quad[4];
  SetScreenQuad(quad, -240.0f, -200.0f, 239.0f, 199.0f, 4.0f, 100.0f);
  const float xs[4] = {80.0f, 559.0f, 559.0f, 80.0f};
  const float ys[4] = {40.0f, 40.0f, 439.0f, 439.0f};
  const float ss[4] = {0.0f, 255.0f, 255.0f, 0.0f};
  const float ts[4] = {1.0f, 1.0f, 255.0f, 255.0f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].x, xs[i]) << i;
    EXPECT_EQ(quad[i].y, ys[i]) << i;
    EXPECT_EQ(quad[i].z, 4.0f);
    EXPECT_EQ(quad[i].oow, 0.25f);
    EXPECT_EQ(quad[i].tmuvtx[0].sow, ss[i] / 4.0f) << i;
    EXPECT_EQ(quad[i].tmuvtx[0].tow, ts[i] / 4.0f) << i;
    EXPECT_EQ(quad[i].a, 100.0f);
    EXPECT_EQ(quad[i].r + quad[i].g + quad[i].b + quad[i].ooz, 0.0f);
  }
}

TEST(ScreenQuadTest, CenteredQuadShowsSixtyRowsFromItsOrigin) {
  GrVertex quad[4];
  SetCenteredQuad(quad, -256.0f, -64.0f, 255.0f, 63.0f, 196.0f, 64.0f);
  EXPECT_EQ(quad[0].x, 64.0f);
  EXPECT_EQ(quad[2].x, 575.0f);
  EXPECT_EQ(quad[0].y, 176.0f);
  EXPECT_EQ(quad[2].y, 303.0f);
  EXPECT_EQ(quad[1].tmuvtx[0].tow, 64.0f);
  EXPECT_EQ(quad[2].tmuvtx[0].tow, 123.0f);
  EXPECT_EQ(quad[3].tmuvtx[0].sow, 0.0f);
  EXPECT_EQ(quad[2].tmuvtx[0].sow, 255.0f);
  EXPECT_EQ(quad[3].oow, 1.0f);
  EXPECT_EQ(quad[3].z, 1.0f);
}

TEST(ScreenQuadTest, MoveScaleAndRescaleKeepTheTexture) {
  GrVertex quad[4];
  SetScreenQuad(quad, -128.0f, -128.0f, 128.0f, 128.0f, 2.0f, 50.0f);
  ScaleScreenQuad(quad, 1.2f, 0.5f);
  EXPECT_FLOAT_EQ(quad[0].x, 320.0f - 128.0f * 1.2f);
  EXPECT_FLOAT_EQ(quad[2].y, 240.0f + 64.0f);
  MoveScreenQuad(quad, 10.0f, -20.0f);
  EXPECT_FLOAT_EQ(quad[1].x, 320.0f + 128.0f * 1.2f + 10.0f);
  EXPECT_FLOAT_EQ(quad[1].y, 240.0f - 64.0f - 20.0f);

  SetScaledScreenQuad(quad, -240.0f, -240.0f, 239.0f, 239.0f, 0.5f);
  EXPECT_EQ(quad[0].x, 200.0f);
  EXPECT_EQ(quad[0].y, 120.0f);
  EXPECT_EQ(quad[2].x, 439.5f);
  EXPECT_EQ(quad[3].y, 359.5f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].oow, 1.0f) << "a rescaled quad is flat";
    EXPECT_EQ(quad[i].a, 50.0f) << "alpha untouched";
    EXPECT_EQ(quad[i].z, 2.0f) << "z untouched";
  }
  EXPECT_EQ(quad[2].tmuvtx[0].sow, 127.5f) << "texture corners untouched";
}

TEST(ScreenQuadTest, DepthRedividesTheTextureCornersButLeavesTheLeftColumnAtZero) {
  GrVertex quad[4];
  SetScreenQuad(quad, -24.0f, -24.0f, 23.0f, 23.0f, 200.0f, 230.0f);
  SetScreenQuadDepth(quad, 250.0f);
  EXPECT_EQ(quad[0].tmuvtx[0].sow, 0.0f);
  EXPECT_EQ(quad[3].tmuvtx[0].sow, 0.0f);
  EXPECT_EQ(quad[0].tmuvtx[0].tow, 1.0f / 250.0f);
  EXPECT_EQ(quad[1].tmuvtx[0].sow, 255.0f / 250.0f);
  EXPECT_EQ(quad[1].tmuvtx[0].tow, 1.0f / 250.0f);
  EXPECT_EQ(quad[2].tmuvtx[0].tow, 255.0f / 250.0f);
  EXPECT_EQ(quad[3].tmuvtx[0].tow, 255.0f / 250.0f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].z, 250.0f);
    EXPECT_EQ(quad[i].oow, 1.0f / 250.0f);
  }
}

TEST(ScreenQuadTest, SnapRoundsToTheNearestSixteenthAndAddsTheCentre) {
  // Unsnapped these would be 320.03, 320.04, 319.97 and 128.1.
  EXPECT_EQ(SnapToSixteenth(0.03f, 320.0f), 320.0f);
  EXPECT_EQ(SnapToSixteenth(0.04f, 320.0f), 320.0625f);
  EXPECT_EQ(SnapToSixteenth(-0.03f, 320.0f), 320.0f);
  EXPECT_EQ(SnapToSixteenth(0.1f, 128.0f), 128.125f);
  EXPECT_EQ(SnapToSixteenth(-100.53f, 240.0f), 139.5f);
  EXPECT_EQ(SnapToSixteenth(-100.57f, 240.0f), 139.4375f);
}

TEST(ScreenQuadTest, RotationTurnsEachCornerAboutTheCentreOnTheSixteenthGrid) {
  GrVertex quad[4] = {};
  const float half = 3.14159265f / 2.0f;
  RotateScreenQuad(quad, -70.0f, -60.0f, 70.0f, 60.0f, half);
  // A quarter turn with y down: (cx, cy) -> (-cy, cx).
  EXPECT_EQ(quad[0].x, 380.0f);
  EXPECT_EQ(quad[0].y, 170.0f);
  EXPECT_EQ(quad[1].x, 380.0f);
  EXPECT_EQ(quad[1].y, 310.0f);
  EXPECT_EQ(quad[2].x, 260.0f);
  EXPECT_EQ(quad[3].y, 170.0f);

  RotateScaleScreenQuad(quad, -64.0f, -16.0f, 63.0f, 16.0f, 0.7f, 1.3f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].x * 16.0f, std::round(quad[i].x * 16.0f)) << i;
    EXPECT_EQ(quad[i].y * 16.0f, std::round(quad[i].y * 16.0f)) << i;
  }
  const float c = 1.3f * std::cos(0.7f), s = 1.3f * std::sin(0.7f);
  EXPECT_NEAR(quad[2].x, 63.0f * c - 16.0f * s + 320.0f, 1.0f / 32.0f);
  EXPECT_NEAR(quad[2].y, 63.0f * s + 16.0f * c + 240.0f, 1.0f / 32.0f);
}

// Flat quads in screen pixels: every corner in its place (top-left, top-right, bottom-right,
// bottom-left) with its own texel, and a side moved without touching the other.
TEST(ScreenQuadTest, FlatQuadsTakeCornersAndTexelsInCornerOrderAndMoveOneSideAtATime) {
  GrVertex quad[4];
  for (GrVertex& corner : quad) corner.r = 9.0f;  // left from before: cleared
  FillFlatQuad(quad, 200.0f);
  SetQuadCorners(quad, 81.0f, 1.0f, 560.0f, 480.0f);
  SetQuadTexels(quad, {0.5f, 1.0f, 254.5f, 255.0f});
  SetQuadZ(quad, 100.0f);
  const float xs[4] = {81.0f, 560.0f, 560.0f, 81.0f};
  const float ys[4] = {1.0f, 1.0f, 480.0f, 480.0f};
  const float ss[4] = {0.5f, 254.5f, 254.5f, 0.5f};
  const float ts[4] = {1.0f, 1.0f, 255.0f, 255.0f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].x, xs[i]) << i;
    EXPECT_EQ(quad[i].y, ys[i]) << i;
    EXPECT_EQ(quad[i].tmuvtx[0].sow, ss[i]) << i;
    EXPECT_EQ(quad[i].tmuvtx[0].tow, ts[i]) << i;
    EXPECT_EQ(quad[i].oow, 1.0f);
    EXPECT_EQ(quad[i].ooz, 1.0f);
    EXPECT_EQ(quad[i].tmuvtx[0].oow, 1.0f);
    EXPECT_EQ(quad[i].z, 100.0f);
    EXPECT_EQ(quad[i].a, 200.0f);
    EXPECT_EQ(quad[i].r, 0.0f);
  }
  SetQuadLeftSide(quad, 100.0f, 10.0f);
  SetQuadRightSide(quad, 300.0f, 90.0f);
  const float movedXs[4] = {100.0f, 300.0f, 300.0f, 100.0f};
  const float movedSs[4] = {10.0f, 90.0f, 90.0f, 10.0f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad[i].x, movedXs[i]) << i;
    EXPECT_EQ(quad[i].tmuvtx[0].sow, movedSs[i]) << i;
    EXPECT_EQ(quad[i].y, ys[i]) << i;
    EXPECT_EQ(quad[i].tmuvtx[0].tow, ts[i]) << i;
  }
}

TEST(PhasePairTest, SecondAngleFollowsTheNewFirst) {
  PhasePair pair;
  pair.Advance(kCommonPhaseRates);
  EXPECT_EQ(pair.first, 0.1f);
  EXPECT_EQ(pair.second, 0.05925697676830226f * std::sin(0.1f)) << "updated with the new first angle";
  const float second = pair.second;
  pair.Advance(kCommonPhaseRates);
  EXPECT_EQ(pair.first, 0.1f + 0.1f * std::cos(second)) << "the first angle uses the old second";
}

TEST(PhasePairTest, DividedRateIsADivisionNotAMultiplicationByTheReciprocal) {
  PhasePair divided;
  const PhaseRates thirds{1.0f, 0.2580212351476527f, 3.0f};
  float first = 0.0f, second = 0.0f;
  for (int i = 0; i < 500; ++i) {
    divided.Advance(thirds);
    first = first + std::cos(second) / 3.0f;
    second = second + 0.2580212351476527f * std::sin(first);
  }
  EXPECT_EQ(divided.first, first);
  EXPECT_EQ(divided.second, second);
}

// A scene's objects, each loaded at its own scale, from fixture files in the scene's directory.
class SceneObjectsTest : public SceneFixture {
 protected:
  // An object without textures or faces whose first vertex is (1, 2, 3) in the file and which
  // has `vertices` vertices in all.
  void WriteObject(const std::string& name, int vertices) {
    std::ofstream out = Create(name);
    out << "0\n" << vertices << "\n1 2 3\n";
    for (int i = 1; i < vertices; ++i) out << "-4 0.5 " << i << "\n";
    out << "0\n";
  }
};

TEST_F(SceneObjectsTest, EachObjectTakesItsScaleAndTheScaleIsPutBackAfterTheLast) {
  WriteObject("small.p3d", 3);
  P3dObject half{}, twice{};
  const SceneObjectFile files[] = {{"small.p3d", 0.5f, &half}, {"small.p3d", 2.0f, &twice}};
  ASSERT_EQ(LoadSceneObjects(files), 0);
  EXPECT_EQ(ObjectScale, 1.0f) << "the next loader starts from 1";
  // x = 2 s a, y = -2 s c, z = 2 s b.
  ASSERT_EQ(half.vertexCount, 3);
  EXPECT_EQ(half.vertices[0].x, 1.0f);
  EXPECT_EQ(half.vertices[0].y, -3.0f);
  EXPECT_EQ(half.vertices[0].z, 2.0f);
  ASSERT_EQ(twice.vertexCount, 3);
  EXPECT_EQ(twice.vertices[0].x, 4.0f);
  EXPECT_EQ(twice.vertices[0].y, -12.0f);
  EXPECT_EQ(twice.vertices[0].z, 8.0f);
  ReleaseP3d(&half);
  ReleaseP3d(&twice);
}

TEST_F(SceneObjectsTest, TheFirstFailureStopsTheLoadsAndLeavesItsScale) {
  WriteObject("small.p3d", 3);
  WriteObject("full.p3d", kPointScratchSize);
  WriteObject("over.p3d", kPointScratchSize + 1);
  P3dObject first{}, missing{}, after{};
  const SceneObjectFile withMissing[] = {{"small.p3d", 0.5f, &first}, {"missing.p3d", 0.3f, &missing},
                                         {"small.p3d", 2.0f, &after}};
  EXPECT_EQ(LoadSceneObjects(withMissing), 1);
  EXPECT_EQ(ObjectScale, 0.3f);
  EXPECT_NE(first.vertices, nullptr);
  EXPECT_EQ(missing.vertices, nullptr);
  EXPECT_EQ(after.vertices, nullptr) << "nothing is loaded after the failure";

  // An object with more points than a scene's scratch array is refused and released.
  P3dObject full{}, over{};
  const SceneObjectFile fits[] = {{"full.p3d", 1.5f, &full}};
  EXPECT_EQ(LoadSceneObjects(fits), 0);
  EXPECT_EQ(full.vertexCount, kPointScratchSize);
  const SceneObjectFile tooLarge[] = {{"over.p3d", 1.5f, &over}};
  EXPECT_EQ(LoadSceneObjects(tooLarge), 1);
  EXPECT_EQ(over.vertices, nullptr);
  EXPECT_EQ(ObjectScale, 1.5f);
  ReleaseP3d(&first);
  ReleaseP3d(&full);
}

}  // namespace
