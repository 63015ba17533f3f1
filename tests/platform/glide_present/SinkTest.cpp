// The frame sinks behind PresentFrame: each opener returns its sink or the reason it failed and
// prints nothing itself; the presentation reports a sink that fails to open with one line, a
// sink that fails later once, and goes on with the others.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PresentRecord.h"
#include "PresentSdl.h"
#include "PresentVideo.h"
#include "Presentation.h"
#include "PresentationFixture.h"
#include "TestSupport.h"
#include "platform/FrameClock.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = PresentationFixture::kWidth;
constexpr int kHeight = PresentationFixture::kHeight;

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

int FileLines(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) ++count;
  return count;
}

class Sinks : public PresentationFixture {
 protected:
  void SetUp() override {
    PresentationFixture::SetUp();
    savedPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    // A plain file where a directory is expected: nothing can be made below it.
    std::ofstream(dir_ / "plain") << "x";
  }
  void TearDown() override {
    setenv("PATH", savedPath_.c_str(), 1);
    PresentationFixture::TearDown();
  }

  // An encoder named "ffmpeg" first on the PATH that runs `script`.
  void FakeEncoder(const std::string& script) {
    const fs::path bin = dir_ / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "ffmpeg") << "#!/bin/sh\n" << script << "\n";
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    setenv("PATH", (bin.string() + ":" + savedPath_).c_str(), 1);
  }

  std::string savedPath_;
};

// Openers report their failure as a value, with what failed and where, and print nothing.
TEST_F(Sinks, OpenersReturnTheReasonAndPrintNothing) {
  const std::string unwritable = (dir_ / "plain" / "log.txt").string();
  testing::internal::CaptureStderr();
  const glide::OpenedSink hashes = glide::OpenHashLog(unwritable);
  const glide::OpenedSink swaps = glide::OpenSwapLog(unwritable);
  const glide::OpenedSink capture = glide::OpenCapture((dir_ / "plain" / "shots").string(),
                                                       glide::FrameList::Parse("0", nullptr));
  const glide::OpenedSink noFrames = glide::OpenCapture(dir_.string(), glide::FrameList::Parse("", nullptr));
  setenv("PATH", (dir_ / "empty").c_str(), 1);
  const glide::OpenedSink video = glide::OpenVideo((dir_ / "out.mkv").string(), kWidth, kHeight);
  setenv("PATH", savedPath_.c_str(), 1);
  const glide::OpenedSink window = glide::OpenWindow(glide::PresenterKind::kWindow, kWidth, kHeight, 60);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  struct Expected {
    const glide::OpenedSink& sink;
    const char* names;
  };
  for (const Expected& e : {Expected{hashes, "frame hash log"}, Expected{swaps, "swap log"},
                            Expected{capture, "capture directory"}, Expected{noFrames, "GLIDE_CAPTURE_FRAMES"},
                            Expected{video, "GLIDE_VIDEO"}, Expected{window, "needs a display"}}) {
    EXPECT_EQ(e.sink.opened, nullptr) << e.names;
    EXPECT_TRUE(e.sink.Failed()) << e.names;
    EXPECT_NE(e.sink.error.find(e.names), std::string::npos) << e.sink.error;
    EXPECT_EQ(e.sink.error.find('\n'), std::string::npos) << "one line: " << e.sink.error;
  }
  EXPECT_NE(hashes.error.find(unwritable), std::string::npos) << "the path is named: " << hashes.error;
  EXPECT_NE(video.error.find("ffmpeg"), std::string::npos) << "the missing encoder is named: " << video.error;

  // Nothing asked for is neither a sink nor a failure.
  const glide::OpenedSink none = glide::OpenWindow(glide::PresenterKind::kNone, kWidth, kHeight, 60);
  EXPECT_EQ(none.opened, nullptr);
  EXPECT_FALSE(none.Failed());
  const glide::OpenedSink headless = glide::OpenWindow(std::nullopt, kWidth, kHeight, 60);
  EXPECT_EQ(headless.opened, nullptr) << "the default without a display is none";
  EXPECT_FALSE(headless.Failed());
}

