// The portable mixer rendered into buffers: interpolation across the loop seam, panning law,
// level by channel count, declicking ramps, one-shot ends, music streams and the limiter.
#include "Mixer.h"
#include "Sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace midas {
namespace {

constexpr int kRate = 44100;

std::vector<float> Render(Mixer& mixer, std::size_t frames) {
  std::vector<float> out(2 * frames);
  mixer.Render(out.data(), frames);
  return out;
}

std::shared_ptr<const Sample> Constant(float value, int frames, bool loop) {
  return Sample::Make(std::vector<float>(static_cast<std::size_t>(frames), value), 1, loop);
}

// A whole-sample loop holding exactly `cycles` periods of a sine, as 16-bit data would.
std::shared_ptr<const Sample> SineLoop(int frames, int cycles) {
  std::vector<float> data(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    data[static_cast<std::size_t>(i)] =
        std::round(0.8 * 32767.0 * std::sin(2.0 * M_PI * cycles * i / frames)) / 32768.0f;
  }
  return Sample::Make(data, 1, true);
}

float MaxStep(const std::vector<float>& stereo, std::size_t from, int side) {
  float step = 0.0f;
  for (std::size_t i = from + 1; 2 * i + 1 < stereo.size(); ++i) {
    step = std::max(step, std::fabs(stereo[2 * i + side] - stereo[2 * (i - 1) + side]));
  }
  return step;
}

TEST(Mixer, LoopedSampleFollowsTheWaveAcrossEverySeam) {
  // 200 frames holding 5 cycles, played at 16000 Hz: a 400 Hz sine that wraps every 12.5 ms.
  // A seam that reads past the data (zeros, garbage) or restarts at the wrong place shows as
  // an error of tenths; the cubic's own error on 40 points per cycle is far below 1e-2.
  Mixer mixer(kRate);
  mixer.SetChannelCount(1);
  const auto sample = SineLoop(200, 5);
  mixer.Play(0, sample, 16000, 64, 0);
  const std::size_t frames = 3 * kRate;
  const std::vector<float> out = Render(mixer, frames);
  double worst = 0.0;
  std::size_t worstAt = 0;
  for (std::size_t n = kStartRampFrames; n < frames; ++n) {
    const double position = static_cast<double>(n) * 16000.0 / kRate;  // frames into the sample
    const double expected = 0.8 * std::sin(2.0 * M_PI * 5.0 * position / 200.0);
    const double error = std::fabs(out[2 * n] - expected);
    if (error > worst) worst = error, worstAt = n;
    ASSERT_EQ(out[2 * n], out[2 * n + 1]) << "middle panning keeps both sides equal";
  }
  EXPECT_LT(worst, 5e-3) << "at output frame " << worstAt;
  // And nothing steps further at a seam than the wave itself does.
  const float waveStep = static_cast<float>(0.8 * 2.0 * M_PI * 400.0 / kRate);
  EXPECT_LE(MaxStep(out, kStartRampFrames, 0), waveStep * 1.01f);
}

TEST(Mixer, LoopsShorterThanTheInterpolatorWrapExactly) {
  // At step 1 and 2 the interpolator lands on whole frames, so the output is the sample data
  // itself, wrapped by the loop: also for a loop of 3 frames, shorter than the guard, stereo.
  for (const unsigned rate : {44100u, 88200u}) {
    Mixer mixer(kRate);
    mixer.SetChannelCount(1);
    const std::vector<float> interleaved = {0.1f, -0.1f, 0.2f, -0.2f, 0.3f, -0.3f};
    mixer.Play(0, Sample::Make(interleaved, 2, true), rate, 64, 0);
    const std::vector<float> out = Render(mixer, 400);
    const std::size_t step = rate / kRate;
    for (std::size_t n = kStartRampFrames; n < 400; ++n) {
      const std::size_t frame = (n * step) % 3;
      ASSERT_FLOAT_EQ(out[2 * n], interleaved[2 * frame]) << "rate " << rate << " frame " << n;
      ASSERT_FLOAT_EQ(out[2 * n + 1], interleaved[2 * frame + 1]) << "rate " << rate << " frame " << n;
    }
  }
}

TEST(Mixer, PanningFollowsTheMidasLinearLaw) {
  struct Case {
    int panning;
    float left, right;
  };
  const Case cases[] = {{-64, 1.0f, 0.0f}, {-32, 1.0f, 0.5f}, {0, 1.0f, 1.0f},
                        {32, 0.5f, 1.0f},  {64, 0.0f, 1.0f},  {kPanSurround, 1.0f, 1.0f},
                        {-100, 1.0f, 0.0f}, {100, 0.0f, 1.0f}};
  for (const Case& c : cases) {
    Mixer mixer(kRate);
    mixer.SetChannelCount(1);
    mixer.Play(0, Constant(0.5f, 1000, true), 16000, 32, c.panning);  // volume 32 = half
    const std::vector<float> out = Render(mixer, 100);
    EXPECT_FLOAT_EQ(out[2 * 99], 0.25f * c.left) << "panning " << c.panning;
    EXPECT_FLOAT_EQ(out[2 * 99 + 1], 0.25f * c.right) << "panning " << c.panning;
  }
}

TEST(Mixer, SampleLevelDependsOnOpenChannelsAndAmplification) {
  struct Case {
    int channels;
    unsigned amplification;
    float level;
  };
  const Case cases[] = {{1, 100, 1.0f},          {2, 100, 0.5f},          {4, 100, 0.25f},
                        {5, 100, 14.0f / 64.0f}, {16, 100, 14.0f / 64.0f}, {2, 200, 1.0f},
                        {4, 50, 0.125f}};
  for (const Case& c : cases) {
    Mixer mixer(kRate);
    mixer.SetChannelCount(c.channels);
    mixer.SetAmplification(c.amplification);
    mixer.Play(0, Constant(0.5f, 1000, true), 16000, 64, 0);
    const std::vector<float> out = Render(mixer, 100);
    EXPECT_FLOAT_EQ(out[2 * 99], 0.5f * c.level) << c.channels << " channels at " << c.amplification << "%";
  }
}

TEST(Mixer, StartsStopsCutsAndVolumeChangesAreRamped) {
  // A full-level constant: every change of level must glide, never jump.
  const auto dc = Constant(0.8f, 1000, true);
  const float fastest = 0.8f / kStartRampFrames + 1e-6f;  // the start ramp is the steepest
  Mixer mixer(kRate);
  mixer.SetChannelCount(1);
  mixer.Play(0, dc, 16000, 64, 0);
  std::vector<float> out = Render(mixer, 200);
  EXPECT_LE(std::fabs(out[0]), fastest) << "the first frame is already ramped";
  EXPECT_FLOAT_EQ(out[2 * kStartRampFrames], 0.8f) << "full level once the start ramp is done";
  EXPECT_LE(MaxStep(out, 0, 0), fastest);

  mixer.SetVolume(0, 16);
  out = Render(mixer, 200);
  EXPECT_LE(MaxStep(out, 0, 0), 0.6f / kChangeRampFrames + 1e-6f);
  EXPECT_FLOAT_EQ(out[2 * 199], 0.2f);

  // A new sound on the channel cuts the old one with a fade, overlapping the new start.
  mixer.Play(0, Constant(-0.8f, 1000, true), 16000, 64, 0);
  out = Render(mixer, 400);
  EXPECT_LE(MaxStep(out, 0, 0), 0.8f / kStartRampFrames + 0.2f / kChangeRampFrames + 1e-6f);
  EXPECT_FLOAT_EQ(out[2 * 399], -0.8f);

  mixer.Stop(0);
  EXPECT_FALSE(mixer.Playing(0));
  out = Render(mixer, 400);
  EXPECT_LE(MaxStep(out, 0, 0), 0.8f / kChangeRampFrames + 1e-6f);
  EXPECT_NE(out[0], 0.0f) << "the stopped sound fades instead of vanishing";
  for (std::size_t n = kChangeRampFrames; n < 400; ++n) ASSERT_EQ(out[2 * n], 0.0f) << n;
}

TEST(Mixer, OneShotSampleEndsAndLeavesSilence) {
  Mixer mixer(kRate);
  mixer.SetChannelCount(2);
  mixer.Play(1, Constant(0.5f, 100, false), kRate, 64, 0);  // 100 output frames long
  EXPECT_TRUE(mixer.Playing(1));
  const std::vector<float> out = Render(mixer, 300);
  EXPECT_FALSE(mixer.Playing(1));
  EXPECT_NE(out[2 * 50], 0.0f);
  for (std::size_t n = 101; n < 300; ++n) ASSERT_EQ(out[2 * n], 0.0f) << n;
}

TEST(Mixer, ReopeningChannelsFadesWhatPlayed) {
  Mixer mixer(kRate);
  mixer.SetChannelCount(1);
  mixer.Play(0, Constant(0.5f, 1000, true), 16000, 64, 0);
  Render(mixer, 100);
  mixer.SetChannelCount(4);
  EXPECT_FALSE(mixer.Playing(0));
  const std::vector<float> out = Render(mixer, 300);
  EXPECT_GT(out[0], 0.4f);
  EXPECT_EQ(out[2 * 299], 0.0f);
}

class FakeMusic : public MusicStream {
 public:
  FakeMusic(float value, std::size_t length) : value_(value), left_(length) {}
  std::size_t Render(float* stereo, std::size_t frames) override {
    const std::size_t n = std::min(frames, left_);
    for (std::size_t i = 0; i < n; ++i) stereo[2 * i] = value_, stereo[2 * i + 1] = -value_;
    left_ -= n;
    return n;
  }

