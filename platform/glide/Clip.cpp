// guDrawTriangleWithClip: Glide's screen-space clipper against the clip window.
#include <cmath>
#include <vector>

#include "Context.h"

namespace glide {

namespace {

constexpr int kFloats = sizeof(GrVertex) / sizeof(float);

// The point where the edge s -> p crosses the line `coord = edge` (coord 0 = x, 1 = y), with
// every parameter interpolated linearly (they are already divided by w) and the crossing
// coordinate placed exactly on the boundary.
GrVertex Intersect(const GrVertex& s, const GrVertex& p, int coord, float edge) {
  const float* a = reinterpret_cast<const float*>(&s);
  const float* b = reinterpret_cast<const float*>(&p);
  const float d = (edge - a[coord]) / (b[coord] - a[coord]);
  GrVertex out;
  float* o = reinterpret_cast<float*>(&out);
  for (int i = 0; i < kFloats; ++i) o[i] = a[i] + d * (b[i] - a[i]);
  o[coord] = edge;
  return out;
}

// One Sutherland-Hodgman pass. Inside is strict, as in Glide's clipper: a vertex on the
// boundary counts as outside and is replaced by an intersection at the same place.
void ClipAgainst(std::vector<GrVertex>& poly, int coord, float edge, bool keepBelow) {
  std::vector<GrVertex> out;
  out.reserve(poly.size() + 1);
  auto inside = [&](const GrVertex& v) {
    const float c = coord == 0 ? v.x : v.y;
    return keepBelow ? c < edge : c > edge;
  };
  for (size_t i = 0; i < poly.size(); ++i) {
    const GrVertex& s = poly[(i + poly.size() - 1) % poly.size()];
    const GrVertex& p = poly[i];
    if (inside(p)) {
      if (!inside(s)) out.push_back(Intersect(s, p, coord, edge));
      out.push_back(p);
    } else if (inside(s)) {
      out.push_back(Intersect(s, p, coord, edge));
    }
  }
  poly.swap(out);
}

bool Finite(const GrVertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

}  // namespace

void Context::DrawPolygonWithClip(int count, const GrVertex* vertices) {
  if (count < 3) return;
  const ClipRect clip = clip_;
  const float xmin = static_cast<float>(clip.minX), xmax = static_cast<float>(clip.maxX);
  const float ymin = static_cast<float>(clip.minY), ymax = static_cast<float>(clip.maxY);
  bool accept = true;
  for (int i = 0; i < count; ++i) {
    const GrVertex& v = vertices[i];
    if (!Finite(v)) {
      Misuse("guDrawTriangleWithClip: a vertex coordinate is NaN or infinite; dropped");
      return;
    }
    accept = accept && xmin <= v.x && v.x < xmax && ymin <= v.y && v.y < ymax;
  }
  if (accept) {
    DrawPolygon(count, vertices, nullptr, false);
    return;
  }
  std::vector<GrVertex> poly(vertices, vertices + count);
  ClipAgainst(poly, 0, xmax, true);   // right
  ClipAgainst(poly, 1, ymax, true);   // bottom
  ClipAgainst(poly, 0, xmin, false);  // left
  ClipAgainst(poly, 1, ymin, false);  // top
  if (poly.size() < 3) return;
  // Snap to the 12.4 grid: a float sum in [2^19, 2^20) has an ulp of 1/16 pixel.
  volatile float bias = 524288.0f;
  for (GrVertex& v : poly) {
    v.x = (v.x + bias) - bias;
    v.y = (v.y + bias) - bias;
  }
  DrawPolygon(static_cast<int>(poly.size()), poly.data(), nullptr, false);
}

void Context::DrawTriangleWithClip(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
  const GrVertex tri[3] = {a, b, c};
  DrawPolygonWithClip(3, tri);
}

}  // namespace glide
