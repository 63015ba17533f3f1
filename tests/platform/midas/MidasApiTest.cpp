// The published MIDAS functions: error texts, channel accounting, automatic effect channels,
// stale handles, load failures, the set-up answers and the choice of output.
#include "Fixtures.h"
#include "System.h"

#include "midasdll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

namespace {

using midas_test::Bytes;

std::string LastMessage() { return MIDASgetErrorMessage(MIDASgetLastError()); }

// A looping 16-bit sine, 400 frames.
Bytes LoopWav() {
  std::vector<int> values;
  for (int i = 0; i < 400; ++i) values.push_back(static_cast<int>(std::lround(20000 * std::sin(2 * M_PI * i / 40.0))));
  return midas_test::PcmWav(1, 16, values);
}

class MidasApi : public ::testing::Test {
 protected:
  void SetUp() override {
    // No real display or sound card, also when run outside CTest.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("MIDAS_OUTPUT", "silent", 1);
    setenv("MIDAS_CONFIG", "ok", 1);
    ASSERT_TRUE(MIDASstartup());
    ASSERT_TRUE(MIDASinit()) << LastMessage();
  }
  void TearDown() override {
    EXPECT_TRUE(MIDASclose());
    unsetenv("MIDAS_OUTPUT");
  }
  // Starts again from MIDASstartup, as a fresh process would.
  void Restart() {
    MIDASclose();
    ASSERT_TRUE(MIDASstartup());
    ASSERT_TRUE(MIDASinit()) << LastMessage();
  }

  std::string sample_ = midas_test::WriteTemp("loop.wav", LoopWav());
  std::string module_ = midas_test::WriteTemp("tiny.mod", midas_test::TinyMod());

