// Painting: the platform's invalid areas, WM_PAINT and devices. The toolkit's pixels
// (32-bit, premultiplied, top row first) reach a device as a device-independent
// bitmap, and a layered window through its layered update.
#include "platform/ui/paint.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/ui/win32/present_count.h"

namespace platform {
namespace win32 {
namespace {

struct PresentTable {
  std::mutex mutex;
  std::unordered_map<HWND, int> counts;
};
PresentTable& Presents() {
  static PresentTable table;
  return table;
}

BITMAPINFO TopDownBitmapInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

void CountPresent(HWND hwnd) {
  hwnd = hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;  // a child window shows through its top-level one
  if (!hwnd) return;
  std::lock_guard lock(Presents().mutex);
  ++Presents().counts[hwnd];
}

int PresentsOf(HWND hwnd) {
  std::lock_guard lock(Presents().mutex);
  auto it = Presents().counts.find(hwnd);
  return it == Presents().counts.end() ? 0 : it->second;
}

}  // namespace win32

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) { return ::InvalidateRect(hwnd, rect, erase); }
BOOL ValidateRect(HWND hwnd, const RECT* rect) { return ::ValidateRect(hwnd, rect); }
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) { return ::GetUpdateRect(hwnd, rect, erase); }
BOOL UpdateWindow(HWND hwnd) { return ::UpdateWindow(hwnd); }

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) { return ::BeginPaint(hwnd, paint); }
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) { return ::EndPaint(hwnd, paint); }
HDC GetDC(HWND hwnd) { return ::GetDC(hwnd); }
int ReleaseDC(HWND hwnd, HDC hdc) { return ::ReleaseDC(hwnd, hdc); }

// A window's device is drawn into by the platform itself: no pixels are handed out,
// only the size of its window and its clip.
const PixelSurface* GetDCSurface(HDC hdc) {
  thread_local PixelSurface surface;
  surface = PixelSurface{};
  if (!hdc) return nullptr;
  RECT client{};
  if (HWND hwnd = ::WindowFromDC(hdc); hwnd && ::GetClientRect(hwnd, &client)) {
    surface.width = client.right;
    surface.height = client.bottom;
  }
  if (::GetClipBox(hdc, &surface.clip) == ERROR) surface.clip = client;
  return &surface;
}

void MarkDCDirty(HDC, const RECT&) {}

BOOL BlitToDC(HDC hdc, int x, int y, int width, int height, const std::uint32_t* source, int source_stride) {
  if (!hdc || !source || width <= 0 || height <= 0 || source_stride < width) return FALSE;
  const BITMAPINFO info = win32::TopDownBitmapInfo(source_stride, height);
  const int copied = ::StretchDIBits(hdc, x, y, width, height, 0, 0, width, height, source, &info, DIB_RGB_COLORS,
                                     SRCCOPY);
  win32::CountPresent(::WindowFromDC(hdc));
  return copied > 0;
}

BOOL UpdateLayeredWindowPixels(HWND hwnd, const POINT* position, const SIZE* size, const std::uint32_t* pixels,
                               int stride, const RECT* dirty, BYTE alpha) {
  SIZE extent{};
  if (size) {
    extent = *size;
  } else {
    RECT window{};
    if (!::GetWindowRect(hwnd, &window)) return FALSE;
    extent = SIZE{window.right - window.left, window.bottom - window.top};
  }
  if (!pixels || extent.cx <= 0 || extent.cy <= 0 || stride < extent.cx) return FALSE;

  const BITMAPINFO info = win32::TopDownBitmapInfo(extent.cx, extent.cy);
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return FALSE;
  for (int row = 0; row < extent.cy; ++row) {
    std::memcpy(static_cast<std::uint32_t*>(bits) + static_cast<std::size_t>(row) * extent.cx,
                pixels + static_cast<std::size_t>(row) * stride, static_cast<std::size_t>(extent.cx) * 4);
  }
  HDC memory = ::CreateCompatibleDC(nullptr);
  HGDIOBJ previous = ::SelectObject(memory, section);

  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  POINT origin{0, 0};
  UPDATELAYEREDWINDOWINFO update{};
  update.cbSize = sizeof(update);
  update.pptDst = position;
  update.psize = &extent;
  update.hdcSrc = memory;
  update.pptSrc = &origin;
  update.pblend = &blend;
  update.dwFlags = ULW_ALPHA;
  update.prcDirty = dirty;
  BOOL done = ::UpdateLayeredWindowIndirect(hwnd, &update);
  if (!done) {
    done = ::UpdateLayeredWindow(hwnd, nullptr, const_cast<POINT*>(position), &extent, memory, &origin, 0, &blend,
                                 ULW_ALPHA);
  }
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
  ::DeleteObject(section);
  if (done) win32::CountPresent(hwnd);
  return done;
}

}  // namespace platform
