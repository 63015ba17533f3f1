// CEL images and PAL palettes as the program's loaders read them.
//
// CEL: a 32-byte header, 256 palette entries of three 6-bit components (r, g, b), then one index
// per pixel, rows top to bottom. The loaders take the image size from the file size alone, so
// only these sizes exist: squares of 8, 16, 32, 64, 128 and 256 pixels, and the 256 x 200 screen
// image. The header is the classic animation-cel one (magic 0x9119, width, height, x and y
// offset, bits per pixel, compression, pixel bytes), little-endian, for other tools' sake.
//
// PAL: either exactly 768 bytes of 6-bit components, or an 8-byte header followed by 768 bytes
// of 8-bit components (776 bytes).
#pragma once

#include "Generator.h"
#include "kit/Quantize.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mkdata {

inline constexpr size_t kCelHeaderBytes = 32;
inline constexpr size_t kCelPaletteBytes = 768;
inline constexpr size_t kCelPixelOffset = kCelHeaderBytes + kCelPaletteBytes;  // 800
inline constexpr size_t kPal6Bytes = 768;
inline constexpr size_t kPal8Bytes = 776;
inline constexpr int kScreenWidth = 256;
inline constexpr int kScreenHeight = 200;

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb8&, const Rgb8&) = default;
};
using Palette8 = std::array<Rgb8, 256>;

// True for the sizes a CEL can have (squares 8 ... 256 in powers of two, and 256 x 200).
bool IsCelSize(int width, int height);

// The file bytes of `image`. Empty, with a line on stderr, if its size is not a CEL size or a
// palette component is above 63.
std::vector<uint8_t> EncodeCel(const IndexedImage& image);

// Reads a CEL back the way the loaders do (size from the file size); null for any other size.
std::optional<IndexedImage> DecodeCel(std::span<const uint8_t> bytes);

// 768 bytes of 6-bit components.
std::vector<uint8_t> EncodePal6(const Palette6& palette);
// 776 bytes: an 8-byte header ("PAL8", entry count 256, 24 bits per entry), then 8-bit components.
std::vector<uint8_t> EncodePal8(const Palette8& palette);

// Quantises `picture` with `options` and writes it as the CEL `name`. Also returns the indexed
// picture for callers that want to check or preview it.
std::optional<IndexedImage> WriteCel(Output& out, const std::string& name, const Image& picture,
                                     const QuantizeOptions& options = {});
// Writes an already indexed picture as the CEL `name`.
bool WriteCel(Output& out, const std::string& name, const IndexedImage& indexed);

}  // namespace mkdata
