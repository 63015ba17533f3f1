#include "PresentVideo.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Misuse.h"
#include "PresentGamma.h"
#include "PresentLevels.h"
#include "Settings.h"

extern char** environ;

namespace glide {

namespace {

// One pixel's Y', and its Cb - 128 and Cr - 128 in 1/64 steps, from displayed levels 0 .. 255,
// in single precision with the scales folded into the weights; the AVX2 conversion makes the same
// operations in the same order.
constexpr float kLumaR = 65.481f / 255.0f, kLumaG = 128.553f / 255.0f, kLumaB = 24.966f / 255.0f;
constexpr float kCbR = -37.797f * 64.0f / 255.0f, kCbG = -74.203f * 64.0f / 255.0f, kCbB = 112.0f * 64.0f / 255.0f;
constexpr float kCrR = 112.0f * 64.0f / 255.0f, kCrG = -93.786f * 64.0f / 255.0f, kCrB = -18.214f * 64.0f / 255.0f;

float Weighted(float r, float g, float b, float wr, float wg, float wb) { return wr * r + wg * g + wb * b; }
uint8_t Luma(float r, float g, float b) { return static_cast<uint8_t>(Weighted(r, g, b, kLumaR, kLumaG, kLumaB) + 16.5f); }
// Rounded half away from zero.
int16_t Chroma64(float scaled) { return static_cast<int16_t>(scaled + (scaled < 0.0f ? -0.5f : 0.5f)); }

// A 2 x 2 block's sum of Cb or Cr in 1/64 steps to its level: sum / (4 * 64), rounded to nearest,
// around 128.
uint8_t ChromaLevel(int sum) {
  const int rounded = sum >= 0 ? (sum + 128) / 256 : -((-sum + 128) / 256);
  return static_cast<uint8_t>(std::clamp(128 + rounded, 16, 240));
}

#if GLIDE_X86
// Eight pixels' levels in single precision.
struct Levels8 {
  __m256 r, g, b;
};

GLIDE_PRESENT_AVX2_INLINE __m256 ToFloat8(__m128i words) { return _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(words)); }

// The levels of sixteen pixels as two halves of eight.
GLIDE_PRESENT_AVX2_INLINE void SplitLevels(const Rgb16& l, Levels8& first, Levels8& second) {
  first = {ToFloat8(_mm256_castsi256_si128(l.r)), ToFloat8(_mm256_castsi256_si128(l.g)),
           ToFloat8(_mm256_castsi256_si128(l.b))};
  second = {ToFloat8(_mm256_extracti128_si256(l.r, 1)), ToFloat8(_mm256_extracti128_si256(l.g, 1)),
            ToFloat8(_mm256_extracti128_si256(l.b, 1))};
}

GLIDE_PRESENT_AVX2_INLINE __m256 Weighted8(const Levels8& l, float wr, float wg, float wb) {
  return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(wr), l.r), _mm256_mul_ps(_mm256_set1_ps(wg), l.g)),
                       _mm256_mul_ps(_mm256_set1_ps(wb), l.b));
}

GLIDE_PRESENT_AVX2_INLINE __m256i Luma8(const Levels8& l) {
  return _mm256_cvttps_epi32(_mm256_add_ps(Weighted8(l, kLumaR, kLumaG, kLumaB), _mm256_set1_ps(16.5f)));
}

// Sixteen luma values (two halves of eight 32-bit lanes) to sixteen bytes.
GLIDE_PRESENT_AVX2_INLINE void StoreLuma16(__m256i first, __m256i second, uint8_t* out) {
  const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xD8);
  const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
}

GLIDE_PRESENT_AVX2_INLINE __m256i Chroma64x8(__m256 scaled) {
  const __m256 half = _mm256_or_ps(_mm256_set1_ps(0.5f), _mm256_and_ps(scaled, _mm256_set1_ps(-0.0f)));
  return _mm256_cvttps_epi32(_mm256_add_ps(scaled, half));
}

// Four 2 x 2 blocks' sums (top and bottom rows of eight pixels) to four levels, as ChromaLevel.
GLIDE_PRESENT_AVX2_INLINE void StoreChroma4(__m256i top, __m256i bottom, uint8_t* out) {
  // Pairs along each row, then the two rows: lanes 0, 1, 4, 5 hold the four blocks.
  const __m256i pairs = _mm256_hadd_epi32(top, bottom);
  const __m256i sums = _mm256_add_epi32(pairs, _mm256_shuffle_epi32(pairs, 0x4E));
  const __m256i magnitude = _mm256_srli_epi32(_mm256_add_epi32(_mm256_abs_epi32(sums), _mm256_set1_epi32(128)), 8);
  const __m256i rounded = _mm256_sign_epi32(magnitude, sums);
  const __m256i level = _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(rounded, _mm256_set1_epi32(128)),
                                                          _mm256_set1_epi32(16)),
                                         _mm256_set1_epi32(240));
  const __m256i four = _mm256_permutevar8x32_epi32(level, _mm256_setr_epi32(0, 1, 4, 5, 0, 1, 4, 5));
  const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(four), _mm256_castsi256_si128(four));
  const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
  std::memcpy(out, &bytes, 4);
}

