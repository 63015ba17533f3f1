// The space scene's pictures: "space.cel" (the starfield behind the planet), "sun.cel",
// "flare.cel", "glow.cel" and "clouds.cel" (lights, added to the screen) and "white.cel" (the
// white overlay, which the cartoon also loads as a paletted texture). The temple draws "flare.cel"
// and "glow.cel" too.
//
// Every picture is first drawn as light: the amount each texel adds to the screen, 0 ... 1 per
// channel. The glow loader turns a texel into 4-bit components with alpha = the brightest of them
// (doubled for "glow.cel" in the space scene), and the scenes add colour x alpha, so a glow texel
// of colour c gives light c * max(c): the pictures are converted back through that, then dithered
// onto the grid of values the texture really holds (4 bits per component for glows, 5-6-5 for the
// starfield), so gradients keep their average instead of breaking into bands.
#include "formats/Cel.h"
#include "music/Dsp.h"
#include "Generator.h"
#include "kit/Image.h"
#include "kit/Procedural.h"
#include "kit/Quantize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <vector>

namespace mkdata {
namespace {

constexpr double kPi = std::numbers::pi;

using Light = Rgb;  // light energy, channels from 0 up

// A square picture of light, rows top to bottom.
struct LightMap {
  int side;
  std::vector<Light> texels;
  explicit LightMap(int s) : side(s), texels(static_cast<size_t>(s) * static_cast<size_t>(s)) {}
  Light& At(int x, int y) { return texels[static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)]; }
};

// Fills `map` with f(u, v), where (u, v) is the texel centre relative to the picture's centre in
// units of half the side (so the inscribed circle is radius 1), averaged over 3 x 3 samples.
template <typename F>
LightMap Radial(int side, F f) {
  LightMap map(side);
  const double half = side / 2.0;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      Light sum;
      for (int sy = 0; sy < 3; ++sy) {
        for (int sx = 0; sx < 3; ++sx) {
          sum = sum + f((x + (sx + 0.5) / 3.0 - half) / half, (y + (sy + 0.5) / 3.0 - half) / half);
        }
      }
      map.At(x, y) = sum * (1.0 / 9.0);
    }
  }
  return map;
}

// The kit's lattice hash (the flames' mix) on a lattice that repeats every `periodX` cells across
// and `periodY` down, its low 24 bits as a value in 0 ... 1.
double LatticeValue(int x, int y, int periodX, int periodY, uint32_t seed) {
  const uint32_t h = LatticeHash((x % periodX + periodX) % periodX, (y % periodY + periodY) % periodY, seed, kFlameMix);
  return (h & 0xFFFFFFu) / 16777216.0;
}

// Value noise over it with the quintic fade 6t^5 - 15t^4 + 10t^3 (the kit's ValueNoise takes the
// cubic curve).
double ValueNoise(double x, double y, int periodX, int periodY, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const auto fade = [](double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
  const double u = fade(x - fx), v = fade(y - fy);
  const auto at = [&](int dx, int dy) { return LatticeValue(ix + dx, iy + dy, periodX, periodY, seed); };
  return (at(0, 0) * (1 - u) + at(1, 0) * u) * (1 - v) + (at(0, 1) * (1 - u) + at(1, 1) * u) * v;
}

// Octaves of value noise over the unit square, tiling with period 1: `cellsX` x `cellsY` lattice
// cells for the first octave, twice as many each way for each next one at half the weight. About
// 0 ... 1.
double Fbm(double u, double v, int cellsX, int cellsY, int octaves, uint32_t seed) {
  double sum = 0.0, weight = 0.5, total = 0.0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * ValueNoise(u * cellsX, v * cellsY, cellsX, cellsY, seed + static_cast<uint32_t>(o) * 101u);
    total += weight;
    cellsX *= 2;
    cellsY *= 2;
    weight *= 0.5;
  }
  return sum / total;
}
double Fbm(double u, double v, int cells, int octaves, uint32_t seed) { return Fbm(u, v, cells, cells, octaves, seed); }

// ---------------------------------------------------------------------------------------------
// From light to CEL.

using Rgb = std::array<double, 3>;

