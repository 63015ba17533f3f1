// The cartoon's soft sprites: a cut-out character (three faces, pyjama shirt and arms, a pillow,
// a suit with dancing arms), a hand pressing a button, a hi-fi tower, and ten flying words. All
// 256 x 200 with index 255 transparent (the loader softens the edges).
//
// Every layer is drawn in screen coordinates of the assembled frame: each canvas gets the
// transformation from the screen to its texels that the scene's quad undoes, so the head sits on
// the collar, the arms reach under the shoulders and the fingertip lands on the hi-fi's button
// whatever each layer's own stretch. The quads (texel (0, 0) and (255, 199) on the screen):
//   pillow (192, 12)-(447, 267); pyjama arm (92, 52)-(347, 307), mirrored about x 320 for the
//   right one; shirt and suit (166.4, 206.4)-(473.6, 513.6); faces (192, 0)-(447, 255), turned
//   about the neck at (320, 240); suit arm: the square (-128, -128)-(127, 127) turned by about
//   -0.9 radians about (220, 220), mirrored for the right one; hand (452, 200)-(579, 327) where its
//   slide ends; hi-fi: two 256 x 100 halves at twice the texel size on (64, 140)-(575, 339).
#include "formats/Cel.h"
#include "Generator.h"
#include "kit/Image.h"
#include "kit/Drawing.h"
#include "kit/Quantize.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

