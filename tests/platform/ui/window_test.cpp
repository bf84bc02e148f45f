// Windows: creation and destruction order, attributes, showing, placing, minimising,
// maximising, activation and focus.
#include "platform/ui/monitor.h"
#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

class WindowLifeTest : public WindowTest {};

TEST_F(WindowLifeTest, CreationSendsItsMessagesInOrderWithTheCreationParameter) {
  static void* create_param = nullptr;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpszClassName = AsWideText(u"ParamWindow");
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == WM_CREATE) create_param = reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams;
    return RecordingProc(hwnd, message, wparam, lparam);
  };
  platform::RegisterClassExW(&wc);
  int tag = 0;
  HWND hwnd = platform::CreateWindowExW(WS_EX_TOOLWINDOW, AsU16Text(wc.lpszClassName), u"标题", WS_POPUP, 10, 20, 200, 100,
                                        nullptr, nullptr, nullptr, &tag);
  ASSERT_NE(hwnd, nullptr);
  made_.push_back(hwnd);
  EXPECT_EQ(MessagesOf(hwnd), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
  EXPECT_EQ(create_param, &tag);
  EXPECT_EQ(platform::GetWindowTextString(hwnd), u"标题");
  EXPECT_EQ(platform::GetWindowLongPtrW(hwnd, GWL_EXSTYLE), static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
  EXPECT_FALSE(platform::IsWindowVisible(hwnd));
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{10, 20, 210, 120}));
  char16_t name[32];
  EXPECT_EQ(platform::GetClassNameW(hwnd, name, 32), 11);
  EXPECT_EQ(std::u16string(name), u"ParamWindow");
}

TEST_F(WindowLifeTest, CreationFailsCleanlyWhenRefused) {
  EXPECT_EQ(Make(WS_POPUP, 0, {0, 0, 10, 10}, reinterpret_cast<HWND>(std::intptr_t{0x5555})), nullptr);
  EXPECT_EQ(platform::CreateWindowExW(0, u"NoSuchClass", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                      nullptr),
            nullptr);
  // WM_CREATE answering -1: the window is destroyed again and no handle comes back.
  static HWND refused = nullptr;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpszClassName = AsWideText(u"RefusingWindow");
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == WM_CREATE) {
      refused = hwnd;
      return -1;
    }
    return RecordingProc(hwnd, message, wparam, lparam);
  };
  platform::RegisterClassExW(&wc);
  EXPECT_EQ(platform::CreateWindowExW(0, AsU16Text(wc.lpszClassName), u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                      nullptr),
            nullptr);
  EXPECT_FALSE(platform::IsWindow(refused));
  EXPECT_EQ(MessagesOf(refused, {WM_DESTROY, WM_NCDESTROY}), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowLifeTest, DestructionReachesOwnedWindowsChildrenAndParentsInThePlatformsOrder) {
  HWND owner = Make();
  HWND owned = Make(WS_POPUP, 0, {0, 0, 50, 50}, owner);
  HWND child = Make(WS_CHILD | WS_VISIBLE, 0, {5, 5, 20, 20}, owner);
  ASSERT_EQ(platform::GetWindow(owned, GW_OWNER), owner);
  ASSERT_EQ(platform::GetParent(child), owner);
  bool still_valid_in_ncdestroy = false;
  LRESULT answer_in_ncdestroy = 0;
  On(owner, [&](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_NCDESTROY) {
      still_valid_in_ncdestroy = platform::IsWindow(h) != FALSE;
      answer_in_ncdestroy = platform::SendMessageW(h, WM_USER + 9, 0, 0);  // still delivered
    }
    if (message == WM_USER + 9) return 77;
    return std::nullopt;
  });
  Log().clear();
  EXPECT_TRUE(platform::DestroyWindow(owner));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& seen : Log()) {
    if (seen.message == WM_DESTROY || seen.message == WM_NCDESTROY) order.emplace_back(seen.hwnd, seen.message);
  }
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{owned, WM_DESTROY},
                                                       {owned, WM_NCDESTROY},
                                                       {owner, WM_DESTROY},
                                                       {child, WM_DESTROY},
                                                       {child, WM_NCDESTROY},
                                                       {owner, WM_NCDESTROY}}));
  EXPECT_TRUE(still_valid_in_ncdestroy);
  EXPECT_EQ(answer_in_ncdestroy, 77);
  EXPECT_FALSE(platform::IsWindow(owner));
  EXPECT_FALSE(platform::IsWindow(owned));
  EXPECT_FALSE(platform::IsWindow(child));
  EXPECT_FALSE(platform::DestroyWindow(owner));
}

