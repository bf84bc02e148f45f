#include "canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace artgen {
namespace {

struct LayoutDeleter {
  void operator()(PangoLayout* l) const { g_object_unref(l); }
};
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;

Layout MakeLayout(cairo_t* cr, const std::string& text, const TextStyle& style) {
  Layout layout(pango_cairo_create_layout(cr));
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, style.family.c_str());
  pango_font_description_set_absolute_size(font, style.pixel_size * PANGO_SCALE);
  pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  if (style.letter_spacing != 0) {
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_letter_spacing_new(static_cast<int>(style.letter_spacing * PANGO_SCALE)));
    pango_layout_set_attributes(layout.get(), attrs);
    pango_attr_list_unref(attrs);
  }
  // Grey anti-aliasing without hinting, as the toolkit draws text.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout.get());
  pango_layout_set_text(layout.get(), text.c_str(), -1);
  return layout;
}

void ShowLayout(cairo_t* cr, PangoLayout* layout, const TextStyle& style, double x, double y) {
  if (style.shadow.a > 0.01) {
    SetColor(cr, style.shadow);
    cairo_move_to(cr, x, y + style.shadow_dy);
    pango_cairo_show_layout(cr, layout);
  }
  SetColor(cr, style.colour);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
}

}  // namespace

Surface NewSurface(int width, int height, bool alpha) {
  Surface s(cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height));
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cannot create a surface");
  return s;
}

Context NewContext(const Surface& surface) { return Context(cairo_create(surface.get())); }

Rgba Hex(const char* hex, double alpha) {
  unsigned value = static_cast<unsigned>(std::stoul(std::string(hex + (hex[0] == '#' ? 1 : 0)), nullptr, 16));
  return Rgba{((value >> 16) & 255) / 255.0, ((value >> 8) & 255) / 255.0, (value & 255) / 255.0, alpha};
}

Rgba Mix(Rgba a, Rgba b, double t) {
  return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba Lighter(Rgba c, double amount) { return Mix(c, Rgba{1, 1, 1, c.a}, amount); }
Rgba Darker(Rgba c, double amount) { return Mix(c, Rgba{0, 0, 0, c.a}, amount); }

Rgba Grey(Rgba c) {
  double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
  return Rgba{y, y, y, c.a};
}

void SetColor(cairo_t* cr, Rgba c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void FillVertical(cairo_t* cr, double y0, double y1, Rgba top, Rgba bottom, bool preserve) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  cairo_set_source(cr, p);
  if (preserve) cairo_fill_preserve(cr);
  else cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void Glow(cairo_t* cr, double x, double y, double w, double h, double r, Rgba colour, int rings) {
  for (int i = rings; i >= 1; --i) {
    Rgba c = colour;
    c.a = colour.a * (1.0 - static_cast<double>(i) / (rings + 1)) / rings * 2.2;
    RoundedRect(cr, x - i, y - i, w + 2 * i, h + 2 * i, r + i);
    SetColor(cr, c);
    cairo_fill(cr);
  }
}

void MeasureText(cairo_t* cr, const std::string& text, const TextStyle& style, double* width, double* height) {
  Layout layout = MakeLayout(cr, text, style);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout.get(), &w, &h);
  *width = w;
  *height = h;
}

void CenterText(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y, double w, double h) {
  Layout layout = MakeLayout(cr, text, style);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout.get(), &ink, &logical);
  // Centre the ink vertically (CJK glyphs sit high in their logical box), the logical
  // box horizontally; whole pixels keep strokes crisp.
  double tx = std::round(x + (w - logical.width) / 2.0 - logical.x);
  double ty = std::round(y + (h - ink.height) / 2.0 - ink.y);
  ShowLayout(cr, layout.get(), style, tx, ty);
}

void PlaceText(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y) {
  Layout layout = MakeLayout(cr, text, style);
  ShowLayout(cr, layout.get(), style, x, y);
}

void TextPath(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y) {
  Layout layout = MakeLayout(cr, text, style);
  cairo_move_to(cr, x, y);
  pango_cairo_layout_path(cr, layout.get());
}

double Random::Next() {
  state_ = state_ * 1664525u + 1013904223u;
  return (state_ >> 8) / 16777216.0;
}

}  // namespace artgen
