// Generator "music": the three modules. Each song must last at least as long as the scenes it
// plays under before it loops (frames at 60 Hz), or the start would come round again mid-scene.
#include <cstdio>
#include <exception>

#include "music/Composer.h"
#include "Generator.h"
#include "formats/ModuleWriters.h"
#include "music/Songs.h"

namespace mkdata {

namespace {

struct ModuleFile {
  const char* name;
  music::Song (*compose)();
  bool mod;
  int sceneFrames;
};

constexpr ModuleFile kModules[] = {
    {"go.s3m", music::ComposeGo, false, 2479},          // tunnel, fire, fractal
    {"ohyea.mod", music::ComposeOhYea, true, 3505},     // crypt
    {"creature.s3m", music::ComposeCreature, false, 3112},  // temple
};

bool GenerateMusic(Output& out) {
  for (const ModuleFile& file : kModules) {
    music::Song song;
    try {
      song = file.compose();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "mkdata: composing %s: %s\n", file.name, error.what());
      return false;
    }
    const double seconds = music::SongSeconds(song);
    if (seconds * 60.0 < file.sceneFrames) {
      std::fprintf(stderr, "mkdata: %s lasts %.2f s, shorter than its %d frames\n", file.name, seconds, file.sceneFrames);
      return false;
    }
    const music::WriteResult written = file.mod ? music::WriteMod(song) : music::WriteS3m(song);
    if (!written.Ok()) {
      std::fprintf(stderr, "mkdata: %s: %s\n", file.name, written.error.c_str());
      return false;
    }
    if (!out.Write(file.name, written.bytes)) return false;
  }
  return true;
}

}  // namespace

MKDATA_GENERATOR("music", GenerateMusic);

}  // namespace mkdata
