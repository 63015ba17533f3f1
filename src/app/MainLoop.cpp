#include "app/App.h"

namespace {

constexpr int kEnter = VK_RETURN;
constexpr int kEscape = VK_ESCAPE;

// The first row at or after `row` that has a scene, or kSceneRows when none is left. A row
// without an init is a scene this build does not have: it is passed over rather than called
// (with every scene present this is just the next row, and the empty end row ends the run).
int NextSceneRow(int row) {
  while (row < kSceneRows && SceneTable[row].init == nullptr) ++row;
  return row;
}

// Ends the scene in row `index` (its done, if any) and starts the next one. Returns false when
// no scene follows, which ends the presentation.
bool AdvanceScene(int& index) {
  if (SceneTable[index].done != nullptr) SceneTable[index].done();
  index = NextSceneRow(index + 1);
  if (index >= kSceneRows) return false;
  SceneTable[index].init();
  return true;
}

}  // namespace

void MainLoop() {
  int index = NextSceneRow(0);
  bool quit = false;
  bool skipPending = false;
  MSG msg{};

  if (index >= kSceneRows) return;  // an empty table ends at once
  SceneTable[index].init();

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
