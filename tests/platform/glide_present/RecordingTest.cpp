// What PresentFrame leaves behind: the frame hash log, PNG captures with the display gamma,
// the video pipe, and the presenter choice where no display exists.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "PresentGamma.h"
#include "PresentationFixture.h"
#include "PresentRecord.h"
#include "PresentVideo.h"
#include "Presentation.h"
#include "Raster.h"
#include "platform/FrameClock.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = PresentationFixture::kWidth;
constexpr int kHeight = PresentationFixture::kHeight;

using Recording = PresentationFixture;

std::vector<uint8_t> ReadPng(const fs::path& path, int* width, int* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return pixels;
}

TEST(FrameHash, IsFnv1aOverTheLittleEndianBytes) {
  // FNV-1a 64 of "foobar" is a published test vector; the pixels hold those bytes.
  const uint16_t foobar[3] = {0x6f66, 0x626f, 0x7261};
  EXPECT_EQ(glide::FrameHash(foobar, 3), 0x85944171f73967e8ull);
  EXPECT_EQ(glide::FrameHash(foobar, 0), 0xcbf29ce484222325ull);
  const uint16_t swapped[3] = {0x666f, 0x626f, 0x7261};
  EXPECT_NE(glide::FrameHash(swapped, 3), glide::FrameHash(foobar, 3));
}

TEST(FrameHash, OfRowsApartIsTheHashOfThePictureAloneInRowOrder) {
  // A 3 x 2 gradient in rows 5 pixels apart; the 2 pixels past each row must not count.
  const uint16_t padded[10] = {1, 2, 3, 0xAAAA, 0xBBBB, 4, 5, 6, 0xCCCC, 0xDDDD};
  const uint16_t picture[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(glide::FrameHash(padded, 3, 2, 5), glide::FrameHash(picture, 6));
  const uint16_t rowsSwapped[6] = {4, 5, 6, 1, 2, 3};
  EXPECT_NE(glide::FrameHash(padded, 3, 2, 5), glide::FrameHash(rowsSwapped, 6));
}

TEST_F(Recording, HashLogHasOneLinePerShownFrameBeforeGamma) {
  const std::string log = (dir_ / "hashes.txt").string();
  setenv("GLIDE_FRAME_HASHES", log.c_str(), 1);
  setenv("SST_GAMMA", "2.5", 1);  // must not change the hashes
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  ShowFrames(3);
  std::vector<uint16_t> first(kWidth * kHeight, 0);
  ShowFrames(1);  // frame 3 shows the same picture as frame 0
  glide::ClosePresentation();

  std::ifstream in(log);
  std::vector<std::pair<uint64_t, std::string>> lines;
  uint64_t frame;
  std::string hash;
  while (in >> frame >> hash) lines.emplace_back(frame, hash);
  ASSERT_EQ(lines.size(), 4u);
  char expected[17];
  std::snprintf(expected, sizeof expected, "%016llx",
                static_cast<unsigned long long>(glide::FrameHash(first.data(), first.size())));
  for (uint64_t i = 0; i < 4; ++i) {
    EXPECT_EQ(lines[i].first, i);
    EXPECT_EQ(lines[i].second.size(), 16u);
  }
  EXPECT_EQ(lines[0].second, expected);
  EXPECT_EQ(lines[3].second, expected);
  EXPECT_NE(lines[1].second, lines[0].second);
  EXPECT_NE(lines[2].second, lines[1].second);
}

// The swap log times paced swaps against when they were due: never early, one retrace apart
// while the program keeps up, and late by the time the program overran. Only bounds a loaded
// machine cannot break are checked here (that the first swap is shown at once is the pacer's
// own test, on a clock of its own).
TEST_F(Recording, SwapLogTimesEveryPacedSwapAgainstWhenItWasDue) {
  const std::string log = (dir_ / "swaps.txt").string();
  setenv("GLIDE_SWAP_LOG", log.c_str(), 1);
  unsetenv("FX_GLIDE_SWAPINTERVAL");  // paced at 60 Hz
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  const auto opened = std::chrono::steady_clock::now();  // the retrace grid started before this
  // The first swap comes three retraces after the display opened: on the board it would have been
  // due at the first retrace, kept up with it is due when it comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto firstSwap = std::chrono::steady_clock::now();
  std::vector<uint16_t> frame(kWidth * kHeight, 0);
  for (int i = 0; i < 4; ++i) glide::PresentFrame(frame.data(), kWidth, 1);
  glide::PresentFrame(frame.data(), kWidth, 0);  // unpaced: not logged
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  glide::PresentFrame(frame.data(), kWidth, 1);  // the program overran by more than three retraces
  glide::ClosePresentation();

  std::ifstream in(log);
  std::vector<std::array<int64_t, 3>> lines;
  int64_t number, due, shown;
  while (in >> number >> due >> shown) lines.push_back({number, due, shown});
  ASSERT_EQ(lines.size(), 5u);
  const std::array<int64_t, 5> frames = {0, 1, 2, 3, 5};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i][0], frames[i]);
    EXPECT_GE(lines[i][2], lines[i][1] - 1000) << "frame " << frames[i] << " shown before it was due";
  }
  EXPECT_GE(lines[0][1], std::chrono::duration_cast<std::chrono::microseconds>(firstSwap - opened).count() - 1000)
      << "the first swap is due when it comes, not at the first retrace";
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_GE(lines[i][1] - lines[i - 1][1], 16666) << "due one retrace after the previous swap";
  }
  EXPECT_GE(lines[4][2] - lines[4][1], 2 * 16666) << "the overrun shows as lateness";
}

