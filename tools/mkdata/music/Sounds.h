// The three looping sound effects, 16-bit mono at 16000 Hz. Each is periodic over its whole
// length by construction (partials with whole cycles per loop, events and filters wrapped round
// the end), so the last sample flows into the first like any two neighbours.
#pragma once

#include <cstdint>
#include <vector>

namespace mkdata::sounds {

constexpr int kRateHz = 16000;

// "0.wav": a shimmering metallic drone, 4 s.
std::vector<int16_t> MetallicDrone();
// "1.wav": two bars of a groove at 120 BPM as if from a hi-fi, 4 s.
std::vector<int16_t> HifiGroove();
// "2.wav": a deep space rumble, 5 s.
std::vector<int16_t> SpaceRumble();

}  // namespace mkdata::sounds
