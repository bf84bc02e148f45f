#include "bench/repair/small_files.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/repair/bench_process.h"
#include "bench/repair/random_file.h"
#include "tests/support/local_servers.h"
#include "tools/publish/publish.h"

namespace krdn::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPiece = 4u << 20;
constexpr const char* kVersion = "1.9.3";

struct SmallClient {
  std::vector<std::string> names;  // relative, "/" separated
  std::uint64_t bytes = 0;
};

// Sizes spread evenly over 200 B to 4 KB, the same for every run.
std::uint64_t SizeOf(int index) { return 200 + static_cast<std::uint64_t>(index) * 2654435761u % 3897; }

std::optional<SmallClient> PublishSmallClient(const SmallFilesOptions& options) {
  SmallClient client;
  const fs::path folder = options.work / "client";
  for (int i = 0; i < options.files; ++i) {
    const std::string directory = "data/d" + std::to_string(i % options.folders);
    if (i < options.folders) fs::create_directories(folder / directory);
    client.names.push_back(directory + "/f" + std::to_string(i) + ".dat");
    WriteRandomFile(folder / client.names.back(), SizeOf(i), static_cast<std::uint64_t>(i) + 1);
    client.bytes += SizeOf(i);
  }
  const auto published = publish::Publish(
      {.client = folder, .out = options.work / "root", .version = kVersion, .mode_word = 0, .piece_size = kPiece});
  if (published.code != publish::Outcome::kPublished) {
    std::cerr << "publish failed: " << published.message << "\n";
    return std::nullopt;
  }
  fs::remove_all(folder);
  return client;
}

// The file names, NUL-separated, for xargs.
fs::path WriteNameList(const SmallClient& client, const fs::path& list) {
  std::ofstream out(list, std::ios::binary);
  for (const std::string& name : client.names) out << name << '\0';
  return list;
}

// md5sum over every file from the folder that holds them, `at_once` processes side by side.
std::vector<std::string> Md5sumCommand(const fs::path& folder, const fs::path& list, int at_once, int files) {
  std::string command = "cd '" + folder.string() + "' && exec xargs -0 -a '" + list.string() + "'";
  if (at_once > 1) command += " -P " + std::to_string(at_once) + " -n " + std::to_string((files + at_once - 1) / at_once);
  return {"sh", "-c", command + " md5sum"};
}

fs::path WriteCurlConfig(const SmallClient& client, const std::string& host, const fs::path& config,
                         const fs::path& output) {
  std::ofstream out(config);
  for (const std::string& name : client.names) {
    out << "url = \"" << host << "/krdn/repair/" << kVersion << "/" << name << "\"\n"
        << "output = \"" << (output / name).string() << "\"\n";
  }
  return config;
}

fs::path WriteAria2Input(const SmallClient& client, const std::string& host, const fs::path& input) {
  std::ofstream out(input);
  for (const std::string& name : client.names) {
    out << host << "/krdn/repair/" << kVersion << "/" << name << "\n  out=" << name << "\n";
  }
  return input;
}

struct Install {
  std::string name;
  std::vector<std::string> command;
  fs::path output;
  bool checks_itself = false;
};

std::vector<Install> Installs(const SmallClient& client, const testing::LocalServers& servers, const fs::path& cli,
                              const fs::path& work) {
  const fs::path out = work / "out";
  return {
      {.name = "engine",
       .command = {cli.string(), "--version-host", servers.version_host(), "--repair-host", servers.repair_host(),
                   "--dir", (out / "engine").string()},
       .output = out / "engine",
       .checks_itself = true},
      {.name = "curl -Z 4",
       .command = {"curl", "-s", "--no-progress-meter", "-f", "--create-dirs", "--parallel", "--parallel-max", "4",
                   "--config",
                   WriteCurlConfig(client, servers.repair_host(), work / "curl.cfg", out / "curl").string()},
       .output = out / "curl"},
      {.name = "aria2c -j 4",
       .command = {"aria2c", "-q", "-j4", "--file-allocation=none", "--allow-overwrite=true",
                   "--auto-file-renaming=false", "--conditional-get=false", "--remote-time=false",
                   "--summary-interval=0", "--disable-ipv6=true", "-d", (out / "aria2c").string(), "-i",
                   WriteAria2Input(client, servers.repair_host(), work / "aria2c.input").string()},
       .output = out / "aria2c"},
  };
}

std::uint64_t BytesBelow(const fs::path& folder) {
  std::uint64_t bytes = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && it->path().filename() != "tern.sav") bytes += it->file_size(error);
  }
  return bytes;
}

double Files(double seconds, int files) { return seconds > 0 ? files / seconds : 0; }

}  // namespace