// Serpentine Floyd-Steinberg error diffusion over a square picture of colours 0 ... 1. `pick`
// turns a wanted colour into {the id of a colour the texture can hold, that colour}; the result is
// the id of every texel. A texel whose light is exactly zero takes `blackId` and swallows the
// error handed to it, so dark ground stays black instead of collecting scattered specks.
template <typename Pick>
std::vector<int> Diffuse(const std::vector<Rgb>& target, int side, int blackId, Pick pick) {
  std::vector<int> ids(target.size());
  const size_t w = static_cast<size_t>(side);
  std::vector<Rgb> current(w + 2), below(w + 2);  // errors, one column of padding each side
  for (size_t y = 0; y < w; ++y) {
    std::fill(below.begin(), below.end(), Rgb{});
    const bool forward = y % 2 == 0;
    for (size_t i = 0; i < w; ++i) {
      const size_t x = forward ? i : w - 1 - i;
      const size_t at = y * w + x, e = x + 1, ahead = forward ? e + 1 : e - 1, behind = forward ? e - 1 : e + 1;
      const Rgb& want = target[at];
      if (want[0] <= 0.0 && want[1] <= 0.0 && want[2] <= 0.0) {
        ids[at] = blackId;
        continue;
      }
      Rgb value;
      for (size_t c = 0; c < 3; ++c) value[c] = std::clamp(want[c] + current[e][c], 0.0, 1.0);
      const auto [id, held] = pick(value);
      ids[at] = id;
      for (size_t c = 0; c < 3; ++c) {
        const double error = value[c] - held[c];
        current[ahead][c] += error * (7.0 / 16.0);
        below[behind][c] += error * (3.0 / 16.0);
        below[e][c] += error * (5.0 / 16.0);
        below[ahead][c] += error * (1.0 / 16.0);
      }
    }
    std::swap(current, below);
  }
  return ids;
}

// How a texture holds colour: the number of levels of each channel, and the 6-bit CEL component
// that loads back as a given level.
struct Grid {
  std::array<int, 3> levels;
  uint8_t (*toSix)(int level, int channel);

  using Levels = std::array<int, 3>;
  Rgb Colour(const Levels& l) const {
    return {l[0] / (levels[0] - 1.0), l[1] / (levels[1] - 1.0), l[2] / (levels[2] - 1.0)};
  }
  Levels Nearest(const Rgb& c) const {
    Levels l;
    for (size_t k = 0; k < 3; ++k) l[k] = static_cast<int>(std::lround(std::clamp(c[k], 0.0, 1.0) * (levels[k] - 1)));
    return l;
  }
  int Id(const Levels& l) const { return (l[0] * levels[1] + l[1]) * levels[2] + l[2]; }
  Levels FromId(int id) const { return {id / (levels[1] * levels[2]), id / levels[2] % levels[1], id % levels[2]}; }
};

// 4-bit level L as the 6-bit component L L/4: its top four bits are L, it previews as L * 17.
constexpr Grid kGlowGrid{{16, 16, 16}, [](int level, int) { return static_cast<uint8_t>(level << 2 | level >> 2); }};
// RGB565 keeps the top five bits of red and blue and all six of green; green is held to five bits
// as well, or a dark grey whose red and blue round to 0 would show as a green speck.
constexpr Grid kRgb565Grid{{32, 32, 32}, [](int level, int) { return static_cast<uint8_t>(level << 1 | level >> 4); }};

