// The MOD and S3M writers: every field survives a round trip through a reader written from the
// file layouts, what a format cannot hold is refused with a reason, and an independent player
// (libopenmpt) hears the notes at the pitch and the rows at the pace the song model means.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "music/Composer.h"
#include "ModuleReader.h"
#include "formats/ModuleWriters.h"
#include "TestSupport.h"

namespace mkdata::music {
namespace {

Sample SineSample(const char* name, size_t cycles, bool looped) {
  Sample sample;
  sample.name = name;
  for (size_t i = 0; i < 32 * cycles; ++i)
    sample.data.push_back(static_cast<int8_t>(std::lround(100.0 * std::sin(2.0 * M_PI * static_cast<double>(i) / 32.0))));
  if (looped) sample.loopStart = 64, sample.loopLength = static_cast<uint32_t>(sample.data.size() - 64);
  return sample;
}

Cell Make(int note, int instrument, int volume, Effect effect = Effect::kNone, uint8_t param = 0) {
  Cell cell;
  cell.note = static_cast<int8_t>(note);
  cell.instrument = static_cast<uint8_t>(instrument);
  cell.volume = static_cast<int8_t>(volume);
  cell.effect = effect;
  cell.param = param;
  return cell;
}

// A small song touching every effect both formats share, plus the MOD's note range edges.
Song TinySong(int channels) {
  Song song;
  song.title = "round trip";
  song.channels = channels;
  song.orders = {0, 1, 0};
  song.patterns = {Pattern(channels), Pattern(channels)};
  song.samples = {SineSample("looped sine", 8, true), SineSample("one-shot", 3, false)};
  song.samples[1].data.push_back(5);  // odd length: the MOD pads it to whole words
  song.samples[1].volume = 40;
  Pattern& p = song.patterns[0];
  p.At(0, 0) = Make(48, 1, -1, Effect::kSetSpeed, 5);
  p.At(0, 1) = Make(36, 2, 33);
  p.At(0, 2) = Make(71, 1, -1, Effect::kArpeggio, 0x47);
  p.At(0, 3) = Make(kNoNote, 0, -1, Effect::kSetTempo, 140);
  p.At(1, 0) = Make(kNoNote, 0, -1, Effect::kPortaUp, 0x12);
  p.At(2, 0) = Make(kNoNote, 0, -1, Effect::kPortaDown, 0x0C);
  p.At(3, 1) = Make(50, 1, -1, Effect::kTonePorta, 0x20);
  p.At(4, 1) = Make(kNoNote, 0, -1, Effect::kVibrato, 0x48);
  p.At(5, 2) = Make(kNoNote, 0, -1, Effect::kVolumeSlide, 0x30);
  p.At(6, 2) = Make(kNoNote, 0, -1, Effect::kVolumeSlide, 0x05);
  p.At(7, 2) = Make(kNoNote, 0, -1, Effect::kFineVolumeUp, 3);
  p.At(8, 2) = Make(kNoNote, 0, -1, Effect::kFineVolumeDown, 4);
  p.At(9, 3) = Make(60, 2, -1, Effect::kNoteDelay, 2);
  p.At(10, 3) = Make(kNoNote, 0, -1, Effect::kNoteCut, 3);
  p.At(11, 3) = Make(60, 2, -1, Effect::kRetrigger, 3);
  p.At(12, 3) = Make(60, 2, -1, Effect::kSampleOffset, 1);
  p.At(13, 0) = Make(kNoteCut, 0, -1);
  p.At(20, 1) = Make(kNoNote, 0, 64);
  p.At(40, 0) = Make(kNoNote, 0, -1, Effect::kPatternBreak, 17);
  song.patterns[1].At(63, 3) = Make(kNoNote, 0, -1, Effect::kPositionJump, 2);
  return song;
}

void ExpectSamplesEqual(const Sample& written, const Sample& read, bool checkRate) {
  EXPECT_EQ(read.name, written.name);
  EXPECT_EQ(read.volume, written.volume);
  EXPECT_EQ(read.loopStart, written.loopStart) << written.name;
  EXPECT_EQ(read.loopLength, written.loopLength) << written.name;
  ASSERT_GE(read.data.size(), written.data.size());
  EXPECT_LE(read.data.size(), written.data.size() + 1);
  EXPECT_TRUE(std::equal(written.data.begin(), written.data.end(), read.data.begin())) << written.name;
  if (checkRate) {
    EXPECT_EQ(read.c2spd, written.c2spd);
  }
}

TEST(ModWriter, RoundTripsEveryField) {
  const Song song = TinySong(4);
  const WriteResult written = WriteMod(song);
  ASSERT_TRUE(written.Ok()) << written.error;
  // Header, 2 patterns, samples padded to words.
  EXPECT_EQ(written.bytes.size(), 1084u + 2 * 1024 + 256 + 98);
  std::string error;
  const auto read = test::ReadMod(written.bytes, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->title, song.title);
  EXPECT_EQ(read->orders, song.orders);
  ASSERT_EQ(read->patterns.size(), song.patterns.size());
  for (size_t p = 0; p < song.patterns.size(); ++p)
    for (int row = 0; row < kRowsPerPattern; ++row)
      for (int ch = 0; ch < 4; ++ch)
        EXPECT_EQ(read->patterns[p].At(row, ch), song.patterns[p].At(row, ch)) << "pattern " << p << " row " << row << " ch " << ch;
  ASSERT_EQ(read->samples.size(), song.samples.size());
  for (size_t i = 0; i < song.samples.size(); ++i) ExpectSamplesEqual(song.samples[i], read->samples[i], false);
}

class S3mRoundTrip : public testing::TestWithParam<bool> {};

TEST_P(S3mRoundTrip, RoundTripsEveryField) {
  Song song = TinySong(6);
  song.signedSamples = GetParam();
  song.initialSpeed = 4;
  song.initialTempo = 150;
  song.globalVolume = 50;
  song.masterVolume = 40;
  song.pan = {-8, 7, -3, 2, 0, -1};
  song.samples[0].c2spd = 16000;
  song.patterns[0].At(30, 5) = Make(95, 2, 12, Effect::kVibrato, 0x22);
  song.patterns[0].At(31, 5) = Make(0, 1, 0);
  const WriteResult written = WriteS3m(song);
  ASSERT_TRUE(written.Ok()) << written.error;
  EXPECT_EQ(written.bytes.size() % 16, 0u);
  std::string error;
  const auto read = test::ReadS3m(written.bytes, error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->title, song.title);
  EXPECT_EQ(read->channels, song.channels);
  EXPECT_EQ(read->signedSamples, song.signedSamples);
  EXPECT_EQ(read->initialSpeed, 4);
  EXPECT_EQ(read->initialTempo, 150);
  EXPECT_EQ(read->globalVolume, 50);
  EXPECT_EQ(read->masterVolume, 40);
  EXPECT_EQ(read->pan, song.pan);
  EXPECT_EQ(read->orders, song.orders);
  ASSERT_EQ(read->patterns.size(), song.patterns.size());
  for (size_t p = 0; p < song.patterns.size(); ++p) EXPECT_EQ(read->patterns[p], song.patterns[p]) << "pattern " << p;
  ASSERT_EQ(read->samples.size(), song.samples.size());
  for (size_t i = 0; i < song.samples.size(); ++i) ExpectSamplesEqual(song.samples[i], read->samples[i], true);
}

INSTANTIATE_TEST_SUITE_P(SignedAndUnsigned, S3mRoundTrip, testing::Bool());

TEST(ModuleWriters, RefuseWhatTheFormatCannotHold) {
  struct Case {
    const char* what;
    bool mod;
    std::function<void(Song&)> spoil;
  };
  const Case cases[] = {
      {"MOD with 6 channels", true, [](Song& s) { s = TinySong(6); }},
      {"MOD note above B-3", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(72, 1, -1); }},
      {"MOD note below C-1", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(35, 1, -1); }},
      {"MOD volume and effect in one cell", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(48, 1, 30, Effect::kVibrato, 1); }},
      {"MOD odd loop start", true, [](Song& s) { s.samples[0].loopStart = 63; }},
      {"MOD loop past the end", true, [](Song& s) { s.samples[0].loopLength = 1000; }},
      {"MOD pattern never played", true, [](Song& s) { s.patterns.emplace_back(4); }},
      {"MOD order without pattern", true, [](Song& s) { s.orders.push_back(5); }},
      {"MOD two-way volume slide", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoNote, 0, -1, Effect::kVolumeSlide, 0x11); }},
      {"MOD speed 0", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoNote, 0, -1, Effect::kSetSpeed, 0); }},
      {"MOD note cut beside an effect", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoteCut, 0, -1, Effect::kVibrato, 1); }},
      {"MOD pattern break past row 63", true, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoNote, 0, -1, Effect::kPatternBreak, 64); }},
      {"MOD without orders", true, [](Song& s) { s.orders.clear(); }},
      {"S3M with 17 channels", false, [](Song& s) { s = TinySong(17); }},
      {"S3M note above B-7", false, [](Song& s) { s.patterns[0].At(50, 0) = Make(96, 1, -1); }},
      {"S3M porta in the fine range", false, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoNote, 0, -1, Effect::kPortaUp, 0xE1); }},
      {"S3M volume slide by 15", false, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoNote, 0, -1, Effect::kVolumeSlide, 0xF0); }},
      {"S3M tempo 32", false, [](Song& s) { s.patterns[0].At(50, 0) = Make(kNoNote, 0, -1, Effect::kSetTempo, 32); }},
      {"S3M sample longer than 64000", false, [](Song& s) { s.samples[1].data.resize(64001); }},
      {"S3M volume above 64", false, [](Song& s) { s.patterns[0].At(50, 0) = Make(48, 1, 65); }},
      {"S3M instrument without sample", false, [](Song& s) { s.patterns[0].At(50, 0) = Make(48, 3, -1); }},
      {"S3M 9 channels on the left", false, [](Song& s) { s = TinySong(9); s.pan.fill(-4); }},
      {"S3M sample without rate", false, [](Song& s) { s.samples[0].c2spd = 0; }},
  };
  for (const Case& c : cases) {
    Song song = TinySong(c.mod ? 4 : 6);
    c.spoil(song);
    const WriteResult written = c.mod ? WriteMod(song) : WriteS3m(song);
    EXPECT_FALSE(written.Ok()) << c.what;
    EXPECT_TRUE(written.bytes.empty()) << c.what;
    EXPECT_EQ(written.error.rfind(c.mod ? "MOD: " : "S3M: ", 0), 0u) << c.what << ": " << written.error;
  }
}

