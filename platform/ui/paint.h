// Painting: the invalid area of each window, WM_PAINT, and the device a window is
// drawn through.
//
// Every top-level window on screen keeps a pixel store of its client area (32-bit,
// premultiplied blue, green, red, alpha, top row first). A device (HDC) is a view of
// that store, with the window's client origin and a clip rectangle; what is drawn
// into it reaches the screen when the device is given back (EndPaint, ReleaseDC):
// the painted rectangle, plus whatever was marked as drawn.
#pragma once

#include <cstdint>

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifndef _WIN32
struct HDC__;
using HDC = HDC__*;

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;
  RECT rcPaint{};
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32]{};
};
#endif

namespace platform {

// Adds a rectangle (client coordinates; nullptr: the whole client area) to the
// window's invalid area; `erase` asks for WM_ERASEBKGND in BeginPaint. Callable from
// any thread. nullptr as window invalidates every window of the calling thread.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
// Takes a rectangle (nullptr: everything) out of the invalid area. The area is kept
// as its bounding rectangle, so only a rectangle that covers it whole or a full band
// of one side shrinks it.
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
// Sends WM_PAINT at once when the window is visible and has an invalid area.
BOOL UpdateWindow(HWND hwnd);

// Validates the window and hands out its device clipped to the invalid area
// (PAINTSTRUCT::rcPaint); sends WM_ERASEBKGND first when asked for.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
// Presents rcPaint (and what was marked drawn) to the screen and releases the device.
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
// A device of the whole client area, outside WM_PAINT. nullptr gives a screen device
// without pixels (for measuring). ReleaseDC presents what was marked drawn.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);

// The pixels behind a device. `pixels` is the client origin; rows are `stride`
// pixels apart; nothing outside `clip` (client coordinates, within width x height)
// may be written. pixels is nullptr for a screen device or an empty window.
struct PixelSurface {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  RECT clip{};
};
const PixelSurface* GetDCSurface(HDC hdc);
// Marks a rectangle (client coordinates) as drawn, so that it is presented.
void MarkDCDirty(HDC hdc, const RECT& rect);
// Copies pixels (premultiplied BGRA, `source_stride` pixels per row) to the device at
// (x, y), clipped to the device, and marks the rectangle drawn.
BOOL BlitToDC(HDC hdc, int x, int y, int width, int height, const std::uint32_t* source, int source_stride);

// The layered-window update of a window painted only with per-pixel alpha: moves and
// sizes it when `position` or `size` is given, copies `dirty` (nullptr: everything)
// of the pixels (size->cx x size->cy, or the window's size) into its store and
// presents it with the constant opacity `alpha`. The screen shows the premultiplied
// colours; a compositor applies the constant opacity.
BOOL UpdateLayeredWindowPixels(HWND hwnd, const POINT* position, const SIZE* size, const std::uint32_t* pixels,
                               int stride, const RECT* dirty, BYTE alpha);

}  // namespace platform
