// The SDL presenter: the shown frame, through the display table, into a streaming texture on
// the program's window (full screen at the desktop's resolution, or a resizable window),
// scaled with its aspect kept and black bars around it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PresentGamma.h"
#include "PresentSink.h"
#include "PresentWindow.h"
#include "Settings.h"
#include "platform/Opened.h"

namespace glide {

// Whether presents that ask for vsync really wait for the retrace. A present returning within
// half a period of the previous one scores 2, any other takes 1 off: a score of 16 means vsync
// is not pacing. A working vsync never returns that early once the first queued frames are out;
// slow frames on a busy machine do not hide a vsync that doesn't wait.
class VsyncWatch {
 public:
  explicit VsyncWatch(double period = 1.0 / 60) : period_(period) {}
  // Notes a vsync present `secondsSinceLastPresent` after the previous one; false from the
  // present that shows vsync does not wait on.
  bool Note(double secondsSinceLastPresent);

  static constexpr int kFastPresentLimit = 16;

 private:
  double period_;
  int fastPresents_ = 0;
  bool waits_ = true;
};

// Where a width x height picture goes in a window of windowWidth x windowHeight: the largest
// whole multiple that fits, centred, or, in a window smaller than the picture, the largest size
// of the same aspect that fits.
struct PictureLayout {
  int x = 0, y = 0, width = 0, height = 0;
};
PictureLayout FitPicture(int windowWidth, int windowHeight, int width, int height);

// The width x height frame (`stride` pixels a row) through the display table into the layout's
// rectangle of a 32-bit 0x00RRGGBB buffer (`pitch` words a row), each window pixel from the
// picture pixel it falls in. `row` is scratch space.
void DrawPicture(const uint16_t* front, int width, int height, int stride, const DisplayTable& table,
                 const PictureLayout& layout, uint32_t* pixels, int pitch, std::vector<uint32_t>& row);

class SdlPresenter final : public FrameSink {
 public:
  // `kind` is kFullscreen or kWindow; SDL video must be running (platform::DisplayAvailable).
  // Uses the program's window (platform::SharedWindow) or, when there is none, a window of its
  // own. Fails when no renderer can be made.
  static platform::Opened<SdlPresenter> Open(PresenterKind kind, int width, int height, int rateHz);
  ~SdlPresenter() override;
  SdlPresenter(const SdlPresenter&) = delete;
  SdlPresenter& operator=(const SdlPresenter&) = delete;

  // Shows `front` (width x height RGB565). With `vsync` the call returns after the display's
  // retrace. False when the program's window has gone: the presenter is then useless.
  bool Show(const uint16_t* front, int stride, const DisplayTable& table, bool vsync);
  bool Take(const ShownFrame& frame) override { return Show(frame.pixels, frame.stride, frame.display, frame.vsync); }

  // Whether presenting with vsync paces swaps at the requested rate: the display refreshes at
  // that rate and presents really wait for it (checked on the presents themselves, so a
  // minimised window or a driver ignoring vsync falls back to sleeping).
  bool VsyncPaces() const override { return vsyncTrusted_; }

 private:
  SdlPresenter() = default;
  // The accelerated renderer, unless there is no GPU or its OpenGL is a software one; then SDL's
  // software renderer.
  SDL_Renderer* CreateRenderer(SDL_Window* window, Uint32 vsyncFlag);
  // The renderer's streaming texture for the frames, with the picture's aspect kept; the reason
  // when it cannot be made.
  std::string MakeTexture();
  // Without an accelerated renderer: straight into the window's surface (the display server's
  // shared memory), scaled here. Nothing is shown while the window has no surface.
  bool ShowOnSurface(const uint16_t* front, int stride, const DisplayTable& table);
  bool ShowWithRenderer(const uint16_t* front, int stride, const DisplayTable& table, bool vsync);
  void CheckVsync(double secondsSinceLastPresent);

  SDL_Window* window_ = nullptr;
  bool ownsWindow_ = false;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  bool onSurface_ = false;              // no renderer: frames go to the window surface
  const SDL_Surface* barsDrawn_ = nullptr;  // the surface whose bars are black already
  int barsWidth_ = 0, barsHeight_ = 0;
  std::vector<uint32_t> row_;       // one converted picture row
  std::vector<uint32_t> picture_;   // the whole picture, for a surface of another format
  int width_ = 0;
  int height_ = 0;
  bool vsyncOn_ = false;       // the renderer's current vsync setting
  bool vsyncTrusted_ = false;  // pacing may rely on it
  VsyncWatch vsyncWatch_;
  uint64_t lastPresentTicks_ = 0;
};

// Whether an OpenGL renderer string names a rasterizer that runs on the CPU.
bool IsSoftwareOpenGl(const std::string& glRenderer);

}  // namespace glide
