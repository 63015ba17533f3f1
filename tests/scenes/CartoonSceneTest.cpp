// The cartoon scene through the pixels it shows and the generator draws it makes, with fixture
// images: every layer a colour of its own (or a quadrant image telling its orientation, or fully
// transparent to get it out of the way), word cells of ten colours, and a hi-fi picture whose
// colour codes the texel column and the half it comes from.
#include "SceneFixture.h"
#include "TestSupport.h"

#include "audio/AudioService.h"
#include "runtime/Random.h"
#include "scenes/CartoonScene.h"
#include "scenes/PhasePair.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <set>

namespace {

constexpr int kSceneFrames = 1730;
constexpr uint8_t kClear = 255;  // the transparent palette index of the soft sprites

using Palette = std::vector<std::array<uint8_t, 3>>;  // 6-bit components, entries from 0

const char* const kCartoonFiles[] = {"face.cel", "shirt.cel", "arm.cel",  "pillow.cel", "face2.cel", "arm2.cel",
                                     "suit.cel", "text.cel",  "face0.cel", "hand.cel",  "hifi.cel",  "white.cel"};

// The generator's sequence followed from a known state, to tell how many numbers were drawn
// between two states and what they were.
struct RandReplica {
  uint32_t seed;
  int32_t Next() {
    seed = seed * 214013u + 2531011u;
    return static_cast<int32_t>((seed >> 16) & 0x7FFFu);
  }
  // The number of draws that lead from `seed` to `to` (-1 beyond `limit`); the replica ends at `to`.
  int DrawsTo(uint32_t to, int limit = 64) {
    for (int k = 0; k <= limit; ++k) {
      if (seed == to) return k;
      Next();
    }
    return -1;
  }
};

class CartoonSceneTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    WriteUniformCel("face0.cel", 256, 200, 255, 0, 0);
    WriteUniformCel("face.cel", 256, 200, 0, 0, 255);
    WriteUniformCel("face2.cel", 256, 200, 255, 255, 0);
    WriteUniformCel("shirt.cel", 256, 200, 0, 255, 0);
    WriteUniformCel("arm.cel", 256, 200, 255, 0, 255);
    WriteUniformCel("pillow.cel", 256, 200, 0, 255, 255);
    WriteUniformCel("suit.cel", 256, 200, 255, 136, 0);
    WriteUniformCel("arm2.cel", 256, 200, 136, 0, 255);
    WriteUniformCel("hand.cel", 256, 200, 255, 255, 255);
    WriteUniformCel("hifi.cel", 256, 200, 0, 136, 0);
    WriteUniformCel("white.cel", 16, 16, 255, 255, 255);
    WriteWordCells();
  }

  // A 256 x 200 image: `index(x, y)` gives each pixel's palette index.
  void WriteSprite(const std::string& name, const Palette& palette, const std::function<uint8_t(int, int)>& index) {
    std::vector<uint8_t> bytes(800 + 256 * 200, 0);
    for (size_t i = 0; i < palette.size(); ++i)
      for (int c = 0; c < 3; ++c) bytes[32 + 3 * i + c] = palette[i][c];
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 256; ++x) bytes[800 + static_cast<size_t>(y) * 256 + x] = index(x, y);
    Create(name).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void WriteClear(const std::string& name) {
    WriteSprite(name, {}, [](int, int) { return kClear; });
  }
  // Cell c (two columns of 128, five rows of 40) in colour kCellRed[c] with full green.
  void WriteWordCells() {
    Palette palette;
    for (int c = 0; c < 10; ++c) palette.push_back({static_cast<uint8_t>(6 * c), 63, 0});
    WriteSprite("text.cel", palette, [](int x, int y) { return static_cast<uint8_t>(x / 128 + 2 * (y / 40)); });
  }
  static int CellRed(int c) { return (6 * c >> 2) * 17; }

  // Runs init and `frames` frames, keeping the frames shown by the calls asked for.
  void Play(int frames, std::map<int, std::vector<uint16_t>>& kept) {
    CartoonInit();
    for (int call = 0; call < frames; ++call) {
      ASSERT_EQ(CartoonFrame(), call == kSceneFrames - 1 ? 1 : 0) << "call " << call;
      if (kept.count(call)) kept[call] = ShownFrame();
    }
  }

  // A quadrant image drawn on the screen rectangle whose texel corner (0, 0) lands at (x0, y0)
  // and (255, 199) at (x1, y1) (x1 < x0 when mirrored): checks each quadrant's colour well
  // inside it, and black just outside the rectangle where that is on the screen.
  static void ExpectQuadrants(const std::vector<uint16_t>& frame, float x0, float y0, float x1, float y1,
                              const std::string& what, bool blackAround = true) {
    auto at = [&](float u, float v) {
      return At(frame, static_cast<int>(x0 + u * (x1 - x0)), static_cast<int>(y0 + v * (y1 - y0)));
    };
    auto expect = [&](uint16_t p, int r, int g, int b, const char* corner) {
      EXPECT_NEAR(Red(p), r, 12) << what << ' ' << corner;
      EXPECT_NEAR(Green(p), g, 12) << what << ' ' << corner;
      EXPECT_NEAR(Blue(p), b, 12) << what << ' ' << corner;
    };
    expect(at(0.2f, 0.2f), 255, 0, 0, "top-left");
    expect(at(0.8f, 0.2f), 0, 255, 0, "top-right");
    expect(at(0.2f, 0.8f), 0, 0, 255, "bottom-left");
    expect(at(0.8f, 0.8f), 255, 255, 255, "bottom-right");
    const float left = std::min(x0, x1), right = std::max(x0, x1);
    const int mid = static_cast<int>(std::min(0.5f * (y0 + y1), 470.0f));
    // Lit just inside the edges that are on the screen.
    EXPECT_NE(At(frame, static_cast<int>(left) + 3, mid), 0) << what << " left edge";
    if (right < 637.0f) {
      EXPECT_NE(At(frame, static_cast<int>(right) - 3, mid), 0) << what << " right edge";
    }
    EXPECT_NE(At(frame, static_cast<int>(0.5f * (x0 + x1)), static_cast<int>(y0) + 3), 0) << what << " top edge";
    if (!blackAround) return;
    if (left >= 4.0f) {
      EXPECT_EQ(At(frame, static_cast<int>(left) - 3, mid), 0) << what << " left of it";
    }
    if (right <= 635.0f) {
      EXPECT_EQ(At(frame, static_cast<int>(right) + 3, mid), 0) << what << " right of it";
    }
    if (y0 >= 4.0f) {
      EXPECT_EQ(At(frame, static_cast<int>(0.5f * (x0 + x1)), static_cast<int>(y0) - 3), 0) << what << " above it";
    }
  }
};

