// The stand-in's settings and the presenting side's tables: capture frame lists, the swap
// interval override, the retrace rate, texture memory, the SIMD cap, and the display gamma with
// the board's 33-entry CLUT.
#include <gtest/gtest.h>

#include <cstdlib>

#include "PresentGamma.h"
#include "Settings.h"

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
  EXPECT_EQ(error, "is not a whole number; ignored");
  error.clear();
  EXPECT_FALSE(glide::ParseSwapInterval("1x", &error).has_value());
  EXPECT_FALSE(error.empty());

  error.clear();
  EXPECT_FALSE(glide::ParseRetraceRate(nullptr, &error).has_value());
  EXPECT_FALSE(glide::ParseRetraceRate("", &error).has_value());
  EXPECT_TRUE(error.empty());
  for (int rate : {60, 72, 75, 85, 120}) EXPECT_EQ(glide::ParseRetraceRate(std::to_string(rate).c_str(), &error), rate);
  EXPECT_TRUE(error.empty());
  // Only the rates themselves: " 72" or "+72" once paced at 72 Hz while the warning said 60.
  for (const char* other : {"50", "144", "72Hz", "abc", " 72", "+72", "072"}) {
    error.clear();
    EXPECT_FALSE(glide::ParseRetraceRate(other, &error).has_value()) << other;
    EXPECT_EQ(error, "is not one of 60, 72, 75, 85, 120; using 60 Hz") << other;
  }

  error.clear();
  EXPECT_FALSE(glide::ParsePacing("", &error).has_value());
  EXPECT_EQ(glide::ParsePacing("board", &error), glide::Pacing::kBoard);
  EXPECT_EQ(glide::ParsePacing("keep-up", &error), glide::Pacing::kKeepUp);
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(glide::ParsePacing("Board", &error).has_value());
  EXPECT_EQ(error, "is not keep-up or board; using keep-up");
}

