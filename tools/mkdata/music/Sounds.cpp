// Generator "sounds": "0.wav", "1.wav", "2.wav".
#include "music/Sounds.h"

#include <algorithm>
#include <cmath>

#include "music/Dsp.h"
#include "Generator.h"
#include "formats/WaveWriter.h"

namespace mkdata::sounds {

namespace {

using dsp::Exp;
using dsp::kTwoPi;
using dsp::Sin;

constexpr double kRate = kRateHz;
constexpr double kPeak = 0.8414;  // -1.5 dBFS

// A loop of n samples that everything is added into modulo its length.
class LoopBuffer {
 public:
  explicit LoopBuffer(size_t n) : x_(n, 0.0) {}
  size_t Size() const { return x_.size(); }
  void Add(size_t at, double v) { x_[at % x_.size()] += v; }
  void AddAll(size_t at, const std::vector<double>& sound, double gain) {
    for (size_t i = 0; i < sound.size(); ++i) Add(at + i, gain * sound[i]);
  }
  // A partial with a whole number of cycles over the loop, its level slowly breathing with
  // `lfoCycles` whole cycles per loop (0 = steady).
  void AddPartial(int cycles, double level, double phase, int lfoCycles, double lfoDepth, double lfoPhase) {
    const double n = static_cast<double>(x_.size());
    for (size_t i = 0; i < x_.size(); ++i) {
      const double t = static_cast<double>(i) / n;
      // Whole cycles: reduce the phase exactly before scaling so long loops keep their precision.
      const double turns = static_cast<double>((static_cast<uint64_t>(cycles) * i) % x_.size()) / n;
      const double lfo = 1.0 - lfoDepth * 0.5 * (1.0 - dsp::Cos(kTwoPi * (lfoCycles * t) + lfoPhase));
      x_[i] += level * lfo * Sin(kTwoPi * turns + phase);
    }
  }
  // Runs a filter round the loop twice and keeps the second lap, so its state at the start is the
  // one the end leaves behind.
  template <typename Filter>
  void FilterRound(Filter&& filter) {
    for (double v : x_) filter(v);
    for (double& v : x_) v = filter(v);
  }
  std::vector<double>& Samples() { return x_; }

 private:
  std::vector<double> x_;
};

std::vector<int16_t> Finish(std::vector<double> x) {
  dsp::RemoveMean(x, 0, x.size());
  dsp::Normalise(x, kPeak * 32767.0);
  std::vector<int16_t> out;
  out.reserve(x.size());
  for (double v : x) out.push_back(static_cast<int16_t>(std::clamp<long>(std::lround(v), -32767, 32767)));
  return out;
}

// Cycles per loop nearest to `hz`.
int Cycles(double hz, size_t n) { return static_cast<int>(std::lround(hz * static_cast<double>(n) / kRate)); }

// --- the groove's voices, each a finite sound that the loop wraps ---

std::vector<double> KickSound() {
  std::vector<double> x(static_cast<size_t>(0.35 * kRate));
  double phase = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase += (48.0 + 80.0 * Exp(-t / 0.03)) / kRate;
    x[i] = Sin(kTwoPi * phase) * Exp(-t / 0.12) * std::min(1.0, t / 0.001);
  }
  return x;
}

std::vector<double> NoiseSound(double seconds, double decay, double lowHz, double highHz, double toneHz, double tone,
                               uint64_t seed) {
  std::vector<double> x(static_cast<size_t>(seconds * kRate));
  dsp::Rng rng(seed);
  dsp::Svf high(lowHz / kRate, 0.7), low(highHz / kRate, 0.7);
  for (size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = low.Process(high.Process(rng.Bipolar()).high).low * Exp(-t / decay);
    if (tone > 0.0) v += tone * Sin(kTwoPi * toneHz * t) * Exp(-t / 0.04);
    const double tail = std::min(1.0, (seconds - t) / 0.01);  // ends on silence
    x[i] = v * std::min(1.0, t / 0.0005) * tail;
  }
  return x;
}

// A plucked electric bass note: sine and a little second harmonic, a quick decay.
std::vector<double> BassNote(int midi, double seconds) {
  std::vector<double> x(static_cast<size_t>(seconds * kRate));
  const double hz = dsp::MidiHz(midi);
  for (size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double env = std::min(1.0, t / 0.004) * Exp(-t / 0.35) * std::min(1.0, (seconds - t) / 0.02);
    x[i] = env * (Sin(kTwoPi * hz * t) + 0.3 * Sin(kTwoPi * 2.0 * hz * t) + 0.1 * Sin(kTwoPi * 3.0 * hz * t));
  }
  return x;
}

// An electric piano chord: one FM tine per note, the bright attack fading into a round tone.
std::vector<double> PianoChord(const std::vector<int>& notes, double seconds) {
  std::vector<double> x(static_cast<size_t>(seconds * kRate), 0.0);
  for (int midi : notes) {
    const double hz = dsp::MidiHz(midi);
    for (size_t i = 0; i < x.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double index = 1.5 * Exp(-t / 0.08);
      const double env = std::min(1.0, t / 0.003) * Exp(-t / 0.5) * std::min(1.0, (seconds - t) / 0.03);
      x[i] += env * Sin(kTwoPi * hz * t + index * Sin(kTwoPi * hz * t));
    }
  }
  return x;
}

}  // namespace

