// The session core's own rules, without a wire: the limits of a hop and the rate cap's
// budget over a clock the test moves, and where a redirect may lead.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "platform/http/hop_clock.h"
#include "platform/http/rate_budget.h"
#include "platform/http/redirects.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = HopClock::Clock;

constexpr HttpLimits kLimits{.connect_timeout = 1000ms, .stall_timeout = 2000ms, .slow_min_bytes = 100,
                             .slow_window = 10000ms};

TEST(HopClock, ATransferThatCannotTellConnectingFromWaitingGetsBothLimitsForItsAnswer) {
  const Clock::time_point start{};
  HopClock curl_like(kLimits, true);
  curl_like.Sent(start);
  EXPECT_FALSE(curl_like.Check(start + 2000ms));
  EXPECT_EQ(curl_like.Check(start + 2001ms), "nothing arrived for the stall timeout");

  HopClock wininet_like(kLimits, false);
  wininet_like.Sent(start);
  EXPECT_FALSE(wininet_like.Check(start + 2500ms));
  EXPECT_EQ(wininet_like.Check(start + 3001ms), "no answer within the connect and stall timeouts");
  EXPECT_LE(wininet_like.NextCheck(), start + 3001ms);

  // Once answered, the stall timeout counts from the answer on both.
  wininet_like.Sent(start);
  wininet_like.Answered(start + 2900ms);
  EXPECT_FALSE(wininet_like.Check(start + 4800ms));
  EXPECT_EQ(wininet_like.Check(start + 4901ms), "nothing arrived for the stall timeout");
}

TEST(HopClock, EachSlowWindowMustBringItsBytesAndASentHopStartsAfresh) {
  const Clock::time_point start{};
  HopClock clock(kLimits, true);
  clock.Sent(start);
  clock.Answered(start);
  for (int second = 1; second <= 9; ++second) {
    clock.Arrived(start + second * 1000ms, 12);  // 108 bytes in the first window
    ASSERT_FALSE(clock.Check(start + second * 1000ms));
  }
  EXPECT_FALSE(clock.Check(start + 10000ms)) << "enough in the first window";
  EXPECT_EQ(clock.NextCheck(), start + 11001ms) << "the stall timeout after the last byte comes first";
  for (int second = 11; second <= 19; ++second) {
    clock.Arrived(start + second * 1000ms, 10);  // 90 bytes in the second
    ASSERT_FALSE(clock.Check(start + second * 1000ms));
  }
  EXPECT_EQ(clock.Check(start + 20000ms), "the answer arrives too slowly");

  clock.Sent(start + 30000ms);  // the next hop of a redirect
  EXPECT_FALSE(clock.Check(start + 31000ms));
}

TEST(HopClock, TimeHeldBackByTheRateCapCountsTowardsNoLimit) {
  const Clock::time_point start{};
  HopClock clock(kLimits, true);
  clock.Sent(start);
  clock.Answered(start);
  clock.Arrived(start + 100ms, 10);
  clock.HeldBack(start + 100ms, start + 5100ms);  // far beyond the stall timeout
  EXPECT_FALSE(clock.Check(start + 7000ms));
  EXPECT_EQ(clock.Check(start + 7101ms), "nothing arrived for the stall timeout") << "counted from the hold's end";

  // The slow window is moved on by the hold too: 10 bytes in 10 s of the server's time
  // fail it, whatever time the cap took besides.
  HopClock slow(kLimits, true);
  slow.Sent(start);
  slow.Answered(start);
  slow.Arrived(start + 1000ms, 10);
  slow.HeldBack(start + 1000ms, start + 9000ms);
  for (auto at = 10000ms; at < 18000ms; at += 1500ms) slow.Arrived(start + at, 1);
  EXPECT_FALSE(slow.Check(start + 17999ms)) << "the window began again 8 s later";
  EXPECT_EQ(slow.Check(start + 18000ms), "the answer arrives too slowly");
}

