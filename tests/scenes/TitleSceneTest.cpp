// The title scene's timeline, checked through the pixels it shows, with fixture images: a white
// title image (so the strips and beams show where they are) and a uniform green backdrop.
#include "SceneFixture.h"

#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <map>

namespace {

class TitleSceneTest : public SceneFixture {};

bool IsBlack(const std::vector<uint16_t>& frame) {
  for (uint16_t p : frame)
    if (p != 0) return false;
  return true;
}

TEST_F(TitleSceneTest, TimelineFromPauseToBackdrop) {
  WriteUniformCel("title.cel", 256, 200, 255, 255, 255);
  WriteUniformCel("green.cel", 256, 256, 0, 200, 0);
  TitleInit();
  EXPECT_EQ(Log(), "start:title\n");

  std::vector<uint64_t> hashes;
  std::map<int, std::vector<uint16_t>> kept;
  const int kKept[] = {35, 999, 1000, 1063, 1127, 1240};
  int ended = -1;
  for (int frame = 0; frame < 1241; ++frame) {
    const int32_t result = TitleFrame();
    const auto shown = ShownFrame();
    if (frame < 35) {
      EXPECT_TRUE(IsBlack(shown)) << "frame " << frame;
    }
    hashes.push_back(Hash(shown));
    for (int k : kKept)
      if (k == frame) kept[frame] = shown;
    if (result != 0 && ended < 0) ended = frame;
  }
  EXPECT_EQ(ended, 1240) << "the scene shows frames 0 to 1240 and ends after the last";
  EXPECT_EQ(TitleFrame(), 1);

  // Frame 35: both wipes one step in. Row 240 crosses both strips and both beams.
  const auto& opening = kept[35];
  for (int x = 64; x <= 67; ++x) EXPECT_GE(Green(At(opening, x, 240)), 190) << x;
  for (int x = 571; x <= 574; ++x) EXPECT_GE(Green(At(opening, x, 240)), 190) << x;
  for (int x = 68; x <= 570; ++x) ASSERT_EQ(At(opening, x, 240), 0) << "between the wipes, x " << x;
  // The left beam fans out to x 6.25 with alpha falling to 0 there.
  for (int x = 0; x <= 5; ++x) EXPECT_EQ(At(opening, x, 240), 0) << x;
  EXPECT_GT(Green(At(opening, 30, 240)), 0);
  EXPECT_LT(Green(At(opening, 30, 240)), Green(At(opening, 60, 240)));
  for (int x = 635; x < 640; ++x) EXPECT_EQ(At(opening, x, 240), 0) << x;

  // Holds: after the sweep frame that reaches the end (strips and beams), the strips alone stay
  // still for 65, 65 and 100 frames.
  auto expectHold = [&](int first, int length) {
    EXPECT_NE(hashes[first - 1], hashes[first]) << first;
    for (int f = first + 1; f < first + length; ++f) EXPECT_EQ(hashes[f], hashes[first]) << f;
    EXPECT_NE(hashes[first + length], hashes[first]) << first + length;
  };
  expectHold(162, 65);
  expectHold(531, 65);
  expectHold(900, 100);

  // The backdrop fades in from frame 1000 (alpha 1) to full at 1127 and stays. Its texture is
  // scaled by the vertex alpha in the colour combine and blended by that alpha again.
  const int g999 = Green(At(kept[999], 10, 10));
  const int g1000 = Green(At(kept[1000], 10, 10));
  const int g1063 = Green(At(kept[1063], 10, 10));
  const int g1127 = Green(At(kept[1127], 10, 10));
  EXPECT_EQ(g999, 0);
  EXPECT_LE(g1000, 8);
  EXPECT_NEAR(g1063, 200 * 128 / 256 * 128 / 256, 10);  // alpha 127
  EXPECT_NEAR(g1127, 200, 8);
  EXPECT_EQ(Red(At(kept[1127], 10, 10)), 0);
  EXPECT_EQ(hashes[1127], hashes[1240]) << "full backdrop from 1127 to the end";
  EXPECT_NE(hashes[1126], hashes[1127]);
}

TEST_F(TitleSceneTest, StripsShowTheirBandsSixtyRowsOnly) {
  // Each band's 60 rows green, the four rows between bands red: a strip reaching past its band
  // would show red at its bottom.
  WriteCel("title.cel", 256, 200, {{0, 0, 0}, {0, 255, 0}, {255, 0, 0}},
           [](int, int y) -> uint8_t { return y % 64 < 60 ? 1 : 2; });
  WriteUniformCel("green.cel", 256, 256, 0, 0, 255);
  TitleInit();
  std::vector<uint16_t> held;
  for (int frame = 0; frame <= 600; ++frame) {
    TitleFrame();
    if (frame == 200 || frame == 560) {
      const auto shown = ShownFrame();
      int green = 0;
      // The top row may filter in a little of the row above the band; the bottom must not.
      for (int y = 150; y < 330; ++y) {
        for (int x = 64; x < 576; ++x) {
          if (y >= 240) {
            ASSERT_EQ(Red(At(shown, x, y)), 0) << "frame " << frame << " (" << x << ", " << y << ")";
          }
          green += Green(At(shown, x, y)) > 100;
        }
      }
      EXPECT_GT(green, 512 * 120) << "frame " << frame << ": the held line fills its strip";
    }
  }
}

TEST_F(TitleSceneTest, MissingBackdropEndsAtTheFirstFrameWithoutDrawing) {
  Remove("green.cel");
  TitleInit();
  const uint64_t shownBefore = platform::FrameCount();
  EXPECT_EQ(TitleFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), shownBefore) << "no frame was swapped";
  TitleDone();
  EXPECT_EQ(Log().substr(0, 23), "start:title\ntitle:done\n");
}

}  // namespace
