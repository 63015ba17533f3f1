// Projection of view-space points onto the 640 x 480 screen, as every 3D renderer of the
// program does it: the eye sits `eyeDistance` units in front of the origin looking along +z, the
// focal length is 640 on both axes, y is not flipped, and screen positions are whole pixels,
// truncated towards zero.
#pragma once

#include <cmath>

#include "geom/Matrix.h"

inline constexpr float kFocalLength = 640.0f;
inline constexpr float kScreenCentreX = 320.0f;
inline constexpr float kScreenCentreY = 240.0f;

// A projected point: its screen position and 1/w, w being its depth in front of the eye.
struct ScreenPoint {
  float x, y, oow;
};

// oow = 1 / (z + eyeDistance); x = trunc(x oow 640 + 320), y = trunc(y oow 640 + 240). The caller
// makes sure the point lies in front of the eye (z + eyeDistance above 0, or its near limit).
inline ScreenPoint ProjectToScreen(const Vertex4& point, float eyeDistance) {
  const float oow = 1.0f / (point.z + eyeDistance);
  return {std::trunc(point.x * oow * kFocalLength + kScreenCentreX),
          std::trunc(point.y * oow * kFocalLength + kScreenCentreY), oow};
}

// The reflection-mapped renderer's projection: the same, with the coordinate scaled by 640 before
// it is divided by the depth, trunc(640 x oow + 320). The two products round differently, and
// about 7 in a million points land a pixel apart, so each renderer keeps its own order.
inline ScreenPoint ProjectToScreenScaledFirst(const Vertex4& point, float eyeDistance) {
  const float oow = 1.0f / (point.z + eyeDistance);
  return {std::trunc(kFocalLength * point.x * oow + kScreenCentreX),
          std::trunc(kFocalLength * point.y * oow + kScreenCentreY), oow};
}
