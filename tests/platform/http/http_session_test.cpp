// The HTTP session against the fault server: connections kept and reused, several
// transfers at once within the per-host limit, hold and abort, redirects, the limits
// that fail a stalled or dripping answer, and the rate cap. The same cases run over every
// platform's wire.
#include "platform/http/http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tests/support/host_fault_server.h"

namespace platform {
namespace {

using krdn::fault::Fault;
using krdn::fault::FaultRule;
using krdn::testing::PatternBytes;
using krdn::testing::TempDir;
using krdn::testing::WriteFile;
using namespace std::chrono_literals;

class Collect final : public HttpReceiver {
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
    return true;
  }
  std::mutex mutex;
  std::vector<long> statuses;
  std::vector<std::uint8_t> body;
  bool body_before_response = false;
};

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "file.bin", PatternBytes(200000, 5));
    WriteFile(dir / "mirror/file.bin", PatternBytes(200000, 6));
  }
  HttpRequest Request(const std::string& path, std::optional<std::string> range = std::nullopt) const {
    return HttpRequest{.url = server.url() + path, .user_agent = "VoRepair_test", .range = std::move(range)};
  }
  std::set<std::uint64_t> Connections() const {
    std::set<std::uint64_t> connections;
    for (const auto& request : server.requests()) connections.insert(request.connection);
    return connections;
  }

  TempDir dir;
  krdn::testing::HostFaultServer server{dir.path()};
};

TEST_F(Session, KeepsItsConnectionBetweenRequestsUnlessToldToUseFreshOnes) {
  {
    HttpSession session;
    for (int i = 0; i < 3; ++i) {
      Collect collect;
      const HttpResult result = session.Get(Request("/file.bin", "bytes=0-99"), collect);
      ASSERT_EQ(result.outcome, HttpOutcome::kComplete) << result.error;
      EXPECT_EQ(result.status, 206);
      EXPECT_EQ(collect.body.size(), 100u);
      EXPECT_EQ(collect.statuses, std::vector<long>{206});
      EXPECT_FALSE(collect.body_before_response);
    }
  }
  EXPECT_EQ(Connections().size(), 1u);
  const auto first = server.requests();
  EXPECT_EQ(first[2].on_connection, 2);
  EXPECT_EQ(first[0].range, "bytes=0-99");
  EXPECT_EQ(first[0].user_agent, "VoRepair_test");

  server.ClearRequests();
  HttpSession fresh({.fresh_connections = true});
  for (int i = 0; i < 3; ++i) {
    Collect collect;
    ASSERT_EQ(fresh.Get(Request("/file.bin"), collect).outcome, HttpOutcome::kComplete);
    EXPECT_EQ(collect.body, PatternBytes(200000, 5));
  }
  EXPECT_EQ(Connections().size(), 3u);
}

TEST_F(Session, RunsTransfersAtOnceUpToTheConnectionsOfAHostAndSendsAnUrgentOneFirstOfThoseWaiting) {
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kTrickle, .bytes_per_second = 40000});
  HttpSession session({.connections_per_host = 2});
  // The first ends well before the second (0.3 s against 1 s), so the connections come
  // free one at a time.
  const std::vector<std::pair<std::size_t, std::size_t>> ranges = {{0, 12000}, {20000, 40000}, {80000, 20000}, {120000, 20000}};
  const auto range_of = [&](std::size_t i) {
    return "bytes=" + std::to_string(ranges[i].first) + "-" + std::to_string(ranges[i].first + ranges[i].second - 1);
  };
  std::vector<Collect> collects(4);
  std::vector<HttpTransfer> transfers;
  for (std::size_t i = 0; i < 3; ++i) transfers.push_back(session.Start(Request("/file.bin", range_of(i)), collects[i]));
  ASSERT_TRUE(server.WaitFor(2, 1, 20s));
  // Started last, while the third waits: sent before it.
  HttpRequest urgent = Request("/file.bin", range_of(3));
  urgent.urgent = true;
  transfers.push_back(session.Start(urgent, collects[3]));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(server.requests().size(), 2u) << "the others wait for a free connection";
  const auto whole = PatternBytes(200000, 5);
  for (std::size_t i = 0; i < transfers.size(); ++i) {
    EXPECT_EQ(transfers[i].Wait().outcome, HttpOutcome::kComplete);
    const auto first = whole.begin() + static_cast<std::ptrdiff_t>(ranges[i].first);
    EXPECT_EQ(collects[i].body, std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(ranges[i].second)));
  }
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[2].range, range_of(3)) << "the urgent one goes first of those waiting";
  EXPECT_EQ(requests[3].range, range_of(2));
  EXPECT_EQ(Connections().size(), 2u) << "the waiting ones went over kept connections";
}

