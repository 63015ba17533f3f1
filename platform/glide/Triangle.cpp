#include "Triangle.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "Verify.h"

namespace glide {

// Beyond +-2048 pixels: from double precision, where the remainder keeps the low 16 bits exact.
bool ToFixed12_4Wide(float v, int32_t& out) {
  if (!std::isfinite(v)) return false;
  const double scaled = static_cast<double>(v) * 16.0;  // exact
  int64_t bits;
  if (std::fabs(scaled) < 9.0e18) {
    bits = static_cast<int64_t>(scaled);  // truncates toward zero
  } else {
    bits = static_cast<int64_t>(std::fmod(std::trunc(scaled), 65536.0));
  }
  out = static_cast<int16_t>(static_cast<uint16_t>(bits & 0xFFFF));
  return true;
}

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if ((a % b) != 0 && a < 0) --q;
  return q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// The first row (or column) whose centre lies at or after a 12.4 coordinate: ceil((v - 8) / 16).
int64_t FirstCentreAtOrAfter(int64_t v) { return (v + 7) >> 4; }

// The first pixel column whose centre lies on or right of an edge at successive row centres:
// x = ceil((X - 8) / 16) with X the edge's 12.4 x at the row's centre, kept exact with an
// integer quotient and remainder.
class EdgeWalker {
 public:
  EdgeWalker(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t rowCentre) {
    const int64_t d = y1 - y0;  // > 0
    m_ = 16 * d;
    // value V = x0*d + (ys - y0)*(x1 - x0) - 8d; column = ceil(V / (16 d)).
    const int64_t v = x0 * d + (rowCentre - y0) * (x1 - x0) - 8 * d;
    q_ = CeilDiv(v, m_);
    r_ = q_ * m_ - v;  // 0 <= r < m
    const int64_t delta = 16 * (x1 - x0);  // V's change per row
    dq_ = FloorDiv(delta, m_);
    dr_ = delta - dq_ * m_;
  }
  int64_t Column() const { return q_; }
  // Without a branch: edges step by a fraction of a column, so its carry is unpredictable.
  void Step() {
    q_ += dq_;
    r_ -= dr_;
    const int64_t borrow = r_ >> 63;  // -1 when the remainder went below zero
    r_ += m_ & borrow;
    q_ -= borrow;
  }

 private:
  int64_t m_, q_, r_, dq_, dr_;
};

// Rows between two edges, cut to the clip window's columns and mapped to buffer rows.
struct RowWalk {
  int64_t minX, maxX;
  int rowBase, rowStep;  // buffer row = rowBase + rowStep * y

  // Rows [from, to), each to `emit`, empty ones (x0 >= x1) too; both edges are left where the
  // walk ends.
  template <typename Emit>
  void Walk(EdgeWalker& left, EdgeWalker& right, int64_t from, int64_t to, Emit& emit) const {
    EdgeWalker l = left, r = right;  // in registers
    for (int64_t y = from; y < to; ++y) {
      const int64_t x0 = std::max(l.Column(), minX);
      const int64_t x1 = std::min(r.Column(), maxX);
      emit(SpanRow{rowBase + rowStep * static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1)});
      l.Step();
      r.Step();
    }
    left = l;
    right = r;
  }
};

// The iterated parameters in the vertex's own order: r, g, b, ooz, a, oow, sow, tow.
constexpr int kParams = 8;
enum Param { kR = 0, kG = 1, kB = 2, kOoz = 3, kA = 4, kOow = 5, kSow = 6, kTow = 7 };
static_assert(offsetof(GrVertex, g) == offsetof(GrVertex, r) + 4 && offsetof(GrVertex, b) == offsetof(GrVertex, r) + 8 &&
              offsetof(GrVertex, ooz) == offsetof(GrVertex, r) + 12 && offsetof(GrVertex, a) == offsetof(GrVertex, r) + 16 &&
              offsetof(GrVertex, oow) == offsetof(GrVertex, r) + 20 &&
              offsetof(GrVertex, tmuvtx) == offsetof(GrVertex, r) + 24 &&
              offsetof(GrTmuVertex, sow) == 0 && offsetof(GrTmuVertex, tow) == 4,
              "GrVertex holds the iterated parameters one after another");

