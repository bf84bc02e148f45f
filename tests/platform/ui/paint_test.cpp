// Painting: what reaches the screen, how often, and the caret drawn over it.
#include <thread>

#include "platform/ui/caret.h"
#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

constexpr std::uint32_t kRed = 0xFFFF0000u;  // premultiplied BGRA as a 32-bit value: A R G B
constexpr std::uint32_t kBlue = 0xFF0000FFu;

// A window whose WM_PAINT fills the painted rectangle from a cache of one colour.
class PaintTest : public WindowTest {
 protected:
  HWND MakePainted(RECT rect, std::uint32_t* colour) {
    HWND hwnd = Make(WS_POPUP, 0, rect);
    On(hwnd, [colour, this](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (message != WM_PAINT) return std::nullopt;
      PAINTSTRUCT ps;
      HDC hdc = platform::BeginPaint(h, &ps);
      const RECT& r = ps.rcPaint;
      std::vector<std::uint32_t> cache(static_cast<std::size_t>(r.right - r.left) * (r.bottom - r.top), *colour);
      if (!cache.empty()) platform::BlitToDC(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, cache.data(), r.right - r.left);
      painted_.push_back(r);
      platform::EndPaint(h, &ps);
      return 0;
    });
    return hwnd;
  }
  std::vector<RECT> painted_;
};

TEST_F(PaintTest, AShownWindowPaintsOnceAndTheScreenShowsWhatItDrew) {
  std::uint32_t colour = kRed;
  HWND hwnd = MakePainted({100, 100, 200, 150}, &colour);
  platform::ShowWindow(hwnd, SW_SHOW);
  test::DrainMessages();
  ASSERT_EQ(painted_.size(), 1u);
  EXPECT_EQ(painted_[0], (RECT{0, 0, 100, 50}));
  test::Frame frame = test::CapturePresented(hwnd);
  ASSERT_EQ(frame.width, 100);
  ASSERT_EQ(frame.height, 50);
  EXPECT_EQ(frame.At(0, 0), kRed);
  EXPECT_EQ(frame.At(99, 49), kRed);
}

TEST_F(PaintTest, ManyInvalidationsGiveOnePaintAndOneCopyToTheScreen) {
  std::uint32_t colour = kRed;
  HWND hwnd = MakePainted({0, 0, 200, 200}, &colour);
  platform::ShowWindow(hwnd, SW_SHOWNA);
  test::DrainMessages();
  painted_.clear();
  int presents = test::PresentCount(hwnd);
  colour = kBlue;
  for (int i = 0; i < 20; ++i) {
    RECT r{i * 5, i * 5, i * 5 + 3, i * 5 + 3};
    platform::InvalidateRect(hwnd, &r, FALSE);
  }
  test::DrainMessages();
  ASSERT_EQ(painted_.size(), 1u);
  EXPECT_EQ(painted_[0], (RECT{0, 0, 98, 98}));
  EXPECT_EQ(test::PresentCount(hwnd), presents + 1);
  test::Frame frame = test::CapturePresented(hwnd);
  EXPECT_EQ(frame.At(50, 50), kBlue);
  EXPECT_EQ(frame.At(150, 150), kRed);  // outside the painted area: as it was
}

TEST_F(PaintTest, ResizingRepaintsTheWholeWindowAndKeepsTheStoreInStep) {
  std::uint32_t colour = kRed;
  HWND hwnd = MakePainted({0, 0, 50, 50}, &colour);
  platform::ShowWindow(hwnd, SW_SHOWNA);
  test::DrainMessages();
  painted_.clear();
  colour = kBlue;
  platform::SetWindowPos(hwnd, nullptr, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  test::DrainMessages();
  ASSERT_EQ(painted_.size(), 1u);
  EXPECT_EQ(painted_[0], (RECT{0, 0, 120, 80}));
  test::Frame frame = test::CapturePresented(hwnd);
  ASSERT_EQ(frame.width, 120);
  EXPECT_EQ(frame.At(119, 79), kBlue);
}

TEST_F(PaintTest, DevicesClipToTheirAreaAndPresentOnlyWhatWasDrawn) {
  HWND hwnd = MakeShown({0, 0, 64, 32});
  platform::ValidateRect(hwnd, nullptr);
  HDC hdc = platform::GetDC(hwnd);
  const PixelSurface* surface = platform::GetDCSurface(hdc);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->width, 64);
  EXPECT_EQ(surface->clip, (RECT{0, 0, 64, 32}));
  std::vector<std::uint32_t> block(100 * 100, kBlue);
  EXPECT_TRUE(platform::BlitToDC(hdc, 60, 28, 100, 100, block.data(), 100));  // mostly outside: clipped
  int presents = test::PresentCount(hwnd);
  EXPECT_EQ(platform::ReleaseDC(hwnd, hdc), 1);
  EXPECT_EQ(test::PresentCount(hwnd), presents + 1);
  EXPECT_EQ(platform::GetDCSurface(hdc), nullptr);  // released: the handle means nothing now
  test::Frame frame = test::CapturePresented(hwnd);
  EXPECT_EQ(frame.At(63, 31), kBlue);
  EXPECT_NE(frame.At(59, 27), kBlue);
  EXPECT_FALSE(platform::BlitToDC(reinterpret_cast<HDC>(std::intptr_t{0x1234}), 0, 0, 1, 1, block.data(), 1));
  HDC screen = platform::GetDC(nullptr);
  EXPECT_EQ(platform::GetDCSurface(screen)->pixels, nullptr);
  platform::ReleaseDC(nullptr, screen);
}