// Frequency of the left channel from its rising zero crossings.
double MeasuredHz(const std::vector<float>& stereo, int rate, size_t from, size_t to) {
  size_t first = 0, last = 0, count = 0;
  for (size_t f = from + 1; f < to; ++f) {
    if (stereo[2 * (f - 1)] < 0.0f && stereo[2 * f] >= 0.0f) {
      if (count == 0) first = f;
      last = f;
      ++count;
    }
  }
  return count > 1 ? (count - 1) * static_cast<double>(rate) / static_cast<double>(last - first) : 0.0;
}

// One looped sine (32 samples a cycle) at tracker notes 48 then 60 on channel 0, tempo 125,
// speed 6 (0.12 s a row), then a speed change, a tempo change and a break.
Song PitchSong(int channels) {
  Song song;
  song.channels = channels;
  song.orders = {0, 1};
  song.patterns = {Pattern(channels), Pattern(channels)};
  song.samples = {SineSample("sine", 8, true)};
  song.patterns[0].At(0, 0) = Make(48, 1, -1);
  song.patterns[0].At(16, 0) = Make(60, 1, -1);
  song.patterns[0].At(32, 1) = Make(kNoNote, 0, -1, Effect::kSetSpeed, 3);
  song.patterns[0].At(48, 1) = Make(kNoNote, 0, -1, Effect::kSetTempo, 150);
  song.patterns[1].At(8, 1) = Make(kNoNote, 0, -1, Effect::kPatternBreak, 0);
  return song;
}

