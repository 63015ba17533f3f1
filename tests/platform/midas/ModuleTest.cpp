// Modules through the libopenmpt back end: what a probe reports, song looping, truncation and
// damaged files, and the null twin.
#include "Errors.h"
#include "Fixtures.h"
#include "Module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace midas {
namespace {

using midas_test::Bytes;

int ProbeCode(ModuleDecoder& decoder, const Bytes& bytes) {
  try {
    decoder.Probe(bytes);
    return kOk;
  } catch (const Error& error) {
    return error.code();
  }
}

double Rms(const std::vector<float>& stereo, std::size_t from, std::size_t frames) {
  double sum = 0.0;
  for (std::size_t i = 2 * from; i < 2 * (from + frames); ++i) sum += static_cast<double>(stereo[i]) * stereo[i];
  return std::sqrt(sum / static_cast<double>(2 * frames));
}

TEST(Module, ProbeDescribesModAndS3m) {
  const auto decoder = MakeOpenmptDecoder();
  const ModuleInfo mod = decoder->Probe(midas_test::TinyMod());
  EXPECT_EQ(mod.type, "mod");
  EXPECT_EQ(mod.channels, 4);
  EXPECT_EQ(mod.title, "tiny test mod");
  EXPECT_EQ(mod.orders, 1);
  EXPECT_EQ(mod.patterns, 1);
  const ModuleInfo s3m = decoder->Probe(midas_test::TinyS3m());
  EXPECT_EQ(s3m.type, "s3m");
  EXPECT_EQ(s3m.channels, 4);
  EXPECT_EQ(s3m.title, "tiny test s3m");
}

TEST(Module, LoopedSongKeepsPlayingAndUnloopedSongEnds) {
  // One pass of the 16-row song lasts 16 * 6 ticks * 20 ms = 1.92 s.
  const auto decoder = MakeOpenmptDecoder();
  for (const Bytes& file : {midas_test::TinyMod(), midas_test::TinyS3m()}) {
    constexpr std::size_t kFrames = 44100 * 5;
    std::vector<float> out(2 * kFrames, 0.0f);
    const auto looped = decoder->Open(file, 44100, true, 64);
    ASSERT_EQ(looped->Render(out.data(), kFrames), kFrames);
    EXPECT_GT(Rms(out, 44100 * 4, 44100), 0.01) << "still sounding after the second pass";
    EXPECT_GE(looped->Position().songLoops, 1u);

    const auto once = decoder->Open(file, 44100, false, 64);
    const std::size_t got = once->Render(out.data(), kFrames);
    EXPECT_GT(got, 44100u * 18 / 10);
    EXPECT_LT(got, 44100u * 21 / 10);
    EXPECT_EQ(once->Render(out.data(), 100), 0u);
  }
}

TEST(Module, SetOrderRefusesOrdersThatDoNotExist) {
  const auto stream = MakeOpenmptDecoder()->Open(midas_test::TinyMod(), 44100, true, 64);
  EXPECT_TRUE(stream->SetOrder(0));
  EXPECT_FALSE(stream->SetOrder(1));
  EXPECT_FALSE(stream->SetOrder(-1));
}

TEST(Module, BadModulesGiveTheirErrors) {
  const auto decoder = MakeOpenmptDecoder();
  const Bytes mod = midas_test::TinyMod();
  const Bytes s3m = midas_test::TinyS3m();
  Bytes garbage(3000);
  std::mt19937 random(7);
  for (uint8_t& b : garbage) b = static_cast<uint8_t>(random());
  Bytes modBadPattern = mod;
  modBadPattern[952] = 60;  // order 0 names pattern 60, which the file does not hold
  Bytes s3mBadSample = s3m;
  s3mBadSample[0x70 + 0x10] = 0xFF;  // sample length past the end
  struct Case {
    const char* name;
    Bytes file;
    int code;
  };
  const Case cases[] = {
      {"empty", {}, kUnexpectedEof},
      {"random bytes", garbage, kInvalidModule},
      {"text", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd'}, kInvalidModule},
      {"MOD cut in its sample data", Bytes(mod.begin(), mod.end() - 1), kUnexpectedEof},
      {"MOD cut in its pattern", Bytes(mod.begin(), mod.begin() + 1500), kUnexpectedEof},
      {"MOD naming a missing pattern", modBadPattern, kUnexpectedEof},
      {"S3M cut in its header", Bytes(s3m.begin(), s3m.begin() + 60), kUnexpectedEof},
      {"S3M cut in its pattern", Bytes(s3m.begin(), s3m.begin() + 0xD0), kUnexpectedEof},
      {"S3M cut in its sample", Bytes(s3m.begin(), s3m.end() - 1), kUnexpectedEof},
      {"S3M sample past the end", s3mBadSample, kUnexpectedEof},
  };
  for (const Case& c : cases) EXPECT_EQ(ProbeCode(*decoder, c.file), c.code) << c.name;
  EXPECT_EQ(ProbeCode(*MakeNullDecoder(), mod), kInvalidModule) << "the null twin takes nothing";
}

TEST(Module, DamagedModulesNeverCrash) {
  // Random changes to both fixtures: each either fails with a MIDAS code or loads and renders.
  const auto decoder = MakeOpenmptDecoder();
  std::mt19937 random(99);
  std::vector<float> out(2 * 4410);
  for (const Bytes& valid : {midas_test::TinyMod(), midas_test::TinyS3m()}) {
    for (int round = 0; round < 150; ++round) {
      Bytes file = valid;
      const int changes = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < changes; ++i) file[random() % file.size()] = static_cast<uint8_t>(random());
      if (random() % 4 == 0) file.resize(random() % file.size());
      try {
        const ModuleInfo info = decoder->Probe(file);
        EXPECT_GT(info.channels, 0);
        const auto stream = decoder->Open(file, 44100, true, 64);
        stream->Render(out.data(), 4410);
        for (float v : out) ASSERT_TRUE(std::isfinite(v));
      } catch (const Error& error) {
        EXPECT_TRUE(error.code() == kInvalidModule || error.code() == kUnexpectedEof) << error.code();
      }
    }
  }
}

}  // namespace
}  // namespace midas
