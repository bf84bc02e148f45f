#include "app/message_dialogs.h"

#include "core/event_args.h"

namespace krdn::app {

namespace {

using ButtonCode = ButtonCodeDialog::ButtonCode;
constexpr ButtonCode kUnstableCodes[] = {{u"btn_close", kEndCancel}, {u"btn_retry", kEndRetry}};
constexpr ButtonCode kNetworkFailureCodes[] = {{u"btn_close", kEndNo}, {u"btn_cancel", kEndCancel}, {u"btn_retry", kEndRetry}};
constexpr ButtonCode kSuccessCodes[] = {{u"btn_cancel", kEndCancel}, {u"btn_startgame", kEndOk}};

}  // namespace

ButtonCodeDialog::ButtonCodeDialog(std::u16string_view layout, std::span<const ButtonCode> codes)
    : SHostDialog(layout), codes_(codes) {}

bool ButtonCodeDialog::OnHostEvent(LOOM::EventArgs* args) {
  if (args != nullptr && args->EventId() == LOOM::EVT_CMD) {
    for (const auto& [name, code] : codes_) {
      if (args->SenderName() != name) continue;
      EndDialog(code);
      args->bubble_up = false;
      return true;
    }
  }
  return SHostDialog::OnHostEvent(args);
}

DlgMsgBox1::DlgMsgBox1() : ButtonCodeDialog(u"LAYOUT:XML_MSGBOX_WND", kUnstableCodes) {}
DlgMsgBox2::DlgMsgBox2() : ButtonCodeDialog(u"LAYOUT:XML_MSGBOX1_WND", kNetworkFailureCodes) {}
DlgMsgBox3::DlgMsgBox3() : ButtonCodeDialog(u"LAYOUT:XML_MSGBOX2_WND", kSuccessCodes) {}

}  // namespace krdn::app