namespace mkdata {
namespace {

constexpr double kPi = 3.14159265358979323846;

using Colour = Rgb;

// The palette of the whole cast: one ink for every outline, and each material in a flat tone
// with one shade.
constexpr Colour kInk{0.11, 0.07, 0.18};
constexpr Colour kSkin{0.98, 0.78, 0.60};
constexpr Colour kSkinShade{0.87, 0.58, 0.44};
constexpr Colour kBlush{0.97, 0.55, 0.55};
constexpr Colour kHair{0.80, 0.36, 0.12};
constexpr Colour kHairShade{0.58, 0.22, 0.08};
constexpr Colour kWhite{1.0, 0.98, 0.94};
constexpr Colour kPillowShade{0.72, 0.80, 0.96};
constexpr Colour kPyjama{0.55, 0.80, 0.98};
constexpr Colour kPyjamaShade{0.36, 0.58, 0.88};
constexpr Colour kPyjamaStripe{0.20, 0.36, 0.78};
constexpr Colour kNightcap{0.33, 0.42, 0.90};
constexpr Colour kSuit{0.52, 0.16, 0.72};
constexpr Colour kSuitShade{0.36, 0.08, 0.52};
constexpr Colour kTie{0.95, 0.20, 0.25};
constexpr Colour kGold{1.0, 0.80, 0.15};
constexpr Colour kGlass{0.08, 0.06, 0.14};
constexpr Colour kGlassShine{0.55, 0.85, 1.0};
constexpr Colour kCase{0.23, 0.24, 0.34};
constexpr Colour kPanel{0.62, 0.66, 0.80};
constexpr Colour kPanelShade{0.44, 0.47, 0.62};
constexpr Colour kWood{0.62, 0.34, 0.16};
constexpr Colour kWoodShade{0.45, 0.22, 0.10};
constexpr Colour kDisplay{0.30, 0.95, 1.0};
constexpr Colour kRed{0.98, 0.18, 0.22};

constexpr double kOutline = 4.5;  // screen pixels, the same for every layer
constexpr Ink kLine{kInk, kOutline};
// The ink at another width (small features).
constexpr Ink Line(double width) { return {kInk, width}; }

// A layer whose texel corners (0, 0) and (255, rows) lie at screen (x0, y0) and (x1, y1).
void PlaceOnScreen(cairo_t* cr, double x0, double y0, double x1, double y1, double rows = 199.0) {
  cairo_scale(cr, 255.0 / (x1 - x0), rows / (y1 - y0));
  cairo_translate(cr, -x0, -y0);
}

// A layer whose square (-128, -128)-(127, 127) is turned by `angle` about screen (cx, cy).
void TurnOnScreen(cairo_t* cr, double cx, double cy, double angle) {
  cairo_scale(cr, 1.0, 199.0 / 255.0);
  cairo_translate(cr, 128.0, 128.0);
  cairo_rotate(cr, -angle);
  cairo_translate(cr, -cx, -cy);
}

constexpr int kOpaque = 128;      // the quantiser's threshold: alpha below it becomes index 255
constexpr int kSoftEdgeTexels = 3; // the loader fades the outermost three texels of a silhouette

bool WriteSprite(Output& out, const std::string& name, const Canvas& canvas, int bandRows = kScreenHeight) {
  QuantizeOptions options;
  options.reserve = Reserve::kTransparent255;
  options.alphaThreshold = kOpaque;
  options.dither = 0.0f;  // flat colours stay flat
  // The loader fades a silhouette's outermost texels: widened in ink, the edge fades through the
  // outline and never through the colours inside it.
  const Rgba8 ink{static_cast<uint8_t>(255.0 * kInk.r), static_cast<uint8_t>(255.0 * kInk.g),
                  static_cast<uint8_t>(255.0 * kInk.b), 255};
  return WriteCel(out, name, InkRim(canvas.ToImage(), bandRows, ink, kSoftEdgeTexels, kOpaque), options).has_value();
}

// ---- The head ---------------------------------------------------------------------------------
// Head centre (320, 128), neck down to the collar; the neck's pivot (320, 240) is the quad's
// rotation centre.

constexpr Point kHead{320.0, 130.0};
constexpr double kHeadRx = 78.0;
constexpr double kHeadRy = 84.0;

void DrawNeckAndEars(cairo_t* cr) {
  // The neck ends in a rounded tip hidden in the collar's V.
  cairo_move_to(cr, 300.0, 190.0);
  cairo_line_to(cr, 300.0, 234.0);
  cairo_curve_to(cr, 300.0, 250.0, 340.0, 250.0, 340.0, 234.0);
  cairo_line_to(cr, 340.0, 190.0);
  cairo_close_path(cr);
  FillOutlined(cr, kSkinShade, kLine);
  for (double side : {-1.0, 1.0}) {
    Ellipse(cr, kHead.x + side * (kHeadRx - 2.0), kHead.y + 12.0, 15.0, 20.0);
    FillOutlined(cr, kSkin, kLine);
    Ellipse(cr, kHead.x + side * (kHeadRx + 1.0), kHead.y + 13.0, 6.0, 10.0);
    Fill(cr, kSkinShade);
  }
}

// The head shape with its one shade (the lower right), outlined.
void DrawHeadShape(cairo_t* cr) {
  Ellipse(cr, kHead.x, kHead.y, kHeadRx, kHeadRy);
  Fill(cr, kSkinShade);
  cairo_save(cr);
  Ellipse(cr, kHead.x, kHead.y, kHeadRx, kHeadRy);
  cairo_clip(cr);
  Ellipse(cr, kHead.x - 10.0, kHead.y - 9.0, kHeadRx, kHeadRy);
  Fill(cr, kSkin);
  cairo_restore(cr);
  Ellipse(cr, kHead.x, kHead.y, kHeadRx, kHeadRy);
  SetColour(cr, kInk);
  cairo_set_line_width(cr, kOutline);
  cairo_stroke(cr);
}

void DrawNose(cairo_t* cr) {
  Ellipse(cr, kHead.x + 2.0, kHead.y + 22.0, 13.0, 11.0);
  FillOutlined(cr, kSkinShade, Line(3.5));
  Ellipse(cr, kHead.x - 3.0, kHead.y + 18.0, 4.0, 3.0);
  Fill(cr, kWhite);
}

void DrawCheeks(cairo_t* cr) {
  for (double side : {-1.0, 1.0}) {
    Ellipse(cr, kHead.x + side * 46.0, kHead.y + 36.0, 13.0, 8.0);
    Fill(cr, kBlush);
  }
}

// Hair standing on end over a jagged fringe, drawn over the top of the head.
void DrawMessyHair(cairo_t* cr) {
  const double outline[][2] = {{-80, -8},   {-94, -48},  {-76, -62},  {-100, -94}, {-58, -96}, {-62, -134},
                               {-22, -106}, {0, -146},   {18, -108},  {54, -132},  {50, -96},  {94, -98},
                               {76, -64},   {98, -46},   {80, -10},   {66, -40},   {50, -46},  {40, -56},
                               {24, -44},   {8, -58},    {-8, -44},   {-24, -58},  {-40, -46}, {-54, -56},
                               {-66, -40}};
  cairo_new_path(cr);
  for (const auto& p : outline) cairo_line_to(cr, kHead.x + p[0], kHead.y + p[1]);
  cairo_close_path(cr);
  FillOutlined(cr, kHair, kLine);
  // One shade: the locks on the right.
  cairo_move_to(cr, kHead.x + 18.0, kHead.y - 100.0);
  cairo_line_to(cr, kHead.x + 46.0, kHead.y - 92.0);
  cairo_line_to(cr, kHead.x + 72.0, kHead.y - 62.0);
  cairo_line_to(cr, kHead.x + 66.0, kHead.y - 46.0);
  cairo_line_to(cr, kHead.x + 50.0, kHead.y - 60.0);
  cairo_close_path(cr);
  Fill(cr, kHairShade);
}

// "face0.cel": asleep under a nightcap, eyes shut, mouth open, a few Zs floating up.
bool WriteSleepyFace(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 192.0, 0.0, 447.0, 255.0);
  DrawNeckAndEars(cr);
  DrawHeadShape(cr);
  DrawCheeks(cr);
  // Closed eyes: two drooping arcs with lashes.
  for (double side : {-1.0, 1.0}) {
    const double ex = kHead.x + side * 30.0, ey = kHead.y + 2.0;
    cairo_new_path(cr);
    cairo_arc(cr, ex, ey - 6.0, 15.0, 0.2 * kPi, 0.8 * kPi);
    InkLine(cr, Line(4.5));
    Polyline(cr, {{ex - 6.0, ey + 8.0}, {ex - 9.0, ey + 14.0}});
    InkLine(cr, Line(3.0));
    Polyline(cr, {{ex + 6.0, ey + 8.0}, {ex + 9.0, ey + 14.0}});
    InkLine(cr, Line(3.0));
  }
  DrawNose(cr);
  // A small round snoring mouth.
  Ellipse(cr, kHead.x + 4.0, kHead.y + 52.0, 9.0, 11.0);
  FillOutlined(cr, {0.55, 0.12, 0.20}, Line(3.5));
  // The nightcap: a floppy cone from the crown to a bobble hanging on the right.
  cairo_move_to(cr, kHead.x - 82.0, kHead.y - 26.0);
  cairo_curve_to(cr, kHead.x - 70.0, kHead.y - 110.0, kHead.x + 40.0, kHead.y - 140.0, kHead.x + 98.0, kHead.y - 100.0);
  cairo_curve_to(cr, kHead.x + 116.0, kHead.y - 86.0, kHead.x + 112.0, kHead.y - 60.0, kHead.x + 104.0, kHead.y - 44.0);
  cairo_curve_to(cr, kHead.x + 96.0, kHead.y - 72.0, kHead.x + 70.0, kHead.y - 70.0, kHead.x + 82.0, kHead.y - 26.0);
  cairo_close_path(cr);
  FillOutlined(cr, kNightcap, kLine);
  cairo_move_to(cr, kHead.x - 30.0, kHead.y - 96.0);
  cairo_curve_to(cr, kHead.x + 10.0, kHead.y - 120.0, kHead.x + 60.0, kHead.y - 120.0, kHead.x + 94.0, kHead.y - 96.0);
  cairo_curve_to(cr, kHead.x + 60.0, kHead.y - 104.0, kHead.x + 10.0, kHead.y - 104.0, kHead.x - 30.0, kHead.y - 96.0);
  Fill(cr, {0.22, 0.28, 0.70});
  // Its white brim and bobble.
  cairo_move_to(cr, kHead.x - 86.0, kHead.y - 18.0);
  cairo_curve_to(cr, kHead.x - 60.0, kHead.y - 44.0, kHead.x + 60.0, kHead.y - 44.0, kHead.x + 86.0, kHead.y - 18.0);
  cairo_line_to(cr, kHead.x + 84.0, kHead.y - 38.0);
  cairo_curve_to(cr, kHead.x + 60.0, kHead.y - 64.0, kHead.x - 60.0, kHead.y - 64.0, kHead.x - 84.0, kHead.y - 38.0);
  cairo_close_path(cr);
  FillOutlined(cr, kWhite, kLine);
  Ellipse(cr, kHead.x + 106.0, kHead.y - 38.0, 14.0, 14.0);
  FillOutlined(cr, kWhite, kLine);
  // Zs drifting up on the left.
  auto font = Font::Load("DejaVuSans-Bold.ttf");
  if (!font) return false;
  const double zs[][3] = {{224.0, 74.0, 34.0}, {204.0, 40.0, 26.0}, {226.0, 14.0, 19.0}};
  for (const auto& z : zs) {
    SetFont(cr, *font, z[2]);
    cairo_new_path(cr);
    CentredTextPath(cr, "Z", z[0], z[1]);
    FillOutlined(cr, kWhite, Line(3.0));
  }
  return WriteSprite(out, "face0.cel", canvas);
}

// "face.cel": waking up, eyes wide open, hair on end, a surprised little mouth.
bool WriteWakingFace(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 192.0, 0.0, 447.0, 255.0);
  DrawNeckAndEars(cr);
  DrawHeadShape(cr);
  DrawMessyHair(cr);
  DrawCheeks(cr);
  for (double side : {-1.0, 1.0}) {
    const double ex = kHead.x + side * 30.0, ey = kHead.y - 4.0;
    Ellipse(cr, ex, ey, 17.0, 21.0);
    FillOutlined(cr, kWhite, Line(4.0));
    Ellipse(cr, ex + 3.0 * side, ey + 3.0, 8.0, 10.0);
    Fill(cr, kInk);
    Ellipse(cr, ex + 1.0 * side, ey - 1.0, 3.0, 3.0);
    Fill(cr, kWhite);
    // Raised brows.
    cairo_new_path(cr);
    cairo_arc(cr, ex, ey - 18.0, 18.0, 1.2 * kPi, 1.8 * kPi);
    InkLine(cr, Line(5.0));
  }
  DrawNose(cr);
  Ellipse(cr, kHead.x + 2.0, kHead.y + 54.0, 11.0, 13.0);
  FillOutlined(cr, {0.55, 0.12, 0.20}, Line(3.5));
  Ellipse(cr, kHead.x + 2.0, kHead.y + 60.0, 6.0, 4.0);
  Fill(cr, kBlush);
  return WriteSprite(out, "face.cel", canvas);
}

