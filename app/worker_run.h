// One run of the repair worker as the main window holds it: the thread, and the run
// context the engine sees: its notifications translated into the window's messages
// (app/worker_notifications.h), each a cross-thread send that returns at once when the
// run is abandoned; the window's running and busy flags; the install directory; the
// cooperative control.
//
// Each run writes a new log in the user's log folder (repair/run_log.h); one that
// cannot be made is left out.
//
// Every Start that creates a worker makes a new WorkerRun, so a worker that is still
// unwinding after its run was abandoned never shares state with the next run.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/base/win_types.h"
#include "repair/run_context.h"
#include "repair/run_log.h"
#include "repair/run_settings.h"

namespace krdn::app {

class WorkerRun final : public RunContext {
 public:
  // The flags belong to the window and must outlive this object.
  WorkerRun(HWND window, const std::atomic<bool>& running, std::atomic<bool>& busy, std::u16string install_directory,
            RunSettings settings);
  // Abandons the run if it is still going and waits for the thread.
  ~WorkerRun() override;
  WorkerRun(const WorkerRun&) = delete;
  WorkerRun& operator=(const WorkerRun&) = delete;

  // Starts the thread; throws std::system_error when it cannot be created.
  void Start();
  // True once the worker's procedure has returned (the run ended by itself, or unwound
  // after being abandoned).
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // Ends the run for good (a waiting notification returns at once) without waiting.
  void Abandon() { control_.Abandon(); }
  void Join();

  // RunContext.
  void Progress(int percent) override;
  void AppendStatus(std::u16string_view text) override;
  void ShowTransient(std::u16string_view text) override;
  RetryAnswer AskRetry(RetrySeverity severity, std::u16string_view failure_text) override;
  void Ended(std::optional<std::u16string_view> final_text) override;
  void Succeeded(std::u16string_view last_status) override;
  bool IsRunning() const override { return running_.load(); }
  void ClearBusy() override;
  std::u16string InstallDirectory() const override { return install_directory_; }
  RunControl& Control() override { return control_; }

 private:
  void Main();
  void Send(UINT message, WPARAM wparam);
  // Sends the text from the worker's buffer, NUL-terminated as the window reads it.
  void SendText(UINT message, std::u16string_view text);

  HWND window_;
  const std::atomic<bool>& running_;
  std::atomic<bool>& busy_;
  const std::u16string install_directory_;
  const std::unique_ptr<RunLog> log_;  // before settings_, which points to it
  const RunSettings settings_;
  RunControl control_;
  std::u16string text_;  // the worker's text buffer: the text of the send under way
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace krdn::app
