// Activation of top-level windows and the keyboard focus, per thread.
#include <algorithm>

#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {
namespace {

struct Facts {
  bool exists = false;
  bool top_level = false;
  bool usable = false;  // visible, enabled, not minimised, not being destroyed
  bool iconic = false;
  HWND owner = nullptr;
  SDL_Window* sdl = nullptr;
};

Facts FactsOf(HWND hwnd) {
  Facts facts;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return facts;
  facts.exists = true;
  facts.top_level = (window->style & WS_CHILD) == 0;
  facts.iconic = (window->style & WS_MINIMIZE) != 0;
  facts.usable = (window->style & WS_VISIBLE) != 0 && (window->style & WS_DISABLED) == 0 && !facts.iconic &&
                 !window->destroying;
  facts.owner = window->owner;
  facts.sdl = window->sdl;
  return facts;
}

std::vector<HWND> OwnTopLevelWindows(ThreadState& self) {
  std::vector<HWND> result;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  for (HWND hwnd : self.windows) {
    Window* window = registry.Find(hwnd);
    if (window != nullptr && (window->style & WS_CHILD) == 0 && !window->message_only) result.push_back(hwnd);
  }
  return result;
}

WPARAM ActivateParam(int how, bool iconic) { return static_cast<WPARAM>(MAKELONG(static_cast<WORD>(how), iconic)); }

}  // namespace

void ActivateWindow(HWND hwnd, int how, bool raise_on_screen) {
  ThreadState& self = CurrentThread();
  if (hwnd != nullptr) {
    Facts facts = FactsOf(hwnd);
    if (!facts.exists || !facts.top_level || !IsOwnWindow(hwnd)) return;
    if (self.active == hwnd) {
      if (raise_on_screen && facts.sdl != nullptr && facts.usable) video::RaiseNative(facts.sdl);
      return;
    }
  }
  HWND old = self.active;
  if (old == hwnd) return;
  self.active = hwnd;
  if (hwnd != nullptr) {
    std::erase(self.activation_order, hwnd);
    self.activation_order.push_back(hwnd);
    HWND owner = FactsOf(hwnd).owner;
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    for (Window* w = registry.Find(owner); w != nullptr; w = registry.Find(w->owner)) w->last_active_popup = hwnd;
  }

  if (old != nullptr && IsWindow(old)) {
    CallWindow(old, WM_NCACTIVATE, FALSE, 0);
    CallWindow(old, WM_ACTIVATE, ActivateParam(WA_INACTIVE, FactsOf(old).iconic), reinterpret_cast<LPARAM>(hwnd));
  }
  if (self.active != hwnd) return;  // a handler moved the activation on already
  if (hwnd != nullptr && !self.app_active) {
    self.app_active = true;
    for (HWND each : OwnTopLevelWindows(self)) CallWindow(each, WM_ACTIVATEAPP, TRUE, 0);
  } else if (hwnd == nullptr && self.app_active) {
    self.app_active = false;
    for (HWND each : OwnTopLevelWindows(self)) CallWindow(each, WM_ACTIVATEAPP, FALSE, 0);
  }
  if (hwnd != nullptr && self.active == hwnd) {
    CallWindow(hwnd, WM_NCACTIVATE, TRUE, 0);
    CallWindow(hwnd, WM_ACTIVATE, ActivateParam(how, FactsOf(hwnd).iconic), reinterpret_cast<LPARAM>(old));
    Facts facts = FactsOf(hwnd);
    if (raise_on_screen && facts.sdl != nullptr && facts.usable) video::RaiseNative(facts.sdl);
  }
  // The focus never stays in a window that is no longer active.
  if (self.focus != nullptr && RootOf(self.focus) != self.active) SetFocus(nullptr);
}

void DeactivateApplication() { ActivateWindow(nullptr, WA_INACTIVE, false); }

void ForgetFromActivation(HWND hwnd) {
  ThreadState& self = CurrentThread();
  std::erase(self.activation_order, hwnd);
  if (self.active == hwnd) self.active = nullptr;
  if (self.focus == hwnd) self.focus = nullptr;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  for (auto& [handle, window] : registry.windows) {
    if (window->last_active_popup == hwnd) window->last_active_popup = nullptr;
  }
}

HWND NextActiveCandidate(HWND leaving) {
  ThreadState& self = CurrentThread();
  auto fits = [&](HWND hwnd) {
    if (hwnd == nullptr || hwnd == leaving || IsChild(leaving, hwnd)) return false;
    Facts facts = FactsOf(hwnd);
    return facts.exists && facts.top_level && facts.usable;
  };
  HWND owner = FactsOf(leaving).owner;
  if (fits(owner)) return owner;
  for (auto it = self.activation_order.rbegin(); it != self.activation_order.rend(); ++it) {
    if (fits(*it)) return *it;
  }
  return nullptr;
}

}  // namespace detail

using namespace detail;

HWND GetActiveWindow() { return CurrentThread().active; }

HWND SetActiveWindow(HWND hwnd) {
  ThreadState& self = CurrentThread();
  HWND previous = self.active;
  if (hwnd != nullptr) {
    if (!IsOwnWindow(hwnd)) return nullptr;
    hwnd = RootOf(hwnd);
    if (!IsWindowEnabled(hwnd)) return nullptr;
  }
  ActivateWindow(hwnd, WA_ACTIVE, true);
  return previous;
}

HWND GetForegroundWindow() { return CurrentThread().active; }

BOOL SetForegroundWindow(HWND hwnd) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  SetActiveWindow(hwnd);
  return GetActiveWindow() == RootOf(hwnd) ? TRUE : FALSE;
}

HWND GetFocus() { return CurrentThread().focus; }

HWND SetFocus(HWND hwnd) {
  ThreadState& self = CurrentThread();
  HWND old = self.focus;
  if (hwnd == nullptr) {
    self.focus = nullptr;
    if (old != nullptr && IsWindow(old)) CallWindow(old, WM_KILLFOCUS, 0, 0);
    return old;
  }
  if (!IsOwnWindow(hwnd)) return nullptr;
  HWND root = RootOf(hwnd);
  if (self.active != root) {
    ActivateWindow(root, WA_ACTIVE, true);
    if (self.active != root) return nullptr;  // the window cannot be activated
    old = self.focus;
  }
  if (old == hwnd) return old;
  self.focus = hwnd;
  if (old != nullptr && IsWindow(old)) CallWindow(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (self.focus == hwnd && IsWindow(hwnd)) CallWindow(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetLastActivePopup(HWND hwnd) {
  HWND popup = nullptr;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return nullptr;
    popup = window->last_active_popup;
  }
  if (popup != nullptr && IsWindow(popup) && IsWindowVisible(popup) && IsWindowEnabled(popup)) return popup;
  return hwnd;
}

}  // namespace platform
