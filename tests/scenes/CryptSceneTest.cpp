// The crypt scene through the pixels it shows, with fixture data: a quadrant "crypt.cel" (so a
// swapped corner or a wrong texture window shows), a caption sheet whose title strip, six cells
// and closing strip each have a colour of their own, and hand-made figures whose placement is
// known. The scene's figure draw count and caption state live for the whole run, as in the
// program; every test runs in a process of its own (tests/TestMain.cpp) and starts from them at
// zero.
#include "TestSupport.h"
#include "SceneFixture.h"

#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "geom/P3d.h"
#include "scenes/Scenes.h"

#include "platform/FrameClock.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr int kSceneFrames = 3505;

struct Colour {
  uint8_t r, g, b;  // 6-bit
};
// Sheet regions: the title strip, captions 0 to 5, the closing strip.
constexpr Colour kTitleColour{63, 63, 63};
constexpr Colour kCaptionColours[6] = {{63, 0, 0}, {0, 63, 0}, {0, 0, 63}, {63, 63, 0}, {0, 63, 63}, {63, 0, 63}};
constexpr Colour kClosingColour{63, 32, 0};       // columns 0..127
constexpr Colour kClosingRightColour{0, 32, 63};  // columns 128..255

// Where caption k's rectangle starts (x0, y0, x1, y1 on the screen) and how it drifts.
struct Expected {
  int x0, y0, x1, y1, vx, vy;
};
constexpr Expected kExpected[6] = {
    {320 - 128 - 150, 240 - 40 - 100, 320 + 128 - 150, 240 + 39 - 100, 1, 0},
    {320 - 128 + 100, 240 - 40 + 100, 320 + 128 + 100, 240 + 39 + 100, 0, -1},
    {320 - 128 - 190, 240 - 40 + 100, 320 + 127 - 190, 240 + 39 + 100, 1, 0},
    {320 - 128 + 100, 240 - 40 - 100, 320 + 127 + 100, 240 + 39 - 100, 0, 1},
    {320 - 128, 240 - 40 + 150, 320 + 127, 240 + 39 + 150, 0, -1},
    {320 - 128 + 160, 240 - 40, 320 + 127 + 160, 240 + 39, -1, 0},
};

