// Conversions between the system's UTF-16 text and UTF-8 at the platform edge
// (file names, libraries, terminals). Malformed input never fails a conversion:
// each bad sequence or lone surrogate becomes U+FFFD, so text is never lost whole.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);

// True when every byte belongs to a well-formed sequence: no overlong forms, no
// surrogates, nothing beyond U+10FFFF, nothing cut short. Input that must name one
// thing only (a file name, a manifest) is refused when this fails, rather than
// converted with replacements that may make two names one.
bool IsUtf8(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace platform
