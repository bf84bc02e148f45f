// Window classes, creation and destruction, and the window's attributes.
#include "platform/ui/window.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/monitor.h"
#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/linux/window_system.h"
#include "platform/ui/windowing.h"

namespace platform {
namespace detail {

// The desktop window is not in the registry: it is the screen itself.
const HWND kDesktop = reinterpret_cast<HWND>(std::intptr_t{0x10010});

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr DWORD kStateBits = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;

std::shared_ptr<const WindowClass> FindClass(const char16_t* name) {
  if (name == nullptr) return nullptr;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  auto it = registry.classes.find(LowerAscii(name));
  return it == registry.classes.end() ? nullptr : it->second;
}

void SubtreePostOrder(Registry& registry, HWND hwnd, std::vector<HWND>& out) {
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return;
  for (HWND child : window->children) SubtreePostOrder(registry, child, out);
  out.push_back(hwnd);
}

std::vector<HWND> Subtree(HWND hwnd, bool parents_first) {
  std::vector<HWND> out;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  SubtreePostOrder(registry, hwnd, out);
  if (parents_first) std::reverse(out.begin(), out.end());
  return out;
}

bool InSubtree(HWND root, HWND hwnd) { return hwnd != nullptr && (hwnd == root || IsChild(root, hwnd)); }

// Takes the window and its children out of every table, and the screen.
void Remove(ThreadState& self, HWND hwnd) {
  for (HWND gone : Subtree(hwnd, false)) {
    std::shared_ptr<Window> window;
    {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      window = registry.FindShared(gone);
      if (!window) continue;
      if (Window* parent = registry.Find(window->parent)) std::erase(parent->children, gone);
      std::erase(self.windows, gone);
      if (window->sdl_id != 0) registry.by_sdl_id.erase(window->sdl_id);
      registry.windows.erase(gone);
    }
    if (window->sdl != nullptr) video::DestroyNativeWindow(window->sdl);
    window->sdl = nullptr;
    KillTimersOf(self, gone);
    DropMessagesFor(self, gone);
    OnWindowGone(self, gone);
    ForgetCaretOf(self, gone);
    ForgetFromActivation(gone);
  }
}

void SendDestroyMessages(HWND hwnd) {
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    std::vector<HWND> all;
    SubtreePostOrder(registry, hwnd, all);
    for (HWND each : all) registry.Find(each)->destroying = true;
  }
  for (HWND each : Subtree(hwnd, true)) CallWindow(each, WM_DESTROY, 0, 0);
  for (HWND each : Subtree(hwnd, false)) CallWindow(each, WM_NCDESTROY, 0, 0);
}

std::vector<HWND> OwnedWindows(HWND owner) {
  std::vector<HWND> owned;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  for (auto& [handle, window] : registry.windows) {
    if (window->owner == owner && !window->destroying) owned.push_back(handle);
  }
  return owned;
}

RECT DefaultPlacement(int x, int y, int width, int height) {
  RECT work{0, 0, 1024, 768};
  MONITORINFO info;
  if (GetMonitorInfoW(MonitorFromPoint(POINT{}, MONITOR_DEFAULTTOPRIMARY), &info)) work = info.rcWork;
  if (x == CW_USEDEFAULT) {
    x = work.left + 32;
    y = work.top + 32;
  }
  if (width == CW_USEDEFAULT) {
    width = kDefaultWidth;
    height = kDefaultHeight;
  }
  return RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
}

}  // namespace

}  // namespace detail

using namespace detail;

ATOM RegisterClassExW(const WNDCLASSEXW* window_class) {
  if (window_class == nullptr || window_class->lpszClassName == nullptr || window_class->lpfnWndProc == nullptr) {
    return 0;
  }
  auto entry = std::make_shared<WindowClass>();
  entry->name = window_class->lpszClassName;
  entry->style = window_class->style;
  entry->proc = window_class->lpfnWndProc;
  entry->cursor = window_class->hCursor;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  auto [it, added] = registry.classes.emplace(LowerAscii(entry->name), entry);
  if (!added) return 0;
  return static_cast<ATOM>(0xC000 + registry.classes.size());
}

