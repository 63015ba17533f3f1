// A drifting phase pair: two coupled angles in radians, both 0 when the program starts and never
// reset, advanced once per frame as
//   first  = first + rate.first * cos(second) / rate.divisor
//   second = second + rate.second * sin(first)      (with the new first)
// in single precision. Each scene owns its pairs and gives its own rates.
#pragma once

#include <cmath>

struct PhaseRates {
  float first;
  float second;
  float divisor = 1.0f;  // a pair whose first step is written as cos(second) / 3 divides here
};

// The rates most scenes use: 0.1 and about 0.05926.
inline constexpr PhaseRates kCommonPhaseRates{0.1f, 0.05925697676830226f};

struct PhasePair {
  float first = 0.0f;
  float second = 0.0f;

  void Advance(const PhaseRates& rate) {
    first = first + rate.first * std::cos(second) / rate.divisor;
    second = second + rate.second * std::sin(first);
  }
};
