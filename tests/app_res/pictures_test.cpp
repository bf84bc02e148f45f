// The generated pictures: stored formats and sizes, and state cells a user can tell
// apart (hover lighter than normal, pushed different again, disabled greyed).
#include <cmath>
#include <cstring>
#include <string>

#include "package_fixture.h"
#include "platform/base/utf.h"

namespace krdn::app::test {
namespace {

struct PngHeader {
  int width = 0, height = 0, bit_depth = 0, colour_type = -1;
};

PngHeader ReadPngHeader(std::span<const unsigned char> bytes) {
  PngHeader h;
  if (bytes.size() < 33 || std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
    return h;
  auto be32 = [&](std::size_t at) { return static_cast<int>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]); };
  h.width = be32(16);
  h.height = be32(20);
  h.bit_depth = bytes[24];
  h.colour_type = bytes[25];
  return h;
}

// Width and height from a JPEG's start-of-frame marker; (0, 0) when there is none.
std::pair<int, int> JpegSize(std::span<const unsigned char> b) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return {0, 0};
  for (std::size_t i = 2; i + 9 < b.size();) {
    if (b[i] != 0xFF) return {0, 0};
    const unsigned marker = b[i + 1];
    const std::size_t length = static_cast<std::size_t>(b[i + 2] << 8 | b[i + 3]);
    if (marker == 0xC0 || marker == 0xC2) return {b[i + 7] << 8 | b[i + 8], b[i + 5] << 8 | b[i + 6]};
    i += 2 + length;
  }
  return {0, 0};
}

TEST(Pictures, SkinImagesAreStoredAtTheirSizesAndFormats) {
  struct Expect {
    const char16_t* name;
    int width, height;
  };
  const Expect pngs[] = {
      {u"IMAGE_ICON_PNG", 21, 21},                    {u"IMAGE_停止下载按钮-218X49_PNG", 654, 49},
      {u"IMAGE_关闭按钮-30X30_PNG", 90, 30},           {u"IMAGE_四格-浏览按钮-83X39_PNG", 332, 39},
      {u"IMAGE_四格_停止下载按钮-218X49_PNG", 872, 49}, {u"IMAGE_四格_开始安装按钮-218X49_PNG", 872, 49},
      {u"IMAGE_四格_退出工具按钮-218X49_PNG", 872, 49}, {u"IMAGE_安装信息背景-511X67_PNG", 511, 67},
      {u"IMAGE_开始安装按钮-218X49_PNG", 654, 49},      {u"IMAGE_弹窗一背景：大弹窗_PNG", 530, 203},
      {u"IMAGE_弹窗三背景：小弹窗_PNG", 380, 183},      {u"IMAGE_弹窗关闭按钮-87X39_PNG", 261, 39},
      {u"IMAGE_弹窗进入游戏按钮-87X39_PNG", 261, 39},   {u"IMAGE_弹窗重试按钮-87X39_PNG", 261, 39},
      {u"IMAGE_最小化按钮-30X30_PNG", 90, 30},          {u"IMAGE_浏览地址输入框背景-281X37_PNG", 281, 37},
      {u"IMAGE_浏览按钮-83X39_PNG", 249, 39},           {u"IMAGE_退出工具按钮-218X49_PNG", 654, 49},
  };
  for (const Expect& e : pngs) {
    PngHeader h = ReadPngHeader(platform::FindModuleResource(platform::CurrentModule(), u"IMAGE", e.name));
    EXPECT_EQ(h.width, e.width) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(h.height, e.height) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(h.bit_depth, 8) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(h.colour_type, 6) << platform::Utf16ToUtf8(e.name);  // RGBA
  }
  auto jpeg = platform::FindModuleResource(platform::CurrentModule(), u"IMAGE", u"IMAGE_背景-含标题背景-1030X541_JPG");
  EXPECT_EQ(JpegSize(jpeg), (std::pair<int, int>{1030, 541}));
}

TEST(Pictures, SystemImagesAreStoredAtTheirSizesAndFormats) {
  struct Expect {
    const char16_t* name;
    int width, height;
    bool rgb;
  };
  const Expect images[] = {
      {u"SYS_BORDER", 52, 26, true},         {u"SYS_BTN_CLOSE", 114, 25, false},      {u"SYS_BTN_MAXIMIZE", 108, 25, false},
      {u"SYS_BTN_MINIMIZE", 108, 25, false}, {u"SYS_BTN_NEXT", 48, 16, false},        {u"SYS_BTN_PREV", 48, 16, false},
      {u"SYS_BTN_RESTORE", 108, 25, false},  {u"SYS_CHECKBOX", 120, 15, false},       {u"SYS_DROPBTN", 48, 16, true},
      {u"SYS_FOCUS_CHECKBOX", 15, 15, false}, {u"SYS_FOCUS_RADIO", 15, 15, false},    {u"SYS_HEADER", 360, 35, false},
      {u"SYS_ICONS", 192, 16, false},        {u"SYS_MENU_ARROW", 32, 16, false},      {u"SYS_MENU_BORDER", 26, 26, true},
      {u"SYS_MENU_CHECK", 48, 16, false},    {u"SYS_MENU_SEP", 50, 2, false},         {u"SYS_MENU_SKIN", 200, 26, false},
      {u"SYS_PROG_BAR", 9, 8, false},        {u"SYS_PROG_BKGND", 12, 12, false},      {u"SYS_RADIO", 120, 15, false},
      {u"SYS_SCROLLBAR", 144, 48, false},    {u"SYS_SLIDER_THUMB", 80, 20, false},    {u"SYS_SPIN_DOWN", 15, 30, false},
      {u"SYS_SPIN_UP", 15, 30, false},       {u"SYS_SPLIT_HORZ", 85, 6, false},       {u"SYS_SPLIT_VERT", 6, 85, false},
      {u"SYS_TAB_PAGE", 282, 38, false},     {u"SYS_TREE_CHECKBOX", 153, 17, false},  {u"SYS_TREE_LINES", 162, 18, false},
      {u"SYS_TREE_TOGGLE", 102, 17, false},  {u"SYS_VERT_PROG_BAR", 8, 9, false},     {u"SYS_VERT_PROG_BKGND", 12, 12, false},
      {u"SYS_WND_BKGND", 13, 85, false},
  };
  for (const Expect& e : images) {
    PngHeader h = ReadPngHeader(platform::FindModuleResource(platform::CurrentModule(), u"PNG", e.name));
    EXPECT_EQ(h.width, e.width) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(h.height, e.height) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(h.bit_depth, 8) << platform::Utf16ToUtf8(e.name);
    EXPECT_EQ(h.colour_type, e.rgb ? 2 : 6) << platform::Utf16ToUtf8(e.name);
  }
}

