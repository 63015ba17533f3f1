// Key mapping (SDL keys to Windows virtual-key codes), the keyboard messages a press becomes,
// and the WIN32_INPUT script format.
#include <gtest/gtest.h>

#include "Win32Sdl.h"

namespace {

using win32::KeyboardState;
using win32::ScriptedEvent;
using win32::VirtualKeyFromSdl;

int Vk(SDL_Keycode key) { return VirtualKeyFromSdl(key, SDL_GetScancodeFromKey(key)); }

// A web page's keys: position (the event's code) for letters, digits and punctuation, whatever
// the layout and the browser make of their key codes; the legacy key code, which follows
// Windows', for the rest.
TEST(KeyMapping, WebPageKeysGetTheirWindowsCodes) {
  using win32::VirtualKeyFromDom;
  EXPECT_EQ(VirtualKeyFromDom("Enter", 13), VK_RETURN);
  EXPECT_EQ(VirtualKeyFromDom("NumpadEnter", 13), VK_RETURN);
  EXPECT_EQ(VirtualKeyFromDom("Escape", 27), VK_ESCAPE);
  EXPECT_EQ(VirtualKeyFromDom("Space", 32), VK_SPACE);
  EXPECT_EQ(VirtualKeyFromDom("KeyA", 65), 'A');
  EXPECT_EQ(VirtualKeyFromDom("KeyA", 81), 'A') << "the A position on a French layout types q";
  EXPECT_EQ(VirtualKeyFromDom("KeyZ", 89), 'Z') << "the Z position on a German layout types y";
  EXPECT_EQ(VirtualKeyFromDom("Digit0", 48), '0');
  EXPECT_EQ(VirtualKeyFromDom("Digit7", 55), '7');
  EXPECT_EQ(VirtualKeyFromDom("Semicolon", 59), VK_OEM_1) << "Firefox's key code for ;";
  EXPECT_EQ(VirtualKeyFromDom("Semicolon", 186), VK_OEM_1);
  EXPECT_EQ(VirtualKeyFromDom("Minus", 173), VK_OEM_MINUS) << "Firefox's key code for -";
  EXPECT_EQ(VirtualKeyFromDom("Quote", 222), VK_OEM_7);
  EXPECT_EQ(VirtualKeyFromDom("F4", 115), VK_F4);
  EXPECT_EQ(VirtualKeyFromDom("ShiftRight", 16), VK_SHIFT);
  EXPECT_EQ(VirtualKeyFromDom("AltLeft", 18), VK_MENU);
  EXPECT_EQ(VirtualKeyFromDom("Numpad5", 101), VK_NUMPAD5);
  EXPECT_EQ(VirtualKeyFromDom("ArrowLeft", 37), VK_LEFT);
  // A letter's position counts even while an input method composes (key code 229); without a
  // position, that code, an unknown key (0) or no code at all is no key.
  EXPECT_EQ(VirtualKeyFromDom("KeyX", 229), 'X');
  EXPECT_EQ(VirtualKeyFromDom("", 229), 0);
  EXPECT_EQ(VirtualKeyFromDom("Unidentified", 0), 0);
  EXPECT_EQ(VirtualKeyFromDom(nullptr, 0), 0);
  EXPECT_EQ(VirtualKeyFromDom("KeyAB", 0), 0);
  EXPECT_EQ(VirtualKeyFromDom("Keya", 0), 0);
}

TEST(KeyMapping, KeysTheProgramAndItsViewersUseGetTheirWindowsCodes) {
  EXPECT_EQ(Vk(SDLK_RETURN), 13);
  EXPECT_EQ(Vk(SDLK_KP_ENTER), 13);
  EXPECT_EQ(Vk(SDLK_ESCAPE), 27);
  EXPECT_EQ(Vk(SDLK_SPACE), VK_SPACE);
  EXPECT_EQ(Vk(SDLK_LEFT), VK_LEFT);
  EXPECT_EQ(Vk(SDLK_UP), VK_UP);
  EXPECT_EQ(Vk(SDLK_RIGHT), VK_RIGHT);
  EXPECT_EQ(Vk(SDLK_DOWN), VK_DOWN);
  EXPECT_EQ(Vk(SDLK_BACKSPACE), VK_BACK);
  EXPECT_EQ(Vk(SDLK_TAB), VK_TAB);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(Vk(SDLK_F1 + i), VK_F1 + i) << "F" << i + 1;
  EXPECT_EQ(VK_F4, 0x73);
}

TEST(KeyMapping, LettersAndDigitsFollowTheKeyPositionNotTheLayout) {
  for (int i = 0; i < 26; ++i) {
    const auto scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_A + i);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_a + i, scancode), 'A' + i);
    // A French keyboard sends 'q' from the key where US has 'A': Windows still says VK 'A'.
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_q, scancode), 'A' + i);
  }
  EXPECT_EQ(Vk(SDLK_0), '0');
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(Vk(SDLK_1 + i - 1), '0' + i);
  EXPECT_EQ(Vk(SDLK_KP_0), VK_NUMPAD0);
  EXPECT_EQ(Vk(SDLK_KP_9), VK_NUMPAD9);
}

