#include "platform/base/diagnostics.h"

#include <cstdio>

namespace platform {

void WriteDiagnosticLine(std::string_view line) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

}  // namespace platform
