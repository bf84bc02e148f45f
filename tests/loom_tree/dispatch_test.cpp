// Dispatch inside a host: hover and leave, capture and clicks, focus and Tab,
// accelerators and keys, wheel, cursors, timers, mouse trackers, frame handlers.
#include <chrono>
#include <thread>

#include "core/res_provider_mgr.h"
#include "core/timer2.h"
#include "platform/base/icon.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "tree_fixture.h"

namespace LOOM {
namespace {

using test::RecorderElement;

class DispatchTest : public test::TreeFixture {
 protected:
  std::vector<int> HostEvents(std::initializer_list<int> ids) const {
    std::vector<int> out;
    for (const auto& e : host_->events)
      if (std::find(ids.begin(), ids.end(), e.id) != ids.end()) out.push_back(e.id);
    return out;
  }
  static bool Has(const SWindow* e, DWORD bits) { return (e->State() & bits) == bits; }
};

TEST_F(DispatchTest, PressAndReleaseInsideIsACommandAndOutsideIsNot) {
  auto& host = Build(uR"(<root><recorder name="btn" pos="10,10" size="50,20"/></root>)");
  SWindow* btn = Find(u"btn");
  host.Mouse(WM_MOUSEMOVE, 20, 20);
  host.Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  EXPECT_EQ(host.CapturedElement(), btn->Handle());
  EXPECT_TRUE(Has(btn, WndState_Hover | WndState_PushDown));
  // Out of the button while pressed: it keeps the capture and loses hover and pushed.
  host.Mouse(WM_MOUSEMOVE, 100, 100, MK_LBUTTON);
  EXPECT_EQ(host.CapturedElement(), btn->Handle());
  EXPECT_EQ(btn->State() & (WndState_Hover | WndState_PushDown), 0u);
  host.Mouse(WM_LBUTTONUP, 100, 100);
  EXPECT_EQ(host.CapturedElement(), 0u);
  EXPECT_EQ(HostEvents({EVT_LBUTTONDOWN, EVT_LBUTTONUP, EVT_CMD}), (std::vector<int>{EVT_LBUTTONDOWN}));

  // Back in while still pressed, the pushed state returns; releasing inside commands.
  host.events.clear();
  host.Mouse(WM_MOUSEMOVE, 20, 20);
  host.Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  host.Mouse(WM_MOUSEMOVE, 100, 100, MK_LBUTTON);
  host.Mouse(WM_MOUSEMOVE, 25, 25, MK_LBUTTON);
  EXPECT_TRUE(Has(btn, WndState_Hover | WndState_PushDown));
  host.Mouse(WM_LBUTTONUP, 25, 25);
  EXPECT_EQ(HostEvents({EVT_LBUTTONDOWN, EVT_LBUTTONUP, EVT_CMD}),
            (std::vector<int>{EVT_LBUTTONDOWN, EVT_LBUTTONUP, EVT_CMD}));
  EXPECT_TRUE(host.IsMsgHandled());
}

TEST_F(DispatchTest, HoverFollowsThePointerAcrossTheTree) {
  auto& host = Build(uR"(<root><recorder name="a" pos="0,0" size="50,50"><recorder name="a1" pos="10,10" size="10,10"/></recorder>
                         <recorder name="b" pos="60,0" size="20,20"/></root>)");
  RecorderElement *a = Recorder(u"a"), *a1 = Recorder(u"a1"), *b = Recorder(u"b");
  b->log.clear();
  host.Mouse(WM_MOUSEMOVE, 5, 5);
  EXPECT_EQ(host.HoveredElement(), a->Handle());
  host.Mouse(WM_MOUSEMOVE, 15, 15);
  EXPECT_EQ(host.HoveredElement(), a1->Handle());
  EXPECT_FALSE(Has(a, WndState_Hover)) << "only one element is hovered";
  EXPECT_TRUE(Has(a1, WndState_Hover));
  host.Mouse(WM_MOUSEMOVE, 70, 5);
  EXPECT_FALSE(Has(a1, WndState_Hover));
  EXPECT_TRUE(Has(b, WndState_Hover));
  EXPECT_EQ(HostEvents({EVT_MOUSE_HOVER, EVT_MOUSE_LEAVE}),
            (std::vector<int>{EVT_MOUSE_HOVER, EVT_MOUSE_LEAVE, EVT_MOUSE_HOVER, EVT_MOUSE_LEAVE, EVT_MOUSE_HOVER}));
  host.RouteHostMessage(WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(Has(b, WndState_Hover));
  EXPECT_EQ(host.HoveredElement(), 0u);
  EXPECT_EQ(b->Input(), (std::vector<UINT>{WM_MOUSEHOVER, WM_MOUSEMOVE, WM_MOUSELEAVE}));
}

TEST_F(DispatchTest, MarginsGetTheNonClientMessages) {
  auto& host = Build(uR"(<root><recorder name="m" pos="10,10" size="40,40" margin="5"/></root>)");
  RecorderElement* m = Recorder(u"m");
  m->log.clear();
  host.Mouse(WM_MOUSEMOVE, 12, 12);
  host.Mouse(WM_MOUSEMOVE, 13, 12);
  host.Mouse(WM_MOUSEMOVE, 30, 30);
  host.Mouse(WM_LBUTTONDOWN, 30, 30);
  host.Mouse(WM_LBUTTONUP, 30, 30);
  host.Mouse(WM_LBUTTONDOWN, 12, 30);
  EXPECT_EQ(m->Input(), (std::vector<UINT>{WM_NCMOUSEHOVER, WM_MOUSEHOVER, WM_NCMOUSEMOVE, WM_NCMOUSEMOVE,
                                           WM_NCMOUSELEAVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                           WM_NCLBUTTONDOWN}));
}

TEST_F(DispatchTest, DisabledElementsGetNothingAndTheCursorFallsBack) {
  auto& host = Build(uR"(<root><recorder name="off" pos="0,0" size="50,50" enable="0" cursor="hand"/>
                         <recorder name="on" pos="60,0" size="50,50" cursor="hand"/></root>)");
  RecorderElement* off = Recorder(u"off");
  off->log.clear();
  host.Mouse(WM_MOUSEMOVE, 5, 5);
  host.Mouse(WM_LBUTTONDOWN, 5, 5);
  EXPECT_FALSE(host.IsMsgHandled());
  host.RouteHostMessage(WM_SETCURSOR, 0, MAKELONG(5, 5));
  EXPECT_EQ(platform::GetCursor(), platform::LoadSystemCursor(kIdcArrow));
  EXPECT_TRUE(off->Input().empty());
  EXPECT_FALSE(Has(off, WndState_Hover));
  host.Mouse(WM_MOUSEMOVE, 70, 5);
  host.RouteHostMessage(WM_SETCURSOR, 0, MAKELONG(70, 5));
  EXPECT_EQ(platform::GetCursor(), app_.ResProviders().OpenCursor(u"hand", false));
  EXPECT_EQ(host.CaptureElement(off->Handle()), 0u);
  EXPECT_EQ(host.CapturedElement(), 0u) << "a disabled element cannot take the capture";
}

TEST_F(DispatchTest, HitTestingSkipsTransparentAndHiddenChildren) {
  auto& host = Build(uR"(<root><recorder name="btn" pos="0,0" size="40,40">
                           <window name="label" msgTransparent="1" pos="0,0" size="40,20"/>
                           <window name="ghost" visible="0" pos="0,20" size="40,20"/></recorder>
                         <window name="over" pos="30,30" size="20,20"/></root>)");
  EXPECT_EQ(host.HitTestElement({5, 5}), Find(u"btn")->Handle()) << "clicks pass through the label";
  EXPECT_EQ(host.HitTestElement({5, 25}), Find(u"btn")->Handle());
  EXPECT_EQ(host.HitTestElement({35, 35}), Find(u"over")->Handle()) << "later siblings are on top";
  EXPECT_EQ(host.HitTestElement({100, 100}), host.Handle());
  EXPECT_EQ(host.HitTestElement({1000, 1000}), 0u);
  host.Mouse(WM_RBUTTONDOWN, 5, 5);
  EXPECT_EQ(HostEvents({EVT_CTXMENU}), (std::vector<int>{EVT_CTXMENU}));
}

class TabTaker : public SWindow {
 public:
  UINT KeyWants() const override { return SC_WANTTAB; }
};

TEST_F(DispatchTest, TabMovesTheFocusThroughCandidatesInTreeOrder) {
  auto& host = Build(uR"(<root>
      <window name="plain" pos="0,0" size="5,5"/>
      <window name="f1" focusable="1" pos="0,0" size="5,5"/>
      <window name="hidden" focusable="1" visible="0" pos="0,0" size="5,5"/>
      <window name="group"><window name="off" focusable="1" enable="0"/><window name="f2" focusable="1"/></window>
    </root>)");
  SWND f1 = Find(u"f1")->Handle(), f2 = Find(u"f2")->Handle();
  std::vector<std::u16string> focus_events;
  for (const char16_t* n : {u"f1", u"f2"}) {
    Find(n)->SubscribeEvent(EVT_SETFOCUS, [&focus_events, n](EventArgs*) { return focus_events.push_back(std::u16string(u"+") + n), false; });
    Find(n)->SubscribeEvent(EVT_KILLFOCUS, [&focus_events, n](EventArgs*) { return focus_events.push_back(std::u16string(u"-") + n), false; });
  }
  host.RouteHostMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(host.FocusedElement(), f1);
  EXPECT_EQ(host.FocusManagerOf()->LastReason(), kFocusByKeyboard);
  host.RouteHostMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(host.FocusedElement(), f2);
  host.RouteHostMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(host.FocusedElement(), f1) << "wraps to the start";
  host.FocusManagerOf()->HandleNavigationKey(VK_TAB, kAccelShift);
  EXPECT_EQ(host.FocusedElement(), f2);
  EXPECT_EQ(focus_events, (std::vector<std::u16string>{u"+f1", u"-f1", u"+f2", u"-f2", u"+f1", u"-f1", u"+f2"}));
  host.FocusManagerOf()->HandleNavigationKey(VK_TAB, kAccelCtrl);
  EXPECT_EQ(host.FocusedElement(), f2) << "Ctrl+Tab is left to accelerators";

  // An element that takes Tab itself keeps the focus.
  auto taker = SAutoRefPtr<SWindow>::Adopt(new TabTaker());
  taker->ApplyAttribute(u"focusable", u"1", true);
  host.AttachChild(taker.get());
  host.FocusElement(taker->Handle());
  host.RouteHostMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(host.FocusedElement(), taker->Handle());

  // Hiding the focused element takes the focus away.
  taker->ShowElement(false);
  EXPECT_EQ(host.FocusedElement(), 0u);
}

TEST_F(DispatchTest, TabWithoutFocusableElementsChangesNothing) {
  auto& host = Build(uR"(<root><window pos="0,0" size="5,5"/><window pos="0,0" size="5,5"/></root>)");
  host.RouteHostMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(host.FocusedElement(), 0u);
  EXPECT_TRUE(host.IsMsgHandled());
}

TEST_F(DispatchTest, FocusIsStoredWhileTheHostIsInactive) {
  auto& host = Build(uR"(<root><recorder name="a" focusable="1"/><recorder name="b" focusable="1"/></root>)");
  RecorderElement *a = Recorder(u"a"), *b = Recorder(u"b");
  host.FocusElement(a->Handle());
  a->log.clear();
  host.RouteHostMessage(WM_ACTIVATE, WA_INACTIVE, 0);
  host.RouteHostMessage(WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(host.FocusedElement(), 0u);
  EXPECT_EQ(a->Count(WM_KILLFOCUS), 1);
  EXPECT_EQ(host.FocusManagerOf()->StoredFocus(), a->Handle()) << "a second deactivation keeps it";
  host.FocusElement(b->Handle());
  EXPECT_EQ(host.FocusedElement(), 0u) << "while inactive only the stored focus changes";
  host.RouteHostMessage(WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(host.FocusedElement(), b->Handle());
  EXPECT_EQ(host.FocusManagerOf()->LastReason(), kFocusByRestore);
  EXPECT_EQ(host.FocusManagerOf()->StoredFocus(), kNoStoredFocus);
}

struct AccelTarget final : IAcceleratorTarget {
  bool OnAcceleratorPressed(const SAccelerator& a) override {
    seen.push_back(a);
    return take;
  }
  std::vector<SAccelerator> seen;
  bool take = true;
};

TEST_F(DispatchTest, KeysGoToTheFocusAndAltLettersToAccelerators) {
  auto& host = Build(uR"(<root><recorder name="f" focusable="1"/></root>)");
  AccelTarget first, second;
  host.FocusManagerOf()->AddAccelerator({'X', kAccelAlt}, &first);
  host.FocusManagerOf()->AddAccelerator({'X', kAccelAlt}, &second);
  constexpr LPARAM kAlt = LPARAM{1} << 29;
  host.RouteHostMessage(WM_SYSCHAR, 'x', kAlt);
  ASSERT_EQ(second.seen.size(), 1u) << "the most recently registered target first";
  EXPECT_EQ(second.seen[0], (SAccelerator{'X', kAccelAlt}));
  EXPECT_TRUE(first.seen.empty());
  second.take = false;
  host.RouteHostMessage(WM_SYSCHAR, 'x', kAlt);
  EXPECT_EQ(first.seen.size(), 1u);
  host.FocusManagerOf()->RemoveAcceleratorsOf(&first);
  host.FocusManagerOf()->RemoveAcceleratorsOf(&second);

  // No focus: key messages are not handled.
  host.RouteHostMessage(WM_CHAR, 'a', 0);
  EXPECT_FALSE(host.IsMsgHandled());
  RecorderElement* f = Recorder(u"f");
  host.FocusElement(f->Handle());
  host.RouteHostMessage(WM_CHAR, 'a', 0);
  host.RouteHostMessage(WM_KEYDOWN, 'B', 0);
  EXPECT_EQ(f->Count(WM_CHAR), 1);
  EXPECT_EQ(f->Count(WM_KEYDOWN), 1);
  EXPECT_FALSE(host.IsMsgHandled()) << "the base element does not handle keys";
}

TEST_F(DispatchTest, WheelGoesToTheFocusOrTheElementUnderThePointer) {
  auto& host = Build(uR"(<root><recorder name="f" focusable="1" pos="0,0" size="10,10"/><recorder name="u" pos="20,0" size="10,10"/></root>)");
  RecorderElement *f = Recorder(u"f"), *u = Recorder(u"u");
  host.RouteHostMessage(WM_MOUSEWHEEL, MAKELONG(0, 120), MAKELONG(25, 5));
  EXPECT_FALSE(host.IsMsgHandled()) << "nothing focused";
  host.FocusElement(f->Handle());
  host.RouteHostMessage(WM_MOUSEWHEEL, MAKELONG(0, 120), MAKELONG(25, 5));
  EXPECT_EQ(f->Count(WM_MOUSEWHEEL), 1);
  host.wheel_to_hover = true;
  host.RouteHostMessage(WM_MOUSEWHEEL, MAKELONG(0, 120), MAKELONG(25, 5));
  EXPECT_EQ(u->Count(WM_MOUSEWHEEL), 1);
  EXPECT_EQ(host.HoveredElement(), u->Handle());
}

TEST_F(DispatchTest, ElementTimersArePackedIntoHostTimerIds) {
  auto& host = Build(uR"(<root><recorder name="t"/></root>)");
  RecorderElement* t = Recorder(u"t");
  EXPECT_TRUE(t->SetElementTimer(5, 100));
  EXPECT_FALSE(t->SetElementTimer(200, 100)) << "element timer ids are 0-127";
  UINT_PTR id = MakeElementTimerId(t->Handle(), 5);
  ASSERT_EQ(host.timers.count(id), 1u);
  EXPECT_EQ(host.timers[id], 100u);
  EXPECT_EQ(id & 0x80000000u, 0x80000000u);
  EXPECT_EQ(ElementTimerOwnId(id), 5u);
  EXPECT_TRUE(host.RouteElementTimer(id));
  ASSERT_EQ(t->Count(WM_TIMER), 1);
  EXPECT_FALSE(host.RouteElementTimer(MakeElementTimerId(host.Handle(), 1))) << "the root's timers are the host's";
  EXPECT_FALSE(host.RouteElementTimer(5)) << "not an element timer";
  SWND handle = t->Handle();
  host.DeleteChild(t);
  EXPECT_FALSE(host.RouteElementTimer(MakeElementTimerId(handle, 5)));
  EXPECT_EQ(host.timers.count(id), 0u) << "the timer of a gone element is killed";
}

TEST_F(DispatchTest, ThreadTimersReachTheirElementUntilItIsGone) {
  auto& host = Build(uR"(<root><recorder name="t"/></root>)");
  RecorderElement* t = Recorder(u"t");
  ASSERT_TRUE(t->SetThreadTimer(3, 10));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (t->Count(UM_THREADTIMER) == 0 && std::chrono::steady_clock::now() < deadline) {
    MSG msg;
    while (platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) platform::DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_GE(t->Count(UM_THREADTIMER), 1);
  EXPECT_EQ(app_.Timer2().Size(), 1u);
  host.DeleteChild(t);
  EXPECT_EQ(app_.Timer2().Size(), 0u) << "destruction drops the element's thread timers";
}

TEST_F(DispatchTest, TrackedElementsSeeThePointerThroughTheirChildren) {
  auto& host = Build(uR"(<root><recorder name="p" trackMouseEvent="1" pos="0,0" size="50,50">
                           <recorder name="c" pos="0,0" size="50,50"/></recorder></root>)");
  RecorderElement *p = Recorder(u"p"), *c = Recorder(u"c");
  EXPECT_EQ(host.MouseTrackerCount(), 1u);
  host.Mouse(WM_MOUSEMOVE, 10, 10);
  EXPECT_TRUE(Has(c, WndState_Hover));
  EXPECT_TRUE(Has(p, WndState_Hover)) << "the tracker is hovered through its child";
  host.Mouse(WM_MOUSEMOVE, 80, 80);
  EXPECT_FALSE(Has(p, WndState_Hover));
  p->ApplyAttribute(u"trackMouseEvent", u"0", false);
  EXPECT_EQ(host.MouseTrackerCount(), 0u);
}

TEST_F(DispatchTest, ScriptTimersKeepRepeatingOnesAndDropOneShots) {
  SScriptTimer& timers = app_.ScriptTimer();
  UINT_PTR once = timers.SetScriptTimer(nullptr, u"tick()", 10, false);
  UINT_PTR again = timers.SetScriptTimer(nullptr, u"tock()", 10, true);
  ASSERT_NE(once, 0u);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(timers.Size(), 2u);
  timers.OnPlatformTimer(once);
  timers.OnPlatformTimer(again);
  EXPECT_EQ(timers.Size(), 1u) << "a one-shot timer is gone after it fired";
  timers.KillScriptTimer(again);
  EXPECT_EQ(timers.Size(), 0u);
  timers.OnPlatformTimer(again);  // a stale expiry only kills its platform timer
}

struct FrameCounter final : ITimelineHandler {
  void OnNextFrame() override {
    ++frames;
    if (remove_self) container->RemoveFrameHandler(this);
  }
  int frames = 0;
  bool remove_self = false;
  ISwndContainer* container = nullptr;
};

TEST_F(DispatchTest, FrameHandlersTickOncePerFrameWhileTheRootShows) {
  auto& host = Build(uR"(<root/>)");
  FrameCounter steady, once;
  once.remove_self = true;
  once.container = &host;
  EXPECT_TRUE(host.AddFrameHandler(&steady));
  EXPECT_FALSE(host.AddFrameHandler(&steady));
  host.AddFrameHandler(&once);
  host.FrameTick();
  host.FrameTick();
  EXPECT_EQ(steady.frames, 2);
  EXPECT_EQ(once.frames, 1);
  host.ShowElement(false);
  host.FrameTick();
  EXPECT_EQ(steady.frames, 2);
  host.RemoveFrameHandler(&steady);
}

TEST_F(DispatchTest, TreeOrderIsAPreOrderWalkRenumberedAfterInsertions) {
  auto& host = Build(uR"(<root><window name="a"><window name="a1"/><window name="a2"/></window><window name="b"/></root>)");
  host.RenumberTree();
  EXPECT_EQ(host.TreeOrder(), 0u);
  EXPECT_EQ(Find(u"a")->TreeOrder(), 1u);
  EXPECT_EQ(Find(u"a2")->TreeOrder(), 3u);
  EXPECT_EQ(Find(u"b")->TreeOrder(), 4u);
  auto late = SAutoRefPtr<SWindow>::Adopt(new SWindow());
  Find(u"a")->AttachChild(late.get(), ICWND_FIRST);
  EXPECT_TRUE(host.TreeOrderDirty());
  host.RenumberTree();
  EXPECT_EQ(late->TreeOrder(), 2u);
  EXPECT_EQ(Find(u"b")->TreeOrder(), 5u);
}

TEST_F(DispatchTest, TooltipsComeFromTheUpdateEventOrTheTipText) {
  auto& host = Build(uR"(<root><window name="t" tip="plain" pos="0,0" size="20,20"/></root>)");
  SWindow* t = Find(u"t");
  SwndToolTipInfo info;
  ASSERT_TRUE(t->QueryTip({1, 1}, info));
  EXPECT_EQ(info.text, u"plain");
  EXPECT_EQ(info.rc_target, (RECT{0, 0, 20, 20}));
  t->SubscribeEvent(EVT_UPDATE_TOOLTIP, [](EventArgs* a) {
    auto* e = static_cast<EventSwndUpdateTooltip*>(a);
    e->tooltip = u"live";
    e->updated = true;
    return true;
  });
  ASSERT_TRUE(t->QueryTip({1, 1}, info));
  EXPECT_EQ(info.text, u"live");
  host.Mouse(WM_MOUSEMOVE, 5, 5);
  t->SetTipText(u"changed");
  EXPECT_EQ(host.tip_refreshes, 1) << "the hover element's new tip is shown at once";
}

}  // namespace
}  // namespace LOOM
