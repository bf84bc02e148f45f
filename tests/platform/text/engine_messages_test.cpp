// The engine's messages: text, selection, replacement, limits, notifications,
// formats, streaming and the clipboard.
#include <cstring>

#include "platform/ui/clipboard.h"
#include "tests/platform/text/fake_text_host.h"

namespace text_test {
namespace {

class TextMessagesTest : public EngineTest {};

TEST_F(TextMessagesTest, SetAndGetTextHandBreaksOutAsCrLf) {
  MakeMultiline();
  SetText(u"当前客户端版本号: 3.1.7\nsecond\r\nthird\rfourth");
  EXPECT_EQ(Text(), u"当前客户端版本号: 3.1.7\r\nsecond\r\nthird\r\nfourth");
  EXPECT_EQ(Send(WM_GETTEXTLENGTH), static_cast<LRESULT>(Text().size()));
  EXPECT_EQ(Send(EM_GETLINECOUNT), 4);

  // A small buffer gets what fits and a NUL; a break is not cut in half.
  char16_t small[8];
  std::memset(small, 0xAB, sizeof(small));
  EXPECT_EQ(Send(WM_GETTEXT, 8, reinterpret_cast<LPARAM>(small)), 7);
  EXPECT_EQ(std::u16string(small), u"当前客户端版本");
  EXPECT_EQ(Send(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
  EXPECT_EQ(Send(WM_GETTEXT, 8, 0), 0);

  Send(WM_SETTEXT, 0, 0);  // no text: empty
  EXPECT_EQ(Text(), u"");
  EXPECT_EQ(Send(EM_GETLINECOUNT), 1);
}

TEST_F(TextMessagesTest, SingleLineBoxKeepsTheFirstLine) {
  SetText(u"C:\\KRDN\r\nD:\\other");
  EXPECT_EQ(Text(), u"C:\\KRDN");
  Select(0, -1);
  Replace(u"E:\\x\ny");
  EXPECT_EQ(Text(), u"E:\\x");
}

TEST_F(TextMessagesTest, SelectionTakes32BitPositionsAndClampsBeyondTheEnd) {
  host_.max_length = 0x7FFFFFFF;
  SetText(std::u16string(70000, u'x'));
  Select(69000, 69010);
  DWORD start = 0;
  DWORD end = 0;
  EXPECT_EQ(Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)), -1);
  EXPECT_EQ(start, 69000u);
  EXPECT_EQ(end, 69010u);

  Select(100000, 200000);  // beyond the end: the end
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{70000, 70000}));
  Select(0, -1);  // everything
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{0, 70000}));
  Select(5, 3);  // reversed: the caret at the second position
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{3, 5}));
  Select(-1, 0);  // -1 drops the selection and leaves the caret
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{3, 3}));
  Select(-7, 2);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{0, 2}));
  EXPECT_EQ(Send(EM_GETSEL), MAKELONG(0, 2));

  CHARRANGE range{10, 20};
  EXPECT_EQ(Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range)), 20);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{10, 20}));
  // A position between the halves of a pair moves to the pair's start.
  SetText(u"a\U0001F600b");
  Select(2, 2);
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{1, 1}));
}

TEST_F(TextMessagesTest, ReplaceSelectionWithAndWithoutUndo) {
  SetText(u"hello world");
  Select(6, 11);
  Replace(u"there");
  EXPECT_EQ(Text(), u"hello there");
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{11, 11}));
  EXPECT_EQ(Send(EM_CANUNDO), TRUE);
  EXPECT_EQ(Send(EM_UNDO), TRUE);
  EXPECT_EQ(Text(), u"hello world");
  EXPECT_EQ(Selection(), (std::pair<LONG, LONG>{6, 11}));  // the selection the change started from
  EXPECT_EQ(Send(EM_REDO), TRUE);
  EXPECT_EQ(Text(), u"hello there");

  Select(0, 5);
  Replace(u"HELLO", false);  // cannot be undone, and earlier steps no longer apply
  EXPECT_EQ(Text(), u"HELLO there");
  EXPECT_EQ(Send(EM_CANUNDO), FALSE);
  EXPECT_EQ(Send(EM_UNDO), FALSE);
  EXPECT_EQ(Text(), u"HELLO there");

  Send(EM_REPLACESEL, 1, 0);  // no text: the selection goes
  EXPECT_EQ(Text(), u"HELLO there");
}

TEST_F(TextMessagesTest, MaximumLengthCutsInsertionsButNotSetText) {
  host_.max_length = 10;
  SetText(u"0123456789ABCDEF");  // WM_SETTEXT is not limited
  EXPECT_EQ(Text(), u"0123456789ABCDEF");
  EXPECT_EQ(Send(EM_GETLIMITTEXT), 10);

  SetText(u"012345");
  Select(6, 6);
  host_.ClearRecords();
  Replace(u"abcdefgh");
  EXPECT_EQ(Text(), u"012345abcd");
  EXPECT_TRUE(host_.Notified(EN_MAXTEXT));
  Type(u"z");
  EXPECT_EQ(Text(), u"012345abcd");

  // Replacing a selection frees its room first; a pair is never cut in half.
  Select(0, 2);
  Replace(u"x\U0001F600y");  // room for two units: "x" and half a pair, so only "x"
  EXPECT_EQ(Text(), u"x2345abcd");
  Select(0, 1);
  Replace(u"\U0001F600\U0001F600");  // room for one pair
  EXPECT_EQ(Text(), u"\U0001F6002345abcd");
}

