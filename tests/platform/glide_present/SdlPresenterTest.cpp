// The SDL presenter on SDL's dummy video driver, whose windows have a software frame buffer:
// the picture scaled with its aspect kept between black bars, shown through the gamma table,
// and the presenter letting go when the program's window is destroyed.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>
#include <utility>
#include <cstdlib>
#include <vector>

#include "PresentSdl.h"
#include "Raster.h"
#include "platform/SdlVideo.h"

namespace {

class SdlPresenterTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << SDL_GetError();
    window_ = SDL_CreateWindow("test", 0, 0, 640, 480, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (window_ == nullptr) GTEST_SKIP() << SDL_GetError();
    platform::SetSharedWindow(window_);
  }
  void TearDown() override {
    presenter_.reset();
    platform::SetSharedWindow(nullptr);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  // The window's pixels as 0x00RRGGBB.
  std::vector<uint32_t> ReadWindow(int* width, int* height) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return {};
    *width = surface->w;
    *height = surface->h;
    std::vector<uint32_t> pixels(static_cast<size_t>(surface->w) * surface->h);
    SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels, surface->pitch,
                      SDL_PIXELFORMAT_RGB888, pixels.data(), surface->w * 4);
    return pixels;
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<glide::SdlPresenter> presenter_;
};

TEST_F(SdlPresenterTest, PictureIsScaledWithItsAspectKeptBetweenBlackBars) {
  platform::Opened<glide::SdlPresenter> opened = glide::SdlPresenter::Open(glide::PresenterKind::kWindow, 64, 48, 60);
  ASSERT_NE(opened.opened, nullptr) << opened.error;
  presenter_ = std::move(opened.opened);
  SDL_SetWindowSize(window_, 200, 48);  // wider than 4:3: bars left and right
  const glide::DisplayTable table(1.7f);
  // Rows 72 pixels apart, the 8 past the picture white: none of them may show.
  constexpr int kStride = 72;
  std::vector<uint16_t> frame(kStride * 48, 0xFFFF);
  for (int y = 0; y < 48; ++y) std::fill_n(frame.begin() + y * kStride, 64, static_cast<uint16_t>(16 << 11));  // red 16
  ASSERT_TRUE(presenter_->Show(frame.data(), kStride, table, false));

  int width = 0, height = 0;
  const std::vector<uint32_t> pixels = ReadWindow(&width, &height);
  if (pixels.empty()) GTEST_SKIP() << "this SDL cannot read its dummy window back";
  ASSERT_EQ(width, 200);
  ASSERT_EQ(height, 48);
  const int middle = 24 * width;
  EXPECT_EQ(pixels[middle + 2], 0u) << "left bar";
  EXPECT_EQ(pixels[middle + 197], 0u) << "right bar";
  EXPECT_EQ(pixels[middle + 100], 173u << 16) << "red level 16 at gamma 1.7";
  int lit = 0;
  for (int x = 0; x < width; ++x) {
    lit += pixels[middle + x] != 0;
    EXPECT_TRUE(pixels[middle + x] == 0 || pixels[middle + x] == 173u << 16) << "x " << x;
  }
  EXPECT_EQ(lit, 64) << "a 64-pixel-wide picture at scale 1, centred";
}

TEST_F(SdlPresenterTest, LetsGoWhenTheProgramsWindowIsDestroyed) {
  platform::Opened<glide::SdlPresenter> opened =
      glide::SdlPresenter::Open(glide::PresenterKind::kFullscreen, 64, 48, 60);
  ASSERT_NE(opened.opened, nullptr) << opened.error;
  presenter_ = std::move(opened.opened);
  const glide::DisplayTable table(1.7f);
  const std::vector<uint16_t> frame(64 * 48, 0xFFFF);
  EXPECT_TRUE(presenter_->Show(frame.data(), 64, table, false));
  platform::SetSharedWindow(nullptr);  // what Win32's DestroyWindow does
  EXPECT_FALSE(presenter_->Show(frame.data(), 64, table, false));
}

// Presents that ask for vsync but come back at once (a driver ignoring vsync, SDL's software
// renderer, a minimised window) stop being trusted; a vsync that waits keeps its trust even
// through slow frames, and a few quick presents (queued frames draining) do not end it.
TEST(VsyncWatch, PresentsThatDoNotWaitEndTheTrustAndSlowOrQueuedFramesDoNot) {
  const double period = 1.0 / 60;
  glide::VsyncWatch immediate(period);
  int presents = 0;
  while (immediate.Note(0.001) && presents < 100) ++presents;
  EXPECT_EQ(presents, glide::VsyncWatch::kFastPresentLimit / 2 - 1) << "the eighth quick present ends the trust";
  EXPECT_FALSE(immediate.Note(period)) << "once ended, the trust does not come back";

  glide::VsyncWatch waiting(period);
  for (int i = 0; i < 1000; ++i) {
    // Every tenth frame misses its retrace and shows two periods later.
    ASSERT_TRUE(waiting.Note(i % 10 == 9 ? 2 * period : period)) << "present " << i;
  }
  // Frames queued behind a stall drain at once, four in a row, between whole periods.
  for (int burst = 0; burst < 50; ++burst) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(waiting.Note(0.0005)) << "burst " << burst;
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(waiting.Note(period));
  }
  // Just under half a period counts as quick; half a period does not.
  glide::VsyncWatch edge(period);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(edge.Note(period / 2)) << i;
  EXPECT_FALSE([&] {
    bool waits = true;
    for (int i = 0; i < 100 && waits; ++i) waits = edge.Note(period / 2 * 0.99);
    return waits;
  }());
}

