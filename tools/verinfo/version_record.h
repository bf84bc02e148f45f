// The platform's binary version record: a fixed block of version numbers and a string
// table (language 0x0804, code page 1200) with a translation entry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace verinfo {

struct VersionFields {
  // Name and value pairs of the string table, in order.
  std::vector<std::pair<std::u16string, std::u16string>> strings;
  std::array<std::uint16_t, 4> file_version{};
  std::array<std::uint16_t, 4> product_version{};
};

// Reads "name=value" lines (UTF-8, '#' comments). The fixed numbers come from
// FileVersion and ProductVersion ("1, 0, 0, 1"). Nothing when a line is malformed.
std::optional<VersionFields> ParseVersionText(const std::string& text, std::string* error);

std::vector<std::uint8_t> BuildVersionRecord(const VersionFields& fields);

}  // namespace verinfo
