#include "platform/ui/timer.h"

#include <algorithm>

#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {

std::optional<Clock::time_point> NextTimerDue(const ThreadState& self) {
  std::optional<Clock::time_point> next;
  for (const Timer& timer : self.timers) {
    if (!next || timer.due < *next) next = timer.due;
  }
  return next;
}

std::optional<MSG> TakeDueTimer(ThreadState& self, HWND filter, UINT min, UINT max, bool remove) {
  if (!(min == 0 && max == 0) && (WM_TIMER < min || WM_TIMER > max)) return std::nullopt;
  auto now = Clock::now();
  Timer* earliest = nullptr;
  for (Timer& timer : self.timers) {
    if (timer.due > now) continue;
    if (filter != nullptr && timer.hwnd != filter && !(timer.hwnd != nullptr && IsChild(filter, timer.hwnd))) {
      continue;
    }
    if (earliest == nullptr || timer.due < earliest->due) earliest = &timer;
  }
  if (earliest == nullptr) return std::nullopt;
  MSG msg{};
  msg.hwnd = earliest->hwnd;
  msg.message = WM_TIMER;
  msg.wParam = earliest->id;
  msg.lParam = reinterpret_cast<LPARAM>(earliest->proc);
  msg.time = TickNow();
  // Expirations missed while the thread was busy fold into this one message.
  if (remove) earliest->due = now + std::chrono::milliseconds(earliest->interval_ms);
  return msg;
}

void KillTimersOf(ThreadState& self, HWND hwnd) {
  std::erase_if(self.timers, [hwnd](const Timer& timer) { return timer.hwnd == hwnd; });
}

}  // namespace detail

using namespace detail;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  ThreadState& self = CurrentThread();
  if (hwnd != nullptr && !IsOwnWindow(hwnd)) return 0;
  UINT interval = std::clamp(elapse_ms, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  auto due = Clock::now() + std::chrono::milliseconds(interval);

  auto existing = std::find_if(self.timers.begin(), self.timers.end(),
                               [&](const Timer& timer) { return timer.hwnd == hwnd && timer.id == id; });
  if (existing != self.timers.end() && (hwnd != nullptr || id != 0)) {
    existing->interval_ms = interval;
    existing->proc = proc;
    existing->due = due;
    return hwnd != nullptr ? (id != 0 ? id : 1) : id;
  }
  if (hwnd == nullptr) {
    // A new thread timer: an id no other thread timer of this thread has.
    do {
      id = self.next_thread_timer++;
      if (self.next_thread_timer == 0) self.next_thread_timer = 0x7F00;
    } while (std::any_of(self.timers.begin(), self.timers.end(),
                         [&](const Timer& timer) { return timer.hwnd == nullptr && timer.id == id; }));
  }
  self.timers.push_back(Timer{hwnd, id, interval, proc, due});
  self.Wake();
  return hwnd != nullptr ? (id != 0 ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  ThreadState& self = CurrentThread();
  auto removed = std::erase_if(self.timers, [&](const Timer& timer) { return timer.hwnd == hwnd && timer.id == id; });
  return removed > 0 ? TRUE : FALSE;
}

}  // namespace platform
