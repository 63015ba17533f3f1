// The small-triangle batch path's templates (see SpanAvx2Batch.cpp): each texture format's unit
// (SpanAvx2Lut8.cpp, SpanAvx2Rgb565.cpp, SpanAvx2Argb4444.cpp) instantiates its own shading pass;
// SpanAvx2Batch.cpp instantiates the write pass. Internal to the span units.
#pragma once

#include "SpanAvx2.h"

#if GLIDE_X86
#include <algorithm>
#include <climits>

namespace glide {

struct alignas(32) Packed {
  // Slack after the last pixel: the packing stores whole blocks of eight coordinates and the
  // write pass reads whole blocks of sixteen results.
  static constexpr int kSize = kBatchMaxPixels + 32;
  int32_t x[kSize];
  int32_t y[kSize];
  uint16_t r[kSize], g[kSize], b[kSize], a[kSize];
  uint16_t live[kSize];  // 0xFFFF: passed the chroma key and the alpha test
  uint16_t depth[kSize];
  int start[kBatchMaxRows];  // the first packed pixel of each row
};

namespace {

GLIDE_AVX2_INLINE __m256i Load256i(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Eight lanes' pixel offsets from vertex A, 1/W and the texel coordinates.
struct LaneSetup {
  __m256i ix, iy;
  __m256 w;
  __m256i s, t;
};

// What packing learns of a triangle: its pixel count and its colour iterators in 32 bits.
struct BatchLayout {
  int total = 0;
  int32_t start32[4], dx32[4], dy32[4];
  bool flat = false;  // flat colour and alpha (the objects' usual case)
  Taps16 flatColour;  // then the same channels at every pixel
};

// A triangle's plane equations broadcast to eight lanes; colour iterators from the layout.
struct PackedGradients {
  __m256i xa, ya;
  __m256 w0, dwDx, dwDy, s0, dsDx, dsDy, t0, dtDx, dtDy;
  const BatchLayout& layout;
  // 1/W the same at every pixel (sprites and screen-aligned quads): w0 + x * 0 + y * 0 is w0
  // but for the sign of a zero W, which neither the depth nor the coordinates tell apart, so
  // the division and the depth are the triangle's, once.
  bool flatW;
  Reciprocal8 reciprocal{};
  __m256i depth16{};

  GLIDE_AVX2_INLINE PackedGradients(const Gradients& g, const BatchLayout& batch)
      : xa(_mm256_set1_epi32(g.xa)), ya(_mm256_set1_epi32(g.ya)),
        w0(_mm256_set1_ps(g.w)), dwDx(_mm256_set1_ps(g.dwDx)), dwDy(_mm256_set1_ps(g.dwDy)),
        s0(_mm256_set1_ps(g.s)), dsDx(_mm256_set1_ps(g.dsDx)), dsDy(_mm256_set1_ps(g.dsDy)),
        t0(_mm256_set1_ps(g.t)), dtDx(_mm256_set1_ps(g.dtDx)), dtDy(_mm256_set1_ps(g.dtDy)),
        layout(batch), flatW(g.dwDx == 0.0f && g.dwDy == 0.0f) {
    if (flatW) {
      reciprocal = PerspectiveReciprocal8(w0);
      const __m256i depth = WDepth8(w0);
      depth16 = Pack16(depth, depth);
    }
  }

  // Iterated channel k (0..255) at each lane's pixel, in 32-bit wrapping arithmetic.
  GLIDE_AVX2_INLINE __m256i Iterated(int k, const LaneSetup& l) const {
    return Channel8(_mm256_add_epi32(
        _mm256_add_epi32(_mm256_set1_epi32(layout.start32[k]),
                         _mm256_mullo_epi32(l.ix, _mm256_set1_epi32(layout.dx32[k]))),
        _mm256_mullo_epi32(l.iy, _mm256_set1_epi32(layout.dy32[k]))));
  }
};

// (start + row * dy) + column * dx per lane, as the rows' perspective stage computes it, then
// the perspective division.
GLIDE_AVX2_INLINE LaneSetup SetUpLanes(const PackedGradients& pg, __m256i x, __m256i y) {
  LaneSetup l;
  l.ix = _mm256_sub_epi32(x, pg.xa);
  l.iy = _mm256_sub_epi32(y, pg.ya);
  const __m256 fx = _mm256_cvtepi32_ps(l.ix), fy = _mm256_cvtepi32_ps(l.iy);
  const __m256 sw = _mm256_add_ps(_mm256_add_ps(pg.s0, _mm256_mul_ps(fy, pg.dsDy)), _mm256_mul_ps(fx, pg.dsDx));
  const __m256 tw = _mm256_add_ps(_mm256_add_ps(pg.t0, _mm256_mul_ps(fy, pg.dtDy)), _mm256_mul_ps(fx, pg.dtDx));
  if (pg.flatW) {
    l.w = pg.w0;
    TexelCoordinates8(sw, tw, pg.reciprocal, l.s, l.t);
    return l;
  }
  l.w = _mm256_add_ps(_mm256_add_ps(pg.w0, _mm256_mul_ps(fy, pg.dwDy)), _mm256_mul_ps(fx, pg.dwDx));
  TexelCoordinates8(sw, tw, l.w, l.s, l.t);
  return l;
}

// ---- The write pass ---------------------------------------------------------------------------
//
// Per row, sixteen pixels at a time, the depth test against the buffer (the triangle's own
// pixels never overlap, so testing after shading sees the same values), then blending,
// dithering and both writes. Two consecutive rows of at most eight pixels each (most rows of a
// small triangle) share one sixteen-lane step, a row in each half. Lanes past a row's end are
// dead; like the row paths' write stage they read and write back up to kSpanOverrun pixels past
// it, inside the buffers' padding.

// Sixteen 16-bit lanes from two places: eight from `lo`, eight from `hi`.
GLIDE_AVX2_INLINE __m256i Load2x8(const uint16_t* lo, const uint16_t* hi) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(hi), reinterpret_cast<const __m128i*>(lo));
}

GLIDE_AVX2_INLINE void Store2x8(uint16_t* lo, uint16_t* hi, __m256i v) {
  _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(hi), reinterpret_cast<__m128i*>(lo), v);
}

