// The portable mixer: MIDAS-style sample channels and module streams, rendered into
// caller-supplied stereo buffers at one mixing rate. Not thread-safe: the owner serialises
// calls (the published functions and the output's render both hold the stand-in's lock).
//
// Level and panning follow the MIDAS 1.1 mixer (dsm.c): volume 0..64, panning -64..64 with
// one side kept at full (linear law), surround and middle both full; the sample bus is scaled
// by 1/N for N < 5 open channels and by 14/64 from 5 on, times the amplification percentage.
// Unlike the integer original, the sum is float and only its peaks above 0.9 of full scale are
// rounded off softly, instead of wrapping or clipping hard.
#pragma once

#include "Sample.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace midas {

inline constexpr int kPanSurround = 0x80;
inline constexpr unsigned kMaxVolume = 64;

// Declicking ramps, in output frames: a fresh sound comes in quickly so attacks survive
// (0.7 ms at 44.1 kHz, the MIDAS high-quality mode's 0 -> 64 ramp); stops, cuts and volume or
// panning changes glide over 2.9 ms.
inline constexpr int kStartRampFrames = 32;
inline constexpr int kChangeRampFrames = 128;

// A source of already mixed stereo music (a module player).
class MusicStream {
 public:
  virtual ~MusicStream() = default;
  // Writes up to `frames` stereo frames (interleaved float) and returns how many it wrote;
  // fewer than asked means the song has ended.
  virtual std::size_t Render(float* stereo, std::size_t frames) = 0;
};

class Mixer {
 public:
  explicit Mixer(int mixRate);
  ~Mixer();

  int mixRate() const { return mixRate_; }

  // Sets the number of sample channels, 0..kMaxChannels. Every sound playing fades out.
  static constexpr int kMaxChannels = 256;
  void SetChannelCount(int channels);
  int channelCount() const { return static_cast<int>(channels_.size()); }

  // Starts `sample` on `channel` from its first frame, cutting (with a fade) what played there.
  // rate in Hz (any value; 0 holds the sound still), volume clamped to 64, panning clamped to
  // -64..64 unless it is kPanSurround.
  void Play(int channel, std::shared_ptr<const Sample> sample, unsigned rate, unsigned volume, int panning);
  void Stop(int channel);
  // Stops every channel playing `sample`.
  void StopSample(const Sample* sample);
  void SetRate(int channel, unsigned rate);
  void SetVolume(int channel, unsigned volume);
  void SetPanning(int channel, int panning);
  // True while the channel's sound plays (a one-shot sample ends by itself; rate 0 holds it).
  bool Playing(int channel) const;

  // 100 = the MIDAS default level.
  void SetAmplification(unsigned percent);

  // Adds a music stream at volume 0..64; returns its id (> 0).
  int AddMusic(std::unique_ptr<MusicStream> stream, unsigned volume);
  // Fades the stream out and drops it.
  void RemoveMusic(int id);
  void SetMusicVolume(int id, unsigned volume);
  // The stream, for position queries, or null.
  MusicStream* FindMusic(int id) const;
  // False once the stream's song ended (a song that is not looped).
  bool MusicPlaying(int id) const;

  // Renders `frames` stereo frames (interleaved), overwriting `stereo`: the unclipped sum.
  void Render(float* stereo, std::size_t frames);
  // Renders 16-bit output with soft peak limiting and rounding.
  void RenderS16(int16_t* stereo, std::size_t frames);

  // The soft limiter: identity up to 0.9, then a tanh knee approaching 1.
  static float Limit(float x);

  struct Voice;

 private:
  struct MusicEntry;

  Voice* VoiceOn(int channel) const;
  void SetTargets(Voice& voice, int rampFrames) const;
  void FadeOut(std::unique_ptr<Voice> voice);
  float SampleLevel() const;

  int mixRate_;
  unsigned amplification_ = 100;
  std::vector<std::unique_ptr<Voice>> channels_;
  std::vector<std::unique_ptr<Voice>> fading_;
  std::vector<std::unique_ptr<MusicEntry>> music_;
  int nextMusicId_ = 1;
  std::vector<float> scratch_;
};

}  // namespace midas
