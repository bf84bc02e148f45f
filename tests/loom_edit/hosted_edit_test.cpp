// Edit boxes in a real host window (SDL's offscreen driver, injected input): the caret
// the engine asks for, drawn by inversion into the host's cache, typing through the
// window's keyboard, and the pop-up menu's own loop.
#include "core/edit.h"
#include "core/menu_popup.h"
#include "core/text_host.h"
#include "tests/loom_controls/hosted_fixture.h"

namespace LOOM {
namespace {

class HostedEditTest : public test::HostedFixture {
 protected:
  HostedEditTest() {
    system_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(system_.get(), platform::CurrentModule());
    app_.InstallSystemResources(system_.get());
  }
  static std::vector<COLORREF> CachePixels(SHostWnd& host) {
    std::vector<COLORREF> out;
    const RECT rc = host.ElementArea();
    for (int y = rc.top; y < rc.bottom; ++y)
      for (int x = rc.left; x < rc.right; ++x) out.push_back(host.Cache()->PixelAt(x, y));
    return out;
  }
  static int Differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    int n = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) n += a[i] != b[i];
    return n;
  }

  // Opens the host and clicks into its "dir" box, which should take the focus.
  SEdit* OpenAndClickTheDirBox(SHostWnd& host) {
    HWND hwnd = Open(host);
    platform::test::Click(hwnd, POINT{60, 28});
    platform::test::DrainMessages();
    return Find<SEdit>(host, u"dir");
  }

  SAutoRefPtr<IResProvider> system_;
};

TEST_F(HostedEditTest, TheFocusedBoxsCaretIsDrawnByInversionAndDrawingItTwiceRestoresThePixels) {
  SHostWnd host(u"LAYOUT:XML_EDITS");
  SEdit* dir = OpenAndClickTheDirBox(host);
  ASSERT_TRUE(dir->IsFocused());
  ASSERT_TRUE(platform::test::PumpUntil([&] { return host.CaretDrawn(); }, 3000));
  const std::vector<COLORREF> shown = CachePixels(host);
  ASSERT_TRUE(host.ShowCaret(false));
  const std::vector<COLORREF> hidden = CachePixels(host);
  const int changed = Differences(shown, hidden);
  EXPECT_GT(changed, 0) << "the caret inverted some pixels";
  EXPECT_LT(changed, 200) << "and only the caret's";
  // The caret sits inside the box, at the position the engine gave the host.
  const POINT at = dir->TextHost()->LastCaretPos();
  EXPECT_TRUE(RectContains(dir->ClientArea(), at));
  const COLORREF under = host.Cache()->PixelAt(at.x, at.y);
  host.ShowCaret(true);
  EXPECT_EQ(host.Cache()->PixelAt(at.x, at.y), (under & 0xFF000000) | (~under & 0x00FFFFFF));
  EXPECT_EQ(CachePixels(host), shown);
  host.ShowCaret(false);
  EXPECT_EQ(CachePixels(host), hidden);
  host.DestroyWindow();
}

// riched20 may hand the host a GDI bitmap for its caret: that handle is the platform's,
// and the host must never call it as one of its own bitmaps.
TEST_F(HostedEditTest, ACaretBitmapOfTheEngineIsNeverTakenForAToolkitBitmap) {
  SHostWnd host(u"LAYOUT:XML_EDITS");
  SEdit* dir = OpenAndClickTheDirBox(host);
  ASSERT_TRUE(dir->IsFocused());
  host.ShowCaret(false);
  const std::vector<COLORREF> hidden = CachePixels(host);
  std::uint64_t foreign_handle[4] = {0xdeadbeef, 0xdeadbeef, 0xdeadbeef, 0xdeadbeef};  // no vtable here
  ASSERT_TRUE(dir->TextHost()->TxCreateCaret(foreign_handle, 3, 12));
  ASSERT_TRUE(host.ShowCaret(true));
  EXPECT_GT(Differences(CachePixels(host), hidden), 0) << "the caret is drawn as a bar";
  host.ShowCaret(false);
  EXPECT_EQ(CachePixels(host), hidden);
  host.DestroyWindow();
}

TEST_F(HostedEditTest, TypingThroughTheWindowReachesTheFocusedBox) {
  SHostWnd host(u"LAYOUT:XML_EDITS");
  HWND hwnd = Open(host);
  auto* dir = Find<SEdit>(host, u"dir");
  auto* status = Find<SEdit>(host, u"status");
  platform::test::Click(hwnd, POINT{60, 28});
  platform::test::TypeText(u"KRDN");
  platform::test::DrainMessages();
  EXPECT_EQ(dir->GetWindowText(), u"KRDN");
  EXPECT_EQ(status->TextLength(), 0);
  platform::test::KeyPress(VK_HOME);
  platform::test::TypeText(u"/");
  platform::test::DrainMessages();
  EXPECT_EQ(dir->GetWindowText(), u"/KRDN");
  host.DestroyWindow();
}

TEST_F(HostedEditTest, ThePopupMenuReturnsTheChosenItemAndSkipsGreyedOnes) {
  SHostWnd host(u"LAYOUT:XML_EDITS");
  HWND hwnd = Open(host);
  SMenuPopup menu;
  ASSERT_TRUE(menu.Load(app_.EditMenuMarkup().Child()));
  menu.EnableItem(2, false);  // copy
  platform::test::KeyPress(VK_DOWN);    // cut
  platform::test::KeyPress(VK_DOWN);    // copy is greyed: paste
  platform::test::KeyPress(VK_RETURN);
  POINT screen{120, 120};
  platform::ClientToScreen(hwnd, &screen);
  EXPECT_EQ(menu.Track(screen, hwnd), 3u);
  EXPECT_FALSE(menu.IsWindow()) << "the menu window goes when it is done";

  platform::test::KeyPress(VK_UP);  // select all, from the end
  platform::test::KeyPress(VK_ESCAPE);
  EXPECT_EQ(menu.Track(screen, hwnd), 0u) << "Esc dismisses";
  host.DestroyWindow();
}

}  // namespace
}  // namespace LOOM
