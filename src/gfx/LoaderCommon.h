// The steps every texture loader shares: opening the file, allocating host buffers and
// registering the converted texture in the TextureTable. Internal to the graphics core.
#pragma once

#include "gfx/Display.h"

#include <glide.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>

namespace gfx_internal {

// Test hook: how many loader buffer allocations succeed before one fails; negative (the default)
// means none fails. Lets the tests drive every loader through its allocation-failure path.
extern int AllocationsBeforeFailure;

template <typename T>
std::unique_ptr<T[]> AllocateBuffer(size_t count) {
  if (AllocationsBeforeFailure == 0) return nullptr;
  if (AllocationsBeforeFailure > 0) --AllocationsBeforeFailure;
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens `name` for binary reading if it is a regular file, and gives its size in bytes. Null for a
// null name, a missing, unreadable or non-regular file (a directory, for example).
File OpenRegularFile(const char* name, long long& size);

// Reads exactly `bytes` bytes at `offset`; false on a short read or a read error.
bool ReadExactly(std::FILE* file, long long offset, void* destination, size_t bytes);

// Common registration: fills a single-level square GrTexInfo, checks that Glide's memory
// requirement equals `bytes`, that a table row is free and that the texture fits below the end
// of TMU 0 memory, then downloads at TextureArenaNext, appends the row and advances the arena.
// Returns the new TextureId, or -1 with the table and arena untouched.
TextureId RegisterTexture(GrLOD_t lod, GrTextureFormat_t format, void* texels, FxU32 bytes);

}  // namespace gfx_internal
