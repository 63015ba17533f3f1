// Small triangles in one pass (SpanFast.cpp, its only includer). A small triangle has about ten
// rows of a few pixels each; shading them row by row leaves most of every eight-lane block idle
// and pays a row's set-up ten times. Here all the triangle's pixels are packed into one list
// across rows and shaded sixteen lanes at a time, each lane carrying its own column and row:
// perspective, texture, colour iterators, combine, chroma key and alpha test, into 16-bit
// arrays. A second pass then goes row by row over the packed results with sixteen-lane loads of
// the destination: depth test, blending, dithering, and the colour and depth writes.
//
// Every lane computes what the row paths compute for its pixel, with the same float operations
// in the same order (the agreement tests hold the two to it bit for bit). Colour iterators are
// evaluated in 32-bit lanes, exact when the triangle's values all fit 32 bits, which one check
// at the corners of its bounding box decides (the iterators are linear); otherwise, or for more
// pixels than the pack holds, the caller draws the rows one by one.
#pragma once

#include <climits>

#include "SpanStages.h"

namespace glide {
namespace {

#if GLIDE_X86

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

GLIDE_AVX2_INLINE __m256i Load256i(const int32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

using RowsWriteFn = void (*)(const SpanTarget& target, const SpanRow* rows, int count,
                             const Packed& p);

// The alpha test on sixteen 16-bit lanes of 0..255.
GLIDE_AVX2_INLINE __m256i AlphaTest16(int func, __m256i a, __m256i ref) {
  const __m256i all = _mm256_set1_epi16(-1);
  switch (func) {
    case GR_CMP_NEVER: return _mm256_setzero_si256();
    case GR_CMP_LESS: return _mm256_cmpgt_epi16(ref, a);
    case GR_CMP_EQUAL: return _mm256_cmpeq_epi16(a, ref);
    case GR_CMP_LEQUAL: return _mm256_xor_si256(_mm256_cmpgt_epi16(a, ref), all);
    case GR_CMP_GREATER: return _mm256_cmpgt_epi16(a, ref);
    case GR_CMP_NOTEQUAL: return _mm256_xor_si256(_mm256_cmpeq_epi16(a, ref), all);
    case GR_CMP_GEQUAL: return _mm256_xor_si256(_mm256_cmpgt_epi16(ref, a), all);
    default: return all;
  }
}

GLIDE_AVX2_INLINE void Store256(uint16_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
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

  GLIDE_AVX2_INLINE PackedGradients(const Gradients& g, const BatchLayout& batch)
      : xa(_mm256_set1_epi32(g.xa)), ya(_mm256_set1_epi32(g.ya)),
        w0(_mm256_set1_ps(g.w)), dwDx(_mm256_set1_ps(g.dwDx)), dwDy(_mm256_set1_ps(g.dwDy)),
        s0(_mm256_set1_ps(g.s)), dsDx(_mm256_set1_ps(g.dsDx)), dsDy(_mm256_set1_ps(g.dsDy)),
        t0(_mm256_set1_ps(g.t)), dtDx(_mm256_set1_ps(g.dtDx)), dtDy(_mm256_set1_ps(g.dtDy)),
        layout(batch) {}

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
  l.w = _mm256_add_ps(_mm256_add_ps(pg.w0, _mm256_mul_ps(fy, pg.dwDy)), _mm256_mul_ps(fx, pg.dwDx));
  const __m256 sw = _mm256_add_ps(_mm256_add_ps(pg.s0, _mm256_mul_ps(fy, pg.dsDy)), _mm256_mul_ps(fx, pg.dsDx));
  const __m256 tw = _mm256_add_ps(_mm256_add_ps(pg.t0, _mm256_mul_ps(fy, pg.dtDy)), _mm256_mul_ps(fx, pg.dtDx));
  const __m256 inv = _mm256_div_ps(_mm256_set1_ps(1.0f), l.w);
  const __m256 scale = _mm256_set1_ps(256.0f);
  const __m256i positive = _mm256_castps_si256(_mm256_cmp_ps(l.w, _mm256_setzero_ps(), _CMP_GT_OQ));
  l.s = _mm256_and_si256(SafeTrunc8(_mm256_mul_ps(_mm256_mul_ps(sw, inv), scale)), positive);
  l.t = _mm256_and_si256(SafeTrunc8(_mm256_mul_ps(_mm256_mul_ps(tw, inv), scale)), positive);
  return l;
}

// The depth test of sixteen lanes against the stored values; `live` with the failing lanes off.
template <int kDepth>
GLIDE_AVX2_INLINE __m256i DepthTest16(__m256i live, __m256i depth, __m256i stored) {
  // Unsigned 16-bit compares through the sign flip.
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

// Sixteen 16-bit lanes from two places: eight from `lo`, eight from `hi`.
GLIDE_AVX2_INLINE __m256i Load2x8(const uint16_t* lo, const uint16_t* hi) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(hi), reinterpret_cast<const __m128i*>(lo));
}

GLIDE_AVX2_INLINE void Store2x8(uint16_t* lo, uint16_t* hi, __m256i v) {
  _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(hi), reinterpret_cast<__m128i*>(lo), v);
}

// The second pass: per row, sixteen pixels at a time, the depth test against the buffer (the
// triangle's own pixels never overlap, so testing after shading sees the same values), then
// blending, dithering and both writes. Two consecutive rows of at most eight pixels each (most
// rows of a small triangle) share one sixteen-lane step, a row in each half. Lanes past a row's
// end are dead; like the row paths' write stage they read and write back up to 15 pixels past
// it, inside the buffers' padding.
template <BlendKind kBlend, bool kDither, bool kSubtract, int kDepth>
__attribute__((target("avx2"))) void RowsWriteAvx2(const SpanTarget& target, const SpanRow* rows,
                                                   int count, const Packed& p) {
  const DitherRows& dither = GetDitherRows();
  const __m256i lanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m256i halfLanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
  const bool depthWrite = kDepth >= 0 && target.state.depthMask;
  for (int r = 0; r < count; ++r) {
    const ptrdiff_t at = static_cast<ptrdiff_t>(rows[r].y) * target.stride + rows[r].x0;
    const int n = rows[r].x1 - rows[r].x0;
    const int k = p.start[r];
    if (n <= 8 && r + 1 < count && rows[r + 1].x1 - rows[r + 1].x0 <= 8) {
      const ptrdiff_t at1 = static_cast<ptrdiff_t>(rows[r + 1].y) * target.stride + rows[r + 1].x0;
      const int n1 = rows[r + 1].x1 - rows[r + 1].x0;
      const int k1 = p.start[r + 1];
      __m256i live = _mm256_and_si256(
          Load2x8(p.live + k, p.live + k1),
          _mm256_cmpgt_epi16(_mm256_set_m128i(_mm_set1_epi16(static_cast<short>(n1)),
                                              _mm_set1_epi16(static_cast<short>(n))),
                             halfLanes));
      __m256i depth = _mm256_setzero_si256(), stored = _mm256_setzero_si256();
      if constexpr (kDepth >= 0) {
        depth = Load2x8(p.depth + k, p.depth + k1);
        stored = Load2x8(target.aux + at, target.aux + at1);
        live = DepthTest16<kDepth>(live, depth, stored);
      }
      const SpanRow &row0 = rows[r], &row1 = rows[r + 1];
      ++r;
      if (_mm256_testz_si256(live, live)) continue;
      const __m256i old = Load2x8(target.color + at, target.color + at1);
      const __m256i pixel = Finish16<kBlend, kDither, kSubtract>(
          DitherAt(dither, row0.y, row0.x0, row1.y, row1.x0), Load2x8(p.r + k, p.r + k1),
          Load2x8(p.g + k, p.g + k1), Load2x8(p.b + k, p.b + k1), Load2x8(p.a + k, p.a + k1), old);
      Store2x8(target.color + at, target.color + at1, _mm256_blendv_epi8(old, pixel, live));
      if (depthWrite) Store2x8(target.aux + at, target.aux + at1, _mm256_blendv_epi8(stored, depth, live));
      continue;
    }
    const int y = rows[r].y;
    for (int i = 0; i < n; i += 16) {
      const int x = rows[r].x0 + i;
      uint16_t* color = target.color + at + i;
      uint16_t* aux = target.aux + at + i;
      __m256i live = _mm256_and_si256(
          Load256(p.live + k + i), _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(n - i)), lanes));
      __m256i depth = _mm256_setzero_si256(), stored = _mm256_setzero_si256();
      if constexpr (kDepth >= 0) {
        depth = Load256(p.depth + k + i);
        stored = Load256(aux);
        live = DepthTest16<kDepth>(live, depth, stored);
      }
      if (_mm256_testz_si256(live, live)) continue;
      const __m256i old = Load256(color);
      const __m256i pixel = Finish16<kBlend, kDither, kSubtract>(
          DitherAt(dither, y, x), Load256(p.r + k + i), Load256(p.g + k + i), Load256(p.b + k + i),
          Load256(p.a + k + i), old);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(color), _mm256_blendv_epi8(old, pixel, live));
      if (depthWrite) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(aux), _mm256_blendv_epi8(stored, depth, live));
      }
    }
  }
}

