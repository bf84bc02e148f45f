// The window layer over SDL2's video subsystem: start-up, native windows, presenting
// pixels, reading display events, cursors, icons, displays and the clipboard.
#include "platform/ui/linux/sdl_video.h"

#include <SDL.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "platform/base/utf.h"
#include "platform/ui/windowing.h"

namespace platform {
namespace detail::video {
namespace {

struct VideoState {
  std::mutex mutex;  // guards start-up
  bool tried = false;
  std::atomic<bool> ready{false};
  std::atomic<bool> has_event_source{false};
  std::string driver;
  std::string error;
  std::string app_id;  // the WM_CLASS of our windows; empty: SDL's (the executable's name)
  // Screen pixels per pixel of ours: 2 on a high-density desktop. Every coordinate the
  // layer hands out is in its own pixels; only what SDL sees and reports is scaled.
  std::atomic<int> scale{1};
  std::thread::id thread;
  std::atomic<Uint32> wakeup_event{0};
};

VideoState& State() {
  static VideoState state;
  return state;
}

int Scale() { return State().scale.load(std::memory_order_relaxed); }
int ToScreen(int v) { return v * Scale(); }
// Screen pixels to ours, rounding down (also left of and above the origin).
int FromScreen(int v) {
  const int s = Scale();
  return v >= 0 ? v / s : -((-v + s - 1) / s);
}

// 2 when the desktop asks for a scale of 2 or more: GDK_SCALE, else the X resources'
// Xft.dpi (192 and up). Layouts and pictures stay as they are and are shown enlarged.
// A display without a screen (offscreen) keeps 1.
int DesktopScale(const std::string& driver) {
  if (driver != "x11" && driver != "wayland") return 1;  // offscreen: pixels as they are
  if (const char* gdk = std::getenv("GDK_SCALE"); gdk != nullptr && *gdk != '\0') return std::atoi(gdk) >= 2 ? 2 : 1;
  if (driver == "x11" && x11::ResourceScale() >= 2.0) return 2;
  return 1;
}

// SDL is shut down after everything else of the process, when statics end.
struct VideoShutdown {
  ~VideoShutdown() {
    if (State().ready) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

bool SameLayoutAsStore(Uint32 format) {
  // ARGB8888 and RGB888 (XRGB) are blue, green, red, alpha-or-unused bytes in memory on a
  // little-endian machine: the store's own layout.
  return SDL_BYTEORDER == SDL_LIL_ENDIAN && (format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888);
}

std::uint32_t Unpremultiply(std::uint32_t bgra) {
  std::uint32_t a = bgra >> 24;
  if (a == 0) return 0;
  if (a == 255) return bgra;
  auto channel = [&](int shift) { return std::min<std::uint32_t>(255, (((bgra >> shift) & 0xFF) * 255 + a / 2) / a); };
  return (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

// A surface of straight-alpha ARGB8888 pixels copied from an icon, or nullptr.
SDL_Surface* SurfaceFromIcon(const IconImage& image) {
  if (image.pixels.empty() || image.width <= 0 || image.height <= 0) return nullptr;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return nullptr;
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < image.width; ++x) {
      row[x] = Unpremultiply(image.pixels[static_cast<std::size_t>(y) * image.width + x]);
    }
  }
  return surface;
}

SDL_SystemCursor SystemCursorFor(int id) {
  switch (id) {
    case IDC_IBEAM: return SDL_SYSTEM_CURSOR_IBEAM;
    case IDC_WAIT: return SDL_SYSTEM_CURSOR_WAIT;
    case IDC_CROSS: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case IDC_SIZE:
    case IDC_SIZEALL: return SDL_SYSTEM_CURSOR_SIZEALL;
    case IDC_SIZENWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case IDC_SIZENESW: return SDL_SYSTEM_CURSOR_SIZENESW;
    case IDC_SIZEWE: return SDL_SYSTEM_CURSOR_SIZEWE;
    case IDC_SIZENS: return SDL_SYSTEM_CURSOR_SIZENS;
    case IDC_NO: return SDL_SYSTEM_CURSOR_NO;
    case IDC_HAND: return SDL_SYSTEM_CURSOR_HAND;
    case IDC_APPSTARTING: return SDL_SYSTEM_CURSOR_WAITARROW;
    default: return SDL_SYSTEM_CURSOR_ARROW;  // arrow, up arrow, help, icon
  }
}

std::uint64_t Fingerprint(const IconImage& image) {
  std::uint64_t hash = 1469598103934665603ull;
  auto mix = [&](std::uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
  mix(static_cast<std::uint64_t>(image.width));
  mix(static_cast<std::uint64_t>(image.height));
  mix(static_cast<std::uint64_t>(image.hot_spot.x));
  mix(static_cast<std::uint64_t>(image.hot_spot.y));
  for (std::uint32_t pixel : image.pixels) mix(pixel);
  return hash;
}

struct CursorCache {
  std::map<int, SDL_Cursor*> system;
  // Image cursors by handle; the fingerprint notices a handle reused for other pixels.
  std::map<HCURSOR, std::pair<std::uint64_t, SDL_Cursor*>> images;
  HCURSOR applied = nullptr;
  bool hidden = false;
};

CursorCache& Cursors() {
  static CursorCache cache;
  return cache;
}

SDL_Cursor* RealiseCursor(HCURSOR cursor) {
  const IconImage* image = GetIconImage(cursor);
  if (image == nullptr) return nullptr;
  CursorCache& cache = Cursors();
  if (image->system_cursor_id != 0) {
    auto& slot = cache.system[image->system_cursor_id];
    if (slot == nullptr) slot = SDL_CreateSystemCursor(SystemCursorFor(image->system_cursor_id));
    return slot;
  }
  std::uint64_t print = Fingerprint(*image);
  auto& entry = cache.images[cursor];
  if (entry.second != nullptr && entry.first == print) return entry.second;
  if (entry.second != nullptr) SDL_FreeCursor(entry.second);
  SDL_Surface* surface = SurfaceFromIcon(*image);
  entry = {print, surface != nullptr ? SDL_CreateColorCursor(surface, image->hot_spot.x, image->hot_spot.y) : nullptr};
  SDL_FreeSurface(surface);
  return entry.second;
}

HWND WindowOfEvent(Uint32 window_id) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  auto it = registry.by_sdl_id.find(window_id);
  return it == registry.by_sdl_id.end() ? nullptr : it->second;
}

POINT ScreenPoint(HWND top, int x, int y) {
  RECT rect{};
  GetWindowRect(top, &rect);
  return POINT{rect.left + x, rect.top + y};
}

std::shared_ptr<Window> SharedWindow(HWND hwnd) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  return registry.FindShared(hwnd);
}

// Virtual-key code of an SDL key (US layout for punctuation), 0 for keys we ignore.
int VirtualKeyOf(const SDL_Keysym& key, bool* extended) {
  *extended = false;
  SDL_Keycode code = key.sym;
  if (code >= SDLK_a && code <= SDLK_z) return 'A' + (code - SDLK_a);
  if (code >= SDLK_0 && code <= SDLK_9) return '0' + (code - SDLK_0);
  if (code >= SDLK_F1 && code <= SDLK_F12) return VK_F1 + (code - SDLK_F1);
  if (code >= SDLK_KP_1 && code <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (code - SDLK_KP_1);
  switch (code) {
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_KP_ENTER: *extended = true; return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: return VK_CONTROL;
    case SDLK_RCTRL: *extended = true; return VK_CONTROL;
    case SDLK_LALT: return VK_MENU;
    case SDLK_RALT: *extended = true; return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: *extended = true; return VK_DIVIDE;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    case SDLK_APPLICATION: *extended = true; return VK_APPS;
    case SDLK_LGUI: *extended = true; return VK_LWIN;
    case SDLK_RGUI: *extended = true; return VK_RWIN;
    default: break;
  }
  *extended = true;
  switch (code) {
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    default: *extended = false; return 0;
  }
}

void AttachText(ThreadState& self, std::u16string text) {
  {
    std::lock_guard lock(self.mutex);
    if (!self.input.empty()) {
      RawInput& last = self.input.back();
      // SDL reports a key's character right after the key: it belongs to that key, so
      // that TranslateMessage produces it and a loop that does not translate gets none.
      if (last.kind == RawInput::Kind::kKeyDown && !last.resolved && last.text.empty()) {
        last.text = std::move(text);
        return;
      }
    }
  }
  RawInput item;
  item.kind = RawInput::Kind::kText;
  item.text = std::move(text);
  item.time = TickNow();
  QueueInput(self, std::move(item));
}

bool FocusComesBack(const SDL_Event* rest, int count) {
  auto ours = [](const SDL_Event& event) {
    return event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED &&
           WindowOfEvent(event.window.windowID) != nullptr;
  };
  for (int i = 0; i < count; ++i) {
    if (ours(rest[i])) return true;
  }
  SDL_Event pending[32];
  int more = SDL_PeepEvents(pending, 32, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int i = 0; i < more; ++i) {
    if (ours(pending[i])) return true;
  }
  return false;
}

void OnWindowEvent(ThreadState& self, const SDL_WindowEvent& event, const SDL_Event* rest, int rest_count) {
  HWND hwnd = WindowOfEvent(event.windowID);
  if (hwnd == nullptr) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MOVED: {
      auto window = SharedWindow(hwnd);
      if (!window || window->sdl == nullptr) return;
      if (event.event != SDL_WINDOWEVENT_EXPOSED && (window->style & WS_MINIMIZE) == 0) {
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window->sdl, &x, &y);
        SDL_GetWindowSize(window->sdl, &w, &h);
        x = FromScreen(x);
        y = FromScreen(y);
        w = FromScreen(w);
        h = FromScreen(h);
        RECT now = window->rect;
        // A window of size 0 is 1 x 1 on screen; that is not a change.
        if (now.right - now.left == 0) w = 0;
        if (now.bottom - now.top == 0) h = 0;
        RECT shown{x, y, x + w, y + h};
        if (!(shown == now)) PlaceWindow(hwnd, shown, true);
      }
      PresentRect(*window, RECT{0, 0, window->store_width, window->store_height});
      return;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
      if (!IsIconic(hwnd)) ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
      return;
    case SDL_WINDOWEVENT_RESTORED:
      if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
      return;
    case SDL_WINDOWEVENT_LEAVE: {
      RawInput item;
      item.kind = RawInput::Kind::kPointerLeave;
      item.top = hwnd;
      item.time = TickNow();
      QueueInput(self, std::move(item));
      return;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      // Tooltips and menus never become active, even when a display without a window
      // manager hands them the keyboard focus.
      if ((GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0) return;
      if (self.active != hwnd) {
        HWND popup = GetLastActivePopup(hwnd);
        if (IsWindowEnabled(hwnd) && popup == hwnd) {
          ActivateWindow(hwnd, WA_ACTIVE, false);
        } else if (popup != nullptr) {
          ActivateWindow(popup, WA_ACTIVE, true);
        }
      }
      return;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (self.active == hwnd && !FocusComesBack(rest, rest_count)) DeactivateApplication();
      return;
    case SDL_WINDOWEVENT_CLOSE:
      // A disabled window (the owner of a running modal dialog) refuses the close, as on
      // the platform, and brings the dialog forward instead.
      if (!IsWindowEnabled(hwnd)) {
        HWND popup = GetLastActivePopup(hwnd);
        if (popup != hwnd && popup != nullptr) ActivateWindow(popup, WA_ACTIVE, true);
        return;
      }
      PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return;
    default:
      return;
  }
}

void PointerEvent(ThreadState& self, RawInput::Kind kind, Uint32 window_id, int x, int y, int button) {
  HWND top = WindowOfEvent(window_id);
  RawInput item;
  item.kind = kind;
  item.top = top;
  if (top != nullptr) {
    item.screen = ScreenPoint(top, FromScreen(x), FromScreen(y));
  } else if (auto global = GlobalPointer()) {
    item.screen = *global;
  }
  item.button = button;
  item.time = TickNow();
  QueueInput(self, std::move(item));
}

int ButtonIndex(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return -1;
  }
}

void Translate(ThreadState& self, const SDL_Event& event, const SDL_Event* rest, int rest_count) {
  switch (event.type) {
    case SDL_MOUSEMOTION:
      PointerEvent(self, RawInput::Kind::kPointerMove, event.motion.windowID, event.motion.x, event.motion.y, 0);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int button = ButtonIndex(event.button.button);
      if (button < 0) break;
      auto kind = event.type == SDL_MOUSEBUTTONDOWN ? RawInput::Kind::kPointerDown : RawInput::Kind::kPointerUp;
      PointerEvent(self, kind, event.button.windowID, event.button.x, event.button.y, button);
      break;
    }
    case SDL_MOUSEWHEEL: {
      int notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches == 0) break;
      RawInput item;
      item.kind = RawInput::Kind::kWheel;
      POINT at{};
      GetCursorPos(&at);
      item.screen = GlobalPointer().value_or(at);
      item.wheel = notches * WHEEL_DELTA;
      item.time = TickNow();
      QueueInput(self, std::move(item));
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      RawInput item;
      item.virtual_key = VirtualKeyOf(event.key.keysym, &item.extended);
      if (item.virtual_key == 0) break;
      item.kind = event.type == SDL_KEYDOWN ? RawInput::Kind::kKeyDown : RawInput::Kind::kKeyUp;
      item.scan_code = static_cast<int>(event.key.keysym.scancode);
      item.time = TickNow();
      QueueInput(self, std::move(item));
      break;
    }
    case SDL_TEXTINPUT:
      AttachText(self, Utf8ToUtf16(event.text.text));
      break;
    case SDL_WINDOWEVENT:
      OnWindowEvent(self, event.window, rest, rest_count);
      break;
    default:
      break;  // wakeups and everything we do not use
  }
}

// The store's `area` enlarged by `scale` onto the window surface, filtered smoothly
// (cairo's bilinear filter; the edges of the store are extended, not faded).
void PresentScaled(Window& top, SDL_Surface* surface, const RECT& area, int scale) {
  cairo_surface_t* source = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(top.store.data()), CAIRO_FORMAT_ARGB32, top.store_width, top.store_height,
      top.store_width * 4);
  const RECT target{area.left * scale, area.top * scale, area.right * scale, area.bottom * scale};
  const int width = target.right - target.left, height = target.bottom - target.top;
  const bool direct = SameLayoutAsStore(surface->format->format);
  std::vector<std::uint32_t> buffer;
  cairo_surface_t* screen = nullptr;
  if (direct) {
    screen = cairo_image_surface_create_for_data(static_cast<unsigned char*>(surface->pixels),
                                                 surface->format->format == SDL_PIXELFORMAT_ARGB8888 ? CAIRO_FORMAT_ARGB32
                                                                                                      : CAIRO_FORMAT_RGB24,
                                                 surface->w, surface->h, surface->pitch);
  } else {
    buffer.resize(static_cast<std::size_t>(width) * height);
    screen = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(buffer.data()), CAIRO_FORMAT_ARGB32,
                                                 width, height, width * 4);
  }
  cairo_t* cr = cairo_create(screen);
  if (!direct) cairo_translate(cr, -target.left, -target.top);
  cairo_rectangle(cr, target.left, target.top, width, height);
  cairo_clip(cr);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, source, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(screen);
  cairo_surface_destroy(screen);
  cairo_surface_destroy(source);
  if (!direct) {
    auto* out = static_cast<std::uint8_t*>(surface->pixels) + target.top * surface->pitch +
                target.left * surface->format->BytesPerPixel;
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, buffer.data(), width * 4, surface->format->format, out,
                      surface->pitch);
  }
}

}  // namespace

