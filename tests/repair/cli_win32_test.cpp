// krdn-repair-cli.exe under wine against nginx on the Linux side: a damaged client
// (missing, damaged, too long, too short, read-only and locked files) repaired to the
// release, a run killed mid-download and resumed, Windows and Unix forms of the install
// path, the desktop shortcut read back through the shell link interface, and signed
// releases: trusted with their signatures only, and never rolled back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <thread>

#include "platform/io/desktop.h"
#include "platform/io/files.h"
#include "platform/testing/test_host.h"
#include "platform/base/utf.h"
#include "tests/support/local_servers.h"
#include "tests/support/shell_link_reading.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"
#include "tools/publish/publish.h"

namespace krdn::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Finished {
  DWORD exit_code = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

// The program started with its standard output and error in files of the test.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    const std::u16string program = platform::AbsolutePath(platform::Utf8ToUtf16(KRDN_REPAIR_CLI));
    std::wstring line = L"\"" + std::wstring(program.begin(), program.end()) + L"\"";
    for (const std::string& arg : args) {
      const std::u16string wide = platform::Utf8ToUtf16(arg);
      line += L" \"" + std::wstring(wide.begin(), wide.end()) + L"\"";
    }
    SECURITY_ATTRIBUTES inherit{.nLength = sizeof(SECURITY_ATTRIBUTES), .lpSecurityDescriptor = nullptr,
                                .bInheritHandle = TRUE};
    out_ = ::CreateFileW(out.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    err_ = ::CreateFileW(err.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out_;
    startup.hStdError = err_;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process) == 0) {
      ADD_FAILURE() << "cannot start " << KRDN_REPAIR_CLI;
      return;
    }
    ::CloseHandle(process.hThread);
    process_ = process.hProcess;
  }
  ~CliProcess() {
    if (process_ != nullptr) {
      ::TerminateProcess(process_, 99);
      ::WaitForSingleObject(process_, 10000);
      ::CloseHandle(process_);
    }
    CloseOutputs();
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Waits at most two minutes, so that no test can hang here.
  DWORD Wait() {
    if (process_ == nullptr) return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    if (::WaitForSingleObject(process_, 120000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process_, &code);
    CloseOutputs();
    return code;
  }
  void Kill() {
    if (process_ != nullptr) ::TerminateProcess(process_, 137);
  }

 private:
  void CloseOutputs() {
    for (HANDLE* handle : {&out_, &err_}) {
      if (*handle != INVALID_HANDLE_VALUE && *handle != nullptr) ::CloseHandle(*handle);
      *handle = INVALID_HANDLE_VALUE;
    }
  }
  HANDLE process_ = nullptr;
  HANDLE out_ = INVALID_HANDLE_VALUE;
  HANDLE err_ = INVALID_HANDLE_VALUE;
};

// Every file of the tree (but the version file) with its bytes, by relative path.
std::map<std::string, std::vector<std::uint8_t>> Files(const fs::path& tree) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(tree)) {
    const std::string relative = fs::relative(entry.path(), tree).generic_string();
    if (entry.is_regular_file() && relative != "tern.sav") files[relative] = ReadFile(entry.path());
  }
  return files;
}

