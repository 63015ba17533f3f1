// ProTracker MOD, "M.K." layout: a 1084-byte header (title, 31 sample headers, order table,
// signature), 1024-byte patterns of 64 rows x 4 channels x 4 bytes, then signed 8-bit sample
// data. 16-bit fields are big-endian; sample lengths and loops count 16-bit words.
#include <algorithm>
#include <string>

#include "formats/ModuleWriters.h"

namespace mkdata::music {

namespace {

constexpr int kModChannels = 4;
constexpr int kModMaxPatterns = 64;
constexpr size_t kModMaxSampleBytes = 65535 * 2;

// Periods of ProTracker octaves 1..3 at finetune 0.
constexpr int kPeriods[36] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,  // octave 1
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,  // octave 2
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,  // octave 3
};

void PutBe16(std::vector<uint8_t>& out, size_t at, unsigned value) {
  out[at] = static_cast<uint8_t>(value >> 8);
  out[at + 1] = static_cast<uint8_t>(value);
}

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t width) {
  for (size_t i = 0; i < width && i < text.size(); ++i) out[at + i] = static_cast<uint8_t>(text[i]);
}

std::string Where(int pattern, int row, int channel) {
  return "pattern " + std::to_string(pattern) + " row " + std::to_string(row) + " channel " +
         std::to_string(channel);
}

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

// The effect nibble and parameter byte of one neutral effect, or an error text.
std::string EncodeEffect(Effect effect, uint8_t param, uint8_t& command, uint8_t& argument) {
  const int x = param >> 4, y = param & 15;
  argument = param;
  switch (effect) {
    case Effect::kNone: command = 0; argument = 0; return {};
    case Effect::kArpeggio: command = 0x0; return {};
    case Effect::kPortaUp: command = 0x1; return {};
    case Effect::kPortaDown: command = 0x2; return {};
    case Effect::kTonePorta: command = 0x3; return {};
    case Effect::kVibrato: command = 0x4; return {};
    case Effect::kVolumeSlide:
      if (x != 0 && y != 0) return "a volume slide goes one way only";
      command = 0xA;
      return {};
    case Effect::kFineVolumeUp:
    case Effect::kFineVolumeDown:
    case Effect::kNoteCut:
    case Effect::kNoteDelay:
    case Effect::kRetrigger: {
      if (param > 15) return "an extended effect takes 0..15";
      static constexpr uint8_t kSub[] = {0xA, 0xB, 0xC, 0xD, 0x9};
      command = 0xE;
      argument = static_cast<uint8_t>(kSub[static_cast<int>(effect) - static_cast<int>(Effect::kFineVolumeUp)] << 4 | param);
      return {};
    }
    case Effect::kSampleOffset: command = 0x9; return {};
    case Effect::kSetSpeed:
      if (param < 1 || param > 31) return "speed must be 1..31";
      command = 0xF;
      return {};
    case Effect::kSetTempo:
      if (param < 32) return "tempo must be 32..255";
      command = 0xF;
      return {};
    case Effect::kPatternBreak:
      if (param > 63) return "pattern break row must be 0..63";
      command = 0xD;
      argument = Bcd(param);
      return {};
    case Effect::kPositionJump:
      if (param > 127) return "position jump must be 0..127";
      command = 0xB;
      return {};
  }
  return "unknown effect";
}

std::string CheckSong(const Song& song) {
  if (song.channels != kModChannels) return "a MOD has 4 channels";
  if (song.orders.empty() || song.orders.size() > 128) return "a MOD has 1..128 orders";
  if (song.samples.size() > 31) return "a MOD has at most 31 samples";
  const int highest = *std::max_element(song.orders.begin(), song.orders.end());
  if (*std::min_element(song.orders.begin(), song.orders.end()) < 0 ||
      highest >= static_cast<int>(song.patterns.size()))
    return "an order names a missing pattern";
  if (highest + 1 != static_cast<int>(song.patterns.size()))
    return "pattern " + std::to_string(highest + 1) + " is never played: a MOD stores patterns up to the highest order";
  if (song.patterns.size() > kModMaxPatterns) return "an M.K. MOD has at most 64 patterns";
  for (const Sample& sample : song.samples) {
    if (sample.data.size() > kModMaxSampleBytes) return "sample \"" + sample.name + "\" is too long for a MOD";
    if (sample.volume > 64) return "sample \"" + sample.name + "\" volume is above 64";
    if (sample.loopLength > 0 &&
        (sample.loopStart % 2 != 0 || sample.loopLength % 2 != 0 || sample.loopLength < 4 ||
         sample.loopStart + sample.loopLength > sample.data.size()))
      return "sample \"" + sample.name + "\" loop must be even, at least 4 bytes and inside the sample";
  }
  return {};
}

