// The rasterizer on worker threads draws what one thread draws, bit for bit: the same scripted
// frames (random triangles in random states, clears, clip windows, texture and palette downloads
// and frame buffer reads and writes between the draws) with GLIDE_THREADS 1, 2, 3 and 8 leave the
// same colour and depth buffers, and misuse is refused as it is without threads.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "GlideTestSupport.h"
#include "RasterQueue.h"

namespace {

using glidetest::Vertex;

// Opens the display with GLIDE_THREADS set (the workers start at grSstWinOpen), swaps unpaced
// unless `paced`.
void OpenWithThreads(int threads, bool paced = false) {
  setenv("GLIDE_PRESENT", "none", 1);
  if (paced) {
    unsetenv("FX_GLIDE_SWAPINTERVAL");
  } else {
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  }
  setenv("GLIDE_THREADS", std::to_string(threads).c_str(), 1);
  grGlideInit();
  grSstSelect(0);
  ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1));
  unsetenv("GLIDE_THREADS");
  glide::ResetMisuse();
}

struct Buffers {
  std::vector<uint16_t> back, front, aux;
  bool operator==(const Buffers&) const = default;
};

Buffers ReadAll() {
  Buffers b;
  for (auto [buffer, out] : {std::pair{GR_BUFFER_BACKBUFFER, &b.back}, std::pair{GR_BUFFER_FRONTBUFFER, &b.front},
                             std::pair{GR_BUFFER_AUXBUFFER, &b.aux}}) {
    out->assign(640 * 480, 0);
    EXPECT_TRUE(grLfbReadRegion(buffer, 0, 0, 640, 480, 1280, out->data()));
  }
  return b;
}

// A deterministic script of Glide calls from a seed: the same calls for every thread count.
class Script {
 public:
  explicit Script(uint32_t seed) : rng_(seed) {}

