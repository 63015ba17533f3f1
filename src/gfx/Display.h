// The Glide display context of the program: opening and closing the display with the default
// render state every scene starts from, the per-scene reset, and TMU 0 texture memory as a bump
// allocator (TextureArena) with a table of the textures placed in it (TextureTable).
#pragma once

#include <glide.h>

#include <cstdint>

using TextureId = int32_t;  // row of TextureTable; -1 means no texture

struct TextureHandle {
  GrLOD_t smallLod;
  GrLOD_t largeLod;
  GrAspectRatio_t aspectRatio;
  GrTextureFormat_t format;
  FxU32 startAddress;  // where the texture was downloaded in TMU 0 memory
};

inline constexpr int kTextureTableRows = 128;

extern TextureHandle TextureTable[kTextureTableRows];
extern int32_t TextureCount;      // rows in use; the id the next successful load returns
extern FxU32 TextureArenaBase;    // grTexMinAddress(GR_TMU0), set by OpenDisplay
extern FxU32 TextureArenaNext;    // next free texture address
extern bool DisplayOpened;        // set by WinMain once OpenDisplay has returned

// Opens the 640 x 480 double-buffered display with a W-buffer and sets the default state.
void OpenDisplay();
// Shuts Glide down; harmless when repeated.
void CloseDisplay();
// CloseDisplay if DisplayOpened: what a fatal error does on its way out.
void CloseDisplayIfOpened();
// Empties the texture arena and table, and leaves both colour buffers black.
void BeginScene();
// Makes texture `id` the TMU 0 source. An id outside the current table leaves the source as it is.
void SelectTexture(TextureId id);
// Moves the arena's next free address (reserving memory below it).
void SetTextureArenaTop(FxU32 address);
