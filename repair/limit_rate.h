// The rate cap as users write it, in curl's spelling: a whole number of bytes a second,
// optionally followed by K, M or G (either case) for 1024, 1024² or 1024³ of them, e.g.
// "500K" or "2m". The console front-end takes it as --limit-rate, the window from the
// variable KRDN_LIMIT_RATE.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace krdn {

// The least cap taken: each connection must be read often enough that the server does
// not give up on it.
inline constexpr std::uint64_t kMinLimitRate = 1024;

// The bytes a second `text` stands for; nothing when it is no such text, is below
// kMinLimitRate, or does not fit in 64 bits.
std::optional<std::uint64_t> ParseLimitRate(std::string_view text);

// What a rate takes, for messages about a text that is none.
inline constexpr char kLimitRateSpelling[] =
    "bytes a second, a whole number with an optional K, M or G (e.g. 500K or 2M), at least 1K";

}  // namespace krdn