// `colour` as a CEL picture whose palette holds only colours of `grid`, black first. Each texel
// is dithered onto the whole grid; when that uses more colours than a palette holds, libimagequant
// picks 255 for the picture, they are moved onto the grid, and the texels are dithered onto those
// (and black) instead.
std::optional<IndexedImage> GridCel(const std::vector<Rgb>& colour, int side, const Grid& grid) {
  std::vector<int> ids = Diffuse(colour, side, 0, [&](const Rgb& c) {
    const Grid::Levels l = grid.Nearest(c);
    return std::pair{grid.Id(l), grid.Colour(l)};
  });
  std::vector<int> entries{0};  // grid ids, black first
  for (int id : ids) {
    if (std::find(entries.begin(), entries.end(), id) == entries.end()) entries.push_back(id);
    if (entries.size() > 256) break;
  }
  if (entries.size() > 256) {
    Image picture(side, side);
    for (size_t i = 0; i < colour.size(); ++i) {
      const auto byte = [&](size_t c) { return static_cast<uint8_t>(std::lround(std::clamp(colour[i][c], 0.0, 1.0) * 255.0)); };
      picture.pixels[i] = {byte(0), byte(1), byte(2), 255};
    }
    const auto chosen = Quantize(picture, {.maxColors = 255});
    if (!chosen) return std::nullopt;
    entries.assign(1, 0);
    for (int i = 0; i < chosen->colors; ++i) {
      const Rgb6 c = chosen->palette[static_cast<size_t>(i)];
      const int id = grid.Id(grid.Nearest({c.r / 63.0, c.g / 63.0, c.b / 63.0}));
      if (std::find(entries.begin(), entries.end(), id) == entries.end()) entries.push_back(id);
    }
    ids = Diffuse(colour, side, 0, [&](const Rgb& c) {
      int best = 0;
      double bestDistance = 1e30;
      for (int id : entries) {
        const Rgb held = grid.Colour(grid.FromId(id));
        const double dr = c[0] - held[0], dg = c[1] - held[1], db = c[2] - held[2];
        const double distance = 2.0 * dr * dr + 4.0 * dg * dg + 3.0 * db * db;  // weighted like the eye
        if (distance < bestDistance) bestDistance = distance, best = id;
      }
      return std::pair{best, grid.Colour(grid.FromId(best))};
    });
  }
  IndexedImage image;
  image.width = image.height = side;
  image.colors = static_cast<int>(entries.size());
  std::map<int, uint8_t> indexOf;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Grid::Levels l = grid.FromId(entries[i]);
    image.palette[i] = {grid.toSix(l[0], 0), grid.toSix(l[1], 1), grid.toSix(l[2], 2)};
    indexOf[entries[i]] = static_cast<uint8_t>(i);
  }
  image.indices.reserve(ids.size());
  for (int id : ids) image.indices.push_back(indexOf.at(id));
  return image;
}

// A glow picture (loaded as 4-bit components, alpha the brightest): the texel colour c whose
// c * alpha is the wanted light, with alpha = max(c), or min(2 max(c), 1) when the loader doubles
// it.
std::optional<IndexedImage> GlowCel(const LightMap& light, bool doubledAlpha) {
  std::vector<Rgb> colour(light.texels.size());
  for (size_t i = 0; i < light.texels.size(); ++i) {
    const Light e = light.texels[i];
    const double m = std::min(MaxChannel(e), 1.0);
    if (m <= 0.0) continue;
    const double peak = doubledAlpha ? (m >= 0.5 ? m : std::sqrt(m / 2.0)) : std::sqrt(m);
    const double k = peak / MaxChannel(e);
    colour[i] = {std::clamp(e.r * k, 0.0, 1.0), std::clamp(e.g * k, 0.0, 1.0), std::clamp(e.b * k, 0.0, 1.0)};
  }
  return GridCel(colour, light.side, kGlowGrid);
}

// An opaque picture loaded as RGB565.
std::optional<IndexedImage> Rgb565Cel(const LightMap& light) {
  std::vector<Rgb> colour(light.texels.size());
  for (size_t i = 0; i < light.texels.size(); ++i) {
    const Light e = light.texels[i];
    colour[i] = {std::clamp(e.r, 0.0, 1.0), std::clamp(e.g, 0.0, 1.0), std::clamp(e.b, 0.0, 1.0)};
  }
  return GridCel(colour, light.side, kRgb565Grid);
}

bool Write(Output& out, const char* name, const std::optional<IndexedImage>& image) {
  return image && WriteCel(out, name, *image);
}

// ---------------------------------------------------------------------------------------------
// The pictures.

// The starfield: drawn over the whole 640 x 480 screen from 256 x 256 texels, so a texel is 2.5
// pixels wide and 1.875 high; stars are shaped in screen pixels to stay round.
constexpr double kPixelsPerTexelX = 640.0 / 256.0;
constexpr double kPixelsPerTexelY = 480.0 / 256.0;

