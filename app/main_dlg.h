// CMainDlg: the program's main window and the owner of the repair run. Built from the
// layout "LAYOUT:XML_MAINWND", it lets the user choose the install directory, starts,
// holds and resumes the repair worker, and turns the worker's notifications
// (WM_USER+100..107) into progress, status text, the three dialogs, the start of the
// game launcher and the end of the process.
//
// The run as the window sees it:
//
//   state        entered by                      worker                    start / stop / search
//   Idle         initialisation, forced end      none                      on / on / on
//   Running      Start                           created or released       off / on / off
//   Suspended    Stop                            held where it stands      on / on / off
//   Ended        the worker's run ends itself    returned (reaped later)   unchanged
//   Finishing    WM_USER+107                     waiting in the send       success dialog open
//
// Stop never freezes the worker at an arbitrary instruction: it holds it at its next
// checkpoint (RunControl), so Start resumes the same run where it was. The forced end
// (network-failure dialog closed with its close button) and Close abandon the run: a
// waiting notification returns at once and the worker unwinds without touching the
// window; Close waits for it, the forced end reaps it later.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/edit_boxes.h"
#include "app/worker_run.h"
#include "core/host_wnd.h"
#include "repair/run_settings.h"

namespace LOOM {
class SImageButton;
class SProgress;
}  // namespace LOOM

namespace krdn::app {

// What the window needs of its surroundings.
struct MainWindowServices {
  RunSettings run_settings;                    // the hosts of every run
  std::function<void(int exit_code)> end_process;  // ends the process at once
};

class CMainDlg : public LOOM::SHostWnd {
 public:
  explicit CMainDlg(MainWindowServices services);
  ~CMainDlg() override;

  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;
  bool OnHostEvent(LOOM::EventArgs* args) override;

  // What tests and the screenshot tour read back.
  const std::u16string& ChosenDirectory() const { return chosen_directory_; }
  const std::u16string& InstallDirectory() const { return install_directory_; }
  bool IsRunning() const { return running_.load(); }
  bool IsBusy() const { return busy_.load(); }
  bool EndedByUser() const { return ended_by_user_; }
  // True while a worker that can still be resumed is held (a returned one is not).
  bool HoldsWorker() const { return worker_ != nullptr && !worker_->Finished(); }
  // Workers started so far, and those still alive (running, held or unwinding).
  int WorkersStarted() const { return workers_started_; }
  int WorkersAlive() const;
  StatusLog& Status() { return status_; }
  DirectoryBox& Directory() { return directory_; }
  LOOM::SProgress* ProgressBar() const { return progress_; }
  LOOM::SImageButton* StartButton() const { return start_; }
  LOOM::SImageButton* StopButton() const { return stop_; }
  LOOM::SImageButton* QuitButton() const { return quit_; }
  LOOM::SImageButton* SearchButton() const { return search_; }

 private:
  void OnInitDialog();
  void OnClose();
  void OnBrowse();
  void OnStart();
  void OnStop();
  // Starts a new worker or releases the held one; false when it cannot.
  bool StartOrResumeWorker();
  LRESULT OnWorkerNotification(UINT msg, WPARAM wp);
  void OnNetworkFailure();
  void OnSucceeded();
  // Ends the run from the network-failure dialog: the window returns to idle.
  void EndRunByUser();
  // Joins and drops workers whose procedure has returned.
  void ReapFinishedWorkers();
  void Enable(LOOM::SImageButton* button, bool enabled);
  void ShowError(const char16_t* text);

  MainWindowServices services_;
  std::u16string chosen_directory_;
  std::u16string install_directory_;
  DirectoryBox directory_;
  StatusLog status_;
  LOOM::SImageButton* start_ = nullptr;
  LOOM::SImageButton* stop_ = nullptr;
  LOOM::SImageButton* quit_ = nullptr;
  LOOM::SImageButton* search_ = nullptr;
  LOOM::SProgress* progress_ = nullptr;
  std::atomic<bool> running_{false};
  std::atomic<bool> busy_{false};
  bool ended_by_user_ = false;
  // The worker that Start created (held while it can be resumed), and runs that were
  // abandoned but whose threads may still be unwinding.
  std::unique_ptr<WorkerRun> worker_;
  std::vector<std::unique_ptr<WorkerRun>> abandoned_;
  int workers_started_ = 0;
};

}  // namespace krdn::app
