// Host painting: the first frame, invalidations merged into one repaint and one copy,
// repaints after a size change, painting outside a repaint, elements without background
// blending, the caret drawn by inversion, and translucent hosts.
#include "platform/ui/caret.h"
#include "tests/loom_host/host_fixture.h"

namespace LOOM {
namespace {

using test::HostFixture;
using test::kPixBlue;
using test::kPixGreen;
using test::kPixRed;
using test::kPixWhite;

class HostPaintTest : public HostFixture {
 protected:
  // A shown main-layout host of 600 x 300 that has painted its first frame.
  HWND ShowMain(SHostWnd& host) {
    HWND hwnd = host.Create(nullptr, 0, 0, 600, 300);
    host.ShowWindow(SW_SHOWNA);
    test::DrainQueue();
    return hwnd;
  }
  static std::uint32_t Screen(HWND hwnd, int x, int y) { return platform::test::CapturePresented(hwnd).At(x, y); }
};

TEST_F(HostPaintTest, TheFirstFrameShowsTheTreeThroughTheCache) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = ShowMain(host);
  EXPECT_EQ(host.RepaintCount(), 1);
  EXPECT_EQ(host.LastCopiedArea(), (RECT{0, 0, 600, 300}));
  EXPECT_EQ(Screen(hwnd, 15, 15), kPixRed);    // btn_a, skin cell "normal"
  EXPECT_EQ(Screen(hwnd, 25, 75), kPixGreen);  // inner, on the panel
  EXPECT_EQ(Screen(hwnd, 300, 250), kPixBlue);  // panel
  EXPECT_EQ(Screen(hwnd, 550, 280), kPixWhite);  // root background
  EXPECT_EQ(host.Cache()->PixelAt(25, 75), kPixGreen);
  host.DestroyWindow();
}

TEST_F(HostPaintTest, ManyInvalidationsBeforeAPaintCostOneRepaintAndOneCopyOfTheirArea) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = ShowMain(host);
  const int repaints = host.RepaintCount();
  const int presents = platform::test::PresentCount(hwnd);
  SWindow* a = Find(host, u"btn_a");  // 10,10 - 90,40
  SWindow* b = Find(host, u"btn_b");  // 100,10 - 180,40
  for (int i = 0; i < 10; ++i) {
    const DWORD hover = WndState_Hover;
    a->ChangeState(i % 2 ? 0 : hover, i % 2 ? hover : 0, true);
    b->MarkDirty();
  }
  a->ChangeState(WndState_Hover, 0, true);
  test::DrainQueue();
  EXPECT_EQ(host.RepaintCount(), repaints + 1);
  EXPECT_EQ(platform::test::PresentCount(hwnd), presents + 1);
  EXPECT_EQ(host.LastCopiedArea(), (RECT{10, 10, 180, 40}));
  EXPECT_EQ(Screen(hwnd, 15, 15), kPixGreen);  // the hover cell
  EXPECT_EQ(Screen(hwnd, 105, 15), kPixRed);
  host.DestroyWindow();
}

TEST_F(HostPaintTest, ASizeChangeRepaintsTheWholeWindowOnce) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = ShowMain(host);
  const int repaints = host.RepaintCount();
  platform::SetWindowPos(hwnd, nullptr, 0, 0, 700, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  test::DrainQueue();
  EXPECT_EQ(host.RepaintCount(), repaints + 1);
  EXPECT_EQ(host.LastCopiedArea(), (RECT{0, 0, 700, 320}));
  EXPECT_EQ(host.ElementArea(), (RECT{0, 0, 700, 320}));
  EXPECT_EQ(Screen(hwnd, 690, 310), kPixWhite);
  // A minimised window repaints nothing.
  platform::ShowWindow(hwnd, SW_MINIMIZE);
  test::DrainQueue();
  EXPECT_EQ(host.ElementArea(), (RECT{0, 0, 700, 320}));
  host.DestroyWindow();
}

