// Window classes and windows: the program's pop-up window, backed by a system window where the
// window system has them (SdlWindow.cpp), or without one where no display exists. Also
// DefWindowProcA, whose defaults turn a close request (WM_CLOSE, Alt+F4) into DestroyWindow, and
// the stock icon, cursor and brush.
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "Win32Internal.h"

namespace win32 {
namespace {

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
};

std::vector<WindowClass> Classes;
std::vector<std::unique_ptr<WindowRecord>> Windows;  // live windows in creation order
uintptr_t NextHandle = 0x10010;                      // never reused, so a stale handle stays invalid
HWND Focus = nullptr;

const WindowClass* FindClass(LPCSTR name) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(name);
  for (const WindowClass& windowClass : Classes) {
    if (value <= 0xFFFF ? windowClass.atom == value : strcasecmp(windowClass.name.c_str(), name) == 0) {
      return &windowClass;
    }
  }
  return nullptr;
}

void Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { SendMessageA(window, message, wParam, lParam); }

}  // namespace

WindowRecord* FindWindowRecord(HWND window) {
  if (window == nullptr) return nullptr;
  for (auto& record : Windows) {
    if (record->handle == window) return record.get();
  }
  return nullptr;
}

HWND InputWindow() {
  for (auto& record : Windows) {
    if (!record->destroying) return record->handle;
  }
  return nullptr;
}

HWND WindowFromSdlId(uint32_t id) {
  for (auto& record : Windows) {
    if (record->sdl != nullptr && SystemWindowId(record->sdl) == id) return record->handle;
  }
  return nullptr;
}

void ResetWindowsForTesting() {
  for (auto& record : Windows) DestroySystemWindow(record->sdl);
  DestroyReleasedSystemWindows();
  Windows.clear();
  Classes.clear();
  Focus = nullptr;
}

}  // namespace win32

using win32::FindWindowRecord;
using win32::WindowRecord;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) || windowClass->lpfnWndProc == nullptr ||
      windowClass->lpszClassName == nullptr || reinterpret_cast<uintptr_t>(windowClass->lpszClassName) <= 0xFFFF ||
      windowClass->lpszClassName[0] == '\0' || win32::FindClass(windowClass->lpszClassName) != nullptr) {
    return 0;
  }
  win32::WindowClass entry;
  entry.name = windowClass->lpszClassName;
  entry.atom = static_cast<ATOM>(0xC000 + win32::Classes.size());
  entry.style = windowClass->style;
  entry.proc = windowClass->lpfnWndProc;
  win32::Classes.push_back(entry);
  return entry.atom;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND, HMENU, HINSTANCE, LPVOID) {
  const win32::WindowClass* windowClass = className != nullptr ? win32::FindClass(className) : nullptr;
  if (windowClass == nullptr) return nullptr;

  auto record = std::make_unique<WindowRecord>();
  record->handle = reinterpret_cast<HWND>(win32::NextHandle);
  win32::NextHandle += 4;
  record->proc = windowClass->proc;
  record->style = style;
  if (win32::SystemWindowsAvailable()) {
    record->sdl = win32::CreateSystemWindow(windowName, style, x, y, width, height);
  }
  const HWND handle = record->handle;
  win32::Windows.push_back(std::move(record));

  // The window procedure may refuse its creation, as on Windows.
  if (SendMessageA(handle, WM_NCCREATE, 0, 0) == 0 || SendMessageA(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
  return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
  WindowRecord* record = FindWindowRecord(window);
  if (record == nullptr || record->destroying) return FALSE;
  record->destroying = true;
  if (win32::Focus == window) win32::Focus = nullptr;
  win32::Send(window, WM_DESTROY, 0, 0);
  win32::Send(window, WM_NCDESTROY, 0, 0);
  win32::FlushWindowMessages(window);
  for (auto it = win32::Windows.begin(); it != win32::Windows.end(); ++it) {
    if ((*it)->handle == window) {
      if ((*it)->sdl != nullptr) win32::ReleaseSystemWindow((*it)->sdl);
      win32::Windows.erase(it);
      break;
    }
  }
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
  WindowRecord* record = FindWindowRecord(window);
  if (record == nullptr) return FALSE;
  const BOOL wasVisible = record->visible ? TRUE : FALSE;
  const bool show = showCommand != SW_HIDE;
  if (show != record->visible) {
    record->visible = show;
    win32::Send(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  }
  if (record->sdl != nullptr) win32::ShowSystemWindow(record->sdl, showCommand);
  const bool activates = show && showCommand != SW_SHOWNA && showCommand != SW_SHOWNOACTIVATE &&
                         showCommand != SW_SHOWMINNOACTIVE && showCommand != SW_MINIMIZE;
  if (activates && win32::Focus != window) {
    const HWND previous = win32::Focus;
    win32::Focus = window;
    if (previous != nullptr) win32::Send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    win32::Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  }
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND window) {
  WindowRecord* record = FindWindowRecord(window);
  if (record == nullptr) return FALSE;
  if (record->visible && !record->painted) {
    record->painted = true;
    win32::Send(window, WM_PAINT, 0, 0);
  }
  return TRUE;
}

BOOL WINAPI IsWindow(HWND window) { return FindWindowRecord(window) != nullptr ? TRUE : FALSE; }

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 asks the window to close through the system menu's Close command.
      if (wParam == VK_F4 && (static_cast<uint32_t>(lParam) & (1u << 29)) != 0) {
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return 0;
  }
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR iconName) {
  // The predefined icons (IDI_APPLICATION .. IDI_WINLOGO) are shared system resources.
  const uintptr_t id = reinterpret_cast<uintptr_t>(iconName);
  if (id < 32512 || id > 32517) return nullptr;
  return reinterpret_cast<HICON>(uintptr_t{0x20000} + id);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR cursorName) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(cursorName);
  if (id < 32512 || id > 32651) return nullptr;
  return reinterpret_cast<HCURSOR>(uintptr_t{0x30000} + id);
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object > 19) return nullptr;
  return reinterpret_cast<HGDIOBJ>(uintptr_t{0x40000} + static_cast<uintptr_t>(object));
}

}  // extern "C"
