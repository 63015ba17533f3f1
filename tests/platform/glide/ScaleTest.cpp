// Drawing at a multiple of 640 x 480 (GLIDE_SCALE): the buffers are larger and everything drawn
// is finer, while what the program can observe (reads, locks, the screen's size) stays that of
// 640 x 480.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "GlideTestSupport.h"
#include "Settings.h"
#include "Pipeline.h"
#include "Tables.h"

namespace {

using glidetest::Vertex;

// Opens the display at `scale` (and GLIDE_THREADS `threads`).
void Open(int scale, int threads = 1) {
  setenv("GLIDE_PRESENT", "none", 1);
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  setenv("GLIDE_SCALE", std::to_string(scale).c_str(), 1);
  setenv("GLIDE_THREADS", std::to_string(threads).c_str(), 1);
  grGlideInit();
  grSstSelect(0);
  ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1));
  unsetenv("GLIDE_SCALE");
  unsetenv("GLIDE_THREADS");
  glide::ResetMisuse();
  ASSERT_EQ(glide::TheContext().Scale(), scale);
}

void Flat() {
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE,
                 FXFALSE);
  grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE,
                 FXFALSE);
  grDitherMode(GR_DITHER_DISABLE);
}

// The top-left `width` x `height` pixels of a buffer as drawn, copied into packed rows.
std::vector<uint16_t> Raw(int width, int height, GrBuffer_t buffer = GR_BUFFER_BACKBUFFER) {
  const uint16_t* pixels = glide::TheContext().Pixels(buffer);
  const int stride = glide::TheContext().Stride();
  std::vector<uint16_t> out(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) out[static_cast<size_t>(y) * width + x] = pixels[static_cast<size_t>(y) * stride + x];
  }
  return out;
}

class Scale : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(glide::MisuseCount(), expectedMisuse_);
    grGlideShutdown();
  }
  uint64_t expectedMisuse_ = 0;
};

TEST(ScaleSetting, TakesOneToFourAndAnythingElseIsScaleOneWithAReason) {
  std::string error;
  EXPECT_EQ(glide::ParseScale(nullptr, &error), std::nullopt);
  EXPECT_EQ(glide::ParseScale("", &error), std::nullopt);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(glide::ParseScale(std::to_string(n).c_str(), &error), n);
  EXPECT_TRUE(error.empty());
  for (const char* bad : {"0", "5", "2x", "x", "-1", "22", " 2"}) {
    error.clear();
    EXPECT_EQ(glide::ParseScale(bad, &error), 1) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

// Random triangles in the 64 x 64 corner at scale 1 and 2: every pixel drawn at 1 whose eight
// neighbours are drawn too (well inside the triangle) has all four of its pixels drawn at 2, and
// nothing at 2 is drawn outside the triangle's bounds (thin parts that miss every pixel centre at
// 1 may show at 2).
TEST_F(Scale, CoverageAtTwoRefinesCoverageAtOne) {
  std::mt19937 rng(11);
  auto unit = [&] { return static_cast<float>(rng() % 100000) / 100000.0f; };
  struct Tri {
    GrVertex a, b, c;
  };
  std::vector<Tri> tris;
  for (int i = 0; i < 40; ++i) {
    // Coordinates with sub-pixel parts, some on the 1/16 grid and some off it.
    tris.push_back({Vertex(4 + 56 * unit(), 4 + 56 * unit()), Vertex(4 + 56 * unit(), 4 + 56 * unit()),
                    Vertex(4 + 56 * unit(), 4 + 56 * unit())});
  }
  std::vector<std::vector<uint16_t>> one, two;
  for (int scale : {1, 2}) {
    Open(scale);
    Flat();
    for (const Tri& t : tris) {
      grBufferClear(0, 0, 0);
      grDrawTriangle(&t.a, &t.b, &t.c);
      (scale == 1 ? one : two).push_back(Raw(64 * scale, 64 * scale));
    }
    grGlideShutdown();
  }
  int interior = 0;
  for (size_t i = 0; i < tris.size(); ++i) {
    auto drawnAt1 = [&](int x, int y) { return x >= 0 && y >= 0 && x < 64 && y < 64 && one[i][y * 64 + x] != 0; };
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        bool inside = true;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) inside = inside && drawnAt1(x + dx, y + dy);
        }
        const Tri& t = tris[i];
        for (int sy = 0; sy < 2; ++sy) {
          for (int sx = 0; sx < 2; ++sx) {
            const bool drawn = two[i][(2 * y + sy) * 128 + 2 * x + sx] != 0;
            if (inside) {
              EXPECT_TRUE(drawn) << "triangle " << i << " pixel " << x << "," << y;
            }
            // The corners as the board takes them: on the 1/16 grid.
            auto snap = [](float v) { return std::floor(v * 16) / 16; };
            const float cx = (2 * x + sx + 0.5f) / 2, cy = (2 * y + sy + 0.5f) / 2;
            const bool inBounds = cx >= snap(std::min({t.a.x, t.b.x, t.c.x})) &&
                                  cx <= snap(std::max({t.a.x, t.b.x, t.c.x})) &&
                                  cy >= snap(std::min({t.a.y, t.b.y, t.c.y})) &&
                                  cy <= snap(std::max({t.a.y, t.b.y, t.c.y}));
            if (!inBounds) {
              EXPECT_FALSE(drawn) << "triangle " << i << " pixel " << x << "," << y;
            }
          }
        }
        interior += inside;
      }
    }
  }
  EXPECT_GT(interior, 2000);
}

