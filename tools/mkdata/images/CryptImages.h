// The crypt scene's pictures, exposed for the generator's tests.
#pragma once

#include "kit/Image.h"

#include <optional>

namespace mkdata {

// The ray-marched crypt at any size, rows shared among `threads` threads (the same pixels for
// any count).
Image RenderCrypt(int width, int height, int threads);

// The caption sheet before quantisation: 256 x 200, opaque, light text with a glow on black.
std::optional<Image> DrawCaptionSheet();

}  // namespace mkdata
