// The HTTP session against nginx, the server the download hosts run: exact bodies for
// ranges, kept or fresh connections, several transfers at once, hold, abort and the
// receiver's cancel. Runs on every platform (the Windows build under wine, against
// nginx on the Linux side).
#include "platform/http/http.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/local_servers.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using krdn::testing::LocalServers;
using krdn::testing::PatternBytes;
using krdn::testing::TempDir;
using krdn::testing::WriteFile;
using namespace std::chrono_literals;

class Collect : public HttpReceiver {
 public:
  bool OnResponse(long status) override {
    std::lock_guard lock(mutex);
    statuses.push_back(status);
    return true;
  }
  bool OnBody(std::span<const std::uint8_t> block) override {
    std::lock_guard lock(mutex);
    if (statuses.empty()) body_before_response = true;
    body.insert(body.end(), block.begin(), block.end());
    return !cancel_after || body.size() < cancel_after;
  }
  std::mutex mutex;
  std::vector<long> statuses;
  std::vector<std::uint8_t> body;
  bool body_before_response = false;
  std::size_t cancel_after = 0;  // bytes after which the receiver says no; 0: never
};

// One line of the servers' access log: agent, Range, connection and its request count.
struct Logged {
  std::string path;
  std::string agent;
  std::string range;
  std::string connection;
  int on_connection = 0;
};

// Reads a line of the log format `port "GET path HTTP/1.1" status bytes "agent" "range"
// connection requests`; nothing for a line of another form.
std::optional<Logged> ParseLogLine(const std::string& text) {
  std::vector<std::string> quoted_apart;  // outside, inside, outside, ... of the quotes
  std::size_t start = 0;
  for (std::size_t quote; (quote = text.find('"', start)) != std::string::npos; start = quote + 1) {
    quoted_apart.push_back(text.substr(start, quote - start));
  }
  quoted_apart.push_back(text.substr(start));
  if (quoted_apart.size() != 7) return std::nullopt;
  std::istringstream request(quoted_apart[1]);
  std::string method, path, version;
  request >> method >> path >> version;
  std::istringstream tail(quoted_apart[6]);
  Logged logged;
  logged.path = path;
  logged.agent = quoted_apart[3];
  logged.range = quoted_apart[5];
  if (method != "GET" || version != "HTTP/1.1" || !(tail >> logged.connection >> logged.on_connection)) {
    return std::nullopt;
  }
  return logged;
}

class NginxSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // One tree and one nginx for the whole suite.
    suite_dir = std::make_unique<TempDir>();
    WriteFile(suite_dir->path() / "root" / "krdn" / "file.bin", PatternBytes(300000, 7));
    WriteFile(suite_dir->path() / "root" / "krdn" / "empty.bin", std::string());
    servers = std::make_unique<LocalServers>(suite_dir->path() / "root", suite_dir->path() / "nginx");
  }
  static void TearDownTestSuite() {
    servers.reset();
    suite_dir.reset();
  }

  HttpRequest Request(const std::string& path, std::optional<std::string> range = std::nullopt) const {
    return HttpRequest{.url = servers->repair_host() + path, .user_agent = agent_, .range = std::move(range)};
  }

  // The log lines of this test's requests, in the order nginx wrote them (when each
  // request ended). The suite's tests share one log, and nginx may write the line of an
  // earlier test's request (a cancelled one, say) while a later test runs, so a line is
  // this test's by its agent string, never by where it stands.
  std::vector<Logged> Log(std::size_t at_least) const {
    std::vector<Logged> lines;
    for (int attempt = 0; attempt < 250; ++attempt) {
      lines.clear();
      std::ifstream in(servers->access_log());
      for (std::string text; std::getline(in, text);) {
        std::optional<Logged> logged = ParseLogLine(text);
        if (logged && logged->agent == agent_) lines.push_back(*std::move(logged));
      }
      if (lines.size() >= at_least) break;
      std::this_thread::sleep_for(20ms);
    }
    return lines;
  }

  static inline std::unique_ptr<TempDir> suite_dir;
  static inline std::unique_ptr<LocalServers> servers;
  const std::string agent_ =
      std::string("VoRepair_nginx_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(NginxSession, ARangeComesBackExactlyWithItsHeaders) {
  HttpSession session;
  Collect whole;
  const HttpResult result = session.Get(Request("/krdn/file.bin", "bytes=1000-200999"), whole);
  ASSERT_EQ(result.outcome, HttpOutcome::kComplete) << result.error;
  EXPECT_EQ(result.status, 206);
  EXPECT_EQ(result.redirects, 0);
  const std::vector<std::uint8_t> expected = PatternBytes(300000, 7);
  EXPECT_EQ(whole.body, std::vector<std::uint8_t>(expected.begin() + 1000, expected.begin() + 201000));
  EXPECT_FALSE(whole.body_before_response);

  Collect empty;
  EXPECT_EQ(session.Get(Request("/krdn/empty.bin"), empty).outcome, HttpOutcome::kComplete);
  EXPECT_EQ(empty.statuses, std::vector<long>{200});
  EXPECT_TRUE(empty.body.empty());
  Collect missing;
  const HttpResult absent = session.Get(Request("/krdn/absent.bin", "bytes=0-"), missing);
  EXPECT_EQ(absent.outcome, HttpOutcome::kComplete);  // an error page is an answer
  EXPECT_EQ(absent.status, 404);

  const std::vector<Logged> log = Log(3);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].path, "/krdn/file.bin");
  EXPECT_EQ(log[1].path, "/krdn/empty.bin");
  EXPECT_EQ(log[0].range, "bytes=1000-200999");
  EXPECT_EQ(log[1].range, "-");  // nginx's mark for a header that was not sent
  EXPECT_EQ(log[2].range, "bytes=0-");
  // One after the other, all on the session's one kept connection.
  EXPECT_EQ(log[2].connection, log[0].connection);
  EXPECT_EQ(log[2].on_connection, log[0].on_connection + 2);
}

