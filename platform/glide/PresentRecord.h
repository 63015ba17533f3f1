// The sinks that record shown frames: the frame hash log, the swap log and PNG capture.
#pragma once

#include <cstdint>
#include <string>

#include "PresentSink.h"
#include "Settings.h"

namespace glide {

// 64-bit FNV-1a over the pixels' little-endian bytes: the frame exactly as the frame buffer
// holds it, before gamma, so any change to a rendered pixel changes it.
uint64_t FrameHash(const uint16_t* pixels, size_t count);
// The same over width x height pixels, `stride` pixels a row (the rows' bytes one after another).
uint64_t FrameHash(const uint16_t* pixels, int width, int height, int stride);

// GLIDE_FRAME_HASHES: a line "FRAME HASH" per shown frame, the frame number in decimal and the
// hash in 16 lower-case hex digits, each line reaching the file as it is written, so that a run
// cut short leaves every frame it showed. A write that fails (a full disk) is reported once and
// the log ends there; the presentation goes on.
OpenedSink OpenHashLog(const std::string& path);

// GLIDE_SWAP_LOG: a line "FRAME DUE SHOWN" per paced swap, the frame number, when the swap was
// due had the program kept up and when its frame had gone to the display, in microseconds since
// the retrace grid started. Buffered, so that a line per frame costs no system call while the
// presentation plays. A write that fails is reported once, when the buffer meets it or at the
// close, and the log ends there.
OpenedSink OpenSwapLog(const std::string& path);

// GLIDE_CAPTURE: the listed frames as DIR/NNNNNN.png, display gamma applied. Makes the directory
// if it is missing; fails when it cannot, or when the list names no frame. A frame that cannot
// be written is reported and the next ones are still tried.
OpenedSink OpenCapture(const std::string& directory, FrameList frames);

// DIR/NNNNNN.png: the frame number with at least six digits.
std::string CapturePath(const std::string& directory, uint64_t frame);

// Writes packed 8-bit RGB rows as a PNG file. False with the reason in `error`.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error);

}  // namespace glide
