// The stages of the specialised span paths (SpanFast.cpp, their only includer): the chunk
// of pixels they pass along, the perspective stage (scalar, SSE2, AVX2), eight-pixel AVX2
// shading for the scenes' textured states, and the blend-dither-write stage (scalar, SSE2,
// AVX2). Each computes exactly what the generic path computes; the agreement test holds them
// to it at every SIMD level.
#pragma once

#include <cstdint>
#include <cstring>

#include "Pipeline.h"
#include "glide.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(GLIDE_NO_SIMD)
#include <immintrin.h>
#define GLIDE_X86 1
// The AVX2 building blocks are always inlined: the loops that use them keep their constants
// and intermediate values in registers.
#define GLIDE_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#else
#define GLIDE_X86 0
#endif

namespace glide {
// Internal linkage: this header belongs to one translation unit.
namespace {


constexpr int kChunk = 64;

struct alignas(32) Chunk {
  float w[kChunk];
  int32_t s[kChunk];
  int32_t t[kChunk];
  uint16_t r[kChunk], g[kChunk], b[kChunk], a[kChunk];
  uint16_t live[kChunk];  // 0xFFFF: write this pixel
  uint16_t depth[kChunk];
};

// ---- Stage 1: perspective ------------------------------------------------------------------

struct RowStart {
  float w, s, t;
};

using PerspectiveFn = void (*)(const Gradients& g, const RowStart& row, int ix0, int n,
                               bool textured, Chunk& c);

void PerspectiveScalar(const Gradients& g, const RowStart& row, int ix0, int n, bool textured,
                       Chunk& c) {
  for (int i = 0; i < n; ++i) {
    const float fx = static_cast<float>(ix0 + i);
    c.w[i] = row.w + fx * g.dwDx;
    if (textured) TexelCoordinates(row.s + fx * g.dsDx, row.t + fx * g.dtDx, c.w[i], c.s[i], c.t[i]);
  }
}

#if GLIDE_X86
// SafeTrunc on four lanes: max/min pick the second operand for NaN exactly as SafeTrunc does.
inline __m128i SafeTrunc4(__m128 v) {
  const __m128 limit = _mm_set1_ps(1073741824.0f);
  v = _mm_max_ps(v, _mm_sub_ps(_mm_setzero_ps(), limit));
  v = _mm_min_ps(v, limit);
  return _mm_cvttps_epi32(v);
}

void PerspectiveSse2(const Gradients& g, const RowStart& row, int ix0, int n, bool textured,
                     Chunk& c) {
  const int whole = n & ~3;
  const __m128 dw = _mm_set1_ps(g.dwDx), ds = _mm_set1_ps(g.dsDx), dt = _mm_set1_ps(g.dtDx);
  const __m128 w0 = _mm_set1_ps(row.w), s0 = _mm_set1_ps(row.s), t0 = _mm_set1_ps(row.t);
  const __m128 one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(256.0f);
  for (int i = 0; i < whole; i += 4) {
    const __m128 fx = _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(ix0 + i), _mm_setr_epi32(0, 1, 2, 3)));
    const __m128 w = _mm_add_ps(w0, _mm_mul_ps(fx, dw));
    _mm_store_ps(c.w + i, w);
    if (!textured) continue;
    const __m128 inv = _mm_div_ps(one, w);
    const __m128 s = _mm_mul_ps(_mm_mul_ps(_mm_add_ps(s0, _mm_mul_ps(fx, ds)), inv), scale);
    const __m128 t = _mm_mul_ps(_mm_mul_ps(_mm_add_ps(t0, _mm_mul_ps(fx, dt)), inv), scale);
    const __m128i positive = _mm_castps_si128(_mm_cmpgt_ps(w, _mm_setzero_ps()));
    _mm_store_si128(reinterpret_cast<__m128i*>(c.s + i), _mm_and_si128(SafeTrunc4(s), positive));
    _mm_store_si128(reinterpret_cast<__m128i*>(c.t + i), _mm_and_si128(SafeTrunc4(t), positive));
  }
  if (whole < n) {
    Chunk tail;
    PerspectiveScalar(g, row, ix0 + whole, n - whole, textured, tail);
    for (int i = whole; i < n; ++i) {
      c.w[i] = tail.w[i - whole];
      c.s[i] = tail.s[i - whole];
      c.t[i] = tail.t[i - whole];
    }
  }
}

GLIDE_AVX2_INLINE __m256i SafeTrunc8(__m256 v) {
  const __m256 limit = _mm256_set1_ps(1073741824.0f);
  v = _mm256_max_ps(v, _mm256_sub_ps(_mm256_setzero_ps(), limit));
  v = _mm256_min_ps(v, limit);
  return _mm256_cvttps_epi32(v);
}

__attribute__((target("avx2"))) void PerspectiveAvx2(const Gradients& g, const RowStart& row,
                                                     int ix0, int n, bool textured, Chunk& c) {
  // Whole blocks of the AVX2 shading's step (eight for spans up to eight pixels, else sixteen):
  // lanes past n land inside the chunk's arrays and are never used.
  const int whole = n <= 8 ? 8 : (n + 15) & ~15;
  const __m256 dw = _mm256_set1_ps(g.dwDx), ds = _mm256_set1_ps(g.dsDx), dt = _mm256_set1_ps(g.dtDx);
  const __m256 w0 = _mm256_set1_ps(row.w), s0 = _mm256_set1_ps(row.s), t0 = _mm256_set1_ps(row.t);
  const __m256 one = _mm256_set1_ps(1.0f), scale = _mm256_set1_ps(256.0f);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (int i = 0; i < whole; i += 8) {
    const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(ix0 + i), lanes));
    const __m256 w = _mm256_add_ps(w0, _mm256_mul_ps(fx, dw));
    _mm256_store_ps(c.w + i, w);
    if (!textured) continue;
    const __m256 inv = _mm256_div_ps(one, w);
    const __m256 s = _mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(s0, _mm256_mul_ps(fx, ds)), inv), scale);
    const __m256 t = _mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(t0, _mm256_mul_ps(fx, dt)), inv), scale);
    const __m256i positive = _mm256_castps_si256(_mm256_cmp_ps(w, _mm256_setzero_ps(), _CMP_GT_OQ));
    _mm256_store_si256(reinterpret_cast<__m256i*>(c.s + i), _mm256_and_si256(SafeTrunc8(s), positive));
    _mm256_store_si256(reinterpret_cast<__m256i*>(c.t + i), _mm256_and_si256(SafeTrunc8(t), positive));
  }
}
#endif

PerspectiveFn ChoosePerspective(SimdLevel level) {
#if GLIDE_X86
  if (level == SimdLevel::kAvx2) return PerspectiveAvx2;
  if (level == SimdLevel::kSse2) return PerspectiveSse2;
#endif
  (void)level;
  return PerspectiveScalar;
}

// What the specialised paths are specialised on.
enum class Tex { kNone, kLut8, k565, k4444 };
// kDisplayDefault: texture scaled by iterated alpha plus iterated colour, iterated alpha;
// kDisplayTexTimesIterAlpha: the same colour with texture alpha times iterated alpha.
enum class Combine {
  kGeneric, kTexAddItrgbIterAlpha, kTexAddItrgbTexTimesIterAlpha, kDisplayDefault,
  kDisplayTexTimesIterAlpha, kItrgb
};
// The combines whose colour is texture * (iterated alpha + 1) / 256 + iterated colour.
constexpr bool ScalesTexture(Combine c) {
  return c == Combine::kDisplayDefault || c == Combine::kDisplayTexTimesIterAlpha;
}
// The combines whose alpha is texture alpha * (iterated alpha + 1) / 256.
constexpr bool TexTimesIterAlpha(Combine c) {
  return c == Combine::kTexAddItrgbTexTimesIterAlpha || c == Combine::kDisplayTexTimesIterAlpha;
}
// Depth: -1 none, otherwise the GR_CMP_* function of a W-buffer with bias 0.

