// Command lines for CreateProcessW, in the form the C runtime's parser reads back.
#pragma once

#include <string>

namespace platform::win32 {

// One argument, quoted, with the backslashes before a quote (and at the end) doubled.
inline std::wstring QuoteArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

}  // namespace platform::win32
