// The lane stages of the specialised span paths, written once over Highway's portable vectors
// and compiled for every SIMD target (SpanSimd*.cpp include this through foreach_target.h): a
// block of pixels is two halves in 32-bit lanes (perspective, addressing, texel loads, depth)
// or one vector of 16-bit lanes (expansion, filtering, combine, blending, dither, the write).
// A half holds kLanes pixels and a block 2 kLanes: 8 and 16 with AVX2, 16 and 32 with AVX-512, 4
// and 8 with 128-bit vectors. Every stage is the same arithmetic as the scalar stage it stands
// for (Pipeline.h); the agreement tests hold them to it bit for bit at every target.
//
// Lanes stay in pixel order throughout. Internal to the span units.

// Highway's per-target include guard: this file is compiled once for each target.
#if defined(GLIDE_SPAN_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef GLIDE_SPAN_LANES_INL_H_
#undef GLIDE_SPAN_LANES_INL_H_
#else
#define GLIDE_SPAN_LANES_INL_H_
#endif

#include <cstring>

#include <hwy/highway.h>

#include "SpanInternal.h"

#if GLIDE_LANE_TARGET
HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using DF = hn::ScalableTag<float>;
using DI = hn::ScalableTag<int32_t>;
using D16 = hn::Repartition<uint16_t, DI>;
using DS16 = hn::Repartition<int16_t, DI>;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;
using V16 = hn::Vec<D16>;
using MI = hn::Mask<DI>;
using M16 = hn::Mask<D16>;

// Pixels in one half (32-bit lanes) and in one block (16-bit lanes).
inline constexpr int kLanes = static_cast<int>(hn::MaxLanes(DI()));
inline constexpr int kBlock = 2 * kLanes;
static_assert(kBlock <= kMaxBlock, "a block of this target is wider than the buffers' padding allows");
static_assert(kChunk % kBlock == 0, "a chunk holds whole blocks");

// n rounded up to whole blocks.
HWY_INLINE int WholeBlocks(int n) { return (n + kBlock - 1) & ~(kBlock - 1); }

// 0, 1, 2, ... in the lanes of d, loaded from a table. (Highway 1.0.3's Iota writes the lanes to
// memory one by one and loads them whole, which stalls on store forwarding.)
template <class D>
HWY_INLINE hn::Vec<D> LaneIndex(D d) {
  if constexpr (sizeof(hn::TFromD<D>) == 4) {
    return hn::BitCast(d, hn::LoadU(hn::RebindToSigned<D>(), kLaneIndex32));
  } else {
    static_assert(sizeof(hn::TFromD<D>) == 2, "32- or 16-bit lanes");
    return hn::BitCast(d, hn::LoadU(hn::RebindToUnsigned<D>(), kLaneIndex16));
  }
}

// first, first + 1, ... in 32-bit lanes.
HWY_INLINE VI LanesFrom(int first) { return hn::Add(hn::Set(DI(), first), LaneIndex(DI())); }

// The first n lanes of d (n >= 0; beyond the lanes, all of them).
template <class D>
HWY_INLINE hn::Mask<D> FirstLanes(D d, int n) {
#if HWY_TARGET <= HWY_AVX3 && HWY_ARCH_X86
  return hn::FirstN(d, static_cast<size_t>(n));  // a mask register from the count
#else
  const hn::RebindToSigned<D> ds;
  const int limit = n < 32767 ? n : 32767;
  return hn::RebindMask(d, hn::Lt(hn::BitCast(ds, LaneIndex(d)), hn::Set(ds, static_cast<hn::TFromD<decltype(ds)>>(limit))));
#endif
}

// Every lane of d.
template <class D>
HWY_INLINE hn::Mask<D> AllLanes(D d) {
  return hn::Eq(hn::Zero(d), hn::Zero(d));
}

// ==== Small helpers ============================================================================

template <class D>
HWY_INLINE hn::Vec<D> SetLanes(D d, int v) {
  return hn::Set(d, static_cast<hn::TFromD<D>>(v));
}

