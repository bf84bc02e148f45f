// krdn-bench-verify [--gib 1,8] [--files 8] [--rounds 3] [--threads N] [--kernels avx512,avx512vl,avx2,scalar]
//                   [--work DIR] [--keep]
//
// The verification pass over an intact client of 1 GiB and of 8 GiB (4 MiB pieces),
// next to the standard tools over the same files in the same run: `md5sum`,
// `openssl dgst -md5` and, for what the disk delivers, `cat`. Every kernel the
// processor runs is measured, warm (files in the page cache) and cold (each file's
// cached pages dropped before every measurement). The pass runs in a child process of
// its own, so its peak resident memory is measured too, and so is the processor time of
// every process (MiB per second of processor time, which a busy machine disturbs less
// than the wall time).
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/repair/random_file.h"
#include "platform/io/files.h"
#include "platform/hash/md5_lanes.h"
#include "platform/base/utf.h"
#include "repair/local_run_context.h"
#include "repair/manifest.h"
#include "repair/run.h"
#include "repair/verification.h"
#include "tools/publish/publish.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kPiece = 4u << 20;

struct Measured {
  double seconds = 0;
  double cpu_seconds = 0;  // user and system time of the process
  long max_rss_kib = 0;
  int exit_code = -1;
};

Measured Finished(pid_t pid, Clock::time_point start) {
  Measured measured;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return measured;
  measured.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const auto seconds_of = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  measured.cpu_seconds = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
  measured.max_rss_kib = usage.ru_maxrss;
  measured.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measured;
}

// A standard tool with its output thrown away.
Measured RunTool(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {};
  return Finished(pid, start);
}

// The pass as the worker runs it; 0 when every file is intact.
int VerifyIntact(const fs::path& install, const krdn::Manifest& manifest, platform::Md5Kernel kernel,
                 unsigned threads) {
  if (platform::BindMd5() != 0) return 3;
  std::size_t intact = 0;
  krdn::LocalRunContext context(platform::Utf8ToUtf16(install.string()), [&](const krdn::Notice& notice) {
    if (notice.kind == krdn::Notice::Kind::kStatus && notice.text == u"成功\r\n") ++intact;
    return krdn::RetryAnswer::kGoOn;
  });
  context.Start();
  krdn::RunSettings settings;
  settings.trace = nullptr;
  settings.md5_kernel = kernel;
  settings.verify_threads = threads;
  krdn::Run run(context, settings);
  try {
    const krdn::VerificationResult result = krdn::VerifyFiles(run, manifest, 0);
    return intact == manifest.files.size() && result.download_list.empty() ? 0 : 1;
  } catch (...) {
    return 2;
  }
}

Measured RunEngine(const fs::path& install, const krdn::Manifest& manifest, platform::Md5Kernel kernel,
                   unsigned threads) {
  std::fflush(stdout);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(VerifyIntact(install, manifest, kernel, threads));
  if (pid < 0) return {};
  return Finished(pid, start);
}

void DropCached(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    if (auto opened = platform::File::Open(platform::Utf8ToUtf16(file), platform::File::Mode::kRead)) {
      opened->DropCached();
    }
  }
}

void ReadAll(const std::vector<std::string>& files) {
  std::vector<std::string> cat = {"cat"};
  cat.insert(cat.end(), files.begin(), files.end());
  RunTool(cat);
}

std::string LoadAverage() {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) != 3) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

std::string ProcessorModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "?";
}

