// The embedded version record, read back block by block as the platform's readers do.
#include <map>
#include <string>

#include "package_fixture.h"
#include "platform/base/utf.h"

namespace krdn::app::test {
namespace {

// One block of the record: key, value bytes, children.
struct Block {
  std::u16string key;
  int type = 0;
  std::span<const unsigned char> value;
  std::vector<Block> children;
};

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

bool ParseBlock(std::span<const unsigned char> bytes, Block& out, std::size_t& consumed) {
  auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(bytes[at] | bytes[at + 1] << 8); };
  if (bytes.size() < 6) return false;
  const std::size_t length = u16(0), value_length = u16(2);
  out.type = static_cast<int>(u16(4));
  if (length < 6 || length > bytes.size()) return false;
  std::size_t at = 6;
  while (at + 1 < length && u16(at) != 0) out.key.push_back(static_cast<char16_t>(u16(at))), at += 2;
  at = Align4(at + 2);
  const std::size_t value_bytes = out.type == 1 ? value_length * 2 : value_length;
  if (at + value_bytes > length) return false;
  out.value = bytes.subspan(at, value_bytes);
  at = Align4(at + value_bytes);
  while (at < length) {
    Block child;
    std::size_t used = 0;
    if (!ParseBlock(bytes.subspan(at, length - at), child, used)) return false;
    out.children.push_back(std::move(child));
    at = Align4(at + used);
  }
  consumed = length;
  return true;
}

std::u16string Text(std::span<const unsigned char> value) {
  std::u16string s;
  for (std::size_t i = 0; i + 1 < value.size(); i += 2) s.push_back(static_cast<char16_t>(value[i] | value[i + 1] << 8));
  while (!s.empty() && s.back() == u'\0') s.pop_back();
  return s;
}

TEST(VersionRecord, CarriesTheProductFieldsInChineseWithUnicodeText) {
  auto bytes = platform::FindModuleResource(platform::CurrentModule(), u"#16", u"#1");
  Block root;
  std::size_t used = 0;
  ASSERT_TRUE(ParseBlock(bytes, root, used));
  EXPECT_EQ(used, bytes.size());
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");
  ASSERT_EQ(root.value.size(), 52u);
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(root.value[at] | root.value[at + 1] << 8 | root.value[at + 2] << 16) |
           static_cast<std::uint32_t>(root.value[at + 3]) << 24;
  };
  EXPECT_EQ(u32(0), 0xFEEF04BDu);
  EXPECT_EQ(u32(8), 0x00010000u);   // file version 1.0
  EXPECT_EQ(u32(12), 0x00000001u);  // .0.1
  EXPECT_EQ(u32(16), 0x00010000u);  // product version
  EXPECT_EQ(u32(20), 0x00000001u);

  std::map<std::u16string, std::u16string> strings;
  std::u16string table_key;
  std::uint32_t translation = 0;
  for (const Block& child : root.children) {
    if (child.key == u"StringFileInfo" && !child.children.empty()) {
      table_key = child.children[0].key;
      for (const Block& s : child.children[0].children) strings[s.key] = Text(s.value);
    }
    if (child.key == u"VarFileInfo" && !child.children.empty() && child.children[0].value.size() == 4) {
      const auto& v = child.children[0].value;
      translation = static_cast<std::uint32_t>(v[0] | v[1] << 8) << 16 | static_cast<std::uint32_t>(v[2] | v[3] << 8);
    }
  }
  EXPECT_EQ(table_key, u"080404b0");
  EXPECT_EQ(translation, 0x080404B0u);
  EXPECT_EQ(strings[u"FileVersion"], u"1, 0, 0, 1");
  EXPECT_EQ(strings[u"ProductVersion"], u"1, 0, 0, 1");
  EXPECT_EQ(strings[u"ProductName"], u"Velmora");
  EXPECT_EQ(strings[u"FileDescription"], u"Velmora客户端下载工具");
  EXPECT_FALSE(strings[u"CompanyName"].empty());
  EXPECT_FALSE(strings[u"OriginalFilename"].empty());
}

}  // namespace
}  // namespace krdn::app::test
