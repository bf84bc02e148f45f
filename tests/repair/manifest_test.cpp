#include "repair/manifest.h"

#include <gtest/gtest.h>

#include <string>

#include "repair/path_key.h"
#include "transfer/digest.h"

namespace {

using krdn::Manifest;

const std::string kDigestA = "0123456789ABCDEF0123456789ABCDEF";
const std::string kDigestB = "FEDCBA9876543210FEDCBA9876543210";

// The served form of a manifest text (which must start with ","): its digest in front.
std::vector<std::uint8_t> Served(const std::string& text) {
  std::string all = krdn::Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) + text;
  return {all.begin(), all.end()};
}

// As the manifest stage hands it to the parser: one 0 byte appended.
int Parse(Manifest& manifest, std::vector<std::uint8_t> bytes) {
  bytes.push_back(0);
  return krdn::ParseManifest(manifest, bytes);
}

class ManifestParse : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(krdn::BindMd5(), 0); }
};

TEST_F(ManifestParse, ReadsPathsPiecesAndSizes) {
  Manifest manifest;
  ASSERT_EQ(Parse(manifest, Served(",7\r\n\\bin\\a.dll,2,10," + kDigestA + ",5," + kDigestB + "\r\n\\数据\\empty.txt,0\n" +
                                   "\\last.bin,1,3," + kDigestA + "trailing ignored")),
            0);
  EXPECT_EQ(manifest.header_number, 7u);
  const std::vector<std::uint8_t> served = Served(",7\r\n");
  Manifest empty;
  ASSERT_EQ(Parse(empty, served), 0);
  EXPECT_EQ(krdn::DigestToHex(empty.digest), std::string(served.begin(), served.begin() + 32)) << "its own digest";
  ASSERT_EQ(manifest.files.size(), 3u);
  const krdn::ManifestFile& a = manifest.files[0];
  EXPECT_EQ(a.path, u"\\bin\\a.dll");
  EXPECT_EQ(a.total_size, 15u);
  ASSERT_EQ(a.pieces.size(), 2u);
  EXPECT_EQ(a.pieces[0].first_byte, 0u);
  EXPECT_EQ(a.pieces[0].last_byte, 9u);
  EXPECT_EQ(a.pieces[1].first_byte, 10u);
  EXPECT_EQ(a.pieces[1].last_byte, 14u);
  EXPECT_EQ(a.pieces[1].digest.Text(), u"FEDCBA9876543210FEDCBA9876543210");
  EXPECT_EQ(manifest.files[1].path, u"\\数据\\empty.txt");
  EXPECT_TRUE(manifest.files[1].pieces.empty());
  EXPECT_EQ(manifest.files[1].total_size, 0u);
  EXPECT_EQ(manifest.files[2].total_size, 3u);  // a last line without a line end is parsed
}

TEST_F(ManifestParse, StopsAtTheFirstEmptyLine) {
  Manifest manifest;
  ASSERT_EQ(Parse(manifest, Served(",1\n\\a,1,4," + kDigestA + "\n\n\\b,1,4," + kDigestA + "\nnot a line at all\n")), 0);
  ASSERT_EQ(manifest.files.size(), 1u);
  EXPECT_EQ(manifest.files[0].path, u"\\a");

  Manifest empty;
  EXPECT_EQ(Parse(empty, Served(",0")), 0);
  EXPECT_TRUE(empty.files.empty());
}

TEST_F(ManifestParse, RejectsAnyChangeToTheDigestedText) {
  const std::vector<std::uint8_t> good = Served(",1\n\\a,1,4," + kDigestA + "\n");
  for (std::size_t i = 0; i < good.size(); ++i) {
    std::vector<std::uint8_t> bad = good;
    bad[i] ^= 0x01;
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, bad), -1) << "byte " << i;
  }
  // Lower-case digest text never matches.
  std::vector<std::uint8_t> lower = good;
  for (std::size_t i = 0; i < 32; ++i) lower[i] = static_cast<std::uint8_t>(std::tolower(lower[i]));
  Manifest manifest;
  ASSERT_NE(lower, good);
  EXPECT_EQ(Parse(manifest, lower), -1);
}

