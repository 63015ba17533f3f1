// SDL keys to Windows virtual-key codes, and key presses to the keyboard messages Windows sends.
#include "Win32Internal.h"

namespace win32 {

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

KeyMessage KeyboardState::Key(int virtualKey, bool down, bool repeat, int scanCode) {
  const int vk = virtualKey & 0xFF;
  const bool wasDown = down_[vk];
  down_[vk] = down;
  if (vk == VK_MENU) altDown_ = down;
  if (vk == VK_CONTROL) ctrlDown_ = down;
  if (vk == VK_SHIFT) shiftDown_ = down;

  // Alt itself counts as held on its own release, so that the release is a system key too.
  const bool alt = altDown_ || vk == VK_MENU;
  const bool system = (alt && !ctrlDown_) || (vk == VK_F10 && !ctrlDown_);
  KeyMessage message{};
  message.message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  message.wParam = static_cast<WPARAM>(vk);
  uint32_t bits = 1u | (static_cast<uint32_t>(scanCode & 0xFF) << 16);
  if (alt) bits |= 1u << 29;
  if (down ? (wasDown || repeat) : true) bits |= 1u << 30;
  if (!down) bits |= 1u << 31;
  // lParam is a 32-bit value sign-extended into LPARAM, as on 64-bit Windows.
  message.lParam = static_cast<LPARAM>(static_cast<int32_t>(bits));
  return message;
}

int CharacterForKey(int virtualKey, bool shift) {
  switch (virtualKey) {
    case VK_RETURN: return '\r';
    case VK_ESCAPE: return 27;
    case VK_BACK: return 8;
    case VK_TAB: return '\t';
    case VK_SPACE: return ' ';
    default: break;
  }
  if (virtualKey >= '0' && virtualKey <= '9') return virtualKey;
  if (virtualKey >= 'A' && virtualKey <= 'Z') return shift ? virtualKey : virtualKey - 'A' + 'a';
  return 0;
}

}  // namespace win32
