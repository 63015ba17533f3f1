// The CEL texture loaders: accepted sizes, the texels that reach Glide, the glow and soft-edge
// alphas, and every failure leaving the table and the arena as they were.
#include "LoaderTestSupport.h"

#include "gfx/LoaderCommon.h"
#include "gfx/Loaders.h"
#include "gfx/TexelFormats.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <random>

namespace {

struct LoaderKind {
  const char* name;
  TextureId (*load)(const char*);
  GrTextureFormat_t format;
  bool screen;  // 256 x 200 files; otherwise squares
};

const LoaderKind kLoaders[] = {
    {"LoadCelPaletted", LoadCelPaletted, GR_TEXFMT_P_8, false},
    {"LoadCelRgb565", LoadCelRgb565, GR_TEXFMT_RGB_565, false},
    {"LoadCelGlow", LoadCelGlow, GR_TEXFMT_ARGB_4444, false},
    {"LoadScreenRgb565", LoadScreenRgb565, GR_TEXFMT_RGB_565, true},
    {"LoadScreenGlow", LoadScreenGlow, GR_TEXFMT_ARGB_4444, true},
    {"LoadCelSoftSprite", LoadCelSoftSprite, GR_TEXFMT_ARGB_4444, true},
};

struct AcceptedSize {
  size_t fileSize;
  GrLOD_t lod;
  bool screen;
};

const AcceptedSize kAccepted[] = {
    {864, GR_LOD_8, false},     {1056, GR_LOD_16, false},   {1824, GR_LOD_32, false}, {4896, GR_LOD_64, false},
    {17184, GR_LOD_128, false}, {66336, GR_LOD_256, false}, {52000, GR_LOD_256, true},
};

using CelLoaderTest = LoaderTest;

// Every accepted size and its neighbours, through every loader: the right ones load with the
// right level, format, address and arena advance; all others fail without a trace.
TEST_F(CelLoaderTest, AcceptsExactlyTheSizesOfItsKind) {
  std::vector<size_t> sizes = {0, 1, 31, 799, 800, 801, 65536};
  for (const auto& accepted : kAccepted) {
    sizes.insert(sizes.end(), {accepted.fileSize - 1, accepted.fileSize, accepted.fileSize + 1});
  }
  for (const auto& loader : kLoaders) {
    for (size_t size : sizes) {
      SCOPED_TRACE(std::string(loader.name) + " on " + std::to_string(size) + " bytes");
      std::vector<uint8_t> bytes = size >= 800 ? PlainCel(size - 800) : std::vector<uint8_t>(size, 7);
      WriteFile("image.cel", bytes);
      const auto* match = std::find_if(std::begin(kAccepted), std::end(kAccepted), [&](const AcceptedSize& a) {
        return a.fileSize == size && a.screen == loader.screen;
      });
      const Snapshot before = Take();
      const TextureId id = loader.load("image.cel");
      if (match == std::end(kAccepted)) {
        EXPECT_EQ(id, -1);
        EXPECT_EQ(Take(), before);
        continue;
      }
      ASSERT_EQ(id, before.textureCount);
      const int side = 256 >> match->lod;
      const FxU32 bytesPerTexel = loader.format == GR_TEXFMT_P_8 ? 1 : 2;
      const TextureHandle& row = TextureTable[id];
      EXPECT_EQ(row.smallLod, match->lod);
      EXPECT_EQ(row.largeLod, match->lod);
      EXPECT_EQ(row.aspectRatio, GR_ASPECT_1x1);
      EXPECT_EQ(row.format, loader.format);
      EXPECT_EQ(row.startAddress, before.arenaNext);
      EXPECT_EQ(TextureArenaNext, before.arenaNext + static_cast<FxU32>(side * side) * bytesPerTexel);
      ASSERT_EQ(Recorded().downloads.size(), before.downloads + 1);
      EXPECT_EQ(Recorded().downloads.back().startAddress, row.startAddress);
      EXPECT_EQ(Recorded().downloads.back().info.format, loader.format);
      TextureCount = 0;  // keep the arena small across the many loads
      TextureArenaNext = TextureArenaBase;
    }
  }
}

// A 256 x 256 picture with the listed palette colours at known places.
std::vector<uint8_t> ConversionCel(std::vector<Rgb6> palette) {
  palette.resize(256, Rgb6{0, 0, 0});
  std::vector<uint8_t> pixels(65536, 0);
  for (int i = 1; i < 8; ++i) pixels[static_cast<size_t>(7 * 256 + 5 * i)] = static_cast<uint8_t>(i);  // row 7
  return CelBytes(palette, pixels);
}

TEST_F(CelLoaderTest, Rgb565TexelsComeFromTheFilePalette) {
  WriteFile("c.cel", ConversionCel({{1, 2, 3}, {63, 63, 63}, {63, 0, 0}, {0, 63, 0}, {0, 0, 63}, {20, 40, 8}, {255, 0, 0}, {1, 1, 1}}));
  ASSERT_EQ(LoadCelRgb565("c.cel"), 0);
  const RecordedDownload& d = Recorded().downloads.back();
  const struct {
    int s;
    uint16_t texel;
  } expected[] = {
      {0, 0x0041},   // (1, 2, 3): 0 << 11 | 2 << 5 | 1, palette entry 0 everywhere else
      {5, 0xFFFF},   // (63, 63, 63)
      {10, 0xF800},  // (63, 0, 0)
      {15, 0x07E0},  // (0, 63, 0)
      {20, 0x001F},  // (0, 0, 63)
      {25, 0x5504},  // (20, 40, 8): 10 << 11 | 40 << 5 | 4
      {30, 0xF800},  // (255, 0, 0): outside the format, capped at 63 rather than spilling into green
      {35, 0x0020},  // (1, 1, 1): the low bit of red and blue is lost
  };
  for (const auto& e : expected) EXPECT_EQ(d.Texel16(e.s, 7), e.texel) << "column " << e.s;
  EXPECT_EQ(d.Texel16(5, 6), 0x0041) << "row 6 holds entry 0: (s, t) is column s of row t";
}

TEST_F(CelLoaderTest, GlowAlphaIsTheBrightestComponentAndDoublingIsUsedOnce) {
  WriteFile("g.cel", ConversionCel({{0, 0, 0}, {20, 40, 8}, {63, 63, 63}, {4, 0, 0}, {0, 0, 36}}));
  ASSERT_EQ(LoadCelGlow("g.cel"), 0);
  const RecordedDownload plain = Recorded().downloads.back();
  EXPECT_EQ(plain.Texel16(5, 7), 0xA5A2);
  EXPECT_EQ(plain.Texel16(10, 7), 0xFFFF);
  EXPECT_EQ(plain.Texel16(15, 7), 0x1100);  // (4, 0, 0): R4 = 1, alpha 1
  EXPECT_EQ(plain.Texel16(20, 7), 0x9009);
  EXPECT_EQ(plain.Texel16(0, 0), 0x0000);   // black is fully transparent

  GlowDoubling = 1;
  EXPECT_EQ(LoadCelGlow("missing.cel"), -1);
  EXPECT_EQ(GlowDoubling, 1) << "a failed load leaves the flag";
  ASSERT_EQ(LoadCelGlow("g.cel"), 1);
  const RecordedDownload doubled = Recorded().downloads.back();
  EXPECT_EQ(doubled.Texel16(5, 7), 0xF5A2);   // 2 x 10 capped at 15
  EXPECT_EQ(doubled.Texel16(15, 7), 0x2100);  // 2 x 1
  EXPECT_EQ(doubled.Texel16(20, 7), 0xF009);  // 2 x 9 capped
  EXPECT_EQ(GlowDoubling, 0) << "a successful glow load clears the flag";
  ASSERT_EQ(LoadCelGlow("g.cel"), 2);
  EXPECT_EQ(Recorded().downloads.back().Texel16(5, 7), 0xA5A2);
}

TEST_F(CelLoaderTest, PalettedTexelsAreThePixelBytes) {
  std::vector<uint8_t> pixels(16384);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / 128);
  WriteFile("p.cel", CelBytes({{63, 63, 63}}, pixels));
  ASSERT_EQ(LoadCelPaletted("p.cel"), 0);
  EXPECT_EQ(Recorded().downloads.back().bytes, pixels);
}

