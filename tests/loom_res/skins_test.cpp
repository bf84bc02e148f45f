// Skins from the skin tables: states, expand modes, scaled copies, system skins.
#include "app_fixture.h"
#include "core/skin_pool.h"
#include "core/ui_def.h"

namespace LOOM {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

class SkinsTest : public test::AppFixture {
 protected:
  ISkinObj* Skin(std::u16string_view name, int scale = 100) { return app_.SkinPools().GetSkin(name, scale); }
  SAutoRefPtr<IRenderTarget> Target(int w, int h) {
    IRenderTarget* rt = nullptr;
    factory_->NewTarget(&rt, w, h);
    return SAutoRefPtr<IRenderTarget>::Adopt(rt);
  }
  static bool AllPixels(IRenderTarget* rt, RECT rc, std::uint32_t value) {
    for (int y = rc.top; y < rc.bottom; ++y)
      for (int x = rc.left; x < rc.right; ++x)
        if (rt->PixelAt(x, y) != value) return false;
    return true;
  }
};

TEST_F(SkinsTest, SkinTableEntriesLoadEvenWithoutTheirPictures) {
  EXPECT_NE(Skin(u"image_关闭按钮-30x30_png"), nullptr);
  ISkinObj* missing = Skin(u"image_背景_jpg");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->CellSize(), (SIZE{0, 0}));
  ASSERT_NE(Skin(u"LOGO"), nullptr);
  EXPECT_EQ(Skin(u"nothing"), nullptr);
  auto rt = Target(4, 4);
  missing->DrawCell(rt.get(), {0, 0, 4, 4}, 0);
  EXPECT_TRUE(AllPixels(rt.get(), {0, 0, 4, 4}, 0));
  // The unknown tag and a bad filter level were reported or refused, not fatal.
  bool warned = false;
  for (const auto& line : sink_->lines) warned |= line == u"Warning: no object unknownskin of type:2 in LOOM!!";
  EXPECT_TRUE(warned);
  EXPECT_NE(Skin(u"framed"), nullptr);
}

TEST_F(SkinsTest, FrameStateOneDrawsTheMiddleCellStretched) {
  ISkinObj* close = Skin(u"image_关闭按钮-30x30_png");
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->StateCount(), 3);
  EXPECT_FALSE(close->IgnoresState());
  EXPECT_EQ(close->CellSize(), (SIZE{30, 30}));
  auto rt = Target(60, 60);
  close->DrawCell(rt.get(), {0, 0, 30, 30}, 1);
  EXPECT_TRUE(AllPixels(rt.get(), {0, 0, 30, 30}, kGreen));
  close->DrawCell(rt.get(), {0, 0, 60, 60}, 2);
  EXPECT_TRUE(AllPixels(rt.get(), {0, 0, 60, 60}, kBlue));
}

TEST_F(SkinsTest, ImageListWithoutAutoFitDrawsUnscaledFromTheTopLeft) {
  ISkinObj* skin = Skin(u"unfitted");
  ASSERT_NE(skin, nullptr);
  auto rt = Target(50, 50);
  skin->DrawCell(rt.get(), {5, 5, 50, 50}, 0);
  EXPECT_TRUE(AllPixels(rt.get(), {5, 5, 35, 35}, kRed));
  EXPECT_EQ(rt->PixelAt(35, 5), 0u);
  EXPECT_EQ(rt->PixelAt(4, 4), 0u);
}

TEST_F(SkinsTest, StateBeyondTheCellsDrawsNothing) {
  auto rt = Target(30, 30);
  for (const char16_t* name : {u"image_关闭按钮-30x30_png", u"unfitted"}) {
    Skin(name)->DrawCell(rt.get(), {0, 0, 30, 30}, 3);
    Skin(name)->DrawCell(rt.get(), {0, 0, 30, 30}, 1000000);
    Skin(name)->DrawCell(rt.get(), {0, 0, 30, 30}, -1);
  }
  EXPECT_TRUE(AllPixels(rt.get(), {0, 0, 30, 30}, 0));
}

TEST_F(SkinsTest, StateMapChoosesTheCell) {
  ISkinObj* skin = Skin(u"mapped");
  ASSERT_NE(skin, nullptr);
  EXPECT_EQ(skin->StateCount(), 3);
  auto rt = Target(30, 30);
  std::uint32_t expected[] = {kRed, kRed, kGreen, 0 /* index 3 unmapped: outside the strip */};
  for (int state = 0; state < 4; ++state) {
    rt->ReplaceRect({0, 0, 30, 30}, 0);
    skin->DrawCell(rt.get(), {0, 0, 30, 30}, state);
    EXPECT_EQ(rt->PixelAt(15, 15), expected[state]) << state;
  }
}

