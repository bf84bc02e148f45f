// The status box as the main window drives it: read-only, limit raised, and every line
// appended through an empty selection at the end, a replacement without undo and a
// scroll to -1 without redraw. The text grows at the end and the view stays on the
// first lines, also past 65,535 characters.
#include "tests/loom_edit/edit_fixture.h"

namespace LOOM {
namespace {

using test::EditFixture;

class StatusBoxTest : public EditFixture {
 protected:
  SEdit* BuildStatus() {
    Build(u"<root colorBkgnd=\"#0000FF\"><edit name=\"status\" pos=\"10,10\" size=\"300,67\" ncskin=\"\" "
          u"multiLines=\"1\" padding=\"5,5,5,5\" autoSel=\"0\" notifyChange=\"0\" colorText=\"#33ffff\"/></root>");
    auto* box = Control<SEdit>(u"status");
    box->SetReadOnly(true);
    box->SetTextLimit(2147483647);
    return box;
  }
  static LRESULT FirstVisibleLine(SEdit* box) { return Send(box, EM_GETFIRSTVISIBLELINE); }
};

TEST_F(StatusBoxTest, LinesAreAddedAtTheEndWithoutUndoAndTheViewStaysAtTheTop) {
  SEdit* box = BuildStatus();
  std::u16string expected;
  for (int i = 0; i < 40; ++i) {
    std::u16string line = u"校验文件: data\\file" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"......";
    AppendStatus(box, line);
    AppendStatus(box, u"成功\r\n");
    expected += line + u"成功\r\n";
  }
  EXPECT_EQ(box->GetWindowText(), expected);
  EXPECT_EQ(Send(box, EM_CANUNDO), 0) << "status lines are not undoable";
  EXPECT_EQ(FirstVisibleLine(box), 0);
  EXPECT_EQ(box->ScrollRecord(true).nPos, 0);
  EXPECT_EQ(Send(box, EM_GETLINECOUNT), 41);
}

TEST_F(StatusBoxTest, AppendingPast65535CharactersStillAddsAtTheEnd) {
  SEdit* box = BuildStatus();
  const std::u16string line = u"下载文件: client\\data\\pack.bin......成功\r\n";  // 38 units, one break
  const int lines = 70000 / static_cast<int>(line.size()) + 50;
  for (int i = 0; i < lines; ++i) AppendStatus(box, line);
  const LONG length = box->TextLength();
  EXPECT_GT(length, 65535);
  EXPECT_EQ(length, static_cast<LONG>(line.size()) * lines);
  AppendStatus(box, u"恭喜，已成功下载所有文件\r\n");
  const std::u16string text = box->GetWindowText();
  EXPECT_EQ(text.substr(text.size() - 14), u"恭喜，已成功下载所有文件\r\n");
  EXPECT_EQ(text.substr(0, line.size()), line);
  EXPECT_EQ(FirstVisibleLine(box), 0) << "-1 is raised to the range minimum";
}

TEST_F(StatusBoxTest, TheViewShowsTheFirstLinesInPixels) {
  SEdit* box = BuildStatus();
  box->ApplyAttribute(u"colorText", u"#FFFFFF", false);
  const RECT area = box->ClientArea();
  const RECT top_line{area.left, area.top, area.right, area.top + 5 + box->LineHeight()};
  AppendStatus(box, u"WWWWWWWW\r\n");
  for (int i = 0; i < 200; ++i) AppendStatus(box, u"\r\n");
  EXPECT_GT(PixelsOtherThan(top_line, test::kPixBlue), 20) << "the first line is still on view";
  // A select-all, a scroll down and the next append: back at the top.
  Send(box, EM_SETSEL, 0, -1);
  Send(box, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_GT(FirstVisibleLine(box), 0);
  AppendStatus(box, u"more\r\n");
  EXPECT_EQ(FirstVisibleLine(box), 0);
}

TEST_F(StatusBoxTest, ScrollToClampsToTheRecordAndAllZeroRecordsGoToTheTop) {
  SEdit* box = BuildStatus();
  for (int i = 0; i < 50; ++i) AppendStatus(box, u"line\r\n");
  const SCROLLINFO& si = box->ScrollRecord(true);
  EXPECT_EQ(si.nMin, 0);
  // No bars are shown: whatever the engine reports, -1 and a huge position both stay in range.
  box->ScrollTo(true, 1 << 30, true);
  EXPECT_LE(box->ScrollRecord(true).nPos, std::max(0, si.nMax - static_cast<int>(si.nPage) + 1));
  box->ScrollTo(true, -1, false);
  EXPECT_EQ(box->ScrollRecord(true).nPos, 0);
  EXPECT_EQ(FirstVisibleLine(box), 0);
}

TEST_F(StatusBoxTest, EmptyingTheBoxLeavesItUsable) {
  SEdit* box = BuildStatus();
  for (int i = 0; i < 10; ++i) AppendStatus(box, u"x\r\n");
  box->SetWindowText(u"");
  EXPECT_EQ(box->TextLength(), 0);
  AppendStatus(box, u"开始校验本地文件...\r\n");
  EXPECT_EQ(box->GetWindowText(), u"开始校验本地文件...\r\n");
}

}  // namespace
}  // namespace LOOM
