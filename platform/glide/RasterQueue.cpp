#include "RasterQueue.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Verify.h"

namespace glide {

namespace {

// How long a thread that has caught up keeps looking for more before it sleeps: long enough
// that the next triangle of a busy frame, or the last band another thread is finishing, costs
// no wake-up, short enough that an idle worker costs nothing. Timed by the clock, not by a
// count of pauses: a pause takes from a few to over a hundred cycles depending on the processor.
constexpr auto kSpinFor = std::chrono::microseconds(10);

// Sleeping workers are woken at once by Finish, and by every this many commands meanwhile: a
// wake-up per command would cost more than the command.
constexpr uint64_t kWakeEvery = 32;

inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Looks at `value` for kSpinFor while it still holds `seen`; whether it changed meanwhile. A
// thread that would otherwise sleep calls this first: a wake-up costs both threads far more than
// a short look (tens of microseconds in a virtual machine, whose idle processor must be roused).
template <class T>
bool ChangesSoon(const std::atomic<T>& value, T seen) {
  const auto until = std::chrono::steady_clock::now() + kSpinFor;
  for (int spin = 1;; ++spin) {
    Relax();
    if (value.load(std::memory_order_acquire) != seen) return true;
    if (spin % 16 == 0 && std::chrono::steady_clock::now() >= until) return false;
  }
}

}  // namespace

void ExecuteClear(const ClearCommand& clear, int top, int end) {
  const int y0 = std::max(top, clear.clip.minY), y1 = std::min(end, clear.clip.maxY);
  const int x0 = clear.clip.minX, width = clear.clip.maxX - clear.clip.minX;
  if (width <= 0) return;
  GLIDE_VERIFY(0 <= x0 && clear.clip.maxX <= clear.stride && 0 <= top);
  for (int y = y0; y < y1; ++y) {
    const ptrdiff_t row = static_cast<ptrdiff_t>(y) * clear.stride;
    if (clear.color != nullptr) {
      // The row's four dither columns from column x0, then what is written so far copied after
      // itself until the row is full: a few wide copies a row.
      uint16_t* out = clear.color + row + x0;
      for (int i = 0; i < std::min(width, 4); ++i) out[i] = clear.pattern[y & 3][(x0 + i) & 3];
      for (int done = 4; done < width; done *= 2) {
        std::memcpy(out + done, out, static_cast<size_t>(std::min(done, width - done)) * sizeof *out);
      }
    }
    if (clear.aux != nullptr) std::fill_n(clear.aux + row + x0, width, clear.auxValue);
  }
}

RasterQueue::RasterQueue(int threads, int height, bool stats)
    : ring_(new Command[kCapacity]),
      threads_(threads),
      height_(height),
      bandCount_((height + kBandRows - 1) / kBandRows) {
  bins_.reset(new uint16_t[static_cast<size_t>(bandCount_) * kCapacity]);
  bands_.reset(new Band[static_cast<size_t>(bandCount_)]);
  binned_.assign(static_cast<size_t>(bandCount_), 0);
  // Everything the workers read is in place before the first starts.
  stats_.resize(static_cast<size_t>(threads));
  if (stats) {
    for (auto& counts : stats_) counts = std::make_unique<PathStats>();
  }
  workers_.reserve(static_cast<size_t>(threads - 1));
  for (int i = 0; i + 1 < threads; ++i) workers_.emplace_back([this, i] { Run(i); });
}

RasterQueue::~RasterQueue() {
  Finish();
  stop_.store(true, std::memory_order_seq_cst);
  // A value no command count reaches: whoever sleeps on the count wakes and sees the stop.
  published_.store(~uint64_t{0}, std::memory_order_seq_cst);
  published_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

RasterQueue::Command& RasterQueue::Next() {
  // The slot the new command takes was last used kCapacity commands ago, and a bin holds at
  // most kCapacity commands: every band must be past it.
  if (count_ >= finished_ + kCapacity) Finish();
  // The slots after it were last written long ago and are out of the cache: ask for the next
  // ones now, so that set-up does not wait for them.
  for (uint64_t ahead = 1; ahead <= 2; ++ahead) {
    const char* slot = reinterpret_cast<const char*>(&ring_[(count_ + ahead) % kCapacity]);
    for (size_t line = 0; line < sizeof(Command); line += 64) __builtin_prefetch(slot + line, 1);
  }
  return ring_[count_ % kCapacity];
}

void RasterQueue::Publish(int top, int end) {
  const auto slot = static_cast<uint16_t>(count_ % kCapacity);
  const int last = (end - 1) / kBandRows;
  for (int b = top / kBandRows; b <= last; ++b) {
    uint32_t& binned = binned_[static_cast<size_t>(b)];
    bins_[static_cast<size_t>(b) * kCapacity + binned % kCapacity] = slot;
    ++binned;
    bands_[b].queued.store(binned, std::memory_order_release);
  }
  ++count_;
  // Threads find the work through the bins; the count is for those about to sleep. It is made
  // visible at once to a sleeper every kWakeEvery commands (and by Finish), which a thread that
  // fell asleep meanwhile waits for.
  if (count_ - notified_ < kWakeEvery) {
    published_.store(count_, std::memory_order_release);
    return;
  }
  published_.store(count_, std::memory_order_seq_cst);
  notified_ = count_;
  // One wake-up at a time: a sleeper takes longer to wake than the next kWakeEvery commands
  // take to queue. (Finish wakes whoever sleeps whatever this says.)
  if (sleeping_.load(std::memory_order_seq_cst) > 0 && !waking_.exchange(true, std::memory_order_relaxed)) {
    published_.notify_all();
  }
}

void RasterQueue::PushTriangle(const SpanTarget* target, SpanFn span, bool planesPending) {
  Command& c = Next();
  const TriangleSetup& t = c.triangle;
  // The rows the walk visits, top to bottom whichever way the origin lies.
  int top, end;
  if (t.rowStep > 0) {
    top = static_cast<int>(t.rowBase + t.yBegin);
    end = static_cast<int>(t.rowBase + t.yEnd);
  } else {
    top = static_cast<int>(t.rowBase - t.yEnd + 1);
    end = static_cast<int>(t.rowBase - t.yBegin + 1);
  }
  top = std::max(top, 0);
  end = std::min(end, height_);
  if (top >= end) return;
  c.kind = Kind::kTriangle;
  c.planes.store(planesPending ? kPlanesPending : kPlanesReady, std::memory_order_relaxed);
  c.target = target;
  c.span = span;
  Publish(top, end);
}

void RasterQueue::PushClear(const ClearCommand& clear) {
  const int top = std::max(clear.clip.minY, 0), end = std::min(clear.clip.maxY, height_);
  if (top >= end || clear.clip.minX >= clear.clip.maxX) return;
  Command& c = Next();
  c.kind = Kind::kClear;
  c.clear = clear;
  Publish(top, end);
}

bool RasterQueue::Drawn() const {
  for (int b = 0; b < bandCount_; ++b) {
    if (bands_[b].drawn.load(std::memory_order_seq_cst) != binned_[static_cast<size_t>(b)]) return false;
  }
  return true;
}

void RasterQueue::Finish() {
  if (count_ == finished_) return;
  const int caller = threads_ - 1;
  notified_ = count_;
  published_.store(count_, std::memory_order_seq_cst);
  if (sleeping_.load(std::memory_order_seq_cst) > 0) published_.notify_all();
  finishing_.fetch_add(1, std::memory_order_seq_cst);
  while (true) {
    if (DrawBands(caller)) continue;
    // What is left is in bands other threads hold: wait for them to let one go.
    const uint64_t seen = progress_.load(std::memory_order_seq_cst);
    if (Drawn()) break;
    if (!ChangesSoon(progress_, seen)) progress_.wait(seen, std::memory_order_seq_cst);
  }
  finishing_.fetch_sub(1, std::memory_order_seq_cst);
  finished_ = count_;
}

bool RasterQueue::DrawBands(int thread) {
  PathStats* stats = stats_[static_cast<size_t>(thread)].get();
  const int threads = Threads();
  auto drawFree = [&](int b) {
    Band& band = bands_[b];
    if (band.drawn.load(std::memory_order_relaxed) == band.queued.load(std::memory_order_relaxed)) return false;
    if (band.busy.load(std::memory_order_relaxed) || band.busy.exchange(true, std::memory_order_acquire)) return false;
    DrawBand(b, stats);
    band.busy.store(false, std::memory_order_release);
    return true;
  };
  bool drew = false;
  for (int b = thread; b < bandCount_; b += threads) drew |= drawFree(b);
  if (!drew) {
    for (int b = 0; b < bandCount_; ++b) {
      if (b % threads != thread) drew |= drawFree(b);
    }
  }
  if (drew) {
    progress_.fetch_add(1, std::memory_order_seq_cst);
    if (finishing_.load(std::memory_order_seq_cst) > 0) progress_.notify_all();
  }
  return drew;
}

void RasterQueue::DrawBand(int b, PathStats* stats) {
  Band& band = bands_[b];
  const uint32_t queued = band.queued.load(std::memory_order_acquire);
  const int bandTop = b * kBandRows, bandEnd = std::min(bandTop + kBandRows, height_);
  GLIDE_VERIFY(0 <= b && b < bandCount_ && bandTop < bandEnd);
  const uint16_t* bin = &bins_[static_cast<size_t>(b) * kCapacity];
  uint32_t n = band.drawn.load(std::memory_order_relaxed);
  Gradients scratch;
  for (; n != queued; ++n) {
    Command& c = ring_[bin[n % kCapacity]];
    if (c.kind == Kind::kTriangle) {
      RasterizeTriangle(c.triangle, PlanesOf(c, scratch), *c.target, c.span, bandTop, bandEnd, stats);
    } else {
      ExecuteClear(c.clear, bandTop, bandEnd);
    }
  }
  band.drawn.store(n, std::memory_order_seq_cst);
}

const Gradients& RasterQueue::PlanesOf(Command& c, Gradients& scratch) {
  uint8_t state = c.planes.load(std::memory_order_acquire);
  if (state == kPlanesReady) return c.triangle.g;
  if (state == kPlanesPending &&
      c.planes.compare_exchange_strong(state, kPlanesComputing, std::memory_order_acquire)) {
    SetUpPlanes(c.triangle, c.triangle.g);
    c.planes.store(kPlanesReady, std::memory_order_release);
    return c.triangle.g;
  }
  if (state == kPlanesReady) return c.triangle.g;
  SetUpPlanes(c.triangle, scratch);
  return scratch;
}

void RasterQueue::Run(int thread) {
  while (true) {
    const uint64_t available = published_.load(std::memory_order_acquire);
    if (stop_.load(std::memory_order_seq_cst)) return;
    if (DrawBands(thread)) continue;
    // Caught up (or the rest is in bands others hold): look again for a while, then sleep
    // until more is queued.
    if (ChangesSoon(published_, available)) continue;
    sleeping_.fetch_add(1, std::memory_order_seq_cst);
    published_.wait(available, std::memory_order_seq_cst);
    sleeping_.fetch_sub(1, std::memory_order_seq_cst);
    waking_.store(false, std::memory_order_relaxed);
  }
}

void RasterQueue::TakeStats(PathStats& into) {
  Finish();
  for (auto& stats : stats_) {
    if (stats == nullptr) continue;
    into.Merge(*stats);
    *stats = PathStats();
  }
}

bool WorkersWanted(bool threaded, std::chrono::nanoseconds frame, std::chrono::nanoseconds budget) {
  if (budget <= std::chrono::nanoseconds::zero()) return true;
  // On above a quarter of the budget on one thread; off below an eighth on several, which is
  // about a quarter on one.
  return threaded ? frame * 8 > budget : frame * 4 > budget;
}

int DefaultRasterThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 8u));
}

}  // namespace glide
