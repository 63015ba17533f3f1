// "title.cel" and "green.cel": the title scene's three text lines and the green backdrop that
// closes it (the space scene lays the whole backdrop over the screen as a green overlay).
#include "formats/Cel.h"
#include "Generator.h"
#include "kit/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace mkdata {
namespace {

struct TitleLine {
  const char* text;
  const char* font;
  double widthPx;   // ink width the line is set to, of the 256 columns
  double heightPx;  // at most this tall, of the band's 60 rows
};

// The bands the scene shows, rows 0..59, 64..123 and 128..187.
constexpr double kBandTop[3] = {0.0, 64.0, 128.0};
constexpr double kBandRows = 60.0;
// How far from a band's edge its light fades in: the letters keep clear of this margin.
constexpr float kFadeRows = 10.0f;
constexpr float kFadeColumns = 8.0f;
constexpr TitleLine kLines[3] = {
    {"KELDRIN", "DejaVuSans-Bold.ttf", 228.0, 38.0},
    {"a real-time presentation", "DejaVuSansCondensed-Bold.ttf", 232.0, 30.0},
    {"in ten scenes", "DejaVuSansCondensed-Bold.ttf", 200.0, 34.0},
};

// Letters only, white, on a transparent canvas, each line centred in its band.
bool DrawTitleText(Canvas& canvas, double grow) {
  cairo_t* cr = canvas.Cr();
  for (int i = 0; i < 3; ++i) {
    const TitleLine& line = kLines[i];
    auto font = Font::Load(line.font);
    if (!font) return false;
    double size = FitTextSize(*font, line.text, line.widthPx);
    SetFont(cr, *font, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, line.text, &extents);
    if (extents.height > line.heightPx) {
      size *= line.heightPx / extents.height;
      SetFont(cr, *font, size);
    }
    cairo_new_path(cr);
    CentredTextPath(cr, line.text, 128.0, kBandTop[i] + kBandRows / 2.0);
    cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 1.0);
    if (grow > 0.0) {
      cairo_set_line_width(cr, grow);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_stroke_preserve(cr);
    }
    cairo_fill(cr);
  }
  return true;
}

// Tints a white-on-transparent picture: cyan at the top of each band to violet at its bottom.
Image TintGlow(const Image& mask, double strength) {
  Image glow(mask.width, mask.height, {0, 0, 0, 0});
  for (int y = 0; y < mask.height; ++y) {
    const double inBand = std::fmod(static_cast<double>(y), 64.0) / kBandRows;
    const double r = 0.25 + 0.55 * inBand, g = 0.85 - 0.6 * inBand, b = 1.0;
    for (int x = 0; x < mask.width; ++x) {
      const double a = mask.At(x, y).a / 255.0 * strength;
      glow.At(x, y) = {static_cast<uint8_t>(std::lround(255.0 * r)), static_cast<uint8_t>(std::lround(255.0 * g)),
                       static_cast<uint8_t>(std::lround(255.0 * b)),
                       static_cast<uint8_t>(std::lround(255.0 * std::fmin(a, 1.0)))};
    }
  }
  return glow;
}

bool WriteTitle(Output& out) {
  Canvas letters(kScreenWidth, kScreenHeight);
  Canvas halo(kScreenWidth, kScreenHeight);
  if (!DrawTitleText(letters, 0.0) || !DrawTitleText(halo, 2.0)) return false;

  // Black ground, a soft cyan-violet halo that dies away inside the band, a tighter brighter one,
  // then warm white letters.
  Canvas title(Image(kScreenWidth, kScreenHeight, {0, 0, 0, 255}));
  const Image haloMask = halo.ToImage();
  title.Paint(TintGlow(Blur(haloMask, 3.5), 1.4), 0, 0, 1.0, CAIRO_OPERATOR_ADD);
  title.Paint(TintGlow(Blur(haloMask, 2.0), 1.2), 0, 0, 0.9, CAIRO_OPERATOR_ADD);
  Image warm = letters.ToImage();
  for (Rgba8& p : warm.pixels) p = {255, 244, 214, p.a};
  title.Paint(warm);

  Image picture = title.ToImage();
  // The scene shows each band alone, so every halo fades to black inside its own band (its first
  // and last rows and columns are black) instead of being cut off at the band's edge; the rows
  // between the bands stay black.
  for (int y = 0; y < picture.height; ++y) {
    const int inBand = y % 64;
    const float rowFade = inBand < kBandRows ? EdgeFade(static_cast<float>(std::min(inBand, 59 - inBand)), kFadeRows) : 0.0f;
    for (int x = 0; x < picture.width; ++x) {
      float fade = rowFade * EdgeFade(static_cast<float>(std::min(x, picture.width - 1 - x)), kFadeColumns);
      fade *= fade;  // a long faint tail: the display's gamma lifts the last steps
      Rgba8& p = picture.At(x, y);
      p = {static_cast<uint8_t>(std::lround(p.r * fade)), static_cast<uint8_t>(std::lround(p.g * fade)),
           static_cast<uint8_t>(std::lround(p.b * fade)), 255};
    }
  }
  // Black pixels become entry 0, which stays black: the loader shows entry 0 in the rows past the
  // image, and the top band's window, filtered, reaches into them.
  for (Rgba8& p : picture.pixels) p.a = (p.r | p.g | p.b) < 4 ? 0 : 255;
  QuantizeOptions options;
  options.reserve = Reserve::kKeyBlack0;
  options.dither = 0.6f;
  return WriteCel(out, "title.cel", picture, options).has_value();
}

// A calm aurora: soft green curtains over a misty gradient. Rows 0..59 are what closes the
// title; the rest continues the same sky downwards for the full-screen overlay.
bool WriteGreen(Output& out) {
  constexpr int kSize = 256;
  Image sky(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    // Rows 0..59 hold the whole aurora that closes the title; below them the same sky goes on
    // (one continuous function of the row), with a fainter second curtain for the overlay.
    const double v = y / 59.0;
    for (int x = 0; x < kSize; ++x) {
      const double u = x / 255.0;
      const double curtain = 0.5 + 0.5 * std::sin(u * 9.0 + std::sin(u * 3.1 + v * 2.0) * 2.2);
      const double folds = 0.5 + 0.5 * std::sin(u * 31.0 + curtain * 4.0);
      const double band = std::exp(-std::pow((v - 0.45 - 0.15 * std::sin(u * 5.0)) / 0.28, 2.0)) +
                          0.45 * std::exp(-std::pow((v - 2.6 - 0.3 * std::sin(u * 4.0 + 1.0)) / 0.9, 2.0));
      const double light = band * (0.55 * curtain + 0.25 * folds * curtain) + 0.12 * std::exp(-0.8 * v) + 0.05;
      const double r = 0.05 + 0.25 * light * light;
      const double g = 0.10 + 0.85 * light;
      const double b = 0.08 + 0.35 * light;
      sky.At(x, y) = {static_cast<uint8_t>(std::lround(255.0 * std::fmin(r, 1.0))),
                      static_cast<uint8_t>(std::lround(255.0 * std::fmin(g, 1.0))),
                      static_cast<uint8_t>(std::lround(255.0 * std::fmin(b, 1.0))), 255};
    }
  }
  return WriteCel(out, "green.cel", sky).has_value();
}

bool WriteTitleImages(Output& out) { return WriteTitle(out) && WriteGreen(out); }

}  // namespace

MKDATA_GENERATOR("title", WriteTitleImages);

}  // namespace mkdata
