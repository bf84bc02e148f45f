// Input that could hurt: NULs, lone surrogates, huge pastes, a million-character
// line, positions and pointers that make no sense.
#include <cairo.h>

#include "platform/ui/clipboard.h"
#include "tests/platform/text/fake_text_host.h"

namespace text_test {
namespace {

class TextBadInputTest : public EngineTest {
 protected:
  void DrawOnce() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 300, 200);
    cairo_t* cr = cairo_create(surface);
    EXPECT_EQ(engine_->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, cr, nullptr, &host_.client, nullptr, nullptr,
                              nullptr, 0, 0),
              S_OK);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

DWORD ReadUtf16WithNul(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
  auto* done = reinterpret_cast<bool*>(cookie);
  static const char kBytes[] = {'x', 0, 0, 0, 'y', 0};
  *pcb = 0;
  if (*done || cb < 6) return 0;
  std::copy_n(kBytes, 6, buffer);
  *pcb = 6;
  *done = true;
  return 0;
}

TEST_F(TextBadInputTest, NulsAndLoneSurrogatesNeverCorruptTheText) {
  MakeMultiline();
  host_.max_length = 100;
  Focus();
  // Through the clipboard a NUL ends the text; from a stream it is dropped; typed it is
  // nothing.
  ASSERT_TRUE(platform::SetClipboardText(std::u16string(u"ab\0cd", 5)));
  Send(WM_PASTE);
  EXPECT_EQ(Text(), u"ab");
  bool done = false;
  EDITSTREAM stream{reinterpret_cast<ULONG_PTR>(&done), 0, ReadUtf16WithNul};
  Send(EM_STREAMIN, SF_TEXT | SF_UNICODE | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
  EXPECT_EQ(Text(), u"abxy");
  Send(WM_CHAR, 0);
  EXPECT_EQ(Text(), u"abxy");
  SetText(u"");
  Replace(std::u16string(u"x\xD800y\xDC00z"));
  EXPECT_EQ(Text(), u"x\xD800y\xDC00z");
  DrawOnce();
  Key(VK_LEFT);
  Send(WM_CHAR, 0x08);  // the lone low half goes on its own
  EXPECT_EQ(Text(), u"x\xD800yz");
  Select(0, -1);
  Send(WM_COPY);
  EXPECT_EQ(platform::GetClipboardText()->size(), 4u);  // replaced, not lost, at the UTF-8 edge
  Select(2, 2);
  Send(WM_PASTE);
  EXPECT_EQ(Text().size(), 8u);
}

TEST_F(TextBadInputTest, PositionsAndPointersOutOfRangeInEveryMessage) {
  MakeMultiline();
  SetText(u"short\r\ntext");
  const LONG huge = 0x7FFFFFFF;
  const LONG negative = -123456;
  for (UINT msg : {EM_SETSEL, EM_LINEINDEX, EM_LINELENGTH, EM_LINEFROMCHAR, EM_EXLINEFROMCHAR, EM_POSFROMCHAR,
                   EM_GETLINE, EM_LINESCROLL, EM_SCROLL}) {
    for (LONG a : {huge, negative, LONG{0}, LONG{-1}}) {
      for (LONG b : {huge, negative, LONG{-1}, LONG{0}}) {
        // Pointer parameters are the caller's to get right: only none is tried.
        if ((msg == EM_POSFROMCHAR && a != 0) || (msg == EM_GETLINE && b != 0)) continue;
        Send(msg, static_cast<WPARAM>(static_cast<std::int64_t>(a)), b);
      }
    }
  }
  CHARRANGE wild{huge, negative};
  Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&wild));
  Send(EM_EXSETSEL, 0, 0);
  Send(EM_EXGETSEL, 0, 0);
  Send(EM_GETSEL, 0, 0);
  std::u16string buffer(4, u'\0');
  TEXTRANGEW tr{{huge, negative}, buffer.data()};
  EXPECT_EQ(Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr)), 0);
  tr = {{negative, 2}, buffer.data()};
  EXPECT_EQ(Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr)), 2);
  Send(EM_GETTEXTRANGE, 0, 0);
  Send(EM_CHARFROMPOS, 0, 0);
  POINT far{huge, huge};
  EXPECT_EQ(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&far)), 10);
  POINT before{-huge, -huge};
  EXPECT_EQ(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&before)), 0);
  Send(EM_SETCHARFORMAT, 0, 0);
  Send(EM_GETCHARFORMAT, 0, 0);
  Send(EM_SETPARAFORMAT, 0, 0);
  Send(EM_GETPARAFORMAT, 0, 0);
  Send(EM_STREAMOUT, SF_TEXT, 0);
  Send(EM_GETSCROLLPOS, 0, 0);
  Send(EM_SETSCROLLPOS, 0, 0);
  POINT scroll{huge, huge};
  Send(EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  Send(WM_VSCROLL, platform::MakeScrollWParam(SB_THUMBPOSITION, negative));
  Send(WM_HSCROLL, platform::MakeScrollWParam(SB_THUMBTRACK, huge));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At({-30000, 30000}));
  Send(WM_MOUSEMOVE, MK_LBUTTON, At({30000, -30000}));
  Send(WM_LBUTTONUP, 0, 0);
  Send(EM_UNDO);
  Send(EM_REDO);
  DrawOnce();
  EXPECT_EQ(Text(), u"short\r\ntext");
  LONG min = 0, max = 0, pos = 0, page = 0;
  engine_->TxGetVScroll(&min, &max, &pos, &page, nullptr);
  EXPECT_GE(pos, 0);
  EXPECT_LE(pos, std::max(0, max - page + 1));
  EXPECT_EQ(engine_->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, 0, 0),
            E_INVALIDARG);
}