TEST_F(TextMessagesTest, ChangeNotificationFollowsTheEventMask) {
  EXPECT_EQ(Send(EM_GETEVENTMASK), 0);
  SetText(u"a");
  EXPECT_FALSE(host_.Notified(EN_CHANGE));
  EXPECT_EQ(Send(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE), 0);
  EXPECT_EQ(Send(EM_GETEVENTMASK), static_cast<LRESULT>(ENM_CHANGE | ENM_SELCHANGE));
  host_.ClearRecords();
  Replace(u"b");
  EXPECT_TRUE(host_.Notified(EN_CHANGE));
  host_.ClearRecords();
  Select(0, 1);
  EXPECT_FALSE(host_.Notified(EN_CHANGE));
  ASSERT_TRUE(host_.Notified(EN_SELCHANGE));
  EXPECT_EQ(host_.notifications.back().range.cpMax, 1);
  Send(EM_SETEVENTMASK, 0, 0);
  host_.ClearRecords();
  Replace(u"c");
  EXPECT_TRUE(host_.notifications.empty());
}

TEST_F(TextMessagesTest, ReadOnlyRefusesTheUserButNotTheProgram) {
  MakeMultiline();
  SetProperty(TXTBIT_READONLY, true);
  SetText(u"log line\r\n");
  Focus();
  Select(0, 3);
  ASSERT_TRUE(platform::SetClipboardText(u"pasted"));
  Type(u"x");
  Send(WM_PASTE);
  Send(WM_CUT);
  Send(WM_CLEAR);
  Key(VK_DELETE);
  Send(WM_CHAR, 0x08);
  Key('V', false, true);
  EXPECT_EQ(Text(), u"log line\r\n");
  Send(WM_COPY);  // copying is reading
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"log"));
  Select(10, 10);
  Replace(u"next line\r\n", false);
  EXPECT_EQ(Text(), u"log line\r\nnext line\r\n");
}

TEST_F(TextMessagesTest, ClipboardCutCopyPaste) {
  MakeMultiline();
  SetText(u"one\r\ntwo");
  Select(2, 6);
  Send(WM_COPY);
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"e\r\ntw"));
  EXPECT_EQ(Send(EM_CANPASTE), TRUE);
  Send(WM_CUT);
  EXPECT_EQ(Text(), u"ono");
  Select(3, 3);
  Send(WM_PASTE);
  EXPECT_EQ(Text(), u"onoe\r\ntw");
  Send(EM_UNDO);
  EXPECT_EQ(Text(), u"ono");
  Send(EM_UNDO);
  EXPECT_EQ(Text(), u"one\r\ntwo");

  // Nothing selected: copy and cut leave the clipboard alone.
  ASSERT_TRUE(platform::SetClipboardText(u"kept"));
  Select(1, 1);
  Send(WM_COPY);
  Send(WM_CUT);
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"kept"));

  // A password box does not give its text away.
  SetProperty(TXTBIT_USEPASSWORD, true);
  Select(0, -1);
  Send(WM_COPY);
  Send(WM_CUT);
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"kept"));
  EXPECT_EQ(Text(), u"one\r\ntwo");
}

TEST_F(TextMessagesTest, FormatsAcceptOnlyTheirRecords) {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR | CFM_BOLD;
  cf.dwEffects = CFE_BOLD;
  cf.crTextColor = RGB(1, 2, 3);
  EXPECT_EQ(Send(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)), 1);
  CHARFORMAT2W got{};
  got.cbSize = sizeof(got);
  Send(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&got));
  EXPECT_EQ(got.crTextColor, RGB(1, 2, 3));
  EXPECT_TRUE(got.dwEffects & CFE_BOLD);
  EXPECT_EQ(std::u16string(got.szFaceName), u"微软雅黑");  // the host's face stays

  CHARFORMATW small{};
  small.cbSize = sizeof(small);
  Send(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&small));
  EXPECT_EQ(small.crTextColor, RGB(1, 2, 3));
  small.cbSize = 40;
  EXPECT_EQ(Send(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&small)), 0);
  EXPECT_EQ(Send(EM_SETCHARFORMAT, SCF_ALL, 0), 0);

  PARAFORMAT2 pf{};
  pf.cbSize = sizeof(pf);
  pf.dwMask = PFM_ALIGNMENT;
  pf.wAlignment = PFA_RIGHT;
  EXPECT_EQ(Send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)), 1);
  PARAFORMAT2 para{};
  para.cbSize = sizeof(para);
  Send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para));
  EXPECT_EQ(para.wAlignment, PFA_RIGHT);
  pf.cbSize = 100;
  EXPECT_EQ(Send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)), 0);

  // Right alignment puts the caret of a short text near the right edge.
  SetText(u"ab");
  Select(2, 2);
  EXPECT_GT(PointOf(2).x, host_.client.right - 10);
}

