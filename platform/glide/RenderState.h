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

// Expands a Glide combine function and factor into the unit's bits (Glide's grColorCombine).
CombineUnit MakeCombineUnit(int function, int factor, bool invert);

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
  uint8_t alphaTestFunc = 7;  // GR_CMP_*; 7 = always (test off)
  uint8_t alphaRef = 0;
  uint8_t chromaKey = 0;
  uint32_t chromaValue = 0;  // 0x00RRGGBB
  uint8_t blendEnabled = 0;
  uint8_t srcFactor = 4;      // GR_BLEND_* codes
  uint8_t dstFactor = 0;
  uint8_t srcAlphaFactor = 4;
  uint8_t dstAlphaFactor = 0;

  // Depth buffer (W or Z in the auxiliary buffer).
  DepthMode depthMode = DepthMode::kDisable;
  uint8_t depthFunc = 1;  // GR_CMP_*
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
