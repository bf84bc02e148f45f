// krdn-bench-scale [--entries 1000,10000,100000,1000000] [--rounds 3] [--large-gib 6] [--no-large]
//                  [--no-scaling] [--parse-only] [--work DIR]
//
// How the engine's cost grows with the client.
//
// scaling: for manifests of 1,000 to 1,000,000 entries (one 1 KiB file each, 1,000 to
//   a folder, paths of one length), the parse (time per entry, the peak resident memory
//   above the memory before it, and the bytes the parsed manifest keeps per entry beyond
//   its paths' characters) and the verification pass over an intact install of those
//   files, warm (time per file, its peak memory), next to `md5sum` over the same files
//   (through xargs). Each measurement runs in a child process of its own. Per-entry
//   figures are compared with those at 10,000 entries; the goal is 1.2 x at most.
// large: a sparse file of 6 GiB published with 4 MiB pieces and served by the local
//   nginx; one run of the engine over an install with one damaged piece near its end
//   (verification, then the repair of that piece), one over the intact install, and
//   `md5sum` over the file.
//
// Exit code 0 when every run verified or repaired what it should, 1 otherwise.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/repair/bench_process.h"
#include "platform/base/utf.h"
#include "platform/io/files.h"
#include "repair/local_run_context.h"
#include "repair/manifest.h"
#include "repair/repair_worker.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "repair/verification.h"
#include "tests/support/command_output.h"
#include "tests/support/local_servers.h"
#include "tests/support/temp_dir.h"
#include "tools/publish/publish.h"
#include "transfer/digest.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kFileBytes = 1024;
constexpr std::size_t kFilesPerFolder = 1000;
constexpr std::uint64_t kPiece = 4u << 20;

struct Options {
  std::vector<std::size_t> entries = {1'000, 10'000, 100'000, 1'000'000};
  int rounds = 3;
  std::uint64_t large_gib = 6;
  bool large = true;
  bool scaling = true;
  bool verify = true;  // off: the parse alone, without writing the files
  fs::path work = fs::temp_directory_path() / "krdn-bench-scale";
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-large") {
      options.large = false;
      continue;
    }
    if (arg == "--no-scaling") {
      options.scaling = false;
      continue;
    }
    if (arg == "--parse-only") {
      options.verify = false;
      options.large = false;
      continue;
    }
    if (i + 1 >= argc) return std::nullopt;
    const std::string value = argv[++i];
    if (arg == "--entries") {
      options.entries.clear();
      std::stringstream in(value);
      for (std::string item; std::getline(in, item, ',');) options.entries.push_back(std::stoull(item));
    } else if (arg == "--rounds") {
      options.rounds = std::max(1, std::stoi(value));
    } else if (arg == "--large-gib") {
      options.large_gib = std::max<std::uint64_t>(1, std::stoull(value));
    } else if (arg == "--work") {
      options.work = value;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// --- what a child process measures and hands back through a pipe ---

struct ChildFigures {
  double seconds = 0;        // the best round
  double peak_kib = 0;       // above the memory in use before the measured step
  double kept_bytes = 0;     // heap bytes kept by the parsed manifest (parse only)
  int failed = 0;            // 0 when every round did what it should
};

std::size_t PeakKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6));
  }
  return 0;
}

void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

template <typename Measure>
ChildFigures InChild(const Measure& measure) {
  int fds[2];
  if (pipe(fds) != 0) return ChildFigures{.failed = 1};
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const ChildFigures figures = measure();
    const ssize_t written = write(fds[1], &figures, sizeof figures);
    _exit(written == static_cast<ssize_t>(sizeof figures) ? 0 : 1);
  }
  close(fds[1]);
  ChildFigures figures{.failed = 1};
  if (pid > 0) {
    if (read(fds[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures)) figures.failed = 1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) figures.failed = 1;
  }
  close(fds[0]);
  return figures;
}

// --- the scaling client: n files of 1 KiB, each different ---

