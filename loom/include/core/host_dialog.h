// SHostDialog: a host window that runs modally with a message loop of its own and
// returns an end code (IDOK 1 ... IDHELP 9).
//
//   DlgRetry dlg;                       // passes its layout name to SHostDialog
//   int code = dlg.RunModal(main_hwnd);  // owner disabled, dialog centred over it
//
// The first EndDialog() wins; WM_CLOSE ends with IDCANCEL; Esc and Enter raise the
// command of the element with id 2 or 1 when the layout has one, and a command from an
// element with id 1 or 2 ends the dialog with that code. A quit message that arrives
// during the run ends the run with kNotEnded and is posted again for the enclosing loop.
#pragma once

#include "core/host_wnd.h"

namespace LOOM {

class SHostDialog : public SHostWnd {
  LOOM_CLASS_TAG(SHostDialog, SHostWnd, u"hostdlg", u"hostwnd", ObjectKind::Window)

 public:
  // The end code of a dialog that has not ended (hexadecimal CCCCCCCC).
  static constexpr int kNotEnded = static_cast<int>(0xCCCCCCCCu);

  explicit SHostDialog(std::u16string_view layout_name = {});
  ~SHostDialog() override;

  // Runs the dialog over `owner` (nullptr: the active window) and answers its end code;
  // 0 when its window cannot be created; kNotEnded when the application quit meanwhile.
  virtual int RunModal(HWND owner = nullptr);
  // Ends the run with `code`; only the first call has an effect.
  virtual void EndDialog(int code);
  void OnOK() { EndDialog(IDOK); }
  void OnCancel() { EndDialog(IDCANCEL); }
  int EndCode() const { return end_code_; }
  bool IsRunningModal() const { return running_modal_; }

  // The dialog's own loop.
  IMessageLoop* MessageLoop() override;
  // A command from an element with id 1 or 2 ends the dialog with that code.
  bool OnHostEvent(EventArgs* args) override;
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;

 private:
  void OnKeyDown(WPARAM wp, LPARAM lp);

  int end_code_ = kNotEnded;
  SAutoRefPtr<IMessageLoop> loop_;
  bool running_modal_ = false;
};

}  // namespace LOOM
