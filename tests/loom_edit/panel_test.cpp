// The panel's scroll bars under an edit box: shown when the engine asks, taken out of
// the client area, driven by the mouse and the wheel, and kept in step with the engine.
#include "core/panel.h"
#include "tests/loom_edit/edit_fixture.h"

namespace LOOM {
namespace {

using test::EditFixture;

class PanelTest : public EditFixture {
 protected:
  SRichEdit* BoxWithBar(int lines) {
    Build(u"<root colorBkgnd=\"#0000FF\"><richedit name=\"r\" pos=\"10,10\" size=\"200,60\" ncskin=\"\" "
          u"multiLines=\"1\" vscrollBar=\"1\" autoVscroll=\"1\"/></root>");
    auto* box = Control<SRichEdit>(u"r");
    std::u16string text;
    for (int i = 0; i < lines; ++i) text += u"line\r\n";
    box->SetWindowText(text);
    host_->LayoutIfDirty();
    return box;
  }
  static LONG FirstVisibleLine(SRichEdit* box) { return static_cast<LONG>(Send(box, EM_GETFIRSTVISIBLELINE)); }
  static POINT Centre(const RECT& rc) { return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
};

TEST_F(PanelTest, AnOverfullBoxShowsItsBarOutsideTheTextArea) {
  SRichEdit* box = BoxWithBar(40);
  ASSERT_TRUE(box->ScrollBarShown(true));
  EXPECT_FALSE(box->ScrollBarShown(false));
  const RECT bar = box->ScrollBarRect(true);
  EXPECT_EQ(bar.right, box->ElementArea().right);
  EXPECT_EQ(box->ClientArea().right, bar.left) << "the bar is taken out of the client area";
  EXPECT_GT(box->ScrollRecord(true).nMax, 0);
  EXPECT_GT(box->ScrollRecord(true).nPage, 0u);
}

TEST_F(PanelTest, TheArrowAndTheWheelScrollTheEngineAndTheRecordFollows) {
  SRichEdit* box = BoxWithBar(40);
  ASSERT_TRUE(box->ScrollBarShown(true));
  const POINT down = Centre(box->PartRect(true, SPanel::kPartLineDown));
  host_->Mouse(WM_LBUTTONDOWN, down.x, down.y, MK_LBUTTON);
  host_->Mouse(WM_LBUTTONUP, down.x, down.y);
  EXPECT_GT(FirstVisibleLine(box), 0);
  EXPECT_GT(box->ScrollRecord(true).nPos, 0);
  EXPECT_EQ(Send(box, EM_GETSEL), 0) << "a click on the bar leaves the text alone";

  box->ScrollTo(true, 1 << 30, true);
  const int bottom = box->ScrollRecord(true).nPos;
  EXPECT_EQ(bottom, box->MaxScrollPos(true));
  const POINT inside = Centre(box->ClientArea());
  host_->FocusElement(box->Handle());  // the wheel goes to the focused element
  host_->RouteHostMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(WHEEL_DELTA) << 16,
                          MAKELONG(static_cast<WORD>(inside.x), static_cast<WORD>(inside.y)));
  EXPECT_LT(box->ScrollRecord(true).nPos, bottom) << "the wheel scrolls a multi-line box up";
  box->ScrollTo(true, -1, false);
  EXPECT_EQ(FirstVisibleLine(box), 0);
  EXPECT_EQ(box->ScrollRecord(true).nPos, 0);
}

TEST_F(PanelTest, APanelClampsItsRecord) {
  Build(u"<root><div name=\"d\" pos=\"0,0\" size=\"100,100\"/></root>");
  auto* panel = dynamic_cast<SPanel*>(Find(u"d"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->MaxScrollPos(true), 0);
  panel->SetScrollRange(true, 0, 99, false);
  panel->SetScrollPage(true, 10, false);
  EXPECT_EQ(panel->MaxScrollPos(true), 90);
  panel->ScrollTo(true, 500, false);
  EXPECT_EQ(panel->ScrollRecord(true).nPos, 90);
  panel->ScrollTo(true, -3, false);
  EXPECT_EQ(panel->ScrollRecord(true).nPos, 0);
  panel->ApplyAttribute(u"sbEnable", u"1", false);
  panel->ShowScrollBar(SB_BOTH, true);
  EXPECT_FALSE(panel->ScrollBarShown(true)) << "a bar \"sbEnable\" does not allow never shows";
  EXPECT_TRUE(panel->ScrollBarShown(false));
}

}  // namespace
}  // namespace LOOM