TEST_F(TextMessagesTest, LanguageOptionsAreKept) {
  const LRESULT options = Send(EM_GETLANGOPTIONS);
  EXPECT_EQ(options & IMF_AUTOFONT, static_cast<LRESULT>(IMF_AUTOFONT));
  Send(EM_SETLANGOPTIONS, 0, (options & ~LPARAM{IMF_AUTOFONT}) | 0xA1);
  EXPECT_EQ(Send(EM_GETLANGOPTIONS), (options & ~LRESULT{IMF_AUTOFONT}) | 0xA1);
}

struct Memory {
  std::string data;
  std::size_t at = 0;
};

DWORD ReadMemory(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
  auto* m = reinterpret_cast<Memory*>(cookie);
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(cb), m->data.size() - m->at);
  std::copy_n(m->data.data() + m->at, n, buffer);
  m->at += n;
  *pcb = static_cast<LONG>(n);
  return 0;
}

DWORD WriteMemory(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
  reinterpret_cast<Memory*>(cookie)->data.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(cb));
  *pcb = cb;
  return 0;
}

TEST_F(TextMessagesTest, StreamInPlainUnicodeRtfAndIntoTheSelection) {
  MakeMultiline();
  Memory rtf{"{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 x;}}\\'d6\\'d0\\'ce\\'c4\\par second\\par}"};
  EDITSTREAM stream{reinterpret_cast<ULONG_PTR>(&rtf), 0, ReadMemory};
  EXPECT_EQ(Send(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream)), 9);
  EXPECT_EQ(Text(), u"中文\r\nsecond");

  Memory plain{"\xE7\xAC\xAC line\r\nnext"};
  stream = {reinterpret_cast<ULONG_PTR>(&plain), 0, ReadMemory};
  Send(EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
  EXPECT_EQ(Text(), u"第 line\r\nnext");

  Memory wide{std::string("h\0i\0", 4)};
  stream = {reinterpret_cast<ULONG_PTR>(&wide), 0, ReadMemory};
  Select(1, 1);
  EXPECT_EQ(Send(EM_STREAMIN, SF_TEXT | SF_UNICODE | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream)), 2);
  EXPECT_EQ(Text(), u"第hi line\r\nnext");

  Memory out;
  stream = {reinterpret_cast<ULONG_PTR>(&out), 0, WriteMemory};
  Send(EM_STREAMOUT, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
  EXPECT_EQ(out.data, "\xE7\xAC\xAChi line\r\nnext");
  Memory out_rtf;
  stream = {reinterpret_cast<ULONG_PTR>(&out_rtf), 0, WriteMemory};
  Send(EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  Memory back{out_rtf.data};
  stream = {reinterpret_cast<ULONG_PTR>(&back), 0, ReadMemory};
  Send(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  EXPECT_EQ(Text(), u"第hi line\r\nnext");  // what goes out as RTF comes back the same

  Send(EM_STREAMIN, SF_TEXT, 0);  // no stream: nothing happens
  EXPECT_EQ(Text(), u"第hi line\r\nnext");
}

TEST_F(TextMessagesTest, LineMessages) {
  MakeMultiline();
  SetText(u"first\r\n\r\nthird line");
  EXPECT_EQ(Send(EM_LINEINDEX, 2), 7);
  EXPECT_EQ(Send(EM_LINEINDEX, 3), -1);
  EXPECT_EQ(Send(EM_LINELENGTH, 8), 10);
  EXPECT_EQ(Send(EM_LINELENGTH, 6), 0);
  EXPECT_EQ(Send(EM_LINEFROMCHAR, 9), 2);
  EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, 100), 2);
  char16_t buffer[16] = {4};
  EXPECT_EQ(Send(EM_GETLINE, 2, reinterpret_cast<LPARAM>(buffer)), 4);
  EXPECT_EQ(std::u16string(buffer, 4), u"thir");
  EXPECT_EQ(Send(EM_GETLINE, 9, reinterpret_cast<LPARAM>(buffer)), 0);
  std::u16string range(8, u'\0');
  TEXTRANGEW tr{{1, 4}, range.data()};
  EXPECT_EQ(Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr)), 3);
  EXPECT_EQ(std::u16string(range.c_str()), u"irs");
  // A point on the third line finds a position on it, and back.
  POINT pt = PointOf(9);
  EXPECT_EQ(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&pt)), 9);
  EXPECT_EQ(PointOf(7).y - PointOf(0).y, 2 * (PointOf(6).y - PointOf(0).y));
}

}  // namespace
}  // namespace text_test