TEST_F(Session, HoldKeepsNewTransfersBackAndAbortEndsEverythingAtOnce) {
  HttpSession session;
  session.Hold();
  Collect held;
  HttpTransfer waiting = session.Start(Request("/file.bin"), held);
  std::this_thread::sleep_for(150ms);
  EXPECT_TRUE(server.requests().empty());
  EXPECT_FALSE(waiting.Finished());
  session.Release();
  EXPECT_EQ(waiting.Wait().outcome, HttpOutcome::kComplete);
  EXPECT_EQ(held.body.size(), 200000u);

  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kStallBeforeHeaders});
  Collect a, b;
  HttpTransfer stalled_a = session.Start(Request("/file.bin", "bytes=0-9"), a);
  HttpTransfer stalled_b = session.Start(Request("/file.bin", "bytes=10-19"), b);
  ASSERT_TRUE(server.WaitFor(3, 0, 20s));
  session.Abort();
  EXPECT_EQ(stalled_a.Wait().outcome, HttpOutcome::kCancelled);
  EXPECT_EQ(stalled_b.Wait().outcome, HttpOutcome::kCancelled);
  Collect late;
  EXPECT_EQ(session.Get(Request("/file.bin"), late).outcome, HttpOutcome::kCancelled);
  EXPECT_EQ(server.requests().size(), 3u) << "nothing is sent after the abort";
}

TEST_F(Session, TheWaiterCanCancelAndDestroyingAnUnfinishedTransferAbortsIt) {
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kTrickle, .bytes_per_second = 20000});
  HttpSession session;
  Collect collect;
  int asked = 0;
  const HttpResult result = session.Get(Request("/file.bin"), collect, [&] { return ++asked < 3; });
  EXPECT_EQ(result.outcome, HttpOutcome::kCancelled);
  EXPECT_EQ(asked, 3);
  EXPECT_LT(collect.body.size(), 200000u);
  {
    Collect gone;
    HttpTransfer transfer = session.Start(Request("/file.bin"), gone);
    ASSERT_TRUE(server.WaitFor(2, 1, 20s));
  }  // must not write into `gone` afterwards (the sanitizers watch)
}

TEST_F(Session, FollowsRedirectsWithTheSameHeadersUpToFiveHopsToHttpOnly) {
  for (const int status : {301, 302, 303, 307, 308}) {
    server.ClearRules();
    server.ClearRequests();
    server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kRedirect, .redirect_status = status,
                             .location_prefix = "/mirror"});
    HttpSession session;
    Collect collect;
    const HttpResult result = session.Get(Request("/file.bin", "bytes=100-199"), collect);
    ASSERT_EQ(result.outcome, HttpOutcome::kComplete) << status << " " << result.error;
    EXPECT_EQ(result.redirects, 1);
    EXPECT_EQ(collect.statuses, std::vector<long>{206}) << "the redirect answer is nobody's body";
    const auto mirror = PatternBytes(200000, 6);
    EXPECT_EQ(collect.body, std::vector<std::uint8_t>(mirror.begin() + 100, mirror.begin() + 200));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].path, "/mirror/file.bin");
    EXPECT_EQ(requests[1].range, "bytes=100-199");
    EXPECT_EQ(requests[1].user_agent, "VoRepair_test");
  }

  server.ClearRules();
  server.ClearRequests();
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kRedirect});  // to itself
  HttpSession session;
  Collect looped;
  const HttpResult loop = session.Get(Request("/file.bin"), looped);
  EXPECT_EQ(loop.outcome, HttpOutcome::kFailed);
  EXPECT_EQ(loop.redirects, 5);
  EXPECT_EQ(server.requests().size(), 6u) << "the request and five hops";
  EXPECT_TRUE(looped.body.empty());

  server.ClearRules();
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kRedirect, .location_prefix = "ftp://127.0.0.1:9"});
  Collect elsewhere;
  EXPECT_EQ(session.Get(Request("/file.bin"), elsewhere).outcome, HttpOutcome::kFailed);

  // Any other 3xx is an answer like any other.
  server.ClearRules();
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kRedirect, .redirect_status = 300,
                           .location_prefix = "/mirror"});
  Collect multiple;
  const HttpResult not_followed = session.Get(Request("/file.bin"), multiple);
  EXPECT_EQ(not_followed.outcome, HttpOutcome::kComplete);
  EXPECT_EQ(not_followed.status, 300);
  EXPECT_EQ(multiple.body.size(), 300u);
}

