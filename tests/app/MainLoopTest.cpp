// The sequencer against fake scenes, with key and window messages posted through the Win32
// stand-in and dispatched to the program's own window procedure.
#include "app/App.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Trace;
// What each fake scene's frame does on its n-th call (1-based), and when it reports the end.
struct FakeScene {
  int framesUntilEnd = 1000;
  std::function<void()> onInit;
  std::map<int, std::function<void()>> onFrame;
  int frames = 0;
};
FakeScene Fakes[3];

template <int N>
void FakeInit() {
  Trace.push_back("init" + std::to_string(N));
  Fakes[N].frames = 0;
  if (Fakes[N].onInit) Fakes[N].onInit();
}
template <int N>
int32_t FakeFrame() {
  FakeScene& scene = Fakes[N];
  ++scene.frames;
  Trace.push_back("frame" + std::to_string(N));
  if (auto it = scene.onFrame.find(scene.frames); it != scene.onFrame.end()) it->second();
  return scene.frames >= scene.framesUntilEnd ? 1 : 0;
}
template <int N>
void FakeDone() {
  Trace.push_back("done" + std::to_string(N));
}

void Post(UINT message, WPARAM key = 0) { PostMessageA(MainWindow, message, key, 0); }

class MainLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh window each time: a test may have closed the previous one.
    CreateMainWindow(nullptr, SW_SHOWDEFAULT);
    // Drain anything a previous test left behind, including its quit message.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    std::memset(KeyState, 0, sizeof KeyState);
    std::memset(SceneTable, 0, sizeof SceneTable);
    Trace.clear();
    for (auto& fake : Fakes) fake = FakeScene{};
    SceneTable[0] = {FakeInit<0>, FakeFrame<0>, FakeDone<0>};
    SceneTable[1] = {FakeInit<1>, FakeFrame<1>, nullptr};
    SceneTable[2] = {FakeInit<2>, FakeFrame<2>, FakeDone<2>};
  }
  std::vector<std::string> Expect(std::initializer_list<const char*> items) { return {items.begin(), items.end()}; }
};

TEST_F(MainLoopTest, ScenesEndingThemselvesPlayInOrderWithTheirDone) {
  Fakes[0].framesUntilEnd = 2;
  Fakes[1].framesUntilEnd = 1;  // ends on its first frame
  Fakes[2].framesUntilEnd = 2;
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0", "done0", "init1", "frame1", "init2", "frame2", "frame2",
                           "done2"}));
}

TEST_F(MainLoopTest, HeldEnterWithAutoRepeatSkipsExactlyOneScene) {
  Fakes[0].onFrame[2] = [] {
    Post(WM_KEYDOWN, VK_RETURN);
    Post(WM_KEYDOWN, VK_RETURN);  // auto-repeat
    Post(WM_KEYDOWN, VK_RETURN);
    Post(WM_KEYUP, VK_RETURN);
  };
  Fakes[1].framesUntilEnd = 3;
  Fakes[2].framesUntilEnd = 1;
  MainLoop();
  // Frame 2 posts; its pump dispatches the first key-down; frame 3 runs before Enter is seen.
  // The wait then swallows the repeats and the release, and scene 1 plays in full.
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0", "frame0", "done0", "init1", "frame1", "frame1", "frame1",
                           "init2", "frame2", "done2"}));
  EXPECT_EQ(KeyState[VK_RETURN], 0);
}

TEST_F(MainLoopTest, EnterInTheLastSceneRunsItsDoneAndEnds) {
  Fakes[0].framesUntilEnd = 1;
  Fakes[1].framesUntilEnd = 1;
  Fakes[2].onFrame[1] = [] {
    Post(WM_KEYDOWN, VK_RETURN);
    Post(WM_KEYUP, VK_RETURN);
  };
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "done0", "init1", "frame1", "init2", "frame2", "frame2", "done2"}));
}

TEST_F(MainLoopTest, EscapeCompletesTheIterationAndSkipsDone) {
  Fakes[0].onFrame[2] = [] { Post(WM_KEYDOWN, VK_ESCAPE); };
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0", "frame0"}));
}

