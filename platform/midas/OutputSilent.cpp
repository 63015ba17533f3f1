// The silent output: a thread of its own that keeps time without sound. (The WebAssembly build's
// is a timer of the page, in OutputWebAudio.cpp: there the thread is the page's.)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Output.h"

namespace midas {
namespace {

class SilentOutput final : public Output {
 public:
  SilentOutput(int rate, RenderFunction render) : rate_(rate), render_(std::move(render)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~SilentOutput() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  const char* Name() const override { return "silent"; }

 private:
  void Run() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::vector<int16_t> scratch;
    uint64_t rendered = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; })) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
      const uint64_t due = static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(rate_) / 1000000;
      // After a long stall (a suspended process) skip ahead instead of catching up at once.
      const std::size_t frames = static_cast<std::size_t>(std::min<uint64_t>(due - rendered, rate_));
      rendered = due;
      scratch.resize(2 * frames);
      lock.unlock();
      render_(scratch.data(), frames);
      lock.lock();
    }
  }

  int rate_;
  RenderFunction render_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

OpenedOutput OpenSilentOutput(int rate, RenderFunction render) {
  return OpenedOutput::Of(std::make_unique<SilentOutput>(rate, std::move(render)));
}

}  // namespace midas
