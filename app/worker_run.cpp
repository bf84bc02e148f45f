#include "app/worker_run.h"

#include "app/worker_notifications.h"
#include "platform/ui/message_queue.h"
#include "repair/repair_worker.h"

namespace krdn::app {
namespace {

RunSettings WithLog(RunSettings settings, RunLog* log) {
  settings.log = log;
  return settings;
}

}  // namespace

WorkerRun::WorkerRun(HWND window, const std::atomic<bool>& running, std::atomic<bool>& busy,
                     std::u16string install_directory, RunSettings settings)
    : window_(window),
      running_(running),
      busy_(busy),
      install_directory_(std::move(install_directory)),
      log_(OpenRunLog()),
      settings_(WithLog(std::move(settings), log_.get())) {}

WorkerRun::~WorkerRun() {
  if (!Finished()) Abandon();
  Join();
}

void WorkerRun::Start() { thread_ = std::thread(&WorkerRun::Main, this); }

void WorkerRun::Join() {
  if (thread_.joinable()) thread_.join();
}

void WorkerRun::Main() {
  RepairWorker(*this, settings_);
  finished_.store(true, std::memory_order_release);
}

void WorkerRun::Send(UINT message, WPARAM wparam) {
  // An abandoned run's send returns at once (kCancelled); the engine then unwinds. The
  // window answers every notification with 0.
  LRESULT ignored = 0;
  platform::SendMessageCancellable(window_, message, wparam, 0, control_.AbandonToken(), &ignored);
}

void WorkerRun::SendText(UINT message, std::u16string_view text) {
  text_.assign(text);
  Send(message, reinterpret_cast<WPARAM>(text_.c_str()));
}

void WorkerRun::Progress(int percent) { Send(kNotifyProgress, static_cast<WPARAM>(percent)); }

void WorkerRun::AppendStatus(std::u16string_view text) { SendText(kNotifyAppend, text); }

void WorkerRun::ShowTransient(std::u16string_view text) { SendText(kNotifyTransient, text); }

RetryAnswer WorkerRun::AskRetry(RetrySeverity severity, std::u16string_view failure_text) {
  SendText(severity == RetrySeverity::kUnstable ? kNotifyUnstable : kNotifyNetworkFailed, failure_text);
  // The network-failure dialog closed with its close button (end code 7) has the
  // window abandon the run inside this very send.
  return control_.Abandoned() ? RetryAnswer::kEndRun : RetryAnswer::kGoOn;
}

void WorkerRun::Ended(std::optional<std::u16string_view> final_text) {
  if (final_text) {
    SendText(kNotifyRunEnded, *final_text);
  } else {
    Send(kNotifyRunEnded, 0);
  }
}

void WorkerRun::Succeeded(std::u16string_view last_status) { SendText(kNotifySucceeded, last_status); }

void WorkerRun::ClearBusy() {
  // A run the window has let go of leaves the flag to the window (it may already
  // belong to the next run).
  if (!control_.Abandoned()) busy_.store(false);
}

}  // namespace krdn::app
