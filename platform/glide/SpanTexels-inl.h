// The texel stages of the specialised span paths over Highway's portable vectors: loading texels
// (16-bit pairs, 8-bit formats through their table), addressing with wrap and clamp, the row
// windows that serve a block's bilinear taps from a few loads, and point and bilinear filtering.
// Built on the lane types and helpers of SpanLanes-inl.h, compiled for every target the same way.
// Internal to the span units.

// Highway's per-target include guard: this file is compiled once for each target.
#if defined(GLIDE_SPAN_TEXELS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef GLIDE_SPAN_TEXELS_INL_H_
#undef GLIDE_SPAN_TEXELS_INL_H_
#else
#define GLIDE_SPAN_TEXELS_INL_H_
#endif

#include <hwy/highway.h>

#include "SpanLanes-inl.h"

#if GLIDE_LANE_TARGET
HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// ==== Texel loads ==============================================================================

// 16-bit formats: four bytes from the texel at `index` on, the texel and (within a row) its right
// neighbour; reads at most 2 bytes past the level, inside texture memory's guard bytes. 8-bit
// formats: the texel expanded through its table (SpanTarget::texels32).
template <Tex kTex>
HWY_INLINE VI LoadTexels(const SpanTarget& t, VI index) {
  const DI di;
  if constexpr (kTex == Tex::kLut8) {
    return hn::GatherIndex(di, reinterpret_cast<const int32_t*>(t.texels32), index);
  } else {
    return hn::GatherOffset(di, reinterpret_cast<const int32_t*>(t.texels), hn::Add(index, index));
  }
}

// The right neighbour in a pair loaded by LoadTexels (16-bit formats).
HWY_INLINE VI Neighbour(VI pair) {
  return hn::BitCast(DI(), hn::ShiftRight<16>(hn::BitCast(hn::RebindToUnsigned<DI>(), pair)));
}

// Loaded texels of a half (the low 16 bits of each lane, or 0xAARRGGBB) to channels.
template <Tex kTex>
HWY_INLINE Taps DecodeHalf(VI loaded) {
  if constexpr (kTex == Tex::kLut8) {
    return DecodeArgb(loaded);
  } else {
    const Taps16 c = Expand16<kTex>(NarrowLow(hn::And(loaded, hn::Set(DI(), 0xFFFF))));
    return {WidenLow(c.r), WidenLow(c.g), WidenLow(c.b), WidenLow(c.a)};
  }
}

// Loaded texels of two halves to a block's channels.
template <Tex kTex>
HWY_INLINE Taps16 DecodeBlock(VI lo, VI hi) {
  if constexpr (kTex == Tex::kLut8) {
    return NarrowTaps(DecodeArgb(lo), DecodeArgb(hi));
  } else {
    const VI mask = hn::Set(DI(), 0xFFFF);
    return Expand16<kTex>(Narrow(hn::And(lo, mask), hn::And(hi, mask)));
  }
}

// ==== Addressing ===============================================================================

// Address on lanes: wrap masks, clamp pins to the edge texel.
HWY_INLINE VI AddressLanes(VI c, VI andMask, VI sizeMask) {
  return hn::Min(hn::Max(hn::And(c, andMask), hn::Zero(DI())), sizeMask);
}

// The texel index of point sampling.
HWY_INLINE VI PointIndex(const SpanTarget& t, VI s, VI tt) {
  const DI di;
  const TextureBinding& b = t.binding;
  const VI si = AddressLanes(hn::ShiftRightSame(s, b.sShift), hn::Set(di, t.sAnd), hn::Set(di, b.widthMask));
  const VI ti = AddressLanes(hn::ShiftRightSame(tt, b.tShift), hn::Set(di, t.tAnd), hn::Set(di, b.heightMask));
  return hn::Add(hn::ShiftLeftSame(ti, b.widthLog2), si);
}

