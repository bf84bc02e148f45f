#include "app/folder_dialog.h"

#include "app/message_dialogs.h"
#include "core/event_args.h"
#include "platform/shell/folder_picker.h"
#include "platform/shell/process.h"

namespace krdn::app {

std::u16string CleanFolderPath(std::u16string_view typed) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!typed.empty() && blank(typed.front())) typed.remove_prefix(1);
  while (!typed.empty() && blank(typed.back())) typed.remove_suffix(1);
  if (typed.empty() || typed.front() != u'/') return {};
  while (typed.size() > 1 && typed.back() == u'/') typed.remove_suffix(1);
  return std::u16string(typed);
}

bool BrowseForFolder(HWND owner, std::u16string_view title, std::u16string* folder) {
  platform::FolderPick pick = platform::BrowseForFolder(owner, title);
  if (pick.outcome == platform::FolderPick::Outcome::kChosen) {
    *folder = pick.path;
    return true;
  }
  if (pick.outcome == platform::FolderPick::Outcome::kCancelled) return false;
  DlgFolder dialog(platform::HomeDirectory());
  if (dialog.RunModal(owner) != kEndOk) return false;
  *folder = dialog.Folder();
  return true;
}

DlgFolder::DlgFolder(std::u16string initial) : SHostDialog(u"LAYOUT:XML_FOLDER_WND"), initial_(std::move(initial)) {}

BOOL DlgFolder::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) {
  if (map_id == 0 && msg == WM_INITDIALOG) {
    path_ = DirectoryBox(FindChildByName2(u"edit", u"path"));
    path_.SetText(initial_);
  }
  return SHostDialog::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
}

bool DlgFolder::OnHostEvent(LOOM::EventArgs* args) {
  if (args != nullptr && args->EventId() == LOOM::EVT_CMD) {
    if (args->SenderName() == u"btn_ok") OnOk();
    else if (args->SenderName() == u"btn_cancel" || args->SenderName() == u"btn_close") EndDialog(kEndCancel);
    else return SHostDialog::OnHostEvent(args);
    args->bubble_up = false;
    return true;
  }
  return SHostDialog::OnHostEvent(args);
}

void DlgFolder::OnOk() {
  // A path that is not absolute is not accepted: the dialog stays for a correction.
  std::u16string folder = CleanFolderPath(path_.Text());
  if (folder.empty()) return;
  folder_ = std::move(folder);
  EndDialog(kEndOk);
}

}  // namespace krdn::app
