// The progress bar: clamping, the filled part read back from pixels, vertical bars,
// the percentage text, odd ranges from markup, and the system-skin fallbacks.
#include "controls_fixture.h"
#include "core/progress.h"

namespace LOOM {
namespace {

using test::kPixBlack;
using test::kPixWhite;

constexpr COLORREF kDark = 0xFF212329;  // progress_bkgnd_skin
constexpr COLORREF kCyan = 0xFF4AFFF9;  // progress_pos_skin
constexpr COLORREF kFrame = 0xFF0000FF;  // the parent around the bar

// The program's bar: 1030 x 10 along the bottom of its window.
constexpr char16_t kProgramBar[] =
    uR"(<root><progress name="p" pos="0,531" size="1030, 10" value="20" min="0" max="100" showPercent="0"
                       bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/></root>)";

class ProgressTest : public test::ControlsFixture {
 protected:
  SProgress* ProgramBar() {
    Build(kProgramBar, 1030, 541);
    return Control<SProgress>(u"p");
  }
  // The number of cyan pixels along a row of the bar.
  int FilledAlong(int y, int from, int to) {
    host_->Repaint();
    int n = 0;
    for (int x = from; x < to; ++x) n += host_->PixelAt(x, y) == kCyan;
    return n;
  }
};

TEST_F(ProgressTest, ValueFillsItsShareOfTheBarTruncated) {
  SProgress* p = ProgramBar();
  EXPECT_EQ(FilledAlong(535, 0, 1030), 206) << "20 from markup: 20 * 1030 / 100";
  EXPECT_TRUE(p->SetProgressValue(37));
  EXPECT_EQ(p->ProgressValue(), 37);
  EXPECT_EQ(FilledAlong(535, 0, 1030), 381) << "37 * 1030 / 100 = 381.1";
  EXPECT_EQ(host_->PixelAt(380, 531), kCyan);
  EXPECT_EQ(host_->PixelAt(381, 540), kDark);
}

TEST_F(ProgressTest, ValuesAreClampedToTheRange) {
  SProgress* p = ProgramBar();
  p->SetProgressValue(150);
  EXPECT_EQ(p->ProgressValue(), 100);
  EXPECT_EQ(FilledAlong(535, 0, 1030), 1030);
  p->SetProgressValue(-5);
  EXPECT_EQ(p->ProgressValue(), 0);
  EXPECT_EQ(FilledAlong(535, 0, 1030), 0);
  EXPECT_EQ(host_->PixelAt(0, 535), kDark) << "only the background";
  p->SetProgressValue(20);
  p->SetProgressRange(0, 10);
  EXPECT_EQ(p->ProgressValue(), 10);
  EXPECT_EQ(FilledAlong(535, 0, 1030), 1030);
  p->SetProgressRange(50, 60);
  EXPECT_EQ(p->ProgressValue(), 50);
  EXPECT_EQ(FilledAlong(535, 0, 1030), 0);
}

TEST_F(ProgressTest, VerticalBarFillsFromTheTop) {
  Build(uR"(<root><progress name="p" pos="10,0" size="20,200" vertical="1" value="50"
                     bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/></root>)",
        40, 200);
  host_->Repaint();
  EXPECT_EQ(host_->PixelAt(20, 0), kCyan);
  EXPECT_EQ(host_->PixelAt(20, 99), kCyan);
  EXPECT_EQ(host_->PixelAt(20, 100), kDark);
  EXPECT_EQ(host_->PixelAt(20, 199), kDark);
}

TEST_F(ProgressTest, MarkupValuesOutsideTheRangeStayInsideTheElement) {
  Build(uR"(<root><window pos="0,0" size="120,40" colorBkgnd="#0000ff">
                     <progress name="above" pos="10,5" size="100,10" value="500" max="100"
                               bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/>
                     <progress name="empty" pos="10,20" size="100,5" min="7" max="7" value="7"
                               bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/>
                     <progress name="inverted" pos="10,30" size="100,5" min="10" max="0" value="20"
                               bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/>
                   </window></root>)",
        120, 40);
  EXPECT_EQ(Control<SProgress>(u"above")->ProgressValue(), 500) << "stored as given";
  EXPECT_EQ(FilledAlong(10, 10, 110), 100);
  EXPECT_EQ(host_->PixelAt(110, 10), kFrame) << "nothing drawn beyond the bar";
  EXPECT_EQ(host_->PixelAt(9, 10), kFrame);
  EXPECT_EQ(FilledAlong(22, 10, 110), 0) << "max equal to min, value at min: empty";
  EXPECT_EQ(FilledAlong(32, 10, 110), 100) << "value beyond an inverted range: full";
  auto* empty = Control<SProgress>(u"empty");
  empty->ApplyAttribute(u"value", u"8", false);
  EXPECT_EQ(FilledAlong(22, 10, 110), 100);
  EXPECT_EQ(empty->Percent(), 100);
  EXPECT_EQ(host_->PixelAt(110, 22), kFrame);
}

