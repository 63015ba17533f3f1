// TMU 0 texture memory: a flat byte array with the board's size, address and alignment rules,
// the palette, and the binding of a texture source that the sampler reads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "RenderState.h"

namespace glide {

// A texture as grTexSource describes it, checked against memory: the level the sampler reads
// (mipmapping is off, so always largeLod) and how texture space maps onto it.
struct TextureBinding {
  uint32_t levelAddress = 0;  // byte address of the sampled level in TMU memory
  TexFormat format = kRgb565;
  int widthMask = 0;      // level width - 1 (width is a power of two)
  int heightMask = 0;     // level height - 1
  int widthLog2 = 0;      // texel row stride = 1 << widthLog2
  int sShift = 8;         // texel s = s(24.8, 0..256 space) >> sShift
  int tShift = 8;

  bool operator==(const TextureBinding&) const = default;
};

struct TextureShape {
  int width = 0;   // texels of the given LOD
  int height = 0;
};

// Width and height of LOD `lod` (0 = 256 ... 8 = 1) for aspect `aspect` (0 = 8x1 ... 6 = 1x8).
TextureShape LevelShape(int lod, int aspect);
bool IsValidLod(int lod);
bool IsValidAspect(int aspect);
bool IsValidFormat(int format);
int BytesPerTexel(int format);

// grTexCalcMemRequired: the levels smallLod (numerically largest) up to largeLod, each counted
// as at least 4 texels, in bytes rounded up to 8. `evenOdd` keeps the even/odd LOD numbers only.
uint32_t MemRequired(int smallLod, int largeLod, int aspect, int format, uint32_t evenOdd);

// Byte offset of level `lod` from the start address of a mipmap whose largest level is largeLod.
uint32_t LevelOffset(int lod, int largeLod, int aspect, int format, uint32_t evenOdd);

class TextureMemory {
 public:
  // Size in bytes: 1, 2 or 4 MiB (TextureMemorySetting).
  explicit TextureMemory(uint32_t sizeBytes);

  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()) - kGuardBytes; }
  const uint8_t* Data() const { return bytes_.data(); }

  // Each returns an empty string on success, or the reason it refused (nothing is written).
  std::string DownloadMipMap(uint32_t start, uint32_t evenOdd, int smallLod, int largeLod,
                             int aspect, int format, const void* data);
  std::string DownloadLevel(uint32_t start, int lod, int largeLod, int aspect, int format,
                            uint32_t evenOdd, const void* data, int firstRow, int lastRow);
  std::string Bind(uint32_t start, uint32_t evenOdd, int smallLod, int largeLod, int aspect,
                   int format, TextureBinding& out) const;

  // Palette entries 0x00RRGGBB (the top byte of each word is ignored) as 0xFFRRGGBB.
  void DownloadPalette(const uint32_t* entries, int first, int last);
  const std::array<uint32_t, 256>& Palette() const { return palette_; }
  bool PaletteLoaded() const { return paletteLoaded_; }

  void Clear();

  // Called with the byte range a download is about to write (whoever keeps copies of texture
  // memory drops them); one observer at a time.
  void SetWriteObserver(std::function<void(uint32_t start, uint32_t bytes)> observer) {
    writeObserver_ = std::move(observer);
  }

  // Bytes past the end that the sampler may touch without a check (none is ever written).
  // Readable bytes past the end of memory: the lane samplers read a texel's right neighbour and
  // whole windows of a row (up to 68 bytes past a level's last texel).
  static constexpr uint32_t kGuardBytes = 128;

 private:
  std::string CheckRange(uint32_t start, uint32_t bytes) const;
  void Written(uint32_t start, uint32_t bytes) {
    if (writeObserver_) writeObserver_(start, bytes);
  }

  std::vector<uint8_t> bytes_;
  std::array<uint32_t, 256> palette_{};
  bool paletteLoaded_ = false;

  std::function<void(uint32_t, uint32_t)> writeObserver_;
};

}  // namespace glide