// "face2.cel": cool in sunglasses with a quiff and a wide grin.
bool WriteCoolFace(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 192.0, 0.0, 447.0, 255.0);
  DrawNeckAndEars(cr);
  DrawHeadShape(cr);
  // A slick quiff swept up and over to the right.
  cairo_move_to(cr, kHead.x - 76.0, kHead.y - 14.0);
  cairo_curve_to(cr, kHead.x - 86.0, kHead.y - 80.0, kHead.x - 40.0, kHead.y - 126.0, kHead.x + 30.0, kHead.y - 122.0);
  cairo_curve_to(cr, kHead.x + 84.0, kHead.y - 118.0, kHead.x + 104.0, kHead.y - 84.0, kHead.x + 92.0, kHead.y - 62.0);
  cairo_curve_to(cr, kHead.x + 84.0, kHead.y - 80.0, kHead.x + 66.0, kHead.y - 84.0, kHead.x + 60.0, kHead.y - 80.0);
  cairo_curve_to(cr, kHead.x + 76.0, kHead.y - 60.0, kHead.x + 78.0, kHead.y - 40.0, kHead.x + 76.0, kHead.y - 18.0);
  cairo_curve_to(cr, kHead.x + 40.0, kHead.y - 66.0, kHead.x - 30.0, kHead.y - 70.0, kHead.x - 76.0, kHead.y - 14.0);
  cairo_close_path(cr);
  FillOutlined(cr, kHair, kLine);
  cairo_move_to(cr, kHead.x - 50.0, kHead.y - 92.0);
  cairo_curve_to(cr, kHead.x - 20.0, kHead.y - 116.0, kHead.x + 50.0, kHead.y - 116.0, kHead.x + 84.0, kHead.y - 82.0);
  cairo_curve_to(cr, kHead.x + 40.0, kHead.y - 102.0, kHead.x - 10.0, kHead.y - 102.0, kHead.x - 50.0, kHead.y - 92.0);
  Fill(cr, kHairShade);
  DrawCheeks(cr);
  // Sunglasses: two rounded lenses on a bar, each with a shine.
  Polyline(cr, {{kHead.x - 80.0, kHead.y - 8.0}, {kHead.x + 80.0, kHead.y - 8.0}});
  InkLine(cr, Line(7.0));
  for (double side : {-1.0, 1.0}) {
    const double ex = kHead.x + side * 32.0;
    RoundedRect(cr, ex - 30.0, kHead.y - 22.0, ex + 30.0, kHead.y + 14.0, 12.0);
    FillOutlined(cr, kGlass, kLine);
    cairo_move_to(cr, ex - 20.0, kHead.y - 12.0);
    cairo_line_to(cr, ex - 8.0, kHead.y - 12.0);
    cairo_line_to(cr, ex - 22.0, kHead.y + 6.0);
    cairo_line_to(cr, ex - 26.0, kHead.y + 2.0);
    cairo_close_path(cr);
    Fill(cr, kGlassShine);
  }
  DrawNose(cr);
  // The grin: a wide open smile with teeth.
  cairo_move_to(cr, kHead.x - 38.0, kHead.y + 44.0);
  cairo_curve_to(cr, kHead.x - 20.0, kHead.y + 80.0, kHead.x + 24.0, kHead.y + 80.0, kHead.x + 42.0, kHead.y + 42.0);
  cairo_curve_to(cr, kHead.x + 10.0, kHead.y + 52.0, kHead.x - 10.0, kHead.y + 52.0, kHead.x - 38.0, kHead.y + 44.0);
  cairo_close_path(cr);
  FillOutlined(cr, {0.55, 0.12, 0.20}, Line(3.5));
  cairo_move_to(cr, kHead.x - 30.0, kHead.y + 48.0);
  cairo_curve_to(cr, kHead.x - 10.0, kHead.y + 54.0, kHead.x + 12.0, kHead.y + 54.0, kHead.x + 34.0, kHead.y + 47.0);
  cairo_line_to(cr, kHead.x + 30.0, kHead.y + 56.0);
  cairo_curve_to(cr, kHead.x + 10.0, kHead.y + 61.0, kHead.x - 10.0, kHead.y + 61.0, kHead.x - 27.0, kHead.y + 56.0);
  cairo_close_path(cr);
  Fill(cr, kWhite);
  return WriteSprite(out, "face2.cel", canvas);
}