struct Star {
  double x, y;  // texel units
  double brightness;
  double sigma;  // core width in screen pixels
  Light colour;
  double spike;  // length of the four diffraction spikes in screen pixels, 0 for none
};

// Colour temperature of a star: blue-white to red, weighted towards white.
Light StarColour(double u) {
  if (u < 0.30) return {0.68, 0.80, 1.0};
  if (u < 0.70) return {0.94, 0.96, 1.0};
  if (u < 0.88) return {1.0, 0.93, 0.78};
  if (u < 0.97) return {1.0, 0.78, 0.55};
  return {1.0, 0.58, 0.45};
}

// The milky band the nebula and most stars follow: a soft diagonal from the lower left to the upper
// right, gently curved. 1 on its spine, 0 far from it.
double Band(double u, double v) {
  const double across = (v - 0.5) + (u - 0.5) * 0.62 - 0.07 * std::sin(u * 2.0 * kPi);
  return std::exp(-across * across / (2.0 * 0.16 * 0.16));
}

void AddStar(LightMap& map, const Star& s) {
  const double reach = std::max(s.sigma * 3.5, s.spike) / kPixelsPerTexelY + 1.0;
  const int x0 = std::max(1, static_cast<int>(std::floor(s.x - reach)));
  const int x1 = std::min(map.side - 2, static_cast<int>(std::ceil(s.x + reach)));
  const int y0 = std::max(1, static_cast<int>(std::floor(s.y - reach)));
  const int y1 = std::min(map.side - 2, static_cast<int>(std::ceil(s.y + reach)));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      double sum = 0.0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double dx = (x + (sx + 0.5) / 4.0 - s.x) * kPixelsPerTexelX;
          const double dy = (y + (sy + 0.5) / 4.0 - s.y) * kPixelsPerTexelY;
          const double d2 = dx * dx + dy * dy;
          double v = std::exp(-d2 / (2.0 * s.sigma * s.sigma));
          if (s.spike > 0.0) {
            v += 0.22 * std::exp(-std::sqrt(d2) / (s.sigma * 2.5));  // halo
            const double along = std::max(std::fabs(dx), std::fabs(dy)), across = std::min(std::fabs(dx), std::fabs(dy));
            v += 0.7 * std::exp(-across * across / (2.0 * 0.45 * 0.45)) * std::pow(std::max(0.0, 1.0 - along / s.spike), 2.0);
          }
          sum += v;
        }
      }
      map.At(x, y) = map.At(x, y) + s.colour * (s.brightness * sum / 16.0);
    }
  }
}

