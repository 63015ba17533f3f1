// The in-memory song that the MOD and S3M writers store: an order list, patterns of 64 rows, and
// 8-bit sampled instruments. Notes and effects are kept in one neutral form that both formats can
// express; each writer translates them and refuses what its format cannot hold.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mkdata::music {

constexpr int kRowsPerPattern = 64;
constexpr int kMaxChannels = 16;
constexpr int kMaxInstruments = 31;

// Tracker note numbers: octave * 12 + semitone, so 48 is C-4 in S3M terms (plays a sample at its
// C2Spd) and C-2 of a ProTracker MOD (period 428).
constexpr int kNoNote = -1;
constexpr int kNoteCut = -2;
constexpr int kNoteMiddleC = 48;

// Effects in their neutral form. Parameters follow ProTracker's meaning (x = high nibble, y = low):
// Arpeggio xy semitones; PortaUp/PortaDown/TonePorta speed; Vibrato x speed, y depth; VolumeSlide
// x up, y down per tick; FineVolumeUp/Down amount once; NoteCut/NoteDelay/Retrigger a tick count;
// SampleOffset in 256-sample units; SetSpeed ticks per row (1..31); SetTempo BPM (32..255);
// PatternBreak the row to start the next pattern at (0..63); PositionJump an order index.
enum class Effect : uint8_t {
  kNone,
  kArpeggio,
  kPortaUp,
  kPortaDown,
  kTonePorta,
  kVibrato,
  kVolumeSlide,
  kFineVolumeUp,
  kFineVolumeDown,
  kNoteCut,
  kNoteDelay,
  kRetrigger,
  kSampleOffset,
  kSetSpeed,
  kSetTempo,
  kPatternBreak,
  kPositionJump,
};

struct Cell {
  int8_t note = kNoNote;
  uint8_t instrument = 0;  // 1-based; 0 = none
  int8_t volume = -1;      // 0..64; -1 = none (the sample's default when a note starts)
  Effect effect = Effect::kNone;
  uint8_t param = 0;

  bool Empty() const { return note == kNoNote && instrument == 0 && volume < 0 && effect == Effect::kNone; }
  bool operator==(const Cell&) const = default;
};

struct Pattern {
  // rows * channels cells, row-major.
  std::vector<Cell> cells;
  int channels = 0;

  explicit Pattern(int channelCount = 4)
      : cells(static_cast<size_t>(kRowsPerPattern * channelCount)), channels(channelCount) {}
  Cell& At(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
  const Cell& At(int row, int channel) const { return cells[static_cast<size_t>(row * channels + channel)]; }
  bool operator==(const Pattern&) const = default;
};

// A signed 8-bit sample. The loop is [loopStart, loopStart + loopLength); loopLength 0 = one-shot.
struct Sample {
  std::string name;
  std::vector<int8_t> data;
  uint32_t loopStart = 0;
  uint32_t loopLength = 0;
  uint8_t volume = 64;   // default volume 0..64
  uint32_t c2spd = 8363;  // S3M: rate in Hz at C-4; MOD: ignored (PAL clock, finetune 0)
  bool operator==(const Sample&) const = default;
};

struct Song {
  std::string title;
  int channels = 4;
  int initialSpeed = 6;    // ticks per row
  int initialTempo = 125;  // BPM (a row lasts speed * 2.5 / tempo seconds)
  int globalVolume = 64;   // S3M 0..64
  int masterVolume = 48;   // S3M mixing volume 16..127
  bool signedSamples = false;             // S3M sample encoding (MOD is always signed)
  std::array<int8_t, kMaxChannels> pan{};  // S3M, -8 (left) .. 7 (right); MOD is L R R L
  std::vector<int> orders;
  std::vector<Pattern> patterns;
  std::vector<Sample> samples;  // instrument i + 1
  bool operator==(const Song&) const = default;
};

// What a writer returns: the file's bytes, or an error text and no bytes.
struct WriteResult {
  std::vector<uint8_t> bytes;
  std::string error;
  bool Ok() const { return error.empty(); }
};

}  // namespace mkdata::music