// Each sink that cannot be opened costs one line on stderr; the sinks that did open take every
// frame and the frame clock counts on.
TEST_F(Sinks, EachSinkThatFailsToOpenIsReportedOnceAndTheOthersTakeEveryFrame) {
  const std::string unwritable = (dir_ / "plain" / "log.txt").string();
  const fs::path hashes = dir_ / "hashes.txt";
  const fs::path shots = dir_ / "shots";
  struct Case {
    const char* variable;
    std::string value;
  };
  const Case failing[] = {
      {"GLIDE_FRAME_HASHES", unwritable},
      {"GLIDE_SWAP_LOG", unwritable},
      {"GLIDE_VIDEO", (dir_ / "out.mkv").string()},  // with no encoder on the PATH
      {"GLIDE_PRESENT", "window"},                   // with no display
  };
  for (const Case& c : failing) {
    SCOPED_TRACE(c.variable);
    ClearVariables();
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
    fs::remove_all(shots);
    platform::ResetFrameClock();
    // The failing sink between two that work: a hash log and a capture of frames 0 and 2.
    if (std::string(c.variable) != "GLIDE_FRAME_HASHES") setenv("GLIDE_FRAME_HASHES", hashes.c_str(), 1);
    setenv(c.variable, c.value.c_str(), 1);
    setenv("GLIDE_CAPTURE", shots.c_str(), 1);
    setenv("GLIDE_CAPTURE_FRAMES", "0,2", 1);
    setenv("PATH", (dir_ / "empty").c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(glide::OpenPresentation(kWidth, kHeight));
    setenv("PATH", savedPath_.c_str(), 1);
    ShowFrames(3);
    glide::ClosePresentation();
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(messages), 1) << messages;
    EXPECT_EQ(platform::FrameCount(), 3u);
    EXPECT_TRUE(fs::exists(shots / "000000.png"));
    EXPECT_FALSE(fs::exists(shots / "000001.png"));
    EXPECT_TRUE(fs::exists(shots / "000002.png"));
    if (std::string(c.variable) != "GLIDE_FRAME_HASHES") {
      EXPECT_EQ(FileLines(hashes), 3);
    }
  }
}

// An encoder that quits at once: the video sink reports it once and is closed, and the frame
// hash log beside it still gets every frame.
TEST_F(Sinks, ASinkThatFailsWhileRunningIsReportedOnceAndClosed) {
  FakeEncoder("echo $$ > '" + (dir_ / "encoder.pid").string() + "'; exit 1");
  const fs::path hashes = dir_ / "hashes.txt";
  setenv("GLIDE_VIDEO", (dir_ / "out.mkv").c_str(), 1);
  setenv("GLIDE_FRAME_HASHES", hashes.c_str(), 1);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight)) << "the encoder starts";
  for (int i = 0; i < 20; ++i) {
    ShowFrames(10);
    usleep(10000);  // time for the encoder to quit and for a write to find it gone
  }
  // Closed while the presentation goes on: the encoder that quit has been waited for.
  const pid_t encoder = std::atoi(testsupport::ReadFile(dir_ / "encoder.pid").c_str());
  ASSERT_GT(encoder, 0);
  EXPECT_EQ(kill(encoder, 0), -1) << "the encoder is still there to be waited for: its sink was not closed";
  glide::ClosePresentation();
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Lines(messages), 1) << messages;
  EXPECT_NE(messages.find("out.mkv"), std::string::npos) << messages;
  EXPECT_EQ(FileLines(hashes), 200);
  EXPECT_EQ(platform::FrameCount(), 200u);
}

// Logs on a full disk (/dev/full opens, and refuses every write): each is reported once, naming
// it, whether the write fails at once (the hash log, a line at a time) or when the buffer meets
// it (the swap log); the capture beside them takes its frames and the clock counts on.
TEST_F(Sinks, ALogThatCannotBeWrittenIsReportedOnceAndTheRunGoesOn) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const fs::path shots = dir_ / "shots";
  setenv("GLIDE_FRAME_HASHES", "/dev/full", 1);
  setenv("GLIDE_SWAP_LOG", "/dev/full", 1);
  setenv("GLIDE_CAPTURE", shots.c_str(), 1);
  setenv("GLIDE_CAPTURE_FRAMES", "0,2", 1);
  unsetenv("FX_GLIDE_SWAPINTERVAL");
  setenv("SST_SCREENREFRESH", "120", 1);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight)) << "both logs open";
  ShowFrames(3);  // paced at 120 Hz: every swap is timed in the swap log
  glide::ClosePresentation();
  unsetenv("SST_SCREENREFRESH");
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Lines(messages), 2) << messages;
  EXPECT_NE(messages.find("cannot write the frame hash log /dev/full"), std::string::npos) << messages;
  EXPECT_NE(messages.find("cannot write the swap log /dev/full"), std::string::npos) << messages;
  EXPECT_EQ(platform::FrameCount(), 3u);
  EXPECT_TRUE(fs::exists(shots / "000000.png"));
  EXPECT_TRUE(fs::exists(shots / "000002.png"));
}