TEST_F(WindowLifeTest, AWindowMayDestroyItselfFromItsOwnHandler) {
  HWND hwnd = MakeShown();
  On(hwnd, [](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_LBUTTONDOWN) {
      EXPECT_TRUE(platform::DestroyWindow(h));
      EXPECT_FALSE(platform::DestroyWindow(h));  // a second request while it is gone changes nothing
      return 0;
    }
    if (message == WM_DESTROY) {
      EXPECT_FALSE(platform::DestroyWindow(h));  // already on its way
    }
    return std::nullopt;
  });
  test::MouseDown(hwnd, {10, 10});
  test::MouseUp(hwnd, {10, 10});
  platform::PostMessageW(hwnd, WM_USER, 0, 0);
  test::DrainMessages();
  EXPECT_FALSE(platform::IsWindow(hwnd));
  EXPECT_EQ(MessagesOf(hwnd, {WM_NCDESTROY}).size(), 1u);
  EXPECT_TRUE(Received(hwnd, WM_LBUTTONUP).empty());
}

TEST_F(WindowLifeTest, TextUserDataStylesAndProceduresCanBeChanged) {
  HWND hwnd = Make();
  EXPECT_TRUE(platform::SetWindowTextW(hwnd, u"网络不给力"));
  char16_t buffer[4];
  EXPECT_EQ(platform::GetWindowTextW(hwnd, buffer, 4), 3);  // cut to the buffer, always terminated
  EXPECT_EQ(std::u16string(buffer), u"网络不");
  EXPECT_EQ(platform::GetWindowTextLengthW(hwnd), 5);

  EXPECT_EQ(platform::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(platform::GetWindowLongPtrW(hwnd, GWLP_USERDATA), 1234);

  Log().clear();
  LONG_PTR old = platform::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP | WS_MINIMIZEBOX | WS_VISIBLE));
  EXPECT_EQ(old, static_cast<LONG_PTR>(WS_POPUP));
  EXPECT_EQ(MessagesOf(hwnd), (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));
  // The state bits stay as ShowWindow and EnableWindow set them.
  EXPECT_EQ(platform::GetWindowLongPtrW(hwnd, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP | WS_MINIMIZEBOX));
  EXPECT_FALSE(platform::IsWindowVisible(hwnd));

  static int subclassed = 0;
  auto previous = reinterpret_cast<WNDPROC>(platform::SetWindowLongPtrW(
      hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 3) ++subclassed;
        return RecordingProc(h, m, w, l);
      })));
  EXPECT_EQ(previous, RecordingProc);
  platform::SendMessageW(hwnd, WM_USER + 3, 0, 0);
  EXPECT_EQ(subclassed, 1);
}

TEST_F(WindowLifeTest, IconsAreKeptPerSizeAndTheOldOneIsHandedBack) {
  HWND hwnd = Make();
  std::vector<std::uint32_t> pixels(16 * 16, 0xFF336699u);
  HICON small = platform::CreateIconFromPixels(16, 16, pixels);
  std::vector<std::uint32_t> big_pixels(32 * 32, 0x80000080u);
  HICON big = platform::CreateIconFromPixels(32, 32, big_pixels);
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small)), 0);
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)), 0);
  EXPECT_EQ(reinterpret_cast<HICON>(platform::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0)), small);
  EXPECT_EQ(reinterpret_cast<HICON>(platform::SendMessageW(hwnd, WM_SETICON, ICON_BIG, 0)), big);
  // The screen keeps its own copy: the caller may destroy an icon once it is replaced.
  platform::DestroyIcon(big);
  EXPECT_EQ(reinterpret_cast<HICON>(platform::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)), nullptr);
  platform::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, 0);
  platform::DestroyIcon(small);
}

