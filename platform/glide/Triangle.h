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
  int screenHeight = 0;  // the buffer's rows
  // The buffer's multiple of the program's 640 x 480: vertex positions are multiplied by it once
  // on the 12.4 grid the program's coordinates give.
  int scale = 1;
  bool originLowerLeft = false;
  PathStats* stats = nullptr;  // where GLIDE_STATS counts, or null
};

// Per-pixel slopes of r, g, b, ooz, a, oow, sow, tow as Glide's set-up computes them.
struct Slopes {
  float dx[8];
  float dy[8];
};

enum class SetupResult { kDrawn, kZeroArea, kCulled, kInvalid };

// A vertex on the 12.4 grid with its iterated parameters (r, g, b, ooz, a, oow, sow, tow) and
// its float position, which the plane equations are computed from.
struct SetupVertex {
  float x, y;
  int32_t x16, y16;
  float p[8];
};

// A triangle after set-up: what walking any band of its rows needs, and its plane equations, or
// what they are computed from (PlanesPending). Its fields are not zeroed first: set-up writes
// every one a drawn triangle's walk reads (yBegin and yEnd before anything else), and a mesh's
// small triangles are set up at a rate where zeroing some 200 bytes each time shows.
struct alignas(64) TriangleSetup {
  Gradients g;                        // the plane equations, unless planes are pending
  SetupVertex a, b, c;                // sorted by y
  float area;                         // Glide's area with the sorted vertices
  bool longLeft;                      // the long edge A-C is the left one
  int64_t yBegin, yMid, yEnd;         // rows (clipped) [yBegin, yEnd), B's half from yMid
  int64_t clipMinX, clipMaxX;
  int rowBase, rowStep;               // buffer row = rowBase + rowStep * row
  int scale;                          // the buffer's multiple of the program's coordinates
  int64_t width;                      // pixel columns the triangle spans, plus two
};

// grDrawTriangle's set-up. When `planar` is given, its slopes are used instead of this
// triangle's own and no cull test is made (the planar polygon's later triangles); when
// `slopesOut` is given, the triangle's slopes are stored there. kDrawn with out.yBegin < out.yEnd:
// there are rows to rasterize. With `deferPlanes` (and neither `planar` nor `slopesOut`) the plane
// equations are left for SetUpPlanes: the thread that draws the triangle computes them.
SetupResult SetUpTriangle(const TriangleJob& job, const GrVertex& a, const GrVertex& b, const GrVertex& c,
                          const Slopes* planar, Slopes* slopesOut, TriangleSetup& out,
                          bool deferPlanes = false);
// The plane equations of a triangle set up with deferred planes, the same as SetUpTriangle
// would have computed at once.
void SetUpPlanes(const TriangleSetup& t, Gradients& g);
// Draws the triangle's rows that lie in buffer rows [bandTop, bandEnd), through the batch path
// where the state has one and the rows fit it, else row by row; counts into `stats` if given.
// `g`: the triangle's plane equations (t.g, or SetUpPlanes's).
void RasterizeTriangle(const TriangleSetup& t, const Gradients& g, const SpanTarget& target, SpanFn span, int bandTop,
                       int bandEnd, PathStats* stats);
// Set-up, then every row.
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
