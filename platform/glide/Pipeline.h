// The pixel pipeline's stages, each a small inline function, in the board's order:
// depth value and test, texel coordinates, texel fetch and filter, texture combine, colour and
// alpha combine, chroma key, alpha test, blending with dither subtraction, dithering and writes.
// Every span function is built from these, so the generic and the specialised paths compute
// the same values.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Raster.h"

namespace glide {

struct Argb {
  int a, r, g, b;
};

inline Argb Unpack(uint32_t c) {
  return {static_cast<int>(c >> 24), static_cast<int>((c >> 16) & 0xFF),
          static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF)};
}
inline uint32_t Pack(const Argb& c) {
  return static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 |
         static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b);
}

// ---- Iterators -----------------------------------------------------------------------------

// Iterated 12.12 colour to 0..255, saturating (the board's iterators clamp rather than wrap).
inline int IteratedChannel(int64_t fixed12) {
  return static_cast<int>(std::clamp<int64_t>(fixed12 >> 12, 0, 255));
}

// Float to int32 by truncation after clamping to +-2^30; NaN becomes the lower bound. Written
// as the SSE max/min instructions compute it, so the SIMD paths produce the same numbers.
inline int32_t SafeTrunc(float v) {
  constexpr float kLimit = 1073741824.0f;
  v = (v > -kLimit) ? v : -kLimit;
  v = (v < kLimit) ? v : kLimit;
  return static_cast<int32_t>(v);
}

// Perspective division: texture coordinates in 24.8 texels of LOD 0. Where 1/W is not
// positive the board forces S = T = 0 (textureMode tclampw, set by Glide's grTexSource).
inline void TexelCoordinates(float s, float t, float w, int32_t& sFix, int32_t& tFix) {
  const float inv = 1.0f / w;
  const float sf = (s * inv) * 256.0f;
  const float tf = (t * inv) * 256.0f;
  const bool positive = w > 0.0f;
  sFix = positive ? SafeTrunc(sf) : 0;
  tFix = positive ? SafeTrunc(tf) : 0;
}

// ---- Depth ---------------------------------------------------------------------------------

// The 16-bit floating W of the depth buffer (SST-1 hardware reference 5.19): 4-bit exponent = leading zeros
// of 1/W's fraction, 12-bit inverted mantissa, plus one; 1/W >= 1 is nearest (0), 1/W < 2^-16
// farthest (0xFFFF).
// Read straight from the float: for 2^-16 <= 1/W < 1 the leading zeros of the fraction are
// 126 - the biased exponent, and the 12 bits after the leading one are the top of the mantissa
// (the same numbers as truncating 1/W to 32 fractional bits first, checked for every float).
inline uint32_t WDepth(float oow) {
  if (!(oow > 0.0f) || oow >= 1.0f) return 0;  // nearest (also for W < 0 and NaN)
  uint32_t bits;
  __builtin_memcpy(&bits, &oow, 4);
  const int leadingZeros = 126 - static_cast<int>(bits >> 23);
  if (leadingZeros > 15) return 0xFFFF;
  const uint32_t mant = (bits >> 11) & 0xFFF;
  const uint32_t depth = ((static_cast<uint32_t>(leadingZeros) << 12) | (~mant & 0xFFF)) + 1;
  return std::min<uint32_t>(depth, 0xFFFF);
}

inline uint32_t ZDepth(int64_t z2012) {
  return static_cast<uint32_t>(std::clamp<int64_t>(z2012 >> 12, 0, 0xFFFF));
}

inline uint32_t BiasDepth(uint32_t depth, int bias) {
  return static_cast<uint32_t>(std::clamp(static_cast<int>(depth) + bias, 0, 0xFFFF));
}

inline bool Compare(CompareFunc func, uint32_t a, uint32_t b) {
  switch (func) {
    case CompareFunc::kNever: return false;
    case CompareFunc::kLess: return a < b;
    case CompareFunc::kEqual: return a == b;
    case CompareFunc::kLequal: return a <= b;
    case CompareFunc::kGreater: return a > b;
    case CompareFunc::kNotEqual: return a != b;
    case CompareFunc::kGequal: return a >= b;
    default: return true;
  }
}

// ---- Texture -------------------------------------------------------------------------------