struct Row {
  std::string name;
  std::vector<Measured> runs;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double MedianSeconds(const Row& row) {
  std::vector<double> seconds;
  for (const Measured& run : row.runs) seconds.push_back(run.seconds);
  return Median(seconds);
}

double BestSeconds(const Row& row) {
  double best = row.runs.empty() ? 0 : row.runs.front().seconds;
  for (const Measured& run : row.runs) best = std::min(best, run.seconds);
  return best;
}

struct Options {
  std::vector<int> gib = {1, 8};
  int files = 8;
  int rounds = 3;
  unsigned threads = 0;
  std::vector<platform::Md5Kernel> kernels;
  fs::path work = fs::temp_directory_path() / "krdn-bench-verify";
  bool keep = false;
};

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  return parts;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--keep") {
      options.keep = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (arg == "--gib") {
      options.gib.clear();
      for (const std::string& part : Split(value)) options.gib.push_back(std::stoi(part));
    } else if (arg == "--files") {
      options.files = std::stoi(value);
    } else if (arg == "--rounds") {
      options.rounds = std::stoi(value);
    } else if (arg == "--threads") {
      options.threads = static_cast<unsigned>(std::stoul(value));
    } else if (arg == "--kernels") {
      for (const std::string& part : Split(value)) {
        const auto kernel = platform::Md5KernelNamed(part);
        if (!kernel) return false;
        options.kernels.push_back(*kernel);
      }
    } else if (arg == "--work") {
      options.work = value;
    } else {
      return false;
    }
  }
  if (options.kernels.empty()) {
    for (auto it = std::rbegin(platform::kMd5Kernels); it != std::rend(platform::kMd5Kernels); ++it) {
      options.kernels.push_back(*it);
    }
  }
  return options.files > 0 && options.rounds > 0;
}

