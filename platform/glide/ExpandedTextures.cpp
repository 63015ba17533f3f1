#include "ExpandedTextures.h"

#include <algorithm>

namespace glide {

void ExpandedTextures::Forget(uint32_t start, uint32_t bytes) {
  const uint64_t end = uint64_t{start} + bytes;
  std::erase_if(levels_, [&](const Level& e) {
    const uint64_t levelEnd = e.address + static_cast<uint64_t>(e.width) * static_cast<uint64_t>(e.height);
    return e.address < end && start < levelEnd;
  });
}

bool ExpandedTextures::Holds(uint32_t address, int width, int height, TexFormat format) const {
  return std::any_of(levels_.begin(), levels_.end(), [&](const Level& e) {
    return e.address == address && e.width == width && e.height == height && e.format == format;
  });
}

void ExpandedTextures::ForgetFormat(TexFormat format) {
  std::erase_if(levels_, [format](const Level& e) { return e.format == format; });
}

const uint32_t* ExpandedTextures::Get(const uint8_t* memory, uint32_t address, int width, int height,
                                      TexFormat format, const std::array<uint32_t, 256>& table) {
  ++uses_;
  for (Level& e : levels_) {
    if (e.address == address && e.width == width && e.height == height && e.format == format) {
      e.lastUse = uses_;
      return e.texels.data();
    }
  }
  Level* slot = nullptr;
  if (levels_.size() < kLevels) {
    slot = &levels_.emplace_back();
  } else {
    slot = &*std::min_element(levels_.begin(), levels_.end(),
                              [](const Level& a, const Level& b) { return a.lastUse < b.lastUse; });
  }
  slot->address = address;
  slot->width = width;
  slot->height = height;
  slot->format = format;
  slot->lastUse = uses_;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  slot->texels.assign(count + kPadTexels, 0);
  const uint8_t* src = memory + address;  // the binding checked the level's range
  for (size_t i = 0; i < count; ++i) slot->texels[i] = table[src[i]];
  return slot->texels.data();
}

}  // namespace glide
