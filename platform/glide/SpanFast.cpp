// The specialised span paths. A span is cut into chunks of up to 64 pixels that pass through
// three stages (SpanStages.h):
//   1. perspective: 1/W, S/W and T/W for the whole chunk (AVX2, SSE2 or plain C++, chosen per
//      SIMD level),
//   2. per pixel, a template specialised on the texture format, filter, combine mode and depth
//      compare: depth test, texel fetch, combine, chroma key, alpha test, into channel arrays
//      (eight pixels at a time with AVX2 for the scenes' textured states),
//   3. blending, dither subtraction, dithering and the write, 16 or 8 pixels at a time, for the
//      blend modes the scenes use.
// Every stage computes exactly what the generic path computes (same inline stage functions, the
// same float operations in the same order), and the tests hold them to it bit for bit.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SpanBatch.h"
#include "SpanStages.h"

namespace glide {

void PrepareTexture(SpanTarget& target, const uint8_t* textureMemory,
                    const std::array<uint32_t, 256>& palette) {
  const TextureBinding& b = target.binding;
  const Tables& tab = GetTables();
  target.texels = textureMemory + b.levelAddress;
  target.sAnd = target.state.clampS ? -1 : b.widthMask;
  target.tAnd = target.state.clampT ? -1 : b.heightMask;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v;
    switch (b.format) {
      case kRgb332: v = 0xFF000000u | tab.rgb332[i]; break;
      case kAlpha8: v = i * 0x01010101u; break;
      case kIntensity8: v = 0xFF000000u | i * 0x010101u; break;
      case kAlphaIntensity44: v = ((i >> 4) * 0x11u) << 24 | ((i & 15) * 0x11u) * 0x010101u; break;
      case kP8: case kAp88: v = palette[i]; break;
      default: v = 0; break;
    }
    target.lut8[i] = v;
  }
}

namespace {

// ---- Stage 2: per pixel, specialised ---------------------------------------------------------

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
  const TextureBinding& b = t.binding;
  if constexpr (!kBilinear) {
    return Fetch<kTex>(t, Address(sFix >> b.sShift, t.sAnd, b.widthMask),
                       Address(tFix >> b.tShift, t.tAnd, b.heightMask));
  } else {
    const int lod = b.sShift - 8;
    const int32_t sh = sFix - (128 << lod);
    const int32_t th = tFix - (128 << lod);
    const int s0 = sh >> b.sShift, t0 = th >> b.tShift;
    const int u = (sh >> lod) & 0xF0, v = (th >> lod) & 0xF0;
    const int sa = Address(s0, t.sAnd, b.widthMask), sb = Address(s0 + 1, t.sAnd, b.widthMask);
    const int ta = Address(t0, t.tAnd, b.heightMask), tb = Address(t0 + 1, t.tAnd, b.heightMask);
    const uint32_t top = Lerp(Fetch<kTex>(t, sa, ta), Fetch<kTex>(t, sb, ta), u);
    const uint32_t bottom = Lerp(Fetch<kTex>(t, sa, tb), Fetch<kTex>(t, sb, tb), u);
    return Lerp(top, bottom, v);
  }
}

// A combine unit as RenderState::Normalize leaves it.
CombineUnit NormalizedUnit(int function, int factor) {
  CombineUnit u = MakeCombineUnit(function, factor, false);
  if (u.zeroOther && !u.subLocal) {
    u.mselect = 0;
    u.reverse = 0;
  }
  return u;
}

const CombineUnit& DecalUnit() {
  static const CombineUnit unit = NormalizedUnit(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE);
  return unit;
}

inline int AddSat(int a, int b) { return std::min(a + b, 255); }

