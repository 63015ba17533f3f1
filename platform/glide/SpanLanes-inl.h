// The lane stages of the specialised span paths, written once over Highway's portable vectors
// and compiled for every SIMD target (SpanSimd*.cpp include this through foreach_target.h): a
// block of pixels is two halves in 32-bit lanes (perspective, addressing, texel loads, depth)
// or one vector of 16-bit lanes (expansion, filtering, combine, blending, dither, the write).
// A half holds kLanes pixels and a block 2 kLanes: 8 and 16 with AVX2, 16 and 32 with AVX-512, 4
// and 8 with 128-bit vectors. Every stage is the same arithmetic as the scalar stage it stands
// for (Pipeline.h); the agreement tests hold them to it bit for bit at every target.
//
// Lanes stay in pixel order throughout. The texel loads, addressing and filtering are in
// SpanTexels-inl.h. Internal to the span units.

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

// The depth test (LESS, LEQUAL or ALWAYS, the functions the lane paths serve) of lanes holding
// 0..0xFFFF (either width): where it passes.
template <class D>
HWY_INLINE hn::Mask<D> DepthPass(D d, CompareFunc func, hn::Vec<D> depth, hn::Vec<D> stored) {
  if (func == CompareFunc::kLess) return hn::Lt(depth, stored);
  if (func == CompareFunc::kLequal) return hn::Not(hn::Gt(depth, stored));
  return AllLanes(d);
}

// The alpha test (any compare `func`) of lanes holding 0..255 against `ref`: where it passes.
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
