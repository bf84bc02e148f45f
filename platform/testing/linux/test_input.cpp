#include "platform/testing/test_input.h"

#include "platform/ui/message_queue.h"
#include "platform/ui/timer.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"
#include "platform/ui/linux/window_system.h"
#include "platform/ui/linux/x11_roles.h"
#include "platform/ui/linux/sdl_video.h"

namespace platform::test {
namespace {

using detail::RawInput;

// Modifier keys held by injected input, so that a character key carries what a
// keyboard would give with them.
struct HeldModifiers {
  bool shift = false;
  bool control = false;
  bool alt = false;
};

HeldModifiers& Held() {
  static thread_local HeldModifiers held;
  return held;
}

int ButtonIndex(Button button) {
  switch (button) {
    case Button::kLeft: return 0;
    case Button::kRight: return 1;
    case Button::kMiddle: return 2;
  }
  return 0;
}

POINT ToScreen(HWND hwnd, POINT client) {
  POINT origin = detail::ClientOriginOnScreen(hwnd);
  return POINT{origin.x + client.x, origin.y + client.y};
}

void Pointer(RawInput::Kind kind, HWND top, POINT screen, int button) {
  RawInput item;
  item.kind = kind;
  item.top = top;
  item.screen = screen;
  item.button = button;
  detail::PushInput(std::move(item));
}

std::u16string CharacterOf(int vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return std::u16string(1, static_cast<char16_t>(shift ? vk : vk - 'A' + 'a'));
  if (vk >= '0' && vk <= '9') {
    static constexpr char16_t kShifted[] = u")!@#$%^&*(";
    return std::u16string(1, shift ? kShifted[vk - '0'] : static_cast<char16_t>(vk));
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return std::u16string(1, static_cast<char16_t>('0' + vk - VK_NUMPAD0));
  struct Punctuation {
    int vk;
    char16_t plain;
    char16_t shifted;
  };
  static constexpr Punctuation kKeys[] = {
      {VK_SPACE, u' ', u' '},     {VK_OEM_1, u';', u':'},      {VK_OEM_PLUS, u'=', u'+'}, {VK_OEM_COMMA, u',', u'<'},
      {VK_OEM_MINUS, u'-', u'_'}, {VK_OEM_PERIOD, u'.', u'>'}, {VK_OEM_2, u'/', u'?'},    {VK_OEM_3, u'`', u'~'},
      {VK_OEM_4, u'[', u'{'},     {VK_OEM_5, u'\\', u'|'},     {VK_OEM_6, u']', u'}'},    {VK_OEM_7, u'\'', u'"'},
      {VK_MULTIPLY, u'*', u'*'},  {VK_ADD, u'+', u'+'},        {VK_SUBTRACT, u'-', u'-'}, {VK_DECIMAL, u'.', u'.'},
      {VK_DIVIDE, u'/', u'/'},
  };
  for (const auto& key : kKeys) {
    if (key.vk == vk) return std::u16string(1, shift ? key.shifted : key.plain);
  }
  return {};
}

void Key(int vk, bool down, std::u16string text) {
  HeldModifiers& held = Held();
  if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) held.shift = down;
  if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) held.control = down;
  if (vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU) held.alt = down;
  RawInput item;
  item.kind = down ? RawInput::Kind::kKeyDown : RawInput::Kind::kKeyUp;
  item.virtual_key = vk;
  item.extended = (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
  if (down) item.text = std::move(text);
  detail::PushInput(std::move(item));
}

}  // namespace

void MouseMove(HWND hwnd, POINT client) {
  Pointer(RawInput::Kind::kPointerMove, detail::RootOf(hwnd), ToScreen(hwnd, client), 0);
}

void MouseDown(HWND hwnd, POINT client, Button button) {
  Pointer(RawInput::Kind::kPointerDown, detail::RootOf(hwnd), ToScreen(hwnd, client), ButtonIndex(button));
}

void MouseUp(HWND hwnd, POINT client, Button button) {
  Pointer(RawInput::Kind::kPointerUp, detail::RootOf(hwnd), ToScreen(hwnd, client), ButtonIndex(button));
}

void Click(HWND hwnd, POINT client, Button button) {
  MouseDown(hwnd, client, button);
  MouseUp(hwnd, client, button);
}

void MouseMoveScreen(HWND top_level, POINT screen) { Pointer(RawInput::Kind::kPointerMove, top_level, screen, 0); }

void MouseUpScreen(HWND top_level, POINT screen, Button button) {
  Pointer(RawInput::Kind::kPointerUp, top_level, screen, ButtonIndex(button));
}

void MouseWheel(HWND hwnd, POINT client, int notches) {
  RawInput item;
  item.kind = RawInput::Kind::kWheel;
  item.top = detail::RootOf(hwnd);
  item.screen = ToScreen(hwnd, client);
  item.wheel = notches * WHEEL_DELTA;
  detail::PushInput(std::move(item));
}

void MouseLeave(HWND top_level) {
  RawInput item;
  item.kind = RawInput::Kind::kPointerLeave;
  item.top = top_level;
  detail::PushInput(std::move(item));
}

void KeyDown(int virtual_key) {
  const HeldModifiers& held = Held();
  std::u16string text = held.control || held.alt ? std::u16string() : CharacterOf(virtual_key, held.shift);
  Key(virtual_key, true, std::move(text));
}

void KeyDown(int virtual_key, std::u16string_view text) { Key(virtual_key, true, std::u16string(text)); }

void KeyUp(int virtual_key) { Key(virtual_key, false, {}); }

void KeyPress(int virtual_key) {
  KeyDown(virtual_key);
  KeyUp(virtual_key);
}

void TypeText(std::u16string_view text) {
  RawInput item;
  item.kind = RawInput::Kind::kText;
  item.text = std::u16string(text);
  detail::PushInput(std::move(item));
}

int DrainMessages() {
  constexpr int kLimit = 100000;  // a window that never validates would repaint for ever
  int handled = 0;
  MSG msg;
  while (handled < kLimit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // not ours to take
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++handled;
  }
  return handled;
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  auto deadline = detail::Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    DrainMessages();
    if (done()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - detail::Clock::now()).count();
    if (left <= 0) return done();
    // A thread timer bounds the wait; WaitMessage itself never spins.
    UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(left), nullptr);
    WaitMessage();
    KillTimer(nullptr, timer);
  }
}