static_assert(sizeof(SetupVertex::p) == kParams * sizeof(float));

void LoadParams(const GrVertex& from, SetupVertex& to) {
  to.x = from.x;
  to.y = from.y;
  std::memcpy(to.p, reinterpret_cast<const unsigned char*>(&from) + offsetof(GrVertex, r), sizeof to.p);
}

// Float to a 64-bit x.12 fixed value, saturating (NaN gives 0).
inline int64_t ToFixed12(float v) {
  // The usual case in single precision: the scaling by 2^12 is exact there and the product
  // fits 32 bits.
  if (std::fabs(v) < 524288.0f) return static_cast<int32_t>(v * 4096.0f);
  double s = static_cast<double>(v) * 4096.0;
  s = s < 1.0e15 ? s : 1.0e15;    // NaN becomes the bound here...
  s = s > -1.0e15 ? s : -1.0e15;
  return v == v ? static_cast<int64_t>(s) : 0;  // ...and 0 here
}

// Glide's set-up arithmetic in single precision: gradients from the (unsnapped) float
// coordinates of the y-sorted vertices, per pixel of a buffer `scale` times the program's (the
// differences and the area scaled: at 1 exactly the board's arithmetic).
[[gnu::always_inline]] inline void ComputeSlopes(const SetupVertex& a, const SetupVertex& b, const SetupVertex& c,
                                                 float area, float scale, Slopes& out) {
  const float dxAB = (a.x - b.x) * scale, dxBC = (b.x - c.x) * scale;
  const float dyAB = (a.y - b.y) * scale, dyBC = (b.y - c.y) * scale;
  const float ooa = 1.0f / (area * scale * scale);
  for (int i = 0; i < kParams; ++i) {
    const float dpAB = a.p[i] - b.p[i];
    const float dpBC = b.p[i] - c.p[i];
    out.dx[i] = (dpAB * dyBC - dpBC * dyAB) * ooa;
    out.dy[i] = (dpBC * dxAB - dpAB * dxBC) * ooa;
  }
}

// Start values at the centre of the pixel holding vertex A, from A's values and the slopes
// (the board's "parameter adjust").
[[gnu::always_inline]] inline void BuildGradients(const SetupVertex& a, const Slopes& sl, Gradients& g) {
  g.xa = a.x16 >> 4;
  g.ya = a.y16 >> 4;
  const int dxs = 8 - (a.x16 & 15), dys = 8 - (a.y16 & 15);  // 1/16 pixel
  // 12.12 colour and 20.12 Z: the start adjusted by the sub-pixel offset to A's pixel centre.
  auto fixedStart = [&](int i, int64_t& start, int64_t& dx, int64_t& dy) {
    dx = ToFixed12(sl.dx[i]);
    dy = ToFixed12(sl.dy[i]);
    start = ToFixed12(a.p[i]) + ((dxs * dx + dys * dy) >> 4);
  };
  fixedStart(kR, g.rgba[0], g.drgbaDx[0], g.drgbaDy[0]);
  fixedStart(kG, g.rgba[1], g.drgbaDx[1], g.drgbaDy[1]);
  fixedStart(kB, g.rgba[2], g.drgbaDx[2], g.drgbaDy[2]);
  fixedStart(kA, g.rgba[3], g.drgbaDx[3], g.drgbaDy[3]);
  fixedStart(kOoz, g.z, g.dzDx, g.dzDy);
  const float fdx = static_cast<float>(dxs) / 16.0f, fdy = static_cast<float>(dys) / 16.0f;
  auto floatStart = [&](int i) { return a.p[i] + fdx * sl.dx[i] + fdy * sl.dy[i]; };
  g.w = floatStart(kOow);  // W of the depth buffer and of the perspective divide
  g.dwDx = sl.dx[kOow];
  g.dwDy = sl.dy[kOow];
  g.s = floatStart(kSow);
  g.dsDx = sl.dx[kSow];
  g.dsDy = sl.dy[kSow];
  g.t = floatStart(kTow);
  g.dtDx = sl.dx[kTow];
  g.dtDy = sl.dy[kTow];
}

