// The repair benchmark's small-file mode: a client of tens of thousands of small files
// (50,000 of 200 B to 4 KB in 10,000 folders by default), as real game clients hold.
//
// In one run, over loopback nginx: verification of the intact client against md5sum
// over the same files, one process at a time and two at once; and a fresh install
// against curl with up to 4 parallel transfers and aria2c with 4 at once.
#pragma once

#include <atomic>
#include <filesystem>

namespace krdn::bench {

struct SmallFilesOptions {
  int files = 50'000;
  int folders = 10'000;
  int rounds = 2;
  std::filesystem::path work;  // emptied and filled with the client, the servers' tree and the outputs
};

// Prints the figures and the goals; 0 when every contender brought the whole client home.
int SmallFilesRace(const SmallFilesOptions& options, const std::filesystem::path& cli,
                   const std::atomic<bool>& interrupted);

}  // namespace krdn::bench