TEST_F(Recording, CaptureWritesTheListedFramesWithTheDisplayGamma) {
  const fs::path shots = dir_ / "shots" / "nested";
  setenv("GLIDE_CAPTURE", shots.c_str(), 1);
  setenv("GLIDE_CAPTURE_FRAMES", "1,3-4,junk", 1);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(glide::OpenPresentation(kWidth, kHeight)) << "the good entries are captured";
  EXPECT_NE(testing::internal::GetCapturedStderr().find("junk"), std::string::npos);

  // Column x shows red level x and blue level 31 - x: every five-bit level once.
  std::vector<uint16_t> frame(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) frame[y * kWidth + x] = static_cast<uint16_t>((x << 11) | (31 - x));
  }
  for (int i = 0; i < 6; ++i) glide::PresentFrame(frame.data(), kWidth, 1);

  for (const char* absent : {"000000.png", "000002.png", "000005.png"}) EXPECT_FALSE(fs::exists(shots / absent));
  // Gamma 1.7: the board's CLUT shows five-bit level v as this.
  const uint8_t shown[32] = {0,   33,  50,  64,  76,  87,  96,  106, 115, 123, 130, 138, 146, 152, 159, 166,
                             173, 179, 185, 191, 197, 202, 208, 213, 219, 224, 229, 234, 240, 245, 250, 254};
  for (const char* present : {"000001.png", "000003.png", "000004.png"}) {
    int width = 0, height = 0;
    const std::vector<uint8_t> rgb = ReadPng(shots / present, &width, &height);
    ASSERT_FALSE(rgb.empty()) << present;
    ASSERT_EQ(width, kWidth);
    ASSERT_EQ(height, kHeight);
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* pixel = &rgb[(5 * kWidth + x) * 3];
      EXPECT_EQ(pixel[0], shown[x]) << present << " x " << x;
      EXPECT_EQ(pixel[1], 0);
      EXPECT_EQ(pixel[2], shown[31 - x]);
    }
  }
}

