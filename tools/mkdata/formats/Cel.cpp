#include "formats/Cel.h"

#include <cstdio>

namespace mkdata {

namespace {

void PutU16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  PutU16(bytes, at, value & 0xFFFF);
  PutU16(bytes, at + 2, value >> 16);
}

}  // namespace

bool IsCelSize(int width, int height) {
  if (width == kScreenWidth && height == kScreenHeight) return true;
  if (width != height) return false;
  for (int side = 8; side <= 256; side *= 2) {
    if (width == side) return true;
  }
  return false;
}

std::vector<uint8_t> EncodeCel(const IndexedImage& image) {
  const size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  if (!IsCelSize(image.width, image.height) || image.indices.size() != pixels) {
    std::fprintf(stderr, "mkdata: %dx%d (%zu indices) is not a CEL image size\n", image.width, image.height,
                 image.indices.size());
    return {};
  }
  for (const Rgb6& c : image.palette) {
    if (c.r > 63 || c.g > 63 || c.b > 63) {
      std::fprintf(stderr, "mkdata: CEL palette component above 63\n");
      return {};
    }
  }
  std::vector<uint8_t> bytes(kCelPixelOffset + pixels, 0);
  PutU16(bytes, 0, 0x9119);  // magic
  PutU16(bytes, 2, static_cast<uint32_t>(image.width));
  PutU16(bytes, 4, static_cast<uint32_t>(image.height));
  PutU16(bytes, 6, 0);   // x offset
  PutU16(bytes, 8, 0);   // y offset
  bytes[10] = 8;         // bits per pixel
  bytes[11] = 0;         // not compressed
  PutU32(bytes, 12, static_cast<uint32_t>(pixels));
  for (size_t i = 0; i < 256; ++i) {
    bytes[kCelHeaderBytes + 3 * i] = image.palette[i].r;
    bytes[kCelHeaderBytes + 3 * i + 1] = image.palette[i].g;
    bytes[kCelHeaderBytes + 3 * i + 2] = image.palette[i].b;
  }
  std::copy(image.indices.begin(), image.indices.end(), bytes.begin() + kCelPixelOffset);
  return bytes;
}

std::optional<IndexedImage> DecodeCel(std::span<const uint8_t> bytes) {
  if (bytes.size() < kCelPixelOffset) return std::nullopt;
  const size_t pixels = bytes.size() - kCelPixelOffset;
  IndexedImage image;
  if (pixels == static_cast<size_t>(kScreenWidth) * kScreenHeight) {
    image.width = kScreenWidth;
    image.height = kScreenHeight;
  } else {
    for (int side = 8; side <= 256; side *= 2) {
      if (pixels == static_cast<size_t>(side) * static_cast<size_t>(side)) image.width = image.height = side;
    }
    if (image.width == 0) return std::nullopt;
  }
  for (size_t i = 0; i < 256; ++i) {
    image.palette[i] = {bytes[kCelHeaderBytes + 3 * i], bytes[kCelHeaderBytes + 3 * i + 1],
                        bytes[kCelHeaderBytes + 3 * i + 2]};
  }
  image.colors = 256;
  image.indices.assign(bytes.begin() + kCelPixelOffset, bytes.end());
  return image;
}

std::vector<uint8_t> EncodePal6(const Palette6& palette) {
  std::vector<uint8_t> bytes(kPal6Bytes);
  for (size_t i = 0; i < 256; ++i) {
    bytes[3 * i] = palette[i].r;
    bytes[3 * i + 1] = palette[i].g;
    bytes[3 * i + 2] = palette[i].b;
  }
  return bytes;
}

std::vector<uint8_t> EncodePal8(const Palette8& palette) {
  std::vector<uint8_t> bytes(kPal8Bytes, 0);
  bytes[0] = 'P';
  bytes[1] = 'A';
  bytes[2] = 'L';
  bytes[3] = '8';
  PutU16(bytes, 4, 256);  // entries
  PutU16(bytes, 6, 24);   // bits per entry
  for (size_t i = 0; i < 256; ++i) {
    bytes[8 + 3 * i] = palette[i].r;
    bytes[8 + 3 * i + 1] = palette[i].g;
    bytes[8 + 3 * i + 2] = palette[i].b;
  }
  return bytes;
}

std::optional<IndexedImage> WriteCel(Output& out, const std::string& name, const Image& picture,
                                     const QuantizeOptions& options) {
  auto indexed = Quantize(picture, options);
  if (!indexed || !WriteCel(out, name, *indexed)) return std::nullopt;
  return indexed;
}

bool WriteCel(Output& out, const std::string& name, const IndexedImage& indexed) {
  const std::vector<uint8_t> bytes = EncodeCel(indexed);
  if (bytes.empty()) {
    std::fprintf(stderr, "mkdata: %s not written\n", name.c_str());
    return false;
  }
  return out.Write(name, bytes);
}

}  // namespace mkdata
