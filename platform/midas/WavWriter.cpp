#include "WavWriter.h"

#include "Errors.h"

#include <memory>

#include <signal.h>

#include <cerrno>
#include <cstring>

namespace midas {
namespace {

constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

platform::Opened<WavWriter> WavWriter::Open(const std::string& path, int rate) {
  using Result = platform::Opened<WavWriter>;
  std::unique_ptr<WavWriter> writer(new WavWriter(rate));
  writer->file_ = std::fopen(path.c_str(), "wb");
  if (writer->file_ == nullptr) return Result::Failure("cannot write " + path + ": " + std::strerror(errno));
  // A pipe or FIFO cannot be rewound: its header is written once with the sizes every reader
  // takes as "until the stream ends", and a reader that goes away fails the writes instead of
  // ending the program.
  writer->streaming_ = std::fseek(writer->file_, 0, SEEK_SET) != 0 && errno == ESPIPE;
  if (writer->streaming_) {
    std::clearerr(writer->file_);
#ifdef SIGPIPE  // POSIX; elsewhere a broken pipe only fails the write
    struct sigaction current{};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
#endif
  }
  writer->WriteHeader();
  if (writer->failed_) return Result::Failure("cannot write " + path + ": the header did not go out");
  return Result::Of(std::move(writer));
}

WavWriter::~WavWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

void WavWriter::WriteHeader() {
  const uint32_t dataBytes = streaming_ ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(frames_ * 4);
  uint8_t header[44];
  std::memcpy(header, "RIFF", 4);
  Put32(header + 4, 36 + dataBytes);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  Put32(header + 16, 16);
  Put16(header + 20, 1);  // PCM
  Put16(header + 22, 2);
  Put32(header + 24, static_cast<uint32_t>(rate_));
  Put32(header + 28, static_cast<uint32_t>(rate_) * 4);
  Put16(header + 32, 4);
  Put16(header + 34, 16);
  std::memcpy(header + 36, "data", 4);
  Put32(header + 40, dataBytes);
  if (streaming_) {
    if (frames_ == 0 && std::fwrite(header, sizeof header, 1, file_) != 1) failed_ = true;
    if (std::fflush(file_) != 0) failed_ = true;
    return;
  }
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, sizeof header, 1, file_) != 1 ||
      std::fseek(file_, 0, SEEK_END) != 0 || std::fflush(file_) != 0) {
    failed_ = true;
  }
}

bool WavWriter::Append(const int16_t* stereo, std::size_t frames) {
  if (failed_) return false;
  if (!streaming_ && (frames_ + frames) * 4 > kMaxDataBytes) {
    frames = static_cast<std::size_t>(kMaxDataBytes / 4 - frames_);
    failed_ = true;
    Warn("WAV output is full (4 GiB); the rest of the sound is dropped");
  }
  uint8_t bytes[4096 * 4];
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t n = std::min<std::size_t>(frames - done, 4096);
    for (std::size_t i = 0; i < 2 * n; ++i) Put16(bytes + 2 * i, static_cast<uint16_t>(stereo[2 * done + i]));
    if (std::fwrite(bytes, 4, n, file_) != n) {
      failed_ = true;
      break;
    }
    frames_ += n;
    done += n;
  }
  const bool wasFailed = failed_;
  WriteHeader();
  if (failed_ && !wasFailed) Warn("writing the WAV output failed");
  return !failed_;
}

}  // namespace midas