  MIDASsample LoadSample() { return MIDASloadWaveSample(sample_.data(), MIDAS_LOOP_YES); }
  MIDASmodule LoadModule() { return MIDASloadModule(module_.data()); }
};

TEST_F(MidasApi, ErrorMessagesAreTheMidasTexts) {
  const std::pair<int, const char*> table[] = {
      {0, "OK"},
      {1, "Undefined error"},
      {2, "Out of memory"},
      {15, "Invalid module file"},
      {20, "Sound Device channels not open"},
      {23, "File does not exist"},
      {29, "Unexpected end of file"},
      {48, "Out of sound channels"},
      {50, "Bad WAVE file"},
      {51, "Unsupported sample data format"},
      {-1, "Undefined error"},
      {52, "Undefined error"},
      {1 << 30, "Undefined error"},
  };
  for (const auto& [code, text] : table) EXPECT_STREQ(MIDASgetErrorMessage(code), text) << code;
}

TEST_F(MidasApi, CallsWithoutInitFailButShutdownCallsAreSafe) {
  ASSERT_TRUE(MIDASclose());
  EXPECT_FALSE(MIDASopenChannels(1));
  EXPECT_EQ(LastMessage(), "Device is not available");
  EXPECT_EQ(LoadSample(), 0u);
  EXPECT_EQ(LoadModule(), nullptr);
  EXPECT_EQ(MIDASplaySample(1, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u);
  EXPECT_TRUE(MIDASstopBackgroundPlay());
  EXPECT_TRUE(MIDASclose());
  EXPECT_TRUE(MIDASclose());
  ASSERT_TRUE(MIDASstartup());
  ASSERT_TRUE(MIDASinit());
  EXPECT_FALSE(MIDASinit()) << "a second init without close";
}

TEST_F(MidasApi, ModuleTakesItsChannelsFromWhatTheEffectsLeave) {
  // The module has 4 channels: it plays iff open - auto >= 4.
  struct Case {
    int open;
    unsigned autoChannels;
    bool plays;
  };
  const Case cases[] = {{4, 0, true}, {4, 1, false}, {5, 1, true}, {8, 4, true}, {7, 4, false}, {16, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.open << " open, " << c.autoChannels << " auto");
    Restart();
    ASSERT_TRUE(MIDASopenChannels(c.open));
    if (c.autoChannels > 0) {
      ASSERT_TRUE(MIDASallocAutoEffectChannels(c.autoChannels));
    }
    const MIDASmodule module = LoadModule();
    ASSERT_NE(module, nullptr) << LastMessage();
    const MIDASmodulePlayHandle play = MIDASplayModule(module, TRUE);
    EXPECT_EQ(play != 0, c.plays);
    if (!c.plays) {
      EXPECT_EQ(LastMessage(), "Out of sound channels");
    }
    // A second module never fits beside the first in these sets.
    if (c.plays && c.open < 8 + static_cast<int>(c.autoChannels)) {
      EXPECT_EQ(MIDASplayModule(module, TRUE), 0u);
      EXPECT_EQ(LastMessage(), "Out of sound channels");
    }
    // Stopping gives the channels back.
    if (c.plays) {
      ASSERT_TRUE(MIDASstopModule(play));
      EXPECT_NE(MIDASplayModule(module, TRUE), 0u) << LastMessage();
    }
  }
}

TEST_F(MidasApi, AutomaticEffectChannelsNeedOpenChannels) {
  const MIDASsample sample = LoadSample();
  ASSERT_NE(sample, 0u);
  EXPECT_EQ(MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u);
  EXPECT_EQ(LastMessage(), "Sound Device channels not open");
  EXPECT_FALSE(MIDASallocAutoEffectChannels(1));
  EXPECT_EQ(LastMessage(), "Sound Device channels not open");

  ASSERT_TRUE(MIDASopenChannels(2));
  EXPECT_EQ(MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u) << "channels but no auto set";
  EXPECT_EQ(LastMessage(), "Sound Device channels not open");
  ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
  EXPECT_FALSE(MIDASallocAutoEffectChannels(3));
  EXPECT_EQ(LastMessage(), "Out of sound channels");
  EXPECT_NE(MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u) << "a refused request keeps the old set";
  EXPECT_TRUE(MIDASfreeAutoEffectChannels());
  EXPECT_TRUE(MIDASfreeAutoEffectChannels()) << "freeing nothing succeeds";
  EXPECT_EQ(MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u);
}

TEST_F(MidasApi, AutomaticChannelsRotateAndStaleHandlesAreIgnored) {
  ASSERT_TRUE(MIDASopenChannels(3));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(2));
  const MIDASsample sample = LoadSample();
  const MIDASsamplePlayHandle first = MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0);
  const MIDASsamplePlayHandle second = MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 5, 16000, 64, 0);
  const MIDASsamplePlayHandle third = MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 9, 16000, 64, 0);
  EXPECT_EQ(first, 0x101u);
  EXPECT_EQ(second, 0x102u);
  EXPECT_EQ(third, 0x103u);
  midas::System& system = midas::TheSystem();
  EXPECT_EQ(system.ChannelOf(first), -1) << "the third sound took the first one's channel";
  EXPECT_EQ(system.ChannelOf(second), 1);
  EXPECT_EQ(system.ChannelOf(third), 0);
  EXPECT_EQ(MIDASgetSamplePlayStatus(first), static_cast<DWORD>(MIDAS_SAMPLE_STOPPED));
  EXPECT_EQ(MIDASgetSamplePlayStatus(third), static_cast<DWORD>(MIDAS_SAMPLE_PLAYING));

  // Calls on the stale handle succeed and touch nothing.
  EXPECT_TRUE(MIDASstopSample(first));
  EXPECT_TRUE(MIDASsetSampleVolume(first, 0));
  EXPECT_EQ(MIDASgetSamplePlayStatus(third), static_cast<DWORD>(MIDAS_SAMPLE_PLAYING));
  EXPECT_TRUE(MIDASstopSample(third));
  EXPECT_EQ(MIDASgetSamplePlayStatus(third), static_cast<DWORD>(MIDAS_SAMPLE_STOPPED));
  EXPECT_EQ(MIDASgetSamplePlayStatus(second), static_cast<DWORD>(MIDAS_SAMPLE_PLAYING));
  EXPECT_TRUE(MIDASstopSample(0)) << "0, a play that failed, names no sound";
  EXPECT_EQ(MIDASgetSamplePlayStatus(second), static_cast<DWORD>(MIDAS_SAMPLE_PLAYING));
  EXPECT_TRUE(MIDASsetSampleRate(second, 0));
  EXPECT_EQ(MIDASgetSamplePlayStatus(second), static_cast<DWORD>(MIDAS_SAMPLE_STOPPED)) << "rate 0 holds the sound";
}