// A vertex is taken as the program's 12.4 position first, then scaled: at 1/16 + 1/32 of a pixel
// the position is truncated to 1/16 and lands on a whole pixel of the larger buffer; scaling
// first would keep the 1/32 and move the edge by one pixel there.
TEST_F(Scale, VerticesAreScaledAfterTheProgramsGridNotBefore) {
  Open(2);
  Flat();
  grBufferClear(0, 0, 0);
  // Left edge at x = 10 + 3/32 (12.4: 10 + 1/16), vertical.
  const float left = 10.0f + 3.0f / 32.0f;
  const GrVertex a = Vertex(left, 2), b = Vertex(30, 2), c = Vertex(left, 30);
  grDrawTriangle(&a, &b, &c);
  const std::vector<uint16_t> raw = Raw(80, 80);
  // The edge at 20 + 1/8 in the larger buffer: column 20's centre (20.5) is right of it, drawn;
  // 19's is not. Scaled before the grid the edge would sit at 20 + 3/16: the same columns, so
  // also look at a row where the slanted edge decides.
  EXPECT_NE(raw[20 * 80 + 20], 0);
  EXPECT_EQ(raw[20 * 80 + 19], 0);
  // The hypotenuse from (30, 2) to (left, 30): at scale 2 from (60, 4) to (20.125, 60). Every row's
  // first undrawn column agrees with the edge through the 12.4-scaled corners.
  for (int y = 4; y < 60; ++y) {
    const double cy = y + 0.5;
    const double edgeX = 60.0 + (20.125 - 60.0) * (cy - 4.0) / (60.0 - 4.0);
    for (int x = 21; x < 60; ++x) {
      const bool drawn = raw[y * 80 + x] != 0;
      const double centre = x + 0.5;
      if (centre < edgeX - 1e-9) {
        EXPECT_TRUE(drawn) << x << "," << y;
      }
      if (centre > edgeX + 1e-9) {
        EXPECT_FALSE(drawn) << x << "," << y;
      }
    }
  }
}

TEST_F(Scale, ClipWindowAndClearCoverTheirScaledRectangleWithTheDitherPerScaledPixel) {
  Open(2);
  grBufferClear(0, 0, 0);
  grClipWindow(10, 20, 30, 45);
  grDitherMode(GR_DITHER_4x4);
  // A grey between two RGB565 steps: the dither spreads it over a 4 x 4 tile of buffer pixels.
  const GrColor_t grey = 0x00838383;
  grBufferClear(grey, 0, 0);
  const std::vector<uint16_t> raw = Raw(80, 100);
  const glide::Tables& tables = glide::GetTables();
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 80; ++x) {
      const bool inClip = x >= 20 && x < 60 && y >= 40 && y < 90;
      const uint16_t expected =
          inClip ? glide::DitherPixel(tables, glide::DitherMode::k4x4, x, y, glide::Unpack(0xFF838383u)) : 0;
      ASSERT_EQ(raw[y * 80 + x], expected) << x << "," << y;
    }
  }
  // A triangle over the whole screen stays inside the clip window's scaled rectangle.
  Flat();
  grClipWindow(0, 0, 640, 480);
  grBufferClear(0, 0, 0);
  grClipWindow(3, 5, 7, 9);
  const GrVertex a = Vertex(-100, -100), b = Vertex(1000, -100), c = Vertex(-100, 1000);
  grDrawTriangle(&a, &b, &c);
  const std::vector<uint16_t> tri = Raw(80, 100);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 80; ++x) {
      ASSERT_EQ(tri[y * 80 + x] != 0, x >= 6 && x < 14 && y >= 10 && y < 18) << x << "," << y;
    }
  }
}