template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
void PixelStage(const SpanTarget& target, const Gradients& g, int y, int x0, int n, Chunk& c) {
  const RenderState& st = target.state;
  const uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride;
  const int iy = y - g.ya;
  const bool decal = st.texColor == DecalUnit() && st.texAlpha == DecalUnit();
  for (int i = 0; i < n; ++i) {
    const int x = x0 + i;
    const int ix = x - g.xa;
    c.live[i] = 0;
    uint32_t depth = 0;
    if constexpr (kDepth >= 0) {
      depth = WDepth(c.w[i]);
      if (!Compare(kDepth, depth, auxRow[x])) continue;
      c.depth[i] = static_cast<uint16_t>(depth);
    }
    Argb it;
    it.r = IteratedChannel(g.rgba[0] + ix * g.drgbaDx[0] + iy * g.drgbaDy[0]);
    it.g = IteratedChannel(g.rgba[1] + ix * g.drgbaDx[1] + iy * g.drgbaDy[1]);
    it.b = IteratedChannel(g.rgba[2] + ix * g.drgbaDx[2] + iy * g.drgbaDy[2]);
    it.a = IteratedChannel(g.rgba[3] + ix * g.drgbaDx[3] + iy * g.drgbaDy[3]);
    uint32_t texel = 0;
    if constexpr (kTex != Tex::kNone) {
      texel = Sample<kTex, kBilinear>(target, c.s[i], c.t[i]);
      // DECAL passes the texel through; other texture combines go the long way.
      if (!decal) texel = TextureCombine(st, texel);
    }
    Argb out;
    uint32_t colorOther;
    if constexpr (kCombine != Combine::kGeneric && kCombine != Combine::kItrgb) {
      const Argb tx = Unpack(texel);
      colorOther = texel & 0xFFFFFF;
      const int f = it.a + 1;
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
    } else if constexpr (kCombine == Combine::kItrgb) {
      colorOther = 0;
      out = it;
    } else {
      CombineInputs in;
      in.iterated = it;
      in.texture = texel;
      in.depthAlpha = static_cast<int>(ZDepth(g.z + ix * g.dzDx + iy * g.dzDy) >> 8);
      out = Unpack(ColorAlphaCombine(st, in, colorOther));
    }
    if (st.chromaKey && colorOther == st.chromaValue) continue;
    if (!Compare(st.alphaTestFunc, static_cast<uint32_t>(out.a), st.alphaRef)) continue;
    c.r[i] = static_cast<uint16_t>(out.r);
    c.g[i] = static_cast<uint16_t>(out.g);
    c.b[i] = static_cast<uint16_t>(out.b);
    c.a[i] = static_cast<uint16_t>(out.a);
    c.live[i] = 0xFFFF;
  }
}

// ---- The span ----------------------------------------------------------------------------------

template <Tex kTex, bool kBilinear, Combine kCombine, int kDepth>
void SpanFast(const SpanTarget& target, const Gradients& g, int y, int x0, int x1) {
  const WriteFn write = reinterpret_cast<WriteFn>(target.writeStage);
#if GLIDE_X86
  if constexpr (kTex != Tex::kNone && kCombine != Combine::kGeneric && kCombine != Combine::kItrgb) {
    if (target.simdShade && x1 - x0 <= kShortSpan &&
        ShortSpanAvx2<kTex, kBilinear, kCombine, kDepth>(target, g, y, x0, x1 - x0, write)) {
      return;
    }
  }
#endif
  alignas(32) Chunk c;
  const int iy = y - g.ya;
  const RowStart row{g.w + static_cast<float>(iy) * g.dwDy, g.s + static_cast<float>(iy) * g.dsDy,
                     g.t + static_cast<float>(iy) * g.dtDy};
  const PerspectiveFn perspective = reinterpret_cast<PerspectiveFn>(target.perspective);
  const bool depthWrite = kDepth >= 0 && target.state.depthMask;
  uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride;
#if GLIDE_X86
  const bool simdShade = target.simdShade;
#endif
  for (int x = x0; x < x1; x += kChunk) {
    const int n = std::min(kChunk, x1 - x);
    if (kTex != Tex::kNone || kDepth >= 0) perspective(g, row, x - g.xa, n, kTex != Tex::kNone, c);
#if GLIDE_X86
    if constexpr (kTex != Tex::kNone && kCombine != Combine::kGeneric && kCombine != Combine::kItrgb) {
      if (simdShade) {
        ShadeAvx2<kTex, kBilinear, kCombine, kDepth>(target, g, y, x, n, c);
      } else {
        PixelStage<kTex, kBilinear, kCombine, kDepth>(target, g, y, x, n, c);
      }
    } else {
      PixelStage<kTex, kBilinear, kCombine, kDepth>(target, g, y, x, n, c);
    }
#else
    PixelStage<kTex, kBilinear, kCombine, kDepth>(target, g, y, x, n, c);
#endif
    for (int i = n; i < ((n + 15) & ~15); ++i) c.live[i] = 0;
    write(target, y, x, n, c);
    if (depthWrite) {
      for (int i = 0; i < n; ++i) {
        if (c.live[i]) auxRow[x + i] = c.depth[i];
      }
    }
  }
}

