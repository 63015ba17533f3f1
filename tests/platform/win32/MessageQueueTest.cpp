// The message queue as the program's loop sees it: scripted input released by the frame clock,
// closing and quitting, Windows' retrieval order, and windows without a display.
#include <gtest/gtest.h>

#include <chrono>

#include "Win32TestSupport.h"

namespace {

using win32test::CreateTestWindow;
using win32test::Log;
using win32test::PumpAll;
using win32test::Received;
using win32test::ResetWin32;

std::vector<UINT> Messages(const std::vector<Received>& log) {
  std::vector<UINT> messages;
  for (const Received& entry : log) messages.push_back(entry.message);
  return messages;
}

TEST(HeadlessWindow, CreationGivesAValidHandleAndTheUsualMessages) {
  ResetWin32(nullptr);
  const HWND window = CreateTestWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(Messages(Log), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));

  Log.clear();
  EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT)) << "was hidden";
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_EQ(Messages(Log), (std::vector<UINT>{WM_SHOWWINDOW, WM_SETFOCUS, WM_PAINT}));
  EXPECT_TRUE(ShowWindow(window, SW_SHOW)) << "was visible";

  const HWND second = CreateTestWindow();
  EXPECT_NE(second, nullptr);
  EXPECT_NE(second, window);
}

