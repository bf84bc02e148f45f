// Binding native windows to objects: the first message, message maps with chaining and
// the handled flag, the end of the binding after WM_NCDESTROY, subclassing, centring,
// style changes and the reflection of child notifications.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "core/simple_wnd.h"
#include "platform/ui/monitor.h"
#include "platform/testing/test_input.h"
#include "platform/base/wide_text.h"
#include "platform/ui/windowing.h"

namespace LOOM {
namespace {

// Records every message, answers what a test scripts for a message.
class Recorder : public CSimpleWnd {
 public:
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override {
    seen.push_back(msg);
    handles_seen.push_back(NativeHandle());
    auto it = scripts.find(msg);
    if (it != scripts.end()) return RunHandler(result, [&] { return it->second(hwnd, wp, lp); });
    return CSimpleWnd::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
  }
  int Count(UINT msg) const { return static_cast<int>(std::count(seen.begin(), seen.end(), msg)); }

  std::map<UINT, std::function<LRESULT(HWND, WPARAM, LPARAM)>> scripts;
  std::vector<UINT> seen;
  std::vector<HWND> handles_seen;
  int final_messages = 0;

 protected:
  void OnFinalMessage(HWND) override { ++final_messages; }
};

// A base map that handles WM_USER+1 and a derived one that handles WM_USER+2 itself,
// lets WM_SETTEXT go on to the default procedure and chains the rest.
class BaseWnd : public CSimpleWnd {
 public:
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override {
    if (map_id != 0) return FALSE;
    if (msg == WM_USER + 1) return RunHandler(result, [] { return 11; });
    return CSimpleWnd::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
  }
};

class DerivedWnd : public BaseWnd {
 public:
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override {
    if (map_id != 0) return FALSE;
    switch (msg) {
      case WM_USER + 2: return RunHandler(result, [] { return 22; });
      case WM_SETTEXT:
        return RunHandler(result, [&] {
          ++settext_calls;
          SetWindowMsgHandled(false);  // the default procedure stores the text
          return 0;
        });
    }
    return ChainMessageMap<BaseWnd>(hwnd, msg, wp, lp, result, map_id);
  }
  int settext_calls = 0;
};

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::InitWindowing()); }
  void TearDown() override { platform::test::DrainMessages(); }

  CSimpleWndHelper helper_{platform::CurrentModule(), u"LOOMHOST", false};
};

TEST_F(BindingTest, TheFirstMessageAlreadyReachesTheObjectWithItsHandle) {
  Recorder wnd;
  HWND hwnd = wnd.Create(u"bound", WS_POPUP, 0, 10, 10, 100, 50, nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(wnd.NativeHandle(), hwnd);
  ASSERT_FALSE(wnd.seen.empty());
  EXPECT_EQ(wnd.seen.front(), WM_GETMINMAXINFO);
  EXPECT_EQ(wnd.Count(WM_CREATE), 1);
  for (HWND seen : wnd.handles_seen) EXPECT_EQ(seen, hwnd);
  EXPECT_EQ(helper_.ObjectOf(hwnd), &wnd);
  char16_t name[16];
  platform::GetClassNameW(hwnd, name, 16);
  EXPECT_EQ(std::u16string(name), u"LOOMHOST");
  wnd.DestroyWindow();
  EXPECT_EQ(wnd.NativeHandle(), nullptr);
  EXPECT_EQ(helper_.ObjectOf(hwnd), nullptr);
}

TEST_F(BindingTest, MapsChainToTheirBaseAndAClearedHandledFlagReachesTheDefaultProcedure) {
  DerivedWnd wnd;
  HWND hwnd = wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 1, 0, 0), 11);  // the base's entry
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 2, 0, 0), 22);  // the derived one
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 3, 0, 0), 0);   // nobody: default procedure
  platform::SetWindowTextW(hwnd, u"stored");
  EXPECT_EQ(wnd.settext_calls, 1);
  EXPECT_EQ(platform::GetWindowTextString(hwnd), u"stored");
  wnd.DestroyWindow();
}

