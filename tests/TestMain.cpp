// The main of every test executable: SDL's dummy drivers, no sound set-up dialog, and the
// generated data directory of this build, unless the caller's environment says otherwise. Run
// by CTest or by hand, a test binary sees the same surroundings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  ::setenv("MIDAS_CONFIG", "ok", 0);
  ::setenv("KELDRIN_DATA", (std::string(KELDRIN_BINARY_DIR) + "/data").c_str(), 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
