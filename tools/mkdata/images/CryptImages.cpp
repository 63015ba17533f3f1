// "crypt.cel" and "rebuilt.cel": the crypt scene's picture and its caption sheet.
//
// The picture is ray-marched: a vaulted nave of stone with round columns carrying arcades,
// transverse ribs across the barrel vault, a sarcophagus in the middle, a wet tiled floor that
// mirrors what stands on it, fog, and two torches whose warm light scatters in the fog. It is
// supersampled, then quantised like every other picture. The rows are shared among threads; each
// pixel depends on nothing but its own position, so the bytes are the same for any thread count.
//
// The caption sheet is drawn as glow (brightness is opacity): the title strip in rows 1..40, six
// captions in 128 x 40 cells, the closing strip in rows 161..200 (the last row lies past the
// image and shows palette entry 0, which is black). The scene shows each strip or cell alone, so
// every glow falls to black inside its own cell.
#include "formats/Cel.h"
#include "images/CryptImages.h"
#include "Generator.h"
#include "kit/Image.h"
#include "kit/Procedural.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace mkdata {

// ---------------------------------------------------------------------------------------------
// The picture.

namespace {

struct V3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline V3 operator*(V3 a, V3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Normalize(V3 a) { return a * (1.0f / Length(a)); }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length2(float a, float b) { return std::sqrt(a * a + b * b); }
inline float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Signed distance to an axis-aligned box of half-size h centred at the origin.
float Box(V3 p, V3 h) {
  const float qx = std::fabs(p.x) - h.x, qy = std::fabs(p.y) - h.y, qz = std::fabs(p.z) - h.z;
  const float outside = Length({std::max(qx, 0.0f), std::max(qy, 0.0f), std::max(qz, 0.0f)});
  return outside + std::min(std::max(qx, std::max(qy, qz)), 0.0f);
}

enum Material { kFloor, kWall, kColumn, kRib, kTomb, kFlame };

// The nave: columns every kBay units along z at x = +-kArcadeX.
constexpr float kBay = 4.0f;
constexpr float kArcadeX = 3.5f;
constexpr float kSpring = 2.6f;      // where the arcade arches spring
constexpr float kVaultY = 5.2f;      // the barrel vault's axis
constexpr float kVaultR = 3.2f;      // its radius: the nave's inner half-width
constexpr float kAisleX = 6.5f;
constexpr float kAisleTop = 4.4f;

// The two torches, on the inner faces of two columns.
const V3 kLights[2] = {{-2.93f, 2.05f, 4.0f}, {2.93f, 2.05f, 8.0f}};
const V3 kLightColour = {1.0f, 0.46f, 0.13f};
constexpr float kLightPower = 8.0f;
constexpr float kFlameRadius = 0.085f;

struct Hit {
  float d;
  Material m;
};

// The scene's distance, and which surface is nearest.
Hit Scene(V3 p) {
  const float ax = std::fabs(p.x);
  // The open space: aisles and nave up to the aisle ceiling, the nave up to the vault's axis,
  // the vault, closed far ahead and behind the eye.
  float open = std::min(std::max(ax - kAisleX, p.y - kAisleTop), std::max(ax - kVaultR, p.y - kVaultY));
  open = std::min(open, Length2(p.x, p.y - kVaultY) - kVaultR);
  open = std::max(open, std::max(p.z - 38.0f, -8.0f - p.z));
  Hit best{-open, kWall};

  const float floor = p.y;
  if (floor < best.d) best = {floor, kFloor};

  // Arcades: a wall over each column row with round-headed openings between the columns.
  const float zr = p.z - kBay * std::round(p.z / kBay);                  // 0 at a column
  const float zm = p.z - kBay * std::floor(p.z / kBay) - 0.5f * kBay;    // 0 between columns
  const float opening = std::min(std::max(std::fabs(zm) - 1.5f, p.y - kSpring), Length2(p.y - kSpring, zm) - 1.5f);
  const float arcade = std::max(std::fabs(ax - kArcadeX) - 0.3f, -opening);
  if (arcade < best.d) best = {arcade, kWall};

  // Columns with a square base and capital.
  const V3 c{ax - kArcadeX, p.y, zr};
  float column = std::max(Length2(c.x, c.z) - 0.42f, p.y - kSpring);
  column = std::min(column, Box(c - V3{0.0f, 0.14f, 0.0f}, {0.56f, 0.14f, 0.56f}));
  column = std::min(column, Box(c - V3{0.0f, kSpring - 0.12f, 0.0f}, {0.58f, 0.12f, 0.58f}));
  if (column < best.d) best = {column, kColumn};

  // Transverse ribs across the vault, running down the nave walls to the capitals.
  const float q = p.y > kVaultY ? Length2(p.x, p.y - kVaultY) : (p.y > kSpring ? ax : 100.0f);
  const float rib = std::max(std::fabs(zr) - 0.24f, std::max(q - (kVaultR + 0.1f), (kVaultR - 0.26f) - q));
  if (rib < best.d) best = {rib, kRib};

  // The sarcophagus and its lid.
  const V3 t = p - V3{0.0f, 0.0f, 7.0f};
  const float tomb = std::min(Box(t - V3{0.0f, 0.45f, 0.0f}, {0.7f, 0.45f, 1.5f}) - 0.04f,
                              Box(t - V3{0.0f, 0.96f, 0.0f}, {0.8f, 0.07f, 1.62f}) - 0.02f);
  if (tomb < best.d) best = {tomb, kTomb};

  for (const V3& light : kLights) {
    V3 f = p - light;
    f.y *= 0.55f;  // a flame is taller than wide
    const float flame = (Length(f) - kFlameRadius) * 0.55f;
    if (flame < best.d) best = {flame, kFlame};
  }
  return best;
}

float Distance(V3 p) { return Scene(p).d; }

// Marches from `o` along `d`; the distance travelled, or a negative value when nothing is hit.
float March(V3 o, V3 d, float far, int steps) {
  float t = 0.0f;
  for (int i = 0; i < steps; ++i) {
    const float h = Distance(o + d * t);
    if (h < 0.0015f * t + 0.0005f) return t;
    t += h;
    if (t > far) break;
  }
  return -1.0f;
}

V3 Normal(V3 p) {
  constexpr float e = 0.002f;
  const V3 a{e, -e, -e}, b{-e, -e, e}, c{-e, e, -e}, d{e, e, e};
  return Normalize(a * Distance(p + a) + b * Distance(p + b) + c * Distance(p + c) + d * Distance(p + d));
}

// Soft shadow towards a light `span` units away.
float Shadow(V3 o, V3 d, float span) {
  float light = 1.0f;
  float t = 0.03f;
  for (int i = 0; i < 40 && t < span - 0.15f; ++i) {
    const Hit h = Scene(o + d * t);
    if (h.m == kFlame) break;
    if (h.d < 0.001f) return 0.0f;
    light = std::min(light, 10.0f * h.d / t);
    t += std::clamp(h.d, 0.02f, 0.5f);
  }
  return Clamp01(light);
}

// A value from 0 to 1 for the lattice point (a, b) and a seed.
float Hash01(int32_t a, int32_t b, uint32_t seed) { return LatticeValue<float>(a, b, seed, kStoneMix); }

// Smooth value noise in the plane.
float Noise(float x, float y) {
  return ValueNoise(x, y, [](int32_t cx, int32_t cy) { return Hash01(cx, cy, 7); });
}

// Dressed stone: courses `h` high of blocks `w` long, with darker mortar and a shade per block.
float Masonry(float along, float up, float w, float h) {
  const float row = std::floor(up / h);
  const float shifted = along / w + 0.5f * std::fmod(std::fabs(row), 2.0f);
  const float col = std::floor(shifted);
  const float fu = shifted - col, fv = up / h - row;
  const float edge = std::min(std::min(fu, 1.0f - fu) * w, std::min(fv, 1.0f - fv) * h);
  const float mortar = Clamp01(edge / 0.025f);
  const float shade = 0.8f + 0.35f * Hash01(static_cast<int32_t>(col), static_cast<int32_t>(row), 3);
  return (0.45f + 0.55f * mortar) * shade;
}

struct Surface {
  V3 albedo;
  float wet;  // how much of the light the surface mirrors (floor only)
};

Surface Describe(V3 p, V3 n, Material m) {
  const float grime = 0.75f + 0.5f * Noise(p.x * 1.7f + p.y * 0.9f, p.z * 1.7f - p.y * 1.3f);
  switch (m) {
    case kFloor: {
      // Square flags, a little uneven; puddles gather in broad patches.
      const float fx = p.x / 1.1f - std::floor(p.x / 1.1f), fz = p.z / 1.1f - std::floor(p.z / 1.1f);
      const float joint = Clamp01(std::min(std::min(fx, 1.0f - fx), std::min(fz, 1.0f - fz)) * 1.1f / 0.03f);
      const float flag = 0.75f + 0.4f * Hash01(static_cast<int32_t>(std::floor(p.x / 1.1f)),
                                               static_cast<int32_t>(std::floor(p.z / 1.1f)), 11);
      const float puddle = Clamp01((Noise(p.x * 0.45f + 3.0f, p.z * 0.45f) - 0.38f) * 3.0f);
      const float k = (0.35f + 0.65f * joint) * flag * grime * (1.0f - 0.45f * puddle);
      return {V3{0.30f, 0.26f, 0.22f} * k, 0.18f + 0.6f * puddle * joint};
    }
    case kWall: {
      const float along = std::fabs(n.x) > 0.7f ? p.z : (std::fabs(n.z) > 0.7f ? p.x : p.z + p.x);
      return {V3{0.50f, 0.43f, 0.35f} * (Masonry(along, p.y, 0.62f, 0.31f) * grime), 0.0f};
    }
    case kColumn:
      return {V3{0.56f, 0.50f, 0.42f} * (grime * (0.9f + 0.1f * std::sin(std::atan2(p.z, p.x) * 24.0f))), 0.0f};
    case kRib:
      return {V3{0.52f, 0.46f, 0.39f} * grime, 0.0f};
    case kTomb:
      return {V3{0.40f, 0.38f, 0.36f} * (grime * (0.85f + 0.15f * Noise(p.x * 6.0f, p.z * 6.0f + p.y * 6.0f))), 0.0f};
    case kFlame:
      break;
  }
  return {V3{}, 0.0f};
}

constexpr float kFogDensity = 0.035f;
const V3 kFogAmbient{0.004f, 0.007f, 0.016f};
const V3 kAmbient{0.010f, 0.016f, 0.048f};

// The light the fog scatters towards the eye along a ray of length t from each torch: the
// integral of 1/distance^2 along the ray, in closed form.
V3 Scatter(V3 o, V3 d, float t) {
  V3 sum{};
  for (const V3& light : kLights) {
    const V3 w = o - light;
    const float b = Dot(w, d);
    const float h = std::sqrt(std::max(Dot(w, w) - b * b, 1e-4f));
    const float amount = (std::atan((t + b) / h) - std::atan(b / h)) / h;
    sum = sum + kLightColour * (amount * kLightPower * kFogDensity * 0.4f);
  }
  return sum;
}

// The light leaving a surface point towards the eye; shadows only where asked (the mirrored
// image on the floor goes without).
V3 Shade(V3 p, V3 n, const Surface& s, bool shadows) {
  V3 sum = s.albedo * kAmbient * (0.6f + 0.4f * n.y);
  for (const V3& light : kLights) {
    V3 l = light - p;
    const float dist = Length(l);
    l = l * (1.0f / dist);
    const float lambert = Dot(n, l);
    if (lambert <= 0.0f) continue;
    const float shadow = shadows ? Shadow(p + n * 0.01f, l, dist) : 1.0f;
    sum = sum + s.albedo * kLightColour * (kLightPower * lambert * shadow / (dist * dist));
  }
  return sum;
}

const V3 kFlameColour{5.0f, 2.9f, 1.1f};

// The colour seen along a ray, with one mirror bounce off the wet floor.
V3 Trace(V3 o, V3 d) {
  const float t = March(o, d, 60.0f, 140);
  const float far = t < 0.0f ? 60.0f : t;
  V3 colour{};
  if (t >= 0.0f) {
    const V3 p = o + d * t;
    const Hit hit = Scene(p);
    if (hit.m == kFlame) {
      colour = kFlameColour;
    } else {
      const V3 n = Normal(p);
      const Surface s = Describe(p, n, hit.m);
      colour = Shade(p, n, s, true);
      if (s.wet > 0.0f) {
        // A slightly rippled mirror: the normal tilts a little with the noise.
        V3 rn = Normalize(V3{(Noise(p.x * 9.0f, p.z * 9.0f) - 0.5f) * 0.05f, 1.0f,
                             (Noise(p.z * 9.0f + 5.0f, p.x * 9.0f) - 0.5f) * 0.05f});
        const V3 r = d - rn * (2.0f * Dot(d, rn));
        const float cosine = Clamp01(-Dot(d, rn));
        const float fresnel = 0.04f + 0.96f * std::pow(1.0f - cosine, 5.0f);
        const float mirror = Clamp01(s.wet * (0.35f + 0.65f * fresnel) + fresnel * 0.2f);
        const V3 ro = p + V3{0.0f, 0.01f, 0.0f};
        const float rt = March(ro, r, 40.0f, 90);
        const float rfar = rt < 0.0f ? 40.0f : rt;
        V3 seen{};
        if (rt >= 0.0f) {
          const V3 rp = ro + r * rt;
          const Hit rh = Scene(rp);
          if (rh.m == kFlame) {
            seen = kFlameColour;
          } else {
            const V3 rnn = Normal(rp);
            seen = Shade(rp, rnn, Describe(rp, rnn, rh.m), false);
          }
        }
        const float rfog = std::exp(-kFogDensity * rfar);
        seen = seen * rfog + kFogAmbient * (1.0f - rfog) + Scatter(ro, r, rfar);
        colour = colour * (1.0f - mirror) + seen * mirror;
      }
    }
  }
  const float fog = std::exp(-kFogDensity * far);
  return colour * fog + kFogAmbient * (1.0f - fog) + Scatter(o, d, far);
}

constexpr int kSamples = 2;  // per axis

// Tone maps to the stored value: a soft shoulder, then the board's display gamma (1.7) taken into
// account so that mid-tones show as intended.
uint8_t Store(float v) {
  const float mapped = 1.0f - std::exp(-1.3f * v);
  return static_cast<uint8_t>(std::lround(255.0f * std::pow(Clamp01(mapped), 1.15f)));
}

void RenderRows(Image& picture, int first, int step) {
  // The eye stands in the nave, a little right of the middle, looking down it past the tomb.
  const V3 eye{1.0f, 1.6f, -1.6f};
  const V3 ahead = Normalize(V3{-0.4f, 1.55f, 12.0f} - eye);
  const V3 right = Normalize(Cross(V3{0.0f, 1.0f, 0.0f}, ahead));
  const V3 up = Cross(ahead, right);
  // The picture is shown over a square, so both axes span the same angle.
  constexpr float kHalfView = 0.72f;
  for (int y = first; y < picture.height; y += step) {
    for (int x = 0; x < picture.width; ++x) {
      V3 sum{};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          // A rotated grid within the pixel.
          const float jx = (static_cast<float>(sx) + 0.25f + 0.5f * static_cast<float>(sy)) / kSamples;
          const float jy = (static_cast<float>(sy) + 0.75f - 0.5f * static_cast<float>(sx)) / kSamples;
          const float u = ((static_cast<float>(x) + jx) / static_cast<float>(picture.width) * 2.0f - 1.0f) * kHalfView;
          const float v = ((static_cast<float>(y) + jy) / static_cast<float>(picture.height) * 2.0f - 1.0f) * kHalfView;
          const V3 d = Normalize(ahead + right * u - up * v);
          sum = sum + Trace(eye, d);
        }
      }
      sum = sum * (1.0f / (kSamples * kSamples));
      picture.At(x, y) = {Store(sum.x), Store(sum.y), Store(sum.z), 255};
    }
  }
}

}  // namespace

