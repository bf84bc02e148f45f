// Signed releases: with the publisher's key the run trusts the version file and the
// manifest only with their signatures, fetched right after each; a tampered, missing or
// foreign signature is a failed attempt and the file is never used. Without a key no
// signature is asked for.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/io/install_root.h"
#include "platform/io/release_signature.h"
#include "repair/release_order.h"
#include "tests/repair/engine_fixture.h"

namespace krdn::testing {
namespace {

constexpr char kVersionFile[] = "krdn/barternsav/360/tern.sav";
constexpr char kManifest[] = "krdn/repair/1.9.3/1.9.3_download.txt";

class SignedRelease : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    fs::create_directories(work / "keys");
    ASSERT_EQ(publish::MakeKey(key).code, publish::Outcome::kPublished);
    AddClientFile("VoLauncher.exe", PatternBytes(3000, 81));
    AddClientFile("data/a.pak", PatternBytes(1500, 82));
    publish::Outcome outcome = publish::Publish(
        {.client = client, .out = root, .version = "1.9.3", .piece_size = 1024, .sign_key = key});
    ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
    settings.publisher_key = ReadText(key.string() + ".pub");
  }

  // Answers `count` retry questions with "go on", then ends the run from the next one.
  void EndAfterQuestions(std::size_t count) {
    answer = [this, count](const Note& note) {
      if (note.kind != Kind::kQuestion || ++questions_seen <= count) return RetryAnswer::kGoOn;
      return RetryAnswer::kEndRun;
    };
  }

  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> out;
    for (const auto& request : server->requests()) out.push_back(request.path);
    return out;
  }

  std::size_t Requests(const std::string& path) const {
    const auto paths = RequestedPaths();
    return static_cast<std::size_t>(std::count(paths.begin(), paths.end(), path));
  }

  fs::path key = work / "keys/release";
  std::size_t questions_seen = 0;
};

TEST_F(SignedRelease, IsTrustedWithBothSignaturesEachFetchedRightAfterItsFile) {
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  const auto requests = server->requests();
  ASSERT_GE(requests.size(), 4u);
  EXPECT_EQ(requests[0].path, "/krdn/barternsav/360/tern.sav");
  EXPECT_EQ(requests[1].path, "/krdn/barternsav/360/tern.sav.sig");
  EXPECT_EQ(requests[1].user_agent, "Version");
  EXPECT_EQ(requests[2].path, "/krdn/repair/1.9.3/1.9.3_download.txt");
  EXPECT_EQ(requests[3].path, "/krdn/repair/1.9.3/1.9.3_download.txt.sig");
  EXPECT_EQ(requests[3].user_agent, "VoRepair");
  EXPECT_EQ(ReadFile(install / "tern.sav"), ReadFile(root / kVersionFile));
}

enum class Forgery { kTamperedSignature, kMissingSignature, kOtherKeysSignature, kReplacedFile };
struct Untrusted {
  std::string name;
  std::string file;  // beneath the server root
  Forgery forgery;
};
void PrintTo(const Untrusted& untrusted, std::ostream* out) { *out << untrusted.name; }

class UntrustedFiles : public SignedRelease, public ::testing::WithParamInterface<Untrusted> {
 protected:
  // What a man in the middle would serve in the file's place: another release's file
  // of the same name, consistent in itself (its digest matches), signed by nobody.
  std::vector<std::uint8_t> Counterfeit(const std::string& file) {
    const fs::path other = work / "other";
    WriteFile(other / "client/VoLauncher.exe", PatternBytes(3000, 99));
    const publish::Outcome outcome =
        publish::Publish({.client = other / "client", .out = other / "root", .version = "1.9.3", .mode_word = 1});
    EXPECT_EQ(outcome.code, publish::Outcome::kPublished);
    return ReadFile(other / "root" / file);
  }

