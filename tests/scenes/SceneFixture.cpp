#include "SceneFixture.h"

#include "TestSupport.h"

#include "log/DebugLog.h"
#include "gfx/Display.h"

#include <glide.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

void SceneFixture::SetUp() {
  ::setenv("GLIDE_PRESENT", "none", 1);
  ::setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  dir_ = testsupport::TestDirectory("scene");
  testsupport::LinkData(dir_);
  old_ = fs::current_path();
  fs::current_path(dir_);
  ResetDebugLog();
  OpenDisplay();
  DisplayOpened = true;
}

void SceneFixture::TearDown() {
  CloseDisplay();
  fs::current_path(old_);
  fs::remove_all(dir_);
}

void SceneFixture::WriteUniformCel(const std::string& name, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  fs::remove(dir_ / name);
  std::vector<uint8_t> bytes(800 + static_cast<size_t>(width) * height, 0);
  // Entry 1 holds the colour; every pixel uses it.
  bytes[32 + 3] = r >> 2;
  bytes[32 + 4] = g >> 2;
  bytes[32 + 5] = b >> 2;
  std::fill(bytes.begin() + 800, bytes.end(), 1);
  std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
}

void SceneFixture::WriteQuadrantCel(const std::string& name, int width, int height) {
  fs::remove(dir_ / name);
  std::vector<uint8_t> bytes(800 + static_cast<size_t>(width) * height, 0);
  const uint8_t palette[4][3] = {{63, 0, 0}, {0, 63, 0}, {0, 0, 63}, {63, 63, 63}};
  for (int i = 0; i < 4; ++i)
    for (int c = 0; c < 3; ++c) bytes[32 + 3 * (i + 1) + c] = palette[i][c];
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bytes[800 + static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(1 + (x >= width / 2) + 2 * (y >= height / 2));
  std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
}

void SceneFixture::WriteCel(const std::string& name, int width, int height,
                            const std::vector<std::array<uint8_t, 3>>& palette,
                            const std::function<uint8_t(int x, int y)>& index) {
  fs::remove(dir_ / name);
  std::vector<uint8_t> bytes(800 + static_cast<size_t>(width) * height, 0);
  for (size_t i = 0; i < palette.size() && i < 256; ++i)
    for (int c = 0; c < 3; ++c) bytes[32 + 3 * i + c] = palette[i][c] >> 2;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bytes[800 + static_cast<size_t>(y) * width + x] = index(x, y);
  std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
}

void SceneFixture::Remove(const std::string& name) { fs::remove(dir_ / name); }

std::ofstream SceneFixture::Create(const std::string& name) {
  fs::remove(dir_ / name);
  return std::ofstream(dir_ / name, std::ios::binary);
}

std::string SceneFixture::Log() const { return testsupport::ReadFile(dir_ / "debug.log"); }

std::vector<uint16_t> SceneFixture::ShownFrame() {
  std::vector<uint16_t> frame(640 * 480);
  EXPECT_TRUE(grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 0, 640, 480, 1280, frame.data()));
  return frame;
}

uint64_t SceneFixture::Hash(const std::vector<uint16_t>& frame) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint16_t p : frame) {
    hash = (hash ^ (p & 0xff)) * 0x100000001b3ull;
    hash = (hash ^ (p >> 8)) * 0x100000001b3ull;
  }
  return hash;
}
