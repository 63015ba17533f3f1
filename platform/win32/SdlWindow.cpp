// The windows' system windows over SDL, on the shared SDL video session: the program's pop-up
// window where a display exists, and in tests on SDL's dummy driver.
#include <vector>

#include "Win32Sdl.h"
#include "platform/SdlVideo.h"

namespace win32 {
namespace {

bool SdlForTesting = false;
// The program's SDL window after DestroyWindow: hidden, not destroyed, because the Glide
// presenter may still hold a renderer on it until grGlideShutdown. It goes with the process.
std::vector<SDL_Window*> Retired;

}  // namespace

void SetSdlWindowsForTesting(bool enabled) { SdlForTesting = enabled; }

bool SystemWindowsAvailable() {
  if (platform::DisplayAvailable()) return true;
  if (!SdlForTesting) return false;
  return SDL_WasInit(SDL_INIT_VIDEO) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

SDL_Window* CreateSystemWindow(LPCSTR title, DWORD style, int x, int y, int width, int height) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  const int left = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x;
  const int top = y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y;
  if (width <= 0 || width == CW_USEDEFAULT) width = 640;
  if (height <= 0 || height == CW_USEDEFAULT) height = 480;
  SDL_Window* window = SDL_CreateWindow(title != nullptr ? title : "", left, top, width, height, flags);
  if (window == nullptr) {
    Warn("cannot create an SDL window (%s); going on without one", SDL_GetError());
    return nullptr;
  }
  if (platform::SharedWindow() == nullptr) platform::SetSharedWindow(window);
  return window;
}

void ReleaseSystemWindow(SDL_Window* window) {
  if (window == platform::SharedWindow()) {
    SDL_HideWindow(window);
    platform::SetSharedWindow(nullptr);
    Retired.push_back(window);
  } else {
    SDL_DestroyWindow(window);
  }
}

void ShowSystemWindow(SDL_Window* window, int showCommand) {
  if (showCommand == SW_HIDE) {
    SDL_HideWindow(window);
    return;
  }
  SDL_ShowWindow(window);
  if (showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINIMIZED || showCommand == SW_SHOWMINNOACTIVE) {
    SDL_MinimizeWindow(window);
  } else if (showCommand == SW_RESTORE) {
    SDL_RestoreWindow(window);
  }
}

uint32_t SystemWindowId(SDL_Window* window) { return SDL_GetWindowID(window); }

void DestroySystemWindow(SDL_Window* window) {
  if (window == nullptr) return;
  if (window == platform::SharedWindow()) platform::SetSharedWindow(nullptr);
  SDL_DestroyWindow(window);
}

void DestroyReleasedSystemWindows() {
  for (SDL_Window* window : Retired) SDL_DestroyWindow(window);
  Retired.clear();
}

}  // namespace win32
