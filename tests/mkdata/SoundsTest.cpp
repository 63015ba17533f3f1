// The three sound effects as files: canonical 16-bit mono PCM at 16000 Hz, a few seconds long,
// peaks below -1 dBFS, DC-free, and a whole-file loop whose seam is as smooth as the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestSupport.h"

namespace mkdata {
namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

TEST(Sounds, LoopingEffectsInTheFormatThePlayerReads) {
  const auto files = test::RunGenerator("sounds");
  ASSERT_EQ(files.size(), 3u);
  // Energy below 200 Hz as a share of all: the rumble is deep, the drone and groove are not.
  const struct {
    const char* name;
    double minLowShare, maxLowShare;
  } kSounds[] = {{"0.wav", 0.0, 0.5}, {"1.wav", 0.1, 0.9}, {"2.wav", 0.7, 1.0}};
  for (const auto& sound : kSounds) {
    SCOPED_TRACE(sound.name);
    ASSERT_TRUE(files.count(sound.name));
    const auto& b = files.at(sound.name);
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(Le(b, 4, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le(b, 16, 4), 16u);
    EXPECT_EQ(Le(b, 20, 2), 1u);   // PCM
    EXPECT_EQ(Le(b, 22, 2), 1u);   // mono
    EXPECT_EQ(Le(b, 24, 4), 16000u);
    EXPECT_EQ(Le(b, 28, 4), 32000u);
    EXPECT_EQ(Le(b, 32, 2), 2u);
    EXPECT_EQ(Le(b, 34, 2), 16u);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    ASSERT_EQ(Le(b, 40, 4), b.size() - 44);
    std::vector<double> x;
    for (size_t at = 44; at + 1 < b.size(); at += 2) x.push_back(static_cast<int16_t>(Le(b, at, 2)) / 32768.0);
    const double seconds = static_cast<double>(x.size()) / 16000.0;
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 8.0);
    double peak = 0.0, sum = 0.0, squares = 0.0;
    for (double v : x) peak = std::max(peak, std::fabs(v)), sum += v, squares += v * v;
    const double rms = std::sqrt(squares / static_cast<double>(x.size()));
    EXPECT_LT(test::ToDb(peak), -1.0);
    EXPECT_GT(test::ToDb(rms), -24.0) << "too quiet to hear under the music";
    EXPECT_LT(std::fabs(sum / static_cast<double>(x.size())), 1e-3) << "DC offset";
    // Seam: the jump from the last sample to the first, and the change of slope there, are
    // ordinary for this sound (within its 99.9th percentile of steps and bends).
    std::vector<double> steps, bends;
    for (size_t i = 1; i + 1 < x.size(); ++i) {
      steps.push_back(std::fabs(x[i] - x[i - 1]));
      bends.push_back(std::fabs(x[i + 1] - 2.0 * x[i] + x[i - 1]));
    }
    const size_t n = x.size();
    EXPECT_LE(std::fabs(x[0] - x[n - 1]), Percentile(steps, 0.999));
    EXPECT_LE(std::fabs(x[0] - 2.0 * x[n - 1] + x[n - 2]), Percentile(bends, 0.999));
    EXPECT_LE(std::fabs(x[1] - 2.0 * x[0] + x[n - 1]), Percentile(bends, 0.999));
    // Character: share of energy below about 200 Hz (two one-pole low-passes).
    double low1 = 0.0, low2 = 0.0, lowSquares = 0.0;
    const double a = 1.0 - std::exp(-2.0 * M_PI * 200.0 / 16000.0);
    for (int lap = 0; lap < 2; ++lap)
      for (double v : x) {
        low1 += a * (v - low1);
        low2 += a * (low1 - low2);
        if (lap == 1) lowSquares += low2 * low2;
      }
    const double lowShare = lowSquares / squares;
    EXPECT_GE(lowShare, sound.minLowShare);
    EXPECT_LE(lowShare, sound.maxLowShare);
  }
  EXPECT_TRUE(test::RunGenerator("sounds") == files) << "not the same bytes on a second run";
}

}  // namespace
}  // namespace mkdata