 private:
  float value_;
  std::size_t left_;
};

TEST(Mixer, MusicIsMixedAtItsVolumeAndEnds) {
  Mixer mixer(kRate);
  mixer.SetChannelCount(4);  // the sample level does not apply to music
  const int id = mixer.AddMusic(std::make_unique<FakeMusic>(0.6f, 150), 32);
  std::vector<float> out = Render(mixer, 100);
  EXPECT_FLOAT_EQ(out[0], 0.3f);
  EXPECT_FLOAT_EQ(out[1], -0.3f);
  EXPECT_TRUE(mixer.MusicPlaying(id));
  out = Render(mixer, 100);
  EXPECT_FLOAT_EQ(out[2 * 49], 0.3f);
  EXPECT_EQ(out[2 * 50], 0.0f) << "the song ended after 150 frames";
  EXPECT_FALSE(mixer.MusicPlaying(id));
  ASSERT_NE(mixer.FindMusic(id), nullptr);

  const int second = mixer.AddMusic(std::make_unique<FakeMusic>(0.6f, 100000), 64);
  Render(mixer, 10);
  mixer.RemoveMusic(second);
  EXPECT_EQ(mixer.FindMusic(second), nullptr);
  out = Render(mixer, 400);
  EXPECT_LE(MaxStep(out, 0, 0), 0.6f / kChangeRampFrames + 1e-6f) << "music fades when removed";
  EXPECT_EQ(out[2 * 399], 0.0f);
}

TEST(Mixer, LimiterRoundsOffPeaksWithoutWrapping) {
  EXPECT_EQ(Mixer::Limit(0.5f), 0.5f);
  EXPECT_EQ(Mixer::Limit(-0.9f), -0.9f);
  float previous = 0.9f;
  for (float x = 0.901f; x < 8.0f; x += 0.01f) {
    const float y = Mixer::Limit(x);
    ASSERT_GT(y, previous - 1e-7f) << x;
    ASSERT_LT(y, 1.0f + 1e-7f) << x;
    ASSERT_EQ(Mixer::Limit(-x), -y);
    previous = y;
  }
  EXPECT_NEAR(Mixer::Limit(0.9001f), 0.9001f, 1e-6f) << "continuous at the knee";

  // Four full-scale sounds on a 1-channel level: 16-bit output saturates with the right sign.
  Mixer mixer(kRate);
  mixer.SetChannelCount(1);
  mixer.SetAmplification(400);
  mixer.Play(0, Constant(-1.0f, 1000, true), 16000, 64, 0);
  std::vector<int16_t> pcm(2 * 200);
  mixer.RenderS16(pcm.data(), 200);
  EXPECT_LE(pcm[2 * 199], -32000);
}

}  // namespace
}  // namespace midas
