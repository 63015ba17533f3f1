#include "GlideTestSupport.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace glidetest {

GrVertex Vertex(float x, float y, float r, float g, float b, float a, float oow, float sow,
                float tow) {
  GrVertex v;
  std::memset(&v, 0, sizeof v);
  v.x = x;
  v.y = y;
  v.r = r;
  v.g = g;
  v.b = b;
  v.a = a;
  v.oow = oow;
  v.tmuvtx[0].sow = sow;
  v.tmuvtx[0].tow = tow;
  return v;
}

void GlideFixture::SetUp() {
  setenv("GLIDE_PRESENT", "none", 1);
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  unsetenv("GLIDE_SCALE");  // the tests draw at 640 x 480 unless they ask for more
  grGlideInit();
  GrHwConfiguration hw;
  ASSERT_TRUE(grSstQueryHardware(&hw));
  grSstSelect(0);
  ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
                           GR_ORIGIN_UPPER_LEFT, 2, 1));
  glide::ResetMisuse();
}

void GlideFixture::TearDown() {
  EXPECT_EQ(glide::MisuseCount(), expectedMisuse_) << "last report: " << glide::LastMisuse();
  glide::TheContext().SetGenericOnly(false);
  grGlideShutdown();
}

std::vector<uint16_t> GlideFixture::Read(GrBuffer_t buffer) {
  std::vector<uint16_t> out(640 * 480);
  EXPECT_TRUE(grLfbReadRegion(buffer, 0, 0, 640, 480, 1280, out.data()));
  return out;
}

uint16_t GlideFixture::Pixel(int x, int y, GrBuffer_t buffer) {
  uint16_t p = 0;
  EXPECT_TRUE(grLfbReadRegion(buffer, x, y, 1, 1, 2, &p));
  return p;
}

void GlideFixture::FlatState() {
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_NONE, FXFALSE);
  grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_NONE, FXFALSE);
  grDitherMode(GR_DITHER_DISABLE);
}

void To888(const uint16_t* pixels, int width, int height, int stride, std::vector<uint8_t>& rgb) {
  rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint16_t p = pixels[static_cast<size_t>(y) * stride + x];
      const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
      uint8_t* o = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      o[0] = static_cast<uint8_t>(r << 3 | r >> 2);
      o[1] = static_cast<uint8_t>(g << 2 | g >> 4);
      o[2] = static_cast<uint8_t>(b << 3 | b >> 2);
    }
  }
}

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), width * 3, nullptr) != 0;
}

bool ReadPng(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  rgb.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

::testing::AssertionResult MatchesGolden(const std::string& name, const uint16_t* pixels,
                                         int width, int height, int tolerance) {
  std::vector<uint8_t> actual;
  To888(pixels, width, height, 640, actual);
  std::string golden = KELDRIN_SOURCE_DIR;
  golden.append("/tests/platform/glide/golden/").append(name).append(".png");
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update != nullptr && std::strcmp(update, "1") == 0) {
    if (!WritePng(golden, actual, width, height)) {
      return ::testing::AssertionFailure() << "cannot write " << golden;
    }
    return ::testing::AssertionSuccess();
  }
  std::vector<uint8_t> expected;
  int w = 0, h = 0;
  if (!ReadPng(golden, expected, w, h)) {
    return ::testing::AssertionFailure() << "cannot read " << golden
                                         << " (UPDATE_GOLDEN=1 writes it)";
  }
  if (w != width || h != height) {
    return ::testing::AssertionFailure() << golden << " is " << w << "x" << h;
  }
  std::vector<uint8_t> diff(actual.size());
  int worst = 0, bad = 0;
  for (size_t i = 0; i < actual.size(); ++i) {
    const int d = std::abs(actual[i] - expected[i]);
    diff[i] = static_cast<uint8_t>(std::min(255, d * 8));
    worst = std::max(worst, d);
    bad += d > tolerance;
  }
  if (bad == 0) return ::testing::AssertionSuccess();
  WritePng(name + ".actual.png", actual, width, height);
  WritePng(name + ".expected.png", expected, width, height);
  WritePng(name + ".diff.png", diff, width, height);
  return ::testing::AssertionFailure() << name << ": " << bad << " channels differ by more than "
                                       << tolerance << " (worst " << worst << "); see " << name
                                       << ".{actual,expected,diff}.png in "
                                       << std::filesystem::current_path();
}

}  // namespace glidetest
