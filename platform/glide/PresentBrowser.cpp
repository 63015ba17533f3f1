// The window sink of the WebAssembly build: the shown frame, through the display table, onto the
// web page's canvas (a 2D canvas of the picture's size; the page scales it to its window with the
// aspect kept). The page is the display, full screen or not as its viewer chooses.
#include <emscripten.h>

#include <memory>
#include <vector>

#include "PresentGamma.h"
#include "PresentRecord.h"
#include "PresentWindow.h"

namespace glide {
namespace {

// The page's canvas (Module.canvas) takes the picture at its own size; Module.onFrameShown, if
// the page has one, hears of every frame put there.
EM_JS(void, keldrin_canvas_show, (const void* pixels, int width, int height, double frame), {
  const canvas = Module.canvas;
  if (!canvas) return;
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
    Module.keldrinCanvasContext = null;
  }
  if (!Module.keldrinCanvasContext) Module.keldrinCanvasContext = canvas.getContext("2d", { alpha: false });
  const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
  Module.keldrinCanvasContext.putImageData(new ImageData(bytes, width, height), 0, 0);
  if (Module.onFrameShown) Module.onFrameShown(frame);
});

// The canvas's RGBA bytes (R, G, B, 255 in memory order) of every RGB565 value through the
// display table, as little-endian words.
std::vector<uint32_t> CanvasTable(const DisplayTable& table) {
  std::vector<uint32_t> canvas(65536);
  for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
    const uint32_t xrgb = table[static_cast<uint16_t>(pixel)];
    canvas[pixel] = 0xFF000000u | (xrgb & 0x0000FF00u) | ((xrgb >> 16) & 0xFFu) | ((xrgb & 0xFFu) << 16);
  }
  return canvas;
}

class CanvasSink final : public FrameSink {
 public:
  // The swap's pacing waits for the page's refreshes itself (PacerBrowser.cpp): VsyncPaces stays
  // false.
  bool Take(const ShownFrame& frame) override {
    if (frame.display.Gamma() != tableGamma_) {
      table_ = CanvasTable(frame.display);
      tableGamma_ = frame.display.Gamma();
    }
    pixels_.resize(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height));
    uint32_t* out = pixels_.data();
    for (int y = 0; y < frame.height; ++y) {
      const uint16_t* row = frame.pixels + static_cast<size_t>(y) * static_cast<size_t>(frame.stride);
      for (int x = 0; x < frame.width; ++x) *out++ = table_[row[x]];
    }
    keldrin_canvas_show(pixels_.data(), frame.width, frame.height, static_cast<double>(frame.number));
    return true;
  }

 private:
  float tableGamma_ = -1;
  std::vector<uint32_t> table_;   // the canvas's bytes of every RGB565 value at tableGamma_
  std::vector<uint32_t> pixels_;  // the picture as the canvas takes it
};

}  // namespace

// GLIDE_PRESENT: the page always has its canvas to show frames on; only none shows nothing.
OpenedSink OpenWindow(std::optional<PresenterKind> asked, int, int, int) {
  if (asked == PresenterKind::kNone) return OpenedSink::Nothing();
  return OpenedSink::Of(std::make_unique<CanvasSink>());
}

// The page draws at 1: its canvas is scaled to the window by the browser, and the rasterizer's
// time in the page grows with the square of the scale (GLIDE_SCALE in the address still asks).
int DisplayScale(std::optional<PresenterKind>, int, int, int) { return 1; }

// Frames are captured from the canvas by the page's own means; the WebAssembly build carries no
// PNG writer (libpng and zlib would add to every page load for a tool nobody there can use).
bool WritePng(const std::string& path, const uint8_t*, int, int, std::string* error) {
  *error = "cannot write " + path + ": the web page build writes no PNG files";
  return false;
}

}  // namespace glide