TEST(EnvironmentValues, TextureMemorySimdCapPresenterAndSwitch) {
  std::string error;
  using glide::PresenterKind;
  EXPECT_EQ(glide::ParsePresenterKind("fullscreen", &error), PresenterKind::kFullscreen);
  EXPECT_EQ(glide::ParsePresenterKind("window", &error), PresenterKind::kWindow);
  EXPECT_EQ(glide::ParsePresenterKind("none", &error), PresenterKind::kNone);
  EXPECT_STREQ(glide::PresenterName(PresenterKind::kWindow), "window") << "named in the no-display warning";
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(glide::ParsePresenterKind("Window", &error).has_value());
  EXPECT_EQ(error, "is not one of fullscreen, window, none; using the default");
  error.clear();

  EXPECT_EQ(glide::ParseTextureMemorySize("1", &error), 1u << 20);
  EXPECT_EQ(glide::ParseTextureMemorySize("4", &error), 4u << 20);
  EXPECT_FALSE(glide::ParseTextureMemorySize("", &error).has_value());
  EXPECT_TRUE(error.empty());
  for (const char* bad : {"0", "3", "5", "2x", "-2", "x"}) {
    error.clear();
    EXPECT_FALSE(glide::ParseTextureMemorySize(bad, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }

  error.clear();
  EXPECT_EQ(glide::ParseSimdLimit("none", &error), glide::SimdLevel::kNone);
  EXPECT_EQ(glide::ParseSimdLimit("sse2", &error), glide::SimdLevel::kNone) << "x86-64's baseline";
  EXPECT_EQ(glide::ParseSimdLimit("sse4", &error), glide::SimdLevel::kSse4);
  EXPECT_EQ(glide::ParseSimdLimit("avx2", &error), glide::SimdLevel::kAvx2);
  EXPECT_EQ(glide::ParseSimdLimit("avx512", &error), glide::SimdLevel::kAvx512);
  EXPECT_EQ(glide::ParseSimdLimit("neon", &error), glide::SimdLevel::kNeon);
  EXPECT_EQ(glide::ParseSimdLimit("wasm", &error), glide::SimdLevel::kWasm);
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(glide::ParseSimdLimit("AVX2", &error).has_value());
  EXPECT_EQ(error, "is not one of none, sse2, sse4, avx2, avx512, neon, wasm; using the best level");

  EXPECT_FALSE(glide::ParseSwitch(nullptr));
  EXPECT_FALSE(glide::ParseSwitch(""));
  EXPECT_FALSE(glide::ParseSwitch("0"));
  for (const char* on : {"1", "yes", "00", "false"}) EXPECT_TRUE(glide::ParseSwitch(on)) << on;
}

// The readers: the variable's value, the default when it is unset, empty or junk, and for junk
// one warning that names the variable and its value.
TEST(EnvironmentValues, ReadersWarnOnceWithNameAndValue) {
  unsetenv("SST_TMUMEM_SIZE");
  setenv("SST_SCREENREFRESH", "", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(glide::TextureMemorySetting(), 2u << 20);
  EXPECT_EQ(glide::RetraceRateSetting(), 60);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "unset and empty are quiet";
  setenv("GLIDE_FRAME_HASHES", "", 1);
  EXPECT_EQ(glide::FrameHashesSetting(), nullptr) << "an empty path is no path";
  unsetenv("GLIDE_FRAME_HASHES");

  setenv("SST_TMUMEM_SIZE", "4", 1);
  setenv("SST_SCREENREFRESH", "85", 1);
  EXPECT_EQ(glide::TextureMemorySetting(), 4u << 20);
  EXPECT_EQ(glide::RetraceRateSetting(), 85);

  setenv("SST_TMUMEM_SIZE", "16", 1);
  setenv("SST_SCREENREFRESH", "59.94", 1);
  setenv("SST_GAMMA", "dark", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(glide::TextureMemorySetting(), 2u << 20) << "beyond the board: default";
  EXPECT_EQ(glide::RetraceRateSetting(), 60);
  EXPECT_FALSE(glide::GammaSetting().has_value());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "glide: SST_TMUMEM_SIZE=16 is not 1, 2 or 4 (MiB); using 2\n"
            "glide: SST_SCREENREFRESH=59.94 is not one of 60, 72, 75, 85, 120; using 60 Hz\n"
            "glide: SST_GAMMA=dark is not a number from 0.1 to 10; using the application's gamma\n");

  setenv("GLIDE_SIMD", "none", 1);
  EXPECT_EQ(glide::SimdSetting(), glide::SimdLevel::kNone);
  setenv("GLIDE_SIMD", "avx2", 1);
  EXPECT_LE(glide::SimdSetting(), glide::DetectedSimd()) << "never above what the CPU has";
  setenv("GLIDE_SIMD", "fastest", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(glide::SimdSetting(), glide::DetectedSimd());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "glide: GLIDE_SIMD=fastest is not one of none, sse2, sse4, avx2, avx512, neon, wasm; using the best level\n");
  for (const char* name : {"SST_TMUMEM_SIZE", "SST_SCREENREFRESH", "SST_GAMMA", "GLIDE_SIMD"}) unsetenv(name);
}

// GLIDE_SIMD caps the level within its own architecture: the best level the machine has at or
// below it, and on a machine of another architecture nothing (the caller then takes the best).
TEST(Settings, SimdCapTakesTheBestLevelAtOrBelowItOfItsArchitecture) {
  using glide::SimdLevel;
  const std::vector<SimdLevel> x86 = {SimdLevel::kNone, SimdLevel::kAvx2, SimdLevel::kAvx512};
  const std::vector<SimdLevel> x86NoAvx512 = {SimdLevel::kNone, SimdLevel::kSse4, SimdLevel::kAvx2};
  const std::vector<SimdLevel> arm = {SimdLevel::kNone, SimdLevel::kNeon};
  EXPECT_EQ(glide::CapSimd(SimdLevel::kAvx2, x86), SimdLevel::kAvx2);
  EXPECT_EQ(glide::CapSimd(SimdLevel::kSse4, x86), SimdLevel::kNone) << "a level the build lacks: the one below";
  EXPECT_EQ(glide::CapSimd(SimdLevel::kAvx512, x86NoAvx512), SimdLevel::kAvx2) << "a level the CPU lacks";
  EXPECT_EQ(glide::CapSimd(SimdLevel::kSse4, x86NoAvx512), SimdLevel::kSse4);
  EXPECT_EQ(glide::CapSimd(SimdLevel::kNone, x86), SimdLevel::kNone);
  EXPECT_EQ(glide::CapSimd(SimdLevel::kNone, arm), SimdLevel::kNone);
  EXPECT_EQ(glide::CapSimd(SimdLevel::kNeon, arm), SimdLevel::kNeon);
  EXPECT_FALSE(glide::CapSimd(SimdLevel::kNeon, x86).has_value());
  EXPECT_FALSE(glide::CapSimd(SimdLevel::kAvx2, arm).has_value());
  EXPECT_FALSE(glide::CapSimd(SimdLevel::kWasm, x86).has_value());
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
  std::string error;
  EXPECT_FLOAT_EQ(glide::ParseGamma("1.0", &error).value_or(0), 1.0f);
  EXPECT_FLOAT_EQ(glide::ParseGamma("2.2 ", &error).value_or(0), 2.2f);
  EXPECT_FLOAT_EQ(glide::ParseGamma("0.1", &error).value_or(0), 0.1f);
  EXPECT_FLOAT_EQ(glide::ParseGamma("10", &error).value_or(0), 10.0f);
  EXPECT_FALSE(glide::ParseGamma("", &error).has_value());
  EXPECT_TRUE(error.empty());
  for (const char* bad : {"0", "-1", "abc", "1.7x", "nan", "inf", "100", "0.09", "10.01"}) {
    error.clear();
    EXPECT_FALSE(glide::ParseGamma(bad, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

}  // namespace
