// Every generated file, in turn missing, cut to half its size and replaced by random bytes of
// its size, in a run that skips through all ten scenes with Enter: no crash and no hang, the
// scenes that read the file end themselves or play on as they should, the log and the exit code
// say what happened, and the presentation goes on to its end. One test per file.
#include "RunSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using runsupport::RunResult;

// What a damaged file does to the scene that reads it. kEnds: the scene ends itself at its first
// frame (a texture or an object that did not load); the crypt's figure differs in that its music
// still starts. The music kinds: the module does not load, the scene plays silently.
enum class Reader {
  kCartoon, kTitle, kSpace, kTunnel, kFire, kFractal, kCryptPictures, kCryptFigure, kFacemap, kEnviro,
  kTemple, kTunnelMusic, kCryptMusic, kTempleMusic, kStartupSample, kPalette, kFractalFrames
};

// The scenes (or the start-up) that read each generated file.
const std::map<std::string, std::vector<Reader>>& Readers() {
  using enum Reader;
  static const std::map<std::string, std::vector<Reader>> readers = {
      {"0.wav", {kStartupSample}},   {"1.wav", {kStartupSample}},     {"2.wav", {kStartupSample}},
      {"arm.cel", {kCartoon}},       {"arm2.cel", {kCartoon}},        {"face.cel", {kCartoon}},
      {"face0.cel", {kCartoon}},     {"face2.cel", {kCartoon}},       {"hand.cel", {kCartoon}},
      {"hifi.cel", {kCartoon}},      {"pillow.cel", {kCartoon}},      {"shirt.cel", {kCartoon}},
      {"suit.cel", {kCartoon}},      {"text.cel", {kCartoon}},        {"white.cel", {kCartoon, kSpace}},
      {"title.cel", {kTitle}},       {"green.cel", {kTitle, kSpace}}, {"space.cel", {kSpace}},
      {"sun.cel", {kSpace}},         {"clouds.cel", {kSpace}},        {"planet.cel", {kSpace}},
      {"cloudmap.cel", {kSpace}},    {"clouds.p3d", {kSpace}},        {"planet.p3d", {kSpace}},
      {"plane.p3d", {kSpace}},       {"flare.cel", {kSpace, kTemple}}, {"glow.cel", {kSpace, kTemple}},
      {"chrome.cel", {kSpace, kEnviro, kTemple}},
      {"tunnel.cel", {kTunnel}},     {"tunnel.pal", {kPalette}},      {"go.s3m", {kTunnelMusic}},
      {"fire.cel", {kFire}},         {"fire.pal", {kPalette}},
      {"fractal.dat", {kFractalFrames}}, {"fractal.pal", {kPalette}}, {"yellow.cel", {kFractal}},
      {"crypt.cel", {kCryptPictures}}, {"rebuilt.cel", {kCryptPictures}}, {"ohyea.mod", {kCryptMusic}},
      {"vexol.p3d", {kCryptFigure, kFacemap, kEnviro}}, {"vexol.cel", {kCryptFigure, kFacemap, kEnviro}},
      {"refmap2.cel", {kFacemap, kEnviro}}, {"refmap.cel", {kEnviro}}, {"refmap3.cel", {kEnviro}},
      {"knot.p3d", {kEnviro}},       {"teapot.p3d", {kEnviro}},       {"torus.p3d", {kEnviro}},
      {"shape1.p3d", {kEnviro}},     {"shape2.p3d", {kEnviro}},       {"shape3.p3d", {kEnviro}},
      {"shape4.p3d", {kEnviro}},     {"shape5.p3d", {kEnviro}},       {"shape6.p3d", {kEnviro}},
      {"temple.p3d", {kTemple}},     {"light.p3d", {kTemple}},        {"liteball.p3d", {kTemple}},
      {"blue.cel", {kTemple}},       {"grn.cel", {kTemple}},          {"red.cel", {kTemple}},
      {"roof0.cel", {kTemple}},      {"roof1.cel", {kTemple}},        {"roof2.cel", {kTemple}},
      {"roof3.cel", {kTemple}},      {"stone0.cel", {kTemple}},       {"stone1.cel", {kTemple}},
      {"stone2.cel", {kTemple}},     {"stone3.cel", {kTemple}},       {"stone4.cel", {kTemple}},
      {"stone5.cel", {kTemple}},     {"stone6.cel", {kTemple}},       {"stone7.cel", {kTemple}},
      {"creature.s3m", {kTempleMusic}},
  };
  return readers;
}

