// Text output and measurement of the cairo target, through pango.
#include "cairo_target.h"

#include <algorithm>
#include <limits>

namespace LOOM {

HRESULT SRenderTarget_Cairo::TextExtent(std::u16string_view text, SIZE* out) {
  if (!out) return E_POINTER;
  auto* font = dynamic_cast<SFont_Cairo*>(font_.get());
  if (!font) return E_FAIL;
  *out = font->Measure(text);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::TextAt(int x, int y, std::u16string_view text) {
  SIZE size{};
  if (FAILED(TextExtent(text, &size))) return E_FAIL;
  RECT rc{x, y, x + size.cx, y + size.cy};
  return TextDraw(text, &rc, DT_SINGLELINE);
}

HRESULT SRenderTarget_Cairo::TextDraw(std::u16string_view text, RECT* rc, UINT format) {
  if (!rc) return E_POINTER;
  auto* font = dynamic_cast<SFont_Cairo*>(font_.get());
  bool single = (format & DT_SINGLELINE) != 0;
  PangoLayout* layout = (font && !text.empty()) ? font->NewLayout(text, single) : nullptr;
  if (!layout) {
    if (format & DT_CALCRECT) *rc = {rc->left, rc->top, rc->left, rc->top};
    return S_OK;
  }
  int box_w = rc->right - rc->left, box_h = rc->bottom - rc->top;
  // Pango counts in 1/1024 pixels: wider boxes (an "unbounded" measuring width) are
  // as good as this one.
  int pango_w = std::min(box_w, std::numeric_limits<int>::max() / PANGO_SCALE);
  if ((format & DT_WORDBREAK) && !single && box_w > 0) {
    pango_layout_set_width(layout, pango_w * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else if ((format & DT_END_ELLIPSIS) && box_w > 0 && !(format & DT_CALCRECT)) {
    pango_layout_set_width(layout, pango_w * PANGO_SCALE);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  }
  PangoAlignment align = (format & DT_CENTER) ? PANGO_ALIGN_CENTER : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT;
  pango_layout_set_alignment(layout, align);
  int text_w = 0, text_h = 0;
  pango_layout_get_pixel_size(layout, &text_w, &text_h);

  if (format & DT_CALCRECT) {
    rc->right = rc->left + text_w;
    rc->bottom = rc->top + text_h;
    g_object_unref(layout);
    return S_OK;
  }
  // A layout with a width aligns its lines itself; otherwise the block is placed here.
  double x = rc->left, y = rc->top;
  if (pango_layout_get_width(layout) < 0) {
    if (format & DT_CENTER) x += (box_w - text_w) / 2;
    else if (format & DT_RIGHT) x += box_w - text_w;
  }
  if (single) {
    if (format & DT_BOTTOM) y += box_h - text_h;
    else if (format & DT_VCENTER) y += (box_h - text_h) / 2;
  }
  BYTE opacity = ColorAlpha(text_color_);
  if (opacity != 0) {
    cairo_save(cr_);
    if (!(format & DT_NOCLIP)) {
      cairo_new_path(cr_);
      cairo_rectangle(cr_, rc->left, rc->top, box_w, box_h);
      cairo_clip(cr_);
    }
    SetSourceColor(text_color_, opacity / 255.0);
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout);
    cairo_restore(cr_);
  }
  g_object_unref(layout);
  return S_OK;
}

}  // namespace LOOM
