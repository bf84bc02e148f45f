// The rate of the download pass and the time it still needs, as a console shows them.
//
// The rate is measured over the last few seconds, so that it follows the link. The time
// left is smoothed: it is estimated again at most four times a second, each estimate
// leans towards the last one less the time gone by, and no estimate is more than twice
// or less than half the one before it, so that a bursty but steady link does not make
// it jump about. Neither is known before bytes have begun to arrive.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace krdn::cli {

class TimeLeft {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kRateWindow{5};
  static constexpr std::chrono::milliseconds kEstimateInterval{250};
  // How quickly an estimate gives way to the measured one: after this long, by about
  // two thirds.
  static constexpr std::chrono::seconds kSmoothing{3};

  // The pass's byte count (received of total) at the time. A count lower than the last
  // one (a failed piece's bytes left the count) starts the rate over.
  void Update(std::uint64_t received, std::uint64_t total, Clock::time_point now);

  // Bytes a second over the rate window; nothing while no byte has arrived in it.
  std::optional<double> rate() const { return rate_; }
  // Seconds until the total is reached; nothing while there is no rate.
  std::optional<double> seconds() const { return rate_ ? estimate_ : std::nullopt; }

 private:
  std::optional<double> MeasuredRate() const;
  double Smoothed(double measured, Clock::time_point now) const;

  std::deque<std::pair<Clock::time_point, std::uint64_t>> samples_;  // within the rate window
  std::optional<double> rate_;
  // The last estimate, kept through a gap in the rate so that the next one follows on.
  std::optional<double> estimate_;
  Clock::time_point estimated_at_{};
};

}  // namespace krdn::cli
