// The title scene's own operations, visible to its tests.
#pragma once

#include <glide.h>

#include <cstdint>

// Rebuilds both strips and both beams for the text line starting at texture row `band`.
void TitleLayout(float band);
// Draws one frame's content for the current TitleClock.
void TitleRender();