// ---- Selection -------------------------------------------------------------------------------

template <Tex kTex, bool kBilinear, Combine kCombine>
SpanFn PickDepth(int depth) {
  switch (depth) {
    case -1: return SpanFast<kTex, kBilinear, kCombine, -1>;
    case GR_CMP_LESS: return SpanFast<kTex, kBilinear, kCombine, GR_CMP_LESS>;
    case GR_CMP_LEQUAL: return SpanFast<kTex, kBilinear, kCombine, GR_CMP_LEQUAL>;
    case GR_CMP_ALWAYS: return SpanFast<kTex, kBilinear, kCombine, GR_CMP_ALWAYS>;
    default: return nullptr;
  }
}

template <Tex kTex, bool kBilinear>
SpanFn PickCombine(Combine combine, int depth) {
  switch (combine) {
    case Combine::kTexAddItrgbIterAlpha: return PickDepth<kTex, kBilinear, Combine::kTexAddItrgbIterAlpha>(depth);
    case Combine::kTexAddItrgbTexTimesIterAlpha: return PickDepth<kTex, kBilinear, Combine::kTexAddItrgbTexTimesIterAlpha>(depth);
    case Combine::kDisplayDefault: return PickDepth<kTex, kBilinear, Combine::kDisplayDefault>(depth);
    case Combine::kDisplayTexTimesIterAlpha: return PickDepth<kTex, kBilinear, Combine::kDisplayTexTimesIterAlpha>(depth);
    default: return PickDepth<kTex, kBilinear, Combine::kGeneric>(depth);
  }
}

Combine ClassifyCombine(const RenderState& st) {
  const CombineUnit addLocal = MakeCombineUnit(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_ONE, false);
  const CombineUnit addScaled = MakeCombineUnit(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, false);
  const CombineUnit alphaLocal = DecalUnit();
  const CombineUnit alphaTimes = MakeCombineUnit(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, false);
  const bool iterLocal = st.colorLocal == LocalSelect::kIterated;
  const bool texOther = st.colorOther == OtherSelect::kTexture;
  const bool alphaIterLocal = st.alphaLocal == LocalSelect::kIterated;
  const bool alphaIsIterated = st.alphaCombine == alphaLocal && alphaIterLocal;
  const bool alphaIsTexTimesIter = st.alphaCombine == alphaTimes && alphaIterLocal &&
                                   st.alphaOther == OtherSelect::kTexture;
  if (iterLocal && texOther && st.colorCombine == addLocal) {
    if (alphaIsIterated) return Combine::kTexAddItrgbIterAlpha;
    if (alphaIsTexTimesIter) return Combine::kTexAddItrgbTexTimesIterAlpha;
  }
  if (iterLocal && texOther && st.colorCombine == addScaled) {
    if (alphaIsIterated) return Combine::kDisplayDefault;
    if (alphaIsTexTimesIter) return Combine::kDisplayTexTimesIterAlpha;
  }
  // Flat iterated colour; the chroma key would need c_other, which this path does not select.
  if (iterLocal && st.colorCombine == DecalUnit() && alphaIsIterated && !st.chromaKey) {
    return Combine::kItrgb;
  }
  return Combine::kGeneric;
}

