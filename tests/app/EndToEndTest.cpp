// The real program, run headless and unpaced in a copy of the generated data directory.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
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

  // Runs keldrin in the data copy `dir` (by default the test's) with `env` prepended; returns its
  // exit code.
  int Run(const std::string& env) { return RunIn(dir_, env); }
  static int RunIn(const fs::path& dir, const std::string& env) {
    const std::string command = "cd '" + dir.string() + "' && env FX_GLIDE_SWAPINTERVAL=0 GLIDE_PRESENT=none " +
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

// The log of a run through all ten scenes: the audio start-up lines, then each scene's start and
// the end lines of those with a done operation.
constexpr const char* kWholeRunLog =
    "MIDAS: Loading samples\nMIDAS: starting\n"
    "start:cartoon\nstart:title\ntitle:done\nstart:space\nstart:done\nstart:tunnel\nstart:fire\n"
    "start:fractal\nfractal:done\nstart:crypt\nstart:facemap\nstart:enviro\nENV DONE\nstart:temple\n"
    "temple:done\n";

// The ten scenes' frames (20398), and the one black frame each init but the space scene's shows
// through BeginScene.
constexpr int kSceneFrames = 1730 + 1241 + 1129 + 501 + 601 + 1377 + 3505 + 1201 + 6001 + 3112;
constexpr int kFramesShown = kSceneFrames + 9;

// The committed frame hashes (FRAME HASH SCENE lines, '#' comments) against a run's hash log
// (FRAME HASH lines): one line per listed frame that the run did not show with that hash.
std::string ChangedFrames(const std::string& committed, const std::string& log) {
  std::map<long, std::string> shown;
  std::istringstream logLines(log);
  long frame = 0;
  std::string hash;
  while (logLines >> frame >> hash) shown[frame] = hash;
  std::string changed;
  std::istringstream lines(committed);
  std::string line;
  int listed = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string scene;
    if (!(fields >> frame >> hash >> scene)) {
      changed += "unreadable line: " + line + "\n";
      continue;
    }
    ++listed;
    const auto it = shown.find(frame);
    const std::string now = it == shown.end() ? "not shown" : it->second;
    if (now != hash) changed += scene + " frame " + std::to_string(frame) + ": " + hash + " is now " + now + "\n";
  }
  if (listed == 0) changed += "no frames listed\n";
  return changed;
}

// The whole run's sound: 16-bit stereo at 44100 Hz, 735 sample frames to a shown frame after the
// 44-byte header. The root mean square of both channels over shown frames [first, last), as a
// fraction of full scale.
constexpr size_t kWavHeader = 44;
constexpr size_t kBytesPerFrame = 735 * 4;

double Rms(const std::string& wav, int first, int last) {
  double sum = 0;
  size_t count = 0;
  for (size_t at = kWavHeader + first * kBytesPerFrame; at + 1 < kWavHeader + last * kBytesPerFrame; at += 2) {
    const auto value = static_cast<int16_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8);
    sum += static_cast<double>(value) * value;
    ++count;
  }
  return count == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(count)) / 32768.0;
}

// Where each scene's frames start in the whole run (its BeginScene frame where it has one), and
// the run's end.
struct SceneSpan {
  const char* name;
  int first;
};
constexpr SceneSpan kSceneStarts[] = {{"cartoon", 0},   {"title", 1731},   {"space", 2972},   {"tunnel", 4102},
                                      {"fire", 4604},    {"fractal", 5206}, {"crypt", 6584},   {"facemap", 10090},
                                      {"enviro", 11292}, {"temple", 17294}, {"end", kFramesShown}};

// Enter pressed and released at each of `frames`.
std::string EnterAt(std::initializer_list<int> frames) {
  std::string script;
  for (int frame : frames) {
    if (!script.empty()) script += ",";
    script += std::to_string(frame) + ":down:13," + std::to_string(frame) + ":up:13";
  }
  return script;
}

