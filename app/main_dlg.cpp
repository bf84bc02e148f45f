#include "app/main_dlg.h"

#include <system_error>

#include "app/folder_dialog.h"
#include "app/install_paths.h"
#include "app/message_dialogs.h"
#include "app/worker_notifications.h"
#include "core/button.h"
#include "core/event_args.h"
#include "core/progress.h"
#include "platform/io/files.h"
#include "platform/hash/md5.h"
#include "platform/ui/message_box.h"
#include "platform/shell/process.h"

namespace krdn::app {
namespace {

constexpr char16_t kErrorCaption[] = u"错误";
constexpr char16_t kNoDirectory[] = u"请选择安装目录";
constexpr char16_t kCannotCreateDirectory[] = u"创建目录失败";
constexpr char16_t kCannotCreateWorker[] = u"无法创建工作线程";
constexpr char16_t kBrowseTitle[] = u"选择目录";
constexpr char16_t kGameNeedsWine[] = u"游戏需要 wine 才能运行，但本机没有安装 wine。\n请先安装 wine，再从桌面的 Velmora3 快捷方式进入游戏。";

}  // namespace

CMainDlg::CMainDlg(MainWindowServices services) : SHostWnd(u"LAYOUT:XML_MAINWND"), services_(std::move(services)) {}

CMainDlg::~CMainDlg() {
  // No worker may outlive the flags and the window it reports to.
  if (worker_) worker_->Abandon();
  worker_.reset();
  abandoned_.clear();
}

int CMainDlg::WorkersAlive() const {
  int alive = worker_ != nullptr && !worker_->Finished() ? 1 : 0;
  for (const auto& run : abandoned_) alive += run->Finished() ? 0 : 1;
  return alive;
}

BOOL CMainDlg::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) {
  if (map_id != 0) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: return RunHandler(result, [&] { OnInitDialog(); });
    case WM_CLOSE: return RunHandler(result, [&] { OnClose(); });
    default: break;
  }
  if (ChainMessageMap<SHostWnd>(hwnd, msg, wp, lp, result, map_id)) return TRUE;
  if (ReflectNotifications(msg, wp, lp, result, true)) return TRUE;
  if (msg >= kNotifyProgress && msg <= kNotifyAppendWaiting) {
    return RunHandler(result, [&] { return OnWorkerNotification(msg, wp); });
  }
  return FALSE;
}

bool CMainDlg::OnHostEvent(LOOM::EventArgs* args) {
  if (args == nullptr || args->EventId() != LOOM::EVT_CMD) return SHostWnd::OnHostEvent(args);
  const std::u16string& name = args->SenderName();
  if (name == u"btn_close" || name == u"btn_quit") OnClose();
  else if (name == u"btn_minimize") SendWindowMessage(WM_SYSCOMMAND, SC_MINIMIZE);
  else if (name == u"btn_search") OnBrowse();
  else if (name == u"btn_start") OnStart();
  else if (name == u"btn_stop") OnStop();
  else return SHostWnd::OnHostEvent(args);
  args->bubble_up = false;
  return true;
}

void CMainDlg::OnInitDialog() {
  directory_ = DirectoryBox(FindChildByName2(u"edit", u"dir"));
  start_ = FindChildByName2<LOOM::SImageButton>(u"btn_start");
  stop_ = FindChildByName2<LOOM::SImageButton>(u"btn_stop");
  quit_ = FindChildByName2<LOOM::SImageButton>(u"btn_quit");
  search_ = FindChildByName2<LOOM::SImageButton>(u"btn_search");
  status_ = StatusLog(FindChildByName2(u"edit", u"status"));
  progress_ = FindChildByName2<LOOM::SProgress>(u"progressbar");

  status_.MakeReadOnlyLog();
  if (progress_) progress_->SetProgressValue(0);
  busy_.store(false);
  chosen_directory_ = DefaultInstallDirectory();
  directory_.SetText(chosen_directory_);
}

void CMainDlg::OnClose() {
  if (worker_) {
    worker_->Abandon();
    worker_.reset();  // waits for the thread: it stops at its next checkpoint
  }
  abandoned_.clear();
  DestroyWindow();
}

void CMainDlg::OnBrowse() {
  std::u16string folder;
  if (!BrowseForFolder(NativeHandle(), kBrowseTitle, &folder)) return;
  chosen_directory_ = JoinPath(folder, u"KRDN");
  directory_.SetText(chosen_directory_);
}

