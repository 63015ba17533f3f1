// The data generator's image pipeline: CEL and PAL bytes as the loaders read them, palette
// quantisation with its reserved entries, and the drawing helpers.
#include "formats/Cel.h"
#include "kit/Image.h"
#include "kit/Quantize.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using mkdata::Image;
using mkdata::IndexedImage;
using mkdata::Reserve;
using mkdata::Rgb6;
using mkdata::Rgba8;

uint16_t U16(const std::vector<uint8_t>& bytes, size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); }

IndexedImage Numbered(int w, int h) {
  IndexedImage image;
  image.width = w;
  image.height = h;
  image.colors = 256;
  for (int i = 0; i < 256; ++i) image.palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i % 64), static_cast<uint8_t>(i / 4), 63};
  for (int i = 0; i < w * h; ++i) image.indices.push_back(static_cast<uint8_t>(i * 31 + i / w));
  return image;
}

TEST(CelFileTest, EverySizeEncodesToTheFileSizeTheLoadersAcceptAndDecodesBack) {
  const struct {
    int w, h;
    size_t fileSize;
  } sizes[] = {{8, 8, 864}, {16, 16, 1056}, {32, 32, 1824}, {64, 64, 4896}, {128, 128, 17184}, {256, 256, 66336}, {256, 200, 52000}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    const IndexedImage image = Numbered(s.w, s.h);
    const std::vector<uint8_t> bytes = mkdata::EncodeCel(image);
    ASSERT_EQ(bytes.size(), s.fileSize);
    EXPECT_EQ(U16(bytes, 0), 0x9119);
    EXPECT_EQ(U16(bytes, 2), s.w);
    EXPECT_EQ(U16(bytes, 4), s.h);
    EXPECT_EQ(bytes[10], 8);
    EXPECT_EQ(U16(bytes, 12) | U16(bytes, 14) << 16, s.w * s.h);
    EXPECT_EQ(bytes[32 + 3 * 70], 70 % 64);       // palette at 32, r g b
    EXPECT_EQ(bytes[32 + 3 * 70 + 1], 70 / 4);
    EXPECT_EQ(bytes[800 + 5], image.indices[5]);  // pixels at 800
    const auto decoded = mkdata::DecodeCel(bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, s.w);
    EXPECT_EQ(decoded->height, s.h);
    EXPECT_EQ(decoded->indices, image.indices);
    EXPECT_EQ(decoded->palette, image.palette);
  }
}

TEST(CelFileTest, RefusesWhatNoLoaderCouldRead) {
  for (auto [w, h] : {std::pair{4, 4}, {512, 512}, {100, 100}, {128, 64}, {200, 256}, {256, 199}}) {
    EXPECT_TRUE(mkdata::EncodeCel(Numbered(w, h)).empty()) << w << "x" << h;
  }
  IndexedImage bright = Numbered(8, 8);
  bright.palette[9].g = 64;
  EXPECT_TRUE(mkdata::EncodeCel(bright).empty()) << "palette components are 6-bit";
  IndexedImage wrongCount = Numbered(8, 8);
  wrongCount.indices.pop_back();
  EXPECT_TRUE(mkdata::EncodeCel(wrongCount).empty());
  EXPECT_FALSE(mkdata::DecodeCel(std::vector<uint8_t>(17185)).has_value());
  EXPECT_FALSE(mkdata::DecodeCel(std::vector<uint8_t>(799)).has_value());
}

TEST(PalFileTest, BothLayoutsHaveTheSizesThatTellThemApart) {
  mkdata::Palette6 six{};
  six[3] = {63, 32, 1};
  const auto p6 = mkdata::EncodePal6(six);
  ASSERT_EQ(p6.size(), 768u);
  EXPECT_THAT(std::vector<uint8_t>(p6.begin() + 9, p6.begin() + 12), ::testing::ElementsAre(63, 32, 1));
  mkdata::Palette8 eight{};
  eight[3] = {255, 128, 7};
  const auto p8 = mkdata::EncodePal8(eight);
  ASSERT_EQ(p8.size(), 776u);
  EXPECT_THAT(std::vector<uint8_t>(p8.begin() + 8 + 9, p8.begin() + 8 + 12), ::testing::ElementsAre(255, 128, 7));
}

