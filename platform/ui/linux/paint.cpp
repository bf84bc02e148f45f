// Invalid areas, WM_PAINT, devices and presenting a window's pixels.
#include "platform/ui/paint.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/linux/sdl_video.h"
#include "platform/ui/window.h"
#include "platform/ui/linux/window_system.h"

namespace platform {
namespace detail {
namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;

DeviceContext* FindDevice(HDC hdc) {
  ThreadState& self = CurrentThread();
  for (auto& device : self.devices) {
    if (reinterpret_cast<HDC>(device.get()) == hdc) return device.get();
  }
  return nullptr;
}

HDC MakeDevice(HWND hwnd, const RECT* clip, bool painting) {
  auto device = std::make_unique<DeviceContext>();
  device->hwnd = hwnd;
  device->painting = painting;
  if (hwnd != nullptr) {
    HWND top = RootOf(hwnd);
    POINT here = ClientOriginOnScreen(hwnd);
    POINT there = ClientOriginOnScreen(top);
    device->top = top;
    device->origin = POINT{here.x - there.x, here.y - there.y};
    RECT client{};
    GetClientRect(hwnd, &client);
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(top);
    if (window != nullptr && !window->store.empty() && device->origin.x >= 0 && device->origin.y >= 0) {
      RECT in_store = Offset(RECT{0, 0, window->store_width, window->store_height}, -device->origin.x,
                             -device->origin.y);
      RECT visible = Intersect(client, in_store);
      device->surface.clip = clip != nullptr ? Intersect(*clip, visible) : visible;
      device->surface.width = std::min(client.right, in_store.right);
      device->surface.height = std::min(client.bottom, in_store.bottom);
      device->surface.stride = window->store_width;
      device->surface.pixels = window->store.data() + static_cast<std::size_t>(device->origin.y) * window->store_width +
                               device->origin.x;
    }
  }
  HDC hdc = reinterpret_cast<HDC>(device.get());
  CurrentThread().devices.push_back(std::move(device));
  return hdc;
}

// Presents the device's drawn area (and `also`) and forgets the device.
void FinishDevice(HDC hdc, const RECT& also) {
  ThreadState& self = CurrentThread();
  auto it = std::find_if(self.devices.begin(), self.devices.end(),
                         [hdc](const auto& device) { return reinterpret_cast<HDC>(device.get()) == hdc; });
  if (it == self.devices.end()) return;
  std::unique_ptr<DeviceContext> device = std::move(*it);
  self.devices.erase(it);
  if (device->top == nullptr) return;
  RECT area = Intersect(Union(device->dirty, also), device->surface.clip);
  if (RectEmpty(area)) return;
  std::shared_ptr<Window> top;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    top = registry.FindShared(device->top);
  }
  if (top) PresentRect(*top, Offset(area, device->origin.x, device->origin.y));
}

void InvalidateOne(HWND hwnd, const RECT* rect, bool erase) {
  std::shared_ptr<ThreadState> owner;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window == nullptr) return;
    RECT client{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    RECT area = rect != nullptr ? Intersect(*rect, client) : client;
    if (RectEmpty(area)) return;
    window->update = window->has_update ? Union(window->update, area) : area;
    window->has_update = true;
    window->update_erase = window->update_erase || erase;
    owner = window->thread;
  }
  if (owner) owner->Wake();
}

}  // namespace

void ResizeStore(Window& top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == top.store_width && height == top.store_height) return;
  std::vector<std::uint32_t> store(static_cast<std::size_t>(width) * height, kOpaqueWhite);
  int keep_width = std::min(width, top.store_width);
  for (int y = 0; y < std::min(height, top.store_height); ++y) {
    std::memcpy(store.data() + static_cast<std::size_t>(y) * width,
                top.store.data() + static_cast<std::size_t>(y) * top.store_width,
                static_cast<std::size_t>(keep_width) * sizeof(std::uint32_t));
  }
  top.store = std::move(store);
  top.store_width = width;
  top.store_height = height;
}

void PresentRect(Window& top, const RECT& client_rect) {
  if (top.sdl == nullptr) return;
  RECT area = Intersect(client_rect, RECT{0, 0, top.store_width, top.store_height});
  if (RectEmpty(area)) return;
  video::Present(top, area);
}

}  // namespace detail

