#include "tools/repair-cli/time_left.h"

#include <algorithm>
#include <cmath>

namespace krdn::cli {

void TimeLeft::Update(std::uint64_t received, std::uint64_t total, Clock::time_point now) {
  if (!samples_.empty() && received < samples_.back().second) samples_.clear();
  samples_.emplace_back(now, received);
  while (samples_.size() > 2 && now - samples_.front().first > kRateWindow) samples_.pop_front();
  rate_ = MeasuredRate();
  if (!rate_) return;

  const std::uint64_t left = total > received ? total - received : 0;
  if (left == 0) {
    estimate_ = 0.0;
    estimated_at_ = now;
    return;
  }
  if (estimate_ && now - estimated_at_ < kEstimateInterval) return;
  const double measured = static_cast<double>(left) / *rate_;
  estimate_ = estimate_ ? Smoothed(measured, now) : measured;
  estimated_at_ = now;
}

std::optional<double> TimeLeft::MeasuredRate() const {
  if (samples_.size() < 2) return std::nullopt;
  const auto& [first_time, first_bytes] = samples_.front();
  const auto& [last_time, last_bytes] = samples_.back();
  const double seconds = std::chrono::duration<double>(last_time - first_time).count();
  if (seconds <= 0 || last_bytes <= first_bytes) return std::nullopt;
  return static_cast<double>(last_bytes - first_bytes) / seconds;
}

double TimeLeft::Smoothed(double measured, Clock::time_point now) const {
  const double elapsed = std::chrono::duration<double>(now - estimated_at_).count();
  const double previous = *estimate_;
  const double expected = std::max(0.0, previous - elapsed);
  const double weight = 1.0 - std::exp(-elapsed / std::chrono::duration<double>(kSmoothing).count());
  const double blended = expected + weight * (measured - expected);
  // Below a second the factor means nothing: the last estimate may still rise to one.
  return std::clamp(blended, previous / 2.0, std::max(previous * 2.0, 1.0));
}

}  // namespace krdn::cli
