// The console front-end's progress line: what it says, and how often it is redrawn;
// and the time left it shows, smoothed.
#include "tools/repair-cli/progress_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/repair-cli/time_left.h"

namespace krdn::cli {
namespace {

using namespace std::chrono_literals;
constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(ProgressLine, SaysBytesOfTheTotalTheRateAndTheTimeLeft) {
  EXPECT_EQ(ProgressLine::Format(0, 256 * kMiB, std::nullopt, std::nullopt), "0.0 MiB of 256.0 MiB");
  EXPECT_EQ(ProgressLine::Format(64 * kMiB, 256 * kMiB, 8.0 * kMiB, 23.2),
            "64.0 MiB of 256.0 MiB, 8.0 MiB/s, 0:24 left");
  EXPECT_EQ(ProgressLine::Format(0, 30000 * kMiB, 2.0 * kMiB, 15000.0),
            "0.0 MiB of 30000.0 MiB, 2.0 MiB/s, 4:10:00 left");
  EXPECT_EQ(ProgressLine::Format(10, 10, 1.0, 0.0), "0.0 MiB of 0.0 MiB, 0.0 MiB/s, 0:00 left");
  EXPECT_EQ(ProgressLine::Format(kMiB, 2 * kMiB, 0.0, 10.0), "1.0 MiB of 2.0 MiB") << "no rate, no time left";
}

TEST(ProgressLine, RedrawsAtMostFourTimesASecondButAlwaysShowsTheEnd) {
  ProgressLine line;
  const auto start = ProgressLine::Clock::time_point{} + 100s;
  int drawn = 0;
  for (int ms = 0; ms < 1000; ms += 10) {
    if (line.Bytes(static_cast<std::uint64_t>(ms) * 1000, 10 * kMiB, start + std::chrono::milliseconds(ms))) ++drawn;
  }
  EXPECT_EQ(drawn, 4);
  const auto last = line.Bytes(10 * kMiB, 10 * kMiB, start + 1001ms);
  ASSERT_TRUE(last.has_value()) << "the last count is drawn even right after another";
  EXPECT_EQ(last->rfind("10.0 MiB of 10.0 MiB", 0), 0u);
  EXPECT_FALSE(line.Text("校验文件：\\a.bin", start + 1002ms).has_value());
  EXPECT_TRUE(line.Text("校验文件：\\b.bin", start + 1300ms).has_value());
}

TEST(ProgressLine, TheRateFollowsTheLastSecondsAndStartsOverWhenBytesAreDropped) {
  ProgressLine line;
  const auto start = ProgressLine::Clock::time_point{} + 100s;
  // 1 MiB/s for ten seconds, then 4 MiB/s: after five more seconds only the new pace counts.
  std::uint64_t bytes = 0;
  for (int s = 0; s <= 10; ++s, bytes += kMiB) line.Bytes(bytes, 1000 * kMiB, start + std::chrono::seconds(s));
  std::optional<std::string> shown;
  for (int s = 11; s <= 16; ++s, bytes += 4 * kMiB) shown = line.Bytes(bytes, 1000 * kMiB, start + std::chrono::seconds(s));
  ASSERT_TRUE(shown.has_value());
  EXPECT_NE(shown->find(", 4.0 MiB/s,"), std::string::npos) << *shown;

  // A failed piece takes its bytes out of the count: no rate until the count grows again.
  const auto dropped = line.Bytes(bytes - 7 * kMiB, 1000 * kMiB, start + 17s);
  ASSERT_TRUE(dropped.has_value());
  EXPECT_EQ(dropped->find("MiB/s"), std::string::npos) << *dropped;
}

TEST(ProgressLine, TheTimeLeftIsTheSmoothedEstimate) {
  ProgressLine line;
  const auto start = ProgressLine::Clock::time_point{} + 100s;
  std::optional<std::string> shown;
  for (int s = 0; s <= 20; ++s) shown = line.Bytes(static_cast<std::uint64_t>(s) * kMiB, 100 * kMiB, start + std::chrono::seconds(s));
  ASSERT_TRUE(shown.has_value());
  EXPECT_NE(shown->find(", 1.0 MiB/s, 1:20 left"), std::string::npos) << *shown;
}

// Time-left estimates of a run fed its byte count every quarter of a second.
struct Feed {
  TimeLeft time_left{};
  TimeLeft::Clock::time_point now = TimeLeft::Clock::time_point{} + 1000s;
  std::uint64_t received = 0;
  std::uint64_t total = 0;
  std::vector<double> estimates{};  // one per update that had one

  // Bytes a second for the seconds given; each quarter second's bytes come as given by
  // the burst pattern (a steady link delivers whole blocks, not an even trickle).
  void Run(double seconds, double bytes_per_second, const std::vector<double>& burst = {1.0}) {
    const int steps = static_cast<int>(seconds * 4);
    for (int step = 0; step < steps; ++step) {
      now += 250ms;
      const double share = burst[static_cast<std::size_t>(step) % burst.size()];
      received = std::min(total, received + static_cast<std::uint64_t>(bytes_per_second / 4 * share));
      time_left.Update(received, total, now);
      if (time_left.seconds()) estimates.push_back(*time_left.seconds());
    }
  }

