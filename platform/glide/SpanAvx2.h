// The AVX2 building blocks of the span paths (SpanAvx2.cpp, SpanAvx2Batch.cpp), by lane width:
// eight pixels in 32-bit lanes, sixteen in 16-bit lanes; then the samplers and combines on both,
// and the blend-dither-pack step of sixteen lanes. Every block is the same arithmetic as the
// scalar stage it stands for (Pipeline.h); the agreement tests hold them to it bit for bit.
// Every function here carries the AVX2 target and is always inlined into the AVX2 units' own
// functions, so no copy of it is ever called from code that runs without AVX2.
#pragma once

#include "SpanInternal.h"

#if GLIDE_X86
#include <immintrin.h>

#define GLIDE_AVX2 __attribute__((target("avx2")))
#define GLIDE_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace glide {

// ==== Eight pixels in 32-bit lanes =============================================================

// Channels 0..255 of eight pixels.
struct Taps {
  __m256i r, g, b, a;
};

GLIDE_AVX2_INLINE __m256i Lanes8() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }

// SafeTrunc on eight lanes: max/min pick the second operand for NaN exactly as SafeTrunc does.
GLIDE_AVX2_INLINE __m256i SafeTrunc8(__m256 v) {
  const __m256 limit = _mm256_set1_ps(1073741824.0f);
  v = _mm256_max_ps(v, _mm256_sub_ps(_mm256_setzero_ps(), limit));
  v = _mm256_min_ps(v, limit);
  return _mm256_cvttps_epi32(v);
}

// The reciprocal of eight lanes' 1/W and where 1/W is positive: what the texel coordinates
// divide by. Computed once for a triangle or row whose 1/W does not change.
struct Reciprocal8 {
  __m256 inv;
  __m256i positive;
};

GLIDE_AVX2_INLINE Reciprocal8 PerspectiveReciprocal8(__m256 w) {
  return {_mm256_div_ps(_mm256_set1_ps(1.0f), w),
          _mm256_castps_si256(_mm256_cmp_ps(w, _mm256_setzero_ps(), _CMP_GT_OQ))};
}

// TexelCoordinates' last steps on eight lanes: s/w and t/w to 24.8 texels, zero where 1/W is
// not positive.
GLIDE_AVX2_INLINE __m256i TexelCoordinate8(__m256 cw, const Reciprocal8& r) {
  return _mm256_and_si256(SafeTrunc8(_mm256_mul_ps(_mm256_mul_ps(cw, r.inv), _mm256_set1_ps(256.0f))), r.positive);
}

GLIDE_AVX2_INLINE void TexelCoordinates8(__m256 sw, __m256 tw, const Reciprocal8& r, __m256i& s, __m256i& t) {
  s = TexelCoordinate8(sw, r);
  t = TexelCoordinate8(tw, r);
}

GLIDE_AVX2_INLINE void TexelCoordinates8(__m256 sw, __m256 tw, __m256 w, __m256i& s, __m256i& t) {
  TexelCoordinates8(sw, tw, PerspectiveReciprocal8(w), s, t);
}

// WDepth on eight lanes.
GLIDE_AVX2_INLINE __m256i WDepth8(__m256 oow) {
  const __m256i bits = _mm256_castps_si256(oow);
  const __m256i valid = _mm256_castps_si256(_mm256_and_ps(
      _mm256_cmp_ps(oow, _mm256_setzero_ps(), _CMP_GT_OQ), _mm256_cmp_ps(oow, _mm256_set1_ps(1.0f), _CMP_LT_OQ)));
  const __m256i leadingZeros = _mm256_sub_epi32(_mm256_set1_epi32(126), _mm256_srli_epi32(bits, 23));
  const __m256i mant = _mm256_and_si256(_mm256_srli_epi32(bits, 11), _mm256_set1_epi32(0xFFF));
  const __m256i depth = _mm256_add_epi32(
      _mm256_or_si256(_mm256_slli_epi32(leadingZeros, 12), _mm256_xor_si256(mant, _mm256_set1_epi32(0xFFF))),
      _mm256_set1_epi32(1));
  // Sixteen or more leading zeros put the value at 65536 or above (at most 126 << 12 + 4096 for
  // a valid 1/W), so the minimum alone gives those the farthest depth.
  return _mm256_and_si256(_mm256_min_epi32(depth, _mm256_set1_epi32(0xFFFF)), valid);
}

// The depth test of eight lanes (depth values 0..0xFFFF): all ones where it passes.
template <int kDepth>
GLIDE_AVX2_INLINE __m256i DepthPass8(__m256i depth, __m256i stored) {
  if constexpr (kDepth == GR_CMP_LESS) {
    return _mm256_cmpgt_epi32(stored, depth);
  } else if constexpr (kDepth == GR_CMP_LEQUAL) {
    return _mm256_xor_si256(_mm256_cmpgt_epi32(depth, stored), _mm256_set1_epi32(-1));
  } else {
    static_assert(kDepth == GR_CMP_ALWAYS, "only LESS, LEQUAL and ALWAYS are specialised");
    return _mm256_set1_epi32(-1);
  }
}

// The chroma key of eight lanes: all ones where the texel's colour is the key (0x00RRGGBB).
GLIDE_AVX2_INLINE __m256i ChromaKeyed8(const Taps& tex, __m256i key) {
  const __m256i other = _mm256_or_si256(
      _mm256_or_si256(_mm256_slli_epi32(tex.r, 16), _mm256_slli_epi32(tex.g, 8)), tex.b);
  return _mm256_cmpeq_epi32(other, key);
}