TEST_F(MidasApi, ExplicitChannelsComeFromAllocateChannel) {
  ASSERT_TRUE(MIDASopenChannels(2));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
  const MIDASsample sample = LoadSample();
  EXPECT_EQ(MIDASplaySample(sample, 1, 0, 16000, 64, 0), 0u);
  EXPECT_EQ(LastMessage(), "Invalid channel number");
  const DWORD channel = MIDASallocateChannel();
  EXPECT_EQ(channel, 1u);
  EXPECT_EQ(MIDASallocateChannel(), static_cast<DWORD>(MIDAS_ILLEGAL_CHANNEL));
  EXPECT_EQ(LastMessage(), "Out of sound channels");
  const MIDASsamplePlayHandle handle = MIDASplaySample(sample, channel, 0, 16000, 64, MIDAS_PAN_LEFT);
  EXPECT_EQ(handle, channel + 1);
  EXPECT_TRUE(MIDASsetSamplePanning(handle, MIDAS_PAN_SURROUND));
  EXPECT_TRUE(MIDASsetSampleRate(handle, 22050));
  EXPECT_TRUE(MIDASfreeChannel(channel));
  EXPECT_EQ(MIDASgetSamplePlayStatus(handle), static_cast<DWORD>(MIDAS_SAMPLE_STOPPED));
  EXPECT_FALSE(MIDASfreeChannel(0)) << "channel 0 is an automatic one";
}

TEST_F(MidasApi, ModulesOpenTheirOwnChannelsWhenNoneAreOpen) {
  const MIDASmodule module = LoadModule();
  const MIDASmodulePlayHandle play = MIDASplayModule(module, TRUE);
  ASSERT_NE(play, 0u) << LastMessage();
  EXPECT_EQ(MIDASplayModule(module, TRUE), 0u);
  EXPECT_EQ(LastMessage(), "Out of sound channels");
  MIDASmoduleInfo info{};
  ASSERT_TRUE(MIDASgetModuleInfo(module, &info));
  EXPECT_EQ(info.numChannels, 4u);
  EXPECT_STREQ(info.songName, "tiny test mod");
  ASSERT_TRUE(MIDASstopModule(play));
  EXPECT_FALSE(MIDASstopModule(play));
  EXPECT_EQ(LastMessage(), "No module is being played");
  ASSERT_TRUE(MIDASopenChannels(4)) << "the module gave its channels back";
  EXPECT_NE(MIDASplayModule(module, FALSE), 0u);
  EXPECT_TRUE(MIDASfreeModule(module)) << "freeing stops its plays";
  EXPECT_FALSE(MIDASfreeModule(module));
  EXPECT_FALSE(MIDASplayModule(nullptr, TRUE));
  EXPECT_EQ(LastMessage(), "Invalid function arguments");
}

TEST_F(MidasApi, SixteenModulePlaysAtMost) {
  ASSERT_TRUE(MIDASopenChannels(68));
  const MIDASmodule module = LoadModule();
  for (int i = 1; i <= 16; ++i) ASSERT_EQ(MIDASplayModule(module, TRUE), static_cast<DWORD>(i)) << LastMessage();
  EXPECT_EQ(MIDASplayModule(module, TRUE), 0u);
  EXPECT_EQ(LastMessage(), "Out of system resources");
}

