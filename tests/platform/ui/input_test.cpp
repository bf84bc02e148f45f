// Input routing: mouse messages, double clicks, capture, leave tracking, disabled
// windows, keys and characters, the wheel, the cursor, and the move loop.
#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

POINT ClientPoint(LPARAM lparam) { return POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}; }

class InputTest : public WindowTest {
 protected:
  void TearDown() override {
    // Leave no button or key held for the next test.
    test::KeyUp(VK_SHIFT);
    test::KeyUp(VK_CONTROL);
    test::KeyUp(VK_MENU);
    WindowTest::TearDown();
  }
};

TEST_F(InputTest, MouseMessagesCarryClientCoordinatesAndButtonFlags) {
  HWND hwnd = MakeShown({100, 80, 300, 230});
  Log().clear();
  test::MouseMove(hwnd, {15, 25});
  test::MouseDown(hwnd, {16, 26});
  test::MouseMove(hwnd, {30, 40});
  test::MouseUp(hwnd, {31, 41});
  test::DrainMessages();
  EXPECT_EQ(MessagesOf(hwnd, {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}),
            (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
  auto down = Received(hwnd, WM_LBUTTONDOWN).at(0);
  EXPECT_EQ(ClientPoint(down.lparam), (POINT{16, 26}));
  EXPECT_EQ(down.wparam, MK_LBUTTON);
  auto moves = Received(hwnd, WM_MOUSEMOVE);
  EXPECT_EQ(moves.at(1).wparam, MK_LBUTTON);
  auto up = Received(hwnd, WM_LBUTTONUP).at(0);
  EXPECT_EQ(ClientPoint(up.lparam), (POINT{31, 41}));
  EXPECT_EQ(up.wparam, 0u);
  // WM_SETCURSOR comes first, with the hit test and the mouse message.
  auto cursor = Received(hwnd, WM_SETCURSOR).at(0);
  EXPECT_EQ(LOWORD(static_cast<UINT_PTR>(cursor.lparam)), HTCLIENT);
  EXPECT_EQ(HIWORD(static_cast<UINT_PTR>(cursor.lparam)), WM_MOUSEMOVE);
  EXPECT_EQ(platform::GetCursor(), platform::LoadSystemCursor(kArrowCursorId));  // the class cursor, set by DefWindowProc
  MSG last{};
  last.pt = POINT{};
  EXPECT_EQ(static_cast<int>(static_cast<short>(LOWORD(platform::GetMessagePos()))), 131);
}

TEST_F(InputTest, ASecondClickInTimeAndPlaceIsADoubleClickAndAThirdStartsOver) {
  HWND hwnd = MakeShown();
  Log().clear();
  for (int i = 0; i < 3; ++i) test::Click(hwnd, {20 + i, 20});
  test::Click(hwnd, {60, 60});  // too far from the previous press
  test::DrainMessages();
  EXPECT_EQ(MessagesOf(hwnd, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
}

TEST_F(InputTest, TheCaptureWindowGetsTheMouseWhereverThePointerIs) {
  HWND left = MakeShown({0, 0, 100, 100});
  HWND right = MakeShown({200, 0, 300, 100});
  On(left, [](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_LBUTTONDOWN) platform::SetCapture(h);
    if (message == WM_LBUTTONUP) platform::ReleaseCapture();
    return std::nullopt;
  });
  Log().clear();
  test::MouseDown(left, {10, 10});
  test::MouseMove(right, {50, 50});  // over the other window: still the captor's
  test::MouseUp(right, {50, 50});
  test::MouseMove(right, {51, 50});  // released: the window under the pointer again
  test::DrainMessages();
  auto moves = Received(left, WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(ClientPoint(moves[0].lparam), (POINT{250, 50}));
  EXPECT_EQ(ClientPoint(Received(left, WM_LBUTTONUP).at(0).lparam), (POINT{250, 50}));
  EXPECT_TRUE(Received(right, WM_LBUTTONUP).empty());
  EXPECT_EQ(Received(right, WM_MOUSEMOVE).size(), 1u);
  EXPECT_EQ(Received(left, WM_CAPTURECHANGED).size(), 1u);
  EXPECT_EQ(platform::GetCapture(), nullptr);
}

TEST_F(InputTest, TakingTheCaptureTellsTheWindowThatLosesIt) {
  HWND first = MakeShown({0, 0, 100, 100});
  HWND second = MakeShown({200, 0, 300, 100});
  platform::SetCapture(first);
  Log().clear();
  EXPECT_EQ(platform::SetCapture(second), first);
  auto changed = Received(first, WM_CAPTURECHANGED);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(reinterpret_cast<HWND>(changed[0].lparam), second);
  platform::DestroyWindow(second);
  EXPECT_EQ(platform::GetCapture(), nullptr);
}

TEST_F(InputTest, TheLeaveNotificationComesOnceWhenAsked) {
  HWND hwnd = MakeShown({0, 0, 100, 100});
  HWND other = MakeShown({200, 0, 300, 100});
  On(hwnd, [](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_MOUSEMOVE) {
      TRACKMOUSEEVENT track{};
      track.dwFlags = TME_LEAVE;
      track.hwndTrack = h;
      EXPECT_TRUE(platform::TrackMouseEvent(&track));
    }
    return std::nullopt;
  });
  Log().clear();
  test::MouseMove(hwnd, {10, 10});
  test::MouseMove(hwnd, {20, 10});
  test::DrainMessages();
  EXPECT_TRUE(Received(hwnd, WM_MOUSELEAVE).empty());
  test::MouseMove(other, {10, 10});
  test::DrainMessages();
  EXPECT_EQ(Received(hwnd, WM_MOUSELEAVE).size(), 1u);
  test::MouseMove(hwnd, {10, 10});
  test::MouseLeave(hwnd);  // out of every window of ours
  test::MouseLeave(hwnd);
  test::DrainMessages();
  EXPECT_EQ(Received(hwnd, WM_MOUSELEAVE).size(), 2u);
}

TEST_F(InputTest, ADisabledWindowGetsNoInputAndAClickOnItBringsItsPopupForward) {
  HWND owner = MakeShown({0, 0, 300, 300});
  HWND popup = MakeShown({50, 50, 150, 150}, owner);
  platform::EnableWindow(owner, FALSE);  // as a modal dialog does
  platform::SetActiveWindow(owner);      // refused: it is disabled
  ASSERT_EQ(platform::GetActiveWindow(), popup);
  HWND third = MakeShown({400, 0, 500, 100});
  ASSERT_EQ(platform::GetActiveWindow(), third);
  Log().clear();
  test::MouseMove(owner, {200, 200});
  test::Click(owner, {200, 200});
  test::MouseWheel(owner, {200, 200}, 1);
  test::DrainMessages();
  EXPECT_TRUE(MessagesOf(owner, {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_SETCURSOR, WM_MOUSEACTIVATE}).empty());
  EXPECT_EQ(platform::GetActiveWindow(), popup);
  platform::SetFocus(owner);
  test::KeyPress('A');
  test::DrainMessages();
  EXPECT_TRUE(MessagesOf(owner, {WM_KEYDOWN, WM_CHAR, WM_KEYUP}).empty());
  platform::EnableWindow(owner, TRUE);
  test::Click(owner, {200, 200});
  test::DrainMessages();
  EXPECT_EQ(Received(owner, WM_LBUTTONDOWN).size(), 1u);
}

TEST_F(InputTest, AClickActivatesAnInactiveWindowFirst) {
  HWND first = MakeShown({0, 0, 100, 100});
  HWND second = MakeShown({200, 0, 300, 100});
  ASSERT_EQ(platform::GetActiveWindow(), second);
  Log().clear();
  test::Click(first, {5, 5});
  test::DrainMessages();
  EXPECT_EQ(MessagesOf(first, {WM_MOUSEACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN}),
            (std::vector<UINT>{WM_MOUSEACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN}));
  EXPECT_EQ(LOWORD(Received(first, WM_ACTIVATE).at(0).wparam), WA_CLICKACTIVE);
  EXPECT_EQ(platform::GetActiveWindow(), first);
}

TEST_F(InputTest, KeysBecomeVirtualKeyMessagesAndTranslateIntoCharacters) {
  HWND hwnd = MakeShown();
  ASSERT_EQ(platform::GetFocus(), hwnd);
  Log().clear();
  test::KeyDown(VK_SHIFT);
  test::KeyPress('A');
  test::KeyUp(VK_SHIFT);
  test::KeyPress('B');
  test::KeyPress(VK_RETURN);
  test::KeyPress(VK_LEFT);  // no character
  test::KeyDown(VK_CONTROL);
  test::KeyPress('C');  // Ctrl+C: the control character 3
  test::KeyUp(VK_CONTROL);
  test::DrainMessages();
  std::u16string typed;
  for (const Seen& seen : Received(hwnd, WM_CHAR)) typed += static_cast<char16_t>(seen.wparam);
  EXPECT_EQ(typed, u"Ab\r\x03");
  auto downs = Received(hwnd, WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 7u);
  EXPECT_EQ(downs[0].wparam, static_cast<WPARAM>(VK_SHIFT));
  EXPECT_EQ(downs[1].wparam, static_cast<WPARAM>('A'));
  EXPECT_EQ(downs[4].wparam, static_cast<WPARAM>(VK_LEFT));
  EXPECT_NE(static_cast<DWORD>(downs[4].lparam) & (1u << 24), 0u);  // an extended key
  auto ups = Received(hwnd, WM_KEYUP);
  EXPECT_NE(static_cast<DWORD>(ups.at(0).lparam) & (1u << 31), 0u);
}

TEST_F(InputTest, KeyStatesFollowTheMessagesAsTheyAreRetrieved) {
  HWND hwnd = MakeShown();
  SHORT shift_seen_with_a = 0;
  On(hwnd, [&](HWND, UINT message, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_KEYDOWN && wparam == 'A') shift_seen_with_a = platform::GetKeyState(VK_SHIFT);
    return std::nullopt;
  });
  test::KeyDown(VK_SHIFT);
  test::KeyPress('A');
  test::KeyUp(VK_SHIFT);  // already queued when 'A' is handled
  test::DrainMessages();
  EXPECT_NE(shift_seen_with_a & 0x8000, 0);
  EXPECT_EQ(platform::GetKeyState(VK_SHIFT) & 0x8000, 0);
}

TEST_F(InputTest, AltMakesSystemKeysAndAltF4Closes) {
  HWND hwnd = MakeShown();
  Log().clear();
  test::KeyDown(VK_MENU);
  test::KeyPress('X');
  test::KeyDown(VK_F4);
  test::KeyUp(VK_F4);
  test::KeyUp(VK_MENU);
  test::DrainMessages();
  EXPECT_TRUE(Received(hwnd, WM_KEYDOWN).empty());
  auto sys = Received(hwnd, WM_SYSKEYDOWN);
  ASSERT_GE(sys.size(), 3u);
  EXPECT_EQ(sys[1].wparam, static_cast<WPARAM>('X'));
  EXPECT_NE(static_cast<DWORD>(sys[1].lparam) & (1u << 29), 0u);  // context code: Alt held
  EXPECT_EQ(Received(hwnd, WM_SYSCHAR).at(0).wparam, static_cast<WPARAM>(u'x'));
  EXPECT_EQ(Received(hwnd, WM_CLOSE).size(), 1u);
  EXPECT_FALSE(platform::IsWindow(hwnd));
}

TEST_F(InputTest, CommittedTextArrivesAsCharactersWithoutTranslation) {
  HWND hwnd = MakeShown();
  Log().clear();
  test::TypeText(u"恭喜\U0001F600");
  MSG msg;
  while (platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) platform::DispatchMessageW(&msg);  // no TranslateMessage
  std::u16string typed;
  for (const Seen& seen : Received(hwnd, WM_CHAR)) typed += static_cast<char16_t>(seen.wparam);
  EXPECT_EQ(typed, u"恭喜\U0001F600");

  Log().clear();
  test::KeyPress('Q');  // a key's own character needs TranslateMessage
  while (platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) platform::DispatchMessageW(&msg);
  EXPECT_TRUE(Received(hwnd, WM_CHAR).empty());
}

TEST_F(InputTest, TheWheelGoesToTheFocusWindowInScreenCoordinates) {
  HWND hwnd = MakeShown({100, 80, 300, 230});
  HWND other = MakeShown({400, 80, 500, 230});
  platform::SetActiveWindow(hwnd);
  Log().clear();
  test::MouseWheel(other, {10, 20}, -2);
  test::DrainMessages();
  auto wheel = Received(hwnd, WM_MOUSEWHEEL);
  ASSERT_EQ(wheel.size(), 1u);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].wparam), -240);
  EXPECT_EQ(ClientPoint(wheel[0].lparam), (POINT{410, 100}));
}

