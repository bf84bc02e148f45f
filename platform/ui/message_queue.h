// The message queue of a thread: posted and sent messages, retrieval, translation,
// dispatch and quitting, with the platform's semantics.
//
// Retrieval order (GetMessageW, PeekMessageW): messages sent from other threads are
// delivered first, straight to their window procedures (they are never returned, so
// message filters never see them); then posted messages; then input (mouse and
// keyboard), resolved to its target window when it is taken; then WM_QUIT after
// PostQuitMessage; then WM_PAINT for a window with an invalid area; then WM_TIMER.
// WM_PAINT and WM_TIMER are synthesised only when nothing else is waiting. Messages
// for windows destroyed meanwhile are dropped. A thread that waits for a message
// blocks: it does not poll.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifndef _WIN32
struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt{};
  DWORD lPrivate = 0;  // the layer's own: ties a key message to the text it produced
};
#endif

namespace platform {

// Waits for a message. Answers 0 for WM_QUIT, -1 for an invalid window filter,
// otherwise non-zero. `hwnd` filters to that window and its children; min and max
// filter message numbers (0, 0: all). WM_QUIT is returned whatever the filter.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max);
// As GetMessageW without waiting; PM_REMOVE takes the message out of the queue
// (WM_PAINT stays until the window is validated). Answers whether one was found.
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove_flags);
// Blocks until something arrives for this thread (delivering sent messages meanwhile).
BOOL WaitMessage();
// Posts WM_CHAR (WM_SYSCHAR) for a key-down message that produces text: the text the
// keyboard layout or input method gave with the key, else the control character of
// Backspace, Tab, Enter, Esc or Ctrl+letter. Answers whether it posted anything.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure of msg->hwnd (or the timer procedure of a WM_TIMER
// whose lParam names one). A message for a destroyed window is dropped (0).
LRESULT DispatchMessageW(const MSG* msg);

// Posting to nullptr posts a thread message to the calling thread.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);

// Same thread: a direct call of the window procedure. Another thread: the message
// is queued for the receiving thread and the sender blocks until that thread has
// run the procedure, while it keeps delivering messages sent to itself. Answers 0
// at once when the window does not exist or its thread has ended.
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// True while the current procedure call is a message sent from another thread.
BOOL InSendMessage();

DWORD GetTickCount();
DWORD GetMessageTime();  // time of the message last retrieved by this thread
DWORD GetMessagePos();   // its cursor position, screen coordinates packed as in lParam

// Abandoning cross-thread sends. The owner of a run (for example a worker thread and
// its window) shares one SendCancellation; Cancel() makes every send that waits on
// it return at once with SendStatus::kCancelled, and every later send on it return
// kCancelled without being queued. A send that the receiver has not begun is never
// delivered; one whose handler is running (for example a dialog shown inside it, from
// which Cancel() is called) goes on to its end, but its sender no longer waits for
// it, so the handler must not use pointers into the sender's memory after Cancel().
enum class SendStatus {
  kDelivered,     // the procedure ran; *result holds its answer
  kNoWindow,      // no such window (destroyed, or never was)
  kReceiverGone,  // the receiving thread ended before it handled the message
  kCancelled,     // the cancellation was triggered before the answer came
};

class SendCancellation;
SendStatus SendMessageCancellable(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                  const SendCancellation& cancellation, LRESULT* result);

// The same for a run that is abandoned through a std::stop_token: a request to stop
// acts as Cancel() on the send that is waiting, and a token already stopped sends
// nothing.
SendStatus SendMessageCancellable(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, std::stop_token abandoned,
                                  LRESULT* result);

class SendCancellation {
 public:
  SendCancellation();
  ~SendCancellation();
  SendCancellation(const SendCancellation&) = delete;
  SendCancellation& operator=(const SendCancellation&) = delete;

  void Cancel();
  bool IsCancelled() const;

  struct Waiters;  // the threads blocked in a send on this object

 private:
  friend SendStatus SendMessageCancellable(HWND, UINT, WPARAM, LPARAM, const SendCancellation&, LRESULT*);
  std::shared_ptr<Waiters> waiters_;
};

}  // namespace platform