TEST_F(WindowLifeTest, PlacingAWindowReportsMoveAndSizeInClientTerms) {
  HWND hwnd = Make();
  Log().clear();
  EXPECT_TRUE(platform::SetWindowPos(hwnd, nullptr, 40, 50, 321, 123, SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_EQ(MessagesOf(hwnd), (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
  auto size = Received(hwnd, WM_SIZE).at(0);
  EXPECT_EQ(size.wparam, SIZE_RESTORED);
  EXPECT_EQ(LOWORD(static_cast<UINT_PTR>(size.lparam)), 321);
  EXPECT_EQ(HIWORD(static_cast<UINT_PTR>(size.lparam)), 123);
  RECT client{};
  platform::GetClientRect(hwnd, &client);
  EXPECT_EQ(client, (RECT{0, 0, 321, 123}));
  POINT p{5, 6};
  platform::ClientToScreen(hwnd, &p);
  EXPECT_EQ(p, (POINT{45, 56}));
  platform::ScreenToClient(hwnd, &p);
  EXPECT_EQ(p, (POINT{5, 6}));

  Log().clear();
  platform::SetWindowPos(hwnd, nullptr, 40, 50, 321, 123, SWP_NOZORDER | SWP_NOACTIVATE);  // no change: no WM_SIZE
  EXPECT_TRUE(Received(hwnd, WM_SIZE).empty());
  // A handler of WM_WINDOWPOSCHANGING may change the placement.
  On(hwnd, [](HWND, UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
    if (message == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(lparam)->cx = 99;
    return std::nullopt;
  });
  platform::MoveWindow(hwnd, 0, 0, 500, 500, TRUE);
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{0, 0, 99, 500}));
}

TEST_F(WindowLifeTest, ChildWindowsLiveInTheirParentsClientCoordinates) {
  HWND parent = Make(WS_POPUP, 0, {100, 100, 400, 300});
  HWND child = Make(WS_CHILD | WS_VISIBLE, 0, {10, 20, 60, 70}, parent);
  RECT rect{};
  platform::GetWindowRect(child, &rect);
  EXPECT_EQ(rect, (RECT{110, 120, 160, 170}));
  EXPECT_TRUE(platform::IsChild(parent, child));
  EXPECT_EQ(platform::GetAncestor(child, GA_ROOT), parent);
  EXPECT_FALSE(platform::IsWindowVisible(child));  // its parent is hidden
  platform::ShowWindow(parent, SW_SHOWNA);
  EXPECT_TRUE(platform::IsWindowVisible(child));
  EXPECT_EQ(platform::WindowFromPoint(POINT{115, 125}), child);
  EXPECT_EQ(platform::WindowFromPoint(POINT{300, 250}), parent);
}

TEST_F(WindowLifeTest, MinimisingRestoringAndMaximisingFollowThePlatform) {
  HWND hwnd = MakeShown({100, 100, 300, 200});
  MONITORINFO monitor;
  ASSERT_TRUE(platform::GetMonitorInfoW(platform::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
  On(hwnd, [](HWND, UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
    if (message == WM_GETMINMAXINFO) {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMaxPosition = {-3, -4};  // beyond the work area, as a host's maxInset asks
      limits->ptMaxSize.x += 6;
    }
    return std::nullopt;
  });
  Log().clear();
  platform::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(platform::IsIconic(hwnd));
  auto size = Received(hwnd, WM_SIZE);
  ASSERT_EQ(size.size(), 1u);
  EXPECT_EQ(size[0].wparam, SIZE_MINIMIZED);
  EXPECT_NE(platform::GetActiveWindow(), hwnd);

  platform::ShowWindow(hwnd, SW_RESTORE);
  EXPECT_FALSE(platform::IsIconic(hwnd));
  EXPECT_EQ(platform::GetActiveWindow(), hwnd);

  platform::ShowWindow(hwnd, SW_MAXIMIZE);
  EXPECT_TRUE(platform::IsZoomed(hwnd));
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  const RECT& work = monitor.rcWork;
  EXPECT_EQ(rect, (RECT{monitor.rcMonitor.left - 3, monitor.rcMonitor.top - 4,
                        monitor.rcMonitor.left - 3 + (work.right - work.left) + 6,
                        monitor.rcMonitor.top - 4 + (work.bottom - work.top)}));
  EXPECT_EQ(Received(hwnd, WM_SIZE).back().wparam, SIZE_MAXIMIZED);
  platform::ShowWindow(hwnd, SW_RESTORE);
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{100, 100, 300, 200}));
}

TEST_F(WindowLifeTest, TheWorkAreaOfTheNearestMonitorLiesWithinItsBounds) {
  HWND hwnd = Make(WS_POPUP, 0, {-5000, -5000, -4900, -4900});  // off every screen
  MONITORINFO info;
  ASSERT_TRUE(platform::GetMonitorInfoW(platform::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info));
  EXPECT_EQ(platform::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_LT(info.rcWork.left, info.rcWork.right);
  EXPECT_GE(info.rcWork.left, info.rcMonitor.left);
  EXPECT_LE(info.rcWork.bottom, info.rcMonitor.bottom);
  EXPECT_EQ(platform::GetDpiForSystem(), 96u);
  RECT desktop{};
  EXPECT_TRUE(platform::GetWindowRect(platform::GetDesktopWindow(), &desktop));
  EXPECT_EQ(desktop, info.rcMonitor);
}

class ActivationTest : public WindowTest {};

TEST_F(ActivationTest, ActivationMovesWithItsMessagesAndTheFocusFollows) {
  HWND first = MakeShown({0, 0, 100, 100});
  ASSERT_EQ(platform::GetActiveWindow(), first);
  EXPECT_EQ(platform::GetFocus(), first);  // DefWindowProc gives the activated window the focus
  HWND second = Make(WS_POPUP, 0, {200, 0, 300, 100});
  Log().clear();
  platform::ShowWindow(second, SW_SHOW);
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& seen : Log()) {
    if (seen.message == WM_ACTIVATE || seen.message == WM_NCACTIVATE || seen.message == WM_SETFOCUS ||
        seen.message == WM_KILLFOCUS || seen.message == WM_ACTIVATEAPP) {
      order.emplace_back(seen.hwnd, seen.message);
    }
  }
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{first, WM_NCACTIVATE},
                                                       {first, WM_ACTIVATE},
                                                       {second, WM_NCACTIVATE},
                                                       {second, WM_ACTIVATE},
                                                       {first, WM_KILLFOCUS},
                                                       {second, WM_SETFOCUS}}));
  auto activate = Received(second, WM_ACTIVATE).at(0);
  EXPECT_EQ(LOWORD(activate.wparam), WA_ACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(activate.lparam), first);
  EXPECT_EQ(LOWORD(Received(first, WM_ACTIVATE).at(0).wparam), WA_INACTIVE);

  // Hiding the active window passes the activation on; SW_SHOWNA takes none.
  platform::ShowWindow(second, SW_HIDE);
  EXPECT_EQ(platform::GetActiveWindow(), first);
  platform::ShowWindow(second, SW_SHOWNA);
  EXPECT_EQ(platform::GetActiveWindow(), first);
}