bool Ready() { return State().ready; }
bool HasEventSource() { return State().has_event_source; }

void PushWakeup() {
  Uint32 type = State().wakeup_event.load();
  if (type == 0) return;
  SDL_Event event{};
  event.type = type;
  SDL_PushEvent(&event);
}

SDL_Window* CreateNativeWindow(const RECT& rect, DWORD ex_style, x11::Roles::Kind kind) {
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
  if ((ex_style & WS_EX_TOOLWINDOW) != 0 && (ex_style & WS_EX_APPWINDOW) == 0) flags |= SDL_WINDOW_SKIP_TASKBAR;
  if ((ex_style & WS_EX_TOPMOST) != 0) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  // Tooltips and menus are windows the window manager neither manages nor focuses.
  if (kind == x11::Roles::Kind::kTooltip) flags |= SDL_WINDOW_TOOLTIP;
  if (kind == x11::Roles::Kind::kPopupMenu) flags |= SDL_WINDOW_POPUP_MENU;
  int width = std::max<int>(1, ToScreen(rect.right - rect.left));
  int height = std::max<int>(1, ToScreen(rect.bottom - rect.top));
  SDL_Window* window = SDL_CreateWindow("", ToScreen(rect.left), ToScreen(rect.top), width, height, flags);
  if (window != nullptr && State().driver == "x11") x11::SetClass(window, State().app_id);
  return window;
}

