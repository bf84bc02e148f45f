// Windows, classes, geometry, state, text, styles, activation and focus: the
// platform's own calls. The layer's text is UTF-16 in char16_t; the platform takes
// the same code units as wchar_t.
#include "platform/ui/window.h"

#include <algorithm>

#include "platform/base/wide_text.h"
#include "platform/ui/win32/send_relay.h"

namespace platform {

// The class record's size is filled in, as the Linux definition defaults it.
ATOM RegisterClassExW(const WNDCLASSEXW* window_class) {
  if (!window_class) return 0;
  WNDCLASSEXW sized = *window_class;
  sized.cbSize = sizeof(WNDCLASSEXW);
  return ::RegisterClassExW(&sized);
}

BOOL UnregisterClassW(const char16_t* class_name, void* instance) {
  return ::UnregisterClassW(AsWideText(class_name), static_cast<HINSTANCE>(instance));
}

int GetClassNameW(HWND hwnd, char16_t* buffer, int max_count) {
  return ::GetClassNameW(hwnd, AsWideText(buffer), max_count);
}

HWND CreateWindowExW(DWORD ex_style, const char16_t* class_name, const char16_t* window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* menu, void* instance, void* param) {
  // A thread that has windows can be sent to; the relay of cancellable sends to it
  // exists before its first window does.
  win32::EnsureSendRelay();
  return ::CreateWindowExW(ex_style, AsWideText(class_name), AsWideText(window_name), style, x, y, width, height,
                           parent, static_cast<HMENU>(menu), static_cast<HINSTANCE>(instance), param);
}

BOOL DestroyWindow(HWND hwnd) { return ::DestroyWindow(hwnd); }
BOOL IsWindow(HWND hwnd) { return ::IsWindow(hwnd); }
HWND GetDesktopWindow() { return ::GetDesktopWindow(); }

BOOL ShowWindow(HWND hwnd, int show_command) { return ::ShowWindow(hwnd, show_command); }
BOOL IsWindowVisible(HWND hwnd) { return ::IsWindowVisible(hwnd); }
BOOL IsIconic(HWND hwnd) { return ::IsIconic(hwnd); }
BOOL IsZoomed(HWND hwnd) { return ::IsZoomed(hwnd); }

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  return ::SetWindowPos(hwnd, insert_after, x, y, cx, cy, flags);
}
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return ::MoveWindow(hwnd, x, y, width, height, repaint);
}
BOOL GetWindowRect(HWND hwnd, RECT* rect) { return ::GetWindowRect(hwnd, rect); }
BOOL GetClientRect(HWND hwnd, RECT* rect) { return ::GetClientRect(hwnd, rect); }
BOOL ClientToScreen(HWND hwnd, POINT* point) { return ::ClientToScreen(hwnd, point); }
BOOL ScreenToClient(HWND hwnd, POINT* point) { return ::ScreenToClient(hwnd, point); }
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  return ::MapWindowPoints(from, to, points, count);
}
HWND WindowFromPoint(POINT point) { return ::WindowFromPoint(point); }

BOOL EnableWindow(HWND hwnd, BOOL enable) { return ::EnableWindow(hwnd, enable); }
BOOL IsWindowEnabled(HWND hwnd) { return ::IsWindowEnabled(hwnd); }

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) { return ::GetWindowLongPtrW(hwnd, index); }
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) { return ::SetWindowLongPtrW(hwnd, index, value); }

HWND GetParent(HWND hwnd) { return ::GetParent(hwnd); }
HWND GetWindow(HWND hwnd, UINT command) { return ::GetWindow(hwnd, command); }
HWND GetAncestor(HWND hwnd, UINT flags) { return ::GetAncestor(hwnd, flags); }
BOOL IsChild(HWND parent, HWND hwnd) { return ::IsChild(parent, hwnd); }

BOOL SetWindowTextW(HWND hwnd, const char16_t* text) { return ::SetWindowTextW(hwnd, AsWideText(text)); }
int GetWindowTextW(HWND hwnd, char16_t* buffer, int max_count) {
  return ::GetWindowTextW(hwnd, AsWideText(buffer), max_count);
}
int GetWindowTextLengthW(HWND hwnd) { return ::GetWindowTextLengthW(hwnd); }
std::u16string GetWindowTextString(HWND hwnd) {
  std::u16string text(static_cast<std::size_t>(std::max(0, ::GetWindowTextLengthW(hwnd))) + 1, u'\0');
  const int copied = ::GetWindowTextW(hwnd, AsWideText(text.data()), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(0, copied)));
  return text;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::CallWindowProcW(proc, hwnd, message, wparam, lparam);
}

HWND GetActiveWindow() { return ::GetActiveWindow(); }
HWND SetActiveWindow(HWND hwnd) { return ::SetActiveWindow(hwnd); }
HWND GetForegroundWindow() { return ::GetForegroundWindow(); }
BOOL SetForegroundWindow(HWND hwnd) { return ::SetForegroundWindow(hwnd); }
HWND GetFocus() { return ::GetFocus(); }
HWND SetFocus(HWND hwnd) { return ::SetFocus(hwnd); }
HWND GetLastActivePopup(HWND hwnd) { return ::GetLastActivePopup(hwnd); }

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
  return ::SetLayeredWindowAttributes(hwnd, key, alpha, flags);
}

DWORD GetCurrentThreadId() { return ::GetCurrentThreadId(); }
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id) {
  return ::GetWindowThreadProcessId(hwnd, process_id);
}

}  // namespace platform