// On the version host's port, which no other test of the suite uses: WinInet keeps the
// idle connections of every session of a process in one pool.
TEST_F(NginxSession, FreshConnectionsGiveEveryRequestItsOwn) {
  HttpSession session({.connections_per_host = 1, .fresh_connections = true});
  for (int i = 0; i < 3; ++i) {
    Collect body;
    HttpRequest request = Request("/krdn/file.bin", "bytes=0-99");
    request.url = servers->version_host() + "/krdn/file.bin";
    ASSERT_EQ(session.Get(request, body).outcome, HttpOutcome::kComplete);
    EXPECT_EQ(body.body.size(), 100u);
  }
  const std::vector<Logged> log = Log(3);
  ASSERT_EQ(log.size(), 3u);
  for (const Logged& line : log) EXPECT_EQ(line.on_connection, 1);
  EXPECT_NE(log[0].connection, log[1].connection);
  EXPECT_NE(log[1].connection, log[2].connection);
}

TEST_F(NginxSession, TransfersRunSideBySideAndHoldKeepsNewOnesBack) {
  HttpSession session({.connections_per_host = 2});
  session.Hold();
  std::vector<Collect> bodies(4);
  std::vector<HttpTransfer> transfers;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const std::string range = "bytes=" + std::to_string(i * 1000) + "-" + std::to_string(i * 1000 + 999);
    transfers.push_back(session.Start(Request("/krdn/file.bin", range), bodies[i]));
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(Log(0).empty());  // nothing sent while held
  for (const HttpTransfer& transfer : transfers) EXPECT_FALSE(transfer.Finished());
  session.Release();
  const std::vector<std::uint8_t> expected = PatternBytes(300000, 7);
  for (std::size_t i = 0; i < transfers.size(); ++i) {
    ASSERT_EQ(transfers[i].Wait().outcome, HttpOutcome::kComplete);
    EXPECT_EQ(bodies[i].body, std::vector<std::uint8_t>(expected.begin() + static_cast<long>(i * 1000),
                                                         expected.begin() + static_cast<long>(i * 1000 + 1000)));
  }
  EXPECT_EQ(Log(4).size(), 4u);
}

TEST_F(NginxSession, TheReceiverTheWaiterAndAnAbortEachCancel) {
  HttpSession session;
  Collect stops_early;
  stops_early.cancel_after = 1;
  EXPECT_EQ(session.Get(Request("/krdn/file.bin"), stops_early).outcome, HttpOutcome::kCancelled);
  EXPECT_LT(stops_early.body.size(), 300000u);

  Collect waited;
  HttpTransfer transfer = session.Start(Request("/krdn/file.bin"), waited);
  const HttpResult asked = transfer.Wait([] { return false; }, 1ms);
  EXPECT_TRUE(asked.outcome == HttpOutcome::kCancelled || asked.outcome == HttpOutcome::kComplete);
  EXPECT_TRUE(transfer.Finished());
  EXPECT_EQ(transfer.Wait().outcome, asked.outcome);  // the same result again

  session.Abort();
  Collect after;
  EXPECT_EQ(session.Get(Request("/krdn/file.bin"), after).outcome, HttpOutcome::kCancelled);
  EXPECT_TRUE(after.statuses.empty());
}

TEST_F(NginxSession, NoServerAndOtherSchemesFail) {
  HttpSession session;
  Collect body;
  // Port 1 on loopback: nothing listens there.
  HttpRequest refused{.url = "http://127.0.0.1:1/krdn/file.bin", .user_agent = "VoRepair_nginx", .range = std::nullopt};
  refused.limits.connect_timeout = 2000ms;
  EXPECT_EQ(session.Get(refused, body).outcome, HttpOutcome::kFailed);
  HttpRequest ftp{.url = "ftp://127.0.0.1/krdn/file.bin", .user_agent = "VoRepair_nginx", .range = std::nullopt};
  EXPECT_EQ(session.Get(ftp, body).outcome, HttpOutcome::kFailed);
  EXPECT_TRUE(body.statuses.empty());
}

}  // namespace
}  // namespace platform