// 256 x 200 images whose row y holds index y % 3 + 1 (and row 0 index 0).
std::vector<uint8_t> RowCodedScreen() {
  std::vector<uint8_t> pixels(51200);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i < 256 ? 0 : (i / 256) % 3 + 1);
  return CelBytes({{10, 20, 30}, {63, 0, 0}, {0, 63, 0}, {0, 0, 63}}, pixels);
}

TEST_F(CelLoaderTest, ScreenImagesFillRowsBelowTheImageWithEntryZero) {
  WriteFile("s.cel", RowCodedScreen());
  ASSERT_EQ(LoadScreenRgb565("s.cel"), 0);
  ASSERT_EQ(LoadScreenGlow("s.cel"), 1);
  const RecordedDownload& rgb = Recorded().downloads[0];
  const RecordedDownload& glow = Recorded().downloads[1];
  const uint16_t entry0Rgb565 = 5 << 11 | 20 << 5 | 15;
  const uint16_t entry0Argb4444 = 7 << 12 | 2 << 8 | 5 << 4 | 7;
  EXPECT_EQ(rgb.Texel16(3, 199), 0x07E0);  // row 199 holds entry 199 % 3 + 1 = 2, green
  EXPECT_EQ(rgb.Texel16(3, 198), 0xF800);  // row 198: entry 1, red
  for (int t : {200, 201, 230, 255}) {
    for (int s : {0, 128, 255}) {
      EXPECT_EQ(rgb.Texel16(s, t), entry0Rgb565) << s << "," << t;
      EXPECT_EQ(glow.Texel16(s, t), entry0Argb4444) << s << "," << t;
    }
  }
}

