#include "platform/ui/message_box.h"

#include <cstdio>

#include "platform/ui/input.h"
#include "platform/ui/linux/message_box_art.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/monitor.h"
#include "platform/ui/paint.h"
#include "platform/base/utf.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"

namespace platform {
namespace detail {
namespace {

constexpr char16_t kBoxClass[] = u"KrdnMessageBox";

struct BoxState {
  std::u16string text;
  std::u16string caption;
  BoxIcon icon = BoxIcon::kNone;
  BoxLayout layout;
  BoxLook look;
  int escape_answer = IDOK;
  bool yes_no = false;
  int answer = 0;
  std::vector<std::uint32_t> pixels;
  bool stale = true;  // the pixels no longer show the look
};

BoxState* StateOf(HWND hwnd) { return reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

int ButtonAt(const BoxState& state, POINT p) {
  for (std::size_t i = 0; i < state.layout.buttons.size(); ++i) {
    const RECT& r = state.layout.buttons[i].rect;
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

void Restyle(HWND hwnd, BoxState& state, const BoxLook& look) {
  if (look.focused == state.look.focused && look.hot == state.look.hot && look.pressed == state.look.pressed) return;
  state.look = look;
  state.stale = true;
  InvalidateRect(hwnd, nullptr, FALSE);
}

void Choose(BoxState& state, int id) {
  if (state.answer == 0) state.answer = id;
  PostMessageW(nullptr, WM_NULL, 0, 0);  // wakes the box's loop to see the answer
}

void Paint(HWND hwnd, BoxState& state) {
  if (state.stale) {
    state.pixels = DrawBox(state.layout, state.caption, state.text, state.icon, state.look);
    state.stale = false;
  }
  PAINTSTRUCT paint;
  HDC hdc = BeginPaint(hwnd, &paint);
  const RECT& r = paint.rcPaint;
  const int width = static_cast<int>(state.layout.size.cx);
  if (r.right > r.left && r.bottom > r.top && !state.pixels.empty()) {
    BlitToDC(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top,
             state.pixels.data() + static_cast<std::size_t>(r.top) * width + r.left, width);
  }
  EndPaint(hwnd, &paint);
}

bool OnKey(HWND hwnd, BoxState& state, int key) {
  BoxLook look = state.look;
  const int count = static_cast<int>(state.layout.buttons.size());
  const bool backwards = key == VK_LEFT || key == VK_UP || (key == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000) != 0);
  switch (key) {
    case VK_RETURN:
    case VK_SPACE: Choose(state, state.layout.buttons[static_cast<std::size_t>(look.focused)].id); return true;
    case VK_ESCAPE: Choose(state, state.escape_answer); return true;
    case VK_TAB:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      look.focused = (look.focused + (backwards ? count - 1 : 1)) % count;
      Restyle(hwnd, state, look);
      return true;
    case 'Y':
      if (state.yes_no) Choose(state, IDYES);
      return true;
    case 'N':
      if (state.yes_no) Choose(state, IDNO);
      return true;
    default: return false;
  }
}

LRESULT BoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  BoxState* state = StateOf(hwnd);
  if (state == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  BoxLook look = state->look;
  switch (message) {
    case WM_NCHITTEST: {
      LRESULT hit = DefWindowProcW(hwnd, message, wparam, lparam);
      ScreenToClient(hwnd, &at);
      return hit == HTCLIENT && at.y < state->layout.caption.bottom ? HTCAPTION : hit;
    }
    case WM_SETCURSOR:
      SetCursor(LoadSystemCursor(IDC_ARROW));
      return TRUE;
    case WM_PAINT: Paint(hwnd, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT track{};
      track.dwFlags = TME_LEAVE;
      track.hwndTrack = hwnd;
      TrackMouseEvent(&track);
      look.hot = ButtonAt(*state, at);
      Restyle(hwnd, *state, look);
      return 0;
    }
    case WM_MOUSELEAVE:
      look.hot = -1;
      Restyle(hwnd, *state, look);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      look.pressed = ButtonAt(*state, at);
      if (look.pressed >= 0) {
        look.focused = look.pressed;
        SetCapture(hwnd);
      }
      Restyle(hwnd, *state, look);
      return 0;
    case WM_LBUTTONUP: {
      int pressed = look.pressed;
      if (pressed < 0) return 0;
      look.pressed = -1;
      Restyle(hwnd, *state, look);
      ReleaseCapture();
      if (ButtonAt(*state, at) == pressed) Choose(*state, state->layout.buttons[static_cast<std::size_t>(pressed)].id);
      return 0;
    }
    case WM_CAPTURECHANGED:
      look.pressed = -1;
      Restyle(hwnd, *state, look);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (OnKey(hwnd, *state, static_cast<int>(wparam))) return 0;
      break;
    case WM_CLOSE: Choose(*state, state->escape_answer); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool RegisterBoxClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = BoxProc;
    wc.lpszClassName = kBoxClass;
    wc.hCursor = LoadSystemCursor(IDC_ARROW);
    return RegisterClassExW(&wc) != 0;
  }();
  return registered;
}

// Over the owner when it shows, else in the middle of the work area; always inside it.
POINT Placement(HWND owner, SIZE size) {
  MONITORINFO monitor;
  HMONITOR where = owner != nullptr ? MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)
                                    : MonitorFromPoint(POINT{}, MONITOR_DEFAULTTOPRIMARY);
  RECT work{0, 0, size.cx, size.cy};
  if (GetMonitorInfoW(where, &monitor)) work = monitor.rcWork;
  RECT target = work;
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &target);
  LONG x = (target.left + target.right - size.cx) / 2;
  LONG y = (target.top + target.bottom - size.cy) / 2;
  x = std::max(work.left, std::min(x, work.right - size.cx));
  y = std::max(work.top, std::min(y, work.bottom - size.cy));
  return POINT{x, y};
}

int WithoutDisplay(const BoxState& state) {
  std::string line = Utf16ToUtf8(state.caption) + ": " + Utf16ToUtf8(state.text) + "\n";
  std::fputs(line.c_str(), stderr);
  return state.escape_answer;
}

}  // namespace
}  // namespace detail

using namespace detail;

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type) {
  BoxState state;
  state.text = text != nullptr ? text : u"";
  state.caption = caption != nullptr ? caption : u"错误";
  state.icon = IconOfType(type);
  state.yes_no = (type & MB_TYPEMASK) == MB_YESNO;
  state.escape_answer = state.yes_no ? IDNO : (type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDOK;
  if (!InitWindowing() || !RegisterBoxClass()) return WithoutDisplay(state);
  state.layout = LayOutBox(state.caption, state.text, state.icon, ButtonsOfType(type));

  owner = owner != nullptr && IsWindow(owner) ? GetAncestor(owner, GA_ROOT) : nullptr;
  if (owner == GetDesktopWindow()) owner = nullptr;
  const bool disabled_here = owner != nullptr && IsWindowEnabled(owner);
  if (disabled_here) EnableWindow(owner, FALSE);

  POINT at = Placement(owner, state.layout.size);
  HWND box = CreateWindowExW(0, kBoxClass, state.caption.c_str(), WS_POPUP, at.x, at.y,
                             static_cast<int>(state.layout.size.cx), static_cast<int>(state.layout.size.cy), owner,
                             nullptr, nullptr, &state);
  if (box == nullptr) {
    if (disabled_here) EnableWindow(owner, TRUE);
    return WithoutDisplay(state);
  }
  ShowWindow(box, SW_SHOW);

  bool quit = false;
  int quit_code = 0;
  while (state.answer == 0 && IsWindow(box)) {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) == 0) {
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  int answer = state.answer != 0 ? state.answer : state.escape_answer;
  // The owner is enabled before the box goes, so that the activation can return to it.
  if (disabled_here && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(box)) {
    SetWindowLongPtrW(box, GWLP_USERDATA, 0);
    DestroyWindow(box);
  }
  if (owner != nullptr && IsWindowVisible(owner)) SetActiveWindow(owner);
  if (quit) PostQuitMessage(quit_code);  // for the loop that runs this one
  return answer;
}

HWND test::CurrentMessageBox() {
  HWND active = GetActiveWindow();
  char16_t name[32] = {};
  if (active == nullptr || GetClassNameW(active, name, 32) == 0) return nullptr;
  return std::u16string_view(name) == kBoxClass ? active : nullptr;
}

std::u16string test::MessageBoxText(HWND box) {
  char16_t name[32] = {};
  if (GetClassNameW(box, name, 32) == 0 || std::u16string_view(name) != kBoxClass) return {};
  const BoxState* state = StateOf(box);
  return state != nullptr ? state->text : std::u16string();
}

RECT test::MessageBoxButtonRect(HWND box, int id) {
  char16_t name[32] = {};
  if (GetClassNameW(box, name, 32) == 0 || std::u16string_view(name) != kBoxClass) return RECT{};
  const BoxState* state = StateOf(box);
  if (state == nullptr) return RECT{};
  for (const BoxButton& button : state->layout.buttons) {
    if (button.id == id) return button.rect;
  }
  return RECT{};
}

}  // namespace platform