// The layer colour at a pixel, as the texture x alpha^2 the combine and the blend give.
int Faded(int full, int alpha) { return full * alpha / 255 * alpha / 255; }

TEST_F(CartoonSceneTest, ActsSwitchAfterTheirLastFramesAndTheSceneEndsBlack) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteClear("text.cel");
  std::map<int, std::vector<uint16_t>> kept;
  const int kKept[] = {0, 256, 257, 512, 513, 832, 833, 1088, 1089, 1600, 1664, 1700, 1727, 1728, 1729};
  for (int call : kKept) kept[call] = {};
  const uint32_t before = RandSeed();
  Play(kSceneFrames, kept);
  EXPECT_EQ(CartoonFrame(), 1) << "and stays over";

  // The face colour at the centre of the head tells the act: red sleepy face (0), yellow suit
  // face (1, 4), nothing above the hi-fi band (2), blue waking face (3).
  auto face = [&](int call) { return At(kept[call], 320, 100); };
  EXPECT_EQ(Red(face(0)), 255);
  EXPECT_EQ(Green(face(0)), 0);
  EXPECT_EQ(face(256), face(0)) << "frame 256 is the last of act 0";
  EXPECT_EQ(Green(face(257)), 255);
  EXPECT_EQ(Red(face(257)), 255);
  EXPECT_EQ(face(512), face(257)) << "frame 512 is the last of act 1";
  EXPECT_EQ(face(513), 0);
  EXPECT_NEAR(Green(At(kept[513], 100, 240)), 136, 12) << "the hi-fi";
  EXPECT_EQ(face(832), 0);
  EXPECT_EQ(Blue(face(833)), 255);
  EXPECT_EQ(Red(face(833)), 0);
  EXPECT_EQ(face(1088), face(833)) << "frame 1088 is the last of act 3";
  EXPECT_EQ(face(1089), face(257));
  EXPECT_EQ(face(1600), face(257)) << "no fading up to 1600";
  // The fade: alpha 2 x (1728 - n).
  EXPECT_NEAR(Red(face(1664)), Faded(255, 128), 8);
  EXPECT_NEAR(Red(face(1700)), Faded(255, 56), 6);
  EXPECT_LE(Red(face(1727)), 1);
  const auto& last = kept[1729];
  EXPECT_EQ(std::count(last.begin(), last.end(), 0), 640 * 480) << "the end frame is black";

  // The sleepy face stands upright: its rectangle is (192, 0) - (447, 255).
  EXPECT_EQ(Red(At(kept[0], 193, 5)), 255);
  EXPECT_EQ(At(kept[0], 190, 5), 0);
  EXPECT_EQ(Red(At(kept[0], 446, 5)), 255);
  EXPECT_EQ(At(kept[0], 449, 5), 0);

  // The generator: sixteen draws in init, four per rebirth, none outside the word acts; here
  // every word is born at least once in act 1.
  RandReplica replica{before};
  const int draws = replica.DrawsTo(RandSeed(), 400);
  EXPECT_GE(draws, 16 + 4 * kFlyingWordCount);
  EXPECT_EQ(draws % 4, 0);
  EXPECT_EQ(Log(), "start:cartoon\nCoulnd't play 1'st sample!\n") << "the groove is tried once";
}

