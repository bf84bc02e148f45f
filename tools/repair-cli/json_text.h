// JSON text for the console front-end's machine-readable lines.
#pragma once

#include <string>
#include <string_view>

namespace krdn::cli {

// A JSON string literal, quotes included, of UTF-8 text: quote, backslash and every
// control character escaped, other characters passed through as UTF-8. Bytes that do
// not form UTF-8 (a stray continuation byte, a cut sequence, an overlong form, a
// surrogate) each become U+FFFD, so that the line stays valid JSON whatever the text.
std::string JsonString(std::string_view utf8);

}  // namespace krdn::cli
