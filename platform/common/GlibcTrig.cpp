#include "platform/GlibcTrig.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace platform {
namespace {

// Per quadrant set: the signs of sine in the quadrants, 2/pi scaled by 2^24 (so that a float's
// quadrant comes out of one multiply and a truncation), pi/2, and the cosine (c) and sine (s)
// polynomial coefficients. The second set computes -cos, for the quadrants where cosine's sign
// flips.
struct SinCosTable {
  double sign[4];
  double halfPiInverse;
  double halfPi;
  double c0, c1, s1, c2, s2, c3, s3, c4;
};

constexpr SinCosTable kTables[2] = {
    {{1.0, -1.0, -1.0, 1.0}, 0x1.45f306dc9c883p+23, 0x1.921fb54442d18p+0, 0x1p+0, -0x1.ffffffd0c621cp-2,
     -0x1.555545995a603p-3, 0x1.55553e1068f19p-5, 0x1.1107605230bc4p-7, -0x1.6c087e89a359dp-10,
     -0x1.994eb3774cf24p-13, 0x1.99343027bf8c3p-16},
    {{1.0, -1.0, -1.0, 1.0}, 0x1.45f306dc9c883p+23, 0x1.921fb54442d18p+0, -0x1p+0, 0x1.ffffffd0c621cp-2,
     -0x1.555545995a603p-3, -0x1.55553e1068f19p-5, 0x1.1107605230bc4p-7, 0x1.6c087e89a359dp-10,
     -0x1.994eb3774cf24p-13, -0x1.99343027bf8c3p-16},
};

// 2/pi's binary fraction (0.a2f9836e4e441529fc2757d1f534ddc0db6295993c439041...) in 32-bit
// windows 8 bits apart: entry i holds the fraction's bits 8i - 24 ... 8i + 7.
constexpr uint32_t kTwoOverPi[24] = {
    0xa2,       0xa2f9,     0xa2f983,   0xa2f9836e, 0xf9836e4e, 0x836e4e44, 0x6e4e4415, 0x4e441529,
    0x441529fc, 0x1529fc27, 0x29fc2757, 0xfc2757d1, 0x2757d1f5, 0x57d1f534, 0xd1f534dd, 0xf534ddc0,
    0x34ddc0db, 0xddc0db62, 0xc0db6295, 0xdb629599, 0x6295993c, 0x95993c43, 0x993c4390, 0x3c439041};

constexpr double kPiOver2To63 = 0x1.921fb54442d18p-62;  // a 2^-62 quadrant of the large reduction

uint32_t Bits(float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

// The exponent field with the sign cleared: magnitudes compared by their top 12 bits.
uint32_t AbsTop12(float x) { return (Bits(x) >> 20) & 0x7ff; }

// sin(x) for even n, cos(x) for odd n (the table choosing the sign), |x| <= pi/4; x2 = x * x.
// Every a + b * c is one fused multiply-add, as glibc's build for processors with FMA has it.
float Polynomial(double x, double x2, const SinCosTable& p, int n) {
  if ((n & 1) == 0) {
    const double x3 = x * x2;
    const double s1 = std::fma(x2, p.s3, p.s2);
    const double x7 = x3 * x2;
    const double s = std::fma(x3, p.s1, x);
    return static_cast<float>(std::fma(s1, x7, s));
  }
  const double x4 = x2 * x2;
  const double c2 = std::fma(x2, p.c4, p.c3);
  const double c1 = std::fma(x2, p.c1, p.c0);
  const double x6 = x4 * x2;
  const double c = std::fma(x4, p.c2, c1);
  return static_cast<float>(std::fma(c2, x6, c));
}

// x - n pi/2 with n the nearest quadrant, for |x| < 120.
double ReduceFast(double x, const SinCosTable& p, int* n) {
  const double scaled = x * p.halfPiInverse;
  *n = (static_cast<int32_t>(scaled) + 0x800000) >> 24;
  return std::fma(-static_cast<double>(*n), p.halfPi, x);
}

// The same for any finite |x| >= 120, exactly, in integers: the float's mantissa times the
// 96 bits of 2/pi that matter at its exponent.
double ReduceLarge(uint32_t bits, int* n) {
  const uint32_t* window = &kTwoOverPi[(bits >> 26) & 15];
  const int shift = (bits >> 23) & 7;
  const uint32_t mantissa = ((bits & 0x7fffff) | 0x800000) << shift;
  uint64_t res0 = static_cast<uint32_t>(mantissa * window[0]);
  const uint64_t res1 = static_cast<uint64_t>(mantissa) * window[4];
  const uint64_t res2 = static_cast<uint64_t>(mantissa) * window[8];
  res0 = (res2 >> 32) | (res0 << 32);
  res0 += res1;
  const uint64_t quadrant = (res0 + (1ull << 61)) >> 62;
  res0 -= quadrant << 62;
  *n = static_cast<int>(quadrant);
  return static_cast<double>(static_cast<int64_t>(res0)) * kPiOver2To63;
}

enum class Function { kSin, kCos };

template <Function kFunction>
float SinCos(float y) {
  constexpr int kCosine = kFunction == Function::kCos ? 1 : 0;
  const double x = y;
  const uint32_t top = AbsTop12(y);
  if (top < 0x3f4) {  // |y| < pi/4
    const double x2 = x * x;
    if (top < 0x398) return kCosine ? 1.0f : y;  // |y| < 2^-12
    return Polynomial(x, x2, kTables[0], kCosine);
  }
  int n = 0;
  int signedQuadrant = 0;
  double reduced = 0.0;
  if (top < 0x42f) {  // |y| < 120
    reduced = ReduceFast(x, kTables[0], &n);
    signedQuadrant = n;
  } else if (top < 0x7f8) {
    const uint32_t bits = Bits(y);
    reduced = ReduceLarge(bits, &n);
    signedQuadrant = n + static_cast<int>(bits >> 31);
  } else {
    return std::numeric_limits<float>::quiet_NaN();  // infinity or NaN
  }
  const double sign = kTables[0].sign[signedQuadrant & 3];
  const SinCosTable& p = kTables[(signedQuadrant & 2) != 0 ? 1 : 0];
  return Polynomial(reduced * sign, reduced * reduced, p, n ^ kCosine);
}

}  // namespace

float GlibcSinf(float x) { return SinCos<Function::kSin>(x); }
float GlibcCosf(float x) { return SinCos<Function::kCos>(x); }

}  // namespace platform
