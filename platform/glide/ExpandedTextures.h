// Copies of 8-bit texture levels expanded through their tables to 0xAARRGGBB, for the sixteen-lane
// samplers: they load a texel's colour with one 32-bit load instead of the texel and then its
// table entry. The context keeps the copies of the eight textures drawn from most recently and
// drops a copy when texture memory under it is written (for P_8, when the palette changes).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "RenderState.h"

namespace glide {

class ExpandedTextures {
 public:
  // The level of `width` x `height` texels at `address` of `memory`, expanded through `table`
  // (the format's expansion table, for P_8 the palette), then kPadTexels zero texels (the lane
  // samplers read a texel's right neighbour, and whole windows of a row). The pointer stays
  // valid until the next call, Forget, ForgetFormat or Clear.
  const uint32_t* Get(const uint8_t* memory, uint32_t address, int width, int height, TexFormat format,
                      const std::array<uint32_t, 256>& table);

  // Whether a copy of that level is kept (Get then makes none).
  bool Holds(uint32_t address, int width, int height, TexFormat format) const;
  // Drops the copies of levels that overlap bytes [start, start + bytes).
  void Forget(uint32_t start, uint32_t bytes);
  // Drops the copies of levels in `format`.
  void ForgetFormat(TexFormat format);
  void Clear() { levels_.clear(); }

  static constexpr size_t kLevels = 8;
  static constexpr size_t kPadTexels = 64;

 private:
  struct Level {
    uint32_t address = 0;
    int width = 0, height = 0;
    TexFormat format = kP8;
    uint64_t lastUse = 0;
    std::vector<uint32_t> texels;
  };
  std::vector<Level> levels_;
  uint64_t uses_ = 0;
};

}  // namespace glide