TEST_F(InputTest, DragByTheCaptionMovesTheWindowUntilTheButtonIsReleased) {
  HWND hwnd = MakeShown({100, 100, 300, 200});
  bool button_up_after_loop = false;
  On(hwnd, [&](HWND h, UINT message, WPARAM wparam, LPARAM lparam) -> std::optional<LRESULT> {
    if (message == WM_LBUTTONDOWN) {
      // What a caption element does: the move loop, then a button-up of its own.
      platform::SendMessageW(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
      button_up_after_loop = (platform::GetKeyState(VK_LBUTTON) & 0x8000) == 0;
      platform::PostMessageW(h, WM_LBUTTONUP, wparam, lparam);
      return 0;
    }
    return std::nullopt;
  });
  Log().clear();
  // The whole gesture is queued before the loop starts; the loop reads it as it comes.
  test::MouseDown(hwnd, {10, 10});
  test::MouseMoveScreen(hwnd, POINT{150, 130});
  test::MouseMoveScreen(hwnd, POINT{180, 160});
  test::MouseUpScreen(hwnd, POINT{190, 170});
  test::MouseMoveScreen(hwnd, POINT{300, 300});  // after the release: an ordinary move
  test::DrainMessages();
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{180, 160, 380, 260}));  // followed the pointer by (+80, +60)
  EXPECT_TRUE(button_up_after_loop);
  EXPECT_EQ(MessagesOf(hwnd, {WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}),
            (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
  EXPECT_EQ(Received(hwnd, WM_LBUTTONUP).size(), 1u);  // only the caption's own
  EXPECT_FALSE(Received(hwnd, WM_MOVE).empty());
  EXPECT_EQ(platform::GetCapture(), nullptr);
}

TEST_F(InputTest, EscapeInTheMoveLoopPutsTheWindowBack) {
  HWND hwnd = MakeShown({100, 100, 300, 200});
  On(hwnd, [&](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_LBUTTONDOWN) {
      platform::SendMessageW(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
      return 0;
    }
    return std::nullopt;
  });
  test::MouseDown(hwnd, {10, 10});
  test::MouseMoveScreen(hwnd, POINT{150, 130});
  test::KeyPress(VK_ESCAPE);
  test::MouseUpScreen(hwnd, POINT{150, 130});
  test::DrainMessages();
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{100, 100, 300, 200}));
}

