// The seam between the Glide core (buffers, state, rasterizer) and the presenting side (swap
// pacing, the frame clock, and the frame sinks of PresentSink.h: SDL window, frame hash log, swap
// log, PNG capture, video pipe). The core calls these functions; it knows nothing of SDL or of
// files.
#pragma once

#include <chrono>
#include <cstdint>

namespace glide {

// The scale live playback draws at where GLIDE_SCALE does not say: the largest whole multiple
// of width x height, at most `most`, that the window or full screen GLIDE_PRESENT asks for shows
// one to one; 1 when nothing is shown.
int DisplayScale(int width, int height, int most);

// Called by grSstWinOpen once the buffers exist. Reads the presenting environment variables
// (GLIDE_PRESENT, GLIDE_CAPTURE, GLIDE_CAPTURE_FRAMES, GLIDE_FRAME_HASHES, GLIDE_VIDEO,
// SST_GAMMA, SST_SCREENREFRESH, FX_GLIDE_SWAPINTERVAL). Returns false if nothing could be opened
// that was asked for explicitly; presenting then falls back to none.
bool OpenPresentation(int width, int height);

// Called by grBufferSwap after the buffers were exchanged. `front` is the frame now shown
// (width x height RGB565, `stride` pixels a row), `interval` the application's swap interval.
// Waits for the retrace(s) unless the interval (or FX_GLIDE_SWAPINTERVAL) is 0, shows and
// records the frame, then advances the shared frame clock.
void PresentFrame(const uint16_t* front, int stride, int interval);

// The time a frame swapped with `interval` has on the display: that many retrace periods, or zero
// where swaps are unpaced (the interval or FX_GLIDE_SWAPINTERVAL is 0).
std::chrono::nanoseconds FrameBudget(int interval);

// Called by grGlideShutdown (harmless when nothing is open).
void ClosePresentation();

// grGammaCorrectionValue: the display gamma applied on the way out (SST_GAMMA overrides it).
void SetPresentationGamma(float gamma);

}  // namespace glide
