// The procedural kit the generators share: the smoothstep curve, a hash of integer lattice points
// and value noise over it, and linear RGB colours with their mix. Every function gives the same
// bits on every run, so the generated files never change unless the code does.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace mkdata {

// The cubic 3 t^2 - 2 t^3 on t in 0 ... 1 (not clamped), in the precision of t.
template <class T>
T SmoothCurve(T t) {
  return t * t * (T(3) - T(2) * t);
}

// 0 below e0, 1 above e1, the smooth curve between.
double Smoothstep(double e0, double e1, double x);

// The final mixing of a lattice hash: a shift, a multiplication and a shift. Each picture keeps
// the mix it was made with.
struct HashMix {
  int firstShift;
  uint32_t multiplier;
  int secondShift;
};
inline constexpr HashMix kFlameMix{13, 0x5bd1e995u, 15};  // the fire's flames
inline constexpr HashMix kStoneMix{15, 0x2c1b3c6du, 12};  // the crypt's stone

// 32 pseudo-random bits for the lattice point (x, y) and a seed.
uint32_t LatticeHash(int32_t x, int32_t y, uint32_t seed, HashMix mix);

// The hash's low 16 bits as a value from 0 to 1, in the precision asked for.
template <class T>
T LatticeValue(int32_t x, int32_t y, uint32_t seed, HashMix mix) {
  return static_cast<T>(LatticeHash(x, y, seed, mix) & 0xFFFFu) / T(65535);
}

// Value noise: the lattice values at the four corners of the cell around (x, y), blended by the
// smooth curve of the position in the cell. `corner(cx, cy)` gives a corner's value (it may wrap
// the lattice). In the precision of x and y.
template <class T, class Corner>
T ValueNoise(T x, T y, Corner&& corner) {
  const T fx = std::floor(x), fy = std::floor(y);
  const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  const T sx = SmoothCurve(x - fx), sy = SmoothCurve(y - fy);
  const T a = corner(ix, iy), b = corner(ix + 1, iy), c = corner(ix, iy + 1), d = corner(ix + 1, iy + 1);
  return a + (b - a) * sx + (c - a) * sy + (a - b - c + d) * sx * sy;
}

// A colour in linear terms, each channel nominally 0 ... 1 (or 0 ... 255 where a generator says).
struct Rgb {
  double r = 0.0, g = 0.0, b = 0.0;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
// a (1 - t) + b t.
inline Rgb Mix(Rgb a, Rgb b, double t) { return a * (1.0 - t) + b * t; }
inline double MaxChannel(Rgb c) { return std::max({c.r, c.g, c.b}); }

}  // namespace mkdata
