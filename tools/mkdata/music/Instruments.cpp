#include "music/Instruments.h"

#include <algorithm>
#include <cmath>

#include "music/Dsp.h"

namespace mkdata::music {

namespace {

using dsp::Exp;
using dsp::kTwoPi;
using dsp::Sin;

// Quantises a finished signal to signed 8 bits at 99 % of full scale.
Instrument Finish(const char* name, std::vector<double> x, size_t loopStart, size_t loopLength, RenderRate rate,
                  int renderedMidi) {
  dsp::Normalise(x, 0.99 * 127.0);
  Instrument inst;
  inst.sample.name = name;
  inst.sample.data.reserve(x.size());
  for (double v : x) inst.sample.data.push_back(static_cast<int8_t>(std::clamp<long>(std::lround(v), -127, 127)));
  inst.sample.loopStart = static_cast<uint32_t>(loopStart);
  inst.sample.loopLength = static_cast<uint32_t>(loopLength);
  inst.sample.c2spd = static_cast<uint32_t>(std::lround(rate.baseRate));
  inst.rootNote = renderedMidi - 12 * rate.octave;
  return inst;
}

// Fades the last `seconds` out along a raised cosine and ends on exact zero.
void FadeTail(std::vector<double>& x, double rateHz, double seconds) {
  const size_t n = std::min(x.size(), static_cast<size_t>(seconds * rateHz));
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);  // 0 at the end .. 1
    x[x.size() - 1 - i] *= 0.5 - 0.5 * dsp::Cos(dsp::kPi * t);
  }
}

// A loop of whole cycles: `length` samples (even, for the MOD) holding `cycles` cycles of the
// fundamental, which is then `rateHz * cycles / length`, within a fraction of a cent of the aim.
struct LoopFit {
  size_t length;
  int cycles;
};

LoopFit FitLoop(double rateHz, double hz, int maxCycles) {
  const double period = rateHz / hz;
  LoopFit best{0, 0};
  double bestError = 1e9;
  for (int k = 1; k <= maxCycles; ++k) {
    const double exact = k * period;
    const size_t length = 2 * static_cast<size_t>(std::lround(exact / 2.0));
    const double error = std::fabs(exact - static_cast<double>(length)) / exact;
    if (length >= 4 && error < bestError - 1e-9) {
      bestError = error;
      best = {length, k};
    }
  }
  return best;
}

// sin(2 pi j / length) for j in [0, length): partials with whole cycles per loop read it at
// (cycles * i + phase) mod length, which makes every one of them exactly periodic.
std::vector<double> SineTable(size_t length) {
  std::vector<double> table(length);
  for (size_t j = 0; j < length; ++j) table[j] = Sin(kTwoPi * static_cast<double>(j) / static_cast<double>(length));
  return table;
}

// Second-order resonant low-pass magnitude at `ratio` = frequency / cutoff.
double LowPassGain(double ratio, double resonance) {
  const double a = 1.0 - ratio * ratio;
  const double b = ratio / resonance;
  return 1.0 / std::sqrt(a * a + b * b);
}

}  // namespace

double RenderRate::Hz() const { return std::ldexp(baseRate, octave); }

int TrackerNote(const Instrument& instrument, int midi) { return midi - instrument.rootNote + kNoteMiddleC; }

Instrument Drum(const char* name, RenderRate rate, const DrumRecipe& entry) {
  const double r = rate.Hz();
  const size_t n = static_cast<size_t>(entry.length * r);
  std::vector<double> x(n);
  dsp::Rng rng(entry.seed);
  dsp::Svf high(entry.noiseLowHz / r, 0.7), low(entry.noiseHighHz / r, 0.7);
  dsp::OnePole dcBlock(20.0 / r);
  double phase = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / r;
    double v = 0.0;
    if (entry.tone > 0.0) {
      // Pitch sweep of the body: fast at first, settling on endHz.
      const double hz = entry.endHz + (entry.startHz - entry.endHz) * Exp(-t / 0.035);
      phase += hz / r;
      phase -= std::floor(phase);
      v += entry.tone * Sin(kTwoPi * phase) * Exp(-t / entry.decay);
    }
    if (entry.noise > 0.0) {
      double noise = rng.Bipolar();
      if (entry.noiseLowHz > 0.0) noise = high.Process(noise).high;
      if (entry.noiseHighHz > 0.0) noise = low.Process(noise).low;
      v += entry.noise * noise * Exp(-t / entry.noiseDecay);
    }
    if (entry.attack > 0.0 && t < entry.attack) v *= t / entry.attack;
    x[i] = dcBlock.HighPass(v);
  }
  FadeTail(x, r, std::min(0.01, entry.length / 4.0));
  return Finish(name, std::move(x), 0, 0, rate, 60);
}

