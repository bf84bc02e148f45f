// The console front-end's one line on a terminal: during the download pass the bytes
// received of the total, the rate and the time left; before it, the run's transient
// text (the file being verified). Redrawn at most four times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/repair-cli/time_left.h"

namespace krdn::cli {

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kRedrawInterval{250};

  // The line to draw now, or nothing when the last one was drawn less than the redraw
  // interval ago (the last byte count is always drawn).
  std::optional<std::string> Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now);
  std::optional<std::string> Text(const std::string& text, Clock::time_point now);

  // "12.5 MiB of 256.0 MiB, 10.2 MiB/s, 0:24 left"; the rate and the time left are
  // left out while there is no rate yet.
  static std::string Format(std::uint64_t received, std::uint64_t total, std::optional<double> bytes_per_second,
                            std::optional<double> seconds_left);

 private:
  bool Due(Clock::time_point now);

  std::optional<Clock::time_point> last_draw_;
  TimeLeft time_left_;
};

}  // namespace krdn::cli
