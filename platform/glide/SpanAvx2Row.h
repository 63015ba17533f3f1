// The AVX2 row span's templates (see SpanAvx2.cpp): each texture format's unit
// (SpanAvx2Lut8.cpp, SpanAvx2Rgb565.cpp, SpanAvx2Argb4444.cpp) instantiates its own, so that the
// instances build in parallel. Internal to the span units.
#pragma once

#include "SpanAvx2.h"

#if GLIDE_X86
#include <algorithm>
#include <cstring>

namespace glide {
namespace {

// ---- Chunks: depth, then eight or sixteen pixels at a time ------------------------------------

// The depth of every pixel of the chunk and whether it passes the test; without depth every
// pixel starts live.
template <int kDepth>
GLIDE_AVX2_INLINE void DepthStage(const SpanTarget& target, const Gradients& g, int y, int x0, int n, Chunk& c) {
  if constexpr (kDepth != kNoDepth) {
    const uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0;
    if (g.dwDx == 0.0f) {
      // 1/W the same along the row (see PerspectiveAvx2): one depth, tested sixteen lanes at a
      // time. Lanes past n up to the block of sixteen are set here and cleared by the caller.
      const __m256i depth8 = WDepth8(_mm256_set1_ps(c.w[0]));
      const __m256i depth = Pack16(depth8, depth8);
      for (int i = 0; i < n; i += 16) {
        Store256(c.depth + i, depth);
        Store256(c.live + i, DepthTest16<kDepth>(_mm256_set1_epi16(-1), depth, Load256(auxRow + i)));
      }
      return;
    }
    for (int i = 0; i < n; i += 8) {
      const __m256i depth = WDepth8(_mm256_load_ps(c.w + i));
      Store16(c.depth + i, depth);
      Store16(c.live + i, _mm256_and_si256(DepthPass8<kDepth>(depth, Load16(auxRow + i)), _mm256_set1_epi32(0xFFFF)));
    }
  } else {
    std::memset(c.live, 0xFF, sizeof c.live);
  }
}

// The colour iterators of a chunk: in registers, stepping eight pixels at a time, unless a
// channel's 12.12 value could leave 32 bits within the chunk; then in the chunk's channel arrays.
struct Iterators {
  Taps value{}, advance{};  // set where inRegisters
  bool inRegisters = true;
  // No channel changes along the row (flat-shaded faces, the screen quads): every block's
  // channels are `flat`, in 16-bit lanes.
  bool flat = false;
  Taps16 flat16{};
};

GLIDE_AVX2_INLINE void StartIterators(const Gradients& g, int ix0, int iy, int n, Iterators& it, Chunk& c) {
  int64_t starts[4];
  for (int k = 0; k < 4; ++k) {
    starts[k] = g.rgba[k] + ix0 * g.drgbaDx[k] + iy * g.drgbaDy[k];
    it.inRegisters = it.inRegisters && Fits32(starts[k], g.drgbaDx[k]);
  }
  if (it.inRegisters) {
    const auto advance = [&g](int k) { return static_cast<int32_t>(g.drgbaDx[k] * 8); };
    it.value = {IteratorLanes8(starts[0], g.drgbaDx[0]), IteratorLanes8(starts[1], g.drgbaDx[1]),
                IteratorLanes8(starts[2], g.drgbaDx[2]), IteratorLanes8(starts[3], g.drgbaDx[3])};
    it.advance = {_mm256_set1_epi32(advance(0)), _mm256_set1_epi32(advance(1)), _mm256_set1_epi32(advance(2)),
                  _mm256_set1_epi32(advance(3))};
    it.flat = g.drgbaDx[0] == 0 && g.drgbaDx[1] == 0 && g.drgbaDx[2] == 0 && g.drgbaDx[3] == 0;
    if (it.flat) {
      const Taps v{Channel8(it.value.r), Channel8(it.value.g), Channel8(it.value.b), Channel8(it.value.a)};
      it.flat16 = {Pack16(v.r, v.r), Pack16(v.g, v.g), Pack16(v.b, v.b), Pack16(v.a, v.a)};
    }
  } else {
    uint16_t* channels[4] = {c.r, c.g, c.b, c.a};
    for (int k = 0; k < 4; ++k) Iterate8(starts[k], g.drgbaDx[k], n, channels[k]);
  }
}

// The next eight pixels' iterated channels (iterators in registers).
GLIDE_AVX2_INLINE Taps NextIterated(Iterators& it) {
  const Taps out{Channel8(it.value.r), Channel8(it.value.g), Channel8(it.value.b), Channel8(it.value.a)};
  it.value = {_mm256_add_epi32(it.value.r, it.advance.r), _mm256_add_epi32(it.value.g, it.advance.g),
              _mm256_add_epi32(it.value.b, it.advance.b), _mm256_add_epi32(it.value.a, it.advance.a)};
  return out;
}

// The colour of a level whose texels are all alike (SpanTarget::uniform) in the lanes of both
// block widths.
struct UniformTexel {
  Taps lanes8;
  Taps16 lanes16;
};

GLIDE_AVX2_INLINE UniformTexel MakeUniformTexel(uint32_t texel) {
  const Argb c = Unpack(texel);
  return {{_mm256_set1_epi32(c.r), _mm256_set1_epi32(c.g), _mm256_set1_epi32(c.b), _mm256_set1_epi32(c.a)},
          {_mm256_set1_epi16(static_cast<short>(c.r)), _mm256_set1_epi16(static_cast<short>(c.g)),
           _mm256_set1_epi16(static_cast<short>(c.b)), _mm256_set1_epi16(static_cast<short>(c.a))}};
}

// A chunk of at most eight pixels in one block of 32-bit lanes. `uniform`: the level's one
// colour, or null to sample it.
template <Tex kTex, bool kBilinear, Combine kCombine>
GLIDE_AVX2_INLINE void ShadeBlock8(const SpanTarget& target, const UniformTexel* uniform, Iterators& iters,
                                   Chunk& c) {
  const RenderState& st = target.state;
  const Taps tex = uniform != nullptr
                       ? uniform->lanes8
                       : Sample8<kTex, kBilinear>(target, _mm256_load_si256(reinterpret_cast<const __m256i*>(c.s)),
                                                  _mm256_load_si256(reinterpret_cast<const __m256i*>(c.t)));
  const Taps it = iters.inRegisters ? NextIterated(iters) : Taps{Load16(c.r), Load16(c.g), Load16(c.b), Load16(c.a)};
  const Taps out = Combine8<kCombine>(tex, it);
  Store16(c.r, out.r);
  Store16(c.g, out.g);
  Store16(c.b, out.b);
  Store16(c.a, out.a);
  __m256i live = Load16(c.live);
  if (st.chromaKey) {
    live = _mm256_andnot_si256(ChromaKeyed8(tex, _mm256_set1_epi32(static_cast<int>(st.chromaValue))), live);
  }
  if (st.alphaTestFunc != CompareFunc::kAlways) {
    live = _mm256_and_si256(live, AlphaPass<Ops8>(st.alphaTestFunc, out.a, _mm256_set1_epi32(st.alphaRef)));
  }
  Store16(c.live, live);
}

// Pixels i .. i + 15 of a chunk in 16-bit lanes.
// `kills`: the chroma key or the alpha test is on.
// `rows`: the footprint's rows where t does not change along the row (bilinear only), else null.
// `uniform`: the level's one colour, or null to sample it.
template <Tex kTex, bool kBilinear, Combine kCombine>
GLIDE_AVX2_INLINE void ShadeBlock16(const SpanTarget& target, int i, bool kills, const ChromaKey16& key,
                                    const FootprintRows* rows, const UniformTexel* uniform, Iterators& iters,
                                    Chunk& c) {
  const RenderState& st = target.state;
  const __m256i* sv = reinterpret_cast<const __m256i*>(c.s + i);
  const __m256i* tv = reinterpret_cast<const __m256i*>(c.t + i);
  Taps16 tex;
  if (uniform != nullptr) {
    tex = uniform->lanes16;
  } else if (kBilinear && rows != nullptr) {
    tex = Bilinear16<kTex>(target, Address8Bilinear(target, _mm256_load_si256(sv), *rows),
                           Address8Bilinear(target, _mm256_load_si256(sv + 1), *rows));
  } else {
    tex = Sample16<kTex, kBilinear>(target, _mm256_load_si256(sv), _mm256_load_si256(sv + 1), _mm256_load_si256(tv),
                                    _mm256_load_si256(tv + 1));
  }
  Taps16 it;
  if (iters.flat) {
    it = iters.flat16;
  } else if (iters.inRegisters) {
    const Taps lo = NextIterated(iters), hi = NextIterated(iters);
    it = {Pack16(lo.r, hi.r), Pack16(lo.g, hi.g), Pack16(lo.b, hi.b), Pack16(lo.a, hi.a)};
  } else {
    it = {Natural16(Load256(c.r + i)), Natural16(Load256(c.g + i)), Natural16(Load256(c.b + i)),
          Natural16(Load256(c.a + i))};
  }
  const Taps16 out = Combine16<kCombine>(tex, it);
  Store256(c.r + i, Natural16(out.r));
  Store256(c.g + i, Natural16(out.g));
  Store256(c.b + i, Natural16(out.b));
  Store256(c.a + i, Natural16(out.a));
  if (!kills) return;
  __m256i pass = _mm256_set1_epi16(-1);
  if (st.chromaKey) pass = _mm256_andnot_si256(ChromaKeyed16(tex, key), pass);
  if (st.alphaTestFunc != CompareFunc::kAlways) {
    pass = _mm256_and_si256(pass, AlphaPass<Ops16>(st.alphaTestFunc, out.a, _mm256_set1_epi16(st.alphaRef)));
  }
  Store256(c.live + i, _mm256_and_si256(Natural16(pass), Load256(c.live + i)));
}

// Stage 2 of a chunk: depth first, then texture, combine, chroma key and alpha test of the
// pixels, eight at a time for a short chunk, else sixteen. `uniform` as for ShadeBlock16 (the
// chunk's texel coordinates are then unset).
template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
GLIDE_AVX2 void ShadeAvx2(const SpanTarget& target, const Gradients& g, int y, int x0, int n,
                          const UniformTexel* uniform, Chunk& c) {
  DepthStage<kDepth>(target, g, y, x0, n, c);
  Iterators iters;
  StartIterators(g, x0 - g.xa, y - g.ya, n, iters, c);
  if (n <= 8) {
    ShadeBlock8<kTex, kBilinear, kCombine>(target, uniform, iters, c);
    return;
  }
  const RenderState& st = target.state;
  const bool kills = st.chromaKey || st.alphaTestFunc != CompareFunc::kAlways;
  const ChromaKey16 key = MakeChromaKey16(st.chromaValue);
  // t the same along the row (see PerspectiveAvx2): the footprint's rows once for the chunk.
  FootprintRows rows{};
  const bool sameT = kBilinear && uniform == nullptr && g.dwDx == 0.0f && g.dtDx == 0.0f;
  if (sameT) rows = Address8BilinearRows(target, _mm256_load_si256(reinterpret_cast<const __m256i*>(c.t)));
  // Lanes past the chunk's last pixel up to the block of sixteen are dead (the depth stage
  // leaves them unset, or set by its sixteen-lane form).
  if constexpr (kDepth != kNoDepth) {
    for (int i = n; i < ((n + 15) & ~15); ++i) c.live[i] = 0;
  }
  for (int i = 0; i < n; i += 16) {
    // Sixteen pixels that all failed the depth test need no texture or combine (the write stage
    // skips them too); the iterators still step past them.
    if constexpr (kDepth != kNoDepth) {
      const __m256i live = Load256(c.live + i);
      if (_mm256_testz_si256(live, live)) {
        if (iters.inRegisters) {
          NextIterated(iters);
          NextIterated(iters);
        }
        continue;
      }
    }
    ShadeBlock16<kTex, kBilinear, kCombine>(target, i, kills, key, sameT ? &rows : nullptr, uniform, iters, c);
  }
}

// ---- Short spans in one pass --------------------------------------------------------------------
//
// A span of up to eight pixels (small triangles): perspective, depth test, texture and combine
// stay in registers for one block of eight lanes, lanes past the span dead; then the write stage
// and a masked depth write. The same operations in the same order as the chunked path, without
// its per-row set-up. Reads and writes back (unchanged) up to seven depth values after the span,
// inside the buffers' padding. Longer spans are cheaper per pixel through the chunks' sixteen
// lanes.
constexpr int kShortSpan = 8;

// Eight 32-bit lanes (0..0xFFFF) to sixteen uint16: the eight in order, then eight zeros.
GLIDE_AVX2_INLINE void StoreHalf16(uint16_t* out, __m256i v) {
  Store256(out, _mm256_permute4x64_epi64(_mm256_packus_epi32(v, _mm256_setzero_si256()), 0xD8));
}

// The short span's results through the write stage, then its depth where the state writes it.
template <int kDepth>
GLIDE_AVX2_INLINE void WriteShort(const SpanTarget& target, int y, int x0, int n, const Taps& out, __m256i live,
                                  __m256i depth, __m256i stored) {
  // Eight lanes to the chunk's first sixteen (the upper eight zero, so dead).
  Chunk c;
  StoreHalf16(c.r, out.r);
  StoreHalf16(c.g, out.g);
  StoreHalf16(c.b, out.b);
  StoreHalf16(c.a, out.a);
  StoreHalf16(c.live, _mm256_and_si256(live, _mm256_set1_epi32(0xFFFF)));
  target.stages.write(target, y, x0, n, c);
  if (kDepth != kNoDepth && target.state.depthMask) {
    Store16(target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0, _mm256_blendv_epi8(stored, depth, live));
  }
}

// False, having drawn nothing, where the chunked path must draw the span (iterated colour that
// could leave 32 bits).
template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
GLIDE_AVX2 bool ShortSpanAvx2(const SpanTarget& target, const Gradients& g, int y, int x0, int n) {
  const RenderState& st = target.state;
  const int iy = y - g.ya, ix0 = x0 - g.xa;
  int64_t starts[4];
  for (int k = 0; k < 4; ++k) {
    starts[k] = g.rgba[k] + ix0 * g.drgbaDx[k] + iy * g.drgbaDy[k];
    if (!Fits32(starts[k], g.drgbaDx[k])) return false;
  }
  __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), Lanes8());
  // Perspective, as PerspectiveAvx2 computes it.
  const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(ix0), Lanes8()));
  const __m256 w = _mm256_add_ps(_mm256_set1_ps(g.w + static_cast<float>(iy) * g.dwDy),
                                 _mm256_mul_ps(fx, _mm256_set1_ps(g.dwDx)));
  __m256i depth = _mm256_setzero_si256(), stored = _mm256_setzero_si256();
  if constexpr (kDepth != kNoDepth) {
    depth = WDepth8(w);
    stored = Load16(target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0);
    live = _mm256_and_si256(live, DepthPass8<kDepth>(depth, stored));
    if (_mm256_testz_si256(live, live)) return true;
  }
  __m256i s, t;
  TexelCoordinates8(_mm256_add_ps(_mm256_set1_ps(g.s + static_cast<float>(iy) * g.dsDy),
                                  _mm256_mul_ps(fx, _mm256_set1_ps(g.dsDx))),
                    _mm256_add_ps(_mm256_set1_ps(g.t + static_cast<float>(iy) * g.dtDy),
                                  _mm256_mul_ps(fx, _mm256_set1_ps(g.dtDx))),
                    w, s, t);
  const Taps tex = Sample8<kTex, kBilinear>(target, s, t);
  const Taps it{Channel8(IteratorLanes8(starts[0], g.drgbaDx[0])), Channel8(IteratorLanes8(starts[1], g.drgbaDx[1])),
                Channel8(IteratorLanes8(starts[2], g.drgbaDx[2])), Channel8(IteratorLanes8(starts[3], g.drgbaDx[3]))};
  const Taps out = Combine8<kCombine>(tex, it);
  if (st.chromaKey) {
    live = _mm256_andnot_si256(ChromaKeyed8(tex, _mm256_set1_epi32(static_cast<int>(st.chromaValue))), live);
  }
  if (st.alphaTestFunc != CompareFunc::kAlways) {
    live = _mm256_and_si256(live, AlphaPass<Ops8>(st.alphaTestFunc, out.a, _mm256_set1_epi32(st.alphaRef)));
  }
  WriteShort<kDepth>(target, y, x0, n, out, live, depth, stored);
  return true;
}