std::string ManifestPath(std::size_t i) {
  char path[64];
  std::snprintf(path, sizeof path, "\\d%04zu\\f%07zu.dat", i / kFilesPerFolder, i);
  return path;
}

// Each file's own bytes, so that no two files share a digest.
std::vector<std::uint8_t> FileBytes(std::size_t i) {
  return krdn::testing::PatternBytes(kFileBytes, static_cast<std::uint32_t>(i));
}

// The served manifest of the first n files, with the 0 byte the manifest stage appends.
std::vector<std::uint8_t> ServedManifest(std::size_t n) {
  std::string text = "," + std::to_string(n) + "\r\n";
  text.reserve(n * 64);
  for (std::size_t i = 0; i < n; ++i) {
    text += ManifestPath(i) + ",1," + std::to_string(kFileBytes) + "," + krdn::Md5Hex(FileBytes(i)) + "\r\n";
  }
  const std::string digest = krdn::Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  std::vector<std::uint8_t> served(digest.begin(), digest.end());
  served.insert(served.end(), text.begin(), text.end());
  served.push_back(0);
  return served;
}

// The install of the first n files under `install`, made once and kept for larger n.
bool WriteInstall(const fs::path& install, std::size_t from, std::size_t n) {
  for (std::size_t i = from; i < n; ++i) {
    std::string relative = ManifestPath(i).substr(1);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const fs::path path = install / relative;
    if (i % kFilesPerFolder == 0) fs::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::vector<std::uint8_t> bytes = FileBytes(i);
    const bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) ::close(fd);
    if (!ok) return false;
  }
  return true;
}

ChildFigures MeasureParse(const std::vector<std::uint8_t>& served, std::size_t n, int rounds) {
  return InChild([&] {
    ChildFigures figures;
    figures.seconds = 1e9;
    for (int round = 0; round < rounds; ++round) {
      ResetPeak();
      const std::size_t peak_before = PeakKiB();
      const std::size_t heap_before = HeapInUse();
      const auto start = Clock::now();
      krdn::Manifest manifest;
      const int result = krdn::ParseManifest(manifest, served);
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      figures.seconds = std::min(figures.seconds, seconds);
      figures.peak_kib = std::max(figures.peak_kib, static_cast<double>(PeakKiB() - peak_before));
      std::size_t path_bytes = 0;
      for (const krdn::ManifestFile& file : manifest.files) path_bytes += file.path.size() * sizeof(char16_t);
      figures.kept_bytes = static_cast<double>(HeapInUse() - heap_before - path_bytes) / static_cast<double>(n);
      if (result != 0 || manifest.files.size() != n) figures.failed = 1;
    }
    return figures;
  });
}

ChildFigures MeasureVerify(const fs::path& install, const krdn::Manifest& manifest, int rounds) {
  return InChild([&] {
    ChildFigures figures;
    figures.seconds = 1e9;
    for (int round = 0; round < rounds; ++round) {
      std::size_t intact = 0;
      krdn::LocalRunContext context(platform::Utf8ToUtf16(install.string()), [&](const krdn::Notice& notice) {
        if (notice.kind == krdn::Notice::Kind::kStatus && notice.text == krdn::text::kOutcomeSuccess) ++intact;
        return krdn::RetryAnswer::kGoOn;
      });
      context.Start();
      krdn::RunSettings settings;
      settings.trace = nullptr;
      ResetPeak();
      const std::size_t peak_before = PeakKiB();
      const auto start = Clock::now();
      try {
        krdn::Run run(context, settings);
        const krdn::VerificationResult result = krdn::VerifyFiles(run, manifest, 0);
        if (!result.download_list.empty()) figures.failed = 1;
      } catch (...) {
        figures.failed = 1;
      }
      figures.seconds = std::min(figures.seconds, std::chrono::duration<double>(Clock::now() - start).count());
      figures.peak_kib = std::max(figures.peak_kib, static_cast<double>(PeakKiB() - peak_before));
      if (intact != manifest.files.size()) figures.failed = 1;
    }
    return figures;
  });
}

