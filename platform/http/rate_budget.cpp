#include "platform/http/rate_budget.h"

#include <algorithm>

namespace platform {

RateBudget::RateBudget(std::uint64_t bytes_per_second) : rate_(std::max<std::uint64_t>(1, bytes_per_second)) {}

RateBudget::Clock::time_point RateBudget::Take(std::size_t bytes, Clock::time_point now) {
  // In double: exact enough for any block and rate, and no product that overflows.
  const auto cost = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(static_cast<double>(bytes) / static_cast<double>(rate_)));
  std::lock_guard lock(mutex_);
  // An idle budget saves nothing up: a long pause is no licence for a burst afterwards.
  paid_until_ = std::max(paid_until_, now) + cost;
  return paid_until_ - kAllowance;
}

std::size_t RateBudget::BlockBytes() const {
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(rate_ / 16, kMinBlock, kMaxBlock));
}

}  // namespace platform
