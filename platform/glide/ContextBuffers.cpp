// The context's buffers: their memory, clears, swaps and the linear frame buffer calls. The
// program sees 640 x 480 pixels; the buffers hold width_ x height_ pixels, stride_ a row, scale_
// times the program's in each direction. What the program reads of them is each of its pixels
// as the mean of its block, and what it writes goes to the whole block, so that it cannot tell
// the scale: a picture it reads back, draws from and reads again stays what it would be at 1.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "Context.h"
#include "Pipeline.h"
#include "Presentation.h"
#include "Tables.h"

namespace glide {

namespace {
// sum / count rounded to the nearest, halves to the even neighbour.
inline uint32_t Mean(uint32_t sum, uint32_t count) {
  const uint32_t q = sum / count, r = sum % count;
  return q + (2 * r > count || (2 * r == count && (q & 1) != 0));
}

// sum / count rounded to one of its two neighbours by the dither matrix entry d (0..15): up where
// the fraction exceeds (d + 1/2) / 16. A whole number stays as it is; over a 4 x 4 tile a
// fraction rounds up at its share of the pixels, so the tile's mean is kept, as the board's
// dither keeps it.
inline uint32_t DitheredMean(uint32_t sum, uint32_t count, uint32_t d) {
  const uint32_t q = sum / count, r = sum % count;
  return q + (32 * r > (2 * d + 1) * count);
}

// The buffers' block is aligned to 2 MiB and a whole number of that: where the system backs it
// with huge pages, every pixel the rasterizer touches goes through few address translations.
constexpr size_t kBufferBlockAlign = size_t{2} << 20;
}  // namespace

void Context::BlockDelete::operator()(uint16_t* block) const {
  ::operator delete(block, std::align_val_t{kBufferBlockAlign});
}

void Context::AllocateBuffers() {
  const size_t pixels = static_cast<size_t>(stride_) * static_cast<size_t>(height_) + kPadPixels;
  const size_t bytes = (3 * pixels * sizeof(uint16_t) + kBufferBlockAlign - 1) / kBufferBlockAlign * kBufferBlockAlign;
  if (!buffers_ || bytes != bufferBytes_) {
    buffers_.reset(static_cast<uint16_t*>(::operator new(bytes, std::align_val_t{kBufferBlockAlign})));
    bufferBytes_ = bytes;
#ifdef MADV_HUGEPAGE
    madvise(buffers_.get(), bytes, MADV_HUGEPAGE);  // advice only: no huge page is fine
#endif
  }
  color_[0] = buffers_.get();
  color_[1] = color_[0] + pixels;
  aux_ = color_[1] + pixels;
  std::memset(buffers_.get(), 0, 3 * pixels * sizeof(uint16_t));
}

uint16_t* Context::DrawBufferMutable() {
  return color_[drawToFront_ ? front_ : 1 - front_];
}

void Context::RenderBuffer(GrBuffer_t buffer) {
  if (buffer != GR_BUFFER_FRONTBUFFER && buffer != GR_BUFFER_BACKBUFFER) {
    Misuse("grRenderBuffer: buffer %d cannot be drawn into", buffer);
    return;
  }
  drawToFront_ = buffer == GR_BUFFER_FRONTBUFFER;
  dirty_ = true;
}

void Context::BufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
  if (!open_) {
    Misuse("grBufferClear before grSstWinOpen");
    return;
  }
  const Tables& tab = GetTables();
  const Argb c = Unpack(ToArgb(color));
  // The fast fill writes the clear colour through the dither unit.
  ClearCommand clear;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) clear.pattern[y][x] = DitherPixel(tab, state_.dither, x, y, c);
  }
  const bool clearDepth = state_.DepthEnabled() && state_.depthMask;
  const bool clearAlpha = state_.AlphaPlanes();
  clear.color = state_.rgbMask != 0 ? DrawBufferMutable() : nullptr;
  // The auxiliary buffer takes the depth, or with alpha planes the alpha (the later write wins).
  clear.aux = clearDepth || clearAlpha ? aux_ : nullptr;
  clear.auxValue = clearAlpha ? static_cast<uint16_t>(alpha) : depth;
  clear.stride = stride_;
  clear.clip = BufferClip();
  if (Queued()) {
    queue_->PushClear(clear);
  } else {
    ExecuteClear(clear, 0, height_);
  }
}

void Context::BufferSwap(int interval) {
  if (!open_) {
    Misuse("grBufferSwap before grSstWinOpen");
    return;
  }
  Flush();
  if (queue_) {
    threaded_ = WorkersWanted(threaded_, std::chrono::steady_clock::now() - frameStart_, FrameBudget(interval));
  }
  front_ = 1 - front_;
  dirty_ = true;
  PresentFrame(color_[front_], stride_, interval);
  frameStart_ = std::chrono::steady_clock::now();
}

