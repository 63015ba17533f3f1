// The frame clock: the number of frames shown so far (buffer swaps), shared by the stand-ins.
// The Glide stand-in advances it on every swap; the Win32 stand-in releases scripted input by it;
// the MIDAS stand-in's WAV output renders 1/60 s of sound per frame from it, so a rendered picture
// and its sound track line up exactly.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Frames shown so far.
uint64_t FrameCount();

// Counts one shown frame and then calls every listener with the new count, in subscription order.
void AdvanceFrame();

using FrameListener = std::function<void(uint64_t frameCount)>;

// Returns a token for UnsubscribeFrames. Listeners run on the thread that swaps.
int SubscribeFrames(FrameListener listener);
void UnsubscribeFrames(int token);

// Back to frame 0 (tests, and a fresh grGlideInit is not a reason: the count spans the run).
void ResetFrameClock();

}  // namespace platform
