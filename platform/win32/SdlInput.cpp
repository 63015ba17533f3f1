// SDL's keyboard, mouse and window events as window messages, and SDL keys as Windows
// virtual-key codes.
#include "Win32Sdl.h"

namespace win32 {
namespace {

LPARAM PointParam(int x, int y) {
  return static_cast<LPARAM>(static_cast<int32_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) | (x & 0xFFFF)));
}

void TranslateSdlEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int virtualKey = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
      if (virtualKey == 0) return;
      HWND window = WindowFromSdlId(event.key.windowID);
      if (window == nullptr) window = InputWindow();
      PostKeyInput(window, virtualKey, event.type == SDL_KEYDOWN, event.key.repeat != 0);
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      UINT message;
      switch (event.button.button) {
        case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: return;
      }
      HWND window = WindowFromSdlId(event.button.windowID);
      if (window == nullptr) window = InputWindow();
      if (window != nullptr) PostInput(window, message, 0, PointParam(event.button.x, event.button.y));
      return;
    }
    case SDL_WINDOWEVENT: {
      const HWND window = WindowFromSdlId(event.window.windowID);
      if (window == nullptr) return;
      // Focus changes are sent, as Windows sends them while the queue is being read.
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) PostToQueue(window, WM_CLOSE, 0, 0);
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) SendMessageA(window, WM_SETFOCUS, 0, 0);
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) SendMessageA(window, WM_KILLFOCUS, 0, 0);
      return;
    }
    case SDL_QUIT: {
      // The last window was closed, or the process was interrupted: ask the window to close.
      const HWND window = InputWindow();
      if (window != nullptr) PostToQueue(window, WM_CLOSE, 0, 0);
      return;
    }
    default:
      return;
  }
}

}  // namespace

int VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode == SDL_SCANCODE_0) return '0';
  // Events without a scancode (synthesised ones) still name their key.
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD1 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_RETURN: case SDLK_KP_ENTER: case SDLK_RETURN2: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    // Windows reports the generic modifier codes in WM_KEYDOWN; the left/right codes exist
    // only for GetKeyState.
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_LGUI: return VK_LWIN;
    case SDLK_RGUI: return VK_RWIN;
    case SDLK_APPLICATION: return VK_APPS;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    default: break;
  }
  switch (scancode) {  // punctuation by position, as the US layout names it
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    default: return 0;
  }
}

// Also without video: a process whose sound runs on SDL gets SDL's Ctrl+C as SDL_QUIT.
void PumpSystemEvents() {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) TranslateSdlEvent(event);
}

}  // namespace win32
