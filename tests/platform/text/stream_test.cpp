// Streams into the box: reading a caller's stream, code pages, and the RTF subset.
#include <gtest/gtest.h>

#include <string>

#include "platform/text/linux/text_stream.h"

namespace text_test {
namespace {

using namespace platform::text;

struct Source {
  std::string data;
  std::size_t at = 0;
  int calls = 0;
  DWORD fail_on_call = 0;
};

DWORD CALLBACK_Read(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
  auto* source = reinterpret_cast<Source*>(cookie);
  ++source->calls;
  if (source->fail_on_call != 0 && static_cast<DWORD>(source->calls) == source->fail_on_call) return 7;
  const auto n = std::min<std::size_t>(static_cast<std::size_t>(cb), std::min<std::size_t>(source->data.size() - source->at, 3));
  std::copy_n(source->data.data() + source->at, n, buffer);
  source->at += n;
  *pcb = static_cast<LONG>(n);
  return 0;
}

DWORD CALLBACK_Endless(ULONG_PTR, BYTE* buffer, LONG cb, LONG* pcb) {
  std::fill_n(buffer, cb, BYTE{'a'});
  *pcb = cb + 100;  // claims more than it may: the reader takes no more than it asked
  return 0;
}

TEST(TextStreamTest, ReadsInSmallPiecesStopsOnErrorsAndBoundsAnEndlessStream) {
  Source source{"hello, stream"};
  EDITSTREAM stream{reinterpret_cast<ULONG_PTR>(&source), 0, CALLBACK_Read};
  StreamBytes read = ReadStream(stream);
  EXPECT_EQ(read.bytes, "hello, stream");
  EXPECT_EQ(read.error, 0u);

  Source failing{"abcdefghij", 0, 0, 3};
  EDITSTREAM broken{reinterpret_cast<ULONG_PTR>(&failing), 0, CALLBACK_Read};
  read = ReadStream(broken);
  EXPECT_EQ(read.bytes, "abcdef");
  EXPECT_EQ(read.error, 7u);

  EDITSTREAM endless{0, 0, CALLBACK_Endless};
  read = ReadStream(endless, 200000);
  EXPECT_EQ(read.bytes.size(), 200000u);

  EDITSTREAM none{0, 0, nullptr};
  EXPECT_TRUE(ReadStream(none).bytes.empty());
}

TEST(TextStreamTest, CodePages) {
  EXPECT_EQ(DecodeCodePage("abc\xE4\xB8\xAD", 0), u"abc中");
  EXPECT_EQ(DecodeCodePage(std::string("a\0\x2D\x4E", 4), CP_UTF16LE), u"a中");
  EXPECT_EQ(DecodeCodePage("\xD6\xD0\xCE\xC4", 936), u"中文");  // GBK
  EXPECT_EQ(DecodeCodePage("caf\xE9", 1252), u"café");
  // A cut-off GBK sequence: one replacement character, the rest decoded.
  EXPECT_EQ(DecodeCodePage("\xD6\xD0\xCE", 936), u"中\uFFFD");
  EXPECT_EQ(DecodeCodePage("\xFF\xFE", 65001), u"\uFFFD\uFFFD");
}

TEST(TextStreamTest, RtfParagraphListBecomesPlainText) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
      "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
      "{\\*\\generator Riched20 10.0;}\\viewkind4\\uc1\\pard\\f0\\fs24 "
      "\\'d6\\'d0\\'ce\\'c4 first\\par\r\n"
      "second\\tab tabbed \\u20013?\\u-2?\\par\r\n"
      "braces \\{ \\} and \\\\ backslash\\par\r\n"
      "}";
  EXPECT_EQ(RtfToText(rtf), u"中文 first\rsecond\ttabbed 中\uFFFE\rbraces { } and \\ backslash");
}

TEST(TextStreamTest, RtfDestinationsFallbacksAndMalformedInput) {
  EXPECT_EQ(RtfToText("{\\rtf1 {\\info {\\title no}}{\\pict 89504e47}visible}"), u"visible");
  EXPECT_EQ(RtfToText("{\\rtf1\\uc2 \\u8212\\'97\\'97x}"), u"\u2014x");  // two stand-ins skipped
  EXPECT_EQ(RtfToText("{\\rtf1 a\\line b\\~c\\emdash d}"), u"a\rb\u00A0c\u2014d");
  EXPECT_EQ(RtfToText("{\\rtf1 \\bin4 }}}}after}"), u"after");
  // Unbalanced braces, a lone backslash, a cut-off hex escape: what can be read.
  EXPECT_EQ(RtfToText("{\\rtf1 open {group"), u"open group");
  EXPECT_EQ(RtfToText("{\\rtf1 end\\"), u"end");
  EXPECT_EQ(RtfToText("{\\rtf1 x\\'4"), u"x");
  EXPECT_EQ(RtfToText("{\\rtf1 closed} trailing"), u"closed");
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 5000; ++i) deep += "{";
  deep += "deep";
  for (int i = 0; i < 5000; ++i) deep += "}";
  deep += "}";
  EXPECT_EQ(RtfToText(deep), u"");  // beyond the depth limit nothing is read, nothing breaks
  EXPECT_TRUE(LooksLikeRtf("  \r\n{\\rtf1}"));
  EXPECT_FALSE(LooksLikeRtf("plain {\\rtf1}"));
}

}  // namespace
}  // namespace text_test