SpanFn SelectFast(const RenderState& st) {
  // Only what the specialised stages cover: no alpha planes, colour writes on, W-buffer with
  // no bias, and for textures one of the formats the scenes load.
  if (!st.rgbMask || st.AlphaPlanes()) return nullptr;
  int depth = -1;
  if (st.DepthEnabled()) {
    if (st.depthMode != DepthMode::kW || st.depthBias != 0) return nullptr;
    depth = st.depthFunc;
  }
  const Combine combine = ClassifyCombine(st);
  if (!st.textureEnabled) {
    if (combine == Combine::kItrgb) return PickDepth<Tex::kNone, false, Combine::kItrgb>(depth);
    return PickDepth<Tex::kNone, false, Combine::kGeneric>(depth);
  }
  if (combine == Combine::kItrgb) return nullptr;
  switch (st.texFormat) {
    case kP8: case kRgb332: case kAlpha8: case kIntensity8: case kAlphaIntensity44:
      return st.bilinear ? PickCombine<Tex::kLut8, true>(combine, depth)
                         : PickCombine<Tex::kLut8, false>(combine, depth);
    case kRgb565:
      return st.bilinear ? PickCombine<Tex::k565, true>(combine, depth)
                         : PickCombine<Tex::k565, false>(combine, depth);
    case kArgb4444:
      return st.bilinear ? PickCombine<Tex::k4444, true>(combine, depth)
                         : PickCombine<Tex::k4444, false>(combine, depth);
    default:
      return nullptr;
  }
}

// The small-triangle path for a state the AVX2 shading covers, where the write pass has a
// variant for its blend, dither and depth function.
void SelectBatch(SpanTarget& target) {
  target.batch = nullptr;
  target.rowsWrite = nullptr;
#if GLIDE_X86
  const RenderState& st = target.state;
  if (!target.simdShade || !st.textureEnabled) return;
  const int depth = st.DepthEnabled() ? st.depthFunc : -1;
  const RowsWriteFn write = PickRowsWrite(st, depth);
  if (write == nullptr) return;
  const Combine combine = ClassifyCombine(st);
  BatchFn batch = nullptr;
  switch (st.texFormat) {
    case kP8: case kRgb332: case kAlpha8: case kIntensity8: case kAlphaIntensity44:
      batch = PickBatch<Tex::kLut8>(st.bilinear, combine, depth >= 0);
      break;
    case kRgb565: batch = PickBatch<Tex::k565>(st.bilinear, combine, depth >= 0); break;
    case kArgb4444: batch = PickBatch<Tex::k4444>(st.bilinear, combine, depth >= 0); break;
    default: break;
  }
  if (batch == nullptr) return;
  target.batch = batch;
  target.rowsWrite = reinterpret_cast<void (*)()>(write);
#endif
}

}  // namespace

SimdLevel DetectedSimd() {
#if GLIDE_X86
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? SimdLevel::kAvx2 : SimdLevel::kSse2;
#else
  return SimdLevel::kNone;
#endif
}

SimdLevel SimdFromEnvironment() {
  const SimdLevel detected = DetectedSimd();
  const char* text = std::getenv("GLIDE_SIMD");
  if (text == nullptr || *text == '\0') return detected;
  SimdLevel asked;
  if (std::strcmp(text, "none") == 0) {
    asked = SimdLevel::kNone;
  } else if (std::strcmp(text, "sse2") == 0) {
    asked = SimdLevel::kSse2;
  } else if (std::strcmp(text, "avx2") == 0) {
    asked = SimdLevel::kAvx2;
  } else {
    std::fprintf(stderr, "glide: GLIDE_SIMD=%s is not none, sse2 or avx2; ignored\n", text);
    return detected;
  }
  return std::min(asked, detected);
}

SpanFn SelectSpanFunction(SpanTarget& target, bool allowSpecialised, SimdLevel level) {
  target.simdShade = false;
  target.batch = nullptr;
  target.rowsWrite = nullptr;
  if (!allowSpecialised) return SpanGeneric;
  const SpanFn fast = SelectFast(target.state);
  if (fast == nullptr) return SpanGeneric;
  target.simdShade = level == SimdLevel::kAvx2 && target.state.texColor == DecalUnit() &&
                     target.state.texAlpha == DecalUnit();
  target.perspective = reinterpret_cast<void (*)()>(ChoosePerspective(level));
  target.writeStage = reinterpret_cast<void (*)()>(ChooseWrite(target.state, level));
  SelectBatch(target);
  return fast;
}

}  // namespace glide