uint16_t* Context::LfbBuffer(GrBuffer_t buffer) {
  switch (buffer) {
    case GR_BUFFER_FRONTBUFFER: return color_[front_];
    case GR_BUFFER_BACKBUFFER: return color_[1 - front_];
    case GR_BUFFER_AUXBUFFER: case GR_BUFFER_DEPTHBUFFER: case GR_BUFFER_ALPHABUFFER: return aux_;
    default: return nullptr;
  }
}

bool Context::LfbReadRegion(GrBuffer_t buffer, FxU32 x, FxU32 y, FxU32 width, FxU32 height,
                            FxU32 strideBytes, void* dst) {
  if (!open_) {
    Misuse("grLfbReadRegion before grSstWinOpen");
    return false;
  }
  const uint16_t* src = LfbBuffer(buffer);
  if (src == nullptr) {
    Misuse("grLfbReadRegion: buffer %d cannot be read", buffer);
    return false;
  }
  if (x > kWidth || y > kHeight || width > kWidth - x || height > kHeight - y) {
    Misuse("grLfbReadRegion: %ux%u at (%u, %u) lies outside the 640x480 buffer", width, height,
           x, y);
    return false;
  }
  if (dst == nullptr || strideBytes < width * 2) {
    Misuse("grLfbReadRegion: no destination, or a stride of %u bytes below the row's %u",
           strideBytes, width * 2);
    return false;
  }
  Flush();
  // The destination's rows may be an odd number of bytes apart: converted row by row.
  std::vector<uint16_t> row(width);
  auto* out = static_cast<uint8_t*>(dst);
  for (FxU32 r = 0; r < height; ++r) {
    ReadPixels(src, static_cast<int>(x), static_cast<int>(y + r), static_cast<int>(width), 1, row.data(), width);
    std::memcpy(out + static_cast<size_t>(r) * strideBytes, row.data(), width * 2);
  }
  return true;
}

void Context::ReadPixels(const uint16_t* buffer, int x, int y, int width, int height, uint16_t* out,
                         size_t outStride) const {
  const int n = scale_;
  if (n == 1) {
    for (int r = 0; r < height; ++r) {
      std::memcpy(out + r * outStride, buffer + static_cast<size_t>(y + r) * stride_ + x, static_cast<size_t>(width) * 2);
    }
    return;
  }
  // Each block's mean. A colour buffer's, field by field, is rounded up or down as the board's
  // 4 x 4 dither would round it at that pixel: a block of one value reads as that value, and a
  // picture read, drawn and read again (the feedback scenes) keeps its brightness and the grain
  // it has at 1. Rounding to the nearest would not: where a picture is drawn darker each time
  // and read back, its faint parts would stay lit instead of fading as they do at 1.
  // The auxiliary buffer's values are rounded to the nearest, halves to even.
  const bool color = buffer != aux_;
  const uint32_t count = static_cast<uint32_t>(n * n);
  for (int r = 0; r < height; ++r) {
    const uint16_t* top = buffer + static_cast<size_t>(y + r) * n * stride_ + static_cast<size_t>(x) * n;
    for (int c = 0; c < width; ++c) {
      uint32_t red = 0, green = 0, blue = 0, value = 0;
      for (int dy = 0; dy < n; ++dy) {
        const uint16_t* block = top + static_cast<size_t>(dy) * stride_ + static_cast<size_t>(c) * n;
        for (int dx = 0; dx < n; ++dx) {
          const uint32_t p = block[dx];
          red += p >> 11;
          green += (p >> 5) & 0x3F;
          blue += p & 0x1F;
          value += p;
        }
      }
      const uint32_t d = kDither4x4[(y + r) & 3][(x + c) & 3];
      out[r * outStride + c] = color ? static_cast<uint16_t>(DitheredMean(red, count, d) << 11 |
                                                             DitheredMean(green, count, d) << 5 |
                                                             DitheredMean(blue, count, d))
                                     : static_cast<uint16_t>(Mean(value, count));
    }
  }
}

void Context::WritePixels(uint16_t* buffer, int x, int y, int width, int height, const uint16_t* in,
                          size_t inStride) {
  const int n = scale_;
  for (int r = 0; r < height; ++r) {
    for (int dy = 0; dy < n; ++dy) {
      uint16_t* to = buffer + static_cast<size_t>((y + r) * n + dy) * stride_ + static_cast<size_t>(x) * n;
      if (n == 1) {
        std::memcpy(to, in + r * inStride, static_cast<size_t>(width) * 2);
        continue;
      }
      for (int c = 0; c < width; ++c) std::fill_n(to + c * n, n, in[r * inStride + c]);
    }
  }
}

