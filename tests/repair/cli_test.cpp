// krdn-repair-cli as a program: against nginx serving a published client, its output
// and exit codes, and a run killed in the middle of a download and started again.
#include <signal.h>

#include <nlohmann/json.hpp>

#include <set>
#include <sstream>
#include <thread>

#include "tests/repair/cli_fixture.h"
#include "platform/io/release_signature.h"
#include "tests/support/local_servers.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tree_snapshot.h"
#include "transfer/digest.h"

namespace krdn::testing {
namespace {

using namespace std::chrono_literals;

// Every line of --json output as a JSON object; a line that is not one fails the test.
std::vector<nlohmann::json> JsonLines(const std::string& out) {
  std::vector<nlohmann::json> objects;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    try {
      objects.push_back(nlohmann::json::parse(line));
    } catch (const nlohmann::json::exception& error) {
      ADD_FAILURE() << "not JSON: " << line << " (" << error.what() << ")";
    }
    if (!objects.empty()) {
      EXPECT_TRUE(objects.back().is_object()) << line;
    }
  }
  EXPECT_TRUE(out.empty() || out.back() == '\n') << "the last line is ended";
  return objects;
}

std::vector<nlohmann::json> OfType(const std::vector<nlohmann::json>& objects, const std::string& type) {
  std::vector<nlohmann::json> found;
  for (const nlohmann::json& object : objects) {
    if (object.value("type", "") == type) found.push_back(object);
  }
  return found;
}

TEST_F(Cli, RepairsADamagedCopyFromNginxPrintingOnlyTheStatusTexts) {
  AddClientFile("VoLauncher.exe", PatternBytes(5000, 41));
  AddClientFile("数据/地图 one.pak", PatternBytes(9000, 42));
  AddClientFile("data/empty.txt", {});
  AddClientFile("data/long.bin", PatternBytes(2048, 43));
  Publish("3.1.4", 0, 2048);
  InstallCopy();
  fs::remove(install / "数据/地图 one.pak");
  auto launcher = ReadFile(install / "VoLauncher.exe");
  launcher[4500] ^= 0x10;
  WriteFile(install / "VoLauncher.exe", launcher);
  auto longer = ReadFile(install / "data/long.bin");
  longer.resize(5000, 7);
  WriteFile(install / "data/long.bin", longer);

  LocalServers servers(root, work / "nginx");
  const Finished run = RunCli(HostArgs(servers.version_host(), servers.repair_host()));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ExpectInstallMatchesClient();
  EXPECT_EQ(run.out.rfind("下载文件tern.sav\r\n当前客户端版本号: 3.1.4\r\n获取验证文件信息...\r\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("校验文件: \\数据\\地图 one.pak......文件缺失\r\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("下载文件: \\数据\\地图 one.pak......成功\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("下载文件: \\data\\long.bin......成功\r\n"), std::string::npos);
  EXPECT_EQ(run.out.find("process file"), std::string::npos) << "no trace lines on standard output";
  EXPECT_EQ(run.out.substr(run.out.size() - std::string("恭喜，已成功下载所有文件\r\n").size()), "恭喜，已成功下载所有文件\r\n");
  EXPECT_TRUE(run.err.empty()) << "standard error is not a terminal: " << run.err;

  // Run again on the repaired tree: everything verifies, nothing but the marker is fetched.
  const Finished again = RunCli(HostArgs(servers.version_host(), servers.repair_host()));
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_NE(again.out.find("恭喜，所有文件都成功通过检验\r\n"), std::string::npos);

  const std::string log = servers.StoppedLog();
  EXPECT_NE(log.find("\"GET /krdn/barternsav/360/tern.sav HTTP/1.1\" 200 256 \"Version\" \"-\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"VoRepair_invalid_1in1\" \"bytes=4096-4999\""), std::string::npos) << log;
  EXPECT_NE(log.find("/krdn/repair/3.1.4/%E6%95%B0%E6%8D%AE/%E5%9C%B0%E5%9B%BE%20one.pak"), std::string::npos) << log;
  EXPECT_NE(log.find("\"VoRepair_DONE\" \"bytes=0-\""), log.rfind("\"VoRepair_DONE\" \"bytes=0-\""))
      << "both runs ask for the marker: " << log;
}

TEST_F(Cli, ExitCodesTellUsageErrorsEarlyEndsAndGivingUp) {
  EXPECT_EQ(RunCli({}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir"}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir", install.string(), "--bogus", "1"}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir", install.string(), "--give-up-after", "0"}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir", install.string(), "--version-host", "127.0.0.1"}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir", (work / "no/such/parent").string()}).exit_code, 2);

  AddClientFile("a.bin", PatternBytes(10, 44));
  Publish("1.8.200");
  const Finished refused = RunCli(HostArgs(server->url(), server->url()));
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(WithoutLogLine(refused.err), "此版本不支持自动下载功能。\n");
  EXPECT_EQ(refused.out, "下载文件tern.sav\r\n当前客户端版本号: 1.8.200\r\n");

  server->AddRule(fault::FaultRule{.path_prefix = "", .fault = fault::Fault::kReset});
  const Finished gave_up =
      RunCli({"--dir", install.string(), "--version-host", server->url(), "--give-up-after", "3"});
  EXPECT_EQ(gave_up.exit_code, 3);
  EXPECT_EQ(server->requests().size(), 1u + 5u) << "two unstable dialogs, then three network failures";
  EXPECT_EQ(gave_up.out, "下载文件tern.sav\r\n");
}

TEST_F(Cli, HelpAndVersionAnswerOnStandardOutputAndABadOptionOnStandardError) {
  const Finished help = RunCli({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("usage: krdn-repair-cli --dir DIR", 0), 0u) << help.out;
  for (const char* option : {"--quiet", "--json", "--connections N", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_TRUE(help.err.empty()) << help.err;
  EXPECT_EQ(RunCli({"--dir", install.string(), "--help"}).out, help.out) << "anywhere on the line";

  const Finished version = RunCli({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "krdn-repair-cli " KRDN_PROJECT_VERSION "\n");
  EXPECT_TRUE(version.err.empty()) << version.err;

  const Finished bad = RunCli({"--dir", install.string(), "--verbose"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_TRUE(bad.out.empty()) << bad.out;
  EXPECT_EQ(bad.err.rfind("krdn-repair-cli: unknown option --verbose\nusage: krdn-repair-cli --dir DIR", 0), 0u)
      << bad.err;
  EXPECT_EQ(RunCli({"--dir", install.string(), "--quiet", "--json"}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir"}).err.rfind("krdn-repair-cli: missing value after --dir\n", 0), 0u);
  EXPECT_TRUE(fs::is_empty(install)) << "no run for any of them";
}

TEST_F(Cli, ThePublisherAnswersHelpOnStandardOutputAndAMissingValueOnStandardError) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"--client", root.string(), "--help"}, {"--no-chunks", "--help"}}) {
    std::vector<std::string> all{KRDN_PUBLISH};
    all.insert(all.end(), args.begin(), args.end());
    const Finished help = Wait(SpawnProgram(all));
    EXPECT_EQ(help.exit_code, 0) << args.back() << ": " << help.err;
    EXPECT_EQ(help.out.rfind("usage: krdn-publish --client DIR --out ROOT --version X.Y.Z", 0), 0u) << help.out;
    for (const char* option : {"--piece-size BYTES", "--sign-key FILE", "--no-chunks", "--make-key FILE", "--help"}) {
      EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    EXPECT_TRUE(help.err.empty()) << help.err;
  }
  const Finished missing = Wait(SpawnProgram({KRDN_PUBLISH, "--client"}));
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_TRUE(missing.out.empty()) << missing.out;
  EXPECT_EQ(missing.err.rfind("krdn-publish: missing value after --client\nusage: krdn-publish", 0), 0u) << missing.err;
  // A value that reads "--help" is the folder's name, not a question.
  const Finished named = Wait(SpawnProgram({KRDN_PUBLISH, "--client", "--help"}));
  EXPECT_EQ(named.exit_code, 2) << named.out;
}

// --no-chunks takes no value, wherever it stands, and leaves the chunk index out.
TEST_F(Cli, ThePublisherWritesTheChunkIndexUnlessToldNotTo) {
  AddClientFile("a.bin", PatternBytes(4000, 51));
  const fs::path index = root / "krdn/repair/1.9.3/1.9.3_chunks";
  const auto publish = [&](std::vector<std::string> extra) {
    std::vector<std::string> all{KRDN_PUBLISH, "--client", client.string(), "--out", root.string(), "--version",
                                 "1.9.3"};
    all.insert(all.begin() + 1, extra.begin(), extra.end());
    return Wait(SpawnProgram(all));
  };
  EXPECT_EQ(publish({}).exit_code, 0);
  EXPECT_TRUE(fs::exists(index));
  const Finished without = publish({"--no-chunks"});
  EXPECT_EQ(without.exit_code, 0) << without.err;
  EXPECT_FALSE(fs::exists(index));
  EXPECT_TRUE(fs::exists(root / "krdn/repair/1.9.3/1.9.3_download.txt"));
}

TEST_F(Cli, QuietPrintsNothingForASuccessfulRunAndOnlyTheErrorsOfAFailingOne) {
  AddClientFile("a.bin", PatternBytes(4000, 50));
  Publish("1.9.3", 0, 1024);
  const Finished done = RunCli(HostArgs(server->url(), server->url(), {"--quiet"}));
  EXPECT_EQ(done.exit_code, 0) << done.err;
  ExpectInstallMatchesClient();
  EXPECT_TRUE(done.out.empty()) << done.out;
  EXPECT_TRUE(done.err.empty()) << done.err;

  // Two failed attempts at the first piece, then it comes: the dialogs, nothing else.
  fs::remove(install / "a.bin");
  server->AddRule(fault::FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = fault::Fault::kReset,
                                   .times = 2});
  const Finished retried = RunCli(HostArgs(server->url(), server->url(), {"--quiet", "--connections", "1"}));
  EXPECT_EQ(retried.exit_code, 0) << retried.err;
  EXPECT_TRUE(retried.out.empty()) << retried.out;
  EXPECT_EQ(retried.err,
            "krdn-repair-cli: attempt 1: 与服务器连接不稳定，请点击“重试”从当前进度继续下载 (失败)\n"
            "krdn-repair-cli: attempt 2: 与服务器连接不稳定，请点击“重试”从当前进度继续下载 (失败)\n");

  Publish("1.8.200");  // a version the tool does not download
  const Finished refused = RunCli(HostArgs(server->url(), server->url(), {"--quiet"}));
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_TRUE(refused.out.empty()) << refused.out;
  EXPECT_EQ(WithoutLogLine(refused.err), "此版本不支持自动下载功能。\n");

  server->AddRule(fault::FaultRule{.path_prefix = "", .fault = fault::Fault::kReset});
  const Finished gave_up = RunCli(HostArgs(server->url(), server->url(), {"--quiet", "--give-up-after", "1"}));
  EXPECT_EQ(gave_up.exit_code, 3);
  EXPECT_TRUE(gave_up.out.empty()) << gave_up.out;
  EXPECT_NE(gave_up.err.find("attempt 3: 网络不给力"), std::string::npos) << gave_up.err;
  EXPECT_NE(gave_up.err.find("krdn-repair-cli: gave up after 1 network failures in a row\n"), std::string::npos);
}

TEST_F(Cli, JsonLinesOfARealRunParseAndTellStatusProgressDialogsAndTheEnd) {
  constexpr std::size_t kPiece = 16 * 1024;
  AddClientFile("VoLauncher.exe", PatternBytes(3000, 51));
  AddClientFile("数据/\"引号\" 地图.pak", PatternBytes(8 * kPiece, 52));
  Publish("1.9.3", 0, kPiece);
  LocalServers servers(root, work / "nginx");
  const Finished plain = RunCli(HostArgs(servers.version_host(), servers.repair_host()));
  ASSERT_EQ(plain.exit_code, 0) << plain.err;
  fs::remove_all(install);

  // The pieces trickle in from the fault server, so the run measures a rate.
  server->AddRule(fault::FaultRule{.path_prefix = "/krdn/repair/1.9.3/数据/", .fault = fault::Fault::kTrickle,
                                   .bytes_per_second = 2 * kPiece});
  const Finished run = RunCli(HostArgs(server->url(), server->url(), {"--json", "--connections", "2"}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  ExpectInstallMatchesClient();
  const std::vector<nlohmann::json> lines = JsonLines(run.out);
  ASSERT_FALSE(lines.empty());

  std::string status;
  for (const nlohmann::json& line : OfType(lines, "status")) status += line.at("text").get<std::string>();
  EXPECT_EQ(status, plain.out) << "the status texts, as the plain output has them";
  EXPECT_NE(status.find("下载文件: \\数据\\\"引号\" 地图.pak......成功\r\n"), std::string::npos) << status;
  EXPECT_FALSE(OfType(lines, "transient").empty());

  const std::vector<nlohmann::json> progress = OfType(lines, "progress");
  ASSERT_GE(progress.size(), 3u) << run.out;
  const std::uint64_t total = 3000 + 8 * kPiece;
  EXPECT_EQ(progress.front().at("done"), 0u);
  EXPECT_TRUE(progress.front().at("rate").is_null()) << "nothing measured before the first byte";
  EXPECT_TRUE(progress.front().at("seconds_left").is_null());
  bool measured = false;
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].at("total"), total);
    EXPECT_LE(progress[i].at("done").get<std::uint64_t>(), total);
    if (!progress[i].at("seconds_left").is_null()) {
      measured = true;
      EXPECT_GT(progress[i].at("rate").get<double>(), 0.0) << progress[i];
      EXPECT_LT(progress[i].at("seconds_left").get<double>(), 60.0) << progress[i];
    }
  }
  EXPECT_TRUE(measured) << "a rate and a time left while the pieces trickled in";
  EXPECT_EQ(progress.back().at("done"), total);
  EXPECT_EQ(lines.back(), nlohmann::json::parse(R"({"type":"end","exit_code":0,"error":null})"));

  // A run that gives up: its dialogs with their attempts, and the end with its error.
  server->ClearRules();
  server->AddRule(fault::FaultRule{.path_prefix = "", .fault = fault::Fault::kReset});
  const Finished gave_up = RunCli(HostArgs(server->url(), server->url(), {"--json", "--give-up-after", "2"}));
  EXPECT_EQ(gave_up.exit_code, 3);
  EXPECT_TRUE(gave_up.err.empty()) << gave_up.err;
  const std::vector<nlohmann::json> failed = JsonLines(gave_up.out);
  const std::vector<nlohmann::json> dialogs = OfType(failed, "dialog");
  ASSERT_EQ(dialogs.size(), 4u) << gave_up.out;
  for (std::size_t i = 0; i < dialogs.size(); ++i) {
    EXPECT_EQ(dialogs[i].at("attempt"), i + 1);
    EXPECT_EQ(dialogs[i].at("failure"), "文件tern.sav下载失败");
  }
  EXPECT_EQ(dialogs[0].at("text"), "与服务器连接不稳定，请点击“重试”从当前进度继续下载");
  EXPECT_EQ(dialogs[3].at("text"), "网络不给力，建议检查网络，稍后再次尝试从当前进度下载");
  ASSERT_FALSE(failed.empty());
  EXPECT_EQ(failed.back().at("type"), "end");
  EXPECT_EQ(failed.back().at("exit_code"), 3);
  EXPECT_EQ(failed.back().at("error"), "krdn-repair-cli: gave up after 2 network failures in a row");
  ASSERT_TRUE(failed.back().contains("log")) << "the end of a run that failed names its log";
  EXPECT_NE(ReadText(failed.back().at("log").get<std::string>()).find(" end ended by the user"), std::string::npos);
}

TEST_F(Cli, ARunKilledMidDownloadFetchesOnlyThePiecesStillWrongWhenStartedAgain) {
  constexpr std::size_t kPiece = 16 * 1024;
  AddClientFile("a.bin", PatternBytes(10 * kPiece, 45));
  AddClientFile("b/c.bin", PatternBytes(6 * kPiece + 100, 46));
  Publish("1.9.3", 0, kPiece);
  InstallCopy();
  auto damaged = ReadFile(install / "a.bin");
  for (std::size_t i = 0; i < damaged.size(); i += 3 * kPiece) damaged[i] ^= 1;
  WriteFile(install / "a.bin", damaged);
  fs::remove_all(install / "b");

  // Pieces of b/c.bin trickle in (a second each, four at a time), so the kill lands in
  // the middle of the download pass with pieces in flight.
  server->AddRule(fault::FaultRule{.path_prefix = "/krdn/repair/1.9.3/b/", .fault = fault::Fault::kTrickle,
                                   .bytes_per_second = kPiece});
  std::vector<std::string> args = HostArgs(server->url(), server->url());
  args.insert(args.end(), {"--connections", "4"});
  const pid_t pid = Spawn(args);
  ASSERT_TRUE(server->WaitFor(2 + 4 + 3, kPiece / 2, 60s)) << "the download of b/c.bin did not get under way";
  // And a piece written: under load the pieces of a.bin may have arrived but not yet be
  // on disk.
  for (const auto until = std::chrono::steady_clock::now() + 60s;
       WrongPieces(client, install, kPiece).size() == 4u + 7u && std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(5ms);
  }
  kill(pid, SIGKILL);
  EXPECT_EQ(Wait(pid).exit_code, 128 + SIGKILL);
  std::set<std::uint64_t> in_flight;
  for (const auto& request : server->requests()) {
    if (request.path.rfind("/krdn/repair/1.9.3/b/", 0) == 0) in_flight.insert(request.connection);
  }
  EXPECT_GT(in_flight.size(), 1u) << "pieces of b/c.bin were on their way over several connections";

  const std::set<std::string> wrong = WrongPieces(client, install, kPiece);
  EXPECT_FALSE(wrong.empty());
  EXPECT_LT(wrong.size(), 4u + 7u) << "some pieces were written before the kill";
  server->ClearRules();
  server->ClearRequests();
  const Finished again = RunCli(HostArgs(server->url(), server->url()));
  ASSERT_EQ(again.exit_code, 0) << again.err;
  ExpectInstallMatchesClient();

  std::set<std::string> fetched;
  for (const auto& request : server->requests()) {
    const std::string prefix = "/krdn/repair/1.9.3/";
    if (request.path.rfind(prefix, 0) != 0 || request.path.find("_download.txt") != std::string::npos) continue;
    fetched.insert(request.path.substr(prefix.size()) + " " + request.range.substr(6));
  }
  EXPECT_EQ(fetched, wrong);
}

TEST_F(Cli, AServerThatIgnoresRangeMeetsTheWrongLengthSleepsAndStandardErrorTellsTheDialogs) {
  AddClientFile("a.bin", PatternBytes(3000, 47));
  Publish("1.9.3", 0, 1024);
  LocalServers servers(root, work / "nginx", "--max-ranges 0");  // whole files, whatever the Range
  std::vector<std::string> args = HostArgs(servers.version_host(), servers.repair_host());
  args.insert(args.end(), {"--give-up-after", "2"});
  const Finished run = RunCli(args);
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(WithoutLogLine(run.err),
            "krdn-repair-cli: attempt 1: 与服务器连接不稳定，请点击“重试”从当前进度继续下载 (下载文件失败。)\n"
            "krdn-repair-cli: attempt 2: 与服务器连接不稳定，请点击“重试”从当前进度继续下载 (下载文件失败。)\n"
            "krdn-repair-cli: attempt 3: 网络不给力，建议检查网络，稍后再次尝试从当前进度下载 (失败)\n"
            "krdn-repair-cli: attempt 4: 网络不给力，建议检查网络，稍后再次尝试从当前进度下载 (失败)\n"
            "krdn-repair-cli: gave up after 2 network failures in a row\n");
  // Each answer to the first piece was the whole file, with status 200.
  std::size_t whole_answers = 0;
  const std::string log = servers.StoppedLog();
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"bytes=0-1023\"") != std::string::npos && line.find("\" 200 ") != std::string::npos) ++whole_answers;
  }
  EXPECT_EQ(whole_answers, 4u) << log;
}

// --limit-rate caps the run as a whole: 256 KiB of pieces at 64 KiB a second take about
// four seconds (never much less, however fast the machine), the log names the cap, and
// a rate that is none is a usage error before anything is touched.
TEST_F(Cli, LimitRateCapsTheWholeRunAndABadRateIsAUsageError) {
  for (const char* bad : {"", "fast", "1.5M", "512", "10T", "-1K", "64 K", "99999999999999999999"}) {
    const Finished refused = RunCli({"--dir", install.string(), "--limit-rate", bad});
    EXPECT_EQ(refused.exit_code, 2) << bad;
    EXPECT_EQ(refused.err.rfind("krdn-repair-cli: --limit-rate takes bytes a second", 0), 0u) << refused.err;
  }
  EXPECT_TRUE(fs::is_empty(install));
  EXPECT_NE(RunCli({"--help"}).out.find("--limit-rate RATE"), std::string::npos);

  AddClientFile("capped.bin", PatternBytes(256 * 1024, 49));
  Publish("1.9.4", 0, 16 * 1024);
  LocalServers servers(root, work / "nginx");
  const auto began = std::chrono::steady_clock::now();
  const Finished run = RunCli(HostArgs(servers.version_host(), servers.repair_host(),
                                       {"--limit-rate", "64k", "--log", (work / "capped.log").string()}));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  ExpectInstallMatchesClient();
  EXPECT_GT(seconds, 3.4) << "256 KiB at 64 KiB a second";
  EXPECT_NE(ReadText(work / "capped.log").find(" limit-rate=65536B/s"), std::string::npos);
}

TEST_F(Cli, TheEngineKeepsItsConnectionsToNginxUnlessToldToUseFreshOnes) {
  AddClientFile("a.bin", PatternBytes(8 * 1024, 48));
  Publish("1.9.3", 0, 1024);
  LocalServers servers(root, work / "nginx");
  std::vector<std::string> strict = HostArgs(servers.version_host(), servers.repair_host());
  strict.insert(strict.end(), {"--connections", "1", "--fresh-connections"});
  ASSERT_EQ(RunCli(strict).exit_code, 0);
  fs::remove_all(install);
  std::vector<std::string> kept = HostArgs(servers.version_host(), servers.repair_host());
  kept.insert(kept.end(), {"--connections", "1"});
  ASSERT_EQ(RunCli(kept).exit_code, 0);
  ExpectInstallMatchesClient();

  // The log's last two fields: the connection and the request's place on it.
  std::vector<std::pair<std::string, int>> pieces;  // connection, place, of the piece requests in order
  std::istringstream lines(servers.StoppedLog());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("VoRepair_missing_") == std::string::npos) continue;
    std::istringstream fields(line.substr(line.rfind('"') + 1));
    std::string connection;
    int place = 0;
    fields >> connection >> place;
    pieces.emplace_back(connection, place);
  }
  ASSERT_EQ(pieces.size(), 16u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(pieces[i].second, 1) << "strict: a new connection for piece " << i;
  for (std::size_t i = 8; i < 16; ++i) {
    EXPECT_EQ(pieces[i].first, pieces[8].first) << "kept: one connection for every piece";
    EXPECT_GT(pieces[i].second, 1) << "after the version file and the manifest";
  }
}

TEST_F(Cli, RepairsASignedReleaseOverHttpsWithTheCaFileAndThePublisherKeyItIsGiven) {
  if (!platform::MakeReleaseKeyPair()) GTEST_SKIP() << "this platform has no Ed25519";
  fs::create_directories(work / "keys");
  ASSERT_EQ(publish::MakeKey(work / "keys/release").code, publish::Outcome::kPublished);
  AddClientFile("VoLauncher.exe", PatternBytes(3000, 49));
  const auto published = publish::Publish(
      {.client = client, .out = root, .version = "1.9.3", .piece_size = 1024, .sign_key = work / "keys/release"});
  ASSERT_EQ(published.code, publish::Outcome::kPublished) << published.message;
  const TestAuthority authority(work / "pki", "test");
  const ServerCertificate certificate = authority.Issue("server", "IP:127.0.0.1");
  LocalServers servers(root, work / "nginx",
                       "--tls-cert " + certificate.certificate.string() + " --tls-key " + certificate.key.string());
  std::vector<std::string> args = HostArgs(servers.version_host(), servers.repair_host());
  args.insert(args.end(), {"--ca-file", authority.certificate().string(), "--publisher-key",
                           (work / "keys/release.pub").string(), "--give-up-after", "1"});

  const Finished run = RunCli(args);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ExpectInstallMatchesClient();

  // The system's store does not know the test's authority: the probe never gets through.
  fs::remove_all(install);
  std::vector<std::string> untrusted = HostArgs(servers.version_host(), servers.repair_host());
  untrusted.insert(untrusted.end(), {"--give-up-after", "1"});
  const Finished refused = RunCli(untrusted);
  EXPECT_EQ(refused.exit_code, 3);
  EXPECT_NE(refused.err.find("(文件tern.sav下载失败)"), std::string::npos) << refused.err;

  // Options that cannot be used are usage errors.
  std::vector<std::string> bad_key = HostArgs(servers.version_host(), servers.repair_host());
  bad_key.insert(bad_key.end(), {"--publisher-key", (work / "keys/release").string()});  // the private half
  EXPECT_EQ(RunCli(bad_key).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir", install.string(), "--ca-file", (work / "no-such.pem").string()}).exit_code, 2);
  EXPECT_EQ(RunCli({"--dir", install.string(), "--version-host", "ftp://127.0.0.1:21"}).exit_code, 2);

  // The signatures the trusted run fetched (the others got no request through).
  const std::string log = servers.StoppedLog();
  EXPECT_NE(log.find("\"GET /krdn/barternsav/360/tern.sav.sig HTTP/1.1\" 200 64 \"Version\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"GET /krdn/repair/1.9.3/1.9.3_download.txt.sig HTTP/1.1\" 200 64"), std::string::npos) << log;
}

}  // namespace
}  // namespace krdn::testing
