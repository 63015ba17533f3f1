// The loader tests run against the Glide stand-in with the display opened once, as the program
// opens it (headless under the test runner's dummy SDL drivers).
#include "gfx/Display.h"

#include <gtest/gtest.h>

namespace {

class GlideSession : public ::testing::Environment {
 public:
  void SetUp() override { OpenDisplay(); }
  void TearDown() override { CloseDisplay(); }
};

[[maybe_unused]] ::testing::Environment* const kSession = ::testing::AddGlobalTestEnvironment(new GlideSession);

}  // namespace
