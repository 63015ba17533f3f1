// The synthesised instruments: normalised, free of DC, one-shots ending in silence, loops that
// join as smoothly as the wave runs elsewhere, tonal loops holding their intended pitch, samples
// the MOD can store, and the tracker note that plays each at its own pitch.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>

#include "music/Dsp.h"
#include "music/Instruments.h"
#include "formats/ModuleWriters.h"

namespace mkdata::music {
namespace {

struct Case {
  std::string name;
  std::function<Instrument(RenderRate)> make;
  int pitch;  // MIDI pitch of a tonal loop; 0 = not checked
};

std::vector<Case> Cases() {
  PadSpec pad;
  PadSpec drone;
  drone.midi = 28, drone.voices = 3, drone.cycles = 64, drone.fifth = 0.5;
  return {
      {"kick", Kick, 0},
      {"snare", Snare, 0},
      {"closed hat", ClosedHat, 0},
      {"open hat", OpenHat, 0},
      {"bass", [](RenderRate r) { return Bass(r, 38, false, 4.0, 14.0, 3.0); }, 38},
      {"square bass", [](RenderRate r) { return Bass(r, 33, true, 6.0, 18.0, 2.0); }, 33},
      {"pad", [pad](RenderRate r) { return Pad("pad", r, pad); }, 48},
      {"drone", [drone](RenderRate r) { return Pad("drone", r, drone); }, 28},
      {"lead", [](RenderRate r) { return Lead(r, 69, 0.5); }, 69},
      {"pulse lead", [](RenderRate r) { return Lead(r, 57, 0.25); }, 57},
      {"pluck", [](RenderRate r) { return Pluck("pluck", r, 62, 0.4, 0.5, 3); }, 0},
      {"bell", [](RenderRate r) { return Bell(r, 76, 3.5, 1.5); }, 0},
  };
}

double Mean(const std::vector<int8_t>& data, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += data[i];
  return sum / static_cast<double>(to - from);
}

// Magnitude of DFT bin k over [from, from + n).
double Bin(const std::vector<int8_t>& data, size_t from, size_t n, size_t k) {
  std::complex<double> sum = 0.0;
  for (size_t i = 0; i < n; ++i)
    sum += static_cast<double>(data[from + i]) * std::polar(1.0, -2.0 * M_PI * static_cast<double>(k * i % n) / static_cast<double>(n));
  return std::abs(sum);
}

void CheckInstrument(const Case& c, RenderRate rate, bool mod) {
  SCOPED_TRACE(c.name + (mod ? " (MOD)" : " (S3M)"));
  const Instrument inst = c.make(rate);
  const Sample& s = inst.sample;
  ASSERT_GT(s.data.size(), 16u);
  EXPECT_LE(s.data.size(), 64000u);
  int peak = 0;
  for (int8_t v : s.data) peak = std::max(peak, std::abs(int{v}));
  EXPECT_GE(peak, 120) << "not normalised";
  if (s.loopLength == 0) {
    EXPECT_LE(std::abs(Mean(s.data, 0, s.data.size())), 0.03 * peak) << "DC offset";
    EXPECT_LE(std::abs(int{s.data.back()}), 1) << "a one-shot must end in silence";
    return;
  }
  const size_t start = s.loopStart, end = s.loopStart + s.loopLength;
  ASSERT_LE(end, s.data.size());
  EXPECT_EQ(end, s.data.size()) << "data after the loop is never heard";
  if (mod) {
    EXPECT_TRUE(start % 2 == 0 && s.loopLength % 2 == 0) << "MOD loops are whole words";
  }
  EXPECT_LE(std::abs(Mean(s.data, start, end)), 0.01 * peak) << "DC offset in the loop";
  // The seam: the step from the loop's last sample to its first, and the change of slope there,
  // are no larger than anywhere inside the loop (one count of rounding allowed).
  int largestStep = 0, largestBend = 0;
  for (size_t i = start + 1; i + 1 < end; ++i) {
    largestStep = std::max(largestStep, std::abs(s.data[i] - s.data[i - 1]));
    largestBend = std::max(largestBend, std::abs(s.data[i + 1] - 2 * s.data[i] + s.data[i - 1]));
  }
  const int seamStep = std::abs(s.data[start] - s.data[end - 1]);
  const int seamBend = std::abs(s.data[start] - 2 * s.data[end - 1] + s.data[end - 2]);
  EXPECT_LE(seamStep, largestStep + 1);
  EXPECT_LE(seamBend, largestBend + 2);
  // The attack flows into the loop as well.
  if (start > 0) {
    EXPECT_LE(std::abs(s.data[start] - s.data[start - 1]), largestStep + 1);
  }
  if (c.pitch > 0) {
    // The strongest component between half and one and a half times the expected fundamental is
    // the fundamental itself (whole cycles per loop, so it falls on a DFT bin).
    const double cycles = dsp::MidiHz(c.pitch) * s.loopLength / rate.Hz();
    size_t best = 0;
    double bestLevel = 0.0;
    for (size_t k = static_cast<size_t>(cycles * 0.5); k <= static_cast<size_t>(cycles * 1.5); ++k) {
      const double level = Bin(s.data, start, s.loopLength, k);
      if (level > bestLevel) bestLevel = level, best = k;
    }
    EXPECT_NEAR(static_cast<double>(best), cycles, std::max(2.5, cycles * 0.02)) << "fundamental out of tune";
  }
  // Played at the note for its own pitch (drums: 60), a sample runs at its rendering rate.
  EXPECT_EQ(TrackerNote(inst, c.pitch > 0 ? c.pitch : 60), kNoteMiddleC + 12 * rate.octave);
}

TEST(Instruments, CleanNormalisedAndLoopedOnWholeCycles) {
  for (const Case& c : Cases()) {
    CheckInstrument(c, {kModBaseRate, 0}, true);
    CheckInstrument(c, {16000.0, 0}, false);
  }
  CheckInstrument(Cases()[2], {kModBaseRate, 1}, true);  // cymbals an octave up in a MOD
}

}  // namespace
}  // namespace mkdata::music
