// krdn-bench-repair [--size-mib N] [--files K] [--rounds R] [--work DIR]
//
// Measures the engine as the program runs it (krdn-repair-cli against the project's
// local nginx) next to the standard tools on the same files, in the same run:
//   verification of an intact client  vs  md5sum over the same files;
//   repair of a missing client         vs  one curl fetching the same 4 MiB ranges to
//                                          disk, a new connection per piece.
// Prints throughputs, their ratio, and the engine's peak resident memory. Files are
// read from the page cache in both cases (a warm-up pass comes first).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/local_servers.h"
#include "bench/repair/random_file.h"
#include "tools/publish/publish.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kPiece = 4u << 20;

struct Measured {
  double seconds = 0;
  long max_rss_kib = 0;
  int exit_code = -1;
};

Measured RunProcess(std::vector<std::string> args, const fs::path& out) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = Clock::now();
  pid_t pid = -1;
  Measured measured;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return measured;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  measured.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  measured.max_rss_kib = usage.ru_maxrss;
  measured.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measured;
}

double MiBps(std::uint64_t bytes, double seconds) { return static_cast<double>(bytes) / (1 << 20) / seconds; }

Measured Best(const std::vector<Measured>& runs) {
  Measured best = runs.front();
  for (const Measured& run : runs) {
    if (run.seconds < best.seconds) best.seconds = run.seconds;
    best.max_rss_kib = std::max(best.max_rss_kib, run.max_rss_kib);
    if (run.exit_code != 0) best.exit_code = run.exit_code;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t size_mib = 1024;
  int files = 8;
  int rounds = 2;
  fs::path work = fs::temp_directory_path() / "krdn-bench-repair";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--size-mib") size_mib = std::stoull(argv[i + 1]);
    if (arg == "--files") files = std::stoi(argv[i + 1]);
    if (arg == "--rounds") rounds = std::stoi(argv[i + 1]);
    if (arg == "--work") work = argv[i + 1];
  }
  const fs::path self_dir = fs::canonical("/proc/self/exe").parent_path();
  const std::string cli = (self_dir / "../../tools/repair-cli/krdn-repair-cli").lexically_normal().string();

  fs::remove_all(work);
  fs::create_directories(work / "client");
  fs::create_directories(work / "home");
  setenv("HOME", (work / "home").c_str(), 1);
  const std::uint64_t file_size = size_mib * (1 << 20) / static_cast<std::uint64_t>(files);
  std::vector<std::string> names;
  for (int i = 0; i < files; ++i) {
    names.push_back("data/part" + std::to_string(i) + ".pak");
    fs::create_directories(work / "client/data");
    krdn::bench::WriteRandomFile(work / "client" / names.back(), file_size, static_cast<std::uint64_t>(i) + 1);
  }
  const std::uint64_t total = file_size * static_cast<std::uint64_t>(files);
  const auto published = krdn::publish::Publish(
      {.client = work / "client", .out = work / "root", .version = "1.9.3", .mode_word = 0, .piece_size = kPiece});
  if (published.code != krdn::publish::Outcome::kPublished) {
    std::cerr << "publish failed: " << published.message << "\n";
    return 1;
  }
  // Stopped when main returns, also after a failure.
  std::optional<krdn::testing::LocalServers> servers;
  try {
    servers.emplace(work / "root", work / "servers");
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  const std::string version_host = servers->version_host();
  const std::string repair_host = servers->repair_host();
  const fs::path served = work / "root/krdn/repair/1.9.3";
  const std::vector<std::string> cli_args_base = {cli, "--version-host", version_host, "--repair-host", repair_host,
                                                  "--dir"};

  // Verification: an intact install of hard links to the served files.
  fs::create_directories(work / "intact/data");
  std::vector<std::string> md5sum_args = {"md5sum"};
  for (const std::string& name : names) {
    fs::create_hard_link(served / name, work / "intact" / name);
    md5sum_args.push_back((served / name).string());
  }
  auto cli_args = cli_args_base;
  cli_args.push_back((work / "intact").string());
  RunProcess(md5sum_args, work / "md5sum.out");  // warm-up: the files are in the page cache afterwards
  std::vector<Measured> md5sum_runs, verify_runs;
  for (int r = 0; r < rounds; ++r) {
    md5sum_runs.push_back(RunProcess(md5sum_args, work / "md5sum.out"));
    verify_runs.push_back(RunProcess(cli_args, work / "verify.out"));
  }

  // Repair: every file missing, against curl fetching the same ranges.
  std::ofstream config(work / "curl.cfg");
  fs::create_directories(work / "curl");
  for (const std::string& name : names) {
    for (std::uint64_t first = 0; first < file_size; first += kPiece) {
      const std::uint64_t last = std::min(file_size, first + kPiece) - 1;
      config << "url = \"" << repair_host << "/krdn/repair/1.9.3/" << name << "\"\n"
             << "range = " << first << "-" << last << "\n"
             << "output = \"" << (work / "curl").string() << "/" << fs::path(name).filename().string() << "."
             << first << "\"\n"
             << "header = \"Connection: close\"\n";
    }
  }
  config.close();
  std::vector<Measured> curl_runs, repair_runs;
  for (int r = 0; r < rounds; ++r) {
    fs::remove_all(work / "curl");
    fs::create_directories(work / "curl");
    curl_runs.push_back(RunProcess({"curl", "-s", "-f", "--config", (work / "curl.cfg").string()}, work / "curl.out"));
    fs::remove_all(work / "missing");
    auto repair_args = cli_args_base;
    repair_args.push_back((work / "missing").string());
    repair_runs.push_back(RunProcess(repair_args, work / "repair.out"));
  }
  servers.reset();

  const Measured md5sum = Best(md5sum_runs), verify = Best(verify_runs), curl = Best(curl_runs),
                 repair = Best(repair_runs);
  const double memory_budget_mib = 2 * 4 + 32;
  std::printf("client: %d files, %.0f MiB, 4 MiB pieces, best of %d rounds\n", files,
              static_cast<double>(total) / (1 << 20), rounds);
  std::printf("verify (intact)  engine %8.1f MiB/s  md5sum %8.1f MiB/s  ratio %.2f (goal >= 1.0)  engine peak RSS %.1f MiB (budget %.0f)  exit %d\n",
              MiBps(total, verify.seconds), MiBps(total, md5sum.seconds), md5sum.seconds / verify.seconds,
              static_cast<double>(verify.max_rss_kib) / 1024, memory_budget_mib, verify.exit_code);
  std::printf("repair (missing) engine %8.1f MiB/s  curl   %8.1f MiB/s  ratio %.2f (goal >= 0.6)  engine peak RSS %.1f MiB (budget %.0f)  exit %d/%d\n",
              MiBps(total, repair.seconds), MiBps(total, curl.seconds), curl.seconds / repair.seconds,
              static_cast<double>(repair.max_rss_kib) / 1024, memory_budget_mib, repair.exit_code, curl.exit_code);
  fs::remove_all(work);
  return verify.exit_code == 0 && repair.exit_code == 0 && curl.exit_code == 0 ? 0 : 1;
}
