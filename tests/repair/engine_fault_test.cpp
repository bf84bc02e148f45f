// The engine against a misbehaving server: every fault is retried by the retry
// protocol (an unstable connection twice, then network failures) until the run
// succeeds, except a wrong digest, which ends the run.
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include "tests/repair/engine_fixture.h"
#include "transfer/digest.h"

namespace krdn::testing {
namespace {

using fault::Fault;
using fault::FaultRule;

// A loopback port with nothing listening: connections to it are refused.
std::string DeadUrl() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

class EngineFaults : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // Short enough for the stall faults, long enough that a busy machine is not a stall.
    settings.stall_timeout = std::chrono::milliseconds(1000);
    settings.connect_timeout = std::chrono::milliseconds(5000);
    AddClientFile("a.bin", PatternBytes(3000, 21));
    Publish("1.9.3", 0, 1024);
  }

  // Answers "end the run" to the question after `count` questions.
  void EndAfterQuestions(std::size_t count) {
    answer = [this, count](const Note& note) {
      if (note.kind != Kind::kQuestion || ++questions_seen < count) return RetryAnswer::kGoOn;
      return RetryAnswer::kEndRun;
    };
  }

  std::size_t questions_seen = 0;
};

struct PieceFault {
  Fault fault;
  int times;
  Questions questions;
  std::vector<int> sleeps;
};

class PieceFaults : public EngineFaults, public ::testing::WithParamInterface<PieceFault> {};

TEST_P(PieceFaults, AreRetriedUntilThePieceArrivesWhole) {
  const PieceFault c = GetParam();
  // The first piece's requests: the pieces fetched ahead are not touched.
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = "bytes=0-1023", .fault = c.fault,
                            .times = c.times, .bytes_per_second = 20000});
  RunRepair();
  EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  EXPECT_EQ(QuestionsPut(), c.questions);
  EXPECT_EQ(sleeps, c.sleeps);
}

const std::u16string kFailed = u"失败\r\n";
const std::u16string kWrongLength = u"下载文件失败。";
const std::u16string kVersionFailed = u"文件tern.sav下载失败\r\n";
const std::u16string kNoManifest = u"无法获取验证文件信息。\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, PieceFaults,
    ::testing::Values(
        PieceFault{Fault::kRefuse, 1, {{kUnstable, kFailed}}, {}},
        PieceFault{Fault::kReset, 4,
                   {{kUnstable, kFailed}, {kUnstable, kFailed}, {kNetworkFailure, kFailed}, {kNetworkFailure, kFailed}},
                   {}},
        PieceFault{Fault::kResetMidBody, 1, {{kUnstable, kFailed}}, {}},
        PieceFault{Fault::kStallBeforeHeaders, 1, {{kUnstable, kFailed}}, {}},
        PieceFault{Fault::kStallMidBody, 1, {{kUnstable, kFailed}}, {}},
        // A body longer than its range is cut one byte past it: a body of the wrong length.
        PieceFault{Fault::kLongBody, 1, {{kUnstable, kWrongLength}}, {1}},
        PieceFault{Fault::kWholeBody, 4,
                   {{kUnstable, kWrongLength}, {kUnstable, kWrongLength}, {kNetworkFailure, kFailed},
                    {kNetworkFailure, kFailed}},
                   {1, 2, 1, 1}},
        PieceFault{Fault::kShortBody, 4,
                   {{kUnstable, kWrongLength}, {kUnstable, kWrongLength}, {kNetworkFailure, kFailed},
                    {kNetworkFailure, kFailed}},
                   {1, 2, 1, 1}},
        PieceFault{Fault::kShortBody, 1, {{kUnstable, kWrongLength}}, {1}},
        PieceFault{Fault::kErrorPage, 2, {{kUnstable, kWrongLength}, {kUnstable, kWrongLength}}, {1, 2}},
        PieceFault{Fault::kTrickle, -1, {}, {}}));