  // The largest factor between two estimates in a row, from the one at `from` on.
  double LargestJump(std::size_t from = 0) const {
    double largest = 1.0;
    for (std::size_t i = from + 1; i < estimates.size(); ++i) {
      if (estimates[i] < 1.0 || estimates[i - 1] < 1.0) continue;
      largest = std::max(largest, std::max(estimates[i] / estimates[i - 1], estimates[i - 1] / estimates[i]));
    }
    return largest;
  }
};

TEST(TimeLeft, NothingIsShownBeforeTheFirstBytesArrive) {
  Feed feed{.total = 100 * kMiB};
  feed.time_left.Update(0, feed.total, feed.now);
  feed.Run(3, 0);  // connecting: the pass has begun, no byte has come
  EXPECT_TRUE(feed.estimates.empty());
  EXPECT_FALSE(feed.time_left.rate().has_value());
  feed.Run(1, kMiB);
  ASSERT_FALSE(feed.estimates.empty()) << "shown once bytes arrive";
  EXPECT_TRUE(feed.time_left.rate().has_value());
}

TEST(TimeLeft, ASteadyButBurstyLinkGivesAnEstimateThatNeitherJumpsNorStraysFromTheTruth) {
  // 2 MiB/s delivered in bursts: three quarter seconds of nothing, then a second's worth.
  Feed feed{.total = 400 * kMiB};
  feed.time_left.Update(0, feed.total, feed.now);
  feed.Run(120, 2.0 * kMiB, {0.0, 0.0, 0.0, 4.0});
  ASSERT_GT(feed.estimates.size(), 400u);
  EXPECT_LE(feed.LargestJump(), 2.0);
  // Once the rate window has filled, close to the truth: (400 - 240) MiB at 2 MiB/s.
  EXPECT_NEAR(feed.estimates.back(), 80.0, 8.0);
  for (std::size_t i = 40; i < feed.estimates.size(); ++i) {
    const double truth = static_cast<double>(feed.estimates.size() - i) / 4.0 + 80.0;
    EXPECT_NEAR(feed.estimates[i], truth, truth * 0.25) << "update " << i;
  }
  feed.Run(100, 2.0 * kMiB);
  EXPECT_EQ(feed.received, feed.total);
  EXPECT_EQ(feed.estimates.back(), 0.0) << "done";
}

TEST(TimeLeft, AChangeOfRateIsFollowedWithinSecondsButNeverByMoreThanAFactorOfTwoAtATime) {
  Feed feed{.total = 1000 * kMiB};
  feed.time_left.Update(0, feed.total, feed.now);
  feed.Run(20, 10.0 * kMiB);  // 200 MiB in
  const std::size_t slowed = feed.estimates.size();
  EXPECT_NEAR(feed.estimates.back(), 80.0, 8.0);
  feed.Run(20, 1.0 * kMiB);  // a tenth of the pace: 780 MiB left after these 20 s
  EXPECT_LE(feed.LargestJump(slowed - 1), 2.0);
  EXPECT_NEAR(feed.estimates.back(), 780.0, 780.0 * 0.15) << "follows the new pace";
  const std::size_t sped_up = feed.estimates.size();
  feed.Run(20, 20.0 * kMiB);  // back up, twenty times the pace: 380 MiB left
  EXPECT_LE(feed.LargestJump(sped_up - 1), 2.0);
  EXPECT_NEAR(feed.estimates.back(), 19.0, 19.0 * 0.15);
}

TEST(TimeLeft, DroppedBytesHideTheEstimateUntilTheCountGrowsAgainAndItGoesOnFromTheLastOne) {
  Feed feed{.total = 100 * kMiB};
  feed.Run(10, kMiB);
  ASSERT_TRUE(feed.time_left.seconds().has_value());
  const double before = *feed.time_left.seconds();
  feed.received -= 2 * kMiB;  // a failed piece
  feed.time_left.Update(feed.received, feed.total, feed.now);
  EXPECT_FALSE(feed.time_left.seconds().has_value());
  EXPECT_FALSE(feed.time_left.rate().has_value());
  feed.estimates.clear();
  // The retried piece's first bytes come in one burst: measured over a quarter second,
  // the rate is four times the link's.
  feed.Run(2, kMiB, {4.0, 0.0, 0.0, 0.0});
  ASSERT_FALSE(feed.estimates.empty());
  EXPECT_LE(std::max(feed.estimates.front() / before, before / feed.estimates.front()), 2.0)
      << "before " << before << ", after " << feed.estimates.front();
  EXPECT_LE(feed.LargestJump(), 2.0);
}

}  // namespace
}  // namespace krdn::cli
