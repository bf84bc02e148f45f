// Internal to the window layer: the registry of windows and classes, the state of
// each thread (its queue, timers, activation, focus, capture, caret), and the helpers
// the layer's files share. Nothing outside platform/ includes this header.
//
// Locking: one registry mutex guards the window and class tables and every field of
// a Window; each ThreadState has its own mutex for its queues. The registry mutex may
// be held when a thread mutex is taken, never the other way round, and no window
// procedure is ever called with either held.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/ui/caret.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/paint.h"
#include "platform/ui/timer.h"
#include "platform/ui/window.h"

struct SDL_Window;

namespace platform::detail {

using Clock = std::chrono::steady_clock;

struct ThreadState;

struct WindowClass {
  std::u16string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HCURSOR cursor = nullptr;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<ThreadState> thread;
  std::shared_ptr<const WindowClass> window_class;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  HWND parent = nullptr;  // WS_CHILD windows
  HWND owner = nullptr;   // top-level windows
  LONG_PTR id = 0;
  LONG_PTR user_data = 0;
  RECT rect{};  // screen coordinates, or the parent's client coordinates for a child
  RECT restore_rect{};
  std::u16string text;
  HICON icon_small = nullptr;
  HICON icon_big = nullptr;
  std::vector<HWND> children;  // bottom to top
  bool message_only = false;
  bool destroying = false;
  HWND last_active_popup = nullptr;

  bool has_update = false;
  bool update_erase = false;
  RECT update{};
  BYTE alpha = 255;

  // The screen part of a top-level window; touched on the windowing thread only.
  SDL_Window* sdl = nullptr;
  std::uint32_t sdl_id = 0;
  std::vector<std::uint32_t> store;  // client-area pixels
  int store_width = 0;
  int store_height = 0;
  int present_count = 0;
};

// One item of raw input, resolved to a message when the thread takes it.
struct RawInput {
  enum class Kind { kPointerMove, kPointerDown, kPointerUp, kWheel, kPointerLeave, kKeyDown, kKeyUp, kText };
  Kind kind = Kind::kPointerMove;
  HWND top = nullptr;  // the top-level window under the pointer when it happened
  POINT screen{};
  int button = 0;  // 0 left, 1 right, 2 middle
  int wheel = 0;   // in WHEEL_DELTA units
  int virtual_key = 0;
  int scan_code = 0;
  bool extended = false;
  std::u16string text;  // a key's character(s), or committed text
  DWORD time = 0;
  std::optional<MSG> resolved;
};

struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  std::shared_ptr<ThreadState> sender;
  std::shared_ptr<SendCancellation::Waiters> cancellation;  // may be null
  // Guarded by sender->mutex.
  bool done = false;
  bool receiver_gone = false;
  LRESULT result = 0;
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT interval_ms = 0;
  TIMERPROC proc = nullptr;
  Clock::time_point due{};
};

struct DeviceContext {
  HWND hwnd = nullptr;
  HWND top = nullptr;  // the top-level window whose store it views
  POINT origin{};      // client origin of hwnd inside top's store
  PixelSurface surface;
  RECT dirty{};
  bool painting = false;  // from BeginPaint
};

struct CaretState {
  HWND owner = nullptr;
  int width = 0;
  int height = 0;
  POINT position{};
  int hide_count = 1;
  bool drawn = false;  // inverted on screen now
  Clock::time_point next_toggle{};
};

struct ClickRecord {
  HWND hwnd = nullptr;
  int button = -1;
  DWORD time = 0;
  POINT screen{};
};

struct ThreadState {
  DWORD id = 0;
  bool is_windowing_thread = false;

  std::mutex mutex;
  std::condition_variable wakeup;
  // Guarded by mutex.
  std::deque<MSG> posted;
  std::deque<RawInput> input;
  std::deque<std::shared_ptr<SentMessage>> sent;
  bool quit = false;
  int quit_code = 0;
  bool alive = true;
  bool wake = false;
  bool in_video_wait = false;