  void Forge(const Untrusted& c) {
    const fs::path file = root / c.file;
    const fs::path signature = file.string() + ".sig";
    switch (c.forgery) {
      case Forgery::kTamperedSignature: {
        auto bytes = ReadFile(signature);
        bytes[17] ^= 0x40;
        WriteFile(signature, bytes);
        break;
      }
      case Forgery::kMissingSignature:
        fs::remove(signature);
        break;
      case Forgery::kOtherKeysSignature: {
        const auto pair = platform::MakeReleaseKeyPair();
        ASSERT_TRUE(pair);
        const auto forged = platform::SignRelease(pair->private_pem, file.filename().string(), ReadFile(file));
        ASSERT_TRUE(forged);
        WriteFile(signature, std::vector<std::uint8_t>(forged->begin(), forged->end()));
        break;
      }
      case Forgery::kReplacedFile:
        WriteFile(file, Counterfeit(c.file));
        break;
    }
  }
};

TEST_P(UntrustedFiles, AreFailedAttemptsWithTheStagesTextAndNeverUsed) {
  const Untrusted c = GetParam();
  Forge(c);
  WriteFile(install / "tern.sav", "the old version file");
  WriteFile(install / "data/a.pak", "left alone");
  EndAfterQuestions(2);

  RunRepair();
  EXPECT_FALSE(Succeeded());
  const bool version_file = c.file == kVersionFile;
  const std::u16string text = version_file ? u"文件tern.sav下载失败\r\n" : u"无法获取验证文件信息。\r\n";
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, text}, {kUnstable, text}, {kNetworkFailure, text}}));
  EXPECT_EQ(Requests("/" + c.file), 3u) << "each attempt fetches the file again";
  EXPECT_EQ(Requests("/" + c.file + ".sig"), 3u) << "and its signature right after";

  // Nothing of the untrusted file was used.
  EXPECT_EQ(ReadText(install / "data/a.pak"), "left alone");
  for (const auto& path : RequestedPaths()) {
    EXPECT_EQ(path.find("/krdn/repair/1.9.3/VoLauncher.exe"), std::string::npos) << "no piece was fetched";
  }
  const std::vector<std::u16string> appended = Appended();
  EXPECT_EQ(std::find_if(appended.begin(), appended.end(),
                         [](const std::u16string& line) { return line.rfind(u"校验文件", 0) == 0; }),
            appended.end());
  if (version_file) {
    EXPECT_EQ(ReadText(install / "tern.sav"), "the old version file");
    EXPECT_EQ(Requests("/" + std::string(kManifest)), 0u);
    EXPECT_EQ(std::find(appended.begin(), appended.end(), u"当前客户端版本号: "), appended.end());
  } else {
    EXPECT_EQ(ReadFile(install / "tern.sav"), ReadFile(root / kVersionFile));
    EXPECT_TRUE(NotesOf(Kind::kTransient).empty() ||
                NotesOf(Kind::kTransient).back().text != u"读取验证文件信息")
        << "the manifest was not read";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forgeries, UntrustedFiles,
    ::testing::Values(Untrusted{"VersionFileTamperedSignature", kVersionFile, Forgery::kTamperedSignature},
                      Untrusted{"VersionFileMissingSignature", kVersionFile, Forgery::kMissingSignature},
                      Untrusted{"VersionFileOtherKeysSignature", kVersionFile, Forgery::kOtherKeysSignature},
                      Untrusted{"VersionFileReplaced", kVersionFile, Forgery::kReplacedFile},
                      Untrusted{"ManifestTamperedSignature", kManifest, Forgery::kTamperedSignature},
                      Untrusted{"ManifestMissingSignature", kManifest, Forgery::kMissingSignature},
                      Untrusted{"ManifestOtherKeysSignature", kManifest, Forgery::kOtherKeysSignature},
                      Untrusted{"ManifestReplaced", kManifest, Forgery::kReplacedFile}),
    [](const ::testing::TestParamInfo<Untrusted>& param_info) { return param_info.param.name; });

// A version file of another release, 1.9.2, with mode word 5.
std::vector<std::uint8_t> OlderVersionFile() {
  std::vector<std::uint8_t> bytes(300, 0x20);
  bytes[240] = 1;
  bytes[241] = 9;
  bytes[242] = 2;
  bytes[252] = 5;
  bytes[253] = 0;
  return bytes;
}

