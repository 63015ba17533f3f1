#include "gfx/TexelFormats.h"

#include <algorithm>

namespace {

uint16_t Component(const CelPaletteBytes& palette, int entry, int channel) {
  return std::min<uint16_t>(palette[static_cast<size_t>(3 * entry + channel)], 63);
}

}  // namespace

TexelTable PaletteToRgb565(const CelPaletteBytes& palette) {
  TexelTable table{};
  for (int i = 0; i < kCelPaletteEntries; ++i) {
    const uint16_t r5 = Component(palette, i, 0) >> 1;
    const uint16_t g6 = Component(palette, i, 1);
    const uint16_t b5 = Component(palette, i, 2) >> 1;
    table[static_cast<size_t>(i)] = static_cast<uint16_t>(r5 << 11 | g6 << 5 | b5);
  }
  return table;
}

TexelTable PaletteToRgb444(const CelPaletteBytes& palette) {
  TexelTable table{};
  for (int i = 0; i < kCelPaletteEntries; ++i) {
    const uint16_t r4 = Component(palette, i, 0) >> 2;
    const uint16_t g4 = Component(palette, i, 1) >> 2;
    const uint16_t b4 = Component(palette, i, 2) >> 2;
    table[static_cast<size_t>(i)] = static_cast<uint16_t>(r4 << 8 | g4 << 4 | b4);
  }
  return table;
}

void SoftEdgeAlpha(const uint8_t* indices, uint8_t* alpha) {
  for (int i = 0; i < kSpritePlane; ++i) alpha[i] = indices[i] == kSpriteTransparentIndex ? 0 : 15;
  // Pass d marks the opaque interior pixels next to a pixel of distance d - 1. A pixel marked in
  // this pass holds d, never d - 1, so it cannot mark another in the same pass.
  for (uint8_t d = 1; d <= 14; ++d) {
    for (int y = 1; y < kSpriteSide - 1; ++y) {
      uint8_t* row = alpha + y * kSpriteSide;
      for (int x = 1; x < kSpriteSide - 1; ++x) {
        if (row[x] != 15) continue;
        const uint8_t previous = static_cast<uint8_t>(d - 1);
        if (row[x - 1] == previous || row[x + 1] == previous || row[x - kSpriteSide] == previous ||
            row[x + kSpriteSide] == previous) {
          row[x] = d;
        }
      }
    }
  }
  for (int i = 0; i < kSpritePlane; ++i) alpha[i] = static_cast<uint8_t>(std::min(4 * alpha[i], 15));
}
