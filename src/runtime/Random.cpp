#include "runtime/Random.h"

namespace {

uint32_t Seed = 1;

}  // namespace

int32_t Rand() {
  Seed = Seed * 214013u + 2531011u;
  return static_cast<int32_t>((Seed >> 16) & 0x7FFFu);
}

uint32_t RandSeed() { return Seed; }
