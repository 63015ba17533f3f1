// How a scene's frame ends: wait until no buffer swap is pending, swap at the next retrace, and
// (for most scenes) clear the new back buffer for the next frame.
#pragma once

// Waits for the pending swaps, swaps with interval 1 and clears the back buffer to black with the
// farthest depth.
void ShowFrame();

// The same without the clear: the feedback and fractal scenes draw over what the back buffer
// already holds.
void SwapFrame();
