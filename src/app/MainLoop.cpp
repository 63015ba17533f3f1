#include "app/App.h"

namespace {

constexpr int kEnter = VK_RETURN;
constexpr int kEscape = VK_ESCAPE;

// Ends the scene in row `index` (its done, if any) and starts the next one. Returns false when
// the next row has no init (the empty end row), which ends the presentation.
bool AdvanceScene(int& index) {
  if (SceneTable[index].done != nullptr) SceneTable[index].done();
  ++index;
  if (index >= kSceneRows || SceneTable[index].init == nullptr) return false;
  SceneTable[index].init();
  return true;
}

}  // namespace

void MainLoop() {
  int index = 0;
  bool quit = false;
  bool skipPending = false;
  MSG msg{};

  SceneTable[0].init();

  for (;;) {
    if (skipPending) {
      // Wait, without sleeping, for Enter to be released. The window closed meanwhile ends
      // the presentation at once, as the quit message does in the pump below: the window is
      // gone, so there is nothing left to play in.
      while (KeyState[kEnter] != 0) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
          if (msg.message == WM_QUIT) return;
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      skipPending = false;
      if (!AdvanceScene(index)) quit = true;
    } else if (SceneTable[index].frame() != 0) {
      if (!AdvanceScene(index)) quit = true;
    }

    if (KeyState[kEscape] != 0) quit = true;
    if (KeyState[kEnter] != 0) skipPending = true;

    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (quit) return;
  }
}
