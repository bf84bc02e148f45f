// Drives the real program from a second thread of its own process: closures run on the
// UI thread through a message-only window (a cross-thread send, delivered in whatever
// loop the UI thread is in: the main loop, a dialog's, a message box's), clicks are
// injected input, and what the windows show is read back there.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "app/main_dlg.h"
#include "platform/ui/message_queue.h"

namespace krdn::app::e2e {

// The UI thread's end of the driver. Construct it on the UI thread before the program
// starts; Close() after the program has returned makes every later call fail at once.
class UiInvoker {
 public:
  UiInvoker();
  ~UiInvoker();
  UiInvoker(const UiInvoker&) = delete;
  UiInvoker& operator=(const UiInvoker&) = delete;

  // Runs fn on the UI thread and waits; false when the program has ended.
  bool Run(const std::function<void()>& fn);
  void Close() { closed_.Cancel(); }

 private:
  HWND window_ = nullptr;
  platform::SendCancellation closed_;
};

// What the driver reads of the windows in one go.
struct Snapshot {
  bool main_window = false;
  std::u16string status;
  int status_view_top = -1;  // the first line the status box shows
  bool status_last_line_on_view = false;
  std::u16string directory_text;
  std::u16string chosen_directory;
  int progress = -1;
  bool start_enabled = false, stop_enabled = false, search_enabled = false;
  bool running = false, busy = false, ended_by_user = false, holds_worker = false;
  int workers_started = 0, workers_alive = 0;
  std::u16string dialog;        // class of the dialog open over the main window, or empty
  HWND dialog_window = nullptr;  // its window (a new dialog always has a new one)
  bool message_box = false;     // a platform message box is open
  bool main_enabled = false;
};

// The driver's side: scripted steps with checks. A failed Require, or a wait that runs
// out, prints what was seen and ends the process with kFailedExitCode.
class Driver {
 public:
  static constexpr int kFailedExitCode = 90;

  explicit Driver(UiInvoker& ui) : ui_(ui) {}

  // Set on the UI thread when the main window is shown.
  void SetMainWindow(CMainDlg* main) { main_ = main; }
  // The main window; use it on the UI thread only (inside OnUi).
  CMainDlg* Main() const { return main_; }

  template <class Fn>
  auto OnUi(Fn&& fn) -> std::invoke_result_t<Fn> {
    using R = std::invoke_result_t<Fn>;
    if constexpr (std::is_void_v<R>) {
      if (!ui_.Run(fn)) Fail("the program ended before a step could run");
    } else {
      R value{};
      if (!ui_.Run([&] { value = fn(); })) Fail("the program ended before a step could run");
      return value;
    }
  }

  Snapshot Look();
  // Waits (checking every 20 ms) until pred holds for a snapshot.
  Snapshot WaitFor(const std::string& what, const std::function<bool(const Snapshot&)>& pred,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // Clicks the middle of a named element of the main window, or of the dialog open
  // over it. The element must be there.
  void ClickMain(std::u16string_view name);
  void ClickDialog(std::u16string_view name);
  // Raises a named element's command as a click would, whatever its state.
  void FireCommand(std::u16string_view name);
  // Writes what the main window, or the dialog open over it, shows now (its cache) to a
  // PNG file. False when there is no such window or it cannot be written.
  bool SaveMainPicture(const std::string& path);
  bool SaveDialogPicture(const std::string& path);
  // Answers the platform message box open now (IDYES, IDNO, IDOK).
  void AnswerMessageBox(int button_id);
  // The caption of the platform message box open now.
  std::u16string MessageBoxCaption();

  // The process's threads now; later, whether threads started since have all ended.
  void RecordThreads();
  bool HasRecordedThreads() const { return !baseline_threads_.empty(); }
  std::vector<std::string> ThreadsStartedSinceRecord() const;

  // Runs on the failing thread before a failed Require or wait ends the process, for
  // what would outlive it (servers of other processes).
  void SetBeforeFailedExit(std::function<void()> fn) { before_failed_exit_ = std::move(fn); }

  void Expect(bool condition, const std::string& what);
  [[noreturn]] void Fail(const std::string& what);
  bool Failed() const;
  // Prints the failed expectations; true when there were none.
  bool Report() const;

 private:
  void Click(HWND window, LOOM::SWindow* element, std::u16string_view name);

  UiInvoker& ui_;
  CMainDlg* main_ = nullptr;  // read on the UI thread only
  mutable std::mutex mutex_;
  std::vector<std::string> failures_;
  std::vector<std::string> baseline_threads_;
  std::function<void()> before_failed_exit_;
};

}  // namespace krdn::app::e2e