TEST_F(ActivationTest, TheApplicationLosesAndRegainsActivationAsAWhole) {
  HWND hwnd = MakeShown();
  ASSERT_EQ(platform::GetActiveWindow(), hwnd);
  Log().clear();
  platform::SetActiveWindow(nullptr);
  EXPECT_EQ(platform::GetFocus(), nullptr);
  EXPECT_EQ(MessagesOf(hwnd, {WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}),
            (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}));
  EXPECT_EQ(Received(hwnd, WM_ACTIVATEAPP).at(0).wparam, static_cast<WPARAM>(FALSE));
  Log().clear();
  platform::SetActiveWindow(hwnd);
  EXPECT_EQ(Received(hwnd, WM_ACTIVATEAPP).at(0).wparam, static_cast<WPARAM>(TRUE));
  EXPECT_EQ(platform::GetFocus(), hwnd);
}

TEST_F(ActivationTest, DisabledWindowsAreNotActivatedAndLoseTheFocus) {
  HWND owner = MakeShown({0, 0, 200, 200});
  HWND child = Make(WS_CHILD | WS_VISIBLE, 0, {10, 10, 50, 50}, owner);
  platform::SetFocus(child);
  ASSERT_EQ(platform::GetFocus(), child);
  Log().clear();
  EXPECT_FALSE(platform::EnableWindow(owner, FALSE));
  EXPECT_EQ(platform::GetFocus(), nullptr);
  EXPECT_EQ(Received(owner, WM_ENABLE).at(0).wparam, static_cast<WPARAM>(FALSE));
  EXPECT_FALSE(platform::IsWindowEnabled(owner));
  HWND other = MakeShown({300, 0, 400, 100});
  ASSERT_EQ(platform::GetActiveWindow(), other);
  EXPECT_EQ(platform::SetActiveWindow(owner), nullptr);
  EXPECT_EQ(platform::GetActiveWindow(), other);
  EXPECT_TRUE(platform::EnableWindow(owner, TRUE));
  EXPECT_TRUE(platform::IsWindowEnabled(owner));
}

TEST_F(ActivationTest, DestroyingTheActiveWindowActivatesItsOwner) {
  HWND owner = MakeShown({0, 0, 200, 200});
  HWND popup = MakeShown({50, 50, 150, 150}, owner);
  ASSERT_EQ(platform::GetActiveWindow(), popup);
  platform::DestroyWindow(popup);
  EXPECT_EQ(platform::GetActiveWindow(), owner);
  EXPECT_EQ(platform::GetFocus(), owner);
}

}  // namespace
}  // namespace window_test
