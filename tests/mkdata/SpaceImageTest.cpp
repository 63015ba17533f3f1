// The space scene's pictures as the loaders and scenes use them: square CELs; glows that are dark
// at their border (the quads they are drawn on must not show) and brightest at their centre; a
// flare ring that passes the temple's alpha test; a starfield on true black; and a white that is
// white through its palette and as indices alike.
#include "formats/Cel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace mkdata {
namespace {

const std::map<std::string, std::vector<uint8_t>>& Files() {
  static const auto files = test::RunGenerator("space");
  return files;
}

IndexedImage Cel(const std::string& name) {
  const auto& files = Files();
  const auto it = files.find(name);
  if (it == files.end()) {
    ADD_FAILURE() << name << " was not written";
    return {};
  }
  const auto cel = DecodeCel(it->second);
  if (!cel) {
    ADD_FAILURE() << name << " is not a CEL size";
    return {};
  }
  return *cel;
}

// As the glow loader and the scenes' combine see a texel: 4-bit components, alpha the brightest
// (doubled and capped at 15 under GlowDoubling); the light added is colour x alpha.
struct GlowTexel {
  int r, g, b, alpha;
  double Light() const { return std::max({r, g, b}) / 15.0 * alpha / 15.0; }
};

GlowTexel Glow(const IndexedImage& cel, int x, int y, bool doubled = false) {
  const Rgb6 c = cel.palette[cel.indices[static_cast<size_t>(y) * static_cast<size_t>(cel.width) + static_cast<size_t>(x)]];
  GlowTexel t{c.r >> 2, c.g >> 2, c.b >> 2, 0};
  t.alpha = std::max({t.r, t.g, t.b});
  if (doubled) t.alpha = std::min(2 * t.alpha, 15);
  return t;
}

// Mean light of the texels whose centres lie between radii `from` and `to` (in half sides).
double RingLight(const IndexedImage& cel, double from, double to, bool doubled = false) {
  const double half = cel.width / 2.0;
  double sum = 0.0;
  int count = 0;
  for (int y = 0; y < cel.height; ++y) {
    for (int x = 0; x < cel.width; ++x) {
      const double r = std::hypot(x + 0.5 - half, y + 0.5 - half) / half;
      if (r < from || r >= to) continue;
      sum += Glow(cel, x, y, doubled).Light();
      ++count;
    }
  }
  return count ? sum / count : 0.0;
}

TEST(SpaceImages, AreSquareCelsTheSceneLoadersAccept) {
  for (const char* name : {"space.cel", "sun.cel", "flare.cel", "glow.cel", "clouds.cel", "white.cel"}) {
    SCOPED_TRACE(name);
    const IndexedImage cel = Cel(name);
    EXPECT_EQ(cel.width, cel.height) << "the square loaders refuse the 256 x 200 screen size";
    EXPECT_TRUE(IsCelSize(cel.width, cel.height));
  }
  EXPECT_EQ(Cel("space.cel").width, 256) << "stretched over the whole screen";
  EXPECT_TRUE(Files() == test::RunGenerator("space")) << "not the same bytes on a second run";
}

TEST(SpaceImages, GlowsAreDarkAtTheirBorderAndBrightestAtTheirCentre) {
  const struct {
    const char* name;
    bool doubled;  // "glow.cel" is loaded under GlowDoubling by the space scene
  } kGlows[] = {{"sun.cel", false}, {"flare.cel", false}, {"glow.cel", true}, {"glow.cel", false}};
  for (const auto& glow : kGlows) {
    SCOPED_TRACE(std::string(glow.name) + (glow.doubled ? " doubled" : ""));
    const IndexedImage cel = Cel(glow.name);
    ASSERT_GE(cel.width, 64);
    const int n = cel.width;
    // Two texels all round: bilinear filtering at the quad's edge reads them (and wraps).
    int lit = 0;
    for (int i = 0; i < n; ++i) {
      for (int k : {0, 1, n - 2, n - 1}) lit += Glow(cel, i, k, glow.doubled).alpha > 0 || Glow(cel, k, i, glow.doubled).alpha > 0;
    }
    EXPECT_EQ(lit, 0) << "texels with alpha at the border show the square";
    // Full light in the four texels round the centre, and the light balanced about it: the quads
    // are centred on the screen.
    double centre = 0.0, brightest = 0.0, sum = 0.0, sumX = 0.0, sumY = 0.0;
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        const double light = Glow(cel, x, y, glow.doubled).Light();
        brightest = std::max(brightest, light);
        sum += light, sumX += light * (x + 0.5), sumY += light * (y + 0.5);
        if (std::abs(2 * x + 1 - n) <= 1 && std::abs(2 * y + 1 - n) <= 1) centre += light / 4.0;
      }
    }
    EXPECT_GE(centre, 0.85);
    EXPECT_DOUBLE_EQ(brightest, 1.0);
    EXPECT_NEAR(sumX / sum, n / 2.0, 0.25) << "centre of the light, texels";
    EXPECT_NEAR(sumY / sum, n / 2.0, 0.25) << "centre of the light, texels";
  }
  // The sun and the glow fade outwards all the way, the glow from its very centre (no flat disc),
  // and both still shine halfway out: a corona and a halo, not a bare disc.
  const struct {
    const char* name;
    bool doubled;
    double halfwayLight;
  } kFades[] = {{"sun.cel", false, 0.05}, {"glow.cel", true, 0.035}};
  for (const auto& fade : kFades) {
    SCOPED_TRACE(fade.name);
    const IndexedImage cel = Cel(fade.name);
    double previous = RingLight(cel, 0.0, 0.05, fade.doubled);
    for (double r = 0.05; r < 0.95; r += 0.05) {
      const double ring = RingLight(cel, r, r + 0.05, fade.doubled);
      EXPECT_LE(ring, previous + 0.01) << "ring at radius " << r;
      previous = ring;
    }
    EXPECT_GE(RingLight(cel, 0.45, 0.55, fade.doubled), fade.halfwayLight);
  }
  const IndexedImage glow = Cel("glow.cel");
  EXPECT_LT(RingLight(glow, 0.12, 0.16, true), 0.85 * RingLight(glow, 0.0, 0.04, true));
}