Image RenderCrypt(int width, int height, int threads) {
  Image picture(width, height);
  threads = std::max(threads, 1);
  std::vector<std::thread> workers;
  for (int i = 1; i < threads; ++i) workers.emplace_back(RenderRows, std::ref(picture), i, threads);
  RenderRows(picture, 0, threads);
  for (std::thread& worker : workers) worker.join();
  return picture;
}

// ---------------------------------------------------------------------------------------------
// The caption sheet.

namespace {

struct SheetText {
  const char* text;
  int x, y, w, h;     // the cell: columns x .. x + w - 1, rows y .. y + h - 1
  double inkWidth;    // the text's width, at most
  double inkHeight;   // and height, in pixels
};

constexpr const char* kBold = "DejaVuSans-Bold.ttf";
constexpr const char* kCondensed = "DejaVuSansCondensed-Bold.ttf";

// In the order the scene shows them: title strip (bold), captions 0 to 5 (condensed), closing
// strip (bold).
constexpr SheetText kSheet[8] = {
    {"THE CRYPT", 0, 1, 256, 40, 200.0, 20.0},
    {"cast in light", 128, 41, 128, 40, 112.0, 18.0},
    {"turned in space", 0, 41, 128, 40, 112.0, 18.0},
    {"never still", 0, 81, 128, 40, 112.0, 18.0},
    {"woken from stone", 128, 81, 128, 40, 112.0, 18.0},
    {"one more turn", 0, 121, 128, 40, 112.0, 18.0},
    {"out of the dark", 128, 121, 128, 40, 112.0, 18.0},
    {"REBUILT IN LIGHT", 0, 161, 256, 40, 210.0, 19.0},
};

// 1 inside the cell, falling smoothly to 0 at its outline: over `rows` rows at the top and
// bottom and `columns` columns at the sides, with a long faint tail (the display's gamma lifts
// the last steps).
float CellWindow(int x, int y, const SheetText& cell, float rows, float columns) {
  const float dx = std::min(static_cast<float>(x - cell.x), static_cast<float>(cell.x + cell.w - 1 - x));
  const float dy = std::min(static_cast<float>(y - cell.y), static_cast<float>(cell.y + cell.h - 1 - y));
  const float k = EdgeFade(dx, columns) * EdgeFade(dy, rows);
  return k * k;
}

// The font size at which `cell.text` fits its ink box.
double FittedSize(cairo_t* cr, const Font& font, const SheetText& cell) {
  double size = FitTextSize(font, cell.text, cell.inkWidth);
  SetFont(cr, font, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, cell.text, &extents);
  if (extents.height > cell.inkHeight) size *= cell.inkHeight / extents.height;
  return size;
}

}  // namespace