class CryptSceneTest : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    WriteQuadrantCel("crypt.cel", 256, 200);
    WriteSheet("rebuilt.cel");
    WriteUniformCel("lit.cel", 16, 16, 255, 255, 255);
    WriteUniformCel("tred.cel", 16, 16, 255, 0, 0);
    WriteUniformCel("tgrn.cel", 16, 16, 0, 255, 0);
    WriteEmptyFigure();
  }

  // A figure without faces. The data files are links into the shared data directory: a fixture
  // replaces the link, never writes through it.
  void WriteEmptyFigure() {
    Remove("vexol.p3d");
    std::ofstream(dir_ / "vexol.p3d") << "0\n0\n0\n";
  }

  // The caption sheet: row 0 black, the title strip in rows 1..40, the six cells, the closing
  // strip in rows 161..199 (two colours, left and right half); palette entry 0 black.
  void WriteSheet(const std::string& name) {
    Remove(name);
    std::vector<uint8_t> bytes(800 + 256 * 200, 0);
    auto entry = [&](int index, Colour c) {
      bytes[32 + 3 * index] = c.r;
      bytes[32 + 3 * index + 1] = c.g;
      bytes[32 + 3 * index + 2] = c.b;
    };
    entry(1, kTitleColour);
    for (int k = 0; k < 6; ++k) entry(2 + k, kCaptionColours[k]);
    entry(8, kClosingColour);
    entry(9, kClosingRightColour);
    for (int y = 1; y < 200; ++y) {
      for (int x = 0; x < 256; ++x) {
        const bool right = x >= 128;
        uint8_t index = 0;
        if (y <= 40) index = 1;
        else if (y <= 80) index = right ? 2 : 3;     // caption 0 right, caption 1 left
        else if (y <= 120) index = right ? 5 : 4;    // caption 2 left, caption 3 right
        else if (y <= 160) index = right ? 7 : 6;    // caption 4 left, caption 5 right
        else index = right ? 9 : 8;
        bytes[800 + static_cast<size_t>(y) * 256 + x] = index;
      }
    }
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }

  // Writes a figure whose faces, once the scene has turned it for frame F (a multiple of 144, so
  // that the turn about the vertical axis is whole circles), lie at the given view-space
  // triangles. Each triangle: three corners (x, y, z), and its texture index.
  struct Triangle {
    std::array<Vertex4, 3> corners;
    int texture;
  };
  void WriteFigureAt(const std::vector<std::string>& textures, const std::vector<Triangle>& triangles) {
    // Undo the 45-degree tilt, then the loader's scale of 1.1 and its axis mapping
    // (x = 2sa, y = -2sc, z = 2sb).
    std::vector<Vertex4> view;
    for (const Triangle& t : triangles)
      for (const Vertex4& c : t.corners) view.push_back(c);
    std::vector<Vertex4> object(view.size());
    LoadMatrix(MakeRotationX(-45.0f));
    TransformPoints(object.data(), view.data(), static_cast<uint32_t>(view.size()));
    std::ostringstream text;
    text << std::setprecision(9) << textures.size() << '\n';
    for (const std::string& name : textures) text << name << '\n';
    text << object.size() << '\n';
    for (const Vertex4& p : object) text << p.x / 2.2f << ' ' << p.z / 2.2f << ' ' << -p.y / 2.2f << '\n';
    text << triangles.size() << '\n';
    for (size_t i = 0; i < triangles.size(); ++i) {
      text << triangles[i].texture;
      for (int c = 0; c < 3; ++c) text << ' ' << 3 * i + c << " 0.5 0.5";
      text << '\n';
    }
    Remove("vexol.p3d");
    std::ofstream(dir_ / "vexol.p3d") << text.str();
  }

  // A white cube of half-size h about the origin, every face in both windings, so that it shows
  // the same from any side.
  void WriteCube(float h) {
    const float k = h / 2.2f;
    std::ostringstream text;
    text << "1\nlit.cel\n8\n";
    for (int i = 0; i < 8; ++i) text << (i & 1 ? k : -k) << ' ' << (i & 2 ? k : -k) << ' ' << (i & 4 ? k : -k) << '\n';
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    text << 24 << '\n';
    for (const auto& q : quads) {
      for (const auto& tri : {std::array<int, 3>{q[0], q[1], q[2]}, std::array<int, 3>{q[0], q[2], q[3]},
                              std::array<int, 3>{q[2], q[1], q[0]}, std::array<int, 3>{q[3], q[2], q[0]}}) {
        text << 0;
        for (int v : tri) text << ' ' << v << " 0.5 0.5";
        text << '\n';
      }
    }
    Remove("vexol.p3d");
    std::ofstream(dir_ / "vexol.p3d") << text.str();
  }

  // Small cubes of half-size h about figure-space points (the loader's space, before the scene
  // turns the figure), each face in both windings so that it shows from any side, each cube in
  // its own texture.
  void WriteMarkers(const std::vector<std::string>& textures, const std::vector<Vertex4>& centres, float h) {
    std::ostringstream text;
    text << std::setprecision(9) << textures.size() << '\n';
    for (const std::string& name : textures) text << name << '\n';
    text << 8 * centres.size() << '\n';
    // Figure (x, y, z) = 2.2 (a, -c, b).
    for (const Vertex4& c : centres) {
      for (int i = 0; i < 8; ++i) {
        const float x = c.x + (i & 1 ? h : -h), y = c.y + (i & 2 ? h : -h), z = c.z + (i & 4 ? h : -h);
        text << x / 2.2f << ' ' << z / 2.2f << ' ' << -y / 2.2f << '\n';
      }
    }
    const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    text << 24 * centres.size() << '\n';
    for (size_t m = 0; m < centres.size(); ++m) {
      for (const auto& q : quads) {
        for (const auto& tri : {std::array<int, 3>{q[0], q[1], q[2]}, std::array<int, 3>{q[0], q[2], q[3]},
                                std::array<int, 3>{q[2], q[1], q[0]}, std::array<int, 3>{q[3], q[2], q[0]}}) {
          text << m;
          for (int v : tri) text << ' ' << 8 * m + v << " 0.5 0.5";
          text << '\n';
        }
      }
    }
    Remove("vexol.p3d");
    std::ofstream(dir_ / "vexol.p3d") << text.str();
  }

  // Runs frames until the frame counter has shown `last` (the calls after init show F = 0, 1,
  // ...), keeping the frames asked for. Returns the F whose call reported the end, or -1.
  int RunTo(int& next, int last, std::map<int, std::vector<uint16_t>>& kept) {
    for (; next <= last; ++next) {
      const int32_t over = CryptFrame();
      if (kept.count(next)) kept[next] = ShownFrame();
      if (over) return next++;
    }
    return -1;
  }
  static std::map<int, std::vector<uint16_t>> Keep(std::initializer_list<int> frames) {
    std::map<int, std::vector<uint16_t>> kept;
    for (int f : frames) kept[f] = {};
    return kept;
  }
};

