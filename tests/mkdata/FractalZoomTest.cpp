// The fractal zoom: each frame must be the centre half of the one before at twice the size, or the
// scene's cross-fades show a jump; every frame must stay detailed.
#include "images/Fractal.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using mkdata::FractalZoom;
using mkdata::kFractalFrameBytes;
using mkdata::kFractalFrames;
using mkdata::kFractalSide;

// The zoom as the build generated it ("fractal.dat" and "fractal.pal" in the data directory, which
// the manifest test ties to the generator): rendering it takes seconds, and each test runs in a
// process of its own.
std::vector<uint8_t> DataFile(const char* name) {
  const char* data = std::getenv("KELDRIN_DATA");
  EXPECT_NE(data, nullptr);
  std::ifstream in(std::filesystem::path(data != nullptr ? data : ".") / name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const FractalZoom& Zoom() {
  static const FractalZoom zoom = [] {
    FractalZoom z;
    z.frames = DataFile("fractal.dat");
    const std::vector<uint8_t> pal = DataFile("fractal.pal");
    if (pal.size() == 776) {
      for (size_t i = 0; i < 256; ++i) z.palette[i] = {pal[8 + 3 * i], pal[9 + 3 * i], pal[10 + 3 * i]};
    }
    return z;
  }();
  return zoom;
}

std::array<double, 3> Colour(const FractalZoom& zoom, int frame, int x, int y) {
  const uint8_t index = zoom.frames[static_cast<size_t>(frame) * kFractalFrameBytes + static_cast<size_t>(y) * kFractalSide + x];
  const mkdata::Rgb8 c = zoom.palette[index];
  return {double(c.r), double(c.g), double(c.b)};
}

// Frame k sampled bilinearly at pixel-centre coordinates (u, v), clamped at the edges.
std::array<double, 3> Sample(const FractalZoom& zoom, int frame, double u, double v) {
  const double x = std::clamp(u - 0.5, 0.0, kFractalSide - 1.0);
  const double y = std::clamp(v - 0.5, 0.0, kFractalSide - 1.0);
  const int x0 = std::min(static_cast<int>(x), kFractalSide - 2), y0 = std::min(static_cast<int>(y), kFractalSide - 2);
  const double fx = x - x0, fy = y - y0;
  std::array<double, 3> out{};
  for (int c = 0; c < 3; ++c) {
    const double top = Colour(zoom, frame, x0, y0)[c] * (1 - fx) + Colour(zoom, frame, x0 + 1, y0)[c] * fx;
    const double bottom = Colour(zoom, frame, x0, y0 + 1)[c] * (1 - fx) + Colour(zoom, frame, x0 + 1, y0 + 1)[c] * fx;
    out[static_cast<size_t>(c)] = top * (1 - fy) + bottom * fy;
  }
  return out;
}

// Mean absolute difference (8-bit units, over r, g, b) between frame k + 1 and the centre half of
// frame k magnified two times, with that centre shifted by (dx, dy) pixels of frame k.
double Seam(const FractalZoom& zoom, int k, double dx = 0.0, double dy = 0.0) {
  double sum = 0.0;
  for (int y = 0; y < kFractalSide; ++y) {
    for (int x = 0; x < kFractalSide; ++x) {
      const auto magnified = Sample(zoom, k, kFractalSide / 4.0 + (x + 0.5) / 2.0 + dx, kFractalSide / 4.0 + (y + 0.5) / 2.0 + dy);
      const auto next = Colour(zoom, k + 1, x, y);
      for (int c = 0; c < 3; ++c) sum += std::abs(magnified[static_cast<size_t>(c)] - next[static_cast<size_t>(c)]);
    }
  }
  return sum / (3.0 * kFractalSide * kFractalSide);
}

TEST(FractalZoomTest, FilesHaveTheirLayout) {
  const FractalZoom& zoom = Zoom();
  EXPECT_EQ(zoom.frames.size(), 327680u);
  const std::vector<uint8_t> pal = DataFile("fractal.pal");
  ASSERT_EQ(pal.size(), 776u);
  EXPECT_EQ(std::string(pal.begin(), pal.begin() + 4), "PAL8");
  EXPECT_EQ(pal, mkdata::EncodePal8(zoom.palette)) << "the palette as the generator encodes it";
  EXPECT_EQ(zoom.palette[0], (mkdata::Rgb8{0, 0, 0}));
}

TEST(FractalZoomTest, EachFrameIsTheMagnifiedCentreOfTheOneBefore) {
  const FractalZoom& zoom = Zoom();
  for (int k = 0; k + 1 < kFractalFrames; ++k) {
    const double aligned = Seam(zoom, k);
    // The same comparison two pixels off: what a wrong centre or scale would look like.
    const double shifted = Seam(zoom, k, 2.0, -2.0);
    std::printf("seam %2d -> %2d: mean abs difference %5.2f (two pixels off: %5.2f)\n", k, k + 1, aligned, shifted);
    EXPECT_LT(aligned, 16.0) << "frame " << k + 1;
    EXPECT_LT(aligned, 0.6 * shifted) << "frame " << k + 1;
  }
}

TEST(FractalZoomTest, EveryFrameStaysDetailed) {
  const FractalZoom& zoom = Zoom();
  for (int k = 0; k < kFractalFrames; ++k) {
    std::set<uint8_t> used;
    double edges = 0.0;
    int inside = 0;
    for (int y = 0; y < kFractalSide; ++y) {
      for (int x = 0; x < kFractalSide; ++x) {
        const size_t at = static_cast<size_t>(k) * kFractalFrameBytes + static_cast<size_t>(y) * kFractalSide + x;
        used.insert(zoom.frames[at]);
        inside += zoom.frames[at] == 0;
        if (x > 0) edges += std::abs(Colour(zoom, k, x, y)[1] - Colour(zoom, k, x - 1, y)[1]);
      }
    }
    const double meanStep = edges / (kFractalSide * (kFractalSide - 1));
    EXPECT_GT(used.size(), 120u) << "frame " << k << " uses few colours";
    EXPECT_LT(inside, kFractalSide * kFractalSide / 4) << "frame " << k << " is mostly inside the set";
    EXPECT_GT(meanStep, 4.0) << "frame " << k << " is flat";
  }
}

}  // namespace
