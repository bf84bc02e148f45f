// A run context for programs without a window (the console front-end, tests): the
// flags are atomics, and notifications go to a handler that runs on the worker thread.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "repair/run_context.h"

namespace krdn {

class LocalRunContext final : public RunContext {
 public:
  using Handler = std::function<LRESULT(UINT message, WPARAM wparam)>;

  LocalRunContext(std::u16string install_directory, Handler handler);

  LRESULT Notify(UINT message, WPARAM wparam) override { return handler_(message, wparam); }
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
  std::u16string install_directory_;
  Handler handler_;
  std::function<void(std::uint64_t, std::uint64_t)> bytes_handler_;
  std::atomic<bool> running_{false};
  std::atomic<bool> busy_{false};
  RunControl control_;
};

// The text a notification's wParam points to.
inline std::u16string NotificationText(WPARAM wparam) {
  return wparam == 0 ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(wparam));
}

}  // namespace krdn
