// "ohyea.mod": a dark groove in D phrygian at 104 BPM, swung: rows alternate between 7 and 5
// ticks, so every second sixteenth comes late. Four channels: a half-time beat with ghost
// snares, a rolling bass with slides, a muted pluck riff that follows the chords, and a pulse
// lead that only enters in the fourth section. Sections (one 4-bar pattern each, 9.23 s):
//   0 intro    beat and bass, the pluck only touching the beats
//   1 groove   Dm Eb Dm Cm; the pluck riff
//   2 groove'  the riff climbs a third in its second half, the fill ends it
//   3 lead     the lead enters over the groove
//   4 B        Gm Eb Bb Cm, the lead reaches higher
//   5 break    the snare drops out, the bass holds and slides, the riff thins to an echo
//   6 return   the groove with the lead's line moved up a third
//   7 B'       B once more, ending in a fill that leads back to the intro
#include <string>

#include "music/Composer.h"
#include "formats/ModuleWriters.h"
#include "music/Songs.h"

namespace mkdata::music {

namespace {

enum Channel { kDrums, kBass, kPluck, kLead };

constexpr int kTonic = 62;  // D4

struct Kit {
  int kick, snare, ghost, closedHat, openHat;
};

// Drum bars as one character per row: K kick, S snare, g ghost snare, h closed hat, o open hat.
constexpr const char* kBeatA = "K.hgh.Kgs.hghKo.";
constexpr const char* kBeatB = "K.hgh.hKS.hgK.hg";
constexpr const char* kBeatFill = "K.hgh.SgS.gSgSSS";
constexpr const char* kBeatSparse = "K.h.h.h.K.h.h.hh";
constexpr const char* kBeatIntro = "K.h.h.Kgs.h.hKo.";

void DrumBar(SongBuilder& b, int p, int row, const Kit& kit, const char* beat) {
  for (int i = 0; i < 16; ++i) {
    int instrument = 0;
    switch (beat[i]) {
      case 'K': instrument = kit.kick; break;
      case 'S': instrument = kit.snare; break;
      case 's': instrument = kit.snare; break;
      case 'g': instrument = kit.ghost; break;
      case 'h': instrument = kit.closedHat; break;
      case 'o': instrument = kit.openHat; break;
      default: continue;
    }
    b.Note(p, row + i, kDrums, instrument, 60);
  }
}

// Degrees of D phrygian that the chords stand on: 0 Dm, 1 Eb, -1 Cm, 3 Gm, -2 Bb.
const int kProgressionA[4] = {0, 1, 0, -1};
const int kProgressionB[4] = {3, 1, -2, -1};

int Degree(int degree, int octave) {
  return ShiftInScale({{0, kTonic + 12 * octave, -1}}, kTonic, kPhrygianScale, degree)[0].midi;
}

// The rolling bass: root, octave and seventh in sixteenths with gaps, walking into the next
// chord; `slide` glides into the bar's first note instead of striking it.
void BassBar(SongBuilder& b, int p, int row, int instrument, int degree, int nextDegree, bool sustained) {
  const int root = Degree(degree, -2);
  if (sustained) {
    b.Note(p, row, kBass, instrument, root, 56);
    b.Note(p, row + 10, kBass, instrument, root + 12, 40);
    b.Note(p, row + 12, kBass, instrument, root, 48);
    return;
  }
  static constexpr int kRows[] = {0, 2, 3, 5, 6, 8, 10, 11, 13};
  static constexpr int kOffsets[] = {0, 0, 12, 0, 10, 0, 7, 0, 12};
  for (size_t i = 0; i < std::size(kRows); ++i) b.Note(p, row + kRows[i], kBass, instrument, root + kOffsets[i], i % 2 ? 44 : 60);
  const int next = Degree(nextDegree, -2);
  b.Note(p, row + 14, kBass, instrument, next + (next > root ? -1 : 2), 48);
}

// The pluck riff stands on D minor and is moved through the scale onto each chord.
const std::vector<LineEvent>& Riff() {
  static const auto riff = ParseLine("D4 . A4 . F4 A4 . D5 . . C5 . A4 . F4 .", 1);
  return riff;
}

// `lift` moves the riff up by degrees over the same chord (2: it outlines the chord's seventh).
void PluckBar(SongBuilder& b, int p, int row, int instrument, int degree, int lift, bool onBeatsOnly) {
  auto line = ShiftInScale(Riff(), kTonic, kPhrygianScale, degree + lift);
  if (onBeatsOnly) {
    std::vector<LineEvent> beats;
    for (const LineEvent& event : line)
      if (event.row % 4 == 0) beats.push_back(event);
    line = beats;
  }
  b.Line(p, row, kPluck, instrument, line, -1);
}

// Echo of the riff: the first notes only, sounding late and soft.
void EchoBar(SongBuilder& b, int p, int row, int instrument, int degree) {
  const auto line = ShiftInScale(Riff(), kTonic, kPhrygianScale, degree);
  for (const LineEvent& event : line)
    if (event.row < 8) b.Note(p, row + event.row + 2, kPluck, instrument, event.midi, 24);
}

void LeadLine(SongBuilder& b, int p, int instrument, const std::vector<LineEvent>& line) {
  b.Line(p, 0, kLead, instrument, line, -1);
  for (size_t i = 0; i < line.size(); ++i) {
    const int end = i + 1 < line.size() ? line[i + 1].row : kRowsPerPattern;
    if (line[i].midi < 0 || end - line[i].row < 6) continue;
    for (int r = line[i].row + 3; r < end; ++r) b.Fx(p, r, kLead, Effect::kVibrato, 0x34);
  }
}

void Groove(SongBuilder& b, int p, const Kit& kit, int bass, const int (&chords)[4], int after, const char* beat,
            bool fill) {
  for (int bar = 0; bar < 4; ++bar) {
    DrumBar(b, p, bar * 16, kit, fill && bar == 3 ? kBeatFill : (bar % 2 ? kBeatB : beat));
    BassBar(b, p, bar * 16, bass, chords[bar], bar < 3 ? chords[bar + 1] : after, false);
  }
}

}  // namespace

Song ComposeOhYea() {
  SongBuilder b("keldrin ohyea", 4, 6, 104);
  const RenderRate mod{kModBaseRate, 0}, modHigh{kModBaseRate, 1};
  Kit kit{};
  kit.kick = b.Add(Kick(mod), 64);
  kit.snare = b.Add(Snare(modHigh), 50);
  kit.ghost = b.Add(Snare(modHigh), 16);
  kit.closedHat = b.Add(ClosedHat(modHigh), 26);
  kit.openHat = b.Add(OpenHat(modHigh), 24);
  const int bass = b.Add(Bass(mod, 38, false, 4.0, 14.0, 3.0), 64);
  const int pluck = b.Add(Pluck("muted pluck", mod, 62, 0.35, 0.45, 5), 56);
  const int lead = b.Add(Lead(mod, 62, 0.3), 40);

  const auto themeA = ParseLine("A4 . . . . . Bb4 .  A4 . G4 . F4 . . .  G4 . . . Eb4 . . .  D4 . . . . . C4 -", 2);
  const auto themeB = ParseLine("D5 . . . . . C5 Bb4  G4 . . . Bb4 . C5 .  D5 . . . F5 . Eb5 .  D5 . . . C5 . . -", 2);

  // 0 intro
  int p = b.NewPattern();
  for (int bar = 0; bar < 4; ++bar) {
    DrumBar(b, p, bar * 16, kit, bar == 3 ? kBeatFill : kBeatIntro);
    BassBar(b, p, bar * 16, bass, kProgressionA[bar], bar < 3 ? kProgressionA[bar + 1] : 0, false);
    PluckBar(b, p, bar * 16, pluck, kProgressionA[bar], 0, true);
  }
  // 1, 2 groove
  for (int variant = 0; variant < 2; ++variant) {
    p = b.NewPattern();
    Groove(b, p, kit, bass, kProgressionA, 0, kBeatA, variant == 1);
    for (int bar = 0; bar < 4; ++bar) PluckBar(b, p, bar * 16, pluck, kProgressionA[bar], variant && bar >= 2 ? 2 : 0, false);
  }
  // 3 the lead enters; 4 B
  p = b.NewPattern();
  Groove(b, p, kit, bass, kProgressionA, 3, kBeatA, false);
  for (int bar = 0; bar < 4; ++bar) PluckBar(b, p, bar * 16, pluck, kProgressionA[bar], 0, false);
  LeadLine(b, p, lead, themeA);
  p = b.NewPattern();
  Groove(b, p, kit, bass, kProgressionB, 0, kBeatA, true);
  for (int bar = 0; bar < 4; ++bar) PluckBar(b, p, bar * 16, pluck, kProgressionB[bar], 0, false);
  LeadLine(b, p, lead, themeB);
  // 5 break
  p = b.NewPattern();
  for (int bar = 0; bar < 4; ++bar) {
    DrumBar(b, p, bar * 16, kit, bar == 3 ? kBeatIntro : kBeatSparse);
    BassBar(b, p, bar * 16, bass, kProgressionA[bar], 0, bar < 3);
    EchoBar(b, p, bar * 16, pluck, kProgressionA[bar]);
  }
  for (int row : {16, 48}) {  // glide into Eb and Cm instead of striking them
    b.Volume(p, row, kBass, -1);
    b.Fx(p, row, kBass, Effect::kTonePorta, 0x18);
  }
  // 6 return, 7 B'
  p = b.NewPattern();
  Groove(b, p, kit, bass, kProgressionA, 3, kBeatA, false);
  for (int bar = 0; bar < 4; ++bar) PluckBar(b, p, bar * 16, pluck, kProgressionA[bar], bar == 3 ? 2 : 0, false);
  LeadLine(b, p, lead, ShiftInScale(themeA, kTonic, kPhrygianScale, 2));
  p = b.NewPattern();
  Groove(b, p, kit, bass, kProgressionB, 0, kBeatA, true);
  for (int bar = 0; bar < 4; ++bar) PluckBar(b, p, bar * 16, pluck, kProgressionB[bar], 0, false);
  LeadLine(b, p, lead, ParseLine("D5 . . . . . C5 Bb4  G4 . . . Bb4 . C5 .  D5 . . . F5 . Eb5 .  D5 . C5 . A4 . . -", 2));

  // The swing and the tempo, in whatever effect slot each row leaves free.
  b.Global(0, 0, Effect::kSetTempo, 104, true);
  for (int pattern = 0; pattern <= p; ++pattern)
    for (int row = 0; row < kRowsPerPattern; ++row) b.Global(pattern, row, Effect::kSetSpeed, row % 2 ? 5 : 7, true);
  return b.Take();
}

}  // namespace mkdata::music