#if GLIDE_X86
// ---- Stage 2 with AVX2: the same pixels eight at a time --------------------------------------
//
// For the textured states the scenes use (DECAL texture combine, texture + iterated colour),
// texel addresses, fetches (gathers), expansion, bilinear weights and the combine run on eight
// lanes. Depth stays scalar; iterated colour falls back to scalar for a chunk whose 12.12 values
// could leave 32 bits.


struct Taps {
  __m256i r, g, b, a;
};

// Texels already loaded (the low 16 bits of each lane, or 8-bit texels expanded to 0xAARRGGBB)
// to channels.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps Decode8(const SpanTarget& t, __m256i loaded) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  Taps out;
  if constexpr (kTex == Tex::kLut8) {
    (void)t;
    const __m256i argb = loaded;  // already expanded
    out.a = _mm256_srli_epi32(argb, 24);
    out.r = _mm256_and_si256(_mm256_srli_epi32(argb, 16), byteMask);
    out.g = _mm256_and_si256(_mm256_srli_epi32(argb, 8), byteMask);
    out.b = _mm256_and_si256(argb, byteMask);
  } else {
    const __m256i raw = _mm256_and_si256(loaded, _mm256_set1_epi32(0xFFFF));
    if constexpr (kTex == Tex::k565) {
      const __m256i r5 = _mm256_srli_epi32(raw, 11);
      const __m256i g6 = _mm256_and_si256(_mm256_srli_epi32(raw, 5), _mm256_set1_epi32(63));
      const __m256i b5 = _mm256_and_si256(raw, _mm256_set1_epi32(31));
      out.r = _mm256_or_si256(_mm256_slli_epi32(r5, 3), _mm256_srli_epi32(r5, 2));
      out.g = _mm256_or_si256(_mm256_slli_epi32(g6, 2), _mm256_srli_epi32(g6, 4));
      out.b = _mm256_or_si256(_mm256_slli_epi32(b5, 3), _mm256_srli_epi32(b5, 2));
      out.a = byteMask;
    } else {  // 4444: each nibble times 17
      const __m256i nib = _mm256_set1_epi32(15), x17 = _mm256_set1_epi32(17);
      out.a = _mm256_mullo_epi16(_mm256_srli_epi32(raw, 12), x17);
      out.r = _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(raw, 8), nib), x17);
      out.g = _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(raw, 4), nib), x17);
      out.b = _mm256_mullo_epi16(_mm256_and_si256(raw, nib), x17);
    }
  }
  return out;
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
  return Decode8<kTex>(t, Load8<kTex>(t, index));
}

// The right neighbour in a pair loaded by Load8 (16-bit formats).
template <Tex kTex>
GLIDE_AVX2_INLINE __m256i Neighbour8(__m256i pair) {
  static_assert(kTex != Tex::kLut8, "8-bit texels are loaded one at a time");
  return _mm256_srli_epi32(pair, 16);
}

// (c0 * (256 - u) + c1 * u) >> 8 per 32-bit lane holding 0..255 (products fit the low 16 bits).
GLIDE_AVX2_INLINE __m256i Lerp8(__m256i c0, __m256i c1, __m256i u,
                                                     __m256i iu) {
  return _mm256_srli_epi32(
      _mm256_add_epi32(_mm256_mullo_epi16(c0, iu), _mm256_mullo_epi16(c1, u)), 8);
}

GLIDE_AVX2_INLINE __m256i Address8(__m256i c, __m256i andMask,
                                                        __m256i sizeMask) {
  return _mm256_min_epi32(_mm256_max_epi32(_mm256_and_si256(c, andMask), _mm256_setzero_si256()),
                          sizeMask);
}

// Eight 32-bit lanes (0..255) to eight uint16 in order.
GLIDE_AVX2_INLINE void Store16(uint16_t* out, __m256i v) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
}

// A 12.12 iterator that starts at `start` and moves by `step` per pixel stays within 32 bits
// over a whole chunk.
inline bool Fits32(int64_t start, int64_t step) {
  constexpr int64_t kLimit = int64_t{1} << 30, kStepLimit = int64_t{1} << 23;
  return start > -kLimit && start < kLimit && step > -kStepLimit && step < kStepLimit;
}

// 12.12 lanes to iterated channels 0..255 (IteratedChannel on eight lanes).
GLIDE_AVX2_INLINE __m256i Channel8(__m256i v) {
  return _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(v, 12), _mm256_setzero_si256()),
                          _mm256_set1_epi32(255));
}

// Iterated channel i of the chunk into `out` (0..255 per pixel).
GLIDE_AVX2_INLINE void Iterate8(int64_t start, int64_t step, int n,
                                                     uint16_t* out) {
  if (!Fits32(start, step)) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(IteratedChannel(start + i * step));
    return;
  }
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(start)),
                               _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(step))));
  const __m256i advance = _mm256_set1_epi32(static_cast<int32_t>(step * 8));
  const __m256i top = _mm256_set1_epi32(255);
  for (int i = 0; i < n; i += 8) {
    const __m256i ch = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(v, 12), _mm256_setzero_si256()), top);
    Store16(out + i, ch);
    v = _mm256_add_epi32(v, advance);
  }
}

GLIDE_AVX2_INLINE __m256i Load16(const uint16_t* in) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
}

GLIDE_AVX2_INLINE __m256i Load256(const uint16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// WDepth on eight lanes.
GLIDE_AVX2_INLINE __m256i WDepth8(__m256 oow) {
  const __m256i bits = _mm256_castps_si256(oow);
  const __m256i valid = _mm256_castps_si256(_mm256_and_ps(
      _mm256_cmp_ps(oow, _mm256_setzero_ps(), _CMP_GT_OQ), _mm256_cmp_ps(oow, _mm256_set1_ps(1.0f), _CMP_LT_OQ)));
  const __m256i leadingZeros = _mm256_sub_epi32(_mm256_set1_epi32(126), _mm256_srli_epi32(bits, 23));
  const __m256i mant = _mm256_and_si256(_mm256_srli_epi32(bits, 11), _mm256_set1_epi32(0xFFF));
  const __m256i farthest = _mm256_set1_epi32(0xFFFF);
  __m256i depth = _mm256_add_epi32(
      _mm256_or_si256(_mm256_slli_epi32(leadingZeros, 12), _mm256_xor_si256(mant, _mm256_set1_epi32(0xFFF))),
      _mm256_set1_epi32(1));
  depth = _mm256_min_epi32(depth, farthest);
  depth = _mm256_blendv_epi8(depth, farthest, _mm256_cmpgt_epi32(leadingZeros, _mm256_set1_epi32(15)));
  return _mm256_and_si256(depth, valid);
}

// ---- Sixteen pixels in 16-bit lanes ----------------------------------------------------------
// Two eight-pixel halves are addressed and fetched in 32-bit lanes, then packed (packus order:
// lo 0-3, hi 0-3, lo 4-7, hi 4-7) so that expansion, the bilinear steps and the combine run on
// sixteen 16-bit lanes; Natural16 restores pixel order.

struct Taps16 {
  __m256i r, g, b, a;
};

GLIDE_AVX2_INLINE __m256i Pack16(__m256i lo, __m256i hi) {
  return _mm256_packus_epi32(lo, hi);
}

// packus order <-> pixel order (the same qword swap both ways).
GLIDE_AVX2_INLINE __m256i Natural16(__m256i v) {
  return _mm256_permute4x64_epi64(v, 0xD8);
}

// Texels in 16-bit lanes (raw 16-bit formats) to channels.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 Expand16(__m256i raw) {
  Taps16 out;
  if constexpr (kTex == Tex::k565) {
    const __m256i r5 = _mm256_srli_epi16(raw, 11);
    const __m256i g6 = _mm256_and_si256(_mm256_srli_epi16(raw, 5), _mm256_set1_epi16(63));
    const __m256i b5 = _mm256_and_si256(raw, _mm256_set1_epi16(31));
    out.r = _mm256_or_si256(_mm256_slli_epi16(r5, 3), _mm256_srli_epi16(r5, 2));
    out.g = _mm256_or_si256(_mm256_slli_epi16(g6, 2), _mm256_srli_epi16(g6, 4));
    out.b = _mm256_or_si256(_mm256_slli_epi16(b5, 3), _mm256_srli_epi16(b5, 2));
    out.a = _mm256_set1_epi16(255);
  } else {
    const __m256i nib = _mm256_set1_epi16(15), x17 = _mm256_set1_epi16(17);
    out.a = _mm256_mullo_epi16(_mm256_srli_epi16(raw, 12), x17);
    out.r = _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi16(raw, 8), nib), x17);
    out.g = _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi16(raw, 4), nib), x17);
    out.b = _mm256_mullo_epi16(_mm256_and_si256(raw, nib), x17);
  }
  return out;
}

