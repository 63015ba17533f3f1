// The drawing kit: cut-out shapes on a cairo context, each filled with a flat colour and outlined
// in ink, round-capped limbs, ink lines, and the ink rim that lets a soft-edged sprite fade
// through its outline.
#pragma once

#include <cairo.h>

#include <initializer_list>

#include "kit/Image.h"
#include "kit/Procedural.h"

namespace mkdata {

struct Point {
  double x, y;
};

// An outline: its colour and its width in the context's units.
struct Ink {
  Rgb colour;
  double width;
};

void SetColour(cairo_t* cr, Rgb c);

// Fills the current path; the path is consumed.
void Fill(cairo_t* cr, Rgb fill);
// Fills the current path and outlines it in `ink` with round joins; the path is consumed.
void FillOutlined(cairo_t* cr, Rgb fill, const Ink& ink);
// Strokes the current path in `ink` with round caps and joins (mouths, eyelids, seams).
void InkLine(cairo_t* cr, const Ink& ink);

// Paths, each a new sub-path of the current path.
void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry);
void RoundedRect(cairo_t* cr, double x0, double y0, double x1, double y1, double r);
void Polyline(cairo_t* cr, std::initializer_list<Point> points);

// A round-capped stroke of `width` along the points in `fill`, outlined in `ink`: a limb.
void Limb(cairo_t* cr, std::initializer_list<Point> points, double width, Rgb fill, const Ink& ink);

// The picture with every transparent pixel within `radius` of an opaque one (alpha at least
// `opaque`) painted in `ink`: a sprite whose loader fades the outermost `radius` texels of a
// silhouette then fades through its outline, never through the colours inside it. Pixels only
// grow from their own band of `bandRows` rows and leave that band's first and last two rows
// clear (bands are separate pictures, and bilinear filtering reads across their meeting rows).
Image InkRim(const Image& picture, int bandRows, Rgba8 ink, int radius, int opaque);

}  // namespace mkdata
