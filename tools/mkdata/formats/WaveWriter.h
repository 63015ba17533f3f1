// A canonical PCM WAV file ("RIFF", "fmt " of 16 bytes, "data") holding 16-bit samples.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mkdata {

// `samples` interleaved for `channels`; the sample rate goes into the header as given.
std::vector<uint8_t> WavePcm16(std::span<const int16_t> samples, int channels, int rateHz);

}  // namespace mkdata
