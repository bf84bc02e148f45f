// The limits of one hop (HttpLimits): when it was sent, when its answer came, what has
// arrived since, and which rule it breaks.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/http/http.h"

namespace platform {

class HopClock {
 public:
  using Clock = std::chrono::steady_clock;

  // `wire_keeps_connect_timeout`: the wire fails a connection that takes too long, so
  // the stall timeout counts from the moment the hop is sent. Otherwise making the
  // connection and waiting for the answer are one call of the wire's library, and may
  // together take what the two limits allow one after the other.
  HopClock(const HttpLimits& limits, bool wire_keeps_connect_timeout)
      : limits_(limits), wire_keeps_connect_timeout_(wire_keeps_connect_timeout) {}

  // A hop was put on the wire: every clock starts again.
  void Sent(Clock::time_point now);
  void Answered(Clock::time_point now);
  void Arrived(Clock::time_point now, std::size_t bytes);
  // The hop is held back by the session's rate cap from `now` to `until`: that time is
  // the cap's, not the server's, and counts towards no limit.
  void HeldBack(Clock::time_point now, Clock::time_point until);

  // The rule the hop breaks at `now`: its failure text. Nothing when it breaks none; a
  // slow window that has passed with enough bytes is followed by the next.
  std::optional<std::string_view> Check(Clock::time_point now);
  // When Check may next find a rule broken, unless more arrives meanwhile.
  Clock::time_point NextCheck() const;

 private:
  bool AwaitsConnectionAndAnswer() const { return !answered_ && !wire_keeps_connect_timeout_; }

  HttpLimits limits_;
  bool wire_keeps_connect_timeout_;
  bool answered_ = false;
  Clock::time_point sent_{};
  Clock::time_point last_arrival_{};
  Clock::time_point window_start_{};
  std::size_t window_bytes_ = 0;
};

}  // namespace platform