TEST_F(ManifestParse, RejectsBrokenSyntax) {
  const std::vector<std::string> broken = {
      ",",                                      // no header number
      ",x\n",                                   // header not a number
      ",1\n\\a\n",                              // no comma after the path
      ",1\n\\a,x\n",                            // no count
      ",1\n\\a,1\n",                            // count without the comma that follows it
      ",1\n\\a,1,x," + kDigestA + "\n",         // no size
      ",1\n\\a,1,4\n",                          // no comma after the size
      ",1\n\\a,1,4,0123456789ABCDEF\n",         // digest cut short
      ",1\n\\a,2,4," + kDigestA + "\n",         // fewer pieces than counted
      ",1\n\\a,1,-4," + kDigestA + "\n",        // a negative size
      ",1\n\\a,1,4294967296," + kDigestA + "\n",  // a size beyond 32 bits
  };
  for (const std::string& text : broken) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(text)), -1) << text;
  }
  Manifest manifest;
  std::vector<std::uint8_t> short_one(32, 'A');
  short_one.push_back(',');
  EXPECT_EQ(Parse(manifest, short_one), -1);  // 33 bytes: digest and comma, nothing else
  std::vector<std::uint8_t> no_comma = Served(",1");
  no_comma[32] = '.';
  EXPECT_EQ(Parse(manifest, no_comma), -1);
}

TEST_F(ManifestParse, RejectsPathsThatCouldLeaveTheInstallDirectory) {
  const std::vector<std::string> unsafe = {
      "a.dll",          "/a.dll",        "\\..\\a.dll",      "\\bin\\..\\..\\a", "\\bin/../../a",
      "\\c:\\a",        "\\a\tb",        "\\a\x7f",          "\\bin\\",          "\\",
      "\\bin\\.\\a",    "\\.\\a",         "\\bin\\\\a",       "\\\\a",
  };
  for (const std::string& path : unsafe) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",1\n" + path + ",1,4," + kDigestA + "\n")), -1) << path;
  }
  Manifest manifest;
  EXPECT_EQ(Parse(manifest, Served(",1\n\\..a\\b..\\.c,1,4," + kDigestA + "\n")), 0);
}

// A line of count pieces of the given size each, then one of last bytes.
std::string Pieces(const std::string& path, std::uint64_t count, std::uint64_t size, std::uint64_t last) {
  std::string line = path + "," + std::to_string(count + 1);
  for (std::uint64_t i = 0; i < count; ++i) line += "," + std::to_string(size) + "," + kDigestA;
  return line + "," + std::to_string(last) + "," + kDigestB + "\n";
}

TEST_F(ManifestParse, RejectsEmptyAndOversizedPieces) {
  Manifest manifest;
  EXPECT_EQ(Parse(manifest, Served(",1\n\\a,1,0," + kDigestA + "\n")), -1);
  EXPECT_EQ(Parse(manifest, Served(",1\n\\a,1,67108865," + kDigestA + "\n")), -1);
  EXPECT_EQ(Parse(manifest, Served(",1\n\\a,1,3221225472," + kDigestA + "\n")), -1);
  EXPECT_EQ(Parse(manifest, Served(",1\n\\a,1,4294967296," + kDigestA + "\n")), -1);
  EXPECT_TRUE(manifest.files.empty());
}

// Files of 4 GiB and more: their pieces tile them at 64-bit offsets, where a 32-bit
// offset would wrap and start the pieces past 4 GiB over the first ones.
TEST_F(ManifestParse, ReadsFilesOf4GiBAndMoreAt64BitOffsets) {
  Manifest manifest;
  ASSERT_EQ(Parse(manifest, Served(",2\n" + Pieces("\\a", 64, 67108864, 1) + Pieces("\\b", 1535, 4194304, 4194304))), 0);
  ASSERT_EQ(manifest.files.size(), 2u);
  const krdn::ManifestFile& a = manifest.files[0];
  EXPECT_EQ(a.total_size, 4294967297u);
  ASSERT_EQ(a.pieces.size(), 65u);
  EXPECT_EQ(a.pieces.back().first_byte, 4294967296u);
  EXPECT_EQ(a.pieces.back().last_byte, 4294967296u);
  EXPECT_EQ(a.pieces.back().size(), 1u);
  const krdn::ManifestFile& b = manifest.files[1];
  EXPECT_EQ(b.total_size, 6442450944u);  // 6 GiB
  ASSERT_EQ(b.pieces.size(), 1536u);
  std::uint64_t offset = 0;
  for (const krdn::ManifestPiece& piece : b.pieces) {
    ASSERT_EQ(piece.first_byte, offset) << "no overlap, no gap";
    ASSERT_EQ(piece.size(), 4194304u);
    offset = piece.last_byte + 1;
  }
  EXPECT_EQ(offset, b.total_size);
  EXPECT_EQ(b.pieces.back().first_byte, 6438256640u);

  Manifest just_below;
  ASSERT_EQ(Parse(just_below, Served(",1\n" + Pieces("\\a", 63, 67108864, 67108863))), 0);
  EXPECT_EQ(just_below.files[0].total_size, 4294967295u);
  EXPECT_EQ(just_below.files[0].pieces.back().size(), 67108863u);
  EXPECT_EQ(just_below.files[0].pieces.front().size(), krdn::kLargestPiece);
}

