// Small text helpers shared by the toolkit: case folding of markup names, number
// reading from UTF-16 text, splitting at a separator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace LOOM {

// Folds A-Z (and Latin-1 capitals) to lower case; markup names are matched this way.
char16_t FoldCase(char16_t c);
std::u16string ToLower(std::u16string_view s);
std::u16string ToUpper(std::u16string_view s);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix);

// Splits at every occurrence of sep; "a,,b" gives three parts, "" gives one empty part.
std::vector<std::u16string> Split(std::u16string_view s, char16_t sep);
// Splits at the first occurrence of sep: one part when absent, two otherwise.
std::vector<std::u16string> SplitFirst(std::u16string_view s, char16_t sep);
std::u16string_view Trim(std::u16string_view s);

// Integer reading as the C library does it ("%d", strtol base 0 when hex is allowed):
// leading blanks, optional sign, digits; stops at the first non-digit. Returns nullopt
// when no digit was read. Overflow wraps to 32 bits.
std::optional<std::int32_t> ReadInt(std::u16string_view s, bool allow_hex = false);
// Like ReadInt but 0 when nothing was read.
std::int32_t IntOr0(std::u16string_view s, bool allow_hex = true);
// Leading floating-point number (strtod), nullopt when there is none.
std::optional<double> ReadDouble(std::u16string_view s);

std::u16string ToU16(std::string_view ascii_or_utf8);
std::string ToU8(std::u16string_view s);
std::u16string IntToText(long long v);

}  // namespace LOOM
