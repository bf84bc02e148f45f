// The caret of a thread: one per thread, owned by a window. It is created hidden;
// ShowCaret and HideCaret count. While shown it blinks, drawn by inverting the
// presented pixels under it, and the input method places its candidates there.
#pragma once

#include "platform/base/win_types.h"

namespace platform {

// `bitmap` is accepted for compatibility; the caret is always a solid block.
BOOL CreateCaret(HWND hwnd, void* bitmap, int width, int height);
BOOL DestroyCaret();
BOOL ShowCaret(HWND hwnd);  // nullptr: the caret of this thread, whoever owns it
BOOL HideCaret(HWND hwnd);
BOOL SetCaretPos(int x, int y);  // client coordinates of the owner
BOOL GetCaretPos(POINT* point);
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT milliseconds);

}  // namespace platform