// The plane equations from the slopes: start values at A's pixel centre, and with the origin at
// the lower left, anchored at A's buffer row with every y slope's sign changed (exactly, so
// nothing else moves): the span functions see buffer rows.
[[gnu::always_inline]] inline void PlanesFromSlopes(const TriangleSetup& t, const Slopes& slopes, Gradients& g) {
  BuildGradients(t.a, slopes, g);
  if (t.rowStep < 0) {
    g.ya = t.rowBase - g.ya;
    for (int i = 0; i < 4; ++i) g.drgbaDy[i] = -g.drgbaDy[i];
    g.dzDy = -g.dzDy;
    g.dwDy = -g.dwDy;
    g.dsDy = -g.dsDy;
    g.dtDy = -g.dtDy;
  }
}

[[gnu::always_inline]] inline void Planes(const TriangleSetup& t, Gradients& g) {
  Slopes slopes;
  ComputeSlopes(t.a, t.b, t.c, t.area, static_cast<float>(t.scale), slopes);
  PlanesFromSlopes(t, slopes, g);
}

// The bodies of SetUpTriangle and RasterizeTriangle, inlined into DrawTriangle as well: with one
// thread, a small triangle's set-up costs as much as its pixels, and the call boundaries and the
// set-up's round trip through memory cost a fifth of a mesh's time.
[[gnu::always_inline]] inline SetupResult SetUp(const TriangleJob& job, const GrVertex& va, const GrVertex& vb,
                                                const GrVertex& vc, const Slopes* planar, Slopes* slopesOut,
                                                TriangleSetup& out, bool deferPlanes) {
  out.yBegin = out.yEnd = 0;
  // The clip window lies in the buffer, with room for the spans' overrun past its right edge.
  GLIDE_VERIFY(job.target != nullptr && job.span != nullptr && job.scale >= 1);
  GLIDE_VERIFY(0 <= job.clip.minX && job.clip.minX <= job.clip.maxX &&
               job.clip.maxX + kSpanOverrun <= job.target->stride);
  GLIDE_VERIFY(0 <= job.clip.minY && job.clip.minY <= job.clip.maxY && job.clip.maxY <= job.screenHeight);
  const GrVertex* k[3] = {&va, &vb, &vc};
  int32_t x16[3], y16[3];
  for (int i = 0; i < 3; ++i) {
    if (!ToFixed12_4(k[i]->x, x16[i]) || !ToFixed12_4(k[i]->y, y16[i])) return SetupResult::kInvalid;
    // The program's position, snapped and wrapped as the board takes it, in the larger buffer.
    x16[i] *= job.scale;
    y16[i] *= job.scale;
  }
  // Glide's area with the caller's vertex order decides culling; zero area draws nothing.
  const float area = (va.x - vb.x) * (vb.y - vc.y) - (vb.x - vc.x) * (va.y - vb.y);
  if (!(area != 0.0f) || !std::isfinite(area)) return SetupResult::kZeroArea;
  if (planar == nullptr) {
    if (job.cullMode == GR_CULL_NEGATIVE && area < 0.0f) return SetupResult::kCulled;
    if (job.cullMode == GR_CULL_POSITIVE && area > 0.0f) return SetupResult::kCulled;
  }

  // Sort by 12.4 y (stable): A topmost, C bottom. Each corner goes to its rank, without a branch
  // (the order of a mesh's triangles is unpredictable).
  const int32_t y0 = y16[0], y1 = y16[1], y2 = y16[2];
  // The ranks only choose where each corner's loads come from: the stores go to fixed places,
  // which the slopes' loads right after can be told apart from at once.
  const int rank[3] = {(y1 < y0) + (y2 < y0), (y0 <= y1) + (y2 < y1), (y0 <= y2) + (y1 <= y2)};
  const GrVertex* from[3];
  int32_t sortedX16[3], sortedY16[3];
  for (int i = 0; i < 3; ++i) {
    from[rank[i]] = k[i];
    sortedX16[rank[i]] = x16[i];
    sortedY16[rank[i]] = y16[i];
  }
  SetupVertex* const sorted[3] = {&out.a, &out.b, &out.c};
  for (int i = 0; i < 3; ++i) {
    sorted[i]->x16 = sortedX16[i];
    sorted[i]->y16 = sortedY16[i];
    LoadParams(*from[i], *sorted[i]);
  }
  const SetupVertex &a = out.a, &b = out.b, &c = out.c;

  // Coverage: rows whose centre lies in [A.y, C.y); in each, columns whose centre lies in
  // [left edge, right edge). The long edge A-C is on the left when B lies right of it.
  const int64_t cross = static_cast<int64_t>(b.x16 - a.x16) * (c.y16 - a.y16) -
                        static_cast<int64_t>(b.y16 - a.y16) * (c.x16 - a.x16);
  if (cross == 0) return SetupResult::kZeroArea;
  // With the origin at the lower left, the triangle is rasterized as given and row y is stored
  // in buffer row H - 1 - y (see PlanesFromSlopes).
  const bool flip = job.originLowerLeft;
  const int lastRow = job.screenHeight - 1;
  const ClipRect& clip = job.clip;
  // The clip window counts rows from the top of the screen whatever the origin.
  const int clipTop = flip ? lastRow + 1 - clip.maxY : clip.minY;
  const int clipBottom = flip ? lastRow + 1 - clip.minY : clip.maxY;
  const int64_t yBegin = std::max<int64_t>(FirstCentreAtOrAfter(a.y16), clipTop);
  const int64_t yMid = FirstCentreAtOrAfter(b.y16);
  const int64_t yEnd = std::min<int64_t>(FirstCentreAtOrAfter(c.y16), clipBottom);
  // No row centre inside: nothing to set up (unless a planar polygon wants the slopes).
  if (yBegin >= yEnd && slopesOut == nullptr) return SetupResult::kDrawn;

  out.area = (a.x - b.x) * (b.y - c.y) - (b.x - c.x) * (a.y - b.y);
  out.scale = job.scale;
  out.longLeft = cross > 0;
  out.clipMinX = clip.minX, out.clipMaxX = clip.maxX;
  out.rowBase = flip ? lastRow : 0;
  out.rowStep = flip ? -1 : 1;
  out.width = ((std::max({a.x16, b.x16, c.x16}) - std::min({a.x16, b.x16, c.x16})) >> 4) + 2;
  if (planar == nullptr && slopesOut == nullptr) {
    if (!deferPlanes) Planes(out, out.g);
  } else {
    Slopes slopes;
    if (planar != nullptr) {
      slopes = *planar;
    } else {
      ComputeSlopes(a, b, c, out.area, static_cast<float>(job.scale), slopes);
    }
    if (slopesOut != nullptr) *slopesOut = slopes;
    PlanesFromSlopes(out, slopes, out.g);
  }
  if (yBegin >= yEnd) return SetupResult::kDrawn;
  out.yBegin = yBegin, out.yMid = yMid, out.yEnd = yEnd;
  return SetupResult::kDrawn;
}

