#include "kit/Procedural.h"

#include <algorithm>

namespace mkdata {

double Smoothstep(double e0, double e1, double x) { return SmoothCurve(std::clamp((x - e0) / (e1 - e0), 0.0, 1.0)); }

uint32_t LatticeHash(int32_t x, int32_t y, uint32_t seed, HashMix mix) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> mix.firstShift;
  h *= mix.multiplier;
  h ^= h >> mix.secondShift;
  return h;
}

}  // namespace mkdata