  void Run(int frames, int interval) {
    DownloadTextures(0);
    for (int frame = 0; frame < frames; ++frame) {
      grBufferClear(Pick(2) ? 0x00402010 : 0x00000000, 0, GR_WDEPTHVALUE_FARTHEST);
      for (int batch = 0; batch < 12; ++batch) {
        RandomState();
        const int triangles = 1 + Pick(40);
        for (int i = 0; i < triangles; ++i) RandomTriangle();
        switch (Pick(8)) {
          case 0: DownloadTextures(frame * 12 + batch + 1); break;  // memory queued triangles read
          case 1: DownloadPalette(frame * 12 + batch + 1); break;
          case 2: grBufferClear(static_cast<GrColor_t>(rng_()), 0, static_cast<FxU16>(rng_())); break;
          case 3: ReadAndWriteBack(); break;
          default: break;
        }
      }
      grBufferSwap(interval);
    }
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  float Unit() { return static_cast<float>(rng_() % 100000) / 100000.0f; }

  // Three textures at fixed places, their texels from `version`: P_8 64 x 64, RGB565 128 x 128,
  // ARGB4444 64 x 64 (gradients with a checker, so that a texel from the wrong version shows).
  void DownloadTextures(int version) {
    std::vector<uint8_t> p8(64 * 64);
    std::vector<uint16_t> t565(128 * 128), t4444(64 * 64);
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) {
        const int checker = ((x / 8 + y / 8 + version) & 1) * 9;
        t565[static_cast<size_t>(y * 128 + x)] = static_cast<uint16_t>(((x / 4 + version) & 31) << 11 | ((y / 2) & 63) << 5 | checker);
        if (x < 64 && y < 64) {
          p8[static_cast<size_t>(y * 64 + x)] = static_cast<uint8_t>(x * 4 + y + version);
          t4444[static_cast<size_t>(y * 64 + x)] = static_cast<uint16_t>(((x + y + version) & 15) << 12 | (x & 15) << 8 | (y & 15) << 4 | checker);
        }
      }
    }
    info_[0] = {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_P_8, nullptr};
    info_[1] = {GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, nullptr};
    info_[2] = {GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, nullptr};
    info_[0].data = p8.data();
    info_[1].data = t565.data();
    info_[2].data = t4444.data();
    for (int i = 0; i < 3; ++i) grTexDownloadMipMap(GR_TMU0, kAddress[i], GR_MIPMAPLEVELMASK_BOTH, &info_[i]);
    for (auto& info : info_) info.data = nullptr;
    if (version == 0) DownloadPalette(0);
  }

  void DownloadPalette(int version) {
    GuTexPalette palette;
    for (int i = 0; i < 256; ++i) {
      palette.data[i] = static_cast<FxU32>(0xFF000000u | (i * 3 + version) % 256 << 16 | (255 - i) << 8 | (i * 7) % 256);
    }
    grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  }

  // The back buffer's band across rows 100..139 read and written back one row lower: the copy
  // must see every triangle drawn before it, and triangles after it must see the copy.
  void ReadAndWriteBack() {
    std::vector<uint16_t> band(640 * 40);
    grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 100, 640, 40, 1280, band.data());
    grLfbWriteRegion(GR_BUFFER_BACKBUFFER, 0, 101, GR_LFB_SRC_FMT_565, 640, 40, 1280, band.data());
  }

  void RandomState() {
    const int texture = Pick(4);
    if (texture < 3) {
      grTexSource(GR_TMU0, kAddress[texture], GR_MIPMAPLEVELMASK_BOTH, &info_[texture]);
      grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_FUNCTION_LOCAL,
                   GR_COMBINE_FACTOR_NONE, FXFALSE, FXFALSE);
      grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, Pick(2) ? GR_COMBINE_FACTOR_ONE : GR_COMBINE_FACTOR_LOCAL_ALPHA,
                     GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
      grTexFilterMode(GR_TMU0, Pick(2) ? GR_TEXTUREFILTER_BILINEAR : GR_TEXTUREFILTER_POINT_SAMPLED,
                      GR_TEXTUREFILTER_BILINEAR);
      grTexClampMode(GR_TMU0, Pick(2) ? GR_TEXTURECLAMP_WRAP : GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_WRAP);
    } else {
      grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                     GR_COMBINE_OTHER_NONE, FXFALSE);
    }
    grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_NONE, FXFALSE);
    const GrAlphaBlendFnc_t blends[][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO},
                                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE},
                                           {GR_BLEND_ONE, GR_BLEND_ONE}};
    const auto& blend = blends[Pick(4)];
    grAlphaBlendFunction(blend[0], blend[1], GR_BLEND_ONE, GR_BLEND_ZERO);
    grDepthBufferMode(Pick(3) ? GR_DEPTHBUFFER_WBUFFER : GR_DEPTHBUFFER_DISABLE);
    grDepthBufferFunction(Pick(2) ? GR_CMP_LESS : GR_CMP_LEQUAL);
    grDepthMask(Pick(4) != 0);
    grDitherMode(Pick(4) ? GR_DITHER_4x4 : GR_DITHER_2x2);
    grChromakeyMode(Pick(5) == 0 ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
    grChromakeyValue(0);
    grAlphaTestFunction(Pick(5) == 0 ? GR_CMP_GREATER : GR_CMP_ALWAYS);
    grAlphaTestReferenceValue(static_cast<GrAlpha_t>(Pick(256)));
    grCullMode(Pick(3) == 0 ? GR_CULL_NEGATIVE : GR_CULL_DISABLE);
    grSstOrigin(Pick(6) == 0 ? GR_ORIGIN_LOWER_LEFT : GR_ORIGIN_UPPER_LEFT);
    grRenderBuffer(Pick(10) == 0 ? GR_BUFFER_FRONTBUFFER : GR_BUFFER_BACKBUFFER);
    if (Pick(4) == 0) {
      const FxU32 x0 = static_cast<FxU32>(Pick(300)), y0 = static_cast<FxU32>(Pick(200));
      grClipWindow(x0, y0, x0 + 1 + static_cast<FxU32>(Pick(340)), y0 + 1 + static_cast<FxU32>(Pick(280)));
    } else {
      grClipWindow(0, 0, 640, 480);
    }
  }

  GrVertex RandomVertex(float x, float y) {
    const float oow = 0.02f + Unit();
    return Vertex(x, y, 255 * Unit(), 255 * Unit(), 255 * Unit(), 255 * Unit(), oow, 256 * Unit() * oow,
                  256 * Unit() * oow);
  }

  // Small ones (the batch path), tall ones across many bands, and some off the screen.
  void RandomTriangle() {
    const int kind = Pick(6);
    const float size = kind == 0 ? 500.0f : kind == 1 ? 120.0f : 24.0f;
    const float x = Unit() * 700 - 30, y = Unit() * 540 - 30;
    const GrVertex a = RandomVertex(x, y), b = RandomVertex(x + (Unit() - 0.5f) * size, y + Unit() * size),
                   c = RandomVertex(x + (Unit() - 0.5f) * size, y + Unit() * size);
    grDrawTriangle(&a, &b, &c);
  }

  static constexpr std::array<FxU32, 3> kAddress = {0x0, 0x10000, 0x40000};
  std::mt19937 rng_;
  std::array<GrTexInfo, 3> info_{};
};