// The picture at a pixel: texture x alpha, blended by alpha over black.
int Faded(int full, int alpha) { return full * alpha / 255 * alpha / 255; }
// Any light at all (components summed, past the dither).
bool Lit(uint16_t p) { return ((p >> 11) & 31) + ((p >> 5) & 63) / 2 + (p & 31) > 3; }
bool IsBlack(const std::vector<uint16_t>& frame) {
  for (uint16_t p : frame)
    if (p != 0) return false;
  return true;
}

TEST_F(CryptSceneTest, PictureFadesInHoldsAndFadesOutOverTheMiddle) {
  CryptInit();
  EXPECT_EQ(Log(), "start:crypt\nCouldn't open channels!\nCouldn't load ohyea.mod !\n")
      << "the sound library is not running here";
  auto kept = Keep({0, 128, 255, 400, 512, 640, 767, 768});
  int next = 0;
  RunTo(next, 768, kept);

  // Upright over x 80..559, the whole height: red top-left, green top-right, blue bottom-left,
  // white bottom-right.
  const auto& full = kept[400];
  EXPECT_GE(Red(At(full, 84, 5)), 248);
  EXPECT_EQ(Green(At(full, 84, 5)), 0);
  EXPECT_GE(Green(At(full, 555, 5)), 248);
  EXPECT_EQ(Red(At(full, 555, 5)), 0);
  EXPECT_GE(Blue(At(full, 84, 474)), 248);
  EXPECT_EQ(Red(At(full, 84, 474)), 0);
  EXPECT_GE(Red(At(full, 555, 474)), 248);
  EXPECT_GE(Blue(At(full, 555, 474)), 248);
  for (int y : {0, 240, 478}) {
    EXPECT_TRUE(Lit(At(full, 80, y))) << y;
    EXPECT_TRUE(Lit(At(full, 559, y))) << y;
    EXPECT_EQ(At(full, 79, y), 0) << y;
    EXPECT_EQ(At(full, 560, y), 0) << y;
  }
  EXPECT_TRUE(Lit(At(full, 320, 0)));
  EXPECT_TRUE(Lit(At(full, 320, 478)));
  EXPECT_EQ(At(full, 320, 479), 0) << "the bottom edge at y 479";
  // The quadrants meet in the middle of the picture: image row 100 of rows 1..199 over 479 rows.
  EXPECT_GE(Red(At(full, 300, 230)), 248);
  EXPECT_GE(Blue(At(full, 300, 250)), 248);
  EXPECT_EQ(Blue(At(full, 300, 230)), 0);

  EXPECT_TRUE(IsBlack(kept[0])) << "F = 0: alpha 0";
  EXPECT_NEAR(Red(At(kept[128], 100, 100)), Faded(255, 128), 10);
  EXPECT_GE(Red(At(kept[255], 100, 100)), 248) << "full at 255";
  EXPECT_GE(Red(At(kept[512], 100, 100)), 248) << "held until 512";
  EXPECT_NEAR(Red(At(kept[640], 100, 100)), Faded(255, 128), 10) << "768 - F";
  EXPECT_LE(Red(At(kept[767], 100, 100)), 2) << "alpha 1 at the last picture frame";
  EXPECT_TRUE(IsBlack(kept[768])) << "the title strip starts at alpha 1";
}