class Reports final : public HttpObserver {
 public:
  void OnRequestEnded(const HttpRequestReport& report) noexcept override {
    std::lock_guard lock(mutex_);
    seen_.push_back(report);
  }
  std::vector<HttpRequestReport> Seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  std::mutex mutex_;
  std::vector<HttpRequestReport> seen_;
};

TEST_F(Session, TellsItsObserverOfEveryTransferThatWentOutBeforeItsWaiterReturns) {
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .range = "bytes=0-9", .fault = Fault::kRedirect,
                           .location_prefix = "/mirror"});
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .range = "bytes=10-19", .fault = Fault::kReset});
  Reports reports;
  HttpSession session({.observer = &reports});
  Collect redirected;
  ASSERT_EQ(session.Get(Request("/file.bin", "bytes=0-9"), redirected).outcome, HttpOutcome::kComplete);
  ASSERT_EQ(reports.Seen().size(), 1u);
  Collect reset;
  EXPECT_EQ(session.Get(Request("/file.bin", "bytes=10-19"), reset).outcome, HttpOutcome::kFailed);
  ASSERT_EQ(reports.Seen().size(), 2u);
  Collect whole;
  ASSERT_EQ(session.Get(Request("/file.bin"), whole).outcome, HttpOutcome::kComplete);
  session.Hold();
  Collect never;
  HttpTransfer held = session.Start(Request("/file.bin"), never);
  held.Abort();
  EXPECT_EQ(held.Wait().outcome, HttpOutcome::kCancelled);

  const std::vector<HttpRequestReport> seen = reports.Seen();
  ASSERT_EQ(seen.size(), 3u) << "a transfer that never went out is not one";
  EXPECT_EQ(seen[0].url, server.url() + "/file.bin") << "as asked, not where it was sent";
  EXPECT_EQ(seen[0].outcome, HttpOutcome::kComplete);
  EXPECT_EQ(seen[0].status, 206);
  EXPECT_EQ(seen[0].bytes, 10u) << "the redirect's own page is not counted";
  EXPECT_EQ(seen[0].redirects, 1);
  EXPECT_TRUE(seen[0].error.empty());
  EXPECT_EQ(seen[1].outcome, HttpOutcome::kFailed);
  EXPECT_EQ(seen[1].status, 0);
  EXPECT_EQ(seen[1].bytes, 0u);
  EXPECT_FALSE(seen[1].error.empty());
  EXPECT_EQ(seen[2].status, 200);
  EXPECT_EQ(seen[2].bytes, 200000u);
  for (const HttpRequestReport& report : seen) EXPECT_GE(report.took.count(), 0);
}

TEST_F(Session, ARequestOnAKeptConnectionThatTheServerClosedIsSentOnceMoreOnANewOne) {
  HttpSession session;
  Collect first;
  ASSERT_EQ(session.Get(Request("/file.bin", "bytes=0-9"), first).outcome, HttpOutcome::kComplete);
  // The next request on that connection finds it closed; the client asks again on a new
  // connection, where the reset applies: one failure, seen once by the server.
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kReset, .times = 1});
  Collect second;
  EXPECT_EQ(session.Get(Request("/file.bin", "bytes=10-19"), second).outcome, HttpOutcome::kFailed);
  EXPECT_TRUE(second.statuses.empty()) << "no answer came";
  Collect third;
  EXPECT_EQ(session.Get(Request("/file.bin", "bytes=20-29"), third).outcome, HttpOutcome::kComplete);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].fault, Fault::kReset);
  EXPECT_EQ(requests[1].on_connection, 0);
  EXPECT_NE(requests[1].connection, requests[0].connection);
}

TEST_F(Session, AStalledOrDrippingAnswerFailsWithinItsLimits) {
  HttpSession session;
  HttpRequest stalled = Request("/file.bin");
  stalled.limits.stall_timeout = 300ms;
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kStallMidBody, .times = 1});
  Collect half;
  const HttpResult stall = session.Get(stalled, half);
  EXPECT_EQ(stall.outcome, HttpOutcome::kFailed);
  EXPECT_EQ(half.body.size(), 100000u);

  // 200 bytes a second never goes quiet long enough for the stall timeout, but brings
  // less than 1 KiB within a window of a second.
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kTrickle, .times = 1, .bytes_per_second = 200});
  HttpRequest drip = Request("/file.bin");
  drip.limits.slow_window = 1000ms;
  drip.limits.slow_min_bytes = 1024;
  Collect dripped;
  const HttpResult slow = session.Get(drip, dripped);
  EXPECT_EQ(slow.outcome, HttpOutcome::kFailed) << slow.error;
  EXPECT_FALSE(dripped.body.empty());
  EXPECT_LT(server.requests().back().body_bytes_sent, 4000u) << "the body was given up long before its end";
}

