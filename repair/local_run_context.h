// A run context for programs without a window (the console front-end, tests, the
// benchmarks): the flags are atomics, and every notification goes, as a Notice, to a
// handler that runs on the worker thread. The handler's answer counts for questions.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "repair/notice.h"
#include "repair/run_context.h"

namespace krdn {

class LocalRunContext final : public RunContext {
 public:
  using Handler = std::function<RetryAnswer(const Notice& notice)>;

  LocalRunContext(std::u16string install_directory, Handler handler);

  void Progress(int percent) override;
  void AppendStatus(std::u16string_view text) override;
  void ShowTransient(std::u16string_view text) override;
  RetryAnswer AskRetry(RetrySeverity severity, std::u16string_view failure_text) override;
  void Ended(std::optional<std::u16string_view> final_text) override;
  void Succeeded(std::u16string_view last_status) override;

  bool IsRunning() const override { return running_.load(); }
  void ClearBusy() override { busy_.store(false); }
  std::u16string InstallDirectory() const override { return install_directory_; }
  RunControl& Control() override { return control_; }
  void OnDownloadBytes(std::uint64_t received, std::uint64_t total) override {
    if (bytes_handler_) bytes_handler_(received, total);
  }

  // Receives the download pass's byte counts (on the worker thread); set it before the run.
  void SetBytesHandler(std::function<void(std::uint64_t received, std::uint64_t total)> handler) {
    bytes_handler_ = std::move(handler);
  }

  // The window's side: Start sets both flags and releases a hold; Stop holds the worker
  // and clears the running flag in one step, then clears the busy flag.
  void Start();
  void Stop();
  bool busy() const { return busy_.load(); }

 private:
  RetryAnswer Tell(Notice notice) { return handler_(notice); }

  std::u16string install_directory_;
  Handler handler_;
  std::function<void(std::uint64_t, std::uint64_t)> bytes_handler_;
  std::atomic<bool> running_{false};
  std::atomic<bool> busy_{false};
  RunControl control_;
};

}  // namespace krdn
