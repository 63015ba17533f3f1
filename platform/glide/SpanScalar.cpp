// The chunked span path one pixel at a time: the per-pixel stage specialised on texture format,
// filter, combine and depth function, between the perspective and write stages the selection
// chose (scalar or a SIMD level's). It serves every specialised state the lane shading does
// not: untextured spans, the generic combines, and every state at SIMD level none.
#include <algorithm>
#include <cstring>

#include "SpanInternal.h"

namespace glide {

void PerspectiveScalar(const Gradients& g, const RowStart& row, int ix0, int n, bool textured,
                       Chunk& c) {
  for (int i = 0; i < n; ++i) {
    const float fx = static_cast<float>(ix0 + i);
    c.w[i] = row.w + fx * g.dwDx;
    if (textured) TexelCoordinates(row.s + fx * g.dsDx, row.t + fx * g.dtDx, c.w[i], c.s[i], c.t[i]);
  }
}

void WriteStageScalar(const SpanTarget& target, int y, int x0, int n, const Chunk& c) {
  const RenderState& st = target.state;
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  for (int i = 0; i < n; ++i) {
    if (!c.live[i]) continue;
    // Exactly the generic path's tail.
    const int x = x0 + i;
    const Argb src{c.a[i], c.r[i], c.g[i], c.b[i]};
    Argb out = src;
    if (st.blendEnabled) {
      const int pos = ((y & 3) << 2) | (x & 3);
      out = Blend(st, src, ReadDestination(target, colorRow[x], pos), 0xFF);
    }
    colorRow[x] = DitherPixel(*target.tables, st.dither, x, y, out);
  }
}

namespace {

// The texel at (s, t) of a level in the format kTex, as DecodeTexel reads it.
template <Tex kTex>
inline uint32_t Fetch(const SpanTarget& t, int s, int tt) {
  const uint32_t index = static_cast<uint32_t>((tt << t.binding.widthLog2) + s);
  if constexpr (kTex == Tex::kLut8) {
    return t.lut8[t.texels[index]];
  } else {
    uint16_t raw;
    std::memcpy(&raw, t.texels + index * 2, 2);
    if constexpr (kTex == Tex::k565) return 0xFF000000u | t.tables->rgb565To888[raw];
    return t.tables->argb4444[raw];
  }
}

template <Tex kTex, bool kBilinear>
inline uint32_t Sample(const SpanTarget& t, int32_t sFix, int32_t tFix) {
  const auto fetch = [&t](int s, int tt) { return Fetch<kTex>(t, s, tt); };
  if constexpr (kBilinear) return SampleBilinearWith(t, sFix, tFix, fetch);
  return SamplePointWith(t, sFix, tFix, fetch);
}

inline int AddSat(int a, int b) { return std::min(a + b, 255); }

// One of the lane combines on one pixel (the texel after the texture combine).
template <Combine kCombine>
inline Argb LaneCombinePixel(uint32_t texel, const Argb& it) {
  const Argb tx = Unpack(texel);
  const int f = it.a + 1;
  Argb out;
  if constexpr (ScalesTexture(kCombine)) {
    out.r = AddSat((tx.r * f) >> 8, it.r);
    out.g = AddSat((tx.g * f) >> 8, it.g);
    out.b = AddSat((tx.b * f) >> 8, it.b);
  } else {
    out.r = AddSat(tx.r, it.r);
    out.g = AddSat(tx.g, it.g);
    out.b = AddSat(tx.b, it.b);
  }
  out.a = TexTimesIterAlpha(kCombine) ? (tx.a * f) >> 8 : it.a;
  return out;
}

// Texture, colour and alpha combine of pixel (ix, iy) from vertex A; `colorOther` for the
// chroma key.
template <Tex kTex, bool kBilinear, Combine kCombine>
inline Argb ShadePixel(const SpanTarget& target, const Gradients& g, int ix, int iy, bool decal,
                       int32_t s, int32_t t, uint32_t& colorOther) {
  const RenderState& st = target.state;
  Argb it;
  it.r = IteratedChannel(g.rgba[0] + ix * g.drgbaDx[0] + iy * g.drgbaDy[0]);
  it.g = IteratedChannel(g.rgba[1] + ix * g.drgbaDx[1] + iy * g.drgbaDy[1]);
  it.b = IteratedChannel(g.rgba[2] + ix * g.drgbaDx[2] + iy * g.drgbaDy[2]);
  it.a = IteratedChannel(g.rgba[3] + ix * g.drgbaDx[3] + iy * g.drgbaDy[3]);
  uint32_t texel = 0;
  if constexpr (kTex != Tex::kNone) {
    texel = Sample<kTex, kBilinear>(target, s, t);
    // DECAL passes the texel through; other texture combines go the long way.
    if (!decal) texel = TextureCombine(st, texel);
  }
  if constexpr (LaneCombine(kCombine)) {
    colorOther = texel & 0xFFFFFF;
    return LaneCombinePixel<kCombine>(texel, it);
  } else if constexpr (kCombine == Combine::kItrgb) {
    colorOther = 0;
    return it;
  } else {
    CombineInputs in;
    in.iterated = it;
    in.texture = texel;
    in.depthAlpha = static_cast<int>(ZDepth(g.z + ix * g.dzDx + iy * g.dzDy) >> 8);
    return Unpack(ColorAlphaCombine(st, in, colorOther));
  }
}

// Stage 2 for pixels x0 .. x0 + n - 1 of row y: depth test, shading, chroma key, alpha test.
template <Tex kTex, bool kBilinear, Combine kCombine, CompareFunc kDepth>
void PixelStage(const SpanTarget& target, const Gradients& g, int y, int x0, int n, Chunk& c) {
  const RenderState& st = target.state;
  const uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride;
  const int iy = y - g.ya;
  const bool decal = st.texColor == DecalUnit() && st.texAlpha == DecalUnit();
  for (int i = 0; i < n; ++i) {
    const int x = x0 + i;
    c.live[i] = 0;
    if constexpr (kDepth != kNoDepth) {
      const uint32_t depth = WDepth(c.w[i]);
      if (!Compare(kDepth, depth, auxRow[x])) continue;
      c.depth[i] = static_cast<uint16_t>(depth);
    }
    uint32_t colorOther;
    const Argb out = ShadePixel<kTex, kBilinear, kCombine>(target, g, x - g.xa, iy, decal, c.s[i],
                                                           c.t[i], colorOther);
    if (st.chromaKey && colorOther == st.chromaValue) continue;
    if (!Compare(st.alphaTestFunc, static_cast<uint32_t>(out.a), st.alphaRef)) continue;
    c.r[i] = static_cast<uint16_t>(out.r);
    c.g[i] = static_cast<uint16_t>(out.g);
    c.b[i] = static_cast<uint16_t>(out.b);
    c.a[i] = static_cast<uint16_t>(out.a);
    c.live[i] = 0xFFFF;
  }
}

template <Tex kTex, bool kBilinear, Combine kCombine, CompareFunc kDepth>
void SpanChunked(const SpanTarget& target, const Gradients& g, int y, int x0, int x1) {
  Chunk c;  // 64-byte aligned by its type (a weaker alignas on it is ill-formed; clang refuses it)
  const RowStart row = RowStartOf(g, y);
  for (int x = x0; x < x1; x += kChunk) {
    const int n = std::min(kChunk, x1 - x);
    if (kTex != Tex::kNone || kDepth != kNoDepth) {
      target.stages.perspective(g, row, x - g.xa, n, kTex != Tex::kNone, c);
    }
    PixelStage<kTex, kBilinear, kCombine, kDepth>(target, g, y, x, n, c);
    FinishChunk(target, y, x, n, kDepth != kNoDepth, c);
  }
}

}  // namespace

SpanFn PickChunkedSpan(const SpanKey& key) {
  return ForSpanKey(key, [](auto tex, auto bilinear, auto combine, auto depth) -> SpanFn {
    // Untextured: iterated colour or the generic combine, point sampling.
    constexpr bool kUntextured = tex == Tex::kNone && !bilinear &&
                                 (combine == Combine::kGeneric || combine == Combine::kItrgb);
    if constexpr (kUntextured || (tex != Tex::kNone && combine != Combine::kItrgb)) {
      return SpanChunked<tex, bilinear, combine, depth>;
    } else {
      return nullptr;
    }
  });
}

}  // namespace glide
