#include "platform/Warn.h"

#include <cstdio>

namespace platform {

void WarnV(const char* prefix, const char* format, va_list args) {
  flockfile(stderr);
  std::fprintf(stderr, "%s: ", prefix);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  funlockfile(stderr);
}

}  // namespace platform
