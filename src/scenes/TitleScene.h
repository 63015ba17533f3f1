// The title scene's own operations, visible to its tests.
#pragma once

#include <glide.h>

#include <cstdint>

// Fills a screen quad from a rectangle relative to the screen centre, spanning texture columns
// 0..255 and the 60 texture rows from `t`.
void SetTitleQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float alpha, float t);
// Rebuilds both strips and both beams for the text line starting at texture row `band`.
void TitleLayout(float band);
// Draws one frame's content for the current TitleClock.
void TitleRender();