// RGB565 to channels 0..255 by bit replication, eight lanes (the low 16 bits of each).
GLIDE_AVX2_INLINE Taps Expand565x8(__m256i raw) {
  const __m256i r5 = _mm256_srli_epi32(raw, 11);
  const __m256i g6 = _mm256_and_si256(_mm256_srli_epi32(raw, 5), _mm256_set1_epi32(63));
  const __m256i b5 = _mm256_and_si256(raw, _mm256_set1_epi32(31));
  return {_mm256_or_si256(_mm256_slli_epi32(r5, 3), _mm256_srli_epi32(r5, 2)),
          _mm256_or_si256(_mm256_slli_epi32(g6, 2), _mm256_srli_epi32(g6, 4)),
          _mm256_or_si256(_mm256_slli_epi32(b5, 3), _mm256_srli_epi32(b5, 2)), _mm256_set1_epi32(0xFF)};
}

// (c0 * (256 - u) + c1 * u) >> 8 per 32-bit lane holding 0..255 (products fit the low 16 bits).
GLIDE_AVX2_INLINE __m256i Lerp8(__m256i c0, __m256i c1, __m256i u, __m256i iu) {
  return _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi16(c0, iu), _mm256_mullo_epi16(c1, u)), 8);
}

// Address on eight lanes.
GLIDE_AVX2_INLINE __m256i Address8(__m256i c, __m256i andMask, __m256i sizeMask) {
  return _mm256_min_epi32(_mm256_max_epi32(_mm256_and_si256(c, andMask), _mm256_setzero_si256()),
                          sizeMask);
}

// A 12.12 iterator that starts at `start` and moves by `step` per pixel stays within 32 bits
// over a whole chunk.
inline bool Fits32(int64_t start, int64_t step) {
  // |start| + kChunk |step| stays below 2^31.
  constexpr int64_t kLimit = int64_t{1} << 30, kStepLimit = kLimit / kChunk;
  return start > -kLimit && start < kLimit && step > -kStepLimit && step < kStepLimit;
}

// 12.12 lanes to iterated channels 0..255 (IteratedChannel on eight lanes).
GLIDE_AVX2_INLINE __m256i Channel8(__m256i v) {
  return _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(v, 12), _mm256_setzero_si256()),
                          _mm256_set1_epi32(255));
}

// A 32-bit 12.12 iterator's lanes for pixels 0 .. 7 from `start`.
GLIDE_AVX2_INLINE __m256i IteratorLanes8(int64_t start, int64_t step) {
  return _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(start)),
                          _mm256_mullo_epi32(Lanes8(), _mm256_set1_epi32(static_cast<int32_t>(step))));
}

// Eight 32-bit lanes (0..0xFFFF) to eight uint16 in order.
GLIDE_AVX2_INLINE void Store16(uint16_t* out, __m256i v) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
}

// Eight uint16 to eight 32-bit lanes.
GLIDE_AVX2_INLINE __m256i Load16(const uint16_t* in) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
}

// Iterated channel i of n pixels into `out` (0..255 per pixel), in whole blocks of eight.
GLIDE_AVX2_INLINE void Iterate8(int64_t start, int64_t step, int n, uint16_t* out) {
  if (!Fits32(start, step)) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(IteratedChannel(start + i * step));
    return;
  }
  __m256i v = IteratorLanes8(start, step);
  const __m256i advance = _mm256_set1_epi32(static_cast<int32_t>(step * 8));
  for (int i = 0; i < n; i += 8) {
    Store16(out + i, Channel8(v));
    v = _mm256_add_epi32(v, advance);
  }
}

// ==== Sixteen pixels in 16-bit lanes ===========================================================
// Two eight-pixel halves are addressed and fetched in 32-bit lanes, then packed (packus order:
// lo 0-3, hi 0-3, lo 4-7, hi 4-7) so that expansion, the bilinear steps and the combine run on
// sixteen 16-bit lanes; Natural16 restores pixel order.

struct Taps16 {
  __m256i r, g, b, a;
};

GLIDE_AVX2_INLINE __m256i Pack16(__m256i lo, __m256i hi) { return _mm256_packus_epi32(lo, hi); }

// packus order <-> pixel order (the same qword swap both ways).
GLIDE_AVX2_INLINE __m256i Natural16(__m256i v) { return _mm256_permute4x64_epi64(v, 0xD8); }

GLIDE_AVX2_INLINE __m256i Load256(const uint16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

GLIDE_AVX2_INLINE void Store256(uint16_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The depth test of sixteen lanes (0..0xFFFF, unsigned compares through the sign flip); `live`
// with the failing lanes off.
template <int kDepth>
GLIDE_AVX2_INLINE __m256i DepthTest16(__m256i live, __m256i depth, __m256i stored) {
  const __m256i sign = _mm256_set1_epi16(static_cast<short>(0x8000));
  const __m256i d = _mm256_xor_si256(depth, sign), s = _mm256_xor_si256(stored, sign);
  if constexpr (kDepth == GR_CMP_LESS) {
    return _mm256_and_si256(live, _mm256_cmpgt_epi16(s, d));
  } else if constexpr (kDepth == GR_CMP_LEQUAL) {
    return _mm256_andnot_si256(_mm256_cmpgt_epi16(d, s), live);
  } else {
    static_assert(kDepth == GR_CMP_ALWAYS, "only LESS, LEQUAL and ALWAYS are specialised");
    return live;
  }
}

// The chroma key's channels broadcast to sixteen lanes.
struct ChromaKey16 {
  __m256i r, g, b;
};

GLIDE_AVX2_INLINE ChromaKey16 MakeChromaKey16(uint32_t key) {
  return {_mm256_set1_epi16(static_cast<short>((key >> 16) & 0xFF)),
          _mm256_set1_epi16(static_cast<short>((key >> 8) & 0xFF)),
          _mm256_set1_epi16(static_cast<short>(key & 0xFF))};
}

// All ones in the lanes whose texel colour is the key.
GLIDE_AVX2_INLINE __m256i ChromaKeyed16(const Taps16& tex, const ChromaKey16& key) {
  return _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi16(tex.r, key.r), _mm256_cmpeq_epi16(tex.g, key.g)),
                          _mm256_cmpeq_epi16(tex.b, key.b));
}

