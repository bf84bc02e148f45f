// One direction of an emulated wide-area link, as the wide-area benchmark's relay
// shapes it: packets are serialised at the link rate one behind the other, then travel
// for the one-way delay. A packet that arrives while more than the queue limit is
// still waiting to be serialised is dropped, as a router's drop-tail queue drops it.
//
// Times are nanoseconds of one monotonic clock; the model keeps no clock of its own,
// so it can be driven by the relay's clock or by a test's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace krdn::bench {

struct LinkShape {
  std::uint64_t bits_per_second = 100'000'000;
  std::int64_t one_way_delay_ns = 25'000'000;
  std::size_t queue_bytes = 625'000;  // what may wait to be serialised
};

// The bytes a link of this rate carries in one round trip of twice the one-way delay:
// the queue a drop-tail router of one bandwidth-delay product holds.
std::size_t BandwidthDelayProduct(std::uint64_t bits_per_second, std::int64_t round_trip_ns);

class LinkDirection {
 public:
  explicit LinkDirection(const LinkShape& shape) : shape_(shape) {}

  // A packet of `bytes` arrives at `now`: the moment it leaves the far end, or nothing
  // when the queue is full and it is dropped. Arrival times must not go backwards.
  std::optional<std::int64_t> Admit(std::size_t bytes, std::int64_t now);

  // Bytes still waiting to be serialised at `now` (the one on the wire counts in full).
  std::size_t Backlog(std::int64_t now) const;

  std::uint64_t dropped() const { return dropped_; }
  std::uint64_t passed() const { return passed_; }

 private:
  std::int64_t SerialisationNs(std::size_t bytes) const;

  const LinkShape shape_;
  std::int64_t busy_until_ = 0;  // when the last admitted packet is fully serialised
  std::uint64_t dropped_ = 0;
  std::uint64_t passed_ = 0;
};

}  // namespace krdn::bench
