// Internals of the Win32 stand-in shared by its files and its tests: the window registry, the
// message queue, the keyboard translation and the scripted input.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;

namespace win32 {

// One line "win32: MESSAGE" on stderr, formatted with the printf rules. Never throws.
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- Windows -------------------------------------------------------------------------------

struct WindowRecord {
  HWND handle = nullptr;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  SDL_Window* sdl = nullptr;  // null for a window without SDL backing (headless)
  bool visible = false;
  bool painted = false;  // UpdateWindow has sent the first WM_PAINT
  bool destroying = false;
};

// The live window with this handle, or null (never created, or destroyed).
WindowRecord* FindWindowRecord(HWND window);
// The window keyboard input goes to: the oldest live window, or null.
HWND InputWindow();
// The live window backed by this SDL window id, or null.
HWND WindowFromSdlId(uint32_t id);

// Destroys every window and forgets every class (part of ResetForTesting).
void ResetWindowsForTesting();

// ---- Message queue -------------------------------------------------------------------------

// Appends to the posted-message queue (PostMessageA) or to the input queue (keyboard and mouse).
void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Removes every queued message for `window` (DestroyWindow flushes them).
void FlushWindowMessages(HWND window);
// Turns a key press or release into its keyboard message for `window` (none when null).
void PostKeyInput(HWND window, int virtualKey, bool down, bool repeat);

// Back to the state of a fresh process: no windows, no classes, empty queues, no quit flag,
// WIN32_INPUT read again on next use. For tests.
void ResetForTesting();

// ---- The window system ---------------------------------------------------------------------
// What backs the windows and feeds the input queue: SDL's windows and events (SdlWindow.cpp,
// SdlInput.cpp), or the web page in the WebAssembly build (BrowserPage.cpp), whose canvas shows
// the Glide frames and whose keys arrive as events of the page.

// Whether new windows get a system window.
bool SystemWindowsAvailable();
// A hidden system window for CreateWindowExA; the first becomes the shared window the Glide
// stand-in presents into. Null (with one warning) when none can be made.
SDL_Window* CreateSystemWindow(LPCSTR title, DWORD style, int x, int y, int width, int height);
// DestroyWindow's part: the shared window is only hidden, as a presenter may still use it.
void ReleaseSystemWindow(SDL_Window* window);
// ShowWindow's part.
void ShowSystemWindow(SDL_Window* window, int showCommand);
// The system's id of a window, matched against the ids its events carry.
uint32_t SystemWindowId(SDL_Window* window);
// ResetForTesting's part: destroys a live window's system window at once (null: nothing), and
// every window ReleaseSystemWindow kept hidden.
void DestroySystemWindow(SDL_Window* window);
void DestroyReleasedSystemWindows();
// Moves the events that have arrived into the queues (PeekMessageA calls it first).
void PumpSystemEvents();

// ---- Keyboard ------------------------------------------------------------------------------

// The Windows virtual-key code of a web page's key event from its `code` (the key's position)
// and its legacy `keyCode`, or 0 for keys with none. Letters, digits and punctuation go by
// position, as VirtualKeyFromSdl does, so the codes follow the US layout on every layout.
int VirtualKeyFromDom(const char* code, unsigned keyCode);

struct KeyMessage {
  UINT message;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
  WPARAM wParam;  // the virtual-key code
  LPARAM lParam;  // repeat count 1, scan code, context (Alt) bit 29, previous state bit 30, transition bit 31
};

// Tracks which modifier keys are down and turns key presses and releases into messages: with
// Alt down (and Ctrl up) keys become WM_SYSKEYDOWN / WM_SYSKEYUP, as do F10 and Alt itself.
class KeyboardState {
 public:
  KeyMessage Key(int virtualKey, bool down, bool repeat, int scanCode = 0);
  bool AltDown() const { return altDown_; }
  bool ShiftDown() const { return shiftDown_; }
  void Reset() { *this = KeyboardState(); }

 private:
  bool altDown_ = false;
  bool ctrlDown_ = false;
  bool shiftDown_ = false;
  bool down_[256] = {};
};

// The character TranslateMessage makes of a key-down (Enter 13, Escape 27, Backspace 8, Tab 9,
// space, digits, letters with shift), or 0 when the key makes none.
int CharacterForKey(int virtualKey, bool shift);

// ---- Scripted input ------------------------------------------------------------------------

struct ScriptedEvent {
  enum class Kind { kDown, kUp, kClose };
  uint64_t frame = 0;
  Kind kind = Kind::kDown;
  int virtualKey = 0;  // kDown and kUp: 1..254
};

// WIN32_INPUT: comma-separated "FRAME:down:VK", "FRAME:up:VK", "FRAME:close" with VK a decimal
// or 0x-prefixed hexadecimal virtual-key code. Malformed entries are skipped with one message
// each in `errors`. The result is in delivery order: by frame, and in list order within one.
std::vector<ScriptedEvent> ParseScript(const char* text, std::vector<std::string>* errors);

}  // namespace win32
