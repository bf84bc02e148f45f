// Controls in real host windows (SDL's offscreen driver, injected input): the hover
// fade on the host's frame timer, tooltips of buttons, and the caption moving,
// maximising and restoring its window.
#include "core/caption.h"
#include "core/progress.h"
#include "core/tip_ctrl.h"
#include "tests/loom_controls/hosted_fixture.h"

namespace LOOM {
namespace {

using test::CommandHost;
using test::FrameCountingButton;
using test::HostedFixture;

class HostedTest : public HostedFixture {};

TEST_F(HostedTest, HoverFadeRunsNineFramesOfTheHostsTimerAndEndsOnTheHoverCell) {
  SHostWnd host(u"LAYOUT:XML_CONTROLS");
  HWND hwnd = Open(host);
  auto* fade = Find<FrameCountingButton>(host, u"fade");
  EXPECT_EQ(Presented(hwnd, 20, 50), test::kPixRed);
  platform::test::MouseMove(hwnd, POINT{20, 50});
  ASSERT_TRUE(platform::test::PumpUntil([&] { return fade->frames > 0; }, 3000)) << "frames come from the host";
  ASSERT_TRUE(platform::test::PumpUntil([&] { return !fade->IsFading(); }, 3000));
  EXPECT_EQ(fade->frames, 9);
  EXPECT_EQ(host.FrameHandlerCount(), 0u);
  platform::test::DrainMessages();
  EXPECT_EQ(Presented(hwnd, 20, 50), test::kPixGreen);
  // The frame timer stopped with the last handler: no more frames.
  platform::test::PumpUntil([] { return false; }, 50);
  EXPECT_EQ(fade->frames, 9);

  platform::test::MouseMove(hwnd, POINT{100, 60});
  ASSERT_TRUE(platform::test::PumpUntil([&] { return fade->frames == 18 && !fade->IsFading(); }, 3000));
  platform::test::DrainMessages();
  EXPECT_EQ(Presented(hwnd, 20, 50), test::kPixRed);
  host.DestroyWindow();
}

TEST_F(HostedTest, ButtonsGiveTheirTipToTheHostsTooltip) {
  SHostWnd host(u"LAYOUT:XML_CONTROLS");
  HWND hwnd = Open(host);
  auto* tip = dynamic_cast<STipCtrl*>(host.ToolTip());
  ASSERT_NE(tip, nullptr);
  platform::test::MouseMove(hwnd, POINT{20, 50});
  platform::test::DrainMessages();
  EXPECT_EQ(tip->TipText(), u"two\nlines") << "the two characters \\n become a line break";
  EXPECT_EQ(tip->TargetRect(), (RECT{10, 40, 30, 60}));
  platform::test::MouseMove(hwnd, POINT{185, 5});
  platform::test::DrainMessages();
  EXPECT_EQ(tip->TipText(), u"close");
  EXPECT_EQ(tip->TargetRect(), (RECT{180, 0, 190, 10})) << "a caption button of one skin cell";
  platform::test::MouseMove(hwnd, POINT{50, 50});
  platform::test::DrainMessages();
  EXPECT_TRUE(tip->TipText().empty()) << "no tip, nothing to show";
  host.DestroyWindow();
}

TEST_F(HostedTest, PressingTheCaptionMovesTheWindowAndLeavesNothingPressed) {
  CommandHost host(u"LAYOUT:XML_CONTROLS");
  HWND hwnd = Open(host, 100, 100);
  auto* cap = Find<SCaption>(host, u"cap");
  // The whole gesture is queued before the move loop starts; the loop reads it.
  platform::test::MouseMove(hwnd, POINT{50, 10});
  platform::test::MouseDown(hwnd, POINT{50, 10});
  platform::test::MouseMoveScreen(hwnd, POINT{170, 130});
  platform::test::MouseMoveScreen(hwnd, POINT{230, 160});
  platform::test::MouseUpScreen(hwnd, POINT{230, 160});
  platform::test::DrainMessages();
  RECT rc = WindowRectOf(hwnd);
  EXPECT_EQ(rc.left, 180);
  EXPECT_EQ(rc.top, 150);
  EXPECT_EQ(cap->State() & WndState_PushDown, 0u);
  EXPECT_TRUE(cap->IsFocused());
  EXPECT_EQ(platform::GetCapture(), nullptr);
  EXPECT_TRUE(host.commands.empty()) << "a caption raises no command";

  // The host saw the release: a button inside the caption still clicks.
  platform::test::Click(hwnd, POINT{185, 5});
  platform::test::DrainMessages();
  ASSERT_EQ(host.commands.size(), 1u);
  EXPECT_EQ(host.commands[0], u"btn_close");
  EXPECT_EQ(WindowRectOf(hwnd).left, 180) << "the button does not move the window";
  host.DestroyWindow();
}

TEST_F(HostedTest, DoubleClickingTheCaptionOfAFixedWindowChangesNothing) {
  SHostWnd host(u"LAYOUT:XML_CONTROLS");
  HWND hwnd = Open(host, 100, 100);
  platform::test::Click(hwnd, POINT{50, 10});
  platform::test::Click(hwnd, POINT{50, 10});
  platform::test::DrainMessages();
  EXPECT_FALSE(platform::IsZoomed(hwnd));
  EXPECT_EQ(WindowRectOf(hwnd), (RECT{100, 100, 300, 200}));
  host.DestroyWindow();
}

TEST_F(HostedTest, DoubleClickingTheCaptionOfAResizableWindowMaximisesAndRestores) {
  SHostWnd host(u"LAYOUT:XML_RESIZABLE");
  HWND hwnd = Open(host, 100, 100);
  ASSERT_TRUE(host.WindowStyle() & WS_THICKFRAME);
  platform::test::Click(hwnd, POINT{50, 10});
  platform::test::Click(hwnd, POINT{50, 10});
  platform::test::DrainMessages();
  ASSERT_TRUE(platform::IsZoomed(hwnd));
  RECT maximised = WindowRectOf(hwnd);
  EXPECT_GT(maximised.right - maximised.left, 200);

  // Maximised: a press only marks a drag, which this platform never starts.
  auto* cap = Find<SCaption>(host, u"cap");
  platform::test::MouseDown(hwnd, POINT{60, 10});
  platform::test::DrainMessages();
  EXPECT_TRUE(cap->DragPending());
  platform::test::MouseMove(hwnd, POINT{120, 20});
  platform::test::DrainMessages();
  EXPECT_TRUE(cap->DragPending());
  platform::test::MouseUp(hwnd, POINT{120, 20});
  platform::test::DrainMessages();
  EXPECT_FALSE(cap->DragPending());
  EXPECT_EQ(WindowRectOf(hwnd), maximised);
  // Released outside the caption: the next move without the button ends the drag.
  // (Pressed more than 2 pixels from the last press: no double click.)
  platform::test::MouseDown(hwnd, POINT{90, 10});
  platform::test::MouseMove(hwnd, POINT{120, 80});
  platform::test::MouseUp(hwnd, POINT{120, 80});
  platform::test::DrainMessages();
  EXPECT_TRUE(cap->DragPending());
  platform::test::MouseMove(hwnd, POINT{90, 10});
  platform::test::DrainMessages();
  EXPECT_FALSE(cap->DragPending());
  EXPECT_TRUE(platform::IsZoomed(hwnd));

  // Far enough in time from the last press not to be a double click with it.
  platform::test::PumpUntil([] { return false; }, 600);
  platform::test::Click(hwnd, POINT{50, 10});
  platform::test::Click(hwnd, POINT{50, 10});
  platform::test::DrainMessages();
  EXPECT_FALSE(platform::IsZoomed(hwnd));
  EXPECT_EQ(WindowRectOf(hwnd), (RECT{100, 100, 300, 200}));
  host.DestroyWindow();
}

TEST_F(HostedTest, WhereThePlatformRestoresOnDragAMaximisedWindowMovesOnlyOnceThePointerMoves) {
  SHostWnd host(u"LAYOUT:XML_RESIZABLE");
  HWND hwnd = Open(host, 100, 100);
  host.ShowWindow(SW_MAXIMIZE);
  platform::test::DrainMessages();
  ASSERT_TRUE(platform::IsZoomed(hwnd));
  RECT maximised = WindowRectOf(hwnd);
  auto* v6 = Find<test::Version6Caption>(host, u"v6");
  platform::test::MouseDown(hwnd, POINT{60, 40});
  platform::test::DrainMessages();
  EXPECT_TRUE(v6->DragPending());
  EXPECT_EQ(WindowRectOf(hwnd), maximised) << "no move on the press";
  // The move starts the move loop, which reads the rest of the gesture.
  platform::test::MouseMove(hwnd, POINT{70, 45});
  platform::test::KeyUp(VK_SHIFT);  // keeps the moves below from folding into this one
  POINT screen{maximised.left + 110, maximised.top + 75};
  platform::test::MouseMoveScreen(hwnd, screen);
  platform::test::MouseUpScreen(hwnd, screen);
  platform::test::DrainMessages();
  EXPECT_FALSE(v6->DragPending());
  RECT moved = WindowRectOf(hwnd);
  EXPECT_EQ(moved.left - maximised.left, 40);
  EXPECT_EQ(moved.top - maximised.top, 30);
  EXPECT_EQ(platform::GetCapture(), nullptr);
  host.DestroyWindow();
}

TEST_F(HostedTest, ProgressValueReachesTheScreen) {
  SHostWnd host(u"LAYOUT:XML_CONTROLS");
  HWND hwnd = Open(host);
  auto* bar = Find<SProgress>(host, u"bar");
  EXPECT_EQ(Presented(hwnd, 39, 95), 0xFF4AFFF9u);
  EXPECT_EQ(Presented(hwnd, 40, 95), 0xFF212329u);
  bar->SetProgressValue(37);
  platform::test::DrainMessages();
  EXPECT_EQ(Presented(hwnd, 73, 95), 0xFF4AFFF9u) << "37 * 200 / 100 = 74 pixels";
  EXPECT_EQ(Presented(hwnd, 74, 95), 0xFF212329u);
  host.DestroyWindow();
}

}  // namespace
}  // namespace LOOM
