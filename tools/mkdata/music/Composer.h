// Tools the three songs are composed with: a builder that places notes by MIDI pitch on a song's
// channels, chords and scales, and a compact text form for melodies, riffs and drum lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "music/Instruments.h"
#include "formats/Song.h"

namespace mkdata::music {

// MIDI note of a name such as "A4", "C#3", "Bb2"; -1 if it is not one.
int ParseNote(std::string_view name);

// One event of a line written in text, at `row` (relative to the line's start).
struct LineEvent {
  int row = 0;
  int midi = -1;       // -1: a rest that cuts the sounding note
  int volume = -1;     // from a "!" (accent, 64) or "'" (soft) suffix; -1 = caller's default
};

// Parses a line of space-separated tokens, one per `step` rows: a note ("A4", "Eb5"), "." (hold,
// nothing happens) or "-" (cut). A note may end in "!" (accent) or "'" (soft). Throws
// std::invalid_argument on a bad token, since lines are written in code.
std::vector<LineEvent> ParseLine(std::string_view text, int step);

// Moves every note of `line` by `steps` degrees of `scale` (semitone offsets from `tonic`'s pitch
// class); notes outside the scale move by the same number of semitones as their nearest neighbour.
std::vector<LineEvent> ShiftInScale(const std::vector<LineEvent>& line, int tonic, const std::vector<int>& scale,
                                    int steps);

extern const std::vector<int> kMinorScale;     // natural minor
extern const std::vector<int> kPhrygianScale;

class SongBuilder {
 public:
  SongBuilder(std::string title, int channels, int speed, int tempo);

  // Adds an instrument (its sample's default volume is `volume`); returns its 1-based number.
  int Add(Instrument instrument, int volume = 64);
  // Appends an empty pattern and plays it next in the order list; returns its index.
  int NewPattern();

  Cell& At(int pattern, int row, int channel);
  // A note of `instrument` sounding MIDI pitch `midi`. Fails (std::logic_error) when the cell is
  // taken, so two parts can never overwrite each other by accident.
  void Note(int pattern, int row, int channel, int instrument, int midi, int volume = -1);
  void Cut(int pattern, int row, int channel);
  void Volume(int pattern, int row, int channel, int volume);
  void Fx(int pattern, int row, int channel, Effect effect, uint8_t param);
  // Puts a whole-song command (speed, tempo) into the first channel whose effect slot in that
  // row is free (and, for a MOD, whose volume is free too); std::logic_error when none is.
  void Global(int pattern, int row, Effect effect, uint8_t param, bool volumeSharesSlot);
  // Places a parsed line from `row` (clipped to the pattern) with `volume` for unaccented notes.
  void Line(int pattern, int row, int channel, int instrument, const std::vector<LineEvent>& line, int volume);

  Song& song() { return song_; }
  Song Take() { return std::move(song_); }

 private:
  Song song_;
  std::vector<int> roots_;  // rootNote per instrument
};

// Duration of one pass of a song in seconds, following speed and tempo commands, pattern breaks
// and position jumps as a player does (until an order is revisited).
double SongSeconds(const Song& song);

}  // namespace mkdata::music
