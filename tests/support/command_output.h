// What a shell command writes to its standard output, for tests and benchmarks that ask
// a tool something (xdotool, the local-servers script).
#pragma once

#include <cstdio>
#include <string>

namespace krdn::testing {

inline std::string CommandOutput(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    ::pclose(pipe);
  }
  return output;
}

}  // namespace krdn::testing