// RGB565 to channels 0..255 by bit replication, sixteen lanes (texels and the destination).
GLIDE_AVX2_INLINE Taps16 Expand565x16(__m256i raw) {
  // Bit replication as one high multiply of the field at the top of its lane: red
  // (r5 << 11) * 264 >> 16 = 8 r5 + r5 / 4, green (g6 << 5) * 8320 >> 16 = 4 g6 + g6 / 16.
  const __m256i k5 = _mm256_set1_epi16(264), k6 = _mm256_set1_epi16(8320);
  return {_mm256_mulhi_epu16(_mm256_and_si256(raw, _mm256_set1_epi16(static_cast<short>(0xF800))), k5),
          _mm256_mulhi_epu16(_mm256_and_si256(raw, _mm256_set1_epi16(0x07E0)), k6),
          _mm256_mulhi_epu16(_mm256_slli_epi16(raw, 11), k5), _mm256_set1_epi16(255)};
}

GLIDE_AVX2_INLINE __m256i Lerp16(__m256i c0, __m256i c1, __m256i u, __m256i iu) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(c0, iu), _mm256_mullo_epi16(c1, u)), 8);
}

// The arithmetic that differs between the lane widths: eight 32-bit lanes (Ops8) or sixteen
// 16-bit lanes (Ops16).
struct Ops8 {
  GLIDE_AVX2_INLINE static __m256i Set(int v) { return _mm256_set1_epi32(v); }
  GLIDE_AVX2_INLINE static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
  GLIDE_AVX2_INLINE static __m256i Min(__m256i a, __m256i b) { return _mm256_min_epi32(a, b); }
  GLIDE_AVX2_INLINE static __m256i Shr8(__m256i a) { return _mm256_srli_epi32(a, 8); }
  GLIDE_AVX2_INLINE static __m256i CmpGt(__m256i a, __m256i b) { return _mm256_cmpgt_epi32(a, b); }
  GLIDE_AVX2_INLINE static __m256i CmpEq(__m256i a, __m256i b) { return _mm256_cmpeq_epi32(a, b); }
  GLIDE_AVX2_INLINE static __m256i Lerp(__m256i c0, __m256i c1, __m256i u, __m256i iu) {
    return Lerp8(c0, c1, u, iu);
  }
};

struct Ops16 {
  GLIDE_AVX2_INLINE static __m256i Set(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  GLIDE_AVX2_INLINE static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
  GLIDE_AVX2_INLINE static __m256i Min(__m256i a, __m256i b) { return _mm256_min_epu16(a, b); }
  GLIDE_AVX2_INLINE static __m256i Shr8(__m256i a) { return _mm256_srli_epi16(a, 8); }
  GLIDE_AVX2_INLINE static __m256i CmpGt(__m256i a, __m256i b) { return _mm256_cmpgt_epi16(a, b); }
  GLIDE_AVX2_INLINE static __m256i CmpEq(__m256i a, __m256i b) { return _mm256_cmpeq_epi16(a, b); }
  GLIDE_AVX2_INLINE static __m256i Lerp(__m256i c0, __m256i c1, __m256i u, __m256i iu) {
    return Lerp16(c0, c1, u, iu);
  }
};

// The alpha test (GR_CMP_* `func`) of lanes holding 0..255 against `ref`: all ones where it
// passes.
template <class Ops>
GLIDE_AVX2_INLINE __m256i AlphaPass(CompareFunc func, __m256i a, __m256i ref) {
  const __m256i all = _mm256_set1_epi32(-1);
  switch (func) {
    case CompareFunc::kNever: return _mm256_setzero_si256();
    case CompareFunc::kLess: return Ops::CmpGt(ref, a);
    case CompareFunc::kEqual: return Ops::CmpEq(a, ref);
    case CompareFunc::kLequal: return _mm256_xor_si256(Ops::CmpGt(a, ref), all);
    case CompareFunc::kGreater: return Ops::CmpGt(a, ref);
    case CompareFunc::kNotEqual: return _mm256_xor_si256(Ops::CmpEq(a, ref), all);
    case CompareFunc::kGequal: return _mm256_xor_si256(Ops::CmpGt(ref, a), all);
    default: return all;
  }
}

// ==== Texels ===================================================================================

// Texels already loaded (the low 16 bits of each lane, or 8-bit texels expanded to 0xAARRGGBB)
// to channels.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps Decode8(__m256i loaded) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  if constexpr (kTex == Tex::kLut8) {
    return {_mm256_and_si256(_mm256_srli_epi32(loaded, 16), byteMask),
            _mm256_and_si256(_mm256_srli_epi32(loaded, 8), byteMask), _mm256_and_si256(loaded, byteMask),
            _mm256_srli_epi32(loaded, 24)};
  } else {
    const __m256i raw = _mm256_and_si256(loaded, _mm256_set1_epi32(0xFFFF));
    if constexpr (kTex == Tex::k565) return Expand565x8(raw);
    // 4444: each nibble times 17.
    const __m256i nib = _mm256_set1_epi32(15), x17 = _mm256_set1_epi32(17);
    return {_mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(raw, 8), nib), x17),
            _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(raw, 4), nib), x17),
            _mm256_mullo_epi16(_mm256_and_si256(raw, nib), x17),
            _mm256_mullo_epi16(_mm256_srli_epi32(raw, 12), x17)};
  }
}