TEST_F(CelLoaderTest, SoftSpriteEdgeRampAndTransparentRows) {
  // Opaque block of entry 1 in columns 20 ... 120 and rows 150 ... 199, one transparent hole at
  // (70, 170), an opaque pixel on the left border at (0, 10); everything else index 255.
  std::vector<uint8_t> pixels(51200, 255);
  for (int y = 150; y < 200; ++y) {
    for (int x = 20; x <= 120; ++x) pixels[static_cast<size_t>(y * 256 + x)] = 1;
  }
  pixels[170 * 256 + 70] = 255;
  pixels[10 * 256 + 0] = 1;
  std::vector<Rgb6> palette(256, Rgb6{0, 0, 0});
  palette[1] = {63, 32, 0};
  palette[255] = {63, 63, 63};  // made black by the loader
  WriteFile("sprite.cel", CelBytes(palette, pixels));
  ASSERT_EQ(LoadCelSoftSprite("sprite.cel"), 0);
  const RecordedDownload& d = Recorded().downloads.back();
  const auto alpha = [&](int s, int t) { return d.Texel16(s, t) >> 12; };
  const uint16_t colour = 15 << 8 | 8 << 4 | 0;
  EXPECT_EQ(d.Texel16(60, 160) & 0x0FFF, colour);
  // From the left edge of the block: 4, 8, 12, then 15 from the fourth pixel inwards.
  EXPECT_THAT((std::vector<int>{alpha(19, 160), alpha(20, 160), alpha(21, 160), alpha(22, 160), alpha(23, 160), alpha(40, 160)}),
              ::testing::ElementsAre(0, 4, 8, 12, 15, 15));
  // Around the hole: 4-connected distance, so the diagonal is two steps away.
  EXPECT_EQ(alpha(70, 170), 0);
  EXPECT_EQ(alpha(71, 170), 4);
  EXPECT_EQ(alpha(70, 169), 4);
  EXPECT_EQ(alpha(71, 171), 8);
  EXPECT_EQ(alpha(72, 171), 12);
  EXPECT_EQ(alpha(74, 170), 15);
  // Rows 200 ... 255 are transparent black, so row 199 is an edge and row 198 the next step.
  EXPECT_EQ(alpha(60, 199), 4);
  EXPECT_EQ(alpha(60, 198), 8);
  for (int t : {200, 220, 255}) {
    for (int s : {0, 60, 255}) EXPECT_EQ(d.Texel16(s, t), 0) << s << "," << t;
  }
  EXPECT_EQ(d.Texel16(70, 170), 0) << "index 255 is black whatever its palette entry";
  EXPECT_EQ(alpha(0, 10), 15) << "border pixels keep their first alpha";
}

// SoftEdgeAlpha against an independent breadth-first distance on random shapes.
TEST(SoftEdgeAlphaTest, MatchesCappedFourConnectedDistance) {
  std::mt19937 random(1234);
  for (int trial = 0; trial < 6; ++trial) {
    std::vector<uint8_t> indices(kSpritePlane, 0);
    std::uniform_int_distribution<int> coordinate(0, 255);
    std::uniform_int_distribution<int> radius(1, 20);
    const int holes = 3 + trial * 25;
    for (int h = 0; h < holes; ++h) {
      const int cx = coordinate(random), cy = coordinate(random), r = radius(random);
      for (int y = std::max(0, cy - r); y <= std::min(255, cy + r); ++y) {
        for (int x = std::max(0, cx - r); x <= std::min(255, cx + r); ++x) {
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) indices[static_cast<size_t>(y * 256 + x)] = 255;
        }
      }
    }
    std::vector<uint8_t> alpha(kSpritePlane);
    SoftEdgeAlpha(indices.data(), alpha.data());

    // Reference: distances grow only through interior pixels; border pixels keep 0 or 15.
    std::vector<int> distance(kSpritePlane, -1);
    std::deque<int> queue;
    for (int i = 0; i < kSpritePlane; ++i) {
      if (indices[static_cast<size_t>(i)] == 255) {
        distance[static_cast<size_t>(i)] = 0;
        queue.push_back(i);
      }
    }
    while (!queue.empty()) {
      const int at = queue.front();
      queue.pop_front();
      const int x = at % 256, y = at / 256;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : next) {
        if (n[0] < 1 || n[0] > 254 || n[1] < 1 || n[1] > 254) continue;
        const size_t k = static_cast<size_t>(n[1] * 256 + n[0]);
        if (distance[k] < 0) {
          distance[k] = distance[static_cast<size_t>(at)] + 1;
          queue.push_back(static_cast<int>(k));
        }
      }
    }
    int mismatches = 0;
    for (int i = 0; i < kSpritePlane; ++i) {
      const int d = distance[static_cast<size_t>(i)] < 0 ? 15 : std::min(distance[static_cast<size_t>(i)], 15);
      if (alpha[static_cast<size_t>(i)] != std::min(4 * d, 15)) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0) << "trial " << trial;
  }
}

