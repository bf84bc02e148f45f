#include "platform/ui/message_queue.h"

#include <algorithm>

#include "platform/ui/caret.h"
#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/linux/window_system.h"

namespace platform {

struct SendCancellation::Waiters {
  std::atomic<bool> cancelled{false};
  std::mutex mutex;
  std::vector<std::weak_ptr<detail::ThreadState>> threads;  // guarded by mutex
};

namespace detail {
namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(std::intptr_t{-1});

bool InRange(UINT message, UINT min, UINT max) {
  if (min == 0 && max == 0) return true;
  return message >= min && message <= max;
}

// Caller holds the registry mutex.
bool IsSameOrChild(Registry& registry, HWND filter, HWND hwnd) {
  for (Window* window = registry.Find(hwnd); window != nullptr;
       window = window->parent ? registry.Find(window->parent) : nullptr) {
    if (window->handle == filter) return true;
  }
  return false;
}

bool MatchesWindow(HWND filter, HWND hwnd) {
  if (filter == nullptr) return true;
  if (filter == kThreadMessagesOnly) return hwnd == nullptr;
  if (hwnd == nullptr) return false;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  return IsSameOrChild(registry, filter, hwnd);
}

void Complete(SentMessage& sent, LRESULT result, bool receiver_gone) {
  {
    std::lock_guard lock(sent.sender->mutex);
    sent.done = true;
    sent.result = result;
    sent.receiver_gone = receiver_gone;
  }
  sent.sender->wakeup.notify_all();  // the sender stays alive: `sent` holds it
}

std::optional<MSG> TakePosted(ThreadState& self, HWND filter, UINT min, UINT max, bool remove) {
  auto& registry = Registry::Get();
  std::lock_guard registry_lock(registry.mutex);
  std::lock_guard lock(self.mutex);
  for (auto it = self.posted.begin(); it != self.posted.end();) {
    const MSG& msg = *it;
    if (msg.hwnd != nullptr && registry.Find(msg.hwnd) == nullptr) {
      it = self.posted.erase(it);  // its window is gone: dropped
      continue;
    }
    bool window_matches = filter == nullptr || (filter == kThreadMessagesOnly ? msg.hwnd == nullptr
                                                : msg.hwnd != nullptr && IsSameOrChild(registry, filter, msg.hwnd));
    if (window_matches && InRange(msg.message, min, max)) {
      MSG found = msg;
      if (remove) self.posted.erase(it);
      return found;
    }
    ++it;
  }
  return std::nullopt;
}

enum class InputOutcome { kNone, kDropped, kMessage };

// Resolves the front item of raw input. A dropped item may have posted messages
// (WM_MOUSELEAVE), so the caller looks at the posted queue again before the next one.
InputOutcome TakeInput(ThreadState& self, HWND filter, UINT min, UINT max, bool remove, MSG* out) {
  RawInput item;
  {
    std::lock_guard lock(self.mutex);
    if (self.input.empty()) return InputOutcome::kNone;
    item = std::move(self.input.front());
    self.input.pop_front();
  }
  if (!item.resolved) {
    item.resolved = ResolveInput(self, item);
    if (!item.resolved) return InputOutcome::kDropped;  // no window takes it
  }
  *out = *item.resolved;
  bool matches = MatchesWindow(filter, out->hwnd) && InRange(out->message, min, max);
  if (!matches || !remove) {
    std::lock_guard lock(self.mutex);
    self.input.push_front(std::move(item));
    if (!matches) return InputOutcome::kNone;  // input keeps its order: nothing behind it jumps ahead
  }
  return InputOutcome::kMessage;
}

std::optional<MSG> TakePaint(ThreadState& self, HWND filter, UINT min, UINT max) {
  if (!InRange(WM_PAINT, min, max) || filter == kThreadMessagesOnly) return std::nullopt;
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  for (HWND hwnd : self.windows) {
    Window* window = registry.Find(hwnd);
    if (window == nullptr || !window->has_update || window->destroying) continue;
    bool visible = true;
    for (Window* w = window; w != nullptr; w = w->parent ? registry.Find(w->parent) : nullptr) {
      visible = visible && (w->style & WS_VISIBLE) != 0 && (w->style & WS_MINIMIZE) == 0;
    }
    if (!visible) continue;
    if (filter != nullptr && !IsSameOrChild(registry, filter, hwnd)) continue;
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = WM_PAINT;
    return msg;
  }
  return std::nullopt;
}

void Stamp(ThreadState& self, MSG& msg) {
  if (msg.time == 0) msg.time = TickNow();
  if (msg.message < WM_MOUSEFIRST || msg.message > WM_MOUSELAST) {
    POINT cursor{};
    GetCursorPos(&cursor);
    if (msg.pt.x == 0 && msg.pt.y == 0) msg.pt = cursor;
  }
  self.last_message = msg;
}

// One pass over every source of messages, in the platform's order.
std::optional<MSG> Retrieve(ThreadState& self, HWND filter, UINT min, UINT max, bool remove) {
  DeliverIncomingSends(self);
  if (self.is_windowing_thread) {
    video::PumpEvents(self);
    ToggleCaretIfDue(self);
    DeliverIncomingSends(self);
  }
  for (;;) {
    if (auto msg = TakePosted(self, filter, min, max, remove)) return msg;
    MSG input{};
    InputOutcome outcome = TakeInput(self, filter, min, max, remove, &input);
    if (outcome == InputOutcome::kMessage) return input;
    if (outcome == InputOutcome::kNone) break;
  }
  {
    std::lock_guard lock(self.mutex);
    if (self.quit) {
      MSG quit{};
      quit.message = WM_QUIT;
      quit.wParam = static_cast<WPARAM>(self.quit_code);
      if (remove) self.quit = false;
      return quit;
    }
  }
  if (auto msg = TakePaint(self, filter, min, max)) return msg;
  return TakeDueTimer(self, filter, min, max, remove);
}

int MillisecondsUntil(std::optional<Clock::time_point> when) {
  if (!when) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left + 1, 0, 0x7FFFFFFF));
}

