#include "platform/base/icon.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Icon, KeepsACopyOfItsPixelsUntilDestroyed) {
  std::vector<std::uint32_t> pixels(4 * 3, 0x80402010u);
  HICON icon = platform::CreateIconFromPixels(4, 3, pixels, true, POINT{1, 2});
  ASSERT_NE(icon, nullptr);
  pixels.assign(pixels.size(), 0);  // the icon must not see the caller's buffer change
  const platform::IconImage* image = platform::GetIconImage(icon);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 4);
  EXPECT_EQ(image->height, 3);
  EXPECT_EQ(image->hot_spot, (POINT{1, 2}));
  ASSERT_EQ(image->pixels.size(), 12u);
  EXPECT_EQ(image->pixels[11], 0x80402010u);
  EXPECT_TRUE(platform::DestroyIcon(icon));
}

TEST(Icon, RefusesBadSizes) {
  std::vector<std::uint32_t> pixels(16);
  EXPECT_EQ(platform::CreateIconFromPixels(0, 16, pixels), nullptr);
  EXPECT_EQ(platform::CreateIconFromPixels(4, 3, pixels), nullptr);  // span of the wrong length
  EXPECT_EQ(platform::CreateIconFromPixels(2000, 2000, std::vector<std::uint32_t>(4000000)), nullptr);
}

TEST(Icon, SystemCursorsAreSharedAndNeverDestroyed) {
  HCURSOR arrow = platform::LoadSystemCursor(IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(arrow, platform::LoadSystemCursor(IDC_ARROW));
  EXPECT_NE(arrow, platform::LoadSystemCursor(IDC_HAND));
  EXPECT_EQ(platform::GetIconImage(arrow)->system_cursor_id, IDC_ARROW);
  EXPECT_FALSE(platform::DestroyIcon(arrow));
  EXPECT_EQ(platform::LoadSystemCursor(12345), nullptr);
  EXPECT_FALSE(platform::DestroyIcon(nullptr));
}

TEST(Icon, OtherSizesGoAlongWithTheIconAndOnlyWithIcons) {
  HICON icon = platform::CreateIconFromPixels(2, 2, std::vector<std::uint32_t>(4, 0xFF0000FFu));
  ASSERT_NE(icon, nullptr);
  EXPECT_TRUE(platform::AddIconSize(icon, 4, 4, std::vector<std::uint32_t>(16, 0xFF00FF00u)));
  EXPECT_FALSE(platform::AddIconSize(icon, 4, 4, std::vector<std::uint32_t>(15)));  // wrong length
  const auto sizes = platform::IconSizes(icon);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[0], platform::GetIconImage(icon)) << "the icon's own image first";
  EXPECT_EQ(sizes[1]->width, 4);
  EXPECT_EQ(sizes[1]->pixels[15], 0xFF00FF00u);
  EXPECT_TRUE(platform::DestroyIcon(icon));  // the added sizes go with it (the sanitizer run checks)

  HCURSOR cursor = platform::CreateIconFromPixels(2, 2, std::vector<std::uint32_t>(4), true, POINT{0, 0});
  EXPECT_FALSE(platform::AddIconSize(cursor, 2, 2, std::vector<std::uint32_t>(4)));
  EXPECT_FALSE(platform::AddIconSize(platform::LoadSystemCursor(IDC_ARROW), 2, 2, std::vector<std::uint32_t>(4)));
  EXPECT_TRUE(platform::IconSizes(nullptr).empty());
  platform::DestroyIcon(cursor);
}

}  // namespace