unsigned ModeOf(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(SignedRelease, AReadOnlyVersionFileIsMadeWritableAndHoldsTheCheckedBytes) {
  WriteFile(install / "tern.sav", OlderVersionFile());
  ::chmod((install / "tern.sav").c_str(), 0444);
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_EQ(ReadFile(install / "tern.sav"), ReadFile(root / kVersionFile));
  EXPECT_NE(ModeOf(install / "tern.sav") & S_IWUSR, 0u);
  ExpectInstallMatchesClient();
}

// Another process reads an older version file and keeps it from being written: the
// checked bytes cannot reach the disk, and the older file, which the run can still
// read, must not decide the version.
TEST_F(SignedRelease, AVersionFileThatCannotBeWrittenFailsTheAttemptAndIsNeverRead) {
  WriteFile(install / "tern.sav", OlderVersionFile());
  const int reader = ::open((install / "tern.sav").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  EndAfterQuestions(1);
  RunRepair();
  ::close(reader);
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, u"文件tern.sav下载失败\r\n"}, {kUnstable, u"文件tern.sav下载失败\r\n"}}));
  EXPECT_EQ(ReadFile(install / "tern.sav"), OlderVersionFile());
  for (const auto& path : RequestedPaths()) EXPECT_EQ(path.find("/krdn/repair/"), std::string::npos) << path;
  const std::vector<std::u16string> appended = Appended();
  EXPECT_EQ(std::find_if(appended.begin(), appended.end(),
                         [](const std::u16string& line) { return line.starts_with(u"当前客户端版本号"); }),
            appended.end());
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1), 6) << "three tries of the open in each attempt";
}

TEST_F(SignedRelease, AKeyThatIsNoPublicKeyTrustsNothing) {
  settings.publisher_key = ReadText(key);  // the private half: not what a build is given
  EndAfterQuestions(0);
  RunRepair();
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, u"文件tern.sav下载失败\r\n"}}));
}

TEST_F(SignedRelease, ARunWithoutAKeyAsksForNoSignatureAndIgnoresBadOnes) {
  settings.publisher_key.clear();
  WriteFile(root / (std::string(kVersionFile) + ".sig"), "not a signature");
  fs::remove(root / (std::string(kManifest) + ".sig"));
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  for (const auto& path : RequestedPaths()) EXPECT_EQ(path.find(".sig"), std::string::npos) << path;
  EXPECT_EQ(RequestedPaths().front(), "/krdn/barternsav/360/tern.sav");
}

// Releases in order: the fixture's release 1.9.3 is number 1; the publisher numbers the
// next release under the same root 2.
class OrderedReleases : public SignedRelease {
 protected:
  void SetUp() override {
    SignedRelease::SetUp();
    if (HasFatalFailure()) return;
    for (const std::string& file : {std::string(kVersionFile), std::string(kVersionFile) + ".sig"}) {
      first_release.emplace_back(file, ReadFile(root / file));
    }
    AddClientFile("data/a.pak", PatternBytes(1700, 83));
    const publish::Outcome outcome =
        publish::Publish({.client = client, .out = root, .version = "1.9.4", .piece_size = 1024, .sign_key = key});
    ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
    ASSERT_EQ(outcome.sequence, 2u);
  }

  // Serves release 1 again in place of release 2: its version file and signature (its
  // manifest and signature are still there, under 1.9.3).
  void ReplayFirstRelease() {
    for (const auto& [file, bytes] : first_release) WriteFile(root / file, bytes);
  }

  std::string Record() const { return ReadText(install / "tern.sav.order"); }

  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> first_release;
};

