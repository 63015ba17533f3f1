// The cartoon's sprites put together as the scene's quads place them: each check maps a screen
// point through a layer's quad back to its texel, so a layer drawn in the wrong place (a head
// floating over the collar, an arm that misses the shoulder, a finger beside the button, hi-fi
// halves that do not meet) fails here before anyone looks at a frame.
#include "formats/Cel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>

namespace {

using mkdata::IndexedImage;

constexpr uint8_t kClear = 255;

const std::map<std::string, IndexedImage>& Sprites() {
  static const std::map<std::string, IndexedImage> sprites = [] {
    std::map<std::string, IndexedImage> decoded;
    for (const auto& [name, bytes] : mkdata::test::RunGenerator("cartoon")) {
      auto image = mkdata::DecodeCel(bytes);
      if (image) decoded[name] = *image;
    }
    return decoded;
  }();
  return sprites;
}

// A quad placing texel (0, 0) at screen (x0, y0) and (255, rows) at (x1, y1), from t0 down.
struct Placed {
  double x0, y0, x1, y1;
  double t0 = 0.0, rows = 199.0;
};

// The texel under screen point (x, y), or none outside the image.
std::optional<uint8_t> Under(const IndexedImage& image, const Placed& quad, double x, double y) {
  const double u = (x - quad.x0) * 255.0 / (quad.x1 - quad.x0);
  const double v = quad.t0 + (y - quad.y0) * quad.rows / (quad.y1 - quad.y0);
  if (u < 0.0 || v < 0.0 || u >= 256.0 || v >= 200.0) return std::nullopt;
  return image.indices[static_cast<size_t>(v) * 256 + static_cast<size_t>(u)];
}

// The texel under (x, y) of the square (-128, -128)-(127, 127) turned by `angle` about (cx, cy).
std::optional<uint8_t> UnderTurned(const IndexedImage& image, double cx, double cy, double angle, double x, double y) {
  const double dx = x - cx, dy = y - cy;
  const double local_x = dx * std::cos(angle) + dy * std::sin(angle);
  const double local_y = -dx * std::sin(angle) + dy * std::cos(angle);
  return Under(image, {-128.0, -128.0, 127.0, 127.0}, local_x, local_y);
}

bool Opaque(std::optional<uint8_t> index) { return index && *index != kClear; }

const Placed kFace{192.0, 0.0, 447.0, 255.0};
const Placed kBody{166.4, 206.4, 473.6, 513.6};
const Placed kPyjamaArm{92.0, 52.0, 347.0, 307.0};
const Placed kHandAtButton{452.0, 200.0, 579.0, 327.0};
const Placed kHifiTop{64.0, 140.0, 575.0, 339.0, 0.0, 99.0};
const Placed kHifiBottom{64.0, 140.0, 575.0, 339.0, 100.0, 99.0};

TEST(CartoonImagesTest, ElevenSoftSpritesWithTransparentSurroundings) {
  const char* names[] = {"arm.cel", "arm2.cel", "face.cel",  "face0.cel", "face2.cel", "hand.cel",
                         "hifi.cel", "pillow.cel", "shirt.cel", "suit.cel", "text.cel"};
  ASSERT_EQ(Sprites().size(), 11u);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Sprites().count(name));
    const IndexedImage& image = Sprites().at(name);
    EXPECT_EQ(image.width, 256);
    EXPECT_EQ(image.height, 200);
    size_t clear = 0;
    for (uint8_t index : image.indices) clear += index == kClear;
    EXPECT_GT(clear, image.indices.size() / 10) << "the layers behind must show";
    EXPECT_LT(clear, image.indices.size() * 95 / 100) << "there is something to see";
    // The image's corner is transparent: nothing is cut by the quad's edge there.
    EXPECT_EQ(image.indices[0], kClear);
  }
}

