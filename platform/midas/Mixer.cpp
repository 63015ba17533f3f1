#include "Mixer.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace midas {

struct Mixer::Voice {
  std::shared_ptr<const Sample> sample;
  uint64_t position = 0;  // 32.32 frames into the sample
  uint64_t step = 0;      // 32.32 frames per output frame
  unsigned volume = 0;
  int panning = 0;
  float gain[2] = {0.0f, 0.0f};
  float target[2] = {0.0f, 0.0f};
  float delta[2] = {0.0f, 0.0f};
  int rampLeft = 0;
  bool active = true;
};

struct Mixer::MusicEntry {
  int id = 0;
  std::unique_ptr<MusicStream> stream;
  float gain = 0.0f;
  float target = 0.0f;
  float delta = 0.0f;
  int rampLeft = 0;
  bool ended = false;
  bool removing = false;
};

namespace {

// Catmull-Rom cubic through p[-1], p[0], p[1], p[2] at t in [0, 1).
inline float Cubic(const float* p, float t) {
  const float a = p[-1], b = p[0], c = p[1], d = p[2];
  return b + 0.5f * t * (c - a + t * (2.0f * a - 5.0f * b + 4.0f * c - d + t * (3.0f * (b - c) + d - a)));
}

constexpr float kFraction = 1.0f / 4294967296.0f;

void StartRamp(float* gain, const float* target, float* delta, int& rampLeft, int frames) {
  rampLeft = frames;
  for (int c = 0; c < 2; ++c) delta[c] = (target[c] - gain[c]) / static_cast<float>(frames);
}

uint64_t StepFor(unsigned rate, int mixRate) {
  return (static_cast<uint64_t>(rate) << 32) / static_cast<uint64_t>(mixRate);
}

// Mixes one voice into `out`; returns false when a one-shot sample ran out.
template <int kChannels>
bool MixVoice(Mixer::Voice& v, float* out, std::size_t frames) {
  const Sample& sample = *v.sample;
  const float* left = sample.plane(0);
  const float* right = sample.plane(kChannels - 1);
  const uint64_t end = static_cast<uint64_t>(sample.frames()) << 32;
  for (std::size_t i = 0; i < frames; ++i) {
    const std::size_t index = static_cast<std::size_t>(v.position >> 32);
    const float t = static_cast<float>(static_cast<uint32_t>(v.position)) * kFraction;
    const float l = Cubic(left + index, t);
    const float r = kChannels == 2 ? Cubic(right + index, t) : l;
    out[2 * i] += l * v.gain[0];
    out[2 * i + 1] += r * v.gain[1];
    if (v.rampLeft > 0) {
      if (--v.rampLeft == 0) {
        v.gain[0] = v.target[0];
        v.gain[1] = v.target[1];
      } else {
        v.gain[0] += v.delta[0];
        v.gain[1] += v.delta[1];
      }
    }
    v.position += v.step;
    if (v.position >= end) {
      if (!sample.loops()) return false;
      v.position %= end;  // the guards already hold the wrapped neighbours
    }
  }
  return true;
}

}  // namespace

Mixer::Mixer(int mixRate) : mixRate_(mixRate) { assert(mixRate > 0); }
Mixer::~Mixer() = default;

void Mixer::SetChannelCount(int channels) {
  assert(channels >= 0 && channels <= kMaxChannels);
  for (auto& voice : channels_) {
    if (voice) FadeOut(std::move(voice));
  }
  channels_.clear();
  channels_.resize(static_cast<std::size_t>(channels));
}

Mixer::Voice* Mixer::VoiceOn(int channel) const {
  if (channel < 0 || channel >= channelCount()) return nullptr;
  return channels_[static_cast<std::size_t>(channel)].get();
}

float Mixer::SampleLevel() const {
  const int n = std::max(1, channelCount());
  const float level = n < 5 ? 1.0f / static_cast<float>(n) : 14.0f / 64.0f;
  return level * static_cast<float>(amplification_) / 100.0f;
}

void Mixer::SetTargets(Voice& voice, int rampFrames) const {
  const float base = static_cast<float>(voice.volume) / 64.0f * SampleLevel();
  float left = 1.0f, right = 1.0f;
  if (voice.panning != kPanSurround) {
    if (voice.panning < 0) right = static_cast<float>(64 + voice.panning) / 64.0f;
    if (voice.panning > 0) left = static_cast<float>(64 - voice.panning) / 64.0f;
  }
  voice.target[0] = base * left;
  voice.target[1] = base * right;
  StartRamp(voice.gain, voice.target, voice.delta, voice.rampLeft, rampFrames);
}

void Mixer::FadeOut(std::unique_ptr<Voice> voice) {
  if (!voice->active) return;
  voice->target[0] = voice->target[1] = 0.0f;
  StartRamp(voice->gain, voice->target, voice->delta, voice->rampLeft, kChangeRampFrames);
  fading_.push_back(std::move(voice));
}

void Mixer::Play(int channel, std::shared_ptr<const Sample> sample, unsigned rate, unsigned volume, int panning) {
  assert(channel >= 0 && channel < channelCount() && sample);
  auto& slot = channels_[static_cast<std::size_t>(channel)];
  if (slot) FadeOut(std::move(slot));
  slot = std::make_unique<Voice>();
  slot->sample = std::move(sample);
  slot->step = StepFor(rate, mixRate_);
  slot->volume = std::min(volume, kMaxVolume);
  slot->panning = panning == kPanSurround ? panning : std::clamp(panning, -64, 64);
  SetTargets(*slot, kStartRampFrames);
}

