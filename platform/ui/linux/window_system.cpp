#include "platform/ui/linux/window_system.h"

#include <algorithm>

#include "platform/ui/linux/sdl_video.h"

namespace platform::detail {
namespace {

// Ends a thread's part in the window layer when the thread exits: its windows go
// away without messages (their procedures may belong to objects already destroyed),
// and senders still waiting for it are released.
struct ThreadExitGuard {
  std::shared_ptr<ThreadState> state;

  ~ThreadExitGuard() {
    if (!state) return;
    std::vector<std::shared_ptr<Window>> gone;
    {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      for (HWND hwnd : state->windows) {
        auto it = registry.windows.find(hwnd);
        if (it == registry.windows.end()) continue;
        gone.push_back(it->second);
        if (it->second->sdl_id != 0) registry.by_sdl_id.erase(it->second->sdl_id);
        registry.windows.erase(it);
      }
      state->windows.clear();
      registry.threads.erase(state->id);
    }
    for (auto& window : gone) {
      if (window->sdl != nullptr) video::DestroyNativeWindow(window->sdl);
      window->sdl = nullptr;
      window->thread.reset();
    }
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
      std::lock_guard lock(state->mutex);
      state->alive = false;
      unanswered.swap(state->sent);
      state->posted.clear();
      state->input.clear();
    }
    for (auto& sent : unanswered) {
      std::lock_guard lock(sent->sender->mutex);
      sent->done = true;
      sent->receiver_gone = true;
      sent->sender->wakeup.notify_all();
    }
  }
};

thread_local ThreadExitGuard t_thread;

}  // namespace

void ThreadState::Wake() {
  bool in_video;
  {
    std::lock_guard lock(mutex);
    wake = true;
    in_video = in_video_wait;
  }
  // Notified after unlocking, so that the woken thread does not block on the mutex at once.
  wakeup.notify_all();
  if (in_video) video::PushWakeup();
}

Registry& Registry::Get() {
  static Registry registry;
  return registry;
}

Window* Registry::Find(HWND hwnd) {
  auto it = windows.find(hwnd);
  return it == windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<Window> Registry::FindShared(HWND hwnd) {
  auto it = windows.find(hwnd);
  return it == windows.end() ? nullptr : it->second;
}

std::shared_ptr<ThreadState> CurrentThreadShared() {
  if (!t_thread.state) {
    auto state = std::make_shared<ThreadState>();
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    state->id = registry.next_thread_id++;
    registry.threads[state->id] = state;
    t_thread.state = std::move(state);
  }
  return t_thread.state;
}

ThreadState& CurrentThread() { return *CurrentThreadShared(); }

std::shared_ptr<ThreadState> ThreadOfWindow(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  return window == nullptr ? nullptr : window->thread;
}

bool IsOwnWindow(HWND hwnd) {
  auto thread = ThreadOfWindow(hwnd);
  return thread != nullptr && thread.get() == &CurrentThread();
}

LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc = nullptr;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    if (Window* window = registry.Find(hwnd)) proc = window->proc;
  }
  if (proc == nullptr) return 0;
  return proc(hwnd, message, wparam, lparam);
}

HWND RootOf(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  while (window != nullptr && window->parent != nullptr) {
    Window* parent = registry.Find(window->parent);
    if (parent == nullptr) break;
    window = parent;
  }
  return window == nullptr ? nullptr : window->handle;
}

bool AcceptsInput(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return false;
  for (; window != nullptr; window = window->parent ? registry.Find(window->parent) : nullptr) {
    if ((window->style & WS_DISABLED) != 0 || (window->style & WS_VISIBLE) == 0 || window->destroying) return false;
  }
  return true;
}

POINT ClientOriginOnScreen(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  POINT origin{};
  for (Window* window = registry.Find(hwnd); window != nullptr;
       window = window->parent ? registry.Find(window->parent) : nullptr) {
    origin.x += window->rect.left;
    origin.y += window->rect.top;
  }
  return origin;
}

HWND ChildFromScreenPoint(HWND top, POINT screen) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(top);
  if (window == nullptr) return nullptr;
  POINT local{screen.x - window->rect.left, screen.y - window->rect.top};
  for (;;) {
    Window* hit = nullptr;
    for (auto it = window->children.rbegin(); it != window->children.rend(); ++it) {
      Window* child = registry.Find(*it);
      if (child != nullptr && (child->style & WS_VISIBLE) != 0 && Contains(child->rect, local)) {
        hit = child;
        break;
      }
    }
    if (hit == nullptr) return window->handle;
    local.x -= hit->rect.left;
    local.y -= hit->rect.top;
    window = hit;
  }
}

DWORD TickNow() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(Clock::now().time_since_epoch()).count());
}

bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return RectEmpty(r) ? RECT{} : r;
}

RECT Union(const RECT& a, const RECT& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

RECT Offset(const RECT& r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower;
}

}  // namespace platform::detail
