// The screen-space facing and size test every object renderer applies to a projected triangle.
#pragma once

#include <glide.h>

// Faces are drawn only when this value exceeds 0.9: corners 0, 1, 2 run counter-clockwise on the
// screen (y down) and the triangle covers more than about half a pixel.
inline constexpr float kMinScreenArea = 0.9f;

// (S0.x - S1.x)(S2.y - S1.y) - (S0.y - S1.y)(S2.x - S1.x): twice the signed area of the triangle.
inline float ScreenArea(const GrVertex& s0, const GrVertex& s1, const GrVertex& s2) {
  return (s0.x - s1.x) * (s2.y - s1.y) - (s0.y - s1.y) * (s2.x - s1.x);
}
