// End-to-end runs of the engine against the fault server with no faults: the status
// log, progress, files on disk, requests and the completion.
#include <fcntl.h>
#include <algorithm>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/repair/engine_fixture.h"

namespace krdn::testing {
namespace {

using Strings = std::vector<std::u16string>;

TEST_F(EngineTest, RepairsAMissingFileWithTheSpecifiedLogAndRequests) {
  AddClientFile("bin/a.dll", PatternBytes(1500, 1));
  AddClientFile("data/b.pak", PatternBytes(700, 2));
  Publish("1.9.3", 0, 1024);
  InstallCopy();
  fs::remove(install / "data/b.pak");
  RunRepair();

  EXPECT_EQ(Appended(), (Strings{u"下载文件tern.sav\r\n", u"当前客户端版本号: 1.9.3\r\n", u"获取验证文件信息...\r\n",
                                 u"开始校验本地文件...\r\n", u"校验文件: \\bin\\a.dll......", u"成功\r\n",
                                 u"校验文件: \\data\\b.pak......", u"文件缺失\r\n", u"开始下载文件...\r\n",
                                 u"下载文件: \\data\\b.pak......", u"成功\r\n", u"恭喜，已成功下载所有文件\r\n"}));
  EXPECT_EQ(ProgressValues(), (std::vector<int>{0, 100, 0, 50, 100, 0, 100}));
  ASSERT_TRUE(Succeeded());
  EXPECT_EQ(NotesOf(Kind::kSucceeded).back().text, u"恭喜，已成功下载所有文件\r\n");
  ASSERT_EQ(NotesOf(Kind::kEnded).size(), 1u);  // without text after the completion marker
  EXPECT_EQ(NotesOf(Kind::kEnded)[0].text, std::nullopt);
  EXPECT_FALSE(context->busy());
  ExpectInstallMatchesClient();
  EXPECT_EQ(ReadFile(install / "tern.sav"), ReadFile(root / "krdn/barternsav/360/tern.sav"));
  EXPECT_EQ(trace, (std::vector<std::string>{"[1/2] process file <\\bin\\a.dll>\n", "[2/2] process file <\\data\\b.pak>\n"}));

  const auto requests = server->requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].path, "/krdn/barternsav/360/tern.sav");
  EXPECT_EQ(requests[0].user_agent, "Version");
  EXPECT_EQ(requests[0].range, "");
  EXPECT_EQ(requests[1].path, "/krdn/repair/1.9.3/1.9.3_download.txt");
  EXPECT_EQ(requests[1].user_agent, "VoRepair");
  EXPECT_EQ(requests[1].range, "bytes=0-");
  EXPECT_EQ(requests[2].path, "/krdn/repair/1.9.3/data/b.pak");
  EXPECT_EQ(requests[2].user_agent, "VoRepair_missing_1in1");
  EXPECT_EQ(requests[2].range, "bytes=0-699");
  EXPECT_EQ(requests[3].path, "/krdn/repair/Repair_Done.txt");
  EXPECT_EQ(requests[3].user_agent, "VoRepair_DONE");
  EXPECT_EQ(requests[3].range, "bytes=0-");

  const std::string shortcut = ReadText(work / "home/Desktop/Velmora3.desktop");
  // The client holds no launcher here: by its name it is a Windows program.
  EXPECT_NE(shortcut.find("\nExec=wine \"" + (install / "VoLauncher.exe").string() + "\"\n"), std::string::npos) << shortcut;
  EXPECT_NE(shortcut.find("\nPath=" + install.string() + "\n"), std::string::npos) << shortcut;
}

