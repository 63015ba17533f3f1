// modtowav MODULE CHANNELS OUT.wav [SECONDS]: plays a module through the MIDAS stand-in (looping,
// as the scenes start it, on CHANNELS open channels) and writes what it mixes to a 44100 Hz
// stereo WAV, by default one pass of the song and two seconds beyond its loop point. For
// listening checks: sox OUT.wav -n stats, sox OUT.wav -n spectrogram -o OUT.png.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "midasdll.h"
#include "platform/FrameClock.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: modtowav MODULE CHANNELS OUT.wav [SECONDS]\n");
    return 2;
  }
  std::string module = argv[1];
  const int channels = std::atoi(argv[2]);
  double seconds = argc > 4 ? std::atof(argv[4]) : 0.0;
  if (seconds <= 0.0) {
    std::ifstream file(module, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    try {
      std::ostringstream log;
      seconds = openmpt::module(bytes, log).get_duration_seconds() + 2.0;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "modtowav: %s: %s\n", module.c_str(), error.what());
      return 1;
    }
  }
  setenv("MIDAS_OUTPUT", (std::string("wav:") + argv[3]).c_str(), 1);
  MIDASstartup();
  MIDASsetOption(MIDAS_OPTION_MIXRATE, 44100);
  if (!MIDASinit() || !MIDASopenChannels(channels) || !MIDASstartBackgroundPlay(100)) {
    std::fprintf(stderr, "modtowav: %s\n", MIDASgetErrorMessage(MIDASgetLastError()));
    return 1;
  }
  MIDASmodule song = MIDASloadModule(module.data());
  const MIDASmodulePlayHandle handle = song ? MIDASplayModule(song, TRUE) : 0;
  if (!handle) {
    std::fprintf(stderr, "modtowav: %s: %s\n", module.c_str(), MIDASgetErrorMessage(MIDASgetLastError()));
    MIDASclose();
    return 1;
  }
  // The WAV output mixes 1/60 s for every shown frame.
  for (int frame = 0; frame < static_cast<int>(seconds * 60.0); ++frame) platform::AdvanceFrame();
  MIDASstopModule(handle);
  MIDASfreeModule(song);
  MIDASclose();
  return 0;
}