void Mixer::Stop(int channel) {
  if (channel < 0 || channel >= channelCount()) return;
  auto& slot = channels_[static_cast<std::size_t>(channel)];
  if (slot) FadeOut(std::move(slot));
}

void Mixer::StopSample(const Sample* sample) {
  for (auto& slot : channels_) {
    if (slot && slot->sample.get() == sample) FadeOut(std::move(slot));
  }
}

void Mixer::SetRate(int channel, unsigned rate) {
  if (Voice* voice = VoiceOn(channel)) voice->step = StepFor(rate, mixRate_);
}

void Mixer::SetVolume(int channel, unsigned volume) {
  if (Voice* voice = VoiceOn(channel)) {
    voice->volume = std::min(volume, kMaxVolume);
    SetTargets(*voice, kChangeRampFrames);
  }
}

void Mixer::SetPanning(int channel, int panning) {
  if (Voice* voice = VoiceOn(channel)) {
    voice->panning = panning == kPanSurround ? panning : std::clamp(panning, -64, 64);
    SetTargets(*voice, kChangeRampFrames);
  }
}

bool Mixer::Playing(int channel) const {
  // A sound held at rate 0 counts as stopped, as MIDAS read the channel's rate.
  const Voice* voice = VoiceOn(channel);
  return voice != nullptr && voice->active && voice->step != 0;
}

void Mixer::SetAmplification(unsigned percent) {
  amplification_ = percent;
  for (auto& voice : channels_) {
    if (voice && voice->active) SetTargets(*voice, kChangeRampFrames);
  }
}

int Mixer::AddMusic(std::unique_ptr<MusicStream> stream, unsigned volume) {
  auto music = std::make_unique<MusicEntry>();
  music->id = nextMusicId_++;
  music->stream = std::move(stream);
  music->gain = music->target = static_cast<float>(std::min(volume, kMaxVolume)) / 64.0f;
  music_.push_back(std::move(music));
  return music_.back()->id;
}

void Mixer::RemoveMusic(int id) {
  for (auto& music : music_) {
    if (music->id == id && !music->removing) {
      music->removing = true;
      music->target = 0.0f;
      music->rampLeft = kChangeRampFrames;
      music->delta = -music->gain / static_cast<float>(kChangeRampFrames);
    }
  }
}

void Mixer::SetMusicVolume(int id, unsigned volume) {
  for (auto& music : music_) {
    if (music->id == id && !music->removing) {
      music->target = static_cast<float>(std::min(volume, kMaxVolume)) / 64.0f;
      music->rampLeft = kChangeRampFrames;
      music->delta = (music->target - music->gain) / static_cast<float>(kChangeRampFrames);
    }
  }
}

MusicStream* Mixer::FindMusic(int id) const {
  for (const auto& music : music_) {
    if (music->id == id && !music->removing) return music->stream.get();
  }
  return nullptr;
}

bool Mixer::MusicPlaying(int id) const {
  for (const auto& music : music_) {
    if (music->id == id && !music->removing) return !music->ended;
  }
  return false;
}

void Mixer::Render(float* stereo, std::size_t frames) {
  std::fill(stereo, stereo + 2 * frames, 0.0f);

  auto mix = [&](Voice& voice) {
    const bool more = voice.sample->channels() == 2 ? MixVoice<2>(voice, stereo, frames)
                                                    : MixVoice<1>(voice, stereo, frames);
    if (!more) voice.active = false;
  };
  for (auto& voice : channels_) {
    if (voice && voice->active) mix(*voice);
  }
  for (auto& voice : fading_) mix(*voice);
  std::erase_if(fading_, [](const auto& voice) { return !voice->active || voice->rampLeft == 0; });

  if (music_.empty()) return;
  if (scratch_.size() < 2 * frames) scratch_.resize(2 * frames);
  const float amplification = static_cast<float>(amplification_) / 100.0f;
  for (auto& music : music_) {
    if (music->ended) continue;
    const std::size_t got = music->stream->Render(scratch_.data(), frames);
    if (got < frames) music->ended = true;
    for (std::size_t i = 0; i < got; ++i) {
      const float gain = music->gain * amplification;
      stereo[2 * i] += scratch_[2 * i] * gain;
      stereo[2 * i + 1] += scratch_[2 * i + 1] * gain;
      if (music->rampLeft > 0) {
        music->gain = --music->rampLeft == 0 ? music->target : music->gain + music->delta;
      }
    }
  }
  std::erase_if(music_, [](const auto& music) { return music->removing && (music->rampLeft == 0 || music->ended); });
}

float Mixer::Limit(float x) {
  constexpr float kKnee = 0.9f;
  const float magnitude = std::fabs(x);
  if (magnitude <= kKnee) return x;
  const float limited = kKnee + (1.0f - kKnee) * std::tanh((magnitude - kKnee) / (1.0f - kKnee));
  return x < 0.0f ? -limited : limited;
}

void Mixer::RenderS16(int16_t* stereo, std::size_t frames) {
  // Rendered in blocks so the float buffer stays small and allocation-free after the first call.
  constexpr std::size_t kBlock = 1024;
  float block[2 * kBlock];
  while (frames > 0) {
    const std::size_t n = std::min(frames, kBlock);
    Render(block, n);
    for (std::size_t i = 0; i < 2 * n; ++i) {
      stereo[i] = static_cast<int16_t>(std::lrint(Limit(block[i]) * 32767.0f));
    }
    stereo += 2 * n;
    frames -= n;
  }
}

}  // namespace midas
