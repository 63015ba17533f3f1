#include "RenderState.h"

namespace glide {

CombineUnit MakeCombineUnit(int function, int factor, bool invert) {
  // Glide 2.x grColorCombine: factor's low 3 bits select the multiplier, bit 3 ("ONE_MINUS_")
  // clear means the factor is used as is.
  CombineUnit unit;
  unit.mselect = static_cast<uint8_t>(factor & 7);
  unit.reverse = (factor & 8) ? 0 : 1;
  unit.invert = invert ? 1 : 0;
  switch (function) {
    case 0x0: unit.zeroOther = 1; break;                                              // ZERO
    case 0x1: unit.zeroOther = 1; unit.addLocal = 1; break;                           // LOCAL
    case 0x2: unit.zeroOther = 1; unit.addAlphaLocal = 1; break;                      // LOCAL_ALPHA
    case 0x3: break;                                                                  // SCALE_OTHER
    case 0x4: unit.addLocal = 1; break;                                               // ..._ADD_LOCAL
    case 0x5: unit.addAlphaLocal = 1; break;                                          // ..._ADD_LOCAL_ALPHA
    case 0x6: unit.subLocal = 1; break;                                               // ..._MINUS_LOCAL
    case 0x7: unit.subLocal = 1; unit.addLocal = 1; break;                            // BLEND
    case 0x8: unit.subLocal = 1; unit.addAlphaLocal = 1; break;
    case 0x9: unit.zeroOther = 1; unit.subLocal = 1; unit.addLocal = 1; break;        // BLEND_LOCAL
    case 0x10: unit.zeroOther = 1; unit.subLocal = 1; unit.addAlphaLocal = 1; break;
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
  if (blendEnabled && srcFactor == 4 && dstFactor == 0 && (DepthEnabled() || !alphaMask)) {
    blendEnabled = 0;
  }
  // A depth test that always passes and writes nothing leaves the aux buffer alone.
  if (DepthEnabled() && depthFunc == 7 && !depthMask && !alphaMask) depthMode = DepthMode::kDisable;
  if (alphaTestFunc == 7) alphaRef = 0;
  if (!chromaKey) chromaValue = 0;
  chromaValue &= 0xFFFFFF;
  if (!blendEnabled) {
    srcFactor = 4;
    dstFactor = 0;
    srcAlphaFactor = 4;
    dstAlphaFactor = 0;
  }
  if (!DepthEnabled()) {
    depthFunc = 7;
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
  Mix(h, alphaTestFunc | alphaRef << 8 | chromaKey << 16);
  Mix(h, chromaValue);
  Mix(h, blendEnabled | srcFactor << 4 | dstFactor << 8 | srcAlphaFactor << 12 |
             dstAlphaFactor << 16);
  Mix(h, static_cast<int>(depthMode) | depthFunc << 4 | depthMask << 8 |
             (static_cast<uint16_t>(depthBias) << 12));
  Mix(h, rgbMask | alphaMask << 1 | static_cast<int>(dither) << 2 | ditherSubtract << 4);
  return h;
}

}  // namespace glide
