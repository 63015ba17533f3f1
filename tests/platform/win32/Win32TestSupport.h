// A window class whose procedure behaves like the program's (WM_DESTROY posts the quit message,
// everything else goes to DefWindowProcA) and records what it receives.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "Win32Sdl.h"
#include "platform/FrameClock.h"

namespace win32test {

struct Received {
  UINT message;
  WPARAM wParam;
  HWND window;
  bool operator==(const Received&) const = default;
};

inline std::vector<Received> Log;

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Log.push_back({message, wParam, window});
  if (message == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProcA(window, message, wParam, lParam);
}

// A fresh stand-in: no windows, empty queue, frame 0, WIN32_INPUT as given (null: unset).
inline void ResetWin32(const char* script) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (script != nullptr) {
    setenv("WIN32_INPUT", script, 1);
  } else {
    unsetenv("WIN32_INPUT");
  }
  win32::SetSdlWindowsForTesting(false);
  win32::ResetForTesting();
  platform::ResetFrameClock();
  Log.clear();
}

inline HWND CreateTestWindow(const char* className = "KeldrinTest") {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = RecordingProc;
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);  // a second registration of the same name fails harmlessly
  return CreateWindowExA(0, className, "Test", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
}

// Every message waiting now, taken and dispatched the way the program's loop does it.
inline std::vector<UINT> PumpAll(bool* sawQuit = nullptr, WPARAM* quitCode = nullptr) {
  std::vector<UINT> seen;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    seen.push_back(msg.message);
    if (msg.message == WM_QUIT) {
      if (sawQuit != nullptr) *sawQuit = true;
      if (quitCode != nullptr) *quitCode = msg.wParam;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return seen;
}

}  // namespace win32test
