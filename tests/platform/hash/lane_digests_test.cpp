// Many bodies digested side by side in the lanes of a vector kernel, while they arrive.
#include "platform/hash/lane_digests.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "platform/hash/md5.h"

namespace {

// Bodies for the lanes: each grows by its own plan of block sizes, on a thread of its
// own, so that the lanes fill unevenly and the helper, Finish and the receivers overlap.
struct LaneBody {
  std::vector<std::size_t> plan;
  std::vector<std::uint8_t> bytes{};
  std::size_t total() const {
    std::size_t sum = 0;
    for (const std::size_t block : plan) sum += block;
    return sum;
  }
};

void Receive(platform::LaneDigests& digests, std::size_t lane, LaneBody& body, std::uint8_t seed) {
  std::uint8_t value = seed;
  for (const std::size_t block : body.plan) {
    for (std::size_t i = 0; i < block; ++i) body.bytes.push_back(value = static_cast<std::uint8_t>(value * 13 + 7));
    digests.Published(lane, body.bytes.size());
  }
}

bool LanesRun() { return platform::Md5KernelSupported(platform::Md5Kernel::kAvx2); }

TEST(LaneDigests, EveryBodyGetsItsOwnDigestWhateverTheArrivalPattern) {
  if (!LanesRun()) GTEST_SKIP() << "no vector MD5 kernel on this processor";
  ASSERT_EQ(platform::BindMd5(), 0);
  const std::size_t step = platform::LaneDigests::kWakeStep;
  // One body far ahead of the others, one that never arrives, one single-byte blocks,
  // bodies crossing the wake step at different moments, one not a whole MD5 block.
  std::vector<LaneBody> bodies = {
      {.plan = {step * 3 + 5}},
      {.plan = {}},
      {.plan = std::vector<std::size_t>(3000, 1)},
      {.plan = std::vector<std::size_t>(40, 65536)},
      {.plan = {step - 1, 1, step / 2, 63}},
      {.plan = std::vector<std::size_t>(25, 100003)},
      {.plan = {64, 64, step * 2}},
      {.plan = {1}},
  };
  platform::LaneDigests digests(platform::Md5Kernel::kAvx2);
  ASSERT_EQ(digests.lanes(), 8u);
  for (int round = 0; round < 2; ++round) {  // the second round reuses the freed lanes
    std::vector<std::size_t> lanes;
    for (LaneBody& body : bodies) {
      body.bytes.clear();
      body.bytes.reserve(body.total());
      const std::optional<std::size_t> lane = digests.Attach(body.bytes.data());
      ASSERT_TRUE(lane);
      lanes.push_back(*lane);
    }
    EXPECT_FALSE(digests.Attach(nullptr)) << "every lane is taken";
    std::vector<std::thread> receivers;
    for (std::size_t i = 0; i < bodies.size(); ++i) {
      receivers.emplace_back(Receive, std::ref(digests), lanes[i], std::ref(bodies[i]), static_cast<std::uint8_t>(i + round));
    }
    // Finished in an order of their own, each once its receiver is done, while the
    // others may still be arriving.
    for (const std::size_t i : {3u, 0u, 7u, 1u, 5u, 2u, 6u, 4u}) {
      receivers[i].join();
      EXPECT_EQ(digests.Finish(lanes[i], bodies[i].bytes.size()), platform::Md5(bodies[i].bytes))
          << "round " << round << ", body " << i << " of " << bodies[i].total() << " bytes";
    }
  }
}

TEST(LaneDigests, AReleasedLaneStartsItsNextBodyAfresh) {
  if (!LanesRun()) GTEST_SKIP() << "no vector MD5 kernel on this processor";
  ASSERT_EQ(platform::BindMd5(), 0);
  platform::LaneDigests digests(platform::Md5Kernel::kAvx2);
  const std::size_t size = platform::LaneDigests::kWakeStep * 2 + 100;
  std::vector<std::uint8_t> dropped(size, 0x5a), other(size, 0x33), next(size, 0xc1);
  const std::size_t lane = *digests.Attach(dropped.data());
  const std::size_t other_lane = *digests.Attach(other.data());
  // Both half there: enough company for the helper to have digested some of each.
  digests.Published(lane, size / 2);
  digests.Published(other_lane, size / 2);
  digests.Release(lane);
  dropped.assign(size, 0);  // no longer read
  EXPECT_EQ(*digests.Attach(next.data()), lane) << "the freed lane is taken again";
  digests.Published(lane, size);
  EXPECT_EQ(digests.Finish(lane, size), platform::Md5(next));
  EXPECT_EQ(digests.Finish(other_lane, size), platform::Md5(other));
}

}  // namespace
