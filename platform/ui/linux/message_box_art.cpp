#include "platform/ui/linux/message_box_art.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/base/utf.h"

namespace platform::detail {
namespace {

constexpr int kCaptionHeight = 30;
constexpr int kPadding = 20;
constexpr int kIconSize = 32;
constexpr int kTextWidth = 380;  // where the text wraps
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 10;
constexpr int kButtonBand = 48;
constexpr int kMinWidth = 260;
// Families in order; fontconfig takes the first installed one that has the glyphs.
constexpr char kFont[] = "Microsoft YaHei, WenQuanYi Micro Hei, Noto Sans CJK SC, Sans 10";
constexpr char kCaptionFont[] = "Microsoft YaHei, WenQuanYi Micro Hei, Noto Sans CJK SC, Sans Bold 10";

struct CairoDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
  void operator()(PangoFontDescription* font) const { pango_font_description_free(font); }
};
template <typename T>
using Owned = std::unique_ptr<T, CairoDeleter>;

Owned<PangoLayout> MakeLayout(cairo_t* cr, const char* font, const std::u16string& text, int wrap_width) {
  Owned<PangoLayout> layout(pango_cairo_create_layout(cr));
  Owned<PangoFontDescription> description(pango_font_description_from_string(font));
  pango_layout_set_font_description(layout.get(), description.get());
  if (wrap_width > 0) {
    pango_layout_set_width(layout.get(), wrap_width * PANGO_SCALE);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  } else {
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
  }
  std::string utf8 = Utf16ToUtf8(text);
  pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
  return layout;
}

SIZE Measure(PangoLayout* layout) {
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  return SIZE{width, height};
}

void Fill(cairo_t* cr, const RECT& r, double red, double green, double blue) {
  cairo_set_source_rgb(cr, red, green, blue);
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_fill(cr);
}

void DrawIcon(cairo_t* cr, BoxIcon icon, const RECT& r) {
  if (icon == BoxIcon::kNone) return;
  const double cx = (r.left + r.right) / 2.0;
  const double cy = (r.top + r.bottom) / 2.0;
  const double radius = kIconSize / 2.0 - 1;
  const char* glyph = "i";
  if (icon == BoxIcon::kWarning) {
    cairo_set_source_rgb(cr, 0.98, 0.75, 0.1);
    cairo_move_to(cr, cx, r.top + 1);
    cairo_line_to(cr, r.right - 1, r.bottom - 2);
    cairo_line_to(cr, r.left + 1, r.bottom - 2);
    cairo_close_path(cr);
    cairo_fill(cr);
    glyph = "!";
  } else {
    if (icon == BoxIcon::kError) {
      cairo_set_source_rgb(cr, 0.85, 0.15, 0.15);
    } else {
      cairo_set_source_rgb(cr, 0.15, 0.45, 0.85);
    }
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_fill(cr);
    glyph = icon == BoxIcon::kQuestion ? "?" : "i";
  }
  cairo_set_source_rgb(cr, 1, 1, 1);
  if (icon == BoxIcon::kError) {
    cairo_set_line_width(cr, 3.5);
    cairo_move_to(cr, cx - 7, cy - 7);
    cairo_line_to(cr, cx + 7, cy + 7);
    cairo_move_to(cr, cx + 7, cy - 7);
    cairo_line_to(cr, cx - 7, cy + 7);
    cairo_stroke(cr);
    return;
  }
  Owned<PangoLayout> layout(pango_cairo_create_layout(cr));
  Owned<PangoFontDescription> font(pango_font_description_from_string("Sans Bold 16"));
  pango_layout_set_font_description(layout.get(), font.get());
  pango_layout_set_text(layout.get(), glyph, -1);
  SIZE size = Measure(layout.get());
  double top = icon == BoxIcon::kWarning ? cy - size.cy / 2.0 + 4 : cy - size.cy / 2.0;
  cairo_move_to(cr, cx - size.cx / 2.0, top);
  pango_cairo_show_layout(cr, layout.get());
}

void DrawButton(cairo_t* cr, const BoxButton& button, bool focused, bool hot, bool pressed) {
  const RECT& r = button.rect;
  double shade = pressed ? 0.80 : hot ? 0.93 : 0.98;
  Fill(cr, r, shade, shade, shade);
  cairo_set_line_width(cr, focused ? 2.0 : 1.0);
  if (focused) {
    cairo_set_source_rgb(cr, 0.15, 0.45, 0.85);
  } else {
    cairo_set_source_rgb(cr, 0.68, 0.68, 0.68);
  }
  double inset = focused ? 1.0 : 0.5;
  cairo_rectangle(cr, r.left + inset, r.top + inset, r.right - r.left - 2 * inset, r.bottom - r.top - 2 * inset);
  cairo_stroke(cr);
  Owned<PangoLayout> layout = MakeLayout(cr, kFont, button.label, 0);
  SIZE size = Measure(layout.get());
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_move_to(cr, r.left + (r.right - r.left - size.cx) / 2.0, r.top + (r.bottom - r.top - size.cy) / 2.0);
  pango_cairo_show_layout(cr, layout.get());
}

}  // namespace

