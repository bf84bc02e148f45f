// Input: turning raw pointer and key events into messages for the right window, and
// the state that goes with it (capture, leave tracking, key states, cursor).
#include "platform/ui/input.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "platform/ui/message_queue.h"
#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {
namespace {

constexpr UINT kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 2;  // pixels either way, as SM_CXDOUBLECLK 4 gives
constexpr std::size_t kMaxKeyTexts = 64;

std::atomic<std::int64_t> g_pointer{0};

void StorePointer(POINT p) {
  g_pointer.store((static_cast<std::int64_t>(p.x) << 32) | static_cast<std::uint32_t>(p.y));
}

POINT LoadPointer() {
  std::int64_t packed = g_pointer.load();
  return POINT{static_cast<LONG>(packed >> 32), static_cast<LONG>(static_cast<std::int32_t>(packed & 0xFFFFFFFF))};
}

bool Down(const ThreadState& self, int vk) { return (self.key_state[static_cast<std::size_t>(vk)] & 0x80) != 0; }

void SetDown(ThreadState& self, int vk, bool down) {
  BYTE& state = self.key_state[static_cast<std::size_t>(vk) & 0xFF];
  if (down && (state & 0x80) == 0) state ^= 0x01;  // the toggle flips on each press
  state = static_cast<BYTE>(down ? (state | 0x80) : (state & ~0x80));
}

WPARAM MouseKeyFlags(const ThreadState& self) {
  WPARAM flags = 0;
  if (Down(self, VK_LBUTTON)) flags |= MK_LBUTTON;
  if (Down(self, VK_RBUTTON)) flags |= MK_RBUTTON;
  if (Down(self, VK_MBUTTON)) flags |= MK_MBUTTON;
  if (Down(self, VK_SHIFT)) flags |= MK_SHIFT;
  if (Down(self, VK_CONTROL)) flags |= MK_CONTROL;
  return flags;
}

LPARAM PackPoint(POINT p) { return MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)); }

constexpr int kButtonKeys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
constexpr UINT kButtonDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};

UINT ClassStyleOf(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  return window == nullptr ? 0 : window->window_class->style;
}

bool CanBeActivated(HWND root) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(root);
  return window != nullptr && (window->ex_style & WS_EX_NOACTIVATE) == 0 && (window->style & WS_DISABLED) == 0;
}

void EndLeaveTracking(ThreadState& self, HWND now_under) {
  if (self.leave_tracked != nullptr && self.leave_tracked != now_under) {
    PostMessageW(self.leave_tracked, WM_MOUSELEAVE, 0, 0);
    self.leave_tracked = nullptr;
  }
}

std::optional<MSG> ResolvePointer(ThreadState& self, RawInput& item) {
  StorePointer(item.screen);
  HWND under = nullptr;
  if (item.top != nullptr && IsWindow(item.top) && IsWindowVisible(item.top)) {
    under = ChildFromScreenPoint(item.top, item.screen);
  }
  self.pointer_under = under;
  EndLeaveTracking(self, under);

  const bool press = item.kind == RawInput::Kind::kPointerDown;
  const bool release = item.kind == RawInput::Kind::kPointerUp;
  const int button = std::clamp(item.button, 0, 2);
  if (press || release) SetDown(self, kButtonKeys[button], press);

  HWND target = self.capture;
  int hit = HTCLIENT;
  if (target == nullptr) {
    target = under;
    if (target == nullptr) return std::nullopt;
    hit = static_cast<int>(CallWindow(target, WM_NCHITTEST, 0, PackPoint(item.screen)));
    if (hit == HTNOWHERE || hit == HTTRANSPARENT || !IsWindow(target)) return std::nullopt;
  }
  if (!AcceptsInput(target)) {
    // A click on a window disabled by a modal pop-up brings that pop-up forward.
    if (press) {
      HWND popup = GetLastActivePopup(RootOf(target));
      if (popup != nullptr && popup != RootOf(target)) ActivateWindow(popup, WA_ACTIVE, true);
    }
    return std::nullopt;
  }

  const bool client = hit == HTCLIENT;
  UINT message = WM_MOUSEMOVE;
  if (press) message = kButtonDown[button];
  if (release) message = kButtonDown[button] + 1;

  if (press && self.capture == nullptr) {
    HWND root = RootOf(target);
    if (self.active != root && CanBeActivated(root)) {
      UINT as_sent = client ? message : message - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
      LRESULT answer = CallWindow(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root),
                                  MAKELONG(static_cast<WORD>(hit), static_cast<WORD>(as_sent)));
      if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) ActivateWindow(root, WA_CLICKACTIVE, true);
      if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return std::nullopt;
    }
  }
  if (self.capture == nullptr) {
    UINT as_sent = client ? message : message - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
    CallWindow(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
               MAKELONG(static_cast<WORD>(hit), static_cast<WORD>(as_sent)));
  }
  if (!IsWindow(target)) return std::nullopt;

  if (press) {
    const ClickRecord& last = self.last_click;
    bool doubled = (ClassStyleOf(target) & CS_DBLCLKS) != 0 && last.hwnd == target && last.button == button &&
                   item.time - last.time <= kDoubleClickMs && std::abs(item.screen.x - last.screen.x) <= kDoubleClickSlop &&
                   std::abs(item.screen.y - last.screen.y) <= kDoubleClickSlop;
    if (doubled) {
      message += 2;  // WM_xBUTTONDBLCLK; a third press starts over
      self.last_click = ClickRecord{};
    } else {
      self.last_click = ClickRecord{target, button, item.time, item.screen};
    }
  }

  MSG msg{};
  msg.hwnd = target;
  msg.time = item.time;
  msg.pt = item.screen;
  if (client) {
    POINT origin = ClientOriginOnScreen(target);
    msg.message = message;
    msg.wParam = MouseKeyFlags(self);
    msg.lParam = PackPoint(POINT{item.screen.x - origin.x, item.screen.y - origin.y});
  } else {
    msg.message = message - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
    msg.wParam = static_cast<WPARAM>(hit);
    msg.lParam = PackPoint(item.screen);
  }
  return msg;
}

