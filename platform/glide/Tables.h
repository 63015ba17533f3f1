// Read-only lookup tables of the pixel pipeline, built once on first use: texel expansion to
// 8 bits per channel, the 4 x 4 dither matrices and their 24-to-16-bit output, and dither
// subtraction of the destination.
#pragma once

#include <array>
#include <cstdint>

namespace glide {

// 4 x 4 ordered dither matrix, indexed [y & 3][x & 3] (SST-1 hardware reference 5.19, fbzMode bit 8).
inline constexpr uint8_t kDither4x4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};
// 2 x 2 matrix as the Voodoo Graphics board dithers it in 2x2 mode.
inline constexpr uint8_t kDither2x2[2][2] = {{8, 10}, {11, 9}};

// The dither equations of the board: an 8-bit channel value v and a matrix entry d (0..15) give
// the 5-bit red/blue and 6-bit green components stored in the RGB565 frame buffer.
constexpr int DitherRb(int v, int d) { return (2 * v - (v >> 4) + (v >> 7) + d) >> 4; }
constexpr int DitherG(int v, int d) { return (4 * v - (v >> 4) + (v >> 6) + d) >> 4; }

// Dither subtraction of a destination channel stored with dither entry d (0..15): red and blue
// gain floor((10 - d) / 2), green floor((12 - d) / 4), except that the darkest values (below the
// minimum) stay as they are (86Box's measurements of the board).
constexpr int DitherSubtractRb(int d) { return (10 - d) >> 1; }  // arithmetic shift = floor
constexpr int DitherSubtractG(int d) { return (12 - d) >> 2; }
inline constexpr int kSubtractMinimumRb = 4;
inline constexpr int kSubtractMinimumG = 2;

struct Tables {
  // Dither output, indexed [(y & 3) * 4 + (x & 3)][v]: the value already shifted into place
  // (red << 11, green << 5, blue), so a pixel is rb[r] << 11 | g[g] << 5 | rb[b].
  std::array<std::array<uint8_t, 256>, 16> ditherRb;
  std::array<std::array<uint8_t, 256>, 16> ditherG;
  std::array<std::array<uint8_t, 256>, 4> ditherRb2x2;
  std::array<std::array<uint8_t, 256>, 4> ditherG2x2;
  // Dither subtraction of the destination before blending, indexed like ditherRb: the expanded
  // destination channel with the average dither offset removed (86Box's measured tables).
  std::array<std::array<uint8_t, 256>, 16> subRb;
  std::array<std::array<uint8_t, 256>, 16> subG;
  // RGB565 -> 8-bit channels by bit replication, packed 0x00RRGGBB.
  std::array<uint32_t, 65536> rgb565To888;
  // 4444 -> 0xAARRGGBB, 1555 -> 0xAARRGGBB, 332 -> 0x00RRGGBB (alpha added by the caller).
  std::array<uint32_t, 65536> argb4444;
  std::array<uint32_t, 65536> argb1555;
  std::array<uint32_t, 256> rgb332;
};

// The process-wide tables (thread-safe initialisation on first call).
const Tables& GetTables();

}  // namespace glide
