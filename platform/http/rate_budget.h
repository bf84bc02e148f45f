// The session's rate cap: one budget of bytes a second shared by every transfer of the
// session, whatever its host or connection.
//
// Each block of a body is paid for as it is taken; a hop that has taken a block reads
// its next one no sooner than the budget has been paid back to the moment it allows. The
// budget keeps the time at which everything taken so far is paid for at the rate (a
// virtual clock, ahead of the real one while the transfers are held back), and lets a
// hop read again once that time is no further ahead than a small allowance. So over any
// span the bytes taken stay within rate × (span + allowance) plus one block for each hop,
// and when several hops wait, each reads in turn.
//
// The blocks themselves are kept small for a low rate (BlockBytes), so that no hop has
// to wait long between two reads: a server closes a connection from which nothing has
// been read for a while.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace platform {

class RateBudget {
 public:
  using Clock = std::chrono::steady_clock;

  // The least and the most a hop reads at once under a cap.
  static constexpr std::size_t kMinBlock = 1024;
  static constexpr std::size_t kMaxBlock = 256 * 1024;
  // How far ahead of the real clock the budget lets a hop read: lateness of the hops'
  // own wake-ups is made up within it instead of being lost.
  static constexpr std::chrono::milliseconds kAllowance{50};

  // `bytes_per_second` > 0.
  explicit RateBudget(std::uint64_t bytes_per_second);

  std::uint64_t bytes_per_second() const { return rate_; }

  // Pays for `bytes` taken at `now`: the time before which the hop that took them is not
  // to read again (`now` or earlier when it may go on at once).
  Clock::time_point Take(std::size_t bytes, Clock::time_point now);

  // How much a hop reads at once: about a sixteenth of a second's worth, within
  // kMinBlock and kMaxBlock.
  std::size_t BlockBytes() const;

 private:
  const std::uint64_t rate_;
  std::mutex mutex_;
  Clock::time_point paid_until_{};  // under mutex_
};

}  // namespace platform