// The alpha the temple's alpha test sees at screen pixel (px, py) of its 48-pixel flare square
// (columns 296 ... 343 with s from 0 to 255, rows 216 ... 263 with t from 1 to 255): 4-bit alpha
// widened to 8 bits, filtered bilinearly, at full vertex alpha.
double TempleFlareAlpha(const IndexedImage& flare, int px, int py) {
  const double texelsPerUnit = flare.width / 256.0;
  const double u = (px + 0.5 - 296.0) / 47.0 * 255.0 * texelsPerUnit - 0.5;
  const double v = (1.0 + (py + 0.5 - 216.0) / 47.0 * 254.0) * texelsPerUnit - 0.5;
  const int x0 = static_cast<int>(std::floor(u)), y0 = static_cast<int>(std::floor(v));
  const double fx = u - x0, fy = v - y0;
  const auto alpha = [&](int x, int y) {
    const int n = flare.width;
    return Glow(flare, (x % n + n) % n, (y % n + n) % n).alpha * 17.0;
  };
  return (alpha(x0, y0) * (1 - fx) + alpha(x0 + 1, y0) * fx) * (1 - fy) +
         (alpha(x0, y0 + 1) * (1 - fx) + alpha(x0 + 1, y0 + 1) * fx) * fy;
}

TEST(SpaceImages, FlareRingStandsOutAndPassesTheTempleAlphaTest) {
  const IndexedImage flare = Cel("flare.cel");
  // The ring's radius: where the light of thin rings peaks outside the centre.
  double ringAt = 0.0, ringLight = 0.0;
  for (double r = 0.3; r < 0.98; r += 0.02) {
    const double light = RingLight(flare, r, r + 0.02);
    if (light > ringLight) ringLight = light, ringAt = r + 0.01;
  }
  EXPECT_GT(ringAt, 0.7) << "a ring well outside the centre";
  EXPECT_GT(ringLight, 4.0 * RingLight(flare, ringAt - 0.25, ringAt - 0.15)) << "thin: dark just inside";
  EXPECT_GT(ringLight, 4.0 * RingLight(flare, ringAt + 0.08, ringAt + 0.12)) << "thin: dark just outside";
  // In the temple only pixels with alpha above 64 are drawn: the ring must come through whole.
  std::vector<std::pair<int, int>> passing;
  for (int py = 216; py < 263; ++py) {
    for (int px = 296; px < 343; ++px) {
      if (TempleFlareAlpha(flare, px, py) > 64.0) passing.push_back({px, py});
    }
  }
  int gaps = 0;
  for (int k = 0; k < 360; ++k) {
    const double a = k * 3.14159265358979 / 180.0, radius = ringAt * 23.5;
    const double cx = 319.5 + radius * std::cos(a), cy = 239.5 + radius * std::sin(a);
    gaps += std::none_of(passing.begin(), passing.end(), [&](const std::pair<int, int>& p) {
      return std::hypot(p.first + 0.5 - cx, p.second + 0.5 - cy) <= 1.0;
    });
  }
  EXPECT_EQ(gaps, 0) << "degrees of the ring where no pixel passes";
  EXPECT_TRUE(std::any_of(passing.begin(), passing.end(), [](const std::pair<int, int>& p) {
    return std::abs(p.first - 319) <= 1 && std::abs(p.second - 239) <= 1;
  })) << "a bright centre";
}