TEST_F(MidasApi, ReopeningChannelsKeepsPlayingModulesOrRefuses) {
  ASSERT_TRUE(MIDASopenChannels(6));
  const MIDASmodulePlayHandle play = MIDASplayModule(LoadModule(), TRUE);
  ASSERT_NE(play, 0u);
  EXPECT_FALSE(MIDASopenChannels(3));
  EXPECT_EQ(LastMessage(), "Out of sound channels");
  ASSERT_TRUE(MIDASopenChannels(5));
  EXPECT_FALSE(MIDASallocAutoEffectChannels(2)) << "the module holds 4 of the 5";
  EXPECT_TRUE(MIDASallocAutoEffectChannels(1));
  EXPECT_TRUE(MIDASstopModule(play));
}

TEST_F(MidasApi, ThePresentationsCallSequenceSucceeds) {
  // Start-up, then each scene's calls in order, as the program makes them.
  ASSERT_TRUE(MIDASopenChannels(1));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
  MIDASsample samples[3];
  for (MIDASsample& s : samples) ASSERT_NE(s = LoadSample(), 0u);
  ASSERT_TRUE(MIDASstartBackgroundPlay(100));
  MIDASsamplePlayHandle effect = MIDASplaySample(samples[1], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  ASSERT_NE(effect, 0u);
  EXPECT_TRUE(MIDASstopSample(effect));
  EXPECT_TRUE(MIDASfreeSample(samples[1]));
  ASSERT_NE(effect = MIDASplaySample(samples[2], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE), 0u);
  EXPECT_TRUE(MIDASstopSample(effect));
  EXPECT_TRUE(MIDASfreeSample(samples[2]));
  for (int openCount : {4, 4, 16}) {  // tunnel, crypt, temple
    EXPECT_TRUE(MIDASopenChannels(openCount));
    EXPECT_TRUE(MIDASfreeAutoEffectChannels());
    const MIDASmodule module = LoadModule();
    ASSERT_NE(module, nullptr);
    const MIDASmodulePlayHandle music = MIDASplayModule(module, TRUE);
    ASSERT_NE(music, 0u) << LastMessage();
    EXPECT_TRUE(MIDASstopModule(music));
    EXPECT_TRUE(MIDASfreeModule(module));
    if (openCount == 4) {  // facemap and enviro between the crypt and the temple
      EXPECT_TRUE(MIDASopenChannels(1));
      EXPECT_TRUE(MIDASallocAutoEffectChannels(1));
      ASSERT_NE(effect = MIDASplaySample(samples[0], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE), 0u);
      EXPECT_TRUE(MIDASstopSample(effect));
    }
  }
  EXPECT_TRUE(MIDASfreeSample(samples[0]));
  EXPECT_TRUE(MIDASstopBackgroundPlay());
}

TEST_F(MidasApi, LoadFailuresGiveClearMessages) {
  std::string missing = midas_test::TempDir() + "/no-such-file.wav";
  std::string directory = midas_test::TempDir();
  std::string empty = midas_test::WriteTemp("empty.bin", {});
  std::string garbage = midas_test::WriteTemp("garbage.bin", Bytes(2000, 0x5A));
  const Bytes mod = midas_test::TinyMod();
  std::string truncated = midas_test::WriteTemp("truncated.mod", Bytes(mod.begin(), mod.begin() + 1500));
  struct Case {
    std::string* path;
    const char* sampleMessage;
    const char* moduleMessage;
  };
  const Case cases[] = {
      {&missing, "File does not exist", "File does not exist"},
      {&directory, "Unable to read file", "Unable to read file"},
      {&empty, "Unexpected end of file", "Unexpected end of file"},
      {&garbage, "Bad WAVE file", "Invalid module file"},
      {&truncated, "Bad WAVE file", "Unexpected end of file"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MIDASloadWaveSample(c.path->data(), MIDAS_LOOP_YES), 0u) << *c.path;
    EXPECT_EQ(LastMessage(), c.sampleMessage) << *c.path;
    EXPECT_EQ(MIDASloadModule(c.path->data()), nullptr) << *c.path;
    EXPECT_EQ(LastMessage(), c.moduleMessage) << *c.path;
  }
  EXPECT_EQ(MIDASloadWaveSample(nullptr, MIDAS_LOOP_YES), 0u);
  EXPECT_EQ(LastMessage(), "Invalid function arguments");
}

TEST_F(MidasApi, FreeingAPlayingSampleStopsItsSound) {
  ASSERT_TRUE(MIDASopenChannels(1));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
  const MIDASsample sample = LoadSample();
  const MIDASsamplePlayHandle handle = MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0);
  ASSERT_TRUE(MIDASfreeSample(sample));
  EXPECT_EQ(MIDASgetSamplePlayStatus(handle), static_cast<DWORD>(MIDAS_SAMPLE_STOPPED));
  EXPECT_FALSE(MIDASfreeSample(sample));
  EXPECT_EQ(LastMessage(), "Invalid sample handle");
  EXPECT_EQ(MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0), 0u);
}