// md5sum over the files of the list, through xargs; the best of the rounds.
double Md5sumSeconds(const fs::path& list, const fs::path& out, int rounds) {
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    const krdn::bench::Measured run = krdn::bench::RunProcess({"xargs", "-a", list.string(), "md5sum"}, out);
    if (run.exit_code != 0) return 0;
    best = std::min(best, run.seconds);
  }
  return best;
}

struct ScaleRow {
  std::size_t n = 0;
  ChildFigures parse, verify;
  double md5sum_seconds = 0;
};

std::string Load() { return krdn::testing::CommandOutput("uptime"); }

double Micro(double seconds, std::size_t n) { return seconds * 1e6 / static_cast<double>(n); }

int Scaling(const Options& options) {
  const fs::path install = options.work / "scale";
  fs::remove_all(install);
  fs::create_directories(install);
  std::vector<std::size_t> sizes = options.entries;
  std::sort(sizes.begin(), sizes.end());
  std::vector<ScaleRow> rows;
  std::size_t written = 0;
  int failed = 0;
  for (const std::size_t n : sizes) {
    if (options.verify && !WriteInstall(install, written, n)) {
      std::cerr << "cannot write the install of " << n << " files under " << install << "\n";
      return 1;
    }
    written = std::max(written, n);
    const fs::path list = options.work / "files.txt";
    {
      std::ofstream out(list);
      for (std::size_t i = 0; i < n; ++i) {
        std::string relative = ManifestPath(i).substr(1);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        out << (install / relative).string() << "\n";
      }
    }
    const std::vector<std::uint8_t> served = ServedManifest(n);
    ScaleRow row{.n = n, .parse = MeasureParse(served, n, options.rounds), .verify = {}, .md5sum_seconds = 0};
    krdn::Manifest manifest;
    if (krdn::ParseManifest(manifest, served) != 0) return 1;
    if (options.verify) {
      Md5sumSeconds(list, options.work / "md5sum.out", 1);  // the files are in the page cache afterwards
      row.verify = MeasureVerify(install, manifest, options.rounds);
      row.md5sum_seconds = Md5sumSeconds(list, options.work / "md5sum.out", options.rounds);
    }
    failed |= row.parse.failed | row.verify.failed;
    std::printf("  %zu entries: %zu manifest bytes, parse %.3f s, verify %.3f s\n", n, served.size() - 1,
                row.parse.seconds, row.verify.seconds);
    rows.push_back(row);
  }

  const auto at = std::find_if(rows.begin(), rows.end(), [](const ScaleRow& row) { return row.n == 10'000; });
  std::printf("\nscaling: files of %zu bytes, %zu to a folder, warm page cache, best of %d rounds\n", kFileBytes,
              kFilesPerFolder, options.rounds);
  std::printf("%10s | %12s %8s %12s %12s | %12s %8s %12s %10s | %s\n", "entries", "parse us/e", "vs 10k",
              "peak MiB", "kept B/e", "verify us/f", "vs 10k", "peak MiB", "md5sum us/f", "exit");
  for (const ScaleRow& row : rows) {
    const double parse = Micro(row.parse.seconds, row.n), verify = Micro(row.verify.seconds, row.n);
    const double parse_base = at != rows.end() ? Micro(at->parse.seconds, at->n) : 0;
    const double verify_base = at != rows.end() ? Micro(at->verify.seconds, at->n) : 0;
    std::printf("%10zu | %12.3f %7.2fx %12.1f %12.1f | %12.2f %7.2fx %12.1f %10.2f | %s\n", row.n, parse,
                parse_base > 0 ? parse / parse_base : 0, row.parse.peak_kib / 1024, row.parse.kept_bytes, verify,
                verify_base > 0 ? verify / verify_base : 0, row.verify.peak_kib / 1024,
                Micro(row.md5sum_seconds, row.n), row.parse.failed | row.verify.failed ? "FAILED" : "ok");
  }
  if (at != rows.end() && rows.back().n == 1'000'000) {
    const ScaleRow& last = rows.back();
    const double parse_ratio = last.parse.seconds / at->parse.seconds / 100.0;
    const double verify_ratio = last.verify.seconds / at->verify.seconds / 100.0;
    std::printf("goal: per-entry cost at 1,000,000 within 1.2x of 10,000: parse %.2fx, verify %.2fx: %s\n",
                parse_ratio, verify_ratio, parse_ratio <= 1.2 && verify_ratio <= 1.2 ? "met" : "NOT met");
  }
  fs::remove_all(install);
  return failed;
}

// --- the large file ---

// A sparse archive with a few written regions, so that its pieces differ.
bool MakeArchive(const fs::path& path, std::uint64_t size) {
  fs::create_directories(path.parent_path());
  std::optional<platform::File> file = platform::File::Open(path.u16string(), platform::File::Mode::kCreate);
  if (!file || !file->Resize(size)) return false;
  for (const std::uint64_t at : {std::uint64_t{0}, size / 2, size - kPiece - 5000, size - 100}) {
    const std::vector<std::uint8_t> bytes = FileBytes(at);
    if (!file->WriteAt(at, std::span(bytes).first(std::min<std::size_t>(bytes.size(), size - at)))) return false;
  }
  return true;
}

struct RepairFigures {
  double verify_seconds = 0;    // from the start of the pass to its last file
  double download_seconds = 0;  // from the start of the download pass to the run's end
  double seconds = 0;           // the whole run
  long peak_kib = 0;
  bool succeeded = false;
};

RepairFigures RunEngine(const fs::path& install, const krdn::testing::LocalServers& servers) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    RepairFigures figures;
    std::optional<Clock::time_point> verifying, downloading;
    krdn::LocalRunContext context(platform::Utf8ToUtf16(install.string()), [&](const krdn::Notice& notice) {
      if (notice.kind == krdn::Notice::Kind::kStatus && notice.text == krdn::text::kVerifyingFiles) verifying = Clock::now();
      if (notice.kind == krdn::Notice::Kind::kStatus && notice.text == krdn::text::kDownloadingFiles) {
        downloading = Clock::now();
      }
      if (notice.kind == krdn::Notice::Kind::kSucceeded) figures.succeeded = true;
      if (notice.kind == krdn::Notice::Kind::kStatus && notice.text == krdn::text::kAllVerified) figures.succeeded = true;
      return krdn::RetryAnswer::kGoOn;
    });
    context.Start();
    krdn::RunSettings settings;
    settings.trace = nullptr;
    settings.version_host = servers.version_host();
    settings.repair_host = servers.repair_host();
    const auto run_start = Clock::now();
    try {
      krdn::RepairWorker(context, settings);
    } catch (...) {
      figures.succeeded = false;
    }
    const auto end = Clock::now();
    const auto seconds = [](Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); };
    figures.seconds = seconds(run_start, end);
    if (verifying) figures.verify_seconds = seconds(*verifying, downloading.value_or(end));
    if (downloading) figures.download_seconds = seconds(*downloading, end);
    const ssize_t written = write(fds[1], &figures, sizeof figures);
    _exit(written == static_cast<ssize_t>(sizeof figures) ? 0 : 1);
  }
  close(fds[1]);
  RepairFigures figures;
  if (pid > 0) {
    if (read(fds[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures)) figures.succeeded = false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    figures.peak_kib = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) figures.succeeded = false;
  }
  close(fds[0]);
  return figures;
}

