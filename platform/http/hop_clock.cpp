#include "platform/http/hop_clock.h"

#include <algorithm>

namespace platform {

void HopClock::Sent(Clock::time_point now) {
  answered_ = false;
  sent_ = last_arrival_ = window_start_ = now;
  window_bytes_ = 0;
}

void HopClock::Answered(Clock::time_point now) {
  answered_ = true;
  last_arrival_ = now;
}

void HopClock::Arrived(Clock::time_point now, std::size_t bytes) {
  last_arrival_ = now;
  window_bytes_ += bytes;
}

void HopClock::HeldBack(Clock::time_point now, Clock::time_point until) {
  if (until <= now) return;
  last_arrival_ = std::max(last_arrival_, until);
  window_start_ += until - now;
}

std::optional<std::string_view> HopClock::Check(Clock::time_point now) {
  if (AwaitsConnectionAndAnswer()) {
    if (now - sent_ > limits_.connect_timeout + limits_.stall_timeout) {
      return "no answer within the connect and stall timeouts";
    }
  } else if (now - last_arrival_ > limits_.stall_timeout) {
    return "nothing arrived for the stall timeout";
  }
  if (now - window_start_ >= limits_.slow_window) {
    if (window_bytes_ < limits_.slow_min_bytes) return "the answer arrives too slowly";
    window_start_ = now;
    window_bytes_ = 0;
  }
  return std::nullopt;
}

HopClock::Clock::time_point HopClock::NextCheck() const {
  // Just past each limit: the rules break only once a limit has been exceeded.
  constexpr auto kPast = std::chrono::milliseconds(1);
  const Clock::time_point quiet = AwaitsConnectionAndAnswer()
                                      ? sent_ + limits_.connect_timeout + limits_.stall_timeout
                                      : last_arrival_ + limits_.stall_timeout;
  return std::min(quiet + kPast, window_start_ + limits_.slow_window);
}

}  // namespace platform