// Quad-local (x, y) of a face layer (the rectangle (-128, -240) - (127, 15) about the centre)
// turned by `angle` radians about the centre (x' = x cos - y sin, y' = x sin + y cos), on the screen.
std::pair<int, int> TurnedFacePoint(double x, double y, double angle) {
  return {static_cast<int>(std::floor(320.0 + x * std::cos(angle) - y * std::sin(angle))),
          static_cast<int>(std::floor(240.0 + x * std::sin(angle) + y * std::cos(angle)))};
}

// The waking face (act 3) turns about the neck by 0.1 times the first tilt phase, which starts
// at 0 with the program and advances once a frame: a quadrant face shows each quadrant's centre
// where that turn puts it, and not where the turn the other way would.
TEST_F(CartoonSceneTest, WakingFaceTurnsAboutTheNeckWithTheTiltPhase) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteQuadrantCel("face.cel", 256, 200);
  WriteClear("text.cel");
  PhasePair tilt;
  std::map<int, double> angles;  // act 3 calls with a clear turn
  for (int call = 0; call < 1089; ++call) {
    const double angle = 0.1 * tilt.first;
    if (call > 833 && std::abs(std::sin(angle)) > 0.15 && std::abs(std::sin(angle)) < 0.8 && angles.size() < 5 &&
        (angles.empty() || call - angles.rbegin()->first > 30)) {
      angles[call] = angle;
    }
    tilt.Advance(kCommonPhaseRates);
  }
  ASSERT_GE(angles.size(), 3u);
  std::map<int, std::vector<uint16_t>> kept;
  for (const auto& [call, angle] : angles) kept[call] = {};
  Play(1089, kept);
  // The quadrants' centres: the texture's column 128 lies at x 0, its row 100 at y -111.9.
  const struct {
    double x, y;
    int r, g, b;
  } quadrants[4] = {{-64, -176, 255, 0, 0}, {64, -176, 0, 255, 0}, {-64, -48, 0, 0, 255}, {64, -48, 255, 255, 255}};
  for (const auto& [call, angle] : angles) {
    for (const auto& q : quadrants) {
      const auto [x, y] = TurnedFacePoint(q.x, q.y, angle);
      if (x < 0 || x >= 640 || y < 0 || y >= 480) continue;
      const uint16_t p = At(kept[call], x, y);
      EXPECT_EQ(Red(p) > 200, q.r > 0) << "call " << call << ", turn " << angle << " at " << x << ", " << y;
      EXPECT_EQ(Green(p) > 200, q.g > 0) << "call " << call << ", turn " << angle << " at " << x << ", " << y;
      EXPECT_EQ(Blue(p) > 200, q.b > 0) << "call " << call << ", turn " << angle << " at " << x << ", " << y;
    }
  }
}

