// Instruments synthesised in code for the music modules: drums, basses, pads, leads, plucks and
// bells as normalised, DC-free signed 8-bit samples. Sustaining sounds loop over whole cycles of
// every partial they contain, so the loop seam is as smooth as the rest of the wave; one-shots
// decay to silence.
#pragma once

#include "formats/Song.h"

namespace mkdata::music {

// Where a sample is rendered: at `baseRate` * 2^octave Hz, where `baseRate` is the rate the
// format plays at tracker note 48 (the MOD's PAL rate, or the S3M C2Spd). Rendering an octave up
// keeps the highs of cymbals in a MOD; such a sample is played an octave higher.
struct RenderRate {
  double baseRate = 8363.0;
  int octave = 0;
  double Hz() const;
};

struct Instrument {
  Sample sample;
  int rootNote = 60;  // the MIDI note heard when the sample plays at tracker note 48
};

// The tracker note that sounds MIDI note `midi` on `instrument`.
int TrackerNote(const Instrument& instrument, int midi);

// Percussion. Each is meant to be played at MIDI note 60 (its natural speed).
struct DrumRecipe {
  double length = 0.3;     // seconds
  double startHz = 150.0;  // kick and tom: sweep from here ...
  double endHz = 45.0;     // ... to here
  double decay = 0.12;     // amplitude time constant, seconds
  double tone = 0.0;       // snare: level of the body tone
  double noise = 0.0;      // level of the noise part
  double noiseLowHz = 0.0;    // noise high-pass corner (0 = none)
  double noiseHighHz = 0.0;   // noise low-pass corner (0 = none)
  double noiseDecay = 0.05;   // noise time constant, seconds
  double attack = 0.0;        // seconds of fade-in (shakers)
  uint64_t seed = 1;
};
Instrument Kick(RenderRate rate);
Instrument Snare(RenderRate rate);
Instrument ClosedHat(RenderRate rate);
Instrument OpenHat(RenderRate rate);
Instrument Drum(const char* name, RenderRate rate, const DrumRecipe& entry);

// Sustaining tones, looped. `midi` is the pitch rendered (choose it near the notes played).
// Bass: a saw (or square) through a resonant low-pass whose cutoff falls from `attackCutoff` to
// `cutoff` (multiples of the fundamental) during the first 60 ms.
Instrument Bass(RenderRate rate, int midi, bool square, double cutoff, double attackCutoff, double resonance);
// Pad: `voices` saws detuned by whole loop cycles (slow beating), softened above `cutoff`
// harmonics; `fifth` mixes in a voice a fifth up (for drones). `cycles` sets the loop length in
// fundamental cycles, and so the detune step: one cycle more per loop is about 1731 / cycles
// cents (128 cycles: 13.5 cents, beating about once a second per step).
struct PadSpec {
  int midi = 48;
  int voices = 5;
  int cycles = 128;
  double cutoff = 8.0;
  double fifth = 0.0;
  double attack = 0.03;  // seconds of fade-in before the loop
  bool brass = false;    // brighter spectrum with odd harmonics lifted
};
Instrument Pad(const char* name, RenderRate rate, const PadSpec& entry);
// Lead: a pulse of duty `duty` (0.5 = square), band-limited.
Instrument Lead(RenderRate rate, int midi, double duty);
// Pluck: Karplus-Strong string of `seconds` length; `damping` 0..1 darkens and shortens it.
Instrument Pluck(const char* name, RenderRate rate, int midi, double seconds, double damping, uint64_t seed);
// Bell: two-operator FM, modulator at `ratio` times the carrier, decaying over `seconds`.
Instrument Bell(RenderRate rate, int midi, double ratio, double seconds);

}  // namespace mkdata::music