TEST_F(ProgressTest, ExtremeValuesFormTheirProductsIn64Bits) {
  Build(uR"(<root><progress name="p" pos="0,0" size="1000,10" min="-2147483648" max="2147483647" value="0"
                     bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/></root>)",
        1000, 10);
  auto* p = Control<SProgress>(u"p");
  EXPECT_EQ(FilledAlong(5, 0, 1000), 500) << "2^31 * 1000 / (2^32 - 1), truncated";
  p->SetProgressValue(2147483647);
  EXPECT_EQ(FilledAlong(5, 0, 1000), 1000);
  EXPECT_EQ(p->Percent(), 100);
}

TEST_F(ProgressTest, PercentTextIsCentredOverAHorizontalBar) {
  Build(uR"(<root><progress name="p" pos="0,0" size="300,30" value="37" showPercent="1" colorText="#ffffff"
                     bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/>
                   <progress name="v" pos="0,40" size="30,100" vertical="1" value="37" showPercent="1" colorText="#ffffff"
                     bkgndSkin="progress_bkgnd_skin" posSkin="progress_pos_skin"/></root>)",
        300, 140);
  auto* p = Control<SProgress>(u"p");
  EXPECT_EQ(p->Percent(), 37);
  host_->Repaint();
  auto text_pixels = [this](int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        COLORREF px = host_->PixelAt(x, y);
        n += px != kCyan && px != kDark;
      }
    return n;
  };
  EXPECT_GT(text_pixels(120, 0, 180, 30), 0) << "the text is in the middle";
  EXPECT_EQ(text_pixels(0, 0, 90, 30), 0);
  EXPECT_EQ(text_pixels(210, 0, 300, 30), 0);
  EXPECT_EQ(text_pixels(0, 40, 30, 140), 0) << "no text on a vertical bar";
}

TEST_F(ProgressTest, WithoutSkinsTheBarTakesTheSystemSkinsOrIsNotCreated) {
  Build(uR"(<root><progress name="h" pos="0,0" size="100,10" value="50"/>
                   <progress name="missing" pos="0,0" size="100,10" bkgndSkin="no_such_skin" value="50"/>
                   <progress name="v" pos="0,20" size="10,100" vertical="1"/></root>)",
        100, 120);
  auto* h = Control<SProgress>(u"h");
  ASSERT_NE(h->BarBackgroundSkin(), nullptr);
  EXPECT_EQ(h->BarBackgroundSkin()->SkinName(), u"_skin.sys.prog.bkgnd");
  EXPECT_EQ(h->BarPositionSkin()->SkinName(), u"_skin.sys.prog.bar");
  EXPECT_EQ(Control<SProgress>(u"missing")->BarBackgroundSkin()->SkinName(), u"_skin.sys.prog.bkgnd");
  EXPECT_EQ(Pixel(49, 5), kPixWhite);
  EXPECT_EQ(Pixel(50, 5), kPixBlack);
  EXPECT_EQ(Lookup(u"v"), nullptr) << "no vertical system skins here: creation refused";
}

TEST_F(ProgressTest, DesiredSizeComesFromTheBackgroundCellAndMargins) {
  Build(uR"(<root><progress name="a" pos="0,0" width="200" margin="2" bkgndSkin="four" posSkin="four"/>
                   <progress name="b" pos="0,20" bkgndSkin="four" posSkin="four"/>
                   <progress name="c" pos="0,40" height="50" vertical="1" bkgndSkin="four" posSkin="four"/></root>)",
        300, 200);
  EXPECT_EQ(RectOf(u"a"), (RECT{0, 0, 200, 14})) << "across: cell 10 + margins 2 + 2";
  EXPECT_EQ(RectOf(u"b"), (RECT{0, 20, 10, 30}));
  EXPECT_EQ(RectOf(u"c"), (RECT{0, 40, 10, 90}));
}

TEST_F(ProgressTest, ScaleChangeLooksTheBarSkinsUpAgain) {
  SProgress* p = ProgramBar();
  ISkinObj* before = p->BarBackgroundSkin();
  p->SendElementMessage(UM_SETSCALE, 150);
  ASSERT_NE(p->BarBackgroundSkin(), nullptr);
  EXPECT_EQ(p->BarBackgroundSkin(), before) << "gradients are shared between scales";
  EXPECT_TRUE(p->IsFocusable());
  EXPECT_TRUE(p->MatchesTag(u"progress"));
}

}  // namespace
}  // namespace LOOM