// A smooth, colourful test picture with more colours than a palette holds.
Image Gradient(int w, int h) {
  Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.At(x, y) = {static_cast<uint8_t>(x * 255 / (w - 1)), static_cast<uint8_t>(y * 255 / (h - 1)),
                        static_cast<uint8_t>(128 + 100 * std::sin(x * 0.05 + y * 0.03)), 255};
    }
  }
  return image;
}

std::set<int> UsedIndices(const IndexedImage& image) { return std::set<int>(image.indices.begin(), image.indices.end()); }

TEST(QuantizeTest, PaletteIsSixBitWithinTheColourLimitAndDeterministic) {
  const Image picture = Gradient(128, 128);
  for (int maxColors : {256, 64, 16}) {
    SCOPED_TRACE(maxColors);
    const auto a = mkdata::Quantize(picture, {.maxColors = maxColors});
    const auto b = mkdata::Quantize(picture, {.maxColors = maxColors});
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->indices, b->indices);
    EXPECT_EQ(a->palette, b->palette);
    EXPECT_LE(a->colors, maxColors);
    EXPECT_LE(static_cast<int>(UsedIndices(*a).size()), maxColors);
    EXPECT_LT(*UsedIndices(*a).rbegin(), a->colors);
    for (const Rgb6& c : a->palette) EXPECT_TRUE(c.r < 64 && c.g < 64 && c.b < 64);
  }
}

TEST(QuantizeTest, DitheredGradientKeepsItsLocalAverageColour) {
  const Image picture = Gradient(128, 128);
  const auto q = mkdata::Quantize(picture);
  ASSERT_TRUE(q);
  const Image shown = mkdata::ToImage(*q);
  // Means over 8 x 8 blocks: dithering trades per-pixel error for a faithful local mean.
  double worst = 0.0, total = 0.0;
  int blocks = 0;
  for (int by = 0; by < 128; by += 8) {
    for (int bx = 0; bx < 128; bx += 8) {
      double want[3] = {}, got[3] = {};
      for (int y = by; y < by + 8; ++y) {
        for (int x = bx; x < bx + 8; ++x) {
          const Rgba8 p = picture.At(x, y), s = shown.At(x, y);
          want[0] += p.r, want[1] += p.g, want[2] += p.b;
          got[0] += s.r, got[1] += s.g, got[2] += s.b;
        }
      }
      for (int c = 0; c < 3; ++c) {
        const double error = std::abs(want[c] - got[c]) / 64.0;
        worst = std::max(worst, error);
        total += error;
        ++blocks;
      }
    }
  }
  EXPECT_LT(worst, 10.0) << "largest block mean error, 8-bit units";
  EXPECT_LT(total / blocks, 1.5) << "average block mean error, 8-bit units";
}

TEST(QuantizeTest, FewColoursAreKeptExactly) {
  Image picture(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int k = (x / 8) + 8 * (y / 8);  // 64 flat tiles
      picture.At(x, y) = {mkdata::Expand6(static_cast<uint8_t>(k)), mkdata::Expand6(static_cast<uint8_t>(63 - k)),
                          mkdata::Expand6(static_cast<uint8_t>(k / 2)), 255};
    }
  }
  const auto q = mkdata::Quantize(picture, {.dither = 0.0f});
  ASSERT_TRUE(q);
  const Image shown = mkdata::ToImage(*q);
  int wrong = 0;
  for (size_t i = 0; i < picture.pixels.size(); ++i) wrong += !(shown.pixels[i] == picture.pixels[i]);
  EXPECT_EQ(wrong, 0);
}

// A picture that is transparent outside a disc, with opaque black inside it too.
Image DiscWithBlack() {
  Image picture = Gradient(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int dx = x - 32, dy = y - 32;
      if (dx * dx + dy * dy > 28 * 28) picture.At(x, y).a = static_cast<uint8_t>((x * 7) % 128);  // below threshold
      else if (x < 24) picture.At(x, y) = {0, 0, 0, 255};  // opaque black, also (0, 0, 1)-ish below
      else if (x < 28) picture.At(x, y) = {4, 0, 4, 255};
    }
  }
  return picture;
}

