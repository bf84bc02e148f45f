#include "core/swnd_style.h"

#include <algorithm>

#include "core/application.h"
#include "core/font_pool.h"
#include "core/layout.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {

namespace {

SUiDef* UiDefs() {
  SApplication* app = SApplication::Instance();
  return app ? &app->UiDef() : nullptr;
}

COLORREF ResolveColorText(std::u16string_view value) {
  SUiDef* defs = UiDefs();
  if (defs) return defs->ResolveColor(value);
  COLORREF c = kNoColor;
  return ParseColor(value, c) ? c : kNoColor;
}

int FontIndex(std::u16string_view name) {
  if (EqualsNoCase(name, u"font")) return 0;
  if (EqualsNoCase(name, u"fontHover")) return 1;
  if (EqualsNoCase(name, u"fontPush")) return 2;
  if (EqualsNoCase(name, u"fontDisable")) return 3;
  return -1;
}

int ColorIndex(std::u16string_view name) {
  if (EqualsNoCase(name, u"colorText")) return 0;
  if (EqualsNoCase(name, u"colorTextHover")) return 1;
  if (EqualsNoCase(name, u"colorTextPush")) return 2;
  if (EqualsNoCase(name, u"colorTextDisable")) return 3;
  return -1;
}

int PaddingSide(std::u16string_view name) {
  if (EqualsNoCase(name, u"padding_left")) return 0;
  if (EqualsNoCase(name, u"padding_top")) return 1;
  if (EqualsNoCase(name, u"padding_right")) return 2;
  if (EqualsNoCase(name, u"padding_bottom")) return 3;
  return -1;
}

// Margins and paddings stay small enough that sums of them and of coordinates fit.
constexpr int kMaxSidePixels = 1 << 24;

RECT SidesToPixels(const std::array<SLayoutSize, 4>& sides, int scale) {
  auto px = [scale](const SLayoutSize& d) { return std::clamp(DimensionToPixels(d, scale), -kMaxSidePixels, kMaxSidePixels); };
  return {px(sides[0]), px(sides[1]), px(sides[2]), px(sides[3])};
}

}  // namespace

bool ParseSideList(std::u16string_view value, std::array<SLayoutSize, 4>& sides) {
  std::vector<std::u16string> parts = Split(value, u',');
  std::vector<SLayoutSize> v;
  for (const auto& p : parts) v.push_back(ResolveLayoutDimension(Trim(p)));
  switch (v.size()) {
    case 1: sides = {v[0], v[0], v[0], v[0]}; return true;
    case 2: sides = {v[0], v[1], v[0], v[1]}; return true;
    case 4: sides = {v[0], v[1], v[2], v[3]}; return true;
    default: return false;
  }
}

HRESULT SwndStyle::ApplySides(std::array<SLayoutSize, 4>& sides, std::u16string_view value, bool loading) {
  ParseSideList(value, sides);
  return loading ? S_FALSE : S_OK;
}

HRESULT SwndStyle::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"textMode")) {
    text_mode = static_cast<UINT>(IntOr0(value, true));
    return S_OK;
  }
  if (EqualsNoCase(name, u"align")) {
    if (value == u"left") align = kAlignLeft;
    else if (value == u"center") align = kAlignCenter;
    else if (value == u"right") align = kAlignRight;
    else return E_FAIL;
    return S_OK;
  }
  if (EqualsNoCase(name, u"valign")) {
    if (value == u"top") valign = kAlignTop;
    else if (value == u"middle") valign = kAlignMiddle;
    else if (value == u"bottom") valign = kAlignBottom;
    else return E_FAIL;
    return S_OK;
  }
  if (EqualsNoCase(name, u"colorBkgnd") || EqualsNoCase(name, u"colorBorder")) {
    if (value.empty()) return E_FAIL;
    (EqualsNoCase(name, u"colorBkgnd") ? background_color : border_color) = ResolveColorText(value);
    return S_OK;
  }
  if (int i = FontIndex(name); i >= 0) {
    font_descs[i] = value;
    ResolveFont(i);
    return S_OK;
  }
  if (int i = ColorIndex(name); i >= 0) {
    if (value.empty()) return E_FAIL;
    text_colors[i] = ResolveColorText(value);
    return S_OK;
  }
  if (EqualsNoCase(name, u"margin")) return ApplySides(margin, value, loading);
  if (EqualsNoCase(name, u"margin-x") || EqualsNoCase(name, u"margin-y")) {
    SLayoutSize d = ResolveLayoutDimension(value);
    bool x = EqualsNoCase(name, u"margin-x");
    margin[x ? 0 : 1] = margin[x ? 2 : 3] = d;
    return loading ? S_FALSE : S_OK;
  }
  if (EqualsNoCase(name, u"inset") || EqualsNoCase(name, u"padding")) return ApplySides(padding, value, loading);
  if (int side = PaddingSide(name); side >= 0) {
    padding[side] = ResolveLayoutDimension(value);
    return S_OK;
  }
  if (EqualsNoCase(name, u"cursor")) {
    SUiDef* defs = UiDefs();
    cursor = defs ? defs->ResolveString(value) : std::u16string(value);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"dotted")) {
    flags = (IntOr0(value, false) & 1) ? (flags | kStyleDotted) : (flags & ~kStyleDotted);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"bkgndBlend")) {
    flags = (IntOr0(value, false) & 1) ? (flags | kStyleBkgndBlend) : (flags & ~kStyleBkgndBlend);
    return S_OK;
  }
  if (EqualsNoCase(name, u"sepSpace")) {
    sep_space = static_cast<BYTE>(IntOr0(value, false) & 0xFF);
    return S_OK;
  }
  return E_NOTIMPL;
}

UINT SwndStyle::TextFormat() const {
  if (text_mode != 0) return text_mode;
  UINT format = 0;
  if (align == kAlignCenter) format |= DT_CENTER;
  else if (align == kAlignRight) format |= DT_RIGHT;
  if (valign == kAlignMiddle) format |= DT_VCENTER | DT_SINGLELINE;
  else if (valign == kAlignBottom) format |= DT_BOTTOM | DT_SINGLELINE;
  if (flags & kStyleDotted) format |= DT_END_ELLIPSIS;
  return format;
}

COLORREF SwndStyle::TextColor(int paint_state) const {
  if (paint_state < 0 || paint_state > 3) paint_state = 0;
  COLORREF c = text_colors[paint_state];
  return c == kNoColor ? text_colors[0] : c;
}

IFont* SwndStyle::Font(int paint_state) const {
  if (paint_state < 0 || paint_state > 3) paint_state = 0;
  return fonts_[paint_state] ? fonts_[paint_state] : fonts_[0];
}

void SwndStyle::ResolveFont(int index) {
  SApplication* app = SApplication::Instance();
  fonts_[index] = (app && !font_descs[index].empty()) ? app->FontPool().FontForDescription(font_descs[index], scale_)
                                                     : nullptr;
}

void SwndStyle::SetScale(int scale) {
  if (scale <= 0) scale = 100;
  scale_ = scale;
  for (int i = 0; i < 4; ++i) ResolveFont(i);
}

RECT SwndStyle::MarginPixels() const { return SidesToPixels(margin, scale_); }
RECT SwndStyle::PaddingPixels() const { return SidesToPixels(padding, scale_); }

bool SwndStyle::HasStateFontsOrColors() const {
  for (int i = 1; i < 4; ++i)
    if (fonts_[i] || text_colors[i] != kNoColor) return true;
  return false;
}

}  // namespace LOOM