TEST_F(Recording, ApplicationGammaAppliesUnlessSstGammaOverridesIt) {
  setenv("GLIDE_CAPTURE", dir_.c_str(), 1);
  setenv("GLIDE_CAPTURE_FRAMES", "0-1", 1);
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  std::vector<uint16_t> frame(kWidth * kHeight, static_cast<uint16_t>(16 << 11));
  glide::SetPresentationGamma(1.0f);
  glide::PresentFrame(frame.data(), kWidth, 1);
  glide::ClosePresentation();

  setenv("SST_GAMMA", "1.7", 1);
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  glide::SetPresentationGamma(1.0f);
  glide::PresentFrame(frame.data(), kWidth, 1);

  int width = 0, height = 0;
  EXPECT_EQ(ReadPng(dir_ / "000000.png", &width, &height).at(0), 132) << "gamma 1.0: level 16 is 132, unchanged";
  EXPECT_EQ(ReadPng(dir_ / "000001.png", &width, &height).at(0), 173) << "SST_GAMMA=1.7 wins";
}

TEST_F(Recording, OutputsThatCannotBeWrittenAreRefusedAndTheRunGoesOn) {
  setenv("GLIDE_CAPTURE", dir_.c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(glide::OpenPresentation(kWidth, kHeight));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("GLIDE_CAPTURE_FRAMES"), std::string::npos);
  glide::ClosePresentation();

  const fs::path file = dir_ / "plain";
  std::ofstream(file) << "x";
  setenv("GLIDE_CAPTURE", file.c_str(), 1);
  setenv("GLIDE_CAPTURE_FRAMES", "0", 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(glide::OpenPresentation(kWidth, kHeight));
  testing::internal::GetCapturedStderr();
  glide::ClosePresentation();

  unsetenv("GLIDE_CAPTURE");
  setenv("GLIDE_FRAME_HASHES", (dir_ / "missing" / "hashes.txt").c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(glide::OpenPresentation(kWidth, kHeight));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("hash"), std::string::npos);
  ShowFrames(2);  // and the run goes on
  EXPECT_EQ(platform::FrameCount(), 2u);
}

TEST_F(Recording, PresenterNoneByDefaultWithoutADisplayAndAnExplicitOneFailsClearly) {
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  ShowFrames(2);
  glide::ClosePresentation();

  for (const char* kind : {"window", "fullscreen"}) {
    setenv("GLIDE_PRESENT", kind, 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(glide::OpenPresentation(kWidth, kHeight)) << kind;
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("needs a display"), std::string::npos) << message;
    ShowFrames(1);
    glide::ClosePresentation();
  }
  setenv("GLIDE_PRESENT", "sideways", 1);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(glide::OpenPresentation(kWidth, kHeight)) << "an unknown presenter means the default";
  EXPECT_NE(testing::internal::GetCapturedStderr().find("sideways"), std::string::npos);
  EXPECT_EQ(platform::FrameCount(), 4u);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(glide::OpenPresentation(0, 480));
  EXPECT_FALSE(glide::OpenPresentation(640, 100000));
  testing::internal::GetCapturedStderr();
}

TEST_F(Recording, VideoPipeFeedsTheEncoderEveryFrame) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  const fs::path video = dir_ / "out.mkv";
  setenv("GLIDE_VIDEO", video.c_str(), 1);
  testing::internal::CaptureStderr();  // the encoder's progress line
  ASSERT_TRUE(glide::OpenPresentation(kWidth, kHeight));
  ShowFrames(10);
  glide::ClosePresentation();
  testing::internal::GetCapturedStderr();
  ASSERT_TRUE(fs::exists(video));
  const std::string probe = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                            "stream=nb_read_frames,width,height -of csv=p=0 " + video.string() + " > " +
                            (dir_ / "probe.txt").string();
  ASSERT_EQ(std::system(probe.c_str()), 0);
  std::ifstream in(dir_ / "probe.txt");
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "32,16,10");
}

