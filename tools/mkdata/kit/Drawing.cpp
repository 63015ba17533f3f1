#include "kit/Drawing.h"

#include <algorithm>
#include <numbers>

namespace mkdata {

namespace {
constexpr double kPi = std::numbers::pi;
}  // namespace

void SetColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void Fill(cairo_t* cr, Rgb fill) {
  SetColour(cr, fill);
  cairo_fill(cr);
}

void FillOutlined(cairo_t* cr, Rgb fill, const Ink& ink) {
  SetColour(cr, fill);
  cairo_fill_preserve(cr);
  SetColour(cr, ink.colour);
  cairo_set_line_width(cr, ink.width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void InkLine(cairo_t* cr, const Ink& ink) {
  SetColour(cr, ink.colour);
  cairo_set_line_width(cr, ink.width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * kPi);
  cairo_restore(cr);
}

void RoundedRect(cairo_t* cr, double x0, double y0, double x1, double y1, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x1 - r, y0 + r, r, -kPi / 2.0, 0.0);
  cairo_arc(cr, x1 - r, y1 - r, r, 0.0, kPi / 2.0);
  cairo_arc(cr, x0 + r, y1 - r, r, kPi / 2.0, kPi);
  cairo_arc(cr, x0 + r, y0 + r, r, kPi, 1.5 * kPi);
  cairo_close_path(cr);
}

void Polyline(cairo_t* cr, std::initializer_list<Point> points) {
  bool first = true;
  for (const Point& p : points) {
    if (first) {
      cairo_move_to(cr, p.x, p.y);
    } else {
      cairo_line_to(cr, p.x, p.y);
    }
    first = false;
  }
}

void Limb(cairo_t* cr, std::initializer_list<Point> points, double width, Rgb fill, const Ink& ink) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  Polyline(cr, points);
  SetColour(cr, ink.colour);
  cairo_set_line_width(cr, width + 2.0 * ink.width);
  cairo_stroke_preserve(cr);
  SetColour(cr, fill);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

Image InkRim(const Image& picture, int bandRows, Rgba8 ink, int radius, int opaque) {
  Image rimmed = picture;
  const int r = radius;
  for (int y = 0; y < picture.height; ++y) {
    const int bandTop = y / bandRows * bandRows;
    if (y < bandTop + 2 || y >= bandTop + bandRows - 2) continue;
    for (int x = 0; x < picture.width; ++x) {
      if (picture.At(x, y).a >= opaque) continue;
      bool near = false;
      for (int dy = -r; dy <= r && !near; ++dy) {
        const int ny = y + dy;
        if (ny < bandTop || ny >= std::min(bandTop + bandRows, picture.height)) continue;
        for (int dx = -r; dx <= r && !near; ++dx) {
          const int nx = x + dx;
          near = nx >= 0 && nx < picture.width && dx * dx + dy * dy <= r * r + 1 && picture.At(nx, ny).a >= opaque;
        }
      }
      if (near) rimmed.At(x, y) = ink;
    }
  }
  return rimmed;
}

}  // namespace mkdata
