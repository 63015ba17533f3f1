// Small WAV files and modules built byte by byte for the MIDAS stand-in's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace midas_test {

using Bytes = std::vector<uint8_t>;

void Append16(Bytes& out, uint32_t v);
void Append32(Bytes& out, uint32_t v);
void AppendText(Bytes& out, const char* text);  // without the terminating NUL
void AppendChunk(Bytes& out, const char* id, const Bytes& payload, bool pad = true);

// A "fmt " payload: 16 bytes for PCM, 18 with cbSize 0, 40 for WAVE_FORMAT_EXTENSIBLE (tag
// 0xFFFE) with `subFormat` (1 = PCM, 3 = float) in the GUID.
Bytes FmtPayload(uint16_t tag, int channels, int bits, uint32_t rate = 16000, int size = 16, uint16_t subFormat = 1);
// RIFF/WAVE around the given chunks (RIFF size set from them).
Bytes Riff(const Bytes& chunks);
// A complete PCM WAV with the given samples (16-bit signed values, or 8-bit when bits == 8:
// then each value is the unsigned byte).
Bytes PcmWav(int channels, int bits, const std::vector<int>& values, uint32_t rate = 16000);

// A 4-channel "M.K." MOD: one looping 32-byte sine sample, a note on channel 0 at row 0 and a
// pattern break at row `rows - 1`, so one pass of the song lasts rows * 0.12 s.
Bytes TinyMod(int rows = 16);
// A 4-channel S3M with the same content.
Bytes TinyS3m(int rows = 16);

// A fresh empty directory for this test process; files written there are removed at exit.
std::string TempDir();
std::string WriteTemp(const std::string& name, const Bytes& bytes);

}  // namespace midas_test
