// The caret of a thread: the platform's own.
#include "platform/ui/caret.h"

namespace platform {

BOOL CreateCaret(HWND hwnd, void* bitmap, int width, int height) {
  return ::CreateCaret(hwnd, static_cast<HBITMAP>(bitmap), width, height);
}
BOOL DestroyCaret() { return ::DestroyCaret(); }
BOOL ShowCaret(HWND hwnd) { return ::ShowCaret(hwnd); }
BOOL HideCaret(HWND hwnd) { return ::HideCaret(hwnd); }
BOOL SetCaretPos(int x, int y) { return ::SetCaretPos(x, y); }
BOOL GetCaretPos(POINT* point) { return ::GetCaretPos(point); }
UINT GetCaretBlinkTime() { return ::GetCaretBlinkTime(); }
BOOL SetCaretBlinkTime(UINT milliseconds) { return ::SetCaretBlinkTime(milliseconds); }

}  // namespace platform