template <BlendKind kBlend, bool kDither, bool kSubtract>
RowsWriteFn PickRowsWriteDepth(int depth) {
  switch (depth) {
    case -1: return RowsWriteAvx2<kBlend, kDither, kSubtract, -1>;
    case GR_CMP_LESS: return RowsWriteAvx2<kBlend, kDither, kSubtract, GR_CMP_LESS>;
    case GR_CMP_LEQUAL: return RowsWriteAvx2<kBlend, kDither, kSubtract, GR_CMP_LEQUAL>;
    case GR_CMP_ALWAYS: return RowsWriteAvx2<kBlend, kDither, kSubtract, GR_CMP_ALWAYS>;
    default: return nullptr;
  }
}

template <BlendKind kBlend>
RowsWriteFn PickRowsWriteDither(const RenderState& st, int depth) {
  if (st.dither == DitherMode::k4x4) {
    return st.ditherSubtract && kBlend != BlendKind::kNone
               ? PickRowsWriteDepth<kBlend, true, true>(depth)
               : PickRowsWriteDepth<kBlend, true, false>(depth);
  }
  return PickRowsWriteDepth<kBlend, false, false>(depth);
}

// The write pass for the state, or null where it has none (2 x 2 dither, other blend factors,
// other depth functions).
RowsWriteFn PickRowsWrite(const RenderState& st, int depth) {
  if (st.dither == DitherMode::k2x2) return nullptr;
  switch (ClassifyBlend(st)) {
    case BlendKind::kNone: return PickRowsWriteDither<BlendKind::kNone>(st, depth);
    case BlendKind::kAlpha: return PickRowsWriteDither<BlendKind::kAlpha>(st, depth);
    case BlendKind::kAdd: return PickRowsWriteDither<BlendKind::kAdd>(st, depth);
    case BlendKind::kDarken: return PickRowsWriteDither<BlendKind::kDarken>(st, depth);
    case BlendKind::kScale: return PickRowsWriteDither<BlendKind::kScale>(st, depth);
    default: return nullptr;
  }
}

