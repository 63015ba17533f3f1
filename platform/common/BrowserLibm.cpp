// The WebAssembly build's sinf and cosf, in place of its C library's (linked into the program
// ahead of it): the results the native program's C library gives (GlibcTrig.h), so that the page
// draws the same frames.
#include "platform/GlibcTrig.h"

extern "C" float sinf(float x) { return platform::GlibcSinf(x); }
extern "C" float cosf(float x) { return platform::GlibcCosf(x); }
