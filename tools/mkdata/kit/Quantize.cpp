#include "kit/Quantize.h"

#include <libimagequant.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

namespace mkdata {

namespace {

int ReservedIndex(Reserve reserve) { return reserve == Reserve::kKeyBlack0 ? 0 : 255; }

bool IsReservedPixel(const Rgba8& p, const QuantizeOptions& options) {
  return options.reserve != Reserve::kNone && p.a < options.alphaThreshold;
}

// Keyed textures must not lose an opaque pixel to the key: lift such entries by one green step.
void KeepOffKey(IndexedImage& indexed, Reserve reserve) {
  if (reserve != Reserve::kKeyBlack0) return;
  for (int i = 1; i < 256; ++i) {
    if (i < indexed.colors && IsBlackIn565(indexed.palette[static_cast<size_t>(i)])) indexed.palette[static_cast<size_t>(i)].g = 1;
  }
}

// The non-reserved palette entry nearest to (r, g, b) in 8-bit space.
int Nearest(const float (&rgb)[3], const std::vector<std::array<float, 3>>& expanded, int skip) {
  int best = -1;
  float bestDistance = std::numeric_limits<float>::max();
  for (int i = 0; i < static_cast<int>(expanded.size()); ++i) {
    if (i == skip) continue;
    const auto& c = expanded[static_cast<size_t>(i)];
    const float dr = rgb[0] - c[0];
    const float dg = rgb[1] - c[1];
    const float db = rgb[2] - c[2];
    // Weights close to the eye's sensitivity, so that greens are matched more closely.
    const float distance = 2.0f * dr * dr + 4.0f * dg * dg + 3.0f * db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

struct LiqDeleter {
  void operator()(liq_attr* p) const { liq_attr_destroy(p); }
  void operator()(liq_image* p) const { liq_image_destroy(p); }
  void operator()(liq_result* p) const { liq_result_destroy(p); }
};

std::vector<std::array<float, 3>> ExpandPalette(const Palette6& palette, int count) {
  std::vector<std::array<float, 3>> expanded;
  for (int k = 0; k < count; ++k) {
    const Rgb6 c = palette[static_cast<size_t>(k)];
    expanded.push_back({float(Expand6(c.r)), float(Expand6(c.g)), float(Expand6(c.b))});
  }
  return expanded;
}

// libimagequant's palette (8-bit, posterised to 6 bits) and its dithered indices into it.
struct LiqQuantized {
  std::vector<liq_color> palette;
  std::vector<uint8_t> indices;
};

std::optional<LiqQuantized> RunLibImageQuant(std::vector<Rgba8>& input, int width, int height, int maxColors,
                                             const QuantizeOptions& options) {
  std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
  liq_set_max_colors(attr.get(), maxColors);
  liq_set_min_posterization(attr.get(), 2);  // 6-bit components: the low two bits are dropped
  liq_set_speed(attr.get(), std::clamp(options.speed, 1, 10));
  std::unique_ptr<liq_image, LiqDeleter> image(liq_image_create_rgba(attr.get(), input.data(), width, height, 0));
  liq_result* rawResult = nullptr;
  if (!image || liq_image_quantize(image.get(), attr.get(), &rawResult) != LIQ_OK) {
    std::fprintf(stderr, "mkdata: libimagequant cannot quantise a %dx%d picture\n", width, height);
    return std::nullopt;
  }
  std::unique_ptr<liq_result, LiqDeleter> result(rawResult);
  liq_set_dithering_level(result.get(), std::clamp(options.dither, 0.0f, 1.0f));
  LiqQuantized out;
  out.indices.resize(input.size());
  if (liq_write_remapped_image(result.get(), image.get(), out.indices.data(), out.indices.size()) != LIQ_OK) {
    std::fprintf(stderr, "mkdata: libimagequant cannot map a %dx%d picture\n", width, height);
    return std::nullopt;
  }
  const liq_palette* palette = liq_get_palette(result.get());
  out.palette.assign(palette->entries, palette->entries + palette->count);
  return out;
}

}  // namespace

std::optional<IndexedImage> Quantize(const Image& image, const QuantizeOptions& options) {
  const bool reserving = options.reserve != Reserve::kNone;
  // CEL pixels have no alpha: without a reservation everything is opaque; with one, alpha is
  // either transparent (one shared colour) or opaque, so no palette entry is half transparent.
  std::vector<Rgba8> input(image.pixels);
  bool anyTransparent = false;
  for (auto& p : input) {
    if (IsReservedPixel(p, options)) {
      p = {0, 0, 0, 0};
      anyTransparent = true;
    } else {
      p.a = 255;
    }
  }
  const int opaqueColors = std::clamp(options.maxColors - (reserving ? 1 : 0), 2, reserving ? 255 : 256);
  auto liq = RunLibImageQuant(input, image.width, image.height, opaqueColors + (anyTransparent ? 1 : 0), options);
  if (!liq) return std::nullopt;

  // Opaque entries fill the slots around the reserved one, in libimagequant's order.
  IndexedImage indexed;
  indexed.width = image.width;
  indexed.height = image.height;
  const int reserved = reserving ? ReservedIndex(options.reserve) : -1;
  int next = options.reserve == Reserve::kKeyBlack0 ? 1 : 0;
  std::array<int, 256> slotOf{};
  for (size_t i = 0; i < liq->palette.size(); ++i) {
    const liq_color c = liq->palette[i];
    if (reserving && c.a < 128) {
      slotOf[i] = reserved;
      continue;
    }
    if (next > 255 || next == reserved) {
      std::fprintf(stderr, "mkdata: libimagequant returned more colours than asked for\n");
      return std::nullopt;
    }
    slotOf[i] = next;
    indexed.palette[static_cast<size_t>(next++)] = {static_cast<uint8_t>(c.r >> 2), static_cast<uint8_t>(c.g >> 2),
                                                     static_cast<uint8_t>(c.b >> 2)};
  }
  indexed.colors = reserving ? std::max(next, reserved + 1) : next;
  if (reserving) indexed.palette[static_cast<size_t>(reserved)] = {0, 0, 0};
  KeepOffKey(indexed, options.reserve);

  std::vector<std::array<float, 3>> expanded;
  indexed.indices.resize(input.size());
  for (size_t i = 0; i < input.size(); ++i) {
    int slot = slotOf[liq->indices[i]];
    if (IsReservedPixel(image.pixels[i], options)) {
      slot = reserved;
    } else if (slot == reserved) {
      // An opaque pixel that landed on the transparent entry: take the nearest opaque colour.
      if (expanded.empty()) expanded = ExpandPalette(indexed.palette, indexed.colors);
      const Rgba8 p = image.pixels[i];
      const float rgb[3] = {float(p.r), float(p.g), float(p.b)};
      slot = Nearest(rgb, expanded, reserved);
    }
    indexed.indices[i] = static_cast<uint8_t>(slot);
  }
  return indexed;
}

IndexedImage Remap(const Image& image, const Palette6& palette, int paletteSize, const QuantizeOptions& options) {
  const int size = std::clamp(paletteSize, 1, 256);
  const int reserved = options.reserve == Reserve::kNone ? -1 : ReservedIndex(options.reserve);
  const std::vector<std::array<float, 3>> expanded = ExpandPalette(palette, size);
  IndexedImage indexed;
  indexed.width = image.width;
  indexed.height = image.height;
  indexed.palette = palette;
  indexed.colors = size;
  indexed.indices.resize(image.pixels.size());

  const float dither = std::clamp(options.dither, 0.0f, 1.0f);
  const int w = image.width;
  // Floyd-Steinberg error rows with one column of padding on each side.
  std::vector<std::array<float, 3>> current(static_cast<size_t>(w) + 2), below(static_cast<size_t>(w) + 2);
  for (int y = 0; y < image.height; ++y) {
    std::fill(below.begin(), below.end(), std::array<float, 3>{0.0f, 0.0f, 0.0f});
    for (int x = 0; x < w; ++x) {
      const Rgba8 p = image.At(x, y);
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      if (IsReservedPixel(p, options)) {
        indexed.indices[at] = static_cast<uint8_t>(reserved);
        continue;
      }
      const auto& err = current[static_cast<size_t>(x) + 1];
      const float rgb[3] = {std::clamp(p.r + dither * err[0], 0.0f, 255.0f), std::clamp(p.g + dither * err[1], 0.0f, 255.0f),
                            std::clamp(p.b + dither * err[2], 0.0f, 255.0f)};
      const int chosen = Nearest(rgb, expanded, reserved);
      indexed.indices[at] = static_cast<uint8_t>(chosen);
      for (int c = 0; c < 3; ++c) {
        const float e = rgb[c] - expanded[static_cast<size_t>(chosen)][static_cast<size_t>(c)];
        current[static_cast<size_t>(x) + 2][static_cast<size_t>(c)] += e * (7.0f / 16.0f);
        below[static_cast<size_t>(x)][static_cast<size_t>(c)] += e * (3.0f / 16.0f);
        below[static_cast<size_t>(x) + 1][static_cast<size_t>(c)] += e * (5.0f / 16.0f);
        below[static_cast<size_t>(x) + 2][static_cast<size_t>(c)] += e * (1.0f / 16.0f);
      }
    }
    std::swap(current, below);
  }
  return indexed;
}

Image ToImage(const IndexedImage& indexed, Reserve reserve) {
  Image image(indexed.width, indexed.height);
  const int reserved = reserve == Reserve::kNone ? -1 : ReservedIndex(reserve);
  for (size_t i = 0; i < indexed.indices.size(); ++i) {
    const int index = indexed.indices[i];
    const Rgb6 c = indexed.palette[static_cast<size_t>(index)];
    image.pixels[i] = {Expand6(c.r), Expand6(c.g), Expand6(c.b), static_cast<uint8_t>(index == reserved ? 0 : 255)};
  }
  return image;
}

}  // namespace mkdata