// Raw 16-bit texels in 16-bit lanes to channels.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 Expand16(__m256i raw) {
  if constexpr (kTex == Tex::k565) {
    return Expand565x16(raw);
  } else {
    const __m256i nib = _mm256_set1_epi16(15), x17 = _mm256_set1_epi16(17);
    // Red: (r4 << 8) * 4352 >> 16 = 17 r4.
    return {_mm256_mulhi_epu16(_mm256_and_si256(raw, _mm256_set1_epi16(0x0F00)), _mm256_set1_epi16(4352)),
            _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi16(raw, 4), nib), x17),
            _mm256_mullo_epi16(_mm256_and_si256(raw, nib), x17),
            _mm256_mullo_epi16(_mm256_srli_epi16(raw, 12), x17)};
  }
}

// 16-bit formats: four bytes from the texel at `index` on, the texel and (within a row) its right
// neighbour; reads at most 2 bytes past the level, inside texture memory's guard bytes. 8-bit
// formats: the texel expanded through its table (SpanTarget::texels32).
template <Tex kTex>
GLIDE_AVX2_INLINE __m256i Load8(const SpanTarget& t, __m256i index) {
  if constexpr (kTex == Tex::kLut8) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(t.texels32), index, 4);
  } else {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(t.texels), index, 2);
  }
}

template <Tex kTex>
GLIDE_AVX2_INLINE Taps Gather8(const SpanTarget& t, __m256i index) {
  return Decode8<kTex>(Load8<kTex>(t, index));
}

// The right neighbour in a pair loaded by Load8 (16-bit formats).
GLIDE_AVX2_INLINE __m256i Neighbour8(__m256i pair) { return _mm256_srli_epi32(pair, 16); }

// Two halves of loaded texels (low 8 or 16 bits of each 32-bit lane) to 16-bit channel lanes.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 Decode16(__m256i lo, __m256i hi) {
  if constexpr (kTex == Tex::kLut8) {
    const Taps a = Decode8<kTex>(lo), b = Decode8<kTex>(hi);
    return {Pack16(a.r, b.r), Pack16(a.g, b.g), Pack16(a.b, b.b), Pack16(a.a, b.a)};
  } else {
    const __m256i mask = _mm256_set1_epi32(0xFFFF);
    return Expand16<kTex>(Pack16(_mm256_and_si256(lo, mask), _mm256_and_si256(hi, mask)));
  }
}

// The texel index of point sampling, eight lanes.
GLIDE_AVX2_INLINE __m256i PointIndex8(const SpanTarget& t, __m256i s, __m256i tt) {
  const TextureBinding& b = t.binding;
  const __m256i si = Address8(_mm256_sra_epi32(s, _mm_cvtsi32_si128(b.sShift)), _mm256_set1_epi32(t.sAnd),
                              _mm256_set1_epi32(b.widthMask));
  const __m256i ti = Address8(_mm256_sra_epi32(tt, _mm_cvtsi32_si128(b.tShift)), _mm256_set1_epi32(t.tAnd),
                              _mm256_set1_epi32(b.heightMask));
  return _mm256_add_epi32(_mm256_sll_epi32(ti, _mm_cvtsi32_si128(b.widthLog2)), si);
}

// Addressing of one eight-pixel half for bilinear filtering (SampleBilinearWith on eight lanes).
struct Footprint {
  __m256i rowA, rowB, sa, sb, u, v;
  bool adjacent;  // every right tap is its left tap's neighbour in memory
};

// The rows of a footprint: the same for every pixel of a row whose t does not change along it
// (screen-aligned quads), so such a row computes them once.
struct FootprintRows {
  __m256i rowA, rowB, v;
};

GLIDE_AVX2_INLINE FootprintRows Address8BilinearRows(const SpanTarget& t, __m256i tt) {
  const TextureBinding& b = t.binding;
  const int lod = b.sShift - 8;
  const __m256i th = _mm256_sub_epi32(tt, _mm256_set1_epi32(128 << lod));
  const __m256i t0 = _mm256_sra_epi32(th, _mm_cvtsi32_si128(b.tShift));
  const __m256i tAnd = _mm256_set1_epi32(t.tAnd), hMask = _mm256_set1_epi32(b.heightMask);
  const __m128i widthLog2 = _mm_cvtsi32_si128(b.widthLog2);
  return {_mm256_sll_epi32(Address8(t0, tAnd, hMask), widthLog2),
          _mm256_sll_epi32(Address8(_mm256_add_epi32(t0, _mm256_set1_epi32(1)), tAnd, hMask), widthLog2),
          _mm256_and_si256(_mm256_sra_epi32(th, _mm_cvtsi32_si128(lod)), _mm256_set1_epi32(0xF0))};
}

// The footprint of eight lanes' s on the given rows.
GLIDE_AVX2_INLINE Footprint Address8Bilinear(const SpanTarget& t, __m256i s, const FootprintRows& rows) {
  const TextureBinding& b = t.binding;
  const int lod = b.sShift - 8;
  const __m256i sh = _mm256_sub_epi32(s, _mm256_set1_epi32(128 << lod));
  const __m256i s0 = _mm256_sra_epi32(sh, _mm_cvtsi32_si128(b.sShift));
  const __m256i sAnd = _mm256_set1_epi32(t.sAnd), wMask = _mm256_set1_epi32(b.widthMask);
  const __m256i one = _mm256_set1_epi32(1);
  Footprint f;
  f.rowA = rows.rowA;
  f.rowB = rows.rowB;
  f.v = rows.v;
  f.u = _mm256_and_si256(_mm256_sra_epi32(sh, _mm_cvtsi32_si128(lod)), _mm256_set1_epi32(0xF0));
  f.sa = Address8(s0, sAnd, wMask);
  f.sb = Address8(_mm256_add_epi32(s0, one), sAnd, wMask);
  f.adjacent = _mm256_movemask_epi8(_mm256_cmpeq_epi32(f.sb, _mm256_add_epi32(f.sa, one))) == -1;
  return f;
}

