// What the repair benchmark measures against each other, fetching the same client
// files from the same servers into a folder of their own:
//   engine         krdn-repair-cli as the program runs (4 kept connections);
//   engine strict  krdn-repair-cli --connections 1 --fresh-connections (one piece at a
//                  time, a new connection each);
//   curl fresh     one curl fetching the same 4 MiB ranges, a new connection per piece;
//   curl reused    one curl fetching the same ranges over one kept connection;
//   aria2c -x4     aria2c fetching the whole files over up to 4 connections.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace krdn::bench {

// A published client: the files (relative paths, "/" separated), their size, and the
// version they were published as.
struct ClientTree {
  std::vector<std::string> names;
  std::uint64_t file_size = 0;
  std::uint64_t piece_size = 4u << 20;
  std::string version;
  std::uint64_t TotalBytes() const { return file_size * names.size(); }
};

struct Hosts {
  std::string version_host;
  std::string repair_host;
};

struct Contender {
  std::string name;
  std::vector<std::string> command;
  std::filesystem::path output;  // the folder it fills; emptied before every run
  bool checks_itself = false;  // it verifies what it fetched (the engine, by the digests); others are checked by size
};

// The contenders' commands, with their curl configurations and aria2c input written
// under `work`.
std::vector<Contender> MakeContenders(const ClientTree& tree, const Hosts& hosts, const std::filesystem::path& cli,
                                      const std::filesystem::path& work);

// The bytes of the regular files below a folder: what a contender brought home.
std::uint64_t BytesBelow(const std::filesystem::path& folder);

}  // namespace krdn::bench
