#include "PresentSdl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "Misuse.h"
#include "platform/SdlVideo.h"

namespace glide {
namespace {

// The largest whole multiple of the picture that fits comfortably on the desktop.
int WindowScale(SDL_Window* window, int width, int height) {
  SDL_Rect usable{};
  const int display = window != nullptr ? std::max(0, SDL_GetWindowDisplayIndex(window)) : 0;
  if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return 1;
  const int scale = std::min(usable.w * 9 / 10 / width, usable.h * 9 / 10 / height);
  return std::max(1, scale);
}

// The whole multiple of the picture the desktop shows at full screen.
int DesktopScale(SDL_Window* window, int width, int height) {
  SDL_DisplayMode mode{};
  const int display = window != nullptr ? std::max(0, SDL_GetWindowDisplayIndex(window)) : 0;
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0) return 1;
  return std::max(1, std::min(mode.w / width, mode.h / height));
}

bool DisplayRefreshMatches(SDL_Window* window, int rateHz) {
  SDL_DisplayMode mode{};
  const int display = std::max(0, SDL_GetWindowDisplayIndex(window));
  if (SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate == 0) return false;
  return std::abs(mode.refresh_rate - rateHz) <= 1;
}

// The renderer string of the OpenGL context an OpenGL renderer made current, or "" for another
// kind of renderer.
std::string OpenGlRenderer(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr) return "";
  if (std::strncmp(info.name, "opengl", 6) != 0) return "";
  using GetString = const unsigned char* (*)(unsigned int);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (getString == nullptr) return "";
  constexpr unsigned int kGlRenderer = 0x1F01;
  const unsigned char* text = getString(kGlRenderer);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

// Whether the machine may have a GPU an OpenGL driver could use. On Linux a GPU shows as a DRI
// render node or an NVIDIA device; without either, any OpenGL is a CPU rasterizer, and loading
// one only to find that out costs tens of MiB.
bool MayHaveGpu() {
#if defined(__linux__)
  std::error_code error;
  if (std::filesystem::exists("/dev/nvidiactl", error)) return true;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
    if (entry.path().filename().string().rfind("renderD", 0) == 0) return true;
  }
  return false;
#else
  return true;
#endif
}

// A window surface this presenter writes words of 0x00RRGGBB into directly.
bool IsXrgbSurface(const SDL_Surface* surface) {
  const SDL_PixelFormat* f = surface->format;
  return f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF &&
         surface->pitch % 4 == 0;
}

}  // namespace

PictureLayout FitPicture(int windowWidth, int windowHeight, int width, int height) {
  PictureLayout layout;
  const int scale = std::min(windowWidth / width, windowHeight / height);
  if (scale >= 1) {
    layout.width = width * scale;
    layout.height = height * scale;
  } else if (static_cast<int64_t>(windowWidth) * height <= static_cast<int64_t>(windowHeight) * width) {
    layout.width = windowWidth;
    layout.height = static_cast<int>(static_cast<int64_t>(windowWidth) * height / width);
  } else {
    layout.height = windowHeight;
    layout.width = static_cast<int>(static_cast<int64_t>(windowHeight) * width / height);
  }
  layout.width = std::max(layout.width, 0);
  layout.height = std::max(layout.height, 0);
  layout.x = (windowWidth - layout.width) / 2;
  layout.y = (windowHeight - layout.height) / 2;
  return layout;
}

void DrawPicture(const uint16_t* front, int width, int height, int stride, const DisplayTable& table,
                 const PictureLayout& layout, uint32_t* pixels, int pitch, std::vector<uint32_t>& row) {
  row.resize(static_cast<size_t>(width));
  const auto sourceOf = [](int at, int source, int shown) {
    return static_cast<int>(static_cast<int64_t>(at) * source / shown);
  };
  if (layout.width == 2 * width && layout.height == 2 * height) {
    for (int y = 0; y < height; ++y) {
      uint32_t* out = pixels + static_cast<ptrdiff_t>(layout.y + 2 * y) * pitch + layout.x;
      table.ToXrgbDoubled(front + static_cast<ptrdiff_t>(y) * stride, width, out, out + pitch);
    }
    return;
  }
  int converted = -1;  // the picture row the previous window row showed
  uint32_t* previous = nullptr;
  for (int y = 0; y < layout.height; ++y) {
    uint32_t* out = pixels + static_cast<ptrdiff_t>(layout.y + y) * pitch + layout.x;
    const int sy = sourceOf(y, height, layout.height);
    if (sy == converted) {
      std::memcpy(out, previous, static_cast<size_t>(layout.width) * 4);
    } else if (layout.width == width) {
      table.ToXrgb(front + static_cast<ptrdiff_t>(sy) * stride, width, out);
    } else {
      table.ToXrgb(front + static_cast<ptrdiff_t>(sy) * stride, width, row.data());
      for (int x = 0; x < layout.width; ++x) out[x] = row[sourceOf(x, width, layout.width)];
    }
    converted = sy;
    previous = out;
  }
}

