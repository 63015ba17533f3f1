// The conversions of the texture loaders: CEL palette entries (6-bit r, g, b) to RGB565 and
// ARGB4444 texels, the glow alpha, and the soft edge of sprites. Pure functions over buffers.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kCelPaletteEntries = 256;
inline constexpr int kCelPaletteBytes = 3 * kCelPaletteEntries;  // 768
inline constexpr int kSpriteSide = 256;                          // the 256 x 256 plane of screen images
inline constexpr int kSpritePlane = kSpriteSide * kSpriteSide;   // 65536
inline constexpr uint8_t kSpriteTransparentIndex = 255;

using CelPaletteBytes = std::array<uint8_t, kCelPaletteBytes>;
using TexelTable = std::array<uint16_t, kCelPaletteEntries>;

// R5 = r >> 1, G6 = g, B5 = b >> 1; texel R5 << 11 | G6 << 5 | B5. Components above 63 (outside
// the format) are taken as 63, so that no component spills into its neighbour.
TexelTable PaletteToRgb565(const CelPaletteBytes& palette);

// R4 << 8 | G4 << 4 | B4 with R4 = r >> 2 and so on; the alpha nibble is left 0.
TexelTable PaletteToRgb444(const CelPaletteBytes& palette);

// Glow alpha of a texel of PaletteToRgb444: the brightest component; doubled (capped at 15) when
// `doubling`.
inline uint16_t GlowAlpha(uint16_t rgb444, bool doubling) {
  uint16_t a = rgb444 >> 8 & 0xF;
  if ((rgb444 >> 4 & 0xF) > a) a = rgb444 >> 4 & 0xF;
  if ((rgb444 & 0xF) > a) a = rgb444 & 0xF;
  if (doubling) a = a * 2 > 15 ? 15 : static_cast<uint16_t>(a * 2);
  return a;
}

// The alpha plane of a soft sprite from its 256 x 256 index plane: 0 where the index is 255,
// otherwise the 4-connected distance to the nearest transparent pixel (grown in 14 passes over
// the interior, columns and rows 1 ... 254; the border keeps 0 or 15), scaled by 4 and capped at
// 15. The edge ramp is 0, 4, 8, 12, then 15.
void SoftEdgeAlpha(const uint8_t* indices, uint8_t* alpha);