TEST(SpaceImages, StarsOfSeveralSizesOnTrueBlack) {
  const IndexedImage space = Cel("space.cel");
  constexpr int kTexels = 256 * 256;
  ASSERT_EQ(space.indices.size(), static_cast<size_t>(kTexels));
  // As RGB565 loads it: red and blue keep five bits, green six.
  const auto at = [&](int i) { return space.palette[space.indices[static_cast<size_t>(i)]]; };
  const auto light = [&](int i) { return std::max({(at(i).r >> 1) / 31.0, at(i).g / 63.0, (at(i).b >> 1) / 31.0}); };
  int black = 0, greenOnly = 0;
  for (int i = 0; i < kTexels; ++i) {
    black += light(i) == 0.0;
    // Green keeps a bit more than red and blue: a dark colour must not turn into green specks.
    greenOnly += (at(i).r >> 1) == 0 && (at(i).b >> 1) == 0 && at(i).g > 0;
  }
  EXPECT_GT(black, kTexels * 35 / 100) << "the sky between stars and nebula is black";
  EXPECT_EQ(greenOnly, 0);
  // Stars: 4-connected groups of texels brighter than the nebula ever is, counted by size.
  std::vector<bool> seen(kTexels);
  std::vector<int> sizes;
  for (int start = 0; start < kTexels; ++start) {
    if (seen[static_cast<size_t>(start)] || light(start) < 0.3) continue;
    seen[static_cast<size_t>(start)] = true;
    std::vector<int> stack{start};
    sizes.push_back(0);
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      ++sizes.back();
      for (int j : {i % 256 > 0 ? i - 1 : -1, i % 256 < 255 ? i + 1 : -1, i - 256, i + 256}) {
        if (j < 0 || j >= kTexels || seen[static_cast<size_t>(j)] || light(j) < 0.3) continue;
        seen[static_cast<size_t>(j)] = true;
        stack.push_back(j);
      }
    }
  }
  const auto count = [&](int from, int to) {
    return std::count_if(sizes.begin(), sizes.end(), [&](int size) { return size >= from && size <= to; });
  };
  EXPECT_GE(count(1, 2), 40) << "small, crisp stars";
  EXPECT_GE(count(3, 7), 5) << "middling stars";
  EXPECT_GE(count(8, 200), 5) << "a few large bright stars";
  EXPECT_EQ(count(201, kTexels), 0) << "nothing as big as a cloud is star-bright";
}

TEST(SpaceImages, WhiteIsWhiteThroughItsPaletteAndAsIndices) {
  const IndexedImage white = Cel("white.cel");
  ASSERT_FALSE(white.indices.empty());
  for (uint8_t index : white.indices) {
    // Loaded as RGB565 every texel is 0xFFFF; loaded paletted the index picks the top of a ramp.
    EXPECT_EQ(white.palette[index], (Rgb6{63, 63, 63}));
    EXPECT_EQ(index, 255);
  }
  EXPECT_LE(white.width, 16) << "one colour needs little texture memory";
}

}  // namespace
}  // namespace mkdata
