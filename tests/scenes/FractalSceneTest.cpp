// The fractal scene through the pixels it shows. Fixture frames tell what is on screen:
// "marked" frames are split into quadrants whose red marks the right half on even frames and the
// left half on odd ones (so the next frame stands out over the current one), whose blue marks the
// bottom half, and whose green names the frame (10 + 12 k); "ramp" frames carry a green ramp
// across (even frames) or down (odd frames), so a shown green value tells the texel coordinate,
// and blue 255 on odd frames shows how much of an odd frame is mixed in.
#include "TestSupport.h"
#include "SceneFixture.h"

#include "audio/AudioService.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

namespace {

constexpr int kSceneFrames = 1377;
constexpr int kSide = 128;

struct Rgb {
  uint8_t r, g, b;
};

class FractalSceneTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    WriteMarkedFrames();
    WriteUniformCel("yellow.cel", 64, 64, 0, 0, 0);
  }

  // "fractal.pal" in the 8-bit layout (8-byte header, then 768 components).
  void WritePalette(const std::function<Rgb(int)>& entry) {
    std::vector<uint8_t> bytes(776, 0);
    for (int i = 0; i < 256; ++i) {
      const Rgb c = entry(i);
      bytes[8 + 3 * i] = c.r;
      bytes[8 + 3 * i + 1] = c.g;
      bytes[8 + 3 * i + 2] = c.b;
    }
    WriteBytes("fractal.pal", bytes);
  }
  // "fractal.dat": 20 frames of 128 x 128 indices, index(k, x, y).
  void WriteFrames(const std::function<uint8_t(int, int, int)>& index) {
    std::vector<uint8_t> bytes;
    for (int k = 0; k < 20; ++k)
      for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) bytes.push_back(index(k, x, y));
    WriteBytes("fractal.dat", bytes);
  }
  void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    Remove(name);
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }

  void WriteMarkedFrames() {
    WriteFrames([](int k, int x, int y) { return static_cast<uint8_t>(4 * k + (x >= 64) + 2 * (y >= 64)); });
    WritePalette([](int i) {
      const int k = i / 4, right = i & 1, bottom = (i >> 1) & 1;
      return Rgb{static_cast<uint8_t>(right != (k & 1) ? 255 : 0), static_cast<uint8_t>(10 + 12 * k),
                 static_cast<uint8_t>(bottom ? 255 : 0)};
    });
  }
  void WriteRampFrames() {
    WriteFrames([](int k, int x, int y) { return static_cast<uint8_t>(k % 2 == 0 ? x : 128 + y); });
    WritePalette([](int i) {
      return Rgb{0, static_cast<uint8_t>(2 * (i % 128)), static_cast<uint8_t>(i >= 128 ? 255 : 0)};
    });
  }

  // Runs the scene from init to its end, keeping the frames asked for (by n) and returning the n
  // of the frame operation that reported the end.
  int Run(std::map<int, std::vector<uint16_t>>& kept) {
    FractalInit();
    for (int n = 0; n < 2000; ++n) {
      const int32_t over = FractalFrame();
      if (kept.count(n)) kept[n] = ShownFrame();
      if (over) return n;
    }
    return -1;
  }

  // The frame named by a marked frame's green.
  static int FrameShown(uint16_t p) { return static_cast<int>(std::lround((Green(p) - 10) / 12.0)); }

  // The left edge of the next frame on row 200 of a marked-frame picture: the first column from
  // 83 where red leaves the current frame's red (the next frame's left half has the other red).
  static int NextQuadLeftEdge(const std::vector<uint16_t>& frame) {
    const int base = Red(At(frame, 82, 200));
    for (int x = 83; x < 320; ++x) {
      if (std::abs(Red(At(frame, x, 200)) - base) > 25) return x;
    }
    return -1;
  }
};

// The texel coordinate (0 ... 255 across the texture) that a ramp frame's green shows: a texel j
// is green 2j at s = 2j + 1.
double RampCoordinate(int green) { return green + 1.0; }