// Blocks until something may have arrived for this thread.
void WaitForWork(ThreadState& self) {
  auto due = NextTimerDue(self);
  if (auto caret = CaretToggleDue(self); caret && (!due || *caret < *due)) due = caret;
  int timeout = MillisecondsUntil(due);
  std::unique_lock lock(self.mutex);
  // Only what arrived since the last look counts: messages already queued that the
  // caller's filter passes over must not make the wait spin.
  if (self.wake || !self.sent.empty()) {
    self.wake = false;
    return;
  }
  if (self.is_windowing_thread && video::HasEventSource()) {
    self.in_video_wait = true;
    lock.unlock();
    video::WaitForEvents(timeout);
    lock.lock();
    self.in_video_wait = false;
  } else if (timeout < 0) {
    self.wakeup.wait(lock, [&] { return self.wake || !self.sent.empty(); });
  } else {
    self.wakeup.wait_for(lock, std::chrono::milliseconds(timeout), [&] { return self.wake || !self.sent.empty(); });
  }
  self.wake = false;
}

bool IsValidFilter(HWND filter) {
  return filter == nullptr || filter == kThreadMessagesOnly || IsOwnWindow(filter);
}

std::u16string TextOfKey(ThreadState& self, const MSG& msg) {
  auto it = self.key_texts.find(msg.lPrivate);
  if (it != self.key_texts.end()) {
    std::u16string text = std::move(it->second);
    self.key_texts.erase(it);
    return text;
  }
  bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  bool alt = msg.message == WM_SYSKEYDOWN;
  int key = static_cast<int>(msg.wParam);
  switch (key) {
    case VK_BACK: return u"\b";
    case VK_TAB: return u"\t";
    case VK_RETURN: return ctrl ? u"\n" : u"\r";
    case VK_ESCAPE: return u"\x1b";
    default: break;
  }
  if (key >= 'A' && key <= 'Z') {
    if (ctrl && !alt) return std::u16string(1, static_cast<char16_t>(key - 'A' + 1));
    if (alt && !ctrl) {
      bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      return std::u16string(1, static_cast<char16_t>(shift ? key : key - 'A' + 'a'));
    }
  }
  return {};
}

}  // namespace

