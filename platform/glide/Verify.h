// Checks of the rasterizer's invariants at the entry of triangle set-up, of the walk over a
// triangle's rows and of the batch and span paths: where a row may be written, and how far past
// its end. On in every build with the tests (KELDRIN_VERIFY), compiled out of the program.
#pragma once

#if defined(KELDRIN_VERIFY) && KELDRIN_VERIFY
#define GLIDE_VERIFY(condition)                                                  \
  do {                                                                           \
    if (!(condition)) ::glide::VerifyFailed(__FILE__, __LINE__, #condition);    \
  } while (false)
#else
#define GLIDE_VERIFY(condition) \
  do {                          \
  } while (false)
#endif

namespace glide {

// Prints the broken invariant and aborts.
[[noreturn]] void VerifyFailed(const char* file, int line, const char* condition);

}  // namespace glide
