// Conversions between the system's UTF-16 text and UTF-8 at the platform edge
// (file names, libraries, terminals). Malformed input never fails a conversion:
// each bad sequence or lone surrogate becomes U+FFFD, so text is never lost whole.
#pragma once

#include <filesystem>
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

// A file system path for a name in UTF-8 or UTF-16. A path made from a plain narrow
// string is read in the system's code page on Windows, where a folder named in Chinese
// is then not found; these read the text as what it is on every system. On Linux the
// UTF-8 bytes are the name as they stand; malformed text elsewhere takes U+FFFD.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::filesystem::path PathFromUtf16(std::u16string_view utf16);

}  // namespace platform
