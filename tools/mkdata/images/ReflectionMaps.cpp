// "refmap.cel", "refmap2.cel", "refmap3.cel": sphere maps, the view of a mirrored ball seen from
// the front, of three surroundings. The renderer turns a view-space normal (x right, y down,
// facing the viewer) into texel (128 + 126 x, 128 + 126 y), so each texel here is the colour the
// surroundings reflect along the normal it stands for.
#include "formats/Cel.h"
#include "Generator.h"
#include "kit/Image.h"
#include "kit/Procedural.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace mkdata {
namespace {

struct Vec3 {
  double x, y, z;
};

// A direction of the surroundings: `up` is the sine of the elevation above the horizon, `azimuth`
// in radians, 0 straight behind the viewer (where the ball's centre reflects), growing to the
// right.
struct Direction {
  double up, azimuth, forward;
  Vec3 v;
};

using Surroundings = std::function<Rgb(const Direction&)>;

// A soft rectangular light: centred at (azimuth, elevation) in radians, with half sizes.
double SoftBox(const Direction& d, double azimuth, double elevation, double halfW, double halfH, double soft) {
  double da = std::remainder(d.azimuth - azimuth, 2.0 * M_PI);
  const double de = std::asin(std::clamp(d.up, -1.0, 1.0)) - elevation;
  return (1.0 - Smoothstep(halfW, halfW + soft, std::fabs(da))) * (1.0 - Smoothstep(halfH, halfH + soft, std::fabs(de)));
}

// A bright studio: grey walls, a dark polished floor, big soft boxes overhead and at the sides.
Rgb Studio(const Direction& d) {
  const double elevation = std::asin(std::clamp(d.up, -1.0, 1.0));
  Rgb wall = Mix(Rgb{0.26, 0.27, 0.30}, Rgb{0.52, 0.53, 0.56}, Smoothstep(-0.1, 1.2, elevation));
  if (d.up < 0.0) {
    // Floor: dark, with a faint sheen towards the horizon and tile seams.
    const double along = std::fabs(std::fmod(d.azimuth * 3.0 / M_PI + 10.0, 1.0) - 0.5);
    const double seam = along > 0.47 ? 0.6 : 1.0;
    wall = Mix(Rgb{0.05, 0.05, 0.06}, Rgb{0.24, 0.22, 0.21}, Smoothstep(-0.6, 0.0, d.up)) * seam;
  }
  double light = 0.0;
  light += 1.4 * SoftBox(d, 0.0, 1.05, 0.55, 0.25, 0.08);       // overhead, behind the viewer
  light += 1.3 * SoftBox(d, 1.45, 0.30, 0.28, 0.45, 0.06);      // right
  light += 1.1 * SoftBox(d, -1.50, 0.25, 0.22, 0.40, 0.06);     // left
  light += 0.9 * SoftBox(d, M_PI, 0.55, 0.60, 0.30, 0.10);      // in front, over the object
  const Rgb warm{1.0, 0.96, 0.9};
  // A thin bright horizon line where floor meets wall.
  const double rim = 0.25 * (1.0 - Smoothstep(0.0, 0.04, std::fabs(d.up)));
  return wall + warm * (light + rim);
}

// A sunset over a calm sea: a sharp horizon, a glowing sun low in the sky, its path on the water.
Rgb Sunset(const Direction& d) {
  const double sunAzimuth = 0.35;
  const double sunUp = 0.10;
  if (d.up >= 0.0) {
    const double h = std::sqrt(d.up);
    Rgb sky = Mix(Rgb{1.0, 0.55, 0.18}, Rgb{0.55, 0.2, 0.45}, Smoothstep(0.0, 0.55, h));
    sky = Mix(sky, Rgb{0.08, 0.06, 0.25}, Smoothstep(0.45, 1.0, h));
    const double da = std::remainder(d.azimuth - sunAzimuth, 2.0 * M_PI);
    const double dist = std::hypot(da, (d.up - sunUp) * 2.0);
    const double disc = 1.0 - Smoothstep(0.09, 0.11, dist);
    const double halo = std::exp(-dist * 5.0);
    // Long thin clouds, lit from below.
    const double cloud = Smoothstep(0.6, 0.9, std::sin(d.azimuth * 7.0 + std::sin(d.azimuth * 2.0) * 3.0) *
                                               std::sin(d.up * 40.0 + d.azimuth)) *
                         Smoothstep(0.08, 0.2, d.up) * (1.0 - Smoothstep(0.3, 0.5, d.up));
    return sky * (1.0 - 0.5 * cloud) + Rgb{1.0, 0.45, 0.3} * (0.6 * cloud) + Rgb{1.0, 0.85, 0.5} * (0.9 * halo) +
           Rgb{1.0, 1.0, 0.85} * (1.6 * disc);
  }
  // Sea: deep blue-violet, brighter near the horizon, with a shimmering path below the sun.
  const double depth = std::sqrt(-d.up);
  Rgb sea = Mix(Rgb{0.45, 0.22, 0.25}, Rgb{0.02, 0.03, 0.09}, Smoothstep(0.0, 0.5, depth));
  const double da = std::remainder(d.azimuth - sunAzimuth, 2.0 * M_PI);
  const double path = std::exp(-da * da * 60.0) * (0.55 + 0.45 * std::sin(d.up * 160.0 + da * 20.0));
  return sea + Rgb{1.0, 0.7, 0.35} * (1.2 * path * (1.0 - Smoothstep(0.0, 0.8, depth)));
}

// Vivid neon: a dark room with glowing tubes and rings of saturated colour.
Rgb Neon(const Direction& d) {
  const double elevation = std::asin(std::clamp(d.up, -1.0, 1.0));
  Rgb base = Mix(Rgb{0.02, 0.0, 0.05}, Rgb{0.05, 0.02, 0.10}, Smoothstep(-1.0, 1.0, elevation));
  auto tube = [&](double value, double centre, double width) { return std::exp(-std::pow((value - centre) / width, 2.0)); };
  Rgb glow{0, 0, 0};
  // Horizontal tubes at several heights, each its own colour.
  glow = glow + Rgb{1.0, 0.1, 0.6} * (1.3 * tube(elevation, 0.55, 0.035));
  glow = glow + Rgb{0.1, 0.9, 1.0} * (1.3 * tube(elevation, -0.25, 0.03));
  glow = glow + Rgb{0.5, 0.2, 1.0} * (0.8 * tube(elevation, 1.1, 0.06));
  // Vertical tubes around the room.
  for (int i = 0; i < 6; ++i) {
    const double azimuth = -M_PI + (i + 0.5) * M_PI / 3.0;
    const double da = std::remainder(d.azimuth - azimuth, 2.0 * M_PI);
    const Rgb colours[6] = {{1.0, 0.8, 0.1}, {0.1, 1.0, 0.3}, {1.0, 0.2, 0.1},
                               {0.2, 0.4, 1.0}, {1.0, 0.3, 0.9}, {0.1, 1.0, 0.9}};
    glow = glow + colours[i] * (1.1 * tube(da, 0.0, 0.04) * Smoothstep(-0.9, -0.6, elevation));
  }
  // A ring light overhead.
  glow = glow + Rgb{1.0, 0.95, 0.8} * (1.2 * tube(elevation, 1.35, 0.04));
  // Glossy floor picking up a blur of it all.
  if (d.up < -0.3) glow = glow * 0.5;
  return base + glow;
}

uint8_t ToByte(double v) {
  // A gentle shoulder so bright lights saturate smoothly instead of clipping hard.
  const double shaped = v < 0.8 ? v : 0.8 + 0.2 * (1.0 - std::exp(-(v - 0.8) * 5.0));
  return static_cast<uint8_t>(std::lround(255.0 * std::clamp(shaped, 0.0, 1.0)));
}

// Renders the sphere map of `surroundings`, 4 x 4 samples per texel. Texels outside the ball
// take the colour of its rim, so bilinear filtering near the edge stays clean.
Image RenderSphereMap(const Surroundings& surroundings) {
  constexpr int kSize = 256;
  constexpr int kSub = 4;
  Image image(kSize, kSize);
  for (int py = 0; py < kSize; ++py) {
    for (int px = 0; px < kSize; ++px) {
      Rgb sum{0, 0, 0};
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          double x = (px + (sx + 0.5) / kSub - 128.0) / 126.0;
          double y = (py + (sy + 0.5) / kSub - 128.0) / 126.0;
          const double r2 = x * x + y * y;
          if (r2 > 0.995) {
            const double k = std::sqrt(0.995 / r2);
            x *= k;
            y *= k;
          }
          // Normal facing the viewer, who looks along +z; reflect the view ray (0, 0, 1).
          const Vec3 n{x, y, -std::sqrt(std::max(0.0, 1.0 - x * x - y * y))};
          const Vec3 r{-2.0 * n.z * n.x, -2.0 * n.z * n.y, 1.0 - 2.0 * n.z * n.z};
          Direction d;
          d.v = r;
          d.up = -r.y;  // y grows downwards
          d.forward = r.z;
          d.azimuth = std::atan2(r.x, -r.z);  // 0 back towards the viewer
          sum = sum + surroundings(d);
        }
      }
      sum = sum * (1.0 / (kSub * kSub));
      image.At(px, py) = {ToByte(sum.r), ToByte(sum.g), ToByte(sum.b), 255};
    }
  }
  return image;
}

bool WriteReflectionMaps(Output& out) {
  QuantizeOptions options;
  options.dither = 0.8f;
  return WriteCel(out, "refmap.cel", RenderSphereMap(Studio), options).has_value() &&
         WriteCel(out, "refmap2.cel", RenderSphereMap(Sunset), options).has_value() &&
         WriteCel(out, "refmap3.cel", RenderSphereMap(Neon), options).has_value();
}

}  // namespace

MKDATA_GENERATOR("refmaps", WriteReflectionMaps);

}  // namespace mkdata
