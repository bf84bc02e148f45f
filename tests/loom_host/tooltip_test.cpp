// The hosts' tooltip: made by the application's factory, shown after the mouse rests on
// the target, placed below the pointer inside the monitor, hidden on leaving or a press.
#include <gtest/gtest.h>

#include "core/application.h"
#include "core/render.h"
#include "core/simple_wnd.h"
#include "core/tip_ctrl.h"
#include "platform/ui/monitor.h"
#include "platform/testing/test_input.h"
#include "platform/ui/windowing.h"

namespace LOOM {
namespace {

class TooltipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitWindowing());
    host_hwnd_ = host_.Create(u"host", WS_POPUP, 0, 100, 100, 300, 200, nullptr);
    ASSERT_NE(host_hwnd_, nullptr);
    tip_ = SAutoRefPtr<IToolTip>::Adopt(app_.ToolTipFactory()->CreateToolTip(host_hwnd_));
    ASSERT_TRUE(tip_);
    ctrl_ = dynamic_cast<STipCtrl*>(tip_.get());
    ASSERT_NE(ctrl_, nullptr);
  }
  void TearDown() override {
    if (tip_) app_.ToolTipFactory()->DestroyToolTip(tip_.get());
    host_.DestroyWindow();
    platform::test::DrainMessages();
  }
  MSG Message(UINT message, LPARAM lp) const {
    MSG msg{};
    msg.hwnd = host_hwnd_;
    msg.message = message;
    msg.lParam = lp;
    return msg;
  }
  MSG Move(int x, int y) { return Message(WM_MOUSEMOVE, MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y))); }
  bool Visible() const { return platform::IsWindowVisible(ctrl_->NativeHandle()) != FALSE; }
  RECT TipRect() const { return ctrl_->WindowRect(); }

  SAutoRefPtr<IRenderFactory> factory_ = SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory());
  SObjectDefaultRegister reg_;
  SApplication app_{factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_};
  CSimpleWnd host_;
  HWND host_hwnd_ = nullptr;
  SAutoRefPtr<IToolTip> tip_;
  STipCtrl* ctrl_ = nullptr;
};

TEST_F(TooltipTest, TheFactoryMakesAHiddenTopMostToolWindow) {
  HWND hwnd = ctrl_->NativeHandle();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(platform::GetWindowTextString(hwnd), u"loom tooltip");
  EXPECT_EQ(ctrl_->WindowExStyle(), WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
  EXPECT_TRUE(ctrl_->WindowStyle() & WS_POPUP);
  EXPECT_FALSE(Visible());
}

TEST_F(TooltipTest, RestingOnTheTargetShowsTheTipBelowThePointerWithoutTakingTheActivation) {
  host_.ShowWindow(SW_SHOWNORMAL);
  tip_->SetTipTarget(TipId{7, 0}, RECT{10, 10, 110, 60}, u"first line\\nsecond line", 100);
  EXPECT_EQ(ctrl_->TipText(), u"first line\nsecond line");
  MSG move = Move(20, 30);
  EXPECT_FALSE(tip_->PreTranslateMessage(&move));  // never consumes
  EXPECT_FALSE(Visible());                         // not before the delay
  ASSERT_TRUE(platform::test::PumpUntil([&] { return Visible(); }, 3000));
  RECT rc = TipRect();
  EXPECT_EQ(rc.left, 100 + 20);
  EXPECT_EQ(rc.top, 100 + 30 + STipCtrl::kPointerGap);
  EXPECT_GT(rc.right - rc.left, 10);
  EXPECT_GT(rc.bottom - rc.top, 20);  // two lines and the inset
  EXPECT_EQ(platform::GetActiveWindow(), host_hwnd_);
  // A black outline around the tooltip background.
  platform::test::DrainMessages();
  platform::test::Frame frame = platform::test::CapturePresented(ctrl_->NativeHandle());
  ASSERT_EQ(frame.width, rc.right - rc.left);
  EXPECT_EQ(frame.At(0, 0), 0xFF000000u);
  EXPECT_EQ(frame.At(frame.width - 1, frame.height - 1), 0xFF000000u);
  EXPECT_EQ(frame.At(2, frame.height - 2), 0xFFFFFFE1u);

  // Leaving the target hides it at once and forgets the text; the same tip again
  // changes nothing until another one has been given.
  MSG outside = Move(200, 150);
  tip_->TrackMouseMessage(outside);
  EXPECT_FALSE(Visible());
  EXPECT_TRUE(ctrl_->TipText().empty());
  tip_->SetTipTarget(TipId{7, 0}, RECT{10, 10, 110, 60}, u"again", 100);
  EXPECT_TRUE(ctrl_->TipText().empty());
  tip_->DropTip();
  EXPECT_EQ(ctrl_->CurrentTip(), TipId{});
  tip_->SetTipTarget(TipId{7, 0}, RECT{10, 10, 110, 60}, u"again", 100);
  EXPECT_EQ(ctrl_->TipText(), u"again");
}

TEST_F(TooltipTest, APressHidesTheTipAndMovesOfOtherWindowsAreIgnored) {
  tip_->SetTipTarget(TipId{1, 2}, RECT{0, 0, 300, 200}, u"tip", 100);
  MSG other = Move(5, 5);
  other.hwnd = ctrl_->NativeHandle();
  tip_->TrackMouseMessage(other);
  tip_->TrackMouseMessage(Move(5, 5));
  ASSERT_TRUE(platform::test::PumpUntil([&] { return Visible(); }, 3000));
  tip_->TrackMouseMessage(Message(WM_LBUTTONDOWN, 0));
  EXPECT_FALSE(Visible());
}

TEST_F(TooltipTest, ATipNearTheMonitorsEdgeIsKeptOnTheMonitor) {
  MONITORINFO info{};
  platform::GetMonitorInfoW(platform::MonitorFromWindow(host_hwnd_, MONITOR_DEFAULTTONEAREST), &info);
  platform::SetWindowPos(host_hwnd_, nullptr, info.rcMonitor.right - 50, info.rcMonitor.bottom - 40, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  tip_->SetTipTarget(TipId{3, 0}, RECT{0, 0, 300, 200}, u"a tip text that is rather long", 100);
  tip_->TrackMouseMessage(Move(40, 30));
  ASSERT_TRUE(platform::test::PumpUntil([&] { return Visible(); }, 3000));
  RECT rc = TipRect();
  EXPECT_EQ(rc.right, info.rcMonitor.right);
  EXPECT_EQ(rc.bottom, info.rcMonitor.bottom);
}

}  // namespace
}  // namespace LOOM