BOOL UnregisterClassW(const char16_t* class_name, void* /*instance*/) {
  if (class_name == nullptr) return FALSE;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  auto key = LowerAscii(class_name);
  auto it = registry.classes.find(key);
  if (it == registry.classes.end()) return FALSE;
  for (auto& [handle, window] : registry.windows) {
    if (window->window_class == it->second) return FALSE;  // still in use, as on the platform
  }
  registry.classes.erase(it);
  return TRUE;
}

int GetClassNameW(HWND hwnd, char16_t* buffer, int max_count) {
  if (buffer == nullptr || max_count <= 0) return 0;
  std::u16string name;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return 0;
    name = window->window_class->name;
  }
  int count = std::min<int>(static_cast<int>(name.size()), max_count - 1);
  std::copy_n(name.begin(), count, buffer);
  buffer[count] = 0;
  return count;
}

HWND CreateWindowExW(DWORD ex_style, const char16_t* class_name, const char16_t* window_name, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu, void* instance, void* param) {
  auto window_class = FindClass(class_name);
  if (!window_class) return nullptr;
  auto self = CurrentThreadShared();

  const bool child = (style & WS_CHILD) != 0;
  bool message_only = parent == HWND_MESSAGE;
  HWND owner = nullptr;
  if (child) {
    if (parent == nullptr || !IsOwnWindow(parent)) return nullptr;
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    message_only = registry.Find(parent)->message_only;
  } else if (!message_only && parent != nullptr && parent != kDesktop) {
    owner = RootOf(parent);
    if (owner == nullptr) return nullptr;
  }
  const bool on_screen = !child && !message_only;
  if (on_screen && !InitWindowing()) return nullptr;

  RECT rect = DefaultPlacement(x, y, width, height);
  auto window = std::make_shared<Window>();
  window->thread = self;
  window->window_class = window_class;
  window->proc = window_class->proc;
  window->style = style & ~kStateBits;
  window->ex_style = ex_style;
  window->parent = child ? parent : nullptr;
  window->owner = owner;
  window->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
  window->rect = rect;
  window->restore_rect = rect;
  window->text = window_name != nullptr ? window_name : u"";
  window->message_only = message_only;
  if (on_screen) {
    window->sdl = video::CreateNativeWindow(rect, ex_style, KindOf(style, ex_style, owner != nullptr));
    if (window->sdl == nullptr) return nullptr;
    window->sdl_id = video::NativeId(window->sdl);
    ResizeStore(*window, rect.right - rect.left, rect.bottom - rect.top);
    video::SetNativeTitle(window->sdl, window->text);
  }
  HWND hwnd;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    hwnd = reinterpret_cast<HWND>(registry.next_handle);
    registry.next_handle += 4;  // never reused within a process
    window->handle = hwnd;
    registry.windows[hwnd] = window;
    self->windows.push_back(hwnd);
    if (child) registry.Find(parent)->children.push_back(hwnd);
    if (window->sdl_id != 0) registry.by_sdl_id[window->sdl_id] = hwnd;
  }

  MINMAXINFO limits{};
  limits.ptMaxSize = {rect.right - rect.left, rect.bottom - rect.top};
  limits.ptMaxTrackSize = limits.ptMaxSize;
  CallWindow(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));

  CREATESTRUCTW create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = child ? parent : owner;
  create.x = rect.left;
  create.y = rect.top;
  create.cx = rect.right - rect.left;
  create.cy = rect.bottom - rect.top;
  create.style = static_cast<LONG>(style);
  create.lpszName = window_name;
  create.lpszClass = class_name;
  create.dwExStyle = ex_style;
  if (CallWindow(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == FALSE) {
    {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      if (Window* w = registry.Find(hwnd)) w->destroying = true;
    }
    CallWindow(hwnd, WM_NCDESTROY, 0, 0);
    Remove(*self, hwnd);
    return nullptr;
  }
  if (CallWindow(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;  // it destroyed itself while being created

  RECT now{};
  GetClientRect(hwnd, &now);
  CallWindow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELONG(static_cast<WORD>(now.right), static_cast<WORD>(now.bottom)));
  {
    RECT placed{};
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    if (Window* w = registry.Find(hwnd)) placed = w->rect;
    now = placed;
  }
  CallWindow(hwnd, WM_MOVE, 0, MAKELONG(static_cast<WORD>(now.left), static_cast<WORD>(now.top)));
  if ((style & WS_VISIBLE) != 0 && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window->destroying) return FALSE;  // already on its way
  }
  ThreadState& self = CurrentThread();
  for (HWND owned : OwnedWindows(hwnd)) DestroyWindow(owned);
  if (!IsWindow(hwnd)) return TRUE;

  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    registry.Find(hwnd)->destroying = true;
  }
  if (IsWindowVisible(hwnd)) {
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (self.active != nullptr && InSubtree(hwnd, self.active)) ActivateWindow(NextActiveCandidate(hwnd), WA_ACTIVE, true);
  if (InSubtree(hwnd, self.capture)) ReleaseCapture();
  if (InSubtree(hwnd, self.focus)) SetFocus(nullptr);

  SendDestroyMessages(hwnd);
  Remove(self, hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (hwnd == nullptr) return FALSE;
  if (hwnd == kDesktop) return TRUE;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  return registry.Find(hwnd) != nullptr ? TRUE : FALSE;
}

HWND GetDesktopWindow() { return kDesktop; }

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (rect == nullptr) return FALSE;
  if (hwnd == kDesktop) {
    MONITORINFO info;
    if (!GetMonitorInfoW(MonitorFromPoint(POINT{}, MONITOR_DEFAULTTOPRIMARY), &info)) return FALSE;
    *rect = info.rcMonitor;
    return TRUE;
  }
  RECT local{};
  HWND parent = nullptr;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return FALSE;
    local = window->rect;
    parent = window->parent;
  }
  POINT origin = parent != nullptr ? ClientOriginOnScreen(parent) : POINT{};
  *rect = RECT{local.left + origin.x, local.top + origin.y, local.right + origin.x, local.bottom + origin.y};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (rect == nullptr) return FALSE;
  RECT outer{};
  if (!GetWindowRect(hwnd, &outer)) return FALSE;
  *rect = RECT{0, 0, outer.right - outer.left, outer.bottom - outer.top};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  if (point == nullptr || !IsWindow(hwnd)) return FALSE;
  if (hwnd == kDesktop) return TRUE;
  POINT origin = ClientOriginOnScreen(hwnd);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  if (point == nullptr || !IsWindow(hwnd)) return FALSE;
  if (hwnd == kDesktop) return TRUE;
  POINT origin = ClientOriginOnScreen(hwnd);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a = from != nullptr && from != kDesktop ? ClientOriginOnScreen(from) : POINT{};
  POINT b = to != nullptr && to != kDesktop ? ClientOriginOnScreen(to) : POINT{};
  int dx = a.x - b.x;
  int dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(window->ex_style);
    case GWLP_USERDATA: return window->user_data;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_ID: return window->id;
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(window->parent ? window->parent : window->owner);
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  if (index == GWL_STYLE || index == GWL_EXSTYLE) {
    if (!IsOwnWindow(hwnd)) return 0;
    STYLESTRUCT change{};
    change.styleOld = static_cast<DWORD>(GetWindowLongPtrW(hwnd, index));
    change.styleNew = static_cast<DWORD>(value);
    if (index == GWL_STYLE) change.styleNew = (change.styleNew & ~kStateBits) | (change.styleOld & kStateBits);
    CallWindow(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
    {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      Window* window = registry.Find(hwnd);
      if (window == nullptr) return 0;
      if (index == GWL_STYLE) {
        window->style = (change.styleNew & ~kStateBits) | (window->style & kStateBits);
      } else {
        window->ex_style = change.styleNew;
      }
    }
    CallWindow(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
    if (IsWindowVisible(hwnd)) RefreshRoles(hwnd);
    return static_cast<LONG_PTR>(change.styleOld);
  }
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_USERDATA:
      previous = window->user_data;
      window->user_data = value;
      break;
    case GWLP_WNDPROC:
      if (value == 0) return 0;
      previous = reinterpret_cast<LONG_PTR>(window->proc);
      window->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_ID:
      previous = window->id;
      window->id = value;
      break;
    default: return 0;
  }
  return previous;
}