bool DeliverIncomingSends(ThreadState& self) {
  bool delivered = false;
  for (;;) {
    std::shared_ptr<SentMessage> sent;
    {
      std::lock_guard lock(self.mutex);
      if (self.sent.empty()) break;
      sent = std::move(self.sent.front());
      self.sent.pop_front();
    }
    if (sent->cancellation && sent->cancellation->cancelled.load()) {
      Complete(*sent, 0, false);  // abandoned before it began: never delivered
      continue;
    }
    LRESULT result = 0;
    if (IsOwnWindow(sent->hwnd)) {
      ++self.incoming_send_depth;
      result = CallWindow(sent->hwnd, sent->message, sent->wparam, sent->lparam);
      --self.incoming_send_depth;
    }
    Complete(*sent, result, false);
    delivered = true;
  }
  return delivered;
}

void DropMessagesFor(ThreadState& thread, HWND hwnd) {
  std::lock_guard lock(thread.mutex);
  std::erase_if(thread.posted, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
}

namespace {

SendStatus Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                const std::shared_ptr<SendCancellation::Waiters>& cancellation, LRESULT* result) {
  *result = 0;
  if (cancellation && cancellation->cancelled.load()) return SendStatus::kCancelled;
  auto self = CurrentThreadShared();
  auto receiver = ThreadOfWindow(hwnd);
  if (!receiver) return SendStatus::kNoWindow;
  if (receiver == self) {
    *result = CallWindow(hwnd, message, wparam, lparam);
    return SendStatus::kDelivered;
  }

  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hwnd;
  sent->message = message;
  sent->wparam = wparam;
  sent->lparam = lparam;
  sent->sender = self;
  sent->cancellation = cancellation;
  {
    std::lock_guard lock(receiver->mutex);
    if (!receiver->alive) return SendStatus::kReceiverGone;
    receiver->sent.push_back(sent);
  }
  receiver->Wake();

  if (cancellation) {
    std::lock_guard lock(cancellation->mutex);
    cancellation->threads.push_back(self);
  }
  bool cancelled = false;
  {
    std::unique_lock lock(self->mutex);
    for (;;) {
      if (sent->done) break;
      if (cancellation && cancellation->cancelled.load()) {
        cancelled = true;
        break;
      }
      if (!self->sent.empty()) {  // someone sends to us meanwhile: answer it, or both would wait
        lock.unlock();
        DeliverIncomingSends(*self);
        lock.lock();
        continue;
      }
      self->wakeup.wait(lock);
    }
  }
  if (cancellation) {
    std::lock_guard lock(cancellation->mutex);
    auto& threads = cancellation->threads;
    auto it = std::find_if(threads.begin(), threads.end(), [&](const auto& weak) { return weak.lock() == self; });
    if (it != threads.end()) threads.erase(it);
  }
  if (cancelled) return SendStatus::kCancelled;
  std::lock_guard lock(self->mutex);
  if (sent->receiver_gone) return SendStatus::kReceiverGone;
  *result = sent->result;
  return SendStatus::kDelivered;
}

}  // namespace
}  // namespace detail

using namespace detail;

SendCancellation::SendCancellation() : waiters_(std::make_shared<Waiters>()) {}
SendCancellation::~SendCancellation() = default;

void SendCancellation::Cancel() {
  waiters_->cancelled.store(true);
  std::vector<std::shared_ptr<ThreadState>> threads;
  {
    std::lock_guard lock(waiters_->mutex);
    for (auto& weak : waiters_->threads) {
      if (auto thread = weak.lock()) threads.push_back(std::move(thread));
    }
  }
  for (auto& thread : threads) {
    std::lock_guard lock(thread->mutex);
    thread->wakeup.notify_all();
  }
}

bool SendCancellation::IsCancelled() const { return waiters_->cancelled.load(); }

