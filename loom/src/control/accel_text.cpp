// Parsing of key-combination texts.
#include "core/accel_text.h"

#include "core/text_util.h"

namespace LOOM {

namespace {

struct NamedKey {
  std::u16string_view name;
  WORD code;
};

constexpr NamedKey kNamedKeys[] = {
    {u"esc", 27},     {u"enter", 13},    {u"up", 38},      {u"down", 40},   {u"left", 37},
    {u"right", 39},   {u"home", 36},     {u"pageup", 33},  {u"pagedown", 34}, {u"insert", 45},
    {u"space", 32},   {u"delete", 46},   {u"print", 42},
};

struct PunctuationKey {
  char16_t ch;
  WORD code;
};

constexpr PunctuationKey kPunctuation[] = {
    {u',', 188}, {u'-', 189}, {u'.', 190}, {u'/', 191}, {u';', 186}, {u'=', 187},
    {u'[', 219}, {u'\\', 220}, {u']', 221}, {u'`', 192}, {u'\'', 222},
};

// Virtual-key codes are bytes; a number that would leave that range names no key
// (instead of spilling into the modifier half of the code).
constexpr long long kLargestKeyCode = 0xFF;

// The decimal number a text begins with, 0 when it begins with no digit; nullopt when
// it is too large to name a key.
std::optional<long long> LeadingNumber(std::u16string_view s) {
  long long n = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    n = n * 10 + (c - u'0');
    if (n > kLargestKeyCode) return std::nullopt;
  }
  return n;
}

WORD CodeWithin(long long base, std::optional<long long> n) {
  if (!n || base + *n > kLargestKeyCode) return 0;
  return static_cast<WORD>(base + *n);
}

}  // namespace

WORD KeyCodeOfName(std::u16string_view name) {
  for (const auto& k : kNamedKeys)
    if (EqualsNoCase(name, k.name)) return k.code;
  if (name.size() == 1) {
    char16_t c = name[0];
    if (c >= u'a' && c <= u'z') return static_cast<WORD>(c - u'a' + u'A');
    if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return static_cast<WORD>(c);
    for (const auto& p : kPunctuation)
      if (p.ch == c) return p.code;
    return 0;
  }
  if (name[0] == u'f' || name[0] == u'F') return CodeWithin(111, LeadingNumber(name.substr(1)));
  if (StartsWithNoCase(name, u"num ")) {
    std::u16string_view rest = name.substr(4);
    if (EqualsNoCase(rest, u"del")) return 110;
    if (rest == u"*") return 106;
    if (!rest.empty() && rest[0] >= u'0' && rest[0] <= u'9') return CodeWithin(96, LeadingNumber(rest));
  }
  return 0;
}

DWORD ParseAcceleratorText(std::u16string_view text) {
  if (text.empty() || text.size() >= kMaxAccelTextLength) return 0;
  WORD modifiers = 0;
  WORD key = 0;
  bool key_seen = false;
  for (const std::u16string& part : Split(text, u'+')) {
    if (EqualsNoCase(part, u"ctrl")) modifiers |= kAccelCtrl;
    else if (EqualsNoCase(part, u"alt")) modifiers |= kAccelAlt;
    else if (EqualsNoCase(part, u"shift")) modifiers |= kAccelShift;
    else if (!key_seen) {
      key = KeyCodeOfName(part);
      key_seen = true;
    }
  }
  return (static_cast<DWORD>(modifiers) << 16) | key;
}

char16_t AcceleratorMarkOf(std::u16string_view text) {
  if (text.size() < 4 || text.back() != u')') return 0;
  std::size_t open = text.rfind(u'(');
  if (open == std::u16string_view::npos || open + 2 >= text.size() - 1 || text[open + 1] != u'&') return 0;
  return text[open + 2];
}

}  // namespace LOOM
