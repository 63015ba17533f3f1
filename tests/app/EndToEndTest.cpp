// The real program, run headless and unpaced in a copy of the generated data directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("keldrin_e2e_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const char* data = std::getenv("KELDRIN_DATA");
    ASSERT_NE(data, nullptr);
    for (const auto& entry : fs::directory_iterator(data)) fs::create_symlink(entry.path(), dir_ / entry.path().filename());
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
  std::string File(const char* name) { return ReadFile(dir_ / name); }
  fs::path dir_;
};

TEST_F(EndToEndTest, StartsAndStopsCleanly) {
  EXPECT_EQ(Run(""), 0) << File("stderr.txt");
  EXPECT_EQ(File("stdout.txt"), "Initializing MIDAS\n");
  EXPECT_EQ(File("debug.log"), "MIDAS: Loading samples\nMIDAS: starting\n");
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