// Two halves of loaded texels (low 8 or 16 bits of each 32-bit lane) to 16-bit channel lanes.
template <Tex kTex>
GLIDE_AVX2_INLINE Taps16 Decode16(const SpanTarget& t, __m256i lo, __m256i hi) {
  if constexpr (kTex == Tex::kLut8) {
    const Taps a = Decode8<kTex>(t, lo), b = Decode8<kTex>(t, hi);
    return {Pack16(a.r, b.r), Pack16(a.g, b.g), Pack16(a.b, b.b), Pack16(a.a, b.a)};
  } else {
    const __m256i mask = _mm256_set1_epi32(0xFFFF);
    return Expand16<kTex>(Pack16(_mm256_and_si256(lo, mask), _mm256_and_si256(hi, mask)));
  }
}

GLIDE_AVX2_INLINE __m256i Lerp16(__m256i c0, __m256i c1, __m256i u, __m256i iu) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(c0, iu), _mm256_mullo_epi16(c1, u)), 8);
}

// Addressing of one eight-pixel half for bilinear filtering.
struct Footprint {
  __m256i rowA, rowB, sa, sb, u, v;
  bool adjacent;  // every right tap is its left tap's neighbour in memory
};

GLIDE_AVX2_INLINE Footprint Address8Bilinear(const SpanTarget& t, __m256i s, __m256i tt) {
  const TextureBinding& b = t.binding;
  const __m128i sShift = _mm_cvtsi32_si128(b.sShift), tShift = _mm_cvtsi32_si128(b.tShift);
  const __m128i widthLog2 = _mm_cvtsi32_si128(b.widthLog2);
  const __m256i sAnd = _mm256_set1_epi32(t.sAnd), tAnd = _mm256_set1_epi32(t.tAnd);
  const __m256i wMask = _mm256_set1_epi32(b.widthMask), hMask = _mm256_set1_epi32(b.heightMask);
  const int lod = b.sShift - 8;
  const __m128i lodShift = _mm_cvtsi32_si128(lod);
  const __m256i half = _mm256_set1_epi32(128 << lod);
  const __m256i sh = _mm256_sub_epi32(s, half), th = _mm256_sub_epi32(tt, half);
  const __m256i s0 = _mm256_sra_epi32(sh, sShift), t0 = _mm256_sra_epi32(th, tShift);
  const __m256i weightMask = _mm256_set1_epi32(0xF0), one = _mm256_set1_epi32(1);
  Footprint f;
  f.u = _mm256_and_si256(_mm256_sra_epi32(sh, lodShift), weightMask);
  f.v = _mm256_and_si256(_mm256_sra_epi32(th, lodShift), weightMask);
  f.sa = Address8(s0, sAnd, wMask);
  f.sb = Address8(_mm256_add_epi32(s0, one), sAnd, wMask);
  f.rowA = _mm256_sll_epi32(Address8(t0, tAnd, hMask), widthLog2);
  f.rowB = _mm256_sll_epi32(Address8(_mm256_add_epi32(t0, one), tAnd, hMask), widthLog2);
  f.adjacent = _mm256_movemask_epi8(_mm256_cmpeq_epi32(f.sb, _mm256_add_epi32(f.sa, one))) == -1;
  return f;
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
  __m256i c00, c01, c10, c11;
  if (f.adjacent) {
    LoadPairs32(t, a, c00, c01);
    LoadPairs32(t, b, c10, c11);
  } else {
    c00 = Load8<Tex::kLut8>(t, a);
    c01 = Load8<Tex::kLut8>(t, _mm256_add_epi32(f.rowA, f.sb));
    c10 = Load8<Tex::kLut8>(t, b);
    c11 = Load8<Tex::kLut8>(t, _mm256_add_epi32(f.rowB, f.sb));
  }
  const __m256i full = _mm256_set1_epi16(256);
  const __m256i u = _mm256_or_si256(f.u, _mm256_slli_epi32(f.u, 16));
  const __m256i v = _mm256_or_si256(f.v, _mm256_slli_epi32(f.v, 16));
  const __m256i iu = _mm256_sub_epi16(full, u), iv = _mm256_sub_epi16(full, v);
  const __m256i rbMask = _mm256_set1_epi32(0x00FF00FF);
  PairedChannels out;
  out.rb = Lerp16(Lerp16(_mm256_and_si256(c00, rbMask), _mm256_and_si256(c01, rbMask), u, iu),
                  Lerp16(_mm256_and_si256(c10, rbMask), _mm256_and_si256(c11, rbMask), u, iu), v, iv);
  out.ag = Lerp16(Lerp16(_mm256_srli_epi16(c00, 8), _mm256_srli_epi16(c01, 8), u, iu),
                  Lerp16(_mm256_srli_epi16(c10, 8), _mm256_srli_epi16(c11, 8), u, iu), v, iv);
  return out;
}

