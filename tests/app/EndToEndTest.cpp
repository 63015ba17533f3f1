// The real program, run headless and unpaced in a copy of the generated data directory.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::TestDirectory("e2e");
    testsupport::LinkData(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs keldrin in the data copy with `env` prepended; returns its exit code.
  int Run(const std::string& env) {
    const std::string command = "cd '" + dir_.string() + "' && env FX_GLIDE_SWAPINTERVAL=0 GLIDE_PRESENT=none " +
                                "MIDAS_OUTPUT=silent GLIDE_FRAME_HASHES=hashes.txt " + env + " '" + KELDRIN_EXE +
                                "' > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string File(const char* name) { return testsupport::ReadFile(dir_ / name); }
  fs::path dir_;
};

// Lines of the hash log, one per shown frame.
int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// The title's done stops EffectPlayHandle, which is 0 when no cartoon scene started an effect:
// the sound library answers a stop of a handle it does not play with success, so no failure line.
// Every scene of this build: title (1241 frames), space (1129), facemap (1201), enviro (6001);
// each init but the space scene's shows one black frame first.
constexpr int kFramesShown = 1 + 1241 + 1129 + 1 + 1201 + 1 + 6001;

TEST_F(EndToEndTest, PlaysEveryScenePresentInTableOrder) {
  EXPECT_EQ(Run(""), 0) << File("stderr.txt");
  EXPECT_EQ(File("stdout.txt"), "Initializing MIDAS\n");
  EXPECT_EQ(File("debug.log"),
            "MIDAS: Loading samples\nMIDAS: starting\n"
            "start:title\ntitle:done\nstart:space\nstart:done\n"
            "start:facemap\nstart:enviro\nENV DONE\n");
  EXPECT_EQ(CountLines(File("hashes.txt")), kFramesShown);
}

TEST_F(EndToEndTest, SkippingScenesStillReleasesTheirSound) {
  // Enter in each scene, at frames 100 (title), 500 (space), 1000 (facemap) and 1500 (enviro):
  // the space scene's done stops its own effect and enviro's the one the facemap scene started, so
  // nothing fails and shutdown has nothing left.
  EXPECT_EQ(Run("WIN32_INPUT=100:down:13,100:up:13,500:down:13,500:up:13,1000:down:13,1000:up:13,"
                "1500:down:13,1500:up:13"),
            0)
      << File("stderr.txt");
  EXPECT_EQ(File("debug.log"),
            "MIDAS: Loading samples\nMIDAS: starting\n"
            "start:title\ntitle:done\nstart:space\nstart:done\n"
            "start:facemap\nstart:enviro\nENV DONE\n");
}

TEST_F(EndToEndTest, EscapeDuringFacemapLeavesTheEffectToShutdown) {
  EXPECT_EQ(Run("WIN32_INPUT=2800:down:27"), 0) << File("stderr.txt");
  EXPECT_EQ(File("debug.log"),
            "MIDAS: Loading samples\nMIDAS: starting\n"
            "start:title\ntitle:done\nstart:space\nstart:done\nstart:facemap\n");
}

TEST_F(EndToEndTest, ClosingTheWindowEndsLikeEscape) {
  EXPECT_EQ(Run("WIN32_INPUT=50:close"), 0) << File("stderr.txt");
  EXPECT_EQ(File("debug.log"), "MIDAS: Loading samples\nMIDAS: starting\nstart:title\n");
  EXPECT_EQ(CountLines(File("hashes.txt")), 51);
}

TEST_F(EndToEndTest, MissingSampleIsFatalBeforeTheDisplayOpens) {
  fs::remove(dir_ / "1.wav");
  EXPECT_EQ(Run(""), 1);
  EXPECT_EQ(File("debug.log"), "MIDAS: Loading samples\nMIDAS error: File does not exist\n");
  EXPECT_FALSE(fs::exists(dir_ / "hashes.txt")) << "the display was opened";
}

TEST_F(EndToEndTest, CancelledSoundSetupEndsWithCodeZero) {
  EXPECT_EQ(Run("MIDAS_CONFIG=cancel"), 0);
  EXPECT_EQ(File("debug.log"), "MIDAS : Aborted! \n");
  EXPECT_EQ(File("stdout.txt"), "");
}

}  // namespace
