// The icon element: loading "name:size" references, painting and its desired size.
#include "controls_fixture.h"
#include "core/icon_wnd.h"

namespace LOOM {
namespace {

using test::kPixBlue;
using test::kPixGreen;
using test::kPixRed;

class IconTest : public test::ControlsFixture {};

TEST_F(IconTest, SixteenPixelIconInItsOwnSizeDrawsUnscaled) {
  Build(uR"(<root><icon name="i" pos="10,8" src="ICON_LOGO:16"/></root>)", 60, 60);
  auto* icon = Control<SIconWnd>(u"i");
  ASSERT_NE(icon->Icon(), nullptr);
  EXPECT_EQ(RectOf(u"i"), (RECT{10, 8, 26, 24})) << "the layout left the size to the icon";
  // The 16-pixel image of the test icon is red, the 32-pixel one green.
  EXPECT_EQ(Pixel(10, 8), kPixRed);
  EXPECT_EQ(Pixel(25, 23), kPixRed);
  EXPECT_EQ(Pixel(26, 24), 0u);
}

TEST_F(IconTest, SizePicksTheImageAndTheElementStretchesIt) {
  Build(uR"(<root><icon name="a" pos="0,0" src="icon_logo:32"/>
                   <icon name="b" pos="40,0" size="10,10" src="ICON_LOGO:48"/>
                   <icon name="c" pos="0,40" src="ICON_LOGO"/></root>)",
        80, 80);
  EXPECT_EQ(RectOf(u"a"), (RECT{0, 0, 32, 32}));
  EXPECT_EQ(Pixel(31, 31), kPixGreen);
  EXPECT_EQ(Pixel(45, 5), kPixBlue) << "48-pixel image drawn into 10 x 10";
  EXPECT_EQ(Pixel(51, 5), 0u);
  EXPECT_EQ(RectOf(u"c"), (RECT{0, 40, 32, 72})) << "no size: the platform's default, 32";
}

TEST_F(IconTest, MissingOrMalformedReferencesLeaveNoIcon) {
  Build(uR"(<root><icon name="a" pos="0,0" src="NO_SUCH_ICON:16"/>
                   <icon name="b" pos="20,0" src="ICON_LOGO:-16"/>
                   <icon name="c" pos="40,0" src="ICON_LOGO:999999"/>
                   <icon name="d" pos="60,0" src="ICON_LOGO:16:2"/></root>)",
        100, 40);
  for (const char16_t* name : {u"a", u"b", u"c", u"d"}) {
    SCOPED_TRACE(ToU8(name));
    EXPECT_EQ(Control<SIconWnd>(name)->Icon(), nullptr);
    RECT rc = RectOf(name);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);
  }
  host_->Repaint();
}

TEST_F(IconTest, ANewSourceReplacesTheIcon) {
  Build(uR"(<root><icon name="i" pos="0,0" size="16,16" src="ICON_LOGO:16"/></root>)", 40, 40);
  auto* icon = Control<SIconWnd>(u"i");
  HICON first = icon->Icon();
  ASSERT_NE(first, nullptr);
  icon->ApplyAttribute(u"src", u"ICON_LOGO:32", false);
  EXPECT_NE(icon->Icon(), nullptr);
  EXPECT_EQ(Pixel(8, 8), kPixGreen);
  icon->ApplyAttribute(u"src", u"NOTHING", false);
  EXPECT_EQ(icon->Icon(), nullptr);
  EXPECT_EQ(Pixel(8, 8), 0u);
}

}  // namespace
}  // namespace LOOM