template <Tex kTex, bool kBilinear>
GLIDE_AVX2_INLINE Taps Sample8(const SpanTarget& t, __m256i s, __m256i tt) {
  const TextureBinding& b = t.binding;
  const __m128i sShift = _mm_cvtsi32_si128(b.sShift), tShift = _mm_cvtsi32_si128(b.tShift);
  const __m128i widthLog2 = _mm_cvtsi32_si128(b.widthLog2);
  const __m256i sAnd = _mm256_set1_epi32(t.sAnd), tAnd = _mm256_set1_epi32(t.tAnd);
  const __m256i wMask = _mm256_set1_epi32(b.widthMask), hMask = _mm256_set1_epi32(b.heightMask);
  if constexpr (!kBilinear) {
    const __m256i si = Address8(_mm256_sra_epi32(s, sShift), sAnd, wMask);
    const __m256i ti = Address8(_mm256_sra_epi32(tt, tShift), tAnd, hMask);
    return Gather8<kTex>(t, _mm256_add_epi32(_mm256_sll_epi32(ti, widthLog2), si));
  } else if constexpr (kTex == Tex::kLut8) {
    const PairedChannels c = BilinearLut8(t, Address8Bilinear(t, s, tt));
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    return {_mm256_srli_epi32(c.rb, 16), _mm256_and_si256(c.ag, low), _mm256_and_si256(c.rb, low),
            _mm256_srli_epi32(c.ag, 16)};
  } else {
    const int lod = b.sShift - 8;
    const __m128i lodShift = _mm_cvtsi32_si128(lod);
    const __m256i half = _mm256_set1_epi32(128 << lod);
    const __m256i sh = _mm256_sub_epi32(s, half), th = _mm256_sub_epi32(tt, half);
    const __m256i s0 = _mm256_sra_epi32(sh, sShift), t0 = _mm256_sra_epi32(th, tShift);
    const __m256i weightMask = _mm256_set1_epi32(0xF0), one = _mm256_set1_epi32(1);
    const __m256i u = _mm256_and_si256(_mm256_sra_epi32(sh, lodShift), weightMask);
    const __m256i v = _mm256_and_si256(_mm256_sra_epi32(th, lodShift), weightMask);
    const __m256i full = _mm256_set1_epi32(256);
    const __m256i iu = _mm256_sub_epi32(full, u), iv = _mm256_sub_epi32(full, v);
    const __m256i sa = Address8(s0, sAnd, wMask), sb = Address8(_mm256_add_epi32(s0, one), sAnd, wMask);
    const __m256i rowA = _mm256_sll_epi32(Address8(t0, tAnd, hMask), widthLog2);
    const __m256i rowB = _mm256_sll_epi32(Address8(_mm256_add_epi32(t0, one), tAnd, hMask), widthLog2);
    Taps c00, c01, c10, c11;
    const __m256i adjacent = _mm256_cmpeq_epi32(sb, _mm256_add_epi32(sa, one));
    if (_mm256_movemask_epi8(adjacent) == -1) {
      // Every right tap sits next to its left one: one load fetches both.
      const __m256i pairA = Load8<kTex>(t, _mm256_add_epi32(rowA, sa));
      const __m256i pairB = Load8<kTex>(t, _mm256_add_epi32(rowB, sa));
      c00 = Decode8<kTex>(t, pairA);
      c01 = Decode8<kTex>(t, Neighbour8<kTex>(pairA));
      c10 = Decode8<kTex>(t, pairB);
      c11 = Decode8<kTex>(t, Neighbour8<kTex>(pairB));
    } else {
      c00 = Gather8<kTex>(t, _mm256_add_epi32(rowA, sa));
      c01 = Gather8<kTex>(t, _mm256_add_epi32(rowA, sb));
      c10 = Gather8<kTex>(t, _mm256_add_epi32(rowB, sa));
      c11 = Gather8<kTex>(t, _mm256_add_epi32(rowB, sb));
    }
    Taps out;
    out.r = Lerp8(Lerp8(c00.r, c01.r, u, iu), Lerp8(c10.r, c11.r, u, iu), v, iv);
    out.g = Lerp8(Lerp8(c00.g, c01.g, u, iu), Lerp8(c10.g, c11.g, u, iu), v, iv);
    out.b = Lerp8(Lerp8(c00.b, c01.b, u, iu), Lerp8(c10.b, c11.b, u, iu), v, iv);
    if constexpr (kTex == Tex::k565) {
      out.a = c00.a;  // 255 in every tap, so filtered 255
    } else {
      out.a = Lerp8(Lerp8(c00.a, c01.a, u, iu), Lerp8(c10.a, c11.a, u, iu), v, iv);
    }
    return out;
  }
}

template <Tex kTex, bool kBilinear>
GLIDE_AVX2_INLINE Taps16 Sample16(const SpanTarget& t, __m256i sLo, __m256i sHi,
                                                       __m256i tLo, __m256i tHi) {
  if constexpr (!kBilinear) {
    const TextureBinding& b = t.binding;
    const __m128i sShift = _mm_cvtsi32_si128(b.sShift), tShift = _mm_cvtsi32_si128(b.tShift);
    const __m128i widthLog2 = _mm_cvtsi32_si128(b.widthLog2);
    const __m256i sAnd = _mm256_set1_epi32(t.sAnd), tAnd = _mm256_set1_epi32(t.tAnd);
    const __m256i wMask = _mm256_set1_epi32(b.widthMask), hMask = _mm256_set1_epi32(b.heightMask);
    const __m256i indexLo = _mm256_add_epi32(
        _mm256_sll_epi32(Address8(_mm256_sra_epi32(tLo, tShift), tAnd, hMask), widthLog2),
        Address8(_mm256_sra_epi32(sLo, sShift), sAnd, wMask));
    const __m256i indexHi = _mm256_add_epi32(
        _mm256_sll_epi32(Address8(_mm256_sra_epi32(tHi, tShift), tAnd, hMask), widthLog2),
        Address8(_mm256_sra_epi32(sHi, sShift), sAnd, wMask));
    return Decode16<kTex>(t, Load8<kTex>(t, indexLo), Load8<kTex>(t, indexHi));
  } else {
    const Footprint lo = Address8Bilinear(t, sLo, tLo), hi = Address8Bilinear(t, sHi, tHi);
    if constexpr (kTex == Tex::kLut8) {
      const PairedChannels a = BilinearLut8(t, lo), b = BilinearLut8(t, hi);
      const __m256i low = _mm256_set1_epi32(0xFFFF);
      return {Pack16(_mm256_srli_epi32(a.rb, 16), _mm256_srli_epi32(b.rb, 16)),
              Pack16(_mm256_and_si256(a.ag, low), _mm256_and_si256(b.ag, low)),
              Pack16(_mm256_and_si256(a.rb, low), _mm256_and_si256(b.rb, low)),
              Pack16(_mm256_srli_epi32(a.ag, 16), _mm256_srli_epi32(b.ag, 16))};
    } else {
      Taps16 c00, c01, c10, c11;
      if (lo.adjacent && hi.adjacent) {
        const __m256i aLo = Load8<kTex>(t, _mm256_add_epi32(lo.rowA, lo.sa));
        const __m256i aHi = Load8<kTex>(t, _mm256_add_epi32(hi.rowA, hi.sa));
        const __m256i bLo = Load8<kTex>(t, _mm256_add_epi32(lo.rowB, lo.sa));
        const __m256i bHi = Load8<kTex>(t, _mm256_add_epi32(hi.rowB, hi.sa));
        c00 = Decode16<kTex>(t, aLo, aHi);
        c01 = Decode16<kTex>(t, Neighbour8<kTex>(aLo), Neighbour8<kTex>(aHi));
        c10 = Decode16<kTex>(t, bLo, bHi);
        c11 = Decode16<kTex>(t, Neighbour8<kTex>(bLo), Neighbour8<kTex>(bHi));
      } else {
        c00 = Decode16<kTex>(t, Load8<kTex>(t, _mm256_add_epi32(lo.rowA, lo.sa)), Load8<kTex>(t, _mm256_add_epi32(hi.rowA, hi.sa)));
        c01 = Decode16<kTex>(t, Load8<kTex>(t, _mm256_add_epi32(lo.rowA, lo.sb)), Load8<kTex>(t, _mm256_add_epi32(hi.rowA, hi.sb)));
        c10 = Decode16<kTex>(t, Load8<kTex>(t, _mm256_add_epi32(lo.rowB, lo.sa)), Load8<kTex>(t, _mm256_add_epi32(hi.rowB, hi.sa)));
        c11 = Decode16<kTex>(t, Load8<kTex>(t, _mm256_add_epi32(lo.rowB, lo.sb)), Load8<kTex>(t, _mm256_add_epi32(hi.rowB, hi.sb)));
      }
      const __m256i full = _mm256_set1_epi16(256);
      const __m256i u = Pack16(lo.u, hi.u), v = Pack16(lo.v, hi.v);
      const __m256i iu = _mm256_sub_epi16(full, u), iv = _mm256_sub_epi16(full, v);
      Taps16 out;
      out.r = Lerp16(Lerp16(c00.r, c01.r, u, iu), Lerp16(c10.r, c11.r, u, iu), v, iv);
      out.g = Lerp16(Lerp16(c00.g, c01.g, u, iu), Lerp16(c10.g, c11.g, u, iu), v, iv);
      out.b = Lerp16(Lerp16(c00.b, c01.b, u, iu), Lerp16(c10.b, c11.b, u, iu), v, iv);
      if constexpr (kTex == Tex::k565) {
        out.a = c00.a;  // 255 in every tap, so filtered 255
      } else {
        out.a = Lerp16(Lerp16(c00.a, c01.a, u, iu), Lerp16(c10.a, c11.a, u, iu), v, iv);
      }
      return out;
    }
  }
}