// BT.601 limited range of the display's colours (a full-scale channel shows as 254 through the
// gamma CLUT): black 16, white 234, red (81, 90, 240), green (144, 54, 35), blue (41, 240, 110).
// The chroma planes follow the luma plane, Cb first, one sample per 2 x 2 pixels.
// Every RGB565 value, converted as a frame would be on each path the CPU may take, at an odd
// start and length so that the wide steps and the tail both run, into words aligned to a cache
// line (stored past the caches) and one word off: each word is the table's.
TEST(DisplayTable, FramesConvertToTheTablesWordsOnEverySimdPath) {
  std::vector<uint16_t> values(65536 + 9);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(i * 40503u);  // every value, shuffled
  const size_t count = values.size() - 3;
  std::vector<uint32_t> buffer(count + 32);
  const size_t aligned = (64 - reinterpret_cast<uintptr_t>(buffer.data()) % 64) % 64 / 4;
  for (const glide::SimdLevel level : glide::AvailableSimd()) {
    const char* simd = glide::SimdName(level);
    setenv("GLIDE_SIMD", simd, 1);
    const glide::DisplayTable table(2.2f);
    for (const size_t offset : {aligned, aligned + 1}) {
      std::fill(buffer.begin(), buffer.end(), 0xDEADBEEF);
      uint32_t* words = buffer.data() + offset;
      table.ToXrgb(values.data() + 1, static_cast<int>(count), words);
      for (size_t i = 0; i < count; ++i) {
        ASSERT_EQ(words[i], table[values[i + 1]]) << simd << ", pixel " << i << " = " << values[i + 1];
      }
      EXPECT_EQ(words[count], 0xDEADBEEF) << "nothing past the row";
    }
  }
  unsetenv("GLIDE_SIMD");
  const glide::DisplayTable table(1.7f);
  EXPECT_EQ(table[0xFFFF], 0xFFFFFFu - 0x010101u) << "full scale is 254 through the CLUT's interpolation";
  EXPECT_EQ(table[31 << 11], 254u << 16);
  EXPECT_EQ(table[63 << 5], 254u << 8);
  EXPECT_EQ(table[31], 254u);
}

// The vector steps of every SIMD level and the per-value tables give the same bytes, at sizes
// where the steps end in a partial vector, an odd column or an odd row.
TEST(Yuv420, EverySimdPathGivesTheSameBytes) {
  for (const auto& [width, height] : {std::pair{64, 48}, {37, 11}, {16, 2}, {7, 5}, {101, 9}}) {
    std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint16_t>((i * 2654435761u) >> 13);
    std::vector<uint8_t> reference;
    for (const glide::SimdLevel level : glide::AvailableSimd()) {
      setenv("GLIDE_SIMD", glide::SimdName(level), 1);
      const glide::DisplayTable display(1.7f);
      const glide::Yuv420Converter converter(display);
      std::vector<uint8_t> converted(glide::Yuv420Converter::FrameBytes(width, height), 0);
      converter.Convert(frame.data(), width, height, converted.data());
      if (level == glide::SimdLevel::kNone) {
        reference = converted;
      } else {
        EXPECT_EQ(converted, reference) << width << " x " << height << " at " << glide::SimdName(level);
      }
    }
    unsetenv("GLIDE_SIMD");
  }
}

