// The audio service over the real MIDAS stand-in with silent output, in a temporary directory
// holding the generated samples.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"

#include <glide.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

// What the sound library holds when it is closed, and whether the display was shut down: the
// test executable wraps both calls.
struct ClosingState {
  MIDASsamplePlayHandle effect = 0;  // the effect to look at, set by the test
  MIDASsample samples[3] = {};       // the samples to look at, set by the test
  DWORD effectStatus = 99;           // MIDASgetSamplePlayStatus of the effect when freeing begins
  bool freeing = false;
  int samplesStillLoaded = -1;       // how many of the samples could still be freed at close
  int closes = 0;
};
ClosingState Closing;

extern "C" BOOL __real_MIDASclose(void);
extern "C" BOOL __real_MIDASfreeSample(MIDASsample sample);
extern "C" BOOL __wrap_MIDASfreeSample(MIDASsample sample) {
  // Freeing a playing sample would stop it too: look before the first free.
  if (Closing.effect != 0 && !Closing.freeing) Closing.effectStatus = MIDASgetSamplePlayStatus(Closing.effect);
  Closing.freeing = true;
  return __real_MIDASfreeSample(sample);
}

extern "C" BOOL __wrap_MIDASclose(void) {
  Closing.samplesStillLoaded = 0;
  for (MIDASsample sample : Closing.samples)
    if (sample != 0 && MIDASfreeSample(sample)) ++Closing.samplesStillLoaded;
  ++Closing.closes;
  return __real_MIDASclose();
}

// What the scenes' music start asks of the sound library: the channels it opens and whether the
// module loops.
struct MusicCalls {
  int channels = -1;  // the last MIDASopenChannels
  int loopSong = -1;  // the last MIDASplayModule's loopSong
};
MusicCalls Music;

extern "C" BOOL MIDASCALL __real_MIDASopenChannels(int numChannels);
extern "C" BOOL MIDASCALL __wrap_MIDASopenChannels(int numChannels) {
  Music.channels = numChannels;
  return __real_MIDASopenChannels(numChannels);
}

extern "C" MIDASmodulePlayHandle MIDASCALL __real_MIDASplayModule(MIDASmodule module, BOOL loopSong);
extern "C" MIDASmodulePlayHandle MIDASCALL __wrap_MIDASplayModule(MIDASmodule module, BOOL loopSong) {
  Music.loopSong = loopSong;
  return __real_MIDASplayModule(module, loopSong);
}

// Each shutdown of the display appends a line to "glide-shutdowns" in the working directory, so
// that a death test's parent can count them.
extern "C" void __real_grGlideShutdown(void);
extern "C" void __wrap_grGlideShutdown(void) {
  std::ofstream("glide-shutdowns", std::ios::app) << "shutdown\n";
  __real_grGlideShutdown();
}

namespace {

namespace fs = std::filesystem;

HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)); }

class AudioServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    // A death test's child runs SetUp again, in its parent's directory: the parent reads the
    // log the child wrote.
    dir_ = testsupport::TestDirectory("audio", ::testing::internal::InDeathTestChild());
    const char* data = std::getenv("KELDRIN_DATA");
    ASSERT_NE(data, nullptr);
    for (const char* name : {"0.wav", "1.wav", "2.wav"}) {
      fs::copy_file(fs::path(data) / name, dir_ / name, fs::copy_options::overwrite_existing);
    }
    old_ = fs::current_path();
    fs::current_path(dir_);
    ::setenv("MIDAS_OUTPUT", "silent", 1);
    ::setenv("MIDAS_CONFIG", "ok", 1);
    ResetDebugLog();
  }
  void TearDown() override { fs::current_path(old_); }
  static std::string Log() { return testsupport::ReadFile("debug.log"); }
  fs::path dir_, old_;
};

TEST_F(AudioServiceTest, WithoutAWindowStartupLogsThePanicAndReturns) {
  AudioStartup(nullptr);
  EXPECT_EQ(Log(), "Panic! Couldn't find console window window handle\n");
  EXPECT_EQ(AudioSamples[0], 0u);
}

