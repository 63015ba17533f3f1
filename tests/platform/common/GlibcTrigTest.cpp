// The WebAssembly build's sinf and cosf against this machine's C library: glibc on x86-64 with
// FMA, the library the presentation's frames were drawn with, must give the same bits for every
// float (a spread of them over the whole range, and every argument the whole presentation passes
// lies in it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/GlibcTrig.h"

namespace {

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t ToBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Whether this machine's sinf and cosf are the ones the replacements reproduce.
bool ReferenceLibrary() {
#if defined(__x86_64__) && defined(__GLIBC__)
  return __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

// Compares both functions over every float whose bit pattern is a multiple of `stride` from
// `first` to `last`, and reports the first few that differ.
void ExpectSameBits(uint32_t first, uint32_t last, uint32_t stride) {
  int reported = 0;
  for (uint64_t bits = first; bits <= last; bits += stride) {
    const float x = FromBits(static_cast<uint32_t>(bits));
    const float volatile argument = x;  // a call at run time, never a folded constant
    const uint32_t wantSin = ToBits(std::sin(argument));
    const uint32_t wantCos = ToBits(std::cos(argument));
    const uint32_t gotSin = ToBits(platform::GlibcSinf(x));
    const uint32_t gotCos = ToBits(platform::GlibcCosf(x));
    if ((wantSin != gotSin || wantCos != gotCos) && reported++ < 5) {
      ADD_FAILURE() << "x = " << x << " (bits " << std::hex << bits << "): sin " << wantSin << " / " << gotSin
                    << ", cos " << wantCos << " / " << gotCos;
    }
  }
  EXPECT_EQ(reported, 0);
}

TEST(GlibcTrig, EveryQuadrantAndReductionGivesTheCLibrarysBits) {
  if (!ReferenceLibrary()) GTEST_SKIP() << "the reference is x86-64 glibc on a processor with FMA";
  // Both signs: below 2^-12 (returned as is, or 1), below pi/4 (the polynomials alone), below 120
  // (the fast reduction) and beyond (the exact one): every 997th bit pattern.
  ExpectSameBits(0x00000000u, 0x7f7fffffu, 997);
  ExpectSameBits(0x80000000u, 0xff7fffffu, 997);
}

TEST(GlibcTrig, EveryFloatWhereThePresentationsPhasesLieGivesTheCLibrarysBits) {
  if (!ReferenceLibrary()) GTEST_SKIP() << "the reference is x86-64 glibc on a processor with FMA";
  // The phase pairs and the scenes' angles stay within a few hundred radians: every third float
  // from 1 to 4 (both polynomials across the first quadrant boundaries) and a dense spread up to
  // 2^10 of either sign.
  ExpectSameBits(ToBits(1.0f), ToBits(4.0f), 3);
  ExpectSameBits(ToBits(4.0f), ToBits(1024.0f), 61);
  ExpectSameBits(ToBits(-1.0f), ToBits(-1024.0f), 61);
}

TEST(GlibcTrig, InfinityAndNanGiveNan) {
  for (float x : {INFINITY, -INFINITY, NAN}) {
    EXPECT_TRUE(std::isnan(platform::GlibcSinf(x))) << x;
    EXPECT_TRUE(std::isnan(platform::GlibcCosf(x))) << x;
  }
}

TEST(GlibcTrig, KnownValues) {
  EXPECT_EQ(platform::GlibcSinf(0.0f), 0.0f);
  EXPECT_EQ(platform::GlibcCosf(0.0f), 1.0f);
  EXPECT_TRUE(std::signbit(platform::GlibcSinf(-0.0f)));
  EXPECT_EQ(platform::GlibcSinf(1e-5f), 1e-5f);  // tiny: x itself
  EXPECT_NEAR(platform::GlibcSinf(1.5707964f), 1.0f, 1e-7f);
  EXPECT_NEAR(platform::GlibcCosf(3.1415927f), -1.0f, 1e-7f);
  EXPECT_NEAR(platform::GlibcSinf(1000.0f), 0.82687954f, 1e-6f);
  EXPECT_NEAR(platform::GlibcCosf(-1000.0f), 0.56237907f, 1e-6f);
}

}  // namespace
