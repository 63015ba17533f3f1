#include "Context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "Pipeline.h"
#include "Presentation.h"
#include "Settings.h"

namespace glide {

// ---- Context -----------------------------------------------------------------------------------

Context& TheContext() {
  static Context* context = new Context();
  return *context;
}

Context::Context() : simd_(SimdSetting()) {
  NewTextureMemory();
  ResetState();
}

void Context::NewTextureMemory() {
  Flush();
  textures_ = std::make_unique<TextureMemory>(TextureMemorySetting());
  ++paletteVersion_;
  textures_->SetWriteObserver([this](uint32_t start, uint32_t bytes) { expanded_.Forget(start, bytes); });
  expanded_.Clear();
}

void Context::Init() {
  if (open_) WinClose();
  noDitherSubtract_ = NoDitherSubtractSetting();
  stats_.reset(StatsSetting() ? new PathStats() : nullptr);
  NewTextureMemory();
  ResetState();
}

void Context::Shutdown() {
  if (open_) WinClose();
  if (stats_ != nullptr) {
    if (queue_) queue_->TakeStats(*stats_);
    std::fprintf(stderr, "glide: span paths over the run (GLIDE_STATS), at SIMD level %s:\n%s", SimdName(simd_),
                 stats_->Table().c_str());
    stats_.reset();
  }
}

void Context::FillHardwareConfig(GrHwConfiguration& config) const {
  std::memset(&config, 0, sizeof config);
  config.num_sst = 1;
  config.SSTs[0].type = GR_SSTTYPE_VOODOO;
  GrVoodooConfig_t& v = config.SSTs[0].sstBoard.VoodooConfig;
  v.fbRam = 2;
  v.fbiRev = 2;
  v.nTexelfx = 1;
  v.sliDetect = FXFALSE;
  v.tmuConfig[0].tmuRev = 1;
  v.tmuConfig[0].tmuRam = static_cast<int>(textures_->Size() >> 20);
}

// The state grSstWinOpen leaves (Glide 2.x gsst.c).
void Context::ResetState() {
  state_ = RenderState{};
  SetColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                  GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_ITERATED, false);
  SetAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_NONE,
                  GR_COMBINE_OTHER_CONSTANT, false);
  SetTexCombine(GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, GR_COMBINE_FUNCTION_ZERO,
                GR_COMBINE_FACTOR_NONE, false, false);
  state_.color0 = state_.color1 = 0xFFFFFFFF;
  state_.clampS = state_.clampT = 1;
  state_.bilinear = 0;
  SetAlphaBlend(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  state_.alphaTestFunc = CompareFunc::kAlways;
  state_.alphaRef = 0;
  state_.chromaKey = 0;
  state_.chromaValue = 0;
  state_.depthMode = DepthMode::kDisable;
  state_.depthFunc = CompareFunc::kLess;
  state_.depthMask = 0;
  state_.depthBias = 0;
  state_.rgbMask = 1;
  state_.alphaMask = 0;
  SetDitherMode(GR_DITHER_4x4);
  cullMode_ = GR_CULL_DISABLE;
  clip_ = {0, 0, kWidth, kHeight};
  drawToFront_ = false;
  // A texture source that reads the start of memory until the program selects its own.
  textures_->Bind(0, GR_MIPMAPLEVELMASK_BOTH, GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1,
                  GR_TEXFMT_RGB_565, binding_);
  state_.texFormat = kRgb565;
  dirty_ = true;
}

