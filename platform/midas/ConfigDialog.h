// The sound set-up dialog behind MIDASconfig (ConfigDialog.cpp, SDL message box).
#pragma once

namespace midas {

enum class ConfigChoice { kPlay, kSilent, kCancel };

// Asks with a message box where a display exists. With no display, or when the box cannot be
// shown, the answer is kPlay (the defaults); closing the box is kCancel, like Escape.
ConfigChoice AskSoundSetup();

}  // namespace midas
