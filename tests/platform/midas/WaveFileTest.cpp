// WAV parsing: what is decoded, and the expected error for every kind of malformed file.
#include "Errors.h"
#include "Fixtures.h"
#include "WaveFile.h"

#include <gtest/gtest.h>

#include <random>

namespace midas {
namespace {

using midas_test::AppendChunk;
using midas_test::Bytes;
using midas_test::FmtPayload;
using midas_test::PcmWav;
using midas_test::Riff;

// The error code of parsing `bytes`, or kOk.
int ParseCode(const Bytes& bytes) {
  try {
    ParseWave(bytes);
    return kOk;
  } catch (const Error& error) {
    return error.code();
  }
}

Bytes Data16(std::initializer_list<int> values) {
  Bytes data;
  for (int v : values) midas_test::Append16(data, static_cast<uint16_t>(static_cast<int16_t>(v)));
  return data;
}

TEST(WaveFile, DecodesEightBitUnsignedAndSixteenBitSigned) {
  const PcmData eight = ParseWave(PcmWav(2, 8, {0, 128, 255, 64}));
  EXPECT_EQ(eight.channels, 2);
  EXPECT_EQ(eight.bitsPerSample, 8);
  ASSERT_EQ(eight.frames(), 2u);
  EXPECT_EQ(eight.interleaved, (std::vector<float>{-1.0f, 0.0f, 127.0f / 128.0f, -0.5f}));

  const PcmData sixteen = ParseWave(PcmWav(1, 16, {-32768, 0, 32767, 16384}, 22050));
  EXPECT_EQ(sixteen.sampleRate, 22050u);
  EXPECT_EQ(sixteen.interleaved, (std::vector<float>{-1.0f, 0.0f, 32767.0f / 32768.0f, 0.5f}));
}

TEST(WaveFile, AcceptsTheLayoutsRealWritersProduce) {
  const Bytes samples = Data16({100, -100, 200});
  struct Case {
    const char* name;
    Bytes file;
  };
  std::vector<Case> cases;
  {
    Bytes c;  // an odd-sized chunk before the data, with its pad byte
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16));
    AppendChunk(c, "junk", Bytes{1, 2, 3});
    AppendChunk(c, "data", samples);
    cases.push_back({"odd chunk before data", Riff(c)});
  }
  {
    Bytes c;  // LIST and fact before, cue after
    AppendChunk(c, "LIST", Bytes(26, 'x'));
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16, 16000, 18));
    AppendChunk(c, "fact", Bytes{3, 0, 0, 0});
    AppendChunk(c, "data", samples);
    AppendChunk(c, "cue ", Bytes(4, 0));
    cases.push_back({"extra chunks, fmt of 18 bytes", Riff(c)});
  }
  {
    Bytes c;
    AppendChunk(c, "data", samples);
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16));
    cases.push_back({"data before fmt", Riff(c)});
  }
  {
    Bytes c;  // as the MIDAS reader itself would have written it
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16));
    AppendChunk(c, "junk", Bytes{1, 2, 3}, false);
    AppendChunk(c, "data", samples);
    cases.push_back({"odd chunk missing its pad byte", Riff(c)});
  }
  {
    Bytes c;
    AppendChunk(c, "fmt ", FmtPayload(0xFFFE, 1, 16, 16000, 40, 1));
    AppendChunk(c, "data", samples);
    cases.push_back({"WAVE_FORMAT_EXTENSIBLE with PCM", Riff(c)});
  }
  {
    Bytes c;
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16));
    AppendChunk(c, "data", samples);
    Bytes file = Riff(c);
    file[4] = file[5] = file[6] = file[7] = 0xFF;  // streaming writers leave the RIFF size open
    cases.push_back({"RIFF size not filled in", file});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PcmData pcm = ParseWave(c.file);
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.interleaved, (std::vector<float>{100 / 32768.0f, -100 / 32768.0f, 200 / 32768.0f}));
  }
}

TEST(WaveFile, TruncatedDataKeepsTheWholeFramesPresent) {
  Bytes c;
  AppendChunk(c, "fmt ", FmtPayload(1, 2, 16));
  midas_test::AppendText(c, "data");
  midas_test::Append32(c, 4000);  // declared 1000 frames
  const Bytes present = Data16({1, 2, 3, 4, 5});  // two whole frames and half of a third
  c.insert(c.end(), present.begin(), present.end());
  const PcmData pcm = ParseWave(Riff(c));
  EXPECT_EQ(pcm.frames(), 2u);
}

