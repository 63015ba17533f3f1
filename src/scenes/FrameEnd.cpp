#include "scenes/FrameEnd.h"

#include <glide.h>

void SwapFrame() {
  while (grBufferNumPending() != 0) {
  }
  grBufferSwap(1);
}

void ShowFrame() {
  SwapFrame();
  grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
}
