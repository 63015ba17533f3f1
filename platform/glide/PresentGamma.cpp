#include "PresentGamma.h"

#include <cmath>

#include "Settings.h"

namespace glide {

std::array<uint8_t, 33> GammaClut(float gamma) {
  std::array<uint8_t, 33> clut{};
  const double exponent = 1.0 / static_cast<double>(gamma);
  for (int i = 0; i < 32; ++i) {
    const double value = 255.0 * std::pow(8.0 * i / 255.0, exponent);
    clut[i] = static_cast<uint8_t>(std::lround(std::fmin(value, 255.0)));
  }
  clut[32] = 255;
  return clut;
}

uint8_t ApplyClut(const std::array<uint8_t, 33>& clut, uint8_t value) {
  const int index = value >> 3;
  const int fraction = value & 7;
  const int low = clut[index];
  const int high = clut[index + 1];
  // An arithmetic shift floors, as the hardware's interpolator truncates.
  return static_cast<uint8_t>(low + (((high - low) * fraction) >> 3));
}

DisplayTable::DisplayTable(float gamma) : gamma_(gamma), table_(65536) {
  const std::array<uint8_t, 33> clut = GammaClut(gamma);
  for (int v = 0; v < 32; ++v) red_[v] = ApplyClut(clut, static_cast<uint8_t>((v << 3) | (v >> 2)));
  for (int v = 0; v < 64; ++v) green_[v] = ApplyClut(clut, static_cast<uint8_t>((v << 2) | (v >> 4)));
  for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
    table_[pixel] = (uint32_t{red_[pixel >> 11]} << 16) | (uint32_t{green_[(pixel >> 5) & 63]} << 8) |
                    uint32_t{red_[pixel & 31]};
  }
  steps_ = PresentStepsFor(SimdSetting());
}

void DisplayTable::ToXrgb(const uint16_t* src, int count, uint32_t* dst) const {
  int i = steps_.toXrgb != nullptr ? steps_.toXrgb(red_.data(), green_.data(), src, count, dst) : 0;
  const uint32_t* table = table_.data();
  for (; i < count; ++i) dst[i] = table[src[i]];
}

void DisplayTable::ToXrgbDoubled(const uint16_t* src, int count, uint32_t* dst0, uint32_t* dst1) const {
  int i = steps_.toXrgbDoubled != nullptr ? steps_.toXrgbDoubled(red_.data(), green_.data(), src, count, dst0, dst1) : 0;
  const uint32_t* table = table_.data();
  for (; i < count; ++i) dst0[2 * i] = dst0[2 * i + 1] = dst1[2 * i] = dst1[2 * i + 1] = table[src[i]];
}

void DisplayTable::ToRgb24(const uint16_t* src, int count, uint8_t* dst) const {
  const uint32_t* table = table_.data();
  for (int i = 0; i < count; ++i) {
    const uint32_t xrgb = table[src[i]];
    dst[3 * i + 0] = static_cast<uint8_t>(xrgb >> 16);
    dst[3 * i + 1] = static_cast<uint8_t>(xrgb >> 8);
    dst[3 * i + 2] = static_cast<uint8_t>(xrgb);
  }
}

}  // namespace glide
