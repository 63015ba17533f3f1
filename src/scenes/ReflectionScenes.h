// What the facemap and enviro scenes share: their common Glide state.
#pragma once

// The reflection scenes' render state: W-buffered, depth-written, texture alpha times iterated
// alpha, the texture shown unchanged, and alpha fading the object to black.
void SetReflectionSceneState();
