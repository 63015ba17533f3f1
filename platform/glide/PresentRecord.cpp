#include "PresentRecord.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "Misuse.h"
#include "PresentGamma.h"

namespace glide {

namespace {

constexpr uint64_t kFnvBasis = 0xcbf29ce484222325ull;  // FNV-1a 64 offset basis

uint64_t FnvPixels(uint64_t hash, const uint16_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    hash = (hash ^ (pixels[i] & 0xFFu)) * 0x100000001b3ull;
    hash = (hash ^ (pixels[i] >> 8)) * 0x100000001b3ull;
  }
  return hash;
}

}  // namespace

uint64_t FrameHash(const uint16_t* pixels, size_t count) { return FnvPixels(kFnvBasis, pixels, count); }

uint64_t FrameHash(const uint16_t* pixels, int width, int height, int stride) {
  uint64_t hash = kFnvBasis;
  for (int y = 0; y < height; ++y) {
    hash = FnvPixels(hash, pixels + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(width));
  }
  return hash;
}

namespace {

// A text file written a line at a time; `flushEachLine` sends each line to the file at once. A
// write that fails (a full disk, a closed pipe) is reported once, naming the log (`what`) and
// its `path`, and nothing more is written.
class LineLog {
 public:
  LineLog(std::FILE* file, const char* what, std::string path, bool flushEachLine)
      : file_(file), what_(what), path_(std::move(path)), flushEachLine_(flushEachLine) {}
  ~LineLog() {
    // The buffered lines reach the file here; they may be the first that do not fit.
    if (std::fclose(file_) != 0 && !failed_) Report(errno);
  }
  LineLog(const LineLog&) = delete;
  LineLog& operator=(const LineLog&) = delete;

  // printf rules, then the line's end. False once the file has refused a write (reported).
  bool Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    std::vfprintf(file_, format, args);
    va_end(args);
    std::fputc('\n', file_);
    if (flushEachLine_) std::fflush(file_);
    if (!std::ferror(file_)) return true;
    Report(errno);
    return false;
  }

 private:
  void Report(int error) {
    failed_ = true;
    Warn("cannot write the %s %s: %s; it ends there", what_, path_.c_str(), std::strerror(error));
  }

  std::FILE* file_;
  const char* what_;
  std::string path_;
  bool flushEachLine_;
  bool failed_ = false;
};

// `what` names the log in the reason it cannot be opened.
std::FILE* OpenLogFile(const std::string& path, const char* what, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) error = std::string("cannot write the ") + what + " " + path + ": " + std::strerror(errno);
  return file;
}

class HashLog final : public FrameSink {
 public:
  HashLog(std::FILE* file, const std::string& path) : log_(file, "frame hash log", path, true) {}
  bool Take(const ShownFrame& frame) override {
    return log_.Line("%" PRIu64 " %016" PRIx64, frame.number,
                     FrameHash(frame.pixels, frame.width, frame.height, frame.stride));
  }

 private:
  LineLog log_;
};

class SwapLog final : public FrameSink {
 public:
  SwapLog(std::FILE* file, const std::string& path) : log_(file, "swap log", path, false) {}
  bool Take(const ShownFrame& frame) override {
    if (!frame.paced) return true;
    const auto micros = [](SwapPacer::Clock::duration d) {
      return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::microseconds>(d).count());
    };
    return log_.Line("%" PRIu64 " %" PRId64 " %" PRId64, frame.number, micros(frame.due - frame.origin),
                     micros(SwapPacer::Clock::now() - frame.origin));
  }

 private:
  LineLog log_;
};

class Capture final : public FrameSink {
 public:
  Capture(std::string directory, FrameList frames) : directory_(std::move(directory)), frames_(std::move(frames)) {}
  bool Take(const ShownFrame& frame) override {
    if (!frames_.Contains(frame.number)) return true;
    const size_t rowBytes = static_cast<size_t>(frame.width) * 3;
    rgb_.resize(rowBytes * static_cast<size_t>(frame.height));
    for (int y = 0; y < frame.height; ++y) {
      frame.display.ToRgb24(frame.pixels + static_cast<ptrdiff_t>(y) * frame.stride, frame.width,
                            rgb_.data() + rowBytes * static_cast<size_t>(y));
    }
    std::string error;
    if (!WritePng(CapturePath(directory_, frame.number), rgb_.data(), frame.width, frame.height, &error)) {
      Warn("%s", error.c_str());
    }
    return true;
  }

 private:
  std::string directory_;
  FrameList frames_;
  std::vector<uint8_t> rgb_;  // the frame as packed RGB after gamma
};

}  // namespace

OpenedSink OpenHashLog(const std::string& path) {
  std::string error;
  std::FILE* file = OpenLogFile(path, "frame hash log", error);
  if (file == nullptr) return OpenedSink::Failure(error);
  return OpenedSink::Of(std::make_unique<HashLog>(file, path));
}

OpenedSink OpenSwapLog(const std::string& path) {
  std::string error;
  std::FILE* file = OpenLogFile(path, "swap log", error);
  if (file == nullptr) return OpenedSink::Failure(error);
  return OpenedSink::Of(std::make_unique<SwapLog>(file, path));
}

OpenedSink OpenCapture(const std::string& directory, FrameList frames) {
  if (frames.Empty()) {
    return OpenedSink::Failure("GLIDE_CAPTURE is set but GLIDE_CAPTURE_FRAMES lists no frame; nothing is captured");
  }
  std::error_code code;
  std::filesystem::create_directories(directory, code);
  if (!std::filesystem::is_directory(directory, code)) {
    return OpenedSink::Failure("cannot make the capture directory " + directory + "; nothing is captured");
  }
  return OpenedSink::Of(std::make_unique<Capture>(directory, std::move(frames)));
}

std::string CapturePath(const std::string& directory, uint64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "%06" PRIu64 ".png", frame);
  return directory + "/" + name;
}

}  // namespace glide
