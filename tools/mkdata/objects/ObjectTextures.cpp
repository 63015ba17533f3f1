#include "objects/ObjectTextures.h"

#include "objects/Meshes.h"
#include "kit/Procedural.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace mkdata {

namespace {

constexpr double kPi = std::numbers::pi;

// Gradient noise in three dimensions (improved Perlin), deterministic through a fixed shuffle.
class Noise {
 public:
  explicit Noise(uint32_t seed) {
    for (int i = 0; i < 256; ++i) perm_[i] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i) {
      seed = seed * 1664525u + 1013904223u;
      std::swap(perm_[i], perm_[(seed >> 8) % static_cast<uint32_t>(i + 1)]);
    }
    for (int i = 0; i < 256; ++i) perm_[256 + i] = perm_[i];
  }

  // About -1 ... 1.
  double At(double x, double y, double z) const {
    const int xi = static_cast<int>(std::floor(x)) & 255, yi = static_cast<int>(std::floor(y)) & 255;
    const int zi = static_cast<int>(std::floor(z)) & 255;
    x -= std::floor(x), y -= std::floor(y), z -= std::floor(z);
    const double u = Fade(x), v = Fade(y), w = Fade(z);
    const int a = perm_[xi] + yi, aa = perm_[a] + zi, ab = perm_[a + 1] + zi;
    const int b = perm_[xi + 1] + yi, ba = perm_[b] + zi, bb = perm_[b + 1] + zi;
    return Lerp(w,
                Lerp(v, Lerp(u, Grad(perm_[aa], x, y, z), Grad(perm_[ba], x - 1, y, z)),
                     Lerp(u, Grad(perm_[ab], x, y - 1, z), Grad(perm_[bb], x - 1, y - 1, z))),
                Lerp(v, Lerp(u, Grad(perm_[aa + 1], x, y, z - 1), Grad(perm_[ba + 1], x - 1, y, z - 1)),
                     Lerp(u, Grad(perm_[ab + 1], x, y - 1, z - 1), Grad(perm_[bb + 1], x - 1, y - 1, z - 1))));
  }

  // Fractal sum of `octaves` layers, each twice the frequency and half the weight.
  double Fbm(Vec3 p, int octaves) const {
    double sum = 0, weight = 0.5, total = 0;
    for (int o = 0; o < octaves; ++o) {
      sum += weight * At(p.x, p.y, p.z);
      total += weight;
      p = p * 2.03 + Vec3{17.1, 3.7, 9.3};
      weight *= 0.5;
    }
    return sum / total;
  }

 private:
  static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
  static double Lerp(double t, double a, double b) { return a + t * (b - a); }
  static double Grad(int hash, double x, double y, double z) {
    const int h = hash & 15;
    const double u = h < 8 ? x : y, v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
  }
  std::array<uint8_t, 512> perm_{};
};

using Colour = Rgb;  // channels 0 ... 255
// Towards b by t, clamped to 0 ... 1.
Colour MixClamped(Colour a, Colour b, double t) { return Mix(a, b, std::clamp(t, 0.0, 1.0)); }
Rgba8 ToRgba(Colour c) {
  auto q = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  return {q(c.r), q(c.g), q(c.b), 255};
}

struct Stop {
  double at;
  Colour colour;
};
Colour Ramp(const std::vector<Stop>& stops, double t) {
  if (t <= stops.front().at) return stops.front().colour;
  for (size_t i = 1; i < stops.size(); ++i) {
    if (t <= stops[i].at) {
      return MixClamped(stops[i - 1].colour, stops[i].colour, (t - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
    }
  }
  return stops.back().colour;
}


// The direction on the unit sphere that texel (x, y) of a w x h longitude-latitude map shows:
// u runs round the z axis from +x towards +y, row 0 is the north pole.
Vec3 SphereDirection(int x, int y, int w, int h) {
  const double lon = 2 * kPi * (x + 0.5) / w;
  const double colat = kPi * y / (h - 1);
  return {std::sin(colat) * std::cos(lon), std::sin(colat) * std::sin(lon), std::cos(colat)};
}

Image VexolTexture() {
  // One column per material, 64 texels wide: brightness rises from the bottom row to the top, so
  // the figure's texture coordinates shade it by a fixed key light.
  // Dark through most of the range, so that only the parts turned to the light shine.
  const std::vector<Stop> ramps[kVexolMaterials] = {
      {{0.0, {2, 2, 14}}, {0.4, {10, 24, 80}}, {0.65, {26, 80, 166}}, {0.84, {76, 166, 228}},
       {0.94, {220, 238, 255}}, {1.0, {255, 255, 255}}},
      {{0.0, {16, 4, 0}}, {0.42, {110, 42, 4}}, {0.68, {218, 124, 18}}, {0.88, {255, 214, 110}},
       {1.0, {255, 255, 232}}},
      {{0.0, {4, 4, 8}}, {0.5, {32, 32, 46}}, {0.82, {104, 106, 128}}, {1.0, {226, 226, 240}}},
      {{0.0, {70, 140, 0}}, {0.5, {170, 255, 50}}, {1.0, {255, 255, 210}}}};
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int material = x / 64;
      const double t = 1.0 - y / 255.0;
      const double grain = 1.0 + 0.05 * std::sin((x % 64) * 0.42) * std::sin(y * 0.9);
      image.At(x, y) = ToRgba(Ramp(ramps[material], t) * grain);
    }
  }
  return image;
}

Image ChromeTexture() {
  Image image(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      image.At(x, y) = ToRgba(MixClamped({200, 214, 236}, {70, 84, 110}, (x + y) / 30.0));
    }
  }
  return image;
}

