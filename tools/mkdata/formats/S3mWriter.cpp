// Scream Tracker 3 S3M layout: a 96-byte header, the order list (ending in 255, padded to an even
// count), instrument and pattern parapointers (offset / 16), a 32-byte default panning table, then
// 16-byte aligned instrument headers ("SCRS"), packed patterns and 8-bit sample data. All values
// are little-endian.
#include <algorithm>
#include <string>

#include "formats/ModuleWriters.h"

namespace mkdata::music {

namespace {

constexpr size_t kHeaderBytes = 0x60;
constexpr size_t kInstrumentBytes = 0x50;
constexpr size_t kMaxSampleBytes = 64000;  // Scream Tracker's own limit
constexpr int kHighestNote = 95;           // B-7

void PutLe16(std::vector<uint8_t>& out, size_t at, unsigned value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t width) {
  for (size_t i = 0; i < width && i < text.size(); ++i) out[at + i] = static_cast<uint8_t>(text[i]);
}

void Align16(std::vector<uint8_t>& out) { out.resize((out.size() + 15) & ~size_t{15}, 0); }

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

// S3M command letter (A = 1) and info byte of a neutral effect, or an error text.
std::string EncodeEffect(Effect effect, uint8_t param, uint8_t& command, uint8_t& info) {
  const int x = param >> 4, y = param & 15;
  auto letter = [](char c) { return static_cast<uint8_t>(c - 'A' + 1); };
  info = param;
  switch (effect) {
    case Effect::kNone: command = 0; info = 0; return {};
    case Effect::kArpeggio: command = letter('J'); return {};
    case Effect::kPortaUp:
    case Effect::kPortaDown:
      // E/F values from 0xE0 up are the fine and extra-fine slides.
      if (param >= 0xE0) return "portamento speed must be below 0xE0";
      command = letter(effect == Effect::kPortaUp ? 'F' : 'E');
      return {};
    case Effect::kTonePorta: command = letter('G'); return {};
    case Effect::kVibrato: command = letter('H'); return {};
    case Effect::kVolumeSlide:
      // A nibble of 15 would turn the slide into a fine slide.
      if ((x != 0 && y != 0) || x == 15 || y == 15) return "a volume slide goes one way, by 1..14";
      command = letter('D');
      return {};
    case Effect::kFineVolumeUp:
    case Effect::kFineVolumeDown:
      if (param < 1 || param > 14) return "a fine volume slide takes 1..14";
      command = letter('D');
      info = effect == Effect::kFineVolumeUp ? static_cast<uint8_t>(param << 4 | 0xF) : static_cast<uint8_t>(0xF0 | param);
      return {};
    case Effect::kNoteCut:
    case Effect::kNoteDelay:
      if (param > 15) return "a note cut or delay takes 0..15 ticks";
      command = letter('S');
      info = static_cast<uint8_t>((effect == Effect::kNoteCut ? 0xC0 : 0xD0) | param);
      return {};
    case Effect::kRetrigger:
      if (param < 1 || param > 15) return "a retrigger takes 1..15 ticks";
      command = letter('Q');
      return {};
    case Effect::kSampleOffset: command = letter('O'); return {};
    case Effect::kSetSpeed:
      if (param < 1) return "speed must be 1..255";
      command = letter('A');
      return {};
    case Effect::kSetTempo:
      if (param < 33) return "tempo must be 33..255";
      command = letter('T');
      return {};
    case Effect::kPatternBreak:
      if (param > 63) return "pattern break row must be 0..63";
      command = letter('C');
      info = Bcd(param);
      return {};
    case Effect::kPositionJump: command = letter('B'); return {};
  }
  return "unknown effect";
}

std::string CheckSong(const Song& song) {
  if (song.channels < 1 || song.channels > kMaxChannels) return "an S3M has 1..16 channels";
  if (song.orders.empty() || song.orders.size() > 254) return "an S3M has 1..254 orders";
  if (song.patterns.empty() || song.patterns.size() > 254) return "an S3M has 1..254 patterns";
  if (song.samples.size() > 99) return "an S3M has at most 99 instruments";
  for (int order : song.orders)
    if (order < 0 || order >= static_cast<int>(song.patterns.size())) return "an order names a missing pattern";
  if (song.initialSpeed < 1 || song.initialSpeed > 255) return "initial speed must be 1..255";
  if (song.initialTempo < 33 || song.initialTempo > 255) return "initial tempo must be 33..255";
  if (song.globalVolume < 0 || song.globalVolume > 64) return "global volume must be 0..64";
  if (song.masterVolume < 16 || song.masterVolume > 127) return "master volume must be 16..127";
  for (const Sample& sample : song.samples) {
    if (sample.data.size() > kMaxSampleBytes) return "sample \"" + sample.name + "\" is longer than 64000 bytes";
    if (sample.volume > 64) return "sample \"" + sample.name + "\" volume is above 64";
    if (sample.loopLength > 0 && sample.loopStart + sample.loopLength > sample.data.size())
      return "sample \"" + sample.name + "\" loop runs past its end";
    if (sample.c2spd == 0) return "sample \"" + sample.name + "\" has no C2Spd";
  }
  return {};
}

// Appends one packed pattern: per row, entries for the non-empty cells and a 0 byte.
std::string PackPattern(const Song& song, const Pattern& pattern, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.push_back(0);
  out.push_back(0);
  for (int row = 0; row < kRowsPerPattern; ++row) {
    for (int ch = 0; ch < song.channels; ++ch) {
      const Cell& cell = pattern.At(row, ch);
      if (cell.Empty()) continue;
      const std::string at = "row " + std::to_string(row) + " channel " + std::to_string(ch) + ": ";
      if (cell.note > kHighestNote || cell.note < kNoteCut) return at + "note outside C-0..B-7";
      if (cell.instrument > song.samples.size()) return at + "instrument without a sample";
      if (cell.volume > 64) return at + "volume above 64";
      uint8_t command = 0, info = 0;
      if (std::string error = EncodeEffect(cell.effect, cell.param, command, info); !error.empty()) return at + error;
      uint8_t what = static_cast<uint8_t>(ch);
      const bool noteOrInstrument = cell.note != kNoNote || cell.instrument != 0;
      if (noteOrInstrument) what |= 0x20;
      if (cell.volume >= 0) what |= 0x40;
      if (cell.effect != Effect::kNone) what |= 0x80;
      out.push_back(what);
      if (noteOrInstrument) {
        uint8_t note = 255;
        if (cell.note == kNoteCut) note = 254;
        else if (cell.note >= 0) note = static_cast<uint8_t>((cell.note / 12) << 4 | cell.note % 12);
        out.push_back(note);
        out.push_back(cell.instrument);
      }
      if (cell.volume >= 0) out.push_back(static_cast<uint8_t>(cell.volume));
      if (cell.effect != Effect::kNone) {
        out.push_back(command);
        out.push_back(info);
      }
    }
    out.push_back(0);
  }
  PutLe16(out, start, static_cast<unsigned>(out.size() - start));
  return {};
}

}  // namespace

WriteResult WriteS3m(const Song& song) {
  if (std::string error = CheckSong(song); !error.empty()) return {{}, "S3M: " + error};
  // Order list: the orders, the end marker, padded with end markers to an even count.
  std::vector<uint8_t> orders(song.orders.begin(), song.orders.end());
  orders.push_back(255);
  if (orders.size() % 2) orders.push_back(255);

  std::vector<uint8_t> out(kHeaderBytes, 0);
  PutText(out, 0, song.title, 27);
  out[0x1C] = 0x1A;
  out[0x1D] = 0x10;
  PutLe16(out, 0x20, static_cast<unsigned>(orders.size()));
  PutLe16(out, 0x22, static_cast<unsigned>(song.samples.size()));
  PutLe16(out, 0x24, static_cast<unsigned>(song.patterns.size()));
  PutLe16(out, 0x26, 0);       // flags
  PutLe16(out, 0x28, 0x1320);  // Scream Tracker 3.20
  PutLe16(out, 0x2A, song.signedSamples ? 1 : 2);
  PutText(out, 0x2C, "SCRM", 4);
  out[0x30] = static_cast<uint8_t>(song.globalVolume);
  out[0x31] = static_cast<uint8_t>(song.initialSpeed);
  out[0x32] = static_cast<uint8_t>(song.initialTempo);
  out[0x33] = static_cast<uint8_t>(0x80 | song.masterVolume);  // stereo
  out[0x34] = 16;    // ultra-click removal, as Scream Tracker saves it
  out[0x35] = 0xFC;  // a default panning table follows the parapointers
  // Channel settings: left channels take L1.., right ones R1..; the rest are unused.
  int left = 0, right = 8;
  for (int ch = 0; ch < 32; ++ch) {
    uint8_t setting = 0xFF;
    if (ch < song.channels) setting = static_cast<uint8_t>(song.pan[ch] < 0 ? left++ : right++);
    if (left > 8 || right > 16) return {{}, "S3M: more than 8 channels on one side"};
    out[0x40 + ch] = setting;
  }
  out.insert(out.end(), orders.begin(), orders.end());
  const size_t instrumentPointers = out.size();
  const size_t patternPointers = instrumentPointers + 2 * song.samples.size();
  out.resize(patternPointers + 2 * song.patterns.size(), 0);
  for (int ch = 0; ch < 32; ++ch) {
    const int pan = ch < song.channels ? std::clamp<int>(song.pan[ch] + 8, 0, 15) : 8;
    out.push_back(static_cast<uint8_t>(ch < song.channels ? 0x20 | pan : 0));
  }

  std::vector<size_t> instrumentAt;
  for (size_t i = 0; i < song.samples.size(); ++i) {
    Align16(out);
    instrumentAt.push_back(out.size());
    PutLe16(out, instrumentPointers + 2 * i, static_cast<unsigned>(out.size() / 16));
    out.resize(out.size() + kInstrumentBytes, 0);
  }
  for (size_t p = 0; p < song.patterns.size(); ++p) {
    if (song.patterns[p].channels != song.channels)
      return {{}, "S3M: pattern " + std::to_string(p) + " does not have the song's channel count"};
    Align16(out);
    PutLe16(out, patternPointers + 2 * p, static_cast<unsigned>(out.size() / 16));
    if (std::string error = PackPattern(song, song.patterns[p], out); !error.empty())
      return {{}, "S3M: pattern " + std::to_string(p) + " " + error};
  }
  for (size_t i = 0; i < song.samples.size(); ++i) {
    const Sample& sample = song.samples[i];
    Align16(out);
    const size_t data = out.size() / 16;
    const size_t at = instrumentAt[i];
    out[at] = 1;  // PCM sample
    PutText(out, at + 0x01, sample.name, 12);
    out[at + 0x0D] = static_cast<uint8_t>(data >> 16);
    PutLe16(out, at + 0x0E, static_cast<unsigned>(data & 0xFFFF));
    PutLe32(out, at + 0x10, static_cast<uint32_t>(sample.data.size()));
    PutLe32(out, at + 0x14, sample.loopLength ? sample.loopStart : 0);
    PutLe32(out, at + 0x18, sample.loopLength ? sample.loopStart + sample.loopLength : 0);
    out[at + 0x1C] = sample.volume;
    out[at + 0x1F] = sample.loopLength ? 1 : 0;
    PutLe32(out, at + 0x20, sample.c2spd);
    PutLe16(out, at + 0x28, 1);  // sample memory address on a Sound Blaster: any nonzero value
    PutText(out, at + 0x30, sample.name, 27);
    PutText(out, at + 0x4C, "SCRS", 4);
    const uint8_t flip = song.signedSamples ? 0x00 : 0x80;
    for (int8_t v : sample.data) out.push_back(static_cast<uint8_t>(v) ^ flip);
  }
  Align16(out);
  return {std::move(out), {}};
}

}  // namespace mkdata::music
