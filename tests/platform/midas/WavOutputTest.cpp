// The WAV output: paced by the frame clock, always a valid file, the same bytes on every run,
// and a looping effect with clean levels and no clicks.
#include "FileData.h"
#include "Fixtures.h"
#include "WaveFile.h"

#include "midasdll.h"
#include "platform/FrameClock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using midas_test::Bytes;

uint32_t U32(const Bytes& b, std::size_t at) {
  return static_cast<uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24));
}

// Checks the header describes exactly the bytes in the file; returns the number of frames.
std::size_t CheckedFrames(const std::string& path, uint32_t rate) {
  const Bytes file = midas::ReadWholeFile(path.c_str());
  EXPECT_GE(file.size(), 44u);
  if (file.size() < 44) return 0;
  EXPECT_EQ(U32(file, 4), file.size() - 8);
  EXPECT_EQ(U32(file, 24), rate);
  EXPECT_EQ(U32(file, 40), file.size() - 44);
  return (file.size() - 44) / 4;
}

class WavOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = midas_test::TempDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav";
    setenv("MIDAS_OUTPUT", ("wav:" + path_).c_str(), 1);
    setenv("MIDAS_CONFIG", "ok", 1);
  }
  void TearDown() override {
    MIDASclose();
    unsetenv("MIDAS_OUTPUT");
  }

  // Starts MIDAS at `rate` and plays a looping 400 Hz sine effect at 16000 Hz, as the program
  // plays its effects.
  void StartWithEffect(DWORD rate = 44100) {
    ASSERT_TRUE(MIDASstartup());
    ASSERT_TRUE(MIDASsetOption(MIDAS_OPTION_MIXRATE, rate));
    ASSERT_TRUE(MIDASinit());
    ASSERT_TRUE(MIDASopenChannels(1));
    ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
    std::vector<int> values;
    for (int i = 0; i < 400; ++i) values.push_back(static_cast<int>(std::lround(29000 * std::sin(2 * M_PI * i / 40.0))));
    std::string wav = midas_test::WriteTemp("sine400.wav", midas_test::PcmWav(1, 16, values));
    const MIDASsample sample = MIDASloadWaveSample(wav.data(), MIDAS_LOOP_YES);
    ASSERT_NE(sample, 0u);
    ASSERT_TRUE(MIDASstartBackgroundPlay(100));
    ASSERT_NE(MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE), 0u);
  }

  std::string path_;
};

TEST_F(WavOutput, EachShownFrameAddsOneSixtiethOfASecondWithTheRemainderCarried) {
  // 22050 Hz is 367.5 frames per shown frame: the half is carried, never lost or doubled.
  for (const DWORD rate : {44100u, 22050u}) {
    SCOPED_TRACE(rate);
    StartWithEffect(rate);
    EXPECT_EQ(CheckedFrames(path_, rate), 0u);
    for (uint64_t shown = 1; shown <= 7; ++shown) {
      platform::AdvanceFrame();
      EXPECT_EQ(CheckedFrames(path_, rate), (shown * rate * 2 + 60) / 120) << "after " << shown << " frames";
    }
    ASSERT_TRUE(MIDASclose());
    EXPECT_EQ(CheckedFrames(path_, rate), (7 * rate * 2 + 60) / 120);
    platform::AdvanceFrame();
    EXPECT_EQ(CheckedFrames(path_, rate), (7 * rate * 2 + 60) / 120) << "closed: the file no longer grows";
  }
}

TEST_F(WavOutput, EveryRunGivesTheSameBytes) {
  Bytes runs[2];
  for (Bytes& run : runs) {
    StartWithEffect();
    for (int i = 0; i < 30; ++i) platform::AdvanceFrame();
    ASSERT_TRUE(MIDASclose());
    run = midas::ReadWholeFile(path_.c_str());
  }
  EXPECT_EQ(runs[0].size(), 44u + 30 * 735 * 4);
  EXPECT_TRUE(runs[0] == runs[1]);
}

