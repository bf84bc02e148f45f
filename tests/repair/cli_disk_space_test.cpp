// krdn-repair-cli on a small disk: a tmpfs mounted in a mount namespace of the test's
// own (unshare), where the run finds too little room before the download pass, or
// finds the disk filled by another file while it runs.
#include <fcntl.h>
#include <sys/statvfs.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "tests/repair/cli_fixture.h"

namespace krdn::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// The shell between unshare and the program: mounts the tmpfs, runs the program in it,
// then lists what the tmpfs holds (size and path of each file) for the test, since the
// tmpfs goes with the namespace.
constexpr char kOnSmallDisk[] = R"(disk=$1 size=$2 listing=$3; shift 3
mount -t tmpfs -o "size=$size" krdn-test-disk "$disk" || exit 97
"$@"; code=$?
find "$disk" -type f -printf '%s %P\n' > "$listing"
exit $code)";

class SmallDisk : public Cli {
 protected:
  void SetUp() override {
    Cli::SetUp();
    fs::create_directories(disk);
    const std::string probe = "unshare --mount sh -c 'mount -t tmpfs -o size=1m krdn-probe \"" + disk.string() +
                              "\"' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) {
      GTEST_SKIP() << "no right to mount a tmpfs in a mount namespace of the test's own (unshare --mount, "
                      "mount -t tmpfs): the disk-space runs are skipped";
    }
  }

  // Starts the program on a tmpfs of the size (mount's form, "32m") at `disk`.
  pid_t SpawnOnDisk(const std::string& size, const std::vector<std::string>& args) {
    std::vector<std::string> all{"unshare", "--mount", "sh", "-c", kOnSmallDisk, "sh", disk.string(), size,
                                 (work / "listing.txt").string(), KRDN_REPAIR_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return SpawnProgram(std::move(all));
  }

  std::vector<std::string> Args(const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"--dir", game.string(), "--version-host", server->url(), "--repair-host",
                                  server->url()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  // The files the tmpfs held when the program had ended, by path in the install directory.
  std::map<std::string, std::uint64_t> Listing() {
    std::map<std::string, std::uint64_t> files;
    std::istringstream lines(ReadText(work / "listing.txt"));
    std::uint64_t size = 0;
    for (std::string path; lines >> size && std::getline(lines >> std::ws, path);) files[path] = size;
    return files;
  }

  // Piece requests of the release's files (the manifest aside).
  std::vector<std::string> PieceRequests() const {
    std::vector<std::string> paths;
    for (const auto& request : server->requests()) {
      if (request.path.rfind("/krdn/repair/", 0) == 0 && request.path.find("_download.txt") == std::string::npos) {
        paths.push_back(request.path);
      }
    }
    return paths;
  }

  fs::path disk = work / "disk";
  fs::path game = disk / "game";
};

// "磁盘空间不足：还需要 X MB，可用 Y MB。" with its two figures, or nothing.
std::optional<std::pair<double, double>> SpaceFigures(const std::string& text) {
  const std::string head = "磁盘空间不足：还需要 ";
  const std::string middle = " MB，可用 ";
  const std::size_t split = text.find(middle);
  if (text.rfind(head, 0) != 0 || split == std::string::npos || !text.ends_with(" MB。\n")) return std::nullopt;
  return std::pair(std::stod(text.substr(head.size(), split - head.size())), std::stod(text.substr(split + middle.size())));
}

TEST_F(SmallDisk, TooLittleRoomEndsTheRunBeforeAnyPieceIsRequestedAndWritesNoFileOfTheRelease) {
  AddClientFile("a.bin", PatternBytes(6 * kMiB, 60));
  AddClientFile("b/c.bin", PatternBytes(2 * kMiB, 61));
  Publish("1.9.3", 0, 256 * 1024);

  // 8 MiB to write and 64 MiB to spare do not fit into 32 MiB.
  const Finished small = Wait(SpawnOnDisk("32m", Args()));
  EXPECT_EQ(small.exit_code, 1) << small.err;
  const auto figures = SpaceFigures(WithoutLogLine(small.err));
  ASSERT_TRUE(figures.has_value()) << small.err;
  EXPECT_EQ(figures->first, 72.0) << small.err;
  EXPECT_GT(figures->second, 31.0) << small.err;
  EXPECT_LT(figures->second, 32.0 + 1e-9) << small.err;
  EXPECT_TRUE(PieceRequests().empty()) << PieceRequests().front();
  EXPECT_NE(small.out.find("校验文件: \\a.bin......文件缺失\r\n"), std::string::npos) << small.out;
  EXPECT_EQ(small.out.find("开始下载文件"), std::string::npos) << "ended before the download pass: " << small.out;
  const std::map<std::string, std::uint64_t> left = Listing();
  EXPECT_FALSE(left.contains("game/a.bin"));
  EXPECT_FALSE(left.contains("game/b/c.bin"));
  std::uint64_t written = 0;
  for (const auto& [path, size] : left) written += size;
  EXPECT_LT(written, 4096u) << "the version file at most";

  // The same release on a disk with the room it asks for: installed.
  server->ClearRequests();
  const Finished roomy = Wait(SpawnOnDisk("80m", Args()));
  EXPECT_EQ(roomy.exit_code, 0) << roomy.err;
  EXPECT_TRUE(roomy.err.empty()) << roomy.err;
  EXPECT_EQ(Listing()["game/a.bin"], 6 * kMiB);
  EXPECT_EQ(Listing()["game/b/c.bin"], 2 * kMiB);
  EXPECT_FALSE(PieceRequests().empty());
}

TEST_F(SmallDisk, ADiskFilledByAnotherFileDuringTheRunEndsItWithTheSameTextAndNoSuccess) {
  constexpr std::size_t kPiece = 16 * 1024;
  AddClientFile("a.bin", PatternBytes(4 * kPiece, 62));
  AddClientFile("b.bin", PatternBytes(20 * kMiB, 63));
  Publish("1.9.3", 0, kPiece);
  // a.bin's pieces trickle in (two seconds each, two at a time), so that the disk fills
  // while the run is on a.bin, before b.bin takes its room.
  server->AddRule(fault::FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = fault::Fault::kTrickle,
                                   .bytes_per_second = kPiece / 2});
  const pid_t pid = SpawnOnDisk("100m", Args({"--connections", "2"}));
  ASSERT_TRUE(server->WaitFor(3, 1, 60s)) << "the download pass did not begin";
  ASSERT_FALSE(PieceRequests().empty());

  // Another program's file takes all but 4 MiB, reached through the program's own view
  // of the file system.
  const fs::path other = fs::path("/proc") / std::to_string(pid) / "root" / disk.relative_path() / "other.bin";
  struct statvfs info {};
  ASSERT_EQ(statvfs(other.parent_path().c_str(), &info), 0);
  const std::uint64_t free = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  ASSERT_GT(free, 84 * kMiB) << "the check before the pass let the run begin";
  const int fd = open(other.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0) << other;
  EXPECT_EQ(posix_fallocate(fd, 0, static_cast<off_t>(free - 4 * kMiB)), 0);
  close(fd);

  const Finished run = Wait(pid);
  EXPECT_EQ(run.exit_code, 1) << run.err;
  const auto figures = SpaceFigures(WithoutLogLine(run.err));
  ASSERT_TRUE(figures.has_value()) << run.err;
  EXPECT_EQ(figures->first, 84.0) << "b.bin and the margin: " << run.err;
  EXPECT_LT(figures->second, 4.1) << run.err;
  EXPECT_NE(run.out.find("下载文件: \\a.bin......成功\r\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("下载文件: \\b.bin......失败\r\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("恭喜"), std::string::npos) << "no success: " << run.out;
  EXPECT_EQ(run.err.find("无法打开需下载文件"), std::string::npos) << run.err;
  EXPECT_LT(Listing()["game/b.bin"], 20 * kMiB) << "b.bin is short, and the run says so";
}

}  // namespace
}  // namespace krdn::testing