BoxIcon IconOfType(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return BoxIcon::kError;
    case MB_ICONQUESTION: return BoxIcon::kQuestion;
    case MB_ICONWARNING: return BoxIcon::kWarning;
    case MB_ICONINFORMATION: return BoxIcon::kInformation;
    default: return BoxIcon::kNone;
  }
}

std::vector<BoxButton> ButtonsOfType(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_YESNO: return {BoxButton{IDYES, u"是(Y)", {}}, BoxButton{IDNO, u"否(N)", {}}};
    case MB_OKCANCEL: return {BoxButton{IDOK, u"确定", {}}, BoxButton{IDCANCEL, u"取消", {}}};
    default: return {BoxButton{IDOK, u"确定", {}}};
  }
}

BoxLayout LayOutBox(const std::u16string& caption, const std::u16string& text, BoxIcon icon,
                    std::vector<BoxButton> buttons) {
  (void)caption;
  Owned<cairo_surface_t> scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  Owned<cairo_t> cr(cairo_create(scratch.get()));
  Owned<PangoLayout> layout = MakeLayout(cr.get(), kFont, text, kTextWidth);
  SIZE text_size = Measure(layout.get());

  BoxLayout box;
  const int icon_room = icon == BoxIcon::kNone ? 0 : kIconSize + 14;
  const int buttons_width =
      static_cast<int>(buttons.size()) * kButtonWidth + static_cast<int>(buttons.size() - 1) * kButtonGap;
  int width = std::max({kMinWidth, kPadding * 2 + icon_room + text_size.cx, kPadding * 2 + buttons_width});
  int body = std::max(icon == BoxIcon::kNone ? 0 : kIconSize, text_size.cy);
  int height = kCaptionHeight + kPadding + body + kPadding + kButtonBand;
  box.size = SIZE{width, height};
  box.caption = RECT{0, 0, width, kCaptionHeight};
  int body_top = kCaptionHeight + kPadding;
  box.icon = RECT{kPadding, body_top, kPadding + kIconSize, body_top + kIconSize};
  int text_top = body_top + std::max(0, (body - text_size.cy) / 2);
  box.text = RECT{kPadding + icon_room, text_top, kPadding + icon_room + text_size.cx, text_top + text_size.cy};
  int left = width - kPadding - buttons_width;
  int top = height - kButtonBand + (kButtonBand - kButtonHeight) / 2;
  for (BoxButton& button : buttons) {
    button.rect = RECT{left, top, left + kButtonWidth, top + kButtonHeight};
    left += kButtonWidth + kButtonGap;
  }
  box.buttons = std::move(buttons);
  return box;
}

std::vector<std::uint32_t> DrawBox(const BoxLayout& layout, const std::u16string& caption, const std::u16string& text,
                                   BoxIcon icon, const BoxLook& look) {
  const int width = static_cast<int>(layout.size.cx);
  const int height = static_cast<int>(layout.size.cy);
  Owned<cairo_surface_t> surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  Owned<cairo_t> cr(cairo_create(surface.get()));

  Fill(cr.get(), RECT{0, 0, width, height}, 1, 1, 1);
  Fill(cr.get(), layout.caption, 0.16, 0.40, 0.72);
  Fill(cr.get(), RECT{0, height - kButtonBand, width, height}, 0.94, 0.94, 0.94);
  cairo_set_source_rgb(cr.get(), 0.35, 0.35, 0.35);
  cairo_set_line_width(cr.get(), 1);
  cairo_rectangle(cr.get(), 0.5, 0.5, width - 1, height - 1);
  cairo_stroke(cr.get());

  Owned<PangoLayout> title = MakeLayout(cr.get(), kCaptionFont, caption, 0);
  pango_layout_set_width(title.get(), (width - 2 * 12) * PANGO_SCALE);
  SIZE title_size = Measure(title.get());
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  cairo_move_to(cr.get(), 12, (kCaptionHeight - title_size.cy) / 2.0);
  pango_cairo_show_layout(cr.get(), title.get());

  DrawIcon(cr.get(), icon, layout.icon);
  Owned<PangoLayout> body = MakeLayout(cr.get(), kFont, text, kTextWidth);
  cairo_set_source_rgb(cr.get(), 0.1, 0.1, 0.1);
  cairo_move_to(cr.get(), layout.text.left, layout.text.top);
  pango_cairo_show_layout(cr.get(), body.get());

  for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
    int index = static_cast<int>(i);
    DrawButton(cr.get(), layout.buttons[i], index == look.focused, index == look.hot, index == look.pressed);
  }
  cairo_surface_flush(surface.get());

  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y) {
    std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width, data + static_cast<std::ptrdiff_t>(y) * stride,
                static_cast<std::size_t>(width) * sizeof(std::uint32_t));
  }
  return pixels;
}

}  // namespace platform::detail
