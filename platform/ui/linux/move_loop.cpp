// The move loop of SC_MOVE: the window follows the pointer until the left button is
// released (Esc puts it back). It is a modal loop: everything else that arrives
// meanwhile (sent and posted messages, paint, timers) is handled as usual.
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform::detail {
namespace {

bool IsMouseMessage(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK);
}

void FollowPointer(HWND hwnd, const RECT& start, POINT grab, POINT now) {
  RECT moved = Offset(start, now.x - grab.x, now.y - grab.y);
  CallWindow(hwnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&moved));
  SetWindowPos(hwnd, nullptr, moved.left, moved.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void RunMoveLoop(HWND hwnd) {
  ThreadState& self = CurrentThread();
  if (self.in_move_loop || !IsOwnWindow(hwnd) || (GetKeyState(VK_LBUTTON) & 0x8000) == 0) return;
  RECT start{};
  GetWindowRect(hwnd, &start);
  POINT grab{};
  GetCursorPos(&grab);

  self.in_move_loop = true;
  self.move_cancelled = false;
  CallWindow(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  SetCapture(hwnd);
  for (;;) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that runs this one
      break;
    }
    if (self.move_cancelled || !IsWindow(hwnd) || GetCapture() != hwnd) break;
    if (IsMouseMessage(msg.message)) {
      if (msg.message == WM_MOUSEMOVE) FollowPointer(hwnd, start, grab, msg.pt);
      if (msg.message == WM_LBUTTONUP) {
        FollowPointer(hwnd, start, grab, msg.pt);
        break;
      }
      continue;  // the loop owns the mouse while it runs
    }
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
      if (msg.wParam == static_cast<WPARAM>(VK_ESCAPE)) {
        SetWindowPos(hwnd, nullptr, start.left, start.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
      }
      continue;
    }
    if (msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP || msg.message == WM_CHAR) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  self.in_move_loop = false;
  self.move_cancelled = false;
  if (IsWindow(hwnd)) CallWindow(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

}  // namespace platform::detail