HWND GetParent(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return nullptr;
  if ((window->style & WS_CHILD) != 0) return window->parent;
  return (window->style & WS_POPUP) != 0 ? window->owner : nullptr;
}

HWND GetWindow(HWND hwnd, UINT command) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return nullptr;
  if (command == GW_OWNER) return window->owner;
  if (command == GW_CHILD) return window->children.empty() ? nullptr : window->children.back();
  Window* parent = registry.Find(window->parent);
  if (parent == nullptr) return nullptr;
  // Sibling order is the platform's: first is the top of the z-order.
  const auto& siblings = parent->children;
  auto it = std::find(siblings.begin(), siblings.end(), hwnd);
  switch (command) {
    case GW_HWNDFIRST: return siblings.back();
    case GW_HWNDLAST: return siblings.front();
    case GW_HWNDNEXT: return it == siblings.begin() ? nullptr : *std::prev(it);
    case GW_HWNDPREV: return std::next(it) == siblings.end() ? nullptr : *std::next(it);
    default: return nullptr;
  }
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  if (!IsWindow(hwnd) || hwnd == kDesktop) return nullptr;
  if (flags == GA_PARENT) {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    return window->parent != nullptr ? window->parent : kDesktop;
  }
  HWND root = RootOf(hwnd);
  if (flags == GA_ROOTOWNER) {
    for (HWND owner = GetWindow(root, GW_OWNER); owner != nullptr; owner = GetWindow(root, GW_OWNER)) root = owner;
  }
  return root;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  while (window != nullptr && window->parent != nullptr) {
    if (window->parent == parent) return TRUE;
    window = registry.Find(window->parent);
  }
  return FALSE;
}

