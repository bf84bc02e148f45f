// The console front-end's JSON strings, read back by a JSON parser of the tests' own.
#include "tools/repair-cli/json_text.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace krdn::cli {
namespace {

std::string ReadBack(const std::string& literal) { return nlohmann::json::parse(literal).get<std::string>(); }

TEST(JsonString, EveryControlCharacterQuoteAndBackslashIsEscapedAndReadsBackAsItWas) {
  std::string text;
  for (int c = 0; c < 0x20; ++c) text += static_cast<char>(c);
  text += "\"\\/\x7F end";
  const std::string literal = JsonString(text);
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    EXPECT_GE(static_cast<unsigned char>(literal[i]), 0x20u) << "raw control byte at " << i << ": " << literal;
  }
  EXPECT_EQ(ReadBack(literal), text);
  EXPECT_EQ(JsonString("a\r\nb\t\"c\""), R"("a\r\nb\t\"c\"")");
  EXPECT_EQ(JsonString(std::string("\0x", 2)), R"("\u0000x")");
  EXPECT_EQ(JsonString(""), R"("")");
}

TEST(JsonString, UnicodeOfEveryLengthPassesThroughUnchanged) {
  const std::string text = "é 下载文件: \\数据\\地图.pak 🎮 \xE2\x80\xA8 \xEF\xBF\xBF \xF4\x8F\xBF\xBF";
  const std::string literal = JsonString(text);
  EXPECT_EQ(literal, "\"" + std::string("é 下载文件: \\\\数据\\\\地图.pak 🎮 \xE2\x80\xA8 \xEF\xBF\xBF \xF4\x8F\xBF\xBF") + "\"");
  EXPECT_EQ(ReadBack(literal), text);
}

TEST(JsonString, BytesThatAreNotUtf8BecomeReplacementCharactersAndTheLineStaysValid) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    std::string bytes;
    std::string read_back;
  } cases[] = {
      {"a\x80z", "a" + replacement + "z"},                             // a stray continuation byte
      {"a\xE4\xB8", "a" + replacement + replacement},                  // a sequence cut at the end
      {"\xE4\xB8z", replacement + replacement + "z"},                  // and one cut short
      {"\xC0\xAF", replacement + replacement},                         // an overlong "/"
      {"\xE0\x80\xAF", replacement + replacement + replacement},       // another
      {"\xED\xA0\x80", replacement + replacement + replacement},       // a surrogate
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},  // beyond U+10FFFF
      {"\xFF\xFE", replacement + replacement},
  };
  for (const auto& [bytes, read_back] : cases) EXPECT_EQ(ReadBack(JsonString(bytes)), read_back) << JsonString(bytes);
}

}  // namespace
}  // namespace krdn::cli
