#include "bench/repair/link_model.h"

#include <algorithm>
#include <cmath>

namespace krdn::bench {
namespace {

constexpr double kNsPerSecond = 1e9;

}  // namespace

std::size_t BandwidthDelayProduct(std::uint64_t bits_per_second, std::int64_t round_trip_ns) {
  return static_cast<std::size_t>(static_cast<double>(bits_per_second) / 8 * static_cast<double>(round_trip_ns) /
                                  kNsPerSecond);
}

std::int64_t LinkDirection::SerialisationNs(std::size_t bytes) const {
  const double rate = static_cast<double>(std::max<std::uint64_t>(1, shape_.bits_per_second));
  return std::llround(static_cast<double>(bytes) * 8 * kNsPerSecond / rate);
}

std::size_t LinkDirection::Backlog(std::int64_t now) const {
  if (busy_until_ <= now) return 0;
  const double bytes = static_cast<double>(busy_until_ - now) * static_cast<double>(shape_.bits_per_second) / 8 /
                       kNsPerSecond;
  // Rounded up: a packet partly on the wire still holds its place in the queue.
  return static_cast<std::size_t>(std::ceil(bytes - 1e-6));
}

std::optional<std::int64_t> LinkDirection::Admit(std::size_t bytes, std::int64_t now) {
  if (Backlog(now) + bytes > shape_.queue_bytes) {
    ++dropped_;
    return std::nullopt;
  }
  busy_until_ = std::max(busy_until_, now) + SerialisationNs(bytes);
  ++passed_;
  return busy_until_ + shape_.one_way_delay_ns;
}

}  // namespace krdn::bench
