// The context's buffers: their memory, clears, swaps and the linear frame buffer calls. The
// program sees 640 x 480 pixels; the buffers hold width_ x height_ pixels, stride_ a row.
#include <algorithm>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "Context.h"
#include "Pipeline.h"
#include "Presentation.h"

namespace glide {

namespace {
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
  if (queue_) {
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
  front_ = 1 - front_;
  dirty_ = true;
  PresentFrame(color_[front_], stride_, interval);
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
  auto* out = static_cast<uint8_t*>(dst);
  for (FxU32 row = 0; row < height; ++row) {
    std::memcpy(out + static_cast<size_t>(row) * strideBytes,
                src + static_cast<size_t>(y + row) * stride_ + x, width * 2);
  }
  return true;
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
  const auto* in = static_cast<const uint8_t*>(src);
  for (FxU32 row = 0; row < height; ++row) {
    std::memcpy(dst + static_cast<size_t>(y + row) * stride_ + x,
                in + static_cast<size_t>(row) * static_cast<size_t>(strideBytes), width * 2);
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
  (void)type;
  // The program reads and writes the buffer itself from here on: nothing queued may still be
  // drawing into it.
  Flush();
  info.lfbPtr = base;
  info.strideInBytes = static_cast<FxU32>(stride_) * 2;
  info.writeMode = GR_LFBWRITEMODE_565;
  info.origin = GR_ORIGIN_UPPER_LEFT;
  return true;
}

}  // namespace glide
