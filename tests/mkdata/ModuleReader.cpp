#include "ModuleReader.h"

#include <algorithm>

namespace mkdata::test {

using music::Cell;
using music::Effect;
using music::Pattern;
using music::Sample;
using music::Song;

namespace {

unsigned Be16(std::span<const uint8_t> b, size_t at) { return b[at] << 8 | b[at + 1]; }
unsigned Le16(std::span<const uint8_t> b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Le32(std::span<const uint8_t> b, size_t at) { return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16; }

std::string Text(std::span<const uint8_t> b, size_t at, size_t width) {
  std::string text;
  for (size_t i = 0; i < width && b[at + i]; ++i) text += static_cast<char>(b[at + i]);
  return text;
}

int FromBcd(uint8_t v) { return (v >> 4) * 10 + (v & 15); }

constexpr int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                              428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                              214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

bool ModEffect(uint8_t command, uint8_t arg, Cell& cell) {
  const uint8_t x = arg >> 4, y = arg & 15;
  switch (command) {
    case 0x0: if (arg) cell.effect = Effect::kArpeggio, cell.param = arg; return true;
    case 0x1: cell.effect = Effect::kPortaUp, cell.param = arg; return true;
    case 0x2: cell.effect = Effect::kPortaDown, cell.param = arg; return true;
    case 0x3: cell.effect = Effect::kTonePorta, cell.param = arg; return true;
    case 0x4: cell.effect = Effect::kVibrato, cell.param = arg; return true;
    case 0x9: cell.effect = Effect::kSampleOffset, cell.param = arg; return true;
    case 0xA: cell.effect = Effect::kVolumeSlide, cell.param = arg; return true;
    case 0xB: cell.effect = Effect::kPositionJump, cell.param = arg; return true;
    case 0xC: cell.volume = static_cast<int8_t>(arg); return true;
    case 0xD: cell.effect = Effect::kPatternBreak, cell.param = static_cast<uint8_t>(FromBcd(arg)); return true;
    case 0xF: cell.effect = arg < 32 ? Effect::kSetSpeed : Effect::kSetTempo, cell.param = arg; return true;
    case 0xE:
      cell.param = y;
      switch (x) {
        case 0x9: cell.effect = Effect::kRetrigger; return true;
        case 0xA: cell.effect = Effect::kFineVolumeUp; return true;
        case 0xB: cell.effect = Effect::kFineVolumeDown; return true;
        case 0xC: cell.effect = Effect::kNoteCut; return true;
        case 0xD: cell.effect = Effect::kNoteDelay; return true;
        default: return false;
      }
    default: return false;
  }
}

bool S3mEffect(uint8_t command, uint8_t info, Cell& cell) {
  const uint8_t x = info >> 4, y = info & 15;
  cell.param = info;
  switch (command + 'A' - 1) {
    case 'A': cell.effect = Effect::kSetSpeed; return true;
    case 'B': cell.effect = Effect::kPositionJump; return true;
    case 'C': cell.effect = Effect::kPatternBreak, cell.param = static_cast<uint8_t>(FromBcd(info)); return true;
    case 'D':
      if (y == 0xF && x) cell.effect = Effect::kFineVolumeUp, cell.param = x;
      else if (x == 0xF && y) cell.effect = Effect::kFineVolumeDown, cell.param = y;
      else cell.effect = Effect::kVolumeSlide;
      return true;
    case 'E': cell.effect = Effect::kPortaDown; return true;
    case 'F': cell.effect = Effect::kPortaUp; return true;
    case 'G': cell.effect = Effect::kTonePorta; return true;
    case 'H': cell.effect = Effect::kVibrato; return true;
    case 'J': cell.effect = Effect::kArpeggio; return true;
    case 'O': cell.effect = Effect::kSampleOffset; return true;
    case 'Q': cell.effect = Effect::kRetrigger; return true;
    case 'T': cell.effect = Effect::kSetTempo; return true;
    case 'S':
      cell.param = y;
      if (x == 0xC) cell.effect = Effect::kNoteCut;
      else if (x == 0xD) cell.effect = Effect::kNoteDelay;
      else return false;
      return true;
    default: return false;
  }
}

}  // namespace

std::optional<Song> ReadMod(std::span<const uint8_t> b, std::string& error) {
  if (b.size() < 1084 || Text(b, 1080, 4) != "M.K.") return error = "no M.K. signature", std::nullopt;
  Song song;
  song.title = Text(b, 0, 20);
  song.channels = 4;
  const int length = b[950];
  int patterns = 0;
  for (int i = 0; i < 128; ++i) patterns = std::max(patterns, b[952 + i] + 1);
  for (int i = 0; i < length; ++i) song.orders.push_back(b[952 + i]);
  size_t at = 1084 + static_cast<size_t>(patterns) * 1024;
  if (b.size() < at) return error = "patterns truncated", std::nullopt;
  for (int p = 0; p < patterns; ++p) {
    Pattern pattern(4);
    for (int row = 0; row < music::kRowsPerPattern; ++row) {
      for (int ch = 0; ch < 4; ++ch) {
        const size_t c = 1084 + static_cast<size_t>(p) * 1024 + static_cast<size_t>(row * 16 + ch * 4);
        Cell& cell = pattern.At(row, ch);
        const int period = (b[c] & 0x0F) << 8 | b[c + 1];
        cell.instrument = static_cast<uint8_t>((b[c] & 0xF0) | b[c + 2] >> 4);
        if (period) {
          const int* found = std::find(std::begin(kPeriods), std::end(kPeriods), period);
          if (found == std::end(kPeriods)) return error = "period not in the table", std::nullopt;
          cell.note = static_cast<int8_t>(36 + (found - kPeriods));
        }
        if (!ModEffect(b[c + 2] & 0x0F, b[c + 3], cell)) return error = "unknown effect", std::nullopt;
        if (cell.effect == Effect::kNoteCut && cell.param == 0 && cell.note == music::kNoNote)
          cell.effect = Effect::kNone, cell.param = 0, cell.note = music::kNoteCut;
      }
    }
    song.patterns.push_back(pattern);
  }
  int lastUsed = 0;
  for (int i = 0; i < 31; ++i)
    if (Be16(b, 20 + 30 * i + 22) > 0) lastUsed = i + 1;
  for (int i = 0; i < lastUsed; ++i) {
    const size_t h = 20 + 30 * static_cast<size_t>(i);
    Sample sample;
    sample.name = Text(b, h, 22);
    const size_t bytes = 2 * Be16(b, h + 22);
    sample.volume = b[h + 25];
    if (Be16(b, h + 28) > 1) {
      sample.loopStart = 2 * Be16(b, h + 26);
      sample.loopLength = 2 * Be16(b, h + 28);
    }
    if (b.size() < at + bytes) return error = "sample data truncated", std::nullopt;
    for (size_t k = 0; k < bytes; ++k) sample.data.push_back(static_cast<int8_t>(b[at + k]));
    at += bytes;
    song.samples.push_back(std::move(sample));
  }
  return song;
}

std::optional<Song> ReadS3m(std::span<const uint8_t> b, std::string& error) {
  if (b.size() < 0x60 || Text(b, 0x2C, 4) != "SCRM" || b[0x1D] != 0x10) return error = "no SCRM header", std::nullopt;
  Song song;
  song.title = Text(b, 0, 28);
  const unsigned orderCount = Le16(b, 0x20), instruments = Le16(b, 0x22), patterns = Le16(b, 0x24);
  const unsigned ffi = Le16(b, 0x2A);
  if (ffi != 1 && ffi != 2) return error = "bad sample format", std::nullopt;
  song.signedSamples = ffi == 1;
  song.globalVolume = b[0x30];
  song.initialSpeed = b[0x31];
  song.initialTempo = b[0x32];
  song.masterVolume = b[0x33] & 0x7F;
  song.channels = 0;
  for (int ch = 0; ch < 32; ++ch)
    if (b[0x40 + ch] < 16) song.channels = ch + 1;
  // Orders up to the end marker; 254 ("+++") entries are skipped by players.
  for (unsigned i = 0; i < orderCount && b[0x60 + i] != 255; ++i)
    if (b[0x60 + i] < 254) song.orders.push_back(b[0x60 + i]);
  const size_t insPointers = 0x60 + orderCount, patPointers = insPointers + 2 * instruments, panTable = patPointers + 2 * patterns;
  if (b[0x35] == 0xFC)
    for (int ch = 0; ch < song.channels; ++ch) song.pan[ch] = static_cast<int8_t>((b[panTable + ch] & 15) - 8);
  for (unsigned i = 0; i < instruments; ++i) {
    const size_t h = 16 * static_cast<size_t>(Le16(b, insPointers + 2 * i));
    if (b.size() < h + 0x50 || Text(b, h + 0x4C, 4) != "SCRS") return error = "bad instrument", std::nullopt;
    Sample sample;
    sample.name = Text(b, h + 0x30, 28);
    const size_t data = 16 * (static_cast<size_t>(b[h + 0x0D]) << 16 | Le16(b, h + 0x0E));
    const uint32_t length = Le32(b, h + 0x10);
    if (b[h + 0x1F] & 1) {
      sample.loopStart = Le32(b, h + 0x14);
      sample.loopLength = Le32(b, h + 0x18) - sample.loopStart;
    }
    sample.volume = b[h + 0x1C];
    sample.c2spd = Le32(b, h + 0x20);
    if (b.size() < data + length) return error = "sample data truncated", std::nullopt;
    for (size_t k = 0; k < length; ++k) sample.data.push_back(static_cast<int8_t>(b[data + k] ^ (song.signedSamples ? 0 : 0x80)));
    song.samples.push_back(std::move(sample));
  }
  for (unsigned p = 0; p < patterns; ++p) {
    size_t c = 16 * static_cast<size_t>(Le16(b, patPointers + 2 * p));
    const size_t end = c + Le16(b, c);
    c += 2;
    Pattern pattern(song.channels);
    for (int row = 0; row < music::kRowsPerPattern; ++row) {
      while (true) {
        if (c >= end) return error = "pattern runs past its length", std::nullopt;
        const uint8_t what = b[c++];
        if (!what) break;
        const int ch = what & 31;
        if (ch >= song.channels) return error = "entry on a disabled channel", std::nullopt;
        Cell& cell = pattern.At(row, ch);
        if (what & 0x20) {
          const uint8_t note = b[c++];
          cell.instrument = b[c++];
          if (note == 254) cell.note = music::kNoteCut;
          else if (note < 254) cell.note = static_cast<int8_t>((note >> 4) * 12 + (note & 15));
        }
        if (what & 0x40) cell.volume = static_cast<int8_t>(b[c++]);
        if (what & 0x80) {
          if (!S3mEffect(b[c], b[c + 1], cell)) return error = "unknown command", std::nullopt;
          c += 2;
        }
      }
    }
    if (c != end) return error = "pattern length does not match its rows", std::nullopt;
    song.patterns.push_back(pattern);
  }
  return song;
}

}  // namespace mkdata::test