TEST_F(SkinsTest, GradientIgnoresStates) {
  ISkinObj* skin = Skin(u"progress_pos_skin");
  ASSERT_NE(skin, nullptr);
  EXPECT_TRUE(skin->IgnoresState());
  EXPECT_EQ(skin->CellSize(), (SIZE{0, 0}));
  auto rt = Target(10, 2);
  skin->DrawCell(rt.get(), {0, 0, 5, 2}, 0);
  skin->DrawCell(rt.get(), {5, 0, 10, 2}, 3);
  EXPECT_EQ(rt->PixelAt(0, 0), 0xFF4AFFF9u);
  EXPECT_EQ(rt->PixelAt(9, 1), 0xFF4AFFF9u);
}

TEST_F(SkinsTest, ScaledLookupMakesOneCopyPerSupportedScale) {
  ISkinObj* base = Skin(u"framed");
  ISkinObj* copy = Skin(u"framed", 130);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, base);
  EXPECT_EQ(copy->ScalePercent(), 125);
  EXPECT_EQ(copy->CellSize(), (SIZE{38, 38}));  // 30 * 1.25 rounded
  EXPECT_EQ(dynamic_cast<SSkinImgFrame*>(copy)->Margins(), (RECT{6, 5, 4, 3}));  // 5,4,3,2 * 1.25 rounded
  EXPECT_EQ(Skin(u"framed", 149), copy);
  EXPECT_EQ(Skin(u"framed", 125), copy);
  EXPECT_EQ(Skin(u"framed", 90), base);  // below 125 is 100
}

TEST_F(SkinsTest, ColourSkinsShareOneObjectAcrossScales) {
  ASSERT_EQ(app_.InstallSystemResources(provider_.get()), 0);
  ISkinObj* button = SystemSkinByIndex(4);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->SkinName(), u"_skin.sys.btn.normal");
  EXPECT_EQ(SystemSkinByIndex(4, 150), button);
  EXPECT_EQ(Skin(u"progress_pos_skin", 200), Skin(u"progress_pos_skin"));
  EXPECT_EQ(SystemSkinByIndex(35), nullptr);
  for (int i = 0; i < kSystemSkinCount; ++i) EXPECT_NE(SystemSkinByIndex(i), nullptr) << i;
}

TEST_F(SkinsTest, ColourButtonPaintsBorderAndGradient) {
  ASSERT_EQ(app_.InstallSystemResources(provider_.get()), 0);
  ISkinObj* button = SystemSkinByIndex(4);
  auto rt = Target(20, 20);
  button->DrawCell(rt.get(), {0, 0, 20, 20}, 0);
  EXPECT_EQ(rt->PixelAt(10, 0), 0xFF7D9EBCu);  // border at the top edge
  std::uint32_t top = rt->PixelAt(10, 2), bottom = rt->PixelAt(10, 17);
  EXPECT_GT((top >> 8) & 0xFF, (bottom >> 8) & 0xFF);  // #FEFEFE fading to #C6E2FD
  EXPECT_EQ(top >> 24, 0xFFu);
}

TEST_F(SkinsTest, MarkerBorderFrameReadsItsMargins) {
  // 12 x 12: top row marks pixels 4-6, left column marks rows 2-10.
  std::vector<std::uint32_t> px(144, 0xFF808080);
  for (int x = 0; x < 12; ++x) px[static_cast<std::size_t>(x)] = (x >= 4 && x <= 6) ? 0xFF000000 : 0;
  for (int y = 1; y < 12; ++y) px[static_cast<std::size_t>(y) * 12] = (y >= 2 && y <= 10) ? 0xFF000000 : 0;
  IBitmap* bmp = nullptr;
  factory_->NewBitmap(&bmp);
  SAutoRefPtr<IBitmap> picture = SAutoRefPtr<IBitmap>::Adopt(bmp);
  picture->InitBlank(12, 12, px.data());
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"imgframe2"));
  auto* frame = dynamic_cast<SSkinImgFrame2*>(obj.get());
  ASSERT_NE(frame, nullptr);
  ASSERT_EQ(frame->UseMarkedPicture(picture.get()), S_OK);
  EXPECT_EQ(frame->Margins(), (RECT{3, 1, 4, 0}));
  EXPECT_EQ(frame->Image()->Size(), (SIZE{10, 10}));
  picture->InitBlank(1, 5);
  EXPECT_EQ(frame->UseMarkedPicture(picture.get()), E_INVALIDARG);
  EXPECT_EQ(frame->ApplyAttribute(u"src", u"image:nothing", true), E_FAIL);
}