// Addressing of one half for bilinear filtering (SampleBilinearWith on lanes).
struct Footprint {
  VI rowA, rowB, sa, sb, u, v;
  bool adjacent;  // every right tap is its left tap's neighbour in memory
};

// The rows of a footprint: the same for every pixel of a row whose t does not change along it
// (screen-aligned quads), so such a row computes them once.
struct FootprintRows {
  VI rowA, rowB, v;
  // The same as single numbers, where the rows are one pair for every lane (t the same along
  // the row): the row windows below then apply. -1 elsewhere.
  int rowA1 = -1, rowB1 = -1;
};

// One axis of a bilinear footprint (24.8 coordinates of LOD 0, `shift` = 8 + the level's LOD):
// half a texel subtracted, the texel of the first tap, the addresses of both taps, and the
// second tap's 4-bit weight as 0..240.
struct BilinearAxis {
  VI first, second, weight;
};

HWY_INLINE BilinearAxis AxisOf(VI c, int shift, int andMask, int sizeMask) {
  const DI di;
  const int lod = shift - 8;
  const VI half = hn::Sub(c, hn::Set(di, 128 << lod));
  const VI c0 = hn::ShiftRightSame(half, shift);
  const VI andLanes = hn::Set(di, andMask), sizeLanes = hn::Set(di, sizeMask);
  return {AddressLanes(c0, andLanes, sizeLanes), AddressLanes(hn::Add(c0, hn::Set(di, 1)), andLanes, sizeLanes),
          hn::And(hn::ShiftRightSame(half, lod), hn::Set(di, 0xF0))};
}

HWY_INLINE FootprintRows BilinearRows(const SpanTarget& t, VI tt) {
  const TextureBinding& b = t.binding;
  const BilinearAxis axis = AxisOf(tt, b.tShift, t.tAnd, b.heightMask);
  return {hn::ShiftLeftSame(axis.first, b.widthLog2), hn::ShiftLeftSame(axis.second, b.widthLog2), axis.weight};
}

// The rows of a t that every lane shares, with the row windows' single numbers.
HWY_INLINE FootprintRows SharedBilinearRows(const SpanTarget& t, int32_t tt) {
  FootprintRows rows = BilinearRows(t, hn::Set(DI(), tt));
  rows.rowA1 = hn::GetLane(rows.rowA);
  rows.rowB1 = hn::GetLane(rows.rowB);
  return rows;
}

// The footprint of a half's s on the given rows.
HWY_INLINE Footprint BilinearFootprint(const SpanTarget& t, VI s, const FootprintRows& rows) {
  const DI di;
  const TextureBinding& b = t.binding;
  const BilinearAxis axis = AxisOf(s, b.sShift, t.sAnd, b.widthMask);
  Footprint f;
  f.rowA = rows.rowA;
  f.rowB = rows.rowB;
  f.v = rows.v;
  f.u = axis.weight;
  f.sa = axis.first;
  f.sb = axis.second;
  f.adjacent = hn::AllTrue(di, hn::Eq(f.sb, hn::Add(f.sa, hn::Set(di, 1))));
  return f;
}

HWY_INLINE Footprint BilinearFootprint(const SpanTarget& t, VI s, VI tt) {
  return BilinearFootprint(t, s, BilinearRows(t, tt));
}

// ==== Row windows ==============================================================================
//
// A tap of a screen-aligned quad's row lies in one of two texture rows, and a half's pixels read
// a few texels of them: where a half's first taps lie within 2 kLanes texels (16-bit formats;
// kLanes for 8-bit) of each other, its pairs of taps come from two loads of each row and a lane
// permute instead of a gather. This is the one place the lane stages look past Highway's
// portable view of a gather: AMD's cores run gathers as microcode, and on a Zen 4 the quad's
// four gathers a block took a third of its time.

// Where a half's first-tap columns lie: the window's first column and each lane's column from
// it. The window starts at the first lane's column (s grows along the row) or failing that at
// the last lane's (s shrinks); false where some column lies before it or `span` columns or more
// after it (a wrap within the half, or a texture minified).
struct RowWindow {
  int first = 0;
  VI offset;
};

