// The engine's notification streams (tests/repair/notice_stream.h), heard through the
// engine's own calls.
#include "tests/repair/notice_stream.h"

namespace krdn::testing {
namespace {

class EngineStream : public StreamBench, public ::testing::WithParamInterface<StreamScenario> {
 protected:
  // Names what the run sends and answers its questions by the script.
  LRESULT Heard(UINT message, WPARAM wparam) {
    const auto text = [wparam] { return NotificationText(wparam); };
    switch (message) {
      case kNotifyProgress: log.Progress(static_cast<long>(wparam)); return 0;
      case kNotifyAppend: log.Status(text()); return 0;
      case kNotifyTransient: log.Transient(text()); return 0;
      case kNotifyRunEnded: log.Ended(wparam == 0 ? std::nullopt : std::optional(text())); return 0;
      case kNotifySucceeded: log.Succeeded(text()); return 0;
      case kNotifyUnstable:
      case kNotifyNetworkFailed:
        if (!log.Question(message == kNotifyUnstable, text())) return 4;
        context->Control().Abandon();
        return kDialogEndRun;
      default: ADD_FAILURE() << "message " << message; return 0;
    }
  }

  StreamLog log{GetParam().end_at};
};

TEST_P(EngineStream, IsTheRecordedOne) {
  GetParam().arrange(*this);
  settings.on_sleep = [this](int seconds) { log.Slept(seconds); };
  context = std::make_unique<LocalRunContext>(platform::Utf8ToUtf16(install.string()),
                                              [this](UINT message, WPARAM wparam) { return Heard(message, wparam); });
  context->Start();
  RepairWorker(*context, settings);
  ExpectRecordedStream(GetParam().name, log.lines());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, EngineStream, ::testing::ValuesIn(StreamScenarios()), ScenarioName);

}  // namespace
}  // namespace krdn::testing