// The window of the current frame at step l: centred, 255 / (1 + l/60) wide.
double WindowStart(int l) { return 255.0 * 4 * l / (8 * l + 480); }

// Where the base quad samples at pixel centre p of the span 81 ... 560 (or 1 ... 480).
double BaseCoordinate(int l, int pixel, int first) {
  const double w = WindowStart(l);
  return w + (pixel + 0.5 - first) * (255.0 - 2.0 * w) / 479.0;
}


TEST_F(FractalSceneTest, FirstFrameShowsTheWholeFirstFrameAndTheNextOneTransparent) {
  FractalInit();
  ASSERT_EQ(FractalFrame(), 0);
  const std::vector<uint16_t> first = ShownFrame();
  // Frame 0 upright over columns 81 ... 559 and rows 1 ... 479: red marks its right half, blue
  // its bottom half, green 10 names it.
  EXPECT_EQ(Red(At(first, 90, 10)), 0);
  EXPECT_EQ(Blue(At(first, 90, 10)), 0);
  EXPECT_GE(Red(At(first, 550, 10)), 250);
  EXPECT_EQ(Blue(At(first, 550, 10)), 0);
  EXPECT_GE(Blue(At(first, 90, 470)), 250);
  EXPECT_EQ(Red(At(first, 90, 470)), 0);
  EXPECT_GE(Red(At(first, 550, 470)), 250);
  EXPECT_GE(Blue(At(first, 550, 470)), 250);
  // The quadrant borders fall on the screen centre: the window is the whole frame.
  EXPECT_EQ(Red(At(first, 316, 100)), 0);
  EXPECT_GE(Red(At(first, 325, 100)), 250);
  EXPECT_EQ(Blue(At(first, 100, 236)), 0);
  EXPECT_GE(Blue(At(first, 100, 245)), 250);
  for (int y : {1, 240, 478}) {
    EXPECT_NE(At(first, 81, y), 0) << "row " << y;
    EXPECT_NE(At(first, 559, y), 0) << "row " << y;
    EXPECT_NEAR(Green(At(first, 81, y)), 10, 4) << "row " << y;
    EXPECT_NEAR(Green(At(first, 559, y)), 10, 4) << "row " << y;
    EXPECT_EQ(At(first, 80, y), 0) << "left band, row " << y;
    EXPECT_EQ(At(first, 560, y), 0) << "right band, row " << y;
  }
  EXPECT_EQ(At(first, 320, 0), 0) << "row 0 is not drawn";
  EXPECT_EQ(At(first, 320, 479), 0) << "row 479 lies outside the clip window";
  // The next frame's 239-pixel square (201 ... 439) at alpha 0 leaves frame 0 as it is: its red
  // would be 255 in the top-left quadrant.
  for (int x : {201, 260, 319}) {
    EXPECT_EQ(Red(At(first, x, 150)), 0) << x;
    EXPECT_NEAR(Green(At(first, x, 150)), 10, 4) << x;
  }
}

