#include "Misuse.h"
#include "Verify.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Warn.h"

namespace glide {

namespace {
constexpr uint64_t kMaxPrinted = 50;
uint64_t MisuseTotal = 0;
char LastMisuseText[512] = "";  // fixed: a report never allocates (it may report a failed allocation)
GrErrorCallbackFnc_t ErrorCallback = nullptr;
}  // namespace

void Warn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::WarnV("glide", format, args);
  va_end(args);
}

void Misuse(const char* format, ...) {
  char text[sizeof LastMisuseText];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::memcpy(LastMisuseText, text, sizeof text);
  ++MisuseTotal;
  if (MisuseTotal <= kMaxPrinted) {
    Warn("%s", text);
    if (MisuseTotal == kMaxPrinted) Warn("further misuse reports are counted but not printed");
  }
  if (ErrorCallback != nullptr) ErrorCallback(text, FXFALSE);
}

uint64_t MisuseCount() { return MisuseTotal; }
std::string LastMisuse() { return LastMisuseText; }
void ResetMisuse() {
  MisuseTotal = 0;
  LastMisuseText[0] = '\0';
}
void SetErrorCallback(GrErrorCallbackFnc_t callback) { ErrorCallback = callback; }

void VerifyFailed(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: rasterizer invariant broken: %s\n", file, line, condition);
  std::abort();
}

}  // namespace glide
