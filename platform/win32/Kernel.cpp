// The kernel32 calls: the console title (kept in memory; the program has no console) and Sleep.
#include <cerrno>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <string>

#include "Win32Internal.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

namespace {
std::string ConsoleTitle;
}

extern "C" {

DWORD WINAPI GetConsoleTitleA(LPSTR title, DWORD size) {
  if (title == nullptr || size == 0) return 0;
  const size_t length = ConsoleTitle.size() < size - 1 ? ConsoleTitle.size() : size - 1;
  std::memcpy(title, ConsoleTitle.data(), length);
  title[length] = '\0';
  return static_cast<DWORD>(length);
}

BOOL WINAPI SetConsoleTitleA(LPCSTR title) {
  if (title == nullptr) return FALSE;
  ConsoleTitle = title;
  return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) {
#if defined(__EMSCRIPTEN__)
  // In a web page the thread is the page's: it goes back to the page for the time.
  emscripten_sleep(milliseconds);
#else
  if (milliseconds == 0) {
    sched_yield();  // Sleep(0) gives up the rest of the time slice
    return;
  }
  timespec remaining{};
  remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
  remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
#endif
}

}  // extern "C"
