// The state behind midasdll.h: options, the channel table (automatic effect channels, module
// channels), loaded samples and modules, module play slots, the mixer and the output.
//
// Every method throws Error on failure; the published functions turn that into their failure
// value and the code MIDASgetLastError returns. Methods lock the stand-in's recursive lock;
// file reading and module decoding run outside it so the audio thread is not held up.
#pragma once

#include "ChannelTable.h"
#include "Mixer.h"
#include "Module.h"
#include "Output.h"

#include "midasdll.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace midas {

class System {
 public:
  System();
  ~System();

  void Startup();
  void SetOption(int option, DWORD value);
  DWORD GetOption(int option) const;
  // False when the user cancelled.
  bool Config();
  void Init();
  void Close();

  void StartBackgroundPlay();
  void StopBackgroundPlay();
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

  void OpenChannels(int count);
  void CloseChannels();
  void AllocAutoEffectChannels(unsigned count);
  void FreeAutoEffectChannels();
  DWORD AllocateChannel();
  void FreeChannel(DWORD channel);
  void SetAmplification(DWORD percent);

  MIDASsample LoadWaveSample(const char* path, bool loop);
  MIDASsample LoadRawSample(const char* path, int sampleType, bool loop);
  void FreeSample(MIDASsample sample);
  MIDASsamplePlayHandle PlaySample(MIDASsample sample, unsigned channel, int priority, unsigned rate,
                                   unsigned volume, int panning);
  void StopSample(MIDASsamplePlayHandle handle);
  void SetSampleRate(MIDASsamplePlayHandle handle, unsigned rate);
  void SetSampleVolume(MIDASsamplePlayHandle handle, unsigned volume);
  void SetSamplePanning(MIDASsamplePlayHandle handle, int panning);
  void SetSamplePriority(MIDASsamplePlayHandle handle, int priority);
  DWORD SamplePlayStatus(MIDASsamplePlayHandle handle);

  MIDASmodule LoadModule(const char* path);
  void FreeModule(MIDASmodule module);
  MIDASmodulePlayHandle PlayModule(MIDASmodule module, bool loopSong);
  void StopModule(MIDASmodulePlayHandle handle);
  void SetMusicVolume(MIDASmodulePlayHandle handle, unsigned volume);
  MIDASplayStatus PlayStatus(MIDASmodulePlayHandle handle);
  MIDASmoduleInfo ModuleInfoOf(MIDASmodule module);
  void SetPosition(MIDASmodulePlayHandle handle, int order);

  // For tests and diagnostics: the open output ("device", "silent", "wav"), or "" before init.
  std::string OutputName();
  // The channel that owns a play handle, or -1.
  int ChannelOf(MIDASsamplePlayHandle handle);

  // Replaces the module decoder (tests use the null twin). Takes effect at once.
  void SetModuleDecoder(std::unique_ptr<ModuleDecoder> decoder);

 private:
  using Owner = ChannelTable::Owner;
  struct ModuleRecord {
    std::vector<uint8_t> bytes;
    ModuleInfo info;
  };
  struct PlaySlot {
    std::shared_ptr<const ModuleRecord> module;
    int musicId = 0;
    ModuleStream* stream = nullptr;  // owned by the mixer while musicId is live
    std::vector<int> channels;
    bool ownsChannels = false;  // MIDASplayModule opened the channels itself
  };
  static constexpr int kPlaySlots = 16;

  void RequireInit() const;
  void RequireChannels() const;
  void Render(int16_t* stereo, std::size_t frames);
  // Stops the channels' sounds and frees them.
  void ReleaseChannels(const std::vector<int>& channels);
  void StopAll();
  // With MIDAS_OPEN_HANDLES=PATH set: appends to PATH one line naming what the program still
  // holds (loaded samples and modules, playing modules, sounding samples) and how many it freed
  // while they still played.
  void ReportOpenHandles();
  void ResetState();
  std::shared_ptr<const ModuleRecord> FindModule(MIDASmodule module) const;
  PlaySlot& FindSlot(MIDASmodulePlayHandle handle);
  MIDASsample AddSample(std::shared_ptr<const Sample> sample);

  mutable std::recursive_mutex mutex_;
  bool started_ = false;
  bool initialised_ = false;
  bool playing_ = false;  // background play started
  std::map<int, DWORD> options_;
  unsigned amplification_ = 100;

  std::unique_ptr<ModuleDecoder> decoder_;
  std::unique_ptr<Mixer> mixer_;
  std::unique_ptr<Output> output_;

  bool channelsOpen_ = false;
  ChannelTable channels_;
  std::vector<int> autoChannels_;
  std::size_t nextAuto_ = 0;
  uint32_t handleCounter_ = 0;

  std::map<MIDASsample, std::shared_ptr<const Sample>> samples_;
  MIDASsample nextSample_ = 1;
  std::map<const void*, std::shared_ptr<const ModuleRecord>> modules_;
  std::array<PlaySlot, kPlaySlots> slots_;
  // Samples freed while they still sounded and modules freed while they still played, which
  // MIDAS forbade; counted for ReportOpenHandles.
  int freedWhilePlaying_ = 0;
};

// The process-wide instance behind the published functions.
System& TheSystem();

}  // namespace midas
