// krdn-bench-repair [--mode loopback|wide-area|small-files] [--size-mib N] [--files K] [--rounds R]
//                   [--small-files N] [--folders F] [--rtt-ms 50,100] [--rate-mbit 100] [--work DIR]
//
// Measures the engine as the program runs it (krdn-repair-cli against the project's
// local nginx) next to the tools a user would pick instead, on the same files, in the
// same run (bench/repair/contenders.h): the engine, the engine strict (one piece at a
// time, a new connection each), curl with a new connection per piece, curl on one
// reused connection, aria2c with 4 connections.
//
// loopback (default, 1024 MiB): the servers on 127.0.0.1. Also verification of an
//   intact client against md5sum over the same files. Prints MiB/s, the ratio to curl
//   with a new connection per piece, and the engine's peak memory.
// small-files: a client of 50,000 files of 200 B to 4 KB in 10,000 folders
//   (bench/repair/small_files.h): verification against md5sum, one and two at once, and
//   a fresh install against curl --parallel-max 4 and aria2c -j 4; then, in the same
//   run, the loopback mode over its large files, so that both can be compared. Its work
//   folder is in memory (/dev/shm) unless --work says otherwise: removing 50,000 files
//   between rounds takes most of a minute on a disk that discards freed blocks.
// wide-area (256 MiB): for each round trip time, two network namespaces joined by
//   krdn-tun-relay (rate, half the round trip each way, a drop-tail queue of one
//   bandwidth-delay product); nginx serves in one, every contender runs in the other.
//   Prints seconds and the fraction of the line-rate time (the client's bytes at the
//   link rate). Needs root and /dev/net/tun; says so and skips without them.
//
// Exit code 0 when every contender fetched the whole client, 1 otherwise.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/repair/bench_process.h"
#include "bench/repair/contenders.h"
#include "bench/repair/random_file.h"
#include "bench/repair/small_files.h"
#include "bench/repair/wan_link.h"
#include "tests/support/command_output.h"
#include "tests/support/local_servers.h"
#include "tools/publish/publish.h"

namespace {

namespace fs = std::filesystem;
using krdn::bench::Contender;
using krdn::bench::Measured;

constexpr std::uint64_t kPiece = 4u << 20;
constexpr int kServerVersionPort = 8081;
constexpr int kServerRepairPort = 8082;

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

struct Options {
  bool wide_area = false;
  bool small_files = false;
  int small_file_count = 50'000;
  int folders = 10'000;
  bool work_given = false;
  std::optional<std::uint64_t> size_mib;
  int files = 8;
  int rounds = 0;  // 0: the mode's default
  std::vector<int> rtts_ms = {50, 100};
  std::uint64_t rate_mbit = 100;
  fs::path work = fs::temp_directory_path() / "krdn-bench-repair";
};

std::vector<int> NumberList(const std::string& text) {
  std::vector<int> numbers;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) numbers.push_back(std::stoi(item));
  return numbers;
}

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  if (argc % 2 != 1) return std::nullopt;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--mode" && (value == "loopback" || value == "wide-area" || value == "small-files")) {
      options.wide_area = value == "wide-area";
      options.small_files = value == "small-files";
    }
    else if (arg == "--small-files") options.small_file_count = std::max(1, std::stoi(value));
    else if (arg == "--folders") options.folders = std::max(1, std::stoi(value));
    else if (arg == "--size-mib") options.size_mib = std::stoull(value);
    else if (arg == "--files") options.files = std::max(1, std::stoi(value));
    else if (arg == "--rounds") options.rounds = std::max(1, std::stoi(value));
    else if (arg == "--rtt-ms") options.rtts_ms = NumberList(value);
    else if (arg == "--rate-mbit") options.rate_mbit = std::stoull(value);
    else if (arg == "--work") {
      options.work = value;
      options.work_given = true;
    }
    else return std::nullopt;
  }
  return options;
}