TEST_F(EngineFaults, TheRetryCounterStartsAgainAfterEachWrittenPiece) {
  // Two failures on each of two pieces: never more than the unstable-connection dialog.
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = "bytes=0-1023", .fault = Fault::kReset,
                            .times = 2});
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = "bytes=2048-2999",
                            .fault = Fault::kReset, .times = 2});
  RunRepair();
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(QuestionsPut(),
            (Questions{{kUnstable, kFailed}, {kUnstable, kFailed}, {kUnstable, kFailed}, {kUnstable, kFailed}}));
}

TEST_F(EngineFaults, AWrongDigestEndsTheRunAndLeavesThePieceUnwritten) {
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = Fault::kWrongDigest});
  RunRepair();
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(FinalText(), u"下载文件失败。");
  EXPECT_EQ(Appended().back(), u"失败\r\n");
  EXPECT_EQ(ReadFile(install / "a.bin"), std::vector<std::uint8_t>(3000, 0));  // extended with zeros, nothing else
  EXPECT_FALSE(context->busy());
}

TEST_F(EngineFaults, TheVersionProbeRetriesErrorPagesAndNeverReadsThemAsAVersion) {
  server->AddRule(FaultRule{.path_prefix = "/krdn/barternsav", .fault = Fault::kErrorPage, .times = 3, .status = 503});
  RunRepair();
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, kVersionFailed}, {kUnstable, kVersionFailed},
                                        {kNetworkFailure, kVersionFailed}}));
  EXPECT_EQ(Appended()[1], u"当前客户端版本号: 1.9.3\r\n");
}

TEST_F(EngineFaults, AShortVersionFileFailsEveryAttemptUntilTheUserEndsTheRun) {
  auto version = ReadFile(root / "krdn/barternsav/360/tern.sav");
  version.resize(253);
  WriteFile(root / "krdn/barternsav/360/tern.sav", version);
  EndAfterQuestions(4);
  RunRepair();
  const std::u16string unknown = u"无法获取客户端版本信息。\r\n";
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, unknown}, {kUnstable, unknown}, {kNetworkFailure, unknown},
                                        {kNetworkFailure, unknown}}));
  // Ended from the dialog: nothing more is sent and the busy flag is the window's business.
  EXPECT_TRUE(NotesOf(Kind::kEnded).empty());
  EXPECT_TRUE(context->busy());

  version.resize(254);
  WriteFile(root / "krdn/barternsav/360/tern.sav", version);
  notes.clear();
  answer = nullptr;
  RunRepair();
  EXPECT_TRUE(Succeeded()) << "a version file of exactly 254 bytes is read";
}

TEST_F(EngineFaults, WithTheNetworkDownTheProbeRaisesTwoUnstableDialogsThenNetworkFailures) {
  settings.version_host = DeadUrl();
  EndAfterQuestions(5);
  RunRepair();
  const Questions questions = QuestionsPut();
  ASSERT_EQ(questions.size(), 5u);
  EXPECT_EQ(questions[1].first, kUnstable);
  EXPECT_EQ(questions[2].first, kNetworkFailure);
  EXPECT_EQ(questions[4].first, kNetworkFailure);
  EXPECT_EQ(Appended(), (std::vector<std::u16string>{u"下载文件tern.sav\r\n"}));
}