// The specialised combines on eight 32-bit lanes: texel channels and iterated channels
// (0..255) to the combined colour.
template <Combine kCombine>
GLIDE_AVX2_INLINE Taps Combine8(const Taps& tex, const Taps& it) {
  const __m256i top = _mm256_set1_epi32(255), one = _mm256_set1_epi32(1);
  const __m256i f = _mm256_add_epi32(it.a, one);
  Taps out;
  if constexpr (ScalesTexture(kCombine)) {
    out.r = _mm256_min_epi32(_mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi16(tex.r, f), 8), it.r), top);
    out.g = _mm256_min_epi32(_mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi16(tex.g, f), 8), it.g), top);
    out.b = _mm256_min_epi32(_mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi16(tex.b, f), 8), it.b), top);
  } else {
    out.r = _mm256_min_epi32(_mm256_add_epi32(tex.r, it.r), top);
    out.g = _mm256_min_epi32(_mm256_add_epi32(tex.g, it.g), top);
    out.b = _mm256_min_epi32(_mm256_add_epi32(tex.b, it.b), top);
  }
  if constexpr (TexTimesIterAlpha(kCombine)) {
    out.a = _mm256_srli_epi32(_mm256_mullo_epi16(tex.a, f), 8);
  } else {
    out.a = it.a;
  }
  return out;
}

// The same on sixteen 16-bit lanes.
template <Combine kCombine>
GLIDE_AVX2_INLINE Taps16 Combine16(const Taps16& tex, const Taps16& it) {
  const __m256i top = _mm256_set1_epi16(255), one = _mm256_set1_epi16(1);
  const __m256i f = _mm256_add_epi16(it.a, one);
  Taps16 out;
  if constexpr (ScalesTexture(kCombine)) {
    out.r = _mm256_min_epu16(_mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(tex.r, f), 8), it.r), top);
    out.g = _mm256_min_epu16(_mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(tex.g, f), 8), it.g), top);
    out.b = _mm256_min_epu16(_mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(tex.b, f), 8), it.b), top);
  } else {
    out.r = _mm256_min_epu16(_mm256_add_epi16(tex.r, it.r), top);
    out.g = _mm256_min_epu16(_mm256_add_epi16(tex.g, it.g), top);
    out.b = _mm256_min_epu16(_mm256_add_epi16(tex.b, it.b), top);
  }
  if constexpr (TexTimesIterAlpha(kCombine)) {
    out.a = _mm256_srli_epi16(_mm256_mullo_epi16(tex.a, f), 8);
  } else {
    out.a = it.a;
  }
  return out;
}

template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
__attribute__((target("avx2"))) void ShadeAvx2(const SpanTarget& target, const Gradients& g,
                                               int y, int x0, int n, Chunk& c) {
  const RenderState& st = target.state;
  const int iy = y - g.ya;
  const int ix0 = x0 - g.xa;
  // Depth first; the pixels that pass stay live.
  if constexpr (kDepth >= 0) {
    const uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0;
    for (int i = 0; i < n; i += 8) {
      const __m256i depth = WDepth8(_mm256_load_ps(c.w + i));
      const __m256i stored = Load16(auxRow + i);
      __m256i pass;
      if constexpr (kDepth == GR_CMP_LESS) {
        pass = _mm256_cmpgt_epi32(stored, depth);
      } else if constexpr (kDepth == GR_CMP_LEQUAL) {
        pass = _mm256_xor_si256(_mm256_cmpgt_epi32(depth, stored), _mm256_set1_epi32(-1));
      } else {
        static_assert(kDepth == GR_CMP_ALWAYS, "only LESS, LEQUAL and ALWAYS are specialised");
        pass = _mm256_set1_epi32(-1);
      }
      Store16(c.depth + i, depth);
      Store16(c.live + i, _mm256_and_si256(pass, _mm256_set1_epi32(0xFFFF)));
    }
  } else {
    std::memset(c.live, 0xFF, sizeof c.live);
  }
  // Iterated colour: kept in registers, stepping eight pixels at a time, unless a channel's
  // 12.12 value could leave 32 bits within the chunk; then through the channel arrays.
  int64_t starts[4];
  bool inRegisters = true;
  for (int k = 0; k < 4; ++k) {
    starts[k] = g.rgba[k] + ix0 * g.drgbaDx[k] + iy * g.drgbaDy[k];
    inRegisters = inRegisters && Fits32(starts[k], g.drgbaDx[k]);
  }
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i iter[4], advance[4];
  if (inRegisters) {
    for (int k = 0; k < 4; ++k) {
      iter[k] = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(starts[k])),
                                 _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(g.drgbaDx[k]))));
      advance[k] = _mm256_set1_epi32(static_cast<int32_t>(g.drgbaDx[k] * 8));
    }
  } else {
    uint16_t* channels[4] = {c.r, c.g, c.b, c.a};
    for (int k = 0; k < 4; ++k) Iterate8(starts[k], g.drgbaDx[k], n, channels[k]);
  }
  if (n <= 8) {
    // A short span (small triangles): one block of eight in 32-bit lanes.
    const __m256i key = _mm256_set1_epi32(static_cast<int>(st.chromaValue));
    for (int i = 0; i < n; i += 8) {
      const __m256i s = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.s + i));
      const __m256i t = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.t + i));
      const Taps tex = Sample8<kTex, kBilinear>(target, s, t);
      __m256i ir, ig, ib, ia;
      if (inRegisters) {
        ir = Channel8(iter[0]);
        ig = Channel8(iter[1]);
        ib = Channel8(iter[2]);
        ia = Channel8(iter[3]);
        for (int k = 0; k < 4; ++k) iter[k] = _mm256_add_epi32(iter[k], advance[k]);
      } else {
        ir = Load16(c.r + i);
        ig = Load16(c.g + i);
        ib = Load16(c.b + i);
        ia = Load16(c.a + i);
      }
      const Taps out = Combine8<kCombine>(tex, {ir, ig, ib, ia});
      const __m256i r = out.r, gg = out.g, b = out.b, a = out.a;
      Store16(c.r + i, r);
      Store16(c.g + i, gg);
      Store16(c.b + i, b);
      Store16(c.a + i, a);
      if (st.chromaKey) {
        const __m256i other = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(tex.r, 16), _mm256_slli_epi32(tex.g, 8)), tex.b);
        const __m256i keyed = _mm256_cmpeq_epi32(other, key);
        alignas(32) int32_t mask[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(mask), keyed);
        for (int k = 0; k < 8 && i + k < n; ++k) {
          if (mask[k]) c.live[i + k] = 0;
        }
      }
    }
  } else {
    // Longer spans: sixteen pixels at a time in 16-bit lanes.
    const __m256i keyR = _mm256_set1_epi16(static_cast<short>((st.chromaValue >> 16) & 0xFF));
    const __m256i keyG = _mm256_set1_epi16(static_cast<short>((st.chromaValue >> 8) & 0xFF));
    const __m256i keyB = _mm256_set1_epi16(static_cast<short>(st.chromaValue & 0xFF));
    for (int i = 0; i < n; i += 16) {
      const __m256i* sv = reinterpret_cast<const __m256i*>(c.s + i);
      const __m256i* tv = reinterpret_cast<const __m256i*>(c.t + i);
      const Taps16 tex = Sample16<kTex, kBilinear>(target, _mm256_load_si256(sv), _mm256_load_si256(sv + 1),
                                                   _mm256_load_si256(tv), _mm256_load_si256(tv + 1));
      __m256i ir, ig, ib, ia;
      if (inRegisters) {
        __m256i lo[4], hi[4];
        for (int k = 0; k < 4; ++k) {
          lo[k] = Channel8(iter[k]);
          iter[k] = _mm256_add_epi32(iter[k], advance[k]);
          hi[k] = Channel8(iter[k]);
          iter[k] = _mm256_add_epi32(iter[k], advance[k]);
        }
        ir = Pack16(lo[0], hi[0]);
        ig = Pack16(lo[1], hi[1]);
        ib = Pack16(lo[2], hi[2]);
        ia = Pack16(lo[3], hi[3]);
      } else {
        ir = Natural16(Load256(c.r + i));
        ig = Natural16(Load256(c.g + i));
        ib = Natural16(Load256(c.b + i));
        ia = Natural16(Load256(c.a + i));
      }
      const Taps16 out = Combine16<kCombine>(tex, {ir, ig, ib, ia});
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(c.r + i), Natural16(out.r));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(c.g + i), Natural16(out.g));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(c.b + i), Natural16(out.b));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(c.a + i), Natural16(out.a));
      if (st.chromaKey) {
        const __m256i keyed = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi16(tex.r, keyR), _mm256_cmpeq_epi16(tex.g, keyG)),
            _mm256_cmpeq_epi16(tex.b, keyB));
        __m256i* live = reinterpret_cast<__m256i*>(c.live + i);
        _mm256_storeu_si256(live, _mm256_andnot_si256(Natural16(keyed), _mm256_loadu_si256(live)));
      }
    }
  }
  if (st.alphaTestFunc != GR_CMP_ALWAYS) {
    for (int i = 0; i < n; ++i) {
      if (!Compare(st.alphaTestFunc, c.a[i], st.alphaRef)) c.live[i] = 0;
    }
  }
}
#endif

