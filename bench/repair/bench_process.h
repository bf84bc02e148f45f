// Child processes of the repair benchmarks: timed runs with their peak memory, and the
// set-up commands that must succeed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace krdn::bench {

struct Measured {
  double seconds = 0;
  long max_rss_kib = 0;
  int exit_code = -1;  // -1: it could not be started or was killed by a signal
};

// Runs the program (looked up in PATH) with its standard output written to `out`, and
// measures the wall time from its start to its end.
Measured RunProcess(const std::vector<std::string>& args, const std::filesystem::path& out);

// The fastest of several runs, with the largest peak memory and the first failure.
Measured Best(const std::vector<Measured>& runs);

// Runs a set-up command to its end, its standard output dropped and its errors on ours;
// true when it exited with 0.
bool RunQuietly(const std::vector<std::string>& args);

// "a b 'c d'": a command as a shell would show it, for messages.
std::string CommandText(const std::vector<std::string>& args);

}  // namespace krdn::bench