TEST_F(CryptSceneTest, TitleStripCaptionsAndClosingStripFollowTheirTimetable) {
  std::set<int> frames = {768, 900, 1022, 1279, 1280, 2816, 2900, 2992, 2993, 3120, 3247, 3503, 3504};
  for (int k = 0; k < 6; ++k)
    for (int j : {0, 1, 64, 127, 200, 255}) frames.insert(1280 + 256 * k + j);
  std::map<int, std::vector<uint16_t>> kept;
  for (int f : frames) kept[f] = {};
  CryptInit();
  int next = 0;
  ASSERT_EQ(RunTo(next, kSceneFrames + 5, kept), kSceneFrames - 1) << "frames 0 to 3504";
  EXPECT_EQ(CryptFrame(), 1);

  // The title strip: x 64..574, rows 200..278, from alpha 1 at 768 to 255 at 1022 and 0 at 1279.
  const auto& title = kept[1022];
  EXPECT_GE(Green(At(title, 68, 204)), 248);
  EXPECT_GE(Red(At(title, 570, 274)), 248);
  EXPECT_GE(Blue(At(title, 320, 240)), 248);
  for (auto [x, y] : {std::pair{64, 240}, std::pair{574, 240}, std::pair{320, 200}, std::pair{320, 278}})
    EXPECT_TRUE(Lit(At(title, x, y))) << x << ',' << y;
  EXPECT_EQ(At(title, 63, 240), 0);
  EXPECT_EQ(At(title, 575, 240), 0);
  EXPECT_EQ(At(title, 320, 199), 0);
  EXPECT_EQ(At(title, 320, 279), 0);
  EXPECT_NEAR(Green(At(kept[900], 320, 240)), Faded(255, 133), 10);
  EXPECT_TRUE(IsBlack(kept[1279]));

  for (int k = 0; k < 6; ++k) {
    const int start = 1280 + 256 * k;
    const Expected& e = kExpected[k];
    EXPECT_TRUE(IsBlack(kept[start])) << "caption " << k << " set up at alpha 0";
    EXPECT_NEAR(Red(At(kept[start + 64], (e.x0 + e.x1) / 2 + 65 * e.vx, (e.y0 + e.y1) / 2 + 65 * e.vy)),
                Faded(kCaptionColours[k].r ? 255 : 0, 128), 10)
        << "caption " << k << " at alpha 128";
    // Alpha 254, moved 128 pixels.
    const auto& shown = kept[start + 127];
    const int x0 = e.x0 + 128 * e.vx, x1 = e.x1 + 128 * e.vx;
    const int y0 = e.y0 + 128 * e.vy, y1 = e.y1 + 128 * e.vy;
    const uint16_t middle = At(shown, (x0 + x1) / 2, (y0 + y1) / 2);
    EXPECT_EQ(Red(middle) > 200, kCaptionColours[k].r > 0) << "caption " << k;
    EXPECT_EQ(Green(middle) > 200, kCaptionColours[k].g > 0) << "caption " << k;
    EXPECT_EQ(Blue(middle) > 200, kCaptionColours[k].b > 0) << "caption " << k;
    const int ym = (y0 + y1) / 2, xm = (x0 + x1) / 2;
    EXPECT_TRUE(Lit(At(shown, x0, ym))) << "caption " << k << " left column";
    EXPECT_FALSE(Lit(At(shown, x0 - 1, ym))) << "caption " << k;
    EXPECT_TRUE(Lit(At(shown, x1 - 1, ym))) << "caption " << k << " right column";
    EXPECT_FALSE(Lit(At(shown, x1, ym))) << "caption " << k;
    EXPECT_TRUE(Lit(At(shown, xm, y0))) << "caption " << k << " top row";
    EXPECT_FALSE(Lit(At(shown, xm, y0 - 1))) << "caption " << k;
    EXPECT_TRUE(Lit(At(shown, xm, y1 - 1))) << "caption " << k << " bottom row";
    EXPECT_FALSE(Lit(At(shown, xm, y1))) << "caption " << k;
    // Alpha 2 x 200 = 400 is on the way out: 111.
    EXPECT_NEAR(Red(At(kept[start + 200], (e.x0 + e.x1) / 2 + 201 * e.vx, (e.y0 + e.y1) / 2 + 201 * e.vy)),
                Faded(kCaptionColours[k].r ? 255 : 0, 111), 10)
        << "caption " << k;
    EXPECT_TRUE(IsBlack(kept[start + 255])) << "caption " << k << " at alpha 0 again";
  }

  EXPECT_TRUE(IsBlack(kept[2816])) << "the closing strip is set up but not drawn";
  EXPECT_TRUE(IsBlack(kept[2900]));
  EXPECT_TRUE(IsBlack(kept[2992]));
  EXPECT_LE(Red(At(kept[2993], 320, 240)), 2) << "the closing strip at alpha 1";
  // The closing strip, over the full sheet width, not moved: x 64..574, rows 200..278.
  const auto& closing = kept[3247];
  for (auto [x, y] : {std::pair{68, 204}, std::pair{310, 204}, std::pair{68, 274}, std::pair{310, 274}}) {
    EXPECT_GE(Red(At(closing, x, y)), 248) << x << ',' << y;
    EXPECT_NEAR(Green(At(closing, x, y)), 130, 20) << x << ',' << y;
    EXPECT_EQ(Blue(At(closing, x, y)), 0) << x << ',' << y;
  }
  for (auto [x, y] : {std::pair{330, 204}, std::pair{570, 204}, std::pair{330, 274}, std::pair{570, 274}}) {
    EXPECT_GE(Blue(At(closing, x, y)), 248) << x << ',' << y;
    EXPECT_EQ(Red(At(closing, x, y)), 0) << x << ',' << y;
  }
  EXPECT_EQ(At(closing, 63, 240), 0);
  EXPECT_EQ(At(closing, 575, 240), 0);
  EXPECT_EQ(At(closing, 320, 199), 0);
  EXPECT_EQ(At(closing, 320, 279), 0);
  EXPECT_NEAR(Red(At(kept[3120], 200, 240)), Faded(255, 128), 10);
  EXPECT_TRUE(IsBlack(kept[3503]));
  EXPECT_TRUE(IsBlack(kept[3504]));
}

