// The console front-end's progress line: what it says, and how often it is redrawn.
#include "tools/repair-cli/progress_line.h"

#include <gtest/gtest.h>

namespace krdn::cli {
namespace {

using namespace std::chrono_literals;
constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(ProgressLine, SaysBytesOfTheTotalTheRateAndTheTimeLeft) {
  EXPECT_EQ(ProgressLine::Format(0, 256 * kMiB, std::nullopt), "0.0 MiB of 256.0 MiB");
  EXPECT_EQ(ProgressLine::Format(64 * kMiB, 256 * kMiB, 8.0 * kMiB), "64.0 MiB of 256.0 MiB, 8.0 MiB/s, 0:24 left");
  EXPECT_EQ(ProgressLine::Format(0, 30000 * kMiB, 2.0 * kMiB), "0.0 MiB of 30000.0 MiB, 2.0 MiB/s, 4:10:00 left");
  EXPECT_EQ(ProgressLine::Format(10, 10, 1.0), "0.0 MiB of 0.0 MiB, 0.0 MiB/s, 0:00 left");
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

}  // namespace
}  // namespace krdn::cli