void ApplyNativeRoles(SDL_Window* window, const x11::Roles& roles, bool mapped) {
  if (window != nullptr && State().driver == "x11") x11::ApplyRoles(window, roles, mapped);
}

void DestroyNativeWindow(SDL_Window* window) {
  if (window != nullptr) SDL_DestroyWindow(window);
}

std::uint32_t NativeId(SDL_Window* window) { return SDL_GetWindowID(window); }

void ShowNative(SDL_Window* window, bool visible) {
  if (visible) {
    SDL_ShowWindow(window);
  } else {
    SDL_HideWindow(window);
  }
}

void MoveNative(SDL_Window* window, const RECT& rect) {
  SDL_SetWindowPosition(window, ToScreen(rect.left), ToScreen(rect.top));
  SDL_SetWindowSize(window, std::max<int>(1, ToScreen(rect.right - rect.left)),
                    std::max<int>(1, ToScreen(rect.bottom - rect.top)));
}

void RaiseNative(SDL_Window* window) { SDL_RaiseWindow(window); }
void MinimizeNative(SDL_Window* window) { SDL_MinimizeWindow(window); }
void RestoreNative(SDL_Window* window) { SDL_RestoreWindow(window); }

void SetNativeTitle(SDL_Window* window, const std::u16string& title) {
  SDL_SetWindowTitle(window, Utf16ToUtf8(title).c_str());
}

