// Buffers, clears, swaps, LFB reads and texture memory: what the display side promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "GlideTestSupport.h"
#include "Settings.h"
#include "TextureMemory.h"

using glidetest::GlideFixture;

namespace {

class Buffers : public GlideFixture {};

TEST_F(Buffers, ClearFillsClipWindowWithDitheredColourAndDepthOnlyWhenEnabled) {
  grDitherMode(GR_DITHER_DISABLE);
  // ABGR: 0x00BBGGRR. Pure red.
  grBufferClear(0x000000FF, 0, 0x1234);
  EXPECT_EQ(Pixel(0, 0), 0xF800);
  EXPECT_EQ(Pixel(639, 479), 0xF800);
  std::vector<uint16_t> aux = Read(GR_BUFFER_AUXBUFFER);
  EXPECT_EQ(aux[0], 0) << "depth buffering is off after grSstWinOpen: depth is not cleared";

  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthMask(FXTRUE);
  grClipWindow(10, 20, 30, 40);
  grBufferClear(0x00FF0000, 0, 0xFFFF);  // blue
  EXPECT_EQ(Pixel(10, 20), 0x001F);
  EXPECT_EQ(Pixel(29, 39), 0x001F);
  EXPECT_EQ(Pixel(9, 20), 0xF800) << "left of the clip window";
  EXPECT_EQ(Pixel(30, 39), 0xF800) << "the clip window's right edge is exclusive";
  EXPECT_EQ(Pixel(29, 40), 0xF800) << "the clip window's bottom edge is exclusive";
  aux = Read(GR_BUFFER_AUXBUFFER);
  EXPECT_EQ(aux[20 * 640 + 10], 0xFFFF);
  EXPECT_EQ(aux[20 * 640 + 9], 0);

  grColorMask(FXFALSE, FXFALSE);
  grDepthMask(FXFALSE);
  grBufferClear(0x0000FF00, 0, 0x0000);
  EXPECT_EQ(Pixel(10, 20), 0x001F) << "colour writes off: colour kept";
  EXPECT_EQ(Read(GR_BUFFER_AUXBUFFER)[20 * 640 + 10], 0xFFFF) << "depth mask off: depth kept";

  // Without depth buffering, alpha writes make the auxiliary buffer the alpha planes: a clear
  // writes the alpha value there, inside the clip window only.
  grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
  grColorMask(FXTRUE, FXTRUE);
  grBufferClear(0x0000FF00, 0x5A, 0x1234);
  aux = Read(GR_BUFFER_AUXBUFFER);
  EXPECT_EQ(aux[20 * 640 + 10], 0x5A);
  EXPECT_EQ(aux[39 * 640 + 29], 0x5A);
  EXPECT_EQ(aux[20 * 640 + 30], 0) << "right of the clip window";
}

TEST_F(Buffers, ClearDithersANon565Colour) {
  // 4x4 dithering is on by default: grey 0x80 is not a 565 value and becomes a pattern.
  grBufferClear(0x00808080, 0, 0);
  const std::vector<uint16_t> px = Read();
  std::vector<uint16_t> seen;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) seen.push_back(px[y * 640 + x]);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 1);
  EXPECT_EQ(px[0], px[4]) << "the pattern repeats every four pixels";
  EXPECT_EQ(px[0], px[4 * 640]);
}

TEST_F(Buffers, SwapExchangesBuffersAndNothingStaysPending) {
  grDitherMode(GR_DITHER_DISABLE);
  grBufferClear(0x000000FF, 0, 0);  // back buffer red
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_FRONTBUFFER), 0);
  grBufferSwap(1);
  EXPECT_EQ(grBufferNumPending(), 0);
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_FRONTBUFFER), 0xF800) << "the drawn frame is shown";
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_BACKBUFFER), 0) << "the old front is drawn into next";
  grBufferClear(0x0000FF00, 0, 0);
  grBufferSwap(1);
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_FRONTBUFFER), 0x07E0);
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_BACKBUFFER), 0xF800);

  // Drawing into the front buffer.
  grRenderBuffer(GR_BUFFER_FRONTBUFFER);
  grBufferClear(0x00FF0000, 0, 0);
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_FRONTBUFFER), 0x001F);
  EXPECT_EQ(Pixel(5, 5, GR_BUFFER_BACKBUFFER), 0xF800);
}

TEST_F(Buffers, LfbReadRegionHonoursStrideAndRefusesOutOfRange) {
  FlatState();
  grClipWindow(0, 0, 640, 480);
  // Column x gets 565 value x (r = 0, g = x >> 5, b = x & 31) through LFB writes.
  std::vector<uint16_t> row(640);
  for (int x = 0; x < 640; ++x) row[x] = static_cast<uint16_t>(x);
  for (int y = 0; y < 480; ++y) {
    ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 0, y, GR_LFB_SRC_FMT_565, 640, 1, 1280,
                                 row.data()));
  }
  // A 256 x 256 region into a 512-byte stride, as the feedback scenes read it, with a guard
  // band after each row's 512 bytes in a wider buffer.
  std::vector<uint16_t> dst(300 * 300, 0xABCD);
  ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 3, 2, 256, 256, 600, dst.data()));
  EXPECT_EQ(dst[0], 3);
  EXPECT_EQ(dst[255], 258);
  EXPECT_EQ(dst[256], 0xABCD) << "nothing written past the row";
  EXPECT_EQ(dst[300], 3) << "the next row starts one stride later";

  ExpectMisuse(3);
  EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 600, 0, 41, 1, 82, dst.data()));
  EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 16, 1, 8, dst.data()));
  EXPECT_FALSE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0xFFFFFFF0u, 1, 32, 2, dst.data()));
}

class TextureMemoryTest : public GlideFixture {};