bool VsyncWatch::Note(double secondsSinceLastPresent) {
  fastPresents_ = secondsSinceLastPresent < period_ / 2 ? fastPresents_ + 2 : std::max(0, fastPresents_ - 1);
  waits_ = waits_ && fastPresents_ < kFastPresentLimit;
  return waits_;
}

bool IsSoftwareOpenGl(const std::string& glRenderer) {
  // Mesa's software rasterizers (llvmpipe, softpipe, the classic swrast) and the OpenSWR one.
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer", "SWR"}) {
    if (glRenderer.find(name) != std::string::npos) return true;
  }
  return false;
}

SDL_Renderer* SdlPresenter::CreateRenderer(SDL_Window* window, Uint32 vsyncFlag) {
  // An OpenGL that draws on the CPU costs several times what the program takes to draw the
  // frame: copy the picture to the window with SDL's own software renderer instead, unless the
  // user chose a render driver.
  const char* chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (chosen != nullptr && *chosen != '\0') {
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | vsyncFlag);
    return renderer != nullptr ? renderer : SDL_CreateRenderer(window, -1, vsyncFlag);
  }
  if (MayHaveGpu()) {
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | vsyncFlag);
    if (renderer != nullptr && !IsSoftwareOpenGl(OpenGlRenderer(renderer))) return renderer;
    if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  }
  // The window surface from the display server's shared memory, not from another OpenGL texture
  // (an environment setting still wins): the frames go straight into it, scaled by whole
  // multiples (SDL's software renderer would take a fifth of a core to scale a frame to a
  // full-HD screen); SDL's software renderer only where the surface has another pixel format.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  if (const SDL_Surface* surface = SDL_GetWindowSurface(window); surface != nullptr) {
    onSurface_ = true;
    return nullptr;
  }
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  return renderer != nullptr ? renderer : SDL_CreateRenderer(window, -1, vsyncFlag);
}

platform::Opened<SdlPresenter> SdlPresenter::Open(PresenterKind kind, int width, int height, int rateHz) {
  using Result = platform::Opened<SdlPresenter>;
  std::unique_ptr<SdlPresenter> presenter(new SdlPresenter());
  presenter->width_ = width;
  presenter->height_ = height;
  presenter->vsyncWatch_ = VsyncWatch(1.0 / rateHz);
  presenter->window_ = platform::SharedWindow();
  if (presenter->window_ == nullptr) {
    presenter->window_ = SDL_CreateWindow("glide", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                          SDL_WINDOW_HIDDEN);
    if (presenter->window_ == nullptr) return Result::Failure(std::string("cannot create a window: ") + SDL_GetError());
    presenter->ownsWindow_ = true;
  }
  SDL_Window* window = presenter->window_;
  if (kind == PresenterKind::kFullscreen) {
    // Cover the display first: an X server without a window manager ignores the full-screen
    // request, and the window would keep its 640 x 480.
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &bounds) == 0) {
      SDL_SetWindowPosition(window, bounds.x, bounds.y);
      SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(SDL_DISABLE);
  } else {
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowResizable(window, SDL_TRUE);
    const int scale = WindowScale(window, width, height);
    SDL_SetWindowSize(window, width * scale, height * scale);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);

  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // Vsync only where the display refreshes at the rate swaps are meant to come at.
  const bool wantVsync = DisplayRefreshMatches(window, rateHz);
  const Uint32 vsyncFlag = wantVsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  presenter->renderer_ = presenter->CreateRenderer(window, vsyncFlag);
  if (presenter->renderer_ == nullptr && presenter->onSurface_) return Result::Of(std::move(presenter));
  if (presenter->renderer_ == nullptr) return Result::Failure(std::string("cannot create a renderer: ") + SDL_GetError());
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(presenter->renderer_, &info);
  presenter->vsyncOn_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  // SDL's software renderer claims vsync but only copies to the window surface: pace by sleeping
  // from the first frame instead of finding that out after sixteen presents.
  presenter->vsyncTrusted_ = presenter->vsyncOn_ && (info.name == nullptr || std::strcmp(info.name, "software") != 0);
  if (std::string error = presenter->MakeTexture(); !error.empty()) return Result::Failure(error);
  return Result::Of(std::move(presenter));
}

std::string SdlPresenter::MakeTexture() {
  SDL_RenderSetLogicalSize(renderer_, width_, height_);  // aspect kept, black bars
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width_, height_);
  if (texture_ == nullptr) return std::string("cannot create a texture: ") + SDL_GetError();
  return "";
}