TEST_F(BindingTest, AMessageSentDuringNcDestroyStillArrivesAndTheBindingEndsAfterTheOutermostMessage) {
  Recorder wnd;
  HWND hwnd = wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  ASSERT_NE(hwnd, nullptr);
  LRESULT answer_in_ncdestroy = 0;
  wnd.scripts[WM_USER + 5] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 55; };
  wnd.scripts[WM_NCDESTROY] = [&](HWND h, WPARAM, LPARAM) -> LRESULT {
    answer_in_ncdestroy = platform::SendMessageW(h, WM_USER + 5, 0, 0);
    return 0;
  };
  HWND handle_after_destroy_call = nullptr;
  // The window destroys itself inside a message of its own: the binding holds until that
  // outer message has returned.
  wnd.scripts[WM_USER + 9] = [&](HWND h, WPARAM, LPARAM) -> LRESULT {
    platform::DestroyWindow(h);
    handle_after_destroy_call = wnd.NativeHandle();
    return 9;
  };
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 9, 0, 0), 9);
  EXPECT_EQ(answer_in_ncdestroy, 55);
  EXPECT_EQ(handle_after_destroy_call, hwnd);
  EXPECT_EQ(wnd.NativeHandle(), nullptr);
  EXPECT_EQ(wnd.final_messages, 1);
  EXPECT_FALSE(platform::IsWindow(hwnd));

  // The object outlives its window and can be bound again.
  wnd.scripts.clear();
  HWND again = wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, hwnd);
  wnd.DestroyWindow();
  EXPECT_EQ(wnd.final_messages, 2);
}

TEST_F(BindingTest, AMapThatHandlesNcDestroyStillEndsTheBinding) {
  Recorder wnd;
  wnd.scripts[WM_NCDESTROY] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };
  HWND hwnd = wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  ASSERT_NE(hwnd, nullptr);
  wnd.DestroyWindow();
  EXPECT_EQ(wnd.NativeHandle(), nullptr);
  EXPECT_EQ(wnd.final_messages, 1);
  EXPECT_EQ(helper_.ObjectOf(hwnd), nullptr);
}

TEST_F(BindingTest, AFailedCreationReturnsNoHandleAndLeavesTheObjectUnbound) {
  Recorder wnd;
  wnd.scripts[WM_CREATE] = [](HWND, WPARAM, LPARAM) -> LRESULT { return -1; };
  EXPECT_EQ(wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr), nullptr);
  EXPECT_EQ(wnd.NativeHandle(), nullptr);
  EXPECT_EQ(wnd.final_messages, 1);
  // A bad owner fails before any message: the object is not recorded as being created,
  // so the next window made elsewhere is not bound to it.
  Recorder other;
  EXPECT_EQ(other.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, reinterpret_cast<HWND>(std::intptr_t{0x777})), nullptr);
  Recorder third;
  HWND hwnd = third.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(helper_.ObjectOf(hwnd), &third);
  EXPECT_TRUE(other.seen.empty());
  third.DestroyWindow();
}

TEST_F(BindingTest, AnObjectDestroyedFirstTakesItsWindowWithIt) {
  HWND hwnd = nullptr;
  {
    Recorder wnd;
    hwnd = wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
    ASSERT_NE(hwnd, nullptr);
  }
  EXPECT_FALSE(platform::IsWindow(hwnd));
  EXPECT_EQ(helper_.ObjectOf(hwnd), nullptr);
}

LRESULT OriginalProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_USER + 7) return 77;
  return platform::DefWindowProcW(hwnd, msg, wp, lp);
}

TEST_F(BindingTest, SubclassingRoutesMessagesToTheObjectAndTheRestToTheOldProcedure) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpszClassName = AsWideText(u"PlainWindowForSubclassing");
  wc.lpfnWndProc = &OriginalProc;
  platform::RegisterClassExW(&wc);
  HWND hwnd = platform::CreateWindowExW(0, AsU16Text(wc.lpszClassName), u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                        nullptr);
  ASSERT_NE(hwnd, nullptr);
  Recorder wnd;
  wnd.scripts[WM_USER + 8] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 88; };
  ASSERT_TRUE(wnd.SubclassWindow(hwnd));
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 8, 0, 0), 88);
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 7, 0, 0), 77);  // the old procedure
  EXPECT_EQ(wnd.DefWindowProc(WM_USER + 7, 0, 0), 77);
  Recorder second;
  EXPECT_FALSE(second.SubclassWindow(hwnd));  // already bound
  EXPECT_FALSE(second.SubclassWindow(reinterpret_cast<HWND>(std::intptr_t{0x999})));
  platform::DestroyWindow(hwnd);
  EXPECT_EQ(wnd.NativeHandle(), nullptr);
  EXPECT_EQ(wnd.final_messages, 1);
}