LightMap SpaceLight() {
  constexpr int kSide = 256;
  LightMap map(kSide);
  // Nebula: two emission layers (crimson-magenta and blue) of warped noise along the band, with
  // darker dust lanes; both cut off well above zero so the sky between stays black.
  const Light magenta{0.95, 0.22, 0.70}, blue{0.25, 0.36, 1.0};
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const double u = (x + 0.5) / kSide, v = (y + 0.5) / kSide;
      const double wu = u + 0.09 * (Fbm(u, v, 4, 3, 11) - 0.5), wv = v + 0.09 * (Fbm(u, v, 4, 3, 13) - 0.5);
      const double band = Band(wu, wv);
      const double gas = Fbm(wu, wv, 4, 6, 17);
      const double gas2 = Fbm(wu + 0.31, wv + 0.17, 8, 5, 19);
      const double dust = Smoothstep(0.50, 0.62, Fbm(wu, wv, 8, 5, 23));
      const double a = std::max(0.0, gas * (0.45 + 0.85 * band) - 0.52) * (1.0 - 0.75 * dust);
      const double b = std::max(0.0, gas2 * (0.35 + 0.9 * band) - 0.55) * (1.0 - 0.6 * dust);
      map.At(x, y) = magenta * (a * 0.26) + blue * (b * 0.28);
    }
  }
  dsp::Rng rng(0x5eaceu);
  // A star's place: uniform, or drawn towards the band; `margin` texels from the edges.
  const auto place = [&](double bandWeight, double margin) {
    for (;;) {
      const double x = margin + rng.Unit() * (kSide - 2.0 * margin), y = margin + rng.Unit() * (kSide - 2.0 * margin);
      if (rng.Unit() < (1.0 - bandWeight) + bandWeight * Band(x / kSide, y / kSide)) return std::array<double, 2>{x, y};
    }
  };
  for (int i = 0; i < 650; ++i) {  // dust of faint stars, their colour barely showing
    const auto p = place(0.6, 2.0);
    const double u = rng.Unit();
    AddStar(map, {p[0], p[1], 0.07 + 0.25 * u * u, 0.95, Mix(StarColour(rng.Unit()), Light{1.0, 1.0, 1.0}, 0.5), 0.0});
  }
  for (int i = 0; i < 70; ++i) {  // clear, middling stars
    const auto p = place(0.45, 2.0);
    AddStar(map, {p[0], p[1], 0.4 + 0.55 * rng.Unit(), 1.2, StarColour(rng.Unit()), 0.0});
  }
  for (int i = 0; i < 10; ++i) {  // a few bright ones with spikes
    const auto p = place(0.3, 16.0);
    AddStar(map, {p[0], p[1], 1.0, 1.6 + 0.6 * rng.Unit(), StarColour(rng.Unit() * 0.85), 9.0 + 12.0 * rng.Unit()});
  }
  return map;
}

// The sun: a white-hot disc with a hot rim, a golden inner corona crossed by thin rays of
// different lengths, and a wide orange-red outer corona that fades out before the edge of the
// square.
LightMap SunLight() {
  constexpr double kDisc = 0.17;  // disc radius, of the half side
  struct Ray {
    double angle, width, length, strength;
  };
  std::vector<Ray> rays;
  dsp::Rng rng(0x50a2u);
  for (int i = 0; i < 26; ++i) {
    const double angle = (i + 0.8 * rng.Unit()) * 2.0 * kPi / 26.0;
    // Every third ray reaches far, so long rays stand all round the disc.
    const double reach = i % 3 == 0 ? 0.6 + 0.4 * rng.Unit() : 0.5 * rng.Unit();
    rays.push_back({angle, 0.010 + 0.028 * rng.Unit(), 0.07 + 0.38 * reach * reach, 0.3 + 0.5 * rng.Unit()});
  }
  return Radial(256, [&](double u, double v) {
    const double r = std::hypot(u, v);
    if (r < kDisc) {
      const double limb = r / kDisc;
      return Mix(Light{1.0, 1.0, 1.0}, Light{1.0, 0.96, 0.80}, limb * limb * limb);
    }
    const double d = r - kDisc;
    const double a = std::atan2(v, u);
    double rayLight = 0.0;
    for (const Ray& ray : rays) {
      const double da = std::remainder(a - ray.angle, 2.0 * kPi);
      if (std::fabs(da) > 5.0 * ray.width) continue;
      rayLight += ray.strength * std::exp(-da * da / (2.0 * ray.width * ray.width)) * std::exp(-d / ray.length);
    }
    const Light rim{1.0, 0.95, 0.75}, gold{1.0, 0.78, 0.30}, orange{1.0, 0.42, 0.08};
    const Light light = rim * (0.9 * std::exp(-d / 0.018)) + gold * (0.75 * std::exp(-d / 0.06) + 0.5 * rayLight) +
                        orange * (0.42 * std::exp(-d / 0.22));
    return light * (1.0 - Smoothstep(0.6, 0.97, r));
  });
}

