// The package's content: what is embedded under which type, name and language, the
// layouts and their named elements, the value tables, the icon.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/ui_def.h"
#include "core/values.h"
#include "core/xml.h"
#include "package_fixture.h"
#include "package_inventory.h"
#include "platform/base/icon.h"
#include "platform/base/utf.h"

namespace krdn::app::test {
namespace {

std::span<const unsigned char> Resource(std::u16string_view type, std::u16string_view name) {
  return platform::FindModuleResource(platform::CurrentModule(), type, name);
}

TEST(PackageInventory, EveryResourceIsChineseExceptTheManifest) {
  int counts[5] = {};  // layouts, images, PNGs, XML, icons
  for (const Entry& r : Inventory()) {
    const std::u16string& type = r.type;
    // On Windows the compiler adds the images of the group icons as RT_ICON (3).
    if (type == u"#3") continue;
    EXPECT_EQ(r.language, type == u"#24" ? 1033 : 2052) << platform::Utf16ToUtf8(type + u" " + r.name);
    if (type == u"LAYOUT") ++counts[0];
    if (type == u"IMAGE") ++counts[1];
    if (type == u"PNG") ++counts[2];
    if (type == u"XML") ++counts[3];
    if (type == u"#14") ++counts[4];
  }
  EXPECT_EQ(counts[0], 4 + 1);   // the four windows, and the folder dialog
  EXPECT_EQ(counts[1], 19 + 2);  // and the folder dialog's two buttons
  EXPECT_EQ(counts[2], 34);
  EXPECT_EQ(counts[3], 3);
  EXPECT_EQ(counts[4], 2);  // ICON_LOGO and its copy under 118
}

TEST(PackageInventory, DocumentsStartAsTheirReadersExpect) {
  auto starts_with = [](std::span<const unsigned char> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
  };
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_TRUE(starts_with(Resource(u"UIDEF", u"XML_INIT"), bom + "<?xml"));
  EXPECT_TRUE(starts_with(Resource(u"XML", u"SYS_XML_MSGBOX"), bom + "<LOOM"));
  EXPECT_TRUE(starts_with(Resource(u"XML", u"SYS_XML_SKIN"), "<skin"));
  EXPECT_TRUE(starts_with(Resource(u"XML", u"SYS_XML_EDITMENU"), "<editmenu"));
  for (const char16_t* layout : {u"XML_MAINWND", u"XML_MSGBOX_WND", u"XML_MSGBOX1_WND", u"XML_MSGBOX2_WND"})
    EXPECT_TRUE(starts_with(Resource(u"layout", layout), "<?xml")) << platform::Utf16ToUtf8(layout);
  for (const char16_t* table : {u"STRING", u"COLOR", u"SKIN"}) EXPECT_TRUE(starts_with(Resource(u"VALUES", table), "<?xml"));
  std::string manifest(reinterpret_cast<const char*>(Resource(u"#24", u"#1").data()), Resource(u"#24", u"#1").size());
  EXPECT_NE(manifest.find("level=\"highestAvailable\" uiAccess=\"false\""), std::string::npos);
}

// The element names in document order across the layouts, main window first: their
// first occurrences are what the named-id table numbers from 65536.
TEST_F(PackageTest, NamedIdsNumberTheLayoutsNamesInOrderOfFirstOccurrence) {
  std::vector<std::u16string> order;
  for (const char16_t* layout : {u"XML_MAINWND", u"XML_MSGBOX_WND", u"XML_MSGBOX1_WND", u"XML_MSGBOX2_WND"}) {
    LOOM::SXmlDoc doc;
    ASSERT_TRUE(app_.LoadMarkupDocument(doc, layout, u"LAYOUT"));
    std::function<void(const LOOM::SXmlNode&)> walk = [&](const LOOM::SXmlNode& node) {
      std::u16string name(node.Attribute(u"name").Value());
      if (!name.empty() && node.Name() != u"LOOM" && std::find(order.begin(), order.end(), name) == order.end())
        order.push_back(name);
      for (LOOM::SXmlNode child = node.FirstChild(); child; child = child.NextSibling()) walk(child);
    };
    walk(doc.Root().Child(u"LOOM"));
  }
  ASSERT_EQ(order.size(), kNamedIdCount - 1);
  for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(app_.IdForName(order[i]), 65536 + static_cast<int>(i));
  EXPECT_EQ(app_.IdForName(u"_name_start"), 65535);
  EXPECT_EQ(app_.IdForName(u"btn_Stop"), 0);
  const auto& table = NamedIdTable();
  EXPECT_TRUE(std::is_sorted(table.begin(), table.end(), [](const auto& a, const auto& b) {
    return std::u16string_view(a.name) < std::u16string_view(b.name);
  }));
}

TEST_F(PackageTest, TheUiDefinitionsCarryTheDefaultFontColoursAndEditDefaults) {
  EXPECT_EQ(system_failures_, 0);
  LOOM::SUiDefInfo* info = app_.UiDef().Current();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->DefaultFont().face, u"微软雅黑");
  const COLORREF* disable = info->NamedColors().Find(u"disable");
  ASSERT_NE(disable, nullptr);
  EXPECT_EQ(*disable, 0xFFA0A0A0u);
  const COLORREF* loadbg = info->NamedColors().Find(u"loadbg");
  ASSERT_NE(loadbg, nullptr);
  EXPECT_EQ(*loadbg, 0x8080808Eu);  // "#8E808080": red 8E, green 80, blue 80, alpha 80
}

// Every skin of the program's table, with the cell size its picture gives and its
// state count; the two whose pictures are not in the package enter the table empty.
TEST_F(PackageTest, EverySkinHasItsPictureCellsAndStates) {
  struct Expect {
    const char16_t* name;
    int width, height, states;
  };
  const Expect skins[] = {
      {u"image_背景_jpg", 0, 0, 1},
      {u"image_浏览地址输入框背景-281x37_png", 281, 37, 1},
      {u"image_安装信息背景-511x67_png", 511, 67, 1},
      {u"image_背景-含标题背景-1030x541_jpg", 1030, 541, 1},
      {u"image_开始安装按钮-218x49_png", 163, 49, 4},  // three 218-pixel states read as four
      {u"image_停止下载按钮-218x49_png", 218, 49, 3},
      {u"image_退出工具按钮-218x49_png", 218, 49, 3},
      {u"image_最小化按钮-30x30_png", 30, 30, 3},
      {u"image_关闭按钮-30x30_png", 30, 30, 3},
      {u"image_浏览按钮-83x39_png", 83, 39, 3},
      {u"image_icon_png", 21, 21, 1},
      {u"image_四格-浏览按钮-83x39_png", 83, 39, 4},
      {u"image_四格_开始安装按钮-218x49_png", 218, 49, 4},
      {u"image_四格_停止下载按钮-218x49_png", 218, 49, 4},
      {u"image_四格_退出工具按钮-218x49_png", 218, 49, 4},
      {u"image_弹窗一背景：大弹窗_png", 530, 203, 1},
      {u"image_弹窗重试按钮-87x39_png", 87, 39, 3},
      {u"image_弹窗关闭按钮-87x39_png", 87, 39, 3},
      {u"image_弹窗三背景：小弹窗_png", 380, 183, 1},
      {u"image_弹窗进入游戏按钮-87x39_png", 87, 39, 3},
      {u"LOGO", 0, 0, 1},
  };
  for (const Expect& e : skins) {
    LOOM::ISkinObj* skin = Skin(e.name);
    ASSERT_NE(skin, nullptr) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(skin->CellSize(), (SIZE{e.width, e.height})) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(skin->StateCount(), e.states) << platform::Utf16ToUtf8(e.name);
  }
  EXPECT_NE(Skin(u"progress_pos_skin"), nullptr);
  EXPECT_NE(Skin(u"progress_bkgnd_skin"), nullptr);
}

TEST_F(PackageTest, EverySystemSkinHasItsPicture) {
  for (int i = 0;; ++i) {
    LOOM::ISkinObj* skin = LOOM::SystemSkinByIndex(i);
    if (i >= 35) {
      EXPECT_EQ(skin, nullptr);
      break;
    }
    ASSERT_NE(skin, nullptr) << i;
    if (skin->SkinName() == u"_skin.sys.btn.normal") continue;  // a colour skin, no picture
    SIZE cell = skin->CellSize();
    EXPECT_GT(cell.cx, 0) << platform::Utf16ToUtf8(skin->SkinName());
    EXPECT_GT(cell.cy, 0) << platform::Utf16ToUtf8(skin->SkinName());
  }
  // The icon strip of the edit menu: twelve 16-pixel icons.
  EXPECT_EQ(app_.SkinPools().GetSkin(u"_skin.sys.icons", 100)->CellSize(), (SIZE{16, 16}));
}

TEST_F(PackageTest, TheProgramIconHasItsTwelveImagesUnderBothNames) {
  auto logo = Resource(u"#14", u"ICON_LOGO");
  auto copy = Resource(u"#14", u"#118");
  ASSERT_GT(logo.size(), 6u);
  ASSERT_EQ(logo.size(), copy.size());
  EXPECT_EQ(std::memcmp(logo.data(), copy.data(), logo.size()), 0);
  auto u16 = [&](std::size_t at) { return static_cast<int>(logo[at] | logo[at + 1] << 8); };
  ASSERT_EQ(u16(4), 12);
  std::vector<std::pair<int, int>> entries;  // (size, bits)
  for (int i = 0; i < 12; ++i) {
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
    entries.emplace_back(logo[e] == 0 ? 256 : logo[e], u16(e + 6));
    const std::size_t offset = logo[e + 12] | logo[e + 13] << 8 | logo[e + 14] << 16 | static_cast<std::size_t>(logo[e + 15]) << 24;
    const bool png = logo.size() > offset + 4 && std::memcmp(logo.data() + offset, "\x89PNG", 4) == 0;
    EXPECT_EQ(png, entries.back().first == 256) << i;
  }
  std::sort(entries.begin(), entries.end());
  const std::vector<std::pair<int, int>> expected = {{16, 4}, {16, 8}, {16, 32}, {32, 4}, {32, 8},
                                                     {32, 32}, {48, 4}, {48, 8}, {48, 32}, {64, 32},
                                                     {128, 32}, {256, 32}};
  EXPECT_EQ(entries, expected);
  // The references the windows use load at their sizes, and carry the file's other
  // sizes for the desktop.
  for (int size : {16, 32}) {
    HICON icon = app_.ResProviders().OpenIconByRef(size == 16 ? u"ICON_LOGO:16" : u"ICON_LOGO:32");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(platform::GetIconImage(icon)->width, size);
    std::vector<int> sides;
    for (const platform::IconImage* image : platform::IconSizes(icon)) {
      EXPECT_EQ(image->width, image->height);
      EXPECT_EQ(image->pixels.size(), static_cast<std::size_t>(image->width) * image->height);
      sides.push_back(image->width);
    }
    std::sort(sides.begin(), sides.end());
    EXPECT_EQ(sides, (std::vector<int>{16, 32, 48, 64, 128, 256}));
    platform::DestroyIcon(icon);
  }
}

TEST_F(PackageTest, ImageReferencesIgnoreCase) {
  EXPECT_FALSE(Resource(u"image", u"image_icon_png").empty());
  EXPECT_FALSE(Resource(u"LAYOUT", u"xml_mainwnd").empty());
}

}  // namespace
}  // namespace krdn::app::test
