// Static text: the multi-line layout (line spacing, wrapping, explicit breaks, vertical
// centring, measuring) recorded segment by segment and read back from pixels.
#include <vector>

#include "controls_fixture.h"
#include "core/static_text.h"

namespace LOOM {
namespace {

// A static text that records the lines it draws ("rectext" in markup).
class RecordingStatic : public SStatic {
  LOOM_CLASS_TAG(RecordingStatic, SStatic, u"rectext", u"text", ObjectKind::Window)

 public:
  struct Line {
    std::u16string text;
    RECT rc;
  };
  std::vector<Line> lines;

 protected:
  void PaintTextSegment(IRenderTarget* rt, std::u16string_view text, std::size_t start, std::size_t count, RECT rc,
                        UINT format) override {
    lines.push_back({std::u16string(text.substr(start, count)), rc});
    SStatic::PaintTextSegment(rt, text, start, count, rc, format);
  }
};

class StaticTest : public test::ControlsFixture {
 protected:
  StaticTest() { app_.Register<RecordingStatic>(); }

  RecordingStatic* BuildText(std::u16string_view markup, int width = 200, int height = 200) {
    Build(markup, width, height);
    host_->Repaint();
    return Control<RecordingStatic>(u"t");
  }
  // The height of "A" in the element's font, as the layout measures it.
  int LineHeight(SWindow* e) {
    auto rt = TargetFor(e);
    SIZE a{};
    rt->TextExtent(u"A", &a);
    return a.cy;
  }
  // Whether any pixel of rows [top, bottom) within columns [left, right) has ink.
  bool Ink(int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (host_->PixelAt(x, y) != 0) return true;
    return false;
  }
};

TEST_F(StaticTest, LinesAreSpacedByTheLetterHeightPlusInterHeight) {
  RecordingStatic* t = BuildText(
      uR"(<root><rectext name="t" pos="10,10" size="180,180" multiLines="1" valign="top" colorText="#ffffff">one\ntwo\nthree</rectext></root>)");
  int h = LineHeight(t);
  ASSERT_GT(h, 0);
  ASSERT_EQ(t->lines.size(), 3u);
  EXPECT_EQ(t->lines[0].text, u"one");
  EXPECT_EQ(t->lines[1].text, u"two");
  EXPECT_EQ(t->lines[2].text, u"three");
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t->lines[i].rc, (RECT{10, 10 + i * (h + 5), 190, 10 + i * (h + 5) + h}));
  }
  // Ink lies in the lines, none in the gaps between them.
  EXPECT_TRUE(Ink(10, 10, 190, 10 + h));
  EXPECT_TRUE(Ink(10, 10 + h + 5, 190, 10 + 2 * h + 5));
  EXPECT_FALSE(Ink(10, 10 + h, 190, 10 + h + 5));
  EXPECT_FALSE(Ink(10, 10 + 3 * h + 10, 190, 190));
}

TEST_F(StaticTest, InterHeightAndLineFeedsAndCrLf) {
  RecordingStatic* t = BuildText(u"<root><rectext name=\"t\" pos=\"0,0\" size=\"200,200\" multiLines=\"1\" valign=\"top\" "
                                 u"interHeight=\"12\" text=\"a&#10;b&#13;&#10;c\"/></root>");
  int h = LineHeight(t);
  ASSERT_EQ(t->lines.size(), 3u);
  EXPECT_EQ(t->lines[1].text, u"b");
  EXPECT_EQ(t->lines[2].text, u"c") << "a carriage return before a line feed is not drawn";
  EXPECT_EQ(t->lines[2].rc.top, 2 * (h + 12));
}

TEST_F(StaticTest, WithoutMultiLinesTheBackslashAndNAreDrawnAsTheyAre) {
  RecordingStatic* t =
      BuildText(uR"(<root><rectext name="t" pos="0,0" size="200,40" colorText="#ffffff">one\ntwo</rectext></root>)");
  EXPECT_TRUE(t->lines.empty()) << "one TextDraw of the whole text";
  EXPECT_EQ(t->GetElementText(), uR"(one\ntwo)");
  EXPECT_TRUE(Ink(0, 0, 200, 40));
}

TEST_F(StaticTest, LongTextWrapsAtTheRightEdgeCharacterByCharacter) {
  RecordingStatic* t = BuildText(
      uR"(<root><rectext name="t" pos="0,0" size="60,200" multiLines="1">abcdefghijklmnopqrstuvwxyz</rectext></root>)");
  ASSERT_GT(t->lines.size(), 2u);
  std::u16string joined;
  auto rt = TargetFor(t);
  for (const auto& line : t->lines) {
    joined += line.text;
    int width = 0;
    for (char16_t c : line.text) {
      SIZE s{};
      rt->TextExtent(std::u16string_view(&c, 1), &s);
      width += s.cx;
    }
    EXPECT_LE(width, 60) << "line " << ToU8(line.text);
  }
  EXPECT_EQ(joined, u"abcdefghijklmnopqrstuvwxyz") << "nothing lost between lines";
}

TEST_F(StaticTest, ACharacterWiderThanTheBoxKeepsALineOfItsOwn) {
  RecordingStatic* t =
      BuildText(uR"(<root><rectext name="t" pos="0,0" size="3,200" multiLines="1" valign="top" colorText="#ffffff">WWW</rectext></root>)");
  int h = LineHeight(t);
  ASSERT_EQ(t->lines.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(t->lines[i].text, u"W");
    EXPECT_EQ(t->lines[i].rc.top, i * (h + 5));
  }
}

TEST_F(StaticTest, TextThatDoesNotFitStopsAtTheLastLineStartingInTheBox) {
  Build(uR"(<root><rectext name="t" pos="0,0" size="200,200" multiLines="1">1\n2\n3\n4\n5</rectext></root>)");
  auto* t = Control<RecordingStatic>(u"t");
  int h = LineHeight(t);
  // Room for lines starting at 0 and h + 5 only.
  RECT box{0, 0, 200, 2 * h + 5};
  t->PlaceAt(&box);
  host_->Repaint();
  ASSERT_EQ(t->lines.size(), 2u);
  EXPECT_EQ(t->lines[1].text, u"2");
}

TEST_F(StaticTest, MeasuringGivesWidestLineAndNeverGrowsDownward) {
  Build(uR"(<root><rectext name="t" pos="0,0" size="100,100" multiLines="1"/></root>)");
  auto* t = Control<RecordingStatic>(u"t");
  int h = LineHeight(t);
  auto rt = TargetFor(t);

  RECT empty{5, 5, 105, 105};
  t->MeasureText(rt.get(), u"", empty, 0);
  EXPECT_EQ(empty, (RECT{5, 5, 5, 5 + h})) << "width 0, one line high";
  RECT low{0, 0, 100, h / 2};
  t->MeasureText(rt.get(), u"", low, 0);
  EXPECT_EQ(low.bottom, h / 2) << "never taller than given";

  SIZE ab{}, abcd{};
  rt->TextExtent(u"ab", &ab);
  rt->TextExtent(u"abcd", &abcd);
  RECT two{0, 0, 100, 100};
  t->MeasureText(rt.get(), uR"(ab\nabcd)", two, 0);
  EXPECT_EQ(two.bottom, 2 * h + 5);
  EXPECT_NEAR(two.right, abcd.cx, 2);
  EXPECT_TRUE(t->lines.empty()) << "measuring draws nothing";
}

TEST_F(StaticTest, VerticalCentringMovesTheLinesToTheMiddle) {
  RecordingStatic* t = BuildText(
      uR"(<root><rectext name="t" pos="0,0" size="200,100" multiLines="1" valign="middle">a\nb</rectext></root>)");
  int h = LineHeight(t);
  ASSERT_EQ(t->lines.size(), 2u);
  int block = 2 * h + 5;
  EXPECT_EQ(t->lines[0].rc.top, (100 - block) / 2);
  EXPECT_EQ(t->lines[1].rc.top, (100 - block) / 2 + h + 5);
}

TEST_F(StaticTest, BottomAlignmentSetsTheBlockOnTheBottomEdge) {
  RecordingStatic* t = BuildText(
      uR"(<root><rectext name="t" pos="0,0" size="200,100" multiLines="1" valign="bottom">a\nb</rectext></root>)");
  int h = LineHeight(t);
  ASSERT_EQ(t->lines.size(), 2u);
  EXPECT_EQ(t->lines[1].rc.bottom, 100);
  EXPECT_EQ(t->lines[0].rc.top, 100 - (2 * h + 5));
}

TEST_F(StaticTest, LeftAlignedAndTransparentToTheMouse) {
  Build(uR"(<root><window name="under" pos="0,0" size="100,100"/>
                   <text name="t" pos="0,0" size="100,100">hello</text></root>)");
  auto* t = Control<SStatic>(u"t");
  EXPECT_EQ(t->Style().align, kAlignLeft);
  EXPECT_TRUE(t->IsMsgTransparent());
  EXPECT_EQ(host_->HitTestElement({50, 50}), Find(u"under")->Handle());
}

TEST_F(StaticTest, WrapContentSizeFollowsTheMultiLineMeasure) {
  Build(uR"(<root><rectext name="t" pos="0,0" multiLines="1">ab\nabcd</rectext></root>)");
  auto* t = Control<RecordingStatic>(u"t");
  int h = LineHeight(t);
  RECT rc = RectOf(u"t");
  EXPECT_EQ(rc.bottom - rc.top, 2 * h + 5);
  EXPECT_GT(rc.right - rc.left, 0);
}

}  // namespace
}  // namespace LOOM