// ---- Body -------------------------------------------------------------------------------------
// Shoulders at y 262 from x 204 to 436; the collar's V around the neck at (320, 240).

void BodyPath(cairo_t* cr) {
  cairo_move_to(cr, 292.0, 236.0);
  cairo_curve_to(cr, 250.0, 242.0, 214.0, 252.0, 200.0, 280.0);
  cairo_curve_to(cr, 192.0, 300.0, 190.0, 340.0, 188.0, 520.0);
  cairo_line_to(cr, 452.0, 520.0);
  cairo_curve_to(cr, 450.0, 340.0, 448.0, 300.0, 440.0, 280.0);
  cairo_curve_to(cr, 426.0, 252.0, 390.0, 242.0, 348.0, 236.0);
  cairo_close_path(cr);
}

// The shade down the body's right side, clipped to the body.
void BodyShade(cairo_t* cr, Colour shade) {
  cairo_save(cr);
  BodyPath(cr);
  cairo_clip(cr);
  cairo_move_to(cr, 410.0, 240.0);
  cairo_curve_to(cr, 426.0, 320.0, 420.0, 420.0, 414.0, 520.0);
  cairo_line_to(cr, 470.0, 520.0);
  cairo_line_to(cr, 470.0, 240.0);
  cairo_close_path(cr);
  Fill(cr, shade);
  cairo_restore(cr);
}

