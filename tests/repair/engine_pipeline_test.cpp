// Pieces fetched ahead change nothing the user or the server sees: for every fault of
// the fault server, a run with four connections sends the window the same
// notifications, sleeps the same sleeps and makes the same requests as a run that
// fetches one piece at a time. Redirect loops and dripping answers are failed transfers.
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include "tests/repair/engine_fixture.h"

namespace krdn::testing {
namespace {

using fault::Fault;
using fault::FaultRule;
using namespace std::chrono_literals;

// The notifications of a run without the transient byte counts that a fetch sends
// once a second while it lasts (they depend on the clock, not on the run): every count
// but the first line of a fetch, "(0/N)", which a count of a fetch still waiting for
// its first byte repeats.
std::vector<Note> Stream(const std::vector<Note>& notes) {
  std::vector<Note> stream;
  for (const Note& note : notes) {
    const bool byte_count = note.kind == Kind::kTransient && note.Text().rfind(u"下载数据：(", 0) == 0;
    const bool first_line =
        byte_count && note.Text().rfind(u"下载数据：(0/", 0) == 0 && (stream.empty() || stream.back() != note);
    if (!byte_count || first_line) stream.push_back(note);
  }
  return stream;
}

// Where two streams part, for the failure message (a whole stream is too long to read).
std::string FirstDifference(const std::vector<Note>& a, const std::vector<Note>& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  const auto show = [](const std::vector<Note>& stream, std::size_t i) {
    if (i >= stream.size()) return std::string("(the end)");
    const Note& note = stream[i];
    return "kind " + std::to_string(static_cast<int>(note.kind)) + " \"" + platform::Utf16ToUtf8(note.Text()) + "\" " +
           std::to_string(note.percent);
  };
  std::string out = "first difference at notification " + std::to_string(at) + ":";
  for (std::size_t i = at; i < at + 3; ++i) out += "\n  " + show(a, i) + "  |  " + show(b, i);
  return out;
}

// Requests of the pieces: path, Range, agent string, and how often each was made.
std::map<std::tuple<std::string, std::string, std::string>, int> PieceRequests(
    const std::vector<fault::RequestRecord>& requests) {
  std::map<std::tuple<std::string, std::string, std::string>, int> pieces;
  for (const auto& request : requests) {
    if (request.path.find("_download.txt") != std::string::npos || request.range.empty()) continue;
    if (request.path.rfind("/krdn/repair/1.9.3/", 0) != 0) continue;
    ++pieces[{request.path, request.range, request.user_agent}];
  }
  return pieces;
}

struct Recorded {
  std::vector<Note> stream;
  std::vector<int> sleeps;
  std::map<std::tuple<std::string, std::string, std::string>, int> pieces;
  std::set<std::uint64_t> piece_connections;
};

struct StreamCase {
  Fault fault;
  int requests_per_failure;  // a redirect loop takes six requests to fail once
};

class SameStream : public EngineTest, public ::testing::WithParamInterface<StreamCase> {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    settings.stall_timeout = 500ms;
    settings.connect_timeout = 5000ms;
    AddClientFile("a.bin", PatternBytes(5000, 51));  // five pieces
    AddClientFile("b/c.bin", PatternBytes(2500, 52));  // three pieces
    Publish("1.9.3", 0, 1024);
  }

  // One run over a missing client with the fault on two pieces: three failures of the
  // second piece of a.bin (the dialogs turn from 105 to 106), one of the first of c.bin.
  Recorded RunWith(int connections) {
    fs::remove_all(install);
    fs::create_directories(install);
    {
      std::lock_guard lock(mutex);
      notes.clear();
      sleeps.clear();
    }
    server->ClearRules();
    server->ClearRequests();
    const StreamCase c = GetParam();
    server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = "bytes=1024-2047", .fault = c.fault,
                              .times = 3 * c.requests_per_failure, .bytes_per_second = 20000});
    server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/b/c.bin", .range = "bytes=0-1023", .fault = c.fault,
                              .times = c.requests_per_failure, .bytes_per_second = 20000});
    settings.connections = connections;
    RunRepair();
    Recorded recorded;
    recorded.stream = Stream(notes);
    recorded.sleeps = sleeps;
    recorded.pieces = PieceRequests(server->requests());
    for (const auto& request : server->requests()) {
      if (!request.range.empty() && request.path.find("_download") == std::string::npos) {
        recorded.piece_connections.insert(request.connection);
      }
    }
    return recorded;
  }
};

