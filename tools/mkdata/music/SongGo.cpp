// "go.s3m": energetic and driving. Four channels: drums, a pumping octave bass, arpeggiated chords
// and a square lead. Sections (one 4-bar pattern each, 7.06 s):
//   0 intro   drums and bass, the arpeggio growing under them, a fill at the end
//   1 A       Am F C G; the arpeggio enters, the lead states its motif
//   2 A'      the motif answers itself
//   3 B       the lift to C major: C G F G, the arpeggio doubles its pulse
//   4 B'      C G F E, climbing, ending on the dominant
//   5 break   the arpeggio alone over Am F, then Dm E with the bass and a snare roll building
//   6 A''     the motif returns a third higher
//   7 A'''    the answer again, its last bar a fill that leads back into the intro
#include <string>

#include "music/Composer.h"
#include "music/Songs.h"

namespace mkdata::music {

namespace {

enum Channel { kDrums, kBass, kArp, kLead };

struct Kit {
  int kick, snare, closedHat, openHat;
};

struct Chord {
  int root;   // MIDI note of the root, octave 3 (A3 = 57)
  bool minor;
  int Low() const { return root - 24; }  // the bass's octave
};

const Chord kAm{57, true}, kF{53, false}, kC{48, false}, kG{55, false}, kDm{50, true}, kE{52, false};

// One bar of drums from `row`: kick on the beats 1 and 3 (plus a push before 3), snare on 2 and 4,
// hats on the off-beats; `fill` turns the second half into a rising snare run.
void DrumBar(SongBuilder& b, int p, int row, const Kit& kit, bool fill, bool openHatAtEnd) {
  b.Note(p, row + 0, kDrums, kit.kick, 60);
  b.Note(p, row + 2, kDrums, kit.closedHat, 60, 30);
  b.Note(p, row + 4, kDrums, kit.snare, 60);
  b.Note(p, row + 6, kDrums, kit.closedHat, 60, 30);
  if (!fill) {
    b.Note(p, row + 7, kDrums, kit.kick, 60, 40);
    b.Note(p, row + 8, kDrums, kit.kick, 60);
    b.Note(p, row + 10, kDrums, kit.closedHat, 60, 34);
    b.Note(p, row + 12, kDrums, kit.snare, 60);
    if (openHatAtEnd) b.Note(p, row + 14, kDrums, kit.openHat, 60, 36);
    else b.Note(p, row + 14, kDrums, kit.closedHat, 60, 30);
    b.Note(p, row + 15, kDrums, kit.closedHat, 60, 18);
    return;
  }
  // Fill: the snare tuned down in steps like toms, every row, growing louder.
  static constexpr int kPitch[8] = {62, 62, 60, 60, 57, 57, 55, 53};
  b.Note(p, row + 8, kDrums, kit.kick, 60);
  for (int i = 1; i < 8; ++i) b.Note(p, row + 8 + i, kDrums, kit.snare, kPitch[i], 29 + 5 * i);
}

void DrumPattern(SongBuilder& b, int p, const Kit& kit, bool fillAtEnd) {
  for (int bar = 0; bar < 4; ++bar) DrumBar(b, p, bar * 16, kit, fillAtEnd && bar == 3, bar == 1);
}

// Eighth-note bass on the chord root jumping octaves; `quarters` plays roots on the beats only.
// The last eighth of a bar walks towards the next chord's root.
void BassBar(SongBuilder& b, int p, int row, int instrument, const Chord& chord, const Chord& next, bool quarters) {
  for (int i = 0; i < 8; ++i) {
    if (quarters && i % 2) continue;
    int midi = chord.Low() + (i % 2 ? 12 : 0);
    if (i == 7 && next.root != chord.root) midi = next.Low() + (next.Low() > chord.Low() ? -1 : 2) + 12;
    b.Note(p, row + 2 * i, kBass, instrument, midi, i % 2 ? 40 : 60);
  }
}

void BassPattern(SongBuilder& b, int p, int instrument, const Chord (&chords)[4], const Chord& after, bool quarters) {
  for (int bar = 0; bar < 4; ++bar) BassBar(b, p, bar * 16, instrument, chords[bar], bar < 3 ? chords[bar + 1] : after, quarters);
}

// The chord as an arpeggio (J effect) restruck every `stride` rows, each strike decaying over its
// rows so the chords pump against the kick.
void ArpBar(SongBuilder& b, int p, int row, int instrument, const Chord& chord, int stride, int loudness) {
  const uint8_t intervals = chord.minor ? 0x37 : 0x47;
  for (int i = 0; i < 16; ++i) {
    const int age = i % stride;
    const int volume = loudness - age * loudness / (stride + 2);
    if (age == 0) b.Note(p, row + i, kArp, instrument, chord.root, volume);
    else b.Volume(p, row + i, kArp, volume);
    b.Fx(p, row + i, kArp, Effect::kArpeggio, intervals);
  }
}

// A lead line; notes held for two beats or more get a delayed vibrato.
void LeadLine(SongBuilder& b, int p, int instrument, const std::vector<LineEvent>& line, int volume) {
  b.Line(p, 0, kLead, instrument, line, volume);
  for (size_t i = 0; i < line.size(); ++i) {
    const int start = line[i].row;
    const int end = i + 1 < line.size() ? line[i + 1].row : kRowsPerPattern;
    if (line[i].midi < 0 || end - start < 6) continue;
    for (int r = start + 3; r < end && r < kRowsPerPattern; ++r) b.Fx(p, r, kLead, Effect::kVibrato, 0x43);
  }
}

}  // namespace

Song ComposeGo() {
  SongBuilder b("keldrin go", 4, 6, 136);
  const Kit kit{b.Add(Kick({16000.0, 0}), 64), b.Add(Snare({22050.0, 0}), 52), b.Add(ClosedHat({22050.0, 0}), 40),
                b.Add(OpenHat({22050.0, 0}), 40)};
  const int bass = b.Add(Bass({16000.0, 0}, 33, false, 7.0, 20.0, 2.2), 60);
  const int arp = b.Add(Lead({22050.0, 0}, 57, 0.25), 40);
  const int lead = b.Add(Lead({22050.0, 0}, 69, 0.5), 46);
  Song& song = b.song();
  song.pan = {-2, -1, -4, 2};

  const Chord kA[4] = {kAm, kF, kC, kG};
  const Chord kB1[4] = {kC, kG, kF, kG};
  const Chord kB2[4] = {kC, kG, kF, kE};
  const Chord kBreak[4] = {kAm, kF, kDm, kE};

  // Call: four bars that rise and fall back; the answer keeps its first bar and climbs instead.
  const auto motif = ParseLine(
      "E5 . . . A4 . C5 D5  E5 . . . C5 . A4 .  G4 . . . C5 . E5 .  D5 . . . B4 . G4 -", 2);
  const auto answer = ParseLine(
      "E5 . . . A4 . C5 D5  E5 . F5 . E5 . C5 .  G5 . . . E5 . C5 .  D5 . C5 . B4 . . -", 2);
  const auto lift = ParseLine(
      "G5 . . . E5 . G5 .  D5 . . . B4 . D5 .  C5 . . . A4 . C5 .  B4 . C5 . D5 . . .", 2);
  const auto climb = ParseLine(
      "G5 . . . E5 . G5 A5  B5 . A5 . G5 . D5 .  F5 . E5 . D5 . C5 .  B4 . . . G#4 . . -", 2);
  const auto homeward = ParseLine(
      "E5 . . . A4 . C5 D5  E5 . F5 . E5 . C5 .  G5 . . . E5 . C5 .  D5 . C5 . B4 . A4 -", 2);

  // 0 intro
  int p = b.NewPattern();
  DrumPattern(b, p, kit, true);
  for (int bar = 0; bar < 4; ++bar)
    BassBar(b, p, bar * 16, bass, kA[bar], bar < 3 ? kA[bar + 1] : kAm, false);
  for (int bar = 0; bar < 4; ++bar) ArpBar(b, p, bar * 16, arp, kA[bar], 4, 32 + 2 * bar);
  // 1, 2: A and its answer
  for (const auto* line : {&motif, &answer}) {
    p = b.NewPattern();
    DrumPattern(b, p, kit, line == &answer);
    BassPattern(b, p, bass, kA, line == &answer ? kC : kAm, false);
    for (int bar = 0; bar < 4; ++bar) ArpBar(b, p, bar * 16, arp, kA[bar], 4, 40);
    LeadLine(b, p, lead, *line, 46);
  }
  // 3, 4: B, the lift to the relative major
  for (const auto* chords : {&kB1, &kB2}) {
    p = b.NewPattern();
    DrumPattern(b, p, kit, chords == &kB2);
    BassPattern(b, p, bass, *chords, chords == &kB1 ? kC : kAm, false);
    for (int bar = 0; bar < 4; ++bar) ArpBar(b, p, bar * 16, arp, (*chords)[bar], 2, 42);
    LeadLine(b, p, lead, chords == &kB1 ? lift : climb, 48);
  }
  // 5 break: the arpeggio alone, long strikes; bass and kick return for the build.
  p = b.NewPattern();
  for (int bar = 0; bar < 4; ++bar) ArpBar(b, p, bar * 16, arp, kBreak[bar], bar < 2 ? 8 : 4, bar < 2 ? 52 : 46);
  // The bass holds a low A that dies away under the first two bars, then drives again.
  b.Note(p, 0, kBass, bass, kAm.Low(), 44);
  for (int row = 8; row < 32; ++row) b.Fx(p, row, kBass, Effect::kVolumeSlide, 0x01);
  for (int bar = 2; bar < 4; ++bar) BassBar(b, p, bar * 16, bass, kBreak[bar], bar < 3 ? kBreak[bar + 1] : kAm, bar == 2);
  for (int beat = 0; beat < 4; ++beat) b.Note(p, 32 + 4 * beat, kDrums, kit.kick, 60, 48 + 4 * beat);
  for (int i = 0; i < 16; ++i) b.Note(p, 48 + i, kDrums, kit.snare, 60, 19 + 3 * i);
  // 6, 7: A returns, the motif a third higher, then the answer leading home.
  for (const auto& line : {ShiftInScale(motif, 57, kMinorScale, 2), homeward}) {
    p = b.NewPattern();
    DrumPattern(b, p, kit, true);
    BassPattern(b, p, bass, kA, kAm, false);
    for (int bar = 0; bar < 4; ++bar) ArpBar(b, p, bar * 16, arp, kA[bar], 4, 40);
    LeadLine(b, p, lead, line, 46);
  }
  return b.Take();
}

}  // namespace mkdata::music