TEST(ModuleWriters, IndependentPlayerHearsPitchAndPace) {
  constexpr int kRate = 48000;
  for (bool mod : {true, false}) {
    Song song = PitchSong(4);
    const WriteResult written = mod ? WriteMod(song) : WriteS3m(song);
    ASSERT_TRUE(written.Ok()) << written.error;
    std::ostringstream log;
    openmpt::module player(written.bytes.data(), written.bytes.size(), log);
    // 32 rows at 0.12 s, 16 at 0.06 s, 16 + 9 at 0.05 s; the break ends the song.
    const double expected = 32 * 0.12 + 16 * 0.06 + 25 * 0.05;
    EXPECT_NEAR(player.get_duration_seconds(), expected, 0.02) << (mod ? "MOD" : "S3M");
    EXPECT_NEAR(SongSeconds(song), expected, 1e-9);
    std::vector<float> audio(2 * static_cast<size_t>(2.0 * kRate));
    player.read_interleaved_stereo(kRate, audio.size() / 2, audio.data());
    // Note 48 plays the sample at the base rate: PAL 428 for the MOD, C2Spd 8363 for the S3M.
    const double base = mod ? kModBaseRate / 32.0 : 8363.0 / 32.0;
    EXPECT_NEAR(MeasuredHz(audio, kRate, kRate / 10, kRate * 18 / 10), base, base * 0.005) << (mod ? "MOD" : "S3M");
    audio.assign(2 * static_cast<size_t>(1.5 * kRate), 0.0f);
    player.read_interleaved_stereo(kRate, audio.size() / 2, audio.data());  // from 2.0 s: note 60
    EXPECT_NEAR(MeasuredHz(audio, kRate, 0, kRate), 2.0 * base, 2.0 * base * 0.005) << (mod ? "MOD" : "S3M");
  }
}