void OutlineBody(cairo_t* cr) {
  BodyPath(cr);
  SetColour(cr, kInk);
  cairo_set_line_width(cr, kOutline);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// The skin showing in the collar's V.
void CollarSkin(cairo_t* cr, double bottom) {
  cairo_move_to(cr, 292.0, 236.0);
  cairo_line_to(cr, 320.0, bottom);
  cairo_line_to(cr, 348.0, 236.0);
  cairo_close_path(cr);
  FillOutlined(cr, kSkinShade, kLine);
}

// "shirt.cel": striped pyjamas with a buttoned front and a white collar.
bool WriteShirt(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 166.4, 206.4, 473.6, 513.6);
  BodyPath(cr);
  Fill(cr, kPyjama);
  BodyShade(cr, kPyjamaShade);
  cairo_save(cr);
  BodyPath(cr);
  cairo_clip(cr);
  for (double x = 206.0; x < 450.0; x += 26.0) {
    Polyline(cr, {{x, 230.0}, {x + 4.0, 520.0}});
    SetColour(cr, kPyjamaStripe);
    cairo_set_line_width(cr, 5.0);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  OutlineBody(cr);
  // The button placket and its buttons.
  Polyline(cr, {{320.0, 290.0}, {320.0, 520.0}});
  InkLine(cr, Line(3.5));
  for (double y = 316.0; y < 480.0; y += 40.0) {
    Ellipse(cr, 330.0, y, 6.0, 6.0);
    FillOutlined(cr, kWhite, Line(3.0));
  }
  CollarSkin(cr, 296.0);
  // The collar's two flaps.
  for (double side : {-1.0, 1.0}) {
    cairo_move_to(cr, 320.0 - side * 30.0, 234.0);
    cairo_line_to(cr, 320.0 - side * 2.0, 300.0);
    cairo_line_to(cr, 320.0 - side * 40.0, 288.0);
    cairo_line_to(cr, 320.0 - side * 52.0, 244.0);
    cairo_close_path(cr);
    FillOutlined(cr, kWhite, kLine);
  }
  // A pocket over the heart.
  RoundedRect(cr, 362.0, 318.0, 404.0, 360.0, 6.0);
  FillOutlined(cr, kPyjamaShade, Line(3.5));
  return WriteSprite(out, "shirt.cel", canvas);
}

// "suit.cel": a purple dancing suit with wide lapels, a white shirt and a red tie.
bool WriteSuit(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 166.4, 206.4, 473.6, 513.6);
  BodyPath(cr);
  Fill(cr, kSuit);
  BodyShade(cr, kSuitShade);
  OutlineBody(cr);
  // The shirt front in the jacket's deep V, with the tie.
  cairo_move_to(cr, 290.0, 236.0);
  cairo_line_to(cr, 320.0, 410.0);
  cairo_line_to(cr, 350.0, 236.0);
  cairo_close_path(cr);
  FillOutlined(cr, kWhite, kLine);
  CollarSkin(cr, 262.0);
  cairo_move_to(cr, 311.0, 262.0);
  cairo_line_to(cr, 329.0, 262.0);
  cairo_line_to(cr, 325.0, 272.0);
  cairo_line_to(cr, 334.0, 370.0);
  cairo_line_to(cr, 320.0, 386.0);
  cairo_line_to(cr, 306.0, 370.0);
  cairo_line_to(cr, 315.0, 272.0);
  cairo_close_path(cr);
  FillOutlined(cr, kTie, Line(3.5));
  // Wide lapels with their notches.
  for (double side : {-1.0, 1.0}) {
    cairo_move_to(cr, 320.0 - side * 30.0, 236.0);
    cairo_line_to(cr, 320.0 - side * 4.0, 410.0);
    cairo_line_to(cr, 320.0 - side * 40.0, 330.0);
    cairo_line_to(cr, 320.0 - side * 64.0, 300.0);
    cairo_line_to(cr, 320.0 - side * 50.0, 286.0);
    cairo_line_to(cr, 320.0 - side * 56.0, 246.0);
    cairo_close_path(cr);
    FillOutlined(cr, kSuitShade, kLine);
  }
  // A gold button, a pocket square.
  Ellipse(cr, 330.0, 440.0, 8.0, 8.0);
  FillOutlined(cr, kGold, Line(3.0));
  cairo_move_to(cr, 370.0, 340.0);
  cairo_line_to(cr, 380.0, 324.0);
  cairo_line_to(cr, 390.0, 336.0);
  cairo_line_to(cr, 400.0, 322.0);
  cairo_line_to(cr, 408.0, 340.0);
  cairo_close_path(cr);
  FillOutlined(cr, kGold, Line(3.0));
  Polyline(cr, {{366.0, 342.0}, {412.0, 342.0}});
  InkLine(cr, Line(4.0));
  return WriteSprite(out, "suit.cel", canvas);
}

// An open hand at `wrist`, fingers spread towards `angle` (radians, screen), `size` its palm radius.
void OpenHand(cairo_t* cr, Point wrist, double angle, double size) {
  const double c = std::cos(angle), s = std::sin(angle);
  auto at = [&](double along, double across) { return Point{wrist.x + along * c - across * s, wrist.y + along * s + across * c}; };
  const double spread[] = {-0.62, -0.2, 0.22, 0.6};
  const double length[] = {2.0, 2.45, 2.5, 2.25};
  for (int i = 0; i < 4; ++i) {
    const Point base = at(size * 0.9, size * spread[i]);
    const Point tip = at(size * length[i], size * spread[i] * 1.7);
    Limb(cr, {base, tip}, size * 0.4, kSkin, kLine);
  }
  // The thumb, on the side of the head.
  Limb(cr, {at(size * 0.5, size * 0.5), at(size * 1.1, size * 1.45)}, size * 0.42, kSkin, kLine);
  const Point palm = at(size * 0.75, 0.0);
  Ellipse(cr, palm.x, palm.y, size * 0.85, size * 0.85);
  FillOutlined(cr, kSkin, kLine);
}

