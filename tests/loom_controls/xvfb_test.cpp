// The caption on a real X server (Xvfb): a real drag of the pointer moves the host
// window on the server.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/caption.h"
#include "tests/loom_controls/hosted_fixture.h"
#include "tests/support/command_output.h"

namespace LOOM {
namespace {

using test::HostedFixture;

class CaptionXvfbTest : public HostedFixture {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X server";
    HostedFixture::SetUp();
  }
  void TearDown() override {
    if (std::getenv("DISPLAY") == nullptr) return;
    HostedFixture::TearDown();
  }
};

TEST_F(CaptionXvfbTest, DraggingTheCaptionMovesTheWindow) {
  SHostWnd host(u"LAYOUT:XML_CONTROLS");
  HWND hwnd = Open(host, 100, 100);
  platform::SetWindowTextW(hwnd, u"controls-caption-drag");
  auto* cap = Find<SCaption>(host, u"cap");
  ASSERT_EQ(std::system("xdotool mousemove 150 110"), 0);
  platform::test::PumpUntil([&] { return host.HoveredElement() == cap->Handle(); });
  std::thread gesture([] {
    // The move loop runs inside the caption's handling of the press: the rest of the
    // gesture comes from the server while it runs.
    std::system("xdotool mousedown 1 sleep 0.1 mousemove 200 140 sleep 0.1 mousemove 250 170 sleep 0.1 mouseup 1");
  });
  bool moved = platform::test::PumpUntil([&] {
    RECT rc = WindowRectOf(hwnd);
    return rc.left == 200 && rc.top == 160 && (platform::GetKeyState(VK_LBUTTON) & 0x8000) == 0;
  });
  gesture.join();
  platform::test::DrainMessages();
  EXPECT_TRUE(moved);
  EXPECT_EQ(cap->State() & WndState_PushDown, 0u);
  std::string geometry = krdn::testing::CommandOutput("xdotool search --name controls-caption-drag getwindowgeometry");
  EXPECT_NE(geometry.find("Position: 200,160"), std::string::npos) << geometry;
  host.DestroyWindow();
}

}  // namespace
}  // namespace LOOM