// Hops that each read a block as soon as the budget lets them, over a clock of the
// test's: the bytes taken over any span keep to the rate within the allowance and one
// block per hop, and none is starved.
TEST(RateBudget, HopsReadingInTurnKeepTheirSumToTheRate) {
  constexpr std::uint64_t kRate = 1 << 20;
  RateBudget budget(kRate);
  const std::size_t block = budget.BlockBytes();
  EXPECT_EQ(block, kRate / 16);
  const Clock::time_point start{};
  std::array<Clock::time_point, 4> next{start, start, start, start};
  std::array<std::uint64_t, 4> taken{};
  std::vector<std::pair<Clock::time_point, std::uint64_t>> reads;
  for (;;) {
    const auto hop = static_cast<std::size_t>(std::min_element(next.begin(), next.end()) - next.begin());
    // Each wake-up a little late, as a busy machine's are.
    const Clock::time_point now = next[hop] + 3ms;
    if (now > start + 30s) break;
    reads.emplace_back(now, block);
    taken[hop] += block;
    next[hop] = budget.Take(block, now);
    EXPECT_GE(next[hop], now - RateBudget::kAllowance);
  }
  std::uint64_t total = 0;
  for (const std::uint64_t bytes : taken) total += bytes;
  EXPECT_GE(total, kRate * 30 * 99 / 100);
  EXPECT_LE(total, kRate * 30 + kRate / 20 + 4 * block);
  for (const std::uint64_t bytes : taken) EXPECT_GE(bytes, total / 4 - 2 * block) << "each hop gets its share";

  // Over every span of one second, the same bound.
  for (std::size_t first = 0; first < reads.size(); ++first) {
    std::uint64_t within = 0;
    for (std::size_t i = first; i < reads.size() && reads[i].first < reads[first].first + 1s; ++i) {
      within += reads[i].second;
    }
    ASSERT_LE(within, kRate + kRate / 20 + 4 * block) << "the second from read " << first;
  }
}

TEST(RateBudget, AnIdleBudgetSavesNothingUpAndBlocksStayWithinTheirBounds) {
  RateBudget budget(64 * 1024);
  const Clock::time_point start{};
  EXPECT_EQ(budget.Take(32 * 1024, start), start + 500ms - RateBudget::kAllowance);
  // Ten seconds idle: the next second's worth still takes a second.
  EXPECT_EQ(budget.Take(64 * 1024, start + 10s), start + 11s - RateBudget::kAllowance);
  EXPECT_EQ(budget.Take(64 * 1024, start + 10s), start + 12s - RateBudget::kAllowance) << "taken while paying";

  EXPECT_EQ(budget.BlockBytes(), 4096u);
  EXPECT_EQ(RateBudget(1024).BlockBytes(), RateBudget::kMinBlock);
  EXPECT_EQ(RateBudget(std::uint64_t{1} << 40).BlockBytes(), RateBudget::kMaxBlock);
}

TEST(Redirects, OnlyTheFiveRedirectStatusesWithALocationAreFollowedWhereTheyMayGo) {
  for (const long status : {301L, 302L, 303L, 307L, 308L}) {
    EXPECT_TRUE(IsFollowedRedirect({.status = status, .has_location = true, .location = "http://b/x"}));
    EXPECT_FALSE(IsFollowedRedirect({.status = status, .has_location = false}));
  }
  for (const long status : {300L, 304L, 305L, 200L, 404L}) {
    EXPECT_FALSE(IsFollowedRedirect({.status = status, .has_location = true, .location = "http://b/x"}));
  }

  const auto to = [](std::string location) { return WireAnswer{.status = 302, .has_location = true, .location = location}; };
  EXPECT_EQ(RedirectRefusal("http://a/x", to("https://b/y"), 4, 5), std::nullopt);
  EXPECT_EQ(RedirectRefusal("HTTPS://a/x", to("Https://b/y"), 0, 5), std::nullopt);
  EXPECT_EQ(RedirectRefusal("http://a/x", to("http://b/y"), 5, 5), "too many redirects");
  EXPECT_EQ(RedirectRefusal("http://a/x", to(""), 0, 5), "a redirect to an unusable location");
  EXPECT_EQ(RedirectRefusal("http://a/x", to("ftp://b/y"), 0, 5), "a redirect to another scheme");
  EXPECT_EQ(RedirectRefusal("https://a/x", to("http://a/x"), 0, 5), "a redirect from https down to http");
}

}  // namespace
}  // namespace platform