// a * b in lanes whose values and product fit 16 bits: 32-bit lanes multiply as 16-bit lanes
// (their upper halves are zero), which is one instruction where 32-bit products take two.
template <class D>
HWY_INLINE hn::Vec<D> MulSmall(D d, hn::Vec<D> a, hn::Vec<D> b) {
  if constexpr (sizeof(hn::TFromD<D>) == 4) {
    const hn::Repartition<uint16_t, D> dh;
    return hn::BitCast(d, hn::Mul(hn::BitCast(dh, a), hn::BitCast(dh, b)));
  } else {
    return hn::Mul(a, b);
  }
}

// a > b for lanes holding 0..32767: the signed compare, which every target has (unsigned
// compares cost a sign flip on x86).
template <class D>
HWY_INLINE hn::Mask<D> GtSmall(D d, hn::Vec<D> a, hn::Vec<D> b) {
  const hn::RebindToSigned<D> ds;
  return hn::RebindMask(d, hn::Gt(hn::BitCast(ds, a), hn::BitCast(ds, b)));
}

// Two halves of 32-bit lanes holding 0..0xFFFF to one block of 16-bit lanes, in order. Where
// the target has an unsigned saturating pack it is the pack (with AVX2 and its in-lane order,
// then a qword permute); elsewhere the even 16-bit halves.
HWY_INLINE V16 Narrow(VI lo, VI hi) {
#if HWY_TARGET == HWY_AVX2
  return V16{_mm256_permute4x64_epi64(_mm256_packus_epi32(lo.raw, hi.raw), 0xD8)};
#elif HWY_TARGET == HWY_SSE4
  return V16{_mm_packus_epi32(lo.raw, hi.raw)};
#else
  const D16 d16;
  return hn::ConcatEven(d16, hn::BitCast(d16, hi), hn::BitCast(d16, lo));
#endif
}

// A half's lanes (0..0xFFFF) as the low half of a block, the high half zero.
HWY_INLINE V16 NarrowLow(VI v) { return Narrow(v, hn::Zero(DI())); }

// The low and high half of a block of 16-bit lanes as 32-bit lanes.
HWY_INLINE VI WidenLow(V16 v) { return hn::BitCast(DI(), hn::PromoteTo(hn::Repartition<uint32_t, D16>(), hn::LowerHalf(v))); }

// ==== Perspective ==============================================================================

// SafeTrunc on lanes: NaN becomes the lower bound, as in the scalar stage.
HWY_INLINE VI SafeTruncLanes(VF v) {
  const DF df;
  const VF limit = hn::Set(df, 1073741824.0f), lower = hn::Set(df, -1073741824.0f);
#if HWY_ARCH_X86 && HWY_TARGET != HWY_EMU128
  // x86's max and min return their second operand where either is NaN, which is SafeTrunc's
  // (v > lower ? v : lower); and the clamped value converts exactly, so the conversion needs
  // none of the fix-up Highway's ConvertTo adds for values out of range.
  v = hn::Min(hn::Max(v, lower), limit);
#if HWY_TARGET == HWY_AVX2
  return VI{_mm256_cvttps_epi32(v.raw)};
#elif HWY_TARGET == HWY_SSE4
  return VI{_mm_cvttps_epi32(v.raw)};
#else
  return VI{_mm512_cvttps_epi32(v.raw)};
#endif
#else
  v = hn::IfThenElse(hn::Gt(v, lower), v, lower);
  v = hn::IfThenElse(hn::Lt(v, limit), v, limit);
  return hn::ConvertTo(DI(), v);
#endif
}

// The reciprocal of a half's 1/W and where 1/W is positive: what the texel coordinates divide
// by. Computed once for a triangle or row whose 1/W does not change.
struct Reciprocal {
  VF inv;
  MI positive;
};

HWY_INLINE Reciprocal PerspectiveReciprocal(VF w) {
  const DF df;
  return {hn::Div(hn::Set(df, 1.0f), w), hn::RebindMask(DI(), hn::Gt(w, hn::Zero(df)))};
}

// TexelCoordinates' last steps: s/w or t/w to 24.8 texels, zero where 1/W is not positive.
HWY_INLINE VI TexelCoordinate(VF cw, const Reciprocal& r) {
  return hn::IfThenElseZero(r.positive, SafeTruncLanes(hn::Mul(hn::Mul(cw, r.inv), hn::Set(DF(), 256.0f))));
}

// The float iterators of a row, anchored at column ix0 of the triangle: value + fx * step.
struct RowFloat {
  VF start, step;
};

