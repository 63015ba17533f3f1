// "red.cel", "grn.cel", "blue.cel": the temple scene's three coloured lights. Each is a soft round
// blob of light with a white-hot core, black at its rim so that the square it is drawn on never
// shows. The scene loads them as glow textures (4-bit components, alpha = the brightest one), so
// the picture is made directly in 4-bit steps, error-diffused so that the halo falls off without
// rings, and written with a palette of exactly the colours it uses.
#include "images/TempleLights.h"

#include "formats/Cel.h"
#include "Generator.h"
#include "kit/Procedural.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace mkdata {

namespace {

constexpr int kSide = 128;
constexpr double kRim = 0.96;  // radius (1 = the edge's middle) from which the blob is black

// The light's colour at radius r: a white core, the hue's glow around it, tapering to black
// before the rim. The scene scales a texel by its own alpha again when it adds it, so the glow is
// kept broad here.
Rgb Light(const Rgb& hue, double r) {
  if (r >= kRim) return {0.0, 0.0, 0.0};
  const double taper = 1.0 - std::pow(std::clamp((r - 0.55) / (kRim - 0.55), 0.0, 1.0), 2.0);
  const double glow = (0.8 * std::exp(-std::pow(r / 0.42, 2.0)) + 0.35 * std::exp(-std::pow(r / 0.75, 2.0))) * taper;
  const double core = 0.95 * std::exp(-std::pow(r / 0.13, 2.0));
  return {hue.r * glow + core, hue.g * glow + core, hue.b * glow + core};
}

}  // namespace

std::optional<IndexedImage> MakeLightBlob(double hueR, double hueG, double hueB) {
  const Rgb hue{hueR, hueG, hueB};
  // Light in 4-bit units, averaged over 4 x 4 samples per pixel.
  std::vector<double> light(static_cast<size_t>(kSide) * kSide * 3);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      Rgb sum{0.0, 0.0, 0.0};
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double u = (x + (sx + 0.5) / 4.0 - kSide / 2.0) / (kSide / 2.0);
          const double v = (y + (sy + 0.5) / 4.0 - kSide / 2.0) / (kSide / 2.0);
          const Rgb c = Light(hue, std::sqrt(u * u + v * v));
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
        }
      }
      double* p = &light[(static_cast<size_t>(y) * kSide + x) * 3];
      p[0] = std::min(sum.r / 16.0, 1.0) * 15.0;
      p[1] = std::min(sum.g / 16.0, 1.0) * 15.0;
      p[2] = std::min(sum.b / 16.0, 1.0) * 15.0;
    }
  }
  // Floyd-Steinberg to whole 4-bit steps, channel by channel; nothing spreads onto black texels,
  // so the rim stays black.
  std::vector<uint8_t> levels(light.size());
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      for (int c = 0; c < 3; ++c) {
        const size_t at = (static_cast<size_t>(y) * kSide + x) * 3 + c;
        const double value = std::clamp(light[at], 0.0, 15.0);
        const double level = std::round(value);
        levels[at] = static_cast<uint8_t>(level);
        const double error = value - level;
        auto spread = [&](int dx, int dy, double weight) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || nx >= kSide || ny >= kSide) return;
          double& target = light[(static_cast<size_t>(ny) * kSide + nx) * 3 + c];
          if (target > 0.0) target += error * weight;
        };
        spread(1, 0, 7.0 / 16.0);
        spread(-1, 1, 3.0 / 16.0);
        spread(0, 1, 5.0 / 16.0);
        spread(1, 1, 1.0 / 16.0);
      }
    }
  }
  // The palette: entry 0 black, then every 4-bit colour used, as 6-bit components whose top four
  // bits are the level (the loader keeps those).
  IndexedImage image;
  image.width = image.height = kSide;
  std::map<int, uint8_t> entries{{0, 0}};
  image.indices.resize(static_cast<size_t>(kSide) * kSide);
  for (size_t i = 0; i < image.indices.size(); ++i) {
    const int key = levels[3 * i] << 8 | levels[3 * i + 1] << 4 | levels[3 * i + 2];
    auto found = entries.find(key);
    if (found == entries.end()) {
      if (entries.size() == 256) {
        std::fprintf(stderr, "mkdata: a light blob needs more than 256 colours\n");
        return std::nullopt;
      }
      found = entries.emplace(key, static_cast<uint8_t>(entries.size())).first;
    }
    image.indices[i] = found->second;
  }
  auto six = [](int level) { return static_cast<uint8_t>(level << 2 | level >> 2); };
  for (const auto& [key, index] : entries) {
    image.palette[index] = {six(key >> 8), six(key >> 4 & 15), six(key & 15)};
  }
  image.colors = static_cast<int>(entries.size());
  return image;
}

namespace {

bool WriteTempleLights(Output& out) {
  const struct {
    const char* name;
    double r, g, b;
  } lights[] = {{"red.cel", 1.0, 0.16, 0.06}, {"grn.cel", 0.2, 1.0, 0.22}, {"blue.cel", 0.16, 0.38, 1.0}};
  for (const auto& light : lights) {
    const auto image = MakeLightBlob(light.r, light.g, light.b);
    if (!image || !WriteCel(out, light.name, *image)) return false;
  }
  return true;
}

}  // namespace

}  // namespace mkdata

MKDATA_GENERATOR("templelights", mkdata::WriteTempleLights);
