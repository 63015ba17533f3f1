// Scenes run headless through the real stand-ins, in a temporary copy of the generated data
// directory where a test may replace files with fixtures of its own.
#pragma once

#include "DisplayFixture.h"

#include <fstream>
#include <string>

class SceneFixture : public DisplayFixture {
 protected:
  SceneFixture() : DisplayFixture("scene") {}
  void SetUp() override;

  void Remove(const std::string& name);
  // Replaces `name` with a new, empty file open for binary writing. The scratch directory links
  // the generated data, so writing through the old name would change the data itself.
  std::ofstream Create(const std::string& name);
  std::string Log() const;
};
