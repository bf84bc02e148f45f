// The window's side of the run: the notification streams of tests/repair/notice_stream.h
// as the window gets them, the worker's run (WorkerRun) sending its messages to a
// window on this thread, which names them and answers the dialogs by the script; the
// network-failure dialog's "end the run" abandons the run as the main window does.
#include "app/worker_notifications.h"
#include "app/worker_run.h"
#include "platform/base/wide_text.h"
#include "platform/testing/test_input.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"
#include "tests/repair/notice_stream.h"

namespace krdn::testing {
namespace {

using namespace krdn::app;

constexpr char16_t kClassName[] = u"WorkerMessagesWindow";

class WindowStream : public StreamBench, public ::testing::WithParamInterface<StreamScenario> {
 protected:
  void SetUp() override {
    StreamBench::SetUp();
    ASSERT_TRUE(platform::InitWindowing());
    static const bool registered = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = &WindowStream::Proc;
      wc.lpszClassName = AsWideText(kClassName);
      return platform::RegisterClassExW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    window_ = platform::CreateWindowExW(0, kClassName, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    platform::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  void TearDown() override {
    run_.reset();
    if (window_ != nullptr) platform::DestroyWindow(window_);
    platform::test::DrainMessages();
  }

  static LRESULT Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<WindowStream*>(platform::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || message < kNotifyProgress || message > kNotifyExitProcess) {
      return platform::DefWindowProcW(hwnd, message, wparam, lparam);
    }
    self->Heard(message, wparam);
    return 0;
  }

  // Names what the window gets; the text of wParam is the worker's, valid during the send.
  void Heard(UINT message, WPARAM wparam) {
    const auto text = [wparam] { return std::u16string(reinterpret_cast<const char16_t*>(wparam)); };
    switch (message) {
      case kNotifyProgress: log_.Progress(static_cast<long>(wparam)); break;
      case kNotifyAppend: log_.Status(text()); break;
      case kNotifyTransient: log_.Transient(text()); break;
      case kNotifyRunEnded: log_.Ended(wparam == 0 ? std::nullopt : std::optional(text())); break;
      case kNotifySucceeded: log_.Succeeded(text()); break;
      case kNotifyUnstable:
      case kNotifyNetworkFailed:
        // The network-failure dialog closed with its close button: the window lets go.
        if (log_.Question(message == kNotifyUnstable, text())) run_->Abandon();
        break;
      default: ADD_FAILURE() << "message " << message; break;
    }
  }

  HWND window_ = nullptr;
  StreamLog log_{GetParam().end_at};
  std::atomic<bool> running_{true};
  std::atomic<bool> busy_{true};
  std::unique_ptr<app::WorkerRun> run_;
};

TEST_P(WindowStream, IsTheRecordedOne) {
  GetParam().arrange(*this);
  settings.on_sleep = [this](int seconds) { log_.Slept(seconds); };
  run_ = std::make_unique<app::WorkerRun>(window_, running_, busy_, platform::Utf8ToUtf16(install.string()), settings);
  run_->Start();
  ASSERT_TRUE(platform::test::PumpUntil([this] { return run_->Finished(); }, 120000));
  run_->Join();
  ExpectRecordedStream(GetParam().name, log_.lines());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, WindowStream, ::testing::ValuesIn(StreamScenarios()), ScenarioName);

}  // namespace
}  // namespace krdn::testing