// One texel of the bound level as 0xAARRGGBB (bit replication; palette entries at 8 bits).
inline uint32_t DecodeTexel(const SpanTarget& t, int s, int tt) {
  const TextureBinding& b = t.binding;
  const uint32_t index = static_cast<uint32_t>((tt << b.widthLog2) + s);
  if (b.format < 8) return t.lut8[t.texels[index]];
  uint16_t raw;
  __builtin_memcpy(&raw, t.texels + index * 2, 2);
  const Tables& tab = *t.tables;
  switch (b.format) {
    case kRgb565: return 0xFF000000u | tab.rgb565To888[raw];
    case kArgb4444: return tab.argb4444[raw];
    case kArgb1555: return tab.argb1555[raw];
    case kArgb8332: return static_cast<uint32_t>(raw >> 8) << 24 | tab.rgb332[raw & 0xFF];
    case kAlphaIntensity88: return static_cast<uint32_t>(raw >> 8) << 24 | (raw & 0xFFu) * 0x010101u;
    case kAp88: return static_cast<uint32_t>(raw >> 8) << 24 | (t.lut8[raw & 0xFF] & 0xFFFFFFu);
    default: return 0;
  }
}

// Wrap masks the coordinate, clamp pins it to the edge texel; sAnd is size-1 for wrap and all
// ones for clamp, so one expression serves both.
inline int Address(int c, int andMask, int sizeMask) {
  return std::clamp(c & andMask, 0, sizeMask);
}

// Point sampling with `fetch(s, t)` reading the texel at an address (DecodeTexel, or a path's
// fetch specialised on the format).
template <class Fetch>
inline uint32_t SamplePointWith(const SpanTarget& t, int32_t sFix, int32_t tFix, Fetch fetch) {
  const TextureBinding& b = t.binding;
  const int s = Address(sFix >> b.sShift, t.sAnd, b.widthMask);
  const int tt = Address(tFix >> b.tShift, t.tAnd, b.heightMask);
  return fetch(s, tt);
}

inline uint32_t SamplePoint(const SpanTarget& t, int32_t sFix, int32_t tFix) {
  return SamplePointWith(t, sFix, tFix, [&t](int s, int tt) { return DecodeTexel(t, s, tt); });
}

// One bilinear step on all four channels, u = weight 0..240: per channel
// c0 + (c1 - c0) * u / 256, written as (c0 * (256 - u) + c1 * u) >> 8 (the same value, since
// 256 * c0 is a multiple of 256), two channels at a time in 16-bit fields of a 32-bit word.
inline uint32_t Lerp(uint32_t c0, uint32_t c1, int u) {
  const uint32_t iu = static_cast<uint32_t>(256 - u), uu = static_cast<uint32_t>(u);
  const uint32_t rb = (((c0 & 0x00FF00FFu) * iu + (c1 & 0x00FF00FFu) * uu) >> 8) & 0x00FF00FFu;
  const uint32_t ag = (((c0 >> 8) & 0x00FF00FFu) * iu + ((c1 >> 8) & 0x00FF00FFu) * uu) & 0xFF00FF00u;
  return rb | ag;
}

// Bilinear on Voodoo Graphics: half a texel subtracted, 4-bit weights, top row, bottom row, then
// between them; `fetch` as for SamplePointWith.
template <class Fetch>
inline uint32_t SampleBilinearWith(const SpanTarget& t, int32_t sFix, int32_t tFix, Fetch fetch) {
  const TextureBinding& b = t.binding;
  const int lod = b.sShift - 8;
  const int32_t sh = sFix - (128 << lod);
  const int32_t th = tFix - (128 << lod);
  const int s0 = sh >> b.sShift, t0 = th >> b.tShift;
  const int u = (sh >> lod) & 0xF0, v = (th >> lod) & 0xF0;
  const int sa = Address(s0, t.sAnd, b.widthMask), sb = Address(s0 + 1, t.sAnd, b.widthMask);
  const int ta = Address(t0, t.tAnd, b.heightMask), tb = Address(t0 + 1, t.tAnd, b.heightMask);
  const uint32_t top = Lerp(fetch(sa, ta), fetch(sb, ta), u);
  const uint32_t bottom = Lerp(fetch(sa, tb), fetch(sb, tb), u);
  return Lerp(top, bottom, v);
}

