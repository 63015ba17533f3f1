#include "SceneFixture.h"

#include "TestSupport.h"

#include "log/DebugLog.h"

namespace fs = std::filesystem;

void SceneFixture::SetUp() {
  DisplayFixture::SetUp();
  testsupport::LinkData(dir_);
  ResetDebugLog();
}

void SceneFixture::Remove(const std::string& name) { fs::remove(dir_ / name); }

std::ofstream SceneFixture::Create(const std::string& name) {
  fs::remove(dir_ / name);
  return std::ofstream(dir_ / name, std::ios::binary);
}

std::string SceneFixture::Log() const { return testsupport::ReadFile(dir_ / "debug.log"); }
