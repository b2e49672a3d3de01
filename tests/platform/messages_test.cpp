// The message queue: posting and filtering, timers that never pile up, translation of key
// presses into characters, window procedures and the per-window data slot.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Messages.h"
#include "platform/Time.h"
#include "platform/Window.h"

using namespace plat;

namespace {
std::vector<UINT> gSeen;
LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  gSeen.push_back(message);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClockSource(&clock);
    WNDCLASSA wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "MessagesTestWindow";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, "MessagesTestWindow", "t", WS_CAPTION, 10, 10, 200, 100, nullptr, nullptr, nullptr,
                           nullptr);
    ASSERT_NE(hwnd, nullptr);
    ResetMessageQueue();
    gSeen.clear();
  }
  void TearDown() override {
    DestroyWindow(hwnd);
    SetClockSource(nullptr);
  }
  std::vector<MSG> Drain() {
    std::vector<MSG> out;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) out.push_back(m);
    return out;
  }
  SimulatedClock clock;
  HWND hwnd = nullptr;
};
}  // namespace

TEST_F(MessagesTest, PostedMessagesComeBackInOrderAndFilterByRange) {
  PostMessageA(hwnd, WM_KEYDOWN, 'A', 0);
  PostMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(-3, 7));
  PostMessageA(hwnd, WM_KEYUP, 'A', 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEWHEEL, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_MOUSEMOVE);
  EXPECT_EQ(GET_X_LPARAM(m.lParam), -3);
  auto all = Drain();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].message, WM_KEYDOWN);
  EXPECT_EQ(all[2].message, WM_KEYUP);
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x1234), WM_NULL, 0, 0));
}

TEST_F(MessagesTest, TimerPostsAtMostOneWaitingMessage) {
  SetTimer(hwnd, 100, 10, nullptr);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  for (int i = 0; i < 5; ++i) {
    clock.Advance(10);
    PeekMessageA(&m, nullptr, WM_NULL, WM_NULL, PM_NOREMOVE);  // pumps without taking the timer
  }
  auto all = Drain();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].message, WM_TIMER);
  EXPECT_EQ(all[0].wParam, 100u);
  clock.Advance(10);
  EXPECT_EQ(Drain().size(), 1u);
  KillTimer(hwnd, 100);
  clock.Advance(50);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(MessagesTest, TranslateTurnsKeysIntoCharacters) {
  struct Case { UINT msg; int vk; UINT expectMsg; WPARAM expectChar; };
  const Case cases[] = {
      {WM_KEYDOWN, VK_RETURN, WM_CHAR, '\r'}, {WM_KEYDOWN, VK_BACK, WM_CHAR, 8}, {WM_KEYDOWN, VK_ESCAPE, WM_CHAR, 27},
      {WM_SYSKEYDOWN, 'R', WM_SYSCHAR, 'r'},  {WM_SYSKEYDOWN, VK_RETURN, WM_SYSCHAR, '\r'},
  };
  for (const auto& c : cases) {
    MSG m;
    m.hwnd = hwnd;
    m.message = c.msg;
    m.wParam = static_cast<WPARAM>(c.vk);
    EXPECT_TRUE(TranslateMessage(&m));
    auto out = Drain();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, c.expectMsg);
    EXPECT_EQ(out[0].wParam, c.expectChar);
  }
  MSG plain;
  plain.hwnd = hwnd;
  plain.message = WM_KEYDOWN;
  plain.wParam = VK_LEFT;
  EXPECT_FALSE(TranslateMessage(&plain));
}

TEST_F(MessagesTest, DispatchReachesTheProcedureAndCloseDestroys) {
  SetWindowLongPtrA(hwnd, GWL_USERDATA, 42);
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWL_USERDATA), 42);
  PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
  for (auto& m : Drain()) DispatchMessageA(&m);
  ASSERT_EQ(gSeen.size(), 1u);
  EXPECT_EQ(gSeen[0], WM_LBUTTONDOWN);
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(hwnd, &p);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 6);

  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_GT(client.right, 0);
  SendMessageA(hwnd, WM_CLOSE, 0, 0);  // default processing destroys the window
  EXPECT_FALSE(IsWindow(hwnd));
  hwnd = CreateWindowExA(0, "MessagesTestWindow", "t", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}