// Random client files, published as the servers serve them.
std::optional<krdn::bench::ClientTree> PublishClient(const fs::path& work, std::uint64_t size_mib, int files) {
  krdn::bench::ClientTree tree{.names = {},
                               .file_size = size_mib * (1 << 20) / static_cast<std::uint64_t>(files),
                               .piece_size = kPiece,
                               .version = "1.9.3"};
  fs::create_directories(work / "client/data");
  for (int i = 0; i < files; ++i) {
    tree.names.push_back("data/part" + std::to_string(i) + ".pak");
    krdn::bench::WriteRandomFile(work / "client" / tree.names.back(), tree.file_size, static_cast<std::uint64_t>(i) + 1);
  }
  const auto published = krdn::publish::Publish({.client = work / "client",
                                                  .out = work / "root",
                                                  .version = tree.version,
                                                  .mode_word = 0,
                                                  .piece_size = kPiece});
  if (published.code != krdn::publish::Outcome::kPublished) {
    std::cerr << "publish failed: " << published.message << "\n";
    return std::nullopt;
  }
  fs::remove_all(work / "client");
  return tree;
}

// Runs every contender `rounds` times, round after round, each into an empty folder;
// a run that did not bring the whole client home counts as failed (exit code 1).
std::map<std::string, Measured> Race(const std::vector<Contender>& contenders, std::uint64_t total, int rounds,
                                     const fs::path& logs) {
  std::map<std::string, std::vector<Measured>> runs;
  for (int round = 0; round < rounds && !interrupted; ++round) {
    for (const Contender& contender : contenders) {
      if (interrupted) break;
      fs::remove_all(contender.output);
      fs::create_directories(contender.output);
      Measured run = krdn::bench::RunProcess(contender.command, logs / (contender.output.filename().string() + ".out"));
      if (run.exit_code == 0 && !contender.checks_itself && krdn::bench::BytesBelow(contender.output) != total) {
        run.exit_code = 1;
      }
      if (run.exit_code != 0) std::cerr << "  " << contender.name << " failed (exit " << run.exit_code << ")\n";
      runs[contender.name].push_back(run);
      fs::remove_all(contender.output);
    }
  }
  std::map<std::string, Measured> best;
  for (const auto& [name, measured] : runs) best[name] = krdn::bench::Best(measured);
  return best;
}

double MiBps(std::uint64_t bytes, double seconds) { return static_cast<double>(bytes) / (1 << 20) / seconds; }

std::string Load() { return krdn::testing::CommandOutput("uptime"); }

bool AllSucceeded(const std::map<std::string, Measured>& results, std::size_t expected) {
  return results.size() == expected &&
         std::all_of(results.begin(), results.end(), [](const auto& entry) { return entry.second.exit_code == 0; });
}