GLIDE_AVX2_INLINE Footprint Address8Bilinear(const SpanTarget& t, __m256i s, __m256i tt) {
  return Address8Bilinear(t, s, Address8BilinearRows(t, tt));
}

// The four taps of a footprint, loaded (Load8) but not decoded: c00, c01 of row A, c10, c11 of
// row B. Where every right tap is the next texel, one load fetches both.
struct Quad8 {
  __m256i c00, c01, c10, c11;
};

template <Tex kTex>
GLIDE_AVX2_INLINE Quad8 LoadQuad8(const SpanTarget& t, const Footprint& f) {
  static_assert(kTex != Tex::kLut8, "8-bit texels are loaded one at a time");
  Quad8 q;
  q.c00 = Load8<kTex>(t, _mm256_add_epi32(f.rowA, f.sa));
  q.c10 = Load8<kTex>(t, _mm256_add_epi32(f.rowB, f.sa));
  if (f.adjacent) {
    q.c01 = Neighbour8(q.c00);
    q.c11 = Neighbour8(q.c10);
  } else {
    q.c01 = Load8<kTex>(t, _mm256_add_epi32(f.rowA, f.sb));
    q.c11 = Load8<kTex>(t, _mm256_add_epi32(f.rowB, f.sb));
  }
  return q;
}

// Bilinear filtering of 8-bit texels (expanded to 0xAARRGGBB) on eight lanes with each texel's
// colour kept whole: a lane holds red and blue in its two 16-bit halves, another alpha and
// green, so that one lerp of 16-bit lanes filters two channels (the same arithmetic per channel
// as Lerp16).
struct PairedChannels {
  __m256i rb, ag;  // (red << 16) | blue and (alpha << 16) | green, each 0..255
};

// The texels at `index` and index + 1 of eight lanes in one 64-bit load each: left and right
// taps of lanes whose right tap is the next column.
GLIDE_AVX2_INLINE void LoadPairs32(const SpanTarget& t, __m256i index, __m256i& left, __m256i& right) {
  const auto* pairs = reinterpret_cast<const long long*>(t.texels32);
  const __m256i q0 = _mm256_i32gather_epi64(pairs, _mm256_castsi256_si128(index), 4);  // lanes 0-3
  const __m256i q1 = _mm256_i32gather_epi64(pairs, _mm256_extracti128_si256(index, 1), 4);
  // Even dwords are left taps, odd ones right taps; the shuffle leaves lanes 0 1 4 5 2 3 6 7.
  left = _mm256_permute4x64_epi64(
      _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(q0), _mm256_castsi256_ps(q1), 0x88)), 0xD8);
  right = _mm256_permute4x64_epi64(
      _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(q0), _mm256_castsi256_ps(q1), 0xDD)), 0xD8);
}

GLIDE_AVX2_INLINE PairedChannels BilinearLut8(const SpanTarget& t, const Footprint& f) {
  const __m256i a = _mm256_add_epi32(f.rowA, f.sa), b = _mm256_add_epi32(f.rowB, f.sa);
  Quad8 q;
  if (f.adjacent) {
    LoadPairs32(t, a, q.c00, q.c01);
    LoadPairs32(t, b, q.c10, q.c11);
  } else {
    q.c00 = Load8<Tex::kLut8>(t, a);
    q.c01 = Load8<Tex::kLut8>(t, _mm256_add_epi32(f.rowA, f.sb));
    q.c10 = Load8<Tex::kLut8>(t, b);
    q.c11 = Load8<Tex::kLut8>(t, _mm256_add_epi32(f.rowB, f.sb));
  }
  const __m256i full = _mm256_set1_epi16(256);
  const __m256i u = _mm256_or_si256(f.u, _mm256_slli_epi32(f.u, 16));
  const __m256i v = _mm256_or_si256(f.v, _mm256_slli_epi32(f.v, 16));
  const __m256i iu = _mm256_sub_epi16(full, u), iv = _mm256_sub_epi16(full, v);
  const __m256i m = _mm256_set1_epi32(0x00FF00FF);
  PairedChannels out;
  out.rb = Lerp16(Lerp16(_mm256_and_si256(q.c00, m), _mm256_and_si256(q.c01, m), u, iu),
                  Lerp16(_mm256_and_si256(q.c10, m), _mm256_and_si256(q.c11, m), u, iu), v, iv);
  out.ag = Lerp16(Lerp16(_mm256_srli_epi16(q.c00, 8), _mm256_srli_epi16(q.c01, 8), u, iu),
                  Lerp16(_mm256_srli_epi16(q.c10, 8), _mm256_srli_epi16(q.c11, 8), u, iu), v, iv);
  return out;
}

// Paired channels to one channel per 32-bit lane.
GLIDE_AVX2_INLINE Taps Unpair(const PairedChannels& c) {
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  return {_mm256_srli_epi32(c.rb, 16), _mm256_and_si256(c.ag, low), _mm256_and_si256(c.rb, low),
          _mm256_srli_epi32(c.ag, 16)};
}