class CentringTest : public BindingTest {
 protected:
  RECT WorkArea(HWND hwnd) {
    MONITORINFO info{};
    platform::GetMonitorInfoW(platform::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
  }
  static LONG W(const RECT& rc) { return rc.right - rc.left; }
  static LONG H(const RECT& rc) { return rc.bottom - rc.top; }
};

TEST_F(CentringTest, AWindowThatIsNotVisibleCentresOnItselfWithinTheWorkArea) {
  Recorder wnd;
  HWND hwnd = wnd.Create(u"", WS_POPUP, 0, 5, 5, 300, 200, nullptr);
  ASSERT_NE(hwnd, nullptr);
  RECT work = WorkArea(hwnd);
  ASSERT_TRUE(wnd.CenterWindow(hwnd));
  RECT rc = wnd.WindowRect();
  EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 150);
  EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - 100);
  EXPECT_EQ(W(rc), 300);
  EXPECT_EQ(H(rc), 200);
  wnd.DestroyWindow();
}

TEST_F(CentringTest, AVisibleOwnerIsTheTargetAndTheWindowStaysInsideTheArea) {
  Recorder owner;
  HWND owner_hwnd = owner.Create(u"", WS_POPUP, 0, 100, 100, 200, 100, nullptr);
  ASSERT_NE(owner_hwnd, nullptr);
  owner.ShowWindow(SW_SHOWNA);
  Recorder dialog;
  ASSERT_NE(dialog.Create(u"", WS_POPUP, 0, 0, 0, 100, 40, owner_hwnd), nullptr);
  ASSERT_TRUE(dialog.CenterWindow());  // the owner is the reference
  EXPECT_EQ(dialog.WindowRect(), (RECT{150, 130, 250, 170}));

  // Near the right and bottom edges: the far edges are kept inside the work area.
  RECT work = WorkArea(owner_hwnd);
  platform::SetWindowPos(owner_hwnd, nullptr, work.right - 120, work.bottom - 30, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(dialog.CenterWindow());
  RECT rc = dialog.WindowRect();
  EXPECT_EQ(rc.right, work.right);
  EXPECT_EQ(rc.bottom, work.bottom);

  // A minimised owner does not count: the window centres on the whole work area.
  owner.ShowWindow(SW_MINIMIZE);
  ASSERT_TRUE(dialog.CenterWindow());
  rc = dialog.WindowRect();
  EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 50);
  dialog.DestroyWindow();
  owner.DestroyWindow();
}

TEST_F(CentringTest, AWindowWiderOrTallerThanTheWorkAreaIsAlignedToItsNearEdges) {
  Recorder wnd;
  HWND hwnd = wnd.Create(u"", WS_POPUP, 0, 40, 40, 100, 100, nullptr);
  ASSERT_NE(hwnd, nullptr);
  RECT work = WorkArea(hwnd);
  platform::SetWindowPos(hwnd, nullptr, 0, 0, W(work) + 300, H(work) + 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(wnd.CenterWindow(hwnd));
  RECT rc = wnd.WindowRect();
  EXPECT_EQ(rc.left, work.left);
  EXPECT_EQ(rc.top, work.top);
  wnd.DestroyWindow();
}

TEST_F(CentringTest, AChildWindowCentresInItsParentsClientArea) {
  Recorder parent;
  HWND parent_hwnd = parent.Create(u"", WS_POPUP, 0, 200, 100, 400, 300, nullptr);
  ASSERT_NE(parent_hwnd, nullptr);
  Recorder child;
  ASSERT_NE(child.Create(u"", WS_CHILD, 0, 0, 0, 100, 50, parent_hwnd), nullptr);
  ASSERT_TRUE(child.CenterWindow());
  RECT rc = child.WindowRect();  // screen coordinates
  EXPECT_EQ(rc, (RECT{200 + 150, 100 + 125, 200 + 250, 100 + 175}));
  parent.DestroyWindow();
  EXPECT_EQ(child.NativeHandle(), nullptr);
}

TEST_F(BindingTest, ModifyingAStyleToItsValueChangesNothingAndRefreshesNoFrame) {
  Recorder wnd;
  HWND hwnd = wnd.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  ASSERT_NE(hwnd, nullptr);
  std::vector<UINT> flags_seen;
  wnd.scripts[WM_WINDOWPOSCHANGING] = [&](HWND, WPARAM, LPARAM lp) -> LRESULT {
    flags_seen.push_back(reinterpret_cast<WINDOWPOS*>(lp)->flags);
    return 0;
  };
  EXPECT_FALSE(wnd.ModifyStyle(0, WS_POPUP, SWP_FRAMECHANGED));
  EXPECT_TRUE(flags_seen.empty());
  EXPECT_TRUE(wnd.ModifyStyle(0, WS_MINIMIZEBOX, SWP_FRAMECHANGED));
  EXPECT_EQ(wnd.WindowStyle() & WS_MINIMIZEBOX, WS_MINIMIZEBOX);
  ASSERT_EQ(flags_seen.size(), 1u);
  EXPECT_EQ(flags_seen[0], SWP_FRAMECHANGED | 0x17u);
  // Without position flags the style changes but the frame is not refreshed.
  EXPECT_TRUE(wnd.ModifyStyleEx(0, WS_EX_TOOLWINDOW));
  EXPECT_EQ(wnd.WindowExStyle(), WS_EX_TOOLWINDOW);
  EXPECT_TRUE(wnd.ModifyStyle(WS_MINIMIZEBOX, 0));
  EXPECT_EQ(flags_seen.size(), 1u);
  wnd.DestroyWindow();
}

// A host that reflects notifications, and a native child that answers the reflected
// forms of some and leaves the others to the default reflection handler.
class ReflectingParent : public CSimpleWnd {
 public:
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override {
    if (CSimpleWnd::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id)) return TRUE;
    return ReflectNotifications(msg, wp, lp, result, true);
  }
};