GLIDE_AVX2_INLINE ptrdiff_t RowOffset(const SpanTarget& target, const SpanRow& row) {
  return static_cast<ptrdiff_t>(row.y) * target.stride + row.x0;
}

// Rows r and r + 1 (at most eight pixels each) in one step, a row in each half.
template <BlendKind kBlend, bool kDither, bool kSubtract, int kDepth>
GLIDE_AVX2_INLINE void WriteRowPair(const SpanTarget& target, const DitherRows& dither, const SpanRow& row0,
                                    const SpanRow& row1, int k0, int k1, const Packed& p) {
  const __m256i halfLanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
  const ptrdiff_t at0 = RowOffset(target, row0), at1 = RowOffset(target, row1);
  const short n0 = static_cast<short>(row0.x1 - row0.x0), n1 = static_cast<short>(row1.x1 - row1.x0);
  __m256i live = _mm256_and_si256(
      Load2x8(p.live + k0, p.live + k1),
      _mm256_cmpgt_epi16(_mm256_set_m128i(_mm_set1_epi16(n1), _mm_set1_epi16(n0)), halfLanes));
  __m256i depth = _mm256_setzero_si256(), stored = _mm256_setzero_si256();
  if constexpr (kDepth != kNoDepth) {
    depth = Load2x8(p.depth + k0, p.depth + k1);
    stored = Load2x8(target.aux + at0, target.aux + at1);
    live = DepthTest16<kDepth>(live, depth, stored);
  }
  if (_mm256_testz_si256(live, live)) return;
  const __m256i r = Load2x8(p.r + k0, p.r + k1), g = Load2x8(p.g + k0, p.g + k1), b = Load2x8(p.b + k0, p.b + k1),
                a = Load2x8(p.a + k0, p.a + k1);
  if (!AddsNothing16<kBlend, kDither, kSubtract>(r, g, b, a, live)) {
    const __m256i old = Load2x8(target.color + at0, target.color + at1);
    const __m256i pixel =
        Finish16<kBlend, kDither, kSubtract>(DitherAt(dither, row0.y, row0.x0, row1.y, row1.x0), r, g, b, a, old);
    Store2x8(target.color + at0, target.color + at1, _mm256_blendv_epi8(old, pixel, live));
  }
  if (kDepth != kNoDepth && target.state.depthMask) {
    Store2x8(target.aux + at0, target.aux + at1, _mm256_blendv_epi8(stored, depth, live));
  }
}

