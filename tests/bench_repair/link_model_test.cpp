#include "bench/repair/link_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace krdn::bench {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::size_t kPacket = 1500;
constexpr std::int64_t kPacketNs = 120'000;  // 1500 bytes at 100 Mbit/s

LinkShape Shape(std::size_t queue_bytes) {
  return {.bits_per_second = 100'000'000, .one_way_delay_ns = 25 * kMs, .queue_bytes = queue_bytes};
}

TEST(LinkModel, TheQueueOfOneBandwidthDelayProductIsWhatTheLinkCarriesInARoundTrip) {
  EXPECT_EQ(BandwidthDelayProduct(100'000'000, 50 * kMs), 625'000u);
  EXPECT_EQ(BandwidthDelayProduct(100'000'000, 100 * kMs), 1'250'000u);
  EXPECT_EQ(BandwidthDelayProduct(10'000'000'000, 1000 * kMs), 1'250'000'000u);
}

TEST(LinkModel, PacketsLeaveAtTheLinkRateBehindEachOtherAfterTheDelay) {
  LinkDirection link(Shape(10'000'000));
  // Alone on an idle link: its serialisation, then the delay.
  EXPECT_EQ(link.Admit(kPacket, 1000), 1000 + kPacketNs + 25 * kMs);

  // A burst later: each waits for the one before, so the far end sees the link rate.
  const std::int64_t start = 10 * kMs;
  std::vector<std::int64_t> leaves;
  for (int i = 0; i < 100; ++i) leaves.push_back(*link.Admit(kPacket, start));
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    EXPECT_EQ(leaves[i], start + static_cast<std::int64_t>(i + 1) * kPacketNs + 25 * kMs) << i;
  }
  EXPECT_EQ(link.Backlog(start), 100 * kPacket);
  EXPECT_EQ(link.Backlog(start + 50 * kPacketNs), 50 * kPacket);
  EXPECT_EQ(link.Backlog(start + 100 * kPacketNs), 0u);
  EXPECT_EQ(link.dropped(), 0u);
}

TEST(LinkModel, AFullQueueDropsTheTailUntilItHasDrained) {
  LinkDirection link(Shape(625'000));
  int admitted = 0;
  for (int i = 0; i < 1000; ++i) admitted += link.Admit(kPacket, 0).has_value() ? 1 : 0;
  EXPECT_EQ(admitted, 416);  // 416 x 1500 bytes fit in 625,000, one more does not
  EXPECT_EQ(link.dropped(), 584u);
  EXPECT_EQ(link.passed(), 416u);

  // 1,000 bytes were free; once 500 more have been serialised (40 us at 100 Mbit/s)
  // one more packet fits, and it leaves after all the others.
  constexpr std::int64_t kRoom = 40'000;
  EXPECT_FALSE(link.Admit(kPacket, kRoom - 1).has_value());
  EXPECT_EQ(link.Admit(kPacket, kRoom), 417 * kPacketNs + 25 * kMs);
  EXPECT_FALSE(link.Admit(kPacket, kRoom).has_value());
  // Once drained, a packet goes through as on an idle link.
  EXPECT_EQ(link.Admit(kPacket, kMs * 100), kMs * 100 + kPacketNs + 25 * kMs);
}

}  // namespace
}  // namespace krdn::bench