// Columns ix0 .. ix0 + kLanes - 1 as floats.
HWY_INLINE VF Columns(int ix0) { return hn::ConvertTo(DF(), LanesFrom(ix0)); }

// WDepth on lanes.
HWY_INLINE VI WDepthLanes(VF oow) {
  const DF df;
  const DI di;
  const VI bits = hn::BitCast(di, oow);
  const MI valid = hn::RebindMask(di, hn::And(hn::Gt(oow, hn::Zero(df)), hn::Lt(oow, hn::Set(df, 1.0f))));
  // For a valid 1/W the sign is clear, so the arithmetic shift gives the biased exponent.
  const VI leadingZeros = hn::Sub(hn::Set(di, 126), hn::ShiftRight<23>(bits));
  const VI mant = hn::And(hn::ShiftRight<11>(bits), hn::Set(di, 0xFFF));
  const VI depth = hn::Add(hn::Or(hn::ShiftLeft<12>(leadingZeros), hn::Xor(mant, hn::Set(di, 0xFFF))), hn::Set(di, 1));
  // Sixteen or more leading zeros put the value at 65536 or above (at most 126 << 12 + 4096 for
  // a valid 1/W), so the minimum alone gives those the farthest depth.
  return hn::IfThenElseZero(valid, hn::Min(depth, hn::Set(di, 0xFFFF)));
}

// ==== Depth tests, keys, alpha test ============================================================

// The depth test (GR_CMP_LESS, LEQUAL or ALWAYS, the functions the lane paths serve) of lanes
// holding 0..0xFFFF (either width): where it passes.
template <class D>
HWY_INLINE hn::Mask<D> DepthPass(D d, int func, hn::Vec<D> depth, hn::Vec<D> stored) {
  if (func == GR_CMP_LESS) return hn::Lt(depth, stored);
  if (func == GR_CMP_LEQUAL) return hn::Not(hn::Gt(depth, stored));
  return AllLanes(d);
}

// The alpha test (GR_CMP_* `func`) of lanes holding 0..255 against `ref`: where it passes.
template <class D>
HWY_INLINE hn::Mask<D> AlphaPass(D d, CompareFunc func, hn::Vec<D> a, hn::Vec<D> ref) {
  switch (func) {
    case CompareFunc::kNever: return hn::Ne(hn::Zero(d), hn::Zero(d));
    case CompareFunc::kLess: return GtSmall(d, ref, a);
    case CompareFunc::kEqual: return hn::Eq(a, ref);
    case CompareFunc::kLequal: return hn::Not(GtSmall(d, a, ref));
    case CompareFunc::kGreater: return GtSmall(d, a, ref);
    case CompareFunc::kNotEqual: return hn::Ne(a, ref);
    case CompareFunc::kGequal: return hn::Not(GtSmall(d, ref, a));
    default: return AllLanes(d);
  }
}

// The chroma key's channels broadcast to lanes of either width.
template <class D>
struct ChromaKey {
  hn::Vec<D> r, g, b;
};

template <class D>
HWY_INLINE ChromaKey<D> MakeChromaKey(D d, uint32_t key) {
  return {SetLanes(d, static_cast<int>((key >> 16) & 0xFF)), SetLanes(d, static_cast<int>((key >> 8) & 0xFF)),
          SetLanes(d, static_cast<int>(key & 0xFF))};
}

// Channels 0..255 of the pixels of a half (D = DI) or a block (D = D16).
template <class D>
struct Channels {
  hn::Vec<D> r, g, b, a;
};
using Taps = Channels<DI>;
using Taps16 = Channels<D16>;

// Where the texel's colour is the key.
template <class D>
HWY_INLINE hn::Mask<D> ChromaKeyed(const Channels<D>& tex, const ChromaKey<D>& key) {
  return hn::And(hn::And(hn::Eq(tex.r, key.r), hn::Eq(tex.g, key.g)), hn::Eq(tex.b, key.b));
}

// What a state's chroma key and alpha test leave live of `live`.
struct Kills {
  bool any = false;
  bool chromaKey = false;
  CompareFunc alphaFunc = CompareFunc::kAlways;
  int alphaRef = 0;
  uint32_t key = 0;

