#include "formats/WaveWriter.h"

namespace mkdata {

namespace {

void PutLe(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutTag(std::vector<uint8_t>& out, size_t at, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(tag[i]);
}

}  // namespace

std::vector<uint8_t> WavePcm16(std::span<const int16_t> samples, int channels, int rateHz) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out(44 + dataBytes);
  PutTag(out, 0, "RIFF");
  PutLe(out, 4, 36 + dataBytes, 4);
  PutTag(out, 8, "WAVE");
  PutTag(out, 12, "fmt ");
  PutLe(out, 16, 16, 4);
  PutLe(out, 20, 1, 2);  // PCM
  PutLe(out, 22, static_cast<uint32_t>(channels), 2);
  PutLe(out, 24, static_cast<uint32_t>(rateHz), 4);
  PutLe(out, 28, static_cast<uint32_t>(rateHz * channels * 2), 4);  // bytes per second
  PutLe(out, 32, static_cast<uint32_t>(channels * 2), 2);           // block align
  PutLe(out, 34, 16, 2);                                            // bits per sample
  PutTag(out, 36, "data");
  PutLe(out, 40, dataBytes, 4);
  for (size_t i = 0; i < samples.size(); ++i) PutLe(out, 44 + 2 * i, static_cast<uint16_t>(samples[i]), 2);
  return out;
}

}  // namespace mkdata