enum class Damage { kMissing, kHalf, kRandom };
const char* Name(Damage damage) {
  return damage == Damage::kMissing ? "missing" : damage == Damage::kHalf ? "cut to half" : "random bytes";
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether the damage makes a load of the file fail. Images have fixed sizes, so random bytes of
// the right size still load (as a wrong picture); objects, modules and samples are parsed and
// refused. A sample cut short still loads: its data chunk simply ends early. Palettes are loaded
// unchecked.
bool LoadFails(const std::string& file, Damage damage) {
  if (EndsWith(file, ".pal")) return false;
  if (EndsWith(file, ".wav")) return damage != Damage::kHalf;
  if (EndsWith(file, ".cel") || file == "fractal.dat") return damage != Damage::kRandom;
  return true;
}

// What the run should look like: its log, its exit code, and whether some scene ends itself
// (and so fewer frames are shown than in the undamaged run).
struct Expected {
  std::string log;
  int exitCode = 10;
  bool sceneEndsItself = false;
};

// Inserts `lines` after the first occurrence of `after` in `log`.
void InsertAfter(std::string& log, const std::string& after, const std::string& lines) {
  const auto at = log.find(after);
  ASSERT_NE(at, std::string::npos) << after;
  log.insert(at + after.size(), lines);
}

Expected Expect(const std::string& file, Damage damage) {
  Expected expected{runsupport::kWholeRunLog};
  if (!LoadFails(file, damage)) return expected;
  for (const Reader reader : Readers().at(file)) {
    switch (reader) {
      case Reader::kStartupSample:
        // Fatal before the display opens: the library's reason, exit code 1.
        expected.log = std::string("MIDAS: Loading samples\nMIDAS error: ") +
                       (damage == Damage::kMissing ? "File does not exist\n" : "Bad WAVE file\n");
        expected.exitCode = 1;
        return expected;
      case Reader::kFractalFrames:
        // The exit code is where the frame loader stopped: 0 without a file, 8 at the first
        // frame that could not be read in full.
        expected.exitCode = damage == Damage::kMissing ? 0 : 8;
        expected.sceneEndsItself = true;
        break;
      case Reader::kTunnelMusic:
        // The tunnel goes on to play the handle it did not get; the fractal scene's done stops
        // the music it would have stopped.
        InsertAfter(expected.log, "start:tunnel\n", "Couldn't load go.s3m !\nCouldn't play go.s3m !\n");
        InsertAfter(expected.log, "fractal:done\n", "Couldn't stop 1'st module!\nCouldn't free 1'st module!\n");
        break;
      case Reader::kCryptMusic:
        InsertAfter(expected.log, "start:crypt\n",
                    "Couldn't load ohyea.mod !\nCouldn't stop 2'nd module!\nCouldn't free 2'nd module!\n");
        break;
      case Reader::kTempleMusic:
        InsertAfter(expected.log, "start:temple\n", "Couldn't load creature.s3m !\n");
        InsertAfter(expected.log, "temple:done\n", "Couldn't stop 3'nd module!\nCouldn't free 3'nd module!\n");
        break;
      case Reader::kCryptPictures:
        // Ends before its music starts; its done refuses to stop what never played.
        InsertAfter(expected.log, "start:crypt\n", "Couldn't stop 2'nd module!\nCouldn't free 2'nd module!\n");
        expected.sceneEndsItself = true;
        break;
      case Reader::kTemple:
        InsertAfter(expected.log, "temple:done\n", "Couldn't stop 3'nd module!\nCouldn't free 3'nd module!\n");
        expected.sceneEndsItself = true;
        break;
      case Reader::kPalette:
        break;
      default:  // the crypt's figure (its music plays and is stopped) and the other scenes
        expected.sceneEndsItself = true;
        break;
    }
  }
  return expected;
}

// The same bytes on every run, different for every file.
std::string RandomBytes(const std::string& file, std::uintmax_t size) {
  std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(file)));
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