TEST_F(TextureMemoryTest, SizesFollowTheBoardTable) {
  struct Case {
    int lod, format;
    FxU32 bytes;
  };
  const Case cases[] = {
      {GR_LOD_256, GR_TEXFMT_P_8, 65536},    {GR_LOD_256, GR_TEXFMT_RGB_565, 131072},
      {GR_LOD_128, GR_TEXFMT_P_8, 16384},    {GR_LOD_128, GR_TEXFMT_ARGB_4444, 32768},
      {GR_LOD_64, GR_TEXFMT_P_8, 4096},      {GR_LOD_32, GR_TEXFMT_RGB_565, 2048},
      {GR_LOD_8, GR_TEXFMT_P_8, 64},         {GR_LOD_4, GR_TEXFMT_P_8, 16},
      {GR_LOD_4, GR_TEXFMT_RGB_565, 32},     {GR_LOD_2, GR_TEXFMT_P_8, 8},
      {GR_LOD_2, GR_TEXFMT_RGB_565, 8},      {GR_LOD_1, GR_TEXFMT_P_8, 8},
      {GR_LOD_1, GR_TEXFMT_ARGB_4444, 8},
  };
  for (const Case& c : cases) {
    GrTexInfo info{c.lod, c.lod, GR_ASPECT_1x1, c.format, nullptr};
    EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), c.bytes)
        << "lod " << c.lod << " format " << c.format;
  }
  GrTexInfo chain8{GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_P_8, nullptr};
  GrTexInfo chain16{GR_LOD_1, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
  EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &chain8), 87384u);
  EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &chain16), 43696u);
  EXPECT_EQ(grTexCalcMemRequired(GR_LOD_1, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565), 174768u);
  GrTexInfo wide{GR_LOD_256, GR_LOD_256, GR_ASPECT_8x1, GR_TEXFMT_P_8, nullptr};
  EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &wide), 256u * 32u);
  EXPECT_EQ(grTexMinAddress(GR_TMU0), 0u);
  EXPECT_EQ(grTexMaxAddress(GR_TMU0), 0x1FFFF8u);
}

TEST_F(TextureMemoryTest, BackToBackTexturesDoNotOverlapAndDownloadsPastTheEndAreRefused) {
  // Two 8 x 8 textures placed with grTexTextureMemRequired; drawing each shows its own colour.
  std::vector<uint16_t> red(64, 0xF800), green(64, 0x07E0);
  GrTexInfo a{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, red.data()};
  GrTexInfo b{GR_LOD_8, GR_LOD_8, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, green.data()};
  const FxU32 second = grTexMinAddress(GR_TMU0) + grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &a);
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &a);
  grTexDownloadMipMap(GR_TMU0, second, GR_MIPMAPLEVELMASK_BOTH, &b);
  const uint8_t* mem = glide::TheContext().Textures().Data();
  uint16_t first, next;
  std::memcpy(&first, mem + 126, 2);
  std::memcpy(&next, mem + second, 2);
  EXPECT_EQ(first, 0xF800);
  EXPECT_EQ(next, 0x07E0);

  // Refusals: each leaves memory untouched and reports one line.
  ExpectMisuse(4);
  std::vector<uint16_t> big(256 * 256, 0x1234);
  GrTexInfo large{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, big.data()};
  const FxU32 last = grTexMaxAddress(GR_TMU0) + 8;
  grTexDownloadMipMap(GR_TMU0, last - 131072 + 8, GR_MIPMAPLEVELMASK_BOTH, &large);  // 8 past
  grTexDownloadMipMap(GR_TMU0, 4, GR_MIPMAPLEVELMASK_BOTH, &a);                       // unaligned
  grTexDownloadMipMap(GR_TMU0, 0xFFFFFFF8u, GR_MIPMAPLEVELMASK_BOTH, &a);             // wraps
  grTexDownloadMipMap(GR_TMU1, 0, GR_MIPMAPLEVELMASK_BOTH, &a);                       // no TMU 1
  std::memcpy(&first, mem + 126, 2);
  EXPECT_EQ(first, 0xF800);
  uint16_t tail;
  std::memcpy(&tail, mem + last - 2, 2);
  EXPECT_EQ(tail, 0) << "a refused download writes nothing";
  // The last texture that does fit is accepted.
  grTexDownloadMipMap(GR_TMU0, last - 131072, GR_MIPMAPLEVELMASK_BOTH, &large);
  std::memcpy(&tail, mem + last - 2, 2);
  EXPECT_EQ(tail, 0x1234);
}

TEST_F(TextureMemoryTest, PaletteEntriesKeepTheirExactBitsAndIgnoreTheTopByte) {
  GuTexPalette palette;
  for (int i = 0; i < 256; ++i) palette.data[i] = 0xAB000000u | static_cast<FxU32>(i * 0x010203);
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  const auto& stored = glide::TheContext().Textures().Palette();
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(stored[i], 0xFF000000u | ((i * 0x010203u) & 0xFFFFFF)) << i;
  }
}

TEST(TextureMemorySize, EnvironmentChoosesTwoOrFourMebibytes) {
  unsetenv("SST_TMUMEM_SIZE");
  EXPECT_EQ(glide::TextureMemorySetting(), 2u << 20);
  setenv("SST_TMUMEM_SIZE", "4", 1);
  EXPECT_EQ(glide::TextureMemorySetting(), 4u << 20);
  setenv("SST_TMUMEM_SIZE", "16", 1);
  EXPECT_EQ(glide::TextureMemorySetting(), 2u << 20) << "beyond the board: default";
  setenv("SST_TMUMEM_SIZE", "2x", 1);
  EXPECT_EQ(glide::TextureMemorySetting(), 2u << 20);
  unsetenv("SST_TMUMEM_SIZE");
}

}  // namespace
