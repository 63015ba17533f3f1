#include "System.h"

#include "ConfigDialog.h"
#include "Errors.h"
#include "FileData.h"
#include "Settings.h"
#include "WaveFile.h"

#include <algorithm>
#include <cstring>

namespace midas {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kMinRate = 8000;
constexpr int kMaxRate = 192000;
// Automatic effect play handles run 0x100 .. 0xFFFE before the +1 that keeps 0 for failure.
constexpr uint32_t kAutoHandleBase = 0x100;
constexpr uint32_t kAutoHandleCount = 0xFFFF - kAutoHandleBase;

void SetDefaults(std::map<int, DWORD>& options) {
  options.clear();
  options[MIDAS_OPTION_MIXRATE] = 44100;
  options[MIDAS_OPTION_OUTPUTMODE] = MIDAS_MODE_16BIT_STEREO;
  options[MIDAS_OPTION_MIXBUFLEN] = 500;
  options[MIDAS_OPTION_MIXBUFBLOCKS] = 4;
  options[MIDAS_OPTION_DSOUND_MODE] = MIDAS_DSOUND_DISABLED;
  options[MIDAS_OPTION_FILTER_MODE] = MIDAS_FILTER_AUTO;
  options[MIDAS_OPTION_MIXING_MODE] = MIDAS_MIX_HIGH_QUALITY;
  options[MIDAS_OPTION_DEFAULT_STEREO_SEPARATION] = 64;
  options[MIDAS_OPTION_FORCE_NO_SOUND] = 0;
}

}  // namespace

System::System() : decoder_(MakeOpenmptDecoder()) { SetDefaults(options_); }

System::~System() { Close(); }

// ---- start-up, options, output -------------------------------------------------------------

void System::Startup() {
  Close();
  Guard lock(mutex_);
  SetDefaults(options_);
  amplification_ = 100;
  started_ = true;
}

void System::SetOption(int option, DWORD value) {
  Guard lock(mutex_);
  // Stored and read back; MIXRATE, FORCE_NO_SOUND and DEFAULT_STEREO_SEPARATION act at the next
  // MIDASinit or module play. The mixer always interpolates and ramps, whatever MIXING_MODE and
  // FILTER_MODE say; DirectSound options mean nothing here. MIDAS accepted unknown options too.
  options_[option] = value;
}

DWORD System::GetOption(int option) const {
  Guard lock(mutex_);
  const auto it = options_.find(option);
  return it == options_.end() ? 0 : it->second;
}

bool System::Config() {
  const ConfigSetting setting = ReadConfigSetting();
  ConfigChoice choice = ConfigChoice::kPlay;
  if (setting == ConfigSetting::kAsk) {
    choice = AskSoundSetup();
  } else if (setting == ConfigSetting::kSilent) {
    choice = ConfigChoice::kSilent;
  } else if (setting == ConfigSetting::kCancel) {
    choice = ConfigChoice::kCancel;
  }
  if (choice == ConfigChoice::kCancel) return false;
  Guard lock(mutex_);
  options_[MIDAS_OPTION_FORCE_NO_SOUND] = choice == ConfigChoice::kSilent ? 1 : 0;
  return true;
}

void System::Init() {
  OutputSetting setting;
  int rate = 0;
  {
    Guard lock(mutex_);
    if (!started_) Startup();
    if (initialised_) throw Error(kDeviceBusy);
    setting = ReadOutputSetting();
    if (setting.kind == OutputSetting::kInvalid) throw Error(kUnsupportedOutputMode);
    if (options_[MIDAS_OPTION_FORCE_NO_SOUND] != 0) setting.kind = OutputSetting::kSilent;
    rate = static_cast<int>(std::clamp<DWORD>(options_[MIDAS_OPTION_MIXRATE], kMinRate, kMaxRate));
    mixer_ = std::make_unique<Mixer>(rate);
    mixer_->SetAmplification(amplification_);
  }

  // The output starts pulling at once; it must be opened without the lock held.
  RenderFunction render = [this](int16_t* stereo, std::size_t frames) { Render(stereo, frames); };
  OpenedOutput output;
  try {
    if (setting.kind == OutputSetting::kDevice) {
      output = OpenDeviceOutput(rate, render);
      if (output.Failed()) {
        Warn("no audio device (%s); playing silently", output.error.c_str());
        setting.kind = OutputSetting::kSilent;
      }
    }
    if (setting.kind == OutputSetting::kWav) output = OpenWavOutput(setting.path, rate, render);
    if (setting.kind == OutputSetting::kSilent) output = OpenSilentOutput(rate, render);
    if (!output.opened) {
      Warn("%s", output.error.c_str());  // only a WAV file fails without a fallback
      throw Error(kUnableToWriteFile);
    }
  } catch (...) {
    Guard lock(mutex_);
    mixer_.reset();
    throw;
  }

  Guard lock(mutex_);
  output_ = std::move(output.opened);
  initialised_ = true;
}

