// Sound synthesis helpers for the data generator. Every function here gives the same bits on every
// machine with IEEE doubles: the transcendental functions are our own polynomials instead of libm's
// (whose last-bit rounding differs between versions), and the noise comes from a seeded generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mkdata::dsp {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

double Sin(double x);
double Cos(double x);
double Exp(double x);
// 2^x.
double Exp2(double x);
double Tanh(double x);
// Frequency of a MIDI note number (69 = A 440 Hz), fractional numbers allowed.
double MidiHz(double note);

// SplitMix64: a tiny, well-mixed generator; the same seed gives the same stream everywhere.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [-1, 1).
  double Bipolar();
  // Uniform in [0, 1).
  double Unit();

 private:
  uint64_t state_;
};

// One-pole low-pass / high-pass with the cutoff given as a fraction of the sample rate.
class OnePole {
 public:
  explicit OnePole(double cutoffOverRate);
  double LowPass(double x);
  double HighPass(double x) { return x - LowPass(x); }

 private:
  double a_;
  double z_ = 0.0;
};

// Topology-preserving state-variable filter (low, band and high outputs at once); cutoff may change
// every sample through SetCutoff.
class Svf {
 public:
  Svf(double cutoffOverRate, double q);
  void SetCutoff(double cutoffOverRate);
  struct Out {
    double low, band, high;
  };
  Out Process(double x);

 private:
  double g_, k_;
  double ic1_ = 0.0, ic2_ = 0.0;
};

// Scales `signal` so that its largest magnitude becomes `peak`; silence stays silence.
void Normalise(std::vector<double>& signal, double peak);
// Subtracts the mean of [begin, end) from the whole signal.
void RemoveMean(std::vector<double>& signal, size_t begin, size_t end);

}  // namespace mkdata::dsp