  explicit Kills(const RenderState& st)
      : any(st.chromaKey || st.alphaTestFunc != CompareFunc::kAlways), chromaKey(st.chromaKey != 0),
        alphaFunc(st.alphaTestFunc), alphaRef(st.alphaRef), key(st.chromaValue) {}

  template <class D>
  HWY_INLINE hn::Mask<D> Apply(D d, const Channels<D>& tex, hn::Vec<D> alpha, hn::Mask<D> live) const {
    if (chromaKey) live = hn::AndNot(ChromaKeyed(tex, MakeChromaKey(d, key)), live);
    if (alphaFunc != CompareFunc::kAlways) live = hn::And(live, AlphaPass(d, alphaFunc, alpha, SetLanes(d, alphaRef)));
    return live;
  }
};

// ==== Texel expansion ==========================================================================

// RGB565 to channels 0..255 by bit replication, in 16-bit lanes (texels and the destination):
// one high multiply of the field at the top of its lane, red (r5 << 11) * 264 >> 16 =
// 8 r5 + r5 / 4, green (g6 << 5) * 8320 >> 16 = 4 g6 + g6 / 16.
HWY_INLINE Taps16 Expand565(V16 raw) {
  const D16 d;
  const V16 k5 = hn::Set(d, 264), k6 = hn::Set(d, 8320);
  return {hn::MulHigh(hn::And(raw, hn::Set(d, 0xF800)), k5), hn::MulHigh(hn::And(raw, hn::Set(d, 0x07E0)), k6),
          hn::MulHigh(hn::ShiftLeft<11>(raw), k5), hn::Set(d, 255)};
}

// ARGB4444 to channels 0..255, each nibble times 17; red as (r4 << 8) * 4352 >> 16 = 17 r4.
HWY_INLINE Taps16 Expand4444(V16 raw) {
  const D16 d;
  const V16 nib = hn::Set(d, 15), x17 = hn::Set(d, 17);
  return {hn::MulHigh(hn::And(raw, hn::Set(d, 0x0F00)), hn::Set(d, 4352)),
          hn::Mul(hn::And(hn::ShiftRight<4>(raw), nib), x17), hn::Mul(hn::And(raw, nib), x17),
          hn::Mul(hn::ShiftRight<12>(raw), x17)};
}

// 0xAARRGGBB lanes (8-bit texels expanded through their table) to channels.
HWY_INLINE Taps DecodeArgb(VI v) {
  const DI di;
  const VI byte = hn::Set(di, 0xFF);
  return {hn::And(hn::ShiftRight<16>(v), byte), hn::And(hn::ShiftRight<8>(v), byte), hn::And(v, byte),
          hn::BitCast(di, hn::ShiftRight<24>(hn::BitCast(hn::RebindToUnsigned<DI>(), v)))};
}

// Raw 16-bit texels of a block to channels.
template <Tex kTex>
HWY_INLINE Taps16 Expand16(V16 raw) {
  if constexpr (kTex == Tex::k565) {
    return Expand565(raw);
  } else {
    return Expand4444(raw);
  }
}

// A block of either half's channels (0..255 in 32-bit lanes) as 16-bit lanes.
HWY_INLINE Taps16 NarrowTaps(const Taps& lo, const Taps& hi) {
  return {Narrow(lo.r, hi.r), Narrow(lo.g, hi.g), Narrow(lo.b, hi.b), Narrow(lo.a, hi.a)};
}

// One half's channels in the low half of a block and again in the high half.
HWY_INLINE Taps16 NarrowTwice(const Taps& t) { return NarrowTaps(t, t); }

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

// ==== Colour iterators =========================================================================

// A 12.12 iterator that starts at `start` and moves by `step` per pixel stays within 32 bits
// over a whole chunk.
inline bool Fits32(int64_t start, int64_t step) {
  // |start| + kChunk |step| stays below 2^31.
  constexpr int64_t kLimit = int64_t{1} << 30, kStepLimit = kLimit / kChunk;
  return start > -kLimit && start < kLimit && step > -kStepLimit && step < kStepLimit;
}

// 12.12 lanes to iterated channels 0..255 (IteratedChannel on lanes).
HWY_INLINE VI ChannelLanes(VI v) {
  const DI di;
  return hn::Min(hn::Max(hn::ShiftRight<12>(v), hn::Zero(di)), hn::Set(di, 255));
}

