#include "platform/SdlVideo.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

int DisplayState = -1;  // -1 undecided, 0 none, 1 available
SDL_Window* Window = nullptr;

bool DecideDisplay() {
#if defined(__linux__)
  // With no display server named and no driver asked for, there is nothing to find; asking SDL
  // anyway only makes its Wayland probe complain on stderr.
  if (std::getenv("SDL_VIDEODRIVER") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr) {
    return false;
  }
  // Nothing here takes text, only keys, so X's input method needs no compose table: parsing the
  // locale's (thousands of lines) was a third of SDL's video start-up. A table the user names
  // is kept.
  setenv("XCOMPOSEFILE", "/dev/null", 0);
#endif
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  return true;
}

}  // namespace

bool DisplayAvailable() {
  if (DisplayState < 0) DisplayState = DecideDisplay() ? 1 : 0;
  return DisplayState == 1;
}

SDL_Window* SharedWindow() { return Window; }
void SetSharedWindow(SDL_Window* window) { Window = window; }

}  // namespace platform