Instrument Kick(RenderRate rate) {
  DrumRecipe entry;
  entry.length = 0.32;
  entry.tone = 1.0;
  entry.startHz = 150.0;
  entry.endHz = 45.0;
  entry.decay = 0.11;
  entry.noise = 0.5;  // the beater's click
  entry.noiseLowHz = 1500.0;
  entry.noiseDecay = 0.003;
  entry.seed = 11;
  return Drum("kick", rate, entry);
}

Instrument Snare(RenderRate rate) {
  DrumRecipe entry;
  entry.length = 0.18;
  entry.tone = 0.7;
  entry.startHz = 260.0;
  entry.endHz = 190.0;
  entry.decay = 0.04;
  entry.noise = 1.0;
  entry.noiseLowHz = 1200.0;
  entry.noiseHighHz = std::min(7000.0, 0.45 * rate.Hz());
  entry.noiseDecay = 0.05;
  entry.seed = 22;
  return Drum("snare", rate, entry);
}

Instrument ClosedHat(RenderRate rate) {
  DrumRecipe entry;
  entry.length = 0.04;
  entry.noise = 1.0;
  entry.noiseLowHz = std::min(7000.0, 0.3 * rate.Hz());
  entry.noiseDecay = 0.012;
  entry.seed = 33;
  return Drum("closed hat", rate, entry);
}

Instrument OpenHat(RenderRate rate) {
  DrumRecipe entry;
  entry.length = 0.16;
  entry.noise = 1.0;
  entry.noiseLowHz = std::min(6500.0, 0.28 * rate.Hz());
  entry.noiseDecay = 0.06;
  entry.seed = 44;
  return Drum("open hat", rate, entry);
}

Instrument Bass(RenderRate rate, int midi, bool square, double cutoff, double attackCutoff, double resonance) {
  const double r = rate.Hz();
  const LoopFit fit = FitLoop(r, dsp::MidiHz(midi), 16);
  const double hz = r * fit.cycles / static_cast<double>(fit.length);
  const size_t attack = 2 * static_cast<size_t>(0.03 * r);  // even, for the MOD
  const std::vector<double> table = SineTable(fit.length);
  const int harmonics = static_cast<int>(0.45 * r / hz);
  std::vector<double> x(attack + fit.length);
  for (size_t i = 0; i < x.size(); ++i) {
    // The cutoff falls to its sustain value by the loop start, so the loop is exactly periodic.
    const double progress = std::min(1.0, static_cast<double>(i) / static_cast<double>(attack));
    const double c = attackCutoff + (cutoff - attackCutoff) * progress;
    double v = 0.0;
    for (int h = 1; h <= harmonics; ++h) {
      if (square && h % 2 == 0) continue;
      const size_t j = (static_cast<size_t>(h) * fit.cycles * i) % fit.length;
      v += table[j] / h * LowPassGain(h / c, resonance);
    }
    x[i] = v * (1.0 + 0.25 * (1.0 - progress));
  }
  return Finish("bass", std::move(x), attack, fit.length, rate, midi);
}

Instrument Pad(const char* name, RenderRate rate, const PadSpec& entry) {
  const double r = rate.Hz();
  const double aim = dsp::MidiHz(entry.midi);
  const size_t length = 2 * static_cast<size_t>(std::lround(entry.cycles * r / aim / 2.0));
  const std::vector<double> table = SineTable(length);
  const size_t attack = 2 * static_cast<size_t>(entry.attack * r / 2.0);
  std::vector<double> x(attack + length, 0.0);
  dsp::Rng rng(static_cast<uint64_t>(entry.midi) * 7919u + static_cast<uint64_t>(entry.voices));
  struct Voice {
    int cycles;
    double level;
  };
  std::vector<Voice> voices;
  for (int v = 0; v < entry.voices; ++v) {
    // Detune by whole cycles per loop: 0, +1, -1, +2, -2 ...
    const int offset = (v + 1) / 2 * (v % 2 ? 1 : -1);
    voices.push_back({entry.cycles + offset, 1.0});
  }
  if (entry.fifth > 0.0) {
    // A fifth up is 1.5 times the cycles (the loop holds an even number of fundamental cycles).
    voices.push_back({entry.cycles * 3 / 2, entry.fifth});
    voices.push_back({entry.cycles * 3 / 2 + 1, entry.fifth * 0.7});
  }
  for (const Voice& voice : voices) {
    const double hz = r * voice.cycles / static_cast<double>(length);
    const int harmonics = static_cast<int>(0.45 * r / hz);
    for (int h = 1; h <= harmonics; ++h) {
      const double over = h / entry.cutoff;
      double level = voice.level / h / (1.0 + over * over);
      if (entry.brass && h % 2 == 1) level *= 1.6;
      const size_t phase = static_cast<size_t>(rng.Unit() * static_cast<double>(length));
      const size_t step = static_cast<size_t>(h) * static_cast<size_t>(voice.cycles) % length;
      size_t j = phase;
      // Start the index at sample -attack so the loop region begins on the same phase.
      for (size_t i = 0; i < x.size(); ++i) {
        x[i] += level * table[j];
        j = (j + step) % length;
      }
    }
  }
  for (size_t i = 0; i < attack; ++i) x[i] *= static_cast<double>(i) / static_cast<double>(attack);
  return Finish(name, std::move(x), attack, length, rate, entry.midi);
}

