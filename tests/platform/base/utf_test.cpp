#include "platform/base/utf.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

TEST(Utf, RoundTripsChineseAndAstralText) {
  const std::string utf8 = "当前客户端版本号: 3.0.1 \xF0\x9F\x8E\xAE";
  const std::u16string utf16 = platform::Utf8ToUtf16(utf8);
  EXPECT_EQ(utf16.substr(0, 8), u"当前客户端版本号");
  EXPECT_EQ(utf16.back(), u'\xDFAE');  // low surrogate of U+1F3AE
  EXPECT_EQ(platform::Utf16ToUtf8(utf16), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  // Truncated sequence, overlong encoding, encoded surrogate, stray continuation.
  EXPECT_EQ(platform::Utf8ToUtf16("a\xE4\xB8"), u"a\uFFFD");
  EXPECT_EQ(platform::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");
  EXPECT_EQ(platform::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");
  EXPECT_EQ(platform::Utf8ToUtf16("\x80z"), u"\uFFFDz");
  // A lone surrogate in UTF-16 input.
  EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
}

TEST(Utf, StrictCheckRefusesWhatTheConversionWouldReplace) {
  EXPECT_TRUE(platform::IsUtf8(""));
  EXPECT_TRUE(platform::IsUtf8("\\数据\\a.pak \xF0\x9F\x8E\xAE \xEF\xBF\xBD"));  // a real U+FFFD is text
  for (const std::string bad : {"a\xE4\xB8", "\xC0\xAF", "\xED\xA0\x80", "\x80z", "\xF4\x90\x80\x80", "\xFF",
                                "\xE4\xB8x"}) {
    EXPECT_FALSE(platform::IsUtf8(bad)) << ::testing::PrintToString(bad);
  }
}

// A path from UTF-8 or UTF-16 names the file the text names, on every system: the
// folder made is found by its Chinese name when the folder is listed.
TEST(Utf, PathsFromUtf8AndUtf16NameTheFileTheTextNames) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "platform_utf_paths";
  std::filesystem::remove_all(root);
  const std::string folder = "客户端 目录";
  std::filesystem::create_directories(root / platform::PathFromUtf8(folder));
  std::ofstream(root / platform::PathFromUtf8(folder) / platform::PathFromUtf16(u"版本.txt")) << "3.0.1";
  std::vector<std::u16string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root)) names.push_back(entry.path().filename().u16string());
  EXPECT_EQ(names, std::vector<std::u16string>{u"客户端 目录"});
  std::string text;
  std::ifstream(root / platform::PathFromUtf16(u"客户端 目录/版本.txt")) >> text;
  EXPECT_EQ(text, "3.0.1");
  // Malformed text never throws; it names a file with the replacement character.
  EXPECT_EQ(platform::PathFromUtf16(std::u16string(1, u'\xD800')).u16string(), u"\uFFFD");
  std::filesystem::remove_all(root);
}

}  // namespace
