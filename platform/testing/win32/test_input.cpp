// Test input on the platform's own input stream: SendInput, which takes the path of
// real input (hit testing, capture, activation, WM_SETCURSOR, double clicks, key
// states and translation), and a read-back of what a window shows through its device.
//
// Injected input goes to whatever window of the desktop lies under the pointer or
// holds the focus, so tests that inject it must not share the desktop with other
// windows at the same time (their CTest runs take a lock).
#include "platform/testing/test_input.h"

#include <chrono>
#include <vector>

#include "platform/ui/win32/present_count.h"

namespace platform::test {
namespace {

void SendOne(INPUT input) { ::SendInput(1, &input, sizeof(INPUT)); }

// The pointer moves to the point exactly (SetCursorPos), and a move of no distance
// makes the queue report it as input.
void MoveTo(POINT screen) {
  ::SetCursorPos(screen.x, screen.y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendOne(input);
}

DWORD ButtonFlag(Button button, bool down) {
  switch (button) {
    case Button::kLeft: return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    case Button::kRight: return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    case Button::kMiddle: return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
  }
  return 0;
}

void Press(Button button, bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = ButtonFlag(button, down);
  SendOne(input);
}

POINT ToScreen(HWND hwnd, POINT client) {
  ::ClientToScreen(hwnd, &client);
  return client;
}

void Key(int virtual_key, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = static_cast<WORD>(virtual_key);
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC));
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  switch (virtual_key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_INSERT: case VK_DELETE:
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default: break;
  }
  SendOne(input);
}

void UnicodeUnit(char16_t unit, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wScan = unit;
  input.ki.dwFlags = KEYEVENTF_UNICODE | (down ? 0 : KEYEVENTF_KEYUP);
  SendOne(input);
}

}  // namespace

void MouseMove(HWND hwnd, POINT client) { MoveTo(ToScreen(hwnd, client)); }

void MouseDown(HWND hwnd, POINT client, Button button) {
  MoveTo(ToScreen(hwnd, client));
  Press(button, true);
}

void MouseUp(HWND hwnd, POINT client, Button button) {
  MoveTo(ToScreen(hwnd, client));
  Press(button, false);
}

void Click(HWND hwnd, POINT client, Button button) {
  MouseDown(hwnd, client, button);
  Press(button, false);
}

void MouseMoveScreen(HWND, POINT screen) { MoveTo(screen); }

void MouseUpScreen(HWND, POINT screen, Button button) {
  MoveTo(screen);
  Press(button, false);
}

void MouseWheel(HWND hwnd, POINT client, int notches) {
  MoveTo(ToScreen(hwnd, client));
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_WHEEL;
  input.mi.mouseData = static_cast<DWORD>(notches * WHEEL_DELTA);
  SendOne(input);
}

// Off every window of the application: the far corner of the screen, outside the
// window when it reaches there.
void MouseLeave(HWND top_level) {
  POINT corner{::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1};
  RECT rect{};
  if (top_level && ::GetWindowRect(top_level, &rect) && ::PtInRect(&rect, corner)) corner = POINT{0, 0};
  MoveTo(corner);
}

void KeyDown(int virtual_key) { Key(virtual_key, true); }

void KeyDown(int virtual_key, std::u16string_view text) {
  Key(virtual_key, true);
  for (char16_t unit : text) {
    UnicodeUnit(unit, true);
    UnicodeUnit(unit, false);
  }
}

void KeyUp(int virtual_key) { Key(virtual_key, false); }

void KeyPress(int virtual_key) {
  KeyDown(virtual_key);
  KeyUp(virtual_key);
}

void TypeText(std::u16string_view text) {
  for (char16_t unit : text) {
    UnicodeUnit(unit, true);
    UnicodeUnit(unit, false);
  }
}

int DrainMessages() {
  constexpr int kLimit = 100000;  // a window that never validates would repaint for ever
  int handled = 0;
  MSG msg;
  while (handled < kLimit && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));  // not ours to take
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    ++handled;
  }
  return handled;
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    DrainMessages();
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return done();
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

Frame CapturePresented(HWND hwnd) {
  Frame frame;
  RECT client{};
  if (!::GetClientRect(hwnd, &client) || client.right <= 0 || client.bottom <= 0) return frame;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return frame;
  HDC window = ::GetDC(hwnd);
  HDC memory = ::CreateCompatibleDC(window);
  HGDIOBJ previous = ::SelectObject(memory, section);
  const bool copied = ::BitBlt(memory, 0, 0, client.right, client.bottom, window, 0, 0, SRCCOPY) != FALSE;
  ::GdiFlush();
  if (copied) {
    frame.width = client.right;
    frame.height = client.bottom;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    frame.pixels.assign(pixels, pixels + static_cast<std::size_t>(frame.width) * frame.height);
    for (std::uint32_t& p : frame.pixels) p |= 0xFF000000u;  // the screen has no alpha
  }
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, window);
  ::DeleteObject(section);
  return frame;
}

int PresentCount(HWND hwnd) { return win32::PresentsOf(::GetAncestor(hwnd, GA_ROOT)); }

}  // namespace platform::test