std::optional<Image> DrawCaptionSheet() {
  Canvas letters(kScreenWidth, kScreenHeight);
  Canvas halo(kScreenWidth, kScreenHeight);
  auto strip = Font::Load(kBold);
  auto caption = Font::Load(kCondensed);
  if (!strip || !caption) return std::nullopt;
  // The six captions share one size, the largest at which each of them fits its cell.
  double captionSize = 1000.0;
  for (int i = 1; i <= 6; ++i) captionSize = std::min(captionSize, FittedSize(letters.Cr(), *caption, kSheet[i]));
  for (int i = 0; i < 8; ++i) {
    const SheetText& cell = kSheet[i];
    const bool isCaption = i >= 1 && i <= 6;
    const Font& font = isCaption ? *caption : *strip;
    const double size = isCaption ? captionSize : FittedSize(letters.Cr(), font, cell);
    for (Canvas* canvas : {&letters, &halo}) {
      cairo_t* cr = canvas->Cr();
      SetFont(cr, font, size);
      cairo_new_path(cr);
      CentredTextPath(cr, cell.text, cell.x + cell.w / 2.0, cell.y + cell.h / 2.0);
      cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 1.0);
      if (canvas == &halo) {
        cairo_set_line_width(cr, 1.5);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
      }
      cairo_fill(cr);
    }
  }
  // Pale gold letters over an amber halo, on black.
  const Image haloMask = halo.ToImage();
  const Image wide = Blur(haloMask, 3.5);
  const Image tight = Blur(haloMask, 1.3);
  const Image ink = letters.ToImage();
  Image sheet(kScreenWidth, kScreenHeight, {0, 0, 0, 255});
  for (const SheetText& cell : kSheet) {
    for (int y = cell.y; y < std::min(cell.y + cell.h, kScreenHeight); ++y) {
      for (int x = cell.x; x < cell.x + cell.w; ++x) {
        const float window = CellWindow(x, y, cell, 10.0f, 7.0f);
        const float a = ink.At(x, y).a / 255.0f;
        const float g1 = std::min(1.4f * wide.At(x, y).a / 255.0f, 1.0f) * window;
        const float g2 = std::min(1.1f * tight.At(x, y).a / 255.0f, 1.0f) * window;
        const float r = 1.00f * g1 * 0.55f + 1.00f * g2 * 0.75f;
        const float g = 0.55f * g1 * 0.55f + 0.72f * g2 * 0.75f;
        const float b = 0.18f * g1 * 0.55f + 0.35f * g2 * 0.75f;
        auto mix = [&](float glow, float letter) { return Clamp01(glow * (1.0f - a) + letter * a); };
        sheet.At(x, y) = {static_cast<uint8_t>(std::lround(255.0f * mix(r, 1.0f))),
                          static_cast<uint8_t>(std::lround(255.0f * mix(g, 0.95f))),
                          static_cast<uint8_t>(std::lround(255.0f * mix(b, 0.80f))), 255};
      }
    }
  }
  return sheet;
}

namespace {

bool WriteCryptPicture(Output& out) {
  const unsigned cores = std::thread::hardware_concurrency();
  const Image picture = RenderCrypt(kScreenWidth, kScreenHeight, static_cast<int>(std::clamp(cores, 1u, 8u)));
  return WriteCel(out, "crypt.cel", picture).has_value();
}

bool WriteCaptionSheet(Output& out) {
  auto sheet = DrawCaptionSheet();
  if (!sheet) return false;
  // Black pixels become entry 0, which stays black: the closing strip's window reaches one row
  // past the image, where the loader shows entry 0.
  for (Rgba8& p : sheet->pixels) p.a = (p.r | p.g | p.b) < 4 ? 0 : 255;
  QuantizeOptions options;
  options.reserve = Reserve::kKeyBlack0;
  options.dither = 0.5f;
  return WriteCel(out, "rebuilt.cel", *sheet, options).has_value();
}

bool WriteCryptImages(Output& out) { return WriteCryptPicture(out) && WriteCaptionSheet(out); }

}  // namespace

MKDATA_GENERATOR("crypt", WriteCryptImages);

}  // namespace mkdata
