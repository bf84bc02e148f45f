// A high-density desktop (GDK_SCALE=2, on a real X server): windows are shown at twice
// their size, smoothly enlarged, while every coordinate of the layer stays in its own
// pixels, and a real click lands where it was made.
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/ui/paint.h"
#include "platform/ui/windowing.h"
#include "tests/platform/ui/window_fixture.h"
#include "tests/support/command_output.h"

namespace window_test {
namespace {

using namespace platform;

class ScaleTest : public XServerTest {
 protected:
  // Paints the left half red and the right half blue.
  void PaintHalves(HWND hwnd) {
    On(hwnd, [](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (message != WM_PAINT) return std::nullopt;
      PAINTSTRUCT paint;
      HDC dc = platform::BeginPaint(h, &paint);
      RECT client{};
      platform::GetClientRect(h, &client);
      std::vector<std::uint32_t> pixels(static_cast<std::size_t>(client.right) * client.bottom);
      for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
          pixels[static_cast<std::size_t>(y) * client.right + x] = x < client.right / 2 ? 0xFFFF0000u : 0xFF0000FFu;
      platform::BlitToDC(dc, 0, 0, client.right, client.bottom, pixels.data(), client.right);
      platform::EndPaint(h, &paint);
      return 0;
    });
  }
};

TEST_F(ScaleTest, AWindowIsShownAtTwiceItsSizeAndKeepsItsOwnCoordinates) {
  ASSERT_EQ(platform::WindowScale(), 2);
  HWND hwnd = Make(WS_POPUP, 0, {100, 80, 300, 180});
  PaintHalves(hwnd);
  platform::ShowWindow(hwnd, SW_SHOWNA);
  ASSERT_TRUE(test::PumpUntil([&] { return test::PresentCount(hwnd) > 0; }));
  RECT rect{};
  platform::GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect, (RECT{100, 80, 300, 180}));
  std::ostringstream id;
  id << "0x" << std::hex << test::NativeWindowId(hwnd);
  const std::string info = krdn::testing::CommandOutput("xwininfo -id " + id.str());
  EXPECT_NE(info.find("Width: 400"), std::string::npos) << info;
  EXPECT_NE(info.find("Height: 200"), std::string::npos) << info;
  EXPECT_NE(info.find("Absolute upper-left X:  200"), std::string::npos) << info;

  // Enlarged smoothly: whole colours inside each half, a blend only at the seam.
  test::Frame frame = test::CapturePresented(hwnd);
  ASSERT_EQ(frame.width, 400);
  ASSERT_EQ(frame.height, 200);
  EXPECT_EQ(frame.At(10, 10) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(frame.At(390, 190) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(frame.At(197, 100) & 0xFFFFFF, 0xFF0000u);
  const std::uint32_t seam = frame.At(199, 100);
  EXPECT_TRUE((seam & 0xFF) != 0 && ((seam >> 16) & 0xFF) != 0) << std::hex << seam << " blends red and blue";
}

TEST_F(ScaleTest, ARealClickLandsOnThePointOfTheWindowUnderIt) {
  HWND hwnd = Make(WS_POPUP, 0, {100, 80, 300, 180});
  PaintHalves(hwnd);
  platform::ShowWindow(hwnd, SW_SHOW);
  ASSERT_TRUE(test::PumpUntil([&] { return test::PresentCount(hwnd) > 0; }));
  Log().clear();
  // The screen point (500, 260) is the window's own point (150, 50): the blue half.
  ASSERT_EQ(std::system("xdotool mousemove 500 260 click 1"), 0);
  ASSERT_TRUE(test::PumpUntil([&] { return !Received(hwnd, WM_LBUTTONUP).empty(); }));
  auto down = Received(hwnd, WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(down[0].lparam), 150);
  EXPECT_EQ(GET_Y_LPARAM(down[0].lparam), 50);
  POINT cursor{};
  platform::GetCursorPos(&cursor);
  EXPECT_EQ(cursor, (POINT{250, 130}));
}

}  // namespace
}  // namespace window_test
