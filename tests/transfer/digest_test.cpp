#include "platform/hash/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <optional>
#include <thread>
#include <vector>

#include "transfer/digest.h"
#include "transfer/running_digest.h"

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

// The body grows in blocks of uneven sizes, some far below the helper's wake step and
// some across it, and the digest of the prefix handed to Finish must be that of a
// single pass, also when the receiver stops short of the reserved capacity.
TEST(RunningDigest, MatchesOneShotWhateverTheBlockSizes) {
  ASSERT_EQ(platform::BindMd5(), 0);
  const std::size_t step = krdn::RunningDigest::kWakeStep;
  const std::vector<std::vector<std::size_t>> plans = {
      {},                                   // nothing arrives
      {1000},                               // one block, below a step
      {step},                               // exactly one step
      {step - 1, 1, 1},                     // the step reached by a single byte
      {300, step * 2 + 7, 64 * 1024, 5},    // one block across several steps
      std::vector<std::size_t>(100, 40000), // many small blocks, crossing steps unevenly
  };
  for (const std::vector<std::size_t>& plan : plans) {
    std::size_t total = 0;
    for (const std::size_t block : plan) total += block;
    std::vector<std::uint8_t> body;
    body.reserve(total + 1);
    {
      krdn::RunningDigest digest(body);
      std::thread receiver([&] {
        std::uint8_t value = 1;
        for (const std::size_t block : plan) {
          for (std::size_t i = 0; i < block; ++i) body.push_back(value += 31);
          digest.Published(body.size());
        }
      });
      receiver.join();
      EXPECT_EQ(digest.Finish(body.size()), platform::Md5(body)) << "blocks: " << plan.size() << ", bytes: " << total;
    }
  }
}

}  // namespace
