// The window layer on a real X server (Xvfb): real pointer and keyboard events through
// SDL, the display's wait woken by other threads and by timers, windows placed on the
// server.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/platform/ui/window_fixture.h"
#include "tests/support/command_output.h"

namespace window_test {
namespace {

using namespace platform;

class XvfbTest : public XServerTest {
 protected:
  // Runs an xdotool command and waits until its input has reached a window.
  static void Xdotool(const std::string& arguments) { ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0); }
};

TEST_F(XvfbTest, RealPointerEventsArriveInClientCoordinates) {
  HWND hwnd = MakeShown({100, 100, 300, 250});
  ASSERT_TRUE(test::PumpUntil([&] { return test::PresentCount(hwnd) > 0; }));
  Log().clear();
  Xdotool("mousemove 150 160 click 1");
  ASSERT_TRUE(test::PumpUntil([&] { return !Received(hwnd, WM_LBUTTONUP).empty(); }));
  auto down = Received(hwnd, WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(down[0].lparam), 50);
  EXPECT_EQ(GET_Y_LPARAM(down[0].lparam), 60);
  POINT cursor{};
  platform::GetCursorPos(&cursor);
  EXPECT_EQ(cursor, (POINT{150, 160}));
}

TEST_F(XvfbTest, RealKeysBecomeKeyMessagesAndCharacters) {
  HWND hwnd = MakeShown({100, 100, 300, 250});
  Xdotool("mousemove 150 160");  // Xvfb without a window manager: the keyboard follows the pointer
  test::PumpUntil([&] { return !Received(hwnd, WM_MOUSEMOVE).empty(); });
  Log().clear();
  Xdotool("type --delay 5 'a1;'");
  Xdotool("key Return");
  ASSERT_TRUE(test::PumpUntil([&] { return Received(hwnd, WM_CHAR).size() >= 4; }));
  std::u16string typed;
  for (const Seen& seen : Received(hwnd, WM_CHAR)) typed += static_cast<char16_t>(seen.wparam);
  EXPECT_EQ(typed, u"a1;\r");
  auto downs = Received(hwnd, WM_KEYDOWN);
  ASSERT_GE(downs.size(), 4u);
  EXPECT_EQ(downs[0].wparam, static_cast<WPARAM>('A'));
  EXPECT_EQ(downs[2].wparam, static_cast<WPARAM>(VK_OEM_1));
  EXPECT_EQ(downs[3].wparam, static_cast<WPARAM>(VK_RETURN));
}

TEST_F(XvfbTest, DraggingByTheCaptionMovesTheWindowOnTheServer) {
  HWND hwnd = MakeShown({100, 100, 300, 250});
  platform::SetWindowTextW(hwnd, u"xvfb-drag-test");
  On(hwnd, [](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_LBUTTONDOWN) {
      platform::SendMessageW(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
      return 0;
    }
    return std::nullopt;
  });
  Xdotool("mousemove 110 110");
  test::PumpUntil([&] { return !Received(hwnd, WM_MOUSEMOVE).empty(); });
  std::thread gesture([] {
    // The move loop runs inside the handler of the press: the rest of the gesture
    // comes from the server while it runs.
    std::system("xdotool mousedown 1 sleep 0.1 mousemove 160 140 sleep 0.1 mousemove 210 170 sleep 0.1 mouseup 1");
  });
  bool moved = test::PumpUntil([&] {
    RECT rect{};
    platform::GetWindowRect(hwnd, &rect);
    return rect.left == 200 && rect.top == 160 && (platform::GetKeyState(VK_LBUTTON) & 0x8000) == 0;
  });
  gesture.join();
  test::DrainMessages();
  EXPECT_TRUE(moved);
  std::string geometry = krdn::testing::CommandOutput("xdotool search --name xvfb-drag-test getwindowgeometry");
  EXPECT_NE(geometry.find("Position: 200,160"), std::string::npos) << geometry;
}

TEST_F(XvfbTest, TheDisplayWaitWakesForSendsPostsAndTimers) {
  HWND hwnd = MakeShown();
  On(hwnd, [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_USER) return 7;
    return std::nullopt;
  });
  std::atomic<LRESULT> answer{0};
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // this thread is waiting in SDL by then
    answer = platform::SendMessageW(hwnd, WM_USER, 0, 0);
    platform::PostMessageW(hwnd, WM_USER + 1, 0, 0);
  });
  MSG msg;
  ASSERT_TRUE(platform::GetMessageW(&msg, hwnd, WM_USER + 1, WM_USER + 1));  // waits: no timer runs meanwhile
  worker.join();
  EXPECT_EQ(answer.load(), 7);
  platform::SetTimer(hwnd, 3, 30, nullptr);
  ASSERT_TRUE(platform::GetMessageW(&msg, hwnd, WM_TIMER, WM_TIMER));
  EXPECT_EQ(msg.wParam, 3u);
  platform::KillTimer(hwnd, 3);
}

TEST_F(XvfbTest, WhatIsPaintedReachesTheWindowOnTheServer) {
  HWND hwnd = Make(WS_POPUP, 0, {50, 50, 130, 110});
  On(hwnd, [](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    HDC hdc = platform::BeginPaint(h, &ps);
    std::vector<std::uint32_t> green(80 * 60, 0xFF00FF00u);
    platform::BlitToDC(hdc, 0, 0, 80, 60, green.data(), 80);
    platform::EndPaint(h, &ps);
    return 0;
  });
  platform::ShowWindow(hwnd, SW_SHOW);
  test::DrainMessages();
  test::Frame frame = test::CapturePresented(hwnd);
  ASSERT_EQ(frame.width, 80);
  EXPECT_EQ(frame.At(40, 30), 0xFF00FF00u);
}

}  // namespace
}  // namespace window_test
