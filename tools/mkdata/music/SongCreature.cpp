// "creature.s3m": mysterious and grand, E minor at 84 BPM, 14 channels. Four pad voices over a low
// drone carry the harmony Em(add9) Cmaj7 Am(add9) Bsus4-B; bells call and a harp answers, each
// phrase echoed softly two rows later; a horn-like theme doubled an octave down arrives in the
// second half; percussion grows from a shaker to toms and rim clicks. Sections (one 4-bar pattern
// each, 11.43 s):
//   0 opening  pads swelling over the drone, one bell at the end
//   1 call     bells call, the harp answers; slow bass and a soft shaker begin
//   2 build    the call rises a third, toms join
//   3 theme    the horn theme over the full band, rim clicks on 2 and 4
//   4 climax   the theme higher and answered, the percussion at its fullest
//   5 return   the opening pads and drone alone, the percussion fading, back to the start
#include <string>

#include "music/Composer.h"
#include "music/Songs.h"

namespace mkdata::music {

namespace {

enum Channel { kPad0, kPad1, kPad2, kPad3, kDrone, kBass, kBell, kHarp, kEcho, kHorn, kHornLow, kTom, kShaker, kRim,
               kChannelCount };

constexpr int kTonic = 64;  // E4

struct Instruments {
  int pad, drone, bass, bell, harp, horn, tom, shaker, rim;
};

// Four-voice pad chords per bar; the last bar turns Bsus4 into B major halfway through.
constexpr int kVoicings[4][4] = {
    {52, 59, 66, 67},  // E minor with an added ninth
    {48, 55, 59, 64},  // C major seventh
    {45, 52, 59, 60},  // A minor with an added ninth
    {47, 54, 59, 64},  // B with a suspended fourth
};
constexpr int kBassRoots[4] = {40, 36, 33, 35};  // E2 C2 A1 B1

// Pads: each bar's chord, swelling in from `from` to `to` at the start of the bar.
void Pads(SongBuilder& b, int p, int pad, int from, int to, bool fadeAtEnd) {
  for (int bar = 0; bar < 4; ++bar) {
    for (int v = 0; v < 4; ++v) {
      const int row = bar * 16;
      b.Note(p, row, kPad0 + v, pad, kVoicings[bar][v], from);
      // D10 raises the volume by 5 a row (1 on each of the row's 5 later ticks).
      for (int r = 1; r <= (to - from + 4) / 5; ++r) b.Fx(p, row + r, kPad0 + v, Effect::kVolumeSlide, 0x10);
    }
  }
  // Bsus4 resolves: the fourth (E4) falls to the third (D#4).
  b.Note(p, 56, kPad3, pad, 63, to);
  if (fadeAtEnd)
    for (int v = 0; v < 4; ++v)
      for (int row = 58; row < 64; ++row) b.Fx(p, row, kPad0 + v, Effect::kVolumeSlide, 0x01);
}

// A phrase with its echo two rows later, softer, on the echo channel.
void Phrase(SongBuilder& b, int p, int row, int channel, int instrument, const std::vector<LineEvent>& line,
            int volume) {
  b.Line(p, row, channel, instrument, line, volume);
  for (const LineEvent& event : line) {
    const int at = row + event.row + 2;
    if (event.midi >= 0 && at < kRowsPerPattern && b.At(p, at, kEcho).note == kNoNote)
      b.Note(p, at, kEcho, instrument, event.midi, volume / 3);
  }
}

// The horn theme and its octave-lower double; long notes get a slow vibrato.
void Theme(SongBuilder& b, int p, int horn, const std::vector<LineEvent>& line) {
  b.Line(p, 0, kHorn, horn, line, 50);
  std::vector<LineEvent> low = line;
  for (LineEvent& event : low)
    if (event.midi >= 0) event.midi -= 12;
  b.Line(p, 0, kHornLow, horn, low, 30);
  for (size_t i = 0; i < line.size(); ++i) {
    const int end = i + 1 < line.size() ? line[i + 1].row : kRowsPerPattern;
    for (int r = line[i].row + 4; r < end; ++r) b.Fx(p, r, kHorn, Effect::kVibrato, 0x32);
  }
}

// Percussion by intensity: 1 shaker, 2 + toms, 3 + rim clicks, 4 + busier toms.
void Percussion(SongBuilder& b, int p, const Instruments& in, int intensity, int bars) {
  for (int bar = 0; bar < bars; ++bar) {
    const int row = bar * 16;
    for (int i = 0; i < 16; i += 2) b.Note(p, row + i, kShaker, in.shaker, 60, i % 4 ? 16 : 26);
    if (intensity >= 2) {
      b.Note(p, row, kTom, in.tom, 60, 56);
      b.Note(p, row + 8, kTom, in.tom, 55, 44);
    }
    if (intensity >= 3) {
      b.Note(p, row + 4, kRim, in.rim, 60, 36);
      b.Note(p, row + 12, kRim, in.rim, 60, 40);
    }
    if (intensity >= 4) {
      b.Note(p, row + 11, kTom, in.tom, 57, 36);
      b.Note(p, row + 14, kTom, in.tom, 52, 48);
    }
  }
}

void BassLine(SongBuilder& b, int p, int bass) {
  for (int bar = 0; bar < 4; ++bar) {
    b.Note(p, bar * 16, kBass, bass, kBassRoots[bar], 56);
    b.Note(p, bar * 16 + 10, kBass, bass, kBassRoots[bar] + (bar == 3 ? 7 : 12), 36);
  }
}

// The band: pads, drone and horn looped over many cycles; bass; bell and harp one-shots; a tom,
// a shaker and a rim click.
Instruments AddInstruments(SongBuilder& b) {
  Instruments in{};
  PadSpec pad;
  pad.midi = 52;
  pad.voices = 5;
  pad.cycles = 128;
  pad.cutoff = 5.0;
  in.pad = b.Add(Pad("pad", {16000.0, 0}, pad), 40);
  PadSpec drone;
  drone.midi = 28;
  drone.voices = 3;
  drone.cycles = 64;
  drone.cutoff = 12.0;
  drone.fifth = 0.5;
  drone.attack = 0.1;
  in.drone = b.Add(Pad("drone", {8000.0, 0}, drone), 44);
  in.bass = b.Add(Bass({16000.0, 0}, 40, false, 3.0, 6.0, 1.4), 56);
  in.bell = b.Add(Bell({22050.0, 0}, 76, 3.5, 2.0), 48);
  in.harp = b.Add(Pluck("harp", {22050.0, 0}, 64, 1.2, 0.25, 9), 48);
  PadSpec horn;
  horn.midi = 64;
  horn.voices = 3;
  horn.cycles = 96;
  horn.cutoff = 6.0;
  horn.brass = true;
  horn.attack = 0.06;
  in.horn = b.Add(Pad("horn", {16000.0, 0}, horn), 50);
  DrumRecipe tom;
  tom.length = 0.5;
  tom.tone = 1.0;
  tom.startHz = 130.0;
  tom.endHz = 75.0;
  tom.decay = 0.18;
  tom.noise = 0.25;
  tom.noiseLowHz = 800.0;
  tom.noiseDecay = 0.01;
  tom.seed = 55;
  in.tom = b.Add(Drum("tom", {16000.0, 0}, tom), 56);
  DrumRecipe shaker;
  shaker.length = 0.09;
  shaker.noise = 1.0;
  shaker.noiseLowHz = 5000.0;
  shaker.noiseDecay = 0.03;
  shaker.attack = 0.015;
  shaker.seed = 66;
  in.shaker = b.Add(Drum("shaker", {22050.0, 0}, shaker), 32);
  DrumRecipe rim;
  rim.length = 0.08;
  rim.tone = 0.8;
  rim.startHz = 1000.0;
  rim.endHz = 820.0;
  rim.decay = 0.015;
  rim.noise = 0.4;
  rim.noiseLowHz = 2000.0;
  rim.noiseDecay = 0.008;
  rim.seed = 77;
  in.rim = b.Add(Drum("rim", {22050.0, 0}, rim), 40);
  return in;
}

}  // namespace

Song ComposeCreature() {
  SongBuilder b("keldrin creature", kChannelCount, 6, 84);
  const Instruments in = AddInstruments(b);
  Song& song = b.song();
  song.pan = {-6, -2, 2, 6, 0, -1, -5, 5, 3, -3, 2, -1, 4, -4};
  song.masterVolume = 48;

  const auto call = ParseLine("E5 . . . B5 . . . A5 . G5 . F#5 . . .", 2);
  const auto answer = ParseLine("E4 . G4 . A4 . B4 . . . D5 . B4 . . .", 2);
  const auto themeA = ParseLine("E4 . G4 B4  C5 . . B4  A4 . G4 A4  F#4 . . .", 4);
  const auto themeB = ParseLine("E5 . D5 B4  C5 . E5 G5  F#5 . E5 C5  D#5 . F#5 .", 4);

  // 0 opening
  int p = b.NewPattern();
  Pads(b, p, in.pad, 30, 48, false);
  b.Note(p, 0, kDrone, in.drone, 28, 48);
  b.Note(p, 48, kBell, in.bell, 71, 32);
  // 1 call and response; 2 the call a third higher
  for (int lift = 0; lift <= 2; lift += 2) {
    p = b.NewPattern();
    Pads(b, p, in.pad, 40, 48, false);
    BassLine(b, p, in.bass);
    Phrase(b, p, 0, kBell, in.bell, ShiftInScale(call, kTonic, kMinorScale, lift), 44);
    Phrase(b, p, 32, kHarp, in.harp, ShiftInScale(answer, kTonic, kMinorScale, lift), 48);
    Percussion(b, p, in, lift ? 2 : 1, 4);
  }
  // 3 theme; 4 climax
  p = b.NewPattern();
  Pads(b, p, in.pad, 36, 44, false);
  BassLine(b, p, in.bass);
  Theme(b, p, in.horn, themeA);
  Phrase(b, p, 32, kHarp, in.harp, answer, 36);
  Percussion(b, p, in, 3, 4);
  p = b.NewPattern();
  Pads(b, p, in.pad, 36, 44, false);
  BassLine(b, p, in.bass);
  Theme(b, p, in.horn, themeB);
  Phrase(b, p, 0, kBell, in.bell, ShiftInScale(call, kTonic, kMinorScale, 2), 36);
  Percussion(b, p, in, 4, 4);
  for (int row = 57; row < 64; ++row)  // the horns fade (where no vibrato holds the slot)
    for (int ch : {kHorn, kHornLow})
      if (b.At(p, row, ch).effect == Effect::kNone) b.Fx(p, row, ch, Effect::kVolumeSlide, 0x03);
  // 5 return: the opening again, the shaker thinning out over two bars.
  p = b.NewPattern();
  Pads(b, p, in.pad, 44, 48, true);
  b.Note(p, 0, kDrone, in.drone, 28, 48);
  b.Cut(p, 0, kHorn);
  b.Cut(p, 0, kHornLow);
  b.Note(p, 0, kBass, in.bass, kBassRoots[0], 40);
  for (int row = 32; row < 64; ++row) b.Fx(p, row, kBass, Effect::kVolumeSlide, 0x01);
  Percussion(b, p, in, 1, 2);
  b.Note(p, 32, kBell, in.bell, 76, 28);
  return b.Take();
}

}  // namespace mkdata::music