// A 32-bit 12.12 iterator's lanes for the pixels of a half from `start`.
HWY_INLINE VI IteratorLanes(int64_t start, int64_t step) {
  const DI di;
  return hn::Add(hn::Set(di, static_cast<int32_t>(start)),
                 hn::Mul(LaneIndex(di), hn::Set(di, static_cast<int32_t>(step))));
}

// ==== Combines =================================================================================

// The lane combines (SpanInternal.h's Combine) as the two things they differ in, decided per
// state rather than per instance: the span functions stay one per texture format, filter and
// depth, and a loop-invariant branch costs next to nothing.
struct LaneCombineOps {
  bool scales = false;         // colour: texture * (iterated alpha + 1) / 256 + iterated
  bool texTimesAlpha = false;  // alpha: texture alpha * (iterated alpha + 1) / 256

  explicit LaneCombineOps(Combine combine) : scales(ScalesTexture(combine)), texTimesAlpha(TexTimesIterAlpha(combine)) {}
};

// The lane combines: texel channels and iterated channels (0..255) to the combined colour.
template <class D>
HWY_INLINE Channels<D> CombineLanes(D d, const LaneCombineOps& op, Channels<D> tex, const Channels<D>& it) {
  const hn::Vec<D> f = hn::Add(it.a, SetLanes(d, 1));
  if (op.scales) {
    tex.r = hn::ShiftRight<8>(MulSmall(d, tex.r, f));
    tex.g = hn::ShiftRight<8>(MulSmall(d, tex.g, f));
    tex.b = hn::ShiftRight<8>(MulSmall(d, tex.b, f));
  }
  const hn::Vec<D> max = SetLanes(d, 255);
  return {hn::Min(hn::Add(tex.r, it.r), max), hn::Min(hn::Add(tex.g, it.g), max), hn::Min(hn::Add(tex.b, it.b), max),
          op.texTimesAlpha ? hn::ShiftRight<8>(MulSmall(d, tex.a, f)) : it.a};
}

// ==== Blend, dither, pack ======================================================================

// The dither values and dither-subtraction offsets of a block's pixels.
struct DitherLanes {
  V16 d, subRb, subG;
};

// Columns x .. x + kBlock - 1 of row y.
HWY_INLINE DitherLanes DitherAt(const DitherRows& rows, int y, int x) {
  const D16 d;
  return {hn::LoadU(d, rows.d[y & 3][x & 3]), hn::LoadU(d, rows.subRb[y & 3][x & 3]),
          hn::LoadU(d, rows.subG[y & 3][x & 3])};
}

// Columns x0 .. of row y0 in the low half of the block, x1 .. of row y1 in the high half.
HWY_INLINE DitherLanes DitherAt(const DitherRows& rows, int y0, int x0, int y1, int x1) {
  const D16 d;
  const hn::Half<D16> dh;
  const auto both = [&](const DitherTable& table) {
    return hn::Combine(d, hn::LoadU(dh, table[y1 & 3][x1 & 3]), hn::LoadU(dh, table[y0 & 3][x0 & 3]));
  };
  return {both(rows.d), both(rows.subRb), both(rows.subG)};
}

template <BlendKind kBlend>
HWY_INLINE V16 BlendChannel(V16 s, V16 d, V16 sf, V16 invA) {
  const D16 d16;
  // sf = a + 1, invA = 256 - a; every product and sum fits an unsigned 16-bit lane.
  if constexpr (kBlend == BlendKind::kAlpha) {
    return hn::ShiftRight<8>(hn::Add(hn::Mul(s, sf), hn::Mul(d, invA)));
  } else if constexpr (kBlend == BlendKind::kAdd) {
    return hn::Min(hn::Add(hn::ShiftRight<8>(hn::Mul(s, sf)), d), hn::Set(d16, 255));
  } else if constexpr (kBlend == BlendKind::kDarken) {
    return hn::ShiftRight<8>(hn::Mul(d, invA));
  } else if constexpr (kBlend == BlendKind::kScale) {
    return hn::ShiftRight<8>(hn::Mul(s, sf));
  } else {
    return s;
  }
}

