// Key presses to the keyboard messages Windows sends, and the characters they make.
#include <string_view>
#include <utility>

#include "Win32Internal.h"

namespace win32 {

int VirtualKeyFromDom(const char* code, unsigned keyCode) {
  const std::string_view name = code != nullptr ? code : "";
  if (name.size() == 4 && name.starts_with("Key") && name[3] >= 'A' && name[3] <= 'Z') return name[3];
  if (name.size() == 6 && name.starts_with("Digit") && name[5] >= '0' && name[5] <= '9') return name[5];
  // Punctuation by position, as the US layout names it (browsers disagree on its keyCode).
  static constexpr std::pair<std::string_view, int> kPunctuation[] = {
      {"Semicolon", VK_OEM_1}, {"Equal", VK_OEM_PLUS},    {"Comma", VK_OEM_COMMA},
      {"Minus", VK_OEM_MINUS}, {"Period", VK_OEM_PERIOD}, {"Slash", VK_OEM_2},
      {"Backquote", VK_OEM_3}, {"BracketLeft", VK_OEM_4}, {"Backslash", VK_OEM_5},
      {"BracketRight", VK_OEM_6}, {"Quote", VK_OEM_7}};
  for (const auto& [key, virtualKey] : kPunctuation) {
    if (name == key) return virtualKey;
  }
  // The page's key codes were made after Windows' virtual-key codes, the modifiers' generic
  // codes included; 229 only says an input method has the key.
  if (keyCode >= 1 && keyCode <= 254 && keyCode != 229) return static_cast<int>(keyCode);
  return 0;
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