// One row, sixteen pixels at a time; its packed pixels start at k.
template <BlendKind kBlend, bool kDither, bool kSubtract, int kDepth>
GLIDE_AVX2_INLINE void WriteRow(const SpanTarget& target, const DitherRows& dither, const SpanRow& row, int k,
                                const Packed& p) {
  const __m256i lanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const ptrdiff_t at = RowOffset(target, row);
  const int n = row.x1 - row.x0;
  for (int i = 0; i < n; i += 16) {
    uint16_t* color = target.color + at + i;
    uint16_t* aux = target.aux + at + i;
    __m256i live = _mm256_and_si256(Load256(p.live + k + i),
                                    _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(n - i)), lanes));
    __m256i depth = _mm256_setzero_si256(), stored = _mm256_setzero_si256();
    if constexpr (kDepth != kNoDepth) {
      depth = Load256(p.depth + k + i);
      stored = Load256(aux);
      live = DepthTest16<kDepth>(live, depth, stored);
    }
    if (_mm256_testz_si256(live, live)) continue;
    const __m256i r = Load256(p.r + k + i), g = Load256(p.g + k + i), b = Load256(p.b + k + i),
                  a = Load256(p.a + k + i);
    if (!AddsNothing16<kBlend, kDither, kSubtract>(r, g, b, a, live)) {
      const __m256i old = Load256(color);
      const __m256i pixel = Finish16<kBlend, kDither, kSubtract>(DitherAt(dither, row.y, row.x0 + i), r, g, b, a, old);
      Store256(color, _mm256_blendv_epi8(old, pixel, live));
    }
    if (kDepth != kNoDepth && target.state.depthMask) Store256(aux, _mm256_blendv_epi8(stored, depth, live));
  }
}

template <BlendKind kBlend, bool kDither, bool kSubtract, int kDepth>
GLIDE_AVX2 void RowsWriteAvx2(const SpanTarget& target, const SpanRow* rows, int count, const Packed& p) {
  const DitherRows& dither = GetDitherRows();
  for (int r = 0; r < count; ++r) {
    const auto width = [](const SpanRow& row) { return row.x1 - row.x0; };
    if (width(rows[r]) <= 8 && r + 1 < count && width(rows[r + 1]) <= 8) {
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

// Packs each row's columns and its row number, eight lanes per store, and checks the colour
// iterators. False where the triangle must go row by row.
GLIDE_AVX2_INLINE bool PackRows(const SpanRow* rows, int count, const Gradients& g, Packed& p,
                                BatchLayout& layout) {
  if (count <= 0 || count > kBatchMaxRows) return count == 0;
  int total = 0;
  Box box;
  __m256i lastX = _mm256_setzero_si256(), lastY = _mm256_setzero_si256();
  for (int r = 0; r < count; ++r) {
    const SpanRow& row = rows[r];
    const int n = row.x1 - row.x0;
    if (n > kBatchMaxPixels - total) return false;
    p.start[r] = total;
    box = {std::min(box.minX, row.x0), std::max(box.maxX, row.x1 - 1), std::min(box.minY, row.y),
           std::max(box.maxY, row.y)};
    lastY = _mm256_set1_epi32(row.y);
    for (int k = 0; k < n; k += 8) {
      lastX = _mm256_add_epi32(_mm256_set1_epi32(row.x0 + k), Lanes8());
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p.x + total + k), lastX);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p.y + total + k), lastY);
    }
    total += n;
  }
  layout.total = total;
  if (total == 0) return true;
  // Lanes of the last block past the last pixel: a real pixel's coordinates (their results are
  // dead).
  for (int k = total; k < total + 16; k += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p.x + k), lastX);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p.y + k), lastY);
  }
  if (!Iterators32(g, box, layout)) return false;
  short channel[4];
  for (int k = 0; k < 4; ++k) channel[k] = static_cast<short>(IteratedChannel(layout.start32[k]));
  layout.flatColour = {_mm256_set1_epi16(channel[0]), _mm256_set1_epi16(channel[1]),
                       _mm256_set1_epi16(channel[2]), _mm256_set1_epi16(channel[3])};
  return true;
}

// Sixteen dead, defined lanes after the last block for the write pass's whole blocks.
GLIDE_AVX2_INLINE void FinishPacked(Packed& p, int total) {
  const int end = (total + 15) & ~15;
  const __m256i zero = _mm256_setzero_si256();
  for (uint16_t* array : {p.r, p.g, p.b, p.a, p.live, p.depth}) Store256(array + end, zero);
}

// ---- Shading ------------------------------------------------------------------------------------

