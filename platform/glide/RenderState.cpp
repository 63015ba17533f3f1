#include "RenderState.h"

#include "glide.h"

namespace glide {

#define GLIDE_SAME_CODE(value, name) static_assert(static_cast<int>(value) == (name), #name)
GLIDE_SAME_CODE(CombineFunction::kZero, GR_COMBINE_FUNCTION_ZERO);
GLIDE_SAME_CODE(CombineFunction::kLocal, GR_COMBINE_FUNCTION_LOCAL);
GLIDE_SAME_CODE(CombineFunction::kLocalAlpha, GR_COMBINE_FUNCTION_LOCAL_ALPHA);
GLIDE_SAME_CODE(CombineFunction::kScaleOther, GR_COMBINE_FUNCTION_SCALE_OTHER);
GLIDE_SAME_CODE(CombineFunction::kScaleOtherAddLocal, GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL);
GLIDE_SAME_CODE(CombineFunction::kScaleOtherAddLocalAlpha, GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA);
GLIDE_SAME_CODE(CombineFunction::kScaleOtherMinusLocal, GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL);
GLIDE_SAME_CODE(CombineFunction::kScaleOtherMinusLocalAddLocal, GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL);
GLIDE_SAME_CODE(CombineFunction::kScaleOtherMinusLocalAddLocalAlpha,
                GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA);
GLIDE_SAME_CODE(CombineFunction::kScaleMinusLocalAddLocal, GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL);
GLIDE_SAME_CODE(CombineFunction::kScaleMinusLocalAddLocalAlpha, GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kZero, GR_COMBINE_FACTOR_ZERO);
GLIDE_SAME_CODE(CombineFactor::kLocal, GR_COMBINE_FACTOR_LOCAL);
GLIDE_SAME_CODE(CombineFactor::kOtherAlpha, GR_COMBINE_FACTOR_OTHER_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kLocalAlpha, GR_COMBINE_FACTOR_LOCAL_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kTextureAlpha, GR_COMBINE_FACTOR_TEXTURE_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kTextureRgb, GR_COMBINE_FACTOR_TEXTURE_RGB);
GLIDE_SAME_CODE(CombineFactor::kOne, GR_COMBINE_FACTOR_ONE);
GLIDE_SAME_CODE(CombineFactor::kOneMinusLocal, GR_COMBINE_FACTOR_ONE_MINUS_LOCAL);
GLIDE_SAME_CODE(CombineFactor::kOneMinusOtherAlpha, GR_COMBINE_FACTOR_ONE_MINUS_OTHER_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kOneMinusLocalAlpha, GR_COMBINE_FACTOR_ONE_MINUS_LOCAL_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kOneMinusTextureAlpha, GR_COMBINE_FACTOR_ONE_MINUS_TEXTURE_ALPHA);
GLIDE_SAME_CODE(CombineFactor::kOneMinusTextureRgb, GR_COMBINE_FACTOR_ONE_MINUS_LOD_FRACTION);
GLIDE_SAME_CODE(BlendFactor::kZero, GR_BLEND_ZERO);
GLIDE_SAME_CODE(BlendFactor::kSrcAlpha, GR_BLEND_SRC_ALPHA);
GLIDE_SAME_CODE(BlendFactor::kColor, GR_BLEND_SRC_COLOR);
GLIDE_SAME_CODE(BlendFactor::kColor, GR_BLEND_DST_COLOR);
GLIDE_SAME_CODE(BlendFactor::kDstAlpha, GR_BLEND_DST_ALPHA);
GLIDE_SAME_CODE(BlendFactor::kOne, GR_BLEND_ONE);
GLIDE_SAME_CODE(BlendFactor::kOneMinusSrcAlpha, GR_BLEND_ONE_MINUS_SRC_ALPHA);
GLIDE_SAME_CODE(BlendFactor::kOneMinusColor, GR_BLEND_ONE_MINUS_SRC_COLOR);
GLIDE_SAME_CODE(BlendFactor::kOneMinusColor, GR_BLEND_ONE_MINUS_DST_COLOR);
GLIDE_SAME_CODE(BlendFactor::kOneMinusDstAlpha, GR_BLEND_ONE_MINUS_DST_ALPHA);
GLIDE_SAME_CODE(BlendFactor::kAlphaSaturate, GR_BLEND_ALPHA_SATURATE);
GLIDE_SAME_CODE(CompareFunc::kNever, GR_CMP_NEVER);
GLIDE_SAME_CODE(CompareFunc::kLess, GR_CMP_LESS);
GLIDE_SAME_CODE(CompareFunc::kEqual, GR_CMP_EQUAL);
GLIDE_SAME_CODE(CompareFunc::kLequal, GR_CMP_LEQUAL);
GLIDE_SAME_CODE(CompareFunc::kGreater, GR_CMP_GREATER);
GLIDE_SAME_CODE(CompareFunc::kNotEqual, GR_CMP_NOTEQUAL);
GLIDE_SAME_CODE(CompareFunc::kGequal, GR_CMP_GEQUAL);
GLIDE_SAME_CODE(CompareFunc::kAlways, GR_CMP_ALWAYS);
#undef GLIDE_SAME_CODE

CombineUnit MakeCombineUnit(CombineFunction function, CombineFactor factor, bool invert) {
  // Glide 2.x grColorCombine: factor's low 3 bits select the multiplier, bit 3 ("ONE_MINUS_")
  // clear means the factor is used as is.
  const int code = static_cast<int>(factor);
  CombineUnit unit;
  unit.mselect = static_cast<uint8_t>(code & 7);
  unit.reverse = (code & 8) ? 0 : 1;
  unit.invert = invert ? 1 : 0;
  using F = CombineFunction;
  switch (function) {
    case F::kZero: unit.zeroOther = 1; break;
    case F::kLocal: unit.zeroOther = 1; unit.addLocal = 1; break;
    case F::kLocalAlpha: unit.zeroOther = 1; unit.addAlphaLocal = 1; break;
    case F::kScaleOther: break;
    case F::kScaleOtherAddLocal: unit.addLocal = 1; break;
    case F::kScaleOtherAddLocalAlpha: unit.addAlphaLocal = 1; break;
    case F::kScaleOtherMinusLocal: unit.subLocal = 1; break;
    case F::kScaleOtherMinusLocalAddLocal: unit.subLocal = 1; unit.addLocal = 1; break;
    case F::kScaleOtherMinusLocalAddLocalAlpha: unit.subLocal = 1; unit.addAlphaLocal = 1; break;
    case F::kScaleMinusLocalAddLocal: unit.zeroOther = 1; unit.subLocal = 1; unit.addLocal = 1; break;
    case F::kScaleMinusLocalAddLocalAlpha: unit.zeroOther = 1; unit.subLocal = 1; unit.addAlphaLocal = 1; break;
    default: unit.zeroOther = 1; break;
  }
  return unit;
}

namespace {

// A unit whose blend input is always zero ignores its factor.
void NormalizeUnit(CombineUnit& unit) {
  if (unit.zeroOther && !unit.subLocal) {
    unit.mselect = 0;
    unit.reverse = 0;
  }
}

bool ReadsOther(const CombineUnit& unit) { return !unit.zeroOther; }
bool ReadsLocal(const CombineUnit& unit) {
  return unit.subLocal || unit.addLocal || unit.mselect == 1;
}

template <class T>
void Mix(size_t& h, T v) {
  h ^= static_cast<size_t>(v) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
}

void MixUnit(size_t& h, const CombineUnit& u) {
  Mix(h, u.zeroOther | u.subLocal << 1 | u.reverse << 2 | u.addLocal << 3 |
             u.addAlphaLocal << 4 | u.invert << 5 | u.mselect << 6);
}

}  // namespace

bool RenderState::UsesIteratedColor() const {
  const bool otherIter = colorOther == OtherSelect::kIterated &&
                         (ReadsOther(colorCombine) || chromaKey);
  const bool localIter = colorLocal == LocalSelect::kIterated && ReadsLocal(colorCombine);
  return otherIter || localIter;
}

bool RenderState::UsesIteratedAlpha() const {
  // a_local and a_other also feed the colour unit's factors and its ADD_ALOCAL.
  const bool colorNeedsALocal = colorCombine.mselect == 3 || colorCombine.addAlphaLocal;
  const bool colorNeedsAOther = colorCombine.mselect == 2;
  const bool alphaNeedsLocal = ReadsLocal(alphaCombine) || alphaCombine.addAlphaLocal ||
                               alphaCombine.mselect == 3 || colorNeedsALocal;
  const bool alphaNeedsOther = ReadsOther(alphaCombine) || alphaCombine.mselect == 2 ||
                               colorNeedsAOther;
  return (alphaLocal == LocalSelect::kIterated && alphaNeedsLocal) ||
         (alphaOther == OtherSelect::kIterated && alphaNeedsOther);
}

void RenderState::Normalize() {
  NormalizeUnit(colorCombine);
  NormalizeUnit(alphaCombine);

  // Texturing is on when a combine unit reads the texture (Glide sets fbzColorPath bit 27 for
  // other = TEXTURE or factor TEXTURE_ALPHA); the chroma key reads c_other even when the colour
  // unit zeroes it.
  const bool colorReadsTex = colorOther == OtherSelect::kTexture &&
                             (ReadsOther(colorCombine) || chromaKey);
  const bool alphaReadsTex = alphaOther == OtherSelect::kTexture &&
                             (ReadsOther(alphaCombine) || colorCombine.mselect == 2 ||
                              alphaCombine.mselect == 2);
  const bool factorReadsTex = colorCombine.mselect >= 4 || alphaCombine.mselect >= 4;
  textureEnabled = (colorReadsTex || alphaReadsTex || factorReadsTex) ? 1 : 0;
  if (!textureEnabled) {
    texColor = CombineUnit{};
    texAlpha = CombineUnit{};
    texFormat = kRgb565;
    bilinear = 0;
    clampS = clampT = 0;
  } else {
    NormalizeUnit(texColor);
    NormalizeUnit(texAlpha);
  }

  // ONE / ZERO with no alpha planes writes the source unchanged: the same as blending off
  // (the alpha pair only reaches the alpha planes).
  if (blendEnabled && srcFactor == BlendFactor::kOne && dstFactor == BlendFactor::kZero &&
      (DepthEnabled() || !alphaMask)) {
    blendEnabled = 0;
  }
  // A depth test that always passes and writes nothing leaves the aux buffer alone.
  if (DepthEnabled() && depthFunc == CompareFunc::kAlways && !depthMask && !alphaMask) {
    depthMode = DepthMode::kDisable;
  }
  if (alphaTestFunc == CompareFunc::kAlways) alphaRef = 0;
  if (!chromaKey) chromaValue = 0;
  chromaValue &= 0xFFFFFF;
  if (!blendEnabled) {
    srcFactor = BlendFactor::kOne;
    dstFactor = BlendFactor::kZero;
    srcAlphaFactor = BlendFactor::kOne;
    dstAlphaFactor = BlendFactor::kZero;
  }
  if (!DepthEnabled()) {
    depthFunc = CompareFunc::kAlways;
    depthMask = 0;
    depthBias = 0;
  } else {
    alphaMask = 0;  // the aux buffer holds depth
  }
  // Dither subtraction only touches the destination read by blending, and only in 4x4 mode.
  if (dither != DitherMode::k4x4 || !blendEnabled) ditherSubtract = 0;
}

size_t RenderState::Hash() const {
  size_t h = 0;
  MixUnit(h, colorCombine);
  MixUnit(h, alphaCombine);
  Mix(h, static_cast<int>(colorOther) | static_cast<int>(colorLocal) << 2 |
             static_cast<int>(alphaOther) << 4 | static_cast<int>(alphaLocal) << 6);
  Mix(h, color0);
  Mix(h, color1);
  Mix(h, textureEnabled);
  MixUnit(h, texColor);
  MixUnit(h, texAlpha);
  Mix(h, texFormat | bilinear << 8 | clampS << 9 | clampT << 10);
  Mix(h, static_cast<int>(alphaTestFunc) | alphaRef << 8 | chromaKey << 16);
  Mix(h, chromaValue);
  Mix(h, blendEnabled | static_cast<int>(srcFactor) << 4 | static_cast<int>(dstFactor) << 8 |
             static_cast<int>(srcAlphaFactor) << 12 | static_cast<int>(dstAlphaFactor) << 16);
  Mix(h, static_cast<int>(depthMode) | static_cast<int>(depthFunc) << 4 | depthMask << 8 |
             (static_cast<uint16_t>(depthBias) << 12));
  Mix(h, rgbMask | alphaMask << 1 | static_cast<int>(dither) << 2 | ditherSubtract << 4);
  return h;
}

}  // namespace glide
