// Small triangles in one pass. A small triangle has about ten rows of a few pixels each; shading
// them row by row leaves most of every block idle and pays a row's set-up ten times. Here all
// the triangle's pixels are packed into one list across rows and shaded a block at a time, each
// lane carrying its own column and row: perspective, texture, colour iterators, combine, chroma
// key and alpha test, into 16-bit arrays. A second pass then goes row by row over the packed
// results with block loads of the destination: depth test, blending, dithering, and the colour
// and depth writes.
//
// Every lane computes what the row paths compute for its pixel, with the same float operations
// in the same order (the agreement tests hold the two to it bit for bit). Colour iterators are
// evaluated in 32-bit lanes, exact when the triangle's values all fit 32 bits, which one check
// at the corners of its bounding box decides (the iterators are linear); otherwise, or for more
// pixels than the pack holds, the caller draws the rows one by one. Internal to the span units.

#if defined(GLIDE_SPAN_BATCH_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef GLIDE_SPAN_BATCH_INL_H_
#undef GLIDE_SPAN_BATCH_INL_H_
#else
#define GLIDE_SPAN_BATCH_INL_H_
#endif

#include <algorithm>
#include <climits>

#include "SpanTexels-inl.h"

#if GLIDE_LANE_TARGET
HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {
namespace {

// A half's pixel offsets from vertex A, 1/W and the texel coordinates.
struct LaneSetup {
  VI ix, iy;
  VF w;
  VI s, t;
};

// What packing learns of a triangle: its pixel count and its colour iterators in 32 bits.
struct BatchLayout {
  int total = 0;
  int32_t start32[4], dx32[4], dy32[4];
  bool flat = false;  // flat colour and alpha (the objects' usual case)
  Taps16 flatColour;  // then the same channels at every pixel
};

// A triangle's plane equations broadcast to lanes; colour iterators from the layout.
struct PackedGradients {
  VI xa, ya;
  VF w0, dwDx, dwDy, s0, dsDx, dsDy, t0, dtDx, dtDy;
  const BatchLayout& layout;
  // 1/W the same at every pixel (sprites and screen-aligned quads): w0 + x * 0 + y * 0 is w0
  // but for the sign of a zero W, which neither the depth nor the coordinates tell apart, so
  // the division and the depth are the triangle's, once.
  bool flatW;
  Reciprocal reciprocal{};
  V16 depth16{};

  HWY_INLINE PackedGradients(const Gradients& g, const BatchLayout& batch)
      : xa(hn::Set(DI(), g.xa)), ya(hn::Set(DI(), g.ya)),
        w0(hn::Set(DF(), g.w)), dwDx(hn::Set(DF(), g.dwDx)), dwDy(hn::Set(DF(), g.dwDy)),
        s0(hn::Set(DF(), g.s)), dsDx(hn::Set(DF(), g.dsDx)), dsDy(hn::Set(DF(), g.dsDy)),
        t0(hn::Set(DF(), g.t)), dtDx(hn::Set(DF(), g.dtDx)), dtDy(hn::Set(DF(), g.dtDy)),
        layout(batch), flatW(g.dwDx == 0.0f && g.dwDy == 0.0f) {
    if (flatW) {
      reciprocal = PerspectiveReciprocal(w0);
      const VI depth = WDepthLanes(w0);
      depth16 = Narrow(depth, depth);
    }
  }

  // Iterated channel k (0..255) at each lane's pixel, in 32-bit wrapping arithmetic.
  HWY_INLINE VI Iterated(int k, const LaneSetup& l) const {
    const DI di;
    return ChannelLanes(hn::Add(hn::Add(hn::Set(di, layout.start32[k]), hn::Mul(l.ix, hn::Set(di, layout.dx32[k]))),
                                hn::Mul(l.iy, hn::Set(di, layout.dy32[k]))));
  }
};

// (start + row * dy) + column * dx per lane, as the rows' perspective stage computes it, then
// the perspective division.
HWY_INLINE LaneSetup SetUpLanes(const PackedGradients& pg, VI x, VI y) {
  const DF df;
  LaneSetup l;
  l.ix = hn::Sub(x, pg.xa);
  l.iy = hn::Sub(y, pg.ya);
  const VF fx = hn::ConvertTo(df, l.ix), fy = hn::ConvertTo(df, l.iy);
  const VF sw = hn::Add(hn::Add(pg.s0, hn::Mul(fy, pg.dsDy)), hn::Mul(fx, pg.dsDx));
  const VF tw = hn::Add(hn::Add(pg.t0, hn::Mul(fy, pg.dtDy)), hn::Mul(fx, pg.dtDx));
  Reciprocal reciprocal;
  if (pg.flatW) {
    l.w = pg.w0;
    reciprocal = pg.reciprocal;
  } else {
    l.w = hn::Add(hn::Add(pg.w0, hn::Mul(fy, pg.dwDy)), hn::Mul(fx, pg.dwDx));
    reciprocal = PerspectiveReciprocal(l.w);
  }
  l.s = TexelCoordinate(sw, reciprocal);
  l.t = TexelCoordinate(tw, reciprocal);
  return l;
}

// ---- The write pass ---------------------------------------------------------------------------
//
// Per row, a block at a time, the depth test against the buffer (the triangle's own pixels
// never overlap, so testing after shading sees the same values), then blending, dithering and
// both writes. Two consecutive rows of at most one half's pixels each (most rows of a small
// triangle) share one block, a row in each half. Lanes past a row's end are dead; like the row
// paths' write stage they read and write back up to kSpanOverrun pixels past it, inside the
// buffers' padding.

using DH16 = hn::Half<D16>;

// A block from two places: a half from `lo`, a half from `hi`.
HWY_INLINE V16 LoadHalves(const uint16_t* lo, const uint16_t* hi) {
  const DH16 dh;
  return hn::Combine(D16(), hn::LoadU(dh, hi), hn::LoadU(dh, lo));
}

HWY_INLINE void StoreHalves(V16 v, uint16_t* lo, uint16_t* hi) {
  const DH16 dh;
  hn::StoreU(hn::LowerHalf(dh, v), dh, lo);
  hn::StoreU(hn::UpperHalf(dh, v), dh, hi);
}

HWY_INLINE ptrdiff_t RowOffset(const SpanTarget& target, const SpanRow& row) {
  return static_cast<ptrdiff_t>(row.y) * target.stride + row.x0;
}

// Rows r and r + 1 (at most one half's pixels each) in one step, a row in each half.
template <BlendKind kBlend, bool kDither, bool kSubtract, bool kDepth>
HWY_INLINE void WriteRowPair(const SpanTarget& target, const DitherRows& dither, const SpanRow& row0,
                             const SpanRow& row1, int k0, int k1, const Packed& p) {
  const D16 d;
  const DH16 dh;
  const ptrdiff_t at0 = RowOffset(target, row0), at1 = RowOffset(target, row1);
  const int n0 = row0.x1 - row0.x0, n1 = row1.x1 - row1.x0;
  const V16 inRows = hn::Combine(d, hn::VecFromMask(dh, FirstLanes(dh, n1)), hn::VecFromMask(dh, FirstLanes(dh, n0)));
  M16 live = hn::And(hn::MaskFromVec(LoadHalves(p.live + k0, p.live + k1)), hn::MaskFromVec(inRows));
  V16 depth = hn::Zero(d), stored = hn::Zero(d);
  if constexpr (kDepth) {
    depth = LoadHalves(p.depth + k0, p.depth + k1);
    stored = LoadHalves(target.aux + at0, target.aux + at1);
    live = hn::And(live, DepthPass(d, target.state.depthFunc, depth, stored));
  }
  if (hn::AllFalse(d, live)) return;
  const V16 r = LoadHalves(p.r + k0, p.r + k1), g = LoadHalves(p.g + k0, p.g + k1),
            b = LoadHalves(p.b + k0, p.b + k1), a = LoadHalves(p.a + k0, p.a + k1);
  if (!AddsNothing<kBlend, kDither, kSubtract>(r, g, b, a, live)) {
    const V16 old = LoadHalves(target.color + at0, target.color + at1);
    const V16 pixel = Finish<kBlend, kDither, kSubtract>(DitherAt(dither, row0.y, row0.x0, row1.y, row1.x0), r, g, b, a, old);
    StoreHalves(hn::IfThenElse(live, pixel, old), target.color + at0, target.color + at1);
  }
  if (kDepth && target.state.depthMask) {
    StoreHalves(hn::IfThenElse(live, depth, stored), target.aux + at0, target.aux + at1);
  }
}

// One row, a block at a time; its packed pixels start at k.
template <BlendKind kBlend, bool kDither, bool kSubtract, bool kDepth>
HWY_INLINE void WriteRow(const SpanTarget& target, const DitherRows& dither, const SpanRow& row, int k,
                         const Packed& p) {
  const D16 d;
  const ptrdiff_t at = RowOffset(target, row);
  const int n = row.x1 - row.x0;
  for (int i = 0; i < n; i += kBlock) {
    uint16_t* color = target.color + at + i;
    uint16_t* aux = target.aux + at + i;
    M16 live = hn::And(LiveMask(p.live + k + i), FirstLanes(d, n - i));
    V16 depth = hn::Zero(d), stored = hn::Zero(d);
    if constexpr (kDepth) {
      depth = hn::LoadU(d, p.depth + k + i);
      stored = hn::LoadU(d, aux);
      live = hn::And(live, DepthPass(d, target.state.depthFunc, depth, stored));
    }
    if (hn::AllFalse(d, live)) continue;
    const V16 r = hn::LoadU(d, p.r + k + i), g = hn::LoadU(d, p.g + k + i), b = hn::LoadU(d, p.b + k + i),
              a = hn::LoadU(d, p.a + k + i);
    if (!AddsNothing<kBlend, kDither, kSubtract>(r, g, b, a, live)) {
      const V16 old = hn::LoadU(d, color);
      const V16 pixel = Finish<kBlend, kDither, kSubtract>(DitherAt(dither, row.y, row.x0 + i), r, g, b, a, old);
      hn::StoreU(hn::IfThenElse(live, pixel, old), d, color);
    }
    if (kDepth && target.state.depthMask) hn::StoreU(hn::IfThenElse(live, depth, stored), d, aux);
  }
}

template <BlendKind kBlend, bool kDither, bool kSubtract, bool kDepth>
void RowsWriteLanes(const SpanTarget& target, const SpanRow* rows, int count, const Packed& p) {
  const DitherRows& dither = GetDitherRows();
  for (int r = 0; r < count; ++r) {
    const auto width = [](const SpanRow& row) { return row.x1 - row.x0; };
    if (width(rows[r]) <= kLanes && r + 1 < count && width(rows[r + 1]) <= kLanes) {
      WriteRowPair<kBlend, kDither, kSubtract, kDepth>(target, dither, rows[r], rows[r + 1], p.start[r],
                                                       p.start[r + 1], p);
      ++r;
    } else {
      WriteRow<kBlend, kDither, kSubtract, kDepth>(target, dither, rows[r], p.start[r], p);
    }
  }
}

// ---- Packing ------------------------------------------------------------------------------------

// The packed pixels' bounding box.
struct Box {
  int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
};

// The colour iterators in 32 bits: exact (in wrapping arithmetic) when every corner of the
// bounding box is. False where they are not.
inline bool Iterators32(const Gradients& g, const Box& box, BatchLayout& layout) {
  bool flat = true;
  for (int k = 0; k < 4; ++k) flat = flat && g.drgbaDx[k] == 0 && g.drgbaDy[k] == 0;
  const int64_t ixs[2] = {box.minX - g.xa, box.maxX - g.xa}, iys[2] = {box.minY - g.ya, box.maxY - g.ya};
  for (int k = 0; k < 4; ++k) {
    if (flat) {
      if (g.rgba[k] < INT32_MIN || g.rgba[k] > INT32_MAX) return false;
    } else {
      for (const int64_t ix : ixs) {
        for (const int64_t iy : iys) {
          const int64_t v = g.rgba[k] + ix * g.drgbaDx[k] + iy * g.drgbaDy[k];
          if (v < INT32_MIN || v > INT32_MAX) return false;
        }
      }
    }
    layout.start32[k] = static_cast<int32_t>(static_cast<uint32_t>(g.rgba[k]));
    layout.dx32[k] = static_cast<int32_t>(static_cast<uint32_t>(g.drgbaDx[k]));
    layout.dy32[k] = static_cast<int32_t>(static_cast<uint32_t>(g.drgbaDy[k]));
  }
  layout.flat = flat;
  return true;
}

// Packs each row's columns and its row number, a half per store, and checks the colour
// iterators. False where the triangle must go row by row.
HWY_INLINE bool PackRows(const SpanRow* rows, int count, const Gradients& g, Packed& p, BatchLayout& layout) {
  const DI di;
  if (count <= 0 || count > kBatchMaxRows) return count == 0;
  int total = 0;
  Box box;
  VI lastX = hn::Zero(di), lastY = hn::Zero(di);
  for (int r = 0; r < count; ++r) {
    const SpanRow& row = rows[r];
    const int n = row.x1 - row.x0;
    if (n > kBatchMaxPixels - total) return false;
    p.start[r] = total;
    box = {std::min(box.minX, row.x0), std::max(box.maxX, row.x1 - 1), std::min(box.minY, row.y),
           std::max(box.maxY, row.y)};
    lastY = hn::Set(di, row.y);
    for (int k = 0; k < n; k += kLanes) {
      lastX = LanesFrom(row.x0 + k);
      hn::StoreU(lastX, di, p.x + total + k);
      hn::StoreU(lastY, di, p.y + total + k);
    }
    total += n;
  }
  layout.total = total;
  if (total == 0) return true;
  // Lanes of the last block past the last pixel: a real pixel's coordinates (their results are
  // dead).
  for (int k = total; k < total + kBlock; k += kLanes) {
    hn::StoreU(lastX, di, p.x + k);
    hn::StoreU(lastY, di, p.y + k);
  }
  if (!Iterators32(g, box, layout)) return false;
  const D16 d;
  layout.flatColour = {SetLanes(d, IteratedChannel(layout.start32[0])), SetLanes(d, IteratedChannel(layout.start32[1])),
                       SetLanes(d, IteratedChannel(layout.start32[2])), SetLanes(d, IteratedChannel(layout.start32[3]))};
  return true;
}

// A dead, defined block after the last one for the write pass's whole blocks.
HWY_INLINE void FinishPacked(Packed& p, int total) {
  const D16 d;
  const int end = WholeBlocks(total);
  for (uint16_t* array : {p.r, p.g, p.b, p.a, p.live, p.depth}) hn::StoreU(hn::Zero(d), d, array + end);
}

// ---- Shading ------------------------------------------------------------------------------------

// Texture, iterated colour and depth of packed pixels i .. i + kBlock - 1. A last block of at
// most one half's pixels is set up and sampled once and its results doubled into both halves
// (the second copy lands past the last pixel, dead).
template <Tex kTex, bool kBilinear, bool kDepth>
HWY_INLINE void ShadePacked(const SpanTarget& target, const PackedGradients& pg, int i, int left, Packed& p,
                            Taps16& tex, Taps16& it) {
  const DI di;
  const D16 d;
  const LaneSetup lo = SetUpLanes(pg, hn::LoadU(di, p.x + i), hn::LoadU(di, p.y + i));
  it = pg.layout.flatColour;
  if (left <= kLanes) {
    if constexpr (kDepth) {
      const VI depth = WDepthLanes(lo.w);
      hn::StoreU(pg.flatW ? pg.depth16 : Narrow(depth, depth), d, p.depth + i);
    }
    tex = NarrowTwice(SampleHalf<kTex, kBilinear>(target, lo.s, lo.t));
    if (pg.layout.flat) return;
    it = NarrowTwice(Taps{pg.Iterated(0, lo), pg.Iterated(1, lo), pg.Iterated(2, lo), pg.Iterated(3, lo)});
    return;
  }
  const LaneSetup hi = SetUpLanes(pg, hn::LoadU(di, p.x + i + kLanes), hn::LoadU(di, p.y + i + kLanes));
  if constexpr (kDepth) {
    hn::StoreU(pg.flatW ? pg.depth16 : Narrow(WDepthLanes(lo.w), WDepthLanes(hi.w)), d, p.depth + i);
  }
  tex = SampleBlock<kTex, kBilinear>(target, lo.s, hi.s, lo.t, hi.t);
  if (pg.layout.flat) return;
  it = NarrowTaps(Taps{pg.Iterated(0, lo), pg.Iterated(1, lo), pg.Iterated(2, lo), pg.Iterated(3, lo)},
                  Taps{pg.Iterated(0, hi), pg.Iterated(1, hi), pg.Iterated(2, hi), pg.Iterated(3, hi)});
}

// The first pass: packing and shading (see the top of this file).
template <Tex kTex, bool kBilinear, bool kDepth>
bool BatchLanes(const SpanTarget& target, const Gradients& g, const SpanRow* rows, int count) {
  alignas(64) Packed p;  // only what is written is read
  BatchLayout layout;
  if (!PackRows(rows, count, g, p, layout)) return false;
  const int total = layout.total;
  if (total == 0) return true;
  const D16 d;
  const PackedGradients pg(g, layout);
  const Kills kills(target.state);
  const LaneCombineOps combine(target.stages.combine);
  for (int i = 0; i < total; i += kBlock) {
    Taps16 tex, it;
    ShadePacked<kTex, kBilinear, kDepth>(target, pg, i, total - i, p, tex, it);
    const Taps16 out = CombineLanes(d, combine, tex, it);
    const M16 live = kills.Apply(d, tex, out.a, FirstLanes(d, total - i));
    hn::StoreU(out.r, d, p.r + i);
    hn::StoreU(out.g, d, p.g + i);
    hn::StoreU(out.b, d, p.b + i);
    hn::StoreU(out.a, d, p.a + i);
    hn::StoreU(hn::VecFromMask(d, live), d, p.live + i);
  }
  FinishPacked(p, total);
  target.stages.rowsWrite(target, rows, count, p);
  return true;
}

}  // namespace

// The batch shading pass for the key, if its texture format is kTex and its combine a lane
// combine.
template <Tex kTex>
BatchFn PickBatchFor(const SpanKey& key) {
  if (key.tex != kTex || !LaneCombine(key.combine)) return nullptr;
  return ForValue<bool, false, true>(key.bilinear, [&](auto bilinear) {
    return ForValue<bool, false, true>(key.depth != kNoDepth, [&](auto depth) -> BatchFn {
      return BatchLanes<kTex, bilinear, depth>;
    });
  });
}

// The write pass for a write key and depth function.
inline RowsWriteFn PickRowsWriteLanes(const WriteKey& key, CompareFunc depth) {
  return ForWriteKey(key, [depth](auto blend, auto dither, auto subtract) -> RowsWriteFn {
    return ForValue<bool, false, true>(depth != kNoDepth, [&](auto tested) -> RowsWriteFn {
      return RowsWriteLanes<blend, dither, subtract, tested>;
    });
  });
}

}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();
#endif  // GLIDE_LANE_TARGET

#endif  // GLIDE_SPAN_BATCH_INL_H_
