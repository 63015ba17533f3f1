// The screen images whose strips and cells the scenes show one at a time ("title.cel",
// "rebuilt.cel"): every strip or cell holds its text, and its glow falls to black inside it, so
// no light is cut off square where the scene's window ends. And the crypt picture: the same
// pixels for any number of threads, with deep shadows and bright lights.
#include "formats/Cel.h"
#include "images/CryptImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using mkdata::IndexedImage;

struct Cell {
  const char* what;
  int x0, y0, x1, y1;  // inclusive
};

int Brightest(const IndexedImage& image, int x, int y) {
  const mkdata::Rgb6 c = image.palette[image.indices[static_cast<size_t>(y) * image.width + x]];
  return std::max({c.r, c.g, c.b});
}

// Every pixel on the cell's outline is black; light fades in towards the inside (the rows and
// columns next to the outline are at most dim); some text inside is bright; and the light's
// extent is centred in the cell.
void ExpectGlowInside(const IndexedImage& image, const Cell& cell) {
  SCOPED_TRACE(cell.what);
  for (int x = cell.x0; x <= cell.x1; ++x) {
    for (int y : {cell.y0, std::min(cell.y1, image.height - 1)}) ASSERT_EQ(Brightest(image, x, y), 0) << x << ',' << y;
  }
  for (int y = cell.y0; y <= std::min(cell.y1, image.height - 1); ++y) {
    for (int x : {cell.x0, cell.x1}) ASSERT_EQ(Brightest(image, x, y), 0) << x << ',' << y;
    for (int x : {cell.x0 + 1, cell.x1 - 1}) EXPECT_LE(Brightest(image, x, y), 6) << x << ',' << y;
  }
  int brightest = 0, left = cell.x1, right = cell.x0, top = cell.y1, bottom = cell.y0;
  for (int y = cell.y0; y <= std::min(cell.y1, image.height - 1); ++y) {
    for (int x = cell.x0; x <= cell.x1; ++x) {
      const int b = Brightest(image, x, y);
      brightest = std::max(brightest, b);
      if (b >= 40) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  EXPECT_GE(brightest, 56) << "bright letters";
  EXPECT_NEAR(left + right, cell.x0 + cell.x1, 6) << "centred across";
  EXPECT_NEAR(top + bottom, cell.y0 + cell.y1, 8) << "centred down";
  EXPECT_GE(right - left, (cell.x1 - cell.x0) / 3) << "the text fills much of its cell";
}

TEST(GlowSheetTest, CaptionSheetKeepsEachGlowInsideItsCell) {
  auto files = mkdata::test::RunGenerator("crypt");
  ASSERT_TRUE(files.count("rebuilt.cel"));
  const auto sheet = mkdata::DecodeCel(files["rebuilt.cel"]);
  ASSERT_TRUE(sheet.has_value());
  ASSERT_EQ(sheet->width, 256);
  ASSERT_EQ(sheet->height, 200);
  // The loader shows entry 0 past the last row, where the closing strip's window ends.
  EXPECT_EQ(sheet->palette[0], (mkdata::Rgb6{0, 0, 0}));
  for (int x = 0; x < 256; ++x) EXPECT_EQ(Brightest(*sheet, x, 0), 0) << "row 0 is never shown";
  const Cell cells[] = {
      {"title strip", 0, 1, 255, 40},   {"caption 0", 128, 41, 255, 80}, {"caption 1", 0, 41, 127, 80},
      {"caption 2", 0, 81, 127, 120},   {"caption 3", 128, 81, 255, 120}, {"caption 4", 0, 121, 127, 160},
      {"caption 5", 128, 121, 255, 160}, {"closing strip", 0, 161, 255, 200},
  };
  for (const Cell& cell : cells) ExpectGlowInside(*sheet, cell);
}

TEST(GlowSheetTest, TitleBandsFadeToBlackInsideTheirRows) {
  auto files = mkdata::test::RunGenerator("title");
  ASSERT_TRUE(files.count("title.cel"));
  const auto title = mkdata::DecodeCel(files["title.cel"]);
  ASSERT_TRUE(title.has_value());
  EXPECT_EQ(title->palette[0], (mkdata::Rgb6{0, 0, 0})) << "shown past the last row, where the first band's window reaches";
  const Cell bands[] = {{"KELDRIN", 0, 0, 255, 59}, {"second line", 0, 64, 255, 123}, {"third line", 0, 128, 255, 187}};
  for (const Cell& band : bands) ExpectGlowInside(*title, band);
  for (int y : {60, 63, 124, 127, 188, 199})
    for (int x = 0; x < 256; ++x) ASSERT_EQ(Brightest(*title, x, y), 0) << "between the bands, row " << y;
}

TEST(CryptPictureTest, SameForAnyThreadCountWithDeepShadowsAndBrightLights) {
  const mkdata::Image one = mkdata::RenderCrypt(64, 50, 1);
  const mkdata::Image three = mkdata::RenderCrypt(64, 50, 3);
  ASSERT_EQ(one.pixels.size(), 64u * 50u);
  EXPECT_TRUE(one.pixels == three.pixels);
  int dark = 0, bright = 0;
  for (const mkdata::Rgba8& p : one.pixels) {
    const int level = std::max({p.r, p.g, p.b});
    dark += level < 40;
    bright += level > 200;
    EXPECT_EQ(p.a, 255);
  }
  EXPECT_GT(dark, 64 * 50 / 10) << "deep shadows";
  EXPECT_GT(bright, 4) << "the torches";
  EXPECT_LT(bright, 64 * 50 / 10) << "not washed out";
}

}  // namespace
