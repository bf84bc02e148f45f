// Text and shapes of the GDI target. GDI draws them without alpha: they go through an
// alpha layer at the opacity of their colour (text: the text colour's; outlines: the
// pen's; brush fills: the brush's), or, for the plain rectangle outline, under the
// alpha guard.
#include <algorithm>
#include <cmath>

#include "gdi_alpha.h"
#include "gdi_target.h"
#include "platform/base/wide_text.h"

namespace LOOM {
namespace {

constexpr double kPi = 3.1415925;  // the value the arc end points are computed with

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Inflated(const RECT& r, int by) { return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

// Selects an object into a context for the life of the scope.
class Selected {
 public:
  Selected(::HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~Selected() { ::SelectObject(dc_, previous_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  ::HDC dc_;
  HGDIOBJ previous_;
};

HGDIOBJ HollowBrush() { return ::GetStockObject(NULL_BRUSH); }
HGDIOBJ NoPen() { return ::GetStockObject(NULL_PEN); }

// The point of the ellipse inscribed in rc at an angle in degrees.
POINT EllipsePoint(const RECT& rc, double degrees) {
  const double radians = degrees * kPi / 180.0;
  const double cx = (rc.left + rc.right) / 2.0, cy = (rc.top + rc.bottom) / 2.0;
  return POINT{static_cast<LONG>(std::lround(cx + std::cos(radians) * Width(rc) / 2.0)),
               static_cast<LONG>(std::lround(cy + std::sin(radians) * Height(rc) / 2.0))};
}

}  // namespace

// ---------------------------------------------------------------------------
// Text

HRESULT SRenderTarget_GDI::TextExtent(std::u16string_view text, SIZE* out) {
  if (!out) return E_POINTER;
  *out = SIZE{};
  const std::u16string copy(text);
  return ::GetTextExtentPoint32W(dc_, AsWideText(copy.c_str()), static_cast<int>(copy.size()), out) ? S_OK : E_FAIL;
}

HRESULT SRenderTarget_GDI::TextAt(int x, int y, std::u16string_view text) {
  SIZE size{};
  if (FAILED(TextExtent(text, &size))) return E_FAIL;
  RECT rc{x, y, x + size.cx, y + size.cy};
  return TextDraw(text, &rc, DT_SINGLELINE);
}

HRESULT SRenderTarget_GDI::TextDraw(std::u16string_view text, RECT* rc, UINT format) {
  if (!rc) return E_POINTER;
  std::u16string copy(text);
  const int length = static_cast<int>(copy.size());
  if (format & DT_CALCRECT) {
    // Measured on the target's own context; a failure leaves no size at the corner.
    if (length == 0 || ::DrawTextW(dc_, AsWideText(copy.data()), length, rc, format) == 0)
      *rc = RECT{rc->left, rc->top, rc->left, rc->top};
    return S_OK;
  }
  if (length == 0) return S_OK;
  // Only the glyph pixels reach the target, at the text colour's opacity. Text that
  // may run past its rectangle (DT_NOCLIP) gets a layer as large as the clip allows.
  RECT box = *rc;
  RECT layer_area = box;
  if (format & DT_NOCLIP) {
    RECT clip{};
    if (::GetClipBox(dc_, &clip) != ERROR) ::UnionRect(&layer_area, &box, &clip);
  }
  Layered(layer_area, ColorAlpha(text_color_), true, [&](::HDC layer) {
    RECT in_layer = box;
    ::DrawTextW(layer, AsWideText(copy.data()), length, &in_layer, format);
  });
  return S_OK;
}

// ---------------------------------------------------------------------------
// Outlines

HRESULT SRenderTarget_GDI::StrokeRect(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  const int w = pen_->Width();
  // The outline lies on the rectangle's own pixels, drawn straight with the pen (the
  // context's advanced mode includes the right and bottom edge); the alpha of those
  // pixels stays as it was.
  const int half = w / 2;
  RECT r = w <= 1 ? RECT{rc.left, rc.top, rc.right - 1, rc.bottom - 1}
                  : RECT{rc.left + half, rc.top + half, rc.right - half, rc.bottom - half};
  Selected pen(dc_, PenHandle());
  Selected brush(dc_, HollowBrush());
  Guarded(rc, [&] { return ::Rectangle(dc_, r.left, r.top, r.right, r.bottom); });
  return S_OK;
}

HRESULT SRenderTarget_GDI::StrokeRoundRect(const RECT& rc, POINT corner) {
  if (Empty(rc)) return S_OK;
  Layered(Inflated(rc, pen_->Width() / 2), PenOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, PenHandle());
    Selected brush(layer, HollowBrush());
    ::RoundRect(layer, rc.left, rc.top, rc.right, rc.bottom, corner.x * 2, corner.y * 2);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::StrokeEllipse(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  Layered(Inflated(rc, (pen_->Width() + 1) / 2), PenOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, PenHandle());
    Selected brush(layer, HollowBrush());
    ::Ellipse(layer, rc.left, rc.top, rc.right, rc.bottom);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::StrokeArc(const RECT& rc, float start_deg, float sweep_deg, bool pie) {
  if (Empty(rc)) return S_OK;
  const POINT from = EllipsePoint(rc, start_deg + sweep_deg), to = EllipsePoint(rc, start_deg);
  Layered(Inflated(rc, (pen_->Width() + 1) / 2), PenOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, PenHandle());
    Selected brush(layer, HollowBrush());
    if (pie) ::Pie(layer, rc.left, rc.top, rc.right, rc.bottom, from.x, from.y, to.x, to.y);
    else ::Arc(layer, rc.left, rc.top, rc.right, rc.bottom, from.x, from.y, to.x, to.y);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::StrokePolyline(const POINT* points, int count) {
  if (!points || count < 2) return S_OK;
  LONG min_x = 100000, min_y = 100000, max_x = 0, max_y = 0;
  for (int i = 0; i < count; ++i) {
    min_x = std::min(min_x, points[i].x);
    min_y = std::min(min_y, points[i].y);
    max_x = std::max(max_x, points[i].x);
    max_y = std::max(max_y, points[i].y);
  }
  const int w = pen_->Width();
  Layered(RECT{min_x - 1, min_y - 1, max_x + w, max_y + w}, PenOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, PenHandle());
    ::Polyline(layer, points, count);
  });
  return S_OK;
}

// ---------------------------------------------------------------------------
// Fills

HRESULT SRenderTarget_GDI::FillRectBrush(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  Layered(rc, BrushOpacity(), false, [&](::HDC layer) { ::FillRect(layer, &rc, BrushHandle()); });
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillColorRect(const RECT& rc, COLORREF color) {
  if (Empty(rc) || ColorAlpha(color) == 0) return S_OK;
  HBRUSH brush = ::CreateSolidBrush(color & 0x00FFFFFF);
  Layered(rc, ColorAlpha(color), false, [&](::HDC layer) { ::FillRect(layer, &rc, brush); });
  ::DeleteObject(brush);
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillRoundRectBrush(const RECT& rc, POINT corner) {
  if (Empty(rc)) return S_OK;
  Layered(rc, BrushOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, NoPen());
    Selected brush(layer, BrushHandle());
    ::RoundRect(layer, rc.left, rc.top, rc.right, rc.bottom, corner.x, corner.y);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillColorRoundRect(const RECT& rc, POINT corner, COLORREF color) {
  if (Empty(rc) || ColorAlpha(color) == 0) return S_OK;
  HBRUSH fill = ::CreateSolidBrush(color & 0x00FFFFFF);
  Layered(rc, ColorAlpha(color), false, [&](::HDC layer) {
    Selected pen(layer, NoPen());
    Selected brush(layer, fill);
    ::RoundRect(layer, rc.left, rc.top, rc.right, rc.bottom, corner.x * 2, corner.y * 2);
  });
  ::DeleteObject(fill);
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillEllipseBrush(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  Layered(rc, BrushOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, NoPen());
    Selected brush(layer, BrushHandle());
    ::Ellipse(layer, rc.left, rc.top, rc.right, rc.bottom);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillColorEllipse(const RECT& rc, COLORREF color) {
  if (Empty(rc) || ColorAlpha(color) == 0) return S_OK;
  HBRUSH fill = ::CreateSolidBrush(color & 0x00FFFFFF);
  Layered(rc, ColorAlpha(color), false, [&](::HDC layer) {
    Selected pen(layer, NoPen());
    Selected brush(layer, fill);
    ::Ellipse(layer, rc.left, rc.top, rc.right, rc.bottom);
  });
  ::DeleteObject(fill);
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillPie(const RECT& rc, float start_deg, float sweep_deg) {
  if (Empty(rc)) return S_OK;
  const POINT from = EllipsePoint(rc, start_deg + sweep_deg), to = EllipsePoint(rc, start_deg);
  Layered(rc, BrushOpacity(), true, [&](::HDC layer) {
    Selected pen(layer, NoPen());
    Selected brush(layer, BrushHandle());
    ::Pie(layer, rc.left, rc.top, rc.right, rc.bottom, from.x, from.y, to.x, to.y);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::FillGradientRect(const RECT& rc, bool vertical, COLORREF from, COLORREF to, BYTE alpha) {
  if (Empty(rc) || alpha == 0) return S_OK;
  auto vertex = [](LONG x, LONG y, COLORREF c, COLOR16 a) {
    return TRIVERTEX{x, y, static_cast<COLOR16>((c & 0xFF) << 8), static_cast<COLOR16>(((c >> 8) & 0xFF) << 8),
                     static_cast<COLOR16>(((c >> 16) & 0xFF) << 8), a};
  };
  GRADIENT_RECT mesh{0, 1};
  const ULONG mode = vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H;
  if (alpha == 255) {
    TRIVERTEX v[2] = {vertex(rc.left, rc.top, from, 0xFF00), vertex(rc.right, rc.bottom, to, 0xFF00)};
    ::GradientFill(dc_, v, 2, &mesh, 1, mode);
    return S_OK;
  }
  // In the layer the fill must leave the alpha byte cleared, as every other GDI
  // drawing does, to count as drawn.
  Layered(rc, alpha, false, [&](::HDC layer) {
    TRIVERTEX v[2] = {vertex(rc.left, rc.top, from, 0), vertex(rc.right, rc.bottom, to, 0)};
    ::GradientFill(layer, v, 2, &mesh, 1, mode);
  });
  return S_OK;
}

HRESULT SRenderTarget_GDI::ReplaceRect(const RECT& rc, COLORREF color) {
  if (Empty(rc)) return S_OK;
  // One premultiplied pixel, copied over the rectangle alpha and all.
  const std::uint32_t a = ColorAlpha(color);
  auto channel = [&](int shift) { return ((color >> shift) & 0xFF) * a / 255; };
  const std::uint32_t pixel = (a << 24) | (channel(0) << 16) | (channel(8) << 8) | channel(16);
  void* bits = nullptr;
  HBITMAP one = NewPixelSection(1, 1, &bits);
  if (!one) return E_OUTOFMEMORY;
  *static_cast<std::uint32_t*>(bits) = pixel;
  ::HDC source = ::CreateCompatibleDC(dc_);
  HGDIOBJ previous = ::SelectObject(source, one);
  ::StretchBlt(dc_, rc.left, rc.top, Width(rc), Height(rc), source, 0, 0, 1, 1, SRCCOPY);
  ::SelectObject(source, previous);
  ::DeleteDC(source);
  ::DeleteObject(one);
  return S_OK;
}

HRESULT SRenderTarget_GDI::InvertRect(const RECT& rc) {
  return Guarded(rc, [&] { return ::InvertRect(dc_, &rc); }) ? S_OK : E_UNEXPECTED;
}

HRESULT SRenderTarget_GDI::DrawIconImage(int x, int y, HICON icon, int width, int height, UINT flags) {
  if (!icon) return 1;
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return 1;
  BITMAP color{};
  const bool alpha_icon = info.hbmColor && ::GetObjectW(info.hbmColor, sizeof(color), &color) && color.bmBitsPixel == 32;
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  const UINT how = flags ? flags : DI_NORMAL;
  auto draw = [&] { return ::DrawIconEx(dc_, x, y, icon, width, height, 0, nullptr, how); };
  if (alpha_icon) return draw() ? S_OK : 1;
  const RECT area{x, y, x + (width > 0 ? width : ::GetSystemMetrics(SM_CXICON)),
                  y + (height > 0 ? height : ::GetSystemMetrics(SM_CYICON))};
  return Guarded(area, draw) ? S_OK : 1;
}

}  // namespace LOOM
