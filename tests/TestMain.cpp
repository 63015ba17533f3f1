// The main of every test executable: SDL's dummy drivers, no sound set-up dialog, and the
// generated data directory of this build, unless the caller's environment says otherwise. Run
// by CTest or by hand, a test binary sees the same surroundings.
//
// Every test runs in a process of its own, whoever runs the binary: the program keeps state for
// the whole of a run (a scene's phases, the space scene's fade, the crypt's caption state), as
// the presentation plays each scene once. CTest starts one process per test; a binary run by
// hand with several tests selected starts itself once per test, in the order listed, so that no
// test depends on which ran before it in the same process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kOneTest = "KELDRIN_ONE_TEST";  // set in each test's own process

// The tests the command line selects, found by a listing run with standard output silenced.
std::vector<std::string> SelectedTests() {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  close(null);
  GTEST_FLAG_SET(list_tests, true);
  const int listed = RUN_ALL_TESTS();  // runs no test, only chooses them
  (void)listed;
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::vector<std::string> names;
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  for (int s = 0; s < unit.total_test_suite_count(); ++s) {
    const testing::TestSuite& suite = *unit.GetTestSuite(s);
    for (int t = 0; t < suite.total_test_count(); ++t) {
      const testing::TestInfo& info = *suite.GetTestInfo(t);
      if (info.should_run()) names.push_back(std::string(suite.name()) + "." + info.name());
    }
  }
  return names;
}

// Runs each test in a process of its own (this binary with the caller's arguments and a filter
// naming the test); the exit status is 1 if any failed.
int RunEachInItsOwnProcess(int argc, char** argv, const std::vector<std::string>& tests) {
  std::vector<std::string> failed;
  for (const std::string& test : tests) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
      setenv(kOneTest, "1", 1);
      std::vector<std::string> words(argv, argv + argc);
      words.push_back("--gtest_filter=" + test);
      std::vector<char*> args;
      for (std::string& word : words) args.push_back(word.data());
      args.push_back(nullptr);
      execv("/proc/self/exe", args.data());
      std::perror("cannot start the test's own process");
      _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0) {
    }
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) failed.push_back(test);
  }
  std::printf("\n%zu tests, each in a process of its own: %zu failed\n", tests.size(), failed.size());
  for (const std::string& test : failed) std::printf("  %s\n", test.c_str());
  return failed.empty() ? 0 : 1;
}

// Whether this process runs the tests itself: in a test's own process, when listing, in the
// child a death test starts, and when the filter names one test outright (as CTest runs each).
bool RunsTestsInThisProcess(int argc, char** argv) {
  if (std::getenv(kOneTest) != nullptr) return true;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--gtest_list_tests") == 0) return true;
    if (std::strncmp(arg, "--gtest_internal_run_death_test", 31) == 0) return true;
    constexpr const char* kFilter = "--gtest_filter=";
    if (std::strncmp(arg, kFilter, std::strlen(kFilter)) == 0) {
      const char* pattern = arg + std::strlen(kFilter);
      if (*pattern != '\0' && std::strpbrk(pattern, "*?:-") == nullptr) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  ::setenv("MIDAS_CONFIG", "ok", 0);
  ::setenv("KELDRIN_DATA", (std::string(KELDRIN_BINARY_DIR) + "/data").c_str(), 0);
  // The arguments before gtest takes its own out of them, for the tests' own processes.
  const std::vector<char*> original(argv, argv + argc);
  ::testing::InitGoogleTest(&argc, argv);
  if (!RunsTestsInThisProcess(static_cast<int>(original.size()), const_cast<char**>(original.data()))) {
    const std::vector<std::string> tests = SelectedTests();
    if (tests.size() != 1) {
      return RunEachInItsOwnProcess(static_cast<int>(original.size()), const_cast<char**>(original.data()), tests);
    }
    GTEST_FLAG_SET(list_tests, false);
    setenv(kOneTest, "1", 1);
    // One test: run it here (RUN_ALL_TESTS has run once to list, so the process starts again).
    std::vector<std::string> words(original.begin(), original.end());
    words.push_back("--gtest_filter=" + tests.front());
    std::vector<char*> args;
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    execv("/proc/self/exe", args.data());
    std::perror("cannot start the test's own process");
    return 127;
  }
  return RUN_ALL_TESTS();
}
