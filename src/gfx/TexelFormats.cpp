#include "gfx/TexelFormats.h"

#include <algorithm>
#include <array>

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
  // this pass holds d, never d - 1, so it cannot mark another in the same pass, and reading a row
  // already marked in this pass is the same as reading it before. Every distance from 4 on ends as
  // alpha 15, like an unmarked interior pixel, so three passes give the same plane as fourteen.
  // A row is worked out whole into `marked` from a copy with one unmarked column either side, a
  // loop of branch-free byte operations the compiler turns into vector code.
  std::array<uint8_t, kSpriteSide + 2> padded;
  std::array<uint8_t, kSpriteSide> marked;
  padded.front() = padded.back() = 15;
  for (uint8_t d = 1; d <= 3; ++d) {
    const uint8_t previous = static_cast<uint8_t>(d - 1);
    for (int y = 1; y < kSpriteSide - 1; ++y) {
      uint8_t* row = alpha + y * kSpriteSide;
      const uint8_t* above = row - kSpriteSide;
      const uint8_t* below = row + kSpriteSide;
      std::copy_n(row, kSpriteSide, padded.begin() + 1);
      for (int x = 0; x < kSpriteSide; ++x) {
        const bool next = (padded[x] == previous) | (padded[x + 2] == previous) | (above[x] == previous) |
                          (below[x] == previous);
        marked[x] = (padded[x + 1] == 15) & next ? d : padded[x + 1];
      }
      std::copy_n(marked.begin() + 1, kSpriteSide - 2, row + 1);  // the edge columns stay
    }
  }
  for (int i = 0; i < kSpritePlane; ++i) alpha[i] = static_cast<uint8_t>(std::min(4 * alpha[i], 15));
}