// The closing fade of act 4 dims every layer of the suit layout alike: the suit, both arms and
// the face, each its colour times the fade's alpha twice (the combine and the blend).
TEST_F(CartoonSceneTest, ClosingFadeDimsTheSuitTheArmsAndTheFaceAlike) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteClear("text.cel");
  PhasePair sway;
  std::map<int, double> faceTurns;
  for (int call = 0; call <= 1700; ++call) {
    if (call == 1664 || call == 1700) faceTurns[call] = 0.2 * sway.first;
    sway.Advance({1.0f, 0.2580212351476527f, 3.0f});
  }
  std::map<int, std::vector<uint16_t>> kept;
  for (const auto& [call, turn] : faceTurns) kept[call] = {};
  Play(1701, kept);
  for (const auto& [call, turn] : faceTurns) {
    const int alpha = 2 * (1728 - call);
    const auto& frame = kept[call];
    // The suit below the face; each arm beside the suit, where only it lies; the face's middle.
    const auto face = TurnedFacePoint(0.0, -112.0, turn);
    const struct {
      const char* layer;
      int x, y, r, g, b;
    } layers[] = {{"suit", 320, 440, 255, 136, 0},
                  {"left arm", 160, 220, 136, 0, 255},
                  {"right arm", 480, 220, 136, 0, 255},
                  {"face", face.first, face.second, 255, 255, 0}};
    for (const auto& l : layers) {
      const uint16_t p = At(frame, l.x, l.y);
      EXPECT_NEAR(Red(p), Faded(l.r, alpha), 8) << l.layer << ", call " << call;
      EXPECT_NEAR(Green(p), Faded(l.g, alpha), 8) << l.layer << ", call " << call;
      EXPECT_NEAR(Blue(p), Faded(l.b, alpha), 8) << l.layer << ", call " << call;
    }
  }
}

TEST_F(CartoonSceneTest, ActAlphaFadesAfterFrame1600WithoutReachingZero) {
  EXPECT_EQ(CartoonActAlpha(0), 255.0f);
  EXPECT_EQ(CartoonActAlpha(1600), 255.0f);
  EXPECT_EQ(CartoonActAlpha(1601), 254.0f);
  EXPECT_EQ(CartoonActAlpha(1664), 128.0f);
  EXPECT_EQ(CartoonActAlpha(1727), 2.0f);
  EXPECT_EQ(CartoonActAlpha(1728), 1.0f);
}

TEST_F(CartoonSceneTest, GrooveStartsAtTheSwitchToTheHifiOnly) {
  std::map<int, std::vector<uint16_t>> none;
  Play(512, none);
  EXPECT_EQ(Log(), "start:cartoon\n") << "skipped before frame 512, no sample is played";
  EXPECT_EQ(CartoonFrame(), 0);
  EXPECT_EQ(Log(), "start:cartoon\nCoulnd't play 1'st sample!\n")
      << "the sound library is not running here; the attempt comes after frame 512";
  EXPECT_EQ(EffectPlayHandle, 0u);
  for (int i = 0; i < 3; ++i) CartoonFrame();
  EXPECT_EQ(Log(), "start:cartoon\nCoulnd't play 1'st sample!\n");
}