TEST_F(AudioServiceTest, StartupLoadsTheSamplesAndShutdownReleasesWhatScenesStillHold) {
  AudioStartup(FakeWindow());
  EXPECT_EQ(Log(), "MIDAS: Loading samples\nMIDAS: starting\n");
  for (MIDASsample sample : AudioSamples) EXPECT_NE(sample, 0u);
  // As after Escape during a scene that started an effect: shutdown stops and frees it.
  EffectPlayHandle = MIDASplaySample(AudioSamples[1], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  ASSERT_NE(EffectPlayHandle, 0u);
  AudioShutdown();
  EXPECT_EQ(Log(), "MIDAS: Loading samples\nMIDAS: starting\n");
  EffectPlayHandle = 0;
  for (MIDASsample& sample : AudioSamples) sample = 0;
}

TEST_F(AudioServiceTest, ShutdownStopsTheEffectAndFreesEverySampleBeforeClosing) {
  AudioStartup(FakeWindow());
  EffectPlayHandle = MIDASplaySample(AudioSamples[2], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  ASSERT_NE(EffectPlayHandle, 0u);
  ASSERT_EQ(MIDASgetSamplePlayStatus(EffectPlayHandle), static_cast<DWORD>(MIDAS_SAMPLE_PLAYING));
  Closing = {};
  Closing.effect = EffectPlayHandle;
  for (int i = 0; i < 3; ++i) Closing.samples[i] = AudioSamples[i];
  AudioShutdown();
  EXPECT_EQ(Closing.closes, 1);
  EXPECT_EQ(Closing.effectStatus, static_cast<DWORD>(MIDAS_SAMPLE_STOPPED)) << "the effect was stopped";
  EXPECT_EQ(Closing.samplesStillLoaded, 0) << "every sample was freed";
  Closing = {};
  EffectPlayHandle = 0;
  for (MIDASsample& sample : AudioSamples) sample = 0;
}

TEST_F(AudioServiceTest, FatalErrorShutsTheDisplayOnlyWhenItWasOpened) {
  SetFatalAudioCleanup(CloseDisplayIfOpened);  // as WinMain registers it
  fs::remove("glide-shutdowns");
  DisplayOpened = false;
  EXPECT_EXIT(FatalAudioError(), ::testing::ExitedWithCode(1), "");
  EXPECT_FALSE(fs::exists("glide-shutdowns")) << "a display never opened is not shut down";
  DisplayOpened = true;
  EXPECT_EXIT(FatalAudioError(), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(testsupport::ReadFile("glide-shutdowns"), "shutdown\n");
  DisplayOpened = false;
  SetFatalAudioCleanup(nullptr);
  EXPECT_EXIT(FatalAudioError(), ::testing::ExitedWithCode(1), "") << "nothing registered: the exit alone";
}

TEST_F(AudioServiceTest, CancelledSetupExitsWithZero) {
  ::setenv("MIDAS_CONFIG", "cancel", 1);
  EXPECT_EXIT(AudioStartup(FakeWindow()), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Log(), "MIDAS : Aborted! \n");
}

TEST_F(AudioServiceTest, MissingSampleIsFatalWithTheLibraryMessage) {
  fs::remove("2.wav");
  EXPECT_EXIT(AudioStartup(FakeWindow()), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(Log(), "MIDAS: Loading samples\nMIDAS error: File does not exist\n");
}

TEST_F(AudioServiceTest, AFailingShutdownCallIsFatal) {
  AudioStartup(FakeWindow());
  MusicModule = reinterpret_cast<MIDASmodule>(static_cast<uintptr_t>(0xdead));  // never loaded
  MusicPlayHandle = 0;
  EXPECT_EXIT(AudioShutdown(), ::testing::ExitedWithCode(1), "");
  const std::string log = Log();
  EXPECT_NE(log.find("\nMIDAS error: "), std::string::npos) << log;
  MusicModule = nullptr;
  AudioShutdown();
}

// The music start of the tunnel, crypt and temple scenes, with every log line and refusal they
// have: without the sound library, with the module missing, and playing (on the scene's channels,
// looping).
TEST_F(AudioServiceTest, SceneMusicLogsWhatFailsAsEachSceneDoes) {
  const struct {
    SceneMusic music;
    const char* refused;  // the log without the sound library
    const char* missing;  // the log with the library running and no module file
  } scenes[] = {
      {{"go.s3m", 4, true, false},
       "Couldn't open channels!\nCouldn't clear sfx channels!\nCouldn't load go.s3m !\nCouldn't play go.s3m !\n",
       "Couldn't load go.s3m !\nCouldn't play go.s3m !\n"},
      {{"ohyea.mod", 4, false, true}, "Couldn't open channels!\nCouldn't load ohyea.mod !\n",
       "Couldn't load ohyea.mod !\n"},
      {{"creature.s3m", 16, true, true},
       "Couldn't open channels!\nCouldn't clear sfx channels!\nCouldn't load creature.s3m !\n",
       "Couldn't load creature.s3m !\n"},
  };
  const MIDASmodulePlayHandle kEarlier = 77;  // what a scene before left in the handle
  const std::string started = "MIDAS: Loading samples\nMIDAS: starting\n";
  for (const auto& scene : scenes) {
    SCOPED_TRACE(scene.music.file);
    const bool stops = scene.music.stopAtFailedLoad;

    ResetDebugLog();
    MusicPlayHandle = kEarlier;
    StartSceneMusic(scene.music);
    EXPECT_EQ(Log(), scene.refused);
    EXPECT_EQ(MusicModule, nullptr);
    EXPECT_EQ(MusicPlayHandle, stops ? kEarlier : 0u) << "a failed load is never handed to the player";

    ResetDebugLog();
    AudioStartup(FakeWindow());
    MusicPlayHandle = kEarlier;
    StartSceneMusic(scene.music);
    EXPECT_EQ(Log(), started + scene.missing);
    EXPECT_EQ(MusicModule, nullptr);
    EXPECT_EQ(MusicPlayHandle, stops ? kEarlier : 0u);

    MusicPlayHandle = 0;
    ResetDebugLog();
    fs::copy_file(fs::path(std::getenv("KELDRIN_DATA")) / scene.music.file, scene.music.file);
    Music = {};
    StartSceneMusic(scene.music);
    EXPECT_EQ(Log(), "") << "nothing fails";
    EXPECT_EQ(Music.channels, scene.music.channels);
    EXPECT_EQ(Music.loopSong, TRUE) << "the module loops for as long as its scenes last";
    ASSERT_NE(MusicModule, nullptr);
    ASSERT_NE(MusicPlayHandle, 0u);
    MIDASplayStatus status{};
    EXPECT_TRUE(MIDASgetPlayStatus(MusicPlayHandle, &status)) << "the module plays";
    AudioShutdown();  // stops and frees the module
    fs::remove(scene.music.file);
    MusicModule = nullptr;
    MusicPlayHandle = 0;
    for (MIDASsample& sample : AudioSamples) sample = 0;
  }
}

}  // namespace

