#include "platform/io/sleep.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(Sleep, RunsItsCourseOrWakesOnAStopRequest) {
  std::stop_source quiet;
  EXPECT_TRUE(platform::SleepFor(std::chrono::milliseconds(5), quiet.get_token()));

  std::stop_source stop;
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.request_stop();
  });
  // An hour-long sleep that must end when the stop arrives, or the test times out.
  EXPECT_FALSE(platform::SleepFor(std::chrono::hours(1), stop.get_token()));
  waker.join();

  std::stop_source already;
  already.request_stop();
  EXPECT_FALSE(platform::SleepFor(std::chrono::hours(1), already.get_token()));
}

}  // namespace