// The first bilinear step where every right tap is its left tap's neighbour: a pair load holds
// the left tap in the low half of each 32-bit lane and the right tap in the high half, so the
// channels in 16-bit lanes are pairs, and one multiply-add against (256 - u, u) gives
// c0 (256 - u) + c1 u whole (at most 255 x 256), as the two 16-bit products sum it. RGB565 is
// expanded to 0..255 first. ARGB4444 stays in nibbles, and its weights carry the expansion's
// factor 17 instead: the sum is linear, so 17 c0 (256 - u) + 17 c1 u is the same integer, and
// no weight passes 17 x 256.
template <Tex kTex>
GLIDE_AVX2_INLINE __m256i AcrossWeights(const Footprint& f) {
  const __m256i w = _mm256_or_si256(_mm256_slli_epi32(f.u, 16), _mm256_sub_epi32(_mm256_set1_epi32(256), f.u));
  if constexpr (kTex == Tex::k4444) return _mm256_mullo_epi16(w, _mm256_set1_epi16(17));
  return w;
}

template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 AcrossChannels(__m256i pairs) {
  if constexpr (kTex == Tex::k565) {
    return Expand565x16(pairs);
  } else {
    const __m256i nib = _mm256_set1_epi16(15);
    return {_mm256_and_si256(_mm256_srli_epi16(pairs, 8), nib), _mm256_and_si256(_mm256_srli_epi16(pairs, 4), nib),
            _mm256_and_si256(pairs, nib), _mm256_srli_epi16(pairs, 12)};
  }
}

GLIDE_AVX2_INLINE __m256i Across(__m256i pairs, __m256i w) { return _mm256_srli_epi32(_mm256_madd_epi16(pairs, w), 8); }

GLIDE_AVX2_INLINE __m256i Across(__m256i lo, __m256i hi, __m256i wLo, __m256i wHi) {
  return _mm256_srli_epi16(Pack16(_mm256_madd_epi16(lo, wLo), _mm256_madd_epi16(hi, wHi)), 8);
}

// Eight lanes' pairs to each channel's row value (0..255) in 32-bit lanes.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps Across8(__m256i pairs, __m256i w) {
  const Taps16 c = AcrossChannels<kTex>(pairs);
  return {Across(c.r, w), Across(c.g, w), Across(c.b, w),
          kTex == Tex::k565 ? _mm256_set1_epi32(255) : Across(c.a, w)};
}

// Two halves' pairs to each channel's row value in 16-bit lanes (packus order).
template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 Across16(__m256i lo, __m256i hi, __m256i wLo, __m256i wHi) {
  const Taps16 a = AcrossChannels<kTex>(lo), b = AcrossChannels<kTex>(hi);
  return {Across(a.r, b.r, wLo, wHi), Across(a.g, b.g, wLo, wHi), Across(a.b, b.b, wLo, wHi),
          kTex == Tex::k565 ? _mm256_set1_epi16(255) : Across(a.a, b.a, wLo, wHi)};
}

// Both bilinear steps on one channel of four taps: top row, bottom row, then between them.
template <class Ops>
GLIDE_AVX2_INLINE __m256i FilterChannel(__m256i c00, __m256i c01, __m256i c10, __m256i c11, __m256i u,
                                        __m256i iu, __m256i v, __m256i iv) {
  return Ops::Lerp(Ops::Lerp(c00, c01, u, iu), Ops::Lerp(c10, c11, u, iu), v, iv);
}

template <Tex kTex, class Ops, class Channels>
GLIDE_AVX2_INLINE Channels FilterQuad(const Channels& c00, const Channels& c01, const Channels& c10,
                                      const Channels& c11, __m256i u, __m256i iu, __m256i v, __m256i iv) {
  Channels out;
  out.r = FilterChannel<Ops>(c00.r, c01.r, c10.r, c11.r, u, iu, v, iv);
  out.g = FilterChannel<Ops>(c00.g, c01.g, c10.g, c11.g, u, iu, v, iv);
  out.b = FilterChannel<Ops>(c00.b, c01.b, c10.b, c11.b, u, iu, v, iv);
  // RGB565 is 255 in every tap, so filtered 255.
  if constexpr (kTex == Tex::k565) {
    out.a = c00.a;
  } else {
    out.a = FilterChannel<Ops>(c00.a, c01.a, c10.a, c11.a, u, iu, v, iv);
  }
  return out;
}

template <Tex kTex, bool kBilinear>
GLIDE_AVX2_INLINE Taps Sample8(const SpanTarget& t, __m256i s, __m256i tt) {
  if constexpr (!kBilinear) {
    return Gather8<kTex>(t, PointIndex8(t, s, tt));
  } else if constexpr (kTex == Tex::kLut8) {
    return Unpair(BilinearLut8(t, Address8Bilinear(t, s, tt)));
  } else {
    const Footprint f = Address8Bilinear(t, s, tt);
    const __m256i full = _mm256_set1_epi32(256);
    const __m256i iv = _mm256_sub_epi32(full, f.v);
    if (f.adjacent) {
      const __m256i w = AcrossWeights<kTex>(f);
      const Taps top = Across8<kTex>(Load8<kTex>(t, _mm256_add_epi32(f.rowA, f.sa)), w);
      const Taps bottom = Across8<kTex>(Load8<kTex>(t, _mm256_add_epi32(f.rowB, f.sa)), w);
      return {Lerp8(top.r, bottom.r, f.v, iv), Lerp8(top.g, bottom.g, f.v, iv), Lerp8(top.b, bottom.b, f.v, iv),
              kTex == Tex::k565 ? top.a : Lerp8(top.a, bottom.a, f.v, iv)};
    }
    const Quad8 q = LoadQuad8<kTex>(t, f);
    const __m256i iu = _mm256_sub_epi32(full, f.u);
    return FilterQuad<kTex, Ops8>(Decode8<kTex>(q.c00), Decode8<kTex>(q.c01), Decode8<kTex>(q.c10),
                                  Decode8<kTex>(q.c11), f.u, iu, f.v, iv);
  }
}

