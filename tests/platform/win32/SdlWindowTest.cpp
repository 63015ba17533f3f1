// The SDL-backed window on SDL's dummy video driver, which creates windows without a display:
// the window's shape and visibility, and SDL events becoming window messages.
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "platform/SdlVideo.h"

namespace {

using win32test::CreateTestWindow;
using win32test::PumpAll;
using win32test::ResetWin32;

class SdlWindow : public testing::Test {
 protected:
  void SetUp() override {
    ResetWin32(nullptr);
    win32::SetSdlWindowsForTesting(true);
    window_ = CreateTestWindow();
    ASSERT_NE(window_, nullptr);
    sdl_ = platform::SharedWindow();
    if (sdl_ == nullptr) GTEST_SKIP() << "SDL cannot create windows here: " << SDL_GetError();
  }
  void TearDown() override { ResetWin32(nullptr); }

  void PushKey(SDL_Keycode key, bool down, Uint32 windowId, Uint16 mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = windowId;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  }

  void PushWindowEvent(Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(sdl_);
    event.window.event = what;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  }

  HWND window_ = nullptr;
  SDL_Window* sdl_ = nullptr;
};

TEST_F(SdlWindow, IsABorderless640x480PopUpHiddenUntilShown) {
  int width = 0, height = 0;
  SDL_GetWindowSize(sdl_, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_NE(SDL_GetWindowFlags(sdl_) & SDL_WINDOW_BORDERLESS, 0u);
  EXPECT_NE(SDL_GetWindowFlags(sdl_) & SDL_WINDOW_HIDDEN, 0u);
  ShowWindow(window_, SW_SHOWDEFAULT);
  EXPECT_EQ(SDL_GetWindowFlags(sdl_) & SDL_WINDOW_HIDDEN, 0u);
  ShowWindow(window_, SW_HIDE);
  EXPECT_NE(SDL_GetWindowFlags(sdl_) & SDL_WINDOW_HIDDEN, 0u);
}

TEST_F(SdlWindow, KeyEventsBecomeKeyMessagesForTheWindow) {
  const Uint32 id = SDL_GetWindowID(sdl_);
  PushKey(SDLK_RETURN, true, id);
  PushKey(SDLK_RETURN, false, id);
  PushKey(SDLK_KP_ENTER, true, id);
  PushKey(SDLK_ESCAPE, true, 0);  // no window id: the focus window gets it
  PushKey(SDLK_F1, true, id);
  PushKey(SDLK_AUDIOMUTE, true, id);  // no Windows code: dropped
  std::vector<std::pair<UINT, WPARAM>> seen;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    EXPECT_EQ(msg.hwnd, window_);
    seen.emplace_back(msg.message, msg.wParam);
  }
  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_KEYDOWN, 13}, {WM_KEYUP, 13}, {WM_KEYDOWN, 13}, {WM_KEYDOWN, 27}, {WM_KEYDOWN, VK_F1}};
  EXPECT_EQ(seen, expected);
}

TEST_F(SdlWindow, ClosingTheWindowDestroysItAndQuits) {
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);  // SDL adds this when its last window closes
  bool sawQuit = false;
  WPARAM code = 0;
  EXPECT_EQ(PumpAll(&sawQuit, &code), (std::vector<UINT>{WM_CLOSE, WM_QUIT}));
  EXPECT_TRUE(sawQuit);
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(platform::SharedWindow(), nullptr) << "the presenter must not draw into a destroyed window";
}

TEST_F(SdlWindow, AltF4FromTheKeyboardCloses) {
  const Uint32 id = SDL_GetWindowID(sdl_);
  PushKey(SDLK_LALT, true, id, KMOD_LALT);
  PushKey(SDLK_F4, true, id, KMOD_LALT);
  bool sawQuit = false;
  EXPECT_EQ(PumpAll(&sawQuit), (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_QUIT}));
  EXPECT_FALSE(IsWindow(window_));
}

}  // namespace
