// The temple scene's coloured lights ("red.cel", "grn.cel", "blue.cel"), drawn as glow textures.
#pragma once

#include "kit/Quantize.h"

#include <optional>

namespace mkdata {

// A 128 x 128 blob of light in the hue (r, g, b), each 0 ... 1, the largest 1: a white core, a
// soft glow of the hue, black from just inside the rim. Every palette component is a 4-bit level
// in its top bits. Null (with a line on stderr) if it would need more than 256 colours.
std::optional<IndexedImage> MakeLightBlob(double hueR, double hueG, double hueB);

}  // namespace mkdata
