// Records of shown frames: the frame hash and its log, and PNG capture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace glide {

// 64-bit FNV-1a over the pixels' little-endian bytes: the frame exactly as the frame buffer
// holds it, before gamma, so any change to a rendered pixel changes it.
uint64_t FrameHash(const uint16_t* pixels, size_t count);

// A text file the presentation writes a line at a time: the frame hash log (GLIDE_FRAME_HASHES:
// "FRAME HASH", the frame number in decimal and the hash in 16 lower-case hex digits, each line
// reaching the file as it is written, so that a run cut short leaves every frame it showed) and
// the swap log (GLIDE_SWAP_LOG: "FRAME DUE SHOWN", the frame number, when the swap was due had
// the program kept up and when its frame went to the display, in microseconds since the display
// opened; buffered, so that a line per frame costs no system call while the presentation plays).
class LineLog {
 public:
  // `what` names the log in the error message.
  static std::unique_ptr<LineLog> Open(const std::string& path, const char* what, bool flushEachLine,
                                       std::string* error);
  ~LineLog();
  LineLog(const LineLog&) = delete;
  LineLog& operator=(const LineLog&) = delete;

  void WriteHash(uint64_t frame, uint64_t hash);
  void WriteSwap(uint64_t frame, int64_t dueMicroseconds, int64_t shownMicroseconds);

 private:
  LineLog(std::FILE* file, bool flushEachLine) : file_(file), flushEachLine_(flushEachLine) {}
  void EndLine();
  std::FILE* file_;
  bool flushEachLine_;
};

// DIR/NNNNNN.png: the frame number with at least six digits.
std::string CapturePath(const std::string& directory, uint64_t frame);

// Writes packed 8-bit RGB rows as a PNG file. False with the reason in `error`.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error);

}  // namespace glide