HWY_INLINE bool FindWindow(VI sa, int span, RowWindow& w) {
  const DI di;
  const hn::RebindToUnsigned<DI> du;
  const auto inside = [&](int first) {
    w.first = first;
    w.offset = hn::Sub(sa, hn::Set(di, first));
    // Unsigned: a column before the window is a huge offset.
    return hn::AllTrue(du, hn::Lt(hn::BitCast(du, w.offset), hn::Set(du, static_cast<uint32_t>(span))));
  };
  return inside(hn::GetLane(sa)) || inside(hn::ExtractLane(sa, kLanes - 1));
}

// Lane lookups within a vector of 32-bit lanes: ToLaneIndices(index) (each 0 .. kLanes - 1), then
// LookupLanes(v, indices) gives v's lanes at them, as hn::IndicesFromVec and hn::TableLookupLanes
// do. On WebAssembly both are one i8x16.swizzle: Highway 1.0 looks bytes up one at a time there
// (shunning the instruction for a V8 fault mended in 2021), which left the browser's row spans at
// a quarter of SSE4's speed (the cartoon's first 1500 frames at 39 Mpixel/s in headless Chromium,
// 60 % of the time in BilinearBlock; swizzles for the lookups alone: 62 Mpixel/s).
#if HWY_TARGET == HWY_WASM
struct LaneIndices {
  v128_t bytes;  // the byte of v each byte of the result comes from
};
HWY_INLINE LaneIndices ToLaneIndices(VI index) {
  const v128_t spread = wasm_i8x16_swizzle(index.raw, wasm_i8x16_make(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12));
  return {wasm_i8x16_add(wasm_i8x16_shl(spread, 2), wasm_i8x16_make(0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3))};
}
HWY_INLINE VI LookupLanes(VI v, LaneIndices indices) { return VI{wasm_i8x16_swizzle(v.raw, indices.bytes)}; }
#else
using LaneIndices = decltype(hn::IndicesFromVec(DI(), hn::Zero(DI())));
HWY_INLINE LaneIndices ToLaneIndices(VI index) { return hn::IndicesFromVec(DI(), index); }
HWY_INLINE VI LookupLanes(VI v, LaneIndices indices) { return hn::TableLookupLanes(v, indices); }
#endif

// The 16-bit texel and its right neighbour at each lane's column of the texture row starting at
// texel `row`, as LoadTexels gives them: the pairs from even offsets come from one load, those
// from odd offsets from a load one texel on. Reads up to 2 kLanes + 1 texels from the window's
// first (inside texture memory's guard bytes).
HWY_INLINE VI WindowPairs16(const SpanTarget& t, int row, const RowWindow& w) {
  const DI di;
  const uint8_t* at = t.texels + 2 * static_cast<ptrdiff_t>(row + w.first);
  const VI even = hn::LoadU(di, reinterpret_cast<const int32_t*>(at));
  const VI odd = hn::LoadU(di, reinterpret_cast<const int32_t*>(at + 2));
  const LaneIndices index = ToLaneIndices(hn::ShiftRight<1>(w.offset));
  const MI fromOdd = hn::RebindMask(di, hn::Ne(hn::And(w.offset, hn::Set(di, 1)), hn::Zero(di)));
  return hn::IfThenElse(fromOdd, LookupLanes(odd, index), LookupLanes(even, index));
}

// The expanded 8-bit texel and its right neighbour at each lane's column of the row starting at
// texel `row` (SpanTarget::texels32, padded past its last texel).
HWY_INLINE void WindowPairs32(const SpanTarget& t, int row, const RowWindow& w, VI& left, VI& right) {
  const DI di;
  const int32_t* at = reinterpret_cast<const int32_t*>(t.texels32) + row + w.first;
  const LaneIndices index = ToLaneIndices(w.offset);
  left = LookupLanes(hn::LoadU(di, at), index);
  right = LookupLanes(hn::LoadU(di, at + 1), index);
}

