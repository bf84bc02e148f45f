#include "core/host_dialog.h"

#include "core/application.h"
#include "core/event_args.h"
#include "platform/ui/message_queue.h"

namespace LOOM {

namespace {

constexpr UINT kHideInPlace = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER;

}  // namespace

SHostDialog::SHostDialog(std::u16string_view layout_name) : SHostWnd(layout_name) {
  SApplication* app = SApplication::Instance();
  if (app && app->MsgLoopFactory())
    loop_ = SAutoRefPtr<IMessageLoop>::Adopt(app->MsgLoopFactory()->CreateMsgLoop());
}

SHostDialog::~SHostDialog() {
  // While this object is whole: the tooltip leaves the dialog's own loop.
  if (CSimpleWnd::IsWindow()) DestroyWindow();
  SApplication* app = SApplication::Instance();
  if (app && app->MsgLoopFactory() && loop_) app->MsgLoopFactory()->DestroyMsgLoop(loop_.detach());
}

IMessageLoop* SHostDialog::MessageLoop() { return loop_.get(); }

int SHostDialog::RunModal(HWND owner) {
  if (!owner) owner = platform::GetActiveWindow();
  bool owner_disabled_here = false;
  if (owner && owner != platform::GetDesktopWindow() && platform::IsWindowEnabled(owner)) {
    platform::EnableWindow(owner, FALSE);
    owner_disabled_here = true;
  }
  auto enable_owner = [&] {
    if (owner_disabled_here) platform::EnableWindow(owner, TRUE);
  };

  HWND hwnd = Create(owner, WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, 0);
  if (!hwnd || !loop_) {
    if (hwnd) DestroyWindow();
    enable_owner();
    return 0;
  }
  SendWindowMessage(WM_INITDIALOG, reinterpret_cast<WPARAM>(hwnd), 0);

  if (end_code_ == kNotEnded && CSimpleWnd::IsWindow()) {
    HWND previous_active = platform::SetActiveWindow(hwnd);
    ShowWindow((WindowExStyle() & WS_EX_TOOLWINDOW) ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
    running_modal_ = true;
    int exit_code = loop_->Run();
    running_modal_ = false;
    // The loop ended through the quit message: the enclosing loop must end too.
    if (end_code_ == kNotEnded) platform::PostQuitMessage(exit_code);
    if (CSimpleWnd::IsWindow()) platform::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, kHideInPlace);
    enable_owner();
    if (previous_active && platform::IsWindow(previous_active)) platform::SetActiveWindow(previous_active);
  } else {
    enable_owner();
  }
  if (CSimpleWnd::IsWindow()) DestroyWindow();
  return end_code_;
}

void SHostDialog::EndDialog(int code) {
  if (end_code_ != kNotEnded) return;
  end_code_ = code;
  if (loop_) loop_->Quit();
  if (CSimpleWnd::IsWindow()) {
    platform::SetWindowPos(NativeHandle(), nullptr, 0, 0, 0, 0, kHideInPlace);
    PostWindowMessage(WM_NULL);
  } else {
    // No window to wake the loop through: a thread message does it.
    platform::PostMessageW(nullptr, WM_NULL, 0, 0);
  }
}

bool SHostDialog::OnHostEvent(EventArgs* args) {
  if (!args || args->EventId() != EVT_CMD) return false;
  if (args->SenderId() == IDOK || args->SenderId() == IDCANCEL) {
    EndDialog(args->SenderId());
    args->bubble_up = false;
    return true;
  }
  return false;
}

void SHostDialog::OnKeyDown(WPARAM wp, LPARAM lp) {
  OnKeyMessage(WM_KEYDOWN, wp, lp);
  SetWindowMsgHandled(true);  // handled in every case
  if (SwndContainerImpl::IsMsgHandled() || !CSimpleWnd::IsWindow()) return;
  int id = wp == VK_ESCAPE ? IDCANCEL : wp == VK_RETURN ? IDOK : 0;
  if (id == 0) return;
  if (SWindow* element = ChildWithId(id, -1)) element->FireCommand();
}

BOOL SHostDialog::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) {
  if (map_id != 0) return FALSE;
  switch (msg) {
    case WM_CLOSE: return RunHandler(result, [&] { OnCancel(); });
    case WM_KEYDOWN: return RunHandler(result, [&] { OnKeyDown(wp, lp); });
    case WM_DESTROY:
      // Destroyed under a running dialog (its owner went): the run ends as a close would.
      if (running_modal_ && end_code_ == kNotEnded) EndDialog(IDCANCEL);
      break;
    default: break;
  }
  if (ChainMessageMap<SHostWnd>(hwnd, msg, wp, lp, result, map_id)) return TRUE;
  return ReflectNotifications(msg, wp, lp, result, true);
}

}  // namespace LOOM