int Loopback(const Options& options, const krdn::bench::ClientTree& tree, const fs::path& cli, int rounds) {
  const fs::path& work = options.work;
  std::optional<krdn::testing::LocalServers> servers;
  try {
    servers.emplace(work / "root", work / "servers");
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  const krdn::bench::Hosts hosts{servers->version_host(), servers->repair_host()};
  const std::uint64_t total = tree.TotalBytes();

  // Verification: an intact install, copies of the served files (a second name of one
  // would count as a link, and be fetched anew), against md5sum.
  const fs::path served = work / "root/krdn/repair" / tree.version;
  fs::create_directories(work / "intact/data");
  std::vector<std::string> md5sum = {"md5sum"};
  for (const std::string& name : tree.names) {
    fs::copy_file(served / name, work / "intact" / name);
    md5sum.push_back((work / "intact" / name).string());
  }
  const std::vector<std::string> verify = {cli.string(), "--version-host", hosts.version_host, "--repair-host",
                                           hosts.repair_host, "--dir", (work / "intact").string()};
  krdn::bench::RunProcess(md5sum, work / "md5sum.out");  // warm-up: the files are in the page cache afterwards
  std::vector<Measured> md5sum_runs, verify_runs;
  for (int r = 0; r < rounds && !interrupted; ++r) {
    md5sum_runs.push_back(krdn::bench::RunProcess(md5sum, work / "md5sum.out"));
    verify_runs.push_back(krdn::bench::RunProcess(verify, work / "verify.out"));
  }

  const auto contenders = krdn::bench::MakeContenders(tree, hosts, cli, work);
  const auto results = Race(contenders, total, rounds, work);
  servers.reset();
  if (interrupted || verify_runs.empty()) return 1;

  const Measured md5 = krdn::bench::Best(md5sum_runs), verified = krdn::bench::Best(verify_runs);
  std::printf("client: %zu files, %.0f MiB, 4 MiB pieces, loopback, best of %d rounds\n", tree.names.size(),
              static_cast<double>(total) / (1 << 20), rounds);
  std::printf("verify (intact)  engine %8.1f MiB/s  md5sum %8.1f MiB/s  ratio %.2f (goal >= 1.0)  peak RSS %.1f MiB  exit %d\n",
              MiBps(total, verified.seconds), MiBps(total, md5.seconds), md5.seconds / verified.seconds,
              static_cast<double>(verified.max_rss_kib) / 1024, verified.exit_code);
  std::printf("repair (missing)  %-14s %9s %10s %14s %12s %5s\n", "", "seconds", "MiB/s", "vs curl fresh", "peak RSS",
              "exit");
  const double curl_fresh = results.count("curl fresh") ? results.at("curl fresh").seconds : 0;
  for (const Contender& contender : contenders) {
    if (!results.count(contender.name)) continue;
    const Measured& m = results.at(contender.name);
    std::printf("                  %-14s %9.2f %10.1f %13.2fx %8.1f MiB %5d\n", contender.name.c_str(), m.seconds,
                MiBps(total, m.seconds), curl_fresh / m.seconds, static_cast<double>(m.max_rss_kib) / 1024, m.exit_code);
  }
  if (results.count("engine") && results.at("engine").exit_code == 0 && curl_fresh > 0) {
    const double ratio = curl_fresh / results.at("engine").seconds;
    std::printf("goal: engine >= 1.5x curl with a new connection per piece: %.2fx, %s\n", ratio,
                ratio >= 1.5 ? "met" : "NOT met");
  }
  std::printf("engine memory budget: 5 pieces + 32 MiB = %.0f MiB\n", 5.0 * kPiece / (1 << 20) + 32);
  return verified.exit_code == 0 && AllSucceeded(results, contenders.size()) ? 0 : 1;
}

// One link: the namespaces, the relay and the servers for the length of the race.
std::optional<std::map<std::string, Measured>> RaceOverLink(const Options& options, const krdn::bench::ClientTree& tree,
                                                            const fs::path& cli, const krdn::bench::WanShape& shape,
                                                            int rounds, std::vector<Contender>& contenders,
                                                            std::string& settings) {
  const fs::path& work = options.work;
  const fs::path relay = fs::canonical("/proc/self/exe").parent_path() / "krdn-tun-relay";
  try {
    krdn::bench::WanLink link(relay, shape);
    const std::string address = krdn::bench::WanLink::kServerAddress;
    fs::remove_all(work / "servers");
    krdn::testing::LocalServers servers(work / "root", work / "servers",
                                        "--address " + address + " --version-port " +
                                            std::to_string(kServerVersionPort) + " --repair-port " +
                                            std::to_string(kServerRepairPort),
                                        link.ServerLauncher());
    const krdn::bench::Hosts hosts{servers.version_host(), servers.repair_host()};
    // The client side must reach the servers across the relay before anything is timed.
    if (!krdn::bench::RunQuietly(link.InClient({"curl", "-s", "-o", "/dev/null", "--max-time", "10",
                                               hosts.repair_host + "/"}))) {
      std::cerr << "wide-area link: the client namespace does not reach " << hosts.repair_host << "\n";
      return std::nullopt;
    }
    settings = link.TcpSettings();
    contenders = krdn::bench::MakeContenders(tree, hosts, cli, work);
    for (Contender& contender : contenders) contender.command = link.InClient(contender.command);
    return Race(contenders, tree.TotalBytes(), rounds, work);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return std::nullopt;
  }
}

int WideArea(const Options& options, const krdn::bench::ClientTree& tree, const fs::path& cli, int rounds) {
  const std::uint64_t total = tree.TotalBytes();
  std::printf("client: %zu files, %.0f MiB, 4 MiB pieces, wide-area link, best of %d rounds\n", tree.names.size(),
              static_cast<double>(total) / (1 << 20), rounds);
  bool all_succeeded = true;
  for (const int rtt : options.rtts_ms) {
    if (interrupted) break;
    const krdn::bench::WanShape shape{.rate_mbit = options.rate_mbit, .rtt_ms = rtt};
    std::vector<Contender> contenders;
    std::string settings;
    const auto results = RaceOverLink(options, tree, cli, shape, rounds, contenders, settings);
    if (!results) return 1;
    const double line_seconds = static_cast<double>(total) * 8 / (static_cast<double>(options.rate_mbit) * 1e6);
    std::printf("\nlink: %d ms round trip, %llu Mbit/s, drop-tail queue of one bandwidth-delay product (%llu bytes); %s\n",
                rtt, static_cast<unsigned long long>(options.rate_mbit),
                static_cast<unsigned long long>(options.rate_mbit * 1'000'000 / 8 * static_cast<std::uint64_t>(rtt) / 1000),
                settings.c_str());
    std::printf("line-rate time %.2f s\n", line_seconds);
    std::printf("  %-14s %9s %9s %12s %5s\n", "", "seconds", "of link", "peak RSS", "exit");
    for (const Contender& contender : contenders) {
      if (!results->count(contender.name)) continue;
      const Measured& m = results->at(contender.name);
      std::printf("  %-14s %9.2f %9.2f %8.1f MiB %5d\n", contender.name.c_str(), m.seconds, line_seconds / m.seconds,
                  static_cast<double>(m.max_rss_kib) / 1024, m.exit_code);
    }
    if (results->count("engine") && results->at("engine").exit_code == 0) {
      const double engine = results->at("engine").seconds;
      const double goal = rtt <= 50 ? 0.90 : 0.85;
      const bool ahead = std::all_of(results->begin(), results->end(), [&](const auto& entry) {
        return entry.first.rfind("engine", 0) == 0 || entry.second.seconds > engine;
      });
      std::printf("goal: engine >= %.2f of the link and ahead of curl and aria2c: %.2f, %s; %s\n", goal,
                  line_seconds / engine, line_seconds / engine >= goal ? "met" : "NOT met",
                  ahead ? "ahead" : "NOT ahead");
    }
    all_succeeded = all_succeeded && AllSucceeded(*results, contenders.size());
  }
  return all_succeeded && !interrupted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = Parse(argc, argv);
  if (!options) {
    std::cerr << "usage: krdn-bench-repair [--mode loopback|wide-area|small-files] [--size-mib N] [--files K]\n"
                 "                         [--rounds R] [--small-files N] [--folders F] [--rtt-ms 50,100]\n"
                 "                         [--rate-mbit 100] [--work DIR]\n";
    return 2;
  }
  if (options->wide_area) {
    if (const auto reason = krdn::bench::WanLink::Unavailable()) {
      std::cout << "krdn-bench-repair: wide-area mode skipped: " << *reason << "\n";
      return 0;
    }
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as it is measured, also into a file
  struct sigaction interrupt{};
  interrupt.sa_handler = OnInterrupt;
  sigaction(SIGINT, &interrupt, nullptr);
  sigaction(SIGTERM, &interrupt, nullptr);

  const fs::path self_dir = fs::canonical("/proc/self/exe").parent_path();
  const fs::path cli = (self_dir / "../../tools/repair-cli/krdn-repair-cli").lexically_normal();
  Options chosen = *options;
  if (chosen.small_files && !chosen.work_given && fs::is_directory("/dev/shm")) {
    chosen.work = "/dev/shm/krdn-bench-repair";
  }
  const fs::path& work = chosen.work;
  fs::remove_all(work);
  fs::create_directories(work / "home");
  setenv("HOME", (work / "home").c_str(), 1);  // the engine's desktop shortcut lands here
  std::printf("load at start: %s", Load().c_str());

  const std::uint64_t size_mib = options->size_mib.value_or(options->wide_area ? 256 : 1024);
  int code = 1;
  if (chosen.small_files) {
    const krdn::bench::SmallFilesOptions small{.files = chosen.small_file_count,
                                               .folders = chosen.folders,
                                               .rounds = chosen.rounds > 0 ? chosen.rounds : 2,
                                               .work = work / "small"};
    const int small_code = krdn::bench::SmallFilesRace(small, cli, interrupted);
    fs::remove_all(work / "small");
    std::printf("\nlarge files, same run:\n");
    if (const auto tree = PublishClient(work, size_mib, options->files)) {
      code = Loopback(chosen, *tree, cli, small.rounds);
    }
    code = small_code != 0 ? small_code : code;
  } else if (const auto tree = PublishClient(work, size_mib, options->files)) {
    const int rounds = options->rounds > 0 ? options->rounds : (options->wide_area ? 1 : 2);
    code = options->wide_area ? WideArea(chosen, *tree, cli, rounds) : Loopback(chosen, *tree, cli, rounds);
  }
  if (interrupted) std::printf("interrupted: the figures above are incomplete\n");
  std::printf("load at end:   %s", Load().c_str());
  fs::remove_all(work);
  return code;
}
