// Keyboard and mouse editing, focus and the caret, scrolling, and what the engine
// invalidates.
#include "platform/ui/clipboard.h"
#include "tests/platform/text/fake_text_host.h"

namespace text_test {
namespace {

class TextInputTest : public EngineTest {};

TEST_F(TextInputTest, TypingBackspaceDeleteAndUndoAsOneStepPerRun) {
  Focus();
  Type(u"hello wrld");
  EXPECT_EQ(Text(), u"hello wrld");
  Key(VK_LEFT);
  Key(VK_LEFT);
  Key(VK_LEFT);
  Type(u"o");
  EXPECT_EQ(Text(), u"hello world");
  Send(WM_CHAR, 0x08);
  Send(WM_CHAR, 0x08);
  EXPECT_EQ(Text(), u"hello rld");
  Key(VK_DELETE);
  EXPECT_EQ(Text(), u"hello ld");
  Key('Z', false, true);  // the Delete
  EXPECT_EQ(Text(), u"hello rld");
  Key('Z', false, true);  // both Backspaces at once
  EXPECT_EQ(Text(), u"hello world");
  Key('Z', false, true);  // the typed "o"
  EXPECT_EQ(Text(), u"hello wrld");
  Key('Z', false, true);  // all of the first run
  EXPECT_EQ(Text(), u"");
  Key('Y', false, true);
  EXPECT_EQ(Text(), u"hello wrld");
  Key('Z', true, true);  // Ctrl+Shift+Z redoes too
  EXPECT_EQ(Text(), u"hello world");
}

TEST_F(TextInputTest, ControlCharactersTypeNothingAndSurrogatesArriveInHalves) {
  Focus();
  Type(u"a");
  Send(WM_CHAR, 0x01);  // Ctrl+A's character
  Send(WM_CHAR, 0x1B);  // Esc
  Send(WM_CHAR, 0xD83D);
  Send(WM_CHAR, 0xDE00);
  Type(u"b");
  EXPECT_EQ(Text(), u"a\U0001F600b");
  Key(VK_LEFT);
  Key(VK_LEFT);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{1, 1}));  // the pair is one step
  Key(VK_DELETE);
  EXPECT_EQ(Text(), u"ab");
  Send(WM_CHAR, 0xDE00);  // a lone low half still types: nothing is lost
  EXPECT_EQ(Text(), u"a\xDE00" u"b");
}

TEST_F(TextInputTest, EnterBreaksOnlyMultiLineText) {
  Focus();
  Type(u"dir");
  EXPECT_EQ(last_hr_, S_OK);
  Send(WM_CHAR, u'\r');
  EXPECT_EQ(last_hr_, S_FALSE);  // left to the window
  EXPECT_EQ(Text(), u"dir");
  MakeMultiline();
  Send(WM_CHAR, u'\r');
  Send(WM_CHAR, u'\n');  // Ctrl+Enter's character
  Type(u"x");
  EXPECT_EQ(Text(), u"dir\r\n\r\nx");
}

TEST_F(TextInputTest, CaretMovementWordsLinesAndShiftSelection) {
  MakeMultiline();
  SetText(u"alpha beta, gamma\r\nsecond line here\r\nend");
  Focus();
  Select(0, 0);
  Key(VK_RIGHT, false, true);
  EXPECT_EQ(Selection().second, 6);  // after "alpha "
  Key(VK_RIGHT, false, true);
  EXPECT_EQ(Selection().second, 10);  // "beta"
  Key(VK_RIGHT, false, true);
  EXPECT_EQ(Selection().second, 12);  // ", "
  Key(VK_LEFT, false, true);
  EXPECT_EQ(Selection().second, 10);
  // Positions count a break as one: the lines start at 0, 18 and 35.
  Key(VK_END);
  EXPECT_EQ(Selection().second, 17);
  Key(VK_DOWN);
  EXPECT_EQ(Selection().second, 34);  // end of the longer second line
  Key(VK_DOWN);
  EXPECT_EQ(Selection().second, 38);  // "end" is shorter: its end
  Key(VK_UP);
  EXPECT_EQ(Selection().second, 34);  // the column is remembered
  Key(VK_HOME, true);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{18, 34}));
  Key(VK_HOME, true, true);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{0, 34}));
  Key(VK_RIGHT);  // collapses to the selection's end
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{34, 34}));
  Key(VK_END, false, true);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{38, 38}));
  Key(VK_DOWN);  // past the last line: stays at the end
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{38, 38}));
  Key(VK_UP);
  Key(VK_UP);
  Key(VK_UP);  // past the first: the start
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{0, 0}));
  Key('A', false, true);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{0, 38}));
  Key(VK_BACK, false, true);  // Ctrl+Backspace comes as 0x7F: deletes the selection
  Send(WM_CHAR, 0x7F);
  EXPECT_EQ(Text(), u"");
}