// Blocks whose Cb or Cr lies exactly halfway between two levels round up at every SIMD level:
// random pixels almost never meet a tie, so the blocks are searched for.
TEST(Yuv420, HalfwayChromaRoundsUpAtEveryLevel) {
  const glide::DisplayTable display(glide::kDefaultGamma);
  const auto& five = display.FiveBitLevels();
  const auto& six = display.SixBitLevels();
  constexpr int kBlocks = 64;
  std::vector<uint16_t> frame(4 * kBlocks);  // 2 rows of kBlocks 2 x 2 blocks
  std::vector<uint8_t> expectedCb, expectedCr;
  uint32_t seed = 12345;
  const auto next = [&seed] { return static_cast<uint16_t>((seed = seed * 1664525u + 1013904223u) >> 16); };
  for (int found = 0, tries = 0; found < kBlocks && tries < 50'000'000; ++tries) {
    const uint16_t block[4] = {next(), next(), next(), next()};
    int sums[3] = {0, 0, 0};
    for (const uint16_t pixel : block) {
      sums[0] += five[pixel >> 11];
      sums[1] += six[(pixel >> 5) & 63];
      sums[2] += five[pixel & 31];
    }
    const int cb = glide::kCbR * sums[0] + glide::kCbG * sums[1] + glide::kCbB * sums[2];
    const int cr = glide::kCrR * sums[0] + glide::kCrG * sums[1] + glide::kCrB * sums[2];
    // Cb ties for the first half of the blocks, Cr ties for the second.
    if (((found < kBlocks / 2 ? cb : cr) & 0xFFFF) != 0x8000) continue;
    // Rounded half up: the arithmetic shift floors.
    const auto level = [](int v) { return static_cast<uint8_t>(std::clamp(128 + ((v + 32768) >> 16), 16, 240)); };
    frame[2 * found] = block[0];
    frame[2 * found + 1] = block[1];
    frame[2 * kBlocks + 2 * found] = block[2];
    frame[2 * kBlocks + 2 * found + 1] = block[3];
    expectedCb.push_back(level(cb));
    expectedCr.push_back(level(cr));
    ++found;
  }
  ASSERT_EQ(expectedCb.size(), static_cast<size_t>(kBlocks));
  for (const glide::SimdLevel level : glide::AvailableSimd()) {
    setenv("GLIDE_SIMD", glide::SimdName(level), 1);
    const glide::DisplayTable levelDisplay(glide::kDefaultGamma);
    const glide::Yuv420Converter converter(levelDisplay);
    std::vector<uint8_t> out(glide::Yuv420Converter::FrameBytes(2 * kBlocks, 2));
    converter.Convert(frame.data(), 2 * kBlocks, 2, out.data());
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4 * kBlocks, out.begin() + 5 * kBlocks), expectedCb)
        << glide::SimdName(level);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 5 * kBlocks, out.end()), expectedCr) << glide::SimdName(level);
  }
  unsetenv("GLIDE_SIMD");
}

TEST(Yuv420, QuadrantsConvertToTheirLevelsAndChromaIsTheMeanOfEachTwoByTwo) {
  const glide::DisplayTable display(glide::kDefaultGamma);
  const glide::Yuv420Converter yuv(display);
  constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF, kBlack = 0;
  // 4 x 4: red, green over blue, white quadrants, except that the bottom-right block is a
  // checker of white and black.
  const uint16_t frame[16] = {kRed,  kRed,  kGreen, kGreen,  //
                              kRed,  kRed,  kGreen, kGreen,  //
                              kBlue, kBlue, kWhite, kBlack,  //
                              kBlue, kBlue, kBlack, kWhite};
  ASSERT_EQ(glide::Yuv420Converter::FrameBytes(4, 4), 24u);
  std::array<uint8_t, 24> out{};
  yuv.Convert(frame, 4, 4, out.data());
  const std::array<uint8_t, 16> luma = {81, 81, 144, 144, 81, 81, 144, 144, 41, 41, 234, 16, 41, 41, 16, 234};
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 16), std::vector<uint8_t>(luma.begin(), luma.end()));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 16, out.begin() + 20), (std::vector<uint8_t>{90, 54, 240, 128}))
      << "Cb of the red, green, blue and grey blocks";
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 20, out.end()), (std::vector<uint8_t>{240, 35, 110, 128}))
      << "Cr of the red, green, blue and grey blocks";

  // A red and black checker: Cb and Cr halfway to red's.
  const uint16_t checker[4] = {kRed, kBlack, kBlack, kRed};
  std::array<uint8_t, 6> small{};
  yuv.Convert(checker, 2, 2, small.data());
  EXPECT_EQ(small[4], 109);  // 128 - 37.797 / 2 (of 254 / 255), rounded
  EXPECT_EQ(small[5], 184);  // 128 + 112 / 2 (of 254 / 255)

  // Odd sizes: the last column and row pair with themselves.
  const uint16_t odd[9] = {kBlack, kBlack, kBlue, kBlack, kBlack, kBlue, kRed, kRed, kWhite};
  ASSERT_EQ(glide::Yuv420Converter::FrameBytes(3, 3), 17u);
  std::array<uint8_t, 17> oddOut{};
  yuv.Convert(odd, 3, 3, oddOut.data());
  EXPECT_EQ(std::vector<uint8_t>(oddOut.begin() + 9, oddOut.begin() + 13), (std::vector<uint8_t>{128, 240, 90, 128}));
  EXPECT_EQ(std::vector<uint8_t>(oddOut.begin() + 13, oddOut.end()), (std::vector<uint8_t>{128, 110, 240, 128}));
}