TEST_F(TextBadInputTest, PasteOfFiftyMegabytes) {
  MakeMultiline();
  // 50 MiB of UTF-8 log lines on the clipboard.
  std::u16string line = u"第 0000 行: data/pack/some_file_name.pak 校验正常\r\n";
  std::u16string big;
  while (big.size() * 2 < (std::size_t{50} << 20)) big += line;
  ASSERT_TRUE(platform::SetClipboardText(big));
  Focus();
  Send(WM_PASTE);  // the default limit keeps 32,767 characters of it
  EXPECT_EQ(Send(WM_GETTEXTLENGTH) - Send(EM_GETLINECOUNT) + 1, 0x7FFF);
  host_.max_length = 0x7FFFFFFF;
  Select(0, -1);
  Send(WM_PASTE);  // all of it, with no limit
  EXPECT_EQ(static_cast<std::size_t>(Send(WM_GETTEXTLENGTH)), big.size());
  Key(VK_END, false, true);
  Type(u"x");
  DrawOnce();
  Send(EM_UNDO);
  Send(EM_UNDO);
  EXPECT_EQ(Send(WM_GETTEXTLENGTH) - Send(EM_GETLINECOUNT) + 1, 0x7FFF);
}

TEST_F(TextBadInputTest, MillionCharacterLine) {
  host_.max_length = 0x7FFFFFFF;
  std::u16string line;
  line.reserve(1000000);
  for (int i = 0; i < 1000000; ++i) line.push_back(i % 7 == 0 ? u' ' : static_cast<char16_t>(u'a' + i % 26));
  SetText(line);
  Focus();
  Key(VK_END, false, true);  // the caret's place is measured piece by piece
  const POINT end = PointOf(1000000);
  EXPECT_GT(end.x - PointOf(0).x, 1000000);  // the x of the end, not clipped
  EXPECT_LE(host_.caret_pos.x, host_.client.right);  // the view followed the caret
  Type(u"tail");
  DrawOnce();
  Key(VK_HOME);
  Type(u"head");
  DrawOnce();
  Key(VK_RIGHT, false, true);
  Key(VK_LEFT, true, true);
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At({host_.client.left + 50, host_.client.top + 5}));
  Send(WM_LBUTTONUP, 0, 0);
  std::u16string text = Text();
  EXPECT_EQ(text.size(), 1000008u);
  EXPECT_EQ(text.substr(0, 4), u"head");
  EXPECT_EQ(text.substr(text.size() - 4), u"tail");
  // With word wrap the same line breaks into many lines and still behaves.
  MakeMultiline();
  SetProperty(TXTBIT_WORDWRAP, true);
  EXPECT_GT(Send(EM_GETLINECOUNT), 1000);
  Key(VK_END, false, true);
  DrawOnce();
  EXPECT_EQ(Selection().second, 1000008);
}

}  // namespace
}  // namespace text_test
