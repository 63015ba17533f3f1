// The generated music and effects through the MIDAS stand-in, after exactly the channel calls the
// presentation makes on its way to each song: start-up's one channel with one automatic effect
// channel, the effects of the first scenes, then per song the scene's own calls. Every song must
// start (no "Out of sound channels"), and its stretch of the WAV output must have no gap and no
// clipping. A second run plays each whole song and past its end, to hear the loop point. As with the real
// library, nothing is mixed until background playing has started.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestSupport.h"
#include "midasdll.h"
#include "platform/FrameClock.h"

namespace mkdata {
namespace {

constexpr int kMixRate = 44100;

class MusicThroughMidas : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("mkdata_midas_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    for (const char* generator : {"music", "sounds"})
      for (const auto& [name, bytes] : test::RunGenerator(generator))
        std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    wav_ = dir_ / "out.wav";
    setenv("MIDAS_OUTPUT", ("wav:" + wav_.string()).c_str(), 1);
    platform::ResetFrameClock();
  }
  void TearDown() override {
    MIDASclose();
    unsetenv("MIDAS_OUTPUT");
    std::filesystem::remove_all(dir_);
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  // MIDASstartup .. MIDASstartBackgroundPlay as the program's audio start-up makes them.
  void StartUp() {
    ASSERT_TRUE(MIDASstartup());
    ASSERT_TRUE(MIDASsetOption(MIDAS_OPTION_MIXRATE, kMixRate));
    ASSERT_TRUE(MIDASinit());
    ASSERT_TRUE(MIDASopenChannels(1));
    ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
    for (int i = 0; i < 3; ++i) {
      std::string file = Path((std::to_string(i) + ".wav").c_str());
      samples_[i] = MIDASloadWaveSample(file.data(), MIDAS_LOOP_YES);
      ASSERT_NE(samples_[i], 0u) << MIDASgetErrorMessage(MIDASgetLastError());
    }
    ASSERT_TRUE(MIDASstartBackgroundPlay(100));
  }

  // Loads and plays a song looping; returns the play handle (0 = failed, with the reason logged).
  MIDASmodulePlayHandle PlaySong(const char* name) {
    std::string file = Path(name);
    module_ = MIDASloadModule(file.data());
    EXPECT_NE(module_, nullptr) << name << ": " << MIDASgetErrorMessage(MIDASgetLastError());
    if (!module_) return 0;
    const MIDASmodulePlayHandle handle = MIDASplayModule(module_, TRUE);
    EXPECT_NE(handle, 0u) << name << ": " << MIDASgetErrorMessage(MIDASgetLastError());
    return handle;
  }

  void StopSong(MIDASmodulePlayHandle handle) {
    if (handle) {
      EXPECT_TRUE(MIDASstopModule(handle));
    }
    if (module_) {
      EXPECT_TRUE(MIDASfreeModule(module_));
    }
    module_ = nullptr;
  }

  static void Show(int frames) {
    for (int i = 0; i < frames; ++i) platform::AdvanceFrame();
  }

  // The WAV output so far as interleaved stereo floats.
  std::vector<float> Rendered() const {
    std::ifstream file(wav_, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    std::vector<float> audio;
    // Find the data chunk, skipping any other chunk (sizes padded to even).
    size_t at = 12;
    while (at + 8 <= bytes.size() && std::string(bytes.begin() + at, bytes.begin() + at + 4) != "data") {
      const uint32_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | static_cast<uint32_t>(bytes[at + 7]) << 24;
      at += 8 + size + (size & 1);
    }
    for (size_t i = at + 8; i + 1 < bytes.size(); i += 2)
      audio.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8) / 32768.0f);
    return audio;
  }

  static size_t FrameToAudio(int shownFrames) { return static_cast<size_t>(shownFrames) * kMixRate / 60; }