// "arm.cel": the left pyjama arm stretched up beside the pillow, the palm open. Drawn where the
// left arm's quad puts it; the right arm is its mirror image.
bool WritePyjamaArm(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 92.0, 52.0, 347.0, 307.0);
  const Point shoulder{246.0, 300.0}, elbow{176.0, 214.0}, wrist{150.0, 128.0};
  Limb(cr, {shoulder, elbow, wrist}, 40.0, kPyjama, kLine);
  // Stripes along the sleeve and a shade on its inner side.
  Limb(cr, {{shoulder.x + 8.0, shoulder.y - 6.0}, {elbow.x + 12.0, elbow.y - 2.0}, {wrist.x + 10.0, wrist.y + 8.0}}, 8.0, kPyjamaShade, kLine);
  Polyline(cr, {{shoulder.x - 10.0, shoulder.y + 4.0}, {elbow.x - 8.0, elbow.y + 4.0}, {wrist.x - 10.0, wrist.y + 10.0}});
  SetColour(cr, kPyjamaStripe);
  cairo_set_line_width(cr, 5.0);
  cairo_stroke(cr);
  OpenHand(cr, {wrist.x - 3.0, wrist.y - 6.0}, -1.75, 19.0);
  // The cuff.
  cairo_save(cr);
  cairo_translate(cr, wrist.x, wrist.y + 4.0);
  cairo_rotate(cr, -0.28);
  RoundedRect(cr, -25.0, -8.0, 25.0, 8.0, 5.0);
  cairo_restore(cr);
  FillOutlined(cr, kWhite, kLine);
  return WriteSprite(out, "arm.cel", canvas);
}

// "arm2.cel": the left suit arm thrown up with the hand spread, drawn in its mid-swing pose.
bool WriteSuitArm(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  TurnOnScreen(cr, 220.0, 220.0, -0.9);
  const Point shoulder{252.0, 306.0}, elbow{150.0, 232.0}, wrist{172.0, 162.0};
  Limb(cr, {shoulder, elbow, wrist}, 44.0, kSuit, kLine);
  Limb(cr, {{shoulder.x + 6.0, shoulder.y - 14.0}, {elbow.x + 16.0, elbow.y - 6.0}, {wrist.x + 12.0, wrist.y + 10.0}}, 10.0, kSuitShade, kLine);
  // A white shirt cuff, then the hand spread wide.
  cairo_save(cr);
  cairo_translate(cr, wrist.x, wrist.y);
  cairo_rotate(cr, -1.45);
  RoundedRect(cr, -6.0, -25.0, 10.0, 25.0, 5.0);
  cairo_restore(cr);
  FillOutlined(cr, kWhite, kLine);
  OpenHand(cr, {wrist.x + 1.0, wrist.y - 8.0}, -1.5, 18.0);
  return WriteSprite(out, "arm2.cel", canvas);
}

// "pillow.cel": a plump pillow behind the sleeping head.
bool WritePillow(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 192.0, 12.0, 447.0, 267.0);
  auto pillow = [&] {
    cairo_move_to(cr, 204.0, 40.0);
    cairo_curve_to(cr, 270.0, 54.0, 370.0, 54.0, 436.0, 40.0);
    cairo_curve_to(cr, 424.0, 110.0, 424.0, 180.0, 436.0, 252.0);
    cairo_curve_to(cr, 370.0, 238.0, 270.0, 238.0, 204.0, 252.0);
    cairo_curve_to(cr, 216.0, 180.0, 216.0, 110.0, 204.0, 40.0);
    cairo_close_path(cr);
  };
  pillow();
  Fill(cr, kPillowShade);
  cairo_save(cr);
  pillow();
  cairo_clip(cr);
  Ellipse(cr, 312.0, 136.0, 112.0, 92.0);
  Fill(cr, kWhite);
  cairo_restore(cr);
  pillow();
  SetColour(cr, kInk);
  cairo_set_line_width(cr, kOutline);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  // A stitched seam and a frill of creases at the corners.
  cairo_move_to(cr, 222.0, 60.0);
  cairo_curve_to(cr, 280.0, 70.0, 360.0, 70.0, 418.0, 60.0);
  SetColour(cr, kPillowShade);
  cairo_set_line_width(cr, 3.0);
  const double dash[] = {8.0, 6.0};
  cairo_set_dash(cr, dash, 2, 0.0);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0.0);
  for (const Point corner : {Point{204.0, 40.0}, Point{436.0, 40.0}, Point{204.0, 252.0}, Point{436.0, 252.0}}) {
    const double dx = corner.x < 320.0 ? 1.0 : -1.0, dy = corner.y < 150.0 ? 1.0 : -1.0;
    Polyline(cr, {{corner.x + dx * 6.0, corner.y + dy * 4.0}, {corner.x + dx * 22.0, corner.y + dy * 14.0}});
    InkLine(cr, Line(3.0));
    Polyline(cr, {{corner.x + dx * 4.0, corner.y + dy * 10.0}, {corner.x + dx * 16.0, corner.y + dy * 24.0}});
    InkLine(cr, Line(3.0));
  }
  return WriteSprite(out, "pillow.cel", canvas);
}

// ---- Hi-fi and hand ---------------------------------------------------------------------------
// The tower stands on x 166 ... 474 between two speakers, its halves meeting at x 320; the power
// button is at (460, 309.5), where the hand's fingertip ends.

constexpr Point kPowerButton{460.0, 309.5};

