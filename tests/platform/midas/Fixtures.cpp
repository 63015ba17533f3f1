#include "Fixtures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace midas_test {

void Append16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Append32(Bytes& out, uint32_t v) {
  Append16(out, v & 0xFFFF);
  Append16(out, v >> 16);
}

void AppendText(Bytes& out, const char* text) { out.insert(out.end(), text, text + std::strlen(text)); }

void AppendChunk(Bytes& out, const char* id, const Bytes& payload, bool pad) {
  AppendText(out, id);
  Append32(out, static_cast<uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  if (pad && (payload.size() & 1) != 0) out.push_back(0);
}

Bytes FmtPayload(uint16_t tag, int channels, int bits, uint32_t rate, int size, uint16_t subFormat) {
  Bytes fmt;
  const int align = channels * bits / 8;
  Append16(fmt, tag);
  Append16(fmt, static_cast<uint32_t>(channels));
  Append32(fmt, rate);
  Append32(fmt, rate * static_cast<uint32_t>(align));
  Append16(fmt, static_cast<uint32_t>(align));
  Append16(fmt, static_cast<uint32_t>(bits));
  if (size >= 18) Append16(fmt, size >= 40 ? 22 : 0);
  if (size >= 40) {
    Append16(fmt, static_cast<uint32_t>(bits));  // valid bits
    Append32(fmt, channels == 2 ? 3 : 4);        // channel mask
    const uint8_t guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    Append16(fmt, subFormat);
    fmt.insert(fmt.end(), guidTail, guidTail + 14);
  }
  fmt.resize(static_cast<std::size_t>(size), 0);
  return fmt;
}

Bytes Riff(const Bytes& chunks) {
  Bytes out;
  AppendText(out, "RIFF");
  Append32(out, static_cast<uint32_t>(4 + chunks.size()));
  AppendText(out, "WAVE");
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}

Bytes PcmWav(int channels, int bits, const std::vector<int>& values, uint32_t rate) {
  Bytes data;
  for (int v : values) {
    if (bits == 8) {
      data.push_back(static_cast<uint8_t>(v));
    } else {
      Append16(data, static_cast<uint16_t>(static_cast<int16_t>(v)));
    }
  }
  Bytes chunks;
  AppendChunk(chunks, "fmt ", FmtPayload(1, channels, bits, rate));
  AppendChunk(chunks, "data", data);
  return Riff(chunks);
}

namespace {

std::vector<int8_t> SineCycle() {
  std::vector<int8_t> cycle(32);
  for (int i = 0; i < 32; ++i) cycle[i] = static_cast<int8_t>(std::lround(100.0 * std::sin(2.0 * M_PI * i / 32.0)));
  return cycle;
}

void Put16be(Bytes& out, std::size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v);
}

void Put16le(Bytes& out, std::size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

Bytes TinyMod(int rows) {
  Bytes mod(1084 + 1024, 0);
  std::memcpy(mod.data(), "tiny test mod", 13);
  const std::size_t s = 20;  // sample 1 header
  std::memcpy(&mod[s], "sine", 4);
  Put16be(mod, s + 22, 16);  // length in words
  mod[s + 25] = 64;          // volume
  Put16be(mod, s + 26, 0);   // loop start
  Put16be(mod, s + 28, 16);  // loop length
  for (int i = 1; i < 31; ++i) Put16be(mod, 20 + 30 * i + 28, 1);
  mod[950] = 1;    // song length
  mod[951] = 127;  // restart
  std::memcpy(&mod[1080], "M.K.", 4);
  // Row 0, channel 0: sample 1, period 428 (C-2).
  uint8_t* cell = &mod[1084];
  cell[0] = (1 & 0xF0) | (428 >> 8);
  cell[1] = 428 & 0xFF;
  cell[2] = (1 & 0x0F) << 4;
  // Row rows-1, channel 1: D00 pattern break.
  uint8_t* brk = &mod[1084 + static_cast<std::size_t>(rows - 1) * 16 + 4];
  brk[2] = 0x0D;
  for (int8_t v : SineCycle()) mod.push_back(static_cast<uint8_t>(v));
  return mod;
}

Bytes TinyS3m(int rows) {
  Bytes s3m(0x70, 0);
  std::memcpy(s3m.data(), "tiny test s3m", 13);
  s3m[0x1C] = 0x1A;
  s3m[0x1D] = 0x10;
  Put16le(s3m, 0x20, 2);  // orders
  Put16le(s3m, 0x22, 1);  // instruments
  Put16le(s3m, 0x24, 1);  // patterns
  Put16le(s3m, 0x28, 0x1320);
  Put16le(s3m, 0x2A, 2);  // unsigned samples
  std::memcpy(&s3m[0x2C], "SCRM", 4);
  s3m[0x30] = 64;
  s3m[0x31] = 6;
  s3m[0x32] = 125;
  s3m[0x33] = 0xB0;
  const uint8_t channelMap[4] = {0, 8, 1, 9};
  for (int i = 0; i < 32; ++i) s3m[0x40 + i] = i < 4 ? channelMap[i] : 0xFF;
  s3m[0x60] = 0;
  s3m[0x61] = 255;
  Put16le(s3m, 0x62, 0x70 / 16);  // instrument at 0x70
  Put16le(s3m, 0x64, 0xC0 / 16);  // pattern at 0xC0

  Bytes ins(80, 0);
  ins[0] = 1;
  std::memcpy(&ins[1], "SINE.RAW", 8);
  ins[0x10] = 32;  // length
  ins[0x18] = 32;  // loop end
  ins[0x1C] = 64;  // volume
  ins[0x1F] = 1;   // looped
  Put16le(ins, 0x20, 8363);
  std::memcpy(&ins[0x30], "sine", 4);
  std::memcpy(&ins[0x4C], "SCRS", 4);
  s3m.insert(s3m.end(), ins.begin(), ins.end());

  Bytes pattern = {0, 0};
  for (int row = 0; row < 64; ++row) {
    if (row == 0) pattern.insert(pattern.end(), {0x20, 0x40, 1});          // C-4, instrument 1
    if (row == rows - 1) pattern.insert(pattern.end(), {0x80 | 1, 3, 0});  // C00 pattern break
    pattern.push_back(0);
  }
  Put16le(pattern, 0, static_cast<uint32_t>(pattern.size()));
  s3m.insert(s3m.end(), pattern.begin(), pattern.end());
  while (s3m.size() % 16 != 0) s3m.push_back(0);

  const std::size_t sampleAt = s3m.size();
  s3m[0x70 + 0x0D] = static_cast<uint8_t>((sampleAt / 16) >> 16);
  Put16le(s3m, 0x70 + 0x0E, static_cast<uint32_t>((sampleAt / 16) & 0xFFFF));
  for (int8_t v : SineCycle()) s3m.push_back(static_cast<uint8_t>(v + 128));
  return s3m;
}

std::string TempDir() {
  // Never destroyed, so the exit handler that removes the directory can still read it.
  static const std::string* const dir = [] {
    char pattern[] = "/tmp/midas_tests.XXXXXX";
    const char* made = mkdtemp(pattern);
    auto* path = new std::string(made != nullptr ? made : "/tmp/midas_tests.fallback");
    std::filesystem::create_directories(*path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(TempDir(), ignored);
    });
    return path;
  }();
  return *dir;
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
  const std::string path = TempDir() + "/" + name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace midas_test
