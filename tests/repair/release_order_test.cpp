// The release number in a version file and the record of the highest one accepted.
#include "repair/release_order.h"

#include <gtest/gtest.h>

#include "platform/base/utf.h"
#include "platform/io/install_root.h"
#include "repair/client_version.h"
#include "tests/support/temp_dir.h"

namespace krdn::testing {
namespace {

namespace fs = std::filesystem;

TEST(ReleaseSequence, IsStampedWhereTheVersionStageDoesNotRead) {
  std::vector<std::uint8_t> file(256, 0);
  file[240] = 1;
  file[241] = 9;
  file[242] = 3;
  file[252] = 0x34;
  file[253] = 0x12;
  EXPECT_EQ(ReleaseSequenceOf(file), 0u) << "no stamp: a release signed before numbers existed";
  const auto unstamped = file;
  StampReleaseSequence(file, 0x0102030405060708u);
  EXPECT_EQ(ReleaseSequenceOf(file), 0x0102030405060708u);
  EXPECT_EQ(file[232], 0x08) << "little-endian";
  EXPECT_TRUE(std::equal(file.begin() + kReleaseSequenceEnd, file.end(), unstamped.begin() + kReleaseSequenceEnd));
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + kReleaseSequenceOffset, unstamped.begin()));
  const auto version = ParseVersionFile(file);
  ASSERT_TRUE(version);
  EXPECT_EQ(version->Text(), u"1.9.3");
  EXPECT_EQ(version->mode_word, 0x1234);

  // The number counts only behind its tag, and only in a file long enough to hold it.
  auto untagged = file;
  untagged[kReleaseSequenceOffset] ^= 1;
  EXPECT_EQ(ReleaseSequenceOf(untagged), 0u);
  EXPECT_EQ(ReleaseSequenceOf(std::span(file).first(kReleaseSequenceEnd - 1)), 0u);
}

class ReleaseRecord : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(root.is_open()); }
  std::optional<std::uint64_t> Accepted(const std::string& host) const { return AcceptedReleaseSequence(root, host); }

  TempDir dir;
  platform::InstallRoot root = platform::InstallRoot::Open(platform::Utf8ToUtf16(platform::PathUtf8(dir.path())));
};

TEST_F(ReleaseRecord, KeepsTheNumberOfEachVersionHost) {
  EXPECT_EQ(Accepted("http://a.example"), 0u) << "no record yet";
  ASSERT_TRUE(RecordAcceptedRelease(root, "http://a.example", 7));
  ASSERT_TRUE(RecordAcceptedRelease(root, "http://b.example:8080", 3));
  EXPECT_EQ(Accepted("http://a.example"), 7u);
  EXPECT_EQ(Accepted("http://b.example:8080"), 3u);
  EXPECT_EQ(Accepted("http://a.example:80"), 0u) << "another host, another order";
  ASSERT_TRUE(RecordAcceptedRelease(root, "http://a.example", 9));
  EXPECT_EQ(Accepted("http://a.example"), 9u);
  EXPECT_EQ(Accepted("http://b.example:8080"), 3u);
  EXPECT_FALSE(fs::exists(dir / "tern.sav.order.new"));
}

TEST_F(ReleaseRecord, ATornWriteLeavesTheOldRecord) {
  ASSERT_TRUE(RecordAcceptedRelease(root, "http://a.example", 5));
  // A run that died while writing the next record left only part of it beside the old one.
  WriteFile(dir / "tern.sav.order.new", "1 http://a.exa");
  EXPECT_EQ(Accepted("http://a.example"), 5u);
  ASSERT_TRUE(RecordAcceptedRelease(root, "http://a.example", 6));
  EXPECT_EQ(Accepted("http://a.example"), 6u);
  EXPECT_EQ(ReadText(dir / "tern.sav.order"), "6 http://a.example\n");
}

TEST_F(ReleaseRecord, DropsLinesThatDoNotParse) {
  WriteFile(dir / "tern.sav.order", "x http://a.example\n12\n 4 http://a.example\n99999999999999999999 http://a.example\n"
                                    "8 http://a.example\n");
  EXPECT_EQ(Accepted("http://a.example"), 8u);
}

}  // namespace
}  // namespace krdn::testing
