// Shared fixture and helpers of the Glide tests: an open 640 x 480 display with nothing
// presented and unpaced swaps, vertex builders, read-back, and PNG golden images.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Context.h"
#include "glide.h"

namespace glidetest {

GrVertex Vertex(float x, float y, float r = 255, float g = 255, float b = 255, float a = 255,
                float oow = 1.0f, float sow = 0.0f, float tow = 0.0f);

// Opens the display like the program does (ABGR colour format, upper-left origin, double
// buffered, one aux buffer) and checks at the end that nothing was reported as misuse unless
// the test said it expects it.
class GlideFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::vector<uint16_t> Read(GrBuffer_t buffer = GR_BUFFER_BACKBUFFER);
  uint16_t Pixel(int x, int y, GrBuffer_t buffer = GR_BUFFER_BACKBUFFER);
  // A flat colour with no texturing, no dithering, no blending.
  void FlatState();
  void ExpectMisuse(uint64_t count) { expectedMisuse_ = count; }

 private:
  uint64_t expectedMisuse_ = 0;
};

// Compares the top-left `width` x `height` of `pixels` (stride 640) with the golden PNG
// tests/platform/glide/golden/NAME.png; UPDATE_GOLDEN=1 rewrites it. On a mismatch writes
// NAME.actual.png, NAME.expected.png and NAME.diff.png next to the test binary. `tolerance` is
// per 8-bit channel.
::testing::AssertionResult MatchesGolden(const std::string& name, const uint16_t* pixels,
                                         int width, int height, int tolerance);

// RGB565 pixels to 8-bit RGB by bit replication; PNG read and write (libpng).
void To888(const uint16_t* pixels, int width, int height, int stride, std::vector<uint8_t>& rgb);
bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height);
bool ReadPng(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height);

}  // namespace glidetest