TEST(HeadlessWindow, BadClassesAndRefusedCreationFail) {
  ResetWin32(nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = win32test::RecordingProc;
  windowClass.lpszClassName = "Once";
  EXPECT_NE(RegisterClassExA(&windowClass), 0);
  EXPECT_EQ(RegisterClassExA(&windowClass), 0) << "already registered";
  windowClass.lpszClassName = "ONCE";
  EXPECT_EQ(RegisterClassExA(&windowClass), 0) << "class names ignore case";
  windowClass.lpszClassName = "Other";
  windowClass.cbSize = 0;
  EXPECT_EQ(RegisterClassExA(&windowClass), 0);
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassExA(&windowClass), 0);
  EXPECT_EQ(RegisterClassExA(nullptr), 0);

  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(CreateWindowExA(0, nullptr, "x", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr), nullptr);

  windowClass.lpszClassName = "Refuses";
  windowClass.lpfnWndProc = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    return message == WM_CREATE ? -1 : (message == WM_NCCREATE ? 1 : 0);
  };
  ASSERT_NE(RegisterClassExA(&windowClass), 0);
  EXPECT_EQ(CreateWindowExA(0, "Refuses", "x", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(HeadlessWindow, StaleHandlesStayInvalid) {
  ResetWin32(nullptr);
  const HWND window = CreateTestWindow();
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
  const HWND next = CreateTestWindow();
  EXPECT_NE(next, window) << "handles are not reused";
}

TEST(ScriptedInput, EventsArriveOnceTheFrameClockReachesTheirFrame) {
  ResetWin32("2:down:13,3:up:13,3:down:27");
  const HWND window = CreateTestWindow();
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  platform::AdvanceFrame();
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "frame 1: nothing due yet";

  platform::AdvanceFrame();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, 13u);
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the release is due at frame 3";

  platform::AdvanceFrame();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(msg.wParam, 13u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(msg.wParam, 27u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(ScriptedInput, EventsLongOverdueAllArriveInOrderAndMalformedOnesAreSkipped) {
  ResetWin32("1:down:65,junk,1:up:65,9:down:66");
  CreateTestWindow();
  for (int i = 0; i < 10; ++i) platform::AdvanceFrame();
  testing::internal::CaptureStderr();
  MSG msg;
  std::vector<WPARAM> keys;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) keys.push_back(msg.wParam);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(keys, (std::vector<WPARAM>{65, 65, 66}));
  EXPECT_EQ(errors.rfind("win32: ", 0), 0u) << errors;
  EXPECT_NE(errors.find("junk"), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST(ClosingAndQuitting, CloseDestroysTheWindowThenTheQuitMessageFollows) {
  ResetWin32("1:close");
  const HWND window = CreateTestWindow();
  platform::AdvanceFrame();
  Log.clear();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(msg.hwnd, window);
  DispatchMessageA(&msg);
  EXPECT_EQ(Log, (std::vector<Received>{{WM_CLOSE, 0, window}, {WM_DESTROY, 0, window}, {WM_NCDESTROY, 0, window}}));
  EXPECT_FALSE(IsWindow(window));

  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u) << "the code given to PostQuitMessage";
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "one quit message only";
}

TEST(ClosingAndQuitting, AltF4ClosesThroughDefWindowProc) {
  ResetWin32("1:down:18,1:down:115,1:up:115,1:up:18");
  const HWND window = CreateTestWindow();
  platform::AdvanceFrame();
  Log.clear();
  bool sawQuit = false;
  const std::vector<UINT> retrieved = PumpAll(&sawQuit);
  EXPECT_TRUE(sawQuit);
  EXPECT_EQ(retrieved, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_QUIT}))
      << "the destroyed window's pending key releases are flushed";
  EXPECT_EQ(Messages(Log), (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY,
                                              WM_NCDESTROY}));
  EXPECT_EQ(Log[1].wParam, static_cast<WPARAM>(VK_F4));
  EXPECT_EQ(Log[2].wParam, static_cast<WPARAM>(SC_CLOSE));
  EXPECT_FALSE(IsWindow(window));
}

TEST(ClosingAndQuitting, SdlQuitWithoutVideoClosesTheHeadlessWindow) {
  // Sound on SDL starts SDL's events, and with them Ctrl+C arrives as SDL_QUIT.
  ResetWin32(nullptr);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
  const HWND window = CreateTestWindow();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  bool sawQuit = false;
  EXPECT_EQ(PumpAll(&sawQuit), (std::vector<UINT>{WM_CLOSE, WM_QUIT}));
  EXPECT_FALSE(IsWindow(window));
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST(ClosingAndQuitting, F4WithoutAltAndEscapeDoNotClose) {
  ResetWin32("1:down:115,1:up:115,1:down:27,1:up:27");
  const HWND window = CreateTestWindow();
  platform::AdvanceFrame();
  bool sawQuit = false;
  PumpAll(&sawQuit);
  EXPECT_FALSE(sawQuit);
  EXPECT_TRUE(IsWindow(window));
}

TEST(ClosingAndQuitting, QuitComesAfterPostedMessagesButBeforeInput) {
  ResetWin32("0:down:13");
  const HWND window = CreateTestWindow();
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 0, 0)) << "a thread message";
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 3, 0, 0));

  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
      << "the quit message ignores the range filter";
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));

  std::vector<UINT> order;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) order.push_back(msg.message);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_QUIT, WM_KEYDOWN}));
}

TEST(ClosingAndQuitting, PeekWithoutRemovingLeavesTheMessageAndFiltersSelect) {
  ResetWin32(nullptr);
  const HWND window = CreateTestWindow();
  const HWND other = CreateTestWindow();
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(other, WM_USER + 5, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, other, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 9, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST(ClosingAndQuitting, TranslatedCharactersComeBeforeTheNextKey) {
  ResetWin32("1:down:13,1:up:13");
  CreateTestWindow();
  platform::AdvanceFrame();
  EXPECT_EQ(PumpAll(), (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
  const auto chars = std::count_if(Log.begin(), Log.end(), [](const Received& r) {
    return r.message == WM_CHAR && r.wParam == '\r';
  });
  EXPECT_EQ(chars, 1);
}

TEST(Kernel, SleepReallySleepsAndTheConsoleTitleIsCutToTheBuffer) {
  const auto start = std::chrono::steady_clock::now();
  Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

  ASSERT_TRUE(SetConsoleTitleA("Some title"));
  char small[5];
  EXPECT_EQ(GetConsoleTitleA(small, sizeof small), 4u);
  EXPECT_STREQ(small, "Some");
}

}  // namespace
