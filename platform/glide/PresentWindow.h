// The window sink: where the viewer sees the frames. PresentSdl.cpp opens the SDL window's
// presenter; in the WebAssembly build PresentBrowser.cpp opens the web page's canvas instead.
#pragma once

#include <optional>

#include "PresentSink.h"
#include "Settings.h"

namespace glide {

// GLIDE_PRESENT: the window the presentation shows frames in. `asked` is the setting (nothing:
// full screen where a display exists, else none). Nothing is opened for none; asking for a
// window or full screen where no display exists fails.
OpenedSink OpenWindow(std::optional<PresenterKind> asked, int width, int height, int rateHz);

// The largest whole multiple of width x height, at most `most`, that the window or full screen
// `asked` (nothing: the default) would show one to one: the desktop for full screen, what fits
// comfortably for a window. 1 when nothing would be shown.
int DisplayScale(std::optional<PresenterKind> asked, int width, int height, int most);

}  // namespace glide
