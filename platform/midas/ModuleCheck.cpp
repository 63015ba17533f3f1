#include "Errors.h"
#include "Module.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace midas {
namespace {

uint16_t U16le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint16_t U16be(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t U32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool Digit(uint8_t c) { return c >= '0' && c <= '9'; }

// Channels for a MOD signature, or 0 when the signature is not one MIDAS knew.
int ModChannels(const uint8_t* sig) {
  auto is = [sig](const char* text) { return std::memcmp(sig, text, 4) == 0; };
  if (is("M.K.") || is("M!K!") || is("FLT4") || is("M&K!") || is("N.T.")) return 4;
  if (is("FLT8") || is("OCTA") || is("CD81") || is("OKTA")) return 8;
  if (Digit(sig[0]) && std::memcmp(sig + 1, "CHN", 3) == 0) return sig[0] - '0';
  if (Digit(sig[0]) && Digit(sig[1]) && (std::memcmp(sig + 2, "CH", 2) == 0 || std::memcmp(sig + 2, "CN", 2) == 0)) {
    return (sig[0] - '0') * 10 + (sig[1] - '0');
  }
  if (std::memcmp(sig, "TDZ", 3) == 0 && Digit(sig[3])) return sig[3] - '0';
  return 0;
}

void CheckMod(std::span<const uint8_t> b, int channels) {
  const uint8_t* orders = &b[952];
  const int patterns = *std::max_element(orders, orders + 128) + 1;
  uint64_t need = 1084 + static_cast<uint64_t>(patterns) * 64 * static_cast<uint64_t>(channels) * 4;
  for (int i = 0; i < 31; ++i) need += 2 * static_cast<uint64_t>(U16be(&b[20 + 30 * i + 22]));
  if (need > b.size()) throw Error(kUnexpectedEof);
}

void CheckS3m(std::span<const uint8_t> b) {
  if (b.size() < 96) throw Error(kUnexpectedEof);
  const std::size_t orders = U16le(&b[0x20]);
  const std::size_t instruments = U16le(&b[0x22]);
  const std::size_t patterns = U16le(&b[0x24]);
  const std::size_t tables = 96 + orders + 2 * (instruments + patterns);
  if (tables > b.size()) throw Error(kUnexpectedEof);
  auto within = [&b](uint64_t offset, uint64_t length) { return offset + length <= b.size(); };

  const uint8_t* insPointers = &b[96 + orders];
  for (std::size_t i = 0; i < instruments; ++i) {
    const uint64_t at = static_cast<uint64_t>(U16le(insPointers + 2 * i)) * 16;
    if (at == 0) continue;
    if (!within(at, 0x50)) throw Error(kUnexpectedEof);
    const uint8_t* ins = &b[at];
    if (ins[0] != 1) continue;  // not a sample (empty or AdLib)
    const uint64_t data = ((static_cast<uint64_t>(ins[0x0D]) << 16) | U16le(ins + 0x0E)) * 16;
    const uint8_t flags = ins[0x1F];
    const uint64_t bytes = static_cast<uint64_t>(U32le(ins + 0x10)) * ((flags & 4) ? 2 : 1) * ((flags & 2) ? 2 : 1);
    if (bytes > 0 && !within(data, bytes)) throw Error(kUnexpectedEof);
  }
  const uint8_t* patPointers = insPointers + 2 * instruments;
  for (std::size_t i = 0; i < patterns; ++i) {
    const uint64_t at = static_cast<uint64_t>(U16le(patPointers + 2 * i)) * 16;
    if (at == 0) continue;
    if (!within(at, 2) || !within(at, U16le(&b[at]))) throw Error(kUnexpectedEof);
  }
}

}  // namespace

void CheckModuleComplete(std::span<const uint8_t> bytes) {
  if (bytes.size() >= 48 && std::memcmp(&bytes[44], "SCRM", 4) == 0) {
    CheckS3m(bytes);
  } else if (bytes.size() >= 1084) {
    if (const int channels = ModChannels(&bytes[1080]); channels > 0) CheckMod(bytes, channels);
  }
}

}  // namespace midas