// v < minimum ? v : min(v + offset, 255), the dither subtraction of the destination.
HWY_INLINE V16 Subtract(V16 v, V16 offset, int minimum) {
  const D16 d;
  const M16 low = GtSmall(d, hn::Set(d, static_cast<uint16_t>(minimum)), v);
  return hn::IfThenElse(low, v, hn::Min(hn::Add(v, offset), hn::Set(d, 255)));
}

// (2v - (v >> 4) + (v >> 7) + d) >> 4 for red and blue, (4v - (v >> 4) + (v >> 6) + d) >> 4
// for green: a channel dithered to its field (DitherRb, DitherG).
template <int kTimes, int kShift>
HWY_INLINE V16 DitherChannel(V16 v, V16 d) {
  const V16 times = hn::ShiftLeft<kTimes>(v);
  return hn::ShiftRight<4>(hn::Add(hn::Add(hn::Sub(times, hn::ShiftRight<4>(v)), hn::ShiftRight<kShift>(v)), d));
}

// Whether blending these source pixels leaves every live destination pixel as it is, so that
// its read, blend and write can be skipped: only for the additive blend, where each channel's
// term (s (a + 1)) >> 8 is zero. Adding zero gives the destination back exactly: the 4x4
// dither of the dither-subtracted value is the stored field again for every field value and
// position, and without dither the expansion and truncation are exact. (4x4 dither without the
// subtraction does not give it back, so that case is not skipped.)
template <BlendKind kBlend, bool kDither, bool kSubtract>
HWY_INLINE bool AddsNothing(V16 r, V16 g, V16 b, V16 a, M16 live) {
  if constexpr (kBlend == BlendKind::kAdd && (kSubtract || !kDither)) {
    const D16 d;
    const V16 sf = hn::Add(a, hn::Set(d, 1));
    const V16 products = hn::Or(hn::Or(hn::Mul(r, sf), hn::Mul(g, sf)), hn::Mul(b, sf));
    return hn::AllFalse(d, hn::And(hn::Ne(hn::ShiftRight<8>(products), hn::Zero(d)), live));
  } else {
    (void)r, (void)g, (void)b, (void)a, (void)live;
    return false;
  }
}

// Blending with the destination `old`, dither subtraction, dithering and packing of a block
// (colour 0..255 per lane) with the given dither lanes.
template <BlendKind kBlend, bool kDither, bool kSubtract>
HWY_INLINE V16 Finish(const DitherLanes& dither, V16 r, V16 g, V16 b, V16 a, V16 old) {
  const D16 d;
  if constexpr (kBlend != BlendKind::kNone) {
    const V16 sf = hn::Add(a, hn::Set(d, 1));
    const V16 invA = hn::Sub(hn::Set(d, 256), a);
    Taps16 dst = Expand565(old);
    if constexpr (kSubtract) {
      dst.r = Subtract(dst.r, dither.subRb, kSubtractMinimumRb);
      dst.g = Subtract(dst.g, dither.subG, kSubtractMinimumG);
      dst.b = Subtract(dst.b, dither.subRb, kSubtractMinimumRb);
    }
    r = BlendChannel<kBlend>(r, dst.r, sf, invA);
    g = BlendChannel<kBlend>(g, dst.g, sf, invA);
    b = BlendChannel<kBlend>(b, dst.b, sf, invA);
  } else {
    (void)a, (void)old;
  }
  V16 r5, g6, b5;
  if constexpr (kDither) {
    r5 = DitherChannel<1, 7>(r, dither.d);
    b5 = DitherChannel<1, 7>(b, dither.d);
    g6 = DitherChannel<2, 6>(g, dither.d);
  } else {
    (void)dither;
    r5 = hn::ShiftRight<3>(r);
    g6 = hn::ShiftRight<2>(g);
    b5 = hn::ShiftRight<3>(b);
  }
  return hn::Or(hn::Or(hn::ShiftLeft<11>(r5), hn::ShiftLeft<5>(g6)), b5);
}

// A block of 0xFFFF / 0 flags as a mask.
HWY_INLINE M16 LiveMask(const uint16_t* live) { return hn::MaskFromVec(hn::LoadU(D16(), live)); }

}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();
#endif  // GLIDE_LANE_TARGET

#endif  // GLIDE_SPAN_LANES_INL_H_
