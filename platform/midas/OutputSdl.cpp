// The SDL2 audio device output: SDL's callback thread pulls the mix.
#include "Output.h"

#include <SDL.h>

namespace midas {
namespace {

class DeviceOutput final : public Output {
 public:
  explicit DeviceOutput(RenderFunction render) : render_(std::move(render)) {}
  ~DeviceOutput() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for a running callback
    if (audioStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  const char* Name() const override { return "device"; }

  // Opens the device paused (so the callback cannot run before this returns), then starts it.
  // The reason when it cannot.
  std::string Open(int rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return SDL_GetError();
    audioStarted_ = true;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;  // 23 ms at 44.1 kHz
    want.callback = &DeviceOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts for the device and the mixer keeps its own rate.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return SDL_GetError();
    SDL_PauseAudioDevice(device_, 0);
    return "";
  }

 private:
  static void SDLCALL Callback(void* user, Uint8* stream, int bytes) {
    auto* self = static_cast<DeviceOutput*>(user);
    self->render_(reinterpret_cast<int16_t*>(stream), static_cast<std::size_t>(bytes) / 4);
  }

  RenderFunction render_;
  SDL_AudioDeviceID device_ = 0;
  bool audioStarted_ = false;
};

}  // namespace

bool DeviceAvailable() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  const bool found = SDL_GetNumAudioDevices(0) > 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return found;
}

OpenedOutput OpenDeviceOutput(int rate, RenderFunction render) {
  auto output = std::make_unique<DeviceOutput>(std::move(render));
  if (std::string failure = output->Open(rate); !failure.empty()) return OpenedOutput::Failure(failure);
  return OpenedOutput::Of(std::move(output));
}

}  // namespace midas