Instrument Lead(RenderRate rate, int midi, double duty) {
  const double r = rate.Hz();
  const LoopFit fit = FitLoop(r, dsp::MidiHz(midi), 16);
  const double hz = r * fit.cycles / static_cast<double>(fit.length);
  const std::vector<double> table = SineTable(fit.length);
  const int harmonics = static_cast<int>(0.3 * r / hz);
  const size_t attack = 2 * static_cast<size_t>(0.004 * r);
  std::vector<double> x(attack + fit.length, 0.0);
  for (int h = 1; h <= harmonics; ++h) {
    // Fourier series of a pulse, with a gentle roll-off so the top does not fizz.
    const double level = Sin(dsp::kPi * h * duty) / h / (1.0 + h * hz / 2500.0);
    const size_t step = static_cast<size_t>(h) * static_cast<size_t>(fit.cycles) % fit.length;
    size_t j = 0;
    for (size_t i = 0; i < x.size(); ++i) {
      x[i] += level * (table[(j + fit.length / 4) % fit.length]);  // cosine phase: the pulse is centred
      j = (j + step) % fit.length;
    }
  }
  dsp::RemoveMean(x, attack, x.size());
  for (size_t i = 0; i < attack; ++i) x[i] *= static_cast<double>(i) / static_cast<double>(attack);
  return Finish("lead", std::move(x), attack, fit.length, rate, midi);
}

Instrument Pluck(const char* name, RenderRate rate, int midi, double seconds, double damping, uint64_t seed) {
  const double r = rate.Hz();
  const double period = r / dsp::MidiHz(midi);
  const size_t n = static_cast<size_t>(seconds * r);
  std::vector<double> y(n, 0.0);
  dsp::Rng rng(seed);
  dsp::OnePole pickTone((1.0 - damping) * 0.45 + 0.05);
  // Feedback gain that gives about a 60 dB decay over `seconds` at the fundamental.
  const double gain = Exp(-6.9 * period / (seconds * r));
  double previousRead = 0.0;
  const double delay = period - 0.5;  // the two-point average adds half a sample
  for (size_t i = 0; i < n; ++i) {
    double excite = 0.0;
    if (static_cast<double>(i) < period) excite = pickTone.LowPass(rng.Bipolar());
    double read = 0.0;
    const double at = static_cast<double>(i) - delay;
    if (at >= 0.0) {
      const size_t i0 = static_cast<size_t>(at);
      const double frac = at - static_cast<double>(i0);
      read = y[i0] * (1.0 - frac) + (i0 + 1 < i ? y[i0 + 1] : 0.0) * frac;
    }
    const double blend = 0.5 + 0.4 * (1.0 - damping);  // less averaging = brighter string
    y[i] = excite + gain * (blend * read + (1.0 - blend) * previousRead);
    previousRead = read;
  }
  dsp::OnePole dcBlock(20.0 / r);
  for (double& v : y) v = dcBlock.HighPass(v);
  FadeTail(y, r, 0.02);
  return Finish(name, std::move(y), 0, 0, rate, midi);
}

Instrument Bell(RenderRate rate, int midi, double ratio, double seconds) {
  const double r = rate.Hz();
  const double hz = dsp::MidiHz(midi);
  const size_t n = static_cast<size_t>(seconds * r);
  std::vector<double> x(n);
  double carrier = 0.0, modulator = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / r;
    const double index = 0.3 + 2.2 * Exp(-t / 0.25);
    const double env = Exp(-t / (seconds / 5.0)) * std::min(1.0, t / 0.002);
    x[i] = env * Sin(kTwoPi * carrier + index * Sin(kTwoPi * modulator));
    carrier += hz / r;
    modulator += hz * ratio / r;
    carrier -= std::floor(carrier);
    modulator -= std::floor(modulator);
  }
  dsp::OnePole dcBlock(20.0 / r);
  for (double& v : x) v = dcBlock.HighPass(v);
  FadeTail(x, r, 0.05);
  return Finish("bell", std::move(x), 0, 0, rate, midi);
}

}  // namespace mkdata::music
