// RIFF WAVE parsing for MIDASloadWaveSample: uncompressed PCM, 8-bit unsigned or 16-bit signed,
// mono or stereo, also when tagged WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
//
// What is accepted beyond the strict format, and what is refused (as MIDAS error codes):
// - chunks of any kind before, between and after "fmt " and "data" are skipped by their size,
//   odd sizes followed by their pad byte (or not, when the writer forgot it and the next chunk
//   id follows at once); the RIFF size field is not trusted;
// - a "data" chunk longer than the file is cut to the whole frames present; a file whose data
//   holds no whole frame, or that ends inside a header, is kUnexpectedEof;
// - not "RIFF"/"WAVE", a "fmt " chunk shorter than 16 bytes, no "fmt " chunk, or an empty
//   "data" chunk is kBadWave;
// - any other encoding, bit depth or channel count is kUnsupportedSampleFormat.
// The file's sample rate is reported but MIDAS does not use it: the rate comes with each play.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace midas {

struct PcmData {
  int channels = 0;
  int bitsPerSample = 0;
  uint32_t sampleRate = 0;
  std::vector<float> interleaved;  // frames * channels values in -1..1
  std::size_t frames() const { return interleaved.size() / static_cast<std::size_t>(channels); }
};

// Parses a whole WAVE file held in memory. Throws Error on refusal.
PcmData ParseWave(std::span<const uint8_t> bytes);

// Converts raw PCM (8-bit unsigned or 16-bit signed little-endian, interleaved) to floats;
// a trailing partial frame is dropped. Other sample sizes give nothing.
std::vector<float> DecodePcm(std::span<const uint8_t> raw, int bitsPerSample, int channels);

}  // namespace midas
