// Stop, Start and the end of a run, with the worker on a thread of its own as the
// window runs it: a hold anywhere continues the same run; an end unwinds the worker
// without another notification.
#include <set>
#include <thread>

#include "tests/repair/engine_fixture.h"
#include "transfer/piece_pipeline.h"

namespace krdn::testing {
namespace {

using fault::Fault;
using fault::FaultRule;
using namespace std::chrono_literals;

// Polls until the condition holds; false after the timeout.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class EngineControl : public EngineTest {
 protected:
  void StartWorker() {
    context = MakeContext();
    context->Start();
    worker = std::thread([this] { RepairWorker(*context, settings); });
  }
  void TearDown() override {
    if (worker.joinable()) {
      context->Control().Abandon();
      worker.join();
    }
  }
  std::size_t NoteCount() const {
    std::lock_guard lock(mutex);
    return notes.size();
  }

  std::thread worker;
};

TEST_F(EngineControl, StopInTheMiddleOfAPieceHoldsTheTransferAndStartContinuesIt) {
  AddClientFile("a.bin", PatternBytes(48 * 1024, 31));
  Publish("1.9.3", 0, 64 * 1024);
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = Fault::kTrickle,
                            .bytes_per_second = 64 * 1024});
  StartWorker();
  // The piece's answer is on its way (version file, manifest, then the piece: request 3).
  ASSERT_TRUE(server->WaitFor(3, 8 * 1024, 20s));
  context->Stop();
  ASSERT_TRUE(Eventually([this] { return context->Control().WorkerWaiting(); }));
  EXPECT_FALSE(context->busy());
  const std::size_t notes_when_held = NoteCount();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(NoteCount(), notes_when_held) << "a held worker sends nothing";
  EXPECT_TRUE(context->Control().WorkerWaiting());

  context->Start();
  worker.join();
  EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  EXPECT_EQ(AgentsFor("/krdn/repair/1.9.3/a.bin").size(), 1u) << "the same transfer went on";
  EXPECT_TRUE(QuestionsPut().empty());
}

TEST_F(EngineControl, StopWithFourPiecesInFlightRequestsNothingNewUntilStartAndNothingTwice) {
  constexpr std::size_t kPiece = 16 * 1024;
  AddClientFile("a.bin", PatternBytes(12 * kPiece, 38));
  Publish("1.9.3", 0, kPiece);
  // A second for each piece: four are on their way at once.
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = Fault::kTrickle,
                            .bytes_per_second = kPiece});
  settings.connections = 4;
  StartWorker();
  ASSERT_TRUE(server->WaitFor(2 + 4, 1, 20s)) << "version file, manifest, four pieces";
  context->Stop();
  ASSERT_TRUE(Eventually([this] { return context->Control().WorkerWaiting(); }));
  const std::size_t requested_when_held = server->requests().size();
  EXPECT_LE(requested_when_held, 2u + 4u + 1u) << "at most the four in flight and one the pass asked for";
  // The pieces in flight finish meanwhile; nothing new goes out while held.
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(server->requests().size(), requested_when_held);

  context->Start();
  worker.join();
  EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  ExpectInstallMatchesClient();
  std::set<std::string> ranges;
  for (const auto& request : server->requests()) {
    if (request.path != "/krdn/repair/1.9.3/a.bin") continue;
    EXPECT_TRUE(ranges.insert(request.range).second) << request.range << " was asked for twice";
  }
  EXPECT_EQ(ranges.size(), 12u);
  EXPECT_TRUE(QuestionsPut().empty());
}

// While the pass waits for a slow piece, the pieces after it go on over the other
// connections, up to the bounds of what may be held: at most four requests in flight,
// and 64 pieces held for small pieces; for large ones the pieces of four plus 16 MiB.
// (The run is ended then: the first piece would take two minutes.)
TEST_F(EngineControl, ASlowPieceDoesNotHoldBackTheOtherConnectionsBeyondTheBoundsOfWhatMayBeHeld) {
  struct Case {
    std::size_t piece;
    std::size_t pieces;
    std::size_t held;  // pieces held while the first one trickles
  };
  for (const Case c : {Case{16 * 1024, 80, PiecePipeline::kSmallPiecesHeld}, Case{8u << 20, 10, 6}}) {
    SCOPED_TRACE(c.piece);
    AddClientFile("a.bin", PatternBytes(c.pieces * c.piece, 39));
    Publish("1.9.3", 0, c.piece);
    fs::remove_all(install);
    fs::create_directories(install);
    server->ClearRules();
    server->ClearRequests();
    const std::string first = "bytes=0-" + std::to_string(c.piece - 1);
    server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .range = first, .fault = Fault::kTrickle,
                              .bytes_per_second = c.piece / 120});
    settings.connections = 4;
    const auto piece_requests = [this] {
      std::vector<fault::RequestRecord> pieces;
      for (const auto& request : server->requests()) {
        if (request.path == "/krdn/repair/1.9.3/a.bin") pieces.push_back(request);
      }
      return pieces;
    };
    StartWorker();
    EXPECT_TRUE(Eventually([&] { return piece_requests().size() >= c.held; }, 120s))
        << "only " << piece_requests().size();
    std::this_thread::sleep_for(300ms);
    const std::vector<fault::RequestRecord> requested = piece_requests();
    EXPECT_EQ(requested.size(), c.held) << "nothing beyond the bounds while the first piece is on its way";
    std::set<std::string> ranges;
    std::set<std::uint64_t> connections;
    for (const auto& request : requested) {
      EXPECT_TRUE(ranges.insert(request.range).second) << request.range << " was asked for twice";
      connections.insert(request.connection);
      if (request.range == first) {
        EXPECT_LT(request.body_bytes_sent, c.piece) << "the first piece is still on its way";
      }
    }
    EXPECT_TRUE(ranges.contains(first));
    EXPECT_LE(connections.size(), 4u);
    context->Control().Abandon();
    worker.join();
  }
}