void CMainDlg::OnStart() {
  if (chosen_directory_.empty()) {
    ShowError(kNoDirectory);
    return;
  }
  auto attributes = platform::GetFileAttributes(chosen_directory_);
  if (!(attributes && attributes->directory) && !platform::CreateDirectory(chosen_directory_)) {
    ShowError(kCannotCreateDirectory);
    return;
  }
  install_directory_ = chosen_directory_;
  if (!StartOrResumeWorker()) return;
  Enable(start_, false);
  Enable(stop_, true);
  Enable(search_, false);
}

bool CMainDlg::StartOrResumeWorker() {
  if (platform::BindMd5() != 0) return false;
  if (busy_.load()) return false;
  if (ended_by_user_) status_.Clear();
  running_.store(true);
  busy_.store(true);
  ReapFinishedWorkers();
  if (worker_) {
    worker_->Control().Release();
    return true;
  }
  try {
    auto run = std::make_unique<WorkerRun>(NativeHandle(), running_, busy_, install_directory_, services_.run_settings);
    run->Start();
    worker_ = std::move(run);
    ++workers_started_;
  } catch (const std::system_error&) {
    busy_.store(false);
    ShowError(kCannotCreateWorker);
    return false;
  }
  return true;
}

void CMainDlg::OnStop() {
  ReapFinishedWorkers();
  if (worker_) worker_->Control().Hold([this] { running_.store(false); });
  else running_.store(false);
  Enable(start_, true);
  busy_.store(false);
  Enable(stop_, true);
}

void CMainDlg::ReapFinishedWorkers() {
  if (worker_ && worker_->Finished()) worker_.reset();
  std::erase_if(abandoned_, [](const std::unique_ptr<WorkerRun>& run) { return run->Finished(); });
}

LRESULT CMainDlg::OnWorkerNotification(UINT msg, WPARAM wp) {
  if (msg == kNotifyAppend) {
    // A run verifying many small files appends lines faster than the box lays them out
    // one by one: the send returns at once, and the lines go in together when the
    // worker's sends pause (sent messages come before posted ones), or before anything
    // else the run tells.
    if (wp != 0 && status_.AppendLater(reinterpret_cast<const char16_t*>(wp))) PostWindowMessage(kNotifyAppendWaiting);
    return 0;
  }
  status_.AppendWaiting();
  switch (msg) {
    case kNotifyProgress:
      if (progress_) progress_->SetProgressValue(static_cast<int>(wp));
      break;
    case kNotifyUnstable: {
      DlgMsgBox1 dialog;
      dialog.RunModal(NativeHandle());
      break;
    }
    case kNotifyNetworkFailed: OnNetworkFailure(); break;
    case kNotifySucceeded: OnSucceeded(); break;
    case kNotifyExitProcess: services_.end_process(0); break;
    default: break;  // WM_USER+102..104 change nothing on screen; +109's lines are in
  }
  return 0;
}

void CMainDlg::OnNetworkFailure() {
  DlgMsgBox2 dialog;
  // Its close button (end code 7) ends the run; retry and the caption button go on.
  if (dialog.RunModal(NativeHandle()) == kEndNo) EndRunByUser();
}

void CMainDlg::EndRunByUser() {
  // The worker waits inside this very notification: abandoning the run makes its send
  // return, and it unwinds on its own; its thread is joined once it has returned.
  if (worker_) {
    worker_->Abandon();
    abandoned_.push_back(std::move(worker_));
  }
  busy_.store(false);
  ended_by_user_ = true;
  Enable(start_, true);
  Enable(search_, true);
  Enable(stop_, true);
  if (progress_) progress_->SetProgressValue(0);
  status_.Clear();
}

void CMainDlg::OnSucceeded() {
  DlgMsgBox3 dialog;
  if (dialog.RunModal(NativeHandle()) == kEndOk &&
      platform::StartProgram(LauncherPath(install_directory_)) == platform::StartResult::kNeedsWine) {
    // Otherwise the tool would just vanish and the game never appear.
    ShowError(kGameNeedsWine);
  }
  SendWindowMessage(kNotifyExitProcess);
}

void CMainDlg::Enable(LOOM::SImageButton* button, bool enabled) {
  if (button) button->EnableElement(enabled, true);
}

void CMainDlg::ShowError(const char16_t* text) {
  platform::MessageBoxW(NativeHandle(), text, kErrorCaption, MB_OK | MB_ICONERROR);
}

}  // namespace krdn::app
