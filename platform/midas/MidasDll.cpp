// The published MIDAS functions: each one is a shim that forwards to the System and turns an
// Error into the published failure value (FALSE, 0 or NULL) with the code recorded for
// MIDASgetLastError. No exception leaves this file.
#include "Errors.h"
#include "Output.h"
#include "System.h"

#include "midasdll.h"

#include <atomic>
#include <new>

namespace {

using midas::TheSystem;

std::atomic<int> LastError{midas::kOk};

template <typename Result, typename Body>
Result Call(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const midas::Error& error) {
    LastError = error.code();
  } catch (const std::bad_alloc&) {
    LastError = midas::kOutOfMemory;
  } catch (...) {
    LastError = midas::kUndefined;
  }
  return failure;
}

template <typename Body>
BOOL CallBool(Body&& body) noexcept {
  return Call<BOOL>(FALSE, [&] {
    body();
    return TRUE;
  });
}

}  // namespace

extern "C" {

BOOL MIDASCALL MIDASstartup(void) {
  LastError = midas::kOk;
  return CallBool([] { TheSystem().Startup(); });
}

BOOL MIDASCALL MIDASdetectSoundCard(void) {
  return Call<BOOL>(FALSE, [] { return midas::DeviceAvailable() ? TRUE : FALSE; });
}

BOOL MIDASCALL MIDASconfig(void) {
  LastError = midas::kOk;  // FALSE with error 0: the user cancelled
  return Call<BOOL>(FALSE, [] { return TheSystem().Config() ? TRUE : FALSE; });
}

BOOL MIDASCALL MIDASinit(void) { return CallBool([] { TheSystem().Init(); }); }
BOOL MIDASCALL MIDASclose(void) { return CallBool([] { TheSystem().Close(); }); }

BOOL MIDASCALL MIDASsetOption(int option, DWORD value) {
  return CallBool([=] { TheSystem().SetOption(option, value); });
}

DWORD MIDASCALL MIDASgetOption(int option) {
  return Call<DWORD>(0, [=] { return TheSystem().GetOption(option); });
}

int MIDASCALL MIDASgetLastError(void) { return LastError; }

char* MIDASCALL MIDASgetErrorMessage(int errorCode) {
  return const_cast<char*>(midas::ErrorMessage(errorCode));
}

char* MIDASCALL MIDASgetVersionString(void) {
  static char version[] = "1.1.2";
  return version;
}

BOOL MIDASCALL MIDASstartBackgroundPlay(DWORD pollRate) {
  // The output's own thread sets the pace; the poll rate has nothing left to choose.
  (void)pollRate;
  return CallBool([] { TheSystem().StartBackgroundPlay(); });
}

BOOL MIDASCALL MIDASstopBackgroundPlay(void) {
  return CallBool([] { TheSystem().StopBackgroundPlay(); });
}

void MIDASCALL MIDASlock(void) { TheSystem().Lock(); }
void MIDASCALL MIDASunlock(void) { TheSystem().Unlock(); }

BOOL MIDASCALL MIDASopenChannels(int numChannels) {
  return CallBool([=] { TheSystem().OpenChannels(numChannels); });
}

BOOL MIDASCALL MIDAScloseChannels(void) { return CallBool([] { TheSystem().CloseChannels(); }); }

BOOL MIDASCALL MIDASallocAutoEffectChannels(unsigned numChannels) {
  return CallBool([=] { TheSystem().AllocAutoEffectChannels(numChannels); });
}

BOOL MIDASCALL MIDASfreeAutoEffectChannels(void) {
  return CallBool([] { TheSystem().FreeAutoEffectChannels(); });
}

DWORD MIDASCALL MIDASallocateChannel(void) {
  return Call<DWORD>(MIDAS_ILLEGAL_CHANNEL, [] { return TheSystem().AllocateChannel(); });
}

BOOL MIDASCALL MIDASfreeChannel(DWORD channel) { return CallBool([=] { TheSystem().FreeChannel(channel); }); }

BOOL MIDASCALL MIDASsetAmplification(DWORD amplification) {
  return CallBool([=] { TheSystem().SetAmplification(amplification); });
}

MIDASsample MIDASCALL MIDASloadWaveSample(char* fileName, int loopSample) {
  return Call<MIDASsample>(0, [=] { return TheSystem().LoadWaveSample(fileName, loopSample != MIDAS_LOOP_NO); });
}

MIDASsample MIDASCALL MIDASloadRawSample(char* fileName, int sampleType, int loopSample) {
  return Call<MIDASsample>(
      0, [=] { return TheSystem().LoadRawSample(fileName, sampleType, loopSample != MIDAS_LOOP_NO); });
}

BOOL MIDASCALL MIDASfreeSample(MIDASsample sample) { return CallBool([=] { TheSystem().FreeSample(sample); }); }

MIDASsamplePlayHandle MIDASCALL MIDASplaySample(MIDASsample sample, unsigned channel, int priority, unsigned rate,
                                                unsigned volume, int panning) {
  return Call<MIDASsamplePlayHandle>(
      0, [=] { return TheSystem().PlaySample(sample, channel, priority, rate, volume, panning); });
}

BOOL MIDASCALL MIDASstopSample(MIDASsamplePlayHandle sample) {
  return CallBool([=] { TheSystem().StopSample(sample); });
}

BOOL MIDASCALL MIDASsetSampleRate(MIDASsamplePlayHandle sample, unsigned rate) {
  return CallBool([=] { TheSystem().SetSampleRate(sample, rate); });
}

BOOL MIDASCALL MIDASsetSampleVolume(MIDASsamplePlayHandle sample, unsigned volume) {
  return CallBool([=] { TheSystem().SetSampleVolume(sample, volume); });
}

BOOL MIDASCALL MIDASsetSamplePanning(MIDASsamplePlayHandle sample, int panning) {
  return CallBool([=] { TheSystem().SetSamplePanning(sample, panning); });
}

BOOL MIDASCALL MIDASsetSamplePriority(MIDASsamplePlayHandle sample, int priority) {
  return CallBool([=] { TheSystem().SetSamplePriority(sample, priority); });
}

DWORD MIDASCALL MIDASgetSamplePlayStatus(MIDASsamplePlayHandle sample) {
  return Call<DWORD>(MIDAS_SAMPLE_STOPPED, [=] { return TheSystem().SamplePlayStatus(sample); });
}

MIDASmodule MIDASCALL MIDASloadModule(char* fileName) {
  return Call<MIDASmodule>(nullptr, [=] { return TheSystem().LoadModule(fileName); });
}

BOOL MIDASCALL MIDASfreeModule(MIDASmodule module) { return CallBool([=] { TheSystem().FreeModule(module); }); }

MIDASmodulePlayHandle MIDASCALL MIDASplayModule(MIDASmodule module, BOOL loopSong) {
  return Call<MIDASmodulePlayHandle>(0, [=] { return TheSystem().PlayModule(module, loopSong != FALSE); });
}

BOOL MIDASCALL MIDASstopModule(MIDASmodulePlayHandle playHandle) {
  return CallBool([=] { TheSystem().StopModule(playHandle); });
}

BOOL MIDASCALL MIDASsetMusicVolume(MIDASmodulePlayHandle playHandle, unsigned volume) {
  return CallBool([=] { TheSystem().SetMusicVolume(playHandle, volume); });
}

BOOL MIDASCALL MIDASgetPlayStatus(MIDASmodulePlayHandle playHandle, MIDASplayStatus* status) {
  return CallBool([=] {
    if (status == nullptr) throw midas::Error(midas::kInvalidArguments);
    *status = TheSystem().PlayStatus(playHandle);
  });
}

BOOL MIDASCALL MIDASgetModuleInfo(MIDASmodule module, MIDASmoduleInfo* info) {
  return CallBool([=] {
    if (info == nullptr) throw midas::Error(midas::kInvalidArguments);
    *info = TheSystem().ModuleInfoOf(module);
  });
}

BOOL MIDASCALL MIDASsetPosition(MIDASmodulePlayHandle playHandle, int newPosition) {
  return CallBool([=] { TheSystem().SetPosition(playHandle, newPosition); });
}

}  // extern "C"
