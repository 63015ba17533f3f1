// How much each span path draws, for GLIDE_STATS: triangles, pixels and the time spent in the
// path, counted where a triangle's rows are handed to it. Off (and free) unless asked for.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "Raster.h"

namespace glide {

struct PathStats {
  std::array<uint64_t, kSpanPaths> triangles{};
  std::array<uint64_t, kSpanPaths> pixels{};
  std::array<uint64_t, kSpanPaths> nanoseconds{};

  void Add(SpanPath path, uint64_t pixelCount, uint64_t ns) {
    const auto i = static_cast<size_t>(path);
    ++triangles[i];
    pixels[i] += pixelCount;
    nanoseconds[i] += ns;
  }
  void Merge(const PathStats& other);
  // The table GLIDE_STATS prints: per path its triangles, pixels, share of the pixels, time and
  // Mpixel/s, one line each, then the totals.
  std::string Table() const;
};

// A monotonic clock in nanoseconds, for the statistics.
uint64_t StatsNow();

}  // namespace glide
