// The rasterizer on several threads. Set-up of a triangle's edges and rows stays on the calling
// thread (its plane equations are left to the first thread that draws it); each triangle after
// set-up, and each buffer clear, is queued with the state it was drawn with, and binned into the
// horizontal bands of the buffers it touches. A thread takes a band no other thread holds and
// draws into it the commands of its bin it has not drawn yet, in queue order, so every pixel sees its triangles and clears in
// the order the program drew them and a frame is the same for any number of threads. Worker
// threads draw while the caller sets up; whatever reads or changes what queued work depends on
// waits for the queue (Finish), and the caller draws bands meanwhile.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "PathStats.h"
#include "Triangle.h"

namespace glide {

// A buffer clear as the board's fast fill does it: the colour through the dither unit, the
// auxiliary buffer with one value, inside the clip window.
struct ClearCommand {
  uint16_t* color = nullptr;  // null: the colour buffer is left as it is
  uint16_t* aux = nullptr;    // null: the auxiliary buffer is left as it is
  int stride = 0;             // pixels per row of both
  ClipRect clip;
  uint16_t pattern[4][4] = {};  // the dithered clear colour, [y & 3][x & 3]
  uint16_t auxValue = 0;
};

// Clears rows [top, end) of the buffers (within the clip window).
void ExecuteClear(const ClearCommand& clear, int top, int end);

class RasterQueue {
 public:
  // Rows per band: small enough that the bands of a frame share its work evenly, large enough
  // that a small triangle seldom straddles two.
  static constexpr int kBandRows = 32;

  // Draws on `threads` threads (at least 2): the caller's and threads - 1 workers, for buffers of
  // `height` rows; with `stats`, each thread counts the span paths it draws (TakeStats).
  RasterQueue(int threads, int height, bool stats);
  // Draws what is queued, then ends the workers.
  ~RasterQueue();
  RasterQueue(const RasterQueue&) = delete;
  RasterQueue& operator=(const RasterQueue&) = delete;

  // The set-up of the next triangle is written into NextTriangle's place, then queued by
  // PushTriangle (or not, and the place is used again). `target` must stay unchanged until
  // Finish returns. With `planesPending`, the set-up left the plane equations out
  // (SetUpTriangle's deferPlanes): the first thread to draw the triangle computes them.
  TriangleSetup& NextTriangle() { return Next().triangle; }
  void PushTriangle(const SpanTarget* target, SpanFn span, bool planesPending);
  void PushClear(const ClearCommand& clear);
  // Returns once every queued command has been drawn; the caller draws bands meanwhile.
  void Finish();
  // Whether anything was queued since the last Finish.
  bool Pending() const { return count_ != finished_; }

  int Threads() const { return threads_; }
  // Adds the threads' counts of the span paths to `into` and starts them again.
  void TakeStats(PathStats& into);

 private:
  enum class Kind : uint8_t { kTriangle, kClear };
  // A triangle's plane equations: computed by the caller, pending, or being computed by the
  // thread that drew the triangle first (one whose other bands are drawn meanwhile computes its
  // own copy rather than wait: the same arithmetic gives the same values).
  enum Planes : uint8_t { kPlanesReady, kPlanesPending, kPlanesComputing };
  struct Command {
    Kind kind = Kind::kTriangle;
    std::atomic<uint8_t> planes{kPlanesReady};
    const SpanTarget* target = nullptr;
    SpanFn span = nullptr;
    TriangleSetup triangle;
    ClearCommand clear;
  };
  // Commands in flight at most: a ring the threads read while the caller writes ahead of them.
  static constexpr uint32_t kCapacity = 4096;
  // A band of rows and its bin: the ring slots of the commands that touch it, in queue order.
  // The caller adds to the bin (`queued`); one thread at a time (the one that set `busy`) draws
  // the bin's commands from `drawn` on.
  struct alignas(64) Band {
    std::atomic<uint32_t> queued{0};
    alignas(64) std::atomic<uint32_t> drawn{0};
    std::atomic<bool> busy{false};
  };

  // Makes room for one more command and returns its slot.
  Command& Next();
  // Queues the command in Next()'s slot into the bins of rows [top, end).
  void Publish(int top, int end);
  void Run(int thread);
  // Draws the bins of the bands no other thread holds: the thread's own bands (every Threads()th
  // from its index: their rows stay in its cache from frame to frame), and when those are done,
  // the others. Returns whether it drew anything.
  bool DrawBands(int thread);
  void DrawBand(int band, PathStats* stats);
  // The triangle command's plane equations: its own, or `scratch` computed meanwhile.
  static const Gradients& PlanesOf(Command& c, Gradients& scratch);
  // Whether every band has drawn its whole bin.
  bool Drawn() const;

  std::unique_ptr<Command[]> ring_;
  std::unique_ptr<uint16_t[]> bins_;  // kCapacity slots a band
  std::unique_ptr<Band[]> bands_;
  std::vector<uint32_t> binned_;      // each bin's count, the caller's copy
  std::vector<std::thread> workers_;
  const int threads_;
  int height_, bandCount_;
  std::vector<std::unique_ptr<PathStats>> stats_;  // one per thread, the caller's last
  uint64_t count_ = 0;     // commands queued
  uint64_t finished_ = 0;  // commands known to be drawn in every band
  uint64_t notified_ = 0;  // `published_` when sleepers were last woken
  // Commands queued, for the workers: they sleep on it when they have caught up.
  alignas(64) std::atomic<uint64_t> published_{0};
  std::atomic<bool> stop_{false};
  alignas(64) std::atomic<int> sleeping_{0};
  std::atomic<bool> waking_{false};  // a sleeper has been woken and is not yet up
  // Bins threads have finished drawing, counted for whoever waits in Finish.
  alignas(64) std::atomic<uint64_t> progress_{0};
  std::atomic<int> finishing_{0};
};

// Whether the next frame is drawn on the worker threads too, given the one just drawn (`threaded`
// or not) and how long it took from its first call to its swap, against the time it has on the
// display (`budget`; zero where swaps are unpaced). Unpaced (a render, a benchmark): always.
// Paced: only while frames take a sizeable part of their time, so that a light frame costs no
// hand-offs between threads; the two thresholds keep a frame near one from switching every time.
bool WorkersWanted(bool threaded, std::chrono::nanoseconds frame, std::chrono::nanoseconds budget);

// GLIDE_THREADS's default: the machine's cores, at most 8.
int DefaultRasterThreads();

}  // namespace glide
