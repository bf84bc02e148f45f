// Where a library's warnings go: the place a developer of the platform looks for them.
#pragma once

#include <string_view>

namespace platform {

// Writes one line of diagnostics (UTF-8, without its line end). Linux: standard error.
// Windows: the debug output (a debugger, DebugView, wine's debugstr channel), since a
// windowed program has no standard error; a console program's standard error too.
void WriteDiagnosticLine(std::string_view line);

}  // namespace platform
