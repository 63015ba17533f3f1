// The channels the program opened (MIDASopenChannels, or a module's own set): who owns each,
// the play handle of each channel's current sound and the sample it last started. Channels are
// numbered 0 .. Count() - 1.
#pragma once

#include "midasdll.h"

#include <cstdint>
#include <vector>

namespace midas {

class Sample;

class ChannelTable {
 public:
  // Free; one of the automatic effect channels; a playing module's; the program's own
  // (MIDASallocateChannel).
  enum class Owner : uint8_t { kFree, kAuto, kModule, kUser };

  // `count` channels, all owned by `owner`, no sounds.
  void Reset(int count, Owner owner = Owner::kFree);
  void Clear() { Reset(0); }

  int Count() const { return static_cast<int>(channels_.size()); }
  int FreeCount() const;
  // The channel exists and the program allocated it itself.
  bool IsUser(DWORD channel) const {
    return channel < channels_.size() && channels_[channel].owner == Owner::kUser;
  }

  // The first `count` free channels, now owned by `owner`; throws kOutOfChannels, taking none,
  // where fewer are free.
  std::vector<int> Take(int count, Owner owner);
  // Frees the channels (numbers past the table are skipped) and forgets their sounds.
  void Release(const std::vector<int>& channels);

  // A sound started on `channel` under `handle`, or the channel's sound stopped.
  void Started(int channel, DWORD handle, const Sample* sample);
  void Stopped(int channel);
  // The channel whose current sound has `handle`, or -1 (always for handle 0).
  int Find(DWORD handle) const;
  // The play handle of the channel's current sound, 0 none, and the sample it started.
  DWORD HandleOf(int channel) const { return channels_[channel].handle; }
  const Sample* SampleOf(int channel) const { return channels_[channel].sample; }
  // Forgets the sounds of `sample` (the sample is being freed).
  void ForgetSample(const Sample* sample);

 private:
  struct Channel {
    Owner owner = Owner::kFree;
    DWORD handle = 0;  // the play handle of the current sound, 0 none
    const Sample* sample = nullptr;
  };
  std::vector<Channel> channels_;
};

}  // namespace midas
