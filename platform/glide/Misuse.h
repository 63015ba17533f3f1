// The stand-in's lines on stderr, all starting "glide: ": warnings about its surroundings
// (settings, files, the display), and misuse reports, where a refused or clipped call also
// reaches the application's grErrorSetCallback handler.
#pragma once

#include <cstdint>
#include <string>

#include "glide.h"

namespace glide {

// One line "glide: MESSAGE" on stderr, formatted with the printf rules. Never throws.
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One line on stderr for a refused or clipped call (the first 50 of a run; then a note that
// further ones are counted only), also passed to a grErrorSetCallback handler.
void Misuse(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Number of misuse reports since start or the last reset, and the last text (for tests).
uint64_t MisuseCount();
std::string LastMisuse();
void ResetMisuse();
void SetErrorCallback(GrErrorCallbackFnc_t callback);

}  // namespace glide