std::vector<int16_t> MetallicDrone() {
  LoopBuffer loop(4 * kRateHz);
  const size_t n = loop.Size();
  // Modes of a struck metal bar (1, 2.76, 5.40, 8.93, 13.34 times the lowest), each doubled by a
  // twin a fraction of a hertz away, so the pairs beat; every level breathes at its own slow rate.
  constexpr double kModes[] = {1.0, 2.756, 5.404, 8.933, 13.344};
  constexpr double kLevels[] = {1.0, 0.7, 0.5, 0.35, 0.25};
  const double base = 146.8;  // D3
  dsp::Rng rng(2024);
  for (int m = 0; m < 5; ++m) {
    const int cycles = Cycles(base * kModes[m], n);
    for (int twin = 0; twin < 2; ++twin) {
      loop.AddPartial(cycles + twin * (2 + m), kLevels[m] * (twin ? 0.8 : 1.0), kTwoPi * rng.Unit(), 1 + (m + twin) % 3,
                      0.5, kTwoPi * rng.Unit());
    }
  }
  // A low hum under it and a glitter of high partials trembling at 5-8 Hz.
  loop.AddPartial(Cycles(73.4, n), 0.6, 0.0, 1, 0.3, 0.0);
  for (int k = 0; k < 6; ++k) {
    const double hz = 2400.0 + 370.0 * k + 55.0 * rng.Unit();
    loop.AddPartial(Cycles(hz, n), 0.06, kTwoPi * rng.Unit(), 20 + 3 * k, 0.9, kTwoPi * rng.Unit());
  }
  return Finish(loop.Samples());
}