bool Context::WinOpen(GrScreenResolution_t resolution, GrColorFormat_t colorFormat,
                      GrOriginLocation_t origin, int colorBuffers, int auxBuffers) {
  if (resolution != GR_RESOLUTION_640x480) {
    Misuse("grSstWinOpen: only GR_RESOLUTION_640x480 is supported (got %d)", resolution);
    return false;
  }
  if (colorBuffers < 1 || colorBuffers > 2 || auxBuffers < 0 || auxBuffers > 1) {
    Misuse("grSstWinOpen: %d colour and %d auxiliary buffers are not supported", colorBuffers,
           auxBuffers);
    return false;
  }
  if (colorFormat < GR_COLORFORMAT_ARGB || colorFormat > GR_COLORFORMAT_BGRA) {
    Misuse("grSstWinOpen: unknown colour format %d", colorFormat);
    return false;
  }
  if (open_) WinClose();
  // Live playback draws at the multiple the display shows one to one, up to 2; a render, with
  // nothing shown, at 1 (GLIDE_SCALE says otherwise).
  scale_ = ScaleSetting().value_or(0);
  if (scale_ == 0) scale_ = DisplayScale(kWidth, kHeight, 2);
  width_ = kWidth * scale_;
  height_ = kHeight * scale_;
  stride_ = width_ + kRowPad;
  AllocateBuffers();
  front_ = 0;
  colorFormat_ = colorFormat;
  originLowerLeft_ = origin == GR_ORIGIN_LOWER_LEFT;
  textures_->Clear();
  expanded_.Clear();
  ResetState();
  open_ = true;
  OpenPresentation(width_, height_);
  SetPresentationGamma(1.7f);
  // The workers, where there are to be any (one thread: the calling thread draws, no queue).
  const int threads = ThreadsSetting();
  if (threads > 1) {
    queue_ = std::make_unique<RasterQueue>(threads, height_, stats_ != nullptr);
  }
  threaded_ = true;
  frameStart_ = std::chrono::steady_clock::now();
  return true;
}

void Context::WinClose() {
  if (!open_) return;
  if (queue_) {
    if (stats_ != nullptr) queue_->TakeStats(*stats_);
    queue_.reset();  // draws what is queued, then ends the threads
  }
  snapshots_.clear();
  current_ = nullptr;
  for (LockedCopy& copy : locked_) copy = LockedCopy();
  locks_ = 0;
  ClosePresentation();
  open_ = false;
}

void Context::Flush() {
  if (!queue_) return;
  queue_->Finish();
  // Nothing queued refers to the targets any more.
  snapshots_.clear();
  current_ = nullptr;
}

ClipRect Context::BufferClip() const {
  return {clip_.minX * scale_, clip_.minY * scale_, clip_.maxX * scale_, clip_.maxY * scale_};
}

uint32_t Context::ToArgb(GrColor_t c) const {
  const uint32_t b0 = c & 0xFF, b1 = (c >> 8) & 0xFF, b2 = (c >> 16) & 0xFF, b3 = c >> 24;
  switch (colorFormat_) {
    case GR_COLORFORMAT_ABGR: return b3 << 24 | b0 << 16 | b1 << 8 | b2;
    case GR_COLORFORMAT_RGBA: return b0 << 24 | b3 << 16 | b2 << 8 | b1;
    case GR_COLORFORMAT_BGRA: return b0 << 24 | b1 << 16 | b2 << 8 | b3;
    default: return c;
  }
}

// ---- Texture -------------------------------------------------------------------------------

void Context::TexSource(FxU32 start, FxU32 evenOdd, const GrTexInfo& info) {
  TextureBinding binding;
  const std::string reason = textures_->Bind(start, evenOdd, info.smallLod, info.largeLod,
                                             info.aspectRatio, info.format, binding);
  if (!reason.empty()) {
    Misuse("grTexSource refused (the previous texture stays selected): %s", reason.c_str());
    return;
  }
  // Selecting the texture already selected changes nothing (the object drawers select a texture
  // for every face); another texture of the same format leaves the span selection as it is.
  if (binding == binding_ && state_.texFormat == binding.format) return;
  if (state_.texFormat == binding.format) {
    textureDirty_ = true;
  } else {
    dirty_ = true;
  }
  binding_ = binding;
  state_.texFormat = binding.format;
}

void Context::TexDownloadMipMap(FxU32 start, FxU32 evenOdd, const GrTexInfo& info) {
  Flush();  // queued triangles may read what is written
  const std::string reason = textures_->DownloadMipMap(
      start, evenOdd, info.smallLod, info.largeLod, info.aspectRatio, info.format, info.data);
  if (!reason.empty()) Misuse("grTexDownloadMipMap refused: %s", reason.c_str());
  dirty_ = true;  // an expanded copy of what was written is gone
}