class ReflectedChild : public CSimpleWnd {
 public:
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD) override {
    reflected.push_back(msg);
    if (msg == OCM__BASE + WM_COMMAND) return RunHandler(result, [] { return 5; });
    if (msg == OCM__BASE + WM_CTLCOLORSTATIC) return RunHandler(result, [] { return 0; });
    return DefaultReflectionHandler(hwnd, msg, wp, lp, result);
  }
  std::vector<UINT> reflected;
};

TEST_F(BindingTest, NotificationsOfANativeChildAreReflectedBackToIt) {
  ReflectingParent parent;
  HWND parent_hwnd = parent.Create(u"", WS_POPUP, 0, 0, 0, 100, 100, nullptr);
  ASSERT_NE(parent_hwnd, nullptr);
  ReflectedChild child;
  HWND child_hwnd = child.Create(u"", WS_CHILD, 0, 0, 0, 10, 10, parent_hwnd);
  ASSERT_NE(child_hwnd, nullptr);
  platform::SetWindowLongPtrW(child_hwnd, GWLP_ID, 42);
  child.reflected.clear();

  auto child_lp = reinterpret_cast<LPARAM>(child_hwnd);
  EXPECT_EQ(platform::SendMessageW(parent_hwnd, WM_COMMAND, 1, child_lp), 5);
  NMHDR header{child_hwnd, 42, 7};
  platform::SendMessageW(parent_hwnd, WM_NOTIFY, 42, reinterpret_cast<LPARAM>(&header));
  DRAWITEMSTRUCT draw{};
  draw.hwndItem = child_hwnd;
  platform::SendMessageW(parent_hwnd, WM_DRAWITEM, 42, reinterpret_cast<LPARAM>(&draw));
  platform::SendMessageW(parent_hwnd, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));  // menu item: not reflected
  MEASUREITEMSTRUCT measure{};
  measure.CtlID = 42;
  platform::SendMessageW(parent_hwnd, WM_MEASUREITEM, 42, reinterpret_cast<LPARAM>(&measure));
  platform::SendMessageW(parent_hwnd, WM_PARENTNOTIFY, MAKELONG(WM_LBUTTONDOWN, 42), 0);
  platform::SendMessageW(parent_hwnd, WM_COMMAND, 1, 0);  // no child: not reflected
  platform::SendMessageW(parent_hwnd, WM_CTLCOLORSTATIC, 0, child_lp);
  EXPECT_EQ(child.reflected,
            (std::vector<UINT>{OCM__BASE + WM_COMMAND, OCM__BASE + WM_NOTIFY, OCM__BASE + WM_DRAWITEM,
                               OCM__BASE + WM_MEASUREITEM, OCM__BASE + WM_PARENTNOTIFY,
                               OCM__BASE + WM_CTLCOLORSTATIC}));

  // A CTLCOLOR answered with 0 counts as unhandled in the hosts' variant.
  LRESULT result = -1;
  EXPECT_FALSE(parent.ReflectNotifications(WM_CTLCOLORSTATIC, 0, child_lp, result, true));
  EXPECT_TRUE(parent.ReflectNotifications(WM_CTLCOLORSTATIC, 0, child_lp, result, false));
  EXPECT_FALSE(parent.ReflectNotifications(WM_USER, 0, child_lp, result, false));
  parent.DestroyWindow();
}

}  // namespace
}  // namespace LOOM
