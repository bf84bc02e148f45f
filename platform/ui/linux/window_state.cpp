// Showing, hiding, placing, minimising, maximising and enabling windows.
#include <algorithm>

#include "platform/ui/monitor.h"
#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {

namespace {

struct Snapshot {
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect{};
  bool child = false;
  HWND parent = nullptr;
  SDL_Window* sdl = nullptr;
};

std::optional<Snapshot> Snap(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return std::nullopt;
  return Snapshot{window->style, window->ex_style, window->rect, (window->style & WS_CHILD) != 0, window->parent,
                  window->sdl};
}

void SetStyleBits(HWND hwnd, DWORD add, DWORD remove) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  if (Window* window = registry.Find(hwnd)) window->style = (window->style & ~remove) | add;
}

void InvalidateParentArea(HWND parent, const RECT& area) {
  if (parent != nullptr) InvalidateRect(parent, &area, FALSE);
}

bool CanActivate(HWND hwnd) {
  auto snap = Snap(hwnd);
  return snap && !snap->child && (snap->ex_style & WS_EX_NOACTIVATE) == 0 && (snap->style & WS_DISABLED) == 0;
}

void SetVisible(HWND hwnd, bool visible, bool send_message) {
  auto snap = Snap(hwnd);
  if (!snap || ((snap->style & WS_VISIBLE) != 0) == visible) return;
  if (send_message) CallWindow(hwnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
  SetStyleBits(hwnd, visible ? WS_VISIBLE : 0, visible ? 0 : WS_VISIBLE);
  if (snap->sdl != nullptr) {
    if (visible) video::ApplyNativeRoles(snap->sdl, RolesOf(hwnd), false);
    video::ShowNative(snap->sdl, visible);
    if (visible) {
      auto& registry = Registry::Get();
      std::shared_ptr<Window> window;
      {
        std::lock_guard lock(registry.mutex);
        window = registry.FindShared(hwnd);
      }
      if (window) PresentRect(*window, RECT{0, 0, window->store_width, window->store_height});
    }
  }
  if (visible) {
    InvalidateRect(hwnd, nullptr, TRUE);
  } else if (snap->child) {
    InvalidateParentArea(snap->parent, snap->rect);
  } else {
    ThreadState& self = CurrentThread();
    if (self.active == hwnd) ActivateWindow(NextActiveCandidate(hwnd), WA_ACTIVE, true);
  }
}

void SendSize(HWND hwnd, WPARAM kind) {
  RECT client{};
  GetClientRect(hwnd, &client);
  if (kind == SIZE_MINIMIZED) client = RECT{};
  CallWindow(hwnd, WM_SIZE, kind, MAKELONG(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
}

void Minimize(HWND hwnd) {
  auto snap = Snap(hwnd);
  if (!snap || (snap->style & WS_MINIMIZE) != 0) return;
  SetStyleBits(hwnd, WS_MINIMIZE, 0);
  if (snap->sdl != nullptr) video::MinimizeNative(snap->sdl);
  SendSize(hwnd, SIZE_MINIMIZED);
  ThreadState& self = CurrentThread();
  if (self.active == hwnd) ActivateWindow(NextActiveCandidate(hwnd), WA_ACTIVE, true);
}

void Maximize(HWND hwnd) {
  auto snap = Snap(hwnd);
  if (!snap || (snap->style & WS_MAXIMIZE) != 0) return;
  if ((snap->style & WS_MINIMIZE) != 0) {
    SetStyleBits(hwnd, 0, WS_MINIMIZE);
    if (snap->sdl != nullptr) video::RestoreNative(snap->sdl);
  }
  MONITORINFO monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  const RECT& whole = monitor.rcMonitor;
  MINMAXINFO limits{};
  limits.ptMaxSize = {work.right - work.left, work.bottom - work.top};
  limits.ptMaxPosition = {work.left - whole.left, work.top - whole.top};
  limits.ptMaxTrackSize = limits.ptMaxSize;
  CallWindow(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    if (Window* window = registry.Find(hwnd)) window->restore_rect = window->rect;
  }
  SetStyleBits(hwnd, WS_MAXIMIZE, 0);
  SetWindowPos(hwnd, nullptr, whole.left + limits.ptMaxPosition.x, whole.top + limits.ptMaxPosition.y,
               limits.ptMaxSize.x, limits.ptMaxSize.y, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Restore(HWND hwnd) {
  auto snap = Snap(hwnd);
  if (!snap) return;
  if ((snap->style & WS_MINIMIZE) != 0) {
    SetStyleBits(hwnd, 0, WS_MINIMIZE);
    if (snap->sdl != nullptr) video::RestoreNative(snap->sdl);
    SendSize(hwnd, (snap->style & WS_MAXIMIZE) != 0 ? SIZE_MAXIMIZED : SIZE_RESTORED);
    InvalidateRect(hwnd, nullptr, TRUE);
    return;
  }
  if ((snap->style & WS_MAXIMIZE) != 0) {
    RECT back{};
    {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      back = registry.Find(hwnd)->restore_rect;
    }
    SetStyleBits(hwnd, 0, WS_MAXIMIZE);
    SetWindowPos(hwnd, nullptr, back.left, back.top, back.right - back.left, back.bottom - back.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
}

// Moves and sizes the window's record and its screen part; answers what changed.
std::pair<bool, bool> ApplyPlacement(HWND hwnd, const RECT& rect, bool from_display) {
  std::shared_ptr<Window> window;
  RECT old{};
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    window = registry.FindShared(hwnd);
    if (!window) return {false, false};
    old = window->rect;
    window->rect = rect;
  }
  bool moved = old.left != rect.left || old.top != rect.top;
  bool sized = old.right - old.left != rect.right - rect.left || old.bottom - old.top != rect.bottom - rect.top;
  if (window->sdl != nullptr) {
    if ((moved || sized) && !from_display) video::MoveNative(window->sdl, rect);
    if (sized) ResizeStore(*window, rect.right - rect.left, rect.bottom - rect.top);
  }
  if ((moved || sized) && window->parent != nullptr && (window->style & WS_VISIBLE) != 0) {
    InvalidateParentArea(window->parent, old);
    InvalidateParentArea(window->parent, rect);
  }
  return {moved, sized};
}

}  // namespace

x11::Roles::Kind KindOf(DWORD style, DWORD ex_style, bool owned) {
  using Kind = x11::Roles::Kind;
  const DWORD transient = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  if ((style & WS_POPUP) != 0 && (ex_style & transient) == transient) return owned ? Kind::kPopupMenu : Kind::kTooltip;
  return owned ? Kind::kDialog : Kind::kNormal;
}

x11::Roles RolesOf(HWND hwnd) {
  x11::Roles roles;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return roles;
  Window* owner = registry.Find(window->owner);
  roles.kind = KindOf(window->style, window->ex_style, owner != nullptr);
  roles.owner = owner != nullptr ? owner->sdl : nullptr;
  roles.skip_taskbar = (window->ex_style & WS_EX_APPWINDOW) == 0 &&
                       ((window->ex_style & WS_EX_TOOLWINDOW) != 0 || owner != nullptr);
  // A modal loop disables the owner while its dialog runs.
  roles.modal = roles.kind == x11::Roles::Kind::kDialog && (owner->style & WS_DISABLED) != 0;
  roles.above = (window->ex_style & WS_EX_TOPMOST) != 0;
  return roles;
}

void RefreshRoles(HWND hwnd) {
  auto snap = Snap(hwnd);
  if (snap && snap->sdl != nullptr && (snap->style & WS_VISIBLE) != 0) {
    video::ApplyNativeRoles(snap->sdl, RolesOf(hwnd), true);
  }
}

void PlaceWindow(HWND hwnd, const RECT& rect, bool from_display) {
  auto [moved, sized] = ApplyPlacement(hwnd, rect, from_display);
  if (!moved && !sized) return;
  WINDOWPOS pos{hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                SWP_NOZORDER | SWP_NOACTIVATE};
  if (!moved) pos.flags |= SWP_NOMOVE;
  if (!sized) pos.flags |= SWP_NOSIZE;
  if (sized) InvalidateRect(hwnd, nullptr, FALSE);
  CallWindow(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

}  // namespace detail

using namespace detail;

BOOL ShowWindow(HWND hwnd, int show_command) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  auto snap = Snap(hwnd);
  const bool was_visible = (snap->style & WS_VISIBLE) != 0;
  bool activate = false;
  switch (show_command) {
    case SW_HIDE:
      if (!was_visible) return FALSE;
      SetVisible(hwnd, false, true);
      return TRUE;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      SetVisible(hwnd, true, true);
      Minimize(hwnd);
      return was_visible ? TRUE : FALSE;
    case SW_MAXIMIZE:
      SetVisible(hwnd, true, true);
      Maximize(hwnd);
      activate = true;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      SetVisible(hwnd, true, true);
      Restore(hwnd);
      activate = true;
      break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      SetVisible(hwnd, true, true);
      break;
    default:
      SetVisible(hwnd, true, true);
      activate = true;
      break;
  }
  if (activate && CanActivate(hwnd) && IsWindow(hwnd)) ActivateWindow(hwnd, WA_ACTIVE, true);
  return was_visible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  if (hwnd == kDesktop) return TRUE;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return FALSE;
  for (; window != nullptr; window = window->parent ? registry.Find(window->parent) : nullptr) {
    if ((window->style & WS_VISIBLE) == 0) return FALSE;
  }
  return TRUE;
}

BOOL IsIconic(HWND hwnd) {
  auto snap = Snap(hwnd);
  return snap && (snap->style & WS_MINIMIZE) != 0 ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
  auto snap = Snap(hwnd);
  return snap && (snap->style & WS_MAXIMIZE) != 0 ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  WINDOWPOS pos{hwnd, insert_after, x, y, cx, cy, flags};
  CallWindow(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  auto snap = Snap(hwnd);
  if (!snap) return FALSE;

  RECT rect = snap->rect;
  if ((pos.flags & SWP_NOMOVE) == 0) {
    rect = RECT{pos.x, pos.y, pos.x + (rect.right - rect.left), pos.y + (rect.bottom - rect.top)};
  }
  if ((pos.flags & SWP_NOSIZE) == 0) {
    rect.right = rect.left + std::max(0, pos.cx);
    rect.bottom = rect.top + std::max(0, pos.cy);
  }
  auto [moved, sized] = ApplyPlacement(hwnd, rect, false);
  if (sized && (pos.flags & SWP_NOREDRAW) == 0) InvalidateRect(hwnd, nullptr, TRUE);

  if ((pos.flags & SWP_SHOWWINDOW) != 0) SetVisible(hwnd, true, false);
  if ((pos.flags & SWP_HIDEWINDOW) != 0) SetVisible(hwnd, false, false);

  if ((pos.flags & SWP_NOZORDER) == 0) {
    if (snap->child) {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      if (Window* parent = registry.Find(snap->parent)) {
        auto& siblings = parent->children;
        std::erase(siblings, hwnd);
        siblings.push_back(hwnd);
        if (insert_after == HWND_BOTTOM) std::rotate(siblings.begin(), siblings.end() - 1, siblings.end());
      }
    } else if (snap->sdl != nullptr && insert_after != HWND_BOTTOM && IsWindowVisible(hwnd)) {
      video::RaiseNative(snap->sdl);
    }
  }
  if ((pos.flags & SWP_NOACTIVATE) == 0 && IsWindowVisible(hwnd) && CanActivate(hwnd)) {
    ActivateWindow(hwnd, WA_ACTIVE, true);
  }
  if (!moved) pos.flags |= SWP_NOMOVE;
  if (!sized) pos.flags |= SWP_NOSIZE;
  pos.x = rect.left;
  pos.y = rect.top;
  pos.cx = rect.right - rect.left;
  pos.cy = rect.bottom - rect.top;
  if (IsWindow(hwnd)) CallWindow(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW);
  return SetWindowPos(hwnd, nullptr, x, y, width, height, flags);
}

HWND WindowFromPoint(POINT point) {
  ThreadState& self = CurrentThread();
  std::vector<HWND> candidates(self.activation_order.rbegin(), self.activation_order.rend());
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    for (HWND hwnd : self.windows) {
      if (std::find(candidates.begin(), candidates.end(), hwnd) == candidates.end()) candidates.push_back(hwnd);
    }
  }
  for (HWND hwnd : candidates) {
    auto snap = Snap(hwnd);
    if (!snap || snap->child || snap->sdl == nullptr || (snap->style & WS_VISIBLE) == 0) continue;
    if ((snap->style & WS_MINIMIZE) != 0 || !Contains(snap->rect, point)) continue;
    return ChildFromScreenPoint(hwnd, point);
  }
  return nullptr;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  auto snap = Snap(hwnd);
  const bool was_disabled = (snap->style & WS_DISABLED) != 0;
  if (was_disabled == !enable) return was_disabled ? TRUE : FALSE;
  ThreadState& self = CurrentThread();
  if (!enable) {
    SetStyleBits(hwnd, WS_DISABLED, 0);
    if (self.focus != nullptr && (self.focus == hwnd || IsChild(hwnd, self.focus))) SetFocus(nullptr);
    if (self.capture != nullptr && (self.capture == hwnd || IsChild(hwnd, self.capture))) ReleaseCapture();
    CancelMoveLoop();
  } else {
    SetStyleBits(hwnd, 0, WS_DISABLED);
  }
  CallWindow(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  // Its dialogs are modal exactly while it is disabled.
  std::vector<HWND> owned;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    for (auto& [handle, window] : registry.windows) {
      if (window->owner == hwnd && window->sdl != nullptr) owned.push_back(handle);
    }
  }
  for (HWND each : owned) RefreshRoles(each);
  return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  if (hwnd == kDesktop) return TRUE;
  auto snap = Snap(hwnd);
  return snap && (snap->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

}  // namespace platform
