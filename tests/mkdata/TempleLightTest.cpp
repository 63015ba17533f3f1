// The temple's light blobs as the glow loader will see them: 4-bit components with alpha the
// brightest, a white core, the hue around it, black at the rim, falling off smoothly outwards.
#include "images/TempleLights.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The glow loader's view of a texel: 4-bit components and alpha.
struct Glow {
  int r, g, b, a;
};

Glow At(const mkdata::IndexedImage& image, int x, int y) {
  const mkdata::Rgb6 c = image.palette[image.indices[static_cast<size_t>(y) * image.width + x]];
  const int r = c.r >> 2, g = c.g >> 2, b = c.b >> 2;
  return {r, g, b, std::max({r, g, b})};
}

TEST(TempleLightBlobTest, WhiteCoreHueAroundItAndBlackRim) {
  const struct {
    const char* what;
    std::array<double, 3> hue;
    int channel;  // the one that leads in the glow
  } lights[] = {{"red", {1.0, 0.16, 0.06}, 0}, {"green", {0.2, 1.0, 0.22}, 1}, {"blue", {0.16, 0.38, 1.0}, 2}};
  for (const auto& light : lights) {
    SCOPED_TRACE(light.what);
    const auto image = mkdata::MakeLightBlob(light.hue[0], light.hue[1], light.hue[2]);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width, 128);
    ASSERT_EQ(image->height, 128);
    for (int i = 0; i < image->colors; ++i) {
      const mkdata::Rgb6 c = image->palette[static_cast<size_t>(i)];
      // Each component is a 4-bit level repeated into the low bits, so the previews match.
      for (uint8_t v : {c.r, c.g, c.b}) ASSERT_EQ(v & 3, v >> 4) << "entry " << i;
    }
    // The core is white-hot.
    const Glow core = At(*image, 64, 64);
    EXPECT_GE(std::min({core.r, core.g, core.b}), 13);
    // Around it, the hue leads and the light is still strong enough to show through its own alpha.
    for (auto [x, y] : {std::pair{64 + 22, 64}, {64, 64 - 22}, {64 - 22, 64}, {64, 64 + 22}}) {
      const Glow g = At(*image, x, y);
      const int lead = light.channel == 0 ? g.r : light.channel == 1 ? g.g : g.b;
      EXPECT_EQ(lead, g.a) << x << "," << y;
      EXPECT_GE(g.a, 8) << x << "," << y;
      EXPECT_LE(std::min({g.r, g.g, g.b}), g.a - 5) << "coloured, not white, at " << x << "," << y;
    }
    // The border rows and columns, and everything outside the rim, are black: a sprite's square
    // never shows.
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const double r = std::hypot(x + 0.5 - 64.0, y + 0.5 - 64.0) / 64.0;
        if (r >= 0.98) {
          ASSERT_EQ(At(*image, x, y).a, 0) << x << "," << y;
        }
      }
    }
    // Averaged over rings, the light falls off steadily from the core to the rim.
    double previous = 1e9;
    for (int ring = 0; ring < 16; ++ring) {
      double sum = 0.0;
      int count = 0;
      for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
          const double r = std::hypot(x + 0.5 - 64.0, y + 0.5 - 64.0);
          if (r >= ring * 4.0 && r < ring * 4.0 + 4.0) {
            sum += At(*image, x, y).a;
            ++count;
          }
        }
      }
      const double mean = sum / count;
      EXPECT_LT(mean, previous + 0.05) << "ring " << ring;
      previous = mean;
    }
    EXPECT_GT(previous, 0.0) << "the glow reaches the outer ring";
  }
}

}  // namespace
