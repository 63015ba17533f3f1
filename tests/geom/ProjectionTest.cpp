// The projection every 3D renderer shares: pixel centres at the screen's corners and centre come
// back as those pixels for both eye distances the program uses, positions truncate towards zero,
// and the reflection renderer's order of operations rounds as its own.
#include "geom/Projection.h"

#include "geom/ReflectionRenderer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kObjectEyeDistance = 350.0f;  // the space and temple scenes

// The view-space point at depth z (before the eye's distance is added) that lands on screen
// position (sx, sy).
Vertex4 PointOnScreen(float sx, float sy, float z, float eyeDistance) {
  const float depth = z + eyeDistance;
  return {(sx - kScreenCentreX) * depth / kFocalLength, (sy - kScreenCentreY) * depth / kFocalLength, z, 1.0f};
}

TEST(Projection, CornersAndCentreLandOnTheirPixelsForBothEyeDistances) {
  const struct {
    float x, y;  // pixel centres
  } targets[] = {{0.5f, 0.5f}, {639.5f, 0.5f}, {0.5f, 479.5f}, {639.5f, 479.5f}, {320.5f, 240.5f}};
  for (const float eye : {kReflectionEyeDistance, kObjectEyeDistance}) {
    for (const float z : {0.0f, -120.0f, 500.0f}) {
      for (const auto& t : targets) {
        const Vertex4 p = PointOnScreen(t.x, t.y, z, eye);
        for (const ScreenPoint s : {ProjectToScreen(p, eye), ProjectToScreenScaledFirst(p, eye)}) {
          EXPECT_EQ(s.x, std::floor(t.x)) << "eye " << eye << ", z " << z << ", target " << t.x << ", " << t.y;
          EXPECT_EQ(s.y, std::floor(t.y)) << "eye " << eye << ", z " << z << ", target " << t.x << ", " << t.y;
          EXPECT_EQ(s.oow, 1.0f / (z + eye));
        }
      }
    }
  }
}

TEST(Projection, TheEyeLooksAlongZWithYDownAndTheEyeDistanceAddedToZ) {
  // Right of and below the axis is right and down on the screen; the same point further away
  // lands nearer the centre, and so does a larger eye distance. (Depths of 256 and 512 keep 1/w
  // exact.)
  const ScreenPoint near = ProjectToScreen({100.0f, 50.0f, 56.0f, 1.0f}, 200.0f);
  EXPECT_EQ(near.x, 570.0f);  // 320 + 640 * 100 / 256
  EXPECT_EQ(near.y, 365.0f);  // 240 + 640 * 50 / 256
  EXPECT_EQ(near.oow, 1.0f / 256.0f);
  const ScreenPoint far = ProjectToScreen({100.0f, 50.0f, 312.0f, 1.0f}, 200.0f);
  EXPECT_EQ(far.x, 445.0f);  // 320 + 640 * 100 / 512
  EXPECT_EQ(far.y, 302.0f);  // 240 + 62.5, truncated
  EXPECT_EQ(ProjectToScreen({100.0f, 50.0f, 56.0f, 1.0f}, 456.0f).x, 445.0f);
}

TEST(Projection, PositionsTruncateTowardsZero) {
  // 12.7 is drawn at 12; -3.7 at -3, not -4.
  EXPECT_EQ(ProjectToScreen(PointOnScreen(12.7f, 240.5f, 0.0f, 200.0f), 200.0f).x, 12.0f);
  EXPECT_EQ(ProjectToScreen(PointOnScreen(-3.7f, 240.5f, 0.0f, 200.0f), 200.0f).x, -3.0f);
  EXPECT_EQ(ProjectToScreenScaledFirst(PointOnScreen(-3.7f, -8.2f, 0.0f, 200.0f), 200.0f).y, -8.0f);
}

TEST(Projection, TheReflectionRenderersOrderRoundsOnItsOwn) {
  // 640 x first or x / w first: at x = -160, 100 units in front of the eye, the products fall on
  // either side of a whole pixel. Each renderer keeps the order its frames were made with.
  const Vertex4 p{-160.0f, 0.0f, -100.0f, 1.0f};
  EXPECT_EQ(ProjectToScreenScaledFirst(p, kReflectionEyeDistance).x, -704.0f);
  EXPECT_EQ(ProjectToScreen(p, kReflectionEyeDistance).x, -703.0f);
}

}  // namespace
