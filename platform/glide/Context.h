// The one Glide context behind the published functions: the frame and auxiliary buffers, the
// render state, TMU 0 memory, and the drawing entry points. The published C functions
// (GlideApi.h) check their arguments and forward here; nothing in here throws across them.
#pragma once

#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ExpandedTextures.h"
#include "Misuse.h"
#include "Raster.h"
#include "RasterQueue.h"
#include "RenderState.h"
#include "TextureMemory.h"
#include "Triangle.h"
#include "glide.h"

namespace glide {

class Context {
 public:
  // What the program sees of the buffers.
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;
  // Pixels after each row of the buffers: the lane stages read and write back (unchanged) up to
  // kSpanOverrun pixels past a span's end, which so stay in the row (a row belongs to one worker
  // thread). And as many after the last row.
  static constexpr int kRowPad = kMaxBlock;
  static constexpr int kPadPixels = kMaxBlock;
  static_assert(kRowPad >= kSpanOverrun, "the rows' padding must hold the span overrun");

  Context();

  // ---- Life cycle ----
  void Init();
  void Shutdown();
  bool WinOpen(GrScreenResolution_t resolution, GrColorFormat_t colorFormat,
               GrOriginLocation_t origin, int colorBuffers, int auxBuffers);
  void WinClose();
  bool IsOpen() const { return open_; }
  void FillHardwareConfig(GrHwConfiguration& config) const;

  // ---- Buffers ----
  void BufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth);
  void BufferSwap(int interval);
  void RenderBuffer(GrBuffer_t buffer);
  bool LfbReadRegion(GrBuffer_t buffer, FxU32 x, FxU32 y, FxU32 width, FxU32 height,
                     FxU32 strideBytes, void* dst);
  bool LfbWriteRegion(GrBuffer_t buffer, FxU32 x, FxU32 y, GrLfbSrcFmt_t format, FxU32 width,
                      FxU32 height, FxI32 strideBytes, const void* src);
  bool LfbLock(GrLock_t type, GrBuffer_t buffer, GrLfbInfo_t& info);
  bool LfbUnlock(GrLock_t type, GrBuffer_t buffer);
  // The buffers' multiple of 640 x 480 (GLIDE_SCALE, read at grSstWinOpen).
  int Scale() const { return scale_; }
  // A buffer as drawn (everything queued drawn first), 640 x 480 times the scale, Stride()
  // pixels a row; null for a name that is no buffer. For tests and tools.
  const uint16_t* Pixels(GrBuffer_t buffer) {
    Flush();
    return open_ ? LfbBuffer(buffer) : nullptr;
  }
  int Stride() const { return stride_; }

