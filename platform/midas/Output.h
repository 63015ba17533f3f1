// Where the mixed sound goes. An output pulls 16-bit stereo frames through a render function
// for as long as it exists; once its destructor returns the function is never called again.
// The owner must not hold a lock that the render function takes while destroying an output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Opened.h"

namespace midas {

using RenderFunction = std::function<void(int16_t* stereo, std::size_t frames)>;

class Output {
 public:
  virtual ~Output() = default;
  virtual const char* Name() const = 0;
};

// Every opener returns the output, or the reason it could not be opened (platform/Opened.h).
using OpenedOutput = platform::Opened<Output>;

// Keeps time without sound: renders (and drops) the frames due by the wall clock, every 10 ms.
// Never fails.
OpenedOutput OpenSilentOutput(int rate, RenderFunction render);

// A 16-bit stereo WAV file advanced by the shared frame clock: after the clock has counted n
// frames since the output opened, the file holds round(n * rate / 60) frames. The header is
// kept valid after every frame, so the file is complete even if the process ends without
// MIDASclose. Fails when the file cannot be created.
OpenedOutput OpenWavOutput(const std::string& path, int rate, RenderFunction render);

// True when SDL finds an audio output device to open (OutputSdl.cpp; in the WebAssembly build,
// when the browser has Web Audio: OutputWebAudio.cpp).
bool DeviceAvailable();

// The SDL audio device (OutputSdl.cpp; the page's Web Audio in the WebAssembly build). Fails
// when no device opens.
OpenedOutput OpenDeviceOutput(int rate, RenderFunction render);

}  // namespace midas