// What the program reads is each pixel's block: one value reads as itself; the RGB565 fields
// of a mixed block are averaged each on its own and rounded up at the share of a 4 x 4 tile
// their fraction makes (the dither matrix decides where), so a tile's mean is kept; the
// auxiliary buffer's mean is rounded to the nearest.
TEST_F(Scale, ReadsAreTheRoundedMeanOfEachBlock) {
  Open(2);
  Flat();
  // The program can only write whole blocks: the mixed blocks are written into the buffer itself.
  uint16_t* back = const_cast<uint16_t*>(glide::TheContext().Pixels(GR_BUFFER_BACKBUFFER));
  const int stride = glide::TheContext().Stride();
  // Pixel (x, y) of a 4 x 4 tile: its block holds red 7 in 4 - k of its pixels and 8 in k,
  // k = (x + y) % 4 (a mean of 7 + k/4); green 40 in all four; blue 20, 21, 22, 23 (mean 21.5).
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int k = (x + y) % 4;
      const uint16_t blues[4] = {20, 21, 22, 23};
      for (int i = 0; i < 4; ++i) {
        const int red = i < k ? 8 : 7;
        back[static_cast<size_t>(2 * y + i / 2) * stride + 2 * x + i % 2] =
            static_cast<uint16_t>(red << 11 | 40 << 5 | blues[i]);
      }
    }
  }
  uint16_t read[16];
  ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 4, 4, 8, read));
  int redSum = 0, blueSum = 0;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const uint16_t p = read[y * 4 + x];
      const int k = (x + y) % 4, red = p >> 11, green = (p >> 5) & 63, blue = p & 31;
      EXPECT_EQ(green, 40);
      if (k == 0) {
        EXPECT_EQ(red, 7) << "a block of one red reads as that red";
      }
      EXPECT_TRUE(red == 7 || red == 8);
      EXPECT_TRUE(blue == 21 || blue == 22);
      // Rounded up where the fraction exceeds the dither entry's (d + 1/2) / 16.
      const int d = glide::kDither4x4[y][x];
      EXPECT_EQ(red, 7 + (k * 16 > 4 * d + 2)) << x << "," << y;
      EXPECT_EQ(blue, 21 + (8 > d)) << x << "," << y;
      redSum += red;
      blueSum += blue;
    }
  }
  EXPECT_EQ(blueSum, 16 * 21 + 8) << "a half rounds up at half the tile";
  EXPECT_EQ(redSum, 16 * 7 + 6) << "red's quarters: 4 tiles' worth of k/4, rounded up 6 times in 16";
  // The auxiliary buffer: (100, 101, 101, 101) is 100.75, read as 101; (100, 100, 101, 101) is a
  // half, to the even 100.
  uint16_t* aux = const_cast<uint16_t*>(glide::TheContext().Pixels(GR_BUFFER_AUXBUFFER));
  const uint16_t blockA[4] = {100, 101, 101, 101}, blockB[4] = {100, 100, 101, 101};
  for (int i = 0; i < 4; ++i) {
    aux[static_cast<size_t>(i / 2) * stride + i % 2] = blockA[i];
    aux[static_cast<size_t>(i / 2) * stride + 2 + i % 2] = blockB[i];
  }
  uint16_t depth[2];
  ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_AUXBUFFER, 0, 0, 2, 1, 4, depth));
  EXPECT_EQ(depth[0], 101);
  EXPECT_EQ(depth[1], 100);
}