TEST(PictureLayout, WholeMultiplesCentredOrTheLargestFitOfTheSameAspect) {
  const auto expect = [](int windowWidth, int windowHeight, int width, int height, glide::PictureLayout want) {
    const glide::PictureLayout got = glide::FitPicture(windowWidth, windowHeight, width, height);
    EXPECT_EQ(std::tie(got.x, got.y, got.width, got.height), std::tie(want.x, want.y, want.width, want.height))
        << windowWidth << " x " << windowHeight;
  };
  expect(640, 480, 640, 480, {0, 0, 640, 480});
  expect(1920, 1080, 640, 480, {320, 60, 1280, 960});  // twice, not 2.25 times with uneven pixels
  expect(1279, 960, 640, 480, {319, 240, 640, 480});  // one column short of twice
  expect(1280, 1024, 640, 480, {0, 32, 1280, 960});
  expect(200, 48, 64, 48, {68, 0, 64, 48});
  expect(50, 30, 64, 48, {5, 0, 40, 30});    // smaller: the height limits
  expect(32, 100, 64, 48, {0, 38, 32, 24});  // smaller: the width limits
}

// Every window pixel of the picture's rectangle shows the picture pixel it falls in, through the
// display table; nothing outside the rectangle is touched. A picture of distinct pixels, odd in
// both sizes and wider than two of the widest vector steps, at one, two (the doubling path) and
// three times and shrunk, at every SIMD level, into rows that start on a cache line and rows that
// do not.
TEST(PictureLayout, EachWindowPixelShowsThePicturePixelItFallsIn) {
  constexpr int kWidth = 71, kHeight = 13;
  std::vector<uint16_t> front(kWidth * kHeight);
  for (size_t i = 0; i < front.size(); ++i) front[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
  for (const glide::SimdLevel level : glide::AvailableSimd()) {
    const char* simd = glide::SimdName(level);
    setenv("GLIDE_SIMD", simd, 1);
    const glide::DisplayTable table(1.7f);
    // Rows of whole cache lines (stored past the caches) and rows three words longer.
    for (const bool linesAligned : {false, true}) {
      for (const auto& [windowWidth, windowHeight] : {std::pair{71, 13}, {150, 30}, {142, 26}, {215, 40}, {50, 20}}) {
        const glide::PictureLayout layout = glide::FitPicture(windowWidth, windowHeight, kWidth, kHeight);
        const int pitch = linesAligned ? (windowWidth + 15) / 16 * 16 : windowWidth + 3;
        std::vector<uint32_t> buffer(static_cast<size_t>(pitch) * windowHeight + 16, 0xDEADBEEF);
        uint32_t* window = buffer.data() + (64 - reinterpret_cast<uintptr_t>(buffer.data()) % 64) % 64 / 4;
        std::vector<uint32_t> row;
        glide::DrawPicture(front.data(), kWidth, kHeight, kWidth, table, layout, window, pitch, row);
        for (int y = 0; y < windowHeight; ++y) {
          for (int x = 0; x < pitch; ++x) {
            const bool inside =
                x >= layout.x && x < layout.x + layout.width && y >= layout.y && y < layout.y + layout.height;
            uint32_t want = 0xDEADBEEF;
            if (inside) {
              const int sx = (x - layout.x) * kWidth / layout.width, sy = (y - layout.y) * kHeight / layout.height;
              want = table[front[static_cast<size_t>(sy) * kWidth + sx]];
            }
            ASSERT_EQ(window[static_cast<size_t>(y) * pitch + x], want)
                << simd << ", window " << windowWidth << " x " << windowHeight << " at " << x << ", " << y;
          }
        }
      }
    }
  }
  unsetenv("GLIDE_SIMD");
}

}  // namespace

// Where the only OpenGL draws on the CPU, the presenter copies frames with SDL's software renderer
// instead; a hardware driver built with LLVM (AMD's) must not be mistaken for one.
TEST(SoftwareOpenGl, MesasCpuRasterizersAreRecognisedAndHardwareDriversAreNot) {
  for (const char* software : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa DRI swrast",
                               "Software Rasterizer", "Gallium 0.4 on SWR"}) {
    EXPECT_TRUE(glide::IsSoftwareOpenGl(software)) << software;
  }
  for (const char* hardware : {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)",
                               "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce RTX 3060/PCIe/SSE2",
                               "virgl", ""}) {
    EXPECT_FALSE(glide::IsSoftwareOpenGl(hardware)) << hardware;
  }
}
