// The three modal dialogs of a repair run. Each is built from its own layout and turns
// its buttons' commands into an end code; the main window acts on the code.
//
//   DlgMsgBox1  unstable connection  "btn_close" 2, "btn_retry" 4
//   DlgMsgBox2  network failure      "btn_close" 7 (ends the run), "btn_cancel" 2, "btn_retry" 4
//   DlgMsgBox3  success              "btn_cancel" 2, "btn_startgame" 1
#pragma once

#include <span>
#include <string_view>
#include <utility>

#include "core/host_dialog.h"

namespace krdn::app {

// End codes of the platform's dialogs.
inline constexpr int kEndOk = 1;      // IDOK
inline constexpr int kEndCancel = 2;  // IDCANCEL
inline constexpr int kEndRetry = 4;   // IDRETRY
inline constexpr int kEndNo = 7;      // IDNO

// A dialog whose named buttons end it with fixed codes, matched in table order.
class ButtonCodeDialog : public LOOM::SHostDialog {
 public:
  using ButtonCode = std::pair<std::u16string_view, int>;
  // The table must outlive the dialog (each class keeps a static one).
  ButtonCodeDialog(std::u16string_view layout, std::span<const ButtonCode> codes);
  bool OnHostEvent(LOOM::EventArgs* args) override;

 private:
  std::span<const ButtonCode> codes_;
};

class DlgMsgBox1 : public ButtonCodeDialog {
  LOOM_CLASS_TAG(DlgMsgBox1, ButtonCodeDialog, u"DlgMsgBox1", u"hostdlg", LOOM::ObjectKind::Window)
 public:
  DlgMsgBox1();
};

class DlgMsgBox2 : public ButtonCodeDialog {
  LOOM_CLASS_TAG(DlgMsgBox2, ButtonCodeDialog, u"DlgMsgBox2", u"hostdlg", LOOM::ObjectKind::Window)
 public:
  DlgMsgBox2();
};

class DlgMsgBox3 : public ButtonCodeDialog {
  LOOM_CLASS_TAG(DlgMsgBox3, ButtonCodeDialog, u"DlgMsgBox3", u"hostdlg", LOOM::ObjectKind::Window)
 public:
  DlgMsgBox3();
};

}  // namespace krdn::app
