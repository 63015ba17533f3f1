// celtopng: previews of generated images, for looking at them.
//   celtopng IN.cel OUT.png [--sprite | --key] [--pal P.pal]
//       the CEL through its own palette, or through a PAL file (as paletted textures are shown);
//       --sprite shows index 255 as transparent, --key index 0.
//   celtopng --fractal fractal.dat fractal.pal OUT.png
//       the 20 frames of 128 x 128 in a 5 x 4 sheet.
#include "formats/Cel.h"
#include "kit/Image.h"
#include "kit/Quantize.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<std::vector<uint8_t>> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "celtopng: cannot open %s\n", path);
    return std::nullopt;
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// A PAL file as 8-bit colours, the way the program's palette loader reads it.
std::optional<std::vector<mkdata::Rgba8>> ReadPal(const char* path) {
  auto bytes = ReadFile(path);
  if (!bytes) return std::nullopt;
  const bool sixBit = bytes->size() == mkdata::kPal6Bytes;
  const size_t offset = sixBit ? 0 : 8;
  if (bytes->size() < offset + 768) {
    std::fprintf(stderr, "celtopng: %s is too short for a palette\n", path);
    return std::nullopt;
  }
  std::vector<mkdata::Rgba8> colours(256);
  for (size_t i = 0; i < 256; ++i) {
    const auto c = [&](size_t k) { return static_cast<uint8_t>((*bytes)[offset + 3 * i + k] << (sixBit ? 2 : 0)); };
    colours[i] = {c(0), c(1), c(2), 255};
  }
  return colours;
}

int Fractal(const char* datPath, const char* palPath, const char* outPath) {
  auto dat = ReadFile(datPath);
  auto pal = ReadPal(palPath);
  if (!dat || !pal) return 1;
  constexpr int kSide = 128;
  constexpr int kFrames = 20;
  if (dat->size() != static_cast<size_t>(kFrames) * kSide * kSide) {
    std::fprintf(stderr, "celtopng: %s is %zu bytes, not 20 frames\n", datPath, dat->size());
    return 1;
  }
  mkdata::Image sheet(5 * kSide, 4 * kSide);
  for (int k = 0; k < kFrames; ++k) {
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const uint8_t index = (*dat)[static_cast<size_t>(k) * kSide * kSide + static_cast<size_t>(y) * kSide + x];
        sheet.At((k % 5) * kSide + x, (k / 5) * kSide + y) = (*pal)[index];
      }
    }
  }
  return mkdata::WritePng(outPath, sheet) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--fractal") == 0) return Fractal(argv[2], argv[3], argv[4]);
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: celtopng IN.cel OUT.png [--sprite | --key] [--pal P.pal]\n"
                 "       celtopng --fractal fractal.dat fractal.pal OUT.png\n");
    return 2;
  }
  mkdata::Reserve reserve = mkdata::Reserve::kNone;
  const char* palPath = nullptr;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sprite") == 0) reserve = mkdata::Reserve::kTransparent255;
    else if (std::strcmp(argv[i], "--key") == 0) reserve = mkdata::Reserve::kKeyBlack0;
    else if (std::strcmp(argv[i], "--pal") == 0 && i + 1 < argc) palPath = argv[++i];
    else {
      std::fprintf(stderr, "celtopng: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  auto bytes = ReadFile(argv[1]);
  if (!bytes) return 1;
  auto cel = mkdata::DecodeCel(*bytes);
  if (!cel) {
    std::fprintf(stderr, "celtopng: %s (%zu bytes) is not a CEL image size\n", argv[1], bytes->size());
    return 1;
  }
  mkdata::Image image = mkdata::ToImage(*cel, reserve);
  if (palPath) {
    auto pal = ReadPal(palPath);
    if (!pal) return 1;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
      const uint8_t alpha = image.pixels[i].a;
      image.pixels[i] = (*pal)[cel->indices[i]];
      image.pixels[i].a = alpha;
    }
  }
  return mkdata::WritePng(argv[2], image) ? 0 : 1;
}
