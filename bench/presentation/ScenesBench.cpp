// scenes_bench [DATA_DIR]: plays every scene of the scene table once, unpaced and headless, in
// the generated data directory (default: this build's), and prints per scene the frames shown,
// frames per second, and the median and slowest frame times. Sound runs silent.
#include "app/App.h"
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

const char* const kSceneNames[kSceneRows] = {"cartoon", "title", "space",  "tunnel", "fire", "fractal",
                                             "crypt",   "facemap", "enviro", "temple", ""};

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path data = argc > 1 ? argv[1] : KELDRIN_BENCH_DATA;
  std::error_code error;
  std::filesystem::current_path(data, error);
  if (error) {
    std::fprintf(stderr, "scenes_bench: cannot enter %s: %s\n", data.c_str(), error.message().c_str());
    return 1;
  }
  ::setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  ::setenv("GLIDE_PRESENT", "none", 1);
  ::setenv("MIDAS_OUTPUT", "silent", 1);
  ::setenv("MIDAS_CONFIG", "ok", 1);

  CreateMainWindow(nullptr, 0);
  ResetDebugLog();
  AudioStartup(MainWindow);
  FillSceneTable();
  OpenDisplay();
  DisplayOpened = true;

  using Clock = std::chrono::steady_clock;
  std::printf("%-8s %7s %9s %11s %11s\n", "scene", "frames", "fps", "median ms", "slowest ms");
  for (int row = 0; row < kSceneRows; ++row) {
    const SceneEntry& scene = SceneTable[row];
    if (scene.init == nullptr) continue;
    scene.init();
    std::vector<double> ms;
    const auto start = Clock::now();
    for (;;) {
      const auto before = Clock::now();
      const int32_t over = scene.frame();
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
      if (over != 0) break;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (scene.done != nullptr) scene.done();
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const auto slowest = std::max_element(ms.begin(), ms.end());
    std::printf("%-8s %7zu %9.1f %11.3f %11.3f  (frame %td)\n", kSceneNames[row], ms.size(), ms.size() / seconds,
                sorted[sorted.size() / 2], *slowest, slowest - ms.begin());
  }
  CloseDisplay();
  AudioShutdown();
  return 0;
}
