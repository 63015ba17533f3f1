// Palette quantisation for the data generator: an RGBA picture becomes at most 256 palette
// indices over a palette of 6-bit components (0 ... 63), the form every CEL and PAL file holds.
// The palette is chosen by libimagequant (deterministic: the same bytes for any thread count);
// mapping to a palette given by the caller is our own nearest-colour search.
//
// Reserved entries, for what the loaders do with indices:
//  - Reserve::kTransparent255: soft sprites. Pixels with alpha below the threshold become index
//    255 (the loader makes them transparent with a soft edge); no opaque pixel uses 255, and
//    entry 255 is black.
//  - Reserve::kKeyBlack0: chroma-keyed textures (key colour black). Pixels with alpha below the
//    threshold become index 0, which is black; every other entry stays non-black even after the
//    RGB565 conversion (r >> 1, g, b >> 1), so that only keyed pixels match the key.
#pragma once

#include "kit/Image.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace mkdata {

struct Rgb6 {
  uint8_t r = 0, g = 0, b = 0;  // each 0 ... 63
  friend bool operator==(const Rgb6&, const Rgb6&) = default;
};

using Palette6 = std::array<Rgb6, 256>;

enum class Reserve { kNone, kTransparent255, kKeyBlack0 };

struct QuantizeOptions {
  int maxColors = 256;       // palette entries the picture may use, the reserved entry included
  float dither = 1.0f;       // error-diffusion strength, 0 (none) ... 1 (full Floyd-Steinberg)
  Reserve reserve = Reserve::kNone;
  int alphaThreshold = 128;  // with a reservation: alpha below this is transparent / keyed
  int speed = 3;             // libimagequant speed 1 (best) ... 10 (fastest)
};

// Palette indices, rows top to bottom, with the palette they index.
struct IndexedImage {
  int width = 0;
  int height = 0;
  Palette6 palette{};           // entries beyond `colors` are black
  int colors = 0;               // entries in use
  std::vector<uint8_t> indices;
};

// Chooses a palette for `image` and maps it. Null, with a line on stderr, only if libimagequant
// refuses (an empty image, for example).
std::optional<IndexedImage> Quantize(const Image& image, const QuantizeOptions& options = {});

// Maps `image` onto the first `paletteSize` entries of a given palette (shared palettes, such as a
// PAL file that several pictures are drawn through). Honours options.reserve, options.dither and
// options.alphaThreshold; the reserved entry is never chosen for an opaque pixel.
IndexedImage Remap(const Image& image, const Palette6& palette, int paletteSize, const QuantizeOptions& options = {});

// 6-bit component to 8 bits by bit replication (how the previews show a palette).
inline uint8_t Expand6(uint8_t v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

// 8-bit component to the nearest 6-bit value.
inline uint8_t To6(uint8_t v) { return static_cast<uint8_t>((v * 63 + 127) / 255); }

// True if the RGB565 texel of `c` (r >> 1, g, b >> 1) is zero, i.e. it would match a black key.
inline bool IsBlackIn565(Rgb6 c) { return (c.r >> 1) == 0 && c.g == 0 && (c.b >> 1) == 0; }

// The indices as an RGBA picture through the palette; with kTransparent255 or kKeyBlack0 the
// reserved index shows as alpha 0.
Image ToImage(const IndexedImage& indexed, Reserve reserve = Reserve::kNone);

}  // namespace mkdata