// Packs each row's columns and its row number, eight lanes per store, and checks the colour
// iterators. False where the triangle must go row by row.
GLIDE_AVX2_INLINE bool PackRows(const SpanRow* rows, int count, const Gradients& g, Packed& p,
                                BatchLayout& layout) {
  if (count <= 0 || count > kBatchMaxRows) return count == 0;
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  int total = 0;
  int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
  __m256i lastX = _mm256_setzero_si256(), lastY = _mm256_setzero_si256();
  for (int r = 0; r < count; ++r) {
    const SpanRow& row = rows[r];
    const int n = row.x1 - row.x0;
    if (n > kBatchMaxPixels - total) return false;
    p.start[r] = total;
    minX = std::min(minX, row.x0);
    maxX = std::max(maxX, row.x1 - 1);
    minY = std::min(minY, row.y);
    maxY = std::max(maxY, row.y);
    lastY = _mm256_set1_epi32(row.y);
    for (int k = 0; k < n; k += 8) {
      lastX = _mm256_add_epi32(_mm256_set1_epi32(row.x0 + k), lanes);
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

  // Colour iterators in 32 bits: exact (in wrapping arithmetic) when every corner of the
  // bounding box is.
  bool flat = true;
  for (int k = 0; k < 4; ++k) flat = flat && g.drgbaDx[k] == 0 && g.drgbaDy[k] == 0;
  const int64_t ixs[2] = {minX - g.xa, maxX - g.xa}, iys[2] = {minY - g.ya, maxY - g.ya};
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

// The first pass: packing and shading (see the top of this file).
template <Tex kTex, bool kBilinear, Combine kCombine, bool kDepth>
__attribute__((target("avx2"))) bool BatchAvx2(const SpanTarget& target, const Gradients& g,
                                               const SpanRow* rows, int count) {
  alignas(32) Packed p;  // only what is written is read
  BatchLayout layout;
  if (!PackRows(rows, count, g, p, layout)) return false;
  const int total = layout.total;
  if (total == 0) return true;
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);

  const RenderState& st = target.state;
  const PackedGradients pg(g, layout);
  const __m256i keyR = _mm256_set1_epi16(static_cast<short>((st.chromaValue >> 16) & 0xFF));
  const __m256i keyG = _mm256_set1_epi16(static_cast<short>((st.chromaValue >> 8) & 0xFF));
  const __m256i keyB = _mm256_set1_epi16(static_cast<short>(st.chromaValue & 0xFF));
  const __m256i alphaRef = _mm256_set1_epi16(static_cast<short>(st.alphaRef));
  const __m256i word = _mm256_set1_epi32(0xFFFF);
  for (int i = 0; i < total; i += 16) {
    // Two halves of eight in 32-bit lanes, then sixteen 16-bit lanes (packus order) from the
    // texture on; Natural16 stores them in pixel order. A last block of at most eight pixels is
    // set up and sampled once and its eight results doubled into both halves (the second copy
    // lands past the last pixel, dead).
    Taps16 tex, it = layout.flatColour;
    if (total - i <= 8) {
      const LaneSetup lo = SetUpLanes(pg, Load256i(p.x + i), Load256i(p.y + i));
      if constexpr (kDepth) {
        const __m256i depth = WDepth8(lo.w);
        Store256(p.depth + i, Natural16(Pack16(depth, depth)));
      }
      const Taps t8 = Sample8<kTex, kBilinear>(target, lo.s, lo.t);
      tex = {Pack16(t8.r, t8.r), Pack16(t8.g, t8.g), Pack16(t8.b, t8.b), Pack16(t8.a, t8.a)};
      if (!layout.flat) {
        const __m256i r = pg.Iterated(0, lo), g8 = pg.Iterated(1, lo);
        const __m256i b = pg.Iterated(2, lo), a = pg.Iterated(3, lo);
        it = {Pack16(r, r), Pack16(g8, g8), Pack16(b, b), Pack16(a, a)};
      }
    } else {
      const LaneSetup lo = SetUpLanes(pg, Load256i(p.x + i), Load256i(p.y + i));
      const LaneSetup hi = SetUpLanes(pg, Load256i(p.x + i + 8), Load256i(p.y + i + 8));
      if constexpr (kDepth) {
        Store256(p.depth + i, Natural16(Pack16(WDepth8(lo.w), WDepth8(hi.w))));
      }
      tex = Sample16<kTex, kBilinear>(target, lo.s, hi.s, lo.t, hi.t);
      if (!layout.flat) {
        it.r = Pack16(pg.Iterated(0, lo), pg.Iterated(0, hi));
        it.g = Pack16(pg.Iterated(1, lo), pg.Iterated(1, hi));
        it.b = Pack16(pg.Iterated(2, lo), pg.Iterated(2, hi));
        it.a = Pack16(pg.Iterated(3, lo), pg.Iterated(3, hi));
      }
    }
    const Taps16 out = Combine16<kCombine>(tex, it);
    __m256i live = Pack16(_mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(total - i), lanes), word),
                          _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(total - i - 8), lanes), word));
    if (st.chromaKey) {
      const __m256i keyed = _mm256_and_si256(
          _mm256_and_si256(_mm256_cmpeq_epi16(tex.r, keyR), _mm256_cmpeq_epi16(tex.g, keyG)),
          _mm256_cmpeq_epi16(tex.b, keyB));
      live = _mm256_andnot_si256(keyed, live);
    }
    if (st.alphaTestFunc != GR_CMP_ALWAYS) {
      live = _mm256_and_si256(live, AlphaTest16(st.alphaTestFunc, out.a, alphaRef));
    }
    Store256(p.r + i, Natural16(out.r));
    Store256(p.g + i, Natural16(out.g));
    Store256(p.b + i, Natural16(out.b));
    Store256(p.a + i, Natural16(out.a));
    Store256(p.live + i, Natural16(live));
  }
  FinishPacked(p, total);
  reinterpret_cast<RowsWriteFn>(target.rowsWrite)(target, rows, count, p);
  return true;
}

