// Warnings on stderr, one line each, as "PREFIX: MESSAGE". Every stand-in has a Warn of its own
// that passes its prefix ("glide", "MIDAS", "win32") here.
#pragma once

#include <cstdarg>

namespace platform {

// Formats with the printf rules. Never throws and never allocates, so a report of a failed
// allocation can use it; the line is written whole even when other threads warn too.
void WarnV(const char* prefix, const char* format, va_list args);

}  // namespace platform