TEST_P(SameStream, WithFourConnectionsAsWithOne) {
  const Recorded one = RunWith(1);
  const bool completes = GetParam().fault != Fault::kWrongDigest;
  EXPECT_EQ(Succeeded(), completes) << platform::Utf16ToUtf8(FinalText());
  if (completes) ExpectInstallMatchesClient();
  const Recorded four = RunWith(4);
  EXPECT_EQ(Succeeded(), completes);
  if (completes) ExpectInstallMatchesClient();

  EXPECT_EQ(four.stream, one.stream) << FirstDifference(four.stream, one.stream);
  EXPECT_EQ(four.sleeps, one.sleeps);
  if (completes) {
    // Fetched ahead only inside the run: once the digest of a piece is wrong the pieces
    // in flight after it are dropped, so only complete runs make the same requests.
    EXPECT_EQ(four.pieces, one.pieces);
  }
  if (GetParam().fault == Fault::kNone) {
    EXPECT_EQ(one.piece_connections.size(), 1u) << "one kept connection for every piece";
    EXPECT_GT(four.piece_connections.size(), 1u) << "pieces were fetched ahead on more connections";
    EXPECT_LE(four.piece_connections.size(), 4u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, SameStream,
    ::testing::Values(StreamCase{Fault::kNone, 1}, StreamCase{Fault::kRefuse, 1}, StreamCase{Fault::kReset, 1},
                      StreamCase{Fault::kResetMidBody, 1}, StreamCase{Fault::kStallBeforeHeaders, 1},
                      StreamCase{Fault::kStallMidBody, 1}, StreamCase{Fault::kWholeBody, 1},
                      StreamCase{Fault::kShortBody, 1}, StreamCase{Fault::kLongBody, 1},
                      StreamCase{Fault::kErrorPage, 1}, StreamCase{Fault::kWrongDigest, 1},
                      StreamCase{Fault::kTrickle, 1}, StreamCase{Fault::kRedirect, 6}),
    [](const ::testing::TestParamInfo<StreamCase>& param) {
      std::string name = fault::FaultName(param.param.fault);
      std::erase(name, '-');
      return name;
    });

class TransferLimits : public EngineTest {};

// Small pieces are requested far ahead of the pass, not twice the connections' worth:
// while the pass waits in the second file's status line, the server sees the pieces of
// every file of the client.
TEST_F(EngineTest, SmallPiecesAreRequestedFarAheadOfThePass) {
  constexpr std::size_t kFiles = 40;
  for (std::size_t i = 0; i < kFiles; ++i) AddClientFile("s/" + std::to_string(i) + ".dat", PatternBytes(300 + i, 70));
  Publish("1.9.3", 0, 1024);
  const auto pieces_requested = [&] {
    std::size_t count = 0;
    for (const auto& request : server->requests()) count += request.path.rfind("/krdn/repair/1.9.3/s/", 0) == 0;
    return count;
  };
  int downloading = 0;
  std::size_t requested_while_held = 0;
  answer = [&](const Note& note) -> RetryAnswer {
    if (note.kind == Kind::kStatus && note.Text().rfind(u"下载文件: ", 0) == 0 && ++downloading == 2) {
      const auto deadline = std::chrono::steady_clock::now() + 20s;
      while (pieces_requested() < kFiles && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
      }
      requested_while_held = pieces_requested();
    }
    return RetryAnswer::kGoOn;
  };
  RunRepair();
  EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  EXPECT_EQ(requested_while_held, kFiles) << "pieces requested while the pass was at its second file";
  EXPECT_EQ(pieces_requested(), kFiles) << "each piece once";
}

TEST_F(TransferLimits, ARedirectLoopIsAFailedTransferAfterFiveHops) {
  AddClientFile("a.bin", PatternBytes(2000, 53));
  Publish("1.9.3", 0, 1024);
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = "bytes=0-1023",
                            .fault = Fault::kRedirect, .times = 6});
  RunRepair();
  EXPECT_TRUE(Succeeded());
  ExpectInstallMatchesClient();
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, u"失败\r\n"}}));
  EXPECT_TRUE(sleeps.empty()) << "a failed transfer is retried at once";
  int first_piece = 0;
  for (const auto& request : server->requests()) first_piece += request.range == "bytes=0-1023" ? 1 : 0;
  EXPECT_EQ(first_piece, 6 + 1) << "the request and five hops, then the retry";
}

TEST_F(TransferLimits, AnAnswerThatDripsFailsWithinTheSlowLimit) {
  settings.slow_window = 1000ms;
  settings.slow_min_bytes = 1024;
  AddClientFile("a.bin", PatternBytes(8192, 54));
  Publish("1.9.3", 0, 8192);
  // 200 bytes a second: never quiet for the stall timeout, and forty seconds for the piece.
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = Fault::kTrickle, .times = 1,
                            .bytes_per_second = 200});
  RunRepair();
  EXPECT_TRUE(Succeeded());
  ExpectInstallMatchesClient();
  EXPECT_EQ(QuestionsPut(), (Questions{{kUnstable, u"失败\r\n"}}));
  const auto requests = server->requests();
  const auto dripped = std::find_if(requests.begin(), requests.end(),
                                    [](const auto& r) { return r.fault == Fault::kTrickle; });
  ASSERT_NE(dripped, requests.end());
  EXPECT_GT(dripped->body_bytes_sent, 0u);
  EXPECT_LT(dripped->body_bytes_sent, 2048u) << "given up at the end of the first window";
}

}  // namespace
}  // namespace krdn::testing
