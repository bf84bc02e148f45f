#include "platform/ui/monitor.h"

#include <climits>

#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"

namespace platform {
namespace {

using detail::video::Display;

HMONITOR HandleOf(std::size_t index) { return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(index + 1)); }

long long DistanceSquared(const RECT& r, POINT p) {
  long long dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
  long long dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
  return dx * dx + dy * dy;
}

HMONITOR Fallback(const std::vector<Display>& displays, POINT toward, DWORD flags) {
  if (displays.empty() || flags == MONITOR_DEFAULTTONULL) return nullptr;
  if (flags == MONITOR_DEFAULTTOPRIMARY) return HandleOf(0);
  std::size_t best = 0;
  long long best_distance = LLONG_MAX;
  for (std::size_t i = 0; i < displays.size(); ++i) {
    long long distance = DistanceSquared(displays[i].bounds, toward);
    if (distance < best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  return HandleOf(best);
}

}  // namespace

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
  auto displays = detail::video::Displays();
  for (std::size_t i = 0; i < displays.size(); ++i) {
    if (detail::Contains(displays[i].bounds, point)) return HandleOf(i);
  }
  return Fallback(displays, point, flags);
}

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
  if (rect == nullptr) return nullptr;
  auto displays = detail::video::Displays();
  long long best_area = 0;
  HMONITOR best = nullptr;
  for (std::size_t i = 0; i < displays.size(); ++i) {
    RECT overlap = detail::Intersect(displays[i].bounds, *rect);
    long long area = static_cast<long long>(overlap.right - overlap.left) * (overlap.bottom - overlap.top);
    if (area > best_area) {
      best_area = area;
      best = HandleOf(i);
    }
  }
  if (best != nullptr) return best;
  POINT centre{(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2};
  return Fallback(displays, centre, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
  RECT rect{};
  if (!GetWindowRect(GetAncestor(hwnd, GA_ROOT) != nullptr ? GetAncestor(hwnd, GA_ROOT) : hwnd, &rect)) {
    return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorFromPoint(POINT{}, MONITOR_DEFAULTTOPRIMARY);
  }
  if (rect.right == rect.left || rect.bottom == rect.top) {
    return MonitorFromPoint(POINT{rect.left, rect.top}, flags);
  }
  return MonitorFromRect(&rect, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  if (info == nullptr || monitor == nullptr) return FALSE;
  auto index = reinterpret_cast<std::uintptr_t>(monitor) - 1;
  auto displays = detail::video::Displays();
  if (index >= displays.size()) return FALSE;
  info->rcMonitor = displays[index].bounds;
  info->rcWork = displays[index].work;
  info->dwFlags = index == 0 ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      MONITORINFO info;
      if (!GetMonitorInfoW(MonitorFromPoint(POINT{}, MONITOR_DEFAULTTOPRIMARY), &info)) return 0;
      return index == SM_CXSCREEN ? info.rcMonitor.right - info.rcMonitor.left
                                  : info.rcMonitor.bottom - info.rcMonitor.top;
    }
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    default: return 0;
  }
}

UINT GetDpiForSystem() { return 96; }

}  // namespace platform