TEST(QuantizeTest, ReservedEntriesHoldExactlyTheTransparentPixels) {
  const Image picture = DiscWithBlack();
  for (Reserve reserve : {Reserve::kTransparent255, Reserve::kKeyBlack0}) {
    const int reserved = reserve == Reserve::kKeyBlack0 ? 0 : 255;
    SCOPED_TRACE(reserved);
    const auto q = mkdata::Quantize(picture, {.reserve = reserve});
    ASSERT_TRUE(q);
    EXPECT_EQ(q->palette[static_cast<size_t>(reserved)], (Rgb6{0, 0, 0}));
    int misplaced = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
      const bool transparent = picture.pixels[i].a < 128;
      misplaced += transparent != (q->indices[i] == reserved);
    }
    EXPECT_EQ(misplaced, 0);
    // Remapping onto the chosen palette honours the reservation as well.
    const IndexedImage remapped = mkdata::Remap(picture, q->palette, q->colors, {.reserve = reserve});
    misplaced = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
      misplaced += (picture.pixels[i].a < 128) != (remapped.indices[i] == reserved);
    }
    EXPECT_EQ(misplaced, 0);
  }
}

TEST(QuantizeTest, KeyedPicturesHaveNoOtherEntryThatIsBlackInRgb565) {
  const auto q = mkdata::Quantize(DiscWithBlack(), {.reserve = Reserve::kKeyBlack0});
  ASSERT_TRUE(q);
  for (int i = 1; i < q->colors; ++i) EXPECT_FALSE(mkdata::IsBlackIn565(q->palette[static_cast<size_t>(i)])) << "entry " << i;
}

TEST(QuantizeTest, RemapWithoutDitherPicksTheNearestEntry) {
  mkdata::Palette6 palette{};
  palette[0] = {0, 0, 0};
  palette[1] = {63, 0, 0};
  palette[2] = {0, 63, 0};
  palette[3] = {32, 32, 32};
  Image picture(4, 1);
  picture.pixels = {{250, 10, 10, 255}, {20, 240, 0, 255}, {120, 130, 125, 255}, {5, 5, 5, 255}};
  const IndexedImage out = mkdata::Remap(picture, palette, 4, {.dither = 0.0f});
  EXPECT_THAT(out.indices, ::testing::ElementsAre(1, 2, 3, 0));
}

TEST(DrawingTest, MissingFontIsAClearFailure) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(mkdata::Font::Load("NoSuchFont-Bold.ttf"), nullptr);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), ::testing::HasSubstr("fonts-dejavu-core"));
}

TEST(DrawingTest, TextIsCentredAndFitted) {
  auto font = mkdata::Font::Load("DejaVuSans-Bold.ttf");
  ASSERT_NE(font, nullptr);
  mkdata::Canvas canvas(256, 128);
  const double size = mkdata::FitTextSize(*font, "KELP", 200.0);
  mkdata::SetFont(canvas.Cr(), *font, size);
  mkdata::CentredTextPath(canvas.Cr(), "KELP", 128.0, 64.0);
  cairo_set_source_rgb(canvas.Cr(), 1, 1, 1);
  cairo_fill(canvas.Cr());
  const Image image = canvas.ToImage();
  int left = 256, right = -1;
  double sumY = 0, weight = 0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int a = image.At(x, y).a;
      if (a > 127) left = std::min(left, x), right = std::max(right, x);
      sumY += a * y, weight += a;
    }
  }
  EXPECT_NEAR(right - left + 1, 200, 3);
  EXPECT_NEAR((left + right) / 2.0, 128.0, 2.0);
  EXPECT_NEAR(sumY / weight, 64.0, 6.0);
  EXPECT_EQ(image.At(0, 0).a, 0);
}

TEST(DrawingTest, BlurSpreadsLightAndKeepsItsAmount) {
  Image dot(64, 64, {0, 0, 0, 0});
  for (int y = 30; y < 34; ++y) {
    for (int x = 30; x < 34; ++x) dot.At(x, y) = {255, 200, 100, 255};
  }
  const Image blurred = mkdata::Blur(dot, 4.0);
  double before = 0, after = 0;
  for (size_t i = 0; i < dot.pixels.size(); ++i) before += dot.pixels[i].a, after += blurred.pixels[i].a;
  EXPECT_NEAR(after, before, before * 0.03);
  EXPECT_GT(blurred.At(32, 40).a, 0);
  EXPECT_LT(blurred.At(32, 32).a, 255);
  EXPECT_EQ(blurred.At(32, 32).r, 255) << "colour is kept where there is light";
  EXPECT_EQ(blurred.At(2, 2).a, 0);
}

}  // namespace
