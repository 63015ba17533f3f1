// Where shown frames go: every output of grBufferSwap (the SDL window, the frame hash log, the
// swap log, PNG capture, the video pipe) is a sink behind this one interface, as the MIDAS
// stand-in's sound outputs are. Presenting nowhere means having no sink. The presentation opens
// the sinks the environment asks for, hands each shown frame to every sink in the order they
// were opened, and closes a sink that can take no more.
#pragma once

#include <cstdint>

#include "Pacer.h"
#include "platform/Opened.h"

namespace glide {

class DisplayTable;

// A frame as grBufferSwap shows it, with what the sinks need to know about it.
struct ShownFrame {
  const uint16_t* pixels;       // width x height RGB565, `stride` pixels a row, before gamma
  int width;
  int height;
  int stride;
  uint64_t number;              // frames shown before this one (the shared frame clock)
  const DisplayTable& display;  // the display gamma in force
  bool vsync;                   // a window presents it on the display's retrace
  bool paced;                   // the swap was paced to the retrace (interval above 0)
  SwapPacer::Clock::time_point due;     // when the swap was due had the program kept up
  SwapPacer::Clock::time_point origin;  // when the retrace grid started
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;

  // Takes one shown frame. False once the sink can take no more (the program's window has been
  // destroyed, the encoder has quit and said so): the presentation closes it and goes on.
  virtual bool Take(const ShownFrame& frame) = 0;

  // Whether presenting with vsync waits for the display's retrace at the swap rate, so that a
  // swap needs no sleep of its own. Only a window can.
  virtual bool VsyncPaces() const { return false; }
};

using OpenedSink = platform::Opened<FrameSink>;

}  // namespace glide