  // Owning thread only.
  std::vector<Timer> timers;
  UINT_PTR next_thread_timer = 0x7F00;
  HWND active = nullptr;
  HWND focus = nullptr;
  HWND capture = nullptr;
  bool app_active = false;
  std::vector<HWND> activation_order;  // most recently active last
  HWND leave_tracked = nullptr;
  ClickRecord last_click;
  std::array<BYTE, 256> key_state{};
  MSG last_message{};
  int incoming_send_depth = 0;
  std::unordered_map<DWORD, std::u16string> key_texts;
  DWORD next_key_serial = 1;
  CaretState caret;
  HCURSOR cursor = nullptr;
  std::vector<std::unique_ptr<DeviceContext>> devices;
  bool in_move_loop = false;
  bool move_cancelled = false;
  HWND pointer_under = nullptr;  // the window the pointer was last seen over
  std::vector<HWND> windows;  // guarded by the registry mutex

  // Wakes the thread if it waits for messages. Callable from any thread.
  void Wake();
};

class Registry {
 public:
  static Registry& Get();

  std::mutex mutex;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  std::unordered_map<std::u16string, std::shared_ptr<const WindowClass>> classes;  // by lower-case name
  std::unordered_map<DWORD, std::weak_ptr<ThreadState>> threads;
  std::uintptr_t next_handle = 0x10020;  // above the desktop's handle
  DWORD next_thread_id = 1;
  std::unordered_map<std::uint32_t, HWND> by_sdl_id;
  std::weak_ptr<ThreadState> windowing_thread;

  // Caller holds mutex.
  Window* Find(HWND hwnd);
  std::shared_ptr<Window> FindShared(HWND hwnd);
};

// The desktop window: the screen itself, never in the registry.
extern const HWND kDesktop;

ThreadState& CurrentThread();
std::shared_ptr<ThreadState> CurrentThreadShared();
std::shared_ptr<ThreadState> ThreadOfWindow(HWND hwnd);

// A window of the calling thread (nullptr for others, or when it does not exist).
bool IsOwnWindow(HWND hwnd);
// Calls the window's procedure on this thread; 0 when the window is gone.
LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// The top-level window of hwnd (itself for a top-level window).
HWND RootOf(HWND hwnd);
// Enabled and visible, including every ancestor.
bool AcceptsInput(HWND hwnd);
// Client origin in screen coordinates.
POINT ClientOriginOnScreen(HWND hwnd);
// Deepest visible child of `top` that contains the screen point (or top itself).
HWND ChildFromScreenPoint(HWND top, POINT screen);

// Activation and focus (window.cpp).
void ActivateWindow(HWND hwnd, int how, bool raise_on_screen);
void DeactivateApplication();
void ForgetFromActivation(HWND hwnd);
// The window that should become active when `leaving` goes: its owner when that can
// take it, else the most recently active window that can, else none.
HWND NextActiveCandidate(HWND leaving);
// Applies a move or size that the display (window manager) made, or the move loop.
void PlaceWindow(HWND hwnd, const RECT& rect, bool from_display);

// Paint and present (paint.cpp).
void PresentRect(Window& top, const RECT& client_rect);
void ResizeStore(Window& top, int width, int height);

// Messages (message_queue.cpp).
bool DeliverIncomingSends(ThreadState& self);
void DropMessagesFor(ThreadState& thread, HWND hwnd);
// Input resolution (input.cpp): turns the front raw item into a message, or drops it.
std::optional<MSG> ResolveInput(ThreadState& self, RawInput& item);
void PushInput(RawInput item);                       // any thread
void QueueInput(ThreadState& thread, RawInput item);  // the windowing thread
void OnWindowGone(ThreadState& self, HWND hwnd);
void CancelMoveLoop();

// Timers (timer.cpp).
std::optional<Clock::time_point> NextTimerDue(const ThreadState& self);
std::optional<MSG> TakeDueTimer(ThreadState& self, HWND filter, UINT min, UINT max, bool remove);
void KillTimersOf(ThreadState& self, HWND hwnd);

// Caret (caret.cpp).
void DrawCaretOver(Window& top, const RECT& presented);
std::optional<Clock::time_point> CaretToggleDue(const ThreadState& self);
void ToggleCaretIfDue(ThreadState& self);
void ForgetCaretOf(ThreadState& self, HWND hwnd);
void PlaceCaretInputArea(ThreadState& self);

// The move loop of SC_MOVE (move_loop.cpp).
void RunMoveLoop(HWND hwnd);

DWORD TickNow();
bool RectEmpty(const RECT& r);
RECT Offset(const RECT& r, int dx, int dy);
RECT Intersect(const RECT& a, const RECT& b);
RECT Union(const RECT& a, const RECT& b);
bool Contains(const RECT& r, POINT p);
std::u16string LowerAscii(std::u16string_view text);

}  // namespace platform::detail