TEST(Composer, MovesLinesThroughTheScaleAndKeepsPartsApart) {
  EXPECT_EQ(ParseNote("A4"), 69);
  EXPECT_EQ(ParseNote("C#3"), 49);
  EXPECT_EQ(ParseNote("Bb2"), 46);
  EXPECT_EQ(ParseNote("H2"), -1);
  EXPECT_EQ(ParseNote("C10"), -1);
  const auto line = ParseLine("D4 . A4! - F4'", 2);
  ASSERT_EQ(line.size(), 4u);
  EXPECT_EQ(line[1].row, 4);
  EXPECT_EQ(line[1].volume, 64);
  EXPECT_EQ(line[2].midi, -1);
  EXPECT_EQ(line[3].row, 8);
  EXPECT_LT(line[3].volume, 64);
  EXPECT_THROW(ParseLine("D4 X", 1), std::invalid_argument);
  // A D minor triad moved up one degree of D phrygian is E flat major, down one C minor, and
  // seven degrees is one octave; moving down crosses octaves correctly.
  const auto triad = ParseLine("D4 F4 A4", 1);
  auto midi = [](const std::vector<LineEvent>& events) {
    std::vector<int> notes;
    for (const auto& e : events) notes.push_back(e.midi);
    return notes;
  };
  EXPECT_EQ(midi(ShiftInScale(triad, 62, kPhrygianScale, 1)), (std::vector<int>{63, 67, 70}));
  EXPECT_EQ(midi(ShiftInScale(triad, 62, kPhrygianScale, -1)), (std::vector<int>{60, 63, 67}));
  EXPECT_EQ(midi(ShiftInScale(triad, 62, kPhrygianScale, 7)), (std::vector<int>{74, 77, 81}));
  EXPECT_EQ(midi(ShiftInScale(triad, 62, kPhrygianScale, -8)), (std::vector<int>{48, 51, 55}));
  // Two notes in one cell are a composing mistake, never a silent overwrite.
  SongBuilder builder("t", 4, 6, 125);
  Instrument instrument;
  instrument.sample = SineSample("s", 2, false);
  const int id = builder.Add(instrument);
  const int pattern = builder.NewPattern();
  builder.Note(pattern, 5, 2, id, 60);
  EXPECT_THROW(builder.Note(pattern, 5, 2, id, 62), std::logic_error);
  EXPECT_EQ(builder.song().patterns[0].At(5, 2).note, 48);
}

}  // namespace
}  // namespace mkdata::music