// Bilinear filtering of sixteen lanes from their two halves' footprints.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 Bilinear16(const SpanTarget& t, const Footprint& lo, const Footprint& hi) {
  if constexpr (kTex == Tex::kLut8) {
    const Taps a = Unpair(BilinearLut8(t, lo)), b = Unpair(BilinearLut8(t, hi));
    return {Pack16(a.r, b.r), Pack16(a.g, b.g), Pack16(a.b, b.b), Pack16(a.a, b.a)};
  } else {
    const __m256i full = _mm256_set1_epi16(256);
    const __m256i v = Pack16(lo.v, hi.v), iv = _mm256_sub_epi16(full, v);
    if (lo.adjacent && hi.adjacent) {
      const __m256i wLo = AcrossWeights<kTex>(lo), wHi = AcrossWeights<kTex>(hi);
      const Taps16 top = Across16<kTex>(Load8<kTex>(t, _mm256_add_epi32(lo.rowA, lo.sa)),
                                        Load8<kTex>(t, _mm256_add_epi32(hi.rowA, hi.sa)), wLo, wHi);
      const Taps16 bottom = Across16<kTex>(Load8<kTex>(t, _mm256_add_epi32(lo.rowB, lo.sa)),
                                           Load8<kTex>(t, _mm256_add_epi32(hi.rowB, hi.sa)), wLo, wHi);
      return {Lerp16(top.r, bottom.r, v, iv), Lerp16(top.g, bottom.g, v, iv), Lerp16(top.b, bottom.b, v, iv),
              kTex == Tex::k565 ? top.a : Lerp16(top.a, bottom.a, v, iv)};
    }
    const Quad8 a = LoadQuad8<kTex>(t, lo), b = LoadQuad8<kTex>(t, hi);
    const __m256i u = Pack16(lo.u, hi.u), iu = _mm256_sub_epi16(full, u);
    return FilterQuad<kTex, Ops16>(Decode16<kTex>(a.c00, b.c00), Decode16<kTex>(a.c01, b.c01),
                                   Decode16<kTex>(a.c10, b.c10), Decode16<kTex>(a.c11, b.c11), u, iu, v, iv);
  }
}

template <Tex kTex, bool kBilinear>
GLIDE_AVX2_INLINE Taps16 Sample16(const SpanTarget& t, __m256i sLo, __m256i sHi, __m256i tLo,
                                  __m256i tHi) {
  if constexpr (!kBilinear) {
    return Decode16<kTex>(Load8<kTex>(t, PointIndex8(t, sLo, tLo)), Load8<kTex>(t, PointIndex8(t, sHi, tHi)));
  } else {
    return Bilinear16<kTex>(t, Address8Bilinear(t, sLo, tLo), Address8Bilinear(t, sHi, tHi));
  }
}

// ==== Combines =================================================================================

// The lane combines: texel channels and iterated channels (0..255) to the combined colour. The
// products of channels and factors fit the low 16 bits of any lane.
template <Combine kCombine, class Ops>
GLIDE_AVX2_INLINE __m256i CombineChannel(__m256i tex, __m256i it, __m256i f) {
  if constexpr (ScalesTexture(kCombine)) tex = Ops::Shr8(_mm256_mullo_epi16(tex, f));
  return Ops::Min(Ops::Add(tex, it), Ops::Set(255));
}

template <Combine kCombine, class Ops, class Channels>
GLIDE_AVX2_INLINE Channels CombineLanes(const Channels& tex, const Channels& it) {
  const __m256i f = Ops::Add(it.a, Ops::Set(1));
  Channels out;
  out.r = CombineChannel<kCombine, Ops>(tex.r, it.r, f);
  out.g = CombineChannel<kCombine, Ops>(tex.g, it.g, f);
  out.b = CombineChannel<kCombine, Ops>(tex.b, it.b, f);
  if constexpr (TexTimesIterAlpha(kCombine)) {
    out.a = Ops::Shr8(_mm256_mullo_epi16(tex.a, f));
  } else {
    out.a = it.a;
  }
  return out;
}

template <Combine kCombine>
GLIDE_AVX2_INLINE Taps Combine8(const Taps& tex, const Taps& it) {
  return CombineLanes<kCombine, Ops8>(tex, it);
}

template <Combine kCombine>
GLIDE_AVX2_INLINE Taps16 Combine16(const Taps16& tex, const Taps16& it) {
  return CombineLanes<kCombine, Ops16>(tex, it);
}

// ==== Blend, dither, pack: sixteen lanes =======================================================

// Dither vectors for 16 pixels: [y & 3][x & 3] gives, for pixels x .. x + 15 of row y, the
// matrix entry and the dither-subtraction offsets of red/blue and of green (SpanAvx2.cpp).
struct DitherRows {
  alignas(32) int16_t d[4][4][16];
  alignas(32) int16_t subRb[4][4][16];
  alignas(32) int16_t subG[4][4][16];
};
const DitherRows& GetDitherRows();

// The dither values and dither subtraction offsets of sixteen pixels.
struct DitherLanes {
  __m256i d, subRb, subG;
};

using DitherTable = int16_t[4][4][16];

GLIDE_AVX2_INLINE __m256i DitherRow(const DitherTable& table, int y, int x) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(table[y & 3][x & 3]));
}

GLIDE_AVX2_INLINE __m256i DitherRows2(const DitherTable& table, int y0, int x0, int y1, int x1) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(table[y1 & 3][x1 & 3]),
                             reinterpret_cast<const __m128i*>(table[y0 & 3][x0 & 3]));
}