// ==== Filtering ================================================================================

// (c0 * (256 - u) + c1 * u) >> 8 per lane holding 0..255 (the products fit 16 bits).
template <class D>
HWY_INLINE hn::Vec<D> Lerp(D d, hn::Vec<D> c0, hn::Vec<D> c1, hn::Vec<D> u, hn::Vec<D> iu) {
  return hn::ShiftRight<8>(hn::Add(MulSmall(d, c0, iu), MulSmall(d, c1, u)));
}

// Both bilinear steps on one channel of four taps: top row, bottom row, then between them.
template <class D>
HWY_INLINE hn::Vec<D> FilterChannel(D d, hn::Vec<D> c00, hn::Vec<D> c01, hn::Vec<D> c10, hn::Vec<D> c11,
                                    hn::Vec<D> u, hn::Vec<D> iu, hn::Vec<D> v, hn::Vec<D> iv) {
  return Lerp(d, Lerp(d, c00, c01, u, iu), Lerp(d, c10, c11, u, iu), v, iv);
}

template <Tex kTex, class D>
HWY_INLINE Channels<D> FilterQuad(D d, const Channels<D>& c00, const Channels<D>& c01, const Channels<D>& c10,
                                  const Channels<D>& c11, hn::Vec<D> u, hn::Vec<D> v) {
  const hn::Vec<D> full = SetLanes(d, 256);
  const hn::Vec<D> iu = hn::Sub(full, u), iv = hn::Sub(full, v);
  Channels<D> out;
  out.r = FilterChannel(d, c00.r, c01.r, c10.r, c11.r, u, iu, v, iv);
  out.g = FilterChannel(d, c00.g, c01.g, c10.g, c11.g, u, iu, v, iv);
  out.b = FilterChannel(d, c00.b, c01.b, c10.b, c11.b, u, iu, v, iv);
  // RGB565 is 255 in every tap, so filtered 255.
  out.a = kTex == Tex::k565 ? c00.a : FilterChannel(d, c00.a, c01.a, c10.a, c11.a, u, iu, v, iv);
  return out;
}

// The four taps of a footprint, loaded (LoadTexels) but not decoded: c00, c01 of row A, c10,
// c11 of row B. Where every right tap is the next texel, one load fetches both (16-bit formats).
struct Quad {
  VI c00, c01, c10, c11;
};

template <Tex kTex>
HWY_INLINE Quad LoadQuad(const SpanTarget& t, const Footprint& f) {
  Quad q;
  q.c00 = LoadTexels<kTex>(t, hn::Add(f.rowA, f.sa));
  q.c10 = LoadTexels<kTex>(t, hn::Add(f.rowB, f.sa));
  if (kTex != Tex::kLut8 && f.adjacent) {
    q.c01 = Neighbour(q.c00);
    q.c11 = Neighbour(q.c10);
  } else {
    q.c01 = LoadTexels<kTex>(t, hn::Add(f.rowA, f.sb));
    q.c11 = LoadTexels<kTex>(t, hn::Add(f.rowB, f.sb));
  }
  return q;
}

// The first bilinear step where every right tap is its left tap's neighbour: a pair load holds
// the left tap in the low half of each 32-bit lane and the right tap in the high half, so the
// channels in 16-bit lanes are pairs, and per 32-bit lane c0 (256 - u) + c1 u (at most
// 255 x 256) is the sum of the two 16-bit products. RGB565 is expanded to 0..255 first.
// ARGB4444 stays in nibbles, and its weights carry the expansion's factor 17 instead: the sum
// is linear, so 17 c0 (256 - u) + 17 c1 u is the same integer, and no weight passes 17 x 256.
template <Tex kTex>
HWY_INLINE V16 AcrossWeights(const Footprint& f) {
  const DI di;
  const VI w = hn::Or(hn::ShiftLeft<16>(f.u), hn::Sub(hn::Set(di, 256), f.u));
  if constexpr (kTex == Tex::k4444) return hn::Mul(hn::BitCast(D16(), w), hn::Set(D16(), 17));
  return hn::BitCast(D16(), w);
}