Image PlanetTexture() {
  const Noise land(7), detail(19), moisture(23);
  const std::vector<Stop> ocean = {{-1.0, {2, 10, 44}}, {-0.25, {6, 30, 96}}, {0.0, {22, 92, 150}}};
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const Vec3 d = SphereDirection(x, y, 256, 256);
      const double e = land.Fbm(d * 1.7, 6) * 1.3 + 0.35 * detail.Fbm(d * 6.0, 4) - 0.02;
      const double latitude = std::abs(d.z);
      Colour c;
      if (e < 0) {
        c = Ramp(ocean, e * 2.5);
      } else {
        const double wet = moisture.Fbm(d * 3.0, 4);
        Colour lowland = MixClamped({150, 128, 72}, {40, 112, 38}, 0.5 + 1.6 * wet - 0.6 * (1 - latitude));
        Colour high = MixClamped(lowland, {112, 94, 78}, Smoothstep(0.12, 0.3, e));
        c = MixClamped(high, {236, 236, 242}, Smoothstep(0.42, 0.5, e));
        c = MixClamped({214, 200, 140}, c, Smoothstep(0.0, 0.025, e));  // beaches
      }
      const double capEdge = 0.93 + 0.04 * detail.Fbm(d * 5.0 + Vec3{5, 5, 5}, 3);
      c = MixClamped(c, {228, 238, 250}, Smoothstep(capEdge - 0.02, capEdge + 0.02, latitude));
      image.At(x, y) = ToRgba(c);
    }
  }
  return image;
}

Image CloudTexture() {
  const Noise base(31), warp(37);
  Image image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const Vec3 d = SphereDirection(x, y, 256, 256);
      // Swirls: the noise is read through a displacement field, and stretched along the
      // parallels so that the weather forms bands.
      const Vec3 q{d.x, d.y, d.z * 2.2};
      const Vec3 w{warp.Fbm(q * 1.4, 3), warp.Fbm(q * 1.4 + Vec3{9, 1, 4}, 3), warp.Fbm(q * 1.4 + Vec3{3, 7, 2}, 3)};
      const double band = 0.1 * std::cos(d.z * 7.0);
      const double c = base.Fbm(q * 1.9 + w * 1.7, 5) + band;
      const double v = 255.0 * Smoothstep(0.05, 0.4, c);
      image.At(x, y) = ToRgba({v, v, v * 1.02});
    }
  }
  return image;
}

// Marble-like stone blocks at brightness `shade` (0 ... 1).
Image StoneTexture(double shade) {
  const Noise grain(41), tint(43), streaks(47), cracks(53);
  Image image(128, 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const int course = y / 16;  // courses 16 texels high, blocks 32 long, staggered
      const int bx = (x + (course % 2) * 16) % 32, by = y % 16;
      const int block = course * 8 + (x + (course % 2) * 16) / 32;
      const double joint = (bx == 0 || by == 0) ? 0.6 : (bx == 1 || by == 1) ? 0.85 : 1.0;
      const double g = grain.Fbm({x * 0.11, y * 0.11, 0.5}, 4);
      const double blockTint = tint.At(block * 0.77, 0.3, 0.9);
      const double streak = streaks.Fbm({x * 0.18, y * 0.025, 2.0}, 3);  // run down the face
      const double crack = std::abs(cracks.Fbm({x * 0.05, y * 0.05, 4.0}, 4));
      Colour c = MixClamped({222, 212, 186}, {196, 186, 168}, 0.5 + blockTint);
      c = c * (1.0 + 0.16 * g);
      c = MixClamped(c, {96, 92, 80}, Smoothstep(0.05, 0.35, streak) * 0.45);      // weathering
      c = MixClamped(c, {150, 150, 120}, Smoothstep(0.25, 0.45, g + 0.6 * streak) * 0.3);  // lichen
      const bool cracked = crack < 0.012 && tint.At(x * 0.04, y * 0.04, 7.7) > 0.15;  // a few, in places
      c = c * (joint * (cracked ? 0.6 : 1.0));
      image.At(x, y) = ToRgba(c * shade);
    }
  }
  return image;
}

// Terracotta roof tiles at brightness `shade`: ridges run down the slope (along u).
Image RoofTexture(double shade) {
  const Noise grain(59), tint(61);
  Image image(128, 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const double across = std::sin(kPi * (y % 8) / 8.0);  // rounded tiles side by side
      const bool gap = x % 12 == 0;                          // tile courses
      const double t = tint.At((y / 8) * 0.9, (x / 12) * 0.7, 1.3);
      Colour c = MixClamped({186, 88, 46}, {140, 70, 44}, 0.5 + t);
      c = c * ((0.55 + 0.5 * across) * (gap ? 0.5 : 1.0) * (1.0 + 0.12 * grain.Fbm({x * 0.2, y * 0.2, 0}, 3)));
      image.At(x, y) = ToRgba(c * shade);
    }
  }
  return image;
}

}  // namespace

std::vector<NamedImage> ObjectTextures() {
  std::vector<NamedImage> textures;
  textures.push_back({"vexol.cel", VexolTexture()});
  textures.push_back({"chrome.cel", ChromeTexture()});
  textures.push_back({"planet.cel", PlanetTexture()});
  textures.push_back({"cloudmap.cel", CloudTexture()});
  for (int k = 0; k < kTempleShades; ++k) {
    textures.push_back({"stone" + std::to_string(k) + ".cel", StoneTexture(0.2 + 0.85 * k / (kTempleShades - 1))});
  }
  for (int k = 0; k < kTempleRoofShades; ++k) {
    textures.push_back({"roof" + std::to_string(k) + ".cel", RoofTexture(0.3 + 0.8 * k / (kTempleRoofShades - 1))});
  }
  return textures;
}

}  // namespace mkdata
