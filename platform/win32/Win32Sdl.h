// The Win32 stand-in's SDL side, for its files over SDL and for its tests.
#pragma once

#include <SDL.h>

#include "Win32Internal.h"

namespace win32 {

// The Windows virtual-key code of an SDL key, or 0 for keys with none. The key's position
// (scancode) decides for letters and digits, so the codes follow the US layout as Windows'
// VK_A..VK_Z and '0'..'9' do on every layout's physical keys.
int VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode);

// Whether windows get SDL backing even where no real display exists (SDL's dummy and offscreen
// drivers can create windows): lets tests drive the SDL path.
void SetSdlWindowsForTesting(bool enabled);

}  // namespace win32
