// The web page as the Win32 stand-in's window system: windows get no system window (the page's
// canvas, which the Glide stand-in draws on, is the program's window), and the page's key
// presses and releases become keyboard messages for the program's window.
#include <emscripten/html5.h>

#include <vector>

#include "Win32Internal.h"
#include "platform/BrowserPage.h"
#include "platform/FrameClock.h"

namespace win32 {
namespace {

struct PageKey {
  int virtualKey;
  bool down;
  bool repeat;
};

std::vector<PageKey> Pending;  // keys the page has delivered since the last pump
bool Listening = false;
uint64_t FramesAtLastPump = UINT64_MAX;

// Queued for the next pump: the program reads keys only through its message loop. True (the
// page's default action suppressed) for the keys the program answers, so that Enter does not
// also press a focused button of the page.
EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* event, void*) {
  const int virtualKey = VirtualKeyFromDom(event->code, static_cast<unsigned>(event->keyCode));
  if (virtualKey == 0) return EM_FALSE;
  Pending.push_back({virtualKey, eventType == EMSCRIPTEN_EVENT_KEYDOWN, event->repeat != 0});
  return virtualKey == VK_RETURN || virtualKey == VK_ESCAPE ? EM_TRUE : EM_FALSE;
}

}  // namespace

bool SystemWindowsAvailable() { return false; }
SDL_Window* CreateSystemWindow(LPCSTR, DWORD, int, int, int, int) { return nullptr; }
void ReleaseSystemWindow(SDL_Window*) {}
void ShowSystemWindow(SDL_Window*, int) {}
uint32_t SystemWindowId(SDL_Window*) { return 0; }
void DestroySystemWindow(SDL_Window*) {}
void DestroyReleasedSystemWindows() {}

void PumpSystemEvents() {
  if (!Listening) {
    Listening = true;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
  }
  // The page's keys arrive only while the program has given the thread back. A loop that reads
  // messages without showing frames in between (waiting for a key's release) waits for the
  // page's next refresh each time round; the main loop, which reads one message a frame, gives
  // the page a turn when it has not had one for a refresh (unpaced swaps wait nowhere).
  const uint64_t frames = platform::FrameCount();
  if (frames == FramesAtLastPump && Pending.empty()) {
    platform::WaitForRefresh();
  } else {
    platform::YieldToPageIfDue();
  }
  FramesAtLastPump = frames;

  const std::vector<PageKey> keys = std::move(Pending);
  Pending.clear();
  for (const PageKey& key : keys) PostKeyInput(InputWindow(), key.virtualKey, key.down, key.repeat);
}

}  // namespace win32
