#include "app/worker_run.h"

#include "platform/ui/message_queue.h"
#include "repair/repair_worker.h"

namespace krdn::app {

WorkerRun::WorkerRun(HWND window, const std::atomic<bool>& running, std::atomic<bool>& busy,
                     std::u16string install_directory, RunSettings settings)
    : window_(window),
      running_(running),
      busy_(busy),
      install_directory_(std::move(install_directory)),
      settings_(std::move(settings)) {}

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

LRESULT WorkerRun::Notify(UINT message, WPARAM wparam) {
  LRESULT result = 0;
  // An abandoned run's send returns at once (kCancelled); the engine then unwinds.
  platform::SendMessageCancellable(window_, message, wparam, 0, control_.AbandonToken(), &result);
  return result;
}

void WorkerRun::ClearBusy() {
  // A run the window has let go of leaves the flag to the window (it may already
  // belong to the next run).
  if (!control_.Abandoned()) busy_.store(false);
}

}  // namespace krdn::app