TEST_F(InputTest, AHitTestOfTheCaptionLetsThePlatformMoveTheWindow) {
  HWND hwnd = MakeShown({100, 100, 300, 200});
  On(hwnd, [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_NCHITTEST) return HTCAPTION;
    return std::nullopt;
  });
  Log().clear();
  test::MouseDown(hwnd, {10, 10});
  test::MouseMoveScreen(hwnd, POINT{120, 115});
  test::MouseUpScreen(hwnd, POINT{120, 115});
  test::DrainMessages();
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{110, 105, 310, 205}));
  EXPECT_EQ(Received(hwnd, WM_NCLBUTTONDOWN).at(0).wparam, static_cast<WPARAM>(HTCAPTION));
}

TEST_F(InputTest, CursorsAreSetByWindowsAndHiddenByNull) {
  HWND hwnd = MakeShown();
  HCURSOR hand = platform::LoadSystemCursor(kHandCursorId);
  On(hwnd, [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_SETCURSOR) {
      platform::SetCursor(hand);
      return TRUE;
    }
    return std::nullopt;
  });
  test::MouseMove(hwnd, {10, 10});
  test::DrainMessages();
  EXPECT_EQ(platform::GetCursor(), hand);
  std::vector<std::uint32_t> pixels(32 * 32, 0xFF00FF00u);
  HCURSOR custom = platform::CreateIconFromPixels(32, 32, pixels, true, POINT{3, 4});
  EXPECT_EQ(platform::SetCursor(custom), hand);
  EXPECT_EQ(platform::SetCursor(nullptr), custom);
  platform::DestroyIcon(custom);
  EXPECT_EQ(platform::GetCursor(), nullptr);
}

}  // namespace
}  // namespace window_test
