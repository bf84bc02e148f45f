// The engine's notification streams (tests/repair/notice_stream.h), heard through the
// engine's own calls.
#include "tests/repair/notice_stream.h"

namespace krdn::testing {
namespace {

class EngineStream : public StreamBench, public ::testing::WithParamInterface<StreamScenario> {
 protected:
  // Names what the run sends and answers its questions by the script.
  RetryAnswer Heard(const Note& note) {
    switch (note.kind) {
      case Kind::kProgress: log.Progress(note.percent); break;
      case Kind::kStatus: log.Status(note.Text()); break;
      case Kind::kTransient: log.Transient(note.Text()); break;
      case Kind::kEnded: log.Ended(note.text); break;
      case Kind::kSucceeded: log.Succeeded(note.Text()); break;
      case Kind::kQuestion:
        return log.Question(note.severity == kUnstable, note.Text()) ? RetryAnswer::kEndRun : RetryAnswer::kGoOn;
    }
    return RetryAnswer::kGoOn;
  }

  StreamLog log{GetParam().end_at};
};

TEST_P(EngineStream, IsTheRecordedOne) {
  GetParam().arrange(*this);
  settings.on_sleep = [this](int seconds) { log.Slept(seconds); };
  context = std::make_unique<LocalRunContext>(platform::Utf8ToUtf16(install.string()),
                                              [this](const Note& note) { return Heard(note); });
  context->Start();
  RepairWorker(*context, settings);
  ExpectRecordedStream(GetParam().name, log.lines());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, EngineStream, ::testing::ValuesIn(StreamScenarios()), ScenarioName);

}  // namespace
}  // namespace krdn::testing