// Numbers are read in 64 bits and no further: a count or a size one past 2^64 - 1, or
// of many more digits, is refused rather than wrapped; so is a count that the rest of
// the line cannot hold, however small its pieces.
TEST_F(ManifestParse, RejectsCountsAndSizesBeyond64Bits) {
  const std::string piece = ",4," + kDigestA;
  for (const std::string& line : {
           "\\a,18446744073709551616" + piece,                     // 2^64 pieces
           "\\a,18446744073709551617" + piece,                     // 2^64 + 1: 1 once wrapped
           "\\a,99999999999999999999999999" + piece,
           "\\a,1,18446744073709551616," + kDigestA,               // a size of 2^64: 0 once wrapped
           "\\a,1,18446744073709551620," + kDigestA,               // 4 once wrapped
           "\\a,18446744073709551615" + piece,                     // fits, but one piece is there
           "\\a,2" + piece,                                        // two pieces, one given
       }) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",1\n" + line + "\n")), -1) << line;
    EXPECT_TRUE(manifest.files.empty()) << line;
  }
  Manifest header;
  EXPECT_EQ(Parse(header, Served(",4294967296\n")), -1) << "the header number stays a 32-bit number";
  EXPECT_EQ(Parse(header, Served(",4294967295\n\\a" + std::string(",1") + piece + "\n")), 0);
  EXPECT_EQ(header.header_number, 4294967295u);
}

TEST_F(ManifestParse, RejectsAFileNamedTwiceAlsoWithoutRegardToCase) {
  const std::vector<std::pair<std::string, std::string>> twins = {
      {"\\bin\\a.dll", "\\bin\\a.dll"},
      {"\\bin\\a.dll", "\\BIN\\A.DLL"},
      {"\\bin\\a.dll", "\\bin/a.dll"},
      {"\\bin\\a.dll", "\\bin\\a.dll."},    // Windows drops trailing dots and spaces
      {"\\bin\\a.dll", "\\bin \\a.dll"},
      {"\\数据\\été.pak", "\\数据\\ÉTÉ.PAK"},
      {"\\Ωmega\\жук", "\\ωMEGA\\ЖУК"},
      {"\\ｆｕｌｌ", "\\ＦＵＬＬ"},
      {"\\a", "\\a\\b"},                 // a file where the other needs a directory
      {"\\a\\b", "\\A"},
  };
  for (const auto& [first, second] : twins) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",2\n" + first + ",1,4," + kDigestA + "\n" + second + ",0\n")), -1)
        << first << " and " << second;
  }
  // Different names stay different: a letter next to its capital, distinct accents.
  Manifest manifest;
  ASSERT_EQ(Parse(manifest, Served(",5\n\\a\\b,0\n\\a\\c,0\n\\ab,0\n\\été,0\n\\ete,0\n\\ß,0\n")), 0);
  EXPECT_EQ(manifest.files.size(), 6u);
}

// A path of the given UTF-8 length and component count: "\" and names of "a"s.
std::string PathOf(std::size_t bytes, std::size_t components) {
  std::string path;
  const std::size_t per_name = (bytes - components) / components;
  for (std::size_t i = 0; i < components; ++i) path += "\\" + std::string(per_name, 'a');
  path += std::string(bytes - path.size(), 'z');
  return path;
}

std::string Repeated(const std::string& unit, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

TEST_F(ManifestParse, TakesPathsUpToTheirBoundsAndRefusesLongerOrDeeperOnes) {
  // The bound is in UTF-8 bytes: 341 three-byte characters are 1,024 bytes but 342 UTF-16 units.
  const std::string wide_at_bound = "\\" + Repeated("数", 341);
  ASSERT_EQ(wide_at_bound.size(), krdn::kLongestManifestPath);
  for (const std::string& path : {PathOf(krdn::kLongestManifestPath, 1), PathOf(krdn::kLongestManifestPath, 64),
                                  PathOf(128, krdn::kDeepestManifestPath), wide_at_bound}) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",1\n" + path + ",0\n")), 0) << path.size();
  }
  for (const std::string& path : {PathOf(krdn::kLongestManifestPath + 1, 1), wide_at_bound + "a",
                                  PathOf(130, krdn::kDeepestManifestPath + 1), PathOf(40000, 20000)}) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",1\n\\first,0\n" + path + ",0\n")), -1) << path.size();
  }
}