std::vector<int16_t> HifiGroove() {
  // Two bars at 120 BPM: 8000 samples a beat, 2000 a sixteenth.
  LoopBuffer loop(4 * kRateHz);
  constexpr size_t kSixteenth = 2000;
  const auto kick = KickSound();
  const auto snare = NoiseSound(0.2, 0.06, 900.0, 6000.0, 185.0, 0.6, 7);
  const auto hat = NoiseSound(0.05, 0.015, 5000.0, 7600.0, 0.0, 0.0, 8);
  const auto openHat = NoiseSound(0.22, 0.08, 4500.0, 7600.0, 0.0, 0.0, 9);
  // Kick, snare and hats over two bars, one character per sixteenth: K kick, S snare, h hat,
  // o open hat, k kick and hat.
  const char* beat = "K.h.S.hkh.KhS.o.K.h.S.h.KkhKS.hh";
  for (size_t i = 0; i < 32; ++i) {
    const size_t at = i * kSixteenth;
    switch (beat[i]) {
      case 'K': loop.AddAll(at, kick, 1.0); break;
      case 'k': loop.AddAll(at, kick, 0.6); loop.AddAll(at, hat, 0.25); break;
      case 'S': loop.AddAll(at, snare, 0.7); break;
      case 'h': loop.AddAll(at, hat, i % 2 ? 0.2 : 0.3); break;
      case 'o': loop.AddAll(at, openHat, 0.3); break;
      default: break;
    }
  }
  // A syncopated bass in E minor and piano stabs on the off-beats: Em7, then Am7 to D.
  struct Note {
    int sixteenth, midi, length;
  };
  constexpr Note kBass[] = {{0, 40, 3},   {3, 40, 1},  {4, 47, 2},  {6, 50, 2},  {8, 52, 2},  {10, 50, 1},
                            {11, 47, 3},  {14, 43, 2}, {16, 45, 3}, {19, 45, 1}, {20, 52, 2}, {22, 55, 2},
                            {24, 50, 3},  {27, 50, 1}, {28, 54, 2}, {30, 52, 2}};
  for (const Note& note : kBass) loop.AddAll(note.sixteenth * kSixteenth, BassNote(note.midi, note.length * 0.125), 0.8);
  const auto em7 = PianoChord({55, 59, 62, 64}, 0.35);
  const auto am7 = PianoChord({57, 60, 64, 67}, 0.35);
  const auto d = PianoChord({54, 57, 62, 66}, 0.35);
  for (int s : {2, 6, 11, 14}) loop.AddAll(s * kSixteenth, em7, 0.12);
  for (int s : {18, 22}) loop.AddAll(s * kSixteenth, am7, 0.12);
  for (int s : {27, 30}) loop.AddAll(s * kSixteenth, d, 0.12);
  // The hi-fi: a warm top roll-off and a touch of soft saturation.
  dsp::Svf tone(6500.0 / kRate, 0.6);
  loop.FilterRound([&tone](double v) { return tone.Process(v).low; });
  dsp::Normalise(loop.Samples(), 1.0);
  for (double& v : loop.Samples()) v = dsp::Tanh(1.4 * v);
  return Finish(loop.Samples());
}

std::vector<int16_t> SpaceRumble() {
  LoopBuffer loop(5 * kRateHz);
  const size_t n = loop.Size();
  // Noise darkened to a rumble (two low-pass laps round the loop keep it seamless) ...
  dsp::Rng rng(77);
  for (double& v : loop.Samples()) v = rng.Bipolar();
  dsp::Svf low1(90.0 / kRate, 0.8), low2(140.0 / kRate, 0.6);
  loop.FilterRound([&](double v) { return low2.Process(low1.Process(v).low).low; });
  std::vector<double> noise = loop.Samples();
  dsp::Normalise(noise, 1.0);
  // ... breathing twice per loop, under deep tones that beat against each other.
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    loop.Samples()[i] = noise[i] * (0.75 - 0.25 * dsp::Cos(kTwoPi * 2.0 * t));
  }
  loop.AddPartial(Cycles(36.0, n), 0.5, 0.0, 1, 0.6, 0.0);
  loop.AddPartial(Cycles(36.0, n) + 1, 0.4, 1.0, 1, 0.6, 2.0);
  loop.AddPartial(Cycles(54.0, n), 0.25, 2.0, 2, 0.8, 1.0);
  loop.AddPartial(Cycles(72.5, n), 0.12, 0.5, 3, 0.9, 0.5);
  // A faint airy band high above, like distant wind.
  std::vector<double> air(n);
  for (double& v : air) v = rng.Bipolar();
  LoopBuffer wind(n);
  wind.Samples() = air;
  dsp::Svf band(700.0 / kRate, 2.0);
  wind.FilterRound([&band](double v) { return band.Process(v).band; });
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    loop.Samples()[i] += 0.15 * wind.Samples()[i] * (0.5 - 0.5 * dsp::Cos(kTwoPi * t));
  }
  return Finish(loop.Samples());
}

namespace {

bool GenerateSounds(Output& out) {
  const struct {
    const char* name;
    std::vector<int16_t> (*make)();
  } kSounds[] = {{"0.wav", MetallicDrone}, {"1.wav", HifiGroove}, {"2.wav", SpaceRumble}};
  for (const auto& sound : kSounds) {
    const std::vector<int16_t> samples = sound.make();
    if (!out.Write(sound.name, WavePcm16(samples, 1, kRateHz))) return false;
  }
  return true;
}

}  // namespace

MKDATA_GENERATOR("sounds", GenerateSounds);

}  // namespace mkdata::sounds
