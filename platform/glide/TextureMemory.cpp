#include "TextureMemory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace glide {

namespace {
constexpr uint32_t kMiB = 1u << 20;
constexpr uint32_t kBankBytes = 2 * kMiB;  // a mip level may not span two 2 MiB banks

bool LevelInMask(int lod, uint32_t evenOdd) {
  return (lod & 1) ? (evenOdd & 2) != 0 : (evenOdd & 1) != 0;
}
}  // namespace

bool IsValidLod(int lod) { return lod >= 0 && lod <= 8; }
bool IsValidAspect(int aspect) { return aspect >= 0 && aspect <= 6; }
bool IsValidFormat(int format) {
  return format >= 0 && format <= 14 && format != 6 && format != 7;
}
int BytesPerTexel(int format) { return format >= 8 ? 2 : 1; }

TextureShape LevelShape(int lod, int aspect) {
  const int large = 256 >> lod;
  // Aspect 3 is square; below it the width is the larger side, above it the height.
  const int ratioLog2 = aspect < 3 ? 3 - aspect : aspect - 3;
  const int small = std::max(1, large >> ratioLog2);
  return aspect <= 3 ? TextureShape{large, small} : TextureShape{small, large};
}

// Glide's ditex.c: every level counts at least 4 texels, 16-bit formats take two bytes each.
uint32_t LevelOffset(int lod, int largeLod, int aspect, int format, uint32_t evenOdd) {
  uint32_t offset = 0;
  for (int l = largeLod; l < lod; ++l) {
    if (!LevelInMask(l, evenOdd)) continue;
    const TextureShape s = LevelShape(l, aspect);
    offset += static_cast<uint32_t>(std::max(4, s.width * s.height) * BytesPerTexel(format));
  }
  return offset;
}

uint32_t MemRequired(int smallLod, int largeLod, int aspect, int format, uint32_t evenOdd) {
  const uint32_t bytes = LevelOffset(smallLod + 1, largeLod, aspect, format, evenOdd);
  return (bytes + 7) & ~7u;
}

TextureMemory::TextureMemory(uint32_t sizeBytes) : bytes_(sizeBytes + kGuardBytes, 0) {}

void TextureMemory::Clear() {
  std::fill(bytes_.begin(), bytes_.end(), 0);
  palette_.fill(0);
  paletteLoaded_ = false;
}

std::string TextureMemory::CheckRange(uint32_t start, uint32_t bytes) const {
  char reason[160];
  if (start & 7) {
    std::snprintf(reason, sizeof reason, "start address 0x%X is not 8-byte aligned", start);
    return reason;
  }
  if (start >= Size() || bytes > Size() - start) {
    std::snprintf(reason, sizeof reason,
                  "0x%X bytes at 0x%X run past the end of texture memory (0x%X bytes)", bytes,
                  start, Size());
    return reason;
  }
  return {};
}

std::string TextureMemory::DownloadMipMap(uint32_t start, uint32_t evenOdd, int smallLod,
                                          int largeLod, int aspect, int format,
                                          const void* data) {
  if (!IsValidLod(smallLod) || !IsValidLod(largeLod) || smallLod < largeLod ||
      !IsValidAspect(aspect) || !IsValidFormat(format) || (evenOdd & 3) == 0) {
    return "invalid texture description";
  }
  if (data == nullptr) return "no texel data";
  const uint32_t required = MemRequired(smallLod, largeLod, aspect, format, evenOdd);
  std::string reason = CheckRange(start, required);
  if (!reason.empty()) return reason;
  Written(start, required);
  // The host data holds every level tightly packed, largest first.
  const auto* src = static_cast<const uint8_t*>(data);
  for (int lod = largeLod; lod <= smallLod; ++lod) {
    const TextureShape s = LevelShape(lod, aspect);
    const size_t levelBytes = static_cast<size_t>(s.width) * s.height * BytesPerTexel(format);
    if (LevelInMask(lod, evenOdd)) {
      const uint32_t at = start + LevelOffset(lod, largeLod, aspect, format, evenOdd);
      if ((at / kBankBytes) != ((at + levelBytes - 1) / kBankBytes)) {
        return "a mipmap level would span two 2 MiB banks";
      }
      std::memcpy(bytes_.data() + at, src, levelBytes);
    }
    src += levelBytes;
  }
  return {};
}

std::string TextureMemory::DownloadLevel(uint32_t start, int lod, int largeLod, int aspect,
                                         int format, uint32_t evenOdd, const void* data,
                                         int firstRow, int lastRow) {
  if (!IsValidLod(lod) || !IsValidLod(largeLod) || lod < largeLod || !IsValidAspect(aspect) ||
      !IsValidFormat(format) || (evenOdd & 3) == 0 || !LevelInMask(lod, evenOdd)) {
    return "invalid texture level description";
  }
  if (data == nullptr) return "no texel data";
  const TextureShape s = LevelShape(lod, aspect);
  if (firstRow < 0 || lastRow >= s.height || firstRow > lastRow) return "row range outside the level";
  const uint32_t rowBytes = static_cast<uint32_t>(s.width * BytesPerTexel(format));
  const uint32_t at = start + LevelOffset(lod, largeLod, aspect, format, evenOdd) +
                      rowBytes * static_cast<uint32_t>(firstRow);
  const uint32_t bytes = rowBytes * static_cast<uint32_t>(lastRow - firstRow + 1);
  if (start & 7) return CheckRange(start, 0);
  std::string reason = CheckRange(at & ~7u, bytes + (at & 7));
  if (!reason.empty()) return reason;
  Written(at, bytes);
  std::memcpy(bytes_.data() + at, data, bytes);
  return {};
}

std::string TextureMemory::Bind(uint32_t start, uint32_t evenOdd, int smallLod, int largeLod,
                                int aspect, int format, TextureBinding& out) const {
  if (!IsValidLod(smallLod) || !IsValidLod(largeLod) || smallLod < largeLod ||
      !IsValidAspect(aspect) || !IsValidFormat(format) || (evenOdd & 3) == 0) {
    return "invalid texture description";
  }
  if (format == kYiq422 || format == kAyiq8422) return "compressed (YIQ) textures are not supported";
  // With mipmapping off the sampler reads only the largest level.
  const TextureShape s = LevelShape(largeLod, aspect);
  const uint32_t levelBytes = static_cast<uint32_t>(s.width * s.height * BytesPerTexel(format));
  std::string reason = CheckRange(start, levelBytes);
  if (!reason.empty()) return reason;
  out.levelAddress = start;
  out.format = static_cast<TexFormat>(format);
  out.widthMask = s.width - 1;
  out.heightMask = s.height - 1;
  out.widthLog2 = __builtin_ctz(static_cast<unsigned>(s.width));
  // s and t span 0..256 over the larger side (0..256/ratio over the smaller); a level of LOD L
  // is addressed by shifting the 24.8 coordinate by 8 + L.
  out.sShift = 8 + largeLod;
  out.tShift = 8 + largeLod;
  return {};
}

void TextureMemory::DownloadPalette(const uint32_t* entries, int first, int last) {
  for (int i = first; i <= last; ++i) palette_[i] = 0xFF000000u | (entries[i] & 0xFFFFFFu);
  paletteLoaded_ = true;
}

}  // namespace glide