TEST_F(MidasApi, SilentOutputKeepsTimeOnceBackgroundPlayStarts) {
  // A 0.3 s one-shot: held while background play is off, over soon after it starts.
  ASSERT_TRUE(MIDASopenChannels(1));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(1));
  std::string shot = midas_test::WriteTemp("shot.wav", midas_test::PcmWav(1, 16, std::vector<int>(4800, 1000)));
  const MIDASsample sample = MIDASloadWaveSample(shot.data(), MIDAS_LOOP_NO);
  const MIDASsamplePlayHandle handle = MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000, 64, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(MIDASgetSamplePlayStatus(handle), static_cast<DWORD>(MIDAS_SAMPLE_PLAYING));
  ASSERT_TRUE(MIDASstartBackgroundPlay(100));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (MIDASgetSamplePlayStatus(handle) == MIDAS_SAMPLE_PLAYING && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(MIDASgetSamplePlayStatus(handle), static_cast<DWORD>(MIDAS_SAMPLE_STOPPED));
}

TEST_F(MidasApi, CallsRaceSafelyWithTheDeviceThread) {
  // SDL's dummy driver pulls the mix on its own thread while the calls below change what is
  // mixed; run under ThreadSanitizer this shows any access outside the lock.
  MIDASclose();
  setenv("MIDAS_OUTPUT", "device", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(MIDASstartup());
  ASSERT_TRUE(MIDASinit());
  ASSERT_EQ(midas::TheSystem().OutputName(), "device");
  ASSERT_TRUE(MIDASopenChannels(8));
  ASSERT_TRUE(MIDASallocAutoEffectChannels(2));
  ASSERT_TRUE(MIDASstartBackgroundPlay(100));
  const MIDASsample sample = LoadSample();
  const MIDASmodule module = LoadModule();
  for (int round = 0; round < 40; ++round) {
    const MIDASsamplePlayHandle effect = MIDASplaySample(sample, MIDAS_CHANNEL_AUTO, 0, 16000 + 100 * round, 64, 0);
    ASSERT_NE(effect, 0u);
    const MIDASmodulePlayHandle music = MIDASplayModule(module, TRUE);
    ASSERT_NE(music, 0u) << LastMessage();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(MIDASsetSampleVolume(effect, static_cast<unsigned>(round)));
    EXPECT_TRUE(MIDASsetMusicVolume(music, 32));
    MIDASplayStatus status{};
    EXPECT_TRUE(MIDASgetPlayStatus(music, &status));
    EXPECT_TRUE(MIDASstopModule(music));
    if (round % 2 == 0) {
      EXPECT_TRUE(MIDASstopSample(effect));
    }
  }
  EXPECT_TRUE(MIDASfreeModule(module));
  EXPECT_TRUE(MIDASfreeSample(sample));
  EXPECT_TRUE(MIDASclose());
  setenv("MIDAS_OUTPUT", "silent", 1);
  ASSERT_TRUE(MIDASstartup());
  ASSERT_TRUE(MIDASinit());
}

TEST_F(MidasApi, SetUpAnswersComeFromTheEnvironment) {
  ASSERT_TRUE(MIDASclose());
  ASSERT_TRUE(MIDASstartup());
  setenv("MIDAS_CONFIG", "cancel", 1);
  EXPECT_FALSE(MIDASconfig());
  EXPECT_EQ(MIDASgetLastError(), 0) << "a cancel is no error";

  setenv("MIDAS_CONFIG", "silent", 1);
  setenv("MIDAS_OUTPUT", "device", 1);
  EXPECT_TRUE(MIDASconfig());
  ASSERT_TRUE(MIDASinit());
  EXPECT_EQ(midas::TheSystem().OutputName(), "silent");

  // No display under the tests' dummy video driver: no answer and a bad answer both proceed.
  for (const char* answer : {"", "maybe"}) {
    Restart();
    setenv("MIDAS_CONFIG", answer, 1);
    EXPECT_TRUE(MIDASconfig()) << answer;
  }
  setenv("MIDAS_CONFIG", "ok", 1);
}

TEST_F(MidasApi, OutputIsChosenByMidasOutput) {
  struct Case {
    const char* output;
    const char* audioDriver;
    const char* name;  // "" = init fails
    const char* message;
  };
  const std::string unwritable = "wav:" + midas_test::TempDir() + "/no/such/dir/out.wav";
  const Case cases[] = {
      {"silent", "dummy", "silent", ""},
      {"device", "dummy", "device", ""},
      {"", "dummy", "device", ""},
      {"device", "no-such-driver", "silent", ""},  // falls back, with one line on stderr
      {"speakers", "dummy", "", "Unsupported output mode used"},
      {"wav:", "dummy", "", "Unsupported output mode used"},
      {unwritable.c_str(), "dummy", "", "Unable to write file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    MIDASclose();
    setenv("MIDAS_OUTPUT", c.output, 1);
    setenv("SDL_AUDIODRIVER", c.audioDriver, 1);
    ASSERT_TRUE(MIDASstartup());
    const BOOL ok = MIDASinit();
    EXPECT_EQ(ok != FALSE, *c.name != '\0');
    if (ok) {
      EXPECT_EQ(midas::TheSystem().OutputName(), c.name);
    } else {
      EXPECT_EQ(LastMessage(), c.message);
    }
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MIDASclose();
  setenv("MIDAS_OUTPUT", "silent", 1);
  ASSERT_TRUE(MIDASstartup());
  ASSERT_TRUE(MIDASinit());
}

// The outputs' openers return the reason they failed and print nothing; MIDASinit says it in one
// line, then falls back to silence (no device) or fails (a WAV file it cannot write).
TEST_F(MidasApi, AnOutputThatCannotOpenIsReportedInOneLine) {
  testing::internal::CaptureStderr();
  const midas::OpenedOutput wav =
      midas::OpenWavOutput(midas_test::TempDir() + "/no/such/dir/out.wav", 44100, [](int16_t*, std::size_t) {});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(wav.opened, nullptr);
  EXPECT_NE(wav.error.find("/no/such/dir/out.wav"), std::string::npos) << wav.error;

  const std::string unwritable = "wav:" + midas_test::TempDir() + "/no/such/dir/out.wav";
  for (const auto& [output, driver] : {std::pair<std::string, const char*>{"device", "no-such-driver"},
                                       {unwritable, "dummy"}}) {
    SCOPED_TRACE(output);
    MIDASclose();
    setenv("MIDAS_OUTPUT", output.c_str(), 1);
    setenv("SDL_AUDIODRIVER", driver, 1);
    ASSERT_TRUE(MIDASstartup());
    testing::internal::CaptureStderr();
    MIDASinit();
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 1) << messages;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MIDASclose();
  setenv("MIDAS_OUTPUT", "silent", 1);
  ASSERT_TRUE(MIDASstartup());
  ASSERT_TRUE(MIDASinit());
}

}  // namespace
