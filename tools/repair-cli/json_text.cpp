#include "tools/repair-cli/json_text.h"

#include <cstdint>
#include <cstdio>

namespace krdn::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80;  // the second byte's range: excludes overlong forms and surrogates
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    default: break;
  }
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<std::uint8_t>(c)));
  out += escaped;
}

}  // namespace

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  out.reserve(utf8.size() + 2);
  while (!utf8.empty()) {
    const auto c = static_cast<std::uint8_t>(utf8.front());
    if (c < 0x80) {
      if (c < 0x20 || c == '"' || c == '\\' || c == 0x7F) {
        AppendEscaped(out, utf8.front());
      } else {
        out += utf8.front();
      }
      utf8.remove_prefix(1);
      continue;
    }
    const std::size_t length = SequenceLength(utf8);
    out += length == 0 ? kReplacement : utf8.substr(0, length);
    utf8.remove_prefix(length == 0 ? 1 : length);
  }
  out += '"';
  return out;
}

}  // namespace krdn::cli
