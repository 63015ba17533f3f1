#include "RunSupport.h"

#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace runsupport {

namespace fs = std::filesystem;

RunResult RunProgram(const fs::path& dir, const std::string& env, int seconds) {
  fs::remove(dir / "debug.log");
  fs::remove(dir / "hashes.txt");
  // timeout's own exit code 124 marks a hang; SIGKILL follows if the program ignores SIGTERM.
  const std::string command = "cd '" + dir.string() + "' && env FX_GLIDE_SWAPINTERVAL=0 GLIDE_PRESENT=none " +
                              "MIDAS_OUTPUT=silent GLIDE_FRAME_HASHES=hashes.txt " + env + " timeout -k 5 " +
                              std::to_string(seconds) + " '" + KELDRIN_EXE + "' > stdout.txt 2> stderr.txt";
  const int status = std::system(command.c_str());
  RunResult result;
  if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
    // timeout reports a signalled child as 128 + signal, and its own expiry as 124.
    if (result.exitCode == 124 || result.exitCode == 137) result.timedOut = true;
    if (result.exitCode >= 124) result.exitCode = -1;
  }
  result.log = testsupport::ReadFile(dir / "debug.log");
  result.stdoutText = testsupport::ReadFile(dir / "stdout.txt");
  result.stderrText = testsupport::ReadFile(dir / "stderr.txt");
  const std::string hashes = testsupport::ReadFile(dir / "hashes.txt");
  result.framesShown = static_cast<int>(std::count(hashes.begin(), hashes.end(), '\n'));
  return result;
}

std::string EnterEvery(int first, int step, int count) {
  std::string script;
  for (int i = 0; i < count; ++i) {
    const std::string frame = std::to_string(first + i * step);
    if (!script.empty()) script += ",";
    script += frame + ":down:13," + frame + ":up:13";
  }
  return script;
}

void ReplaceByFile(const fs::path& dir, const std::string& name, const std::string& bytes) {
  fs::remove(dir / name);  // the link itself, never its target
  std::ofstream file(dir / name, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace runsupport
