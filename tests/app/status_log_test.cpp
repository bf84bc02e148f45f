// The status log follows its newest line: after each append the last line is on view,
// unless the user has scrolled up to read; once they are back at the end it follows again.
#include "app/edit_boxes.h"
#include "tests/loom_edit/edit_fixture.h"

namespace krdn::app {
namespace {

class StatusLogTest : public LOOM::test::EditFixture {
 protected:
  StatusLog Build() {
    EditFixture::Build(u"<root colorBkgnd=\"#0000FF\"><edit name=\"status\" pos=\"10,10\" size=\"300,67\" ncskin=\"\" "
                       u"multiLines=\"1\" padding=\"5,5,5,5\" autoSel=\"0\" notifyChange=\"0\" colorText=\"#33ffff\"/></root>");
    box_ = Control<LOOM::SEdit>(u"status");
    StatusLog log(box_);
    log.MakeReadOnlyLog();
    return log;
  }
  static std::u16string Line(int i) { return u"校验文件: data\\file" + Number(i) + u"......成功\r\n"; }
  static std::u16string Number(int i) {
    std::u16string out;
    for (char c : std::to_string(i)) out += static_cast<char16_t>(c);
    return out;
  }
  // The last line with text (the one before the final line break) lies inside the view.
  bool LastLineOnView() {
    const LONG length = box_->TextLength();
    POINT at{};
    Send(box_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), length - 3);
    RECT view{};
    Send(box_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&view));
    return at.y >= view.top && at.y + box_->LineHeight() <= view.bottom;
  }
  LONG FirstVisibleLine() { return static_cast<LONG>(Send(box_, EM_GETFIRSTVISIBLELINE)); }

  LOOM::SEdit* box_ = nullptr;
};

TEST_F(StatusLogTest, EveryAppendShowsTheNewestLine) {
  StatusLog log = Build();
  std::u16string expected;
  for (int i = 0; i < 60; ++i) {
    log.Append(Line(i));
    expected += Line(i);
    ASSERT_TRUE(LastLineOnView()) << "after line " << i;
  }
  EXPECT_EQ(log.Text(), expected);
  EXPECT_GT(FirstVisibleLine(), 50);
  EXPECT_EQ(Send(box_, EM_CANUNDO), 0) << "status lines are not undoable";
}

TEST_F(StatusLogTest, WaitingLinesGoInTogetherInOrderAndAClearDropsThem) {
  StatusLog log = Build();
  log.Append(Line(0));
  EXPECT_TRUE(log.AppendLater(Line(1))) << "the first to wait";
  EXPECT_FALSE(log.AppendLater(Line(2)));
  EXPECT_FALSE(log.AppendLater(u"")) << "nothing new to tell";
  EXPECT_EQ(box_->GetWindowText(), Line(0)) << "not in the box yet";
  EXPECT_EQ(log.Text(), Line(0) + Line(1) + Line(2)) << "but in the log";
  log.AppendWaiting();
  EXPECT_EQ(box_->GetWindowText(), Line(0) + Line(1) + Line(2));
  EXPECT_TRUE(LastLineOnView());
  log.AppendWaiting();
  EXPECT_EQ(log.Text(), Line(0) + Line(1) + Line(2)) << "taken once";
  EXPECT_TRUE(log.AppendLater(Line(3))) << "the first to wait again";
  log.Clear();
  log.AppendWaiting();
  EXPECT_EQ(log.Text(), u"");
  EXPECT_FALSE(log.AppendLater(u""));
}

TEST_F(StatusLogTest, AViewScrolledUpStaysUntilTheUserIsBackAtTheEnd) {
  StatusLog log = Build();
  for (int i = 0; i < 30; ++i) log.Append(Line(i));
  Send(box_, EM_LINESCROLL, 0, -10);  // the user scrolls up to read
  const LONG reading = FirstVisibleLine();
  const int offset = log.ViewOffset();
  for (int i = 30; i < 40; ++i) log.Append(Line(i));
  EXPECT_EQ(FirstVisibleLine(), reading) << "the lines being read stay on view";
  EXPECT_EQ(log.ViewOffset(), offset);
  EXPECT_FALSE(LastLineOnView());

  Send(box_, WM_VSCROLL, SB_BOTTOM, 0);  // back at the end
  log.Append(Line(40));
  EXPECT_TRUE(LastLineOnView());
  log.Append(Line(41));
  EXPECT_TRUE(LastLineOnView()) << "following again";
}

TEST_F(StatusLogTest, AShortLogStaysAtTheTopAndAClearedOneFollowsFromTheStart) {
  StatusLog log = Build();
  log.Append(u"下载文件tern.sav\r\n");
  EXPECT_EQ(log.ViewOffset(), 0) << "nothing to scroll while the text fits";
  for (int i = 0; i < 30; ++i) log.Append(Line(i));
  EXPECT_GT(log.ViewOffset(), 0);
  log.Clear();
  EXPECT_EQ(log.Text(), u"");
  for (int i = 0; i < 30; ++i) log.Append(Line(i));
  EXPECT_TRUE(LastLineOnView()) << "a new run's lines are followed from the top";
}

TEST_F(StatusLogTest, PastTheSixteenBitRangeTheNewestLineIsStillShown) {
  StatusLog log = Build();
  const std::u16string line = u"下载文件: client\\data\\pack.bin......成功\r\n";
  const int lines = 70000 / static_cast<int>(line.size()) + 20;
  for (int i = 0; i < lines; ++i) log.Append(line);
  log.Append(u"恭喜，已成功下载所有文件\r\n");
  EXPECT_GT(box_->TextLength(), 65535);
  EXPECT_TRUE(LastLineOnView());
  EXPECT_EQ(log.Text().substr(log.Text().size() - 14), u"恭喜，已成功下载所有文件\r\n");
}

}  // namespace
}  // namespace krdn::app