// Lines of empty files, "\f<n>,0", numbered from `first`.
std::string FileLines(std::size_t first, std::size_t count) {
  std::string lines;
  for (std::size_t i = first; i < first + count; ++i) lines += "\\f" + std::to_string(i) + ",0\n";
  return lines;
}

TEST_F(ManifestParse, TakesAMillionFilesAndRefusesOneMoreBeforeParsingAny) {
  const std::string million = FileLines(0, krdn::kMostManifestFiles);
  Manifest full;
  ASSERT_EQ(Parse(full, Served(",1\n" + million)), 0);
  EXPECT_EQ(full.files.size(), krdn::kMostManifestFiles);
  Manifest over;
  EXPECT_EQ(Parse(over, Served(",1\n" + million + FileLines(krdn::kMostManifestFiles, 1))), -1);
  EXPECT_TRUE(over.files.empty());
  // Lines after the first empty one are not files.
  Manifest ignored_tail;
  EXPECT_EQ(Parse(ignored_tail, Served(",1\n\\a,0\r\n\r\n" + million + FileLines(0, 1))), 0);
  EXPECT_EQ(ignored_tail.files.size(), 1u);
}

TEST_F(ManifestParse, RefusesAManifestLargerThanItsBound) {
  // Built in place: the digest, one file, an empty line, and filler up to the bound
  // (behind a 0 byte, where the text ends for the parser but not for the digest).
  const std::string head = std::string(32, '0') + ",1\n\\a,0\n\n" + std::string(1, '\0');
  std::vector<std::uint8_t> bytes(head.begin(), head.end());
  bytes.resize(krdn::kLargestManifest, 'x');
  const std::string digest = krdn::Md5Hex(std::span(bytes).subspan(32));
  std::copy(digest.begin(), digest.end(), bytes.begin());
  bytes.push_back(0);  // as the manifest stage appends it
  Manifest at_bound;
  EXPECT_EQ(krdn::ParseManifest(at_bound, bytes), 0);
  EXPECT_EQ(at_bound.files.size(), 1u);
  bytes.back() = 'x';  // one byte more, under a digest that covers it
  const std::string longer = krdn::Md5Hex(std::span(bytes).subspan(32));
  std::copy(longer.begin(), longer.end(), bytes.begin());
  bytes.push_back(0);
  Manifest over;
  EXPECT_EQ(krdn::ParseManifest(over, bytes), -1);
}

TEST_F(ManifestParse, RejectsTextThatIsNotUtf8) {
  for (const std::string bad : {"\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xE6\x95x"}) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",1\n\\name" + bad + ",0\n")), -1) << ::testing::PrintToString(bad);
    Manifest in_a_digest;
    EXPECT_EQ(Parse(in_a_digest, Served(",1\n\\a,1,4," + kDigestA.substr(0, 31) + bad + "\n")), -1);
  }
  // Two names that a lenient conversion would both turn into "\x?" (U+FFFD).
  Manifest manifest;
  EXPECT_EQ(Parse(manifest, Served(",2\n\\x\xFE,0\n\\x\xFF,0\n")), -1);
}

TEST(PathKey, DropsWhatWindowsDropsAndFoldsCaseAsItDoes) {
  EXPECT_EQ(krdn::PathKey(u"\\Bin\\\\./a.DLL "), u"BIN\\A.DLL");
  EXPECT_EQ(krdn::PathKey(u"\\Ǎ.pak"), krdn::PathKey(u"\\ǎ.pak"));
  EXPECT_EQ(krdn::PathKey(u"\\Ǆ\\Σ."), krdn::PathKey(u"\\ǆ\\σ"));
  EXPECT_NE(krdn::PathKey(u"\\a\\b"), krdn::PathKey(u"\\a.b"));
}

TEST_F(ManifestParse, RejectsTwoPathsThatWindowsTakesForOneFile) {
  Manifest manifest;
  EXPECT_EQ(Parse(manifest, Served(",2\n\\Ǎ.pak,0\n\\ǎ.pak,0\n")), -1);
  Manifest distinct;
  EXPECT_EQ(Parse(distinct, Served(",2\n\\Ǎ.pak,0\n\\A.pak,0\n")), 0);
}

TEST_F(ManifestParse, UrlPathNamesTheVersionTwice) {
  EXPECT_EQ(krdn::ManifestUrlPath(u"1.9.3"), u"/krdn/repair/1.9.3/1.9.3_download.txt");
}

}  // namespace
