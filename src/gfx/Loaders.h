// Texture and palette loaders: each texture loader reads one CEL file from the working directory,
// converts its pixels to one Glide texel format, downloads the texture at the end of the
// TextureArena and appends a TextureTable row (Display.h). Loaders are called from scene inits,
// after BeginScene.
//
// Every texture loader returns the new TextureId, or -1 on any failure: a missing, unreadable or
// non-regular file, a size the loader does not accept, a short read, an allocation failure, a
// memory requirement that differs from the texel buffer, a full TextureTable (kTextureTableRows
// rows) or a texture that would run past the end of TMU 0 memory. A failure adds no row, leaves
// the arena as it was and keeps no memory.
#pragma once

#include "gfx/Display.h"

#include <glide.h>

#include <cstdint>

// The palette of 8-bit paletted textures: 256 entries 0x00RRGGBB.
extern FxU32 CurrentPalette[256];
// When nonzero, the next successful LoadCelGlow or LoadScreenGlow doubles its alpha (capped at
// 15); every successful glow load clears it, a failed one leaves it.
extern int32_t GlowDoubling;

// Fills CurrentPalette from a PAL file and downloads it as the TMU 0 palette. A file of exactly
// 768 bytes holds 6-bit components (scaled by 4); any other file an 8-byte header, then 8-bit
// components. A missing, unreadable or short file keeps the previous CurrentPalette (and downloads
// nothing). Components above 63 in the 6-bit layout are taken as 63.
void LoadPalette(const char* name);

// Square CELs (8 ... 256 pixels a side).
// GR_TEXFMT_P_8: the pixel bytes themselves, shown through CurrentPalette.
TextureId LoadCelPaletted(const char* name);
// GR_TEXFMT_RGB_565 from the file's own palette.
TextureId LoadCelRgb565(const char* name);
// GR_TEXFMT_ARGB_4444; alpha = the brightest 4-bit component (doubled under GlowDoubling).
TextureId LoadCelGlow(const char* name);

// 256 x 200 screen images, as a 256 x 256 texture.
// GR_TEXFMT_RGB_565; rows 200 ... 255 show palette entry 0.
TextureId LoadScreenRgb565(const char* name);
// GR_TEXFMT_ARGB_4444 as LoadCelGlow; rows 200 ... 255 use palette entry 0.
TextureId LoadScreenGlow(const char* name);
// GR_TEXFMT_ARGB_4444; palette index 255 is transparent black with a soft edge (SoftEdgeAlpha);
// rows 200 ... 255 are transparent.
TextureId LoadCelSoftSprite(const char* name);

inline constexpr int kFractalFrameCount = 20;
// The process's exit code: written only by LoadFractalFrames, returned by WinMain.
extern int32_t FractalLoadStage;
// Loads the 20 frames of "fractal.dat" as GR_TEXFMT_P_8 GR_LOD_128 textures with consecutive ids,
// stored in ids[0 ... 19]; returns 20, or -1 with every frame of this call unregistered again.
// FractalLoadStage records the progress: 0 on entry, 1 once the file is open, 8 before each
// frame's read, 9 once its memory size is known, 10 after the last frame.
int32_t LoadFractalFrames(TextureId ids[kFractalFrameCount]);