void SetNativeIcons(SDL_Window* window, HICON big, HICON small) {
  const IconImage* image = GetIconImage(big != nullptr ? big : small);
  if (image == nullptr) return;
  if (SDL_Surface* surface = SurfaceFromIcon(*image)) {
    SDL_SetWindowIcon(window, surface);
    SDL_FreeSurface(surface);
  }
  if (State().driver != "x11") return;
  // Every size of both icons, each once, largest first: the desktop picks what it shows.
  std::vector<const IconImage*> sizes;
  for (HICON icon : {big, small}) {
    for (const IconImage* each : IconSizes(icon)) {
      const bool known = std::any_of(sizes.begin(), sizes.end(), [&](const IconImage* seen) {
        return seen->width == each->width && seen->height == each->height;
      });
      if (!known) sizes.push_back(each);
    }
  }
  std::sort(sizes.begin(), sizes.end(), [](const IconImage* a, const IconImage* b) { return a->width > b->width; });
  x11::SetIcons(window, sizes);
}

void SetNativeOpacity(SDL_Window* window, BYTE alpha) { SDL_SetWindowOpacity(window, static_cast<float>(alpha) / 255.0f); }

void Present(Window& top, const RECT& rect) {
  SDL_Surface* surface = SDL_GetWindowSurface(top.sdl);
  if (surface == nullptr) return;
  const int scale = Scale();
  RECT area = Intersect(rect, RECT{0, 0, std::min(top.store_width, surface->w / scale),
                                   std::min(top.store_height, surface->h / scale)});
  if (RectEmpty(area)) return;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  if (scale == 1) {
    const std::uint32_t* source = top.store.data() + static_cast<std::size_t>(area.top) * top.store_width + area.left;
    auto* target = static_cast<std::uint8_t*>(surface->pixels) + area.top * surface->pitch +
                   area.left * surface->format->BytesPerPixel;
    if (SameLayoutAsStore(surface->format->format)) {
      for (int y = 0; y < height; ++y) {
        std::memcpy(target + y * surface->pitch, source + static_cast<std::size_t>(y) * top.store_width,
                    static_cast<std::size_t>(width) * 4);
      }
    } else {
      SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, source, top.store_width * 4, surface->format->format,
                        target, surface->pitch);
    }
  } else {
    PresentScaled(top, surface, area, scale);
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  DrawCaretOver(top, area);
  SDL_Rect update{area.left * scale, area.top * scale, width * scale, height * scale};
  SDL_UpdateWindowSurfaceRects(top.sdl, &update, 1);
  ++top.present_count;
}

