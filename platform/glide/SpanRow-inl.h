// The row span for the textured states the scenes use (DECAL texture combine, one of the lane
// combines), the perspective stage and the write stage, over the lane stages of
// SpanLanes-inl.h: a span of up to one half's pixels in one pass, a longer one in chunks
// (perspective, depth, then a block at a time of texture and combine, then the write stage).
// The same operations in the same order as the scalar stages (SpanScalar.cpp), held to them bit
// for bit by the agreement tests. Internal to the span units.

#if defined(GLIDE_SPAN_ROW_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef GLIDE_SPAN_ROW_INL_H_
#undef GLIDE_SPAN_ROW_INL_H_
#else
#define GLIDE_SPAN_ROW_INL_H_
#endif

#include <algorithm>
#include <cstring>

#include "SpanTexels-inl.h"

#if GLIDE_LANE_TARGET
HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {

// ---- The perspective stage ----------------------------------------------------------------------

// 1/W, and with a texture the texel coordinates, of pixels ix0 .. ix0 + n - 1 of a row, in whole
// halves for spans up to one half, else whole blocks: lanes past n land inside the chunk's
// arrays and are never used.
inline void PerspectiveLanes(const Gradients& g, const RowStart& row, int ix0, int n, bool textured, Chunk& c) {
  const DF df;
  const DI di;
  const int whole = n <= kLanes ? kLanes : WholeBlocks(n);
  const VF ds = hn::Set(df, g.dsDx), dt = hn::Set(df, g.dtDx);
  const VF s0 = hn::Set(df, row.s), t0 = hn::Set(df, row.t);
  if (g.dwDx == 0.0f) {
    // 1/W the same along the row (screen-aligned quads and sprites): w0 + x * 0 is w0 but for
    // the sign of a zero W, which neither the depth nor the coordinates tell apart (both treat
    // every W that is not positive alike), so one division serves the chunk.
    const VF w = hn::Set(df, row.w);
    const Reciprocal reciprocal = PerspectiveReciprocal(w);
    // With t the same along the row as well (screen-aligned quads), t too is computed once, by
    // the same argument.
    const bool sameT = g.dtDx == 0.0f;
    const VI tFlat = TexelCoordinate(t0, reciprocal);
    for (int i = 0; i < whole; i += kLanes) {
      hn::Store(w, df, c.w + i);
      if (!textured) continue;
      const VF fx = Columns(ix0 + i);
      hn::Store(TexelCoordinate(hn::Add(s0, hn::Mul(fx, ds)), reciprocal), di, c.s + i);
      hn::Store(sameT ? tFlat : TexelCoordinate(hn::Add(t0, hn::Mul(fx, dt)), reciprocal), di, c.t + i);
    }
    return;
  }
  const VF dw = hn::Set(df, g.dwDx), w0 = hn::Set(df, row.w);
  for (int i = 0; i < whole; i += kLanes) {
    const VF fx = Columns(ix0 + i);
    const VF w = hn::Add(w0, hn::Mul(fx, dw));
    hn::Store(w, df, c.w + i);
    if (!textured) continue;
    const Reciprocal reciprocal = PerspectiveReciprocal(w);
    hn::Store(TexelCoordinate(hn::Add(s0, hn::Mul(fx, ds)), reciprocal), di, c.s + i);
    hn::Store(TexelCoordinate(hn::Add(t0, hn::Mul(fx, dt)), reciprocal), di, c.t + i);
  }
}

// ---- The write stage ----------------------------------------------------------------------------

// A block at a time; lanes past n must be dead and may reach kSpanOverrun pixels past the span
// (inside the buffers' padding).
template <BlendKind kBlend, bool kDither, bool kSubtract>
void WriteLanes(const SpanTarget& target, int y, int x0, int n, const Chunk& c) {
  const D16 d;
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  const DitherRows& rows = GetDitherRows();
  const int whole = WholeBlocks(n);
  for (int i = 0; i < whole; i += kBlock) {
    const int x = x0 + i;
    const M16 live = LiveMask(c.live + i);
    if (hn::AllFalse(d, live)) continue;
    const V16 r = hn::Load(d, c.r + i), g = hn::Load(d, c.g + i), b = hn::Load(d, c.b + i), a = hn::Load(d, c.a + i);
    if (AddsNothing<kBlend, kDither, kSubtract>(r, g, b, a, live)) continue;
    const V16 old = hn::LoadU(d, colorRow + x);
    const V16 pixel = Finish<kBlend, kDither, kSubtract>(DitherAt(rows, y, x), r, g, b, a, old);
    hn::StoreU(hn::IfThenElse(live, pixel, old), d, colorRow + x);
  }
}

namespace {

// ---- Chunks: depth, then a half or a block at a time --------------------------------------------

// The depth of every pixel of the chunk and whether it passes the test; without depth every
// pixel starts live.
template <bool kDepth>
HWY_INLINE void DepthStage(const SpanTarget& target, const Gradients& g, int y, int x0, int n, Chunk& c) {
  const D16 d;
  if constexpr (kDepth) {
    const CompareFunc func = target.state.depthFunc;
    const uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0;
    if (g.dwDx == 0.0f) {
      // 1/W the same along the row (see PerspectiveLanes): one depth, tested a block at a time.
      // Lanes past n up to the whole block are set here and cleared by the caller.
      const VI depth32 = WDepthLanes(hn::Set(DF(), c.w[0]));
      const V16 depth = Narrow(depth32, depth32);
      for (int i = 0; i < n; i += kBlock) {
        hn::Store(depth, d, c.depth + i);
        hn::Store(hn::VecFromMask(d, DepthPass(d, func, depth, hn::LoadU(d, auxRow + i))), d, c.live + i);
      }
      return;
    }
    const DI di;
    for (int i = 0; i < n; i += kBlock) {
      const V16 depth = Narrow(WDepthLanes(hn::Load(DF(), c.w + i)), WDepthLanes(hn::Load(DF(), c.w + i + kLanes)));
      hn::Store(depth, d, c.depth + i);
      hn::Store(hn::VecFromMask(d, DepthPass(d, func, depth, hn::LoadU(d, auxRow + i))), d, c.live + i);
    }
    (void)di;
  } else {
    (void)target, (void)g, (void)y, (void)x0, (void)n;
    std::memset(c.live, 0xFF, sizeof c.live);
  }
}

// The colour iterators of a chunk: in registers, stepping a half at a time, unless a channel's
// 12.12 value could leave 32 bits within the chunk; then in the chunk's channel arrays.
struct Iterators {
  Taps value{}, advance{};  // set where inRegisters
  bool inRegisters = true;
  // No channel changes along the row (flat-shaded faces, the screen quads): every block's
  // channels are `flat`.
  bool flat = false;
  Taps16 flat16{};
};

HWY_INLINE void StartIterators(const Gradients& g, int ix0, int iy, int n, Iterators& it, Chunk& c) {
  const DI di;
  int64_t starts[4];
  for (int k = 0; k < 4; ++k) {
    starts[k] = g.rgba[k] + ix0 * g.drgbaDx[k] + iy * g.drgbaDy[k];
    it.inRegisters = it.inRegisters && Fits32(starts[k], g.drgbaDx[k]);
  }
  if (it.inRegisters) {
    const auto advance = [&](int k) { return hn::Set(di, static_cast<int32_t>(g.drgbaDx[k] * kLanes)); };
    it.value = {IteratorLanes(starts[0], g.drgbaDx[0]), IteratorLanes(starts[1], g.drgbaDx[1]),
                IteratorLanes(starts[2], g.drgbaDx[2]), IteratorLanes(starts[3], g.drgbaDx[3])};
    it.advance = {advance(0), advance(1), advance(2), advance(3)};
    it.flat = g.drgbaDx[0] == 0 && g.drgbaDx[1] == 0 && g.drgbaDx[2] == 0 && g.drgbaDx[3] == 0;
    if (it.flat) {
      it.flat16 = NarrowTwice(Taps{ChannelLanes(it.value.r), ChannelLanes(it.value.g), ChannelLanes(it.value.b),
                                   ChannelLanes(it.value.a)});
    }
  } else {
    const VI zero = hn::Zero(di);
    it.value = it.advance = {zero, zero, zero, zero};
    uint16_t* channels[4] = {c.r, c.g, c.b, c.a};
    for (int k = 0; k < 4; ++k) {
      for (int i = 0; i < n; ++i) {
        channels[k][i] = static_cast<uint16_t>(IteratedChannel(starts[k] + i * g.drgbaDx[k]));
      }
    }
  }
}

// The next half's iterated channels (iterators in registers).
HWY_INLINE Taps NextIterated(Iterators& it) {
  const Taps out{ChannelLanes(it.value.r), ChannelLanes(it.value.g), ChannelLanes(it.value.b),
                 ChannelLanes(it.value.a)};
  it.value = {hn::Add(it.value.r, it.advance.r), hn::Add(it.value.g, it.advance.g), hn::Add(it.value.b, it.advance.b),
              hn::Add(it.value.a, it.advance.a)};
  return out;
}

// The colour of a level whose texels are all alike (SpanTarget::uniform) in the lanes of both
// widths.
struct UniformTexel {
  Taps half;
  Taps16 block;
};

HWY_INLINE UniformTexel MakeUniformTexel(uint32_t texel) {
  const Argb c = Unpack(texel);
  const DI di;
  const D16 d;
  return {{hn::Set(di, c.r), hn::Set(di, c.g), hn::Set(di, c.b), hn::Set(di, c.a)},
          {SetLanes(d, c.r), SetLanes(d, c.g), SetLanes(d, c.b), SetLanes(d, c.a)}};
}

// A half's 16-bit lanes widened from the chunk's arrays.
HWY_INLINE VI LoadHalf16(const uint16_t* p) {
  const DI di;
  return hn::BitCast(di, hn::PromoteTo(hn::RebindToUnsigned<DI>(), hn::LoadU(hn::Rebind<uint16_t, DI>(), p)));
}

// A half's lanes (0..0xFFFF) stored as 16-bit values, then a half of zeros.
HWY_INLINE void StoreHalf16(VI v, uint16_t* p) { hn::Store(NarrowLow(v), D16(), p); }

// A chunk of at most one half's pixels. `uniform`: the level's one colour, or null to sample it.
template <Tex kTex, bool kBilinear>
HWY_INLINE void ShadeHalf(const SpanTarget& target, const UniformTexel* uniform, Iterators& iters, Chunk& c) {
  const DI di;
  const Taps tex = uniform != nullptr ? uniform->half
                                      : SampleHalf<kTex, kBilinear>(target, hn::Load(di, c.s), hn::Load(di, c.t));
  const Taps it = iters.inRegisters ? NextIterated(iters)
                                    : Taps{LoadHalf16(c.r), LoadHalf16(c.g), LoadHalf16(c.b), LoadHalf16(c.a)};
  const Taps out = CombineLanes(di, LaneCombineOps(target.stages.combine), tex, it);
  StoreHalf16(out.r, c.r);
  StoreHalf16(out.g, c.g);
  StoreHalf16(out.b, c.b);
  StoreHalf16(out.a, c.a);
  const MI live = hn::RebindMask(di, hn::Ne(LoadHalf16(c.live), hn::Zero(di)));
  StoreHalf16(hn::IfThenElseZero(Kills(target.state).Apply(di, tex, out.a, live), hn::Set(di, 0xFFFF)), c.live);
}

// Pixels i .. i + kBlock - 1 of a chunk.
// `kills`: the chroma key or the alpha test is on.
// `rows`: the footprint's rows where t does not change along the row (bilinear only), else null.
// `uniform`: the level's one colour, or null to sample it.
template <Tex kTex, bool kBilinear>
HWY_INLINE void ShadeBlock(const SpanTarget& target, int i, const Kills& kills, const FootprintRows* rows,
                           const UniformTexel* uniform, Iterators& iters, Chunk& c) {
  const DI di;
  const D16 d;
  Taps16 tex;
  if (uniform != nullptr) {
    tex = uniform->block;
  } else if (kBilinear && rows != nullptr) {
    tex = BilinearBlock<kTex>(target, BilinearFootprint(target, hn::Load(di, c.s + i), *rows),
                              BilinearFootprint(target, hn::Load(di, c.s + i + kLanes), *rows), rows);
  } else {
    tex = SampleBlock<kTex, kBilinear>(target, hn::Load(di, c.s + i), hn::Load(di, c.s + i + kLanes),
                                       hn::Load(di, c.t + i), hn::Load(di, c.t + i + kLanes));
  }
  Taps16 it;
  if (iters.flat) {
    it = iters.flat16;
  } else if (iters.inRegisters) {
    const Taps lo = NextIterated(iters), hi = NextIterated(iters);
    it = NarrowTaps(lo, hi);
  } else {
    it = {hn::Load(d, c.r + i), hn::Load(d, c.g + i), hn::Load(d, c.b + i), hn::Load(d, c.a + i)};
  }
  const Taps16 out = CombineLanes(d, LaneCombineOps(target.stages.combine), tex, it);
  hn::Store(out.r, d, c.r + i);
  hn::Store(out.g, d, c.g + i);
  hn::Store(out.b, d, c.b + i);
  hn::Store(out.a, d, c.a + i);
  if (!kills.any) return;
  const M16 live = kills.Apply(d, tex, out.a, LiveMask(c.live + i));
  hn::Store(hn::VecFromMask(d, live), d, c.live + i);
}

// Stage 2 of a chunk: depth first, then texture, combine, chroma key and alpha test of the
// pixels, a half at a time for a short chunk, else a block. `uniform` as for ShadeBlock (the
// chunk's texel coordinates are then unset).
template <Tex kTex, bool kBilinear, bool kDepth>
HWY_INLINE void ShadeLanes(const SpanTarget& target, const Gradients& g, int y, int x0, int n,
                           const UniformTexel* uniform, Chunk& c) {
  DepthStage<kDepth>(target, g, y, x0, n, c);
  Iterators iters;
  StartIterators(g, x0 - g.xa, y - g.ya, n, iters, c);
  if (n <= kLanes) {
    ShadeHalf<kTex, kBilinear>(target, uniform, iters, c);
    return;
  }
  const Kills kills(target.state);
  // t the same along the row (see PerspectiveLanes): the footprint's rows once for the chunk.
  FootprintRows rows;  // set where sameT
  const bool sameT = kBilinear && uniform == nullptr && g.dwDx == 0.0f && g.dtDx == 0.0f;
  if (sameT) rows = SharedBilinearRows(target, c.t[0]);
  // Lanes past the chunk's last pixel up to the whole block are dead (the depth stage leaves
  // them unset, or set by its flat form).
  if constexpr (kDepth) {
    for (int i = n; i < WholeBlocks(n); ++i) c.live[i] = 0;
  }
  const D16 d;
  for (int i = 0; i < n; i += kBlock) {
    // A block whose pixels all failed the depth test needs no texture or combine (the write
    // stage skips it too); the iterators still step past it.
    if constexpr (kDepth) {
      if (hn::AllFalse(d, LiveMask(c.live + i))) {
        if (iters.inRegisters) {
          NextIterated(iters);
          NextIterated(iters);
        }
        continue;
      }
    }
    ShadeBlock<kTex, kBilinear>(target, i, kills, sameT ? &rows : nullptr, uniform, iters, c);
  }
}

// ---- Short spans in one pass --------------------------------------------------------------------
//
// A span of up to one half's pixels (small triangles): perspective, depth test, texture and
// combine stay in registers for one half, lanes past the span dead; then the write stage and a
// masked depth write. The same operations in the same order as the chunked path, without its
// per-row set-up. Reads and writes back (unchanged) depth values up to the half's end after the
// span, inside the buffers' padding. Longer spans are cheaper per pixel through the chunks'
// blocks.

// The short span's results through the write stage, then its depth where the state writes it.
template <bool kDepth>
HWY_INLINE void WriteShort(const SpanTarget& target, int y, int x0, int n, const Taps& out, MI live, VI depth,
                           VI stored) {
  const DI di;
  // A half to the chunk's first block (the upper half zero, so dead).
  alignas(64) Chunk c;
  StoreHalf16(out.r, c.r);
  StoreHalf16(out.g, c.g);
  StoreHalf16(out.b, c.b);
  StoreHalf16(out.a, c.a);
  StoreHalf16(hn::IfThenElseZero(live, hn::Set(di, 0xFFFF)), c.live);
  target.stages.write(target, y, x0, n, c);
  if (kDepth && target.state.depthMask) {
    const hn::Rebind<uint16_t, DI> dh;
    uint16_t* aux = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0;
    hn::StoreU(hn::LowerHalf(NarrowLow(hn::IfThenElse(live, depth, stored))), dh, aux);
  }
}

// False, having drawn nothing, where the chunked path must draw the span (iterated colour that
// could leave 32 bits).
template <Tex kTex, bool kBilinear, bool kDepth>
HWY_INLINE bool ShortSpan(const SpanTarget& target, const Gradients& g, int y, int x0, int n) {
  const DF df;
  const DI di;
  const int iy = y - g.ya, ix0 = x0 - g.xa;
  int64_t starts[4];
  for (int k = 0; k < 4; ++k) {
    starts[k] = g.rgba[k] + ix0 * g.drgbaDx[k] + iy * g.drgbaDy[k];
    if (!Fits32(starts[k], g.drgbaDx[k])) return false;
  }
  MI live = FirstLanes(di, n);
  // Perspective, as PerspectiveLanes computes it.
  const VF fx = Columns(ix0);
  const VF w = hn::Add(hn::Set(df, g.w + static_cast<float>(iy) * g.dwDy), hn::Mul(fx, hn::Set(df, g.dwDx)));
  VI depth = hn::Zero(di), stored = hn::Zero(di);
  if constexpr (kDepth) {
    depth = WDepthLanes(w);
    stored = LoadHalf16(target.aux + static_cast<ptrdiff_t>(y) * target.stride + x0);
    live = hn::And(live, DepthPass(di, target.state.depthFunc, depth, stored));
    if (hn::AllFalse(di, live)) return true;
  }
  const Reciprocal reciprocal = PerspectiveReciprocal(w);
  const VI s = TexelCoordinate(hn::Add(hn::Set(df, g.s + static_cast<float>(iy) * g.dsDy), hn::Mul(fx, hn::Set(df, g.dsDx))),
                               reciprocal);
  const VI t = TexelCoordinate(hn::Add(hn::Set(df, g.t + static_cast<float>(iy) * g.dtDy), hn::Mul(fx, hn::Set(df, g.dtDx))),
                               reciprocal);
  const Taps tex = SampleHalf<kTex, kBilinear>(target, s, t);
  const Taps it{ChannelLanes(IteratorLanes(starts[0], g.drgbaDx[0])), ChannelLanes(IteratorLanes(starts[1], g.drgbaDx[1])),
                ChannelLanes(IteratorLanes(starts[2], g.drgbaDx[2])), ChannelLanes(IteratorLanes(starts[3], g.drgbaDx[3]))};
  const Taps out = CombineLanes(di, LaneCombineOps(target.stages.combine), tex, it);
  live = Kills(target.state).Apply(di, tex, out.a, live);
  WriteShort<kDepth>(target, y, x0, n, out, live, depth, stored);
  return true;
}

// ---- The span ---------------------------------------------------------------------------------

// FinishChunk with the depth written a block at a time: the dead lanes (past n, or failing a
// test) write back what the buffer holds, up to kSpanOverrun pixels past the span (inside the
// buffers' padding).
HWY_INLINE void FinishChunkLanes(const SpanTarget& target, int y, int x, int n, bool depthTested, Chunk& c) {
  const D16 d;
  const int whole = WholeBlocks(n);
  for (int i = n; i < whole; ++i) c.live[i] = 0;
  target.stages.write(target, y, x, n, c);
  if (!depthTested || !target.state.depthMask) return;
  uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride + x;
  for (int i = 0; i < whole; i += kBlock) {
    hn::StoreU(hn::IfThenElse(LiveMask(c.live + i), hn::Load(d, c.depth + i), hn::LoadU(d, auxRow + i)), d,
               auxRow + i);
  }
}

template <Tex kTex, bool kBilinear, bool kDepth>
void SpanLanes(const SpanTarget& target, const Gradients& g, int y, int x0, int x1) {
  if (x1 - x0 <= kLanes && ShortSpan<kTex, kBilinear, kDepth>(target, g, y, x0, x1 - x0)) return;
  // A level of one colour: no texel coordinates, and 1/W only for the depth.
  UniformTexel uniformTexel;
  const UniformTexel* uniform = nullptr;
  if (target.uniform) {
    uniformTexel = MakeUniformTexel(target.uniformTexel);
    uniform = &uniformTexel;
  }
  alignas(64) Chunk c;
  const RowStart row = RowStartOf(g, y);
  for (int x = x0; x < x1; x += kChunk) {
    const int n = std::min(kChunk, x1 - x);
    if (uniform == nullptr || kDepth) PerspectiveLanes(g, row, x - g.xa, n, uniform == nullptr, c);
    ShadeLanes<kTex, kBilinear, kDepth>(target, g, y, x, n, uniform, c);
    FinishChunkLanes(target, y, x, n, kDepth, c);
  }
}

}  // namespace

// The row span for the key, if its texture format is kTex and its combine a lane combine.
template <Tex kTex>
SpanFn PickSpanFor(const SpanKey& key) {
  if (key.tex != kTex || !LaneCombine(key.combine)) return nullptr;
  return ForValue<bool, false, true>(key.bilinear, [&](auto bilinear) {
    return ForValue<bool, false, true>(key.depth != kNoDepth, [&](auto depth) -> SpanFn {
      return SpanLanes<kTex, bilinear, depth>;
    });
  });
}

}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();
#endif  // GLIDE_LANE_TARGET

#endif  // GLIDE_SPAN_ROW_INL_H_
