// The presenting side's settings and tables: capture frame lists, the swap interval override,
// the retrace rate, and the display gamma with the board's 33-entry CLUT.
#include <gtest/gtest.h>

#include "Pacer.h"
#include "PresentGamma.h"
#include "PresentSettings.h"

namespace {

using glide::FrameList;

TEST(CaptureFrames, NumbersAndInclusiveRanges) {
  std::vector<std::string> errors;
  const FrameList list = FrameList::Parse("0,35,100-110", &errors);
  EXPECT_TRUE(errors.empty());
  for (uint64_t frame : {0, 35, 100, 105, 110}) EXPECT_TRUE(list.Contains(frame)) << frame;
  for (uint64_t frame : {1, 34, 36, 99, 111, 1000000}) EXPECT_FALSE(list.Contains(frame)) << frame;

  const FrameList spaced = FrameList::Parse(" 7 , 9 - 9 ,, 20-21 ", &errors);
  EXPECT_TRUE(errors.empty());
  EXPECT_TRUE(spaced.Contains(7));
  EXPECT_TRUE(spaced.Contains(9));
  EXPECT_FALSE(spaced.Contains(8));
  EXPECT_TRUE(spaced.Contains(21));
  EXPECT_FALSE(spaced.Contains(22));
}

TEST(CaptureFrames, JunkEntriesAreReportedAndTheRestKept) {
  std::vector<std::string> errors;
  const FrameList list =
      FrameList::Parse("5,x,7-3,-2,9-,1.5,0x10,99999999999999999999,3-4-5,12", &errors);
  EXPECT_TRUE(list.Contains(5));
  EXPECT_TRUE(list.Contains(12));
  for (uint64_t frame : {0, 2, 3, 4, 7, 9, 16}) EXPECT_FALSE(list.Contains(frame)) << frame;
  ASSERT_EQ(errors.size(), 8u);
  EXPECT_NE(errors[1].find("7-3"), std::string::npos) << errors[1];

  EXPECT_TRUE(FrameList::Parse(nullptr, &errors).Empty());
  EXPECT_TRUE(FrameList::Parse(" , ", &errors).Empty());
}

TEST(EnvironmentValues, SwapIntervalAndRefreshRate) {
  std::string error;
  EXPECT_EQ(glide::ParseSwapInterval("0", &error), 0);
  EXPECT_EQ(glide::ParseSwapInterval("2", &error), 2);
  EXPECT_EQ(glide::ParseSwapInterval("-3", &error), 0) << "negative means 0, as in Glide";
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(glide::ParseSwapInterval(nullptr, &error).has_value());
  EXPECT_FALSE(glide::ParseSwapInterval("", &error).has_value());
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(glide::ParseSwapInterval("fast", &error).has_value());
  EXPECT_NE(error.find("FX_GLIDE_SWAPINTERVAL"), std::string::npos);
  error.clear();
  EXPECT_FALSE(glide::ParseSwapInterval("1x", &error).has_value());
  EXPECT_FALSE(error.empty());

  EXPECT_EQ(glide::RetraceRateHz(nullptr), 60);
  for (int rate : {60, 72, 75, 85, 120}) EXPECT_EQ(glide::RetraceRateHz(std::to_string(rate).c_str()), rate);
  for (const char* other : {"50", "144", "", "72Hz", "abc"}) EXPECT_EQ(glide::RetraceRateHz(other), 60) << other;
}

TEST(Gamma, ClutAsGlideFillsIt) {
  const auto clut = glide::GammaClut(1.7f);
  EXPECT_EQ(clut[0], 0);
  EXPECT_EQ(clut[1], 33);
  EXPECT_EQ(clut[16], 170) << "8-bit mid grey 128 shows as 170";
  EXPECT_EQ(clut[31], 251);
  EXPECT_EQ(clut[32], 255);
  for (int i = 1; i <= 32; ++i) EXPECT_GT(clut[i], clut[i - 1]) << i;

  const auto linear = glide::GammaClut(1.0f);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(linear[i], 8 * i);
}

// The displayed 8-bit value of every 5-bit red (and blue) level at gamma 1.7, as measured with
// the board's CLUT model: expansion by bit replication, then interpolation between entries.
constexpr uint8_t kShownFiveBit[32] = {0,   33,  50,  64,  76,  87,  96,  106, 115, 123, 130,
                                       138, 146, 152, 159, 166, 173, 179, 185, 191, 197, 202,
                                       208, 213, 219, 224, 229, 234, 240, 245, 250, 254};

TEST(Gamma, DisplayTableShowsEachChannelThroughTheClut) {
  const glide::DisplayTable table(1.7f);
  for (uint16_t v = 0; v < 32; ++v) {
    EXPECT_EQ(table[static_cast<uint16_t>(v << 11)], uint32_t{kShownFiveBit[v]} << 16) << "red " << v;
    EXPECT_EQ(table[v], uint32_t{kShownFiveBit[v]}) << "blue " << v;
  }
  // Green has six bits: every level shows brighter than the one below, from 0 to 254.
  EXPECT_EQ(table[0], 0u);
  uint32_t previous = 0;
  for (uint16_t g = 1; g < 64; ++g) {
    const uint32_t shown = table[static_cast<uint16_t>(g << 5)] >> 8;
    EXPECT_GT(shown, previous) << g;
    previous = shown;
  }
  EXPECT_EQ(table[0xFFFF], 0xFEFEFEu) << "white shows as 254: the last entry interpolates 7/8 of the way";

  uint16_t pixels[3] = {0xF800, 0x07E0, 0x001F};
  uint8_t rgb[9];
  table.ToRgb24(pixels, 3, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 9), (std::vector<uint8_t>{254, 0, 0, 0, 254, 0, 0, 0, 254}));
}

TEST(Gamma, ParsingRefusesWhatWouldBreakTheTable) {
  float gamma = 0;
  EXPECT_TRUE(glide::ParseGamma("1.0", &gamma));
  EXPECT_FLOAT_EQ(gamma, 1.0f);
  EXPECT_TRUE(glide::ParseGamma("2.2 ", &gamma));
  EXPECT_FLOAT_EQ(gamma, 2.2f);
  for (const char* bad : {"", "0", "-1", "abc", "1.7x", "nan", "inf", "100"}) {
    EXPECT_FALSE(glide::ParseGamma(bad, &gamma)) << bad;
  }
}

}  // namespace
