// The fractal zoom: "fractal.dat" (20 frames of 128 x 128 palette indices, no header) and
// "fractal.pal" (776 bytes, 8-bit components). Frame k + 1 shows exactly the centre half of
// frame k magnified two times, so the scene's cross-fades between frames are seamless.
#pragma once

#include "formats/Cel.h"

#include <cstdint>
#include <vector>

namespace mkdata {

inline constexpr int kFractalFrames = 20;
inline constexpr int kFractalSide = 128;
inline constexpr size_t kFractalFrameBytes = static_cast<size_t>(kFractalSide) * kFractalSide;  // 16384

struct FractalZoom {
  std::vector<uint8_t> frames;  // kFractalFrames * kFractalFrameBytes indices, frame after frame
  Palette8 palette{};           // entry 0 black (inside the set), 1 ... 255 one colour cycle
};

// Renders the whole zoom (supersampled, smooth colouring). Deterministic.
FractalZoom MakeFractalZoom();

}  // namespace mkdata