TEST(KeyMapping, BothSidesOfAModifierReportTheGenericCodeAndUnknownKeysNone) {
  EXPECT_EQ(Vk(SDLK_LSHIFT), VK_SHIFT);
  EXPECT_EQ(Vk(SDLK_RSHIFT), VK_SHIFT);
  EXPECT_EQ(Vk(SDLK_LCTRL), VK_CONTROL);
  EXPECT_EQ(Vk(SDLK_RCTRL), VK_CONTROL);
  EXPECT_EQ(Vk(SDLK_LALT), VK_MENU);
  EXPECT_EQ(Vk(SDLK_RALT), VK_MENU);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(Vk(SDLK_AUDIOMUTE), 0);
}

TEST(KeyboardMessages, PressAndReleaseCarryTheWindowsKeyDataBits) {
  KeyboardState keyboard;
  const auto down = keyboard.Key(VK_RETURN, true, false);
  EXPECT_EQ(down.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(down.wParam, 13u);
  EXPECT_EQ(static_cast<uint32_t>(down.lParam), 1u);  // repeat count 1, was up, pressed

  const auto repeat = keyboard.Key(VK_RETURN, true, true);
  EXPECT_EQ(repeat.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(static_cast<uint32_t>(repeat.lParam), 1u | (1u << 30));  // was already down

  const auto up = keyboard.Key(VK_RETURN, false, false);
  EXPECT_EQ(up.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<uint32_t>(up.lParam), 1u | (1u << 30) | (1u << 31));
  EXPECT_LT(up.lParam, 0) << "LPARAM holds the 32-bit value sign-extended";
}

TEST(KeyboardMessages, AltTurnsKeysIntoSystemKeysUnlessCtrlIsHeld) {
  KeyboardState keyboard;
  const auto alt = keyboard.Key(VK_MENU, true, false);
  EXPECT_EQ(alt.message, static_cast<UINT>(WM_SYSKEYDOWN));
  const auto f4 = keyboard.Key(VK_F4, true, false);
  EXPECT_EQ(f4.message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_NE(static_cast<uint32_t>(f4.lParam) & (1u << 29), 0u) << "context bit: Alt is down";
  EXPECT_EQ(keyboard.Key(VK_F4, false, false).message, static_cast<UINT>(WM_SYSKEYUP));
  EXPECT_EQ(keyboard.Key(VK_MENU, false, false).message, static_cast<UINT>(WM_SYSKEYUP));

  // Alt released: Enter is an ordinary key again.
  const auto enter = keyboard.Key(VK_RETURN, true, false);
  EXPECT_EQ(enter.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(static_cast<uint32_t>(enter.lParam) & (1u << 29), 0u);

  // Ctrl+Alt (AltGr on many layouts) types characters: no system keys.
  keyboard.Key(VK_CONTROL, true, false);
  keyboard.Key(VK_MENU, true, false);
  EXPECT_EQ(keyboard.Key('E', true, false).message, static_cast<UINT>(WM_KEYDOWN));

  KeyboardState fresh;
  EXPECT_EQ(fresh.Key(VK_F10, true, false).message, static_cast<UINT>(WM_SYSKEYDOWN)) << "F10 alone is a system key";
}

TEST(ScriptFormat, EntriesAreOrderedByFrameKeepingListOrderWithinAFrame) {
  std::vector<std::string> errors;
  const auto events = win32::ParseScript(" 120:down:13, 5:close ,120:up:0x0D,0:down:27", &errors);
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].frame, 0u);
  EXPECT_EQ(events[0].kind, ScriptedEvent::Kind::kDown);
  EXPECT_EQ(events[0].virtualKey, 27);
  EXPECT_EQ(events[1].frame, 5u);
  EXPECT_EQ(events[1].kind, ScriptedEvent::Kind::kClose);
  EXPECT_EQ(events[2].frame, 120u);
  EXPECT_EQ(events[2].kind, ScriptedEvent::Kind::kDown);
  EXPECT_EQ(events[3].frame, 120u);
  EXPECT_EQ(events[3].kind, ScriptedEvent::Kind::kUp);
  EXPECT_EQ(events[3].virtualKey, 13);
}

TEST(ScriptFormat, MalformedEntriesAreReportedOneByOneAndTheRestStillCounts) {
  const char* bad[] = {"x:down:13",  "-1:down:13", "3:press:13", "3:down",        "3:down:",
                       "3:down:0",   "3:down:255", "3:down:abc", "3:close:13",    "3:up:13:9",
                       "3",          ":close",     "3:down:0x",  "99999999999999999999:close"};
  std::string text = "1:down:13";
  for (const char* entry : bad) text += std::string(",") + entry;
  text += ",,2:up:13";
  std::vector<std::string> errors;
  const auto events = win32::ParseScript(text.c_str(), &errors);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].frame, 1u);
  EXPECT_EQ(events[1].frame, 2u);
  ASSERT_EQ(errors.size(), std::size(bad)) << "one message per malformed entry, none for the empty one";
  EXPECT_NE(errors[0].find("x:down:13"), std::string::npos) << errors[0];

  EXPECT_TRUE(win32::ParseScript(nullptr, &errors).empty());
  EXPECT_TRUE(win32::ParseScript("", &errors).empty());
}

}  // namespace
