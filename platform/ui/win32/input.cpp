// Capture, leave tracking, key states and the cursor: the platform's own.
#include "platform/ui/input.h"

namespace platform {

HWND SetCapture(HWND hwnd) { return ::SetCapture(hwnd); }
BOOL ReleaseCapture() { return ::ReleaseCapture(); }
HWND GetCapture() { return ::GetCapture(); }
// The record's size is filled in, as the Linux definition defaults it.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
  if (track) track->cbSize = sizeof(TRACKMOUSEEVENT);
  return ::TrackMouseEvent(track);
}
SHORT GetKeyState(int virtual_key) { return ::GetKeyState(virtual_key); }
SHORT GetAsyncKeyState(int virtual_key) { return ::GetAsyncKeyState(virtual_key); }
BOOL GetCursorPos(POINT* point) { return ::GetCursorPos(point); }
HCURSOR SetCursor(HCURSOR cursor) { return ::SetCursor(cursor); }
HCURSOR GetCursor() { return ::GetCursor(); }
UINT GetDoubleClickTime() { return ::GetDoubleClickTime(); }

}  // namespace platform