// The frames reach the encoder whole and in order however far the writing thread lags: more
// frames than the queue holds, each different, through an encoder that starts late and only
// copies.
TEST_F(Recording, VideoPipeDeliversEveryFrameInOrder) {
  const fs::path copy = dir_ / "frames.bin";
  auto opened = glide::VideoPipe::Start({"sh", "-c", "sleep 0.3; cat > '" + copy.string() + "'"}, "c.mkv");
  ASSERT_NE(opened.opened, nullptr) << opened.error;
  const std::unique_ptr<glide::VideoPipe> pipe = std::move(opened.opened);
  // A few more than the queue holds: the last are handed over while the encoder has not started,
  // so the queue is full when the pipe is finished.
  constexpr int kFrames = static_cast<int>(glide::VideoPipe::kQueuedFrames) + 4;
  std::string expected;
  std::vector<uint8_t> frame;
  for (int i = 0; i < kFrames; ++i) {
    // Larger than the pipe holds in all, and of different sizes, so that reused buffers must
    // shrink and grow.
    frame.assign(static_cast<size_t>((1 << 16) + 37 * i), 0);
    for (size_t k = 0; k < frame.size(); ++k) frame[k] = static_cast<uint8_t>(i * 7 + k);
    pipe->Write(frame.data(), frame.size());
    expected.append(frame.begin(), frame.end());
  }
  EXPECT_TRUE(pipe->Finish());
  EXPECT_FALSE(pipe->Failed());
  std::ifstream in(copy, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

TEST_F(Recording, AMissingOrFailingEncoderIsReportedOnceAndTheRunGoesOn) {
  const auto missing = glide::VideoPipe::Start({"no-such-encoder-keldrin"}, "x.mkv");
  EXPECT_EQ(missing.opened, nullptr);
  EXPECT_NE(missing.error.find("no-such-encoder-keldrin"), std::string::npos) << missing.error;

  const std::unique_ptr<glide::VideoPipe> pipe = glide::VideoPipe::Start({"sh", "-c", "exit 3"}, "y.mkv").opened;
  ASSERT_NE(pipe, nullptr);
  std::vector<uint8_t> frame(1 << 20, 7);  // more than a pipe holds: the writes must fail, not kill us
  testing::internal::CaptureStderr();
  for (int i = 0; i < 5; ++i) pipe->Write(frame.data(), frame.size());
  EXPECT_FALSE(pipe->Finish());
  EXPECT_TRUE(pipe->Failed());
  pipe->Write(frame.data(), frame.size());  // after the end: dropped, nothing more reported
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 1) << messages;
  EXPECT_NE(messages.find("y.mkv"), std::string::npos) << messages;

  const std::unique_ptr<glide::VideoPipe> silent =
      glide::VideoPipe::Start({"sh", "-c", "cat >/dev/null; exit 2"}, "z.mkv").opened;
  ASSERT_NE(silent, nullptr);
  silent->Write(frame.data(), 100);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(silent->Finish()) << "a failing exit status is a failure";
  EXPECT_NE(testing::internal::GetCapturedStderr().find("exit status 2"), std::string::npos);
}

}  // namespace