  // ---- Drawing ----
  void DrawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c);
  void DrawPolygon(int count, const GrVertex* vertices, const int* indices, bool planar);
  void DrawTriangleWithClip(const GrVertex& a, const GrVertex& b, const GrVertex& c);
  void DrawPolygonWithClip(int count, const GrVertex* vertices);
  void DrawPoint(const GrVertex& p);
  void TriStats(FxU32& processed, FxU32& drawn) const;
  void ResetTriStats();

  // ---- State ----
  // Every change to the render state goes through a setter below, which marks the span
  // selection for rebuilding.
  const RenderState& State() const { return state_; }
  uint32_t ToArgb(GrColor_t color) const;
  void SetClipWindow(FxU32 minX, FxU32 minY, FxU32 maxX, FxU32 maxY);
  void SetCullMode(GrCullMode_t mode) { cullMode_ = mode; }
  void SetColorCombine(int function, int factor, int local, int other, bool invert);
  void SetAlphaCombine(int function, int factor, int local, int other, bool invert);
  void SetTexCombine(int rgbFunction, int rgbFactor, int alphaFunction, int alphaFactor,
                     bool rgbInvert, bool alphaInvert);
  void SetAlphaBlend(int rgbSrc, int rgbDst, int alphaSrc, int alphaDst);
  void SetDitherMode(GrDitherMode_t mode);
  void SetOrigin(GrOriginLocation_t origin) { originLowerLeft_ = origin == GR_ORIGIN_LOWER_LEFT; }
  // Both constant colours (local and other), 0xAARRGGBB.
  void SetConstantColor(uint32_t argb);
  void SetAlphaTest(CompareFunc function);
  void SetAlphaTestReference(uint8_t reference);
  void SetChromakey(bool enabled);
  // The key in the colour format grSstWinOpen chose.
  void SetChromakeyValue(GrColor_t value);
  void SetColorMask(bool rgb, bool alpha);
  void SetDepthBufferMode(DepthMode mode);
  void SetDepthFunction(CompareFunc function);
  void SetDepthMask(bool enabled);
  void SetDepthBias(int16_t level);
  void SetTexClamp(bool clampS, bool clampT);
  void SetTexFilter(bool bilinear);
  // grDisableAllEffects: no blending, no alpha test, no chroma key, no depth buffering.
  void DisableAllEffects();
  // Forces every draw through the generic span path (tests, and the benchmark's baseline).
  void SetGenericOnly(bool genericOnly) {
    genericOnly_ = genericOnly;
    dirty_ = true;
  }
  // Caps the SIMD the specialised paths use (tests of each path; GLIDE_SIMD does it at start).
  void SetSimdLimit(SimdLevel level) {
    simd_ = level;
    spanCache_.clear();
    dirty_ = true;
  }
  void SaveState(GrState& out) const;
  void RestoreState(const GrState& in);

  // ---- Texture memory ----
  TextureMemory& Textures() { return *textures_; }
  uint32_t TexMaxAddress() const { return textures_->Size() - 8; }
  void TexSource(FxU32 start, FxU32 evenOdd, const GrTexInfo& info);
  void TexDownloadMipMap(FxU32 start, FxU32 evenOdd, const GrTexInfo& info);
  void TexDownloadLevel(FxU32 start, GrLOD_t lod, GrLOD_t largeLod, GrAspectRatio_t aspect,
                        GrTextureFormat_t format, FxU32 evenOdd, const void* data, int firstRow,
                        int lastRow);
  void TexDownloadPalette(const void* data, int first, int last);

  // Waits until the rasterizer's threads have drawn everything queued (with none, nothing to do).
  void Flush();

 private:
  void ResetState();
  // A fresh texture memory, its writes dropping the expanded copies under them.
  void NewTextureMemory();
  // Brings target_ up to date with the state (span selection) and the texture (addressing, the
  // 8-bit expansion table, the expanded copy): all of it after a state change, only the texture
  // after another texture of the same format was selected.
  void Validate();
  void ValidateTexture();
  // The target triangles drawn now use: with worker threads, a copy queued triangles keep.
  const SpanTarget* CurrentTarget();
  TriangleJob MakeJob();
  // Set-up, then the rows: drawn at once, or queued for the workers.
  SetupResult Draw(const TriangleJob& job, const GrVertex& a, const GrVertex& b, const GrVertex& c,
                   const Slopes* planar, Slopes* slopesOut);
  // Whether draws go to the worker threads' queue: there are workers, the frame wants them
  // (WorkersWanted), and the program holds no buffer locked (it may read or write it between its
  // draws; they are drawn at once then).
  bool Queued() const { return queue_ != nullptr && threaded_ && locks_ == 0; }
  // The clip window in buffer pixels.
  ClipRect BufferClip() const;
  void AllocateBuffers();
  uint16_t* DrawBufferMutable();
  // The colour or auxiliary buffer a linear frame buffer call names; null for another name.
  uint16_t* LfbBuffer(GrBuffer_t buffer);
  // Rows of 640 x 480 pixels from the buffer: at a scale above 1 each the rounded mean of its
  // block. `out` rows are `outStride` pixels apart.
  void ReadPixels(const uint16_t* buffer, int x, int y, int width, int height, uint16_t* out, size_t outStride) const;
  // The reverse: each pixel written to its whole block.
  void WritePixels(uint16_t* buffer, int x, int y, int width, int height, const uint16_t* in, size_t inStride);

  bool open_ = false;
  // The two colour buffers and the depth or alpha buffer, each padded, in one block aligned to
  // 2 MiB: where the system backs it with one huge page, every pixel the rasterizer touches goes
  // through a single address translation.
  struct BlockDelete {
    void operator()(uint16_t* block) const;
  };
  std::unique_ptr<uint16_t[], BlockDelete> buffers_;
  size_t bufferBytes_ = 0;
  // The buffers hold the program's 640 x 480 pixels `scale_` times over in each direction
  // (GLIDE_SCALE); `stride_` pixels a row.
  int scale_ = 1;
  int width_ = kWidth, height_ = kHeight;
  int stride_ = kWidth + kRowPad;
  // A buffer the program holds locked at a scale above 1: it reads and writes a 640 x 480 copy
  // (`pixels`, as grLfbReadRegion reads), and at the unlock each pixel it changed is written
  // back into its block (`unchanged` is the copy as it was handed out).
  struct LockedCopy {
    uint16_t* buffer = nullptr;
    std::vector<uint16_t> pixels, unchanged;
  };
  LockedCopy locked_[3];  // front, back, auxiliary (by the name they were locked with)
  int locks_ = 0;         // buffers the program holds locked
  uint16_t* color_[2] = {nullptr, nullptr};
  uint16_t* aux_ = nullptr;
  int front_ = 0;
  bool drawToFront_ = false;
  GrColorFormat_t colorFormat_ = GR_COLORFORMAT_ARGB;
  bool originLowerLeft_ = false;

  RenderState state_;
  ClipRect clip_;
  int cullMode_ = GR_CULL_DISABLE;
  bool genericOnly_ = false;
  SimdLevel simd_ = SimdLevel::kNone;
  bool noDitherSubtract_ = false;

  std::unique_ptr<TextureMemory> textures_;
  ExpandedTextures expanded_;  // copies of 8-bit levels for the lane samplers
  TextureBinding binding_;
  uint32_t bindingPaletteWarned_ = 0;

  bool dirty_ = true;
  bool textureDirty_ = true;
  // What target_.lut8 was last filled for: a format (-1: nothing) and the palette's version.
  int lutFormat_ = -1;
  uint64_t lutPaletteVersion_ = 0;
  uint64_t paletteVersion_ = 1;
  SpanTarget target_;
  // With worker threads: the queue, the targets its triangles were drawn with (kept until the
  // queue is finished), and the one new triangles use.
  std::unique_ptr<RasterQueue> queue_;
  bool threaded_ = true;                              // this frame's draws are queued
  std::chrono::steady_clock::time_point frameStart_;  // when the last swap returned
  std::deque<SpanTarget> snapshots_;
  const SpanTarget* current_ = nullptr;
  struct CachedSelection {
    RenderState state;
    SpanSelection stages;
  };
  std::unordered_map<size_t, std::vector<CachedSelection>> spanCache_;

  std::unique_ptr<PathStats> stats_;  // GLIDE_STATS

  FxU32 trisProcessed_ = 0;
  FxU32 trisDrawn_ = 0;
};

// The process's context (created on first use).
Context& TheContext();

}  // namespace glide