// ---- Stage 3: blend, dither, write -----------------------------------------------------------

enum class BlendKind { kNone, kAlpha, kAdd, kDarken, kScale, kGeneric };

[[maybe_unused]] BlendKind ClassifyBlend(const RenderState& st) {
  if (!st.blendEnabled) return BlendKind::kNone;
  const int s = st.srcFactor, d = st.dstFactor;
  if (s == 1 && d == 5) return BlendKind::kAlpha;   // SRC_ALPHA, ONE_MINUS_SRC_ALPHA
  if (s == 1 && d == 4) return BlendKind::kAdd;     // SRC_ALPHA, ONE
  if (s == 0 && d == 5) return BlendKind::kDarken;  // ZERO, ONE_MINUS_SRC_ALPHA
  if (s == 1 && d == 0) return BlendKind::kScale;   // SRC_ALPHA, ZERO
  return BlendKind::kGeneric;
}

// The generic stage 3 for pixel i: exactly the generic path's tail.
inline void WritePixel(const SpanTarget& target, int x, int y, uint16_t* colorRow,
                       const Chunk& c, int i) {
  const RenderState& st = target.state;
  const Argb src{c.a[i], c.r[i], c.g[i], c.b[i]};
  Argb out = src;
  if (st.blendEnabled) {
    const int pos = ((y & 3) << 2) | (x & 3);
    out = Blend(st, src, ReadDestination(target, colorRow[x], pos), 0xFF);
  }
  colorRow[x] = DitherPixel(*target.tables, st.dither, x, y, out);
}

#if GLIDE_X86
template <BlendKind kBlend>
inline __m128i BlendChannel8(__m128i s, __m128i d, __m128i sf, __m128i invA) {
  // sf = a + 1, invA = 256 - a; every product and sum fits an unsigned 16-bit lane.
  if constexpr (kBlend == BlendKind::kAlpha) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s, sf), _mm_mullo_epi16(d, invA)), 8);
  } else if constexpr (kBlend == BlendKind::kAdd) {
    return _mm_min_epi16(_mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(s, sf), 8), d), _mm_set1_epi16(255));
  } else if constexpr (kBlend == BlendKind::kDarken) {
    return _mm_srli_epi16(_mm_mullo_epi16(d, invA), 8);
  } else if constexpr (kBlend == BlendKind::kScale) {
    return _mm_srli_epi16(_mm_mullo_epi16(s, sf), 8);
  } else {
    return s;
  }
}

// v < minimum ? v : min(v + offset, 255), the dither subtraction of the destination.
inline __m128i Subtract8(__m128i v, __m128i offset, int minimum) {
  const __m128i low = _mm_cmplt_epi16(v, _mm_set1_epi16(static_cast<short>(minimum)));
  const __m128i raised = _mm_min_epi16(_mm_add_epi16(v, offset), _mm_set1_epi16(255));
  return _mm_or_si128(_mm_and_si128(low, v), _mm_andnot_si128(low, raised));
}