// Rows 2 cy and 2 cy + 1 from column 0 while sixteen columns of both are left; returns the
// columns converted (a multiple of sixteen).
__attribute__((target("avx2"))) int ConvertRowPairAvx2(const uint16_t* top, const uint16_t* bottom, int width,
                                                       const uint8_t* fiveBit, const uint8_t* sixBit,
                                                       uint8_t* lumaTop, uint8_t* lumaBottom, uint8_t* cb,
                                                       uint8_t* cr) {
  const LevelTables levels(fiveBit, sixBit);
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    Levels8 t[2], b[2];
    SplitLevels(levels.Of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + x))), t[0], t[1]);
    SplitLevels(levels.Of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + x))), b[0], b[1]);
    StoreLuma16(Luma8(t[0]), Luma8(t[1]), lumaTop + x);
    StoreLuma16(Luma8(b[0]), Luma8(b[1]), lumaBottom + x);
    for (int h = 0; h < 2; ++h) {
      StoreChroma4(Chroma64x8(Weighted8(t[h], kCbR, kCbG, kCbB)), Chroma64x8(Weighted8(b[h], kCbR, kCbG, kCbB)),
                   cb + x / 2 + 4 * h);
      StoreChroma4(Chroma64x8(Weighted8(t[h], kCrR, kCrG, kCrB)), Chroma64x8(Weighted8(b[h], kCrR, kCrG, kCrB)),
                   cr + x / 2 + 4 * h);
    }
  }
  return x;
}
#endif

}  // namespace

Yuv420Converter::Yuv420Converter(const DisplayTable& display)
    : luma_(65536), cb_(65536), cr_(65536), fiveBit_(display.FiveBitLevels()), sixBit_(display.SixBitLevels()) {
  for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
    const float r = fiveBit_[pixel >> 11], g = sixBit_[(pixel >> 5) & 63], b = fiveBit_[pixel & 31];
    luma_[pixel] = Luma(r, g, b);
    cb_[pixel] = Chroma64(Weighted(r, g, b, kCbR, kCbG, kCbB));
    cr_[pixel] = Chroma64(Weighted(r, g, b, kCrR, kCrG, kCrB));
  }
  avx2_ = GLIDE_X86 && SimdSetting() == SimdLevel::kAvx2;
}

size_t Yuv420Converter::FrameBytes(int width, int height) {
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

void Yuv420Converter::Convert(const uint16_t* src, int width, int height, uint8_t* dst) const {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const int chromaWidth = (width + 1) / 2;
  const int chromaHeight = (height + 1) / 2;
  uint8_t* cbPlane = dst + pixels;
  uint8_t* crPlane = cbPlane + static_cast<size_t>(chromaWidth) * static_cast<size_t>(chromaHeight);
  const auto clamp = [](int value, int top) { return std::min(value, top); };
  for (int cy = 0; cy < chromaHeight; ++cy) {
    const size_t topRow = static_cast<size_t>(2 * cy) * static_cast<size_t>(width);
    const uint16_t* top = src + topRow;
    const bool pair = 2 * cy + 1 < height;
    const uint16_t* bottom = pair ? top + width : top;  // the last row repeated where the height is odd
    uint8_t* cb = cbPlane + static_cast<size_t>(cy) * static_cast<size_t>(chromaWidth);
    uint8_t* cr = crPlane + static_cast<size_t>(cy) * static_cast<size_t>(chromaWidth);
    int done = 0;
#if GLIDE_X86
    if (avx2_ && pair) {
      done = ConvertRowPairAvx2(top, bottom, width, fiveBit_.data(), sixBit_.data(), dst + topRow,
                                dst + topRow + width, cb, cr);
    }
#endif
    for (int x = done; x < width; ++x) {
      dst[topRow + x] = luma_[top[x]];
      if (pair) dst[topRow + width + x] = luma_[bottom[x]];
    }
    // Each chroma sample is the mean of its 2 x 2 pixels (the edge column repeated where the
    // width is odd), in 1/64 steps.
    for (int cx = done / 2; cx < chromaWidth; ++cx) {
      const int left = 2 * cx;
      const int right = clamp(left + 1, width - 1);
      cb[cx] = ChromaLevel(cb_[top[left]] + cb_[top[right]] + cb_[bottom[left]] + cb_[bottom[right]]);
      cr[cx] = ChromaLevel(cr_[top[left]] + cr_[top[right]] + cr_[bottom[left]] + cr_[bottom[right]]);
    }
  }
}

// H.264 in 8-bit 4:2:0, which every player takes, tagged BT.601 limited range. The frames are
// 16-bit colour with the board's 4 x 4 dither standing in for the missing levels: an encoder
// that smooths the dither away leaves bands on every gradient. CRF 16 keeps the pattern, and
// adaptive quantisation with a bias to dark areas (aq-mode 3) spends the bits where the glows
// fade into black; "veryfast" keeps the encoder about as fast as the presentation renders.
std::vector<std::string> VideoEncoderCommand(const std::string& path, int width, int height, int rateHz) {
  return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-stats", "-y",
          "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", std::to_string(width) + "x" + std::to_string(height),
          "-r", std::to_string(rateHz), "-i", "-",
          "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-x264-params", "aq-mode=3",
          "-color_range", "tv", "-colorspace", "smpte170m", "-color_primaries", "smpte170m",
          "-color_trc", "smpte170m", "-chroma_sample_location", "center", path};
}