// Average look of one state cell of a skin's picture: the share of pixels it paints at
// all, and the lightness and colourfulness of what it paints (weighted by opacity).
struct CellLook {
  double coverage = 0, lightness = 0, saturation = 0;
};

CellLook LookOfCell(LOOM::ISkinObj* skin, int cell) {
  auto* list = dynamic_cast<LOOM::SSkinImgList*>(skin);
  LOOM::IBitmap* image = list != nullptr ? list->Image() : nullptr;
  if (image == nullptr) return {};
  const SIZE size = skin->CellSize();
  const auto* pixels = static_cast<const std::uint32_t*>(image->Bits());
  CellLook look;
  double weight = 0;
  int painted = 0;
  for (int y = 0; y < size.cy; ++y) {
    for (int x = cell * size.cx; x < (cell + 1) * size.cx; ++x) {
      std::uint32_t p = pixels[static_cast<std::size_t>(y) * image->Width() + static_cast<std::size_t>(x)];
      double a = (p >> 24) / 255.0;
      if (a == 0) continue;
      if (a > 0.04) ++painted;
      double r = ((p >> 16) & 255) / 255.0 / a, g = ((p >> 8) & 255) / 255.0 / a, b = (p & 255) / 255.0 / a;
      double hi = std::max({r, g, b}), lo = std::min({r, g, b});
      look.lightness += a * (0.299 * r + 0.587 * g + 0.114 * b);
      look.saturation += a * (hi - lo);
      weight += a;
    }
  }
  look.coverage = static_cast<double>(painted) / (size.cx * size.cy);
  if (weight > 0) look.lightness /= weight, look.saturation /= weight;
  return look;
}

TEST_F(PackageTest, ButtonCellsShowHoverPushedAndDisabledPlainly) {
  const char16_t* four_cell[] = {u"image_四格_开始安装按钮-218x49_png", u"image_四格_停止下载按钮-218x49_png",
                                 u"image_四格_退出工具按钮-218x49_png", u"image_四格-浏览按钮-83x39_png"};
  const char16_t* three_cell[] = {u"image_弹窗重试按钮-87x39_png", u"image_弹窗关闭按钮-87x39_png",
                                  u"image_弹窗进入游戏按钮-87x39_png", u"image_停止下载按钮-218x49_png"};
  auto check = [&](const char16_t* name, int cells) {
    LOOM::ISkinObj* skin = Skin(name);
    ASSERT_NE(skin, nullptr);
    CellLook normal = LookOfCell(skin, 0), hover = LookOfCell(skin, 1), pushed = LookOfCell(skin, 2);
    const std::string n = platform::Utf16ToUtf8(name);
    EXPECT_GT(normal.coverage, 0.8) << n;
    EXPECT_GT(hover.lightness, normal.lightness + 0.04) << n;
    EXPECT_GT(std::abs(pushed.lightness - normal.lightness), 0.03) << n;
    if (cells == 4) {
      CellLook disabled = LookOfCell(skin, 3);
      EXPECT_GT(disabled.coverage, 0.8) << n;
      EXPECT_LT(disabled.saturation, 0.12) << n;
      EXPECT_GT(normal.saturation, disabled.saturation + 0.2) << n;
    }
  };
  for (const char16_t* name : four_cell) check(name, 4);
  for (const char16_t* name : three_cell) check(name, 3);
}

TEST_F(PackageTest, CaptionButtonsAreGlyphsThatGainAPlateOnHover) {
  for (const char16_t* name : {u"image_关闭按钮-30x30_png", u"image_最小化按钮-30x30_png"}) {
    LOOM::ISkinObj* skin = Skin(name);
    ASSERT_NE(skin, nullptr);
    CellLook normal = LookOfCell(skin, 0), hover = LookOfCell(skin, 1);
    EXPECT_LT(normal.coverage, 0.15) << platform::Utf16ToUtf8(name);  // a glyph on nothing
    EXPECT_GT(hover.coverage, 0.6) << platform::Utf16ToUtf8(name);
  }
}

}  // namespace
}  // namespace krdn::app::test
