// Text from elsewhere (a server's file names, a client folder's names) as it may be
// shown to a person: controls steer a terminal (an escape sequence can rewrite the
// screen, a line feed can fake a line of the program's own), and the bidirectional
// overrides, isolates and marks show a name in another order than it has ("exe.txt"
// for "txt.exe"). Such characters are written as "\u{XXXX}", so that the screen shows
// the name the disk holds.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// C0 and C1 controls, DEL, and the bidirectional formatting characters.
bool MisleadsOnScreen(char16_t c);

// The UTF-8 text with every such character as "\u{XXXX}" (hexadecimal, upper case);
// a malformed sequence shows as U+FFFD. Everything else stays as it is.
std::string EscapedForScreen(std::u16string_view text);
std::string EscapedForScreen(std::string_view utf8);

}  // namespace platform
