// Pictures for the data generator: an RGBA image type, a cairo canvas to draw vectors, gradients
// and text on, FreeType fonts from the DejaVu package, a blur for glows, and PNG output for
// looking at what was made.
//
// Typical use:
//   mkdata::Canvas canvas(256, 256);
//   cairo_t* cr = canvas.Cr();              // any cairo drawing
//   auto font = mkdata::Font::Load("DejaVuSans-Bold.ttf");
//   if (!font) return false;                // the message is already on stderr
//   mkdata::SetFont(cr, *font, 48.0);
//   mkdata::CentredTextPath(cr, "WORD", 128.0, 128.0);
//   cairo_fill(cr);
//   mkdata::Image picture = canvas.ToImage();
// then Quantize (Quantize.h) and EncodeCel (Cel.h).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mkdata {

struct Rgba8 {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  friend bool operator==(const Rgba8&, const Rgba8&) = default;
};

// Straight (not premultiplied) alpha, rows top to bottom.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgba8> pixels;

  Image() = default;
  Image(int w, int h, Rgba8 fill = {0, 0, 0, 255});
  Rgba8& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  const Rgba8& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A cairo ARGB32 image surface, transparent black at first. Draw on Cr() with any cairo call.
class Canvas {
 public:
  Canvas(int width, int height);
  explicit Canvas(const Image& image);  // starts with a copy of the image
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* Cr() const { return cr_; }
  cairo_surface_t* Surface() const { return surface_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Composites `image` with its top-left corner at (x, y), with cairo operator `op` and an
  // overall opacity (CAIRO_OPERATOR_ADD adds light, as glows need).
  void Paint(const Image& image, double x = 0.0, double y = 0.0, double opacity = 1.0,
             cairo_operator_t op = CAIRO_OPERATOR_OVER);

  Image ToImage() const;

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// A font file of the fonts-dejavu-core package (for example "DejaVuSans-Bold.ttf" or
// "DejaVuSansCondensed-Bold.ttf"), opened with FreeType. An absolute path is used as it is.
class Font {
 public:
  // Null, with one line on stderr naming the file and the package, when the font is missing.
  static std::unique_ptr<Font> Load(const std::string& fileName);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  cairo_font_face_t* Face() const { return face_; }

 private:
  explicit Font(cairo_font_face_t* face) : face_(face) {}
  cairo_font_face_t* face_;
};

// Where the DejaVu fonts are installed.
inline constexpr const char* kDejaVuDir = "/usr/share/fonts/truetype/dejavu";

// Selects `font` at `sizePx` pixels (em size) with grey anti-aliasing and no hinting, so that text
// renders the same on every machine with the same FreeType.
void SetFont(cairo_t* cr, const Font& font, double sizePx);

// Appends `text` (UTF-8) to the current path with its ink box centred on (cx, cy).
void CentredTextPath(cairo_t* cr, const std::string& text, double cx, double cy);

// Font size at which `text` with `font` is `widthPx` pixels wide (ink extents).
double FitTextSize(const Font& font, const std::string& text, double widthPx);

// Gaussian-like blur (three box passes per axis, on premultiplied values) of radius `sigma` pixels.
Image Blur(const Image& image, double sigma);

// A soft edge for light that must stay inside a band or cell: 0 at `distance` 0 (the outermost
// row or column) and beyond, rising smoothly to 1 at `margin` pixels inside.
float EdgeFade(float distance, float margin);

// Writes `image` as an RGBA PNG. False with one line on stderr on failure.
bool WritePng(const std::string& path, const Image& image);

}  // namespace mkdata