TEST_F(EngineTest, AnIntactClientStillRunsTheDownloadPassAndCompletes) {
  AddClientFile("a.bin", PatternBytes(3000, 3));
  AddClientFile("empty.txt", {});
  Publish();
  InstallCopy();
  RunRepair();
  const Strings appended = Appended();
  ASSERT_GE(appended.size(), 4u);
  EXPECT_EQ((Strings{appended.end() - 4, appended.end()}),
            (Strings{u"成功\r\n", u"恭喜，所有文件都成功通过检验\r\n", u"开始下载文件...\r\n", u"恭喜，已成功下载所有文件\r\n"}));
  // Busy cleared and the end notice without text after the verification, then again after the marker.
  EXPECT_EQ(NotesOf(Kind::kEnded).size(), 2u);
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(AgentsFor("/krdn/repair/Repair_Done.txt"), std::vector<std::string>{"VoRepair_DONE"});
}

TEST_F(EngineTest, RepairsDamagedLongShortAndReadOnlyFilesFetchingOnlyBadPieces) {
  AddClientFile("damaged.bin", PatternBytes(4096, 4));
  AddClientFile("long.bin", PatternBytes(2048, 5));
  AddClientFile("short.bin", PatternBytes(3000, 6));
  AddClientFile("readonly.bin", PatternBytes(1024, 7));
  AddClientFile("sub/dir/missing.bin", PatternBytes(10, 8));
  Publish("2.0.0", 0, 1024);
  InstallCopy();
  auto damaged = ReadFile(install / "damaged.bin");
  damaged[2100] ^= 0xFF;  // third piece only
  WriteFile(install / "damaged.bin", damaged);
  auto longer = ReadFile(install / "long.bin");
  longer.push_back(1);
  WriteFile(install / "long.bin", longer);
  auto shorter = ReadFile(install / "short.bin");
  shorter.resize(2500);  // last piece (2048..2999) cut short
  WriteFile(install / "short.bin", shorter);
  auto readonly = ReadFile(install / "readonly.bin");
  readonly[0] ^= 1;
  WriteFile(install / "readonly.bin", readonly);
  ASSERT_EQ(chmod((install / "readonly.bin").c_str(), 0444), 0);
  fs::remove_all(install / "sub");

  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  struct stat st {};
  ASSERT_EQ(stat((install / "readonly.bin").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);

  std::vector<std::pair<std::string, std::string>> pieces;
  for (const auto& request : server->requests()) {
    if (request.path.find("/krdn/repair/2.0.0/") == 0 && request.path.find("_download") == std::string::npos) {
      pieces.emplace_back(request.path.substr(19) + " " + request.range, request.user_agent);
    }
  }
  // Pieces are fetched side by side, so they reach the server in any order.
  std::sort(pieces.begin(), pieces.end());
  EXPECT_EQ(pieces, (std::vector<std::pair<std::string, std::string>>{
                        {"damaged.bin bytes=2048-3071", "VoRepair_invalid_1in1"},
                        {"readonly.bin bytes=0-1023", "VoRepair_invalid_1in1"},
                        {"short.bin bytes=2048-2999", "VoRepair_invalid_1in1"},
                        {"sub/dir/missing.bin bytes=0-9", "VoRepair_missing_1in1"},
                    }));
}

TEST_F(EngineTest, ALocalFileOf4GiBOrMoreIsCutToTheManifestSize) {
  AddClientFile("a.bin", PatternBytes(10, 17));
  Publish();
  InstallCopy();
  // Sparse: 4 GiB more than the manifest size, which a 32-bit size would read as intact.
  ASSERT_EQ(truncate((install / "a.bin").c_str(), (std::int64_t{1} << 32) + 10), 0);
  RunRepair();
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(fs::file_size(install / "a.bin"), 10u);
  ExpectInstallMatchesClient();
  EXPECT_TRUE(AgentsFor("/krdn/repair/1.9.3/a.bin").empty()) << "only the length was wrong";
}

TEST_F(EngineTest, AgentNumbersCountFourMiBPiecesOfAMissingNineMiBFile) {
  AddClientFile("big.bin", PatternBytes(9u << 20, 9));
  Publish("1.9.0", 0, 4u << 20);
  RunRepair();
  ASSERT_TRUE(Succeeded());
  ExpectInstallMatchesClient();
  // Fetched side by side, so they may reach the server in any order.
  std::vector<std::string> agents = AgentsFor("/krdn/repair/1.9.0/big.bin");
  std::sort(agents.begin(), agents.end());
  EXPECT_EQ(agents,
            (std::vector<std::string>{"VoRepair_missing_1in3", "VoRepair_missing_2in3", "VoRepair_missing_3in3"}));
  // One progress line at the start of each bounded fetch at least.
  EXPECT_GE(NotesOf(Kind::kTransient).size(), 3u);
  EXPECT_EQ(NotesOf(Kind::kTransient)[1].text, u"校验文件：\\big.bin");
}

TEST_F(EngineTest, LargePiecesAreVerifiedTwoAtATimeAndEachIsJudgedOnItsOwn) {
  constexpr std::size_t kPiece = 256 * 1024;
  AddClientFile("a.bin", PatternBytes(5 * kPiece, 18));
  Publish("1.9.3", 0, kPiece);
  InstallCopy();
  auto bytes = ReadFile(install / "a.bin");
  bytes[1 * kPiece + 7] ^= 1;  // second of the first pair: the helper's piece
  bytes[4 * kPiece] ^= 1;      // the last piece, alone
  WriteFile(install / "a.bin", bytes);
  RunRepair();
  EXPECT_TRUE(Succeeded());
  ExpectInstallMatchesClient();
  std::vector<std::string> ranges;
  for (const auto& request : server->requests()) {
    if (request.path == "/krdn/repair/1.9.3/a.bin") ranges.push_back(request.range);
  }
  std::sort(ranges.begin(), ranges.end());  // fetched side by side
  EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=1048576-1310719", "bytes=262144-524287"}));
}

TEST_F(EngineTest, LockedAndUnreadableFilesAreReportedAndEndTheRunWithoutSuccess) {
  AddClientFile("locked.bin", PatternBytes(100, 10));
  AddClientFile("damaged.bin", PatternBytes(100, 11));
  Publish();
  InstallCopy();
  WriteFile(install / "damaged.bin", PatternBytes(100, 99));
  const int holder = open((install / "locked.bin").c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  RunRepair();
  close(holder);
  EXPECT_FALSE(Succeeded());
  EXPECT_EQ(FinalText(), u"有文件被锁定，无法验证所有文件。");  // the damaged file was repaired first
  EXPECT_EQ(ReadFile(install / "damaged.bin"), ReadFile(client / "damaged.bin"));
  EXPECT_EQ(sleeps, (std::vector<int>{1, 1, 1}));  // three tries a second apart
  const Strings appended = Appended();
  EXPECT_NE(std::find(appended.begin(), appended.end(), u"无法验证\r\n"), appended.end());
  EXPECT_FALSE(context->busy());
}

TEST_F(EngineTest, AnUnreadableFileAloneEndsTheRunBeforeAnyDownload) {
  AddClientFile("a.bin", PatternBytes(100, 12));
  Publish();
  fs::create_directories(install / "a.bin");  // a directory where the file belongs
  RunRepair();
  EXPECT_EQ(FinalText(), u"有文件被锁定，无法验证所有文件。\r\n");
  EXPECT_EQ(Appended().back(), u"无法验证\r\n");
  EXPECT_TRUE(AgentsFor("/krdn/repair/1.9.3/a.bin").empty());
}

struct ModeCase {
  std::uint16_t mode;
  const char* damage;  // "missing", "long", "short", "piece", "missing-empty"
  bool repaired;
};

class ModeWord : public EngineTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeWord, DecidesWhetherFilesOfTheWrongSizeAreRepaired) {
  const ModeCase c = GetParam();
  AddClientFile("a.bin", PatternBytes(2048, 13));
  AddClientFile("empty.bin", {});
  Publish("1.9.3", c.mode, 1024);
  InstallCopy();
  const std::string damage = c.damage;
  auto bytes = ReadFile(install / "a.bin");
  if (damage == "missing") fs::remove(install / "a.bin");
  if (damage == "missing-empty") fs::remove(install / "empty.bin");
  if (damage == "long") bytes.push_back(0);
  if (damage == "short") bytes.resize(2000);
  if (damage == "piece") bytes[5] ^= 1;
  if (damage == "long" || damage == "short" || damage == "piece") WriteFile(install / "a.bin", bytes);
  RunRepair();
  if (c.repaired) {
    EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
    EXPECT_EQ(ReadFile(install / "a.bin"), ReadFile(client / "a.bin"));
    // A missing file of no pieces is created empty, whatever the mode word.
    EXPECT_TRUE(fs::is_regular_file(install / "empty.bin"));
    EXPECT_EQ(fs::file_size(install / "empty.bin"), 0u);
  } else {
    EXPECT_FALSE(Succeeded());
    EXPECT_EQ(FinalText(), u"该版本文件校验失败，可能服务器版本正在升级中，继续游戏可能会失败，请和管理员联系。\r\n");
    EXPECT_EQ(Appended().back(), u"校验文件: \\a.bin......");  // the open line gets no outcome
    EXPECT_TRUE(trace.size() == 1u) << "remaining files are not examined";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeWord,
    ::testing::Values(ModeCase{0, "missing", true}, ModeCase{0, "long", true}, ModeCase{0, "short", true},
                      ModeCase{22, "missing", true}, ModeCase{22, "long", true}, ModeCase{22, "short", true},
                      ModeCase{5, "missing", false}, ModeCase{5, "long", false}, ModeCase{5, "short", false},
                      ModeCase{5, "piece", true}, ModeCase{5, "missing-empty", true}, ModeCase{65535, "long", false}));

class Versions : public EngineTest, public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(Versions, AreSupportedFromX9OrFromTwo) {
  AddClientFile("a.bin", PatternBytes(10, 14));
  Publish(GetParam().first);
  RunRepair();
  EXPECT_EQ(Appended()[1], u"当前客户端版本号: " + U(GetParam().first) + u"\r\n");
  if (GetParam().second) {
    EXPECT_TRUE(Succeeded());
  } else {
    EXPECT_EQ(FinalText(), u"此版本不支持自动下载功能。");
    EXPECT_EQ(Appended().size(), 2u);
    EXPECT_EQ(server->requests().size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Versions,
                         ::testing::Values(std::pair{"1.8.200", false}, std::pair{"0.0.0", false},
                                           std::pair{"1.9.0", true}, std::pair{"0.9.0", true},
                                           std::pair{"1.10.0", true}, std::pair{"2.0.0", true},
                                           std::pair{"255.255.255", true}));

TEST_F(EngineTest, StopPointEndsTheRunWithoutTextWhenTheRunningFlagIsCleared) {
  AddClientFile("a.bin", PatternBytes(10, 15));
  AddClientFile("b.bin", PatternBytes(10, 16));
  Publish();
  context = MakeContext();
  context->Start();
  // Clearing only the running flag: a Stop whose hold the worker never sees.
  auto handler_context = context.get();
  answer = [this, handler_context](const Note& note) -> RetryAnswer {
    if (note.kind == Kind::kStatus && note.text == u"校验文件: \\a.bin......") {
      handler_context->Stop();
      handler_context->Control().Release();  // release the hold at once: only the flag stays cleared
    }
    return RetryAnswer::kGoOn;
  };
  RepairWorker(*context, settings);
  EXPECT_EQ(FinalText(), u"");
  EXPECT_EQ(trace.size(), 1u);
  EXPECT_FALSE(Succeeded());
}

}  // namespace
}  // namespace krdn::testing
