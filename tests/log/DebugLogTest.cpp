#include "log/DebugLog.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::TestDirectory("log");
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static std::string Log() { return testsupport::ReadFile("debug.log"); }
  fs::path dir_, old_;
};

TEST_F(DebugLogTest, ResetEmptiesAndMessagesAppendUnchanged) {
  std::ofstream("debug.log") << "left over from the last run\n";
  ResetDebugLog();
  EXPECT_TRUE(fs::exists("debug.log"));
  EXPECT_EQ(Log(), "");
  LogPrintf("start:%s\n", "title");
  LogPrintf("MIDAS error: %s\n", "File does not exist");
  LogPrintf("%s", "bytes \r\n\x01\xff kept\n");
  EXPECT_EQ(Log(), "start:title\nMIDAS error: File does not exist\nbytes \r\n\x01\xff kept\n");
}

TEST_F(DebugLogTest, LongMessageIsCutToTheBuffer) {
  ResetDebugLog();
  const std::string longText(5000, 'x');
  LogPrintf("%s|%s", longText.c_str(), "tail");
  EXPECT_EQ(Log(), std::string(kLogBufferBytes - 1, 'x'));
  LogPrintf("next\n");
  EXPECT_EQ(Log().substr(kLogBufferBytes - 1), "next\n");
}

TEST_F(DebugLogTest, FileIsReopenedForEveryMessage) {
  ResetDebugLog();
  LogPrintf("one\n");
  fs::remove("debug.log");
  LogPrintf("two\n");
  EXPECT_EQ(Log(), "two\n");
}

TEST_F(DebugLogTest, UnwritableLogDropsMessagesAndLaterOnesStillArrive) {
  fs::create_directory("debug.log");  // cannot be opened as a file, even by root
  ResetDebugLog();
  LogPrintf("lost\n");
  EXPECT_TRUE(fs::is_directory("debug.log"));
  fs::remove("debug.log");
  LogPrintf("kept\n");
  EXPECT_EQ(Log(), "kept\n");
}

}  // namespace
