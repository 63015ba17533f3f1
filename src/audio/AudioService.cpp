#include "audio/AudioService.h"

#include "log/DebugLog.h"

#include <cstdio>
#include <cstdlib>

MIDASsample AudioSamples[3];
MIDASmodule MusicModule;
MIDASmodulePlayHandle MusicPlayHandle;
MIDASsamplePlayHandle EffectPlayHandle;

namespace {

void (*FatalCleanup)() = nullptr;

void Require(BOOL ok) {
  if (!ok) FatalAudioError();
}

}  // namespace

void AudioStartup(HWND window) {
  MIDASstartup();

  // The console title was the original way to find a window for DirectSound; there is no
  // console, and the window used below is the one passed in.
  char title[256];
  GetConsoleTitleA(title, sizeof title);
  SetConsoleTitleA("DirectSound RoderOrad");
  Sleep(250);

  if (window == nullptr) {
    LogPrintf("Panic! Couldn't find console window window handle\n");
    return;
  }
  MIDASsetOption(MIDAS_OPTION_DSOUND_HWND, static_cast<DWORD>(reinterpret_cast<uintptr_t>(window)));
  MIDASsetOption(MIDAS_OPTION_DSOUND_MODE, MIDAS_DSOUND_PRIMARY);

  if (!MIDASconfig()) {
    LogPrintf("MIDAS : Aborted! \n");
    std::exit(0);
  }
  std::fputs("Initializing MIDAS\n", stdout);
  std::fflush(stdout);

  Require(MIDASinit());
  Require(MIDASopenChannels(1));
  Require(MIDASallocAutoEffectChannels(1));

  LogPrintf("MIDAS: Loading samples\n");
  static char kSampleFiles[3][6] = {"0.wav", "1.wav", "2.wav"};
  for (int i = 0; i < 3; ++i) {
    AudioSamples[i] = MIDASloadWaveSample(kSampleFiles[i], MIDAS_LOOP_YES);
    if (AudioSamples[i] == 0) FatalAudioError();
  }

  LogPrintf("MIDAS: starting\n");
  Require(MIDASstartBackgroundPlay(100));
}

void AudioShutdown() {
  Require(MIDASstopBackgroundPlay());
  if (MusicPlayHandle != 0) Require(MIDASstopModule(MusicPlayHandle));
  if (EffectPlayHandle != 0) Require(MIDASstopSample(EffectPlayHandle));
  for (MIDASsample& sample : AudioSamples) {
    if (sample != 0) Require(MIDASfreeSample(sample));
  }
  if (MusicModule != 0) Require(MIDASfreeModule(MusicModule));
  Require(MIDASclose());
}

void StartSceneMusic(const SceneMusic& music) {
  if (!MIDASopenChannels(music.channels)) LogPrintf("Couldn't open channels!\n");
  if (music.clearEffectChannels && !MIDASfreeAutoEffectChannels()) LogPrintf("Couldn't clear sfx channels!\n");
  MusicModule = MIDASloadModule(const_cast<char*>(music.file));  // the library takes a writable name
  if (MusicModule == nullptr) {
    LogPrintf("Couldn't load %s !\n", music.file);
    if (music.stopAtFailedLoad) return;
  }
  MusicPlayHandle = MusicModule != nullptr ? MIDASplayModule(MusicModule, TRUE) : 0;
  if (MusicPlayHandle == 0) LogPrintf("Couldn't play %s !\n", music.file);
}

void FatalAudioError() {
  LogPrintf("MIDAS error: %s\n", MIDASgetErrorMessage(MIDASgetLastError()));
  MIDASclose();
  if (FatalCleanup != nullptr) FatalCleanup();
  std::exit(1);
}

void SetFatalAudioCleanup(void (*cleanup)()) { FatalCleanup = cleanup; }
