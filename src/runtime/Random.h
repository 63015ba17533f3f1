// The runtime's random generator, as the C runtime the presentation was made with had it: a
// linear congruential generator seeded with 1 at program start and never reseeded. The scenes
// that draw from it (cartoon first, temple later) share its one sequence, so a run without skips
// animates the same way every time. The C library's own rand() is a different generator.
#pragma once

#include <cstdint>

// The next value, 0 ... 32767: seed = seed * 214013 + 2531011 (mod 2^32), result
// (seed >> 16) & 0x7FFF.
int32_t Rand();

// The generator's state, for tests that follow the sequence.
uint32_t RandSeed();