void Speaker(cairo_t* cr, double x0, double x1) {
  RoundedRect(cr, x0, 180.0, x1, 330.0, 8.0);
  FillOutlined(cr, kWood, kLine);
  RoundedRect(cr, x0 + 6.0, 186.0, x1 - 6.0, 324.0, 5.0);
  Fill(cr, kWoodShade);
  const double cx = 0.5 * (x0 + x1);
  for (const auto& [cy, r] : {std::pair{210.0, 14.0}, std::pair{278.0, 31.0}}) {
    Ellipse(cr, cx, cy, r, r);
    FillOutlined(cr, kCase, kLine);
    Ellipse(cr, cx, cy, r * 0.62, r * 0.62);
    FillOutlined(cr, kPanelShade, Line(3.0));
    Ellipse(cr, cx - r * 0.15, cy - r * 0.15, r * 0.22, r * 0.22);
    Fill(cr, kPanel);
  }
}

void HifiTower(cairo_t* cr) {
  RoundedRect(cr, 166.0, 150.0, 474.0, 330.0, 8.0);
  FillOutlined(cr, kCase, kLine);
  // Tuner: a glowing frequency window with a needle.
  RoundedRect(cr, 176.0, 157.0, 464.0, 193.0, 5.0);
  FillOutlined(cr, kPanel, Line(3.5));
  RoundedRect(cr, 196.0, 164.0, 420.0, 186.0, 4.0);
  FillOutlined(cr, kDisplay, Line(3.0));
  for (double x = 210.0; x < 410.0; x += 16.0) {
    Polyline(cr, {{x, 168.0}, {x, 174.0}});
    InkLine(cr, Line(2.0));
  }
  Polyline(cr, {{300.0, 166.0}, {300.0, 184.0}});
  SetColour(cr, kRed);
  cairo_set_line_width(cr, 4.0);
  cairo_stroke(cr);
  Ellipse(cr, 440.0, 175.0, 10.0, 10.0);
  FillOutlined(cr, kPanelShade, Line(3.0));
  // Double cassette deck.
  RoundedRect(cr, 176.0, 198.0, 464.0, 244.0, 5.0);
  FillOutlined(cr, kPanel, Line(3.5));
  for (double x : {196.0, 332.0}) {
    RoundedRect(cr, x, 203.0, x + 112.0, 239.0, 4.0);
    FillOutlined(cr, kPanelShade, Line(3.0));
    RoundedRect(cr, x + 18.0, 212.0, x + 94.0, 232.0, 6.0);
    FillOutlined(cr, kCase, Line(3.0));
    for (double reel : {x + 36.0, x + 76.0}) {
      Ellipse(cr, reel, 222.0, 6.0, 6.0);
      FillOutlined(cr, kWhite, Line(2.5));
    }
  }
  // Equaliser: bars lit green to red.
  RoundedRect(cr, 176.0, 249.0, 464.0, 289.0, 5.0);
  FillOutlined(cr, kCase, Line(3.5));
  const double heights[] = {14, 22, 30, 26, 18, 28, 34, 24, 16, 20, 30, 22, 12, 18, 26, 20};
  for (int i = 0; i < 16; ++i) {
    const double x = 192.0 + 16.5 * i;
    for (int k = 0; k * 5.0 < heights[i]; ++k) {
      const double y = 283.0 - 5.0 * k;
      const Colour c = k < 3 ? Colour{0.35, 1.0, 0.35} : k < 5 ? Colour{1.0, 0.9, 0.2} : Colour{1.0, 0.3, 0.25};
      cairo_rectangle(cr, x, y - 3.5, 11.0, 3.5);
      Fill(cr, c);
    }
  }
  // Amplifier: a big volume knob, small knobs and the red power button at the right end.
  RoundedRect(cr, 176.0, 295.0, 470.0, 324.0, 5.0);
  FillOutlined(cr, kPanel, Line(3.5));
  Ellipse(cr, 320.0, 309.5, 12.0, 12.0);
  FillOutlined(cr, kPanelShade, Line(3.0));
  Polyline(cr, {{320.0, 309.5}, {327.0, 301.5}});
  InkLine(cr, Line(3.0));
  for (double x : {206.0, 236.0, 266.0, 374.0, 404.0}) {
    Ellipse(cr, x, 309.5, 7.0, 7.0);
    FillOutlined(cr, kPanelShade, Line(2.5));
  }
  Ellipse(cr, kPowerButton.x, kPowerButton.y, 10.0, 10.0);
  FillOutlined(cr, kRed, Line(3.0));
  Ellipse(cr, kPowerButton.x - 3.0, kPowerButton.y - 3.0, 3.0, 3.0);
  Fill(cr, kWhite);
}

void Hifi(cairo_t* cr) {
  Speaker(cr, 78.0, 158.0);
  Speaker(cr, 482.0, 562.0);
  HifiTower(cr);
}