std::unique_ptr<VideoPipe> VideoPipe::Start(const std::vector<std::string>& command, const std::string& path,
                                            std::string* error) {
  if (command.empty()) {
    *error = "no encoder command";
    return nullptr;
  }
  // A writer to a pipe whose reader has gone gets EPIPE instead of being killed by SIGPIPE.
  struct sigaction current{};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (result != 0) {
    close(fds[1]);
    *error = "cannot start " + command[0] + " (" + std::strerror(result) + ")";
    return nullptr;
  }
  // A deeper pipe than the default 64 KiB lets the encoder read a whole frame at once (the
  // kernel may refuse; the default then serves).
  fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
  std::unique_ptr<VideoPipe> video(new VideoPipe());
  video->fd_ = fds[1];
  video->pid_ = pid;
  video->path_ = path;
  video->writer_ = std::thread([pipe = video.get()] { pipe->WriteQueued(); });
  return video;
}

void VideoPipe::Write(const uint8_t* data, size_t bytes) {
  if (Failed() || writer_.get_id() == std::thread::id()) return;
  std::unique_lock lock(mutex_);
  queuedChanged_.wait(lock, [this] { return queued_.size() < kQueuedFrames || Failed(); });
  if (Failed()) return;
  std::vector<uint8_t> frame;
  if (!spare_.empty()) {
    frame = std::move(spare_.back());
    spare_.pop_back();
  }
  lock.unlock();
  frame.assign(data, data + bytes);
  lock.lock();
  queued_.push_back(std::move(frame));
  lock.unlock();
  queuedChanged_.notify_all();
}

void VideoPipe::WriteQueued() {
  std::unique_lock lock(mutex_);
  for (;;) {
    queuedChanged_.wait(lock, [this] { return !queued_.empty() || closing_; });
    if (queued_.empty()) return;  // closing, and everything is written
    std::vector<uint8_t> frame = std::move(queued_.front());
    queued_.pop_front();
    lock.unlock();
    const bool written = !Failed() && WriteAll(frame.data(), frame.size());
    lock.lock();
    spare_.push_back(std::move(frame));
    if (!written) queued_.clear();  // the encoder is gone; what is left is dropped
    queuedChanged_.notify_all();
  }
}

bool VideoPipe::WriteAll(const uint8_t* data, size_t bytes) {
  while (bytes > 0) {
    const ssize_t written = write(fd_, data, bytes);
    if (written < 0) {
      if (errno == EINTR) continue;
      failed_.store(true, std::memory_order_relaxed);
      Warn("the video encoder stopped taking frames (%s); %s is incomplete", std::strerror(errno), path_.c_str());
      return false;
    }
    data += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

bool VideoPipe::Finish() {
  if (writer_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    queuedChanged_.notify_all();
    writer_.join();
  }
  if (pid_ < 0) return !Failed();
  close(fd_);
  fd_ = -1;
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  pid_ = -1;
  const bool ok = waited > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok && !Failed()) {
    Warn("the video encoder failed (%s %d); %s may be missing or incomplete",
         waited > 0 && WIFSIGNALED(status) ? "signal" : "exit status",
         waited > 0 && WIFSIGNALED(status) ? WTERMSIG(status) : (waited > 0 ? WEXITSTATUS(status) : -1), path_.c_str());
  }
  if (!ok) failed_.store(true, std::memory_order_relaxed);
  return ok && !Failed();
}

VideoPipe::~VideoPipe() { Finish(); }

}  // namespace glide
