// scenes_bench [DATA_DIR [SCENE...]]: plays every scene of the scene table once (or only the
// named ones), unpaced and headless, in the generated data directory (default: this build's), and
// prints per scene its init's time (a load longer than a frame makes a paced run miss a retrace),
// the frames shown, frames per second, and the median and slowest frame times,
// then the whole run's frames, time and speed against real time (60 frames a second). Sound is
// mixed and thrown away, as in a silent run. The rasterizer draws on GLIDE_THREADS threads (the
// program's default: the machine's cores, at most 8). With one thread, run it on one core:
// `GLIDE_THREADS=1 taskset -c 1 scenes_bench`; times are then the thread's CPU time, so that other
// work on a shared machine inflates them less (on an idle core they equal wall time). With more
// threads they are wall-clock times.
#include "app/App.h"
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

// The calling thread's CPU time as a std::chrono clock, or wall-clock time when the rasterizer
// has threads of its own.
struct BenchClock {
  static inline bool wall = false;
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<BenchClock>;
  static constexpr bool is_steady = true;
  static time_point now() {
    timespec ts{};
    clock_gettime(wall ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID, &ts);
    return time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
  }
};

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

  auto wanted = [&](int row) {
    if (argc <= 2) return true;
    for (int i = 2; i < argc; ++i)
      if (std::strcmp(argv[i], kSceneNames[row]) == 0) return true;
    return false;
  };

  const char* threads = std::getenv("GLIDE_THREADS");
  BenchClock::wall = threads == nullptr || std::strcmp(threads, "1") != 0;
  std::printf("GLIDE_THREADS %s: %s times\n", threads != nullptr ? threads : "unset",
              BenchClock::wall ? "wall-clock" : "thread CPU");
  using Clock = BenchClock;
  size_t totalFrames = 0;
  double totalSeconds = 0;
  double worstMs = 0;
  const char* worstScene = "";
  std::printf("%-8s %8s %7s %9s %11s %11s\n", "scene", "init ms", "frames", "fps", "median ms", "slowest ms");
  for (int row = 0; row < kSceneRows; ++row) {
    const SceneEntry& scene = SceneTable[row];
    if (scene.init == nullptr) continue;
    if (!wanted(row)) continue;
    const auto initStart = Clock::now();
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
    totalSeconds += std::chrono::duration<double>(Clock::now() - initStart).count();
    totalFrames += ms.size();
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const auto slowest = std::max_element(ms.begin(), ms.end());
    const double initMs = std::chrono::duration<double, std::milli>(start - initStart).count();
    std::printf("%-8s %8.2f %7zu %9.1f %11.3f %11.3f  (frame %td)\n", kSceneNames[row], initMs, ms.size(),
                ms.size() / seconds,
                sorted[sorted.size() / 2], *slowest, slowest - ms.begin());
    if (*slowest > worstMs) {
      worstMs = *slowest;
      worstScene = kSceneNames[row];
    }
  }
  std::printf("whole    %8s %7zu %9.1f  %.2f s with loading, %.1f x real time; slowest frame %.3f ms (%s)\n",
              "", totalFrames, totalFrames / totalSeconds, totalSeconds, totalFrames / 60.0 / totalSeconds, worstMs,
              worstScene);
  CloseDisplay();
  AudioShutdown();
  return 0;
}
