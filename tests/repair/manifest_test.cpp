#include "repair/manifest.h"

#include <gtest/gtest.h>

#include <string>

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
  ASSERT_EQ(manifest.files.size(), 3u);
  const krdn::ManifestFile& a = manifest.files[0];
  EXPECT_EQ(a.path, u"\\bin\\a.dll");
  EXPECT_EQ(a.total_size, 15u);
  ASSERT_EQ(a.pieces.size(), 2u);
  EXPECT_EQ(a.pieces[0].first_byte, 0u);
  EXPECT_EQ(a.pieces[0].last_byte, 9u);
  EXPECT_EQ(a.pieces[1].first_byte, 10u);
  EXPECT_EQ(a.pieces[1].last_byte, 14u);
  EXPECT_EQ(a.pieces[1].digest, u"FEDCBA9876543210FEDCBA9876543210");
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
  };
  for (const std::string& path : unsafe) {
    Manifest manifest;
    EXPECT_EQ(Parse(manifest, Served(",1\n" + path + ",1,4," + kDigestA + "\n")), -1) << path;
  }
  Manifest manifest;
  EXPECT_EQ(Parse(manifest, Served(",1\n\\..a\\b..\\.\\c,1,4," + kDigestA + "\n")), 0);
}

TEST_F(ManifestParse, RejectsEmptyPiecesAndFilesOf4GiB) {
  Manifest manifest;
  EXPECT_EQ(Parse(manifest, Served(",1\n\\a,1,0," + kDigestA + "\n")), -1);
  EXPECT_EQ(Parse(manifest, Served(",1\n\\a,2,4294967295," + kDigestA + ",1," + kDigestB + "\n")), -1);
  Manifest largest;
  EXPECT_EQ(Parse(largest, Served(",1\n\\a,2,4294967294," + kDigestA + ",1," + kDigestB + "\n")), 0);
  EXPECT_EQ(largest.files[0].total_size, 4294967295u);
}

TEST_F(ManifestParse, UrlPathNamesTheVersionTwice) {
  EXPECT_EQ(krdn::ManifestUrlPath(u"1.9.3"), u"/krdn/repair/1.9.3/1.9.3_download.txt");
}

}  // namespace
