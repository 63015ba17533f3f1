#include "PresentGamma.h"

#include <cmath>

#include "PresentLevels.h"
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

namespace {

#if GLIDE_X86
GLIDE_PRESENT_AVX2_INLINE void Store8(uint32_t* at, __m256i words) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), words);
}

// Sixteen pixels' words at `dst` (kDouble: each twice, at `dst` and at `second`); returns how many
// pixels it converted, a multiple of sixteen.
template <bool kDouble>
__attribute__((target("avx2"))) int ToXrgbAvx2(const uint8_t* red, const uint8_t* green, const uint16_t* src,
                                               int count, uint32_t* dst, uint32_t* second = nullptr) {
  const LevelTables levels(red, green);
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const auto [r, g, b] = levels.Of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
    // (green << 8 | blue) and red as the low and high halves of each pixel's word; the unpacks
    // work within each 128-bit half, so pixels 0-3 and 8-11 come out together.
    const __m256i gb = _mm256_or_si256(_mm256_slli_epi16(g, 8), b);
    const __m256i low = _mm256_unpacklo_epi16(gb, r), high = _mm256_unpackhi_epi16(gb, r);
    const __m256i first8 = _mm256_permute2x128_si256(low, high, 0x20), last8 = _mm256_permute2x128_si256(low, high, 0x31);
    if constexpr (kDouble) {
      __m256i pairs[4];
      int k = 0;
      for (const __m256i words : {first8, last8}) {
        const __m256i lowPairs = _mm256_unpacklo_epi32(words, words), highPairs = _mm256_unpackhi_epi32(words, words);
        pairs[k++] = _mm256_permute2x128_si256(lowPairs, highPairs, 0x20);
        pairs[k++] = _mm256_permute2x128_si256(lowPairs, highPairs, 0x31);
      }
      for (uint32_t* out : {dst + 2 * i, second + 2 * i}) {
        for (int j = 0; j < 4; ++j) Store8(out + 8 * j, pairs[j]);
      }
    } else {
      Store8(dst + i, first8);
      Store8(dst + i + 8, last8);
    }
  }
  return i;
}
#endif

}  // namespace

DisplayTable::DisplayTable(float gamma) : gamma_(gamma), table_(65536) {
  const std::array<uint8_t, 33> clut = GammaClut(gamma);
  for (int v = 0; v < 32; ++v) red_[v] = ApplyClut(clut, static_cast<uint8_t>((v << 3) | (v >> 2)));
  for (int v = 0; v < 64; ++v) green_[v] = ApplyClut(clut, static_cast<uint8_t>((v << 2) | (v >> 4)));
  for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
    table_[pixel] = (uint32_t{red_[pixel >> 11]} << 16) | (uint32_t{green_[(pixel >> 5) & 63]} << 8) |
                    uint32_t{red_[pixel & 31]};
  }
  avx2_ = PresentUsesAvx2(SimdSetting());
}

void DisplayTable::ToXrgb(const uint16_t* src, int count, uint32_t* dst) const {
  int i = 0;
#if GLIDE_X86
  if (avx2_) i = ToXrgbAvx2<false>(red_.data(), green_.data(), src, count, dst);
#endif
  const uint32_t* table = table_.data();
  for (; i < count; ++i) dst[i] = table[src[i]];
}

void DisplayTable::ToXrgbDoubled(const uint16_t* src, int count, uint32_t* dst0, uint32_t* dst1) const {
  int i = 0;
#if GLIDE_X86
  if (avx2_) i = ToXrgbAvx2<true>(red_.data(), green_.data(), src, count, dst0, dst1);
#endif
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
