#include "platform/base/shown_text.h"

#include "platform/base/utf.h"

namespace platform {

bool MisleadsOnScreen(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
         c == 0x200E || c == 0x200F || c == 0x061C;
}

std::string EscapedForScreen(std::u16string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  std::size_t plain_from = 0;  // the run of characters shown as they are, converted whole (surrogate pairs stay pairs)
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!MisleadsOnScreen(text[i])) continue;
    shown += Utf16ToUtf8(text.substr(plain_from, i - plain_from)) + "\\u{";
    for (int shift = 12; shift >= 0; shift -= 4) shown += kHex[(text[i] >> shift) & 0xF];
    shown += "}";
    plain_from = i + 1;
  }
  return shown + Utf16ToUtf8(text.substr(plain_from));
}

std::string EscapedForScreen(std::string_view utf8) { return EscapedForScreen(std::u16string_view(Utf8ToUtf16(utf8))); }

}  // namespace platform
