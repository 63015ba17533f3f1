// The feedback scenes' textures: black is the key colour, so it must be exactly where things are
// keyed out; the flame band the fire samples must be its brightest and most broken part.
#include "formats/Cel.h"
#include "images/FeedbackImages.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using mkdata::IndexedImage;
using mkdata::Rgb6;

bool IsBlack(const Rgb6& c) { return c.r == 0 && c.g == 0 && c.b == 0; }

// Index 0 is black and no other entry is: the key matches the palette colour (0, 0, 0) only.
void ExpectOnlyIndexZeroBlack(const IndexedImage& image) {
  EXPECT_TRUE(IsBlack(image.palette[0]));
  for (int i = 1; i < 256; ++i) EXPECT_FALSE(IsBlack(image.palette[static_cast<size_t>(i)])) << "entry " << i;
  for (int i = 0; i < 256; ++i) {
    const Rgb6& c = image.palette[static_cast<size_t>(i)];
    EXPECT_LE(std::max({c.r, c.g, c.b}), 63) << "entry " << i;
  }
}

double Brightness(const IndexedImage& image, int x, int y) {
  const Rgb6& c = image.palette[image.indices[static_cast<size_t>(y) * image.width + x]];
  return (c.r + c.g + c.b) / 189.0;
}

TEST(FeedbackImagesTest, TunnelTileIsARoundPlateKeyedOutOnlyBeyondItsRim) {
  const IndexedImage tile = mkdata::MakeTunnelTile();
  ASSERT_EQ(tile.width, 256);
  ASSERT_EQ(tile.height, 256);
  ExpectOnlyIndexZeroBlack(tile);
  ASSERT_EQ(mkdata::EncodeCel(tile).size(), 66336u);
  int hot = 0;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const uint8_t index = tile.indices[static_cast<size_t>(y) * 256 + x];
      const double r = std::hypot(x + 0.5 - 128.0, y + 0.5 - 128.0);
      if (r > 124.0) {
        EXPECT_EQ(index, 0) << x << ", " << y;
      }
      if (r < 120.0) {
        EXPECT_NE(index, 0) << "keyed inside the plate at " << x << ", " << y;
      }
      hot += index >= mkdata::kTunnelHotFirst;
    }
  }
  EXPECT_LT(Brightness(tile, 128, 128), 0.1) << "a dark vanishing point";
  EXPECT_GT(hot, 500) << "the hot accent";
  EXPECT_LT(hot, 6000);
}

TEST(FeedbackImagesTest, FlameBandIsTheBrightestAndMostBrokenPart) {
  const IndexedImage fire = mkdata::MakeFireTexture();
  ASSERT_EQ(fire.width, 256);
  ExpectOnlyIndexZeroBlack(fire);
  // The palette runs from dark red to white.
  EXPECT_GT(fire.palette[1].r, fire.palette[1].g);
  EXPECT_EQ(fire.palette[255].r, 63);
  EXPECT_GT(fire.palette[255].b, 40);
  auto rowMean = [&](int y) {
    double sum = 0.0;
    for (int x = 0; x < 256; ++x) sum += Brightness(fire, x, y);
    return sum / 256.0;
  };
  double band = 0.0, elsewhere = 0.0;
  for (int y = 128; y <= 144; ++y) band += rowMean(y) / 17.0;
  for (int y : {0, 40, 80, 200, 240}) elsewhere = std::max(elsewhere, rowMean(y));
  EXPECT_GT(band, 1.5 * elsewhere);
  // Broken: separate flames with black between them along every row of the band, mostly
  // burning, the flames several texels wide (the strip stretches 160 texels over 256 pixels).
  for (int y = 128; y <= 144; ++y) {
    int keyed = 0, runs = 0;
    for (int x = 0; x < 256; ++x) {
      const bool black = fire.indices[static_cast<size_t>(y) * 256 + x] == 0;
      keyed += black;
      runs += black != (fire.indices[static_cast<size_t>(y) * 256 + (x + 255) % 256] == 0);
    }
    EXPECT_GT(keyed, 20) << "row " << y;
    EXPECT_LT(keyed, 128) << "row " << y;
    EXPECT_GE(runs, 6) << "row " << y;
    EXPECT_LE(runs, 40) << "row " << y;
  }
}

}  // namespace
