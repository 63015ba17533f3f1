// The thread's message queue. PeekMessageA first moves what has arrived into it: the window
// system's keyboard, mouse and window events, and the scripted input that the frame clock has
// released. It then
// answers in Windows' order: posted messages, the quit message PostQuitMessage asked for, input
// messages. It never blocks. Single-threaded, like the program's one message pump.
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <deque>

#include "Win32Internal.h"
#include "platform/FrameClock.h"
#include "platform/Warn.h"

namespace win32 {
namespace {

struct MessageQueue {
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quit = false;
  int quitCode = 0;
  KeyboardState keyboard;
  bool scriptRead = false;
  std::vector<ScriptedEvent> script;
  size_t scriptNext = 0;
};

MessageQueue Queue;
const std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();

DWORD NowMs() {
  const auto elapsed = std::chrono::steady_clock::now() - Start;
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = NowMs();
  return msg;
}

// Scripted input due at the current frame count goes into the queues, in list order.
void ReleaseScript() {
  if (!Queue.scriptRead) {
    Queue.scriptRead = true;
    std::vector<std::string> errors;
    Queue.script = ParseScript(std::getenv("WIN32_INPUT"), &errors);
    for (const std::string& error : errors) Warn("%s", error.c_str());
  }
  const uint64_t frames = platform::FrameCount();
  while (Queue.scriptNext < Queue.script.size() && Queue.script[Queue.scriptNext].frame <= frames) {
    const ScriptedEvent& event = Queue.script[Queue.scriptNext++];
    const HWND window = InputWindow();
    if (event.kind == ScriptedEvent::Kind::kClose) {
      if (window != nullptr) PostToQueue(window, WM_CLOSE, 0, 0);
    } else {
      PostKeyInput(window, event.virtualKey, event.kind == ScriptedEvent::Kind::kDown, false);
    }
  }
}

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
    if (msg.hwnd != nullptr) return false;
  } else if (window != nullptr && msg.hwnd != window) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

bool Take(std::deque<MSG>& queue, LPMSG msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (Matches(*it, window, filterMin, filterMax)) {
      *msg = *it;
      if (remove) queue.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace

void Warn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::WarnV("win32", format, args);
  va_end(args);
}

void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Queue.posted.push_back(MakeMessage(window, message, wParam, lParam));
}

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Queue.input.push_back(MakeMessage(window, message, wParam, lParam));
}

void PostKeyInput(HWND window, int virtualKey, bool down, bool repeat) {
  const KeyMessage key = Queue.keyboard.Key(virtualKey, down, repeat);
  if (window != nullptr) PostInput(window, key.message, key.wParam, key.lParam);
}

void FlushWindowMessages(HWND window) {
  std::erase_if(Queue.posted, [window](const MSG& msg) { return msg.hwnd == window; });
  std::erase_if(Queue.input, [window](const MSG& msg) { return msg.hwnd == window; });
}

void ResetForTesting() {
  ResetWindowsForTesting();
  Queue = MessageQueue();
}

}  // namespace win32

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  if (msg == nullptr) return FALSE;
  win32::ReleaseScript();
  win32::PumpSystemEvents();
  const bool remove = (removeMessage & PM_REMOVE) != 0;
  if (win32::Take(win32::Queue.posted, msg, window, filterMin, filterMax, remove)) return TRUE;
  if (win32::Queue.quit) {
    // Generated when no posted message is waiting, whatever the filters (as Windows does).
    *msg = win32::MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(win32::Queue.quitCode), 0);
    if (remove) win32::Queue.quit = false;
    return TRUE;
  }
  return win32::Take(win32::Queue.input, msg, window, filterMin, filterMax, remove) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (msg == nullptr) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const int character = win32::CharacterForKey(static_cast<int>(msg->wParam), win32::Queue.keyboard.ShiftDown());
      if (character != 0) {
        win32::PostToQueue(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
                           static_cast<WPARAM>(character), msg->lParam);
      }
      return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && win32::FindWindowRecord(window) == nullptr) return FALSE;
  win32::PostToQueue(window, message, wParam, lParam);
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  win32::WindowRecord* record = win32::FindWindowRecord(window);
  if (record == nullptr) return 0;
  return record->proc(window, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  win32::Queue.quit = true;
  win32::Queue.quitCode = exitCode;
}

}  // extern "C"
