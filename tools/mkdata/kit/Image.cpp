#include "kit/Image.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace mkdata {

Image::Image(int w, int h, Rgba8 fill)
    : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

namespace {

// cairo's ARGB32 is a native-endian 32-bit word with premultiplied colour.
uint32_t PackPremultiplied(Rgba8 p) {
  const auto pre = [&](uint8_t c) { return static_cast<uint32_t>((c * p.a + 127) / 255); };
  return static_cast<uint32_t>(p.a) << 24 | pre(p.r) << 16 | pre(p.g) << 8 | pre(p.b);
}

Rgba8 UnpackPremultiplied(uint32_t word) {
  const uint32_t a = word >> 24;
  if (a == 0) return {0, 0, 0, 0};
  const auto un = [&](uint32_t c) { return static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
  return {un(word >> 16 & 0xFF), un(word >> 8 & 0xFF), un(word & 0xFF), static_cast<uint8_t>(a)};
}

void CopyIntoSurface(const Image& image, cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    for (int x = 0; x < image.width; ++x) row[x] = PackPremultiplied(image.At(x, y));
  }
  cairo_surface_mark_dirty(surface);
}

FT_Library FreeTypeLibrary() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
      std::fprintf(stderr, "mkdata: FreeType cannot be initialised\n");
      return static_cast<FT_Library>(nullptr);
    }
    return lib;
  }();
  return library;
}

const cairo_user_data_key_t kFtFaceKey{};

void DoneFtFace(void* face) { FT_Done_Face(static_cast<FT_Face>(face)); }

// Ink box of the glyphs of `text` at the current font.
cairo_text_extents_t InkExtents(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents{};
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents;
}

// One box-filter pass of radius r over `count` values spaced `step` apart; outside is zero.
void BoxPass(float* values, int count, int step, int r, std::vector<float>& scratch) {
  scratch.assign(static_cast<size_t>(count), 0.0f);
  const float scale = 1.0f / static_cast<float>(2 * r + 1);
  double sum = 0.0;
  for (int i = 0; i <= std::min(r, count - 1); ++i) sum += values[static_cast<ptrdiff_t>(i) * step];
  for (int i = 0; i < count; ++i) {
    scratch[static_cast<size_t>(i)] = static_cast<float>(sum) * scale;
    const int add = i + r + 1;
    const int drop = i - r;
    if (add < count) sum += values[static_cast<ptrdiff_t>(add) * step];
    if (drop >= 0) sum -= values[static_cast<ptrdiff_t>(drop) * step];
  }
  for (int i = 0; i < count; ++i) values[static_cast<ptrdiff_t>(i) * step] = scratch[static_cast<size_t>(i)];
}

}  // namespace

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GOOD);
}

Canvas::Canvas(const Image& image) : Canvas(image.width, image.height) { CopyIntoSurface(image, surface_); }

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

void Canvas::Paint(const Image& image, double x, double y, double opacity, cairo_operator_t op) {
  cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  CopyIntoSurface(image, source);
  cairo_save(cr_);
  cairo_set_operator(cr_, op);
  cairo_set_source_surface(cr_, source, x, y);
  cairo_paint_with_alpha(cr_, opacity);
  cairo_restore(cr_);
  cairo_surface_destroy(source);
}

Image Canvas::ToImage() const {
  cairo_surface_flush(surface_);
  Image image(width_, height_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  for (int y = 0; y < height_; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    for (int x = 0; x < width_; ++x) image.At(x, y) = UnpackPremultiplied(row[x]);
  }
  return image;
}

std::unique_ptr<Font> Font::Load(const std::string& fileName) {
  const std::filesystem::path path =
      fileName.starts_with('/') ? std::filesystem::path(fileName) : std::filesystem::path(kDejaVuDir) / fileName;
  FT_Library library = FreeTypeLibrary();
  FT_Face face = nullptr;
  if (!library || FT_New_Face(library, path.c_str(), 0, &face) != 0) {
    std::fprintf(stderr, "mkdata: cannot open the font %s (install the Debian package fonts-dejavu-core)\n",
                 path.c_str());
    return nullptr;
  }
  cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
  // cairo may keep the face after the Font is gone; the FT_Face is released with it.
  if (cairo_font_face_set_user_data(cairoFace, &kFtFaceKey, face, DoneFtFace) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(cairoFace);
    FT_Done_Face(face);
    std::fprintf(stderr, "mkdata: cannot use the font %s\n", path.c_str());
    return nullptr;
  }
  return std::unique_ptr<Font>(new Font(cairoFace));
}

Font::~Font() { cairo_font_face_destroy(face_); }

void SetFont(cairo_t* cr, const Font& font, double sizePx) {
  cairo_set_font_face(cr, font.Face());
  cairo_set_font_size(cr, sizePx);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

void CentredTextPath(cairo_t* cr, const std::string& text, double cx, double cy) {
  const cairo_text_extents_t ink = InkExtents(cr, text);
  cairo_move_to(cr, cx - ink.x_bearing - ink.width / 2.0, cy - ink.y_bearing - ink.height / 2.0);
  cairo_text_path(cr, text.c_str());
}

double FitTextSize(const Font& font, const std::string& text, double widthPx) {
  Canvas scratch(1, 1);
  SetFont(scratch.Cr(), font, 100.0);
  const cairo_text_extents_t ink = InkExtents(scratch.Cr(), text);
  return ink.width > 0.0 ? 100.0 * widthPx / ink.width : 100.0;
}

Image Blur(const Image& image, double sigma) {
  // Three box passes of width w approximate a Gaussian when 3 (w^2 - 1) / 12 = sigma^2.
  const int radius = std::max(0, static_cast<int>(std::lround((std::sqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0)));
  const int w = image.width;
  const int h = image.height;
  std::vector<float> planes[4];
  for (auto& plane : planes) plane.resize(image.pixels.size());
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const Rgba8 p = image.pixels[i];
    const float a = p.a / 255.0f;
    planes[0][i] = p.r * a;
    planes[1][i] = p.g * a;
    planes[2][i] = p.b * a;
    planes[3][i] = p.a;
  }
  std::vector<float> scratch;
  if (radius > 0) {
    for (auto& plane : planes) {
      for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) BoxPass(plane.data() + static_cast<ptrdiff_t>(y) * w, w, 1, radius, scratch);
        for (int x = 0; x < w; ++x) BoxPass(plane.data() + x, h, w, radius, scratch);
      }
    }
  }
  Image out(w, h);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    const float a = planes[3][i];
    const auto channel = [&](float premultiplied) {
      if (a <= 0.0f) return uint8_t{0};
      return static_cast<uint8_t>(std::clamp(std::lround(premultiplied * 255.0f / a), 0L, 255L));
    };
    out.pixels[i] = {channel(planes[0][i]), channel(planes[1][i]), channel(planes[2][i]),
                     static_cast<uint8_t>(std::clamp(std::lround(a), 0L, 255L))};
  }
  return out;
}

bool WritePng(const std::string& path, const Image& image) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  CopyIntoSurface(image, surface);
  const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "mkdata: cannot write %s: %s\n", path.c_str(), cairo_status_to_string(status));
    return false;
  }
  return true;
}

float EdgeFade(float distance, float margin) {
  if (!(distance > 0.0f)) return 0.0f;
  const float k = std::min(distance / margin, 1.0f);
  return k * k * (3.0f - 2.0f * k);
}

}  // namespace mkdata
