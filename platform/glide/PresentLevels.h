// Shared by the display conversions (PresentGamma.cpp, PresentVideo.cpp): a channel's displayed
// level for sixteen pixels at once from its 32 or 64 levels held in registers. Internal.
#pragma once

#include "Raster.h"

#if (defined(__x86_64__) || defined(__i386__))
#define GLIDE_X86 1
#else
#define GLIDE_X86 0
#endif

namespace glide {
// Whether the display conversions take their AVX2 steps: at the AVX2 and AVX-512 levels.
inline bool PresentUsesAvx2(SimdLevel level) {
  return GLIDE_X86 && (level == SimdLevel::kAvx2 || level == SimdLevel::kAvx512);
}
}  // namespace glide

#if GLIDE_X86
#include <immintrin.h>

#define GLIDE_PRESENT_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace glide {

// Sixteen bytes of a level table in both halves of a register.
GLIDE_PRESENT_AVX2_INLINE __m256i Levels16(const uint8_t* levels) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(levels)));
}

// Each 16-bit lane's level for its index (0 .. 16 * kParts - 1, kParts 2 or 4) from kParts
// sixteen-byte tables, in the lane's low byte. A byte shuffle takes the low four bits of each
// index byte and yields zero where its top bit is set, which every lane's high byte asks for;
// index bits 4 and 5 then choose among the tables' results, moved to the top of the low byte
// for the byte blends (the high byte's blend bit is a clear index bit: it keeps the zero).
template <int kParts>
GLIDE_PRESENT_AVX2_INLINE __m256i Lookup(const __m256i (&tables)[kParts], __m256i index) {
  static_assert(kParts == 2 || kParts == 4);
  const __m256i at = _mm256_or_si256(index, _mm256_set1_epi16(static_cast<short>(0x8000)));
  const __m256i bit4 = _mm256_slli_epi16(index, 3);
  const __m256i low = _mm256_blendv_epi8(_mm256_shuffle_epi8(tables[0], at), _mm256_shuffle_epi8(tables[1], at), bit4);
  if constexpr (kParts == 2) {
    return low;
  } else {
    const __m256i high =
        _mm256_blendv_epi8(_mm256_shuffle_epi8(tables[2], at), _mm256_shuffle_epi8(tables[3], at), bit4);
    return _mm256_blendv_epi8(low, high, _mm256_slli_epi16(index, 2));
  }
}

// The displayed levels of sixteen RGB565 pixels, each in a 16-bit lane.
struct Rgb16 {
  __m256i r, g, b;
};

struct LevelTables {
  __m256i five[2], six[4];  // red and blue; green

  GLIDE_PRESENT_AVX2_INLINE LevelTables(const uint8_t* fiveBit, const uint8_t* sixBit)
      : five{Levels16(fiveBit), Levels16(fiveBit + 16)},
        six{Levels16(sixBit), Levels16(sixBit + 16), Levels16(sixBit + 32), Levels16(sixBit + 48)} {}

  GLIDE_PRESENT_AVX2_INLINE Rgb16 Of(__m256i pixel) const {
    return {Lookup(five, _mm256_srli_epi16(pixel, 11)),
            Lookup(six, _mm256_and_si256(_mm256_srli_epi16(pixel, 5), _mm256_set1_epi16(63))),
            Lookup(five, _mm256_and_si256(pixel, _mm256_set1_epi16(31)))};
  }
};

}  // namespace glide

#endif