// A redirect's own page is read and dropped, never counted as the transfer's progress:
// one too large fails the hop, and one that drips fails by the stall timeout, however
// steadily it drips.
TEST_F(Session, ARedirectsOwnPageIsCappedAndIsNoProgress) {
  HttpSession session;
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kLongRedirect, .times = 1,
                           .bytes_per_second = 4 << 20, .location_prefix = "/mirror"});
  Collect large;
  const HttpResult capped = session.Get(Request("/file.bin"), large);
  EXPECT_EQ(capped.outcome, HttpOutcome::kFailed);
  EXPECT_EQ(capped.error, "the redirect's page is larger than 64 KiB");
  EXPECT_TRUE(large.body.empty());
  EXPECT_TRUE(large.statuses.empty()) << "the receiver saw no answer";

  // 2,000 bytes a second, in slices every 50 ms: as progress it would never stall.
  server.AddRule(FaultRule{.path_prefix = "/file.bin", .fault = Fault::kLongRedirect, .times = 1,
                           .bytes_per_second = 2000, .location_prefix = "/mirror"});
  HttpRequest dripping = Request("/file.bin");
  dripping.limits.stall_timeout = 400ms;
  Collect dripped;
  const HttpResult stalled = session.Get(dripping, dripped);
  EXPECT_EQ(stalled.outcome, HttpOutcome::kFailed) << stalled.error;
  EXPECT_EQ(stalled.error, "nothing arrived for the stall timeout");
  EXPECT_LT(server.requests().back().body_bytes_sent, 4000u);
  EXPECT_EQ(server.requests().size(), 2u) << "neither redirect was followed";
}

// Every block of several transfers with the time it arrived.
class Timeline final : public HttpReceiver {
 public:
  bool OnBody(std::span<const std::uint8_t> block) override {
    std::lock_guard lock(mutex);
    arrivals.emplace_back(std::chrono::steady_clock::now(), block.size());
    return true;
  }
  std::mutex mutex;
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::size_t>> arrivals;
};

// Eight transfers at once under a cap of 256 KiB a second: after the first half second
// (each transfer's first block comes at once) they arrive together at the cap, however
// the wire reads. A transfer waits half a second between its blocks, which its stall
// timeout of a quarter of a second does not count.
TEST_F(Session, ARateCapHoldsAllTransfersTogetherToItsRateAndIsNoStall) {
  constexpr double kRate = 256 * 1024;
  constexpr std::size_t kFileBytes = 192 * 1024;
  WriteFile(dir / "capped.bin", PatternBytes(kFileBytes, 9));
  HttpSession session({.connections_per_host = 8, .max_bytes_per_second = 256 * 1024});
  Timeline timeline;
  std::vector<HttpTransfer> transfers;
  HttpRequest request = Request("/capped.bin");
  request.limits.stall_timeout = 250ms;
  for (int i = 0; i < 8; ++i) transfers.push_back(session.Start(request, timeline));
  for (HttpTransfer& transfer : transfers) {
    const HttpResult result = transfer.Wait();
    EXPECT_EQ(result.outcome, HttpOutcome::kComplete) << result.error;
  }
  std::lock_guard lock(timeline.mutex);
  std::size_t total = 0;
  for (const auto& [at, bytes] : timeline.arrivals) total += bytes;
  ASSERT_EQ(total, 8 * kFileBytes);

  const auto first = timeline.arrivals.front().first;
  const auto last = timeline.arrivals.back().first;
  const auto from = first + 500ms;
  std::size_t after = 0;
  for (const auto& [at, bytes] : timeline.arrivals) {
    if (at > from) after += bytes;
  }
  const double seconds = std::chrono::duration<double>(last - from).count();
  ASSERT_GT(seconds, 3.0) << "1.5 MiB at 256 KiB a second take about 6 s";
  const double rate = static_cast<double>(after) / seconds;
  EXPECT_LT(rate, kRate * 1.08) << "the cap is kept";
  EXPECT_GT(rate, kRate * 0.75) << "and used";
}

}  // namespace
}  // namespace platform
