// The three generated modules, as the presentation will get them: each loads in libopenmpt and
// in libxmp with the expected type, channels, orders and length, and is the same every run.
// (How they sound, rendered through the MIDAS stand-in, is checked in MusicMidasTest.)
#include <gtest/gtest.h>
#include <xmp.h>

#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "music/Composer.h"
#include "music/Songs.h"
#include "TestSupport.h"

namespace mkdata {
namespace {

struct Expected {
  const char* file;
  const char* openmptType;
  const char* xmpTypePrefix;
  int channels;
  int orders;
  int xmpLength;  // libxmp counts an S3M's stored order list: the end marker, padded to even
  int patterns;
  int sceneFrames;  // the song must last at least this long (60 Hz) before it loops
  music::Song (*compose)();
};

constexpr Expected kModules[] = {
    {"go.s3m", "s3m", "Scream Tracker 3", 4, 8, 10, 8, 2479, music::ComposeGo},
    {"ohyea.mod", "mod", "Protracker", 4, 8, 8, 8, 3505, music::ComposeOhYea},
    {"creature.s3m", "s3m", "Scream Tracker 3", 14, 6, 8, 6, 3112, music::ComposeCreature},
};

const std::map<std::string, std::vector<uint8_t>>& Music() {
  static const auto files = test::RunGenerator("music");
  return files;
}

const std::vector<uint8_t>& File(const char* name) {
  static const std::vector<uint8_t> none;
  const auto it = Music().find(name);
  return it == Music().end() ? none : it->second;
}

TEST(Music, LoadsInLibopenmpt) {
  EXPECT_EQ(Music().size(), 3u);
  for (const Expected& e : kModules) {
    SCOPED_TRACE(e.file);
    const auto& bytes = File(e.file);
    ASSERT_FALSE(bytes.empty());
    std::ostringstream log;
    openmpt::module mod(bytes.data(), bytes.size(), log);
    EXPECT_EQ(mod.get_metadata("type"), e.openmptType);
    EXPECT_EQ(mod.get_num_channels(), e.channels);
    EXPECT_EQ(mod.get_num_orders(), e.orders);
    EXPECT_EQ(mod.get_num_patterns(), e.patterns);
    EXPECT_EQ(mod.get_metadata("warnings"), "");
    EXPECT_GE(mod.get_duration_seconds() * 60.0, e.sceneFrames);
    // The generator's own reckoning of the length (which it checks against the scenes) agrees
    // with the player's.
    EXPECT_NEAR(music::SongSeconds(e.compose()), mod.get_duration_seconds(), 0.1);
  }
}

TEST(Music, LoadsInLibxmp) {
  for (const Expected& e : kModules) {
    SCOPED_TRACE(e.file);
    auto bytes = File(e.file);
    ASSERT_FALSE(bytes.empty());
    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), static_cast<long>(bytes.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    EXPECT_EQ(std::string(info.mod->type).rfind(e.xmpTypePrefix, 0), 0u) << info.mod->type;
    EXPECT_EQ(info.mod->chn, e.channels);
    EXPECT_EQ(info.mod->len, e.xmpLength);
    EXPECT_EQ(info.mod->pat, e.patterns);
    ASSERT_EQ(xmp_start_player(ctx, 44100, 0), 0);
    xmp_frame_info frame;
    xmp_get_frame_info(ctx, &frame);
    EXPECT_GE(frame.total_time * 60 / 1000, e.sceneFrames);
    // libxmp plays it too: some real sound in the first two seconds.
    std::vector<int16_t> pcm(2 * 44100 * 2);
    ASSERT_EQ(xmp_play_buffer(ctx, pcm.data(), static_cast<int>(pcm.size() * 2), 0), 0);
    int peak = 0;
    for (int16_t v : pcm) peak = std::max(peak, std::abs(int{v}));
    EXPECT_GT(peak, 1000);
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
  }
}

TEST(Music, SameBytesEveryRun) {
  const auto again = test::RunGenerator("music");
  for (const Expected& e : kModules) EXPECT_TRUE(again.at(e.file) == File(e.file)) << e.file;
}

}  // namespace
}  // namespace mkdata
