// PNG files of captured frames, through libpng. (The WebAssembly build has no PNG writer: its
// WritePng, in PresentBrowser.cpp, refuses.)
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "PresentRecord.h"

namespace glide {

namespace {

struct PngWriter {
  std::FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::string message;

  ~PngWriter() {
    if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    if (file != nullptr) std::fclose(file);
  }
};

void OnPngError(png_structp png, png_const_charp message) {
  static_cast<PngWriter*>(png_get_error_ptr(png))->message = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error) {
  PngWriter writer;
  writer.file = std::fopen(path.c_str(), "wb");
  if (writer.file == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, OnPngError, OnPngWarning);
  if (writer.png != nullptr) writer.info = png_create_info_struct(writer.png);
  if (writer.png == nullptr || writer.info == nullptr) {
    *error = "cannot write " + path + ": out of memory";
    return false;
  }
  std::vector<png_const_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[static_cast<size_t>(y)] = rgb + static_cast<size_t>(y) * width * 3;
  if (setjmp(png_jmpbuf(writer.png)) != 0) {
    *error = "cannot write " + path + ": " + writer.message;
    return false;
  }
  png_init_io(writer.png, writer.file);
  png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(writer.png, 3);  // captures are for looking at; speed over size
  png_set_rows(writer.png, writer.info, const_cast<png_bytepp>(rows.data()));
  png_write_png(writer.png, writer.info, PNG_TRANSFORM_IDENTITY, nullptr);
  std::FILE* file = writer.file;
  writer.file = nullptr;
  if (std::fclose(file) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace glide
