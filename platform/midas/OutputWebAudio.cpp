// The WebAssembly build's outputs, over the page's Web Audio: the device is an AudioContext at
// the mixer's rate whose script processor pulls the mix on the page's thread between frames,
// through an analyser the page can read the signal from; a context that does not run (no audio
// device, or no click or key on the page yet, before which browsers keep sound off) keeps time
// instead as the silent output does, and plays from where the music is once it runs. The silent
// output is a timer of the page: the thread is the page's and cannot wait.
#include "Output.h"

#include <emscripten.h>

#include <vector>

#include "ConfigDialog.h"

namespace midas {
namespace {

// 2048 frames: 46 ms at 44.1 kHz, more than a frame the program takes to draw on a slow machine,
// so the processor's turns between frames never find the page busy for longer than its buffer.
constexpr int kBlockFrames = 2048;

class PageOutput;
PageOutput* Current = nullptr;  // the open output, whose render function the page calls

EM_JS(int, keldrin_audio_available, (), {
  return typeof AudioContext !== "undefined" ? 1 : 0;
});

// Module.keldrinAudio: the page's side of the open output. Returns 0 when `audible` was asked
// and no context could be made at `rate`.
EM_JS(int, keldrin_audio_open, (int rate, int audible, int16_t* buffer, int capacity), {
  const audio = { rate, context: null, analyser: null, timer: 0, listeners: null, start: 0, kept: 0 };
  const render = (frames) => {
    Module._keldrin_audio_render(buffer, frames);
    return new Int16Array(HEAP16.buffer, buffer, 2 * frames);
  };
  if (audible) {
    try {
      audio.context = new AudioContext({ sampleRate: rate, latencyHint: "playback" });
    } catch (e) {
      console.warn("MIDAS: no Web Audio context at " + rate + " Hz: " + e);
      return 0;
    }
    const processor = audio.context.createScriptProcessor(capacity, 0, 2);
    processor.onaudioprocess = (event) => {
      const left = event.outputBuffer.getChannelData(0);
      const right = event.outputBuffer.getChannelData(1);
      const pcm = render(left.length);
      for (let i = 0; i < left.length; i++) {
        left[i] = pcm[2 * i] / 32768;
        right[i] = pcm[2 * i + 1] / 32768;
      }
    };
    audio.analyser = audio.context.createAnalyser();
    audio.analyser.fftSize = 2048;
    processor.connect(audio.analyser);
    audio.analyser.connect(audio.context.destination);
    audio.processor = processor;
    const resume = () => { if (audio.context.state === "suspended") audio.context.resume(); };
    audio.listeners = resume;
    for (const type of ["keydown", "pointerdown"]) window.addEventListener(type, resume, true);
  }
  // Time is kept while no context runs: every 10 ms what is due by the clock is mixed and dropped
  // (at most a second after a stall, as the silent output does).
  const running = () => audio.context && audio.context.state === "running";
  audio.timer = setInterval(() => {
    if (running()) { audio.start = 0; return; }
    const now = performance.now();
    if (audio.start === 0) { audio.start = now; audio.kept = 0; return; }
    const due = Math.floor((now - audio.start) * rate / 1000);
    let frames = Math.min(due - audio.kept, rate);
    audio.kept = due;
    while (frames > 0) {
      const step = Math.min(frames, capacity);
      render(step);
      frames -= step;
    }
  }, 10);
  // The signal's RMS level (0 to 1) as the page's output hears it, and the context's state.
  audio.level = () => {
    if (!audio.analyser) return 0;
    const samples = new Float32Array(audio.analyser.fftSize);
    audio.analyser.getFloatTimeDomainData(samples);
    let sum = 0;
    for (const s of samples) sum += s * s;
    return Math.sqrt(sum / samples.length);
  };
  audio.state = () => audio.context ? audio.context.state : "silent";
  Module.keldrinAudio = audio;
  return 1;
});

EM_JS(void, keldrin_audio_close, (), {
  const audio = Module.keldrinAudio;
  if (!audio) return;
  clearInterval(audio.timer);
  if (audio.context) {
    for (const type of ["keydown", "pointerdown"]) window.removeEventListener(type, audio.listeners, true);
    audio.processor.onaudioprocess = null;
    audio.context.close();
  }
  Module.keldrinAudio = null;
});

class PageOutput final : public Output {
 public:
  PageOutput(RenderFunction render, bool audible)
      : render_(std::move(render)), audible_(audible), buffer_(2 * kBlockFrames) {}
  ~PageOutput() override {
    keldrin_audio_close();
    Current = nullptr;
  }
  const char* Name() const override { return audible_ ? "device" : "silent"; }

  bool Open(int rate) {
    Current = this;
    if (keldrin_audio_open(rate, audible_ ? 1 : 0, buffer_.data(), kBlockFrames) != 0) return true;
    Current = nullptr;
    return false;
  }

  void Render(int16_t* stereo, std::size_t frames) { render_(stereo, frames); }

 private:
  RenderFunction render_;
  bool audible_;
  std::vector<int16_t> buffer_;  // the block the page reads a turn's frames from
};

}  // namespace

// Called by the page with at most kBlockFrames frames into the output's buffer.
extern "C" EMSCRIPTEN_KEEPALIVE void keldrin_audio_render(int16_t* stereo, int frames) {
  if (Current != nullptr && frames > 0 && frames <= kBlockFrames) {
    Current->Render(stereo, static_cast<std::size_t>(frames));
  }
}

bool DeviceAvailable() { return keldrin_audio_available() != 0; }

OpenedOutput OpenDeviceOutput(int rate, RenderFunction render) {
  if (!DeviceAvailable()) return OpenedOutput::Failure("this browser has no Web Audio");
  auto output = std::make_unique<PageOutput>(std::move(render), true);
  if (!output->Open(rate)) return OpenedOutput::Failure("no Web Audio context at the mixing rate");
  return OpenedOutput::Of(std::move(output));
}

OpenedOutput OpenSilentOutput(int rate, RenderFunction render) {
  auto output = std::make_unique<PageOutput>(std::move(render), false);
  output->Open(rate);
  return OpenedOutput::Of(std::move(output));
}

// The page is the set-up dialog: its start button plays with sound where the browser has Web
// Audio, silently where it has none (the page says so).
ConfigChoice AskSoundSetup() { return DeviceAvailable() ? ConfigChoice::kPlay : ConfigChoice::kSilent; }

}  // namespace midas