TEST_F(FractalSceneTest, WindowNarrowsWhileTheNextFrameGrowsAndFadesIn) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteRampFrames();
  std::map<int, std::vector<uint16_t>> kept{{30, {}}, {59, {}}, {89, {}}};
  Run(kept);

  // n = 30: frame 0 (ramp across) through the window 42.5 ... 212.5; row 30 lies above the next
  // frame's square.
  const auto& n30 = kept[30];
  for (int x : {81, 200, 320, 440, 559}) {
    EXPECT_NEAR(RampCoordinate(Green(At(n30, x, 30))), BaseCoordinate(30, x, 81), 4.5) << "column " << x;
  }
  // Frame 1 (blue 255) as a square 141 ... 499 by 61 ... 419 at alpha 30 x 255/59 = 129.7.
  EXPECT_EQ(Blue(At(n30, 140, 200)), 0);
  EXPECT_NEAR(Blue(At(n30, 141, 200)), 130, 8);
  EXPECT_NEAR(Blue(At(n30, 499, 200)), 130, 8);
  EXPECT_EQ(Blue(At(n30, 500, 200)), 0);
  EXPECT_EQ(Blue(At(n30, 320, 60)), 0);
  EXPECT_NEAR(Blue(At(n30, 320, 61)), 130, 8);
  EXPECT_NEAR(Blue(At(n30, 320, 419)), 130, 8);
  EXPECT_EQ(Blue(At(n30, 320, 420)), 0);

  // n = 59: the window 63.2 ... 191.8; frame 1 opaque over 83 ... 557 by 3 ... 477.
  const auto& n59 = kept[59];
  EXPECT_NEAR(RampCoordinate(Green(At(n59, 81, 240))), BaseCoordinate(59, 81, 81), 4.5);
  EXPECT_NEAR(RampCoordinate(Green(At(n59, 320, 1))), BaseCoordinate(59, 320, 81), 4.5);
  EXPECT_EQ(Blue(At(n59, 82, 240)), 0);
  EXPECT_GE(Blue(At(n59, 83, 240)), 250) << "alpha 59 x 255/59 = 255";
  EXPECT_GE(Blue(At(n59, 320, 3)), 250);
  EXPECT_EQ(Blue(At(n59, 320, 2)), 0);

  // n = 89: frame 1 (ramp down) at l = 30 through the same window, vertically; frame 2 fades in
  // over it at 129.7.
  const auto& n89 = kept[89];
  for (int y : {1, 30, 240, 450, 478}) {
    EXPECT_NEAR(RampCoordinate(Green(At(n89, 100, y))), BaseCoordinate(30, y, 1), 4.5) << "row " << y;
    if (y < 61 || y >= 420) {
      EXPECT_GE(Blue(At(n89, 320, y)), 250) << "row " << y;
    }
  }
  EXPECT_NEAR(Blue(At(n89, 320, 240)), 255 - 130, 8);
}

// Even frames black, odd frames green 252: the mean green over the middle of the next frame's
// square, where dithering averages out, tells its alpha to about half a step (the blend's own
// rounding stays within 2 of the exact value; a step is 4.3).
TEST_F(FractalSceneTest, NextFrameFadesInBy255Over59Steps) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteFrames([](int k, int, int) { return static_cast<uint8_t>(k % 2); });
  WritePalette([](int i) { return Rgb{0, static_cast<uint8_t>(i == 1 ? 252 : 0), 0}; });
  std::map<int, std::vector<uint16_t>> kept;
  for (int n : {10, 30, 50, 58, 59, 60, 89}) kept[n] = {};
  Run(kept);
  const auto meanGreen = [](const std::vector<uint16_t>& frame) {
    double sum = 0.0;
    for (int y = 200; y < 280; ++y)
      for (int x = 240; x < 400; ++x) sum += Green(At(frame, x, y));
    return sum / (80.0 * 160.0);
  };
  for (int n : {10, 30, 50, 58, 59}) {
    EXPECT_NEAR(meanGreen(kept[n]), 252.0 * std::min(n * 255.0 / 59.0, 255.0) / 255.0, 2.0) << "n = " << n;
  }
  // Frame 1 now underneath, frame 2 (black) fading in over it.
  EXPECT_NEAR(meanGreen(kept[60]), 252.0 * (1.0 - 255.0 / 59.0 / 255.0), 2.0);
  EXPECT_NEAR(meanGreen(kept[89]), 252.0 * (1.0 - 30.0 / 59.0), 2.0);
}

