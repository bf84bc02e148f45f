// The caret: one per thread, drawn by inverting what the screen shows under it.
#include "platform/ui/caret.h"

#include <atomic>

#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {
namespace {

std::atomic<UINT> g_blink_ms{530};  // one setting, as on the platform

struct Placement {
  std::shared_ptr<Window> top;
  RECT rect{};  // in the top-level window's client coordinates
};

Placement PlaceOf(const CaretState& caret) {
  Placement place;
  if (caret.owner == nullptr) return place;
  HWND top = RootOf(caret.owner);
  POINT here = ClientOriginOnScreen(caret.owner);
  POINT there = ClientOriginOnScreen(top);
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    place.top = registry.FindShared(top);
  }
  int x = caret.position.x + here.x - there.x;
  int y = caret.position.y + here.y - there.y;
  place.rect = RECT{x, y, x + caret.width, y + caret.height};
  return place;
}

void Erase(ThreadState& self) {
  if (!self.caret.drawn) return;
  self.caret.drawn = false;
  Placement place = PlaceOf(self.caret);
  if (place.top) PresentRect(*place.top, place.rect);  // the store holds the pixels without the caret
}

void Draw(ThreadState& self) {
  if (self.caret.drawn || !self.is_windowing_thread) return;
  Placement place = PlaceOf(self.caret);
  if (!place.top || place.top->sdl == nullptr) return;
  self.caret.drawn = true;
  video::InvertOnScreen(*place.top, place.rect, true);
}

bool Owns(const ThreadState& self, HWND hwnd) {
  return self.caret.owner != nullptr && (hwnd == nullptr || hwnd == self.caret.owner);
}

}  // namespace

void DrawCaretOver(Window& top, const RECT& presented) {
  ThreadState& self = CurrentThread();
  if (!self.caret.drawn) return;
  Placement place = PlaceOf(self.caret);
  if (place.top.get() != &top) return;
  video::InvertOnScreen(top, Intersect(place.rect, presented), false);
}

std::optional<Clock::time_point> CaretToggleDue(const ThreadState& self) {
  if (self.caret.owner == nullptr || self.caret.hide_count > 0) return std::nullopt;
  return self.caret.next_toggle;
}

void ToggleCaretIfDue(ThreadState& self) {
  auto due = CaretToggleDue(self);
  if (!due || Clock::now() < *due) return;
  if (self.caret.drawn) {
    Erase(self);
  } else {
    Draw(self);
  }
  self.caret.next_toggle = Clock::now() + std::chrono::milliseconds(g_blink_ms);
}

void ForgetCaretOf(ThreadState& self, HWND hwnd) {
  if (self.caret.owner == hwnd) self.caret = CaretState{};
}

void PlaceCaretInputArea(ThreadState& self) {
  if (self.caret.owner == nullptr || !self.is_windowing_thread) return;
  POINT origin = ClientOriginOnScreen(self.caret.owner);
  const CaretState& caret = self.caret;
  video::SetTextInputArea(RECT{origin.x + caret.position.x, origin.y + caret.position.y,
                               origin.x + caret.position.x + caret.width, origin.y + caret.position.y + caret.height});
}

}  // namespace detail

using namespace detail;

BOOL CreateCaret(HWND hwnd, void* /*bitmap*/, int width, int height) {
  if (!IsOwnWindow(hwnd) || width < 0 || height < 0) return FALSE;
  DestroyCaret();
  ThreadState& self = CurrentThread();
  self.caret = CaretState{};
  self.caret.owner = hwnd;
  self.caret.width = width == 0 ? 1 : width;
  self.caret.height = height;
  PlaceCaretInputArea(self);
  return TRUE;
}

BOOL DestroyCaret() {
  ThreadState& self = CurrentThread();
  if (self.caret.owner == nullptr) return FALSE;
  Erase(self);
  self.caret = CaretState{};
  return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
  ThreadState& self = CurrentThread();
  if (!Owns(self, hwnd) || self.caret.hide_count == 0) return FALSE;
  if (--self.caret.hide_count == 0) {
    Draw(self);
    self.caret.next_toggle = Clock::now() + std::chrono::milliseconds(g_blink_ms);
    self.Wake();  // the blink deadline is new: the thread's wait must see it
  }
  return TRUE;
}

BOOL HideCaret(HWND hwnd) {
  ThreadState& self = CurrentThread();
  if (!Owns(self, hwnd)) return FALSE;
  ++self.caret.hide_count;
  Erase(self);
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  ThreadState& self = CurrentThread();
  if (self.caret.owner == nullptr) return FALSE;
  bool was_drawn = self.caret.drawn;
  Erase(self);
  self.caret.position = POINT{x, y};
  if (was_drawn) Draw(self);
  PlaceCaretInputArea(self);
  return TRUE;
}

BOOL GetCaretPos(POINT* point) {
  ThreadState& self = CurrentThread();
  if (point == nullptr || self.caret.owner == nullptr) return FALSE;
  *point = self.caret.position;
  return TRUE;
}

UINT GetCaretBlinkTime() { return g_blink_ms; }

BOOL SetCaretBlinkTime(UINT milliseconds) {
  if (milliseconds == 0 || !CurrentThread().is_windowing_thread) return FALSE;
  g_blink_ms = milliseconds;
  return TRUE;
}

}  // namespace platform