TEST_F(EngineFaults, TheOldVersionFileStaysWhenTheHostIsDownOrAnswersWithAnError) {
  const std::vector<std::uint8_t> old = PatternBytes(300, 23);
  WriteFile(install / "tern.sav", old);
  settings.version_host = DeadUrl();
  EndAfterQuestions(3);
  RunRepair();
  EXPECT_EQ(QuestionsPut().size(), 3u);
  EXPECT_EQ(ReadFile(install / "tern.sav"), old) << "a failed connect leaves it byte for byte";

  settings.version_host = server->url();
  server->AddRule(FaultRule{.path_prefix = "/krdn/barternsav", .fault = Fault::kErrorPage, .status = 404});
  questions_seen = 0;
  notes.clear();
  RunRepair();
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, kVersionFailed}, {kUnstable, kVersionFailed},
                                        {kNetworkFailure, kVersionFailed}}));
  EXPECT_EQ(ReadFile(install / "tern.sav"), old) << "so does an error page";

  // A version file longer than 1 MiB is a failed download; the next good one replaces it.
  server->ClearRules();
  const fs::path served = root / "krdn/barternsav/360/tern.sav";
  const std::vector<std::uint8_t> good = ReadFile(served);
  std::vector<std::uint8_t> huge = good;
  huge.resize((std::size_t{1} << 20) + 1, 0);
  WriteFile(served, huge);
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/", .fault = Fault::kReset});  // stop after the probe
  questions_seen = 0;
  notes.clear();
  EndAfterQuestions(2);
  RunRepair();
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, kVersionFailed}, {kUnstable, kVersionFailed}}));
  huge.resize(std::size_t{1} << 20);
  WriteFile(served, huge);
  questions_seen = 0;
  notes.clear();
  EndAfterQuestions(1);
  RunRepair();
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, kNoManifest}})) << "exactly 1 MiB is read";
  EXPECT_EQ(ReadFile(install / "tern.sav"), huge);
}

TEST_F(EngineFaults, ABrokenOrMissingManifestIsRetriedWithoutRepeatingLines) {
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/1.9.3_download", .fault = Fault::kShortBody, .times = 1});
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/1.9.3_download", .fault = Fault::kErrorPage, .times = 1});
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/1.9.3_download", .fault = Fault::kResetMidBody, .times = 1});
  RunRepair();
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, kNoManifest}, {kUnstable, kNoManifest},
                                        {kNetworkFailure, kNoManifest}}));
  EXPECT_EQ(trace.size(), 1u);
}

TEST_F(EngineFaults, AManifestThatPointsOutsideTheInstallDirectoryIsNeverUsed) {
  const std::string text = ",1\r\n\\..\\escaped.bin,1,4,0123456789ABCDEF0123456789ABCDEF\r\n";
  const std::string served =
      Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) + text;
  WriteFile(root / "krdn/repair/1.9.3/1.9.3_download.txt", served);
  EndAfterQuestions(3);
  RunRepair();
  EXPECT_EQ(QuestionsPut().size(), 3u);
  EXPECT_FALSE(fs::exists(work / "escaped.bin"));
  EXPECT_TRUE(trace.empty());
}

TEST_F(EngineFaults, AnUnreachableCompletionMarkerDoesNotStopTheSuccess) {
  InstallCopy();
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/Repair_Done.txt", .fault = Fault::kReset});
  RunRepair();
  EXPECT_TRUE(Succeeded());
  EXPECT_TRUE(QuestionsPut().empty());
  EXPECT_TRUE(fs::exists(work / "home/Desktop/Velmora3.desktop"));
}

TEST_F(EngineFaults, ALocalFileThatCannotBeWrittenEndsTheRun) {
  InstallCopy();
  fs::remove(install / "a.bin");
  fs::create_directories(install / "a.bin");  // exists, cannot be read: unverifiable, not written
  RunRepair();
  EXPECT_EQ(FinalText(), u"有文件被锁定，无法验证所有文件。\r\n");

  // A file that can be verified but not extended (its directory is a file).
  notes.clear();
  fs::remove_all(install / "a.bin");
  AddClientFile("sub/b.bin", PatternBytes(10, 22));
  Publish("1.9.3", 0, 1024);
  InstallCopy();
  fs::remove_all(install / "sub");
  WriteFile(install / "sub", "a file where the directory should be");
  sleeps.clear();
  RunRepair();
  EXPECT_EQ(FinalText(), u"无法打开需下载文件。\r\n");
  EXPECT_EQ(Appended().back(), u"失败\r\n");
  EXPECT_EQ(sleeps, (std::vector<int>{1, 1, 1}));
}

}  // namespace
}  // namespace krdn::testing