TEST_F(FractalSceneTest, FirstFrameZoomsSixtyStepsAndEveryLaterOneFiftyNine) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  // Column 82 shows only the current frame (the next frame's square starts at 201 - 2l >= 83);
  // at l = 0 the texture wraps there, so n = 0 is left to the first-frame test.
  const std::map<int, std::pair<int, int>> expected = {
      {1, {0, 1}},   {20, {0, 20}}, {59, {0, 59}}, {60, {1, 1}},     {80, {1, 21}},    {118, {1, 59}},
      {119, {2, 1}}, {177, {2, 59}}, {178, {3, 1}}, {826, {13, 59}}, {827, {14, 1}}, {865, {14, 39}}};
  std::map<int, std::vector<uint16_t>> kept;
  for (const auto& [n, state] : expected) kept[n] = {};
  Run(kept);
  for (const auto& [n, state] : expected) {
    const auto& [i, l] = state;
    SCOPED_TRACE("n = " + std::to_string(n));
    EXPECT_EQ(FrameShown(At(kept[n], 82, 200)), i);
    EXPECT_EQ(Red(At(kept[n], 82, 200)), i % 2 ? 255 : 0);
    // The square is seen once it is drawn at alpha 4.32 l of at least about 40.
    if (l >= 10) {
      EXPECT_EQ(NextQuadLeftEdge(kept[n]), 201 - 2 * l);
    }
    if (l == 59) {
      // The next frame, opaque, covers the middle upright: its own red half and blue bottom.
      const int nextRed = (i + 1) % 2 ? 0 : 255;  // on the right
      EXPECT_NEAR(Red(At(kept[n], 480, 100)), nextRed, 8);
      EXPECT_NEAR(Red(At(kept[n], 160, 100)), 255 - nextRed, 8);
      EXPECT_EQ(Blue(At(kept[n], 320, 100)), 0);
      EXPECT_GE(Blue(At(kept[n], 320, 380)), 250);
      EXPECT_EQ(FrameShown(At(kept[n], 320, 100)), i + 1);
    }
  }
}

TEST_F(FractalSceneTest, ClosingPictureFadesInOverTheDiveStaysAloneAndFadesToBlack) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  // A red picture (252 after the 6-bit store): green and blue come from the dive alone.
  WriteUniformCel("yellow.cel", 64, 64, 252, 0, 0);
  std::map<int, std::vector<uint16_t>> kept;
  for (int n : {865, 866, 1000, 1062, 1063, 1120, 1121, 1248, 1375, 1376}) kept[n] = {};
  ASSERT_EQ(Run(kept), kSceneFrames - 1);
  EXPECT_EQ(FractalFrame(), 1) << "and stays over";

  // The picture spans columns 80 ... 559; column 80 is black until it comes.
  EXPECT_EQ(At(kept[865], 80, 240), 0) << "n = 865: no picture yet";
  EXPECT_EQ(At(kept[866], 80, 240), 0) << "n = 866: alpha 0";
  EXPECT_NE(At(kept[1000], 80, 240), 0);
  // Over frame 16 (even: no red on the left) at alpha 134.
  EXPECT_NEAR(Red(At(kept[1000], 82, 200)), 252 * 134 / 255, 8) << "alpha n - 866";
  EXPECT_NEAR(Green(At(kept[1000], 82, 200)), (10 + 12 * 16) * 121 / 255, 5);
  // Under it the dive goes on: frame 17 (odd, red on the left) gives way to frame 18 at
  // n = 1063, seen at (255 - alpha) / 255.
  EXPECT_NEAR(Red(At(kept[1062], 82, 200)), 252 * 196 / 255 + 59, 8) << "frame 17 adds its red";
  EXPECT_NEAR(Green(At(kept[1062], 82, 200)), (10 + 12 * 17) * 59 / 255, 5);
  EXPECT_NEAR(Red(At(kept[1063], 82, 200)), 252 * 197 / 255, 8) << "frame 18 adds none";
  EXPECT_NEAR(Green(At(kept[1063], 82, 200)), (10 + 12 * 18) * 58 / 255, 5);
  EXPECT_LE(Green(At(kept[1120], 300, 240)), 4) << "n = 1120: alpha 254 hides the dive";
  EXPECT_GE(Red(At(kept[1120], 300, 240)), 244);

  // n = 1121: the picture alone at 255 over 80 ... 559, nothing of the dive, the bands black.
  const auto& alone = kept[1121];
  for (int y : {0, 240, 478}) {
    SCOPED_TRACE("row " + std::to_string(y));
    EXPECT_EQ(At(alone, 79, y), 0);
    for (int x : {80, 300, 559}) {
      EXPECT_GE(Red(At(alone, x, y)), 244) << x;
      EXPECT_EQ(Green(At(alone, x, y)), 0) << x;
      EXPECT_EQ(Blue(At(alone, x, y)), 0) << x;
    }
    EXPECT_EQ(At(alone, 560, y), 0);
  }
  // The picture replaces what is under it, scaled by 1376 - n.
  EXPECT_NEAR(Red(At(kept[1248], 300, 240)), 252 * 128 / 255, 8);
  EXPECT_EQ(Green(At(kept[1248], 300, 240)), 0);
  EXPECT_LE(Red(At(kept[1375], 300, 240)), 8) << "alpha 1";
  const auto& last = kept[1376];
  EXPECT_EQ(std::count(last.begin(), last.end(), 0), 640 * 480) << "n = 1376: all black";
}