inline uint32_t SampleBilinear(const SpanTarget& t, int32_t sFix, int32_t tFix) {
  return SampleBilinearWith(t, sFix, tFix, [&t](int s, int tt) { return DecodeTexel(t, s, tt); });
}

// ---- Combine units -------------------------------------------------------------------------

// One channel through a combine unit (SST-1 hardware reference 5.16): the factor scales by (f + 1) / 256.
inline int CombineChannel(const CombineUnit& u, int other, int local, int alphaLocal,
                          int factor) {
  int blend = u.zeroOther ? 0 : other;
  if (u.subLocal) blend -= local;
  const int f = (u.reverse ? factor : (factor ^ 0xFF)) + 1;
  int out = (blend * f) >> 8;
  if (u.addLocal) {
    out += local;
  } else if (u.addAlphaLocal) {
    out += alphaLocal;
  }
  out = std::clamp(out, 0, 255);
  return u.invert ? out ^ 0xFF : out;
}

// The TMU's texture combine unit with no upstream TMU: other = 0, local = the texel.
inline uint32_t TextureCombine(const RenderState& st, uint32_t texel) {
  const Argb c = Unpack(texel);
  auto factorOf = [&](const CombineUnit& u, int localChannel) {
    switch (u.mselect) {
      case 1: return localChannel;
      case 3: return c.a;
      default: return 0;  // zero, a_other (0), detail and LOD fraction (0 without mipmapping)
    }
  };
  Argb out;
  out.r = CombineChannel(st.texColor, 0, c.r, c.a, factorOf(st.texColor, c.r));
  out.g = CombineChannel(st.texColor, 0, c.g, c.a, factorOf(st.texColor, c.g));
  out.b = CombineChannel(st.texColor, 0, c.b, c.a, factorOf(st.texColor, c.b));
  out.a = CombineChannel(st.texAlpha, 0, c.a, c.a, factorOf(st.texAlpha, c.a));
  return Pack(out);
}

struct CombineInputs {
  Argb iterated;
  uint32_t texture;  // after the texture combine unit
  int depthAlpha;    // a_local for GR_COMBINE_LOCAL_DEPTH
};

inline Argb SelectOther(OtherSelect sel, const CombineInputs& in, uint32_t color1) {
  switch (sel) {
    case OtherSelect::kTexture: return Unpack(in.texture);
    case OtherSelect::kConstant: return Unpack(color1);
    default: return in.iterated;
  }
}

// The colour and alpha combine units. Returns the combined colour as 0xAARRGGBB; c_other (for
// the chroma key) through `colorOther`.
inline uint32_t ColorAlphaCombine(const RenderState& st, const CombineInputs& in,
                                  uint32_t& colorOther) {
  const Argb cOther = SelectOther(st.colorOther, in, st.color1);
  colorOther = Pack(cOther) & 0xFFFFFF;
  const Argb aOtherSrc = SelectOther(st.alphaOther, in, st.color1);
  const int aOther = aOtherSrc.a;
  int aLocal;
  switch (st.alphaLocal) {
    case LocalSelect::kConstant: aLocal = static_cast<int>(st.color0 >> 24); break;
    case LocalSelect::kDepth: aLocal = in.depthAlpha; break;
    default: aLocal = in.iterated.a; break;
  }
  const Argb cLocal = st.colorLocal == LocalSelect::kConstant ? Unpack(st.color0) : in.iterated;
  const int texAlpha = static_cast<int>(in.texture >> 24);

  auto colorFactor = [&](int localChannel, int texChannel) {
    switch (st.colorCombine.mselect) {
      case 1: return localChannel;
      case 2: return aOther;
      case 3: return aLocal;
      case 4: return texAlpha;
      case 5: return texChannel;
      default: return 0;
    }
  };
  auto alphaFactor = [&]() {
    switch (st.alphaCombine.mselect) {
      case 1: case 3: return aLocal;
      case 2: return aOther;
      case 4: return texAlpha;
      default: return 0;
    }
  };
  const Argb tex = Unpack(in.texture);
  Argb out;
  const CombineUnit& cu = st.colorCombine;
  out.r = CombineChannel(cu, cOther.r, cLocal.r, aLocal, colorFactor(cLocal.r, tex.r));
  out.g = CombineChannel(cu, cOther.g, cLocal.g, aLocal, colorFactor(cLocal.g, tex.g));
  out.b = CombineChannel(cu, cOther.b, cLocal.b, aLocal, colorFactor(cLocal.b, tex.b));
  out.a = CombineChannel(st.alphaCombine, aOther, aLocal, aLocal, alphaFactor());
  return Pack(out);
}