TEST(WaveFile, MalformedFilesGiveTheirErrors) {
  auto withFmt = [](const Bytes& fmt, const Bytes& data) {
    Bytes c;
    AppendChunk(c, "fmt ", fmt);
    AppendChunk(c, "data", data);
    return Riff(c);
  };
  const Bytes two = Data16({1, 2});
  const Bytes valid = withFmt(FmtPayload(1, 1, 16), two);
  struct Case {
    const char* name;
    Bytes file;
    int code;
  };
  std::vector<Case> cases = {
      {"empty file", {}, kUnexpectedEof},
      {"cut inside RIFF", {'R', 'I'}, kUnexpectedEof},
      {"cut inside the RIFF header", Bytes(valid.begin(), valid.begin() + 10), kUnexpectedEof},
      {"not RIFF", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'}, kBadWave},
      {"RIFF but not WAVE", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, kBadWave},
      {"RIFF header only", Riff({}), kBadWave},
      {"cut inside a chunk header", Bytes(valid.begin(), valid.begin() + 16), kUnexpectedEof},
      {"cut inside fmt", Bytes(valid.begin(), valid.begin() + 30), kUnexpectedEof},
      {"cut before data", Bytes(valid.begin(), valid.begin() + 36), kBadWave},
      {"data with no whole frame", Bytes(valid.begin(), valid.begin() + 45), kUnexpectedEof},
      {"fmt of 14 bytes", withFmt(FmtPayload(1, 1, 16, 16000, 14), two), kBadWave},
      {"data declared empty", withFmt(FmtPayload(1, 1, 16), {}), kBadWave},
      {"ADPCM", withFmt(FmtPayload(2, 1, 4), two), kUnsupportedSampleFormat},
      {"IEEE float", withFmt(FmtPayload(3, 1, 32), Bytes(8, 0)), kUnsupportedSampleFormat},
      {"extensible float", withFmt(FmtPayload(0xFFFE, 1, 32, 16000, 40, 3), Bytes(8, 0)), kUnsupportedSampleFormat},
      {"extensible without its extension", withFmt(FmtPayload(0xFFFE, 1, 16, 16000, 18), two), kBadWave},
      {"24-bit", withFmt(FmtPayload(1, 1, 24), Bytes(6, 0)), kUnsupportedSampleFormat},
      {"three channels", withFmt(FmtPayload(1, 3, 16), Bytes(6, 0)), kUnsupportedSampleFormat},
      {"no channels", withFmt(FmtPayload(1, 0, 16), two), kUnsupportedSampleFormat},
  };
  {
    Bytes c;
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16));
    cases.push_back({"no data chunk", Riff(c), kBadWave});
  }
  {
    Bytes c;
    AppendChunk(c, "data", two);
    cases.push_back({"no fmt chunk", Riff(c), kBadWave});
  }
  {
    Bytes c;
    midas_test::AppendText(c, "LIST");
    midas_test::Append32(c, 0xFFFFFFFF);  // a chunk that claims the rest of the world
    AppendChunk(c, "fmt ", FmtPayload(1, 1, 16));
    cases.push_back({"chunk larger than the file before fmt", Riff(c), kUnexpectedEof});
  }
  for (const Case& c : cases) EXPECT_EQ(ParseCode(c.file), c.code) << c.name;
}

TEST(WaveFile, DamagedFilesNeverCrashAndNeverYieldBadData) {
  // Every prefix of a valid file, then thousands of random byte changes to it: each parse
  // either fails with a MIDAS code or gives well-formed samples.
  Bytes c;
  AppendChunk(c, "LIST", Bytes(5, 'x'));
  AppendChunk(c, "fmt ", FmtPayload(0xFFFE, 2, 16, 16000, 40, 1));
  AppendChunk(c, "data", Data16({1, -2, 300, -400, 5000, -6000, 32767, -32768}));
  const Bytes valid = Riff(c);
  auto check = [](const Bytes& file) {
    try {
      const PcmData pcm = ParseWave(file);
      ASSERT_TRUE(pcm.channels == 1 || pcm.channels == 2);
      ASSERT_GT(pcm.frames(), 0u);
      for (float v : pcm.interleaved) ASSERT_TRUE(v >= -1.0f && v < 1.0f);
    } catch (const Error& error) {
      ASSERT_NE(error.code(), kOk);
    }
  };
  for (std::size_t n = 0; n <= valid.size(); ++n) check(Bytes(valid.begin(), valid.begin() + static_cast<long>(n)));
  std::mt19937 random(1234);
  for (int round = 0; round < 5000; ++round) {
    Bytes file = valid;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) file[random() % file.size()] = static_cast<uint8_t>(random());
    check(file);
  }
  for (int round = 0; round < 200; ++round) {
    Bytes garbage(random() % 200);
    for (uint8_t& b : garbage) b = static_cast<uint8_t>(random());
    EXPECT_NE(ParseCode(garbage), kOk);
  }
}

}  // namespace
}  // namespace midas
