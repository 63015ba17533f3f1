#include "ChannelTable.h"

#include "Errors.h"

#include <algorithm>

namespace midas {

void ChannelTable::Reset(int count, Owner owner) {
  channels_.assign(static_cast<std::size_t>(count), Channel{owner, 0, nullptr});
}

int ChannelTable::FreeCount() const {
  return static_cast<int>(
      std::count_if(channels_.begin(), channels_.end(), [](const Channel& c) { return c.owner == Owner::kFree; }));
}

std::vector<int> ChannelTable::Take(int count, Owner owner) {
  std::vector<int> taken;
  for (int ch = 0; ch < Count() && static_cast<int>(taken.size()) < count; ++ch) {
    if (channels_[static_cast<std::size_t>(ch)].owner == Owner::kFree) taken.push_back(ch);
  }
  if (static_cast<int>(taken.size()) < count) throw Error(kOutOfChannels);
  for (int ch : taken) channels_[static_cast<std::size_t>(ch)].owner = owner;
  return taken;
}

void ChannelTable::Release(const std::vector<int>& channels) {
  for (int ch : channels) {
    if (ch < 0 || ch >= Count()) continue;
    channels_[static_cast<std::size_t>(ch)] = Channel{};
  }
}

void ChannelTable::Started(int channel, DWORD handle, const Sample* sample) {
  Channel& c = channels_[static_cast<std::size_t>(channel)];
  c.handle = handle;
  c.sample = sample;
}

void ChannelTable::Stopped(int channel) { Started(channel, 0, nullptr); }

int ChannelTable::Find(DWORD handle) const {
  if (handle == 0) return -1;
  const auto it = std::find_if(channels_.begin(), channels_.end(), [handle](const Channel& c) { return c.handle == handle; });
  return it == channels_.end() ? -1 : static_cast<int>(it - channels_.begin());
}

void ChannelTable::ForgetSample(const Sample* sample) {
  for (Channel& c : channels_) {
    if (c.sample == sample) {
      c.handle = 0;
      c.sample = nullptr;
    }
  }
}

}  // namespace midas
