// The icon of a Windows launcher: the largest image of its first icon group, as a PNG,
// from PNG and bitmap images; nothing (and no crash) from damaged executables.
#include "platform/io/linux/pe_icon.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/platform/io/pe_builder.h"

namespace {

using platform::detail::EncodePng;
using platform::detail::ExecutableIconPng;

struct Decoded {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
};

std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Reads back the PNGs EncodePng writes (one IDAT, no filters).
Decoded DecodeOwnPng(const std::vector<std::uint8_t>& png) {
  Decoded d;
  d.width = static_cast<int>(Be32(png, 16));
  d.height = static_cast<int>(Be32(png, 20));
  const std::size_t idat = 33;
  EXPECT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
  const std::uint32_t length = Be32(png, idat);
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(d.height) * (d.width * 4 + 1));
  uLongf raw_size = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &raw_size, png.data() + idat + 8, length), Z_OK);
  for (int y = 0; y < d.height; ++y) {
    const auto* row = raw.data() + y * (d.width * 4 + 1);
    EXPECT_EQ(row[0], 0);
    d.rgba.insert(d.rgba.end(), row + 1, row + 1 + d.width * 4);
  }
  return d;
}

std::uint32_t RgbaAt(const Decoded& d, int x, int y) {
  const auto* p = &d.rgba[(static_cast<std::size_t>(y) * d.width + x) * 4];
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

TEST(ExecutableIcon, TheLargestBitmapBecomesAPngWithItsAlpha) {
  auto png = ExecutableIconPng(pe_test::Executable({{16, 32, pe_test::Bitmap32(16, 0xFF0000FFu)},
                                                   {48, 32, pe_test::Bitmap32(48, 0x8000FF00u)},
                                                   {32, 32, pe_test::Bitmap32(32, 0xFFFFFFFFu)}}));
  ASSERT_TRUE(png);
  Decoded d = DecodeOwnPng(*png);
  EXPECT_EQ(d.width, 48);
  EXPECT_EQ(d.height, 48);
  EXPECT_EQ(RgbaAt(d, 0, 0), 0x00FF0080u) << "green at half opacity";
  EXPECT_EQ(RgbaAt(d, 47, 47), 0x00FF0080u);
}

TEST(ExecutableIcon, APaletteBitmapUsesItsMaskForTransparency) {
  auto png = ExecutableIconPng(pe_test::Executable({{32, 4, pe_test::Bitmap4(32, 0x00FF0000u, 0x000000FFu)}}));
  ASSERT_TRUE(png);
  Decoded d = DecodeOwnPng(*png);
  ASSERT_EQ(d.width, 32);
  EXPECT_EQ(RgbaAt(d, 0, 5), 0xFF0000FFu) << "colour 0, red, opaque";
  EXPECT_EQ(RgbaAt(d, 31, 5), 0x0000FFFFu) << "colour 1, blue";
  EXPECT_EQ(RgbaAt(d, 3, 0) & 0xFF, 0u) << "the masked top row is transparent";
}

TEST(ExecutableIcon, APngImageIsTakenAsItIsAndBeatsSmallerBitmaps) {
  const std::vector<std::uint8_t> rgba(256 * 256 * 4, 0x7F);
  const std::vector<std::uint8_t> stored = EncodePng(256, 256, rgba);
  auto png = ExecutableIconPng(pe_test::Executable({{48, 32, pe_test::Bitmap32(48, 0xFF000000u)}, {256, 32, stored}}));
  ASSERT_TRUE(png);
  EXPECT_EQ(*png, stored);
}

TEST(ExecutableIcon, DamagedOrIconlessExecutablesGiveNothing) {
  EXPECT_FALSE(ExecutableIconPng(pe_test::Executable({})));
  const std::vector<std::uint8_t> text = {'M', 'Z', ' ', 'n', 'o'};
  EXPECT_FALSE(ExecutableIconPng(text));
  const pe_test::Bytes good = pe_test::Executable({{32, 32, pe_test::Bitmap32(32, 0xFF112233u)}, {16, 4, pe_test::Bitmap4(16, 1, 2)}});
  ASSERT_TRUE(ExecutableIconPng(good));
  // Every truncation, and every byte of the headers and the resource tree set to
  // extreme values: read safely (the sanitizer run checks the reads).
  int found = 0;
  for (std::size_t length = 0; length < good.size(); length += 7) {
    found += ExecutableIconPng(std::span(good).first(length)).has_value();
  }
  EXPECT_EQ(found, 0) << "a truncated image is never taken";
  for (std::size_t at = 0; at < std::min<std::size_t>(good.size(), 0x200 + 0x180); ++at) {
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
      pe_test::Bytes bad = good;
      bad[at] = value;
      if (auto png = ExecutableIconPng(bad)) {
        EXPECT_GT(png->size(), 8u);
      }
    }
  }
}

}  // namespace