void System::Close() {
  std::unique_ptr<Output> output;
  {
    Guard lock(mutex_);
    if (initialised_) ReportOpenHandles();
    playing_ = false;
    output = std::move(output_);
  }
  output.reset();  // joins the output's thread, which may be waiting for the lock
  Guard lock(mutex_);
  ResetState();
  initialised_ = false;
  started_ = false;
}

void System::ReportOpenHandles() {
  const char* path = std::getenv("MIDAS_OPEN_HANDLES");
  if (path == nullptr || *path == '\0') return;
  const auto playingModules = std::count_if(slots_.begin(), slots_.end(), [](const PlaySlot& s) { return s.module; });
  int soundingSamples = 0;
  for (int ch = 0; ch < channels_.Count(); ++ch) {
    if (channels_.HandleOf(ch) != 0 && mixer_ && mixer_->Playing(ch)) ++soundingSamples;
  }
  std::FILE* file = std::fopen(path, "a");
  if (file == nullptr) return;
  std::fprintf(file,
               "open at MIDASclose: samples %zu, modules %zu, playing modules %td, sounding samples %d; "
               "freed while playing %d\n",
               samples_.size(), modules_.size(), playingModules, soundingSamples, freedWhilePlaying_);
  std::fclose(file);
}

void System::ResetState() {
  freedWhilePlaying_ = 0;
  for (PlaySlot& slot : slots_) slot = PlaySlot{};
  channelsOpen_ = false;
  channels_.Clear();
  autoChannels_.clear();
  nextAuto_ = 0;
  handleCounter_ = 0;
  samples_.clear();
  modules_.clear();
  mixer_.reset();
}

void System::Render(int16_t* stereo, std::size_t frames) {
  Guard lock(mutex_);
  if (!playing_ || !mixer_) {
    std::memset(stereo, 0, frames * 4);
    return;
  }
  mixer_->RenderS16(stereo, frames);
}

void System::StartBackgroundPlay() {
  Guard lock(mutex_);
  RequireInit();
  playing_ = true;
}

void System::StopBackgroundPlay() {
  Guard lock(mutex_);
  playing_ = false;  // harmless when never started, as the shutdown path relies on
}

std::string System::OutputName() {
  Guard lock(mutex_);
  return output_ ? output_->Name() : "";
}

void System::SetModuleDecoder(std::unique_ptr<ModuleDecoder> decoder) {
  Guard lock(mutex_);
  decoder_ = std::move(decoder);
}

void System::RequireInit() const {
  if (!initialised_) throw Error(kDeviceNotAvailable);
}

void System::RequireChannels() const {
  RequireInit();
  if (!channelsOpen_) throw Error(kChannelsNotOpen);
}

// ---- channels ----------------------------------------------------------------------------

void System::OpenChannels(int count) {
  Guard lock(mutex_);
  RequireInit();
  if (count < 1 || count > Mixer::kMaxChannels) throw Error(kInvalidArguments);
  // Opening again replaces the channel set: sounds on the old channels stop, the automatic
  // effect channels are dropped, and playing modules take their channels again from the new
  // set; if they would not fit, nothing changes.
  int moduleChannels = 0;
  for (const PlaySlot& slot : slots_) moduleChannels += static_cast<int>(slot.channels.size());
  if (moduleChannels > count) throw Error(kOutOfChannels);

  mixer_->SetChannelCount(count);
  channels_.Reset(count);
  autoChannels_.clear();
  nextAuto_ = 0;
  channelsOpen_ = true;
  for (PlaySlot& slot : slots_) {
    if (!slot.module) continue;
    slot.channels = channels_.Take(static_cast<int>(slot.channels.size()), Owner::kModule);
    slot.ownsChannels = false;
  }
}

