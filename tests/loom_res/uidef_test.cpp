// UI definitions: named values, the value syntaxes, styles, templates, defaults, fonts.
#include "app_fixture.h"
#include "core/font_pool.h"
#include "core/generic_object.h"
#include "core/ui_def.h"
#include "core/values.h"

namespace LOOM {
namespace {

using UiDefTest = test::AppFixture;

TEST(ColorSyntax, HexPairsAndFunctions) {
  COLORREF c = 0;
  ASSERT_TRUE(ParseColor(u"#007ACC", c));
  EXPECT_EQ(c, 0xFFCC7A00u);
  ASSERT_TRUE(ParseColor(u"#8E808080", c));
  EXPECT_EQ(c, 0x8080808Eu);
  ASSERT_TRUE(ParseColor(u"rgb(50,126,173)", c));
  EXPECT_EQ(c, 0xFFAD7E32u);
  ASSERT_TRUE(ParseColor(u"RGBA(1,2,3,4)", c));
  EXPECT_EQ(c, 0x04030201u);
  ASSERT_TRUE(ParseColor(u"rgb(256,-1,3)", c));  // low 8 bits of each number
  EXPECT_EQ(c, 0xFF03FF00u);
  c = 42;
  EXPECT_FALSE(ParseColor(u"#fff", c));
  EXPECT_FALSE(ParseColor(u"rgb(1,2)", c));
  EXPECT_FALSE(ParseColor(u"rgba(1,2,3)", c));
  EXPECT_FALSE(ParseColor(u"white", c));
  EXPECT_FALSE(ParseColor(u"", c));
  EXPECT_EQ(c, 42u);
}

TEST(DimensionSyntax, UnitsAndConversion) {
  SLayoutSize d;
  ASSERT_TRUE(ParseDimension(u"12dip", d));
  EXPECT_EQ(d, (SLayoutSize{12, SizeUnit::dip}));
  ParseDimension(u"30DP", d);
  EXPECT_EQ(d, (SLayoutSize{30, SizeUnit::dp}));
  ParseDimension(u"18", d);
  EXPECT_EQ(d.unit, SLayoutSize::DefaultUnit());
  EXPECT_FALSE(ParseDimension(u"", d));
  EXPECT_EQ(d.value, 18);
  EXPECT_EQ(DimensionToPixels({12, SizeUnit::px}, 150), 12);
  EXPECT_EQ(DimensionToPixels({12.7f, SizeUnit::px}, 100), 12);
  EXPECT_EQ(DimensionToPixels({12, SizeUnit::dp}, 150), 18);
  EXPECT_EQ(DimensionToPixels({-1, SizeUnit::dp}, 150), -1);
  EXPECT_EQ(DimensionToPixels({-2, SizeUnit::sp}, 200), -2);
  // Numbers beyond any pixel count are held at a bound instead of overflowing.
  ParseDimension(u"2E080px", d);
  EXPECT_EQ(DimensionToPixels(d, 100), 1000000000);
  ParseDimension(u"-9e30dp", d);
  EXPECT_EQ(DimensionToPixels(d, 300), -1000000000);
}

TEST_F(UiDefTest, NamedValuesResolveThroughTheCurrentDefinitions) {
  SUiDef& ui = app_.UiDef();
  ASSERT_NE(ui.Current(), nullptr);
  EXPECT_EQ(ui.ResolveColor(u"@color/disable"), 0xFFA0A0A0u);
  EXPECT_EQ(ui.ResolveColor(u"@color/red"), 0xFF0000FFu);
  EXPECT_EQ(ui.ResolveColor(u"@color/broken"), 0x00FFFFFFu);  // dropped: it did not parse
  EXPECT_EQ(ui.ResolveColor(u"@Color/disable"), 0x00FFFFFFu);  // the prefix is case-sensitive
  EXPECT_EQ(ui.ResolveColor(u"#fff"), 0x00FFFFFFu);
  EXPECT_EQ(ui.ResolveString(u"@string/title"), u"标题");
  EXPECT_EQ(ui.ResolveString(u"@string/none"), u"");
  EXPECT_EQ(ui.ResolveString(u"plain"), u"plain");
  EXPECT_EQ(ui.ResolveDimension(u"@dim/gap"), (SLayoutSize{12, SizeUnit::dp}));
  EXPECT_EQ(ui.ResolveDimension(u"@dim/none"), SLayoutSize{});
  EXPECT_EQ(SLayoutSize::DefaultUnit(), SizeUnit::px);  // no "unit" element
}

TEST_F(UiDefTest, DefaultFontComesFromTheFontElement) {
  const SFontDesc& def = app_.UiDef().DefaultFont();
  EXPECT_EQ(def.face, u"微软雅黑");  // installed through the project's aliases
  EXPECT_EQ(FontStyle::Size(def.style), 12u);
  EXPECT_EQ(def.style & 0xFF, 1u);
  EXPECT_EQ(def.name, u"default");
}

TEST_F(UiDefTest, FontDescriptions) {
  SFontDesc def;
  def.face = u"微软雅黑";
  def.style = FontStyle::WithSize(1, 12);
  SFontKey k = ParseFontDescription(u"face:宋体,size:16", 100, def);
  EXPECT_EQ(k.face, u"宋体");
  EXPECT_EQ(FontStyle::Size(k.style), 16u);
  k = ParseFontDescription(u"size:13,underline:1", 100, def);
  EXPECT_EQ(k.face, u"微软雅黑");
  EXPECT_TRUE(k.style & FontStyle::kUnderline);
  k = ParseFontDescription(u"size:20,size:30,bold:false", 100, def);
  EXPECT_EQ(FontStyle::Size(k.style), 20u);  // the first occurrence wins
  EXPECT_TRUE(k.style & FontStyle::kBold);   // only "0" clears
  k = ParseFontDescription(u"bold:0,adding:2,weight:700,garbage,a:b:c", 150, def);
  EXPECT_FALSE(k.style & FontStyle::kBold);
  EXPECT_EQ(FontStyle::Size(k.style), 2u + 18u);
  EXPECT_EQ(FontStyle::Weight(k.style), 700u);
  k = ParseFontDescription(u"size:10dp,adding:5", 200, def);
  EXPECT_EQ(FontStyle::Size(k.style), 20u);  // adding counts only without a size
  k = ParseFontDescription(u"glow:Soft", 100, def);
  EXPECT_EQ(k.extra, u"<font glow=\"soft\"/>");
  SLogFont lf = LogFontForKey(ParseFontDescription(u"bold:1,size:14", 100, def));
  EXPECT_EQ(lf.height, -14);
  EXPECT_EQ(lf.weight, 700);
}

TEST_F(UiDefTest, FontPoolMakesOneFontPerDescription) {
  SFontPool& pool = app_.FontPool();
  IFont* a = pool.FontForDescription(u"face:微软雅黑,size:16");
  IFont* b = pool.FontForDescription(u"size:16,face:微软雅黑");
  IFont* c = pool.FontForDescription(u"size:17");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a->Height(), -16);
  EXPECT_EQ(a->FaceName(), u"微软雅黑");
  EXPECT_EQ(pool.Size(), 2u);
}

TEST_F(UiDefTest, StyleClassesTemplatesAndDefaults) {
  SXmlNode title = app_.StylePools().FindStyleClass(u"cls_title");
  ASSERT_TRUE(title);
  EXPECT_EQ(title.Attribute(u"font").Value(), u"face:微软雅黑,size:16");  // the first entry wins
  EXPECT_FALSE(title.Attribute(u"name"));
  EXPECT_FALSE(app_.StylePools().FindStyleClass(u""));
  EXPECT_FALSE(app_.StylePools().FindStyleClass(u"CLS_TITLE"));
  std::u16string row = app_.TemplatePools().FindTemplateText(u"row");
  EXPECT_NE(row.find(u"{{name}}"), std::u16string::npos);
  EXPECT_EQ(app_.TemplatePools().FindTemplateText(u"none"), u"");

  SXmlNode edit = app_.UiDef().ClassDefaults(u"edit");
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit.Attribute(u"margin").Value(), u"1");    // its own value wins
  EXPECT_EQ(edit.Attribute(u"alpha").Value(), u"200");   // inherited from "window"
  EXPECT_EQ(app_.UiDef().ClassDefaults(u"imgbtn").Attribute(u"margin").Value(), u"7");  // window's
  EXPECT_FALSE(app_.UiDef().ClassDefaults(u"nosuch"));
}

