#include "platform/base/diagnostics.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/base/utf.h"

namespace platform {

void WriteDiagnosticLine(std::string_view line) {
  const std::u16string wide = Utf8ToUtf16(line) + u"\n";
  ::OutputDebugStringW(reinterpret_cast<const wchar_t*>(wide.c_str()));
  // A console program (or one whose standard error is redirected) has it as well.
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
}

}  // namespace platform