// A FIFO gets the same samples as a file, after a header that cannot know the length: the
// largest sizes, which readers take as "until the stream ends". A reader that leaves early
// fails the writes; the program goes on.
TEST_F(WavOutput, APipeGetsAStreamOfTheSameSamples) {
  StartWithEffect();
  for (int i = 0; i < 30; ++i) platform::AdvanceFrame();
  ASSERT_TRUE(MIDASclose());
  const Bytes file = midas::ReadWholeFile(path_.c_str());

  const std::string fifo = path_ + ".fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  setenv("MIDAS_OUTPUT", ("wav:" + fifo).c_str(), 1);
  Bytes streamed;
  std::thread reader([&] { streamed = midas::ReadWholeFile(fifo.c_str()); });
  StartWithEffect();
  for (int i = 0; i < 30; ++i) platform::AdvanceFrame();
  ASSERT_TRUE(MIDASclose());
  reader.join();
  ASSERT_EQ(streamed.size(), file.size());
  EXPECT_EQ(U32(streamed, 4), 0xFFFFFFFFu);
  EXPECT_EQ(U32(streamed, 40), 0xFFFFFFFFu - 36);
  EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), streamed.begin() + 44)) << "the samples";
  EXPECT_TRUE(std::equal(file.begin() + 8, file.begin() + 40, streamed.begin() + 8)) << "the format";

  std::thread leaver([&] {  // takes the header and goes
    std::FILE* in = std::fopen(fifo.c_str(), "rb");
    char header[44];
    EXPECT_EQ(std::fread(header, 1, sizeof header, in), sizeof header);
    std::fclose(in);
  });
  StartWithEffect();
  leaver.join();
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 30; ++i) platform::AdvanceFrame();
  EXPECT_TRUE(MIDASclose());
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("writing the WAV output failed"), std::string::npos) << messages;
  std::remove(fifo.c_str());
}

TEST_F(WavOutput, NothingIsMixedBeforeBackgroundPlayStarts) {
  ASSERT_TRUE(MIDASstartup());
  ASSERT_TRUE(MIDASinit());
  ASSERT_TRUE(MIDASopenChannels(1));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
  std::string wav = midas_test::WriteTemp("dc.wav", midas_test::PcmWav(1, 16, std::vector<int>(100, 16000)));
  ASSERT_NE(MIDASplaySample(MIDASloadWaveSample(wav.data(), MIDAS_LOOP_YES), MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u);
  platform::AdvanceFrame();
  ASSERT_TRUE(MIDASstartBackgroundPlay(100));
  platform::AdvanceFrame();
  ASSERT_TRUE(MIDASclose());
  const midas::PcmData pcm = midas::ParseWave(midas::ReadWholeFile(path_.c_str()));
  ASSERT_EQ(pcm.frames(), 2u * 735);
  for (std::size_t i = 0; i < 2 * 735; ++i) ASSERT_EQ(pcm.interleaved[i], 0.0f) << i;
  EXPECT_NEAR(pcm.interleaved[2 * 1400], 16000.0f / 32768.0f, 1e-4f);
}

TEST_F(WavOutput, LoopingEffectPlaysAtFullLevelWithoutClicks) {
  // One second of the effect through the whole path (WAV file, mixer, 16-bit output): the
  // level is the sample's own (one open channel), and no step between neighbouring output
  // frames exceeds the 400 Hz sine's own steepest step, at any of its 40 loop seams.
  StartWithEffect();
  for (int i = 0; i < 60; ++i) platform::AdvanceFrame();
  ASSERT_TRUE(MIDASclose());
  const midas::PcmData pcm = midas::ParseWave(midas::ReadWholeFile(path_.c_str()));
  ASSERT_EQ(pcm.frames(), 44100u);
  float peak = 0.0f, steepest = 0.0f;
  for (std::size_t i = 64; i < pcm.frames(); ++i) {
    peak = std::max(peak, std::fabs(pcm.interleaved[2 * i]));
    steepest = std::max(steepest, std::fabs(pcm.interleaved[2 * i] - pcm.interleaved[2 * (i - 1)]));
  }
  const float amplitude = 29000.0f / 32768.0f;
  EXPECT_NEAR(peak, amplitude, 2e-3f);
  EXPECT_LE(steepest, amplitude * 2.0f * static_cast<float>(M_PI) * 400.0f / 44100.0f * 1.01f);
}

}  // namespace