std::optional<MSG> ResolveWheel(ThreadState& self, RawInput& item) {
  HWND target = self.capture ? self.capture : self.focus ? self.focus : self.active;
  if (target == nullptr || !AcceptsInput(target)) return std::nullopt;
  MSG msg{};
  msg.hwnd = target;
  msg.message = WM_MOUSEWHEEL;
  msg.wParam = static_cast<WPARAM>(
      static_cast<DWORD>(MAKELONG(static_cast<WORD>(MouseKeyFlags(self)), static_cast<WORD>(item.wheel))));
  msg.lParam = PackPoint(item.screen);
  msg.time = item.time;
  msg.pt = item.screen;
  return msg;
}

HWND KeyboardTarget(const ThreadState& self) {
  HWND target = self.focus ? self.focus : self.active;
  if (target == nullptr || !AcceptsInput(target)) return nullptr;
  return target;
}

std::optional<MSG> ResolveKey(ThreadState& self, RawInput& item) {
  const bool press = item.kind == RawInput::Kind::kKeyDown;
  const bool was_down = Down(self, item.virtual_key);
  SetDown(self, item.virtual_key, press);
  HWND target = KeyboardTarget(self);
  if (target == nullptr) return std::nullopt;
  const bool alt = Down(self, VK_MENU);
  const bool ctrl = Down(self, VK_CONTROL);
  const bool system = (alt && !ctrl) || item.virtual_key == VK_MENU || item.virtual_key == VK_F10 ||
                      self.focus == nullptr;
  MSG msg{};
  msg.hwnd = target;
  msg.message = press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  msg.wParam = static_cast<WPARAM>(item.virtual_key);
  DWORD flags = 1u | (static_cast<DWORD>(item.scan_code & 0xFF) << 16);
  if (item.extended) flags |= 1u << 24;
  if (alt) flags |= 1u << 29;
  if (was_down || !press) flags |= 1u << 30;
  if (!press) flags |= 1u << 31;
  msg.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(flags));
  msg.time = item.time;
  msg.pt = LoadPointer();
  if (press && !item.text.empty()) {
    if (self.key_texts.size() >= kMaxKeyTexts) self.key_texts.clear();  // keys never translated
    msg.lPrivate = self.next_key_serial++;
    self.key_texts[msg.lPrivate] = item.text;
  }
  return msg;
}

std::optional<MSG> ResolveText(ThreadState& self, RawInput& item) {
  HWND target = KeyboardTarget(self);
  if (target == nullptr || item.text.empty()) return std::nullopt;
  MSG msg{};
  msg.hwnd = target;
  msg.message = WM_CHAR;
  msg.wParam = item.text[0];
  msg.lParam = 1;
  msg.time = item.time;
  msg.pt = LoadPointer();
  for (std::size_t i = 1; i < item.text.size(); ++i) PostMessageW(target, WM_CHAR, item.text[i], 1);
  return msg;
}

}  // namespace

