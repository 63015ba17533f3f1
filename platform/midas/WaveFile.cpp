#include "WaveFile.h"

#include "Errors.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace midas {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM, 00000001-0000-0010-8000-00AA00389B71, as stored in the file.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool LooksLikeId(std::span<const uint8_t> bytes, std::size_t pos) {
  if (bytes.size() < 4 || pos > bytes.size() - 4) return false;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    if (bytes[i] < 0x20 || bytes[i] > 0x7E) return false;
  }
  return true;
}

struct Format {
  int channels;
  int bits;
  uint32_t rate;
};

Format ParseFormat(std::span<const uint8_t> fmt) {
  if (fmt.size() < 16) throw Error(kBadWave);
  uint16_t tag = U16(&fmt[0]);
  if (tag == kFormatExtensible) {
    // cbSize at 16 must cover the 22-byte extension; the sub-format GUID sits at 24.
    if (fmt.size() < 40 || U16(&fmt[16]) < 22) throw Error(kBadWave);
    if (std::memcmp(&fmt[24], kPcmSubFormat, sizeof kPcmSubFormat) != 0) throw Error(kUnsupportedSampleFormat);
    tag = kFormatPcm;
  }
  const Format format{U16(&fmt[2]), U16(&fmt[14]), U32(&fmt[4])};
  if (tag != kFormatPcm) throw Error(kUnsupportedSampleFormat);
  if (format.channels != 1 && format.channels != 2) throw Error(kUnsupportedSampleFormat);
  if (format.bits != 8 && format.bits != 16) throw Error(kUnsupportedSampleFormat);
  return format;
}

}  // namespace

std::vector<float> DecodePcm(std::span<const uint8_t> raw, int bitsPerSample, int channels) {
  if ((bitsPerSample != 8 && bitsPerSample != 16) || channels < 1) return {};
  const std::size_t frameBytes = static_cast<std::size_t>(bitsPerSample / 8 * channels);
  const std::size_t values = raw.size() / frameBytes * static_cast<std::size_t>(channels);
  std::vector<float> out(values);
  if (bitsPerSample == 8) {
    for (std::size_t i = 0; i < values; ++i) out[i] = static_cast<float>(raw[i] - 128) * (1.0f / 128.0f);
  } else {
    for (std::size_t i = 0; i < values; ++i) {
      out[i] = static_cast<float>(static_cast<int16_t>(U16(&raw[2 * i]))) * (1.0f / 32768.0f);
    }
  }
  return out;
}

PcmData ParseWave(std::span<const uint8_t> bytes) {
  if (bytes.empty()) throw Error(kUnexpectedEof);
  // A file cut inside "RIFF" is short, anything else there is not a WAVE file.
  if (std::memcmp(bytes.data(), "RIFF", std::min<std::size_t>(bytes.size(), 4)) != 0) throw Error(kBadWave);
  if (bytes.size() < 12) throw Error(kUnexpectedEof);
  if (std::memcmp(&bytes[8], "WAVE", 4) != 0) throw Error(kBadWave);

  std::optional<Format> format;
  std::span<const uint8_t> data;
  bool haveData = false;
  bool truncated = false;
  std::size_t pos = 12;
  while (!(format && haveData) && pos < bytes.size()) {
    if (bytes.size() - pos < 8) {
      truncated = true;
      break;
    }
    const uint8_t* header = &bytes[pos];
    const std::size_t size = U32(header + 4);
    const std::size_t start = pos + 8;
    const std::size_t present = std::min(size, bytes.size() - start);
    truncated = present < size;
    if (std::memcmp(header, "fmt ", 4) == 0 && !format) {
      if (truncated) throw Error(kUnexpectedEof);
      format = ParseFormat(bytes.subspan(start, size));
    } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
      if (size == 0) throw Error(kBadWave);
      data = bytes.subspan(start, present);
      haveData = true;
    }
    if (truncated) break;
    pos = start + size;
    if ((size & 1) != 0 && pos < bytes.size()) {
      // Skip the pad byte after an odd-sized chunk, unless the writer left it out: then the
      // next chunk id starts right here and not one byte later.
      if (!(LooksLikeId(bytes, pos) && !LooksLikeId(bytes, pos + 1))) ++pos;
    }
  }
  if (!format || !haveData) throw Error(truncated ? kUnexpectedEof : kBadWave);

  PcmData pcm;
  pcm.channels = format->channels;
  pcm.bitsPerSample = format->bits;
  pcm.sampleRate = format->rate;
  pcm.interleaved = DecodePcm(data, format->bits, format->channels);
  if (pcm.interleaved.empty()) throw Error(kUnexpectedEof);
  return pcm;
}

}  // namespace midas
