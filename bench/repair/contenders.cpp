#include "bench/repair/contenders.h"

#include <algorithm>
#include <fstream>

namespace krdn::bench {
namespace fs = std::filesystem;
namespace {

std::string FileUrl(const ClientTree& tree, const Hosts& hosts, const std::string& name) {
  return hosts.repair_host + "/krdn/repair/" + tree.version + "/" + name;
}

// One curl configuration entry per piece, each into a file of its own. With
// "Connection: close" the server ends every connection after its answer, so curl opens
// a new one for the next piece.
fs::path WriteCurlConfig(const ClientTree& tree, const Hosts& hosts, const fs::path& config, const fs::path& output,
                         bool fresh_connections) {
  std::ofstream out(config);
  for (const std::string& name : tree.names) {
    const std::string flat = fs::path(name).filename().string();
    for (std::uint64_t first = 0; first < tree.file_size; first += tree.piece_size) {
      const std::uint64_t last = std::min(tree.file_size, first + tree.piece_size) - 1;
      out << "url = \"" << FileUrl(tree, hosts, name) << "\"\n"
          << "range = " << first << "-" << last << "\n"
          << "output = \"" << (output / (flat + "." + std::to_string(first))).string() << "\"\n";
      if (fresh_connections) out << "header = \"Connection: close\"\n";
    }
  }
  return config;
}

fs::path WriteAria2Input(const ClientTree& tree, const Hosts& hosts, const fs::path& input) {
  std::ofstream out(input);
  for (const std::string& name : tree.names) out << FileUrl(tree, hosts, name) << "\n  out=" << name << "\n";
  return input;
}

}  // namespace

std::vector<Contender> MakeContenders(const ClientTree& tree, const Hosts& hosts, const fs::path& cli,
                                      const fs::path& work) {
  const fs::path out = work / "out";
  const std::vector<std::string> engine = {cli.string(), "--version-host", hosts.version_host, "--repair-host",
                                           hosts.repair_host, "--dir"};
  auto with = [](std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
  };
  return {
      {.name = "engine", .command = with(engine, {(out / "engine").string()}), .output = out / "engine",
       .checks_itself = true},
      {.name = "engine strict",
       .command = with(engine, {(out / "strict").string(), "--connections", "1", "--fresh-connections"}),
       .output = out / "strict",
       .checks_itself = true},
      {.name = "curl fresh",
       .command = {"curl", "-s", "-f", "--config",
                   WriteCurlConfig(tree, hosts, work / "curl-fresh.cfg", out / "curl-fresh", true).string()},
       .output = out / "curl-fresh"},
      {.name = "curl reused",
       .command = {"curl", "-s", "-f", "--config",
                   WriteCurlConfig(tree, hosts, work / "curl-reused.cfg", out / "curl-reused", false).string()},
       .output = out / "curl-reused"},
      {.name = "aria2c -x4",
       .command = {"aria2c", "-q", "-x4", "-s4", "-k4M", "-j1", "--file-allocation=none", "--allow-overwrite=true",
                   "--auto-file-renaming=false", "--conditional-get=false", "--remote-time=false",
                   "--summary-interval=0", "--disable-ipv6=true", "-d", (out / "aria2c").string(), "-i",
                   WriteAria2Input(tree, hosts, work / "aria2c.input").string()},
       .output = out / "aria2c"},
  };
}

std::uint64_t BytesBelow(const fs::path& folder) {
  std::uint64_t bytes = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) bytes += it->file_size(error);
  }
  return bytes;
}

}  // namespace krdn::bench