TEST_F(FractalSceneTest, ClosingPictureShowsTheTopRowsOfItsImageUpright) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteQuadrantCel("yellow.cel", 64, 64);
  std::map<int, std::vector<uint16_t>> kept{{1121, {}}};
  Run(kept);
  // Rows 0 ... 59 of 256 are the top of the red-green half, stretched over the screen height
  // (the first rows also take some of the texture's last row, which the sampling wraps to).
  for (int y : {20, 240, 478}) {
    SCOPED_TRACE("row " + std::to_string(y));
    EXPECT_GE(Red(At(kept[1121], 90, y)), 244);
    EXPECT_EQ(Green(At(kept[1121], 90, y)), 0);
    EXPECT_GE(Red(At(kept[1121], 315, y)), 244);
    EXPECT_GE(Green(At(kept[1121], 326, y)), 244);
    EXPECT_EQ(Red(At(kept[1121], 326, y)), 0);
    EXPECT_GE(Green(At(kept[1121], 550, y)), 244);
    EXPECT_EQ(Blue(At(kept[1121], 550, y)), 0);
  }
}

// Missing, short, garbage and misplaced files: the scene ends at its first frame without drawing
// wherever a load fails, and the exit code is the loader's stage.
TEST_F(FractalSceneTest, FailedLoadsEndTheSceneAtOnce) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    int32_t stage;
    bool plays;
  } cases[] = {
      {"no fractal.dat", [&] { Remove("fractal.dat"); }, 0, false},
      {"fractal.dat a directory", [&] {
         Remove("fractal.dat");
         std::filesystem::create_directory(dir_ / "fractal.dat");
       }, 0, false},
      {"fractal.dat empty", [&] { WriteBytes("fractal.dat", {}); }, 8, false},
      {"fractal.dat one byte short", [&] { WriteBytes("fractal.dat", std::vector<uint8_t>(20 * 16384 - 1, 7)); }, 8, false},
      {"fractal.dat of garbage, full length", [&] {
         std::vector<uint8_t> bytes(20 * 16384);
         for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
         WriteBytes("fractal.dat", bytes);
       }, 10, true},
      {"no yellow.cel", [&] { Remove("yellow.cel"); }, 10, false},
      {"yellow.cel truncated", [&] { WriteBytes("yellow.cel", std::vector<uint8_t>(900, 3)); }, 10, false},
      {"no fractal.pal", [&] { Remove("fractal.pal"); }, 10, true},
      {"fractal.pal short", [&] { WriteBytes("fractal.pal", std::vector<uint8_t>(100, 9)); }, 10, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteMarkedFrames();
    WriteUniformCel("yellow.cel", 64, 64, 0, 0, 0);
    std::error_code ignored;
    std::filesystem::remove(dir_ / "debug.log", ignored);
    c.arrange();
    FractalLoadStage = 5;
    FractalInit();
    EXPECT_EQ(FractalLoadStage, c.stage);
    const uint64_t shown = platform::FrameCount();
    if (c.plays) {
      EXPECT_EQ(FractalFrame(), 0);
      EXPECT_EQ(platform::FrameCount(), shown + 1);
    } else {
      EXPECT_EQ(FractalFrame(), 1);
      EXPECT_EQ(platform::FrameCount(), shown) << "nothing drawn or swapped";
      EXPECT_EQ(FractalFrame(), 1);
    }
    FractalDone();
    EXPECT_EQ(Log(), "start:fractal\nfractal:done\nCouldn't stop 1'st module!\nCouldn't free 1'st module!\n");
    EXPECT_EQ(MusicPlayHandle, 0u);
    EXPECT_EQ(MusicModule, nullptr);
  }
}

