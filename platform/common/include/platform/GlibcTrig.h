// sinf and cosf exactly as x86-64 glibc (2.28 on) computes them on a processor with FMA, which is
// what the presentation's frames were drawn with: Arm's optimized routines (the same algorithm and
// constants), evaluated in double precision with glibc's fused multiply-adds. Other C libraries
// round some results the other way (1 ulp), which moves a vertex or a texel now and then; the
// WebAssembly build takes these as the C library's sinf and cosf (BrowserLibm.cpp) so that the page
// draws the frames the native program draws.
#pragma once

namespace platform {

float GlibcSinf(float x);
float GlibcCosf(float x);

}  // namespace platform
