// Timers: WM_TIMER for a window, or a timer procedure for a thread timer. Timer
// messages are synthesised by the owning thread's queue when nothing else is
// waiting; expirations that pile up while the thread is busy come as one WM_TIMER.
#pragma once

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifndef _WIN32
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
inline constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
inline constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;
#endif

namespace platform {

// With a window (of the calling thread): (re)starts the timer `id` of that window and
// answers non-zero. Without a window: `id` names an existing thread timer to restart,
// else a new thread timer is made; the answer is its id. The interval is clamped to
// USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM. With a procedure, DispatchMessageW calls it
// instead of the window procedure. Answers 0 on failure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

}  // namespace platform