// Works in whole blocks of eight: lanes past n must be dead (live = 0); they read and write back
// the pixels after the span, which the buffers' padding keeps inside memory.
template <BlendKind kBlend, bool kDither, bool kSubtract>
void WriteStageSse2(const SpanTarget& target, int y, int x0, int n, const Chunk& c) {
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  const uint8_t* matrixRow = kDither4x4[y & 3];
  const int whole = (n + 7) & ~7;
  for (int i = 0; i < whole; i += 8) {
    const int x = x0 + i;
    alignas(16) int16_t d[8], subRb[8], subG[8];
    for (int k = 0; k < 8; ++k) {
      d[k] = matrixRow[(x + k) & 3];
      subRb[k] = static_cast<int16_t>((10 - d[k]) >> 1);
      subG[k] = static_cast<int16_t>((12 - d[k]) >> 2);
    }
    const __m128i live = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.live + i));
    if (_mm_movemask_epi8(live) == 0) continue;
    __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.r + i));
    __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.g + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.b + i));
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colorRow + x));
    if constexpr (kBlend != BlendKind::kNone) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c.a + i));
      const __m128i sf = _mm_add_epi16(a, _mm_set1_epi16(1));
      const __m128i invA = _mm_sub_epi16(_mm_set1_epi16(256), a);
      const __m128i r5 = _mm_srli_epi16(old, 11);
      const __m128i g6 = _mm_and_si128(_mm_srli_epi16(old, 5), _mm_set1_epi16(63));
      const __m128i b5 = _mm_and_si128(old, _mm_set1_epi16(31));
      __m128i dr = _mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2));
      __m128i dg = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
      __m128i db = _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2));
      if constexpr (kSubtract) {
        const __m128i offRb = _mm_load_si128(reinterpret_cast<const __m128i*>(subRb));
        const __m128i offG = _mm_load_si128(reinterpret_cast<const __m128i*>(subG));
        dr = Subtract8(dr, offRb, 4);
        dg = Subtract8(dg, offG, 2);
        db = Subtract8(db, offRb, 4);
      }
      r = BlendChannel8<kBlend>(r, dr, sf, invA);
      g = BlendChannel8<kBlend>(g, dg, sf, invA);
      b = BlendChannel8<kBlend>(b, db, sf, invA);
    }
    __m128i r5, g6, b5;
    if constexpr (kDither) {
      const __m128i dv = _mm_load_si128(reinterpret_cast<const __m128i*>(d));
      // (2v - (v >> 4) + (v >> 7) + d) >> 4 and (4v - (v >> 4) + (v >> 6) + d) >> 4.
      const auto rb = [&](__m128i v) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(v, 1), _mm_srli_epi16(v, 4)),
                                                          _mm_srli_epi16(v, 7)), dv), 4);
      };
      r5 = rb(r);
      b5 = rb(b);
      g6 = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4)),
                                                      _mm_srli_epi16(g, 6)), dv), 4);
    } else {
      r5 = _mm_srli_epi16(r, 3);
      g6 = _mm_srli_epi16(g, 2);
      b5 = _mm_srli_epi16(b, 3);
    }
    const __m128i pixel = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r5, 11), _mm_slli_epi16(g6, 5)), b5);
    const __m128i merged = _mm_or_si128(_mm_and_si128(live, pixel), _mm_andnot_si128(live, old));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(colorRow + x), merged);
  }
}
#endif

#if GLIDE_X86
// Dither vectors for 16 pixels: [y & 3][x & 3] gives, for pixels x .. x + 15 of row y, the
// matrix entry and the dither-subtraction offsets of red/blue and of green.
struct DitherRows {
  alignas(32) int16_t d[4][4][16];
  alignas(32) int16_t subRb[4][4][16];
  alignas(32) int16_t subG[4][4][16];
};

const DitherRows& GetDitherRows() {
  static const DitherRows rows = [] {
    DitherRows r{};
    for (int y = 0; y < 4; ++y) {
      for (int phase = 0; phase < 4; ++phase) {
        for (int k = 0; k < 16; ++k) {
          const int d = kDither4x4[y][(phase + k) & 3];
          r.d[y][phase][k] = static_cast<int16_t>(d);
          r.subRb[y][phase][k] = static_cast<int16_t>((10 - d) >> 1);
          r.subG[y][phase][k] = static_cast<int16_t>((12 - d) >> 2);
        }
      }
    }
    return r;
  }();
  return rows;
}


template <BlendKind kBlend>
GLIDE_AVX2_INLINE __m256i BlendChannel16(__m256i s, __m256i d, __m256i sf,
                                                              __m256i invA) {
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

GLIDE_AVX2_INLINE __m256i Subtract16(__m256i v, __m256i offset, int minimum) {
  const __m256i low = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(minimum)), v);
  const __m256i raised = _mm256_min_epi16(_mm256_add_epi16(v, offset), _mm256_set1_epi16(255));
  return _mm256_blendv_epi8(raised, v, low);
}

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

// Blending with the destination `old`, dither subtraction, dithering and packing of sixteen
// pixels in 16-bit lanes (colour 0..255 per lane) with the given dither lanes. Lanes hold the
// same arithmetic whether they carry sixteen pixels or eight in the low halves of 32-bit lanes.
template <BlendKind kBlend, bool kDither, bool kSubtract>
GLIDE_AVX2_INLINE __m256i Finish16(const DitherLanes& dither, __m256i r, __m256i g, __m256i b,
                                   __m256i a, __m256i old) {
  if constexpr (kBlend != BlendKind::kNone) {
    const __m256i sf = _mm256_add_epi16(a, _mm256_set1_epi16(1));
    const __m256i invA = _mm256_sub_epi16(_mm256_set1_epi16(256), a);
    const __m256i r5 = _mm256_srli_epi16(old, 11);
    const __m256i g6 = _mm256_and_si256(_mm256_srli_epi16(old, 5), _mm256_set1_epi16(63));
    const __m256i b5 = _mm256_and_si256(old, _mm256_set1_epi16(31));
    __m256i dr = _mm256_or_si256(_mm256_slli_epi16(r5, 3), _mm256_srli_epi16(r5, 2));
    __m256i dg = _mm256_or_si256(_mm256_slli_epi16(g6, 2), _mm256_srli_epi16(g6, 4));
    __m256i db = _mm256_or_si256(_mm256_slli_epi16(b5, 3), _mm256_srli_epi16(b5, 2));
    if constexpr (kSubtract) {
      dr = Subtract16(dr, dither.subRb, 4);
      dg = Subtract16(dg, dither.subG, 2);
      db = Subtract16(db, dither.subRb, 4);
    }
    r = BlendChannel16<kBlend>(r, dr, sf, invA);
    g = BlendChannel16<kBlend>(g, dg, sf, invA);
    b = BlendChannel16<kBlend>(b, db, sf, invA);
  } else {
    (void)a;
    (void)old;
  }
  __m256i r5, g6, b5;
  if constexpr (kDither) {
    const __m256i dv = dither.d;
    r5 = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(_mm256_slli_epi16(r, 1), _mm256_srli_epi16(r, 4)), _mm256_srli_epi16(r, 7)), dv), 4);
    b5 = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(_mm256_slli_epi16(b, 1), _mm256_srli_epi16(b, 4)), _mm256_srli_epi16(b, 7)), dv), 4);
    g6 = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(_mm256_slli_epi16(g, 2), _mm256_srli_epi16(g, 4)), _mm256_srli_epi16(g, 6)), dv), 4);
  } else {
    r5 = _mm256_srli_epi16(r, 3);
    g6 = _mm256_srli_epi16(g, 2);
    b5 = _mm256_srli_epi16(b, 3);
  }
  return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(r5, 11), _mm256_slli_epi16(g6, 5)), b5);
}

// The SSE2 stage on sixteen lanes; lanes past n must be dead and may reach 15 pixels past the
// span (inside the buffers' padding).
template <BlendKind kBlend, bool kDither, bool kSubtract>
__attribute__((target("avx2"))) void WriteStageAvx2(const SpanTarget& target, int y, int x0,
                                                    int n, const Chunk& c) {
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  const DitherRows& rows = GetDitherRows();
  const int whole = (n + 15) & ~15;
  for (int i = 0; i < whole; i += 16) {
    const int x = x0 + i;
    const __m256i live = Load256(c.live + i);
    if (_mm256_testz_si256(live, live)) continue;
    const __m256i old = Load256(colorRow + x);
    const __m256i pixel = Finish16<kBlend, kDither, kSubtract>(
        DitherAt(rows, y, x), Load256(c.r + i), Load256(c.g + i), Load256(c.b + i), Load256(c.a + i), old);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(colorRow + x), _mm256_blendv_epi8(old, pixel, live));
  }
}

#endif

void WriteStageScalar(const SpanTarget& target, int y, int x0, int n, const Chunk& c) {
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  for (int i = 0; i < n; ++i) {
    if (c.live[i]) WritePixel(target, x0 + i, y, colorRow, c, i);
  }
}

