#include "ConfigDialog.h"

#include "platform/SdlVideo.h"

#include <SDL.h>

namespace midas {

ConfigChoice AskSoundSetup() {
  if (!platform::DisplayAvailable()) return ConfigChoice::kPlay;
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, static_cast<int>(ConfigChoice::kPlay), "Play with sound"},
      {0, static_cast<int>(ConfigChoice::kSilent), "Play silent"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, static_cast<int>(ConfigChoice::kCancel), "Cancel"},
  };
  const SDL_MessageBoxData box = {
      SDL_MESSAGEBOX_INFORMATION, platform::SharedWindow(), "MIDAS Digital Audio System Setup",
      "Choose how the presentation plays its sound.", SDL_arraysize(buttons), buttons, nullptr};
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) return ConfigChoice::kPlay;
  // Closing the box is the same as Escape: cancel.
  return chosen < 0 ? ConfigChoice::kCancel : static_cast<ConfigChoice>(chosen);
}

}  // namespace midas
