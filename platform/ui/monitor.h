// Monitors, their work areas, and the screen's resolution.
#pragma once

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifndef _WIN32
inline constexpr DWORD MONITOR_DEFAULTTONULL = 0;
inline constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
inline constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
inline constexpr DWORD MONITORINFOF_PRIMARY = 1;

struct MONITORINFO {
  DWORD cbSize = sizeof(MONITORINFO);
  RECT rcMonitor{};
  RECT rcWork{};  // the monitor less the desktop's panels
  DWORD dwFlags = 0;
};

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXDOUBLECLK = 36;
inline constexpr int SM_CYDOUBLECLK = 37;
inline constexpr int SM_CXDRAG = 68;
inline constexpr int SM_CYDRAG = 69;
#endif

namespace platform {

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);
int GetSystemMetrics(int index);

// Logical dots per inch of the screen: 96, the platform's value at 100 percent
// scale, which is the scale every window of this system uses.
UINT GetDpiForSystem();

}  // namespace platform
