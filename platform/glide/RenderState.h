// The render state: everything that decides what a pixel becomes, as one plain value. The Glide
// calls write it in the form the board's registers hold (combine unit bits, blend factor codes,
// compare functions); Normalize() clears what cannot matter so that equal pictures mean equal
// states, and Hash() keys the cache of span functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glide {

// One combine unit (colour, alpha, or the TMU's texture combine) as SST-1 hardware reference 5.16 draws it:
//   blend = (zeroOther ? 0 : other) - (subLocal ? local : 0)
//   f     = factor selected by mselect, used as is (reverse) or as 255 - f; then + 1
//   out   = clamp((blend * f >> 8) + (addLocal ? local : addAlphaLocal ? alocal : 0), 0, 255)
//   out   = invert ? out ^ 0xFF : out
struct CombineUnit {
  uint8_t zeroOther = 0;
  uint8_t subLocal = 0;
  uint8_t mselect = 0;  // 0 zero, 1 c_local, 2 a_other, 3 a_local, 4 texture alpha, 5 texture rgb
  uint8_t reverse = 0;  // 1: factor used as is; 0: 255 - factor
  uint8_t addLocal = 0;
  uint8_t addAlphaLocal = 0;
  uint8_t invert = 0;

  bool operator==(const CombineUnit&) const = default;
};

// The codes the Glide calls pass, with the values of their GR_* names (RenderState.cpp ties
// each to its name).
enum class CombineFunction : uint8_t {
  kZero = 0x0, kLocal = 0x1, kLocalAlpha = 0x2, kScaleOther = 0x3, kScaleOtherAddLocal = 0x4,
  kScaleOtherAddLocalAlpha = 0x5, kScaleOtherMinusLocal = 0x6, kScaleOtherMinusLocalAddLocal = 0x7,
  kScaleOtherMinusLocalAddLocalAlpha = 0x8, kScaleMinusLocalAddLocal = 0x9,
  kScaleMinusLocalAddLocalAlpha = 0x10,
};
enum class CombineFactor : uint8_t {
  kZero = 0x0, kLocal = 0x1, kOtherAlpha = 0x2, kLocalAlpha = 0x3, kTextureAlpha = 0x4,
  kTextureRgb = 0x5, kOne = 0x8, kOneMinusLocal = 0x9, kOneMinusOtherAlpha = 0xa,
  kOneMinusLocalAlpha = 0xb, kOneMinusTextureAlpha = 0xc, kOneMinusTextureRgb = 0xd,
};
// kColor is the destination colour as a source factor and the source colour as a destination
// factor (GR_BLEND_DST_COLOR and GR_BLEND_SRC_COLOR share the code), kOneMinusColor likewise.
enum class BlendFactor : uint8_t {
  kZero = 0x0, kSrcAlpha = 0x1, kColor = 0x2, kDstAlpha = 0x3, kOne = 0x4, kOneMinusSrcAlpha = 0x5,
  kOneMinusColor = 0x6, kOneMinusDstAlpha = 0x7, kAlphaSaturate = 0xf,
};
enum class CompareFunc : uint8_t {
  kNever = 0, kLess = 1, kEqual = 2, kLequal = 3, kGreater = 4, kNotEqual = 5, kGequal = 6, kAlways = 7,
};

// Expands a Glide combine function and factor into the unit's bits (Glide's grColorCombine).
CombineUnit MakeCombineUnit(CombineFunction function, CombineFactor factor, bool invert);

enum class OtherSelect : uint8_t { kIterated = 0, kTexture = 1, kConstant = 2 };
enum class LocalSelect : uint8_t { kIterated = 0, kConstant = 1, kDepth = 2 };
enum class DepthMode : uint8_t { kDisable = 0, kZ = 1, kW = 2, kZCompareToBias = 3, kWCompareToBias = 4 };
enum class DitherMode : uint8_t { kDisable = 0, k2x2 = 1, k4x4 = 2 };

// Texture formats the sampler reads (Glide's GR_TEXFMT_* numbers).
enum TexFormat : uint8_t {
  kRgb332 = 0, kYiq422 = 1, kAlpha8 = 2, kIntensity8 = 3, kAlphaIntensity44 = 4, kP8 = 5,
  kArgb8332 = 8, kAyiq8422 = 9, kRgb565 = 10, kArgb1555 = 11, kArgb4444 = 12,
  kAlphaIntensity88 = 13, kAp88 = 14,
};

struct RenderState {
  // Colour and alpha combine units with their input selections.
  CombineUnit colorCombine;
  CombineUnit alphaCombine;
  OtherSelect colorOther = OtherSelect::kIterated;
  LocalSelect colorLocal = LocalSelect::kIterated;
  OtherSelect alphaOther = OtherSelect::kIterated;
  LocalSelect alphaLocal = LocalSelect::kIterated;
  uint32_t color0 = 0xFFFFFFFF;  // constant colour (local), 0xAARRGGBB
  uint32_t color1 = 0xFFFFFFFF;  // constant colour (other), 0xAARRGGBB

  // TMU 0: sampler and texture combine unit. `textureEnabled` is derived: a combine unit
  // reads the texture.
  uint8_t textureEnabled = 0;
  CombineUnit texColor;
  CombineUnit texAlpha;
  TexFormat texFormat = kRgb565;
  uint8_t bilinear = 0;
  uint8_t clampS = 1;
  uint8_t clampT = 1;

  // Alpha test, chroma key, alpha blending.
  CompareFunc alphaTestFunc = CompareFunc::kAlways;  // kAlways: the test is off
  uint8_t alphaRef = 0;
  uint8_t chromaKey = 0;
  uint32_t chromaValue = 0;  // 0x00RRGGBB
  uint8_t blendEnabled = 0;
  BlendFactor srcFactor = BlendFactor::kOne;
  BlendFactor dstFactor = BlendFactor::kZero;
  BlendFactor srcAlphaFactor = BlendFactor::kOne;
  BlendFactor dstAlphaFactor = BlendFactor::kZero;

  // Depth buffer (W or Z in the auxiliary buffer).
  DepthMode depthMode = DepthMode::kDisable;
  CompareFunc depthFunc = CompareFunc::kLess;
  uint8_t depthMask = 0;
  int16_t depthBias = 0;

  // Writes and dithering.
  uint8_t rgbMask = 1;
  uint8_t alphaMask = 0;  // alpha planes write; only honoured while depth buffering is off
  DitherMode dither = DitherMode::k4x4;
  uint8_t ditherSubtract = 1;

  bool operator==(const RenderState&) const = default;

  // Clears every field that cannot affect a pixel in the current configuration.
  void Normalize();
  size_t Hash() const;

  bool DepthEnabled() const { return depthMode != DepthMode::kDisable; }
  bool WBuffer() const {
    return depthMode == DepthMode::kW || depthMode == DepthMode::kWCompareToBias;
  }
  // The auxiliary buffer holds alpha (not depth) and writes to it are on.
  bool AlphaPlanes() const { return !DepthEnabled() && alphaMask; }
  bool UsesIteratedColor() const;
  bool UsesIteratedAlpha() const;
};

}  // namespace glide