// ---- The span ---------------------------------------------------------------------------------

// FinishChunk with the depth written sixteen lanes at a time: the dead lanes (past n, or failing
// a test) write back what the buffer holds, up to kSpanOverrun pixels past the span (inside the
// buffers' padding). Live lanes are all ones here.
GLIDE_AVX2_INLINE void FinishChunkAvx2(const SpanTarget& target, int y, int x, int n, bool depthTested, Chunk& c) {
  const int whole = (n + 15) & ~15;
  for (int i = n; i < whole; ++i) c.live[i] = 0;
  target.stages.write(target, y, x, n, c);
  if (!depthTested || !target.state.depthMask) return;
  uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x;
  for (int i = 0; i < whole; i += 16) {
    const __m256i live = Load256(c.live + i);
    Store256(auxRow + i, _mm256_blendv_epi8(Load256(auxRow + i), Load256(c.depth + i), live));
  }
}

template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
GLIDE_AVX2 void SpanAvx2(const SpanTarget& target, const Gradients& g, int y, int x0, int x1) {
  if (x1 - x0 <= kShortSpan && ShortSpanAvx2<kTex, kBilinear, kCombine, kDepth>(target, g, y, x0, x1 - x0)) {
    return;
  }
  // A level of one colour: no texel coordinates, and 1/W only for the depth.
  UniformTexel uniformTexel;
  const UniformTexel* uniform = nullptr;
  if (target.uniform) {
    uniformTexel = MakeUniformTexel(target.uniformTexel);
    uniform = &uniformTexel;
  }
  alignas(32) Chunk c;
  const RowStart row = RowStartOf(g, y);
  for (int x = x0; x < x1; x += kChunk) {
    const int n = std::min(kChunk, x1 - x);
    if (uniform == nullptr || kDepth != kNoDepth) PerspectiveAvx2(g, row, x - g.xa, n, uniform == nullptr, c);
    ShadeAvx2<kTex, kBilinear, kCombine, kDepth>(target, g, y, x, n, uniform, c);
    FinishChunkAvx2(target, y, x, n, kDepth != kNoDepth, c);
  }
}


}  // namespace

// The row span for the key, if its texture format is kTex and its combine a lane combine.
template <Tex kTex>
SpanFn PickSpanAvx2For(const SpanKey& key) {
  return ForSpanKey(key, [](auto tex, auto bilinear, auto combine, auto depth) -> SpanFn {
    if constexpr (tex == kTex && LaneCombine(combine)) {
      return SpanAvx2<tex, bilinear, combine, depth>;
    } else {
      return nullptr;
    }
  });
}

}  // namespace glide

#endif
