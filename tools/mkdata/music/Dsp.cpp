#include "music/Dsp.h"

#include <algorithm>
#include <cmath>

namespace mkdata::dsp {

namespace {

// Taylor series of sin and cos on |r| <= pi/4; the truncation error is below 1e-17 there.
double SinPoly(double r) {
  const double r2 = r * r;
  double p = 1.0 / 6227020800.0;  // 1/13!
  p = p * r2 - 1.0 / 39916800.0;
  p = p * r2 + 1.0 / 362880.0;
  p = p * r2 - 1.0 / 5040.0;
  p = p * r2 + 1.0 / 120.0;
  p = p * r2 - 1.0 / 6.0;
  return r + r * r2 * p;
}

double CosPoly(double r) {
  const double r2 = r * r;
  double p = 1.0 / 87178291200.0;  // 1/14!
  p = p * r2 - 1.0 / 479001600.0;
  p = p * r2 + 1.0 / 3628800.0;
  p = p * r2 - 1.0 / 40320.0;
  p = p * r2 + 1.0 / 720.0;
  p = p * r2 - 1.0 / 24.0;
  p = p * r2 + 0.5;
  return 1.0 - r2 * p;
}

// Splits x into quadrant q and remainder r = x - q*pi/2 (pi/2 in two parts keeps r exact enough
// for the arguments synthesis uses, |x| < 1e6).
void Reduce(double x, long long& q, double& r) {
  constexpr double kHalfPiHi = 1.57079632679489655800e+00;
  constexpr double kHalfPiLo = 6.12323399573676603587e-17;
  const double k = std::nearbyint(x * (2.0 / kPi));
  q = static_cast<long long>(k);
  r = (x - k * kHalfPiHi) - k * kHalfPiLo;
}

}  // namespace

double Sin(double x) {
  long long q;
  double r;
  Reduce(x, q, r);
  switch (q & 3) {
    case 0: return SinPoly(r);
    case 1: return CosPoly(r);
    case 2: return -SinPoly(r);
    default: return -CosPoly(r);
  }
}

double Cos(double x) { return Sin(x + kPi / 2.0); }

double Exp(double x) {
  if (x < -700.0) return 0.0;
  if (x > 700.0) x = 700.0;
  constexpr double kLn2 = 0.69314718055994530942;
  const double k = std::nearbyint(x / kLn2);
  const double r = x - k * kLn2;
  // Taylor series to r^14 / 14!: |r| <= 0.35, error below 1e-19.
  double p = 1.0;
  for (int n = 14; n >= 1; --n) p = 1.0 + p * r / n;
  return std::ldexp(p, static_cast<int>(k));
}

double Exp2(double x) { return Exp(x * 0.69314718055994530942); }

double Tanh(double x) {
  if (x > 20.0) return 1.0;
  if (x < -20.0) return -1.0;
  const double e = Exp(2.0 * x);
  return (e - 1.0) / (e + 1.0);
}

double MidiHz(double note) { return 440.0 * Exp2((note - 69.0) / 12.0); }

uint64_t Rng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

double Rng::Bipolar() { return 2.0 * Unit() - 1.0; }

OnePole::OnePole(double cutoffOverRate) : a_(1.0 - Exp(-kTwoPi * cutoffOverRate)) {}

double OnePole::LowPass(double x) {
  z_ += a_ * (x - z_);
  return z_;
}

Svf::Svf(double cutoffOverRate, double q) : g_(0.0), k_(1.0 / q) { SetCutoff(cutoffOverRate); }

void Svf::SetCutoff(double cutoffOverRate) {
  const double w = kPi * std::min(cutoffOverRate, 0.49);
  g_ = Sin(w) / Cos(w);
}

Svf::Out Svf::Process(double x) {
  const double a1 = 1.0 / (1.0 + g_ * (g_ + k_));
  const double a2 = g_ * a1;
  const double a3 = g_ * a2;
  const double v3 = x - ic2_;
  const double v1 = a1 * ic1_ + a2 * v3;
  const double v2 = ic2_ + a2 * ic1_ + a3 * v3;
  ic1_ = 2.0 * v1 - ic1_;
  ic2_ = 2.0 * v2 - ic2_;
  return {v2, v1, x - k_ * v1 - v2};
}

void Normalise(std::vector<double>& signal, double peak) {
  double largest = 0.0;
  for (double v : signal) largest = std::max(largest, std::fabs(v));
  if (largest <= 0.0) return;
  const double scale = peak / largest;
  for (double& v : signal) v *= scale;
}

void RemoveMean(std::vector<double>& signal, size_t begin, size_t end) {
  if (end <= begin) return;
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) sum += signal[i];
  const double mean = sum / static_cast<double>(end - begin);
  for (double& v : signal) v -= mean;
}

}  // namespace mkdata::dsp
