// The SSE2 stages of the chunked span path: perspective four pixels at a time, and blending,
// dither subtraction, dithering and the write eight pixels at a time (16-bit lanes). Each
// computes exactly what the scalar stages compute.
#include "SpanInternal.h"

#if GLIDE_X86
#include <emmintrin.h>

namespace glide {

namespace {

// SafeTrunc on four lanes: max/min pick the second operand for NaN exactly as SafeTrunc does.
inline __m128i SafeTrunc4(__m128 v) {
  const __m128 limit = _mm_set1_ps(1073741824.0f);
  v = _mm_max_ps(v, _mm_sub_ps(_mm_setzero_ps(), limit));
  v = _mm_min_ps(v, limit);
  return _mm_cvttps_epi32(v);
}

}  // namespace

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

namespace {

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

// RGB565 pixels to channels 0..255 by bit replication, eight 16-bit lanes.
struct Rgb8x16 {
  __m128i r, g, b;
};

inline Rgb8x16 Expand565(__m128i pixel) {
  const __m128i r5 = _mm_srli_epi16(pixel, 11);
  const __m128i g6 = _mm_and_si128(_mm_srli_epi16(pixel, 5), _mm_set1_epi16(63));
  const __m128i b5 = _mm_and_si128(pixel, _mm_set1_epi16(31));
  return {_mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2)),
          _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4)),
          _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2))};
}

// The dither matrix entries and subtraction offsets of eight pixels from column x of row y.
struct Dither8 {
  alignas(16) int16_t d[8], subRb[8], subG[8];
};

inline void FillDither8(const uint8_t* matrixRow, int x, Dither8& out) {
  for (int k = 0; k < 8; ++k) {
    out.d[k] = matrixRow[(x + k) & 3];
    out.subRb[k] = static_cast<int16_t>((10 - out.d[k]) >> 1);
    out.subG[k] = static_cast<int16_t>((12 - out.d[k]) >> 2);
  }
}

inline __m128i Load8x16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// Blending with the destination `old`, dither subtraction, dithering and packing of eight
// pixels (colour 0..255 per lane).
template <BlendKind kBlend, bool kDither, bool kSubtract>
inline __m128i Finish8(const Dither8& dither, __m128i r, __m128i g, __m128i b, __m128i a,
                       __m128i old) {
  if constexpr (kBlend != BlendKind::kNone) {
    const __m128i sf = _mm_add_epi16(a, _mm_set1_epi16(1));
    const __m128i invA = _mm_sub_epi16(_mm_set1_epi16(256), a);
    Rgb8x16 dst = Expand565(old);
    if constexpr (kSubtract) {
      const __m128i offRb = _mm_load_si128(reinterpret_cast<const __m128i*>(dither.subRb));
      const __m128i offG = _mm_load_si128(reinterpret_cast<const __m128i*>(dither.subG));
      dst = {Subtract8(dst.r, offRb, 4), Subtract8(dst.g, offG, 2), Subtract8(dst.b, offRb, 4)};
    }
    r = BlendChannel8<kBlend>(r, dst.r, sf, invA);
    g = BlendChannel8<kBlend>(g, dst.g, sf, invA);
    b = BlendChannel8<kBlend>(b, dst.b, sf, invA);
  }
  __m128i r5, g6, b5;
  if constexpr (kDither) {
    const __m128i dv = _mm_load_si128(reinterpret_cast<const __m128i*>(dither.d));
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
  return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r5, 11), _mm_slli_epi16(g6, 5)), b5);
}

// Works in whole blocks of eight: lanes past n must be dead (live = 0); they read and write back
// the pixels after the span, inside the buffers' padding (kSpanOverrun).
template <BlendKind kBlend, bool kDither, bool kSubtract>
void WriteStageSse2(const SpanTarget& target, int y, int x0, int n, const Chunk& c) {
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  const uint8_t* matrixRow = kDither4x4[y & 3];
  const int whole = (n + 7) & ~7;
  for (int i = 0; i < whole; i += 8) {
    const int x = x0 + i;
    Dither8 dither;
    FillDither8(matrixRow, x, dither);
    const __m128i live = Load8x16(c.live + i);
    if (_mm_movemask_epi8(live) == 0) continue;
    const __m128i old = Load8x16(colorRow + x);
    const __m128i a = kBlend != BlendKind::kNone ? Load8x16(c.a + i) : _mm_setzero_si128();
    const __m128i pixel = Finish8<kBlend, kDither, kSubtract>(dither, Load8x16(c.r + i), Load8x16(c.g + i),
                                                              Load8x16(c.b + i), a, old);
    const __m128i merged = _mm_or_si128(_mm_and_si128(live, pixel), _mm_andnot_si128(live, old));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(colorRow + x), merged);
  }
}

}  // namespace

WriteFn PickWriteSse2(const WriteKey& key) {
  return ForWriteKey(key, [](auto blend, auto dither, auto subtract) -> WriteFn {
    return WriteStageSse2<blend, dither, subtract>;
  });
}

}  // namespace glide

#endif
