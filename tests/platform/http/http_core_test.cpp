// The session core's own rules, without a wire: the limits of a hop over a clock the
// test moves, and where a redirect may lead.
#include <gtest/gtest.h>

#include "platform/http/hop_clock.h"
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
