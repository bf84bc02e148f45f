// Windows: classes, creation and destruction, geometry, visibility, enabling, owner
// and parent, text, styles, per-window data, activation and keyboard focus.
//
// The functions keep the platform's names, argument orders and semantics (see
// platform/README.md for where the Linux build differs). Text is UTF-16. A window
// belongs to the thread that created it; its procedure runs only on that thread.
// Top-level windows on screen are created on the windowing thread (the first thread
// that creates one); other threads may create message-only windows (parent
// HWND_MESSAGE), which never appear on screen.
#pragma once

#include <string>

#include "platform/base/icon.h"
#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifndef _WIN32
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using ATOM = WORD;

struct WNDCLASSEXW {
  UINT cbSize = sizeof(WNDCLASSEXW);
  UINT style = 0;  // CS_DBLCLKS, CS_HREDRAW, CS_VREDRAW, CS_IME
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  void* hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;  // the cursor DefWindowProcW sets over the client area
  void* hbrBackground = nullptr;
  const char16_t* lpszMenuName = nullptr;
  const char16_t* lpszClassName = nullptr;
  HICON hIconSm = nullptr;
};

// Special handles, as on the platform.
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(std::intptr_t{1});
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(std::intptr_t{-1});
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(std::intptr_t{-2});
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(std::intptr_t{-3});

inline constexpr DWORD LWA_COLORKEY = 0x1;
inline constexpr DWORD LWA_ALPHA = 0x2;
#endif

namespace platform {

// Classes are looked up without regard to case. Registering a name twice fails (0).
ATOM RegisterClassExW(const WNDCLASSEXW* window_class);
BOOL UnregisterClassW(const char16_t* class_name, void* instance);
// Copies the class name of a window; returns the number of characters copied.
int GetClassNameW(HWND hwnd, char16_t* buffer, int max_count);

// Sends WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE (with CREATESTRUCTW in lParam), then
// WM_SIZE and WM_MOVE; WS_VISIBLE in the style shows (and activates) the window at the
// end. For a WS_CHILD window `parent` is the parent and `menu` its id; otherwise
// `parent` names the owner (its top-level window), or HWND_MESSAGE for a message-only
// window. Fails (nullptr) for an unknown class, a bad parent, WM_NCCREATE answering
// FALSE, WM_CREATE answering -1, or a top-level window off the windowing thread.
HWND CreateWindowExW(DWORD ex_style, const char16_t* class_name, const char16_t* window_name, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu, void* instance, void* param);
// Destroys owned windows first, hides the window (passing activation on), then sends
// WM_DESTROY to it and its children (parents first) and WM_NCDESTROY (children first).
// The handle stays valid until WM_NCDESTROY has returned; afterwards every message
// to it is dropped. Safe from inside the window's own handlers. Only the window's
// thread may destroy it.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// The desktop stands for the whole screen: visible, enabled, never destroyed.
HWND GetDesktopWindow();

BOOL ShowWindow(HWND hwnd, int show_command);  // answers whether it was visible before
BOOL IsWindowVisible(HWND hwnd);               // the window and all its ancestors
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// The window has no platform frame: its client area is the whole window.
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // 0, 0, width, height
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The topmost visible window under a screen point (the deepest child), or nullptr.
HWND WindowFromPoint(POINT point);

// Disabling sends WM_ENABLE, takes the keyboard focus away and cancels mouse capture
// inside the window. A disabled window (or a window inside one) gets no mouse or
// keyboard input. Answers whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// GWL_STYLE (sends WM_STYLECHANGING/WM_STYLECHANGED; the state bits WS_VISIBLE,
// WS_DISABLED, WS_MINIMIZE and WS_MAXIMIZE stay as ShowWindow and EnableWindow set
// them), GWL_EXSTYLE, GWLP_USERDATA, GWLP_WNDPROC, GWLP_ID, GWLP_HWNDPARENT (read only).
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);

HWND GetParent(HWND hwnd);  // the parent of a child window, else the owner
HWND GetWindow(HWND hwnd, UINT command);
HWND GetAncestor(HWND hwnd, UINT flags);
BOOL IsChild(HWND parent, HWND hwnd);

BOOL SetWindowTextW(HWND hwnd, const char16_t* text);  // sends WM_SETTEXT
int GetWindowTextW(HWND hwnd, char16_t* buffer, int max_count);
int GetWindowTextLengthW(HWND hwnd);
std::u16string GetWindowTextString(HWND hwnd);

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Activation (top-level windows) and keyboard focus, per thread as on the platform.
// Activating sends WM_NCACTIVATE and WM_ACTIVATE to the old and the new window and
// WM_ACTIVATEAPP when the application gains or loses activation; DefWindowProcW
// answers WM_ACTIVATE by giving the window the focus. A disabled window cannot be
// activated.
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);
// Sends WM_KILLFOCUS to the old and WM_SETFOCUS to the new focus window, activating
// its top-level window first. nullptr removes the focus.
HWND GetFocus();
HWND SetFocus(HWND hwnd);
// The last active enabled pop-up owned by `hwnd`, or `hwnd` itself.
HWND GetLastActivePopup(HWND hwnd);

// Constant opacity of a layered window (LWA_ALPHA); the colour key is not supported.
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);

DWORD GetCurrentThreadId();
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id);

}  // namespace platform
