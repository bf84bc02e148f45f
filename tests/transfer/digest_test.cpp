#include "platform/md5.h"

#include <gtest/gtest.h>

#include <string>

#include "transfer/digest.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Md5, MatchesTheReferenceVectorsAsUpperCaseText) {
  ASSERT_EQ(platform::BindMd5(), 0);
  ASSERT_EQ(platform::BindMd5(), 0);  // binding again is free and still succeeds
  EXPECT_EQ(krdn::Md5Hex(Bytes("")), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(krdn::Md5Hex(Bytes("abc")), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(krdn::Md5Hex(Bytes("12345678901234567890123456789012345678901234567890123456789012345678901234567890")),
            "57EDF4A22BE3C955AC49DA2E2107B67A");
  EXPECT_EQ(krdn::Md5WideHex(Bytes("message digest")), u"F96B697D7CB7938D525A2F31AAF161D0");
}

TEST(Md5, StreamAgreesWithOneShotAndStartsOver) {
  ASSERT_EQ(platform::BindMd5(), 0);
  const std::string text(100000, 'x');
  platform::Md5Stream stream;
  stream.Update(Bytes(text.substr(0, 777)));
  stream.Update(Bytes(text.substr(777)));
  EXPECT_EQ(stream.Finish(), platform::Md5(Bytes(text)));
  stream.Update(Bytes("abc"));
  EXPECT_EQ(krdn::DigestToHex(stream.Finish()), "900150983CD24FB0D6963F7D28E17F72");
}

}  // namespace