TEST_F(EngineControl, StopAtAStopPointHoldsThereAndStartGoesOnWithTheSameRun) {
  AddClientFile("a.bin", PatternBytes(100, 32));
  AddClientFile("b.bin", PatternBytes(100, 33));
  Publish();
  InstallCopy();
  answer = [this](const Note& note) -> RetryAnswer {
    if (note.kind == Kind::kStatus && note.text == u"校验文件: \\a.bin......") context->Stop();
    return RetryAnswer::kGoOn;
  };
  StartWorker();
  // The first waiter may be a checker thread held before a read while the pass still
  // writes the trace of a.bin: the trace is read under its lock, and the pass is held
  // once that line is written and no other follows.
  const auto traced = [this] {
    std::lock_guard lock(mutex);
    return trace.size();
  };
  ASSERT_TRUE(Eventually([&] { return context->Control().WorkerWaiting() && traced() == 1; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(traced(), 1u);
  answer = nullptr;
  context->Start();
  worker.join();
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(trace.size(), 2u);
  const auto appended = Appended();
  EXPECT_EQ(std::count(appended.begin(), appended.end(), u"校验文件: \\a.bin......"), 1);
}

TEST_F(EngineControl, EndingAHeldRunUnwindsTheWorkerSilently) {
  AddClientFile("a.bin", PatternBytes(100, 34));
  Publish();
  answer = [this](const Note& note) -> RetryAnswer {
    if (note.kind == Kind::kStatus && note.text == u"开始校验本地文件...\r\n") context->Stop();
    return RetryAnswer::kGoOn;
  };
  StartWorker();
  ASSERT_TRUE(Eventually([this] { return context->Control().WorkerWaiting(); }));
  const std::size_t notes_when_held = NoteCount();
  context->Control().Abandon();  // Close while suspended
  worker.join();
  EXPECT_EQ(NoteCount(), notes_when_held);
  EXPECT_FALSE(Succeeded());
}

TEST_F(EngineControl, EndingTheRunWhileTheWorkerWaitsInsideANotification) {
  settings.connect_timeout = 200ms;
  server->AddRule(FaultRule{.path_prefix = "", .fault = Fault::kReset});
  AddClientFile("a.bin", PatternBytes(100, 35));
  Publish();
  std::atomic<bool> dialog_open{false};
  answer = [this, &dialog_open](const Note& note) -> RetryAnswer {
    if (note.kind != Kind::kQuestion || note.severity != kNetworkFailure) return RetryAnswer::kGoOn;
    // The network-failure dialog stays open until the window ends the run; the send
    // then returns at once, as the window's cross-thread send does for an abandoned run.
    dialog_open = true;
    std::mutex wait_mutex;
    std::condition_variable_any closed;
    std::unique_lock lock(wait_mutex);
    closed.wait(lock, context->Control().AbandonToken(), [] { return false; });
    return RetryAnswer::kEndRun;
  };
  StartWorker();
  ASSERT_TRUE(Eventually([&] { return dialog_open.load(); }));
  const std::size_t notes_in_dialog = NoteCount();
  context->Control().Abandon();
  worker.join();
  EXPECT_EQ(NoteCount(), notes_in_dialog) << "nothing is sent after the end";
  EXPECT_TRUE(context->busy()) << "the worker leaves the window's flags alone";
}

TEST_F(EngineControl, EndingTheRunAbortsAStalledTransferAtOnce) {
  settings.stall_timeout = 300s;
  AddClientFile("a.bin", PatternBytes(100, 36));
  Publish();
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/1.9.3_download", .fault = Fault::kStallBeforeHeaders});
  StartWorker();
  ASSERT_TRUE(server->WaitFor(2, 0, 20s));
  std::this_thread::sleep_for(50ms);
  const auto before = std::chrono::steady_clock::now();
  context->Control().Abandon();
  worker.join();
  // Far below the stall timeout: the abandonment, not the timeout, ended the transfer.
  EXPECT_LT(std::chrono::steady_clock::now() - before, 60s);
  EXPECT_TRUE(QuestionsPut().empty());
}

TEST_F(EngineControl, EndingTheRunWakesTheWorkerFromARetrySleep) {
  settings.second = 300s;
  AddClientFile("a.bin", PatternBytes(2000, 37));
  Publish();
  server->AddRule(FaultRule{.path_prefix = "/krdn/repair/1.9.3/a.bin", .fault = Fault::kShortBody});
  std::atomic<bool> slept{false};
  settings.on_sleep = [&](int) { slept = true; };
  StartWorker();
  ASSERT_TRUE(Eventually([&] { return slept.load(); }));
  context->Control().Abandon();
  worker.join();
  EXPECT_EQ(QuestionsOf(kUnstable), 1u);
  EXPECT_TRUE(NotesOf(Kind::kEnded).empty());
}

}  // namespace
}  // namespace krdn::testing
