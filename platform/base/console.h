// What a console program needs of the platform: its arguments as UTF-8, standard
// streams that pass bytes through unchanged, and whether a stream is a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The program's arguments in UTF-8, the program name first. Linux passes argv on; on
// Windows they are read from the wide command line, since argv holds the ANSI code
// page's approximation of any other character.
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Standard output and error write their bytes as given: no line-end translation, and
// on a Windows console UTF-8 text shows as such.
void UseByteStandardStreams();

// True when the stream is a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace platform