TEST_F(CryptSceneTest, FigureFadesInOverItsFirstDrawsAndOutBeforeTheClosingStrip) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteCube(40.0f);
  auto kept = Keep({1024, 1025, 1100, 1279, 1280, 1700, 2737, 2738, 2900, 2992, 2993, 3100});
  CryptInit();
  int next = 0;
  RunTo(next, 3100, kept);
  // (320, 340) lies inside the cube from every side and outside the title strip and the
  // captions at these frames; (220, 240) where no caption is.
  EXPECT_EQ(At(kept[1024], 320, 340), 0) << "no figure before 1025";
  EXPECT_EQ(At(kept[1025], 320, 340), 0) << "first draw at alpha 0";
  EXPECT_NEAR(Red(At(kept[1100], 320, 340)), 75, 6) << "76th draw";
  EXPECT_NEAR(Red(At(kept[1279], 320, 340)), 254, 10);
  EXPECT_GE(Red(At(kept[1280], 320, 340)), 249);
  EXPECT_GE(Red(At(kept[1700], 220, 240)), 249);
  EXPECT_GE(Red(At(kept[2737], 320, 340)), 249) << "held until 2737";
  EXPECT_NEAR(Red(At(kept[2738], 320, 340)), 254, 10);
  EXPECT_NEAR(Red(At(kept[2900], 320, 340)), 92, 6);
  EXPECT_EQ(At(kept[2992], 320, 340), 0) << "alpha 0 at 2992";
  EXPECT_EQ(At(kept[2993], 320, 340), 0) << "not drawn after 2992";
  EXPECT_EQ(At(kept[3100], 320, 340), 0);
  EXPECT_GE(Red(At(kept[3100], 320, 240)), 20) << "only the closing strip";
}

TEST_F(CryptSceneTest, TitleStripIsDrawnOverTheFigure) {
  WriteCube(40.0f);
  auto kept = Keep({1150});
  CryptInit();
  int next = 0;
  RunTo(next, 1150, kept);
  // Title alpha 255 - (1150 - 767 - 256) = 128 over the figure at alpha 125.
  const uint16_t p = At(kept[1150], 320, 240);
  EXPECT_NEAR(Red(p), 255 * 128 / 255 * 128 / 255 + 125 * 127 / 255, 8);
}

TEST_F(CryptSceneTest, FacesNearTheEyeAreSkippedWholeAndTheFirstOfTwoCoincidentFacesWins) {
  // At F = 1152 the figure's turn is 8 whole circles. A square left of the centre in red, then
  // the same square in green; a triangle right of the centre with one corner 1.5 units in front
  // of the eye, and one below with a corner 0.5 units in front of it.
  auto square = [](int texture) {
    return std::vector<Triangle>{
        {{Vertex4{-60, -20, 0, 1}, Vertex4{-60, 20, 0, 1}, Vertex4{-20, 20, 0, 1}}, texture},
        {{Vertex4{-60, -20, 0, 1}, Vertex4{-20, 20, 0, 1}, Vertex4{-20, -20, 0, 1}}, texture},
    };
  };
  std::vector<Triangle> faces = square(0);
  for (const Triangle& t : square(1)) faces.push_back(t);
  faces.push_back({{Vertex4{20, -20, 0, 1}, Vertex4{20, 20, 0, 1}, Vertex4{0.4f, 0.1f, -198.5f, 1}}, 2});
  faces.push_back({{Vertex4{-20, 40, 0, 1}, Vertex4{-20, 60, 0, 1}, Vertex4{0.1f, 0.4f, -199.5f, 1}}, 2});
  WriteFigureAt({"tred.cel", "tgrn.cel", "lit.cel"}, faces);
  auto kept = Keep({1152});
  CryptInit();
  int next = 0;
  RunTo(next, 1152, kept);
  const auto& shown = kept[1152];
  // The square at 200 units: x 128..255, rows 176..303 (the title strip, at alpha 126, lies
  // over rows 200..279). The figure's alpha is 127 (its 128th draw).
  EXPECT_NEAR(Red(At(shown, 190, 180)), 127, 6) << "the red square, drawn first";
  EXPECT_EQ(Green(At(shown, 190, 180)), 0) << "the green copy fails the strict depth test";
  EXPECT_GT(Red(At(shown, 129, 180)), 100);
  EXPECT_EQ(At(shown, 126, 180), 0);
  EXPECT_GT(Red(At(shown, 254, 180)), 100);
  EXPECT_EQ(At(shown, 258, 180), 0);
  // The triangle 1.5 units in front of the eye: (384, 176), (384, 304), (490, 282).
  EXPECT_NEAR(Red(At(shown, 420, 290)), 127, 6) << "drawn";
  // The one 0.5 units in front of the eye would cover (256, 368), (256, 432), (448, 752).
  EXPECT_EQ(At(shown, 260, 380), 0) << "skipped whole";
}