// The pairs' channels, each still a (left, right) pair of 16-bit lanes.
template <Tex kTex>
HWY_INLINE Taps16 PairChannels(VI pairs) {
  const D16 d;
  const V16 p = hn::BitCast(d, pairs);
  if constexpr (kTex == Tex::k565) {
    return Expand565(p);
  } else {
    const V16 nib = hn::Set(d, 15);
    return {hn::And(hn::ShiftRight<8>(p), nib), hn::And(hn::ShiftRight<4>(p), nib), hn::And(p, nib),
            hn::ShiftRight<12>(p)};
  }
}

// Per 32-bit lane, the sum of the two 16-bit products of a pair and its weights (whole, at
// most 65535 x 2 for the 4444 weights' sum, which the 32-bit lane holds).
HWY_INLINE VI PairDot(V16 pair, V16 w) {
#if HWY_TARGET == HWY_AVX2
  return VI{_mm256_madd_epi16(pair.raw, w.raw)};
#elif HWY_TARGET == HWY_SSE4
  return VI{_mm_madd_epi16(pair.raw, w.raw)};
#elif HWY_TARGET <= HWY_AVX3 && HWY_ARCH_X86
  return VI{_mm512_madd_epi16(pair.raw, w.raw)};
#else
  // Products of values 0..255 (or nibbles) and weights up to 17 x 256 fit 16 bits unsigned.
  const hn::RebindToUnsigned<DI> du;
  const auto products = hn::BitCast(du, hn::Mul(pair, w));
  return hn::BitCast(DI(), hn::Add(hn::And(products, hn::Set(du, 0xFFFFu)), hn::ShiftRight<16>(products)));
#endif
}

// One channel of a row of pairs: the sum >> 8, one value per 32-bit lane.
HWY_INLINE VI Across(V16 pair, V16 w) { return hn::ShiftRight<8>(PairDot(pair, w)); }

// The same for both halves of a block, in 16-bit lanes: the sums (at most 65280) narrowed
// first, then one shift.
HWY_INLINE V16 Across(V16 pairLo, V16 pairHi, V16 wLo, V16 wHi) {
  return hn::ShiftRight<8>(Narrow(PairDot(pairLo, wLo), PairDot(pairHi, wHi)));
}

// A half's pairs to each channel's row value (0..255) in 32-bit lanes.
template <Tex kTex>
HWY_INLINE Taps AcrossHalf(VI pairs, V16 w) {
  const Taps16 c = PairChannels<kTex>(pairs);
  return {Across(c.r, w), Across(c.g, w), Across(c.b, w),
          kTex == Tex::k565 ? hn::Set(DI(), 255) : Across(c.a, w)};
}

// Bilinear filtering of 8-bit texels (expanded to 0xAARRGGBB) with each texel's colour kept
// whole: a 32-bit lane holds red and blue in its two 16-bit halves, another alpha and green, so
// that one lerp of 16-bit lanes filters two channels (the same arithmetic per channel as Lerp).
struct PairedChannels {
  VI rb, ag;  // (red << 16) | blue and (alpha << 16) | green, each 0..255
};

// The texels at `index` and index + 1 of a half's lanes in one 64-bit load each: the left and
// right taps of lanes whose right tap is the next column.
HWY_INLINE void LoadPairs(const SpanTarget& t, VI index, VI& left, VI& right) {
  const DI di;
  const hn::Repartition<int64_t, DI> d64;
  const auto* pairs = reinterpret_cast<const int64_t*>(t.texels32);
  // Byte offsets: the texel's, as a 64-bit load from a 4-byte boundary.
  const VI offsets = hn::ShiftLeft<2>(index);
  const auto q0 = hn::BitCast(di, hn::GatherOffset(d64, pairs, hn::PromoteTo(d64, hn::LowerHalf(offsets))));
  const auto q1 = hn::BitCast(di, hn::GatherOffset(d64, pairs, hn::PromoteTo(d64, hn::UpperHalf(hn::Half<DI>(), offsets))));
  left = hn::ConcatEven(di, q1, q0);
  right = hn::ConcatOdd(di, q1, q0);
}

