// Writing to the standard streams: the bytes as given, flushed at once, so that a
// program reading the output sees every line as it happens.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace krdn::cli {

inline void Print(std::FILE* stream, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

inline std::string WithoutLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace krdn::cli