TEST_F(Scale, WritesFillWholeBlocksAndLocksHandOutAndTakeBackThe640x480Picture) {
  Open(3);
  Flat();
  grBufferClear(0, 0, 0);
  // A 3 x 2 gradient written at (5, 7): each value fills its 3 x 3 block and reads back as is.
  const uint16_t gradient[6] = {0x0841, 0x1082, 0x18C3, 0x2104, 0x2945, 0x3186};
  ASSERT_TRUE(grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 5, 7, GR_LFB_SRC_FMT_565, 3, 2, 6, const_cast<uint16_t*>(gradient)));
  const std::vector<uint16_t> raw = Raw(30, 30);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 30; ++x) {
      const int px = x / 3 - 5, py = y / 3 - 7;
      const uint16_t expected = px >= 0 && px < 3 && py >= 0 && py < 2 ? gradient[py * 3 + px] : 0;
      ASSERT_EQ(raw[y * 30 + x], expected) << x << "," << y;
    }
  }
  uint16_t back[6];
  ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 5, 7, 3, 2, 6, back));
  EXPECT_EQ(std::vector<uint16_t>(back, back + 6), std::vector<uint16_t>(gradient, gradient + 6));

  // Finer detail the program did not write survives a lock: one pixel of a block set apart.
  uint16_t* buffer = const_cast<uint16_t*>(glide::TheContext().Pixels(GR_BUFFER_BACKBUFFER));
  const int stride = glide::TheContext().Stride();
  buffer[static_cast<size_t>(60) * stride + 61] = 0xF800;
  GrLfbInfo_t info{};
  info.size = sizeof info;
  ASSERT_TRUE(grLfbLock(GR_LFB_WRITE_ONLY, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_UPPER_LEFT, FXFALSE,
                        &info));
  EXPECT_EQ(info.strideInBytes, 640u * 2);
  auto* locked = static_cast<uint16_t*>(info.lfbPtr);
  EXPECT_EQ(locked[7 * 640 + 6], gradient[1]);
  locked[100 * 640 + 200] = 0x07E0;  // the program writes one pixel
  ASSERT_TRUE(grLfbUnlock(GR_LFB_WRITE_ONLY, GR_BUFFER_BACKBUFFER));
  for (int dy = 0; dy < 3; ++dy) {
    for (int dx = 0; dx < 3; ++dx) EXPECT_EQ(buffer[static_cast<size_t>(300 + dy) * stride + 600 + dx], 0x07E0);
  }
  EXPECT_EQ(buffer[static_cast<size_t>(60) * stride + 61], 0xF800) << "a pixel the program left alone keeps its detail";
  EXPECT_EQ(buffer[static_cast<size_t>(60) * stride + 60], 0);
  EXPECT_EQ(grSstScreenWidth(), 640u);
  EXPECT_EQ(grSstScreenHeight(), 480u);
}

// Depth at scale: two crossing W-buffered triangles leave, in the middle of every block well
// inside both, the one that is nearer there, as at 1.
TEST_F(Scale, DepthTestsEveryScaledPixelAsAtOne) {
  std::vector<uint16_t> reads[2];
  for (int scale : {1, 2}) {
    Open(scale, 2);
    Flat();
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
    // Red leans back to the right, green to the left: they cross at x = 32.
    const GrVertex r0 = Vertex(0, 0, 255, 0, 0, 255, 1.0f), r1 = Vertex(64, 0, 255, 0, 0, 255, 0.25f),
                   r2 = Vertex(0, 64, 255, 0, 0, 255, 1.0f), r3 = Vertex(64, 64, 255, 0, 0, 255, 0.25f);
    const GrVertex g0 = Vertex(0, 0, 0, 255, 0, 255, 0.25f), g1 = Vertex(64, 0, 0, 255, 0, 255, 1.0f),
                   g2 = Vertex(0, 64, 0, 255, 0, 255, 0.25f), g3 = Vertex(64, 64, 0, 255, 0, 255, 1.0f);
    grDrawTriangle(&r0, &r1, &r3);
    grDrawTriangle(&r0, &r3, &r2);
    grDrawTriangle(&g0, &g1, &g3);
    grDrawTriangle(&g0, &g3, &g2);
    reads[scale - 1].resize(64 * 64);
    ASSERT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 64, 64, 128, reads[scale - 1].data()));
    grGlideShutdown();
  }
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if (x == 31 || x == 32) continue;  // the crossing itself may fall either way in a block
      ASSERT_EQ(reads[1][y * 64 + x], reads[0][y * 64 + x]) << x << "," << y;
    }
  }
  EXPECT_EQ(reads[0][10 * 64 + 10], 0xF800) << "red is nearer on the left (W 1 against 4)";
  EXPECT_EQ(reads[0][10 * 64 + 50], 0x07E0) << "green on the right";
}

}  // namespace