TEST_F(SkinsTest, AttributeValuesThatDoNotParseAreRefused) {
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"imgframe"));
  EXPECT_EQ(obj->ApplyAttribute(u"filterLevel", u"High", true), E_FAIL);
  EXPECT_EQ(obj->ApplyAttribute(u"FILTERLEVEL", u"high", true), S_OK);
  EXPECT_EQ(obj->ApplyAttribute(u"margin2", u"1,2,3", true), E_INVALIDARG);
  EXPECT_EQ(obj->ApplyAttribute(u"margin2", u"1,2dp,@dim/gap,4", true), S_OK);
  EXPECT_EQ(dynamic_cast<SSkinImgFrame*>(obj.get())->Margins(), (RECT{1, 2, 12, 4}));
  EXPECT_EQ(obj->ApplyAttribute(u"nonsense", u"1", true), E_FAIL);
  SAutoRefPtr<IObject> grad = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"gradation"));
  EXPECT_EQ(grad->ApplyAttribute(u"colorFrom", u"", true), E_FAIL);
  SAutoRefPtr<IObject> shape = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"shape"));
  EXPECT_EQ(shape->ApplyAttribute(u"shape", u"triangle", true), E_FAIL);
}

TEST_F(SkinsTest, ColorizeRecoloursAndRestores) {
  ISkinObj* skin = Skin(u"unfitted");
  auto rt = Target(30, 30);
  skin->Colorize(RGBA(0, 0, 255, 255));
  skin->DrawCell(rt.get(), {0, 0, 30, 30}, 0);
  std::uint32_t tinted = rt->PixelAt(1, 1);
  EXPECT_GT(tinted & 0xFF, (tinted >> 16) & 0xFF);  // red became blue-ish
  skin->Colorize(0);
  skin->DrawCell(rt.get(), {0, 0, 30, 30}, 0);
  EXPECT_EQ(rt->PixelAt(1, 1), kRed);
}

TEST_F(SkinsTest, ImageCentreDrawsItsCellInTheMiddle) {
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"imgCenter"));
  auto* skin = dynamic_cast<ISkinObj*>(obj.get());
  ASSERT_NE(skin, nullptr);
  skin->ApplyAttribute(u"src", u"image:image_关闭按钮-30x30_png", true);
  skin->ApplyAttribute(u"states", u"3", true);
  auto rt = Target(50, 40);
  skin->DrawCell(rt.get(), {0, 0, 50, 40}, 2);
  EXPECT_EQ(rt->PixelAt(9, 4), 0u);
  EXPECT_EQ(rt->PixelAt(10, 5), kBlue);   // (50 - 30) / 2, (40 - 30) / 2
  EXPECT_EQ(rt->PixelAt(39, 34), kBlue);
  EXPECT_EQ(rt->PixelAt(40, 35), 0u);
}

TEST_F(SkinsTest, ScrollbarPartsComeFromTheirGridCells) {
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"scrollbar"));
  auto* bar = dynamic_cast<SSkinScrollbar*>(obj.get());
  ASSERT_NE(bar, nullptr);
  // A 144 x 80 picture: cells of 16 pixels.
  IBitmap* bmp = nullptr;
  factory_->NewBitmap(&bmp);
  bmp->InitBlank(144, 80);
  bar->AttachImage(bmp);
  bmp->Release();
  EXPECT_EQ(bar->PartRect(0, 0, true), (RECT{0, 0, 16, 16}));        // vertical line-up, normal
  EXPECT_EQ(bar->PartRect(5, 2, true), (RECT{32, 32, 48, 48}));      // vertical thumb, pushed
  EXPECT_EQ(bar->PartRect(3, 1, false), (RECT{112, 16, 128, 32}));   // horizontal page-down: rail
  EXPECT_EQ(bar->PartRect(10, 0, true), (RECT{128, 0, 144, 16}));    // corner
  EXPECT_EQ(bar->PartRect(11, 0, false), (RECT{128, 32, 144, 48}));  // horizontal gripper
  EXPECT_EQ(bar->PartRect(1, 4, true), (RECT{16, 0, 32, 16}));       // inactive without the row
  bar->ApplyAttribute(u"hasInactive", u"1", true);
  EXPECT_EQ(bar->PartRect(1, 4, true), (RECT{16, 64, 32, 80}));
}

TEST_F(SkinsTest, GroupSkinDrawsTheMemberOfTheState) {
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewSkinByTag(u"group"));
  auto* group = dynamic_cast<ISkinObj*>(obj.get());
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->ApplyAttribute(u"normal", u"unfitted", true), S_OK);
  EXPECT_EQ(group->ApplyAttribute(u"hover", u"progress_pos_skin", true), S_OK);
  EXPECT_EQ(group->ApplyAttribute(u"pushDown", u"no such skin", true), E_FAIL);
  EXPECT_EQ(group->CellSize(), (SIZE{30, 30}));
  auto rt = Target(30, 30);
  group->DrawCell(rt.get(), {0, 0, 30, 30}, 1);
  EXPECT_EQ(rt->PixelAt(5, 5), 0xFF4AFFF9u);
  group->DrawCell(rt.get(), {0, 0, 30, 30}, 2);  // no pushed member: the normal one
  EXPECT_EQ(rt->PixelAt(5, 5), kRed);
}

}  // namespace
}  // namespace LOOM