Buffers Draw(int threads, uint32_t seed, int frames, int interval = 0) {
  OpenWithThreads(threads, interval > 0);
  Script(seed).Run(frames, interval);
  const Buffers b = ReadAll();
  EXPECT_EQ(glide::MisuseCount(), 0u) << glide::LastMisuse();
  grGlideShutdown();
  return b;
}

TEST(Threads, EveryThreadCountDrawsTheSameBuffers) {
  for (const uint32_t seed : {1u, 2u}) {
    const Buffers one = Draw(1, seed, 3);
    for (const int threads : {2, 3, 8}) {
      const Buffers many = Draw(threads, seed, 3);
      EXPECT_TRUE(many.back == one.back) << threads << " threads, seed " << seed << ": back buffer";
      EXPECT_TRUE(many.front == one.front) << threads << " threads, seed " << seed << ": front buffer";
      EXPECT_TRUE(many.aux == one.aux) << threads << " threads, seed " << seed << ": depth buffer";
    }
  }
  // Paced, light frames leave the workers after the first swap (and heavier ones under the
  // sanitizers may call them back): the same buffers whichever frames the queue drew.
  const Buffers one = Draw(1, 3, 6, 1);
  const Buffers two = Draw(2, 3, 6, 1);
  EXPECT_TRUE(two.back == one.back && two.front == one.front && two.aux == one.aux) << "paced, 2 threads";
}

// The workers draw every unpaced frame, and a paced one only while frames take a sizeable part of
// their time on the display, with a margin between joining and leaving.
TEST(Threads, WorkersJoinEveryUnpacedFrameAndHeavyPacedOnes) {
  using std::chrono::microseconds;
  using glide::WorkersWanted;
  const auto frame = microseconds(16667);
  for (const bool threaded : {false, true}) {
    EXPECT_TRUE(WorkersWanted(threaded, microseconds(1), microseconds(0))) << "unpaced";
    EXPECT_TRUE(WorkersWanted(threaded, microseconds(40000), frame)) << "a frame that took longer than its slot";
    EXPECT_FALSE(WorkersWanted(threaded, microseconds(1000), frame)) << "a light frame";
  }
  EXPECT_TRUE(WorkersWanted(false, microseconds(4500), frame)) << "joining above a quarter";
  EXPECT_FALSE(WorkersWanted(false, microseconds(4100), frame)) << "one thread below a quarter stays alone";
  EXPECT_TRUE(WorkersWanted(true, microseconds(2200), frame)) << "threads above an eighth stay";
  EXPECT_FALSE(WorkersWanted(true, microseconds(2000), frame)) << "leaving below an eighth";
  EXPECT_FALSE(WorkersWanted(false, microseconds(4500), 4 * frame)) << "a frame swapped every fourth retrace has four";
}

// Refused calls are refused before anything is queued, with the same report; a shutdown with
// work still queued draws it and ends the workers.
TEST(Threads, MisuseIsRefusedAsWithoutThreadsAndShutdownEndsQueuedWork) {
  OpenWithThreads(3);
  const GrVertex a = Vertex(10, 10), b = Vertex(300, 20), nan = Vertex(std::nanf(""), 40);
  for (int i = 0; i < 200; ++i) grDrawTriangle(&a, &b, &nan);
  EXPECT_EQ(glide::MisuseCount(), 200u);
  EXPECT_EQ(glide::LastMisuse(), "grDrawTriangle: a vertex coordinate is NaN or infinite; triangle dropped");
  const GrVertex c = Vertex(200, 470);
  for (int i = 0; i < 500; ++i) grDrawTriangle(&a, &b, &c);
  grGlideShutdown();
  // And the display opens again with its workers.
  OpenWithThreads(2);
  for (int i = 0; i < 50; ++i) grDrawTriangle(&a, &b, &c);
  uint16_t pixel = 0;
  EXPECT_TRUE(grLfbReadRegion(GR_BUFFER_BACKBUFFER, 150, 40, 1, 1, 2, &pixel));
  EXPECT_EQ(pixel, 0xFFFF) << "the white triangle drawn before the read";
  grGlideShutdown();
}

}  // namespace
