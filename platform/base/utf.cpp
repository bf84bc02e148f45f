#include "platform/base/utf.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one well-formed code point at utf8[i] into cp, advancing i past what it
// consumed; false for a bad sequence (overlong, surrogate, beyond U+10FFFF, cut short).
bool DecodeStrict(std::string_view utf8, std::size_t& i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(utf8[i++]);
  if (lead < 0x80) {
    cp = lead;
    return true;
  }
  int extra = 0;
  char32_t min = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    return false;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= utf8.size() || !IsContinuation(static_cast<unsigned char>(utf8[i]))) return false;
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
  }
  return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

char32_t DecodeOne(std::string_view utf8, std::size_t& i) {
  char32_t cp = 0;
  return DecodeStrict(utf8, i, cp) ? cp : kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool IsUtf8(std::string_view utf8) {
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < utf8.size()) {
    if (!DecodeStrict(utf8, i, cp)) return false;
  }
  return true;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const char32_t cp = DecodeOne(utf8, i);
    if (cp < 0x10000) {
      out += static_cast<char16_t>(cp);
    } else {
      const char32_t v = cp - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  const std::u8string_view text(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size());
  try {
    return std::filesystem::path(text);
  } catch (const std::exception&) {
    // Only where the native form is UTF-16 can the conversion fail: on malformed text.
    return std::filesystem::path(Utf8ToUtf16(utf8));
  }
}

std::filesystem::path PathFromUtf16(std::u16string_view utf16) { return PathFromUtf8(Utf16ToUtf8(utf16)); }

}  // namespace platform
