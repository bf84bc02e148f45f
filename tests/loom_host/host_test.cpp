// The host window: layouts and their sizes and attributes, hit testing and limits,
// destruction and the loop, input routing, timers and frames, the tooltip and the
// inspection protocol.
#include <cstring>

#include "platform/ui/monitor.h"
#include "core/skin_pool.h"
#include "core/tip_ctrl.h"
#include "core/ui_def.h"
#include "platform/ui/timer.h"
#include "tests/loom_host/host_fixture.h"

namespace LOOM {
namespace {

using test::HostFixture;
using test::RecorderElement;

// A host that records the events reaching its hook.
class RecordingHost : public SHostWnd {
 public:
  using SHostWnd::SHostWnd;
  bool OnHostEvent(EventArgs* args) override {
    events.push_back(args->EventId());
    return SHostWnd::OnHostEvent(args);
  }
  std::vector<int> events;
};

class HostTest : public HostFixture {
 protected:
  RECT WorkArea(HWND hwnd) {
    MONITORINFO info{};
    platform::GetMonitorInfoW(platform::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
  }
  static LRESULT HitTest(HWND hwnd, int x, int y) {
    POINT pt{x, y};
    platform::ClientToScreen(hwnd, &pt);
    return platform::SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
  }
  static bool QuitPosted(int* code) {
    MSG msg;
    if (!platform::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    *code = static_cast<int>(msg.wParam);
    return true;
  }
};

TEST_F(HostTest, ALayoutCreatedWithSizeZeroTakesItsSizeAttributesAndTreeFromTheLayout) {
  RecordingHost host(u"LAYOUT:XML_MAIN");
  HWND hwnd = host.Create(nullptr);
  ASSERT_NE(hwnd, nullptr);
  RECT rc = WindowRectOf(hwnd);
  EXPECT_EQ(rc.right - rc.left, 1030);
  EXPECT_EQ(rc.bottom - rc.top, 541);
  // Centred on the work area, or aligned to its left edge where it is wider than the
  // area (as on the offscreen display).
  const RECT work = WorkArea(hwnd);
  EXPECT_EQ(rc.left, work.right - work.left >= 1030 ? (work.left + work.right) / 2 - 515 : work.left);
  EXPECT_EQ(platform::GetWindowTextString(hwnd), u"Velmora");
  EXPECT_EQ(host.HostAttr().wnd_type, HostWndType::kAppMain);
  EXPECT_EQ(host.WindowStyle() & (WS_SYSMENU | WS_MINIMIZEBOX), WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(host.WindowExStyle() & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW), WS_EX_APPWINDOW);  // appWnd wins
  EXPECT_EQ(host.ElementArea(), (RECT{0, 0, 1030, 541}));
  EXPECT_EQ(Find(host, u"btn_a")->ElementArea(), (RECT{10, 10, 90, 40}));
  EXPECT_EQ(Find(host, u"inner")->ElementArea(), (RECT{20, 70, 70, 90}));
  // Every element's events end at the hook; "on_init" comes once, after the tree is built.
  EXPECT_EQ(std::count(host.events.begin(), host.events.end(), EVT_INIT), 1);
  EXPECT_EQ(host.events.back(), EVT_INIT);
  EXPECT_TRUE(host.MatchesTag(u"hostwnd"));
  host.events.clear();
  host.DestroyWindow();
  ASSERT_FALSE(host.events.empty());
  EXPECT_EQ(host.events.front(), EVT_EXIT);
  EXPECT_EQ(host.ChildCount(), 0u);
}

TEST_F(HostTest, AnExplicitSizeWinsAndIsWrittenBackIntoTheAttributes) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = host.Create(nullptr, 20, 30, 400, 300);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(WindowRectOf(hwnd), (RECT{20, 30, 420, 330}));  // not centred: a size was given
  EXPECT_EQ(host.HostAttr().width.value, 400.0f);
  EXPECT_EQ(host.HostAttr().height.value, 300.0f);
  EXPECT_EQ(host.ElementArea(), (RECT{0, 0, 400, 300}));
  host.DestroyWindow();
}

TEST_F(HostTest, MalformedAttributesAreRejectedAndTheRestOfTheLayoutApplies) {
  SHostWnd host(u"XML_ATTRS");  // no colon: type LAYOUT
  HWND hwnd = host.Create(nullptr);
  ASSERT_NE(hwnd, nullptr);
  const SHostWndAttr& a = host.HostAttr();
  RECT rc = WindowRectOf(hwnd);
  EXPECT_EQ(rc.right - rc.left, 320);
  EXPECT_EQ(rc.bottom - rc.top, 120);
  EXPECT_EQ(a.wnd_type, HostWndType::kUndefine);  // "8" is no window type
  EXPECT_EQ(a.MarginPixels(100), (RECT{0, 0, 0, 0}));  // three parts: rejected
  EXPECT_EQ(a.MinSizePixels(100), (SIZE{40, 30}));
  EXPECT_EQ(a.MaxInsetPixels(100), (RECT{1, 2, 3, 4}));
  EXPECT_FALSE(a.allow_spy);
  EXPECT_EQ(a.tr_ctx, u"dlg");
  EXPECT_EQ(host.HostTranslationContext(), u"dlg");
  EXPECT_EQ(a.alpha, 200);
  EXPECT_TRUE(host.WindowExStyle() & WS_EX_LAYERED);  // alpha below 255
  EXPECT_TRUE(host.WindowExStyle() & WS_EX_TOOLWINDOW);
  EXPECT_EQ(platform::GetWindowTextString(hwnd), u"attributes");
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);  // none given
  host.DestroyWindow();