TEST_F(OrderedReleases, AnOlderReleaseServedAgainIsAFailedAttemptAndNeverUsed) {
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  EXPECT_EQ(Record(), "2 " + settings.version_host + "\n");
  const auto installed_version_file = ReadFile(install / "tern.sav");

  ReplayFirstRelease();
  notes.clear();
  server->ClearRequests();
  EndAfterQuestions(2);
  RunRepair();
  EXPECT_FALSE(Succeeded());
  const std::u16string text = u"文件tern.sav下载失败\r\n";
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, text}, {kUnstable, text}, {kNetworkFailure, text}}));
  EXPECT_EQ(Requests("/" + std::string(kVersionFile)), 3u) << "each attempt fetches the version file again";
  EXPECT_EQ(Requests("/" + std::string(kVersionFile) + ".sig"), 3u);
  for (const auto& path : RequestedPaths()) EXPECT_EQ(path.find("/krdn/repair/"), std::string::npos) << path;
  const std::vector<std::u16string> appended = Appended();
  EXPECT_EQ(std::find_if(appended.begin(), appended.end(),
                         [](const std::u16string& line) { return line.starts_with(u"当前客户端版本号"); }),
            appended.end());
  EXPECT_EQ(ReadFile(install / "tern.sav"), installed_version_file) << "the older version file was never stored";
  EXPECT_EQ(Record(), "2 " + settings.version_host + "\n");

  // A run that died while replacing the record left a torn one beside it: the old
  // record still holds, and the older release is still refused.
  WriteFile(install / "tern.sav.order.new", "1 " + settings.version_host.substr(0, 9));
  notes.clear();
  questions_seen = 0;
  EndAfterQuestions(0);
  RunRepair();
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, text}}));
  EXPECT_EQ(Record(), "2 " + settings.version_host + "\n");
}

TEST_F(OrderedReleases, TheSameReleaseAgainIsARepairAndANewerOneMovesTheRecordOn) {
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  WriteFile(install / "data/a.pak", "damaged");
  notes.clear();
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  EXPECT_EQ(Record(), "2 " + settings.version_host + "\n");

  ASSERT_EQ(publish::Publish({.client = client, .out = root, .version = "1.9.5", .sign_key = key, .sequence = 40})
                .sequence,
            40u);
  notes.clear();
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_EQ(Record(), "40 " + settings.version_host + "\n");
}

TEST_F(OrderedReleases, ARecordThatCannotBeReadTrustsNoRelease) {
  WriteFile(install / "tern.sav.order", "1 " + settings.version_host + "\n");
  const int holder = ::open((install / "tern.sav.order").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);  // another process writes it: the order is not known
  EndAfterQuestions(0);
  RunRepair();
  ::close(holder);
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, u"文件tern.sav下载失败\r\n"}}));
  for (const auto& path : RequestedPaths()) EXPECT_EQ(path.find("/krdn/repair/"), std::string::npos) << path;
}

// What a release's number changes for every other party: a release signed before
// numbers existed, a client without a key, and a client of the plain protocol.
TEST_F(OrderedReleases, AReleaseWithoutANumberIsNumberZero) {
  // Release 1.9.3 signed as releases were signed before: no stamp in its version file.
  auto unnumbered = first_release[0].second;
  std::fill(unnumbered.begin() + kReleaseSequenceOffset, unnumbered.begin() + kReleaseSequenceEnd, 0);
  const auto pair_key = ReadText(key);
  const auto signature = platform::SignRelease(pair_key, "tern.sav", unnumbered);
  ASSERT_TRUE(signature);
  WriteFile(root / kVersionFile, unnumbered);
  WriteFile(root / (std::string(kVersionFile) + ".sig"), std::vector<std::uint8_t>(signature->begin(), signature->end()));

  RunRepair();  // a fresh install: trusted, as before
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_FALSE(fs::exists(install / "tern.sav.order")) << "number 0 needs no record";

  // Once a numbered release was accepted, an unnumbered one is older.
  ASSERT_TRUE(RecordAcceptedRelease(platform::InstallRoot::Open(U(install.string())), settings.version_host, 2));
  notes.clear();
  EndAfterQuestions(0);
  questions_seen = 0;
  RunRepair();
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, u"文件tern.sav下载失败\r\n"}}));
}

TEST_F(OrderedReleases, AClientWithoutAKeyNeitherChecksNorRecordsTheOrder) {
  settings.publisher_key.clear();
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_FALSE(fs::exists(install / "tern.sav.order"));

  WriteFile(install / "tern.sav.order", "9 " + settings.version_host + "\n");
  ReplayFirstRelease();  // older than the record, which only a signed client heeds
  notes.clear();
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_EQ(Record(), "9 " + settings.version_host + "\n");
  for (const auto& path : RequestedPaths()) EXPECT_EQ(path.find(".sig"), std::string::npos) << path;
}

}  // namespace
}  // namespace krdn::testing