using namespace detail;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (hwnd == nullptr) {
    std::vector<HWND> all;
    {
      auto& registry = Registry::Get();
      std::lock_guard lock(registry.mutex);
      all = CurrentThread().windows;
    }
    for (HWND each : all) InvalidateOne(each, nullptr, erase != FALSE);
    return TRUE;
  }
  if (!IsWindow(hwnd)) return FALSE;
  InvalidateOne(hwnd, rect, erase != FALSE);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return FALSE;
  if (!window->has_update) return TRUE;
  RECT& update = window->update;
  if (rect == nullptr || (rect->left <= update.left && rect->top <= update.top && rect->right >= update.right &&
                          rect->bottom >= update.bottom)) {
    window->has_update = false;
    window->update_erase = false;
    update = RECT{};
    return TRUE;
  }
  // A rectangle spanning the whole width or height cuts a band off one side.
  if (rect->left <= update.left && rect->right >= update.right) {
    if (rect->top <= update.top && rect->bottom > update.top) update.top = rect->bottom;
    if (rect->bottom >= update.bottom && rect->top < update.bottom) update.bottom = rect->top;
  } else if (rect->top <= update.top && rect->bottom >= update.bottom) {
    if (rect->left <= update.left && rect->right > update.left) update.left = rect->right;
    if (rect->right >= update.right && rect->left < update.right) update.right = rect->left;
  }
  if (RectEmpty(update)) {
    window->has_update = false;
    update = RECT{};
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL /*erase*/) {
  auto& registry = Registry::Get();
  std::lock_guard lock(registry.mutex);
  Window* window = registry.Find(hwnd);
  if (window == nullptr) return FALSE;
  if (rect != nullptr) *rect = window->has_update ? window->update : RECT{};
  return window->has_update ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsOwnWindow(hwnd)) return FALSE;
  std::vector<HWND> children;
  bool paint = false;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    paint = window->has_update;
    children = window->children;
  }
  if (paint && IsWindowVisible(hwnd) && !IsIconic(hwnd)) CallWindow(hwnd, WM_PAINT, 0, 0);
  for (HWND child : children) UpdateWindow(child);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (paint == nullptr || !IsOwnWindow(hwnd)) return nullptr;
  RECT area{};
  bool erase = false;
  {
    auto& registry = Registry::Get();
    std::lock_guard lock(registry.mutex);
    Window* window = registry.Find(hwnd);
    if (window->has_update) area = window->update;
    erase = window->update_erase;
    window->has_update = false;
    window->update_erase = false;
    window->update = RECT{};
  }
  *paint = PAINTSTRUCT{};
  paint->rcPaint = area;
  paint->hdc = MakeDevice(hwnd, &area, true);
  if (erase) paint->fErase = CallWindow(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) == 0;
  return paint->hdc;
}

BOOL EndPaint(HWND /*hwnd*/, const PAINTSTRUCT* paint) {
  if (paint == nullptr || FindDevice(paint->hdc) == nullptr) return FALSE;
  FinishDevice(paint->hdc, paint->rcPaint);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (hwnd != nullptr && !IsOwnWindow(hwnd)) return nullptr;
  return MakeDevice(hwnd, nullptr, false);
}

int ReleaseDC(HWND /*hwnd*/, HDC hdc) {
  DeviceContext* device = FindDevice(hdc);
  if (device == nullptr || device->painting) return 0;
  FinishDevice(hdc, RECT{});
  return 1;
}

const PixelSurface* GetDCSurface(HDC hdc) {
  DeviceContext* device = FindDevice(hdc);
  return device == nullptr ? nullptr : &device->surface;
}

void MarkDCDirty(HDC hdc, const RECT& rect) {
  DeviceContext* device = FindDevice(hdc);
  if (device != nullptr) device->dirty = Union(device->dirty, Intersect(rect, device->surface.clip));
}

BOOL BlitToDC(HDC hdc, int x, int y, int width, int height, const std::uint32_t* source, int source_stride) {
  DeviceContext* device = FindDevice(hdc);
  if (device == nullptr || source == nullptr || width <= 0 || height <= 0 || source_stride < width) return FALSE;
  PixelSurface& surface = device->surface;
  if (surface.pixels == nullptr) return FALSE;
  RECT target = Intersect(RECT{x, y, x + width, y + height}, surface.clip);
  if (RectEmpty(target)) return TRUE;
  const std::size_t row_bytes = static_cast<std::size_t>(target.right - target.left) * sizeof(std::uint32_t);
  for (int row = target.top; row < target.bottom; ++row) {
    const std::uint32_t* from = source + static_cast<std::size_t>(row - y) * source_stride + (target.left - x);
    std::uint32_t* to = surface.pixels + static_cast<std::size_t>(row) * surface.stride + target.left;
    std::memcpy(to, from, row_bytes);
  }
  device->dirty = Union(device->dirty, target);
  return TRUE;
}

BOOL UpdateLayeredWindowPixels(HWND hwnd, const POINT* position, const SIZE* size, const std::uint32_t* pixels,
                               int stride, const RECT* dirty, BYTE alpha) {
  if (!IsOwnWindow(hwnd) || pixels == nullptr) return FALSE;
  RECT now{};
  GetWindowRect(hwnd, &now);
  if (position != nullptr || size != nullptr) {
    int x = position != nullptr ? position->x : now.left;
    int y = position != nullptr ? position->y : now.top;
    int cx = size != nullptr ? size->cx : now.right - now.left;
    int cy = size != nullptr ? size->cy : now.bottom - now.top;
    SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  int width = size != nullptr ? size->cx : now.right - now.left;
  int height = size != nullptr ? size->cy : now.bottom - now.top;
  if (stride < width) return FALSE;
  SetLayeredWindowAttributes(hwnd, 0, alpha, LWA_ALPHA);
  RECT area = dirty != nullptr ? *dirty : RECT{0, 0, width, height};
  HDC hdc = GetDC(hwnd);
  area = Intersect(area, RECT{0, 0, width, height});
  if (!RectEmpty(area)) {
    BlitToDC(hdc, area.left, area.top, area.right - area.left, area.bottom - area.top,
             pixels + static_cast<std::size_t>(area.top) * stride + area.left, stride);
  }
  ReleaseDC(hwnd, hdc);
  ValidateRect(hwnd, nullptr);  // painted only this way: no WM_PAINT of its own
  return TRUE;
}

}  // namespace platform
