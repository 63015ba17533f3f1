// The cartoon scene's own state and arithmetic, visible to its tests.
#pragma once

#include <glide.h>

#include <cstdint>

// A word flying out of the centre in the suit acts: its quad, its life (it grows, turns and
// fades with it), its drift in pixels per frame, and whether it has been born yet.
struct FlyingWord {
  GrVertex quad[4];
  float life;
  float dx;
  float dy;
  uint8_t active;
};

inline constexpr int kFlyingWordCount = 4;

// Word i (0 ... 3) as the last frame or init left it.
const FlyingWord& CartoonWord(int i);

// The vertex alpha of the suit layout for frame counter `frame`: 255 up to frame 1600, then
// 2 x (1728 - frame), never below 1 nor above 255.
float CartoonActAlpha(int32_t frame);