TEST_F(FractalSceneTest, DoneStopsAndFreesTheTunnelsMusic) {
  ::setenv("MIDAS_OUTPUT", "silent", 1);
  ::setenv("MIDAS_CONFIG", "ok", 1);
  AudioStartup(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)));
  // As the tunnel scene starts it.
  ASSERT_TRUE(MIDASopenChannels(4));
  ASSERT_TRUE(MIDASfreeAutoEffectChannels());
  char name[] = "go.s3m";
  MusicModule = MIDASloadModule(name);
  ASSERT_NE(MusicModule, nullptr);
  MusicPlayHandle = MIDASplayModule(MusicModule, TRUE);
  ASSERT_NE(MusicPlayHandle, 0u) << MIDASgetErrorMessage(MIDASgetLastError());
  FractalInit();
  for (int n = 0; n < 5; ++n) EXPECT_EQ(FractalFrame(), 0);
  const MIDASmodulePlayHandle playing = MusicPlayHandle;
  MIDASplayStatus status{};
  ASSERT_TRUE(MIDASgetPlayStatus(playing, &status)) << "the music plays through the scene";
  FractalDone();
  EXPECT_FALSE(MIDASgetPlayStatus(playing, &status)) << "and is stopped";
  EXPECT_EQ(Log(), "MIDAS: Loading samples\nMIDAS: starting\nstart:fractal\nfractal:done\n");
  EXPECT_EQ(MusicPlayHandle, 0u);
  EXPECT_EQ(MusicModule, nullptr);
  AudioShutdown();  // nothing of the music left to release
}

}  // namespace

namespace {

// The generated dive ("fractal.dat", "fractal.pal") as the scene shows it.
class FractalDiveTest : public SceneFixture {
 protected:
  static constexpr int kDiveFrames = 866;  // n = 0 ... 865, before the closing picture

  // Mean absolute difference per colour component over the zoom area (81 ... 559, 1 ... 478).
  static double Change(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    double sum = 0.0;
    for (int y = 1; y < 479; ++y) {
      for (int x = 81; x < 560; ++x) {
        const uint16_t p = At(a, x, y), q = At(b, x, y);
        sum += std::abs(Red(p) - Red(q)) + std::abs(Green(p) - Green(q)) + std::abs(Blue(p) - Blue(q));
      }
    }
    return sum / (3.0 * 479 * 478);
  }

  // One colour component of `frame` at a screen position, bilinearly between pixel centres.
  static double Sample(const std::vector<uint16_t>& frame, double x, double y, int (*component)(uint16_t)) {
    const int x0 = static_cast<int>(std::floor(x - 0.5)), y0 = static_cast<int>(std::floor(y - 0.5));
    const double fx = x - 0.5 - x0, fy = y - 0.5 - y0;
    const auto c = [&](int dx, int dy) { return static_cast<double>(component(At(frame, x0 + dx, y0 + dy))); };
    return (1 - fy) * ((1 - fx) * c(0, 0) + fx * c(1, 0)) + fy * ((1 - fx) * c(0, 1) + fx * c(1, 1));
  }

