// Test helpers: input injected into the windowing thread's input stream, as if it
// came from the display, and a read-back of what a window last presented on screen.
// Injected input takes exactly the path of real input (targeting, capture, disabled
// windows, activation, double clicks, WM_SETCURSOR, key states, translation); it is
// queued and takes effect when the windowing thread retrieves it. On Windows it is
// SendInput into the desktop's input stream, which goes to whatever window lies
// under the pointer or holds the focus, so such tests take the desktop in turns; the
// read-back copies the window's device.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/win_types.h"

namespace platform::test {

enum class Button { kLeft, kRight, kMiddle };

// Pointer input at a point in the client coordinates of `hwnd` (converted to screen
// coordinates now; the window under the pointer is `hwnd`'s top-level window).
void MouseMove(HWND hwnd, POINT client);
void MouseDown(HWND hwnd, POINT client, Button button = Button::kLeft);
void MouseUp(HWND hwnd, POINT client, Button button = Button::kLeft);
void Click(HWND hwnd, POINT client, Button button = Button::kLeft);
// The pointer at a screen point over `top_level` (nullptr: over no window of ours).
void MouseMoveScreen(HWND top_level, POINT screen);
void MouseUpScreen(HWND top_level, POINT screen, Button button = Button::kLeft);
// Wheel notches (positive: away from the user) at a client point.
void MouseWheel(HWND hwnd, POINT client, int notches);
// The pointer leaves `top_level` for no window of this application.
void MouseLeave(HWND top_level);

// A key press or release by virtual-key code. A press of a character key without Ctrl
// or Alt carries its character (US layout; Shift gives upper case) as a keyboard
// would; `text` overrides it.
void KeyDown(int virtual_key);
void KeyDown(int virtual_key, std::u16string_view text);
void KeyUp(int virtual_key);
void KeyPress(int virtual_key);  // down and up
// Text committed without a key (an input method): WM_CHAR per UTF-16 unit.
void TypeText(std::u16string_view text);

// Retrieves, translates and dispatches every message waiting now (including WM_PAINT
// and due timers); answers how many it handled.
int DrainMessages();
// Runs the message loop until `done` answers true or `timeout_ms` passes; answers
// done(). Does not spin: it waits for messages between checks.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// What the screen shows of a window's client area: the pixels last presented (at a
// desktop scale of 2, twice the window's size)
// (blue, green, red, alpha; alpha 255 where the screen has none), row by row.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Frame CapturePresented(HWND hwnd);
// How many times the window's pixels were presented to the screen.
int PresentCount(HWND hwnd);
// The display's own id of a top-level window (the X window id), for tools that look at
// it from outside (xprop); 0 when there is none.
std::uint64_t NativeWindowId(HWND hwnd);

}  // namespace platform::test