// The frame buffers hold rows padded past the picture's width: every sink reads a frame row by
// row at its stride and never shows the padding. A padded frame leaves the same hash, capture
// and video bytes as the same picture without padding.
TEST_F(Sinks, EverySinkReadsAPaddedFrameRowByRowAtItsStride) {
  FakeEncoder("cat > '" + (dir_ / "video-").string() + "'\"$SINK_TEST_RUN\".yuv");
  // Quadrants of four colours with a gradient along x and y, so that a row read from the wrong
  // place changes the picture; the padding is a colour the picture never has.
  constexpr int kStride = kWidth + 13;
  constexpr uint16_t kPadding = 0xF81F;
  std::vector<uint16_t> plain(kWidth * kHeight), padded(kStride * kHeight, kPadding);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int quadrant = (y >= kHeight / 2) * 2 + (x >= kWidth / 2);
      const uint16_t base[4] = {0x0000, 0x07E0, 0x001F, 0x7BEF};
      plain[y * kWidth + x] = static_cast<uint16_t>(base[quadrant] + ((x & 7) << 11) + (y & 7));
      padded[y * kStride + x] = plain[y * kWidth + x];
    }
  }
  const auto run = [&](const std::string& name, const std::vector<uint16_t>& frame, int stride) {
    ClearVariables();
    platform::ResetFrameClock();
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
    setenv("SINK_TEST_RUN", name.c_str(), 1);  // names the fake encoder's output
    setenv("GLIDE_FRAME_HASHES", (dir_ / ("hashes-" + name + ".txt")).c_str(), 1);
    setenv("GLIDE_CAPTURE", (dir_ / ("shots-" + name)).c_str(), 1);
    setenv("GLIDE_CAPTURE_FRAMES", "0", 1);
    setenv("GLIDE_VIDEO", (dir_ / ("video-" + name + ".mkv")).c_str(), 1);
    ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
    glide::PresentFrame(frame.data(), stride, 0);
    glide::ClosePresentation();
    unsetenv("SINK_TEST_RUN");
  };
  run("plain", plain, kWidth);
  run("padded", padded, kStride);

  const std::string hashes = testsupport::ReadFile(dir_ / "hashes-padded.txt");
  EXPECT_EQ(hashes, testsupport::ReadFile(dir_ / "hashes-plain.txt"));
  char expected[40];
  std::snprintf(expected, sizeof expected, "0 %016llx\n",
                static_cast<unsigned long long>(glide::FrameHash(plain.data(), plain.size())));
  EXPECT_EQ(hashes, expected);
  const std::string capture = testsupport::ReadFile(dir_ / "shots-padded" / "000000.png");
  EXPECT_FALSE(capture.empty());
  EXPECT_TRUE(capture == testsupport::ReadFile(dir_ / "shots-plain" / "000000.png")) << "the captured picture";
  const std::string video = testsupport::ReadFile(dir_ / "video-padded.yuv");
  EXPECT_EQ(video.size(), glide::Yuv420Converter::FrameBytes(kWidth, kHeight));
  EXPECT_TRUE(video == testsupport::ReadFile(dir_ / "video-plain.yuv")) << "the bytes the encoder took";
}

// The sinks take each frame with its number and the display gamma in force, in the order they
// were opened; the swap log only sees paced swaps.
TEST_F(Sinks, EverySinkSeesTheFrameNumberAndOnlyPacedSwapsAreTimed) {
  const fs::path hashes = dir_ / "hashes.txt";
  const fs::path swaps = dir_ / "swaps.txt";
  setenv("GLIDE_FRAME_HASHES", hashes.c_str(), 1);
  setenv("GLIDE_SWAP_LOG", swaps.c_str(), 1);
  unsetenv("FX_GLIDE_SWAPINTERVAL");
  ShowFrames(2);  // before the display opens: counted, recorded nowhere
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  std::vector<uint16_t> frame(kWidth * kHeight, 0x1234);
  glide::PresentFrame(frame.data(), kWidth, 0);
  glide::PresentFrame(frame.data(), kWidth, 1);
  glide::PresentFrame(frame.data(), kWidth, 0);
  glide::ClosePresentation();

  std::ifstream hashLog(hashes);
  std::vector<uint64_t> numbers;
  uint64_t number;
  std::string hash;
  while (hashLog >> number >> hash) numbers.push_back(number);
  EXPECT_EQ(numbers, (std::vector<uint64_t>{2, 3, 4}));
  std::ifstream swapLog(swaps);
  std::vector<uint64_t> timed;
  int64_t due, shown;
  while (swapLog >> number >> due >> shown) timed.push_back(number);
  EXPECT_EQ(timed, (std::vector<uint64_t>{3})) << "only the swap with interval 1";
}

}  // namespace