std::uint64_t DiskBytes(const fs::path& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_blocks) * 512 : 0;
}

int Large(const Options& options) {
  const fs::path work = options.work / "large";
  fs::remove_all(work);
  const std::uint64_t size = options.large_gib << 30;
  const fs::path archive = fs::path("data") / "archive.pak";
  if (!MakeArchive(work / "client" / archive, size)) return 1;
  const auto publish_start = Clock::now();
  const krdn::publish::Outcome published = krdn::publish::Publish(
      {.client = work / "client", .out = work / "root", .version = "1.9.3", .mode_word = 0, .piece_size = kPiece});
  const double publish_seconds = std::chrono::duration<double>(Clock::now() - publish_start).count();
  if (published.code != krdn::publish::Outcome::kPublished) {
    std::cerr << "publish failed: " << published.message << "\n";
    return 1;
  }
  fs::remove_all(work / "client");

  const fs::path installed = work / "install" / archive;
  if (!MakeArchive(installed, size)) return 1;
  const std::uint64_t damaged_at = size - kPiece - 4000;  // inside the last but one piece
  {
    std::optional<platform::File> file = platform::File::Open(installed.u16string(), platform::File::Mode::kUpdate);
    const std::vector<std::uint8_t> junk(100, 0xA5);
    if (!file || !file->WriteAt(damaged_at, junk)) return 1;
  }

  std::optional<krdn::testing::LocalServers> servers;
  try {
    servers.emplace(work / "root", work / "servers");
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  const RepairFigures repaired = RunEngine(work / "install", *servers);
  const RepairFigures verified = RunEngine(work / "install", *servers);
  const std::string served = (work / "root/krdn/repair/1.9.3" / archive).string();
  const krdn::bench::Measured md5sum = krdn::bench::RunProcess({"md5sum", served}, work / "md5sum.out");
  const std::string log = servers->StoppedLog();
  const std::size_t pieces = (size + kPiece - 1) / kPiece;
  const std::uint64_t first = (damaged_at / kPiece) * kPiece;
  const std::string agent = "VoRepair_invalid_" + std::to_string(damaged_at / kPiece + 1) + "in" + std::to_string(pieces);
  const std::string range = "bytes=" + std::to_string(first) + "-" + std::to_string(first + kPiece - 1);
  const bool logged = log.find("\"" + agent + "\" \"" + range + "\"") != std::string::npos;

  const double gib = static_cast<double>(size) / (1u << 30);
  std::printf("\nlarge file: %.0f GiB sparse, %zu pieces of 4 MiB, nginx on loopback\n", gib, pieces);
  std::printf("  publish                  %7.2f s  %6.2f GiB/s\n", publish_seconds, gib / publish_seconds);
  std::printf("  md5sum of the file       %7.2f s  %6.2f GiB/s\n", md5sum.seconds, gib / md5sum.seconds);
  std::printf("  engine, one bad piece    %7.2f s in all: verify %.2f s (%.2f GiB/s), repair %.3f s, peak %.1f MiB, %s\n",
              repaired.seconds, repaired.verify_seconds, gib / repaired.verify_seconds, repaired.download_seconds,
              static_cast<double>(repaired.peak_kib) / 1024, repaired.succeeded ? "repaired" : "FAILED");
  std::printf("  engine, intact           %7.2f s in all: verify %.2f s (%.2f GiB/s), peak %.1f MiB, %s\n",
              verified.seconds, verified.verify_seconds, gib / verified.verify_seconds,
              static_cast<double>(verified.peak_kib) / 1024, verified.succeeded ? "verified" : "FAILED");
  std::printf("  the piece fetched: %s %s: %s; disk used by the install: %.1f MiB\n", agent.c_str(), range.c_str(),
              logged ? "in nginx's log" : "NOT in nginx's log", static_cast<double>(DiskBytes(installed)) / (1 << 20));
  fs::remove_all(work);
  return repaired.succeeded && verified.succeeded && logged ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: krdn-bench-scale [--entries 1000,10000,100000,1000000] [--rounds 3] [--large-gib 6]"
                 " [--no-large] [--no-scaling] [--parse-only] [--work DIR]\n";
    return 2;
  }
  if (platform::BindMd5() != 0) return 1;
  fs::create_directories(options->work);
  std::printf("load at start: %s", Load().c_str());
  int failed = 0;
  if (options->scaling) failed |= Scaling(*options);
  if (options->large) failed |= Large(*options);
  std::printf("load at end: %s", Load().c_str());
  return failed == 0 ? 0 : 1;
}
