#include "log/DebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kLogName = "debug.log";
char LogBuffer[kLogBufferBytes];

}  // namespace

void ResetDebugLog() {
  if (std::FILE* file = std::fopen(kLogName, "wb")) std::fclose(file);
}

void LogPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  // vsnprintf never writes past the buffer: a message longer than it is cut to 1087 bytes.
  const int wanted = std::vsnprintf(LogBuffer, sizeof LogBuffer, format, args);
  va_end(args);
  if (wanted < 0) return;
  // Written up to the terminating zero, as a C string: a message with an embedded zero byte
  // ends there.
  const size_t length = std::strlen(LogBuffer);
  std::FILE* file = std::fopen(kLogName, "ab");
  if (file == nullptr) return;
  std::fwrite(LogBuffer, 1, length, file);
  std::fclose(file);
}