TEST_F(CartoonSceneTest, PillowLayoutPlacesEachLayerUprightAndMirrorsTheRightArm) {
  const std::array<const char*, 4> layers = {"pillow.cel", "arm.cel", "shirt.cel", "face0.cel"};
  for (const char* layer : layers) {
    SCOPED_TRACE(layer);
    for (const char* other : layers) WriteClear(other);
    WriteQuadrantCel(layer, 256, 200);
    CartoonInit();
    ASSERT_EQ(CartoonFrame(), 0);
    const auto frame = ShownFrame();
    const std::string name = layer;
    if (name == "pillow.cel") ExpectQuadrants(frame, 192, 12, 447, 267, layer);
    if (name == "face0.cel") ExpectQuadrants(frame, 192, 0, 447, 255, layer);
    if (name == "shirt.cel") ExpectQuadrants(frame, 166.4f, 206.4f, 473.6f, 513.6f, layer);
    if (name == "arm.cel") {
      // The arms overlap between x 293 and 347; the checks stay outside the overlap.
      EXPECT_EQ(Red(At(frame, 120, 80)), 255) << "left arm, top-left quadrant";
      EXPECT_EQ(Blue(At(frame, 120, 280)), 255) << "left arm, bottom-left quadrant";
      EXPECT_EQ(Green(At(frame, 290, 80)), 255) << "left arm, top-right quadrant";
      EXPECT_EQ(Red(At(frame, 520, 80)), 255) << "right arm, mirrored: texel column 0 on the right";
      EXPECT_EQ(Green(At(frame, 520, 80)), 0);
      EXPECT_EQ(Green(At(frame, 350, 80)), 255) << "right arm, top-right quadrant on its left";
      EXPECT_EQ(At(frame, 89, 150), 0);
      EXPECT_EQ(At(frame, 551, 150), 0);
      EXPECT_EQ(At(frame, 120, 49), 0);
    }
  }
}

TEST_F(CartoonSceneTest, SuitArmsSwayAsMirrorImages) {
  WriteQuadrantCel("arm2.cel", 256, 200);
  for (const char* clear : {"suit.cel", "face2.cel", "text.cel"}) WriteClear(clear);
  std::map<int, std::vector<uint16_t>> kept;
  for (int call : {257, 300, 400, 1200}) kept[call] = {};
  Play(1201, kept);
  for (const auto& [call, frame] : kept) {
    int lit = 0, differ = 0;
    for (int y = 0; y < 480; y += 5)
      for (int x = 0; x < 236; x += 4) {
        // Left of x 236 only the left arm shows, right of 403 only the right one.
        const uint16_t left = At(frame, x, y), right = At(frame, 639 - x, y);
        lit += left != 0;
        differ += left != right;
      }
    EXPECT_GT(lit, 500) << "call " << call;
    EXPECT_LT(differ, lit / 50) << "call " << call << ": the right arm mirrors the left";
    // Both shoulders sit at the suit's; the left arm's image is turned against the clock, so its
    // top-left (red) quadrant lies low on the outside and its top-right (green) one higher in.
    EXPECT_EQ(Red(At(frame, 120, 250)), 255) << "call " << call;
    EXPECT_EQ(Green(At(frame, 180, 130)), 255) << "call " << call;
  }
}

