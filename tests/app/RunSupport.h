// Short runs of the real program, headless and unpaced, in a scratch directory that links the
// generated data: what the damaged-data and key tests share.
#pragma once

#include <filesystem>
#include <string>

namespace runsupport {

// The debug log of a run through all ten scenes, start-up lines first.
inline constexpr const char* kWholeRunLog =
    "MIDAS: Loading samples\nMIDAS: starting\n"
    "start:cartoon\nstart:title\ntitle:done\nstart:space\nstart:done\nstart:tunnel\nstart:fire\n"
    "start:fractal\nfractal:done\nstart:crypt\nstart:facemap\nstart:enviro\nENV DONE\nstart:temple\n"
    "temple:done\n";

struct RunResult {
  int exitCode = -1;       // -1: killed by a signal, or the run did not end in time
  bool timedOut = false;
  std::string log;         // debug.log
  std::string stdoutText;
  std::string stderrText;
  int framesShown = 0;     // lines of the frame-hash log
};

// Runs the program in `dir` with the environment words `env` (NAME=VALUE ...) added, under a
// time limit of `seconds`.
RunResult RunProgram(const std::filesystem::path& dir, const std::string& env, int seconds = 60);

// Enter pressed and released at each of the frames `first`, `first` + `step`, ... (`count` presses).
std::string EnterEvery(int first, int step, int count);

// Replaces the link `dir`/`name` by a file of its own (never writing through the link).
void ReplaceByFile(const std::filesystem::path& dir, const std::string& name, const std::string& bytes);

}  // namespace runsupport
