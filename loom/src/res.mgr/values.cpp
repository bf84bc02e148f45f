#include "core/values.h"

#include <algorithm>
#include <cmath>

#include "core/text_util.h"

namespace LOOM {
namespace {

SizeUnit g_default_unit = SizeUnit::px;
constexpr double kMaxDimension = 1e9;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f'; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// "%02x": blanks skipped, then one or two hex digits.
bool ScanHexPair(std::u16string_view s, std::size_t& pos, unsigned& out) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  unsigned v = 0;
  int digits = 0;
  while (digits < 2 && pos < s.size() && HexDigit(s[pos]) >= 0) v = v * 16 + static_cast<unsigned>(HexDigit(s[pos++])), ++digits;
  out = v;
  return digits > 0;
}

// "%d": blanks skipped, optional sign, decimal digits.
bool ScanInt(std::u16string_view s, std::size_t& pos, unsigned& out) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == u'-' || s[pos] == u'+')) negative = s[pos++] == u'-';
  unsigned v = 0;
  bool any = false;
  while (pos < s.size() && s[pos] >= u'0' && s[pos] <= u'9') v = v * 10 + (s[pos++] - u'0'), any = true;
  out = negative ? 0u - v : v;
  return any;
}

// Runs a "prefix(%d,%d,...)" scan and counts the numbers read.
int ScanCall(std::u16string_view s, std::size_t prefix, unsigned (&values)[4], int max) {
  std::size_t pos = prefix;
  int read = 0;
  for (int i = 0; i < max; ++i) {
    if (i > 0) {
      if (pos >= s.size() || s[pos] != u',') break;
      ++pos;
    }
    if (!ScanInt(s, pos, values[i])) break;
    ++read;
  }
  return read;
}

}  // namespace

bool ParseColor(std::u16string_view text, COLORREF& out) {
  std::u16string s = ToLower(text);
  unsigned v[4] = {0, 0, 0, 255};
  int read = 0;
  if (!s.empty() && s[0] == u'#') {
    std::size_t pos = 1;
    while (read < 4 && ScanHexPair(s, pos, v[read])) ++read;
  } else if (s.rfind(u"rgba(", 0) == 0) {
    read = ScanCall(s, 5, v, 4);
    if (read != 4) read = 0;
  } else if (s.rfind(u"rgb(", 0) == 0) {
    read = ScanCall(s, 4, v, 3);
    if (read != 3) read = 0;
  }
  if (read < 3) return false;
  if (read == 3) v[3] = 255;
  out = (v[0] & 0xFF) | ((v[1] & 0xFF) << 8) | ((v[2] & 0xFF) << 16) | ((v[3] & 0xFF) << 24);
  return true;
}

SizeUnit SLayoutSize::DefaultUnit() { return g_default_unit; }
void SLayoutSize::SetDefaultUnit(SizeUnit unit) { g_default_unit = unit; }

std::optional<SizeUnit> UnitFromName(std::u16string_view name) {
  if (name == u"px") return SizeUnit::px;
  if (name == u"dp") return SizeUnit::dp;
  if (name == u"dip") return SizeUnit::dip;
  if (name == u"sp") return SizeUnit::sp;
  return std::nullopt;
}

bool ParseDimension(std::u16string_view text, SLayoutSize& out) {
  if (text.empty()) return false;
  std::u16string lower = ToLower(text);
  std::u16string_view s = lower;
  out.unit = SLayoutSize::DefaultUnit();
  for (std::u16string_view unit : {u"dip", u"px", u"dp", u"sp"}) {
    if (s.size() >= unit.size() && s.substr(s.size() - unit.size()) == unit) {
      out.unit = *UnitFromName(unit);
      break;
    }
  }
  // Markup may write any number; keep it within what pixel arithmetic can hold.
  out.value = static_cast<float>(std::clamp(ReadDouble(s).value_or(0.0), -kMaxDimension, kMaxDimension));
  return true;
}

int DimensionToPixels(const SLayoutSize& size, int scale) {
  if (size.value == -2.0f) return -2;
  if (size.value == -1.0f) return -1;
  double pixels = size.unit == SizeUnit::px ? std::trunc(static_cast<double>(size.value))
                                            : std::floor(scale * static_cast<double>(size.value) / 100.0 + 0.5);
  if (!std::isfinite(pixels)) return 0;
  return static_cast<int>(std::clamp(pixels, -kMaxDimension, kMaxDimension));
}

bool SIntParser::Parse(std::u16string_view text, Value& out) {
  out = IntOr0(text, false);
  return true;
}

}  // namespace LOOM
