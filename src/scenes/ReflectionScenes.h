// What the facemap and enviro scenes share: their common Glide state and the object limit of
// their point scratch arrays.
#pragma once

#include "geom/P3d.h"

inline constexpr int32_t kPointScratchSize = 3000;

// The reflection scenes' render state: W-buffered, depth-written, texture alpha times iterated
// alpha, the texture shown unchanged, and alpha fading the object to black.
void SetReflectionSceneState();

// LoadP3d at `scale`, refusing an object that would overflow a point scratch array. 0 on
// success, 1 on failure (as LoadP3d).
int LoadReflectionObject(const char* fileName, float scale, P3dObject* object);
