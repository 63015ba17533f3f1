// Which span path draws a render state. Every path computes exactly what the generic path
// (SpanGeneric.cpp) computes, bit for bit; the agreement tests hold each to it at every SIMD
// level. The paths, fastest first, with what they drew over the whole presentation (GLIDE_STATS
// on an AMD EPYC Zen 4 at the AVX-512 level; 4.08 G pixels in 27.5 M triangles):
//
// | path (unit)              | states it serves                         | pixels (triangles) | benchmark case          | what it saves                          |
// |--------------------------|------------------------------------------|--------------------|-------------------------|----------------------------------------|
// | batch (SpanBatch-inl.h)  | a SIMD level; DECAL texture combine; a   | 26 % (27.2 M),     | mesh, mesh_objects,     | a small triangle's rows packed into    |
// |                          | lane combine; P_8/8-bit, RGB565 or       | 79 Mpixel/s        | mesh_scene_size,        | one list: no idle lanes, one set-up    |
// |                          | ARGB4444; blend none/alpha/add/darken/   |                    | mesh_scene_size_objects | per triangle instead of per row        |
// |                          | scale; no 2x2 dither; no depth or W      |                    |                         |                                        |
// |                          | LESS/LEQUAL/ALWAYS                       |                    |                         |                                        |
// | row (SpanRow-inl.h)      | the batch's states, any triangle size    | 74 % (0.21 M),     | quad, quad_p8,          | texture, combine and write a block of  |
// |                          | and any dither; short spans in one pass  | 224 Mpixel/s       | quad_opaque             | pixels at a time; from a level of one  |
// |                          |                                          |                    |                         | colour, no texel coordinates or fetches|
// | chunked (SpanScalar.cpp  | the specialised states at level none or  | 0                  | the cases above with    | per-pixel decisions made once per      |
// | with the level's stages) | with another texture combine; untextured |                    | GLIDE_SIMD=none         | state; the level's perspective and     |
// |                          | iterated colour; generic combines        |                    |                         | write stages                           |
// | generic (SpanGeneric.cpp)| everything else: alpha planes, Z-buffer, | 0                  | *_generic               | nothing: the reference                 |
// |                          | depth bias, other formats and blend modes|                    |                         |                                        |
//
// The lane stages (SpanLanes-inl.h) are written once and compiled for every SIMD target; the
// batch and row instances per texture format (SpanSimdLut8.cpp, SpanSimdRgb565.cpp,
// SpanSimdArgb4444.cpp), so that they build in parallel.
//
// A specialised path needs colour writes on, no alpha planes and, with depth, a W-buffer
// without bias. Span functions and their stages are chosen once per render state (the context
// caches the choice).
#include <cstring>

#include "SpanInternal.h"

