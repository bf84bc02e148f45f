// The platform message box, answered by injected keys and clicks.
#include "platform/ui/message_box.h"
#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

// Runs `step` once from inside the box's own message loop, soon after it starts.
class MessageBoxTest : public WindowTest {
 protected:
  static std::function<void()>& Step() {
    static std::function<void()> step;
    return step;
  }
  void DuringTheBox(std::function<void()> step) {
    Step() = std::move(step);
    timer_ = platform::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
      platform::KillTimer(nullptr, id);
      if (auto next = std::exchange(Step(), nullptr)) next();
    });
  }
  void TearDown() override {
    platform::KillTimer(nullptr, timer_);
    Step() = nullptr;
    test::KeyUp(VK_SHIFT);
    WindowTest::TearDown();
  }
  UINT_PTR timer_ = 0;
};

TEST_F(MessageBoxTest, EnterTakesTheFirstButtonAndEscTheSafeAnswer) {
  test::KeyPress(VK_RETURN);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"无法验证下载程序，仍然要运行么？", u"Velmora3", MB_YESNO | MB_ICONQUESTION), IDYES);
  test::KeyPress(VK_ESCAPE);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"无法验证下载程序，仍然要运行么？", u"Velmora3", MB_YESNO | MB_ICONQUESTION), IDNO);
  test::KeyPress(VK_ESCAPE);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"请选择安装目录", u"错误", MB_OK | MB_ICONERROR), IDOK);
  test::KeyPress(VK_ESCAPE);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"?", u"?", MB_OKCANCEL), IDCANCEL);
}

TEST_F(MessageBoxTest, TabAndArrowsMoveBetweenButtonsAndLettersChoose) {
  test::KeyPress(VK_TAB);
  test::KeyPress(VK_RETURN);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
  test::KeyPress(VK_RIGHT);
  test::KeyPress(VK_RIGHT);  // wraps round to the first
  test::KeyPress(VK_SPACE);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDYES);
  test::KeyPress('N');
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
  test::KeyDown(VK_MENU);
  test::KeyPress(VK_F4);  // closing the box
  test::KeyUp(VK_MENU);
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
}

TEST_F(MessageBoxTest, ItIsModalOverItsOwnerAndShowsItsCaptionIconAndText) {
  HWND owner = MakeShown({100, 100, 700, 500});
  HWND child = Make(WS_CHILD | WS_VISIBLE, 0, {10, 10, 50, 50}, owner);
  bool checked = false;
  DuringTheBox([&] {
    HWND box = test::CurrentMessageBox();
    ASSERT_NE(box, nullptr);
    checked = true;
    EXPECT_FALSE(platform::IsWindowEnabled(owner));
    EXPECT_EQ(platform::GetWindow(box, GW_OWNER), owner);
    RECT rect{};
    platform::GetWindowRect(box, &rect);
    EXPECT_NEAR((rect.left + rect.right) / 2, 400, 1);  // centred over the owner
    EXPECT_NEAR((rect.top + rect.bottom) / 2, 300, 1);
    test::DrainMessages();
    test::Frame frame = test::CapturePresented(box);
    ASSERT_GT(frame.width, 200);
    EXPECT_EQ(frame.At(frame.width / 2, 2), 0xFF2866B8u);  // the caption strip
    int ink = 0;  // dark pixels of the text
    for (std::uint32_t pixel : frame.pixels) ink += (pixel & 0xFF) < 0x60 && ((pixel >> 8) & 0xFF) < 0x60;
    EXPECT_GT(ink, 50);
    // The owner takes no clicks meanwhile.
    Log().clear();
    test::Click(owner, {300, 300});
    test::DrainMessages();
    EXPECT_TRUE(Received(owner, WM_LBUTTONDOWN).empty());
    EXPECT_EQ(platform::GetActiveWindow(), box);
    RECT ok = test::MessageBoxButtonRect(box, IDOK);
    POINT middle{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2};
    test::MouseMove(box, middle);
    test::Click(box, middle);
  });
  EXPECT_EQ(platform::MessageBoxW(child, u"创建目录失败", u"错误", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(platform::IsWindowEnabled(owner));
  EXPECT_EQ(platform::GetActiveWindow(), owner);
}

TEST_F(MessageBoxTest, APressReleasedAwayFromTheButtonChoosesNothing) {
  DuringTheBox([] {
    HWND box = test::CurrentMessageBox();
    ASSERT_NE(box, nullptr);
    RECT yes = test::MessageBoxButtonRect(box, IDYES);
    test::MouseDown(box, POINT{yes.left + 5, yes.top + 5});
    test::MouseUp(box, POINT{yes.left - 40, yes.top - 40});
    test::KeyPress(VK_ESCAPE);
  });
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
}

TEST_F(MessageBoxTest, AQuitEndsTheBoxAndReachesTheEnclosingLoop) {
  DuringTheBox([] { platform::PostQuitMessage(4); });
  EXPECT_EQ(platform::MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
  MSG msg;
  ASSERT_TRUE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(MessageBoxTest, ADisabledOwnerStaysDisabledAfterwards) {
  HWND owner = MakeShown();
  platform::EnableWindow(owner, FALSE);
  test::KeyPress(VK_RETURN);
  EXPECT_EQ(platform::MessageBoxW(owner, u"t", u"c", MB_OK), IDOK);
  EXPECT_FALSE(platform::IsWindowEnabled(owner));
}

}  // namespace
}  // namespace window_test