BOOL SetWindowTextW(HWND hwnd, const char16_t* text) {
  if (!IsWindow(hwnd) || hwnd == kDesktop) return FALSE;
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : u"")) != 0 ? TRUE
                                                                                                         : FALSE;
}

int GetWindowTextW(HWND hwnd, char16_t* buffer, int max_count) {
  if (buffer == nullptr || max_count <= 0) return 0;
  buffer[0] = 0;
  if (IsOwnWindow(hwnd)) {
    return static_cast<int>(CallWindow(hwnd, WM_GETTEXT, static_cast<WPARAM>(max_count),
                                       reinterpret_cast<LPARAM>(buffer)));
  }
  // Another thread's window: its stored text, without a message (as on the platform).
  std::u16string text = GetWindowTextString(hwnd);
  int count = std::min<int>(static_cast<int>(text.size()), max_count - 1);
  std::copy_n(text.begin(), count, buffer);
  buffer[count] = 0;
  return count;
}

int GetWindowTextLengthW(HWND hwnd) {
  if (IsOwnWindow(hwnd)) return static_cast<int>(CallWindow(hwnd, WM_GETTEXTLENGTH, 0, 0));
  return static_cast<int>(GetWindowTextString(hwnd).size());
}

std::u16string GetWindowTextString(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  return window == nullptr ? std::u16string() : window->text;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return proc == nullptr ? 0 : proc(hwnd, message, wparam, lparam);
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF /*key*/, BYTE alpha, DWORD flags) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  if ((flags & LWA_ALPHA) == 0) return TRUE;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  window->alpha = alpha;
  if (window->sdl != nullptr) video::SetNativeOpacity(window->sdl, alpha);
  return TRUE;
}

DWORD GetCurrentThreadId() { return CurrentThread().id; }

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id) {
  if (process_id != nullptr) *process_id = 1;
  auto thread = ThreadOfWindow(hwnd);
  return thread ? thread->id : 0;
}

}  // namespace platform
