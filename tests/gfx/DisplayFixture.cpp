#include "DisplayFixture.h"

#include "TestSupport.h"

#include "gfx/Display.h"

#include <glide.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

void DisplayFixture::SetUp() {
  ::setenv("GLIDE_PRESENT", "none", 1);
  ::setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  dir_ = testsupport::TestDirectory(prefix_);
  old_ = fs::current_path();
  fs::current_path(dir_);
  OpenDisplay();
  DisplayOpened = true;
}

void DisplayFixture::TearDown() {
  CloseDisplay();
  DisplayOpened = false;
  fs::current_path(old_);
  fs::remove_all(dir_);
}

namespace {

// An 800-byte CEL header and palette (entries 8-bit, stored as 6-bit) and width x height indices.
void WriteCelFile(const fs::path& path, int width, int height, const std::vector<std::array<uint8_t, 3>>& palette,
                  const std::function<uint8_t(int x, int y)>& index) {
  fs::remove(path);
  std::vector<uint8_t> bytes(800 + static_cast<size_t>(width) * height, 0);
  for (size_t i = 0; i < palette.size() && i < 256; ++i)
    for (int c = 0; c < 3; ++c) bytes[32 + 3 * i + c] = palette[i][c] >> 2;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bytes[800 + static_cast<size_t>(y) * width + x] = index(x, y);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

void DisplayFixture::WriteUniformCel(const std::string& name, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  // Entry 1 holds the colour; every pixel uses it.
  WriteCelFile(dir_ / name, width, height, {{0, 0, 0}, {r, g, b}}, [](int, int) { return uint8_t{1}; });
}

void DisplayFixture::WriteQuadrantCel(const std::string& name, int width, int height) {
  WriteCelFile(dir_ / name, width, height, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
               [width, height](int x, int y) { return static_cast<uint8_t>(1 + (x >= width / 2) + 2 * (y >= height / 2)); });
}

void DisplayFixture::WriteCel(const std::string& name, int width, int height,
                              const std::vector<std::array<uint8_t, 3>>& palette,
                              const std::function<uint8_t(int x, int y)>& index) {
  WriteCelFile(dir_ / name, width, height, palette, index);
}

std::vector<uint16_t> DisplayFixture::ShownFrame() {
  std::vector<uint16_t> frame(640 * 480);
  EXPECT_TRUE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 0, 640, 480, 1280, frame.data()));
  return frame;
}

uint64_t DisplayFixture::Hash(const std::vector<uint16_t>& frame) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint16_t p : frame) {
    hash = (hash ^ (p & 0xff)) * 0x100000001b3ull;
    hash = (hash ^ (p >> 8)) * 0x100000001b3ull;
  }
  return hash;
}