// A lens flare: a thin ring split into a faint rainbow (red outside, blue inside), a small hot
// centre, and three soft streaks through the centre, each its own length and tint.
LightMap FlareLight() {
  struct Streak {
    double angle, length, peak;
    Light tint;
  };
  static const Streak kStreaks[] = {
      {0.35, 0.92, 1.0, {0.75, 0.88, 1.0}},
      {1.45, 0.70, 0.8, {1.0, 0.86, 0.62}},
      {2.45, 0.82, 0.9, {1.0, 0.72, 0.92}},
  };
  constexpr double kRing = 0.84, kRingWidth = 0.03;
  return Radial(128, [](double u, double v) {
    const double r = std::hypot(u, v);
    const auto ring = [&](double at) { return std::exp(-(r - at) * (r - at) / (2.0 * kRingWidth * kRingWidth)); };
    Light light{ring(kRing + 0.018), ring(kRing), ring(kRing - 0.018) * 0.95};
    light = light + Light{0.9, 0.95, 1.0} * (1.0 * std::exp(-r * r / (2.0 * 0.07 * 0.07)));
    light = light + Light{0.6, 0.75, 1.0} * (0.18 * std::exp(-r / 0.18));
    for (const Streak& s : kStreaks) {
      const double along = u * std::cos(s.angle) + v * std::sin(s.angle);
      const double across = -u * std::sin(s.angle) + v * std::cos(s.angle);
      const double width = 0.022 + 0.02 * std::fabs(along);
      const double fall = std::pow(std::max(0.0, 1.0 - std::fabs(along) / s.length), 1.6);
      light = light + s.tint * (s.peak * fall * std::exp(-across * across / (2.0 * width * width)));
    }
    return light * (1.0 - Smoothstep(0.88, 0.95, r));
  });
}

// A round soft glow: full light only at the very centre, a white core melting into a wide cream
// and peach halo that fades to nothing at the inscribed circle.
LightMap GlowLight() {
  return Radial(256, [](double u, double v) {
    const double r = std::hypot(u, v);
    const double core = 0.5 * std::exp(-r * r / (2.0 * 0.08 * 0.08));
    const double halo = 0.6 * std::exp(-r * r / (2.0 * 0.25 * 0.25)) + 0.25 * std::exp(-r / 0.3);
    const double fade = std::pow(std::max(0.0, 1.0 - r * r / (0.96 * 0.96)), 2.0);
    const Light cream{1.0, 0.92, 0.78}, peach{1.0, 0.68, 0.42};
    return Light{1.0, 1.0, 1.0} * core + Mix(cream, peach, Smoothstep(0.05, 0.7, r)) * (halo * fade);
  });
}

// Wispy clouds: long thin streaks of warped noise broken into strands, white on black; the
// picture tiles.
LightMap CloudLight() {
  constexpr int kSide = 128;
  LightMap map(kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const double u = (x + 0.5) / kSide, v = (y + 0.5) / kSide;
      const double wu = u + 0.22 * (Fbm(u, v, 2, 4, 31) - 0.5);
      const double wv = v + 0.22 * (Fbm(u, v, 2, 4, 37) - 0.5);
      // Streaks four times as long as they are high, curled by the warp, cut off softly so that
      // most of the picture stays black; finer noise breaks them into strands.
      const double streaks = Smoothstep(0.45, 0.72, Fbm(wu, wv, 2, 8, 6, 41));
      const double strands = 0.5 + 0.5 * Smoothstep(0.3, 0.7, Fbm(wu, wv, 4, 24, 4, 43));
      map.At(x, y) = Light{0.94, 0.97, 1.0} * (streaks * streaks * strands);
    }
  }
  return map;
}

// Plain white, index 255 everywhere and every palette entry white: white through its own palette,
// and the top entry of a paletted ramp when loaded as indices.
IndexedImage White() {
  IndexedImage image;
  image.width = image.height = 8;
  image.colors = 256;
  image.palette.fill(Rgb6{63, 63, 63});
  image.indices.assign(64, 255);
  return image;
}

bool WriteSpaceImages(Output& out) {
  return Write(out, "space.cel", Rgb565Cel(SpaceLight())) && Write(out, "sun.cel", GlowCel(SunLight(), false)) &&
         Write(out, "flare.cel", GlowCel(FlareLight(), false)) && Write(out, "glow.cel", GlowCel(GlowLight(), true)) &&
         Write(out, "clouds.cel", GlowCel(CloudLight(), false)) && WriteCel(out, "white.cel", White());
}

}  // namespace

MKDATA_GENERATOR("space", WriteSpaceImages);

}  // namespace mkdata
