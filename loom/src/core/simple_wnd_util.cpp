// Window utilities of the binding: centring, style changes, and reflecting the
// notifications of native child windows back to them.
#include <algorithm>

#include "core/simple_wnd.h"
#include "platform/ui/monitor.h"

namespace LOOM {

namespace {

LONG Width(const RECT& rc) { return rc.right - rc.left; }
LONG Height(const RECT& rc) { return rc.bottom - rc.top; }

// Centres a span of `size` on the target span within the area span: the far edge stays
// inside the area, and the near edge wins when the span is larger than the area.
LONG CentredStart(LONG target_start, LONG target_end, LONG size, LONG area_start, LONG area_end) {
  LONG start = (target_start + target_end) / 2 - size / 2;
  if (start + size > area_end) start = area_end - size;
  return std::max(start, area_start);
}

RECT WorkAreaNearest(HWND hwnd) {
  MONITORINFO info{};
  HMONITOR monitor = platform::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
  if (!monitor || !platform::GetMonitorInfoW(monitor, &info)) return RECT{};
  return info.rcWork;
}

bool IsNotification(UINT msg) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
      return true;
    default:
      return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC;
  }
}

// The direct child window with a control id, or nullptr.
HWND ChildWithId(HWND parent, UINT id) {
  for (HWND child = platform::GetWindow(parent, GW_CHILD); child; child = platform::GetWindow(child, GW_HWNDNEXT))
    if (static_cast<UINT>(platform::GetWindowLongPtrW(child, GWLP_ID)) == id) return child;
  return nullptr;
}

// The native child a notification is about, or nullptr when it names none.
HWND NotifyingChild(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      return header ? header->hwndFrom : nullptr;
    }
    case WM_PARENTNOTIFY: {
      UINT event = LOWORD(wp);
      if (event == WM_CREATE || event == WM_DESTROY) return reinterpret_cast<HWND>(lp);
      return ChildWithId(hwnd, HIWORD(wp));
    }
    case WM_DRAWITEM:
      return wp ? reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->hwndItem : nullptr;
    case WM_MEASUREITEM:
      return wp ? ChildWithId(hwnd, reinterpret_cast<const MEASUREITEMSTRUCT*>(lp)->CtlID) : nullptr;
    case WM_COMPAREITEM:
      return wp ? reinterpret_cast<const COMPAREITEMSTRUCT*>(lp)->hwndItem : nullptr;
    case WM_DELETEITEM:
      return wp ? reinterpret_cast<const DELETEITEMSTRUCT*>(lp)->hwndItem : nullptr;
    default:
      // WM_COMMAND, WM_VKEYTOITEM, WM_CHARTOITEM, the scroll and WM_CTLCOLOR* messages.
      return reinterpret_cast<HWND>(lp);
  }
}

}  // namespace

bool CSimpleWnd::CenterWindow(HWND reference) {
  if (!IsWindow()) return false;
  const DWORD style = WindowStyle();
  const bool child = (style & WS_CHILD) != 0;
  if (!reference) {
    if (child) reference = platform::GetParent(hwnd_);
    else reference = platform::GetWindow(hwnd_, GW_OWNER);
    if (!reference && !child) reference = platform::GetActiveWindow();
  }

  const RECT window = WindowRect();
  RECT area{};
  RECT target{};
  if (!child) {
    const bool counts = reference && platform::IsWindowVisible(reference) && !platform::IsIconic(reference);
    area = WorkAreaNearest(counts ? reference : hwnd_);
    if (counts) platform::GetWindowRect(reference, &target);
    else target = area;
  } else {
    HWND parent = platform::GetParent(hwnd_);
    platform::GetClientRect(parent, &area);
    if (reference && platform::IsWindow(reference)) {
      platform::GetClientRect(reference, &target);
      platform::MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&target), 2);
    } else {
      target = area;
    }
  }
  const LONG left = CentredStart(target.left, target.right, Width(window), area.left, area.right);
  const LONG top = CentredStart(target.top, target.bottom, Height(window), area.top, area.bottom);
  return platform::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

namespace {

bool ModifyLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT swp_flags) {
  const DWORD old_style = static_cast<DWORD>(platform::GetWindowLongPtrW(hwnd, index));
  const DWORD new_style = (old_style & ~remove) | add;
  if (new_style == old_style) return false;
  platform::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(new_style));
  if (swp_flags != 0) {
    platform::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                           swp_flags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

}  // namespace

bool CSimpleWnd::ModifyStyle(DWORD remove, DWORD add, UINT swp_flags) {
  return IsWindow() && ModifyLong(hwnd_, GWL_STYLE, remove, add, swp_flags);
}

bool CSimpleWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swp_flags) {
  return IsWindow() && ModifyLong(hwnd_, GWL_EXSTYLE, remove, add, swp_flags);
}

BOOL CSimpleWnd::ReflectNotifications(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, bool ctlcolor_zero_unhandled) {
  if (!IsNotification(msg) || !hwnd_) return FALSE;
  HWND child = NotifyingChild(hwnd_, msg, wp, lp);
  if (!child || !platform::IsWindow(child)) return FALSE;
  result = platform::SendMessageW(child, OCM__BASE + msg, wp, lp);
  const bool ctlcolor = msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC;
  if (ctlcolor && ctlcolor_zero_unhandled && result == 0) return FALSE;
  return TRUE;
}

BOOL CSimpleWnd::DefaultReflectionHandler(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg < OCM__BASE || !IsNotification(msg - OCM__BASE)) return FALSE;
  result = platform::DefWindowProcW(hwnd, msg - OCM__BASE, wp, lp);
  return TRUE;
}

BOOL CSimpleWnd::ForwardNotifications(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (!IsNotification(msg) || !hwnd_) return FALSE;
  result = platform::SendMessageW(platform::GetParent(hwnd_), msg, wp, lp);
  return TRUE;
}

}  // namespace LOOM
