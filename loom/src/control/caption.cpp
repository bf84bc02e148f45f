// The caption: moving, maximising and restoring its host window.
#include "core/caption.h"

#include "platform/ui/message_queue.h"
#include "platform/base/os_version.h"
#include "platform/ui/window.h"

namespace LOOM {

HWND SCaption::HostWindow() const { return Container() ? Container()->HostHandle() : nullptr; }

bool SCaption::HostMaximised() const {
  HWND hwnd = HostWindow();
  return hwnd && (static_cast<DWORD>(platform::GetWindowLongPtrW(hwnd, GWL_STYLE)) & WS_MAXIMIZE) != 0;
}

bool SCaption::DragsMaximisedWindow() const { return platform::IsWorkstationVersion6(); }

BOOL SCaption::HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      CaptionButtonDown(wp, lp);
      break;
    case WM_MOUSEMOVE:
      CaptionMouseMove(wp);
      break;
    case WM_LBUTTONUP:
      drag_pending_ = false;
      break;
    case WM_LBUTTONDBLCLK:
      CaptionDoubleClick();
      break;
    default:
      return SWindow::HandleElementMessage(msg, wp, lp, result);
  }
  result = 0;
  return TRUE;
}

void SCaption::CaptionButtonDown(WPARAM flags, LPARAM point) {
  if (IsFocusable() && Container()) Container()->FocusElement(Handle());
  HWND hwnd = HostWindow();
  if (!hwnd) return;
  if (HostMaximised()) {
    drag_pending_ = true;
    return;
  }
  platform::SendMessageW(hwnd, WM_SYSCOMMAND, kMoveByCaption, 0);
  // The move loop took the button's release for itself: the host hears of it now, so
  // that nothing stays pressed.
  if (platform::IsWindow(hwnd)) platform::SendMessageW(hwnd, WM_LBUTTONUP, flags, point);
}

void SCaption::CaptionMouseMove(WPARAM flags) {
  // The release may have happened outside the caption: a move without the button
  // held ends the pending drag.
  if (!(flags & MK_LBUTTON)) drag_pending_ = false;
  if (!drag_pending_ || !HostMaximised() || !DragsMaximisedWindow()) return;
  drag_pending_ = false;
  platform::SendMessageW(HostWindow(), WM_SYSCOMMAND, kMoveByCaption, 0);
}

void SCaption::CaptionDoubleClick() {
  HWND hwnd = HostWindow();
  if (!hwnd) return;
  auto style = static_cast<DWORD>(platform::GetWindowLongPtrW(hwnd, GWL_STYLE));
  if (!(style & WS_THICKFRAME) || !(style & WS_MAXIMIZEBOX)) return;
  platform::SendMessageW(hwnd, WM_SYSCOMMAND, (style & WS_MAXIMIZE) ? kRestoreByCaption : kMaximizeByCaption, 0);
}

}  // namespace LOOM
