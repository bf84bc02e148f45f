// For tests of the Windows build, which run under wine on a Linux machine: programs and
// paths of that machine (the host). On Linux the host is the system itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The host's name of a system path: the Unix path wine maps a drive path to; on Linux
// the path itself (in UTF-8). Empty when it has none.
std::string HostPath(std::u16string_view path);

// Runs a program of the host (argv[0] a host path, or a name on the host's PATH) to its
// end, at most `timeout_ms`, and answers what it wrote to standard output and error.
// Empty when it cannot be started.
std::string RunOnHost(const std::vector<std::string>& argv, int timeout_ms = 60000);

}  // namespace platform