TEST(CartoonImagesTest, EveryHeadSitsOnTheCollarAndTurnsAboutItsNeck) {
  for (const char* face : {"face0.cel", "face.cel", "face2.cel"}) {
    SCOPED_TRACE(face);
    const IndexedImage& image = Sprites().at(face);
    // The neck passes through the turning centre (320, 240) and ends above the quad's edge.
    EXPECT_TRUE(Opaque(Under(image, kFace, 320.0, 240.0)));
    EXPECT_FALSE(Opaque(Under(image, kFace, 320.0, 254.0)));
    // The head is centred on the neck: its widest row reaches as far left as right.
    int left = 320, right = 320;
    for (int x = 192; x < 447; ++x) {
      if (Opaque(Under(image, kFace, x, 130.0))) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    EXPECT_NEAR(320 - left, right - 320, 8);
  }
  for (const char* body : {"shirt.cel", "suit.cel"}) {
    SCOPED_TRACE(body);
    const IndexedImage& image = Sprites().at(body);
    // The collar wraps the neck's end; above it, where the head is, the body stays clear.
    EXPECT_TRUE(Opaque(Under(image, kBody, 320.0, 248.0)));
    EXPECT_TRUE(Opaque(Under(image, kBody, 290.0, 240.0)));
    EXPECT_FALSE(Opaque(Under(image, kBody, 320.0, 220.0)));
  }
}

TEST(CartoonImagesTest, ArmsReachUnderTheShouldersThroughTheWholeSway) {
  const IndexedImage& shirt = Sprites().at("shirt.cel");
  const IndexedImage& suit = Sprites().at("suit.cel");
  const IndexedImage& pyjamaArm = Sprites().at("arm.cel");
  const IndexedImage& suitArm = Sprites().at("arm2.cel");
  // Points just inside the shoulder: the arm runs under the body there, so no gap opens.
  const double shoulder[][2] = {{228.0, 280.0}, {236.0, 292.0}, {224.0, 300.0}};
  for (const auto& p : shoulder) {
    EXPECT_TRUE(Opaque(Under(shirt, kBody, p[0], p[1]))) << p[0] << ", " << p[1];
    EXPECT_TRUE(Opaque(Under(suit, kBody, p[0], p[1]))) << p[0] << ", " << p[1];
    EXPECT_TRUE(Opaque(Under(pyjamaArm, kPyjamaArm, p[0], p[1]))) << p[0] << ", " << p[1];
    // The suit arm swings between -1 and -0.8 radians about (220, 220).
    for (double angle : {-1.0, -0.9, -0.8})
      EXPECT_TRUE(Opaque(UnderTurned(suitArm, 220.0, 220.0, angle, p[0], p[1]))) << angle;
  }
  // The arms stay clear of the head between them.
  EXPECT_FALSE(Opaque(Under(pyjamaArm, kPyjamaArm, 250.0, 130.0)));
  EXPECT_FALSE(Opaque(UnderTurned(suitArm, 220.0, 220.0, -0.8, 250.0, 130.0)));
}

TEST(CartoonImagesTest, TheFingertipLandsOnTheHifiButtonWhereTheHalvesMeet) {
  const IndexedImage& hifi = Sprites().at("hifi.cel");
  const IndexedImage& hand = Sprites().at("hand.cel");
  // The power button: red, in the picture's right half that stays after the wipe.
  const auto button = Under(hifi, kHifiTop, 460.0, 313.0);
  ASSERT_TRUE(Opaque(button));
  const auto& red = hifi.palette[*button];
  EXPECT_GT(red.r, 40);
  EXPECT_LT(red.g, 25);
  // The hand at the end of its slide covers the button's top, not the button's bottom.
  EXPECT_TRUE(Opaque(Under(hand, kHandAtButton, 462.0, 303.0)));
  EXPECT_FALSE(Opaque(Under(hand, kHandAtButton, 458.0, 317.0)));
  // At the join x = 320 both halves are the same picture: the lower rows' left half and the
  // upper rows' right half show the same texel colours on either side of the middle.
  int rows = 0, same = 0;
  for (double y = 154.0; y < 326.0; y += 2.0) {
    const auto left = Under(hifi, kHifiBottom, 318.0, y), right = Under(hifi, kHifiTop, 318.0, y);
    EXPECT_TRUE(Opaque(Under(hifi, kHifiBottom, 319.0, y))) << y;
    EXPECT_TRUE(Opaque(Under(hifi, kHifiTop, 321.0, y))) << y;
    ++rows;
    same += left && right && hifi.palette[*left] == hifi.palette[*right];
  }
  EXPECT_GT(same, rows * 9 / 10);
  // The rows where the halves meet in the texture stay clear, so filtering adds nothing at the
  // band's top and bottom.
  for (int s = 0; s < 256; ++s)
    for (int t : {0, 1, 98, 99, 100, 101, 198, 199}) EXPECT_EQ(hifi.indices[static_cast<size_t>(t) * 256 + s], kClear) << s << ", " << t;
  // Before the wipe the upper rows show the halves apart: a gap left of the middle.
  EXPECT_FALSE(Opaque(Under(hifi, kHifiTop, 296.0, 240.0)));
}

TEST(CartoonImagesTest, WordsStayInsideTheirCells) {
  const IndexedImage& text = Sprites().at("text.cel");
  for (int cell = 0; cell < 10; ++cell) {
    const int s0 = cell % 2 * 128, t0 = cell / 2 * 40;
    int inside = 0, border = 0;
    for (int t = 0; t < 40; ++t)
      for (int s = 0; s < 128; ++s) {
        const bool opaque = text.indices[static_cast<size_t>(t0 + t) * 256 + s0 + s] != kClear;
        inside += opaque;
        border += opaque && (s < 2 || s > 125 || t < 2 || t > 37);
      }
    EXPECT_GT(inside, 128 * 40 / 5) << "cell " << cell;
    EXPECT_EQ(border, 0) << "cell " << cell << " reaches its neighbours";
  }
}

}  // namespace