std::optional<MSG> ResolveInput(ThreadState& self, RawInput& item) {
  switch (item.kind) {
    case RawInput::Kind::kPointerMove:
    case RawInput::Kind::kPointerDown:
    case RawInput::Kind::kPointerUp:
      return ResolvePointer(self, item);
    case RawInput::Kind::kWheel:
      return ResolveWheel(self, item);
    case RawInput::Kind::kPointerLeave:
      self.pointer_under = nullptr;
      EndLeaveTracking(self, nullptr);
      return std::nullopt;
    case RawInput::Kind::kKeyDown:
    case RawInput::Kind::kKeyUp:
      return ResolveKey(self, item);
    case RawInput::Kind::kText:
      return ResolveText(self, item);
  }
  return std::nullopt;
}

void QueueInput(ThreadState& thread, RawInput item) {
  std::lock_guard lock(thread.mutex);
  // Pointer moves coalesce, as on the platform: only the latest position counts.
  if (item.kind == RawInput::Kind::kPointerMove && !thread.input.empty()) {
    RawInput& last = thread.input.back();
    if (last.kind == RawInput::Kind::kPointerMove && !last.resolved && last.top == item.top) {
      last.screen = item.screen;
      last.time = item.time;
      return;
    }
  }
  thread.input.push_back(std::move(item));
}

void PushInput(RawInput item) {
  std::shared_ptr<ThreadState> thread;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    thread = registry.windowing_thread.lock();
  }
  if (!thread) return;
  if (item.time == 0) item.time = TickNow();
  QueueInput(*thread, std::move(item));
  thread->Wake();
}

void OnWindowGone(ThreadState& self, HWND hwnd) {
  if (self.capture == hwnd) {
    self.capture = nullptr;
    video::CaptureMouse(false);
  }
  if (self.leave_tracked == hwnd) self.leave_tracked = nullptr;
  if (self.pointer_under == hwnd) self.pointer_under = nullptr;
  if (self.last_click.hwnd == hwnd) self.last_click = ClickRecord{};
}

void CancelMoveLoop() {
  ThreadState& self = CurrentThread();
  if (self.in_move_loop) {
    self.move_cancelled = true;
    PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes the loop so that it sees the request
  }
}

}  // namespace detail

using namespace detail;

HWND SetCapture(HWND hwnd) {
  ThreadState& self = CurrentThread();
  if (!IsOwnWindow(hwnd)) return nullptr;
  HWND previous = self.capture;
  if (previous == hwnd) return previous;
  self.capture = hwnd;
  if (self.is_windowing_thread) video::CaptureMouse(true);
  if (previous != nullptr && IsWindow(previous)) {
    CallWindow(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  }
  return previous;
}

BOOL ReleaseCapture() {
  ThreadState& self = CurrentThread();
  HWND previous = self.capture;
  if (previous == nullptr) return TRUE;
  self.capture = nullptr;
  if (self.is_windowing_thread) video::CaptureMouse(false);
  if (IsWindow(previous)) CallWindow(previous, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return CurrentThread().capture; }

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
  if (track == nullptr || (track->dwFlags & TME_LEAVE) == 0) return FALSE;
  ThreadState& self = CurrentThread();
  if ((track->dwFlags & TME_CANCEL) != 0) {
    if (self.leave_tracked == track->hwndTrack) self.leave_tracked = nullptr;
    return TRUE;
  }
  if (!IsOwnWindow(track->hwndTrack)) return FALSE;
  if (self.pointer_under != track->hwndTrack) {
    // The pointer is not over the window now: the leave is due at once.
    PostMessageW(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
    return TRUE;
  }
  self.leave_tracked = track->hwndTrack;
  return TRUE;
}

SHORT GetKeyState(int virtual_key) {
  if (virtual_key < 0 || virtual_key > 255) return 0;
  BYTE state = CurrentThread().key_state[static_cast<std::size_t>(virtual_key)];
  return static_cast<SHORT>(((state & 0x80) != 0 ? 0x8000 : 0) | (state & 0x01));
}

SHORT GetAsyncKeyState(int virtual_key) {
  std::shared_ptr<ThreadState> thread;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    thread = registry.windowing_thread.lock();
  }
  if (!thread || thread.get() != &CurrentThread()) return 0;
  return static_cast<SHORT>(GetKeyState(virtual_key) & 0x8000);
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  *point = LoadPointer();
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  ThreadState& self = CurrentThread();
  HCURSOR previous = self.cursor;
  self.cursor = cursor;
  if (self.is_windowing_thread) video::ApplyCursor(cursor);
  return previous;
}

HCURSOR GetCursor() { return CurrentThread().cursor; }

UINT GetDoubleClickTime() { return kDoubleClickMs; }

}  // namespace platform