// "hifi.cel": rows 0 ... 99 hold the picture with its left half pulled 40 pixels apart from the
// right one; rows 100 ... 199 hold the left half in its place, which the wipe lays over it. Each
// half reaches a few texels past the middle so that no soft edge shows at the join.
bool WriteHifi(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  // Texel rows t0 ... t0 + 99 hold the band, drawn through `clip` (screen x from, to) shifted by dx.
  auto half = [&](double t0, double from, double to, double dx) {
    cairo_save(cr);
    cairo_rectangle(cr, 0.0, t0, 256.0, 100.0);
    cairo_clip(cr);
    cairo_translate(cr, 0.0, t0);
    PlaceOnScreen(cr, 64.0, 140.0, 575.0, 339.0, 99.0);
    cairo_rectangle(cr, from + dx, 0.0, to - from, 480.0);
    cairo_clip(cr);
    cairo_translate(cr, dx, 0.0);
    Hifi(cr);
    cairo_restore(cr);
    // The cut through the tower, inked like every other edge.
    cairo_save(cr);
    cairo_rectangle(cr, 0.0, t0, 256.0, 100.0);
    cairo_clip(cr);
    cairo_translate(cr, 0.0, t0);
    PlaceOnScreen(cr, 64.0, 140.0, 575.0, 339.0, 99.0);
    for (double x : {from, to}) {
      if (x <= 166.0 || x >= 474.0) continue;
      Polyline(cr, {{x + dx, 150.0}, {x + dx, 330.0}});
      InkLine(cr, Line(kOutline));
    }
    cairo_restore(cr);
  };
  half(0.0, 312.0, 600.0, 0.0);
  half(0.0, 0.0, 320.0, -40.0);
  half(100.0, 0.0, 330.0, 0.0);
  return WriteSprite(out, "hifi.cel", canvas, 100);
}

// "hand.cel": a hand in a suit cuff coming down from the upper right, the index finger pressing
// the power button. Drawn where its slide ends.
bool WriteHand(Output& out) {
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  PlaceOnScreen(cr, 452.0, 200.0, 579.0, 327.0);
  // A short sleeve and cuff at the upper right, a fist, and the index finger on the button.
  const Point tip{kPowerButton.x + 5.0, kPowerButton.y - 9.0};
  Limb(cr, {{550.0, 226.0}, {534.0, 242.0}}, 34.0, kSuit, kLine);
  cairo_save(cr);
  cairo_translate(cr, 530.0, 246.0);
  cairo_rotate(cr, 0.8);
  RoundedRect(cr, -22.0, -7.0, 22.0, 7.0, 5.0);
  cairo_restore(cr);
  FillOutlined(cr, kWhite, kLine);
  Limb(cr, {{494.0, 276.0}, tip}, 14.0, kSkin, kLine);
  Ellipse(cr, 510.0, 266.0, 26.0, 22.0);
  FillOutlined(cr, kSkin, kLine);
  for (double k : {0.0, 1.0, 2.0}) {
    Ellipse(cr, 492.0 + 11.0 * k, 282.0 + 3.0 * k, 10.0, 8.0);
    FillOutlined(cr, kSkin, Line(3.0));
  }
  Limb(cr, {{524.0, 256.0}, {500.0, 258.0}}, 11.0, kSkinShade, kLine);
  // The fingernail.
  Ellipse(cr, tip.x + 4.0, tip.y - 3.0, 4.0, 3.0);
  Fill(cr, kWhite);
  return WriteSprite(out, "hand.cel", canvas);
}

// ---- Words ------------------------------------------------------------------------------------

bool WriteWords(Output& out) {
  struct Word {
    const char* text;
    Colour fill;
  };
  const Word words[10] = {
      {"YEAH!", {1.0, 0.85, 0.15}}, {"GROOVY", {0.35, 0.95, 0.55}}, {"FUNKY", {1.0, 0.45, 0.75}},
      {"DANCE", {0.40, 0.85, 1.0}}, {"COOL", {0.65, 0.95, 1.0}},    {"WOW!", {1.0, 0.55, 0.20}},
      {"BOOGIE", {0.80, 0.55, 1.0}}, {"JIVE", {1.0, 0.95, 0.40}},   {"DISCO", {1.0, 0.35, 0.40}},
      {"SWING", {0.55, 1.0, 0.85}},
  };
  auto font = Font::Load("DejaVuSans-Bold.ttf");
  if (!font) return false;
  Canvas canvas(kScreenWidth, kScreenHeight);
  cairo_t* cr = canvas.Cr();
  for (int c = 0; c < 10; ++c) {
    const double cx = (c % 2) * 128.0 + 63.0, cy = (c / 2) * 40.0 + 19.0;
    double size = FitTextSize(*font, words[c].text, 104.0);
    SetFont(cr, *font, size);
    cairo_text_extents_t ink;
    cairo_text_extents(cr, words[c].text, &ink);
    if (ink.height > 20.0) {
      size *= 20.0 / ink.height;
      SetFont(cr, *font, size);
    }
    // A drop shadow, the ink outline, then the flat letters.
    cairo_new_path(cr);
    CentredTextPath(cr, words[c].text, cx + 2.5, cy + 2.5);
    SetColour(cr, kInk);
    cairo_set_line_width(cr, 5.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
    cairo_new_path(cr);
    CentredTextPath(cr, words[c].text, cx, cy);
    SetColour(cr, kInk);
    cairo_set_line_width(cr, 5.0);
    cairo_stroke_preserve(cr);
    SetColour(cr, words[c].fill);
    cairo_fill(cr);
  }
  return WriteSprite(out, "text.cel", canvas);
}

bool WriteCartoonImages(Output& out) {
  return WriteSleepyFace(out) && WriteWakingFace(out) && WriteCoolFace(out) && WriteShirt(out) && WriteSuit(out) &&
         WritePyjamaArm(out) && WriteSuitArm(out) && WritePillow(out) && WriteHifi(out) && WriteHand(out) &&
         WriteWords(out);
}

}  // namespace

MKDATA_GENERATOR("cartoon", WriteCartoonImages);

}  // namespace mkdata