using WriteFn = void (*)(const SpanTarget& target, int y, int x0, int n, const Chunk& c);

#if GLIDE_X86
template <BlendKind kBlend>
WriteFn PickWrite(bool dither, bool subtract, bool avx2) {
  if (avx2) {
    if (dither) {
      return subtract ? WriteStageAvx2<kBlend, true, true> : WriteStageAvx2<kBlend, true, false>;
    }
    return WriteStageAvx2<kBlend, false, false>;
  }
  if (dither) {
    return subtract ? WriteStageSse2<kBlend, true, true> : WriteStageSse2<kBlend, true, false>;
  }
  return WriteStageSse2<kBlend, false, false>;
}
#endif

WriteFn ChooseWrite(const RenderState& st, SimdLevel level) {
#if GLIDE_X86
  if (st.dither == DitherMode::k2x2 || level == SimdLevel::kNone) return WriteStageScalar;
  const bool dither = st.dither == DitherMode::k4x4;
  const bool avx2 = level == SimdLevel::kAvx2;
  switch (ClassifyBlend(st)) {
    case BlendKind::kNone: return PickWrite<BlendKind::kNone>(dither, false, avx2);
    case BlendKind::kAlpha: return PickWrite<BlendKind::kAlpha>(dither, st.ditherSubtract, avx2);
    case BlendKind::kAdd: return PickWrite<BlendKind::kAdd>(dither, st.ditherSubtract, avx2);
    case BlendKind::kDarken: return PickWrite<BlendKind::kDarken>(dither, st.ditherSubtract, avx2);
    case BlendKind::kScale: return PickWrite<BlendKind::kScale>(dither, st.ditherSubtract, avx2);
    default: return WriteStageScalar;
  }
#else
  (void)st;
  (void)level;
  return WriteStageScalar;
#endif
}

#if GLIDE_X86
// ---- Short spans in one pass ----------------------------------------------------------------
//
// A span of up to eight pixels (small triangles) with AVX2 shading: perspective, depth test,
// texture and combine stay in registers for one block of eight lanes, lanes past the span dead;
// then the write stage and a masked depth write. The same operations in the same order as the
// chunked path, without its per-row set-up: no chunk-wide perspective pass, no per-pixel loops.
// Reads and writes back (unchanged) up to seven depth values after the span, inside the buffers'
// padding. Returns false, having drawn nothing, where the chunked path must do it (iterated
// colour that could leave 32 bits). Longer spans are cheaper per pixel through the chunked
// path's sixteen-lane shading.
constexpr int kShortSpan = 8;

// Eight 32-bit lanes (0..0xFFFF) to sixteen uint16: the eight in order, then eight zeros.
GLIDE_AVX2_INLINE void StoreHalf16(uint16_t* out, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_permute4x64_epi64(_mm256_packus_epi32(v, _mm256_setzero_si256()), 0xD8));
}

template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
__attribute__((target("avx2"))) bool ShortSpanAvx2(const SpanTarget& target, const Gradients& g,
                                                   int y, int x0, int n, WriteFn write) {
  const RenderState& st = target.state;
  const int iy = y - g.ya;
  const int ix0 = x0 - g.xa;
  int64_t starts[4];
  for (int k = 0; k < 4; ++k) {
    starts[k] = g.rgba[k] + ix0 * g.drgbaDx[k] + iy * g.drgbaDy[k];
    if (!Fits32(starts[k], g.drgbaDx[k])) return false;
  }
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), lanes);

  // Perspective, as PerspectiveAvx2 computes it.
  const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(ix0), lanes));
  const __m256 w = _mm256_add_ps(_mm256_set1_ps(g.w + static_cast<float>(iy) * g.dwDy),
                                 _mm256_mul_ps(fx, _mm256_set1_ps(g.dwDx)));

  // Depth.
  uint16_t* auxSpan = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0;
  __m256i depth = _mm256_setzero_si256(), stored = _mm256_setzero_si256();
  if constexpr (kDepth >= 0) {
    depth = WDepth8(w);
    stored = Load16(auxSpan);
    if constexpr (kDepth == GR_CMP_LESS) {
      live = _mm256_and_si256(live, _mm256_cmpgt_epi32(stored, depth));
    } else if constexpr (kDepth == GR_CMP_LEQUAL) {
      live = _mm256_andnot_si256(_mm256_cmpgt_epi32(depth, stored), live);
    } else {
      static_assert(kDepth == GR_CMP_ALWAYS, "only LESS, LEQUAL and ALWAYS are specialised");
    }
    if (_mm256_testz_si256(live, live)) return true;
  }

  const __m256 inv = _mm256_div_ps(_mm256_set1_ps(1.0f), w);
  const __m256 scale = _mm256_set1_ps(256.0f);
  const __m256 sw = _mm256_add_ps(_mm256_set1_ps(g.s + static_cast<float>(iy) * g.dsDy),
                                  _mm256_mul_ps(fx, _mm256_set1_ps(g.dsDx)));
  const __m256 tw = _mm256_add_ps(_mm256_set1_ps(g.t + static_cast<float>(iy) * g.dtDy),
                                  _mm256_mul_ps(fx, _mm256_set1_ps(g.dtDx)));
  const __m256i positive = _mm256_castps_si256(_mm256_cmp_ps(w, _mm256_setzero_ps(), _CMP_GT_OQ));
  const __m256i s = _mm256_and_si256(SafeTrunc8(_mm256_mul_ps(_mm256_mul_ps(sw, inv), scale)), positive);
  const __m256i t = _mm256_and_si256(SafeTrunc8(_mm256_mul_ps(_mm256_mul_ps(tw, inv), scale)), positive);
  const Taps tex = Sample8<kTex, kBilinear>(target, s, t);

  Taps it;
  __m256i* channels[4] = {&it.r, &it.g, &it.b, &it.a};
  for (int k = 0; k < 4; ++k) {
    *channels[k] = Channel8(_mm256_add_epi32(
        _mm256_set1_epi32(static_cast<int32_t>(starts[k])),
        _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int32_t>(g.drgbaDx[k])))));
  }
  const Taps out = Combine8<kCombine>(tex, it);
  if (st.chromaKey) {
    const __m256i other = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi32(tex.r, 16), _mm256_slli_epi32(tex.g, 8)), tex.b);
    live = _mm256_andnot_si256(
        _mm256_cmpeq_epi32(other, _mm256_set1_epi32(static_cast<int>(st.chromaValue))), live);
  }

  // Eight lanes to the chunk's first sixteen (the upper eight zero, so dead).
  Chunk c;
  StoreHalf16(c.r, out.r);
  StoreHalf16(c.g, out.g);
  StoreHalf16(c.b, out.b);
  StoreHalf16(c.a, out.a);
  if (st.alphaTestFunc != GR_CMP_ALWAYS) {
    alignas(32) int32_t mask[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(mask), live);
    for (int i = 0; i < n; ++i) {
      if (!Compare(st.alphaTestFunc, c.a[i], st.alphaRef)) mask[i] = 0;
    }
    live = _mm256_load_si256(reinterpret_cast<const __m256i*>(mask));
  }
  StoreHalf16(c.live, _mm256_and_si256(live, _mm256_set1_epi32(0xFFFF)));
  write(target, y, x0, n, c);
  if (kDepth >= 0 && st.depthMask) {
    const __m256i merged = _mm256_blendv_epi8(stored, depth, live);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(merged, merged), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(auxSpan), _mm256_castsi256_si128(packed));
  }
  return true;
}
#endif

}  // namespace
}  // namespace glide