// `rows`: the footprint's rows as single numbers, or null.
HWY_INLINE PairedChannels BilinearLut8(const SpanTarget& t, const Footprint& f, const FootprintRows* rows) {
  const D16 d;
  const VI a = hn::Add(f.rowA, f.sa), b = hn::Add(f.rowB, f.sa);
  Quad q;
  RowWindow window;
  if (f.adjacent && rows != nullptr && rows->rowA1 >= 0 && FindWindow(f.sa, kLanes, window)) {
    WindowPairs32(t, rows->rowA1, window, q.c00, q.c01);
    WindowPairs32(t, rows->rowB1, window, q.c10, q.c11);
  } else if (f.adjacent) {
    LoadPairs(t, a, q.c00, q.c01);
    LoadPairs(t, b, q.c10, q.c11);
  } else {
    q = LoadQuad<Tex::kLut8>(t, f);
  }
  const V16 u = hn::BitCast(d, hn::Or(f.u, hn::ShiftLeft<16>(f.u)));
  const V16 v = hn::BitCast(d, hn::Or(f.v, hn::ShiftLeft<16>(f.v)));
  const V16 full = hn::Set(d, 256);
  const V16 iu = hn::Sub(full, u), iv = hn::Sub(full, v);
  const V16 m = hn::BitCast(d, hn::Set(DI(), 0x00FF00FF));
  const auto low = [&](VI c) { return hn::And(hn::BitCast(d, c), m); };
  const auto high = [&](VI c) { return hn::ShiftRight<8>(hn::BitCast(d, c)); };
  const DI di;
  return {hn::BitCast(di, FilterChannel(d, low(q.c00), low(q.c01), low(q.c10), low(q.c11), u, iu, v, iv)),
          hn::BitCast(di, FilterChannel(d, high(q.c00), high(q.c01), high(q.c10), high(q.c11), u, iu, v, iv))};
}

// Paired channels to one channel per 32-bit lane.
HWY_INLINE Taps Unpair(const PairedChannels& c) {
  const DI di;
  const VI low = hn::Set(di, 0xFFFF);
  return {hn::ShiftRight<16>(c.rb), hn::And(c.ag, low), hn::And(c.rb, low), hn::ShiftRight<16>(c.ag)};
}

// Point or bilinear samples of a half.
template <Tex kTex, bool kBilinear>
HWY_INLINE Taps SampleHalf(const SpanTarget& t, VI s, VI tt) {
  const DI di;
  if constexpr (!kBilinear) {
    return DecodeHalf<kTex>(LoadTexels<kTex>(t, PointIndex(t, s, tt)));
  } else {
    const Footprint f = BilinearFootprint(t, s, tt);
    if constexpr (kTex == Tex::kLut8) return Unpair(BilinearLut8(t, f, nullptr));
    if (f.adjacent) {
      const V16 w = AcrossWeights<kTex>(f);
      const Taps top = AcrossHalf<kTex>(LoadTexels<kTex>(t, hn::Add(f.rowA, f.sa)), w);
      const Taps bottom = AcrossHalf<kTex>(LoadTexels<kTex>(t, hn::Add(f.rowB, f.sa)), w);
      const VI iv = hn::Sub(hn::Set(di, 256), f.v);
      return {Lerp(di, top.r, bottom.r, f.v, iv), Lerp(di, top.g, bottom.g, f.v, iv),
              Lerp(di, top.b, bottom.b, f.v, iv), kTex == Tex::k565 ? top.a : Lerp(di, top.a, bottom.a, f.v, iv)};
    }
    const Quad q = LoadQuad<kTex>(t, f);
    return FilterQuad<kTex>(di, DecodeHalf<kTex>(q.c00), DecodeHalf<kTex>(q.c01), DecodeHalf<kTex>(q.c10),
                            DecodeHalf<kTex>(q.c11), f.u, f.v);
  }
}

