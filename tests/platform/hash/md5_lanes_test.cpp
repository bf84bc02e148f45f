// The MD5 lanes against the crypto library's MD5, for every kernel in turn (a kernel
// the processor cannot run is skipped and says so).
#include "platform/hash/md5_lanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Span = std::span<const std::uint8_t>;

Bytes RandomBytes(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t word = random();
    std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, size - i));
  }
  return bytes;
}

std::string Hex(const Md5Digest& digest) {
  std::string out;
  char two[3];
  for (const std::uint8_t byte : digest) {
    std::snprintf(two, sizeof two, "%02x", byte);
    out += two;
  }
  return out;
}

class Md5LanesTest : public ::testing::TestWithParam<Md5Kernel> {
 protected:
  void SetUp() override {
    ASSERT_EQ(BindMd5(), 0);
    if (!Md5KernelSupported(GetParam())) {
      GTEST_SKIP() << "this processor cannot run the " << Md5KernelName(GetParam()) << " kernel";
    }
  }
  Md5Kernel kernel() const { return GetParam(); }
};

TEST_P(Md5LanesTest, DigestsTheReferenceMessagesOfTheAlgorithm) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  std::vector<Span> messages;
  for (const auto& [text, digest] : cases) messages.emplace_back(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  std::vector<Md5Digest> digests(messages.size());
  Md5Many(messages, digests, kernel());
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(Hex(digests[i]), cases[i].second) << '"' << cases[i].first << '"';
}

TEST_P(Md5LanesTest, AgreesWithTheLibraryOnEveryLengthUpTo4KiBEachLaneADifferentLength) {
  const Bytes data = RandomBytes(4096 + 64, 1);
  std::vector<Span> messages;
  // Consecutive lengths share a group, so every lane of a group has its own length;
  // the start moves too, so that no lane reads aligned memory only.
  for (std::size_t length = 0; length <= 4096; ++length) messages.emplace_back(data.data() + length % 61, length);
  std::vector<Md5Digest> digests(messages.size());
  Md5Many(messages, digests, kernel());
  for (std::size_t i = 0; i < messages.size(); ++i) ASSERT_EQ(digests[i], Md5(messages[i])) << "length " << i;
}

TEST_P(Md5LanesTest, AgreesAcrossPaddingBoundariesWhateverTheUpdatesLookLike) {
  const Bytes data = RandomBytes(256, 2);
  const std::vector<std::size_t> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128};
  Md5Lanes lanes(kernel());
  // Each length fed whole, a byte at a time, and cut at 63 and at 64 bytes.
  for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{63}, std::size_t{64}}) {
    for (const std::size_t length : lengths) {
      std::vector<Span> feed(lanes.size());
      for (std::size_t done = 0; done < length;) {
        const std::size_t step = cut == 0 ? length : std::min(cut, length - done);
        for (Span& lane : feed) lane = Span(data.data() + done, step);
        lanes.Update(feed);
        done += step;
      }
      for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        ASSERT_EQ(lanes.Finish(lane), Md5(Span(data.data(), length))) << "length " << length << " cut " << cut;
      }
    }
  }
}

// The pattern of verification: lanes fed in pieces of all sizes (nothing at all in some
// steps), ending at different blocks, and starting new messages while the others go on.
TEST_P(Md5LanesTest, LanesThatEndAtDifferentBlocksAndStartOverKeepTheirNeighboursIntact) {
  const Bytes data = RandomBytes(1 << 20, 3);
  std::mt19937_64 random(4);
  Md5Lanes lanes(kernel());
  struct Message {
    std::size_t offset = 0, length = 0, fed = 0;
  };
  const auto new_message = [&] {
    const std::size_t length = random() % 4 == 0 ? random() % 130 : random() % (200 * 1024);
    return Message{.offset = random() % (data.size() - length), .length = length};
  };
  std::vector<Message> lane_message(lanes.size());
  for (Message& message : lane_message) message = new_message();
  std::size_t finished = 0;
  while (finished < 300) {
    std::vector<Span> feed(lanes.size());
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
      Message& m = lane_message[lane];
      const std::size_t choice = random() % 4;
      const std::size_t want = choice == 0 ? 0 : choice == 1 ? random() % 100 : choice == 2 ? 64 * (random() % 300) : 65536;
      const std::size_t step = std::min(want, m.length - m.fed);
      feed[lane] = Span(data.data() + m.offset + m.fed, step);
      m.fed += step;
    }
    lanes.Update(feed);
    std::vector<std::size_t> done;
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
      if (lane_message[lane].fed == lane_message[lane].length && random() % 2 == 0) done.push_back(lane);
    }
    std::vector<Md5Digest> digests(done.size());
    lanes.Finish(done, digests);
    for (std::size_t i = 0; i < done.size(); ++i) {
      const Message& m = lane_message[done[i]];
      ASSERT_EQ(digests[i], Md5(Span(data.data() + m.offset, m.length))) << "lane " << done[i] << " length " << m.length;
      lane_message[done[i]] = new_message();
      ++finished;
    }
  }
}

TEST_P(Md5LanesTest, AgreesOnRandomLengthsUpTo64MiB) {
  if (kernel() == Md5Kernel::kScalar) GTEST_SKIP() << "the scalar kernel is the library itself";
  constexpr std::size_t kMost = 64u << 20;
  const Bytes data = RandomBytes(kMost + 4096, 5);
  std::mt19937_64 random(6);
  std::vector<Span> messages;
  messages.emplace_back(data.data() + 1, kMost);  // the largest, off alignment
  while (messages.size() < Md5KernelLanes(kernel())) {
    messages.emplace_back(data.data() + random() % 4096, random() % (kMost + 1));
  }
  std::vector<Md5Digest> digests(messages.size());
  Md5Many(messages, digests, kernel());
  for (std::size_t i = 0; i < messages.size(); ++i) EXPECT_EQ(digests[i], Md5(messages[i])) << "length " << messages[i].size();
}

INSTANTIATE_TEST_SUITE_P(Kernels, Md5LanesTest, ::testing::ValuesIn(kMd5Kernels),
                         [](const auto& param_info) { return std::string(Md5KernelName(param_info.param)); });

TEST(Md5Kernels, TheBestIsSupportedAndAKernelThatCannotRunIsRefused) {
  ASSERT_EQ(BindMd5(), 0);
  EXPECT_TRUE(Md5KernelSupported(BestMd5Kernel()));
  EXPECT_TRUE(Md5KernelSupported(Md5Kernel::kScalar));
  for (const Md5Kernel kernel : kMd5Kernels) {
    EXPECT_EQ(Md5KernelNamed(Md5KernelName(kernel)), kernel);
    if (Md5KernelSupported(kernel)) {
      EXPECT_GE(Md5KernelLanes(BestMd5Kernel()), Md5KernelLanes(kernel));
      EXPECT_EQ(Md5Lanes(kernel).size(), Md5KernelLanes(kernel));
    } else {
      EXPECT_THROW(Md5Lanes{kernel}, std::invalid_argument);
    }
  }
  EXPECT_EQ(Md5KernelNamed("sse9"), std::nullopt);
  Md5Lanes lanes;
  std::vector<Span> too_few(lanes.size() + 1);
  EXPECT_THROW(lanes.Update(too_few), std::invalid_argument);
}

}  // namespace
}  // namespace platform