namespace glide {

namespace {

// A combine unit as RenderState::Normalize leaves it.
CombineUnit NormalizedUnit(CombineFunction function, CombineFactor factor) {
  CombineUnit u = MakeCombineUnit(function, factor, false);
  if (u.zeroOther && !u.subLocal) {
    u.mselect = 0;
    u.reverse = 0;
  }
  return u;
}

Combine ClassifyCombine(const RenderState& st) {
  const CombineUnit addLocal = MakeCombineUnit(CombineFunction::kScaleOtherAddLocal, CombineFactor::kOne, false);
  const CombineUnit addScaled =
      MakeCombineUnit(CombineFunction::kScaleOtherAddLocal, CombineFactor::kLocalAlpha, false);
  const CombineUnit alphaTimes = MakeCombineUnit(CombineFunction::kScaleOther, CombineFactor::kLocal, false);
  const bool iterLocal = st.colorLocal == LocalSelect::kIterated;
  const bool texOther = st.colorOther == OtherSelect::kTexture;
  const bool alphaIterLocal = st.alphaLocal == LocalSelect::kIterated;
  const bool alphaIsIterated = st.alphaCombine == DecalUnit() && alphaIterLocal;
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

BlendKind ClassifyBlend(const RenderState& st) {
  if (!st.blendEnabled) return BlendKind::kNone;
  using F = BlendFactor;
  const F s = st.srcFactor, d = st.dstFactor;
  if (s == F::kSrcAlpha && d == F::kOneMinusSrcAlpha) return BlendKind::kAlpha;
  if (s == F::kSrcAlpha && d == F::kOne) return BlendKind::kAdd;
  if (s == F::kZero && d == F::kOneMinusSrcAlpha) return BlendKind::kDarken;
  if (s == F::kSrcAlpha && d == F::kZero) return BlendKind::kScale;
  return BlendKind::kGeneric;
}

Tex ClassifyTexture(const RenderState& st) {
  switch (st.texFormat) {
    case kP8: case kRgb332: case kAlpha8: case kIntensity8: case kAlphaIntensity44: return Tex::kLut8;
    case kRgb565: return Tex::k565;
    case kArgb4444: return Tex::k4444;
    default: return Tex::kNone;
  }
}

// The key of the specialised path for the state; false where only the generic path serves it.
bool ClassifySpan(const RenderState& st, SpanKey& key) {
  // Only what the specialised stages cover: no alpha planes, colour writes on, W-buffer with
  // no bias, and for textures one of the formats the scenes load.
  if (!st.rgbMask || st.AlphaPlanes()) return false;
  key.depth = kNoDepth;
  if (st.DepthEnabled()) {
    if (st.depthMode != DepthMode::kW || st.depthBias != 0) return false;
    key.depth = st.depthFunc;
    if (key.depth != CompareFunc::kLess && key.depth != CompareFunc::kLequal && key.depth != CompareFunc::kAlways) {
      return false;
    }
  }
  key.combine = ClassifyCombine(st);
  key.bilinear = false;
  key.tex = Tex::kNone;
  if (!st.textureEnabled) {
    if (key.combine != Combine::kItrgb) key.combine = Combine::kGeneric;
    return true;
  }
  if (key.combine == Combine::kItrgb) return false;
  key.tex = ClassifyTexture(st);
  key.bilinear = st.bilinear;
  return key.tex != Tex::kNone;
}

// The write stage's key: 4x4 dither subtraction only matters where the destination is read.
WriteKey ClassifyWrite(const RenderState& st) {
  WriteKey key;
  key.blend = ClassifyBlend(st);
  key.dither = st.dither == DitherMode::k4x4;
  key.subtract = key.dither && st.ditherSubtract && key.blend != BlendKind::kNone;
  return key;
}

PerspectiveFn ChoosePerspective(SimdLevel level) {
  const PerspectiveFn simd = level == SimdLevel::kNone ? nullptr : PerspectiveSimd(level);
  return simd != nullptr ? simd : PerspectiveScalar;
}

WriteFn ChooseWrite(const RenderState& st, SimdLevel level) {
  const WriteKey key = ClassifyWrite(st);
  if (st.dither == DitherMode::k2x2 || level == SimdLevel::kNone || key.blend == BlendKind::kGeneric) {
    return WriteStageScalar;
  }
  const WriteFn simd = PickWriteSimd(level, key);
  return simd != nullptr ? simd : WriteStageScalar;
}

// The small-triangle path for a state the lane shading covers, where the write pass has a
// variant for its blend, dither and depth function.
void SelectBatch(const RenderState& st, const SpanKey& key, SimdLevel level, SpanSelection& out) {
  if (key.tex == Tex::kNone || st.dither == DitherMode::k2x2) return;
  auto select = [&](SimdLevel at) {
    const RowsWriteFn write = PickRowsWriteSimd(at, ClassifyWrite(st), key.depth);
    const BatchFn batch = PickBatchSimd(at, key);
    if (write == nullptr || batch == nullptr) return false;
    out.batch = batch;
    out.rowsWrite = write;
    return true;
  };
  // A small triangle's pixels fill few lanes of a 512-bit vector: with AVX-512 the batch path
  // takes its 256-bit instances (the objects' 20-pixel triangles on Zen 4 draw about a tenth
  // faster, 4-pixel ones a fifth), while rows keep the wide ones.
  if (level == SimdLevel::kAvx512 && select(SimdLevel::kAvx2)) return;
  select(level);
}

}  // namespace

const CombineUnit& DecalUnit() {
  static const CombineUnit unit = NormalizedUnit(CombineFunction::kLocal, CombineFactor::kZero);
  return unit;
}

void PrepareTexture(SpanTarget& target, const uint8_t* textureMemory) {
  const TextureBinding& b = target.binding;
  target.texels = textureMemory + b.levelAddress;
  target.sAnd = target.state.clampS ? -1 : b.widthMask;
  target.tAnd = target.state.clampT ? -1 : b.heightMask;
}

void FindUniformTexel(SpanTarget& target) {
  const TextureBinding& b = target.binding;
  const size_t texel = static_cast<size_t>(BytesPerTexel(b.format));
  const size_t bytes = static_cast<size_t>(b.widthMask + 1) * static_cast<size_t>(b.heightMask + 1) * texel;
  // All texels equal each one's successor. A level that is not uniform usually differs within
  // its first texels, so this is seldom a whole pass over the level.
  target.uniform = std::memcmp(target.texels, target.texels + texel, bytes - texel) == 0;
  target.uniformTexel = target.uniform ? DecodeTexel(target, 0, 0) : 0;
}

bool UsesTextureLut(TexFormat format) { return BytesPerTexel(format) == 1 || format == kAp88; }

void FillTextureLut(SpanTarget& target, TexFormat format, const std::array<uint32_t, 256>& palette) {
  const Tables& tab = GetTables();
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v;
    switch (format) {
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

const DitherRows& GetDitherRows() {
  static const DitherRows rows = [] {
    DitherRows r{};
    for (int y = 0; y < 4; ++y) {
      for (int phase = 0; phase < 4; ++phase) {
        for (int k = 0; k < kMaxBlock; ++k) {
          const int d = kDither4x4[y][(phase + k) & 3];
          r.d[y][phase][k] = static_cast<uint16_t>(d);
          r.subRb[y][phase][k] = static_cast<uint16_t>(DitherSubtractRb(d));
          r.subG[y][phase][k] = static_cast<uint16_t>(DitherSubtractG(d));
        }
      }
    }
    return r;
  }();
  return rows;
}

SpanSelection SelectSpans(const RenderState& st, bool allowSpecialised, SimdLevel level) {
  SpanSelection out;
  SpanKey key;
  if (!allowSpecialised || !ClassifySpan(st, key)) return out;
  out.combine = key.combine;
  out.perspective = ChoosePerspective(level);
  out.write = ChooseWrite(st, level);
  // A block of pixels at a time: a SIMD level and the DECAL texture combine.
  const bool laneShading = level != SimdLevel::kNone && st.texColor == DecalUnit() && st.texAlpha == DecalUnit();
  if (laneShading) SelectBatch(st, key, level, out);
  if (laneShading && key.tex != Tex::kNone && LaneCombine(key.combine)) {
    if (const SpanFn span = PickSpanSimd(level, key)) {
      out.span = span;
      out.path = SpanPath::kRow;
      return out;
    }
  }
  if (const SpanFn span = PickChunkedSpan(key)) {
    out.span = span;
    out.path = SpanPath::kChunked;
  }
  return out;
}

}  // namespace glide