class RecordingEdit final : public TObjRefImpl<SObjectImpl<IObject>> {
  LOOM_CLASS_TAG(RecordingEdit, SObjectImpl<IObject>, u"edit", u"richedit", ObjectKind::Window)
 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool) override {
    applied.emplace_back(std::u16string(name) + u"=" + std::u16string(value));
    return S_OK;
  }
  std::vector<std::u16string> applied;
};

TEST_F(UiDefTest, NewElementsReceiveTheirClassDefaults) {
  app_.AddFactory(TplSObjectFactory<RecordingEdit>(), true);
  SAutoRefPtr<IObject> obj = SAutoRefPtr<IObject>::Adopt(app_.NewElementByTag(u"edit"));
  auto* edit = dynamic_cast<RecordingEdit*>(obj.get());
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->applied, (std::vector<std::u16string>{u"inset=4,0,2,0", u"margin=1", u"cueColor=@color/disable",
                                                         u"alpha=200"}));
}

class BrokenUiDefTest : public test::AppFixture {
 protected:
  BrokenUiDefTest() : AppFixture(false) {}
};

TEST_F(BrokenUiDefTest, DefinitionsThatDoNotLoadLeaveNothingCurrent) {
  SResProviderMgr& mgr = app_.ResProviders();
  mgr.AttachProvider(provider_.get(), u"layout:xml_mainwnd");  // parses, but no "uidef" root
  EXPECT_EQ(app_.UiDef().Current(), nullptr);
  mgr.AttachProvider(provider_.get(), u"uidef:missing");
  mgr.AttachProvider(provider_.get(), u"image:image_icon_png");  // not XML
  mgr.AttachProvider(provider_.get(), u"nocolon");
  EXPECT_EQ(app_.UiDef().Current(), nullptr);
  EXPECT_EQ(sink_->line_numbers, (std::vector<int>{110, 91, 104, 85, 91}));
  EXPECT_EQ(sink_->lines[0], u"warning!!! \"uidef\" element is not the root element of uidef xml");
  EXPECT_EQ(app_.UiDef().ResolveColor(u"@color/disable"), 0x00FFFFFFu);
}

}  // namespace
}  // namespace LOOM