void System::CloseChannels() {
  Guard lock(mutex_);
  RequireChannels();
  for (PlaySlot& slot : slots_) {
    if (slot.module) mixer_->RemoveMusic(slot.musicId);
    slot = PlaySlot{};
  }
  mixer_->SetChannelCount(0);
  channels_.Clear();
  autoChannels_.clear();
  channelsOpen_ = false;
}

void System::ReleaseChannels(const std::vector<int>& channels) {
  for (int ch : channels) {
    if (ch < channels_.Count()) mixer_->Stop(ch);
  }
  channels_.Release(channels);
}

void System::AllocAutoEffectChannels(unsigned count) {
  Guard lock(mutex_);
  RequireChannels();
  const auto freeNow = static_cast<std::size_t>(channels_.FreeCount());
  // Checked before anything is released, so a refused call leaves the old set in place.
  if (count > freeNow + autoChannels_.size()) throw Error(kOutOfChannels);
  FreeAutoEffectChannels();
  autoChannels_ = channels_.Take(static_cast<int>(count), Owner::kAuto);
  nextAuto_ = 0;
}

void System::FreeAutoEffectChannels() {
  Guard lock(mutex_);
  RequireInit();
  ReleaseChannels(autoChannels_);
  autoChannels_.clear();
  nextAuto_ = 0;
}

DWORD System::AllocateChannel() {
  Guard lock(mutex_);
  RequireChannels();
  return static_cast<DWORD>(channels_.Take(1, Owner::kUser).front());
}

void System::FreeChannel(DWORD channel) {
  Guard lock(mutex_);
  RequireChannels();
  if (!channels_.IsUser(channel)) throw Error(kInvalidChannel);
  ReleaseChannels({static_cast<int>(channel)});
}

// Allowed before MIDASinit too: the level is kept and applied when the mixer exists.
void System::SetAmplification(DWORD percent) {
  Guard lock(mutex_);
  if (percent > 10000) throw Error(kInvalidArguments);
  amplification_ = percent;
  if (mixer_) mixer_->SetAmplification(percent);
}

// ---- samples -----------------------------------------------------------------------------

MIDASsample System::AddSample(std::shared_ptr<const Sample> sample) {
  Guard lock(mutex_);
  RequireInit();  // the system may have closed while the file was read
  const MIDASsample handle = nextSample_++;
  if (nextSample_ == 0) nextSample_ = 1;
  samples_[handle] = std::move(sample);
  return handle;
}

MIDASsample System::LoadWaveSample(const char* path, bool loop) {
  {
    Guard lock(mutex_);
    RequireInit();
  }
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  const PcmData pcm = ParseWave(bytes);
  return AddSample(Sample::Make(pcm.interleaved, pcm.channels, loop));
}

MIDASsample System::LoadRawSample(const char* path, int sampleType, bool loop) {
  {
    Guard lock(mutex_);
    RequireInit();
  }
  int bits = 0, channels = 0;
  switch (sampleType) {
    case MIDAS_SAMPLE_8BIT_MONO: bits = 8, channels = 1; break;
    case MIDAS_SAMPLE_16BIT_MONO: bits = 16, channels = 1; break;
    case MIDAS_SAMPLE_8BIT_STEREO: bits = 8, channels = 2; break;
    case MIDAS_SAMPLE_16BIT_STEREO: bits = 16, channels = 2; break;
    default: throw Error(kInvalidSampleType);
  }
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  const std::vector<float> data = DecodePcm(bytes, bits, channels);
  if (data.empty()) throw Error(kUnexpectedEof);
  return AddSample(Sample::Make(data, channels, loop));
}

void System::FreeSample(MIDASsample sample) {
  Guard lock(mutex_);
  RequireInit();
  const auto it = samples_.find(sample);
  if (it == samples_.end()) throw Error(kInvalidSampleHandle);
  // MIDAS forbade freeing a sample that still plays; here its sounds fade out instead.
  const Sample* data = it->second.get();
  for (int ch = 0; ch < channels_.Count(); ++ch) {
    if (channels_.SampleOf(ch) == data && channels_.HandleOf(ch) != 0 && mixer_->Playing(ch)) {
      ++freedWhilePlaying_;
      break;
    }
  }
  channels_.ForgetSample(data);
  mixer_->StopSample(data);
  samples_.erase(it);
}

