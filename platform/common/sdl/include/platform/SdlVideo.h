// The one SDL video session of the process, shared by the Win32 stand-in (which creates the
// program's window on it) and the Glide stand-in (which presents frames into that window).
#pragma once

struct SDL_Window;

namespace platform {

// True when a real display can be used: SDL's video subsystem starts with a driver other than
// "dummy" or "offscreen". Decided once per process; starts SDL video as a side effect when true.
bool DisplayAvailable();

// The program's window, or null when there is none (headless, or not created yet).
SDL_Window* SharedWindow();
void SetSharedWindow(SDL_Window* window);

}  // namespace platform
