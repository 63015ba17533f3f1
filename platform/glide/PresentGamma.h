// The display side of the board's gamma: the 33-entry gamma CLUT and the RGB565-to-display
// lookup built from it. Applied only to what is shown or captured, never to the frame buffer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "PresentLevels.h"

namespace glide {

inline constexpr float kDefaultGamma = 1.7f;  // grSstWinOpen's grGammaCorrectionValue(1.7)

// SST-1 gamma CLUT as Glide fills it (init/initvg/gamma.c): entry i (0..31) is
// round(255 * (8i / 255)^(1 / gamma)), entry 32 is 255. The caller passes a gamma > 0.
std::array<uint8_t, 33> GammaClut(float gamma);

// One channel through the CLUT: the 8-bit value's 5 high bits pick the entry, its 3 low bits
// interpolate towards the next one (SST-1 hardware reference 5.47).
uint8_t ApplyClut(const std::array<uint8_t, 33>& clut, uint8_t value);

// RGB565 -> 0x00RRGGBB for every 16-bit value: channels expanded by bit replication, then
// through the CLUT. Built once per gamma value and read-only afterwards. Whole frames convert
// channel by channel from the CLUT's 32 and 64 levels held in registers at every SIMD level:
// the 256 KiB table falls out of the cache while a frame streams through it.
class DisplayTable {
 public:
  explicit DisplayTable(float gamma);

  float Gamma() const { return gamma_; }
  uint32_t operator[](uint16_t pixel) const { return table_[pixel]; }

  // `count` pixels to 0x00RRGGBB words.
  void ToXrgb(const uint16_t* src, int count, uint32_t* dst) const;
  // `count` pixels doubled across (2 * count words) into both `dst0` and `dst1`: a picture row
  // shown at twice its size.
  void ToXrgbDoubled(const uint16_t* src, int count, uint32_t* dst0, uint32_t* dst1) const;
  // The displayed level of each 5-bit (red and blue) and 6-bit (green) channel value.
  const std::array<uint8_t, 32>& FiveBitLevels() const { return red_; }
  const std::array<uint8_t, 64>& SixBitLevels() const { return green_; }
  // `count` pixels to packed R, G, B bytes (PNG rows, the video pipe).
  void ToRgb24(const uint16_t* src, int count, uint8_t* dst) const;

 private:
  float gamma_;
  std::vector<uint32_t> table_;
  std::array<uint8_t, 32> red_{};  // a 5-bit channel's displayed level (red and blue)
  std::array<uint8_t, 64> green_{};
  PresentSteps steps_{};  // of the SIMD level chosen
};

}  // namespace glide
