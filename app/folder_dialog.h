// Choosing the folder to install into: the desktop's own picker (zenity or kdialog)
// when one is installed, else a small dialog of the toolkit's own with a path box,
// OK and Cancel.
#pragma once

#include <string>
#include <string_view>

#include "app/edit_boxes.h"
#include "core/host_dialog.h"

namespace krdn::app {

// True with the folder (an absolute path, no trailing separator) when the user chose
// one; false when the user cancelled.
bool BrowseForFolder(HWND owner, std::u16string_view title, std::u16string* folder);

// The toolkit's folder dialog ("LAYOUT:XML_FOLDER_WND"): OK ("btn_ok") accepts an
// absolute path typed into "path"; Cancel ("btn_cancel"), the caption's close button and
// closing the window end it without one.
class DlgFolder : public LOOM::SHostDialog {
  LOOM_CLASS_TAG(DlgFolder, LOOM::SHostDialog, u"DlgFolder", u"hostdlg", LOOM::ObjectKind::Window)

 public:
  explicit DlgFolder(std::u16string initial);
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;
  bool OnHostEvent(LOOM::EventArgs* args) override;
  // The accepted folder once the dialog ended with IDOK.
  const std::u16string& Folder() const { return folder_; }
  DirectoryBox& PathBox() { return path_; }

 private:
  void OnOk();

  std::u16string initial_;
  std::u16string folder_;
  DirectoryBox path_;
};

// An absolute folder path from what was typed: surrounding blanks and trailing
// separators removed; empty when it is not absolute.
std::u16string CleanFolderPath(std::u16string_view typed);

}  // namespace krdn::app