SdlPresenter::~SdlPresenter() {
  // The program's window outlives the presenter: Win32's DestroyWindow only hides it.
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (ownsWindow_ && window_ != nullptr) SDL_DestroyWindow(window_);
  SDL_ShowCursor(SDL_ENABLE);
}

bool SdlPresenter::Show(const uint16_t* front, int stride, const DisplayTable& table, bool vsync) {
  if (!ownsWindow_ && platform::SharedWindow() != window_) return false;
  if (onSurface_) return ShowOnSurface(front, stride, table);
  return ShowWithRenderer(front, stride, table, vsync);
}

bool SdlPresenter::ShowOnSurface(const uint16_t* front, int stride, const DisplayTable& table) {
  // The surface is made anew when the window's size changes; none while the window is hidden.
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return true;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return true;
  const PictureLayout layout = FitPicture(surface->w, surface->h, width_, height_);
  if (surface != barsDrawn_ || surface->w != barsWidth_ || surface->h != barsHeight_) {
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    barsDrawn_ = surface;
    barsWidth_ = surface->w;
    barsHeight_ = surface->h;
  }
  if (IsXrgbSurface(surface)) {
    DrawPicture(front, width_, height_, stride, table, layout, static_cast<uint32_t*>(surface->pixels), surface->pitch / 4,
                row_);
  } else {
    picture_.resize(static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height));
    DrawPicture(front, width_, height_, stride, table, {0, 0, layout.width, layout.height}, picture_.data(), layout.width,
                row_);
    auto* at = static_cast<uint8_t*>(surface->pixels) + static_cast<ptrdiff_t>(layout.y) * surface->pitch +
               static_cast<ptrdiff_t>(layout.x) * surface->format->BytesPerPixel;
    SDL_ConvertPixels(layout.width, layout.height, SDL_PIXELFORMAT_RGB888, picture_.data(), layout.width * 4,
                      surface->format->format, at, surface->pitch);
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  SDL_UpdateWindowSurface(window_);
  return true;
}

bool SdlPresenter::ShowWithRenderer(const uint16_t* front, int stride, const DisplayTable& table, bool vsync) {
  if (vsync != vsyncOn_) {
    vsyncOn_ = SDL_RenderSetVSync(renderer_, vsync ? 1 : 0) == 0 ? vsync : vsyncOn_;
  }
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) == 0) {
    for (int y = 0; y < height_; ++y) {
      table.ToXrgb(front + static_cast<ptrdiff_t>(y) * stride, width_,
                   reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<size_t>(y) * pitch));
    }
    SDL_UnlockTexture(texture_);
  }
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);

  const uint64_t now = SDL_GetPerformanceCounter();
  if (vsync && vsyncOn_ && lastPresentTicks_ != 0) {
    CheckVsync(static_cast<double>(now - lastPresentTicks_) / static_cast<double>(SDL_GetPerformanceFrequency()));
  }
  lastPresentTicks_ = now;
  return true;
}

int DisplayScale(std::optional<PresenterKind> asked, int width, int height, int most) {
  if (asked == PresenterKind::kNone || !platform::DisplayAvailable()) return 1;
  SDL_Window* window = platform::SharedWindow();
  const int fits = asked == PresenterKind::kWindow ? WindowScale(window, width, height)
                                                   : DesktopScale(window, width, height);
  return std::clamp(fits, 1, most);
}

OpenedSink OpenWindow(std::optional<PresenterKind> asked, int width, int height, int rateHz) {
  if (asked == PresenterKind::kNone) return OpenedSink::Nothing();  // no need to look for a display
  const bool display = platform::DisplayAvailable();
  const PresenterKind kind = asked.value_or(display ? PresenterKind::kFullscreen : PresenterKind::kNone);
  if (kind == PresenterKind::kNone) return OpenedSink::Nothing();
  if (!display) {
    return OpenedSink::Failure(std::string("GLIDE_PRESENT=") + PresenterName(kind) +
                               " needs a display and there is none; showing nothing");
  }
  platform::Opened<SdlPresenter> presenter = SdlPresenter::Open(kind, width, height, rateHz);
  if (!presenter.opened) return OpenedSink::Failure(presenter.error + "; showing nothing");
  return OpenedSink::Of(std::move(presenter.opened));
}

void SdlPresenter::CheckVsync(double secondsSinceLastPresent) {
  if (!vsyncWatch_.Note(secondsSinceLastPresent) && vsyncTrusted_) {
    vsyncTrusted_ = false;
    Warn("presents are not waiting for the display's retrace; pacing by sleeping instead");
  }
}

}  // namespace glide
