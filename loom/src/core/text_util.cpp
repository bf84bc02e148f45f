#include "core/text_util.h"

#include <cmath>
#include <cstdlib>

#include "platform/base/utf.h"

namespace LOOM {

char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}

static char16_t UpperCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

std::u16string ToLower(std::u16string_view s) {
  std::u16string r(s);
  for (auto& c : r) c = FoldCase(c);
  return r;
}

std::u16string ToUpper(std::u16string_view s) {
  std::u16string r(s);
  for (auto& c : r) c = UpperCase(c);
  return r;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::vector<std::u16string> Split(std::u16string_view s, char16_t sep) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t pos = s.find(sep, start);
    if (pos == std::u16string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, pos - start));
    start = pos + 1;
  }
}

std::vector<std::u16string> SplitFirst(std::u16string_view s, char16_t sep) {
  std::size_t pos = s.find(sep);
  if (pos == std::u16string_view::npos) return {std::u16string(s)};
  return {std::u16string(s.substr(0, pos)), std::u16string(s.substr(pos + 1))};
}

std::u16string_view Trim(std::u16string_view s) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<std::int32_t> ReadInt(std::u16string_view s, bool allow_hex) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  unsigned base = 10;
  if (allow_hex && i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  std::uint32_t value = 0;
  bool any = false;
  for (; i < s.size(); ++i) {
    char16_t c = s[i];
    unsigned d;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else break;
    value = value * base + d;
    any = true;
  }
  if (!any) return base == 16 ? std::optional<std::int32_t>(0) : std::nullopt;
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::int32_t IntOr0(std::u16string_view s, bool allow_hex) { return ReadInt(s, allow_hex).value_or(0); }

std::optional<double> ReadDouble(std::u16string_view s) {
  std::string ascii;
  for (char16_t c : s) {
    if (c >= 0x80) break;
    ascii.push_back(static_cast<char>(c));
    if (ascii.size() > 64) break;
  }
  const char* begin = ascii.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::u16string ToU16(std::string_view s) { return platform::Utf8ToUtf16(s); }
std::string ToU8(std::u16string_view s) { return platform::Utf16ToUtf8(s); }
std::u16string IntToText(long long v) { return ToU16(std::to_string(v)); }

}  // namespace LOOM
