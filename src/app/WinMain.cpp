// Entry point, window and window procedure.
#include "app/App.h"
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"

int32_t KeyState[256];
HWND MainWindow;

namespace {
constexpr const char* kWindowName = "KELDRIN";
}

int CreateMainWindow(HINSTANCE instance, int showCommand) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, IDI_APPLICATION);
  windowClass.hIconSm = LoadIconA(instance, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kWindowName;
  RegisterClassExA(&windowClass);

  HWND window = CreateWindowExA(0, kWindowName, kWindowName, WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                                instance, nullptr);
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MainWindow = window;
  return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_KEYDOWN:
      if (wParam < 256) KeyState[wParam] = 1;
      return 0;
    case WM_KEYUP:
      if (wParam < 256) KeyState[wParam] = 0;
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The x87 unit is reset and set to a 24-bit significand with round to nearest and all
// exceptions masked (control word 0x007F). On x86-64 every float operation already runs on SSE
// at single precision, so this touches only the x87 unit (long double arithmetic); the program's
// per-frame arithmetic is float throughout. Elsewhere there is nothing to switch.
void SetFpuSinglePrecision() {
#if defined(__i386__) || defined(__x86_64__)
  uint16_t control = 0;
  __asm__ volatile("fninit");
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control &= 0xFCFF;
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  CreateMainWindow(instance, showCommand);
  SetFpuSinglePrecision();
  ResetDebugLog();
  SetFatalAudioCleanup(CloseDisplayIfOpened);
  AudioStartup(MainWindow);
  FillSceneTable();
  OpenDisplay();
  DisplayOpened = true;
  MainLoop();
  CloseDisplay();
  AudioShutdown();
  return FractalLoadStage;
}