TEST_F(EndToEndTest, PlaysTheWholePresentation) {
  static_assert(kSceneFrames == 20398);
  // A second run, at the same time in a data copy of its own, must show the same frames and
  // write the same sound, byte for byte (the optimised build makes it; under the sanitizers it
  // would double the longest test).
  const fs::path second = dir_ / "second";
  int secondExit = -1;
  std::jthread secondRun;  // joined on every way out of the test
  if (!KELDRIN_UNDER_SANITIZERS) {
    fs::create_directories(second);
    testsupport::LinkData(second);
    secondRun = std::jthread([&] { secondExit = RunIn(second, "MIDAS_OUTPUT=wav:sound.wav"); });
  }
  EXPECT_EQ(Run("MIDAS_OUTPUT=wav:sound.wav"), 10) << "the fractal frames were loaded\n" << File("stderr.txt");
  EXPECT_EQ(File("stdout.txt"), "Initializing MIDAS\n");
  EXPECT_EQ(File("debug.log"), kWholeRunLog);
  EXPECT_EQ(CountLines(File("hashes.txt")), kFramesShown);
  // A few frames of every scene, its first and last among them, as a reviewed run drew them.
  EXPECT_EQ(ChangedFrames(testsupport::ReadFile(fs::path(KELDRIN_SOURCE_DIR) / "tests/app/frame-hashes.txt"),
                          File("hashes.txt")),
            "")
      << "after a reviewed change, tools/frame-hashes.sh rewrites tests/app/frame-hashes.txt and shows the "
         "changed frames beside the old ones";

  // Exactly 1/60 s of sound per shown frame; silence until the cartoon's music starts with its
  // second act, and sound in every scene after that (away from the hand-overs).
  const std::string wav = File("sound.wav");
  ASSERT_EQ(wav.size(), kWavHeader + kFramesShown * kBytesPerFrame);
  EXPECT_EQ(Rms(wav, 0, 500), 0.0) << "the cartoon's first act is silent";
  EXPECT_GT(Rms(wav, 530, 1720), 0.05) << "the cartoon's music";
  for (size_t i = 1; i + 1 < std::size(kSceneStarts); ++i) {
    EXPECT_GT(Rms(wav, kSceneStarts[i].first + 30, kSceneStarts[i + 1].first - 30), 0.03) << kSceneStarts[i].name;
  }

  if (!secondRun.joinable()) return;
  secondRun.join();
  ASSERT_EQ(secondExit, 10);
  EXPECT_TRUE(testsupport::ReadFile(second / "hashes.txt") == File("hashes.txt")) << "the frame hashes differ on a second run";
  EXPECT_TRUE(testsupport::ReadFile(second / "sound.wav") == wav) << "the sound differs on a second run";
}

TEST_F(EndToEndTest, SkippingEverySceneRunsEveryDoneAndEndsAfterTheLast) {
  // Enter every 40 frames: each press lands in the next scene. The cartoon is skipped before its
  // effect starts, so the title's done stops a handle of 0, which the sound library accepts.
  EXPECT_EQ(Run("WIN32_INPUT=" + EnterAt({30, 70, 110, 150, 190, 230, 270, 310, 350, 390})), 10)
      << File("stderr.txt");
  EXPECT_EQ(File("debug.log"), kWholeRunLog);
  EXPECT_LT(CountLines(File("hashes.txt")), 400) << "the run ended with the temple's skip";
}

TEST_F(EndToEndTest, EscapeDuringFacemapLeavesTheEffectToShutdown) {
  EXPECT_EQ(Run("WIN32_INPUT=" + EnterAt({30, 70, 110, 150, 190, 230, 270}) + ",330:down:27"), 10)
      << File("stderr.txt");
  EXPECT_EQ(File("debug.log"),
            "MIDAS: Loading samples\nMIDAS: starting\n"
            "start:cartoon\nstart:title\ntitle:done\nstart:space\nstart:done\nstart:tunnel\nstart:fire\n"
            "start:fractal\nfractal:done\nstart:crypt\nstart:facemap\n");
}

TEST_F(EndToEndTest, ClosingTheWindowEndsLikeEscape) {
  EXPECT_EQ(Run("WIN32_INPUT=50:close"), 0) << "the fractal scene never ran\n" << File("stderr.txt");
  EXPECT_EQ(File("debug.log"), "MIDAS: Loading samples\nMIDAS: starting\nstart:cartoon\n");
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