void InvertOnScreen(Window& top, const RECT& rect, bool update_screen) {
  SDL_Surface* surface = SDL_GetWindowSurface(top.sdl);
  if (surface == nullptr || surface->format->BytesPerPixel != 4) return;
  const int scale = Scale();
  const RECT scaled{rect.left * scale, rect.top * scale, rect.right * scale, rect.bottom * scale};
  RECT area = Intersect(scaled, RECT{0, 0, std::min(top.store_width * scale, surface->w),
                                     std::min(top.store_height * scale, surface->h)});
  if (RectEmpty(area)) return;
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  const Uint32 colour_bits = surface->format->Rmask | surface->format->Gmask | surface->format->Bmask;
  for (int y = area.top; y < area.bottom; ++y) {
    auto* row = reinterpret_cast<Uint32*>(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = area.left; x < area.right; ++x) row[x] ^= colour_bits;
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (update_screen) {
    SDL_Rect update{area.left, area.top, area.right - area.left, area.bottom - area.top};
    SDL_UpdateWindowSurfaceRects(top.sdl, &update, 1);
  }
}

std::vector<std::uint32_t> ReadScreen(Window& top, int* width, int* height) {
  *width = 0;
  *height = 0;
  SDL_Surface* surface = top.sdl != nullptr ? SDL_GetWindowSurface(top.sdl) : nullptr;
  if (surface == nullptr) return {};
  const int w = std::min(top.store_width * Scale(), surface->w);
  const int h = std::min(top.store_height * Scale(), surface->h);
  if (w <= 0 || h <= 0) return {};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  SDL_ConvertPixels(w, h, surface->format->format, surface->pixels, surface->pitch, SDL_PIXELFORMAT_ARGB8888,
                    pixels.data(), w * 4);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (surface->format->Amask == 0) {
    for (auto& pixel : pixels) pixel |= 0xFF000000u;
  }
  *width = w;
  *height = h;
  return pixels;
}

void PumpEvents(ThreadState& self) {
  if (!Ready()) return;
  SDL_PumpEvents();
  SDL_Event events[64];
  for (;;) {
    int count = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (count <= 0) break;
    for (int i = 0; i < count; ++i) Translate(self, events[i], events + i + 1, count - i - 1);
  }
}

void WaitForEvents(int timeout_ms) {
  if (timeout_ms < 0) {
    SDL_WaitEvent(nullptr);
  } else {
    SDL_WaitEventTimeout(nullptr, timeout_ms);
  }
}

void ApplyCursor(HCURSOR cursor) {
  if (!Ready()) return;
  CursorCache& cache = Cursors();
  if (cursor == nullptr) {
    if (!cache.hidden) SDL_ShowCursor(SDL_DISABLE);
    cache.hidden = true;
    cache.applied = nullptr;
    return;
  }
  if (cache.hidden) {
    SDL_ShowCursor(SDL_ENABLE);
    cache.hidden = false;
  }
  if (cursor == cache.applied && GetIconImage(cursor)->system_cursor_id != 0) return;
  if (SDL_Cursor* realised = RealiseCursor(cursor)) SDL_SetCursor(realised);
  cache.applied = cursor;
}

void SetTextInputArea(const RECT& screen_rect) {
  if (!Ready()) return;
  SDL_Rect area{ToScreen(screen_rect.left), ToScreen(screen_rect.top), ToScreen(screen_rect.right - screen_rect.left),
                ToScreen(screen_rect.bottom - screen_rect.top)};
  SDL_SetTextInputRect(&area);
}

std::optional<POINT> GlobalPointer() {
  if (!Ready() || !HasEventSource()) return std::nullopt;
  int x = 0, y = 0;
  SDL_GetGlobalMouseState(&x, &y);
  return POINT{FromScreen(x), FromScreen(y)};
}

void CaptureMouse(bool capture) {
  if (Ready() && HasEventSource()) SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

std::vector<Display> Displays() {
  std::vector<Display> displays;
  if (!Ready()) return displays;
  int count = SDL_GetNumVideoDisplays();
  for (int i = 0; i < count; ++i) {
    SDL_Rect bounds{}, usable{};
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    if (SDL_GetDisplayUsableBounds(i, &usable) != 0) usable = bounds;
    auto ours = [](const SDL_Rect& r) {
      return RECT{FromScreen(r.x), FromScreen(r.y), FromScreen(r.x + r.w), FromScreen(r.y + r.h)};
    };
    displays.push_back(Display{ours(bounds), ours(usable)});
  }
  return displays;
}

bool SetClipboard(const std::string& utf8) { return Ready() && SDL_SetClipboardText(utf8.c_str()) == 0; }

std::optional<std::string> GetClipboard() {
  if (!Ready() || SDL_HasClipboardText() != SDL_TRUE) return std::nullopt;
  char* text = SDL_GetClipboardText();
  if (text == nullptr) return std::nullopt;
  std::string copy = text;
  SDL_free(text);
  return copy;
}

bool HasClipboard() { return Ready() && SDL_HasClipboardText() == SDL_TRUE; }

}  // namespace detail::video

bool InitWindowing() {
  using namespace detail;
  auto& state = video::State();
  std::lock_guard lock(state.mutex);
  if (state.tried) return state.ready && state.thread == std::this_thread::get_id();
  state.tried = true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A desktop's display only: without one, SDL would next try to take over the console
  // (KMS/DRM). SDL_VIDEODRIVER in the environment still wins (tests use "offscreen").
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the click that activates a window reaches it
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
  // The display's own framebuffer (X shared memory, or plain memory offscreen): a GL
  // texture in between costs tens of milliseconds per window and gains nothing here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    state.error = SDL_GetError();
    return false;
  }
  static video::VideoShutdown shutdown;
  state.driver = SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "";
  state.has_event_source.store(state.driver != "offscreen" && state.driver != "dummy");
  state.scale.store(video::DesktopScale(state.driver));
  state.wakeup_event.store(SDL_RegisterEvents(1));
  SDL_StartTextInput();
  state.thread = std::this_thread::get_id();
  auto self = CurrentThreadShared();
  self->is_windowing_thread = true;
  {
    auto& registry = Registry::Get();
    std::lock_guard registry_lock(registry.mutex);
    registry.windowing_thread = self;
  }
  state.ready.store(true);
  return true;
}

bool IsWindowingThread() {
  auto& state = detail::video::State();
  std::lock_guard lock(state.mutex);
  return state.ready && state.thread == std::this_thread::get_id();
}

int WindowScale() { return detail::video::Scale(); }

std::string VideoDriverName() {
  auto& state = detail::video::State();
  std::lock_guard lock(state.mutex);
  return state.driver;
}

HRESULT SetCurrentProcessExplicitAppUserModelID(const char16_t* id) {
  auto& state = detail::video::State();
  std::lock_guard lock(state.mutex);
  state.app_id = id != nullptr ? Utf16ToUtf8(id) : std::string();
  return S_OK;
}

std::string WindowingError() {
  auto& state = detail::video::State();
  std::lock_guard lock(state.mutex);
  return state.error;
}

}  // namespace platform