  SHostWndAttr attr;
  EXPECT_EQ(attr.Apply(u"WNDTYPE", u"normal"), S_OK);
  EXPECT_EQ(attr.Apply(u"wndType", u"AppMain"), E_INVALIDARG);  // words match exactly
  EXPECT_EQ(attr.wnd_type, HostWndType::kNormal);
  EXPECT_EQ(attr.Apply(u"wndStyle", u"0x10000"), S_OK);
  EXPECT_EQ(attr.wnd_style, 0x10000u);
  EXPECT_EQ(attr.Apply(u"maxInset", u"1,2,3"), E_INVALIDARG);
  EXPECT_EQ(attr.Apply(u"colorBkgnd", u"#fff"), E_NOTIMPL);
}

TEST_F(HostTest, AMissingOrBrokenLayoutLeavesAnEmptyWindowOfTheGivenSize) {
  for (const char16_t* name : {u"LAYOUT:NO_SUCH_LAYOUT", u"LAYOUT:XML_BROKEN", u"NOTYPE:XML_MAIN"}) {
    SHostWnd host(name);
    HWND hwnd = host.Create(nullptr, 0, 0, 150, 100);
    ASSERT_NE(hwnd, nullptr) << ToU8(name);
    RECT rc = WindowRectOf(hwnd);
    EXPECT_EQ(rc.right - rc.left, 150);
    EXPECT_EQ(host.ChildCount(), 0u);
    host.ShowWindow(SW_SHOWNA);
    test::DrainQueue();  // an empty window paints without trouble
    EXPECT_EQ(host.RepaintCount(), 1) << ToU8(name);
    host.DestroyWindow();
    test::DrainQueue();  // an undefined overlapped window posted the quit message
  }
}

TEST_F(HostTest, AContentSizedLayoutTakesItsContentsSizeAndDropsTheBordersThatFollowIt) {
  SHostWnd host(u"LAYOUT:XML_WRAP");
  HWND hwnd = host.Create(nullptr);
  ASSERT_NE(hwnd, nullptr);
  RECT rc = WindowRectOf(hwnd);
  EXPECT_EQ(rc.right - rc.left, 150);
  EXPECT_EQ(rc.bottom - rc.top, 90);
  EXPECT_EQ(host.HostAttr().MarginPixels(100), (RECT{0, 0, 0, 0}));
  EXPECT_EQ(HitTest(hwnd, 0, 0), HTCLIENT);
  host.DestroyWindow();
}

TEST_F(HostTest, ResizeBordersFollowTheMarginsWithStrictComparisons) {
  SHostWnd host(u"LAYOUT:XML_RESIZABLE");  // 200 x 100, margins 4, 5, 6, 7
  HWND hwnd = host.Create(nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(HitTest(hwnd, 1, 1), HTTOPLEFT);
  EXPECT_EQ(HitTest(hwnd, 3, 50), HTLEFT);
  EXPECT_EQ(HitTest(hwnd, 4, 50), HTCLIENT);
  EXPECT_EQ(HitTest(hwnd, 194, 50), HTCLIENT);
  EXPECT_EQ(HitTest(hwnd, 195, 50), HTRIGHT);
  EXPECT_EQ(HitTest(hwnd, 199, 99), HTBOTTOMRIGHT);
  EXPECT_EQ(HitTest(hwnd, 199, 2), HTTOPRIGHT);
  EXPECT_EQ(HitTest(hwnd, 2, 95), HTBOTTOMLEFT);
  EXPECT_EQ(HitTest(hwnd, 100, 94), HTBOTTOM);
  EXPECT_EQ(HitTest(hwnd, 100, 4), HTTOP);
  EXPECT_EQ(HitTest(hwnd, 100, 5), HTCLIENT);
  EXPECT_TRUE(host.WindowStyle() & WS_THICKFRAME);
  // Both icons of the layout are set on the window.
  EXPECT_NE(platform::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_NE(platform::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);

  MINMAXINFO info{};
  platform::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  RECT work = WorkArea(hwnd);
  EXPECT_EQ(info.ptMinTrackSize.x, 80);
  EXPECT_EQ(info.ptMinTrackSize.y, 60);
  EXPECT_EQ(info.ptMaxSize.x, work.right - work.left + 2 + 4);
  EXPECT_EQ(info.ptMaxSize.y, work.bottom - work.top + 3 + 5);
  EXPECT_EQ(info.ptMaxPosition.x, -2);
  EXPECT_EQ(info.ptMaxPosition.y, -3);
  host.DestroyWindow();

  // Not resizable: the whole window is client, whatever its margins.
  SHostWnd plain(u"LAYOUT:XML_MAIN");
  HWND plain_hwnd = plain.Create(nullptr);
  EXPECT_EQ(HitTest(plain_hwnd, 0, 0), HTCLIENT);
  EXPECT_EQ(HitTest(plain_hwnd, 1029, 540), HTCLIENT);
  plain.DestroyWindow();
}

TEST_F(HostTest, TheClientAreaIsTheWholeWindowAtItsNewPlaceAndSize) {
  SHostWnd host(u"LAYOUT:XML_RESIZABLE");
  HWND hwnd = host.Create(nullptr, 20, 30, 200, 100);
  RECT proposed{1, 2, 3, 4};
  platform::SendMessageW(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed, (RECT{1, 2, 3, 4}));
  WINDOWPOS pos{hwnd, nullptr, 50, 60, 300, 200, 0};
  NCCALCSIZE_PARAMS params{};
  params.lppos = &pos;
  platform::SendMessageW(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
  EXPECT_EQ(params.rgrc[0], (RECT{50, 60, 350, 260}));
  pos.flags = SWP_NOMOVE;
  platform::SendMessageW(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
  EXPECT_EQ(params.rgrc[0], (RECT{20, 30, 320, 230}));
  host.DestroyWindow();
}

TEST_F(HostTest, OnlyAMainWindowOrAnOverlappedUndefinedOneEndsTheLoopWhenDestroyed) {
  int code = 0;
  {
    SHostWnd main_window(u"LAYOUT:XML_MAIN");  // appMain
    ASSERT_NE(main_window.Create(nullptr), nullptr);
    main_window.DestroyWindow();
    ASSERT_TRUE(QuitPosted(&code));
    EXPECT_EQ(code, 1);
  }
  {
    SHostWnd popup(u"LAYOUT:XML_PLAIN_DLG");  // undefine, pop-up
    ASSERT_NE(popup.Create(nullptr, WS_POPUP, 0, 0, 0, 0, 0), nullptr);
    popup.DestroyWindow();
    EXPECT_FALSE(QuitPosted(&code));
  }
  {
    SHostWnd tool(u"LAYOUT:XML_ATTRS");  // undefine, tool window
    ASSERT_NE(tool.Create(nullptr), nullptr);
    tool.DestroyWindow();
    EXPECT_FALSE(QuitPosted(&code));
  }
  {
    SHostWnd overlapped(u"LAYOUT:XML_PLAIN_DLG");  // undefine, neither pop-up nor tool
    ASSERT_NE(overlapped.Create(nullptr), nullptr);
    overlapped.DestroyWindow();
    EXPECT_TRUE(QuitPosted(&code));
  }
  {
    SHostWnd normal(u"LAYOUT:XML_TRANSLUCENT");  // "normal" never ends the loop
    ASSERT_NE(normal.Create(nullptr), nullptr);
    normal.DestroyWindow();
    EXPECT_FALSE(QuitPosted(&code));
  }
}

TEST_F(HostTest, PrivatePoolsServeTheirLayoutAndLeaveWithTheWindow) {
  const std::size_t skins_before = app_.SkinPools().PoolCount();
  const std::size_t styles_before = app_.StylePools().PoolCount();
  SHostWnd host(u"LAYOUT:XML_POOLS");
  ASSERT_NE(host.Create(nullptr), nullptr);
  EXPECT_EQ(app_.SkinPools().PoolCount(), skins_before + 1);
  EXPECT_EQ(app_.StylePools().PoolCount(), styles_before + 1);
  EXPECT_NE(Find(host, u"skinned")->BackgroundSkin(), nullptr);
  EXPECT_EQ(Find(host, u"styled")->Style().background_color, RGBA(0, 0, 255, 255));
  // Applying the layout again does not stack the pools twice.
  SXmlDoc doc;
  ASSERT_TRUE(app_.LoadMarkupDocument(doc, u"XML_POOLS", u"LAYOUT"));
  ASSERT_TRUE(host.ApplyLayout(doc.Child(u"LOOM")));
  EXPECT_EQ(app_.SkinPools().PoolCount(), skins_before + 1);
  host.DestroyWindow();
  EXPECT_EQ(app_.SkinPools().PoolCount(), skins_before);
  EXPECT_EQ(app_.StylePools().PoolCount(), styles_before);
}

TEST_F(HostTest, MouseInputReachesTheElementsAndAPressEndsWhenTheWindowLosesActivation) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = host.Create(nullptr, 0, 0, 600, 300);
  host.ShowWindow(SW_SHOWNORMAL);
  test::DrainQueue();
  auto* rec = Find<RecorderElement>(host, u"rec");  // 400,10 100 x 40
  platform::test::MouseMove(hwnd, POINT{415, 15});
  platform::test::Click(hwnd, POINT{420, 20});
  test::DrainQueue();
  EXPECT_EQ(rec->Count(WM_LBUTTONDOWN), 1);
  EXPECT_EQ(rec->Count(WM_LBUTTONUP), 1);
  EXPECT_GE(rec->Count(WM_MOUSEHOVER), 1);

  // Pressed, then the window is deactivated: the element still gets its button-up.
  SHostWnd other(u"LAYOUT:XML_PLAIN_DLG");
  HWND other_hwnd = other.Create(nullptr, WS_POPUP, 0, 700, 400, 100, 80);
  platform::test::MouseDown(hwnd, POINT{440, 30});  // far enough not to be a double click
  test::DrainQueue();
  EXPECT_EQ(rec->Count(WM_LBUTTONDOWN), 2);
  EXPECT_EQ(host.CapturedElement(), rec->Handle());
  platform::SetActiveWindow(other_hwnd);
  test::DrainQueue();
  EXPECT_EQ(rec->Count(WM_LBUTTONUP), 2);
  EXPECT_EQ(host.CapturedElement(), 0u);
  platform::test::MouseUp(hwnd, POINT{440, 30});
  test::DrainQueue();
  EXPECT_EQ(rec->Count(WM_LBUTTONUP), 3);  // the real release still arrives, but fires nothing
  other.DestroyWindow();

  // Leaving the window: the hover element hears of it.
  platform::test::MouseMove(hwnd, POINT{420, 20});
  test::DrainQueue();
  int leaves = rec->Count(WM_MOUSELEAVE);
  platform::test::MouseLeave(hwnd);
  test::DrainQueue();
  EXPECT_EQ(rec->Count(WM_MOUSELEAVE), leaves + 1);
  host.DestroyWindow();
  test::DrainQueue();
}

TEST_F(HostTest, SystemKeysGoToTheElementOnlyWhenItAsksForThem) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = host.Create(nullptr, 0, 0, 600, 300);
  auto* rec = Find<RecorderElement>(host, u"rec");
  host.FocusElement(rec->Handle());
  platform::SendMessageW(hwnd, WM_KEYDOWN, 'A', 0);
  platform::SendMessageW(hwnd, WM_SYSKEYDOWN, 'B', 0);
  EXPECT_EQ(rec->Count(WM_KEYDOWN), 1);
  EXPECT_EQ(rec->Count(WM_SYSKEYDOWN), 0);
  rec->key_wants = SC_WANTSYSKEY;
  platform::SendMessageW(hwnd, WM_SYSKEYDOWN, 'B', 0);
  EXPECT_EQ(rec->Count(WM_SYSKEYDOWN), 1);
  host.DestroyWindow();
  test::DrainQueue();
}

// A timeline handler that counts its frames.
class FrameCounter final : public ITimelineHandler {
 public:
  void OnNextFrame() override { ++frames; }
  int frames = 0;
};

TEST_F(HostTest, ElementTimersAndAnimationFramesRunThroughTheHostWindow) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  ASSERT_NE(host.Create(nullptr, 0, 0, 600, 300), nullptr);
  host.ShowWindow(SW_SHOWNA);
  auto* rec = Find<RecorderElement>(host, u"rec");
  ASSERT_TRUE(rec->SetElementTimer(5, 10));
  ASSERT_TRUE(platform::test::PumpUntil([&] { return !rec->timer_ids.empty(); }, 3000));
  EXPECT_EQ(rec->timer_ids.front(), 5u);
  // The timer of an element that is gone is killed at its next tick.
  UINT_PTR id = MakeElementTimerId(rec->Handle(), 5);
  host.DeleteChild(rec);
  platform::test::PumpUntil([] { return false; }, 50);
  EXPECT_FALSE(platform::KillTimer(host.NativeHandle(), id));

  FrameCounter counter;
  EXPECT_TRUE(host.AddFrameHandler(&counter));
  ASSERT_TRUE(platform::test::PumpUntil([&] { return counter.frames >= 3; }, 3000));
  EXPECT_TRUE(host.RemoveFrameHandler(&counter));
  int frames = counter.frames;
  platform::test::PumpUntil([] { return false; }, 50);
  EXPECT_EQ(counter.frames, frames);
  EXPECT_FALSE(platform::KillTimer(host.NativeHandle(), MakeElementTimerId(host.Handle(), SHostWnd::kFrameTimer)));
  host.DestroyWindow();
  test::DrainQueue();
}

TEST_F(HostTest, TheTooltipFollowsTheElementUnderTheMouse) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = host.Create(nullptr, 0, 0, 600, 300);
  host.ShowWindow(SW_SHOWNORMAL);
  auto* tip = dynamic_cast<STipCtrl*>(host.ToolTip());
  ASSERT_NE(tip, nullptr);
  // Injected input may reach the queue a moment later (through the X server under
  // wine): pump until the move has been seen.
  platform::test::MouseMove(hwnd, POINT{20, 20});  // btn_a has a tip
  EXPECT_TRUE(platform::test::PumpUntil([&] { return !tip->TipText().empty(); }, 3000));
  EXPECT_EQ(tip->TipText(), u"first button");
  EXPECT_EQ(tip->TargetRect(), (RECT{10, 10, 90, 40}));
  platform::test::MouseMove(hwnd, POINT{120, 20});  // btn_b has none
  EXPECT_TRUE(platform::test::PumpUntil([&] { return tip->TipText().empty(); }, 3000));
  HWND tip_hwnd = tip->NativeHandle();
  host.DestroyWindow();
  EXPECT_FALSE(platform::IsWindow(tip_hwnd));
  test::DrainQueue();
}

// A window that keeps the WM_COPYDATA block an inspected host sends.
class InspectorWnd : public CSimpleWnd {
 public:
  BOOL ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD) override {
    if (msg != WM_COPYDATA) return FALSE;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    sender = reinterpret_cast<HWND>(wp);
    id = data->dwData;
    const auto* bytes = static_cast<const unsigned char*>(data->lpData);
    block.assign(bytes, bytes + data->cbData);
    return RunHandler(result, [] { return TRUE; });
  }
  std::u16string TextAt(std::size_t offset) const {
    std::u16string out;
    for (std::size_t i = offset; i + 1 < block.size(); i += 2) {
      char16_t c;
      std::memcpy(&c, block.data() + i, 2);
      if (!c) break;
      out.push_back(c);
    }
    return out;
  }
  std::int32_t IntAt(std::size_t offset) const {
    std::int32_t v;
    std::memcpy(&v, block.data() + offset, 4);
    return v;
  }
  HWND sender = nullptr;
  ULONG_PTR id = 0;
  std::vector<unsigned char> block;
};

TEST_F(HostTest, TheInspectionProtocolDescribesElementsWhileSpyingIsAllowed) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = host.Create(nullptr, 0, 0, 600, 300);
  InspectorWnd tool;
  HWND tool_hwnd = tool.Create(u"inspector", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
  EXPECT_EQ(platform::SendMessageW(hwnd, SHostWnd::kMsgInspectorWindow, 0, reinterpret_cast<LPARAM>(tool_hwnd)), 1);
  SWindow* panel = Find(host, u"panel");
  EXPECT_EQ(platform::SendMessageW(hwnd, SHostWnd::kMsgRelatedElement, panel->Handle(), GSW_FIRSTCHILD),
            static_cast<LRESULT>(Find(host, u"inner")->Handle()));
  EXPECT_EQ(platform::SendMessageW(hwnd, SHostWnd::kMsgRelatedElement, 0, GSW_FIRSTCHILD),
            static_cast<LRESULT>(Find(host, u"btn_a")->Handle()));
  EXPECT_EQ(platform::SendMessageW(hwnd, SHostWnd::kMsgDescribeElement, panel->Handle(), 0), 1);
  ASSERT_EQ(tool.block.size(), 10650u);
  EXPECT_EQ(tool.sender, hwnd);
  EXPECT_EQ(tool.id, 12026u);
  EXPECT_EQ(static_cast<SWND>(tool.IntAt(0)), panel->Handle());
  EXPECT_EQ(tool.IntAt(4), 10);
  EXPECT_EQ(tool.IntAt(8), 60);
  EXPECT_EQ(tool.IntAt(12), 310);
  EXPECT_EQ(tool.IntAt(36), 1);
  EXPECT_EQ(tool.TextAt(44), u"panel");
  EXPECT_EQ(tool.TextAt(546), u"window");
  EXPECT_EQ(tool.TextAt(648), u"##unavailable!");
  EXPECT_EQ(platform::SendMessageW(hwnd, SHostWnd::kMsgDescribeElement, 0xFFFFFF, 0), 0);  // no such element
  POINT pt{25, 75};
  platform::ClientToScreen(hwnd, &pt);
  EXPECT_EQ(platform::SendMessageW(hwnd, SHostWnd::kMsgElementAtPoint, 0,
                                   MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y))),
            static_cast<LRESULT>(Find(host, u"inner")->Handle()));
  host.DestroyWindow();

  // allowSpy="0": nothing for 12024 to 12026, while 12027 still answers.
  SHostWnd closed(u"LAYOUT:XML_ATTRS");
  HWND closed_hwnd = closed.Create(nullptr);
  EXPECT_EQ(platform::SendMessageW(closed_hwnd, SHostWnd::kMsgInspectorWindow, 0, reinterpret_cast<LPARAM>(tool_hwnd)),
            0);
  EXPECT_EQ(platform::SendMessageW(closed_hwnd, SHostWnd::kMsgRelatedElement, 0, GSW_PARENT), 0);
  EXPECT_EQ(platform::SendMessageW(closed_hwnd, SHostWnd::kMsgDescribeElement, 0, 0), 0);
  pt = POINT{5, 5};
  platform::ClientToScreen(closed_hwnd, &pt);
  EXPECT_EQ(platform::SendMessageW(closed_hwnd, SHostWnd::kMsgElementAtPoint, 0,
                                   MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y))),
            static_cast<LRESULT>(closed.Handle()));
  closed.DestroyWindow();
  tool.DestroyWindow();
}

}  // namespace
}  // namespace LOOM
