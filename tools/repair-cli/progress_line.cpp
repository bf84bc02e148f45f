#include "tools/repair-cli/progress_line.h"

#include <cmath>
#include <cstdio>

namespace krdn::cli {
namespace {

std::string Mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

std::string Duration(double seconds) {
  const auto whole = static_cast<std::uint64_t>(std::ceil(seconds));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(whole / 3600),
                  static_cast<unsigned long long>(whole / 60 % 60), static_cast<unsigned long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(whole / 60),
                  static_cast<unsigned long long>(whole % 60));
  }
  return text;
}

}  // namespace

std::string ProgressLine::Format(std::uint64_t received, std::uint64_t total, std::optional<double> bytes_per_second,
                                 std::optional<double> seconds_left) {
  std::string line = Mebibytes(received) + " of " + Mebibytes(total);
  if (bytes_per_second && *bytes_per_second > 0) {
    line += ", " + Mebibytes(static_cast<std::uint64_t>(*bytes_per_second)) + "/s";
    if (seconds_left) line += ", " + Duration(*seconds_left) + " left";
  }
  return line;
}

bool ProgressLine::Due(Clock::time_point now) {
  if (last_draw_ && now - *last_draw_ < kRedrawInterval) return false;
  last_draw_ = now;
  return true;
}

std::optional<std::string> ProgressLine::Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now) {
  time_left_.Update(received, total, now);
  if (!Due(now) && received != total) return std::nullopt;
  return Format(received, total, time_left_.rate(), time_left_.seconds());
}

std::optional<std::string> ProgressLine::Text(const std::string& text, Clock::time_point now) {
  if (!Due(now)) return std::nullopt;
  return text;
}

}  // namespace krdn::cli