bool Context::LfbWriteRegion(GrBuffer_t buffer, FxU32 x, FxU32 y, GrLfbSrcFmt_t format,
                             FxU32 width, FxU32 height, FxI32 strideBytes, const void* src) {
  if (!open_) {
    Misuse("grLfbWriteRegion before grSstWinOpen");
    return false;
  }
  uint16_t* dst = LfbBuffer(buffer);
  if (dst == nullptr) {
    Misuse("grLfbWriteRegion: buffer %d cannot be written", buffer);
    return false;
  }
  const bool rawFormat = (dst == aux_) ? format == GR_LFB_SRC_FMT_ZA16
                                              : format == GR_LFB_SRC_FMT_565;
  if (!rawFormat) {
    Misuse("grLfbWriteRegion: source format %d is not supported for buffer %d", format, buffer);
    return false;
  }
  if (x > kWidth || y > kHeight || width > kWidth - x || height > kHeight - y ||
      src == nullptr || strideBytes < static_cast<FxI32>(width * 2)) {
    Misuse("grLfbWriteRegion: %ux%u at (%u, %u) with stride %d does not fit", width, height, x,
           y, strideBytes);
    return false;
  }
  Flush();
  std::vector<uint16_t> row(width);
  const auto* in = static_cast<const uint8_t*>(src);
  for (FxU32 r = 0; r < height; ++r) {
    std::memcpy(row.data(), in + static_cast<size_t>(r) * static_cast<size_t>(strideBytes), width * 2);
    WritePixels(dst, static_cast<int>(x), static_cast<int>(y + r), static_cast<int>(width), 1, row.data(), width);
  }
  return true;
}

bool Context::LfbLock(GrLock_t type, GrBuffer_t buffer, GrLfbInfo_t& info) {
  if (!open_) {
    Misuse("grLfbLock before grSstWinOpen");
    return false;
  }
  // The alpha planes can be read and written as regions, not locked.
  uint16_t* base = buffer == GR_BUFFER_ALPHABUFFER ? nullptr : LfbBuffer(buffer);
  if (base == nullptr) {
    Misuse("grLfbLock: buffer %d cannot be locked", buffer);
    return false;
  }
  // The program reads and writes the buffer itself from here on: nothing queued may still be
  // drawing into it, and until it lets go, triangles are drawn at once.
  Flush();
  info.writeMode = GR_LFBWRITEMODE_565;
  info.origin = GR_ORIGIN_UPPER_LEFT;
  const int index = buffer == GR_BUFFER_FRONTBUFFER ? 0 : buffer == GR_BUFFER_BACKBUFFER ? 1 : 2;
  LockedCopy& copy = locked_[index];
  if (scale_ == 1) {
    info.lfbPtr = base;
    info.strideInBytes = static_cast<FxU32>(stride_) * 2;
  } else {
    // A second lock of the same buffer shares the first one's copy.
    if (copy.buffer == nullptr) {
      copy.pixels.resize(static_cast<size_t>(kWidth) * kHeight);
      ReadPixels(base, 0, 0, kWidth, kHeight, copy.pixels.data(), kWidth);
      copy.unchanged = copy.pixels;
    }
    info.lfbPtr = copy.pixels.data();
    info.strideInBytes = kWidth * 2;
  }
  if (copy.buffer == nullptr) ++locks_;
  copy.buffer = base;
  (void)type;
  return true;
}

bool Context::LfbUnlock(GrLock_t type, GrBuffer_t buffer) {
  if (!open_) {
    Misuse("grLfbUnlock before grSstWinOpen");
    return false;
  }
  if (buffer != GR_BUFFER_FRONTBUFFER && buffer != GR_BUFFER_BACKBUFFER && buffer != GR_BUFFER_AUXBUFFER &&
      buffer != GR_BUFFER_DEPTHBUFFER) {
    Misuse("grLfbUnlock: buffer %d cannot be locked", buffer);
    return false;
  }
  const int index = buffer == GR_BUFFER_FRONTBUFFER ? 0 : buffer == GR_BUFFER_BACKBUFFER ? 1 : 2;
  LockedCopy& copy = locked_[index];
  if (copy.buffer == nullptr) {
    Misuse("grLfbUnlock: buffer %d is not locked", buffer);
    return false;
  }
  if (scale_ > 1 && type != GR_LFB_READ_ONLY) {
    Flush();
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const size_t at = static_cast<size_t>(y) * kWidth + x;
        if (copy.pixels[at] != copy.unchanged[at]) WritePixels(copy.buffer, x, y, 1, 1, &copy.pixels[at], 1);
      }
    }
  }
  copy = LockedCopy();
  --locks_;
  return true;
}

}  // namespace glide