// One 4-byte MOD cell from a neutral cell.
std::string EncodeCell(const Song& song, const Cell& cell, uint8_t out[4]) {
  int period = 0;
  if (cell.note >= 0) {
    if (cell.note < kModLowestNote || cell.note > kModHighestNote) return "note outside C-1..B-3";
    period = ModPeriod(cell.note);
  } else if (cell.note != kNoNote && cell.note != kNoteCut) {
    return "bad note";
  }
  if (cell.instrument > song.samples.size()) return "instrument without a sample";
  Effect effect = cell.effect;
  uint8_t param = cell.param;
  const int uses = (effect != Effect::kNone) + (cell.volume >= 0) + (cell.note == kNoteCut);
  if (uses > 1) return "a MOD cell holds one of effect, volume and note cut";
  if (cell.volume > 64) return "volume above 64";
  uint8_t command = 0, argument = 0;
  if (cell.volume >= 0) {
    command = 0xC;
    argument = static_cast<uint8_t>(cell.volume);
  } else if (cell.note == kNoteCut) {
    command = 0xE;
    argument = 0xC0;
  } else if (std::string error = EncodeEffect(effect, param, command, argument); !error.empty()) {
    return error;
  }
  out[0] = static_cast<uint8_t>((cell.instrument & 0xF0) | (period >> 8));
  out[1] = static_cast<uint8_t>(period & 0xFF);
  out[2] = static_cast<uint8_t>((cell.instrument & 0x0F) << 4 | command);
  out[3] = argument;
  return {};
}

}  // namespace

int ModPeriod(int note) { return kPeriods[note - kModLowestNote]; }

WriteResult WriteMod(const Song& song) {
  if (std::string error = CheckSong(song); !error.empty()) return {{}, "MOD: " + error};
  std::vector<uint8_t> out(1084, 0);
  PutText(out, 0, song.title, 20);
  for (size_t i = 0; i < 31; ++i) {
    const size_t at = 20 + 30 * i;
    if (i >= song.samples.size()) {
      PutBe16(out, at + 28, 1);
      continue;
    }
    const Sample& sample = song.samples[i];
    PutText(out, at, sample.name, 22);
    PutBe16(out, at + 22, static_cast<unsigned>((sample.data.size() + 1) / 2));
    out[at + 24] = 0;  // finetune
    out[at + 25] = sample.volume;
    PutBe16(out, at + 26, sample.loopLength ? sample.loopStart / 2 : 0);
    PutBe16(out, at + 28, sample.loopLength ? sample.loopLength / 2 : 1);
  }
  out[950] = static_cast<uint8_t>(song.orders.size());
  out[951] = 127;  // ProTracker's "no restart": the song starts over at order 0
  for (size_t i = 0; i < song.orders.size(); ++i) out[952 + i] = static_cast<uint8_t>(song.orders[i]);
  PutText(out, 1080, "M.K.", 4);

  for (size_t p = 0; p < song.patterns.size(); ++p) {
    const Pattern& pattern = song.patterns[p];
    if (pattern.channels != kModChannels) return {{}, "MOD: pattern " + std::to_string(p) + " is not 4 channels wide"};
    for (int row = 0; row < kRowsPerPattern; ++row) {
      for (int ch = 0; ch < kModChannels; ++ch) {
        uint8_t cell[4];
        if (std::string error = EncodeCell(song, pattern.At(row, ch), cell); !error.empty())
          return {{}, "MOD: " + Where(static_cast<int>(p), row, ch) + ": " + error};
        out.insert(out.end(), cell, cell + 4);
      }
    }
  }
  for (const Sample& sample : song.samples) {
    for (int8_t v : sample.data) out.push_back(static_cast<uint8_t>(v));
    if (sample.data.size() % 2) out.push_back(0);
  }
  return {std::move(out), {}};
}

}  // namespace mkdata::music