// The figure turns by 2.5 F degrees about the vertical axis (+z towards +x), then tilts by 45
// degrees (+y towards +z): at F = 1332 the turn is a quarter beyond whole circles. A red cube in
// front of the figure's centre (+z) has turned to its right; a green one above the centre (+y)
// has tilted towards the back. Turning the other way, tilting first or tilting the other way
// would put them elsewhere.
TEST_F(CryptSceneTest, FigureTurnsAboutTheVerticalAxisThenTiltsForward) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  WriteMarkers({"tred.cel", "tgrn.cel"}, {{0, 0, 40, 1}, {0, 40, 0, 1}}, 4.0f);
  auto kept = Keep({1332});
  CryptInit();
  int next = 0;
  RunTo(next, 1332, kept);
  const auto& shown = kept[1332];
  // The red cube at (40, 0, 0), 200 units from the eye: (320 + 640 x 40 / 200, 240).
  EXPECT_GE(Red(At(shown, 448, 240)), 240);
  EXPECT_EQ(Green(At(shown, 448, 240)), 0);
  // The green cube at (0, 40 cos 45, 40 sin 45): (320, 240 + 640 x 28.28 / 228.28).
  EXPECT_GE(Green(At(shown, 320, 319)), 240);
  EXPECT_EQ(Red(At(shown, 320, 319)), 0);
  EXPECT_EQ(Red(At(shown, 192, 240)), 0) << "where turning the other way would put the red cube";
  EXPECT_EQ(Red(At(shown, 410, 150)), 0) << "where tilting first would put it";
  EXPECT_EQ(Green(At(shown, 320, 345)), 0) << "where tilting backwards would put the green cube";
}

// The board's bilinear filter along one axis at texture coordinate c (texels centred at i + 0.5):
// half a texel subtracted, the fraction cut to sixteenths.
double Filtered(double c, const std::function<double(int)>& texel) {
  const double p = c - 0.5;
  const int i = static_cast<int>(std::floor(p));
  const double u = std::floor((p - i) * 16.0) / 16.0;
  return texel(i) * (1.0 - u) + texel(i + 1) * u;
}