TEST_F(HostPaintTest, AnElementPaintingOutsideARepaintReachesTheCacheAndTheScreenAtOnce) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = ShowMain(host);
  const int repaints = host.RepaintCount();
  SWindow* inner = Find(host, u"inner");  // 20,70 - 70,90
  RECT area = inner->ElementArea();
  IRenderTarget* rt = inner->BeginElementPaint(&area, kPaintCopy, false);
  ASSERT_NE(rt, nullptr);
  rt->FillColorRect(area, RGBA(255, 0, 0, 255));
  inner->EndElementPaint(rt);
  EXPECT_EQ(host.Cache()->PixelAt(30, 80), kPixRed);
  EXPECT_EQ(Screen(hwnd, 30, 80), kPixRed);
  EXPECT_EQ(host.RepaintCount(), repaints);
  // A scratch target changes neither.
  rt = inner->BeginElementPaint(&area, kPaintScratch, false);
  ASSERT_NE(rt, nullptr);
  rt->FillColorRect(area, RGBA(0, 0, 255, 255));
  inner->EndElementPaint(rt);
  EXPECT_EQ(host.Cache()->PixelAt(30, 80), kPixRed);
  host.DestroyWindow();
}

TEST_F(HostPaintTest, AnElementWithoutBackgroundBlendingRepaintsThroughTheUpdateList) {
  SHostWnd host(u"LAYOUT:XML_MAIN");
  HWND hwnd = ShowMain(host);
  auto* rec = Find<test::RecorderElement>(host, u"rec");  // 400,10 - 500,50
  ASSERT_TRUE(SUCCEEDED(rec->ApplyAttribute(u"bkgndBlend", u"0", false)));
  ASSERT_TRUE(SUCCEEDED(rec->ApplyAttribute(u"colorBkgnd", u"#00FF00", false)));
  test::DrainQueue();
  rec->log.clear();
  rec->MarkDirty();
  rec->MarkDirty();  // listed once
  host.SendWindowMessage(UM_UPDATESWND, rec->Handle());
  test::DrainQueue();
  EXPECT_EQ(rec->Count(WM_PAINT), 1);
  EXPECT_EQ(Screen(hwnd, 450, 30), kPixGreen);
  host.DestroyWindow();
}

class CaretTest : public HostPaintTest {
 protected:
  void SetUp() override {
    HostPaintTest::SetUp();
    hwnd_ = ShowMain(host_);
    panel_ = Find(host_, u"panel");  // 10,60 - 310,260, blue
  }
  void TearDown() override {
    host_.DestroyWindow();
    HostPaintTest::TearDown();
  }
  SHostWnd host_{u"LAYOUT:XML_MAIN"};
  HWND hwnd_ = nullptr;
  SWindow* panel_ = nullptr;
};

TEST_F(CaretTest, DrawingTheCaretTwiceLeavesTheCacheUnchanged) {
  ASSERT_TRUE(host_.CreateCaret(panel_->Handle(), nullptr, 2, 16));
  host_.MoveCaret(POINT{100, 100});
  std::vector<COLORREF> before = CachePixels(host_);
  ASSERT_TRUE(host_.ShowCaret(true));
  EXPECT_TRUE(host_.CaretDrawn());
  EXPECT_EQ(host_.Cache()->PixelAt(100, 100), 0xFFFFFF00u);  // blue inverted
  EXPECT_EQ(host_.Cache()->PixelAt(101, 115), 0xFFFFFF00u);
  EXPECT_EQ(host_.Cache()->PixelAt(102, 100), kPixBlue);
  test::DrainQueue();
  EXPECT_EQ(Screen(hwnd_, 100, 100), 0xFFFFFF00u);
  ASSERT_TRUE(host_.ShowCaret(false));
  EXPECT_EQ(CachePixels(host_), before);
  test::DrainQueue();
  EXPECT_EQ(Screen(hwnd_, 100, 100), kPixBlue);
}

