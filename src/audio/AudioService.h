// The audio service: starts the sound library, loads the three shared effect samples, and at
// the end stops and releases whatever sound the scenes still hold. The scenes hand music and
// effects on to one another through the shared handles below (0 means none).
#pragma once

#include <midasdll.h>
#include <windows.h>

extern MIDASsample AudioSamples[3];  // "0.wav", "1.wav", "2.wav", loaded looping
extern MIDASmodule MusicModule;
extern MIDASmodulePlayHandle MusicPlayHandle;
extern MIDASsamplePlayHandle EffectPlayHandle;

// Starts sound for `window`. Exits the process with code 0 when the set-up is cancelled and
// with code 1 on a fatal error. Without a window it logs the panic line and returns.
void AudioStartup(HWND window);

// Stops and frees what is still held and closes the library; a failure is fatal.
void AudioShutdown();

// How a scene starts the music module it plays.
struct SceneMusic {
  const char* file;          // the module, e.g. "go.s3m"
  int channels;              // opened for it ("Couldn't open channels!")
  bool clearEffectChannels;  // the automatic effect channels are freed first ("Couldn't clear sfx channels!")
  // A module that does not load ends the start ("Couldn't load FILE !" only); otherwise it is
  // also reported as not played ("Couldn't play FILE !") and MusicPlayHandle is set to 0.
  bool stopAtFailedLoad;
};

// Opens the channels, loads the module into MusicModule and plays it looping into
// MusicPlayHandle. Every failure is logged and the picture goes on without sound; a module that
// did not load is never handed to the player.
void StartSceneMusic(const SceneMusic& music);

// Logs the library's last error, closes it, runs the cleanup the program registered (the
// display, if it was opened) and exits with 1.
[[noreturn]] void FatalAudioError();
// What FatalAudioError shuts besides the sound library; null for nothing (the default).
void SetFatalAudioCleanup(void (*cleanup)());
