// Enter, Escape and the window's close in every scene of the real program, and random key
// scripts: the right done operations run, the exit code follows the fractal scene, and the
// sound library holds nothing when it closes (MIDAS_OPEN_HANDLES).
#include "RunSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using runsupport::RunResult;

constexpr const char* kAllReleased =
    "open at MIDASclose: samples 0, modules 0, playing modules 0, sounding samples 0; freed while playing 0\n";

// Each scene's frames in a run that plays it whole, its BeginScene frame included.
constexpr std::array<int, 10> kSceneLength = {1731, 1240, 1131, 502, 602, 1378, 3506, 1202, 6002, 3113};
// The log up to and including each scene's start line.
constexpr std::array<const char*, 10> kStartLine = {"start:cartoon\n", "start:title\n",  "start:space\n",
                                                    "start:tunnel\n",  "start:fire\n",   "start:fractal\n",
                                                    "start:crypt\n",   "start:facemap\n", "start:enviro\n",
                                                    "start:temple\n"};
constexpr int kFractal = 5;

std::string LogUpToStartOf(int scene) {
  const std::string whole = runsupport::kWholeRunLog;
  const std::string line = kStartLine[scene];
  return whole.substr(0, whole.find(line) + line.size());
}

class KeysTest : public ::testing::Test {
 public:
  void SetUp() override {
    dir_ = testsupport::TestDirectory("keys");
    testsupport::LinkData(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  RunResult Run(const std::string& script, int seconds = 60) {
    fs::remove(dir_ / "open.txt");
    RunResult run = runsupport::RunProgram(dir_, "MIDAS_OPEN_HANDLES=open.txt WIN32_INPUT=" + script, seconds);
    open_ = testsupport::ReadFile(dir_ / "open.txt");
    return run;
  }
  fs::path dir_;
  std::string open_;  // the stand-in's report at MIDASclose
};


// Presses that skip scenes 0 .. n - 1, each at its second frame; scene n then begins at 2n + 1.
std::string SkipScenes(int n) { return n == 0 ? "" : runsupport::EnterEvery(2, 2, n) + ","; }

// `event` ("down:27" for Escape, "close") at each scene's second frame: the run ends there
// without the scene's done, with the exit code the scene leaves, and shutdown releases every
// sound handle.
void EndsInEveryScene(KeysTest& test, const std::string& event) {
  for (int scene = 0; scene < 10; ++scene) {
    SCOPED_TRACE(kStartLine[scene]);
    const RunResult run = test.Run(SkipScenes(scene) + std::to_string(2 * scene + 2) + ":" + event);
    EXPECT_EQ(run.exitCode, scene >= kFractal ? 10 : 0) << run.stderrText;
    EXPECT_EQ(run.log, LogUpToStartOf(scene));
    EXPECT_EQ(test.open_, kAllReleased);
    EXPECT_EQ(run.stderrText, "");
  }
}

TEST_F(KeysTest, EscapeInEverySceneEndsWithoutItsDoneAndShutdownReleasesAll) { EndsInEveryScene(*this, "down:27"); }

TEST_F(KeysTest, ClosingTheWindowInEverySceneEndsLikeEscape) { EndsInEveryScene(*this, "close"); }

TEST_F(KeysTest, EnterEarlyInEverySceneRunsEveryDoneAndEndsAfterTheLast) {
  const RunResult run = Run(runsupport::EnterEvery(2, 2, 10));
  EXPECT_EQ(run.exitCode, 10);
  EXPECT_EQ(run.log, runsupport::kWholeRunLog);
  EXPECT_EQ(open_, kAllReleased);
  EXPECT_EQ(run.framesShown, 21) << "every scene skipped at its second frame";
}

TEST_F(KeysTest, EnterInTheMiddleOfEverySceneSkipsItThere) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();  // half and all of a whole run
  // A press once F frames are shown ends the scene; the next one begins with frame F + 1.
  std::string script;
  int frame = 0;
  for (int scene = 0; scene < 10; ++scene) {
    frame += kSceneLength[scene] / 2;
    script += (script.empty() ? "" : ",") + runsupport::EnterEvery(frame, 1, 1);
    frame += 1;
  }
  // Half the presentation, unpaced: well under a minute alone, longer beside other tests on a busy machine.
  const RunResult run = Run(script, 300);
  EXPECT_EQ(run.exitCode, 10);
  EXPECT_EQ(run.log, runsupport::kWholeRunLog);
  EXPECT_EQ(open_, kAllReleased);
  EXPECT_EQ(run.framesShown, frame) << "a press fell outside its scene";
}

// The first 150 frames of every scene drawn by one rasterizer thread, by three and by eight:
// every frame's hash the same (the workers' bands meet in every frame, and the scenes' texture
// downloads, frame reads and clears come between their draws).
TEST_F(KeysTest, EveryThreadCountShowsTheSameFrames) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  std::string script;
  for (int scene = 0; scene < 10; ++scene) {
    script += (script.empty() ? "" : ",") + runsupport::EnterEvery(150 + 151 * scene, 1, 1);
  }
  std::string hashes[3];
  const int threads[3] = {1, 3, 8};
  for (int i = 0; i < 3; ++i) {
    const RunResult run = runsupport::RunProgram(dir_, "GLIDE_THREADS=" + std::to_string(threads[i]) +
                                                           " WIN32_INPUT=" + script, 120);
    EXPECT_EQ(run.exitCode, 10) << threads[i] << " threads: " << run.stderrText;
    EXPECT_EQ(run.framesShown, 10 * 151) << threads[i] << " threads";
    hashes[i] = testsupport::ReadFile(dir_ / "hashes.txt");
  }
  EXPECT_TRUE(hashes[1] == hashes[0]) << "three threads";
  EXPECT_TRUE(hashes[2] == hashes[0]) << "eight threads";
}