// Each caption shows texel columns s0 ... s0 + 127 and rows t0 + 1 ... t0 + 40 of its cell: in a
// sheet whose cells mark their first and last columns (green full and none) and their first and
// last rows (blue none and full), the caption's edge pixels show those marks, filtered with the
// texels just inside, and not the neighbours' one texel further out or in.
TEST_F(CryptSceneTest, EachCaptionShowsItsCellsTexelsAndNoneOfItsNeighbours) {
  SKIP_LONG_REPLAY_UNDER_SANITIZERS();
  // A cell's first column or row none, its last full, between them 68 (a level of the glow
  // texture's four bits). Red full everywhere, so that the glow texture's alpha (its brightest
  // component) stays full.
  auto mark = [](int position) { return position == 0 ? 0 : position == 39 || position == 127 ? 2 : 1; };
  const double kLevels[3] = {0.0, 68.0, 255.0};
  auto green = [&](int x) { return kLevels[mark(x & 127)]; };
  auto blue = [&](int y) { return kLevels[mark(((y - 1) % 40 + 40) % 40)]; };  // cells of 40 rows from row 1
  std::vector<std::array<uint8_t, 3>> palette;
  for (int g = 0; g < 3; ++g)
    for (int b = 0; b < 3; ++b) palette.push_back({255, static_cast<uint8_t>(kLevels[g]), static_cast<uint8_t>(kLevels[b])});
  WriteCel("rebuilt.cel", 256, 200, palette,
           [&](int x, int y) { return static_cast<uint8_t>(3 * mark(x & 127) + mark(((y - 1) % 40 + 40) % 40)); });
  std::map<int, std::vector<uint16_t>> kept;
  for (int k = 0; k < 6; ++k) kept[1280 + 256 * k + 127] = {};
  CryptInit();
  int next = 0;
  RunTo(next, 1280 + 256 * 5 + 127, kept);
  const double a = 254.0 / 255.0;  // alpha 254, through the combine and the blend
  for (int k = 0; k < 6; ++k) {
    const Expected& e = kExpected[k];
    const auto& shown = kept[1280 + 256 * k + 127];
    const int x0 = e.x0 + 128 * e.vx, x1 = e.x1 + 128 * e.vx, y0 = e.y0 + 128 * e.vy, y1 = e.y1 + 128 * e.vy;
    const int s0 = (k == 0 || k == 3 || k == 5) ? 128 : 0, t0 = k < 2 ? 40 : k < 4 ? 80 : 120;
    const int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
    // The texture coordinate at a pixel centre of the quad spanning [from, to] with [c0, c1].
    auto at = [](int pixel, int from, int to, double c0, double c1) {
      return c0 + (pixel + 0.5 - from) * (c1 - c0) / (to - from);
    };
    for (const int shift : {0, -1, 1}) {
      const double sLeft = at(x0, x0, x1, s0 + shift, s0 + 127 + shift), sRight = at(x1 - 1, x0, x1, s0 + shift, s0 + 127 + shift);
      const double tTop = at(y0, y0, y1, t0 + 1 + shift, t0 + 40 + shift), tBottom = at(y1 - 1, y0, y1, t0 + 1 + shift, t0 + 40 + shift);
      const double want[4] = {a * a * Filtered(sLeft, green), a * a * Filtered(sRight, green),
                              a * a * Filtered(tTop, blue), a * a * Filtered(tBottom, blue)};
      const int got[4] = {Green(At(shown, x0, ym)), Green(At(shown, x1 - 1, ym)), Blue(At(shown, xm, y0)),
                          Blue(At(shown, xm, y1 - 1))};
      const char* edge[4] = {"left column", "right column", "top row", "bottom row"};
      for (int i = 0; i < 4; ++i) {
        if (shift == 0) {
          EXPECT_NEAR(got[i], want[i], 12.0) << "caption " << k << ", " << edge[i];
        } else {
          EXPECT_GT(std::abs(got[i] - want[i]), 20.0) << "caption " << k << ", " << edge[i] << " one texel "
                                                     << (shift < 0 ? "out" : "in") << " would look the same";
        }
      }
    }
  }
}

TEST_F(CryptSceneTest, SkippingByEnterKeepsTheDrawCountAndTheCaptionState) {
  WriteCube(20.0f);
  auto kept = Keep({1400});
  CryptInit();
  int next = 0;
  RunTo(next, 1400, kept);
  const auto firstPass = kept[1400];
  CryptDone();
  // The second pass: the figure goes on at full alpha from its first frame (its 377th draw), and
  // caption 0 goes on drifting from where it was without being set up again.
  auto again = Keep({1025, 1400});
  CryptInit();
  next = 0;
  RunTo(next, 1400, again);
  EXPECT_GE(Red(At(again[1025], 320, 290)), 249) << "full alpha";
  // The first pass at 1400: caption 0 (red, alpha 240) over x 163..418, rows 100..178. In the
  // second, init has put the caption quad back on the title strip, and caption 0's drift and
  // fade carry on with it without a new set-up: the white strip, 121 pixels to the right, at
  // alpha 240.
  EXPECT_NEAR(Red(At(firstPass, 200, 105)), Faded(255, 240), 10);
  EXPECT_EQ(At(firstPass, 600, 240), 0);
  EXPECT_EQ(At(again[1400], 200, 105), 0);
  EXPECT_NEAR(Green(At(again[1400], 600, 240)), Faded(255, 240), 10);
  EXPECT_NEAR(Blue(At(again[1400], 600, 240)), Faded(255, 240), 10);
}

TEST_F(CryptSceneTest, DoneStopsAndFreesTheModuleAndLogsRefusals) {
  CryptInit();
  EXPECT_EQ(CryptFrame(), 0);
  CryptDone();
  EXPECT_EQ(Log(), "start:crypt\nCouldn't open channels!\nCouldn't load ohyea.mod !\n"
                   "Couldn't stop 2'nd module!\nCouldn't free 2'nd module!\n");
  EXPECT_EQ(MusicModule, nullptr);
  EXPECT_EQ(MusicPlayHandle, 0u);
}

// With the sound library running (silent output): the real "ohyea.mod" loops from init to done.
class CryptMusicTest : public CryptSceneTest {
 protected:
  void SetUp() override {
    CryptSceneTest::SetUp();
    ::setenv("MIDAS_OUTPUT", "silent", 1);
    ::setenv("MIDAS_CONFIG", "ok", 1);
    AudioStartup(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)));
    ResetDebugLog();
  }
  void TearDown() override {
    AudioShutdown();
    for (MIDASsample& sample : AudioSamples) sample = 0;
    CryptSceneTest::TearDown();
  }
};

