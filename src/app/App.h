// The application shell: entry point, the window and its key state, the scene table and the
// main loop that plays it.
#pragma once

#include <windows.h>

#include <cstdint>

struct SceneEntry {
  void (*init)();
  int32_t (*frame)();  // nonzero when the scene is over
  void (*done)();      // optional
};

inline constexpr int kSceneRows = 11;  // ten scenes and an empty end row

extern SceneEntry SceneTable[kSceneRows];
extern int32_t KeyState[256];  // 1 while the key with that virtual-key code is down
extern HWND MainWindow;

// Clears every row, then registers the scenes in playing order.
void FillSceneTable();

// Plays the scene table from row 0 until the last scene ends, Escape, or the quit message.
void MainLoop();

int CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Single-precision, round-to-nearest arithmetic for the whole program (see WinMain.cpp).
void SetFpuSinglePrecision();