[[gnu::always_inline]] inline void Rasterize(const TriangleSetup& t, const Gradients& g, const SpanTarget& target,
                                             SpanFn span, int bandTop, int bandEnd, PathStats* stats) {
  // The band's buffer rows as rows of the triangle.
  const int64_t bandFirst = t.rowStep > 0 ? bandTop - t.rowBase : t.rowBase - bandEnd + 1;
  const int64_t bandLast = t.rowStep > 0 ? bandEnd - t.rowBase : t.rowBase - bandTop + 1;
  const int64_t yBegin = std::max(t.yBegin, bandFirst), yEnd = std::min(t.yEnd, bandLast);
  if (yBegin >= yEnd) return;
  GLIDE_VERIFY(0 <= bandTop && bandTop < bandEnd && t.clipMinX >= 0 && t.clipMaxX + kSpanOverrun <= target.stride);
  // The rows between the long edge A-C and A-B, then B-C, go to `emit`. Each edge's columns
  // at a row are exact whatever row its walk starts at, so any band's rows come out the same.
  const RowWalk rowWalk{t.clipMinX, t.clipMaxX, t.rowBase, t.rowStep};
  auto walk = [&](auto&& emit) __attribute__((always_inline)) {
    EdgeWalker longEdge(t.a.x16, t.a.y16, t.c.x16, t.c.y16, 16 * yBegin + 8);
    auto half = [&](int64_t topX, int64_t topY, int64_t bottomX, int64_t bottomY, int64_t from, int64_t to) {
      if (from >= to) return;
      EdgeWalker shortEdge(topX, topY, bottomX, bottomY, 16 * from + 8);
      if (t.longLeft) {
        rowWalk.Walk(longEdge, shortEdge, from, to, emit);
      } else {
        rowWalk.Walk(shortEdge, longEdge, from, to, emit);
      }
    };
    half(t.a.x16, t.a.y16, t.b.x16, t.b.y16, yBegin, std::min(t.yMid, yEnd));
    half(t.b.x16, t.b.y16, t.c.x16, t.c.y16, std::max(t.yMid, yBegin), yEnd);
  };

  // A small triangle goes to the batch path: the rows in the band first, then one call. Small
  // means the whole triangle, not its part in the band: a large triangle's rows take the row
  // path, which is faster for them, however the buffer is cut into bands.
  const uint64_t start = stats != nullptr ? StatsNow() : 0;
  uint64_t pixels = 0;
  SpanPath path = target.stages.path;
  const int64_t rows = t.yEnd - t.yBegin;
  if (target.stages.batch != nullptr && rows <= kBatchMaxRows && t.width * rows <= kBatchMaxPixels) {
    SpanRow batch[kBatchMaxRows];
    int count = 0;
    walk([&](const SpanRow& row) {
      GLIDE_VERIFY(count < kBatchMaxRows && bandTop <= row.y && row.y < bandEnd);
      GLIDE_VERIFY(row.x0 >= row.x1 || (t.clipMinX <= row.x0 && row.x1 <= t.clipMaxX));
      batch[count] = row;
      count += row.x0 < row.x1;  // an empty row is overwritten by the next
    });
    if (target.stages.batch(target, g, batch, count)) {
      path = SpanPath::kBatch;
    } else {
      for (int i = 0; i < count; ++i) span(target, g, batch[i].y, batch[i].x0, batch[i].x1);
    }
    if (stats != nullptr) {
      for (int i = 0; i < count; ++i) pixels += static_cast<uint64_t>(batch[i].x1 - batch[i].x0);
    }
  } else {
    walk([&](const SpanRow& row) {
      GLIDE_VERIFY(bandTop <= row.y && row.y < bandEnd);
      GLIDE_VERIFY(row.x0 >= row.x1 || (t.clipMinX <= row.x0 && row.x1 <= t.clipMaxX));
      if (row.x0 < row.x1) {
        span(target, g, row.y, row.x0, row.x1);
        pixels += static_cast<uint64_t>(row.x1 - row.x0);
      }
    });
  }
  if (stats != nullptr) stats->Add(path, pixels, StatsNow() - start);
}

}  // namespace

void SetUpPlanes(const TriangleSetup& t, Gradients& g) { Planes(t, g); }

SetupResult SetUpTriangle(const TriangleJob& job, const GrVertex& va, const GrVertex& vb, const GrVertex& vc,
                          const Slopes* planar, Slopes* slopesOut, TriangleSetup& out, bool deferPlanes) {
  return SetUp(job, va, vb, vc, planar, slopesOut, out, deferPlanes);
}

void RasterizeTriangle(const TriangleSetup& t, const Gradients& g, const SpanTarget& target, SpanFn span, int bandTop,
                       int bandEnd, PathStats* stats) {
  Rasterize(t, g, target, span, bandTop, bandEnd, stats);
}

SetupResult DrawTriangle(const TriangleJob& job, const GrVertex& va, const GrVertex& vb, const GrVertex& vc,
                         const Slopes* planar, Slopes* slopesOut) {
  TriangleSetup setup;
  const SetupResult result = SetUp(job, va, vb, vc, planar, slopesOut, setup, false);
  if (result == SetupResult::kDrawn && setup.yBegin < setup.yEnd) {
    Rasterize(setup, setup.g, *job.target, job.span, 0, job.screenHeight, job.stats);
  }
  return result;
}

}  // namespace glide
