// Case folding of file names, on Linux by libunistring and on Windows (under wine) by
// the system's table: the same pairs must fold together on both. (Linux folds a few
// more, such as the final sigma and the title-case ǅ, which the publisher's tests
// cover: the wider rule refuses more, never less.)
#include "platform/io/case_fold.h"

#include <gtest/gtest.h>

namespace {

using platform::FoldCase;

TEST(FoldCase, FoldsTheLettersOfEveryScriptTogether) {
  const std::u16string pairs[][2] = {
      {u"Ä", u"ä"}, {u"Σ", u"σ"}, {u"Ǎ.pak", u"ǎ.pak"}, {u"Ǆ", u"ǆ"},
      {u"Ё", u"ё"}, {u"Ա", u"ա"}, {u"Ạ", u"ạ"}, {u"Ⴀ", u"ⴀ"}, {u"Ａ", u"ａ"}, {u"DATA\\A.PAK", u"data\\a.pak"},
  };
  for (const auto& [upper, lower] : pairs) {
    EXPECT_EQ(FoldCase(upper), FoldCase(lower)) << ::testing::PrintToString(std::u16string(lower).size());
  }
  EXPECT_EQ(FoldCase(u"ä"), u"Ä");
  EXPECT_EQ(FoldCase(u"ǆ"), u"Ǆ");
}

TEST(FoldCase, KeepsApartWhatIsNoLetterPair) {
  EXPECT_NE(FoldCase(u"a"), FoldCase(u"ä"));
  EXPECT_NE(FoldCase(u"Ǎ"), FoldCase(u"A"));
  EXPECT_EQ(FoldCase(u"数据.÷1"), u"数据.÷1");
  EXPECT_EQ(FoldCase(std::u16string(1, char16_t{0xD800}) + u"a"), std::u16string(1, char16_t{0xD800}) + u"A");
}

TEST(FoldCase, AFoldedNameFoldsToItself) {
  // The fold decides which names are one file, so it must be a projection: otherwise
  // "a" and "A" could be one file while "A" and its fold were not.
  for (char32_t c = 1; c < 0xD800; ++c) {
    const std::u16string name(1, static_cast<char16_t>(c));
    const std::u16string once = FoldCase(name);
    EXPECT_EQ(FoldCase(once), once) << "U+" << std::hex << static_cast<int>(c);
  }
}

}  // namespace
