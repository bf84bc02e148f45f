#include "platform/base/console.h"

#include <unistd.h>

namespace platform {

std::vector<std::string> CommandLineUtf8(int argc, char** argv) { return {argv, argv + argc}; }

// POSIX streams are byte streams already.
void UseByteStandardStreams() {}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

}  // namespace platform
