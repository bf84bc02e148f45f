// Verification with pieces read ahead and digested in lanes: the run the user sees is
// the same whatever the kernel and the number of threads, and Stop and Close act
// between the pieces of one large file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "platform/hash/md5_lanes.h"
#include "repair/piece_checker.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "repair/verification.h"
#include "tests/repair/engine_fixture.h"
#include "transfer/digest.h"

namespace krdn::testing {
namespace {

using namespace std::chrono_literals;
using platform::Md5Kernel;

// Everything of a run that must not depend on how verification digests.
struct Observed {
  std::vector<Note> notes;
  std::vector<std::string> trace;
  std::vector<int> sleeps;
  std::vector<std::string> requests;  // path, range and agent string
  bool operator==(const Observed&) const = default;
};

class VerificationKernels : public EngineTest {
 protected:
  Observed RunOnCopyOf(const fs::path& damaged, Md5Kernel kernel, unsigned threads,
                       std::size_t batch = RunSettings{}.verify_batch) {
    fs::remove_all(install);
    fs::copy(damaged, install, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    if (after_copy) after_copy();
    settings.md5_kernel = kernel;
    settings.verify_threads = threads;
    settings.verify_batch = batch;
    {
      std::lock_guard lock(mutex);
      notes.clear();
      trace.clear();
      sleeps.clear();
    }
    const std::size_t requests_before = server->requests().size();
    RunRepair();
    EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
    ExpectInstallMatchesClient();
    Observed observed;
    std::lock_guard lock(mutex);
    for (const Note& note : notes) {
      // Byte counts of a transfer come when the transfer's clock says; they are not the pass's.
      if (note.kind == Kind::kTransient && note.Text().starts_with(u"下载数据：")) continue;
      observed.notes.push_back(note);
    }
    observed.trace = trace;
    observed.sleeps = sleeps;
    const auto requests = server->requests();
    for (std::size_t i = requests_before; i < requests.size(); ++i) {
      observed.requests.push_back(requests[i].path + " " + requests[i].range + " " + requests[i].user_agent);
    }
    // Pieces are fetched side by side, so they reach the server in any order.
    std::sort(observed.requests.begin(), observed.requests.end());
    return observed;
  }

  std::function<void()> after_copy;  // damage a copy cannot carry (a second name)
};

TEST_F(VerificationKernels, EveryKernelAndThreadCountGivesTheSameRunOverDamagedShortLongAndMissingFiles) {
  constexpr std::size_t kPiece = 150'000;  // several reads per piece, and no whole number of MD5 blocks
  AddClientFile("intact.bin", PatternBytes(9 * kPiece + 77, 40));
  AddClientFile("damaged.bin", PatternBytes(6 * kPiece, 41));
  AddClientFile("short.bin", PatternBytes(4 * kPiece + 5, 42));
  AddClientFile("long.bin", PatternBytes(3 * kPiece, 43));
  AddClientFile("gone/missing.bin", PatternBytes(2 * kPiece + 1, 44));
  AddClientFile("empty.bin", {});
  // Many one-piece files: lanes carry pieces of many files at once.
  for (int i = 0; i < 40; ++i) {
    AddClientFile("small/" + std::to_string(i) + ".dat", PatternBytes(100 + 61 * static_cast<std::size_t>(i), 50 + i));
  }
  Publish("1.9.3", 0, kPiece);
  InstallCopy();
  auto damaged = ReadFile(install / "damaged.bin");
  damaged[kPiece + 70'000] ^= 1;  // piece 1, in its second read
  damaged[5 * kPiece - 1] ^= 1;   // piece 4, its last byte
  WriteFile(install / "damaged.bin", damaged);
  fs::resize_file(install / "short.bin", 2 * kPiece + 70'000);  // inside piece 2; 3 and 4 are gone
  auto longer = ReadFile(install / "long.bin");
  longer.insert(longer.end(), 10, 0);
  WriteFile(install / "long.bin", longer);
  fs::remove_all(install / "gone");
  auto small7 = ReadFile(install / "small/7.dat");
  small7[0] ^= 0x80;
  WriteFile(install / "small/7.dat", small7);
  fs::remove(install / "small/30.dat");
  const fs::path template_dir = work / "damaged-install";
  fs::copy(install, template_dir, fs::copy_options::recursive);

  const Observed reference = RunOnCopyOf(template_dir, Md5Kernel::kScalar, 1);
  // The reference itself fetched exactly the bad pieces.
  std::vector<std::string> fetched;
  for (const std::string& request : reference.requests) {
    if (request.find("_download") == std::string::npos && request.find("Repair_Done") == std::string::npos &&
        request.find("tern.sav") == std::string::npos) {
      fetched.push_back(request.substr(0, request.find(" VoRepair")));
    }
  }
  EXPECT_EQ(fetched, (std::vector<std::string>{
                         "/krdn/repair/1.9.3/damaged.bin bytes=150000-299999",
                         "/krdn/repair/1.9.3/damaged.bin bytes=600000-749999",
                         "/krdn/repair/1.9.3/gone/missing.bin bytes=0-149999",
                         "/krdn/repair/1.9.3/gone/missing.bin bytes=150000-299999",
                         "/krdn/repair/1.9.3/gone/missing.bin bytes=300000-300000",
                         "/krdn/repair/1.9.3/short.bin bytes=300000-449999",
                         "/krdn/repair/1.9.3/short.bin bytes=450000-599999",
                         "/krdn/repair/1.9.3/short.bin bytes=600000-600004",
                         "/krdn/repair/1.9.3/small/30.dat bytes=0-1929",
                         "/krdn/repair/1.9.3/small/7.dat bytes=0-526",
                     }));

  for (const Md5Kernel kernel : platform::kMd5Kernels) {
    if (!platform::Md5KernelSupported(kernel)) {
      std::printf("[ SKIPPED  ] the %s kernel: this processor lacks it\n", std::string(Md5KernelName(kernel)).c_str());
      continue;
    }
    for (const unsigned threads : {1u, 2u, 3u}) {
      if (kernel == Md5Kernel::kScalar && threads == 1) continue;
      EXPECT_EQ(RunOnCopyOf(template_dir, kernel, threads), reference)
          << Md5KernelName(kernel) << " with " << threads << " threads";
    }
  }
}

// A client of small files, their outcomes handed to the pass in batches: the run is the
// same with every thread count, with batches of any size and with each file on its own,
// over damaged, short, long and missing files, links and a file with a second name.
TEST_F(VerificationKernels, ASmallFileClientGivesTheSameRunWithEveryThreadCountBatchedOrNot) {
  constexpr int kFiles = 700;  // ten batches and more, in 70 folders
  const auto name = [](int i) { return "d" + std::to_string(i % 70) + "/f" + std::to_string(i) + ".dat"; };
  for (int i = 0; i < kFiles; ++i) {
    AddClientFile(name(i), PatternBytes(200 + static_cast<std::size_t>(i * 977) % 3900, 100 + i));
  }
  AddClientFile("big.bin", PatternBytes(5 * 65536 + 3, 9));  // one file of several pieces among them
  Publish("1.9.3", 0, 65536);
  InstallCopy();
  for (const int damaged : {5, 63, 64, 65, 699}) {
    auto bytes = ReadFile(install / name(damaged));
    bytes[bytes.size() / 2] ^= 0x10;
    WriteFile(install / name(damaged), bytes);
  }
  fs::resize_file(install / name(100), 10);
  auto longer = ReadFile(install / name(200));
  longer.push_back(0);
  WriteFile(install / name(200), longer);
  fs::remove(install / name(300));
  fs::remove_all(install / "d13");  // ten files of a folder, across batches
  fs::remove(install / name(400));
  fs::create_symlink(client / name(400), install / name(400));
  const fs::path template_dir = work / "damaged-install";
  fs::copy(install, template_dir, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  // A file with another name outside counts as missing; the other name is never written.
  const fs::path outside = work / "outside.dat";
  after_copy = [&] {
    WriteFile(outside, ReadFile(client / name(500)));
    fs::remove(install / name(500));
    fs::create_hard_link(outside, install / name(500));
  };

  const Observed reference = RunOnCopyOf(template_dir, platform::BestMd5Kernel(), 1, 1);
  EXPECT_EQ(ReadFile(outside), ReadFile(client / name(500)));
  std::size_t fetched = 0;
  for (const std::string& request : reference.requests) fetched += request.find(".dat bytes=") != std::string::npos;
  // The long file is only cut: its one piece is intact.
  EXPECT_EQ(fetched, 5u + 1 + 1 + 10 + 1 + 1) << "one request for each damaged, short, missing or linked file";

  for (const unsigned threads : {1u, 2u, 3u, 4u}) {
    for (const std::size_t batch : {std::size_t{1}, std::size_t{7}, RunSettings{}.verify_batch}) {
      if (threads == 1 && batch == 1) continue;
      EXPECT_EQ(RunOnCopyOf(template_dir, platform::BestMd5Kernel(), threads, batch), reference)
          << threads << " threads, batches of " << batch;
    }
  }
}

// A file the checker could not open ahead of the pass is tried again at its turn, as
// if nothing had been tried before: free by then, it is read without a wait.
TEST_F(EngineTest, AFileLockedWhenReadAheadButFreeAtItsTurnIsVerifiedWithoutWaiting) {
  AddClientFile("a.bin", PatternBytes(5000, 60));
  AddClientFile("b.bin", PatternBytes(5000, 61));
  Publish();
  InstallCopy();
  int holder = open((install / "b.bin").c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  // One thread: handing out a.bin's first piece has opened b.bin for the hints already.
  settings.verify_threads = 1;
  std::atomic<bool> b_tried_ahead{false};
  settings.on_verify_read = [&](std::size_t file, std::size_t) {
    if (file == 0) b_tried_ahead = true;
  };
  answer = [&](const Note& note) -> RetryAnswer {
    if (note.kind == Kind::kStatus && note.text == u"校验文件: \\b.bin......" && holder >= 0) {
      EXPECT_TRUE(b_tried_ahead.load());
      close(holder);
      holder = -1;
    }
    return RetryAnswer::kGoOn;
  };
  RunRepair();
  if (holder >= 0) close(holder);
  EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_TRUE(sleeps.empty());
  const auto appended = Appended();
  EXPECT_EQ(std::count(appended.begin(), appended.end(), u"成功\r\n"), 2);
}

// One large file of zeros, held sparse so that it costs no disk, and its manifest.
class LargeFile : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kPiece = 4u << 20;

  void Make(std::uint32_t pieces) {
    ASSERT_EQ(BindMd5(), 0);
    fs::create_directories(work.path());
    const fs::path path = work / "big.bin";
    { std::ofstream create(path, std::ios::binary); }
    fs::resize_file(path, std::uint64_t{kPiece} * pieces);
    const PieceDigest zeros = PieceDigest::Of(platform::Md5(std::vector<std::uint8_t>(kPiece)));
    ManifestFile file{.path = u"\\big.bin", .pieces = {}, .total_size = kPiece * pieces};
    for (std::uint32_t i = 0; i < pieces; ++i) {
      file.pieces.push_back({.first_byte = i * kPiece, .last_byte = (i + 1) * kPiece - 1, .digest = zeros});
    }
    manifest.files.push_back(std::move(file));
    context = std::make_unique<LocalRunContext>(platform::Utf8ToUtf16(work.path().string()),
                                                [this](const Note& note) {
                                                  std::lock_guard lock(mutex);
                                                  appended.push_back(note.kind == Kind::kStatus ? note.Text() : u"");
                                                  return RetryAnswer::kGoOn;
                                                });
    context->Start();
  }

  // Runs the pass on a thread of its own, as the worker does.
  void StartPass() {
    pass = std::thread([this] {
      krdn::Run run(*context, settings);
      try {
        result = VerifyFiles(run, manifest, 0);
      } catch (const RunAbandoned&) {
        abandoned = true;
      } catch (const RunEnded&) {
        ended = true;
      }
    });
  }

  // Records every piece read; after `trigger`, the pieces read afterwards.
  void CountReads(std::size_t trigger_at, std::function<void()> trigger) {
    settings.on_verify_read = [this, trigger_at, trigger](std::size_t, std::size_t piece) {
      std::lock_guard lock(mutex);
      if (triggered) {
        read_after.insert(piece);
        return;
      }
      read_before.insert(piece);
      if (read_before.size() == trigger_at) {
        triggered = true;
        notes_at_trigger = appended.size();
        trigger();
      }
    };
  }

  void TearDown() override {
    if (pass.joinable()) {
      context->Control().Abandon();
      pass.join();
    }
  }

  TempDir work;
  Manifest manifest;
  RunSettings settings;
  std::unique_ptr<LocalRunContext> context;
  std::thread pass;
  VerificationResult result;
  std::atomic<bool> abandoned{false}, ended{false};

  std::mutex mutex;
  std::vector<std::u16string> appended;  // every notification, with the text of those that append
  std::set<std::size_t> read_before, read_after;
  bool triggered = false;
  std::size_t notes_at_trigger = 0;
};

TEST_F(LargeFile, CloseDuringTheVerificationOfA1GiBFileReturnsAfterAtMostTwoMorePieces) {
  Make(256);
  // Close in the middle of the file, from inside a read, as a window's Close can come at any time.
  CountReads(40, [this] { context->Control().Abandon(); });
  StartPass();
  pass.join();
  EXPECT_TRUE(abandoned);
  std::lock_guard lock(mutex);
  ASSERT_TRUE(triggered);
  EXPECT_LE(read_after.size(), 2u) << "pieces read after Close";
  EXPECT_LT(read_before.size() + read_after.size(), 256u / 2);
  EXPECT_EQ(appended.size(), notes_at_trigger) << "nothing is sent after Close";
}

TEST_F(LargeFile, StopInTheMiddleOfALargeFileHoldsItsReadsAndStartGoesOnToTheSameOutcome) {
  Make(64);
  CountReads(10, [this] { context->Stop(); });
  StartPass();
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!context->Control().WorkerWaiting() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(context->Control().WorkerWaiting());
  std::this_thread::sleep_for(100ms);
  std::size_t held_reads = 0;
  {
    std::lock_guard lock(mutex);
    held_reads = read_after.size();
    EXPECT_LE(held_reads, 2u) << "pieces read after Stop";
    EXPECT_EQ(appended.size(), notes_at_trigger) << "a held pass sends nothing";
  }
  context->Start();
  pass.join();
  EXPECT_FALSE(abandoned || ended);
  std::lock_guard lock(mutex);
  EXPECT_GT(read_after.size(), held_reads) << "Start let the reads go on";
  EXPECT_NE(std::find(appended.begin(), appended.end(), u"成功\r\n"), appended.end());
  EXPECT_TRUE(result.download_list.empty());
  EXPECT_TRUE(result.all_verified);
}

// With one piece in all, the thread that takes it digests it through the library's
// stream; damaged or not, it is judged as a lane would judge it.
TEST_F(LargeFile, APieceLeftAloneIsJudgedAsInALane) {
  Make(1);
  for (const bool damaged : {false, true}) {
    if (damaged) {
      std::fstream file(work / "big.bin", std::ios::binary | std::ios::in | std::ios::out);
      file.seekp(kPiece / 2);
      file.put('x');
    }
    for (const Md5Kernel kernel : platform::kMd5Kernels) {
      if (!platform::Md5KernelSupported(kernel)) continue;
      settings.md5_kernel = kernel;
      StartPass();
      pass.join();
      ASSERT_FALSE(abandoned || ended);
      EXPECT_EQ(result.download_list.size(), damaged ? 1u : 0u) << Md5KernelName(kernel);
      if (damaged && !result.download_list.empty()) {
        EXPECT_EQ(result.download_list[0].pieces, manifest.files[0].pieces);
      }
    }
  }
}

// 50,000 files of 200 B to 4 KB in 10,000 folders, one piece each, and their manifest;
// made once for the tests that stop and end their verification.
class ManySmallFiles : public ::testing::Test {
 protected:
  static constexpr std::size_t kFiles = 50'000;
  static constexpr std::size_t kTriggerFile = 25'000;

  static void SetUpTestSuite() {
    ASSERT_EQ(BindMd5(), 0);
    folder = MemoryBackedFolder();
    manifest = std::make_unique<Manifest>();
    for (std::size_t i = 0; i < kFiles; ++i) {
      const std::uint32_t size = 200 + static_cast<std::uint32_t>(i * 7919 % 3897);
      const std::string relative = "d" + std::to_string(i / 5) + "/f" + std::to_string(i);
      const std::vector<std::uint8_t> bytes = PatternBytes(size, static_cast<std::uint32_t>(i));
      // Plain system calls: the streams' checks would double the time of the setup.
      if (i % 5 == 0) {
        ASSERT_EQ(mkdir((folder->path() / relative).parent_path().c_str(), 0755), 0);
      }
      const int fd = open((folder->path() / relative).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      ASSERT_GE(fd, 0) << relative;
      ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
      close(fd);
      ManifestPiece piece;
      piece.first_byte = 0;
      piece.last_byte = size - 1;
      piece.digest = PieceDigest::Of(platform::Md5(bytes));
      ManifestFile file;
      file.path = u"\\" + platform::Utf8ToUtf16(relative);
      std::replace(file.path.begin(), file.path.end(), u'/', u'\\');
      file.pieces.push_back(std::move(piece));
      file.total_size = size;
      manifest->files.push_back(std::move(file));
    }
  }
  // Removing 50,000 files from a disk that discards each freed block takes most of a
  // minute: in memory when there is room for them.
  static std::unique_ptr<TempDir> MemoryBackedFolder() {
    struct statvfs memory {};
    if (statvfs("/dev/shm", &memory) == 0 && std::uint64_t{memory.f_bavail} * memory.f_frsize > (1ull << 30) &&
        access("/dev/shm", W_OK) == 0) {
      return std::make_unique<TempDir>("/dev/shm");
    }
    return std::make_unique<TempDir>();
  }

  static void TearDownTestSuite() {
    manifest.reset();
    // Nothing in it is read-only: the folder's own walk that makes files writable is not needed.
    std::error_code ignored;
    fs::remove_all(folder->path(), ignored);
    folder.reset();
  }

  void SetUp() override {
    settings.trace = {};
    // Each read counts as one file: every file is one piece.
    settings.on_verify_read = [this](std::size_t, std::size_t) {
      std::lock_guard lock(mutex);
      ++(triggered ? reads_after : reads_before);
    };
    context = std::make_unique<LocalRunContext>(platform::Utf8ToUtf16(folder->path().string()),
                                                [this](const Note& note) { return Heard(note); });
    context->Start();
  }

  // The pass's notifications; the status line of file kTriggerFile runs `trigger`.
  RetryAnswer Heard(const Note& note) {
    std::function<void()> run_trigger;
    {
      std::lock_guard lock(mutex);
      if (triggered) {
        heard_after.push_back(note);
        return RetryAnswer::kGoOn;
      }
      if (note.kind == Kind::kStatus && note.Text() == text::kVerifyingFile + manifest->files[kTriggerFile].path +
                                                            text::kLineOpen) {
        triggered = true;
        run_trigger = trigger;
      }
      if (note.kind == Kind::kStatus && note.Text() == text::kOutcomeSuccess) ++verified;
    }
    if (run_trigger) run_trigger();
    return RetryAnswer::kGoOn;
  }

  void StartPass() {
    pass = std::thread([this] {
      krdn::Run run(*context, settings);
      try {
        result = VerifyFiles(run, *manifest, 0);
      } catch (const RunAbandoned&) {
        abandoned = true;
      } catch (const RunEnded&) {
        ended = true;
      }
    });
  }

  void TearDown() override {
    if (pass.joinable()) {
      context->Control().Abandon();
      pass.join();
    }
  }

  std::size_t TwoBatches() const { return 2 * settings.verify_batch; }

  static inline std::unique_ptr<TempDir> folder;
  static inline std::unique_ptr<Manifest> manifest;

  RunSettings settings;
  std::unique_ptr<LocalRunContext> context;
  std::function<void()> trigger;
  std::thread pass;
  VerificationResult result;
  std::atomic<bool> abandoned{false}, ended{false};

  std::mutex mutex;
  bool triggered = false;
  std::size_t reads_before = 0, reads_after = 0, verified = 0;
  std::vector<Note> heard_after;
};

TEST_F(ManySmallFiles, CloseDuringTheirVerificationTakesEffectWithinTwoBatches) {
  trigger = [this] { context->Control().Abandon(); };
  StartPass();
  pass.join();
  EXPECT_TRUE(abandoned);
  std::lock_guard lock(mutex);
  ASSERT_TRUE(triggered);
  EXPECT_LE(reads_after, TwoBatches()) << "files read after Close";
  EXPECT_LT(reads_before + reads_after, kFiles) << "the checker did not go on to the end";
  EXPECT_TRUE(heard_after.empty()) << "nothing is sent after Close";
}

TEST_F(ManySmallFiles, StopDuringTheirVerificationHoldsWithinTwoBatchesAndStartGoesOn) {
  trigger = [this] { context->Stop(); };
  StartPass();
  // The pass holds at its stop point once the file's outcome and progress are out.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  const auto pass_holds = [&] {
    std::lock_guard lock(mutex);
    return !heard_after.empty() && heard_after.back().kind == Kind::kProgress;
  };
  while (!(pass_holds() && context->Control().WorkerWaiting()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(pass_holds() && context->Control().WorkerWaiting());
  std::this_thread::sleep_for(100ms);
  std::size_t held_reads = 0;
  {
    std::lock_guard lock(mutex);
    held_reads = reads_after;
    EXPECT_LE(held_reads, TwoBatches()) << "files read after Stop";
    ASSERT_EQ(heard_after.size(), 2u) << "the held pass sent more than the file's outcome and progress";
    EXPECT_TRUE(heard_after[0].Text() == text::kOutcomeSuccess);
  }
  context->Start();
  pass.join();
  EXPECT_FALSE(abandoned || ended);
  std::lock_guard lock(mutex);
  EXPECT_GT(reads_after, held_reads) << "Start let the reads go on";
  EXPECT_EQ(reads_before + reads_after, kFiles) << "each file read once";
  const auto verified_after = std::count_if(heard_after.begin(), heard_after.end(), [](const Note& note) {
    return note.kind == Kind::kStatus && note.Text() == text::kOutcomeSuccess;
  });
  EXPECT_EQ(verified + static_cast<std::size_t>(verified_after), kFiles);
  EXPECT_TRUE(result.download_list.empty());
  EXPECT_TRUE(result.all_verified);
}

}  // namespace
}  // namespace krdn::testing