// Every way a load can fail, through every loader: -1, no row, no arena change, no download,
// and the glow flag untouched.
TEST_F(CelLoaderTest, FailuresLeaveNoTrace) {
  struct Failure {
    const char* what;
    void (*arrange)(const LoaderKind&);
    const char* file;
  };
  const Failure failures[] = {
      {"missing file", [](const LoaderKind&) {}, "none.cel"},
      {"null name", [](const LoaderKind&) {}, nullptr},
      {"directory", [](const LoaderKind&) { std::filesystem::create_directory("dir.cel"); }, "dir.cel"},
      {"empty file", [](const LoaderKind&) { WriteFile("f.cel", {}); }, "f.cel"},
      {"one byte too many", [](const LoaderKind& k) { WriteFile("f.cel", PlainCel(k.screen ? 51201 : 16385)); }, "f.cel"},
      {"other kind's size", [](const LoaderKind& k) { WriteFile("f.cel", PlainCel(k.screen ? 65536 : 51200)); }, "f.cel"},
      {"first allocation fails",
       [](const LoaderKind& k) {
         WriteFile("f.cel", PlainCel(k.screen ? 51200 : 4096));
         gfx_internal::AllocationsBeforeFailure = 0;
       },
       "f.cel"},
      {"last allocation fails",
       [](const LoaderKind& k) {
         WriteFile("f.cel", PlainCel(k.screen ? 51200 : 4096));
         const bool sprite = k.load == LoadCelSoftSprite;
         gfx_internal::AllocationsBeforeFailure = k.format == GR_TEXFMT_P_8 ? 0 : (sprite ? 2 : 1);
       },
       "f.cel"},
      {"memory requirement differs",
       [](const LoaderKind& k) {
         WriteFile("f.cel", PlainCel(k.screen ? 51200 : 4096));
         Recorded().requiredSkew = 8;
       },
       "f.cel"},
      {"table full",
       [](const LoaderKind& k) {
         WriteFile("f.cel", PlainCel(k.screen ? 51200 : 64));
         TextureCount = kTextureTableRows;
       },
       "f.cel"},
      {"past the end of texture memory",
       [](const LoaderKind& k) {
         WriteFile("f.cel", PlainCel(k.screen ? 51200 : 65536));
         TextureArenaNext = grTexMaxAddress(GR_TMU0) + 8 - 65536;  // room for 64 KiB only
       },
       "f.cel"},
  };
  for (const auto& loader : kLoaders) {
    for (const auto& failure : failures) {
      SCOPED_TRACE(std::string(loader.name) + ": " + failure.what);
      failure.arrange(loader);
      GlowDoubling = 1;
      const bool paletted = loader.format == GR_TEXFMT_P_8;
      if (paletted && std::string(failure.what) == "past the end of texture memory") {
        // An 8-bit 256 x 256 texture is exactly 64 KiB, so it still fits; one byte less does not.
        TextureArenaNext += 8;
      }
      const Snapshot armed = Take();
      EXPECT_EQ(loader.load(failure.file), -1);
      EXPECT_EQ(Take(), armed);
      EXPECT_EQ(GlowDoubling, 1);
      std::error_code ignored;
      std::filesystem::remove_all("dir.cel", ignored);
      std::filesystem::remove("f.cel", ignored);
      gfx_internal::AllocationsBeforeFailure = -1;
      Recorded().requiredSkew = 0;
      TextureCount = 0;
      TextureArenaNext = TextureArenaBase;
    }
  }
}

// The table's last row is usable; only the 129th texture is refused.
TEST_F(CelLoaderTest, TableTakesExactly128Textures) {
  WriteFile("tiny.cel", PlainCel(64));
  for (int i = 0; i < kTextureTableRows; ++i) ASSERT_EQ(LoadCelPaletted("tiny.cel"), i);
  const Snapshot full = Take();
  EXPECT_EQ(LoadCelRgb565("tiny.cel"), -1);
  EXPECT_EQ(Take(), full);
  EXPECT_EQ(TextureArenaNext, TextureArenaBase + 128 * 64);
}

}  // namespace