// Pressed three frames before the scene would end by itself: the skip ends this scene, as its
// own end would, and the next scene plays on to its own last frames. (Exactly at the end, the
// press would skip the next scene too: see the test below.) The total allows for a frame's
// difference per scene between its length here and in the whole run; a press that skipped two
// scenes would lose hundreds. In two runs that play five scenes each: the first five, then the
// last five after skipping the first at their second frames.
class KeysInTheLastFramesTest : public KeysTest, public ::testing::WithParamInterface<int> {};

TEST_P(KeysInTheLastFramesTest, EnterInTheLastFramesOfEachSceneEndsThatSceneOnly) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();  // half of a whole run
  const int first = GetParam(), last = first + 4;
  std::string script = SkipScenes(first);
  int frame = first == 0 ? 0 : 2 * first + 1;  // where scene `first` begins
  for (int scene = first; scene <= last; ++scene) {
    frame += kSceneLength[scene] - 4;
    script += (scene == first ? "" : ",") + runsupport::EnterEvery(frame, 1, 1);
    frame += 1;
  }
  if (last < 9) script += "," + std::to_string(frame + 1) + ":down:27";  // Escape in the next scene
  const RunResult run = Run(script, 300);
  EXPECT_EQ(run.exitCode, 10);
  EXPECT_EQ(run.log, last < 9 ? LogUpToStartOf(last + 1) : runsupport::kWholeRunLog);
  EXPECT_EQ(open_, kAllReleased);
  EXPECT_NEAR(run.framesShown, last < 9 ? frame + 2 : frame, 10)
      << "a scene ended before its press, or a press skipped two scenes";
}

INSTANTIATE_TEST_SUITE_P(FirstAndLastFive, KeysInTheLastFramesTest, ::testing::Values(0, 5));

TEST_F(KeysTest, EnterAtTheCartoonsLastFramesEndsItOrSkipsTheTitleToo) {
  // Seen in the iteration of the cartoon's last frame (1729 shown before it): only the cartoon
  // ends. Seen in the iteration in which the cartoon ended by itself: the title is skipped too.
  RunResult run = Run("1729:down:13,1729:up:13,1735:down:27");
  EXPECT_EQ(run.log, LogUpToStartOf(1));
  EXPECT_EQ(open_, kAllReleased);
  run = Run("1730:down:13,1730:up:13,1735:down:27");
  EXPECT_EQ(run.log, LogUpToStartOf(2));
  EXPECT_EQ(open_, kAllReleased);
}

TEST_F(KeysTest, EnterHeldAcrossFramesSkipsOneScene) {
  // Down from frame 10, auto-repeated twice at frame 11 and released there: the frames go on
  // until the first key-down is dispatched and seen, then the skip swallows the repeats while it
  // waits. Only the cartoon is skipped; the title then plays until Escape. (No frames are shown
  // while the skip waits, so a scripted release must come at the frame the wait begins.)
  const RunResult run = Run("10:down:13,11:down:13,11:down:13,11:up:13,40:down:27");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.log, LogUpToStartOf(1));
  EXPECT_EQ(open_, kAllReleased);
  EXPECT_EQ(run.framesShown, 41);
}

TEST_F(KeysTest, EscapeWithEnterEndsWithoutSkipping) {
  // Escape arrives first, Enter is down before the iteration ends: no skip, no done.
  const RunResult run = Run(SkipScenes(3) + "9:down:27,9:down:13,9:up:13");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.log, LogUpToStartOf(3)) << "the tunnel's skip was performed";
  EXPECT_EQ(open_, kAllReleased);
}

// Presses of Enter (released at the same frame, as a skip shows no frames while it waits for
// the release), presses and releases of Escape and another key, and window closes, at random
// frames of the first scenes; every script ends with Escape so that the run stays short.
std::string RandomScript(std::mt19937& random) {
  std::uniform_int_distribution<int> count(1, 12), frame(0, 40), what(0, 5);
  std::vector<std::pair<int, std::string>> events;
  const int n = count(random);
  for (int i = 0; i < n; ++i) {
    static const char* const kinds[] = {"down:13,{}:up:13", "down:13,{}:down:13,{}:up:13", "down:27", "up:27",
                                        "down:65", "close"};
    std::string kind = kinds[what(random)];
    const int at = frame(random);
    for (auto pos = kind.find("{}"); pos != std::string::npos; pos = kind.find("{}")) {
      kind.replace(pos, 2, std::to_string(at));
    }
    events.emplace_back(at, kind);
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string script;
  for (const auto& [at, kind] : events) script += std::to_string(at) + ":" + kind + ",";
  return script + "50:down:27";
}

// A hundred scripts from one generator, in four shards of 25 that run side by side.
class RandomKeysTest : public KeysTest, public ::testing::WithParamInterface<int> {};

TEST_P(RandomKeysTest, RandomKeyScriptsNeverCrashHangOrLeaveASound) {
  std::mt19937 random(20);
  std::vector<std::string> scripts;
  for (int i = 0; i < 100; ++i) scripts.push_back(RandomScript(random));
  for (int i = 25 * GetParam(); i < 25 * (GetParam() + 1); ++i) {
    const std::string& script = scripts[static_cast<size_t>(i)];
    SCOPED_TRACE("WIN32_INPUT=" + script);
    const RunResult run = Run(script, 20);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 10) << run.exitCode << "\n" << run.stderrText;
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(open_, kAllReleased);
    // The log is always the start of the whole run's, at most up to a scene's start or done.
    EXPECT_EQ(std::string(runsupport::kWholeRunLog).substr(0, run.log.size()), run.log);
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, RandomKeysTest, ::testing::Range(0, 4));

}  // namespace