void Context::TexDownloadLevel(FxU32 start, GrLOD_t lod, GrLOD_t largeLod, GrAspectRatio_t aspect,
                               GrTextureFormat_t format, FxU32 evenOdd, const void* data,
                               int firstRow, int lastRow) {
  Flush();
  const std::string reason = textures_->DownloadLevel(start, lod, largeLod, aspect, format,
                                                      evenOdd, data, firstRow, lastRow);
  if (!reason.empty()) Misuse("grTexDownloadMipMapLevel refused: %s", reason.c_str());
  dirty_ = true;
}

void Context::TexDownloadPalette(const void* data, int first, int last) {
  Flush();  // queued triangles may read the 8-bit copies made through the old palette
  textures_->DownloadPalette(static_cast<const uint32_t*>(data), first, last);
  expanded_.ForgetFormat(kP8);
  ++paletteVersion_;
  dirty_ = true;
}

// ---- Drawing -------------------------------------------------------------------------------

void Context::Validate() {
  if (!dirty_) {
    if (textureDirty_) ValidateTexture();
    return;
  }
  RenderState normalized = state_;
  normalized.Normalize();
  target_.state = normalized;
  target_.tables = &GetTables();
  target_.color = DrawBufferMutable();
  target_.aux = aux_;
  target_.stride = stride_;
  // The selection is cached by the normalized state (the choice is the same for equal states).
  if (genericOnly_) {
    target_.stages = SelectSpans(normalized, false, simd_);
  } else {
    auto& bucket = spanCache_[normalized.Hash()];
    const auto cached = std::find_if(bucket.begin(), bucket.end(),
                                     [&](const CachedSelection& c) { return c.state == normalized; });
    if (cached != bucket.end()) {
      target_.stages = cached->stages;
    } else {
      target_.stages = SelectSpans(normalized, true, simd_);
      bucket.push_back({normalized, target_.stages});
    }
  }
  dirty_ = false;
  ValidateTexture();
}

const SpanTarget* Context::CurrentTarget() {
  const bool changed = dirty_ || textureDirty_;
  Validate();
  if (!Queued()) return &target_;
  // Queued triangles keep the target they were drawn with; a change makes a new one.
  if (changed || current_ == nullptr) {
    snapshots_.push_back(target_);
    current_ = &snapshots_.back();
  }
  return current_;
}

void Context::ValidateTexture() {
  textureDirty_ = false;
  target_.binding = binding_;
  target_.texels32 = nullptr;
  target_.uniform = false;
  const RenderState& st = target_.state;
  if (!st.textureEnabled) return;
  const bool paletted = binding_.format == kP8 || binding_.format == kAp88;
  if (paletted && !textures_->PaletteLoaded() && bindingPaletteWarned_ == 0) {
    bindingPaletteWarned_ = 1;
    Misuse("a palette texture is drawn before grTexDownloadTable loaded a palette (black)");
  }
  PrepareTexture(target_, textures_->Data());
  if (UsesTextureLut(binding_.format) &&
      (lutFormat_ != binding_.format || lutPaletteVersion_ != paletteVersion_)) {
    FillTextureLut(target_, binding_.format, textures_->Palette());
    lutFormat_ = binding_.format;
    lutPaletteVersion_ = paletteVersion_;
  }
  // What only the lane paths use: 8-bit textures read from an expanded copy (the state's format
  // is the one their span functions are chosen by), and whether the level is of one colour.
  if (simd_ == SimdLevel::kNone || genericOnly_) return;
  if (BytesPerTexel(st.texFormat) == 1) {
    // A copy made now may take the place of one that queued triangles still read.
    if (queue_ && queue_->Pending() &&
        !expanded_.Holds(binding_.levelAddress, binding_.widthMask + 1, binding_.heightMask + 1, binding_.format)) {
      Flush();
    }
    target_.texels32 = expanded_.Get(textures_->Data(), binding_.levelAddress, binding_.widthMask + 1,
                                     binding_.heightMask + 1, binding_.format, target_.lut8);
  }
  FindUniformTexel(target_);
}