// Texture, iterated colour and depth of packed pixels i .. i + 15 in 16-bit lanes (packus
// order). A last block of at most eight pixels is set up and sampled once and its eight results
// doubled into both halves (the second copy lands past the last pixel, dead).
template <Tex kTex, bool kBilinear, bool kDepth>
GLIDE_AVX2_INLINE void SampleBlock(const SpanTarget& target, const PackedGradients& pg, int i, int left, Packed& p,
                                   Taps16& tex, Taps16& it) {
  const LaneSetup lo = SetUpLanes(pg, Load256i(p.x + i), Load256i(p.y + i));
  it = pg.layout.flatColour;
  if (left <= 8) {
    if constexpr (kDepth) {
      const __m256i depth = pg.flatW ? pg.depth16 : Pack16(WDepth8(lo.w), WDepth8(lo.w));
      Store256(p.depth + i, Natural16(depth));
    }
    const Taps t8 = Sample8<kTex, kBilinear>(target, lo.s, lo.t);
    tex = {Pack16(t8.r, t8.r), Pack16(t8.g, t8.g), Pack16(t8.b, t8.b), Pack16(t8.a, t8.a)};
    if (pg.layout.flat) return;
    const __m256i r = pg.Iterated(0, lo), g = pg.Iterated(1, lo), b = pg.Iterated(2, lo), a = pg.Iterated(3, lo);
    it = {Pack16(r, r), Pack16(g, g), Pack16(b, b), Pack16(a, a)};
    return;
  }
  const LaneSetup hi = SetUpLanes(pg, Load256i(p.x + i + 8), Load256i(p.y + i + 8));
  if constexpr (kDepth) {
    Store256(p.depth + i, pg.flatW ? pg.depth16 : Natural16(Pack16(WDepth8(lo.w), WDepth8(hi.w))));
  }
  tex = Sample16<kTex, kBilinear>(target, lo.s, hi.s, lo.t, hi.t);
  if (pg.layout.flat) return;
  it = {Pack16(pg.Iterated(0, lo), pg.Iterated(0, hi)), Pack16(pg.Iterated(1, lo), pg.Iterated(1, hi)),
        Pack16(pg.Iterated(2, lo), pg.Iterated(2, hi)), Pack16(pg.Iterated(3, lo), pg.Iterated(3, hi))};
}

// The first pass: packing and shading (see the top of this file).
template <Tex kTex, bool kBilinear, Combine kCombine, bool kDepth>
GLIDE_AVX2 bool BatchAvx2(const SpanTarget& target, const Gradients& g, const SpanRow* rows, int count) {
  alignas(32) Packed p;  // only what is written is read
  BatchLayout layout;
  if (!PackRows(rows, count, g, p, layout)) return false;
  const int total = layout.total;
  if (total == 0) return true;
  const RenderState& st = target.state;
  const PackedGradients pg(g, layout);
  const ChromaKey16 key = MakeChromaKey16(st.chromaValue);
  const __m256i alphaRef = _mm256_set1_epi16(static_cast<short>(st.alphaRef));
  const __m256i word = _mm256_set1_epi32(0xFFFF);
  for (int i = 0; i < total; i += 16) {
    Taps16 tex, it;
    SampleBlock<kTex, kBilinear, kDepth>(target, pg, i, total - i, p, tex, it);
    const Taps16 out = Combine16<kCombine>(tex, it);
    __m256i live = Pack16(_mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(total - i), Lanes8()), word),
                          _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(total - i - 8), Lanes8()), word));
    if (st.chromaKey) live = _mm256_andnot_si256(ChromaKeyed16(tex, key), live);
    if (st.alphaTestFunc != CompareFunc::kAlways) live = _mm256_and_si256(live, AlphaPass<Ops16>(st.alphaTestFunc, out.a, alphaRef));
    Store256(p.r + i, Natural16(out.r));
    Store256(p.g + i, Natural16(out.g));
    Store256(p.b + i, Natural16(out.b));
    Store256(p.a + i, Natural16(out.a));
    Store256(p.live + i, Natural16(live));
  }
  FinishPacked(p, total);
  target.stages.rowsWrite(target, rows, count, p);
  return true;
}

}  // namespace

// The batch shading pass for the key, if its texture format is kTex and its combine a lane
// combine.
template <Tex kTex>
BatchFn PickBatchAvx2For(const SpanKey& key) {
  return ForSpanKey(key, [](auto tex, auto bilinear, auto combine, auto depth) -> BatchFn {
    if constexpr (tex == kTex && LaneCombine(combine)) {
      return BatchAvx2<tex, bilinear, combine, depth != kNoDepth>;
    } else {
      return nullptr;
    }
  });
}

}  // namespace glide

#endif
