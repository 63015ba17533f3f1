#include "platform/FrameClock.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {
namespace {

std::atomic<uint64_t> Frames{0};
std::mutex ListenerLock;
int NextToken = 1;
std::vector<std::pair<int, FrameListener>> Listeners;

}  // namespace

uint64_t FrameCount() { return Frames.load(std::memory_order_acquire); }

void AdvanceFrame() {
  const uint64_t count = Frames.fetch_add(1, std::memory_order_acq_rel) + 1;
  std::vector<std::pair<int, FrameListener>> listeners;
  {
    std::lock_guard<std::mutex> lock(ListenerLock);
    listeners = Listeners;
  }
  for (auto& entry : listeners) entry.second(count);
}

int SubscribeFrames(FrameListener listener) {
  std::lock_guard<std::mutex> lock(ListenerLock);
  const int token = NextToken++;
  Listeners.emplace_back(token, std::move(listener));
  return token;
}

void UnsubscribeFrames(int token) {
  std::lock_guard<std::mutex> lock(ListenerLock);
  std::erase_if(Listeners, [token](const auto& entry) { return entry.first == token; });
}

void ResetFrameClock() { Frames.store(0, std::memory_order_release); }

}  // namespace platform
