// Monitors and the screen's resolution: the platform's own.
#include "platform/ui/monitor.h"

namespace platform {

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) { return ::MonitorFromWindow(hwnd, flags); }
HMONITOR MonitorFromPoint(POINT point, DWORD flags) { return ::MonitorFromPoint(point, flags); }
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) { return ::MonitorFromRect(rect, flags); }
// The layer's records come with their size filled in (the Linux definitions default
// it); the platform's start zeroed, so the size is set here for every caller.
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  if (info) info->cbSize = sizeof(MONITORINFO);
  return ::GetMonitorInfoW(monitor, info);
}
int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

// The program declares no resolution awareness, so the platform shows it at 96 dots
// per inch, scaled when the desktop is set higher; this is what it reports.
UINT GetDpiForSystem() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

}  // namespace platform