TEST_F(CaretTest, ACaretPartlyOutsideItsElementIsDrawnOnlyInside) {
  host_.CreateCaret(panel_->Handle(), nullptr, 10, 10);
  host_.MoveCaret(POINT{305, 100});  // the panel ends at 310
  host_.ShowCaret(true);
  EXPECT_EQ(host_.Cache()->PixelAt(309, 105), 0xFFFFFF00u);
  EXPECT_EQ(host_.Cache()->PixelAt(310, 105), kPixWhite);
  // Moving it erases it at the old place.
  host_.MoveCaret(POINT{200, 200});
  EXPECT_EQ(host_.Cache()->PixelAt(309, 105), kPixBlue);
  EXPECT_EQ(host_.Cache()->PixelAt(205, 205), 0xFFFFFF00u);
}

TEST_F(CaretTest, ARepaintUnderTheCaretKeepsItDrawnOnce) {
  host_.CreateCaret(panel_->Handle(), nullptr, 2, 16);
  host_.MoveCaret(POINT{25, 72});  // over "inner" (green)
  host_.ShowCaret(true);
  test::DrainQueue();
  Find(host_, u"inner")->MarkDirty();
  panel_->MarkDirty();
  test::DrainQueue();
  EXPECT_EQ(host_.Cache()->PixelAt(25, 75), 0xFFFF00FFu);  // green inverted, once
  EXPECT_EQ(Screen(hwnd_, 25, 75), 0xFFFF00FFu);
  // An element painting outside a repaint does not disturb it either.
  SWindow* inner = Find(host_, u"inner");
  RECT area = inner->ElementArea();
  IRenderTarget* rt = inner->BeginElementPaint(&area, kPaintCopy, false);
  inner->EndElementPaint(rt);
  EXPECT_EQ(host_.Cache()->PixelAt(25, 75), 0xFFFF00FFu);
  host_.ShowCaret(false);
  EXPECT_EQ(host_.Cache()->PixelAt(25, 75), kPixGreen);
}

TEST_F(CaretTest, TheCaretBlinksOnTheRootsTimer) {
  platform::SetCaretBlinkTime(20);
  host_.CreateCaret(panel_->Handle(), nullptr, 2, 16);
  host_.MoveCaret(POINT{100, 100});
  host_.ShowCaret(true);
  EXPECT_TRUE(platform::test::PumpUntil([&] { return !host_.CaretDrawn(); }, 3000));
  EXPECT_TRUE(platform::test::PumpUntil([&] { return host_.CaretDrawn(); }, 3000));
  host_.ShowCaret(false);
  platform::SetCaretBlinkTime(530);
  EXPECT_EQ(host_.Cache()->PixelAt(100, 100), kPixBlue);
}

TEST_F(HostPaintTest, ATranslucentHostPaintsOnlyThroughItsInvisibleDummyWindow) {
  SHostWnd host(u"LAYOUT:XML_TRANSLUCENT");
  HWND hwnd = host.Create(nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_TRUE(host.WindowExStyle() & WS_EX_LAYERED);
  HWND dummy = host.DummyWindow();
  ASSERT_NE(dummy, nullptr);
  EXPECT_EQ(platform::GetWindowTextString(dummy), u"LOOM_DUMMY_WND");
  EXPECT_EQ(platform::GetWindowLongPtrW(dummy, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE),
            static_cast<LONG_PTR>(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE));
  host.ShowWindow(SW_SHOWNORMAL);
  test::DrainQueue();
  EXPECT_EQ(host.RepaintCount(), 1);
  EXPECT_NE(platform::GetActiveWindow(), dummy);
  // The root is half-transparent red: the screen receives its premultiplied pixels.
  platform::test::Frame frame = platform::test::CapturePresented(hwnd);
  ASSERT_EQ(frame.width, 120);
  EXPECT_EQ(frame.At(60, 60) & 0x00FFFFFFu, 0x00800000u);
  EXPECT_EQ(frame.At(15, 15), kPixBlue);
  // Later invalidations go to the dummy window, and only their area is sent.
  Find(host, u"dot")->MarkDirty();
  test::DrainQueue();
  EXPECT_EQ(host.RepaintCount(), 2);
  EXPECT_EQ(host.LastCopiedArea(), (RECT{10, 10, 30, 30}));
  host.DestroyWindow();
  EXPECT_FALSE(platform::IsWindow(dummy));
}

}  // namespace
}  // namespace LOOM