TEST_F(CryptMusicTest, TheModuleLoopsFromInitToDone) {
  CryptInit();
  EXPECT_EQ(Log(), "start:crypt\n");
  EXPECT_NE(MusicModule, nullptr);
  EXPECT_NE(MusicPlayHandle, 0u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(CryptFrame(), 0);
  CryptDone();
  EXPECT_EQ(Log(), "start:crypt\n");
  EXPECT_EQ(MusicModule, nullptr);
  EXPECT_EQ(MusicPlayHandle, 0u);
}

TEST_F(CryptMusicTest, AFigureThatFailsStillStartsTheMusicWhichDoneStops) {
  Remove("vexol.p3d");
  std::ofstream(dir_ / "vexol.p3d") << "1\nlit.cel\n3\n0 0";
  CryptInit();
  EXPECT_NE(MusicPlayHandle, 0u);
  const uint64_t shown = platform::FrameCount();
  EXPECT_EQ(CryptFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), shown) << "nothing drawn or swapped";
  CryptDone();
  EXPECT_EQ(Log(), "start:crypt\n");
  EXPECT_EQ(MusicPlayHandle, 0u);
}

TEST_F(CryptMusicTest, AnUnreadableModuleLeavesTheSceneSilent) {
  for (const char* content : {"", "garbage, not a module at all"}) {
    Remove("ohyea.mod");
    std::ofstream(dir_ / "ohyea.mod") << content;
    ResetDebugLog();
    CryptInit();
    EXPECT_EQ(Log(), "start:crypt\nCouldn't load ohyea.mod !\n");
    EXPECT_EQ(CryptFrame(), 0) << "the scene runs silent";
    CryptDone();
  }
}

// Broken files: a name, the file replaced, and what it holds instead (null: the file is gone).
struct BrokenFile {
  const char* label;
  const char* name;
  const char* content;
};
std::string Label(const ::testing::TestParamInfo<BrokenFile>& info) { return info.param.label; }
void PrintTo(const BrokenFile& file, std::ostream* out) { *out << file.name << ' ' << file.label; }

void Replace(const std::filesystem::path& dir, const BrokenFile& file) {
  std::filesystem::remove(dir / file.name);
  if (file.content != nullptr) std::ofstream(dir / file.name, std::ios::binary) << file.content;
}

// Broken images end the scene before the quads, the state, the figure and the music.
class CryptBrokenImageTest : public CryptSceneTest, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(CryptBrokenImageTest, EndsTheSceneAtOnceWithoutMusic) {
  Replace(dir_, GetParam());
  CryptInit();
  EXPECT_EQ(Log(), "start:crypt\n");
  const uint64_t shown = platform::FrameCount();
  EXPECT_EQ(CryptFrame(), 1);
  EXPECT_EQ(CryptFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), shown) << "nothing drawn or swapped";
}

INSTANTIATE_TEST_SUITE_P(EachImage, CryptBrokenImageTest,
                         ::testing::Values(BrokenFile{"MissingPicture", "crypt.cel", nullptr},
                                           BrokenFile{"TruncatedPicture", "crypt.cel", "truncated header"},
                                           BrokenFile{"MissingSheet", "rebuilt.cel", nullptr},
                                           BrokenFile{"GarbageSheet", "rebuilt.cel", "garbage garbage garbage garbage"}),
                         Label);

// A broken figure ends the scene at its first frame, after the music was tried.
class CryptBrokenFigureTest : public CryptSceneTest, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(CryptBrokenFigureTest, EndsTheSceneAfterTryingTheMusic) {
  Replace(dir_, GetParam());
  CryptInit();
  EXPECT_EQ(Log(), "start:crypt\nCouldn't open channels!\nCouldn't load ohyea.mod !\n");
  EXPECT_EQ(ObjectScale, 1.0f) << "the scale is put back after the failed load";
  const uint64_t shown = platform::FrameCount();
  EXPECT_EQ(CryptFrame(), 1);
  EXPECT_EQ(platform::FrameCount(), shown);
}

INSTANTIATE_TEST_SUITE_P(EachFault, CryptBrokenFigureTest,
                         ::testing::Values(BrokenFile{"Missing", "vexol.p3d", nullptr},
                                           BrokenFile{"Truncated", "vexol.p3d", "1\nlit.cel\n3\n0 0"},
                                           BrokenFile{"Garbage", "vexol.p3d", "\x01\x02garbage\xff"},
                                           BrokenFile{"MissingTexture", "vexol.p3d", "1\nnot-there.cel\n0\n0\n"}),
                         Label);

}  // namespace