// Bilinear filtering of a block from its two halves' footprints. `rows`: the footprints' rows
// as single numbers (t the same along the row), or null.
template <Tex kTex>
HWY_INLINE Taps16 BilinearBlock(const SpanTarget& t, const Footprint& lo, const Footprint& hi,
                                const FootprintRows* rows = nullptr) {
  const D16 d;
  if constexpr (kTex == Tex::kLut8) {
    return NarrowTaps(Unpair(BilinearLut8(t, lo, rows)), Unpair(BilinearLut8(t, hi, rows)));
  }
  const V16 v = Narrow(lo.v, hi.v);
  if (lo.adjacent && hi.adjacent) {
    const V16 wLo = AcrossWeights<kTex>(lo), wHi = AcrossWeights<kTex>(hi);
    RowWindow windowLo, windowHi;
    const bool windows = rows != nullptr && rows->rowA1 >= 0 && FindWindow(lo.sa, 2 * kLanes, windowLo) &&
                         FindWindow(hi.sa, 2 * kLanes, windowHi);
    const auto row = [&](VI rowLo, VI rowHi, int row1) {
      const VI pairsLo = windows ? WindowPairs16(t, row1, windowLo) : LoadTexels<kTex>(t, hn::Add(rowLo, lo.sa));
      const VI pairsHi = windows ? WindowPairs16(t, row1, windowHi) : LoadTexels<kTex>(t, hn::Add(rowHi, hi.sa));
      const Taps16 a = PairChannels<kTex>(pairsLo), b = PairChannels<kTex>(pairsHi);
      const auto across = [&](V16 x, V16 y) { return Across(x, y, wLo, wHi); };
      return Taps16{across(a.r, b.r), across(a.g, b.g), across(a.b, b.b),
                    kTex == Tex::k565 ? hn::Set(d, 255) : across(a.a, b.a)};
    };
    const Taps16 top = row(lo.rowA, hi.rowA, windows ? rows->rowA1 : 0);
    const Taps16 bottom = row(lo.rowB, hi.rowB, windows ? rows->rowB1 : 0);
    const V16 iv = hn::Sub(hn::Set(d, 256), v);
    return {Lerp(d, top.r, bottom.r, v, iv), Lerp(d, top.g, bottom.g, v, iv), Lerp(d, top.b, bottom.b, v, iv),
            kTex == Tex::k565 ? top.a : Lerp(d, top.a, bottom.a, v, iv)};
  }
  const Quad a = LoadQuad<kTex>(t, lo), b = LoadQuad<kTex>(t, hi);
  return FilterQuad<kTex>(d, DecodeBlock<kTex>(a.c00, b.c00), DecodeBlock<kTex>(a.c01, b.c01),
                          DecodeBlock<kTex>(a.c10, b.c10), DecodeBlock<kTex>(a.c11, b.c11), Narrow(lo.u, hi.u), v);
}

// Point or bilinear samples of a block from its halves' coordinates.
template <Tex kTex, bool kBilinear>
HWY_INLINE Taps16 SampleBlock(const SpanTarget& t, VI sLo, VI sHi, VI tLo, VI tHi) {
  if constexpr (!kBilinear) {
    return DecodeBlock<kTex>(LoadTexels<kTex>(t, PointIndex(t, sLo, tLo)), LoadTexels<kTex>(t, PointIndex(t, sHi, tHi)));
  } else {
    return BilinearBlock<kTex>(t, BilinearFootprint(t, sLo, tLo), BilinearFootprint(t, sHi, tHi));
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();
#endif  // GLIDE_LANE_TARGET

#endif  // GLIDE_SPAN_TEXELS_INL_H_