TEST_F(MainLoopTest, EscapeSeenWithEnterEndsWithoutSkipping) {
  Fakes[0].onFrame[1] = [] {
    Post(WM_KEYDOWN, VK_ESCAPE);
    Post(WM_KEYDOWN, VK_RETURN);
  };
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0"}));
}

TEST_F(MainLoopTest, EscapeHeldWithEnterAtTheSameChecksEndsWithoutSkipping) {
  // Both keys are down when the iteration checks them (the window procedure saw both during the
  // frame): Escape wins, the skip is not performed and no done runs.
  Fakes[0].onFrame[2] = [] {
    WindowProc(MainWindow, WM_KEYDOWN, VK_RETURN, 0);
    WindowProc(MainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    Post(WM_KEYUP, VK_RETURN);  // so that a wrong skip would not wait forever
  };
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0"}));
}

TEST_F(MainLoopTest, SkipIterationStartsTheNextSceneWithoutCallingItsFrame) {
  // Scene 1's init posts a key. The queue still holds the character message Enter's press was
  // translated into; the skip's iteration pumps that, the next iteration (scene 1's first frame)
  // pumps the key, and scene 1's second frame sees it down. A frame called in the skip's own
  // iteration would come one pump early and see it up.
  Fakes[0].onFrame[1] = [] {
    Post(WM_KEYDOWN, VK_RETURN);
    Post(WM_KEYUP, VK_RETURN);
  };
  Fakes[1].onInit = [] { Post(WM_KEYDOWN, 'A'); };
  Fakes[1].onFrame[2] = [] { Trace.push_back(KeyState['A'] ? "A down" : "A up"); };
  Fakes[1].framesUntilEnd = 2;
  Fakes[2].framesUntilEnd = 1;
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0", "done0", "init1", "frame1", "frame1", "A down", "init2",
                           "frame2", "done2"}));
}

TEST_F(MainLoopTest, ClosingTheWindowEndsAtTheNextPumpWithoutDone) {
  Fakes[0].framesUntilEnd = 1;
  Fakes[1].onFrame[1] = [] { Post(WM_CLOSE); };
  MainLoop();
  // The close is dispatched after frame 1; WM_DESTROY posts the quit, which the next
  // iteration's pump retrieves after frame 2.
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "done0", "init1", "frame1", "frame1"}));
}

TEST_F(MainLoopTest, QuitWhileWaitingForEnterEndsThePresentation) {
  Fakes[0].onFrame[1] = [] {
    Post(WM_KEYDOWN, VK_RETURN);
    Post(WM_KEYDOWN, VK_RETURN);  // auto-repeat, still queued when the skip starts waiting
    PostQuitMessage(0);
  };
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "frame0"}));
}

TEST_F(MainLoopTest, WindowProcedureKeepsKeyState) {
  EXPECT_EQ(WindowProc(MainWindow, WM_KEYDOWN, 'A', 0), 0);
  EXPECT_EQ(KeyState['A'], 1);
  EXPECT_EQ(WindowProc(MainWindow, WM_KEYUP, 'A', 0), 0);
  EXPECT_EQ(KeyState['A'], 0);
  EXPECT_EQ(WindowProc(MainWindow, WM_SETFOCUS, 0, 0), 0);
  EXPECT_EQ(WindowProc(MainWindow, WM_LBUTTONDOWN, 0, 0), 0);
  // A key code past the table is ignored rather than written out of bounds.
  EXPECT_EQ(WindowProc(MainWindow, WM_KEYDOWN, 4096, 0), 0);
}

}  // namespace

namespace {

TEST_F(MainLoopTest, TheFirstRowWithoutInitEndsThePresentation) {
  // Row 2 is empty: the sequence ends there, and row 3 is never reached.
  SceneTable[2] = {};
  SceneTable[3] = {FakeInit<2>, FakeFrame<2>, FakeDone<2>};
  Fakes[0].framesUntilEnd = 1;
  Fakes[1].framesUntilEnd = 2;
  MainLoop();
  EXPECT_EQ(Trace, Expect({"init0", "frame0", "done0", "init1", "frame1", "frame1"}));
}

}  // namespace