TEST_F(CartoonSceneTest, HifiWipeRevealsTheLowerHalfAndTheHandSlidesOntoIt) {
  // Pixel (x, y) of the picture: index x / 2 in the upper half, 128 + x / 2 in the lower; red
  // codes the column in steps of 16, green tells the half.
  Palette palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = {static_cast<uint8_t>((i & 127) >> 1), static_cast<uint8_t>(i < 128 ? 0 : 63), 20};
  WriteSprite("hifi.cel", palette, [](int x, int y) { return static_cast<uint8_t>((y >= 100 ? 128 : 0) + x / 2); });
  WriteQuadrantCel("hand.cel", 256, 200);
  std::map<int, std::vector<uint16_t>> kept;
  for (int call : {513, 641, 769, 832}) kept[call] = {};
  Play(833, kept);

  // The band y 140 ... 339; above the hand, at y 170, column c shows at x = 2c + 64.
  auto expectWipe = [&](int call, float v) {
    const auto& frame = kept[call];
    const float edge = 2.0f * v + 64.0f;
    for (int x = 66; x < 574; x += 4) {
      if (std::abs(static_cast<float>(x) - edge) < 6.0f) continue;
      const uint16_t p = At(frame, x, 170);
      const int column = (x - 64) / 2;
      EXPECT_NEAR(Red(p), column / 16 * 17, 20) << "v " << v << " x " << x;
      EXPECT_EQ(Green(p) > 128, x < edge) << "v " << v << " x " << x << ": the lower half left of the edge";
    }
    EXPECT_EQ(At(frame, 61, 170), 0);
    EXPECT_EQ(At(frame, 578, 170), 0);
    EXPECT_EQ(At(frame, 300, 136), 0);
    EXPECT_EQ(At(frame, 300, 342), 0);
  };
  expectWipe(513, 0.0f);
  expectWipe(641, 64.0f);
  expectWipe(769, 128.0f);
  EXPECT_EQ(Hash(kept[769]), Hash(kept[832])) << "wipe and hand stand still for the last 64 frames";

  // The hand: a 127-pixel square moved half a pixel per frame of the wipe.
  ExpectQuadrants(kept[513], 324.5f, 200.0f, 451.5f, 327.0f, "hand at the start", false);
  ExpectQuadrants(kept[641], 388.5f, 200.0f, 515.5f, 327.0f, "hand halfway", false);
  ExpectQuadrants(kept[769], 452.0f, 200.0f, 579.0f, 327.0f, "hand at the end", false);
}

TEST_F(CartoonSceneTest, WordsAreBornFromTheGeneratorBeforeTheyAreDrawn) {
  for (const char* clear : {"suit.cel", "face2.cel", "arm2.cel"}) WriteClear(clear);
  RandReplica replica{RandSeed()};
  CartoonInit();

  // Init draws cell, life, drift across and drift down for each word in turn.
  float lives[kFlyingWordCount];
  for (int i = 0; i < kFlyingWordCount; ++i) {
    const int cell = replica.Next() % 10;
    lives[i] = static_cast<float>(replica.Next() % 240) * 0.01f + 0.1f;
    const float dx = static_cast<float>(replica.Next() % 11 - 5), dy = static_cast<float>(replica.Next() % 11 - 5);
    const FlyingWord& word = CartoonWord(i);
    EXPECT_EQ(word.life, lives[i]) << i;
    EXPECT_EQ(word.active, 0) << i;
    EXPECT_EQ(word.quad[0].tmuvtx[0].sow, static_cast<float>(cell % 2 * 128)) << i;
    EXPECT_EQ(word.quad[0].tmuvtx[0].tow, static_cast<float>(cell / 2 * 40)) << i;
    EXPECT_EQ(word.quad[0].x, 256.0f + dx) << i;
    EXPECT_EQ(word.quad[2].y, 271.0f + dy) << i;
  }
  EXPECT_EQ(replica.seed, RandSeed()) << "sixteen draws in init";

  // The word that lives longest is born first, in the act-1 frame where its life passes 2.5.
  const float oldest = *std::max_element(std::begin(lives), std::end(lives));
  int firstBirth = 257;
  for (float life = oldest; !(life > 2.5f); life += 0.02f) ++firstBirth;
  int born = 0;
  for (int call = 0; call < 513; ++call) {
    const uint32_t seed = RandSeed();
    ASSERT_EQ(CartoonFrame(), 0);
    const int draws = RandReplica{seed}.DrawsTo(RandSeed());
    if (call < 257) {
      ASSERT_EQ(draws, 0) << "no words in act 0, call " << call;
    }
    ASSERT_EQ(draws % 4, 0) << "call " << call;
    for (int i = 0; i < kFlyingWordCount; ++i) {
      const FlyingWord& word = CartoonWord(i);
      if (!word.active) continue;
      // The life has grown by 0.02 since the word was drawn.
      EXPECT_LE(word.life, 2.5f + 0.0201f) << "word " << i << " drawn past its life, call " << call;
      EXPECT_GE(word.quad[0].a, 0.0f) << "word " << i << ", call " << call;
    }
    if (draws > 0 && born == 0) {
      EXPECT_EQ(call, firstBirth);
      EXPECT_EQ(draws, 4) << "one word is born first";
      // The birth draws: cell, life, drift across, drift down; the new word is drawn at once,
      // small, in the cell's colour, where its drift puts it about (320, 200).
      const int cell = replica.Next() % 10;
      const float life = static_cast<float>(replica.Next() % 20) * 0.01f + 0.1f;
      const int dx = replica.Next() % 11 - 5, dy = replica.Next() % 11 - 5;
      const auto frame = ShownFrame();
      const uint16_t p = At(frame, 319 + dx, 200 + dy);
      EXPECT_NEAR(Red(p), CellRed(cell), 8) << "cell " << cell;
      EXPECT_EQ(Green(p), 255) << "cell " << cell;
      // Its size is 127 x 32 times its life, turned by 3.14 x life: the row through its middle
      // crosses at most min(width / cos, height / sin) of it.
      const float angle = 3.14f * life;
      const float chord = std::min(127.0f * life / std::cos(angle), 32.0f * life / std::sin(angle));
      int lit = 0;
      for (int x = 250; x < 390; ++x) lit += Green(At(frame, x, 200 + dy)) > 0;
      EXPECT_LE(lit, static_cast<int>(chord) + 3) << "life " << life;
    }
    born += draws / 4;
  }
  EXPECT_GE(born, kFlyingWordCount) << "every word is born during act 1";
}