TEST_F(TextInputTest, WordDeletionAndCjkRuns) {
  SetText(u"当前客户端 version 3.1");
  Focus();
  Select(0, 0);
  Key(VK_RIGHT, false, true);
  EXPECT_EQ(Selection().second, 6);  // the ideographs and their blank
  Key(VK_DELETE, false, true);
  EXPECT_EQ(Text(), u"当前客户端 3.1");
  Send(WM_CHAR, 0x7F);  // Ctrl+Backspace
  EXPECT_EQ(Text(), u"3.1");
}

TEST_F(TextInputTest, MouseClickDragAndDoubleClick) {
  SetText(u"one two three");
  const POINT two = PointOf(4);
  const POINT three = PointOf(8);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At({two.x + 1, two.y + 2}));
  EXPECT_EQ(host_.focus_requests, 1);  // a click asks for the focus
  EXPECT_TRUE(host_.captured);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{4, 4}));
  Send(WM_MOUSEMOVE, MK_LBUTTON, At({three.x + 1, three.y + 2}));
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{4, 8}));
  Send(WM_LBUTTONUP, 0, At({three.x + 1, three.y + 2}));
  EXPECT_FALSE(host_.captured);
  Send(WM_MOUSEMOVE, 0, At({two.x, two.y + 2}));  // no button: no change
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{4, 8}));

  Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At({PointOf(13).x + 5, two.y + 2}));
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{4, 13}));  // Shift extends from the anchor
  Send(WM_LBUTTONUP, 0, 0);

  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At({PointOf(5).x, two.y + 2}));
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{4, 8}));  // "two " with its blank
  Send(WM_MOUSEMOVE, MK_LBUTTON, At({PointOf(10).x, two.y + 2}));
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{4, 13}));  // the drag goes by words
  Send(WM_LBUTTONUP, 0, 0);

  // Dragging past the view asks for the scroll timer; letting go stops it.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(two));
  Send(WM_MOUSEMOVE, MK_LBUTTON, At({host_.client.right + 40, two.y}));
  EXPECT_EQ(host_.timers, std::vector<UINT>{TextEngine::kAutoScrollTimer});
  Send(WM_TIMER, TextEngine::kAutoScrollTimer);
  EXPECT_EQ(Selection().second, 13);
  Send(WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(host_.timers.empty());
}

TEST_F(TextInputTest, CaretFollowsFocusSelectionAndScrolling) {
  SetText(u"abc");
  EXPECT_EQ(host_.caret_creates, 0);
  Focus();
  EXPECT_EQ(host_.caret_creates, 1);
  EXPECT_EQ(host_.caret_size.cx, TextEngine::kCaretWidth);
  EXPECT_GT(host_.caret_size.cy, 8);
  EXPECT_TRUE(host_.caret_shown);
  EXPECT_EQ(host_.caret_pos.x, host_.client.left);
  Key(VK_END);
  EXPECT_EQ(host_.caret_pos.x, PointOf(3).x);
  Key(VK_HOME, true);
  EXPECT_FALSE(host_.caret_shown);  // a selection hides the caret
  Key(VK_LEFT);
  EXPECT_TRUE(host_.caret_shown);
  Send(WM_KILLFOCUS);
  EXPECT_FALSE(host_.caret_shown);
  const int moves = host_.caret_moves;
  Type(u"x");  // unfocused: nothing typed reaches the caret
  EXPECT_EQ(host_.caret_moves, moves);
}

