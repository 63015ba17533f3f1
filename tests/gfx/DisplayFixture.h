// Tests that draw through the program's display: the Glide stand-in opened headless as the
// program opens it, in a fresh working directory under the build tree, with CEL fixtures written
// there and the shown frame read back.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class DisplayFixture : public ::testing::Test {
 protected:
  // `prefix` names the working directory (test-tmp/PREFIX_TEST).
  explicit DisplayFixture(const char* prefix = "display") : prefix_(prefix) {}
  void SetUp() override;
  void TearDown() override;

  // Replaces `name` with a CEL of the given size whose every pixel is one colour (8-bit
  // components, stored as 6-bit).
  void WriteUniformCel(const std::string& name, int width, int height, uint8_t r, uint8_t g, uint8_t b);
  // Replaces `name` with a CEL split into four quadrants: red top-left, green top-right, blue
  // bottom-left, white bottom-right (full 6-bit components), so that a swapped corner, a mirrored
  // axis or a wrong texture window shows.
  void WriteQuadrantCel(const std::string& name, int width, int height);
  // Replaces `name` with a CEL whose pixel (x, y) is palette entry index(x, y); `palette` holds
  // 8-bit colours (stored as 6-bit), the rest of the palette is black.
  void WriteCel(const std::string& name, int width, int height, const std::vector<std::array<uint8_t, 3>>& palette,
                const std::function<uint8_t(int x, int y)>& index);

  // The frame now shown (the front buffer), 640 x 480 RGB565.
  static std::vector<uint16_t> ShownFrame();
  // 64-bit FNV-1a over the frame's little-endian bytes, as the frame hash log has it.
  static uint64_t Hash(const std::vector<uint16_t>& frame);
  static int Red(uint16_t p) { return (p >> 11) << 3 | (p >> 13); }
  static int Green(uint16_t p) { return ((p >> 5) & 63) << 2 | ((p >> 9) & 3); }
  static int Blue(uint16_t p) { return (p & 31) << 3 | ((p >> 2) & 7); }
  // Pixel (x, y) of a 640 x 480 frame; a frame that was never kept (the scene ended before it)
  // or a pixel off the screen fails the test instead of reading past the frame.
  static uint16_t At(const std::vector<uint16_t>& frame, int x, int y) {
    if (frame.size() != 640u * 480u || x < 0 || x >= 640 || y < 0 || y >= 480) {
      ADD_FAILURE() << "no pixel (" << x << ", " << y << ") in a frame of " << frame.size() << " pixels";
      return 0;
    }
    return frame[static_cast<size_t>(y) * 640 + x];
  }

  std::filesystem::path dir_, old_;

 private:
  const char* prefix_;
};