TriangleJob Context::MakeJob() {
  TriangleJob job;
  job.target = CurrentTarget();
  job.span = job.target->stages.span;
  job.clip = BufferClip();
  job.cullMode = cullMode_;
  job.screenHeight = height_;
  job.scale = scale_;
  job.originLowerLeft = originLowerLeft_;
  job.stats = stats_.get();
  return job;
}

SetupResult Context::Draw(const TriangleJob& job, const GrVertex& a, const GrVertex& b, const GrVertex& c,
                          const Slopes* planar, Slopes* slopesOut) {
  if (!Queued()) return glide::DrawTriangle(job, a, b, c, planar, slopesOut);
  // Set up straight into the queue's next place; the plane equations are left to the thread
  // that draws the triangle, except where a planar polygon shares them.
  TriangleSetup& setup = queue_->NextTriangle();
  const bool deferPlanes = planar == nullptr && slopesOut == nullptr;
  const SetupResult result = SetUpTriangle(job, a, b, c, planar, slopesOut, setup, deferPlanes);
  if (result == SetupResult::kDrawn && setup.yBegin < setup.yEnd) {
    queue_->PushTriangle(job.target, job.span, deferPlanes);
  }
  return result;
}

void Context::DrawTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
  if (!open_) {
    Misuse("grDrawTriangle before grSstWinOpen");
    return;
  }
  ++trisProcessed_;
  const SetupResult result = Draw(MakeJob(), a, b, c, nullptr, nullptr);
  if (result == SetupResult::kInvalid) {
    Misuse("grDrawTriangle: a vertex coordinate is NaN or infinite; triangle dropped");
  } else if (result == SetupResult::kDrawn) {
    ++trisDrawn_;
  }
}

void Context::DrawPolygon(int count, const GrVertex* v, const int* indices, bool planar) {
  if (!open_) {
    Misuse("grDrawPolygon before grSstWinOpen");
    return;
  }
  auto at = [&](int i) -> const GrVertex& { return indices ? v[indices[i]] : v[i]; };
  const TriangleJob job = MakeJob();
  Slopes slopes;
  bool haveSlopes = false;
  for (int i = 1; i + 1 < count; ++i) {
    ++trisProcessed_;
    SetupResult result;
    if (!planar) {
      result = Draw(job, at(0), at(i), at(i + 1), nullptr, nullptr);
    } else if (!haveSlopes) {
      // The first triangle with area sets the gradients of the whole polygon and decides its
      // culling; the rest reuse them.
      result = Draw(job, at(0), at(i), at(i + 1), nullptr, &slopes);
      if (result == SetupResult::kCulled) return;
      haveSlopes = result == SetupResult::kDrawn;
    } else {
      result = Draw(job, at(0), at(i), at(i + 1), &slopes, nullptr);
    }
    if (result == SetupResult::kInvalid) {
      Misuse("grDrawPolygon: a vertex coordinate is NaN or infinite; triangle dropped");
    } else if (result == SetupResult::kDrawn) {
      ++trisDrawn_;
    }
  }
}

void Context::DrawPoint(const GrVertex& p) {
  // Glide's grDrawPoint: snap to 1/16, keep the pixel, and draw the tiny triangle whose
  // vertex A sits exactly on that pixel's centre.
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
    Misuse("grDrawPoint: NaN or infinite coordinate");
    return;
  }
  const float x = std::floor(std::nearbyint(p.x * 16.0f) / 16.0f);
  const float y = std::floor(std::nearbyint(p.y * 16.0f) / 16.0f);
  GrVertex a = p, b = p, c = p;
  a.x = x + 0.5f; a.y = y + 0.5f;
  b.x = x + 1.0f; b.y = y + 0.5f;
  c.x = x + 1.0f; c.y = y + 1.0f;
  DrawTriangle(a, b, c);
}

void Context::TriStats(FxU32& processed, FxU32& drawn) const {
  processed = trisProcessed_;
  drawn = trisDrawn_;
}

void Context::ResetTriStats() { trisProcessed_ = trisDrawn_ = 0; }

}  // namespace glide
