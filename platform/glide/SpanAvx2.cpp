// The AVX2 row span for the textured states the scenes use (DECAL texture combine, one of the
// lane combines): a span of up to eight pixels in one pass of eight lanes, a longer one in
// chunks (perspective, depth, then sixteen pixels at a time of texture and combine); and the
// sixteen-lane write stage every specialised path uses at AVX2. The same operations in the same
// order as the scalar stages (SpanScalar.cpp), held to them bit for bit by the agreement tests.
#include "SpanAvx2.h"

#if GLIDE_X86
#include <algorithm>
#include <cstring>

namespace glide {

GLIDE_AVX2 void PerspectiveAvx2(const Gradients& g, const RowStart& row, int ix0, int n,
                                bool textured, Chunk& c) {
  // Whole blocks of the AVX2 shading's step (eight for spans up to eight pixels, else sixteen):
  // lanes past n land inside the chunk's arrays and are never used.
  const int whole = n <= 8 ? 8 : (n + 15) & ~15;
  const __m256 ds = _mm256_set1_ps(g.dsDx), dt = _mm256_set1_ps(g.dtDx);
  const __m256 s0 = _mm256_set1_ps(row.s), t0 = _mm256_set1_ps(row.t);
  if (g.dwDx == 0.0f) {
    // 1/W the same along the row (screen-aligned quads and sprites): w0 + x * 0 is w0 but for
    // the sign of a zero W, which neither the depth nor the coordinates tell apart (both treat
    // every W that is not positive alike), so one division serves the chunk.
    const __m256 w = _mm256_set1_ps(row.w);
    const Reciprocal8 reciprocal = PerspectiveReciprocal8(w);
    // With t the same along the row as well (screen-aligned quads), t too is computed once, by
    // the same argument.
    const bool sameT = g.dtDx == 0.0f;
    __m256i s, t;
    if (sameT) t = TexelCoordinate8(t0, reciprocal);
    for (int i = 0; i < whole; i += 8) {
      _mm256_store_ps(c.w + i, w);
      if (!textured) continue;
      const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(ix0 + i), Lanes8()));
      if (sameT) {
        s = TexelCoordinate8(_mm256_add_ps(s0, _mm256_mul_ps(fx, ds)), reciprocal);
      } else {
        TexelCoordinates8(_mm256_add_ps(s0, _mm256_mul_ps(fx, ds)), _mm256_add_ps(t0, _mm256_mul_ps(fx, dt)),
                          reciprocal, s, t);
      }
      _mm256_store_si256(reinterpret_cast<__m256i*>(c.s + i), s);
      _mm256_store_si256(reinterpret_cast<__m256i*>(c.t + i), t);
    }
    return;
  }
  const __m256 dw = _mm256_set1_ps(g.dwDx), w0 = _mm256_set1_ps(row.w);
  for (int i = 0; i < whole; i += 8) {
    const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(ix0 + i), Lanes8()));
    const __m256 w = _mm256_add_ps(w0, _mm256_mul_ps(fx, dw));
    _mm256_store_ps(c.w + i, w);
    if (!textured) continue;
    __m256i s, t;
    TexelCoordinates8(_mm256_add_ps(s0, _mm256_mul_ps(fx, ds)), _mm256_add_ps(t0, _mm256_mul_ps(fx, dt)), w, s, t);
    _mm256_store_si256(reinterpret_cast<__m256i*>(c.s + i), s);
    _mm256_store_si256(reinterpret_cast<__m256i*>(c.t + i), t);
  }
}

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

namespace {

// ---- The write stage --------------------------------------------------------------------------

// Sixteen lanes at a time; lanes past n must be dead and may reach kSpanOverrun pixels past the
// span (inside the buffers' padding).
template <BlendKind kBlend, bool kDither, bool kSubtract>
GLIDE_AVX2 void WriteStageAvx2(const SpanTarget& target, int y, int x0, int n, const Chunk& c) {
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  const DitherRows& rows = GetDitherRows();
  const int whole = (n + 15) & ~15;
  for (int i = 0; i < whole; i += 16) {
    const int x = x0 + i;
    const __m256i live = Load256(c.live + i);
    if (_mm256_testz_si256(live, live)) continue;
    const __m256i r = Load256(c.r + i), g = Load256(c.g + i), b = Load256(c.b + i), a = Load256(c.a + i);
    if (AddsNothing16<kBlend, kDither, kSubtract>(r, g, b, a, live)) continue;
    const __m256i old = Load256(colorRow + x);
    const __m256i pixel = Finish16<kBlend, kDither, kSubtract>(DitherAt(rows, y, x), r, g, b, a, old);
    Store256(colorRow + x, _mm256_blendv_epi8(old, pixel, live));
  }
}

}  // namespace

WriteFn PickWriteAvx2(const WriteKey& key) {
  return ForWriteKey(key, [](auto blend, auto dither, auto subtract) -> WriteFn {
    return WriteStageAvx2<blend, dither, subtract>;
  });
}

SpanFn PickSpanAvx2(const SpanKey& key) {
  switch (key.tex) {
    case Tex::kLut8: return PickSpanAvx2Lut8(key);
    case Tex::k565: return PickSpanAvx2Rgb565(key);
    case Tex::k4444: return PickSpanAvx2Argb4444(key);
    default: return nullptr;
  }
}

}  // namespace glide

#endif