// ---- Blending, dithering, writes -----------------------------------------------------------

// A blend factor as 0..256 (MAME's arithmetic): 255 -> 256 for SRC_ALPHA, so alpha 255 gives
// the source exactly and alpha 0 the destination exactly. `srcSide` picks what the colour codes
// mean: as a source factor kColor is the destination colour, as a destination factor the source.
inline int FactorWeight(BlendFactor code, bool srcSide, int channelSrc, int channelDst, int sa, int da) {
  switch (code) {
    case BlendFactor::kZero: return 0;
    case BlendFactor::kSrcAlpha: return sa + 1;
    case BlendFactor::kColor: return (srcSide ? channelDst : channelSrc) + 1;
    case BlendFactor::kDstAlpha: return da + 1;
    case BlendFactor::kOne: return 256;
    case BlendFactor::kOneMinusSrcAlpha: return 256 - sa;
    case BlendFactor::kOneMinusColor: return 256 - (srcSide ? channelDst : channelSrc);
    case BlendFactor::kOneMinusDstAlpha: return 256 - da;
    case BlendFactor::kAlphaSaturate:  // as a destination factor: prefog colour
      return srcSide ? std::min(sa, 256 - da) + 1 : channelSrc + 1;
    default: return 0;
  }
}

inline int BlendChannel(int s, int d, int sf, int df) {
  return std::min((s * sf + d * df) >> 8, 255);
}

// The destination read back for blending: RGB565 expanded by bit replication, then (4x4 dither
// with subtraction) the dither offset it was written with taken out.
inline Argb ReadDestination(const SpanTarget& t, uint16_t pixel, int ditherPos) {
  const Tables& tab = *t.tables;
  Argb d = Unpack(tab.rgb565To888[pixel]);
  if (t.state.ditherSubtract) {
    d.r = tab.subRb[ditherPos][d.r];
    d.g = tab.subG[ditherPos][d.g];
    d.b = tab.subRb[ditherPos][d.b];
  }
  return d;
}

inline Argb Blend(const RenderState& st, const Argb& s, const Argb& d, int da) {
  const int sa = s.a;
  Argb out;
  out.r = BlendChannel(s.r, d.r, FactorWeight(st.srcFactor, true, s.r, d.r, sa, da),
                       FactorWeight(st.dstFactor, false, s.r, d.r, sa, da));
  out.g = BlendChannel(s.g, d.g, FactorWeight(st.srcFactor, true, s.g, d.g, sa, da),
                       FactorWeight(st.dstFactor, false, s.g, d.g, sa, da));
  out.b = BlendChannel(s.b, d.b, FactorWeight(st.srcFactor, true, s.b, d.b, sa, da),
                       FactorWeight(st.dstFactor, false, s.b, d.b, sa, da));
  // The alpha channel supports only ONE and ZERO on this board.
  const int asf = st.srcAlphaFactor == BlendFactor::kOne ? 256 : 0;
  const int adf = st.dstAlphaFactor == BlendFactor::kOne ? 256 : 0;
  out.a = BlendChannel(s.a, da, asf, adf);
  return out;
}

// 24 -> 16 bits: ordered dither (4x4 or 2x2) or truncation.
inline uint16_t DitherPixel(const Tables& tab, DitherMode mode, int x, int y, const Argb& c) {
  if (mode == DitherMode::k4x4) {
    const int pos = ((y & 3) << 2) | (x & 3);
    return static_cast<uint16_t>(tab.ditherRb[pos][c.r] << 11 | tab.ditherG[pos][c.g] << 5 |
                                 tab.ditherRb[pos][c.b]);
  }
  if (mode == DitherMode::k2x2) {
    const int pos = ((y & 1) << 1) | (x & 1);
    return static_cast<uint16_t>(tab.ditherRb2x2[pos][c.r] << 11 |
                                 tab.ditherG2x2[pos][c.g] << 5 | tab.ditherRb2x2[pos][c.b]);
  }
  return static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3));
}

}  // namespace glide