TEST_F(PaintTest, ValidatingABandShrinksTheInvalidArea) {
  HWND hwnd = Make(WS_POPUP, 0, {0, 0, 100, 100});
  RECT area{10, 10, 90, 90};
  platform::InvalidateRect(hwnd, &area, FALSE);
  RECT top_band{0, 0, 100, 50};
  platform::ValidateRect(hwnd, &top_band);
  RECT left{};
  ASSERT_TRUE(platform::GetUpdateRect(hwnd, &left, FALSE));
  EXPECT_EQ(left, (RECT{10, 50, 90, 90}));
  RECT middle{20, 20, 30, 30};  // cannot be cut out of a rectangle: no change
  platform::ValidateRect(hwnd, &middle);
  platform::GetUpdateRect(hwnd, &left, FALSE);
  EXPECT_EQ(left, (RECT{10, 50, 90, 90}));
  platform::InvalidateRect(hwnd, nullptr, FALSE);
  platform::GetUpdateRect(hwnd, &left, FALSE);
  EXPECT_EQ(left, (RECT{0, 0, 100, 100}));
}

TEST_F(PaintTest, InvalidationFromAnotherThreadWakesTheWindowsThread) {
  std::uint32_t colour = kRed;
  HWND hwnd = MakePainted({0, 0, 40, 40}, &colour);
  platform::ShowWindow(hwnd, SW_SHOWNA);
  test::DrainMessages();
  painted_.clear();
  std::thread other([hwnd] { platform::InvalidateRect(hwnd, nullptr, FALSE); });
  other.join();
  MSG msg;
  ASSERT_TRUE(platform::GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  platform::DispatchMessageW(&msg);
  EXPECT_EQ(painted_.size(), 1u);
}

TEST_F(PaintTest, TheCaretInvertsWhatTheScreenShowsAndRestoresIt) {
  std::uint32_t colour = 0xFF000000u;  // opaque black
  HWND hwnd = MakePainted({0, 0, 40, 40}, &colour);
  platform::ShowWindow(hwnd, SW_SHOW);
  test::DrainMessages();
  ASSERT_TRUE(platform::CreateCaret(hwnd, nullptr, 2, 10));
  platform::SetCaretPos(5, 6);
  EXPECT_EQ(test::CapturePresented(hwnd).At(5, 6), 0xFF000000u);  // created hidden
  ASSERT_TRUE(platform::ShowCaret(hwnd));
  test::Frame shown = test::CapturePresented(hwnd);
  EXPECT_EQ(shown.At(5, 6), 0xFFFFFFFFu);
  EXPECT_EQ(shown.At(6, 15), 0xFFFFFFFFu);
  EXPECT_EQ(shown.At(7, 6), 0xFF000000u);
  // A repaint under the caret keeps it drawn on top.
  RECT under{0, 0, 20, 20};
  platform::InvalidateRect(hwnd, &under, FALSE);
  test::DrainMessages();
  EXPECT_EQ(test::CapturePresented(hwnd).At(5, 6), 0xFFFFFFFFu);
  // It blinks: after a blink time it is gone, after another it is back.
  POINT at{};
  platform::GetCaretPos(&at);
  EXPECT_EQ(at, (POINT{5, 6}));
  ASSERT_TRUE(platform::SetCaretBlinkTime(20));
  EXPECT_TRUE(test::PumpUntil([&] { return test::CapturePresented(hwnd).At(5, 6) == 0xFF000000u; }, 3000));
  EXPECT_TRUE(test::PumpUntil([&] { return test::CapturePresented(hwnd).At(5, 6) == 0xFFFFFFFFu; }, 3000));
  platform::SetCaretBlinkTime(530);
  platform::HideCaret(hwnd);
  EXPECT_EQ(test::CapturePresented(hwnd).At(5, 6), 0xFF000000u);
  EXPECT_TRUE(platform::DestroyCaret());
  EXPECT_FALSE(platform::ShowCaret(hwnd));
}

}  // namespace
}  // namespace window_test