template <Tex kTex, bool kBilinear, Combine kCombine>
BatchFn PickBatchDepth(bool depth) {
  return depth ? BatchAvx2<kTex, kBilinear, kCombine, true> : BatchAvx2<kTex, kBilinear, kCombine, false>;
}

template <Tex kTex, bool kBilinear>
BatchFn PickBatchCombine(Combine combine, bool depth) {
  switch (combine) {
    case Combine::kTexAddItrgbIterAlpha: return PickBatchDepth<kTex, kBilinear, Combine::kTexAddItrgbIterAlpha>(depth);
    case Combine::kTexAddItrgbTexTimesIterAlpha: return PickBatchDepth<kTex, kBilinear, Combine::kTexAddItrgbTexTimesIterAlpha>(depth);
    case Combine::kDisplayDefault: return PickBatchDepth<kTex, kBilinear, Combine::kDisplayDefault>(depth);
    case Combine::kDisplayTexTimesIterAlpha: return PickBatchDepth<kTex, kBilinear, Combine::kDisplayTexTimesIterAlpha>(depth);
    default: return nullptr;
  }
}

template <Tex kTex>
BatchFn PickBatch(bool bilinear, Combine combine, bool depth) {
  return bilinear ? PickBatchCombine<kTex, true>(combine, depth)
                  : PickBatchCombine<kTex, false>(combine, depth);
}

#endif

}  // namespace
}  // namespace glide