int SmallFilesRace(const SmallFilesOptions& options, const fs::path& cli, const std::atomic<bool>& interrupted) {
  const std::optional<SmallClient> client = PublishSmallClient(options);
  if (!client) return 1;
  std::optional<testing::LocalServers> servers;
  try {
    servers.emplace(options.work / "root", options.work / "servers");
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  const fs::path logs = options.work;
  // An intact install: a copy (a second name of a served file would count as a link).
  const fs::path served = options.work / "root/krdn/repair" / kVersion;
  fs::copy(served, options.work / "intact", fs::copy_options::recursive);
  const fs::path list = WriteNameList(*client, options.work / "names.list");
  const std::vector<std::string> verify = {cli.string(), "--version-host", servers->version_host(), "--repair-host",
                                           servers->repair_host(), "--dir", (options.work / "intact").string()};
  const auto md5sum_one = Md5sumCommand(options.work / "intact", list, 1, options.files);
  const auto md5sum_two = Md5sumCommand(options.work / "intact", list, 2, options.files);
  RunProcess(md5sum_one, logs / "md5sum.out");  // warm-up: every file in the page cache
  RunProcess(verify, logs / "verify.out");
  std::vector<Measured> verify_runs, one_runs, two_runs;
  for (int r = 0; r < options.rounds && !interrupted; ++r) {
    verify_runs.push_back(RunProcess(verify, logs / "verify.out"));
    one_runs.push_back(RunProcess(md5sum_one, logs / "md5sum.out"));
    two_runs.push_back(RunProcess(md5sum_two, logs / "md5sum.out"));
  }
  // The engine's verification of an intact client fetches nothing but the version file,
  // the manifest and the completion marker.
  std::size_t downloads = 0;
  {
    std::ifstream out(logs / "verify.out");
    for (std::string line; std::getline(out, line);) downloads += line.rfind("下载文件: ", 0) == 0;
  }

  const std::vector<Install> installs = Installs(*client, *servers, cli, options.work);
  std::map<std::string, std::vector<Measured>> install_runs;
  for (int r = 0; r < options.rounds && !interrupted; ++r) {
    for (const Install& install : installs) {
      if (interrupted) break;
      fs::remove_all(install.output);
      fs::create_directories(install.output);
      Measured run = RunProcess(install.command, logs / (install.output.filename().string() + ".out"));
      if (run.exit_code == 0 && !install.checks_itself && BytesBelow(install.output) != client->bytes) run.exit_code = 1;
      if (run.exit_code != 0) std::cerr << "  " << install.name << " failed (exit " << run.exit_code << ")\n";
      install_runs[install.name].push_back(run);
      fs::remove_all(install.output);
    }
  }
  servers.reset();
  if (interrupted || verify_runs.empty()) return 1;

  const Measured verified = Best(verify_runs), one = Best(one_runs), two = Best(two_runs);
  std::printf("small-file client: %d files in %d folders, %.1f MB, loopback, best of %d rounds\n", options.files,
              options.folders, static_cast<double>(client->bytes) / 1e6, options.rounds);
  std::printf("verify (intact)  engine %6.2f s  md5sum %6.2f s  two md5sum at once %6.2f s  files/s %.0f  "
              "peak RSS %.1f MiB  files fetched %zu  exit %d\n",
              verified.seconds, one.seconds, two.seconds, Files(verified.seconds, options.files),
              static_cast<double>(verified.max_rss_kib) / 1024, downloads, verified.exit_code);
  const double vs_one = one.seconds / verified.seconds, vs_two = two.seconds / verified.seconds;
  std::printf("goal: verify >= 2x one md5sum: %.2fx, %s; >= 1.2x two md5sum at once: %.2fx, %s\n", vs_one,
              vs_one >= 2.0 ? "met" : "NOT met", vs_two, vs_two >= 1.2 ? "met" : "NOT met");
  std::printf("fresh install     %-12s %9s %10s %12s %5s\n", "", "seconds", "files/s", "peak RSS", "exit");
  std::map<std::string, Measured> best;
  for (const Install& install : installs) {
    if (!install_runs.count(install.name)) continue;
    const Measured m = Best(install_runs.at(install.name));
    best[install.name] = m;
    std::printf("                  %-12s %9.2f %10.0f %8.1f MiB %5d\n", install.name.c_str(), m.seconds,
                Files(m.seconds, options.files), static_cast<double>(m.max_rss_kib) / 1024, m.exit_code);
  }
  bool all = verified.exit_code == 0 && downloads == 0 && best.size() == installs.size();
  for (const auto& [name, m] : best) all = all && m.exit_code == 0;
  if (best.count("engine") && best.count("curl -Z 4") && best.at("engine").seconds > 0) {
    const double ratio = best.at("curl -Z 4").seconds / best.at("engine").seconds;
    std::printf("goal: fresh install >= 1.3x curl with 4 parallel transfers: %.2fx, %s\n", ratio,
                ratio >= 1.3 ? "met" : "NOT met");
  }
  return all ? 0 : 1;
}

}  // namespace krdn::bench
