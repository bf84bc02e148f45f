// DefWindowProcW: what a window does with the messages its procedure leaves alone.
#include <algorithm>

#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/paint.h"
#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {
namespace {

LRESULT StoreText(HWND hwnd, const char16_t* text) {
  std::u16string value = text != nullptr ? text : u"";
  SDL_Window* sdl = nullptr;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return FALSE;
    window->text = value;
    sdl = window->sdl;
  }
  if (sdl != nullptr) video::SetNativeTitle(sdl, value);
  return TRUE;
}

LRESULT CopyText(HWND hwnd, WPARAM capacity, char16_t* buffer) {
  if (buffer == nullptr || capacity == 0) return 0;
  std::u16string text = GetWindowTextString(hwnd);
  std::size_t count = std::min<std::size_t>(text.size(), capacity - 1);
  std::copy_n(text.begin(), count, buffer);
  buffer[count] = 0;
  return static_cast<LRESULT>(count);
}

LRESULT SwapIcon(HWND hwnd, WPARAM which, HICON icon) {
  HICON previous = nullptr;
  HICON big = nullptr, small = nullptr;
  SDL_Window* sdl = nullptr;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return 0;
    HICON& slot = which == ICON_BIG ? window->icon_big : window->icon_small;
    previous = slot;
    slot = icon;
    big = window->icon_big;
    small = window->icon_small;
    sdl = window->sdl;
  }
  // The screen keeps its own copy of the pixels, so the caller may destroy the icon.
  if (sdl != nullptr) video::SetNativeIcons(sdl, big, small);
  return reinterpret_cast<LRESULT>(previous);
}

LRESULT IconOf(HWND hwnd, WPARAM which) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return 0;
  HICON icon = which == ICON_BIG ? window->icon_big : window->icon_small;
  if (icon == nullptr && which == 2) icon = window->icon_small ? window->icon_small : window->icon_big;  // ICON_SMALL2
  return reinterpret_cast<LRESULT>(icon);
}

int CursorForHit(int hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT: return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return IDC_SIZENESW;
    default: return IDC_ARROW;
  }
}

LRESULT SetCursorFor(HWND hwnd, WPARAM wparam, LPARAM lparam) {
  HWND parent = nullptr;
  HCURSOR class_cursor = nullptr;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return FALSE;
    parent = window->parent;
    class_cursor = window->window_class->cursor;
  }
  if (parent != nullptr && SendMessageW(parent, WM_SETCURSOR, wparam, lparam) != 0) return TRUE;
  int hit = static_cast<short>(LOWORD(static_cast<UINT_PTR>(lparam)));
  if (hit == HTCLIENT) {
    if (class_cursor == nullptr) return FALSE;
    SetCursor(class_cursor);
    return TRUE;
  }
  SetCursor(LoadSystemCursor(CursorForHit(hit)));
  return TRUE;
}

void SendMoveAndSize(HWND hwnd, const WINDOWPOS* pos) {
  if (pos == nullptr) return;
  if ((pos->flags & SWP_NOMOVE) == 0) {
    POINT origin{pos->x, pos->y};
    CallWindow(hwnd, WM_MOVE, 0, MAKELONG(static_cast<WORD>(origin.x), static_cast<WORD>(origin.y)));
  }
  if ((pos->flags & SWP_NOSIZE) == 0) {
    WPARAM kind = IsIconic(hwnd) ? SIZE_MINIMIZED : IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED;
    RECT client{};
    GetClientRect(hwnd, &client);
    CallWindow(hwnd, WM_SIZE, kind, MAKELONG(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
  }
}

LRESULT SystemCommand(HWND hwnd, WPARAM command) {
  switch (command & 0xFFF0) {
    case SC_CLOSE: SendMessageW(hwnd, WM_CLOSE, 0, 0); break;
    case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
    case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
    case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
    case SC_MOVE: RunMoveLoop(hwnd); break;
    default: break;
  }
  return 0;
}

}  // namespace
}  // namespace detail

using namespace detail;

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!IsWindow(hwnd)) return 0;
  switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
      return TRUE;
    case WM_NCHITTEST: {
      RECT outer{};
      GetWindowRect(hwnd, &outer);
      POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      return Contains(outer, p) ? HTCLIENT : HTNOWHERE;
    }
    case WM_SETTEXT: return StoreText(hwnd, reinterpret_cast<const char16_t*>(lparam));
    case WM_GETTEXT: return CopyText(hwnd, wparam, reinterpret_cast<char16_t*>(lparam));
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(GetWindowTextString(hwnd).size());
    case WM_SETICON: return SwapIcon(hwnd, wparam, reinterpret_cast<HICON>(lparam));
    case WM_GETICON: return IconOf(hwnd, wparam);
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND: return SystemCommand(hwnd, wparam);
    case WM_NCLBUTTONDOWN:
      if (static_cast<int>(wparam) == HTCAPTION) SendMessageW(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lparam);
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (static_cast<int>(wparam) == HTCAPTION && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MAXIMIZEBOX) != 0) {
        SendMessageW(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lparam);
      }
      return 0;
    case WM_SETCURSOR: return SetCursorFor(hwnd, wparam, lparam);
    case WM_MOUSEACTIVATE: {
      HWND parent = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0 ? GetParent(hwnd) : nullptr;
      if (parent != nullptr) {
        LRESULT answer = SendMessageW(parent, WM_MOUSEACTIVATE, wparam, lparam);
        if (answer != 0) return answer;
      }
      return MA_ACTIVATE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && HIWORD(wparam) == 0) SetFocus(hwnd);
      return 0;
    case WM_WINDOWPOSCHANGED: SendMoveAndSize(hwnd, reinterpret_cast<const WINDOWPOS*>(lparam)); return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (static_cast<int>(wparam) == VK_F4 && (GetKeyState(VK_MENU) & 0x8000) != 0) {
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_CANCELMODE:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    default: return 0;
  }
}

}  // namespace platform
