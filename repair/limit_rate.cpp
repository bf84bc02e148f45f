#include "repair/limit_rate.h"

#include <limits>

namespace krdn {

std::optional<std::uint64_t> ParseLimitRate(std::string_view text) {
  std::uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'k': case 'K': unit = 1024; break;
      case 'm': case 'M': unit = 1024 * 1024; break;
      case 'g': case 'G': unit = 1024 * 1024 * 1024; break;
      default: break;
    }
    if (unit != 1) text.remove_suffix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (number > (kMost - digit) / 10) return std::nullopt;
    number = number * 10 + digit;
  }
  if (number > kMost / unit) return std::nullopt;
  const std::uint64_t rate = number * unit;
  if (rate < kMinLimitRate) return std::nullopt;
  return rate;
}

}  // namespace krdn
