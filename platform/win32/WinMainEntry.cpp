// main() for programs written against WinMain: the command line without the program name, as
// Windows hands it over, and the default show command.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  // Any non-null value serves as the module handle; nothing dereferences it.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
  const int code = WinMain(instance, nullptr, commandLine.data(), SW_SHOWDEFAULT);
#if defined(__EMSCRIPTEN__)
  // In a web page main has long returned to the page (at the program's first wait) when WinMain
  // ends: the end is an explicit exit, which the page hears of.
  std::exit(code);
#endif
  return code;
}