// Twelve presses, two frames apart: each scene is skipped at its second frame, and a scene that
// ends itself leaves one press over for the next.
const std::string kSkipAll = "WIN32_INPUT=" + runsupport::EnterEvery(2, 2, 12);

// What the run with those presses shows without damage: each scene's first frames.
constexpr int kUndamagedFrames = 21;

class DamagedDataTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir_ = testsupport::TestDirectory("damaged");
    testsupport::LinkData(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_P(DamagedDataTest, RunsOnAndEndsAsItShould) {
  const std::string& file = GetParam();
  ASSERT_TRUE(Readers().contains(file)) << file << " is generated but no reader is known here";
  const fs::path original = fs::read_symlink(dir_ / file);
  const std::string bytes = testsupport::ReadFile(original);
  ASSERT_FALSE(bytes.empty());

  for (const Damage damage : {Damage::kMissing, Damage::kHalf, Damage::kRandom}) {
    SCOPED_TRACE(file + " " + Name(damage));
    if (damage == Damage::kMissing) fs::remove(dir_ / file);
    if (damage == Damage::kHalf) runsupport::ReplaceByFile(dir_, file, bytes.substr(0, bytes.size() / 2));
    if (damage == Damage::kRandom) runsupport::ReplaceByFile(dir_, file, RandomBytes(file, bytes.size()));

    const RunResult run = runsupport::RunProgram(dir_, kSkipAll, 30);
    const Expected expected = Expect(file, damage);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, expected.exitCode) << run.stderrText;
    EXPECT_EQ(run.log, expected.log);
    EXPECT_EQ(run.stderrText, "");
    if (expected.exitCode == 1) {
      EXPECT_EQ(run.framesShown, 0) << "the display opened before the fatal sound error";
    } else if (expected.sceneEndsItself) {
      EXPECT_LT(run.framesShown, kUndamagedFrames) << "no scene ended itself";
      EXPECT_GT(run.framesShown, 10) << "the presentation did not play on";
    } else {
      EXPECT_EQ(run.framesShown, kUndamagedFrames) << "a scene ended early";
    }
  }
  EXPECT_EQ(testsupport::ReadFile(original), bytes) << "the generated file itself was changed";
}

TEST(UndamagedDataTest, SkippingThroughShowsEachScenesFirstFrames) {
  const fs::path dir = testsupport::TestDirectory("damaged");
  testsupport::LinkData(dir);
  const RunResult run = runsupport::RunProgram(dir, kSkipAll);
  EXPECT_EQ(run.exitCode, 10);
  EXPECT_EQ(run.log, runsupport::kWholeRunLog);
  EXPECT_EQ(run.framesShown, kUndamagedFrames);
  fs::remove_all(dir);
}

std::vector<std::string> GeneratedFiles() {
  std::istringstream manifest(testsupport::ReadFile(fs::path(KELDRIN_SOURCE_DIR) / "tools/mkdata/MANIFEST"));
  std::vector<std::string> files;
  std::string line;
  while (std::getline(manifest, line)) {
    if (!line.empty()) files.push_back(line.substr(0, line.find(' ')));
  }
  return files;
}

// Test names may hold letters, digits and underscores only: "fractal.dat" is fractal_dat.
std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryGeneratedFile, DamagedDataTest, ::testing::ValuesIn(GeneratedFiles()), TestName);

}  // namespace