  std::filesystem::path dir_, wav_;
  MIDASsample samples_[3] = {};
  MIDASmodule module_ = nullptr;
};

TEST_F(MusicThroughMidas, EachSongStartsAfterItsScenesChannelCallsAndPlaysCleanly) {
  StartUp();
  // Cartoon to space: effects on the automatic channel, stopped and freed by the next scenes.
  MIDASsamplePlayHandle effect = MIDASplaySample(samples_[1], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  ASSERT_NE(effect, 0u);
  Show(60);
  EXPECT_TRUE(MIDASstopSample(effect));
  EXPECT_TRUE(MIDASfreeSample(samples_[1]));
  effect = MIDASplaySample(samples_[2], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  ASSERT_NE(effect, 0u);
  Show(60);
  EXPECT_TRUE(MIDASstopSample(effect));
  EXPECT_TRUE(MIDASfreeSample(samples_[2]));

  struct Segment {
    const char* song;
    int frames;
    int from;
  };
  std::vector<Segment> segments;
  int shown = 120;
  // Tunnel: four channels, the effect channel freed; the song plays on through fire and fractal.
  EXPECT_TRUE(MIDASopenChannels(4));
  EXPECT_TRUE(MIDASfreeAutoEffectChannels());
  MIDASmodulePlayHandle song = PlaySong("go.s3m");
  Show(2479);
  segments.push_back({"go.s3m", 2479, shown});
  shown += 2479;
  StopSong(song);
  // Crypt: four channels again, nothing freed first.
  EXPECT_TRUE(MIDASopenChannels(4));
  song = PlaySong("ohyea.mod");
  Show(3505);
  segments.push_back({"ohyea.mod", 3505, shown});
  shown += 3505;
  StopSong(song);
  // Facemap: one channel and an automatic effect channel for the drone, stopped by the enviro scene.
  EXPECT_TRUE(MIDASopenChannels(1));
  EXPECT_TRUE(MIDASallocAutoEffectChannels(1));
  effect = MIDASplaySample(samples_[0], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  ASSERT_NE(effect, 0u);
  Show(60);
  shown += 60;
  EXPECT_TRUE(MIDASstopSample(effect));
  EXPECT_TRUE(MIDASfreeSample(samples_[0]));
  // Temple: sixteen channels, the effect channel freed.
  EXPECT_TRUE(MIDASopenChannels(16));
  EXPECT_TRUE(MIDASfreeAutoEffectChannels());
  song = PlaySong("creature.s3m");
  Show(3112);
  segments.push_back({"creature.s3m", 3112, shown});
  StopSong(song);
  EXPECT_TRUE(MIDASstopBackgroundPlay());
  EXPECT_TRUE(MIDASclose());

  const auto audio = Rendered();
  for (const Segment& s : segments) {
    SCOPED_TRACE(s.song);
    const size_t from = FrameToAudio(s.from), to = FrameToAudio(s.from + s.frames);
    ASSERT_LE(to * 2, audio.size());
    // The first 100 ms may hold the start of the first note; from there on, music throughout.
    EXPECT_GT(test::QuietestWindowDb(audio, from + kMixRate / 10, to, kMixRate / 10), -40.0);
    EXPECT_LT(test::PeakDb(audio, from, to - from), -0.5);
  }
}

TEST_F(MusicThroughMidas, WholeSongsLoopWithoutGapClipOrSeam) {
  struct Case {
    const char* song;
    int channels;
  } const kSongs[] = {{"go.s3m", 4}, {"ohyea.mod", 4}, {"creature.s3m", 16}};
  for (const Case& c : kSongs) {
    SCOPED_TRACE(c.song);
    platform::ResetFrameClock();
    ASSERT_TRUE(MIDASstartup());
    ASSERT_TRUE(MIDASsetOption(MIDAS_OPTION_MIXRATE, kMixRate));
    ASSERT_TRUE(MIDASinit());
    ASSERT_TRUE(MIDASopenChannels(c.channels));
    ASSERT_TRUE(MIDASstartBackgroundPlay(100));
    const MIDASmodulePlayHandle song = PlaySong(c.song);
    ASSERT_NE(song, 0u);
    std::ifstream file(Path(c.song), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    const double loopSeconds = test::SongLengthSeconds(bytes);
    Show(static_cast<int>((loopSeconds + 2.0) * 60.0));
    StopSong(song);
    ASSERT_TRUE(MIDASclose());
    const auto audio = Rendered();
    const size_t loop = static_cast<size_t>(loopSeconds * kMixRate);
    ASSERT_GE(audio.size() / 2, loop + kMixRate);
    // The whole song and two seconds of its second pass: no 100 ms window near silence, no
    // clipping; around the loop point the level holds (within 6 dB over half a second) and no
    // edge is steeper than the song's own.
    EXPECT_GT(test::QuietestWindowDb(audio, kMixRate / 10, audio.size() / 2, kMixRate / 10), -40.0);
    EXPECT_LT(test::PeakDb(audio, 0, audio.size() / 2), -0.5);
    EXPECT_NEAR(test::RmsDb(audio, loop - kMixRate / 2, kMixRate / 2), test::RmsDb(audio, loop, kMixRate / 2), 6.0);
    EXPECT_LE(test::LargestStep(audio, loop - kMixRate / 50, loop + kMixRate / 50),
              test::LargestStep(audio, kMixRate / 10, loop - kMixRate / 50));
  }
}

}  // namespace
}  // namespace mkdata