SendStatus SendMessageCancellable(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                  const SendCancellation& cancellation, LRESULT* result) {
  LRESULT ignored = 0;
  return Send(hwnd, message, wparam, lparam, cancellation.waiters_, result != nullptr ? result : &ignored);
}

SendStatus SendMessageCancellable(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, std::stop_token abandoned,
                                  LRESULT* result) {
  SendCancellation cancellation;
  std::stop_callback on_stop(abandoned, [&cancellation] { cancellation.Cancel(); });
  return SendMessageCancellable(hwnd, message, wparam, lparam, cancellation, result);
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  Send(hwnd, message, wparam, lparam, nullptr, &result);
  return result;
}

BOOL InSendMessage() { return CurrentThread().incoming_send_depth > 0 ? TRUE : FALSE; }

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<ThreadState> thread = hwnd == nullptr ? CurrentThreadShared() : ThreadOfWindow(hwnd);
  if (!thread) return FALSE;
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wparam;
  msg.lParam = lparam;
  msg.time = TickNow();
  {
    std::lock_guard lock(thread->mutex);
    if (!thread->alive) return FALSE;
    thread->posted.push_back(msg);
  }
  thread->Wake();
  return TRUE;
}

BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<ThreadState> thread;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    auto it = registry.threads.find(thread_id);
    if (it != registry.threads.end()) thread = it->second.lock();
  }
  if (!thread) return FALSE;
  MSG msg{};
  msg.message = message;
  msg.wParam = wparam;
  msg.lParam = lparam;
  msg.time = TickNow();
  {
    std::lock_guard lock(thread->mutex);
    if (!thread->alive) return FALSE;
    thread->posted.push_back(msg);
  }
  thread->Wake();
  return TRUE;
}

void PostQuitMessage(int exit_code) {
  ThreadState& self = CurrentThread();
  std::lock_guard lock(self.mutex);
  self.quit = true;
  self.quit_code = exit_code;
  self.wake = true;
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max) {
  if (msg == nullptr || !IsValidFilter(hwnd)) return -1;
  ThreadState& self = CurrentThread();
  for (;;) {
    if (auto found = Retrieve(self, hwnd, filter_min, filter_max, true)) {
      Stamp(self, *found);
      *msg = *found;
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    WaitForWork(self);
  }
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove_flags) {
  if (msg == nullptr || !IsValidFilter(hwnd)) return FALSE;
  ThreadState& self = CurrentThread();
  auto found = Retrieve(self, hwnd, filter_min, filter_max, (remove_flags & PM_REMOVE) != 0);
  if (!found) return FALSE;
  if ((remove_flags & PM_REMOVE) != 0) Stamp(self, *found);
  *msg = *found;
  return TRUE;
}

BOOL WaitMessage() {
  ThreadState& self = CurrentThread();
  if (Retrieve(self, nullptr, 0, 0, false)) return TRUE;
  WaitForWork(self);
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  ThreadState& self = CurrentThread();
  std::u16string text = TextOfKey(self, *msg);
  if (text.empty()) return FALSE;
  UINT char_message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  std::lock_guard lock(self.mutex);
  for (char16_t unit : text) {
    MSG character = *msg;
    character.message = char_message;
    character.wParam = unit;
    character.lPrivate = 0;
    self.posted.push_back(character);
  }
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr) return 0;
  ThreadState& self = CurrentThread();
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // Only a procedure this thread registered for that timer is ever called.
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    bool registered = std::any_of(self.timers.begin(), self.timers.end(), [&](const Timer& timer) {
      return timer.hwnd == msg->hwnd && timer.id == msg->wParam && timer.proc == proc;
    });
    if (registered) proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  if (msg->hwnd == nullptr || !IsOwnWindow(msg->hwnd)) return 0;
  return CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

DWORD GetTickCount() { return TickNow(); }
DWORD GetMessageTime() { return CurrentThread().last_message.time; }
DWORD GetMessagePos() {
  const POINT& pt = CurrentThread().last_message.pt;
  return static_cast<DWORD>(MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
}

}  // namespace platform
