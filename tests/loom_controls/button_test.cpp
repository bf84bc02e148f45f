// Buttons in a test container: cells by state, the hover fade read back from pixels,
// mouse and keyboard presses, accelerators, the default skin and the desired size.
#include "controls_fixture.h"
#include "core/button.h"

namespace LOOM {
namespace {

using test::Channels;
using test::kPixBlue;
using test::kPixGreen;
using test::kPixGrey;
using test::kPixRed;

// A 20 x 20 image button at (10, 10) in a 100 x 60 host; (80, 50) is outside it.
constexpr char16_t kAnimated[] =
    uR"(<root><imgbtn name="b" pos="10,10" size="20,20" skin="four" animate="1"/></root>)";

class ButtonTest : public test::ControlsFixture {
 protected:
  SImageButton* BuildOne(std::u16string_view markup) {
    Build(markup, 100, 60);
    return Control<SImageButton>(u"b");
  }
  void MoveTo(int x, int y) { host_->Mouse(WM_MOUSEMOVE, x, y); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) host_->FrameTick();
  }
};

TEST_F(ButtonTest, HoverFadesCellOneInOverCellZeroAndEndsOnTheNinthTick) {
  SImageButton* b = BuildOne(kAnimated);
  EXPECT_EQ(Pixel(20, 20), kPixRed);
  MoveTo(20, 20);
  ASSERT_EQ(b->State(), WndState_Hover);
  EXPECT_EQ(b->FadeProgress(), SButton::kFadeStart);
  EXPECT_EQ(host_->FrameHandlerCount(), 1u);
  // Cell 1 (green) at (255 * 50) >> 8 = 49 over cell 0 (red).
  Channels start(Pixel(20, 20));
  EXPECT_NEAR(start.g, 49, 1);
  EXPECT_NEAR(start.r, 255 - 49, 1);
  EXPECT_EQ(start.a, 255);

  Ticks(8);
  EXPECT_EQ(b->FadeProgress(), 250);
  Channels last(Pixel(20, 20));
  EXPECT_NEAR(last.g, 249, 1);
  EXPECT_NEAR(last.r, 6, 1);

  Ticks(1);
  EXPECT_FALSE(b->IsFading());
  EXPECT_EQ(host_->FrameHandlerCount(), 0u);
  EXPECT_EQ(Pixel(20, 20), kPixGreen);
}

TEST_F(ButtonTest, LeavingDuringAFadeInFadesOutFromTheStart) {
  SImageButton* b = BuildOne(kAnimated);
  MoveTo(20, 20);
  Ticks(2);
  EXPECT_EQ(b->FadeProgress(), 100);
  MoveTo(80, 50);
  ASSERT_EQ(b->State(), WndState_Normal);
  EXPECT_EQ(b->FadeProgress(), SButton::kFadeStart);
  EXPECT_EQ(host_->FrameHandlerCount(), 1u) << "registered once";
  // Fading out: cell 1 at 255 - 49 = 206 over cell 0.
  Channels out(Pixel(20, 20));
  EXPECT_NEAR(out.g, 206, 1);
  EXPECT_NEAR(out.r, 49, 1);
  Ticks(8);
  Channels end(Pixel(20, 20));
  EXPECT_NEAR(end.g, 255 - 249, 1);
  Ticks(1);
  EXPECT_EQ(Pixel(20, 20), kPixRed);
}

TEST_F(ButtonTest, TheSkinsOwnAlphaWeighsBothCells) {
  SImageButton* b = BuildOne(uR"(<root><imgbtn name="b" pos="10,10" size="20,20" skin="four_faint" animate="1"/></root>)");
  MoveTo(20, 20);
  ASSERT_TRUE(b->IsFading());
  // a = 128, f = (128 * 50) >> 8 = 25: red at 128, then green at 25 over it.
  Channels c(Pixel(20, 20));
  EXPECT_NEAR(c.g, 25, 1);
  EXPECT_NEAR(c.r, 128 * (255 - 25) / 255, 1);
}

TEST_F(ButtonTest, PressingStopsTheFadeAndShowsThePushedCellWithoutANewFade) {
  SImageButton* b = BuildOne(kAnimated);
  MoveTo(20, 20);
  host_->Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  EXPECT_EQ(b->State(), WndState_Hover | WndState_PushDown);
  EXPECT_FALSE(b->IsFading());
  EXPECT_EQ(host_->FrameHandlerCount(), 0u);
  EXPECT_EQ(Pixel(20, 20), kPixBlue);
  host_->Mouse(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(b->State(), WndState_Hover);
  EXPECT_FALSE(b->IsFading()) << "hover + pushed -> hover is no normal/hover swap";
  EXPECT_EQ(Pixel(20, 20), kPixGreen);
  EXPECT_EQ(Commands(), 1);
}

TEST_F(ButtonTest, WithoutAnimateTheCellsSwitchAtOnce) {
  SImageButton* b = BuildOne(uR"(<root><imgbtn name="b" pos="10,10" size="20,20" skin="four"/></root>)");
  MoveTo(20, 20);
  EXPECT_FALSE(b->IsFading());
  EXPECT_EQ(host_->FrameHandlerCount(), 0u);
  EXPECT_EQ(Pixel(20, 20), kPixGreen);
}

TEST_F(ButtonTest, ResizeAndDestructionStopTheFade) {
  SImageButton* b = BuildOne(kAnimated);
  MoveTo(20, 20);
  ASSERT_TRUE(b->IsFading());
  RECT moved{10, 10, 40, 40};
  b->PlaceAt(&moved);
  EXPECT_FALSE(b->IsFading());
  EXPECT_EQ(host_->FrameHandlerCount(), 0u);

  MoveTo(80, 50);
  ASSERT_TRUE(b->IsFading());
  host_->DeleteChild(b);
  EXPECT_EQ(host_->FrameHandlerCount(), 0u);
  Ticks(3);  // nothing left to call
}

TEST_F(ButtonTest, AStepOfZeroStillEndsTheFade) {
  SImageButton* b = BuildOne(uR"(<root><imgbtn name="b" pos="10,10" size="20,20" skin="four" animate="1" animateStep="0"/></root>)");
  EXPECT_EQ(b->FadeStep(), 0);
  MoveTo(20, 20);
  int ticks = 0;
  while (b->IsFading() && ticks < 1000) {
    host_->FrameTick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 205) << "one step per frame from 50 past 254";
  EXPECT_EQ(Pixel(20, 20), kPixGreen);
}

TEST_F(ButtonTest, DisabledFourCellButtonDrawsCellThreeAndIgnoresClicks) {
  SImageButton* b = BuildOne(uR"(<root><imgbtn name="b" pos="10,10" size="20,20" skin="four" animate="1" enable="0"/></root>)");
  EXPECT_EQ(Pixel(20, 20), kPixGrey);
  MoveTo(20, 20);
  host_->Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  host_->Mouse(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(b->State(), WndState_Disable);
  EXPECT_EQ(Commands(), 0);
  EXPECT_FALSE(b->IsFading());
  b->EnableElement(true);
  EXPECT_EQ(Pixel(20, 20), kPixRed);
}

TEST_F(ButtonTest, DisabledThreeCellButtonDrawsNothing) {
  BuildOne(uR"(<root><imgbtn name="b" pos="10,10" size="20,20" skin="three" enable="0"/></root>)");
  EXPECT_EQ(Pixel(20, 20), 0u);
}

TEST_F(ButtonTest, PressReleasedOutsideGivesNoCommand) {
  SImageButton* b = BuildOne(kAnimated);
  MoveTo(20, 20);
  host_->Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  EXPECT_EQ(host_->CapturedElement(), b->Handle());
  MoveTo(80, 50);
  EXPECT_EQ(b->State(), WndState_Normal) << "leave removes hover and pushed while captured";
  EXPECT_FALSE(b->IsFading()) << "no fade while the button holds the capture";
  host_->Mouse(WM_LBUTTONUP, 80, 50);
  EXPECT_EQ(Commands(), 0);
  EXPECT_EQ(Count(EVT_LBUTTONUP), 0);
  EXPECT_EQ(b->State(), WndState_Normal);
  EXPECT_EQ(host_->CapturedElement(), 0u);
  EXPECT_EQ(Pixel(20, 20), kPixRed);
}

TEST_F(ButtonTest, DoubleClickPressesAgain) {
  BuildOne(kAnimated);
  host_->Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  host_->Mouse(WM_LBUTTONUP, 20, 20);
  host_->Mouse(WM_LBUTTONDBLCLK, 20, 20, MK_LBUTTON);
  host_->Mouse(WM_LBUTTONUP, 20, 20);
  EXPECT_EQ(Commands(), 2);
}

TEST_F(ButtonTest, SpaceHeldThenReleasedGivesOneCommand) {
  SImageButton* b = BuildOne(kAnimated);
  host_->FocusElement(b->Handle());
  ASSERT_TRUE(b->IsFocused());
  for (int repeat = 0; repeat < 3; ++repeat) host_->RouteHostMessage(WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(b->State(), WndState_PushDown);
  EXPECT_EQ(Pixel(20, 20), kPixBlue);
  EXPECT_EQ(Commands(), 0);
  host_->RouteHostMessage(WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(Commands(), 1);
  EXPECT_EQ(b->State(), WndState_Normal);
  EXPECT_EQ(Pixel(20, 20), kPixRed);
  // A release without a press does nothing; Enter works like Space.
  host_->RouteHostMessage(WM_KEYUP, VK_SPACE, 0);
  EXPECT_EQ(Commands(), 1);
  host_->RouteHostMessage(WM_KEYDOWN, VK_RETURN, 0);
  host_->RouteHostMessage(WM_KEYUP, VK_RETURN, 0);
  EXPECT_EQ(Commands(), 2);
}

TEST_F(ButtonTest, OtherKeysAreLeftToTheDefaultHandling) {
  SImageButton* b = BuildOne(kAnimated);
  host_->FocusElement(b->Handle());
  host_->RouteHostMessage(WM_KEYDOWN, 'A', 0);
  EXPECT_FALSE(host_->IsMsgHandled());
  EXPECT_EQ(b->State(), WndState_Normal);
  host_->RouteHostMessage(WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(host_->IsMsgHandled());
  EXPECT_EQ(b->KeyWants(), SC_WANTCHARS);
}

TEST_F(ButtonTest, AcceleratorFiresTheCommandUnlessDisabledOrHiddenWhenAsked) {
  Build(uR"(<root>
      <button name="x" pos="0,0" size="10,10" accel="ctrl+x"/>
      <window name="box" pos="20,0" size="40,40">
        <button name="y" pos="0,0" size="10,10" accel="alt+y" disableAccelIfInvisible="1"/>
        <button name="z" pos="10,0" size="10,10" accel="shift+z"/>
      </window></root>)",
        100, 60);
  CFocusManager* focus = host_->FocusManagerOf();
  EXPECT_TRUE(focus->OfferAccelerator({'X', kAccelCtrl}));
  EXPECT_EQ(Commands(), 1);
  EXPECT_FALSE(focus->OfferAccelerator({'X', kAccelAlt})) << "other modifiers";

  Find(u"x")->EnableElement(false);
  EXPECT_FALSE(focus->OfferAccelerator({'X', kAccelCtrl}));
  EXPECT_EQ(Commands(), 1);

  Find(u"box")->ShowElement(false);
  EXPECT_FALSE(focus->OfferAccelerator({'Y', kAccelAlt})) << "hidden through its parent";
  EXPECT_TRUE(focus->OfferAccelerator({'Z', kAccelShift})) << "hidden, but not asked to ignore it";
  ASSERT_EQ(Commands(), 2);
  EXPECT_EQ(host_->events.back().sender_name, u"z");
  Find(u"box")->ShowElement(true);
  EXPECT_TRUE(focus->OfferAccelerator({'Y', kAccelAlt}));
  EXPECT_EQ(Commands(), 3);
}

TEST_F(ButtonTest, AcceleratorsAreReplacedAndForgottenWithTheButton) {
  Build(uR"(<root><button name="b" pos="0,0" size="10,10" accel="q"/></root>)", 100, 60);
  // Through the key routing: with nothing focused, a plain Q is offered as accelerator.
  host_->RouteHostMessage(WM_KEYDOWN, 'Q', 0);
  EXPECT_EQ(Commands(), 1);
  auto* b = Control<SButton>(u"b");
  b->ApplyAttribute(u"accel", u"ctrl+w", false);
  CFocusManager* focus = host_->FocusManagerOf();
  EXPECT_FALSE(focus->OfferAccelerator({'Q', 0}));
  EXPECT_TRUE(focus->OfferAccelerator({'W', kAccelCtrl}));
  b->ApplyAttribute(u"accel", u"nonsense", false);
  EXPECT_EQ(b->Accelerator(), 0u);
  EXPECT_FALSE(focus->OfferAccelerator({'W', kAccelCtrl}));
  b->ApplyAttribute(u"accel", u"ctrl+w", false);
  host_->DeleteChild(b);
  EXPECT_FALSE(focus->OfferAccelerator({'W', kAccelCtrl})) << "no target left behind";
}

TEST_F(ButtonTest, AnAmpersandMarkInTheTextRegistersAlt) {
  Build(uR"(<root><button name="o" pos="0,0" size="60,20">Open(&amp;O)</button>
                   <button name="p" pos="0,20" size="60,20" text="Plain"/></root>)",
        100, 60);
  EXPECT_EQ(Control<SButton>(u"o")->Accelerator(), (DWORD{kAccelAlt} << 16) | 'O');
  EXPECT_EQ(Control<SButton>(u"p")->Accelerator(), 0u);
  EXPECT_TRUE(host_->FocusManagerOf()->OfferAccelerator({'O', kAccelAlt}));
  EXPECT_EQ(Commands(), 1);
}

TEST_F(ButtonTest, PlainButtonDrawsTheSystemButtonSkinByState) {
  Build(uR"(<root><button name="b" pos="10,10" size="20,20"/></root>)", 100, 60);
  auto* b = Control<SButton>(u"b");
  ASSERT_NE(b->BackgroundSkin(), nullptr);
  EXPECT_EQ(b->BackgroundSkin()->SkinName(), u"_skin.sys.btn.normal");
  EXPECT_TRUE(b->IsFocusable());
  EXPECT_EQ(Pixel(20, 20), kPixRed);
  MoveTo(20, 20);
  EXPECT_EQ(Pixel(20, 20), kPixGreen);
}

TEST_F(ButtonTest, ImageButtonsDrawNoFocusFrameUnlessAsked) {
  Build(uR"(<root><imgbtn name="a" pos="0,0" size="20,20" skin="four"/>
                   <imgbtn name="b" pos="30,0" size="20,20" skin="four" drawFocusRect="1"/>
                   <button name="c" pos="60,0" size="20,20" skin="four"/></root>)",
        100, 60);
  EXPECT_FALSE(Find(u"a")->OwnFlags() & kOwnDrawFocusRect);
  EXPECT_TRUE(Find(u"b")->OwnFlags() & kOwnDrawFocusRect);
  EXPECT_TRUE(Find(u"c")->OwnFlags() & kOwnDrawFocusRect);
  host_->FocusElement(Find(u"a")->Handle());
  EXPECT_EQ(Pixel(2, 2), kPixRed) << "no dotted frame over the skin";
  host_->FocusElement(Find(u"b")->Handle());
  host_->Repaint();
  int framed = 0;
  for (int x = 32; x < 48; ++x) framed += host_->PixelAt(x, 2) != kPixRed;
  EXPECT_GT(framed, 0) << "the dotted focus frame lies 2 pixels inside";
  EXPECT_EQ(host_->PixelAt(40, 10), kPixRed);
}

TEST_F(ButtonTest, ImageButtonTakesItsSizeFromOneSkinCell) {
  Build(uR"(<root><imgbtn name="a" pos="5,5" skin="four"/>
                   <imgbtn name="b" pos="5,30" width="30" skin="four"/>
                   <imgbtn name="c" pos="50,5"/></root>)",
        100, 60);
  EXPECT_EQ(RectOf(u"a"), (RECT{5, 5, 15, 15}));
  EXPECT_EQ(RectOf(u"b"), (RECT{5, 30, 35, 40}));
  EXPECT_EQ(RectOf(u"c"), (RECT{50, 5, 50, 5})) << "the colour skin has no cell size";
}

TEST_F(ButtonTest, ClassesAnswerTheirTags) {
  Build(uR"(<root><imgbtn name="i" pos="0,0" size="5,5"/><button name="b" pos="0,0" size="5,5"/></root>)");
  SWindow* i = Find(u"i");
  EXPECT_TRUE(i->MatchesTag(u"imgbtn"));
  EXPECT_TRUE(i->MatchesTag(u"button"));
  EXPECT_TRUE(i->MatchesTag(u"window"));
  EXPECT_FALSE(Find(u"b")->MatchesTag(u"imgbtn"));
  EXPECT_NE(host_->FindChildByName2<SImageButton>(u"i"), nullptr);
}

}  // namespace
}  // namespace LOOM
