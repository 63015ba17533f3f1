// A dive into the seahorse valley of the Mandelbrot set, rendered with smooth (continuous)
// escape-time colouring and 4 x 4 supersampling, through a palette that cycles deep blue,
// violet, gold and white. Frame k spans a square of half-width kStartRadius / 2^k around one
// fixed centre, so each frame is the centre half of the one before at twice the size.
#include "images/Fractal.h"

#include "Generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace mkdata {

namespace {

// A Misiurewicz point of the seahorse valley (the orbit of 0 lands on a repelling fixed point
// after 24 steps; refined by Newton's method to double precision). The set is self-similar about
// such a point, so every frame of the dive stays as detailed as the first: a factor of 2^19,
// well inside double precision (the last frame's pixel is about 1e-9 wide).
constexpr double kCentreRe = -0.7756837680090538;
constexpr double kCentreIm = 0.1364673682946901;
constexpr double kStartRadius = 0.024;  // half the width of frame 0
constexpr int kMaxIterations = 6000;
constexpr int kSupersample = 4;        // 4 x 4 samples per pixel
constexpr double kBailout = 1e6;       // |z|^2 beyond this has escaped (large, for smooth colouring)
constexpr int kCycle = 255;            // palette entries 1 ... 255 form one colour cycle

struct Key {
  double at;  // position in the cycle, 0 ... 1
  double r, g, b;
};

// The colour cycle, wrapping from the last key back to the first.
constexpr std::array<Key, 7> kKeys = {{
    {0.00, 4, 10, 60},      // deep blue
    {0.16, 30, 60, 170},    // blue
    {0.32, 110, 40, 170},   // violet
    {0.50, 230, 150, 40},   // gold
    {0.62, 255, 245, 210},  // white
    {0.76, 200, 110, 60},   // amber
    {0.88, 50, 20, 100},    // dusk violet
}};

std::array<double, 3> CycleColour(double t) {
  t -= std::floor(t);
  size_t i = kKeys.size() - 1;
  for (size_t k = 0; k + 1 < kKeys.size(); ++k) {
    if (t >= kKeys[k].at && t < kKeys[k + 1].at) i = k;
  }
  const Key& a = kKeys[i];
  const Key& b = kKeys[(i + 1) % kKeys.size()];
  const double span = (i + 1 < kKeys.size() ? b.at : 1.0) - a.at;
  const double f = (t < a.at ? t + 1.0 - a.at : t - a.at) / span;
  const double s = (1.0 - std::cos(f * M_PI)) / 2.0;  // eased, so keys read as soft bands
  return {a.r + (b.r - a.r) * s, a.g + (b.g - a.g) * s, a.b + (b.b - a.b) * s};
}

// Continuous escape count of c, or a negative value inside the set.
double EscapeValue(double cr, double ci) {
  // Main cardioid and period-2 bulb: inside, no iteration needed.
  const double xq = cr - 0.25;
  const double q = xq * xq + ci * ci;
  if (q * (q + xq) <= 0.25 * ci * ci) return -1.0;
  if ((cr + 1.0) * (cr + 1.0) + ci * ci <= 0.0625) return -1.0;
  double zr = 0.0, zi = 0.0;
  double savedR = 0.0, savedI = 0.0;
  int nextSave = 8;
  for (int n = 0; n < kMaxIterations; ++n) {
    const double zr2 = zr * zr;
    const double zi2 = zi * zi;
    if (zr2 + zi2 > kBailout) {
      // n + 1 - log2(log|z|), normalised to the bailout so bands do not jump.
      return n + 1.0 - std::log2(std::log(zr2 + zi2) / 2.0);
    }
    zi = 2.0 * zr * zi + ci;
    zr = zr2 - zi2 + cr;
    if (zr == savedR && zi == savedI) return -1.0;  // an exact cycle: inside
    if (n == nextSave) {
      savedR = zr;
      savedI = zi;
      nextSave *= 2;
    }
  }
  return -1.0;
}

// Position in the colour cycle for a continuous escape count: logarithmic, so bands keep about
// the same width on screen as counts grow with the depth of the zoom.
double CyclePosition(double mu) { return std::log(mu + 1.0) * 1.35; }

int NearestEntry(const Palette8& palette, double r, double g, double b) {
  int best = 1;
  double bestDistance = 1e30;
  for (int i = 0; i < 256; ++i) {
    const double dr = r - palette[static_cast<size_t>(i)].r;
    const double dg = g - palette[static_cast<size_t>(i)].g;
    const double db = b - palette[static_cast<size_t>(i)].b;
    const double distance = 2.0 * dr * dr + 4.0 * dg * dg + 3.0 * db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

// Frame k: every pixel averages the colours of its samples (inside counts as black), then takes
// the nearest palette entry.
void RenderFrame(FractalZoom& zoom, int k) {
  const double radius = std::ldexp(kStartRadius, -k);
  const double pixel = 2.0 * radius / kFractalSide;
  for (int y = 0; y < kFractalSide; ++y) {
    for (int x = 0; x < kFractalSide; ++x) {
      double sum[3] = {0.0, 0.0, 0.0};
      for (int sy = 0; sy < kSupersample; ++sy) {
        for (int sx = 0; sx < kSupersample; ++sx) {
          const double re = kCentreRe - radius + (x + (sx + 0.5) / kSupersample) * pixel;
          const double im = kCentreIm - radius + (y + (sy + 0.5) / kSupersample) * pixel;
          const double mu = EscapeValue(re, im);
          if (mu < 0.0) continue;
          const auto c = CycleColour(CyclePosition(mu));
          for (int ch = 0; ch < 3; ++ch) sum[ch] += c[static_cast<size_t>(ch)];
        }
      }
      constexpr double kSamples = kSupersample * kSupersample;
      zoom.frames[static_cast<size_t>(k) * kFractalFrameBytes + static_cast<size_t>(y) * kFractalSide + x] =
          static_cast<uint8_t>(NearestEntry(zoom.palette, sum[0] / kSamples, sum[1] / kSamples, sum[2] / kSamples));
    }
  }
}

bool WriteFractal(Output& out) {
  const FractalZoom zoom = MakeFractalZoom();
  return out.Write("fractal.dat", zoom.frames) && out.Write("fractal.pal", EncodePal8(zoom.palette));
}

}  // namespace

FractalZoom MakeFractalZoom() {
  FractalZoom zoom;
  zoom.palette[0] = {0, 0, 0};
  for (int i = 0; i < kCycle; ++i) {
    const auto c = CycleColour(static_cast<double>(i) / kCycle);
    zoom.palette[static_cast<size_t>(i) + 1] = {static_cast<uint8_t>(std::lround(c[0])),
                                                static_cast<uint8_t>(std::lround(c[1])),
                                                static_cast<uint8_t>(std::lround(c[2]))};
  }
  zoom.frames.resize(kFractalFrames * kFractalFrameBytes);
  // Frames are independent: threads take every n-th frame. Each pixel is computed the same way
  // whichever thread computes it, so the bytes do not depend on the thread count.
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&zoom, t, threads] {
      for (int k = static_cast<int>(t); k < kFractalFrames; k += static_cast<int>(threads)) RenderFrame(zoom, k);
    });
  }
  for (auto& worker : workers) worker.join();
  return zoom;
}

MKDATA_GENERATOR("fractal", WriteFractal);

}  // namespace mkdata