MIDASsamplePlayHandle System::PlaySample(MIDASsample sample, unsigned channel, int priority, unsigned rate,
                                         unsigned volume, int panning) {
  (void)priority;  // MIDAS 1.1 stored the priority without using it to choose a channel
  Guard lock(mutex_);
  RequireInit();
  const auto it = samples_.find(sample);
  if (it == samples_.end()) throw Error(kInvalidSampleHandle);
  int ch = 0;
  DWORD handle = 0;
  if (channel == MIDAS_CHANNEL_AUTO) {
    if (autoChannels_.empty()) throw Error(kChannelsNotOpen);
    ch = autoChannels_[nextAuto_];
    nextAuto_ = (nextAuto_ + 1) % autoChannels_.size();
    handle = kAutoHandleBase + handleCounter_ + 1;
    handleCounter_ = (handleCounter_ + 1) % kAutoHandleCount;
  } else {
    RequireChannels();
    if (!channels_.IsUser(channel)) throw Error(kInvalidChannel);
    ch = static_cast<int>(channel);
    handle = channel + 1;
  }
  mixer_->Play(ch, it->second, rate, volume, panning);
  channels_.Started(ch, handle, it->second.get());
  return handle;
}

int System::ChannelOf(MIDASsamplePlayHandle handle) {
  Guard lock(mutex_);
  return channels_.Find(handle);
}

// A handle whose channel has since been taken by another sound is stale: calls on it do
// nothing and succeed, as in MIDAS. So do calls on handle 0 (a play that failed), which MIDAS
// looked up as a handle that no channel holds.
void System::StopSample(MIDASsamplePlayHandle handle) {
  Guard lock(mutex_);
  RequireInit();
  const int ch = channels_.Find(handle);
  if (ch < 0) return;
  mixer_->Stop(ch);
  channels_.Stopped(ch);
}

void System::SetSampleRate(MIDASsamplePlayHandle handle, unsigned rate) {
  Guard lock(mutex_);
  RequireInit();
  if (const int ch = channels_.Find(handle); ch >= 0) mixer_->SetRate(ch, rate);
}

void System::SetSampleVolume(MIDASsamplePlayHandle handle, unsigned volume) {
  Guard lock(mutex_);
  RequireInit();
  if (const int ch = channels_.Find(handle); ch >= 0) mixer_->SetVolume(ch, volume);
}

void System::SetSamplePanning(MIDASsamplePlayHandle handle, int panning) {
  Guard lock(mutex_);
  RequireInit();
  if (const int ch = channels_.Find(handle); ch >= 0) mixer_->SetPanning(ch, panning);
}

void System::SetSamplePriority(MIDASsamplePlayHandle handle, int priority) {
  (void)handle, (void)priority;  // stored by MIDAS 1.1 but never used to choose a channel
  Guard lock(mutex_);
  RequireInit();
}

DWORD System::SamplePlayStatus(MIDASsamplePlayHandle handle) {
  Guard lock(mutex_);
  RequireInit();
  const int ch = channels_.Find(handle);
  return ch >= 0 && mixer_->Playing(ch) ? MIDAS_SAMPLE_PLAYING : MIDAS_SAMPLE_STOPPED;
}

// ---- modules -----------------------------------------------------------------------------

std::shared_ptr<const System::ModuleRecord> System::FindModule(MIDASmodule module) const {
  const auto it = modules_.find(module);
  if (module == nullptr || it == modules_.end()) throw Error(kInvalidArguments);
  return it->second;
}

System::PlaySlot& System::FindSlot(MIDASmodulePlayHandle handle) {
  if (handle == 0 || handle > kPlaySlots) throw Error(kInvalidArguments);
  PlaySlot& slot = slots_[handle - 1];
  if (!slot.module) throw Error(kNoModulePlaying);
  return slot;
}

MIDASmodule System::LoadModule(const char* path) {
  {
    Guard lock(mutex_);
    RequireInit();
  }
  auto record = std::make_shared<ModuleRecord>();
  record->bytes = ReadWholeFile(path);
  record->info = decoder_->Probe(record->bytes);
  Guard lock(mutex_);
  RequireInit();
  void* handle = record.get();
  modules_[handle] = std::move(record);
  return handle;
}

void System::FreeModule(MIDASmodule module) {
  Guard lock(mutex_);
  RequireInit();
  const auto record = FindModule(module);
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].module != record) continue;
    ++freedWhilePlaying_;
    StopModule(static_cast<MIDASmodulePlayHandle>(i + 1));
  }
  modules_.erase(module);
}