TEST_F(TextInputTest, HiddenSelectionRedrawsOnFocusChange) {
  SetText(u"select me");
  Focus();
  Select(0, 6);
  host_.ClearRecords();
  Send(WM_KILLFOCUS);
  EXPECT_FALSE(host_.invalidated.empty());  // the selection disappears
  host_.ClearRecords();
  Focus();
  EXPECT_FALSE(host_.invalidated.empty());
  SetProperty(TXTBIT_HIDESELECTION, false);
  host_.ClearRecords();
  Send(WM_KILLFOCUS);
  EXPECT_TRUE(host_.invalidated.empty());  // it stays on screen
}

TEST_F(TextInputTest, TypingInvalidatesOnlyItsLine) {
  MakeMultiline();
  SetText(u"one\r\ntwo\r\nthree");
  Focus();
  Select(5, 5);
  host_.ClearRecords();
  Type(u"x");
  ASSERT_EQ(host_.invalidated.size(), 1u);
  const RECT rc = host_.invalidated[0];
  EXPECT_EQ(rc.top, PointOf(5).y);
  EXPECT_EQ(rc.bottom, PointOf(11).y);  // down to the third line
  EXPECT_GE(rc.left, host_.client.left);
  EXPECT_LE(rc.right, host_.client.right);
  host_.ClearRecords();
  Send(WM_CHAR, u'\r');  // a new line moves everything below
  EXPECT_EQ(host_.InvalidatedBounds().bottom, host_.client.bottom);
}

TEST_F(TextInputTest, StatusBoxContractKeepsTheFirstLinesInViewAndReportsTheRange) {
  MakeMultiline();
  SetProperty(TXTBIT_READONLY, true);
  host_.max_length = 0x7FFFFFFF;
  const std::u16string line = u"校验文件: data/pack/file_00000.pak 正常\r\n";
  LONG appended = 0;
  int invalidations_below_view = 0;
  for (int i = 0; i < 5000; ++i) {
    host_.ClearRecords();
    const auto length = static_cast<LONG>(Send(WM_GETTEXTLENGTH));
    Select(length, length);
    Replace(line, false);
    appended += static_cast<LONG>(line.size());
    if (i > 20 && !host_.invalidated.empty()) ++invalidations_below_view;
  }
  EXPECT_EQ(Send(WM_GETTEXTLENGTH), appended);
  EXPECT_GT(appended, 65535);
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 0);  // the view stays at the top
  EXPECT_EQ(invalidations_below_view, 0);     // lines below the view cost no redraw
  const int line_height = PointOf(static_cast<LONG>(line.size()) - 1).y - PointOf(0).y;
  ASSERT_GT(line_height, 8);
  ASSERT_FALSE(host_.ranges.empty());
  const auto& range = host_.ranges.back();
  EXPECT_EQ(range.bar, SB_VERT);
  EXPECT_EQ(range.min, 0);
  EXPECT_EQ(range.max, 5001 * line_height - 1);  // every line, the empty last one too

  // Scrolling through the engine's own messages, past 65,535 pixels.
  Send(WM_VSCROLL, platform::MakeScrollWParam(SB_THUMBPOSITION, 70000));
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 70000 / line_height);
  LONG min = 0;
  LONG max = 0;
  LONG pos = 0;
  LONG page = 0;
  engine_->TxGetVScroll(&min, &max, &pos, &page, nullptr);
  EXPECT_EQ(pos, 70000);
  EXPECT_EQ(page, host_.client.bottom - host_.client.top);
  Send(WM_VSCROLL, SB_BOTTOM);
  engine_->TxGetVScroll(nullptr, nullptr, &pos, nullptr, nullptr);
  EXPECT_EQ(pos, max - page + 1);
  Send(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 0);
  Send(WM_MOUSEWHEEL, static_cast<WPARAM>(MAKELONG(0, static_cast<WORD>(-WHEEL_DELTA))));
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 3);
}

}  // namespace
}  // namespace text_test