TEST_F(CartoonSceneTest, WordsFadeOverTheirLastQuarterOfALife) {
  RandReplica replica{RandSeed()};
  CartoonInit();
  replica.DrawsTo(RandSeed());
  std::set<int> faded;
  for (int call = 0; call < 513; ++call) {
    CartoonFrame();
    if (call < 257) continue;
    for (int i = 0; i < kFlyingWordCount; ++i) {
      const FlyingWord& word = CartoonWord(i);
      const float drawnLife = word.life - 0.02f;
      if (!word.active || drawnLife > 2.5f) continue;
      if (drawnLife < 2.0f) {
        EXPECT_EQ(word.quad[0].a, 255.0f) << "call " << call;
      } else {
        EXPECT_NEAR(word.quad[3].a, (2.5f - drawnLife) * 510.0f, 0.01f) << "call " << call;
        faded.insert(i);
      }
    }
  }
  EXPECT_FALSE(faded.empty());
}

enum class Damage { kMissing, kTruncated, kGarbage };

class CartoonBrokenFileTest : public CartoonSceneTest,
                              public ::testing::WithParamInterface<std::tuple<const char*, Damage>> {};

TEST_P(CartoonBrokenFileTest, EndsTheSceneAtItsFirstFrame) {
  const auto [name, damage] = GetParam();
  if (damage == Damage::kMissing) Remove(name);
  if (damage == Damage::kTruncated) {
    // A copy one byte short replaces the file (never the shared file behind a link).
    const std::string bytes = testsupport::ReadFile(dir_ / name);
    Create(name).write(bytes.data(), static_cast<std::streamsize>(bytes.size()) - 1);
  }
  if (damage == Damage::kGarbage) Create(name) << "not an image at all\n";
  const uint32_t seed = RandSeed();
  CartoonInit();
  EXPECT_EQ(RandSeed(), seed) << "no words are made";
  const uint64_t shown = platform::FrameCount();
  EXPECT_EQ(CartoonFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), shown) << "nothing drawn or swapped";
  EXPECT_EQ(CartoonFrame(), 1);
  EXPECT_EQ(Log(), "start:cartoon\n");
}

INSTANTIATE_TEST_SUITE_P(EachFile, CartoonBrokenFileTest,
                         ::testing::Combine(::testing::ValuesIn(kCartoonFiles),
                                            ::testing::Values(Damage::kMissing, Damage::kTruncated, Damage::kGarbage)));

}  // namespace