  // How far `after` (frame i + 1 nearly alone, at l = 59 of frame i) differs from `before`
  // (frame i nearly alone, at l = 1) where frame i + 1 is frame i's centre half magnified two
  // times, its texel coordinates shifted by `shift`: mean absolute difference per component over
  // the middle of the screen.
  static double SeamError(const std::vector<uint16_t>& before, const std::vector<uint16_t>& after, double shift) {
    const double w1 = 255.0 * 4 / 488;  // the window start at l = 1
    // Screen position -> texel coordinate of frame i + 1 in the next frame's square at l = 59
    // (83 ... 558 by 3 ... 478 showing s 0.5 ... 254.5, t 1 ... 255) -> frame i -> screen at l = 1.
    const auto mapX = [&](double x) {
      const double s = 0.5 + (x - 83.0) * 254.0 / 475.0;
      return 81.0 + (64.0 + s / 2.0 + shift - w1) * 479.0 / (255.0 - 2.0 * w1);
    };
    const auto mapY = [&](double y) {
      const double t = 1.0 + (y - 3.0) * 254.0 / 475.0;
      return 1.0 + (64.0 + t / 2.0 - w1) * 479.0 / (255.0 - 2.0 * w1);
    };
    double sum = 0.0;
    int count = 0;
    for (int y = 60; y < 420; y += 2) {
      for (int x = 140; x < 500; x += 2) {
        const double bx = mapX(x + 0.5), by = mapY(y + 0.5);
        const uint16_t p = At(after, x, y);
        sum += std::abs(Red(p) - Sample(before, bx, by, Red)) + std::abs(Green(p) - Sample(before, bx, by, Green)) +
               std::abs(Blue(p) - Sample(before, bx, by, Blue));
        ++count;
      }
    }
    return sum / (3.0 * count);
  }
};

// Each frame of the dive, shown nearly alone at l = 59, is what the frame before showed nearly
// alone at l = 1, magnified two times about the centre: nowhere does a frame jump, not even by
// half a texel. And the hand-over changes the picture no more than the two steps it joins (from
// l = 59 to where l = 60 would be, which is the next frame at l = 0, and from there to l = 1).
TEST_F(FractalDiveTest, ContinuesAcrossEveryHandOver) {
  FractalInit();
  std::vector<double> change(kDiveFrames, 0.0);
  std::map<int, std::vector<uint16_t>> ends;  // the frames at l = 1 and l = 59
  std::vector<uint16_t> previous;
  for (int n = 0; n < kDiveFrames; ++n) {
    ASSERT_EQ(FractalFrame(), 0);
    std::vector<uint16_t> frame = ShownFrame();
    if (n > 0) change[n] = Change(frame, previous);
    const int l = n < 60 ? n : 1 + (n - 60) % 59;
    if (l == 1 || l == 59) ends[n] = frame;
    previous = std::move(frame);
  }
  for (int first = 1; first + 58 < kDiveFrames; first = first == 1 ? 60 : first + 59) {
    const int last = first == 1 ? 59 : first + 58;
    SCOPED_TRACE("the frame shown from n = " + std::to_string(first));
    const double seam = SeamError(ends[first], ends[last], 0.0);
    EXPECT_LT(seam, SeamError(ends[first], ends[last], 1.0));
    EXPECT_LT(seam, SeamError(ends[first], ends[last], -1.0));
    EXPECT_LT(seam, 0.6 * SeamError(ends[first], ends[last], 4.0));
  }
  for (int h = 60; h + 1 < kDiveFrames; h += 59) {
    SCOPED_TRACE("hand-over at n = " + std::to_string(h));
    EXPECT_GT(change[h], 0.0);
    EXPECT_LE(change[h], change[h - 1] + change[h + 1]);
  }
}

}  // namespace
