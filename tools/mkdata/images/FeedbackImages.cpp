#include "images/FeedbackImages.h"

#include "formats/Cel.h"
#include "Generator.h"
#include "kit/Procedural.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace mkdata {
namespace {

constexpr int kSide = 256;
constexpr double kCentre = 127.5;

struct Key {
  double at;      // 0 ... 1 along the ramp
  double r, g, b;  // 6-bit components
};

template <size_t N>
Rgb6 RampColour(const std::array<Key, N>& keys, double t) {
  t = std::clamp(t, 0.0, 1.0);
  size_t i = 0;
  while (i + 2 < N && t > keys[i + 1].at) ++i;
  const Key& a = keys[i];
  const Key& b = keys[i + 1];
  const double f = (t - a.at) / (b.at - a.at);
  auto mix = [f](double x, double y) { return static_cast<uint8_t>(std::lround(x + (y - x) * f)); };
  return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

// Fills entries first ... last with the ramp, darkest first.
template <size_t N>
void FillRamp(Palette6& palette, int first, int last, const std::array<Key, N>& keys) {
  for (int i = first; i <= last; ++i) palette[static_cast<size_t>(i)] = RampColour(keys, double(i - first) / (last - first));
}

// Index of value v (0 ... 1) on the ramp first ... last.
uint8_t OnRamp(double v, int first, int last) {
  return static_cast<uint8_t>(first + std::lround(std::clamp(v, 0.0, 1.0) * (last - first)));
}

double Bump(double x, double centre, double width) {
  const double d = (x - centre) / width;
  return std::exp(-d * d);
}

// ---- The tunnel tile ------------------------------------------------------------------------

constexpr double kTileRadius = 122.0;  // texels; black (keyed) beyond
constexpr double kHoleRadius = 22.0;   // the dark vanishing point
constexpr int kSpokes = 8;

// Cold steel: a dark navy through blue steel to ice white. Entry 1, the darkest, is not black.
constexpr std::array<Key, 5> kMetal = {{{0.0, 1, 1, 4}, {0.25, 4, 7, 16}, {0.55, 16, 26, 42}, {0.8, 36, 46, 60}, {1.0, 60, 63, 63}}};
// The hot accent: ember red through orange to a yellow-white core.
constexpr std::array<Key, 4> kHot = {{{0.0, 24, 3, 0}, {0.4, 63, 22, 0}, {0.75, 63, 46, 8}, {1.0, 63, 63, 44}}};

struct TileSample {
  double metal;  // 0 ... 1 brightness of the metal
  double hot;    // 0 ... 1 strength of a hot light
};

// Eight broad steel blades on dark navy, each with a glowing seam: the tile's copies keep their contrast only along the
// radius (each copy is a quarter over the magnified ones before), so the structure runs outwards.
TileSample TileAt(double x, double y) {
  const double dx = x - kCentre, dy = y - kCentre;
  const double r = std::hypot(dx, dy);
  const double phi = std::atan2(dy, dx);
  const double period = 2.0 * M_PI / kSpokes;
  // Angle from the nearest blade's middle, as a fraction of half a period (0 middle, 1 gap).
  const double signedOff = std::remainder(phi, period) / (period / 2.0);
  const double off = std::abs(signedOff);
  const double blade = 1.0 - Smoothstep(0.3, 0.46, off);
  // A thin bright edge along each blade, as polished metal catches the light.
  const double edge = Bump(off, 0.4, 0.05);
  const double outward = Smoothstep(kHoleRadius, kHoleRadius + 30.0, r);
  double metal = 0.03 + (0.4 + 0.5 * (r / kTileRadius)) * blade * outward + 0.3 * edge * outward;
  // A glint on the rim.
  metal += 0.3 * Bump(r, 116.0, 3.0);
  metal *= Smoothstep(kHoleRadius - 10.0, kHoleRadius + 4.0, r);
  // The hot accent: a glowing seam along the leading side of every blade, towards the rim.
  const double hot = Bump(signedOff, 0.55, 0.14) * Smoothstep(50.0, 90.0, r) * (1.0 - Smoothstep(112.0, 118.0, r));
  return {std::clamp(metal, 0.0, 1.0), hot};
}

// ---- The flames -----------------------------------------------------------------------------

constexpr std::array<Key, 6> kFlame = {
    {{0.0, 3, 0, 0}, {0.25, 30, 3, 0}, {0.5, 56, 16, 0}, {0.7, 63, 36, 2}, {0.87, 63, 56, 16}, {1.0, 63, 63, 52}}};

// Smooth value noise, periodic over `period` cells across (so the texture wraps sideways).
double PeriodicNoise(double x, double y, int period, uint32_t seed) {
  return ValueNoise(x, y, [period, seed](int32_t cx, int32_t cy) {
    return LatticeValue<double>(((cx % period) + period) % period, cy, seed, kFlameMix);
  });
}

// Tongues of flame: noise stretched upwards, at three octaves, the coarsest about 16 texels
// across (the strip shows 160 texels over the 256 pixels of the working area).
double FlameNoise(double x, double y) {
  double sum = 0.0, weight = 0.0, amplitude = 1.0;
  int period = 16;
  for (int octave = 0; octave < 3; ++octave) {
    const double cell = double(kSide) / period;
    sum += amplitude * PeriodicNoise(x / cell, y / (cell * 2.5), period, 17u + static_cast<uint32_t>(octave));
    weight += amplitude;
    amplitude *= 0.5;
    period *= 2;
  }
  return sum / weight;
}

// Brightness of the flame texture at a texel: the band of rows 128 ... 144 burns hottest and is
// broken into separate flames; away from it the flames die down.
double FlameAt(int x, int y) {
  const double band = Bump(y, 136.0, 14.0);
  const double n = FlameNoise(x + 0.5, y + 0.5);
  // Contrast around the cut makes separate tongues with black between them.
  const double cut = 0.46 - 0.1 * band;
  const double flame = (n - cut) / (1.0 - cut);
  return flame <= 0.0 ? 0.0 : std::min(1.0, flame * (0.45 + 1.3 * band) + 0.35 * band);
}

bool WriteFeedbackImages(Output& out) {
  const IndexedImage tunnel = MakeTunnelTile();
  const IndexedImage fire = MakeFireTexture();
  return WriteCel(out, "tunnel.cel", tunnel) && out.Write("tunnel.pal", EncodePal6(tunnel.palette)) &&
         WriteCel(out, "fire.cel", fire) && out.Write("fire.pal", EncodePal6(fire.palette));
}

}  // namespace

IndexedImage MakeTunnelTile() {
  IndexedImage image;
  image.width = image.height = kSide;
  image.colors = 256;
  FillRamp(image.palette, kTunnelMetalFirst, kTunnelMetalLast, kMetal);
  FillRamp(image.palette, kTunnelHotFirst, kTunnelHotLast, kHot);
  image.indices.resize(static_cast<size_t>(kSide) * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      uint8_t& index = image.indices[static_cast<size_t>(y) * kSide + x];
      if (std::hypot(x + 0.5 - kCentre - 0.5, y + 0.5 - kCentre - 0.5) > kTileRadius) {
        index = 0;
        continue;
      }
      // 4 x 4 samples per texel, so that the ribs' edges are smooth.
      double metal = 0.0, hot = 0.0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const TileSample s = TileAt(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0);
          metal += s.metal / 16.0;
          hot += s.hot / 16.0;
        }
      }
      index = hot > 0.25 ? OnRamp((hot - 0.25) / 0.75, kTunnelHotFirst, kTunnelHotLast)
                         : OnRamp(metal, kTunnelMetalFirst, kTunnelMetalLast);
    }
  }
  return image;
}

IndexedImage MakeFireTexture() {
  IndexedImage image;
  image.width = image.height = kSide;
  image.colors = 256;
  FillRamp(image.palette, 1, 255, kFlame);
  image.indices.resize(static_cast<size_t>(kSide) * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const double v = FlameAt(x, y);
      image.indices[static_cast<size_t>(y) * kSide + x] = v <= 0.0 ? 0 : OnRamp(v, 1, 255);
    }
  }
  return image;
}

MKDATA_GENERATOR("feedback", WriteFeedbackImages);

}  // namespace mkdata
