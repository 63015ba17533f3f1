// "yellow.cel": the picture that closes the fractal scene. The scene stretches the texture's top
// 60 rows over a 480 x 480 square, eight screen rows to a texture row and about 1.9 screen columns
// to a texel, so the picture is composed at screen size and then area-averaged down into those
// rows: a warm gradient with a glow, and one short word set large.
#include "formats/Cel.h"
#include "Generator.h"
#include "kit/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace mkdata {
namespace {

constexpr int kSize = 256;         // the CEL, square
constexpr int kShownRows = 60;     // texture rows the scene shows
constexpr int kScreenSide = 480;   // what they are stretched over
constexpr const char* kWord = "DEEPER";

// The warm ground at screen position (u, v) in 0 ... 1: deep red-orange at the top through gold
// to a pale warm yellow low down, lit by a soft glow behind the word.
Rgba8 Ground(double u, double v) {
  const double glow = std::exp(-(std::pow((u - 0.5) / 0.42, 2.0) + std::pow((v - 0.52) / 0.3, 2.0)));
  const double r = 0.78 + 0.2 * v + 0.12 * glow;
  const double g = 0.28 + 0.5 * v + 0.25 * glow;
  const double b = 0.05 + 0.22 * v * v + 0.2 * glow;
  const auto to8 = [](double c) { return static_cast<uint8_t>(std::lround(255.0 * std::clamp(c, 0.0, 1.0))); };
  return {to8(r), to8(g), to8(b), 255};
}

// The whole picture at screen size.
bool ComposeScreen(Image& screen) {
  Canvas canvas(kScreenSide, kScreenSide);
  Image ground(kScreenSide, kScreenSide);
  for (int y = 0; y < kScreenSide; ++y) {
    for (int x = 0; x < kScreenSide; ++x) {
      ground.At(x, y) = Ground((x + 0.5) / kScreenSide, (y + 0.5) / kScreenSide);
    }
  }
  canvas.Paint(ground);

  auto font = Font::Load("DejaVuSans-Bold.ttf");
  if (!font) return false;
  Canvas letters(kScreenSide, kScreenSide);
  cairo_t* cr = letters.Cr();
  SetFont(cr, *font, FitTextSize(*font, kWord, 420.0));
  CentredTextPath(cr, kWord, kScreenSide / 2.0, kScreenSide * 0.52);
  cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 1.0);
  cairo_fill(cr);
  const Image mask = letters.ToImage();

  // A dark soft shadow under the letters, a bright rim, then deep red-brown letters.
  Image shadow = Blur(mask, 9.0);
  for (Rgba8& p : shadow.pixels) p = {60, 12, 0, static_cast<uint8_t>(std::min(255, p.a * 3 / 4))};
  canvas.Paint(shadow, 4.0, 8.0);
  Image rim = Blur(mask, 3.0);
  for (Rgba8& p : rim.pixels) p = {255, 244, 200, p.a};
  canvas.Paint(rim, 0.0, 0.0, 0.9);
  Image ink = mask;
  for (int y = 0; y < ink.height; ++y) {
    const double v = static_cast<double>(y) / kScreenSide;
    for (int x = 0; x < ink.width; ++x) {
      Rgba8& p = ink.At(x, y);
      p = {static_cast<uint8_t>(std::lround(150.0 - 60.0 * v)), static_cast<uint8_t>(std::lround(36.0 - 10.0 * v)), 8, p.a};
    }
  }
  canvas.Paint(ink);
  screen = canvas.ToImage();
  return true;
}

// Area average of the screen picture over each texel of the shown rows: texel (x, y) covers
// screen columns [x * 480/256, (x + 1) * 480/256) and rows [8y, 8y + 8).
Image SquashIntoShownRows(const Image& screen) {
  Image rows(kSize, kShownRows);
  constexpr double kColumns = static_cast<double>(kScreenSide) / kSize;
  constexpr int kRows = kScreenSide / kShownRows;
  for (int ty = 0; ty < kShownRows; ++ty) {
    for (int tx = 0; tx < kSize; ++tx) {
      const double x0 = tx * kColumns, x1 = (tx + 1) * kColumns;
      double sum[3] = {0.0, 0.0, 0.0}, weight = 0.0;
      for (int sx = static_cast<int>(x0); sx < kScreenSide && sx < x1; ++sx) {
        const double cover = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
        for (int sy = ty * kRows; sy < (ty + 1) * kRows; ++sy) {
          const Rgba8& p = screen.At(sx, sy);
          sum[0] += cover * p.r;
          sum[1] += cover * p.g;
          sum[2] += cover * p.b;
          weight += cover;
        }
      }
      rows.At(tx, ty) = {static_cast<uint8_t>(std::lround(sum[0] / weight)), static_cast<uint8_t>(std::lround(sum[1] / weight)),
                         static_cast<uint8_t>(std::lround(sum[2] / weight)), 255};
    }
  }
  return rows;
}

bool WriteYellow(Output& out) {
  Image screen;
  if (!ComposeScreen(screen)) return false;
  const Image shown = SquashIntoShownRows(screen);
  Image picture(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    // Below the shown rows the ground runs back up to the top row's colours, so that the last
    // row, which the scene's sampling wraps into the top screen rows, matches the first.
    for (int x = 0; x < kSize; ++x) {
      if (y < kShownRows) {
        picture.At(x, y) = shown.At(x, y);
      } else {
        const double back = static_cast<double>(kSize - 1 - y) / (kSize - 1 - kShownRows);
        picture.At(x, y) = Ground((x + 0.5) / kSize, back);
      }
    }
  }
  for (int x = 0; x < kSize; ++x) picture.At(x, kSize - 1) = shown.At(x, 0);
  QuantizeOptions options;
  options.dither = 0.5f;
  return WriteCel(out, "yellow.cel", picture, options).has_value();
}

}  // namespace

MKDATA_GENERATOR("fractal-picture", WriteYellow);

}  // namespace mkdata