// Columns x .. x + 15 of row y.
GLIDE_AVX2_INLINE DitherLanes DitherAt(const DitherRows& rows, int y, int x) {
  return {DitherRow(rows.d, y, x), DitherRow(rows.subRb, y, x), DitherRow(rows.subG, y, x)};
}

// Columns x0 .. x0 + 7 of row y0 in the low eight lanes, x1 .. x1 + 7 of row y1 in the high.
GLIDE_AVX2_INLINE DitherLanes DitherAt(const DitherRows& rows, int y0, int x0, int y1, int x1) {
  return {DitherRows2(rows.d, y0, x0, y1, x1), DitherRows2(rows.subRb, y0, x0, y1, x1),
          DitherRows2(rows.subG, y0, x0, y1, x1)};
}

template <BlendKind kBlend>
GLIDE_AVX2_INLINE __m256i BlendChannel16(__m256i s, __m256i d, __m256i sf, __m256i invA) {
  // sf = a + 1, invA = 256 - a; every product and sum fits an unsigned 16-bit lane.
  if constexpr (kBlend == BlendKind::kAlpha) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(s, sf), _mm256_mullo_epi16(d, invA)), 8);
  } else if constexpr (kBlend == BlendKind::kAdd) {
    return _mm256_min_epi16(_mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(s, sf), 8), d),
                            _mm256_set1_epi16(255));
  } else if constexpr (kBlend == BlendKind::kDarken) {
    return _mm256_srli_epi16(_mm256_mullo_epi16(d, invA), 8);
  } else if constexpr (kBlend == BlendKind::kScale) {
    return _mm256_srli_epi16(_mm256_mullo_epi16(s, sf), 8);
  } else {
    return s;
  }
}

// v < minimum ? v : min(v + offset, 255), the dither subtraction of the destination.
GLIDE_AVX2_INLINE __m256i Subtract16(__m256i v, __m256i offset, int minimum) {
  const __m256i low = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(minimum)), v);
  const __m256i raised = _mm256_min_epi16(_mm256_add_epi16(v, offset), _mm256_set1_epi16(255));
  return _mm256_blendv_epi8(raised, v, low);
}

// (2v - (v >> 4) + (v >> 7) + d) >> 4 for red and blue, (4v - (v >> 4) + (v >> 6) + d) >> 4
// for green: a channel dithered to its field.
template <int kTimes, int kShift>
GLIDE_AVX2_INLINE __m256i DitherChannel16(__m256i v, __m256i d) {
  const __m256i times = _mm256_slli_epi16(v, kTimes);
  return _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(times, _mm256_srli_epi16(v, 4)), _mm256_srli_epi16(v, kShift)), d),
      4);
}

// Whether blending these sixteen source pixels leaves every live destination pixel as it is,
// so that its read, blend and write can be skipped: only for the additive blend, where each
// channel's term (s (a + 1)) >> 8 is zero. Adding zero gives the destination back exactly: the
// 4x4 dither of the dither-subtracted value is the stored field again for every field value and
// position, and without dither the expansion and truncation are exact. (4x4 dither without the
// subtraction does not give it back, so that case is not skipped.)
template <BlendKind kBlend, bool kDither, bool kSubtract>
GLIDE_AVX2_INLINE bool AddsNothing16(__m256i r, __m256i g, __m256i b, __m256i a, __m256i live) {
  if constexpr (kBlend == BlendKind::kAdd && (kSubtract || !kDither)) {
    const __m256i sf = _mm256_add_epi16(a, _mm256_set1_epi16(1));
    const __m256i products = _mm256_or_si256(_mm256_or_si256(_mm256_mullo_epi16(r, sf), _mm256_mullo_epi16(g, sf)),
                                             _mm256_mullo_epi16(b, sf));
    return _mm256_testz_si256(_mm256_srli_epi16(products, 8), live);
  } else {
    return false;
  }
}

// Blending with the destination `old`, dither subtraction, dithering and packing of sixteen
// pixels in 16-bit lanes (colour 0..255 per lane) with the given dither lanes. Lanes hold the
// same arithmetic whether they carry sixteen pixels or eight in the low halves of 32-bit lanes.
template <BlendKind kBlend, bool kDither, bool kSubtract>
GLIDE_AVX2_INLINE __m256i Finish16(const DitherLanes& dither, __m256i r, __m256i g, __m256i b,
                                   __m256i a, __m256i old) {
  if constexpr (kBlend != BlendKind::kNone) {
    const __m256i sf = _mm256_add_epi16(a, _mm256_set1_epi16(1));
    const __m256i invA = _mm256_sub_epi16(_mm256_set1_epi16(256), a);
    Taps16 dst = Expand565x16(old);
    if constexpr (kSubtract) {
      dst.r = Subtract16(dst.r, dither.subRb, 4);
      dst.g = Subtract16(dst.g, dither.subG, 2);
      dst.b = Subtract16(dst.b, dither.subRb, 4);
    }
    r = BlendChannel16<kBlend>(r, dst.r, sf, invA);
    g = BlendChannel16<kBlend>(g, dst.g, sf, invA);
    b = BlendChannel16<kBlend>(b, dst.b, sf, invA);
  }
  __m256i r5, g6, b5;
  if constexpr (kDither) {
    r5 = DitherChannel16<1, 7>(r, dither.d);
    b5 = DitherChannel16<1, 7>(b, dither.d);
    g6 = DitherChannel16<2, 6>(g, dither.d);
  } else {
    r5 = _mm256_srli_epi16(r, 3);
    g6 = _mm256_srli_epi16(g, 2);
    b5 = _mm256_srli_epi16(b, 3);
  }
  return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(r5, 11), _mm256_slli_epi16(g6, 5)), b5);
}

}  // namespace glide

#endif
