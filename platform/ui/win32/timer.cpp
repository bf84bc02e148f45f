// Timers: the platform's own.
#include "platform/ui/timer.h"

namespace platform {

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  return ::SetTimer(hwnd, id, elapse_ms, proc);
}
BOOL KillTimer(HWND hwnd, UINT_PTR id) { return ::KillTimer(hwnd, id); }

}  // namespace platform
