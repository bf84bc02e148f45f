// The thread's message queue is the platform's own. What the layer adds is the send
// that its sender may abandon (send_relay.h).
#include "platform/ui/message_queue.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/base/win32/handle.h"
#include "platform/ui/win32/send_relay.h"

namespace platform {

struct SendCancellation::Waiters {
  std::atomic<bool> cancelled{false};
  // Manual reset: once cancelled, every wait on it ends at once.
  win32::UniqueHandle event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace win32 {
namespace {

constexpr wchar_t kRelayClass[] = L"KrdnSendRelay";
constexpr UINT kRelayMessage = WM_APP + 0x3F00;

// One send in flight. The sender and the relay share it: an abandoned sender leaves,
// and the relay finds the delivery as it was left.
struct Delivery {
  enum State : int { kQueued, kRunning, kDone, kAbandoned };
  HWND target = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  std::atomic<int> state{kQueued};
  bool no_window = false;
  LRESULT result = 0;
  UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

using DeliveryRef = std::shared_ptr<Delivery>;

LRESULT CALLBACK RelayProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kRelayMessage) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  std::unique_ptr<DeliveryRef> holder(reinterpret_cast<DeliveryRef*>(lparam));
  Delivery& delivery = **holder;
  int expected = Delivery::kQueued;
  // Abandoned before it began: never delivered.
  if (!delivery.state.compare_exchange_strong(expected, Delivery::kRunning)) return 0;
  if (::IsWindow(delivery.target)) {
    delivery.result = ::SendMessageW(delivery.target, delivery.message, delivery.wparam, delivery.lparam);
  } else {
    delivery.no_window = true;
  }
  delivery.state.store(Delivery::kDone);
  ::SetEvent(delivery.done.get());
  return 0;
}

struct RelayTable {
  std::mutex mutex;
  std::unordered_map<DWORD, HWND> relays;  // by thread id
};
RelayTable& Relays() {
  static RelayTable table;
  return table;
}

// The calling thread's relay; the entry goes with the thread.
struct ThreadRelay {
  HWND hwnd = nullptr;
  ~ThreadRelay() {
    if (!hwnd) return;
    std::lock_guard lock(Relays().mutex);
    Relays().relays.erase(::GetCurrentThreadId());
  }
};
thread_local ThreadRelay this_thread_relay;

ATOM RegisterRelayClass() {
  WNDCLASSEXW relay_class{};
  relay_class.cbSize = sizeof(relay_class);
  relay_class.lpfnWndProc = &RelayProc;
  relay_class.hInstance = ::GetModuleHandleW(nullptr);
  relay_class.lpszClassName = kRelayClass;
  return ::RegisterClassExW(&relay_class);
}

void Abandon(Delivery& delivery) {
  int expected = Delivery::kQueued;
  delivery.state.compare_exchange_strong(expected, Delivery::kAbandoned);
}

SendStatus Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                const std::shared_ptr<SendCancellation::Waiters>& cancellation, LRESULT* result) {
  *result = 0;
  if (cancellation->cancelled.load()) return SendStatus::kCancelled;
  const DWORD receiver = ::GetWindowThreadProcessId(hwnd, nullptr);
  if (receiver == 0) return SendStatus::kNoWindow;
  const HWND relay = SendRelayOfWindow(hwnd);
  if (receiver == ::GetCurrentThreadId() || relay == nullptr) {
    // The window's own thread calls it directly. A thread that made its windows past
    // this layer has no relay: an ordinary send, which cannot be abandoned.
    *result = ::SendMessageW(hwnd, message, wparam, lparam);
    return SendStatus::kDelivered;
  }

  UniqueHandle receiver_thread(::OpenThread(SYNCHRONIZE, FALSE, receiver));
  auto delivery = std::make_shared<Delivery>();
  delivery->target = hwnd;
  delivery->message = message;
  delivery->wparam = wparam;
  delivery->lparam = lparam;
  if (!delivery->done) return SendStatus::kReceiverGone;
  auto holder = std::make_unique<DeliveryRef>(delivery);
  if (!::SendNotifyMessageW(relay, kRelayMessage, 0, reinterpret_cast<LPARAM>(holder.get()))) {
    return ::IsWindow(hwnd) ? SendStatus::kReceiverGone : SendStatus::kNoWindow;
  }
  holder.release();  // the relay owns it now

  HANDLE waits[3] = {delivery->done.get(), cancellation->event.get(), receiver_thread.get()};
  const DWORD count = receiver_thread ? 3 : 2;
  for (;;) {
    const DWORD woken = ::MsgWaitForMultipleObjects(count, waits, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) {
      if (delivery->no_window) return SendStatus::kNoWindow;
      *result = delivery->result;
      return SendStatus::kDelivered;
    }
    if (woken == WAIT_OBJECT_0 + 1) {
      Abandon(*delivery);
      return SendStatus::kCancelled;
    }
    if (woken == WAIT_OBJECT_0 + count) {
      // Someone sends to this thread meanwhile: answer it, or both would wait.
      MSG incoming;
      ::PeekMessageW(&incoming, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    // The receiving thread ended (or the wait failed) before the answer came.
    Abandon(*delivery);
    if (delivery->state.load() == Delivery::kDone) {
      *result = delivery->result;
      return SendStatus::kDelivered;
    }
    return SendStatus::kReceiverGone;
  }
}

}  // namespace

void EnsureSendRelay() {
  if (this_thread_relay.hwnd && ::IsWindow(this_thread_relay.hwnd)) return;
  static const ATOM relay_class = RegisterRelayClass();
  if (!relay_class) return;
  HWND relay = ::CreateWindowExW(0, kRelayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  if (!relay) return;
  this_thread_relay.hwnd = relay;
  std::lock_guard lock(Relays().mutex);
  Relays().relays[::GetCurrentThreadId()] = relay;
}

HWND SendRelayOfWindow(HWND hwnd) {
  const DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
  if (thread == 0) return nullptr;
  HWND relay = nullptr;
  {
    std::lock_guard lock(Relays().mutex);
    auto it = Relays().relays.find(thread);
    if (it != Relays().relays.end()) relay = it->second;
  }
  // A thread id may be reused: the relay must still belong to that thread.
  if (!relay || ::GetWindowThreadProcessId(relay, nullptr) != thread) return nullptr;
  return relay;
}

}  // namespace win32

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max) {
  return ::GetMessageW(msg, hwnd, filter_min, filter_max);
}
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove_flags) {
  return ::PeekMessageW(msg, hwnd, filter_min, filter_max, remove_flags);
}
BOOL WaitMessage() { return ::WaitMessage(); }
BOOL TranslateMessage(const MSG* msg) { return ::TranslateMessage(msg); }
LRESULT DispatchMessageW(const MSG* msg) { return ::DispatchMessageW(msg); }

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::PostMessageW(hwnd, message, wparam, lparam);
}
BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::PostThreadMessageW(thread_id, message, wparam, lparam);
}
void PostQuitMessage(int exit_code) { ::PostQuitMessage(exit_code); }

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::SendMessageW(hwnd, message, wparam, lparam);
}
BOOL InSendMessage() { return ::InSendMessage(); }

DWORD GetTickCount() { return ::GetTickCount(); }
DWORD GetMessageTime() { return static_cast<DWORD>(::GetMessageTime()); }
DWORD GetMessagePos() { return ::GetMessagePos(); }

SendCancellation::SendCancellation() : waiters_(std::make_shared<Waiters>()) {}
SendCancellation::~SendCancellation() = default;

void SendCancellation::Cancel() {
  waiters_->cancelled.store(true);
  ::SetEvent(waiters_->event.get());
}

bool SendCancellation::IsCancelled() const { return waiters_->cancelled.load(); }

SendStatus SendMessageCancellable(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                  const SendCancellation& cancellation, LRESULT* result) {
  LRESULT ignored = 0;
  return win32::Send(hwnd, message, wparam, lparam, cancellation.waiters_, result != nullptr ? result : &ignored);
}

SendStatus SendMessageCancellable(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, std::stop_token abandoned,
                                  LRESULT* result) {
  SendCancellation cancellation;
  std::stop_callback on_stop(abandoned, [&cancellation] { cancellation.Cancel(); });
  return SendMessageCancellable(hwnd, message, wparam, lparam, cancellation, result);
}

}  // namespace platform
