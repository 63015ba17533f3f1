// The debug log: "debug.log" in the working directory, emptied at start-up, one appended
// message per event, reopened for every message so nothing is lost on a forced exit.
#pragma once

inline constexpr int kLogBufferBytes = 1088;  // including the terminating zero

// Creates or truncates "debug.log". Nothing visible happens when it cannot be created.
void ResetDebugLog();

// Formats with the printf rules into the one log buffer (a longer message is cut to fit) and
// appends it to "debug.log" as bytes, unchanged. A message that cannot be written is dropped.
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
