#include "Tables.h"

#include <algorithm>

namespace glide {
namespace {

constexpr int Expand5(int v) { return (v << 3) | (v >> 2); }
constexpr int Expand6(int v) { return (v << 2) | (v >> 4); }
constexpr int Expand4(int v) { return (v << 4) | v; }

// The destination was stored with a positive dither offset; dither subtraction takes the
// average back out so blending repeatedly over the same pixel does not drift upwards.
int SubtractRb(int v, int d) {
  if (v < kSubtractMinimumRb) return v;
  return std::clamp(v + DitherSubtractRb(d), 0, 255);
}
int SubtractG(int v, int d) {
  if (v < kSubtractMinimumG) return v;
  return std::clamp(v + DitherSubtractG(d), 0, 255);
}

Tables BuildTables() {
  Tables t{};
  for (int pos = 0; pos < 16; ++pos) {
    const int d = kDither4x4[pos >> 2][pos & 3];
    for (int v = 0; v < 256; ++v) {
      t.ditherRb[pos][v] = static_cast<uint8_t>(DitherRb(v, d));
      t.ditherG[pos][v] = static_cast<uint8_t>(DitherG(v, d));
      t.subRb[pos][v] = static_cast<uint8_t>(SubtractRb(v, d));
      t.subG[pos][v] = static_cast<uint8_t>(SubtractG(v, d));
    }
  }
  for (int pos = 0; pos < 4; ++pos) {
    const int d = kDither2x2[pos >> 1][pos & 1];
    for (int v = 0; v < 256; ++v) {
      t.ditherRb2x2[pos][v] = static_cast<uint8_t>(DitherRb(v, d));
      t.ditherG2x2[pos][v] = static_cast<uint8_t>(DitherG(v, d));
    }
  }
  for (uint32_t p = 0; p < 65536; ++p) {
    const uint32_t r = Expand5((p >> 11) & 31), g = Expand6((p >> 5) & 63), b = Expand5(p & 31);
    t.rgb565To888[p] = (r << 16) | (g << 8) | b;
    const uint32_t a4 = Expand4((p >> 12) & 15), r4 = Expand4((p >> 8) & 15),
                   g4 = Expand4((p >> 4) & 15), b4 = Expand4(p & 15);
    t.argb4444[p] = (a4 << 24) | (r4 << 16) | (g4 << 8) | b4;
    const uint32_t a1 = (p & 0x8000) ? 0xFF : 0x00, r1 = Expand5((p >> 10) & 31),
                   g1 = Expand5((p >> 5) & 31), b1 = Expand5(p & 31);
    t.argb1555[p] = (a1 << 24) | (r1 << 16) | (g1 << 8) | b1;
  }
  for (uint32_t p = 0; p < 256; ++p) {
    const uint32_t r3 = (p >> 5) & 7, g3 = (p >> 2) & 7, b2 = p & 3;
    const uint32_t r = (r3 << 5) | (r3 << 2) | (r3 >> 1);
    const uint32_t g = (g3 << 5) | (g3 << 2) | (g3 >> 1);
    const uint32_t b = b2 * 0x55;
    t.rgb332[p] = (r << 16) | (g << 8) | b;
  }
  return t;
}

}  // namespace

const Tables& GetTables() {
  static const Tables* tables = new Tables(BuildTables());
  return *tables;
}

}  // namespace glide
