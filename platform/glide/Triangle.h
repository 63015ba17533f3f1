// Triangle set-up: vertices to the 12.4 grid, coverage by the top-left rule at pixel centres,
// plane equations for every parameter, and the walk over the covered rows.
#pragma once

#include <cstdint>

#include "PathStats.h"
#include "Raster.h"
#include "glide.h"

namespace glide {

// The clip window: columns [minX, maxX), rows [minY, maxY).
struct ClipRect {
  int minX = 0, minY = 0, maxX = 0, maxY = 0;
};

struct TriangleJob {
  const SpanTarget* target = nullptr;
  SpanFn span = nullptr;
  ClipRect clip;
  int cullMode = GR_CULL_DISABLE;
  int screenHeight = 0;
  bool originLowerLeft = false;
  PathStats* stats = nullptr;  // where GLIDE_STATS counts, or null
};

// Per-pixel slopes of r, g, b, ooz, a, oow, sow, tow as Glide's set-up computes them.
struct Slopes {
  float dx[8];
  float dy[8];
};

enum class SetupResult { kDrawn, kZeroArea, kCulled, kInvalid };

// grDrawTriangle. When `planar` is given, its slopes are used instead of this triangle's own and
// no cull test is made (the planar polygon's later triangles); when `slopesOut` is given, the
// triangle's slopes are stored there.
SetupResult DrawTriangle(const TriangleJob& job, const GrVertex& a, const GrVertex& b,
                         const GrVertex& c, const Slopes* planar, Slopes* slopesOut);

// ToFixed12_4 beyond +-2048 pixels, and for NaN and infinities.
bool ToFixed12_4Wide(float v, int32_t& out);

// Vertex coordinate to the board's 12.4 register: truncation toward zero, then the low 16 bits
// as a signed value (coordinates beyond +-2048 pixels wrap). False for NaN and infinities.
inline bool ToFixed12_4(float v, int32_t& out) {
  // Within +-2048 pixels the product is exact in float and fits the register as it is.
  if (v > -2048.0f && v < 2048.0f) {
    out = static_cast<int32_t>(v * 16.0f);
    return true;
  }
  return ToFixed12_4Wide(v, out);  // NaN lands here too
}

}  // namespace glide
