// present_idle_bench [SWAPS]: times SWAPS (default 600) swaps with interval 1 of a 640 x 480
// frame and prints the wall time, the CPU time the process used and the share of one core.
// GLIDE_PRESENT defaults to none here, so the figure is the pacing itself; run it with
// GLIDE_PRESENT=window (and a display) to include converting and showing the frame.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Presentation.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  const int swaps = argc > 1 ? std::atoi(argv[1]) : 600;
  if (swaps <= 0) {
    std::fprintf(stderr, "usage: present_idle_bench [SWAPS]\n");
    return 2;
  }
  setenv("GLIDE_PRESENT", "none", 0);
  glide::OpenPresentation(640, 480);
  std::vector<uint16_t> frame(640 * 480);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint16_t>(i * 2654435761u >> 16);

  glide::PresentFrame(frame.data(), 640, 1);  // settle on the retrace grid
  const double cpuStart = CpuSeconds();
  const auto wallStart = std::chrono::steady_clock::now();
  for (int i = 0; i < swaps; ++i) glide::PresentFrame(frame.data(), 640, 1);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double cpu = CpuSeconds() - cpuStart;
  glide::ClosePresentation();

  std::printf("%d swaps (GLIDE_PRESENT=%s): wall %.3f s (%.2f swaps/s), CPU %.3f s = %.2f%% of one core\n", swaps,
              std::getenv("GLIDE_PRESENT"), wall, swaps / wall, cpu, 100.0 * cpu / wall);
  return 0;
}