MIDASmodulePlayHandle System::PlayModule(MIDASmodule module, bool loopSong) {
  std::shared_ptr<const ModuleRecord> record;
  int separation = 64;
  int rate = 0;
  {
    Guard lock(mutex_);
    RequireInit();
    record = FindModule(module);
    separation = static_cast<int>(std::min<DWORD>(options_[MIDAS_OPTION_DEFAULT_STEREO_SEPARATION], 64));
    rate = mixer_->mixRate();
  }
  std::unique_ptr<ModuleStream> stream = decoder_->Open(record->bytes, rate, loopSong, separation);

  Guard lock(mutex_);
  RequireInit();
  const auto freeSlot = std::find_if(slots_.begin(), slots_.end(), [](const PlaySlot& s) { return !s.module; });
  if (freeSlot == slots_.end()) throw Error(kOutOfResources);
  PlaySlot slot;
  const int needed = record->info.channels;
  if (channelsOpen_) {
    slot.channels = channels_.Take(needed, Owner::kModule);
  } else {
    // No MIDASopenChannels: the module opens its own channels and closes them when stopped.
    const bool othersPlaying = std::any_of(slots_.begin(), slots_.end(), [](const PlaySlot& s) { return s.module; });
    if (othersPlaying || needed > Mixer::kMaxChannels) throw Error(kOutOfChannels);
    mixer_->SetChannelCount(needed);
    channels_.Reset(needed, Owner::kModule);
    for (int ch = 0; ch < needed; ++ch) slot.channels.push_back(ch);
    slot.ownsChannels = true;
  }
  slot.module = record;
  slot.stream = stream.get();
  slot.musicId = mixer_->AddMusic(std::move(stream), kMaxVolume);
  *freeSlot = std::move(slot);
  return static_cast<MIDASmodulePlayHandle>(freeSlot - slots_.begin() + 1);
}

void System::StopModule(MIDASmodulePlayHandle handle) {
  Guard lock(mutex_);
  RequireInit();
  PlaySlot& slot = FindSlot(handle);
  mixer_->RemoveMusic(slot.musicId);
  if (slot.ownsChannels) {
    mixer_->SetChannelCount(0);
    channels_.Clear();
  } else {
    ReleaseChannels(slot.channels);
  }
  slot = PlaySlot{};
}

void System::SetMusicVolume(MIDASmodulePlayHandle handle, unsigned volume) {
  Guard lock(mutex_);
  RequireInit();
  mixer_->SetMusicVolume(FindSlot(handle).musicId, volume);
}

MIDASplayStatus System::PlayStatus(MIDASmodulePlayHandle handle) {
  Guard lock(mutex_);
  RequireInit();
  const ModulePosition position = FindSlot(handle).stream->Position();
  MIDASplayStatus status{};
  status.position = static_cast<unsigned>(position.order);
  status.pattern = static_cast<unsigned>(position.pattern);
  status.row = static_cast<unsigned>(position.row);
  status.syncInfo = -1;  // no synchronisation command seen: they are not read from the module
  status.songLoopCount = position.songLoops;
  return status;
}

MIDASmoduleInfo System::ModuleInfoOf(MIDASmodule module) {
  Guard lock(mutex_);
  RequireInit();
  const ModuleInfo& info = FindModule(module)->info;
  MIDASmoduleInfo out{};
  std::strncpy(out.songName, info.title.c_str(), sizeof out.songName - 1);
  out.songLength = static_cast<unsigned>(info.orders);
  out.numPatterns = static_cast<unsigned>(info.patterns);
  out.numInstruments = static_cast<unsigned>(info.instruments);
  out.numChannels = static_cast<unsigned>(info.channels);
  return out;
}

void System::SetPosition(MIDASmodulePlayHandle handle, int order) {
  Guard lock(mutex_);
  RequireInit();
  if (!FindSlot(handle).stream->SetOrder(order)) throw Error(kInvalidArguments);
}

// ---- the process-wide instance -------------------------------------------------------------

System& TheSystem() {
  // Never destroyed: a program may exit from anywhere. What must not outlive the process's
  // other statics (the output's thread, the frame clock subscription) is closed at exit.
  static System* const system = [] {
    auto* instance = new System();
    std::atexit([] {
      TheSystem().Close();
      // The decoder's start-up thread is joined when the decoder goes: a run that never
      // loaded a module would otherwise end with that thread finished but never joined.
      TheSystem().SetModuleDecoder(MakeNullDecoder());
    });
    return instance;
  }();
  return *system;
}

}  // namespace midas