Frame CapturePresented(HWND hwnd) {
  Frame frame;
  HWND top = detail::RootOf(hwnd);
  std::shared_ptr<detail::Window> window;
  {
    auto& registry = detail::Registry::Get();
    std::lock_guard lock(registry.mutex);
    window = registry.FindShared(top);
  }
  if (!window) return frame;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> screen = detail::video::ReadScreen(*window, &width, &height);
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT here = detail::ClientOriginOnScreen(hwnd);
  POINT there = detail::ClientOriginOnScreen(top);
  // What the screen shows: at a desktop scale of 2, twice the window's own size.
  const RECT own = detail::Offset(client, here.x - there.x, here.y - there.y);
  const int s = WindowScale();
  RECT area = detail::Intersect(RECT{own.left * s, own.top * s, own.right * s, own.bottom * s}, RECT{0, 0, width, height});
  if (detail::RectEmpty(area)) return frame;
  frame.width = area.right - area.left;
  frame.height = area.bottom - area.top;
  frame.pixels.reserve(static_cast<std::size_t>(frame.width) * frame.height);
  for (int y = area.top; y < area.bottom; ++y) {
    auto row = screen.begin() + static_cast<std::ptrdiff_t>(y) * width;
    frame.pixels.insert(frame.pixels.end(), row + area.left, row + area.right);
  }
  return frame;
}

int PresentCount(HWND hwnd) {
  auto& registry = detail::Registry::Get();
  std::lock_guard lock(registry.mutex);
  detail::Window* window = registry.Find(hwnd);
  while (window != nullptr && window->parent != nullptr) window = registry.Find(window->parent);
  return window == nullptr ? 0 : window->present_count;
}

std::uint64_t NativeWindowId(HWND hwnd) {
  SDL_Window* sdl = nullptr;
  const HWND root = detail::RootOf(hwnd);
  {
    auto& registry = detail::Registry::Get();
    std::lock_guard lock(registry.mutex);
    detail::Window* window = registry.Find(root);
    if (window != nullptr) sdl = window->sdl;
  }
  return detail::x11::WindowId(sdl);
}

}  // namespace platform::test
