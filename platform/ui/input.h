// Mouse and keyboard state: capture, leave tracking, key states, the cursor.
//
// Mouse messages carry client coordinates and MK_* flags in wParam (WM_MOUSEWHEEL:
// screen coordinates, the delta in the high word); with CS_DBLCLKS a second press
// within the double-click time and distance becomes WM_xBUTTONDBLCLK. Key messages
// carry virtual-key codes; Alt turns them into WM_SYSKEYDOWN and WM_SYSKEYUP. Input
// goes to the capture window, else the window under the pointer (mouse) or the focus
// window (keys); a disabled target gets nothing. WM_SETCURSOR precedes every mouse
// message while nothing holds the capture.
#pragma once

#include "platform/base/icon.h"
#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifndef _WIN32
using SHORT = short;

struct TRACKMOUSEEVENT {
  DWORD cbSize = sizeof(TRACKMOUSEEVENT);
  DWORD dwFlags = 0;  // TME_LEAVE, TME_CANCEL
  HWND hwndTrack = nullptr;
  DWORD dwHoverTime = 0;
};
#endif

namespace platform {

// Capture: every mouse message goes to the window, wherever the pointer is. Taking
// or releasing it sends WM_CAPTURECHANGED to the window that loses it (lParam: the
// new capture window).
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// TME_LEAVE: one WM_MOUSELEAVE when the pointer leaves the window (TME_CANCEL: no
// longer). Hover tracking is not supported (answers FALSE).
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);

// Bit 15: down; bit 0: toggled. GetKeyState reflects the input retrieved so far by
// this thread; GetAsyncKeyState the latest input the layer has seen.
SHORT GetKeyState(int virtual_key);
SHORT GetAsyncKeyState(int virtual_key);

BOOL GetCursorPos(POINT* point);
// The cursor shown while the pointer is over this application's windows. A system
// cursor or an image cursor made with CreateIconFromPixels; nullptr hides it.
// Answers the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

UINT GetDoubleClickTime();

}  // namespace platform