std::vector<std::string> LogLines(const std::string& log, std::string_view containing) {
  std::vector<std::string> lines;
  std::istringstream text(log);
  for (std::string line; std::getline(text, line);) {
    if (line.find(containing) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

class CliUnderWine : public ::testing::Test {
 protected:
  void Publish(std::uint64_t piece_size) {
    const auto outcome =
        publish::Publish({.client = client, .out = root, .version = "2.1.7", .mode_word = 0, .piece_size = piece_size});
    ASSERT_EQ(outcome.code, publish::Outcome::kPublished);
  }
  std::vector<std::string> Args(const LocalServers& servers, const std::string& dir) const {
    return {"--dir", dir, "--version-host", servers.version_host(), "--repair-host", servers.repair_host()};
  }
  Finished Run(const std::vector<std::string>& args) {
    CliProcess process(args, work / "out.txt", work / "err.txt");
    const DWORD code = process.Wait();
    return {code, ReadText(work / "out.txt"), ReadText(work / "err.txt")};
  }

  TempDir work;
  fs::path client = work / "client";
  fs::path root = work / "root";
  fs::path install = work / "install";
};

TEST_F(CliUnderWine, RepairsEveryKindOfDamageLockedFilesOnTheirTurnAndWritesTheShortcut) {
  WriteFile(client / "VoLauncher.exe", PatternBytes(5000, 1));
  WriteFile(client / fs::path(u8"数据") / fs::path(u8"地图 one.pak"), PatternBytes(9000, 2));
  WriteFile(client / "data" / "long.bin", PatternBytes(3000, 3));
  WriteFile(client / "data" / "short.bin", PatternBytes(3000, 4));
  WriteFile(client / "data" / "readonly.bin", PatternBytes(3000, 5));
  WriteFile(client / "data" / "locked.bin", PatternBytes(3000, 6));
  WriteFile(client / "data" / "empty.txt", std::string());
  Publish(1024);
  fs::copy(client, install, fs::copy_options::recursive);
  fs::remove(install / fs::path(u8"数据") / fs::path(u8"地图 one.pak"));
  auto launcher = ReadFile(install / "VoLauncher.exe");
  launcher[4500] ^= 0x10;
  WriteFile(install / "VoLauncher.exe", launcher);
  auto longer = ReadFile(install / "data" / "long.bin");
  longer.resize(5000, 7);
  WriteFile(install / "data" / "long.bin", longer);
  auto shorter = ReadFile(install / "data" / "short.bin");
  shorter.resize(1500);
  WriteFile(install / "data" / "short.bin", shorter);
  auto read_only = ReadFile(install / "data" / "readonly.bin");
  read_only[10] ^= 0xFF;
  WriteFile(install / "data" / "readonly.bin", read_only);
  ASSERT_NE(::SetFileAttributesW((install / "data" / "readonly.bin").wstring().c_str(), FILE_ATTRIBUTE_READONLY), 0);
  auto locked = ReadFile(install / "data" / "locked.bin");
  locked[2999] ^= 0xFF;
  WriteFile(install / "data" / "locked.bin", locked);
  const fs::path shortcut = fs::path(platform::DesktopDirectory()) / "Velmora3.lnk";
  fs::remove(shortcut);

  LocalServers servers(root, work / "nginx");
  {
    // Held by another program, as a running game holds its files: it cannot be verified.
    HANDLE holder = ::CreateFileW((install / "data" / "locked.bin").wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                  0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Finished held = Run(Args(servers, install.string()));
    ::CloseHandle(holder);
    EXPECT_EQ(held.exit_code, 1u) << held.err;
    EXPECT_NE(held.out.find("校验文件: \\data\\locked.bin......无法验证\r\n"), std::string::npos) << held.out;
    // The final error, then where the run's log is.
    EXPECT_EQ(held.err.rfind("有文件被锁定，无法验证所有文件。\nkrdn-repair-cli: the log of this run: ", 0), 0u) << held.err;
    EXPECT_FALSE(fs::exists(shortcut));
  }
  const auto attributes = ::GetFileAttributesW((install / "data" / "readonly.bin").wstring().c_str());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u) << "the repaired file lost its read-only attribute";

  // Free again: the next run repairs what is left. The Unix form of the path (wine maps
  // it to drive Z:) names the same directory.
  const std::string unix_path = platform::HostPath(install.u16string());
  ASSERT_FALSE(unix_path.empty());
  const Finished run = Run(Args(servers, unix_path));
  EXPECT_EQ(run.exit_code, 0u) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  EXPECT_NE(run.out.find("下载文件: \\data\\locked.bin......成功\r\n"), std::string::npos) << run.out;
  EXPECT_EQ(Files(install), Files(client));

  const auto link = ReadLink(shortcut);
  ASSERT_TRUE(link) << "no readable shortcut at " << shortcut.string();
  const std::u16string install_dos = platform::AbsolutePath(platform::Utf8ToUtf16(unix_path));
  EXPECT_EQ(link->target, std::wstring(install_dos.begin(), install_dos.end()) + L"\\VoLauncher.exe");
  EXPECT_EQ(link->working_directory, std::wstring(install_dos.begin(), install_dos.end()));

  // Done: a third run finds everything intact.
  const Finished again = Run(Args(servers, install.string()));
  EXPECT_EQ(again.exit_code, 0u) << again.err;
  EXPECT_NE(again.out.find("恭喜，所有文件都成功通过检验\r\n"), std::string::npos) << again.out;
  // The marker, asked for by the two runs that got past verification.
  EXPECT_EQ(LogLines(servers.StoppedLog(), "\"VoRepair_DONE\" \"bytes=0-\"").size(), 2u);
}

TEST_F(CliUnderWine, ARunKilledMidDownloadIsResumedByTheNextAndFetchesOnlyWhatIsStillWrong) {
  constexpr std::size_t kPiece = 64 * 1024;
  WriteFile(client / "a.bin", PatternBytes(8 * kPiece, 11));
  WriteFile(client / "b" / "c.bin", PatternBytes(24 * kPiece + 100, 12));
  Publish(kPiece);
  fs::copy(client, install, fs::copy_options::recursive);
  auto damaged = ReadFile(install / "a.bin");
  for (std::size_t i = 0; i < damaged.size(); i += 3 * kPiece) damaged[i] ^= 1;
  WriteFile(install / "a.bin", damaged);
  fs::remove_all(install / "b");
  {
    // Answers at 128 KiB/s each: the download pass is under way for seconds.
    LocalServers slow(root, work / "nginx-slow", "--limit-rate 128k");
    std::vector<std::string> args = Args(slow, install.string());
    args.insert(args.end(), {"--connections", "4"});
    CliProcess process(args, work / "out.txt", work / "err.txt");
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (LogLines(ReadText(slow.access_log()), "/krdn/repair/2.1.7/b/").size() < 3 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
    }
    ASSERT_GE(LogLines(ReadText(slow.access_log()), "/krdn/repair/2.1.7/b/").size(), 3u) << "the download did not get under way";
    // And a piece written: under load the pieces of a.bin may have arrived but not yet be
    // on disk.
    while (WrongPieces(client, install, kPiece).size() == 3u + 25u && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(5ms);
    }
    process.Kill();
    EXPECT_EQ(process.Wait(), 137u);
  }
  const std::set<std::string> wrong = WrongPieces(client, install, kPiece);
  EXPECT_FALSE(wrong.empty());
  EXPECT_LT(wrong.size(), 3u + 25u) << "some pieces were written before the kill";

  LocalServers servers(root, work / "nginx");
  const Finished again = Run(Args(servers, install.string()));
  ASSERT_EQ(again.exit_code, 0u) << again.err;
  EXPECT_EQ(Files(install), Files(client));
  std::set<std::string> fetched;
  for (const std::string& line : LogLines(servers.StoppedLog(), "VoRepair_")) {
    const std::size_t path_start = line.find("/krdn/repair/2.1.7/");
    const std::size_t range_start = line.find("\"bytes=");
    if (path_start == std::string::npos || line.find("_download.txt") != std::string::npos) continue;
    const std::size_t path_end = line.find(' ', path_start);
    const std::string path = line.substr(path_start + 19, path_end - path_start - 19);
    const std::string range = line.substr(range_start + 7, line.find('"', range_start + 1) - range_start - 7);
    fetched.insert(path + " " + range);
  }
  EXPECT_EQ(fetched, wrong);
}

class SignedUnderWine : public CliUnderWine {
 protected:
  void SetUp() override {
    fs::create_directories(work / "keys");
    ASSERT_EQ(publish::MakeKey(key).code, publish::Outcome::kPublished);
    WriteFile(client / "VoLauncher.exe", PatternBytes(4000, 21));
    WriteFile(client / "data" / "a.pak", PatternBytes(2500, 22));
  }
  void PublishSigned(const std::string& version) {
    const auto outcome =
        publish::Publish({.client = client, .out = root, .version = version, .piece_size = 1024, .sign_key = key});
    ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
  }
  // A run that trusts `public_key` and gives up at the first network-failure dialog.
  Finished RunTrusting(const LocalServers& servers, const fs::path& public_key) {
    std::vector<std::string> args = Args(servers, install.string());
    args.insert(args.end(), {"--publisher-key", public_key.string(), "--give-up-after", "1"});
    return Run(args);
  }

  // The client's files as installed, without the record of the release order.
  std::map<std::string, std::vector<std::uint8_t>> Installed() const {
    auto files = Files(install);
    files.erase("tern.sav.order");
    return files;
  }

  fs::path key = work / "keys" / "release";
  fs::path version_file = root / "krdn" / "barternsav" / "360" / "tern.sav";
};

TEST_F(SignedUnderWine, AReleaseIsTrustedOnlyWithItsOwnSignatures) {
  PublishSigned("2.1.7");
  LocalServers servers(root, work / "nginx");
  const Finished trusted = RunTrusting(servers, key.string() + ".pub");
  ASSERT_EQ(trusted.exit_code, 0u) << trusted.err;
  EXPECT_EQ(Installed(), Files(client));

  fs::remove_all(install);
  const fs::path signature = version_file.string() + ".sig";
  const std::vector<std::uint8_t> good = ReadFile(signature);
  std::vector<std::uint8_t> tampered = good;
  tampered[10] ^= 0x01;
  WriteFile(signature, tampered);
  const Finished refused = RunTrusting(servers, key.string() + ".pub");
  EXPECT_EQ(refused.exit_code, 3u) << refused.err;
  EXPECT_EQ(refused.out, "下载文件tern.sav\r\n") << "a version file without a good signature is never used";

  WriteFile(signature, good);
  ASSERT_EQ(publish::MakeKey(work / "keys" / "other").code, publish::Outcome::kPublished);
  const Finished foreign = RunTrusting(servers, work / "keys" / "other.pub");
  EXPECT_EQ(foreign.exit_code, 3u) << foreign.err;
  fs::remove(root / "krdn" / "repair" / "2.1.7" / "2.1.7_download.txt.sig");
  const Finished unsigned_manifest = RunTrusting(servers, key.string() + ".pub");
  EXPECT_EQ(unsigned_manifest.exit_code, 3u) << unsigned_manifest.err;
  EXPECT_FALSE(fs::exists(install / "data" / "a.pak")) << "an unsigned manifest is never used";
}

TEST_F(SignedUnderWine, AnOlderReleaseServedAgainIsNeverUsed) {
  PublishSigned("2.1.7");
  const fs::path older = work / "older";
  fs::copy(root, older, fs::copy_options::recursive);
  WriteFile(client / "data" / "a.pak", PatternBytes(2500, 23));
  PublishSigned("2.1.8");
  LocalServers servers(root, work / "nginx");
  ASSERT_EQ(RunTrusting(servers, key.string() + ".pub").exit_code, 0u);
  const std::vector<std::uint8_t> accepted = ReadFile(install / "tern.sav");
  EXPECT_EQ(accepted, ReadFile(version_file));

  // The same host serves the older release again (the order is recorded per version host).
  fs::remove_all(root / "krdn");
  fs::copy(older / "krdn", root / "krdn", fs::copy_options::recursive);
  const Finished rolled_back = RunTrusting(servers, key.string() + ".pub");
  EXPECT_EQ(rolled_back.exit_code, 3u) << rolled_back.err;
  EXPECT_EQ(ReadFile(install / "tern.sav"), accepted);
  EXPECT_EQ(Installed(), Files(client)) << "the newer release stays as it was";
}

TEST_F(CliUnderWine, UsageErrorsAndAnUnreachableHostEndWithTheirCodes) {
  EXPECT_EQ(Run({}).exit_code, 2u);
  EXPECT_EQ(Run({"--dir", install.string(), "--bogus", "1"}).exit_code, 2u);
  EXPECT_EQ(Run({"--dir", (work / "no" / "such" / "parent").string()}).exit_code, 2u);
  // Nothing listens on port 1: two unstable-connection dialogs, then the network-failure
  // one, and the run is given up.
  const Finished gave_up = Run({"--dir", install.string(), "--version-host", "http://127.0.0.1:1", "--give-up-after", "1"});
  EXPECT_EQ(gave_up.exit_code, 3u) << gave_up.err;
  EXPECT_EQ(gave_up.out, "下载文件tern.sav\r\n");
  EXPECT_NE(gave_up.err.find("gave up after 1 network failures in a row"), std::string::npos) << gave_up.err;
}

}  // namespace
}  // namespace krdn::testing
