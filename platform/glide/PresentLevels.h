// Shared by the display conversions (PresentGamma.cpp, PresentVideo.cpp) and their lane steps
// (PresentLanes.cpp): the video's integer colour weights, and the steps that convert whole rows
// at a SIMD level from each channel's 32 or 64 displayed levels held in registers. Internal.
#pragma once

#include <cstdint>

#include "Raster.h"

namespace glide {

// BT.601 limited range from displayed levels 0 .. 255, in integers so that every path gives the
// same bytes. Y' = 16 + (65.481 R + 128.553 G + 24.966 B) / 255: each channel's share in 1/256
// of a level, truncated, then the sum rounded. Cb and Cr come from each 2 x 2 block's channel
// sums (0 .. 1020): 128 + (weights . sums) / 1020, with the weights in 1/65536 (rounded so that
// they add up to zero: grey is exactly 128) and the result rounded, within 16 .. 240.
inline constexpr uint16_t kLumaR = 16829, kLumaG = 33039, kLumaB = 6416;  // / 255 in 1/65536
inline constexpr int16_t kCbR = -2428, kCbG = -4768, kCbB = 7196;         // / 1020 in 1/65536
inline constexpr int16_t kCrR = 7196, kCrG = -6026, kCrB = -1170;
static_assert(kCbR + kCbG + kCbB == 0 && kCrR + kCrG + kCrB == 0);

// The lane steps convert from the start of a row while a whole vector of pixels is left and
// return how many pixels they converted; the per-value tables finish the row. `fiveBit` holds
// the 32 displayed levels of red and blue, `sixBit` the 64 of green.
struct PresentSteps {
  // `count` pixels to 0x00RRGGBB words at `dst`.
  int (*toXrgb)(const uint8_t* fiveBit, const uint8_t* sixBit, const uint16_t* src, int count, uint32_t* dst);
  // `count` pixels, each word twice across, into both `dst0` and `dst1`.
  int (*toXrgbDoubled)(const uint8_t* fiveBit, const uint8_t* sixBit, const uint16_t* src, int count, uint32_t* dst0,
                       uint32_t* dst1);
  // Rows `top` and `bottom` (`width` pixels) to their Y' rows and the Cb and Cr of their 2 x 2
  // blocks (an even count of pixels is converted).
  int (*rowPairToYuv)(const uint8_t* fiveBit, const uint8_t* sixBit, const uint16_t* top, const uint16_t* bottom,
                      int width, uint8_t* lumaTop, uint8_t* lumaBottom, uint8_t* cb, uint8_t* cr);
};

// The steps compiled for `level`; all null where it has none (kNone, the emulated targets, and the
// browser, where Highway 1.0 looks bytes up one at a time and the tables are faster).
PresentSteps PresentStepsFor(SimdLevel level);

}  // namespace glide