// Publishes a generated client of `gib` GiB; the install is the served tree itself.
bool MakeClient(const Options& options, int gib, fs::path& install, krdn::Manifest& manifest,
                std::vector<std::string>& files) {
  const fs::path base = options.work / (std::to_string(gib) + "gib");
  install = base / "root/krdn/repair/1.9.3";
  // --keep leaves the tree for the next run, which takes it as it is.
  if (!options.keep || !fs::exists(install / "1.9.3_download.txt")) {
    fs::remove_all(base);
    fs::create_directories(base / "client/data");
    const std::uint64_t total = std::uint64_t{static_cast<unsigned>(gib)} << 30;
    const std::uint64_t file_size = total / static_cast<std::uint64_t>(options.files);
    for (int i = 0; i < options.files; ++i) {
      krdn::bench::WriteRandomFile(base / "client/data" / ("part" + std::to_string(i) + ".pak"), file_size,
                      static_cast<std::uint64_t>(i) + 1 + static_cast<std::uint64_t>(gib) * 100);
    }
    const auto published = krdn::publish::Publish(
        {.client = base / "client", .out = base / "root", .version = "1.9.3", .mode_word = 0, .piece_size = kPiece});
    fs::remove_all(base / "client");
    if (published.code != krdn::publish::Outcome::kPublished) {
      std::cerr << "publish failed: " << published.message << "\n";
      return false;
    }
  }
  std::ifstream in(install / "1.9.3_download.txt", std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes.push_back(0);
  if (krdn::ParseManifest(manifest, bytes) != 0) {
    std::cerr << "the published manifest does not parse\n";
    return false;
  }
  for (int i = 0; i < options.files; ++i) files.push_back((install / "data" / ("part" + std::to_string(i) + ".pak")).string());
  return true;
}

void Report(const std::string& title, std::uint64_t bytes, const std::vector<Row>& rows, bool cold) {
  const double md5sum = MedianSeconds(rows[1]);
  const double openssl = MedianSeconds(rows[2]);
  const double cat = MedianSeconds(rows[0]);
  std::printf("\n%s (median of %zu rounds; best in brackets)\n", title.c_str(), rows[0].runs.size());
  std::printf("  %-22s %10s %10s %9s %9s %9s %12s %9s\n", "", "MiB/s", "(best)", "x md5sum", "x openssl",
              cold ? "of cat" : "", "MiB/CPU-s", "peak RSS");
  for (const Row& row : rows) {
    const double median = MedianSeconds(row);
    const double rate = static_cast<double>(bytes) / (1 << 20) / median;
    const double best_rate = static_cast<double>(bytes) / (1 << 20) / BestSeconds(row);
    long rss = 0;
    int failed = 0;
    std::vector<double> cpu;
    for (const Measured& run : row.runs) {
      rss = std::max(rss, run.max_rss_kib);
      if (run.exit_code != 0) ++failed;
      cpu.push_back(run.cpu_seconds);
    }
    std::printf("  %-22s %10.0f %10.0f %9.2f %9.2f", row.name.c_str(), rate, best_rate, md5sum / median, openssl / median);
    if (cold) {
      std::printf(" %9.2f", cat / median);
    } else {
      std::printf(" %9s", "");
    }
    std::printf(" %12.0f %6.1f MiB%s\n", static_cast<double>(bytes) / (1 << 20) / Median(cpu), static_cast<double>(rss) / 1024,
                failed ? "  FAILED" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << "usage: krdn-bench-verify [--gib 1,8] [--files 8] [--rounds 3] [--threads N] "
                 "[--kernels avx512,avx2,scalar] [--work DIR] [--keep]\n";
    return 2;
  }
  if (platform::BindMd5() != 0) {
    std::cerr << "MD5 is not available from the crypto library\n";
    return 1;
  }
  std::printf("processor: %s, %u cores; kernels it runs:", ProcessorModel().c_str(), std::thread::hardware_concurrency());
  for (const platform::Md5Kernel kernel : platform::kMd5Kernels) {
    if (platform::Md5KernelSupported(kernel)) {
      std::printf(" %s (%zu lanes)", std::string(platform::Md5KernelName(kernel)).c_str(), platform::Md5KernelLanes(kernel));
    }
  }
  std::printf("\nload average at start: %s\n", LoadAverage().c_str());

  bool all_ok = true;
  for (const int gib : options.gib) {
    fs::path install;
    krdn::Manifest manifest;
    std::vector<std::string> files;
    if (!MakeClient(options, gib, install, manifest, files)) return 1;
    const std::uint64_t bytes = std::uint64_t{static_cast<unsigned>(gib)} << 30;
    for (const bool cold : {false, true}) {
      std::vector<Row> rows = {{"cat", {}}, {"md5sum", {}}, {"openssl dgst -md5", {}}};
      for (const platform::Md5Kernel kernel : options.kernels) {
        if (!platform::Md5KernelSupported(kernel)) continue;
        rows.push_back({"engine " + std::string(platform::Md5KernelName(kernel)), {}});
      }
      if (!cold) ReadAll(files);  // warm-up: every file in the page cache
      std::vector<std::string> cat = {"cat"}, md5sum = {"md5sum"}, openssl = {"openssl", "dgst", "-md5"};
      for (auto* tool : {&cat, &md5sum, &openssl}) tool->insert(tool->end(), files.begin(), files.end());
      for (int round = 0; round < options.rounds; ++round) {
        std::size_t row = 0;
        for (const auto* tool : {&cat, &md5sum, &openssl}) {
          if (cold) DropCached(files);
          rows[row++].runs.push_back(RunTool(*tool));
        }
        for (const platform::Md5Kernel kernel : options.kernels) {
          if (!platform::Md5KernelSupported(kernel)) continue;
          if (cold) DropCached(files);
          rows[row++].runs.push_back(RunEngine(install, manifest, kernel, options.threads));
        }
      }
      for (const Row& row : rows) {
        for (const Measured& run : row.runs) all_ok = all_ok && run.exit_code == 0;
      }
      Report(std::to_string(gib) + " GiB in " + std::to_string(options.files) + " files, " + (cold ? "cold" : "warm"),
             bytes, rows, cold);
    }
    if (!options.keep) fs::remove_all(options.work / (std::to_string(gib) + "gib"));
  }
  std::printf("\nload average at end: %s\n", LoadAverage().c_str());
  return all_ok ? 0 : 1;
}
