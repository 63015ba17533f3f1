#include "PathStats.h"

#include <chrono>
#include <cstdio>

namespace glide {

void PathStats::Merge(const PathStats& other) {
  for (size_t i = 0; i < triangles.size(); ++i) {
    triangles[i] += other.triangles[i];
    pixels[i] += other.pixels[i];
    nanoseconds[i] += other.nanoseconds[i];
  }
}

std::string PathStats::Table() const {
  static constexpr const char* kNames[kSpanPaths] = {"generic", "chunked", "row", "batch"};
  uint64_t allPixels = 0, allTriangles = 0, allNs = 0;
  for (size_t i = 0; i < pixels.size(); ++i) {
    allPixels += pixels[i];
    allTriangles += triangles[i];
    allNs += nanoseconds[i];
  }
  std::string out = "path       triangles       pixels  share      ms  Mpixel/s\n";
  char line[128];
  const auto row = [&](const char* name, uint64_t t, uint64_t p, uint64_t ns) {
    const double share = allPixels > 0 ? 100.0 * static_cast<double>(p) / static_cast<double>(allPixels) : 0.0;
    const double mps = ns > 0 ? static_cast<double>(p) * 1e3 / static_cast<double>(ns) : 0.0;
    std::snprintf(line, sizeof line, "%-8s %11llu %12llu %5.1f%% %7.0f %9.1f\n", name,
                  static_cast<unsigned long long>(t), static_cast<unsigned long long>(p), share,
                  static_cast<double>(ns) / 1e6, mps);
    out += line;
  };
  for (size_t i = 0; i < pixels.size(); ++i) row(kNames[i], triangles[i], pixels[i], nanoseconds[i]);
  row("all", allTriangles, allPixels, allNs);
  return out;
}

uint64_t StatsNow() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

}  // namespace glide
