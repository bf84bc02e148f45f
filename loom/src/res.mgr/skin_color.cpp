#include <algorithm>

#include "core/application.h"
#include "core/render_refs.h"
#include "core/skin.h"
#include "core/skin_pool.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {
namespace {

// A colour attribute: resolved through the named colours; empty is refused.
HRESULT ReadColor(std::u16string_view value, COLORREF& out) {
  if (value.empty()) return E_FAIL;
  SApplication* app = SApplication::Instance();
  if (app) {
    out = app->UiDef().ResolveColor(value);
  } else {
    COLORREF c = kNoColor;
    out = ParseColor(value, c) ? c : kNoColor;
  }
  return S_OK;
}

// Radii beyond any drawable size are held here, so that doubling one cannot overflow.
constexpr int kMaxCornerRadius = 1 << 16;

// Corner percentages: fractions of the smaller side; anything beyond 0-100 is held there.
float ReadPercent(std::u16string_view value) {
  return static_cast<float>(std::clamp(ReadDouble(value).value_or(0.0), 0.0, 100.0));
}

}  // namespace

// ---- gradient ----------------------------------------------------------------------

HRESULT SSkinGradation::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"colorFrom")) return ReadColor(value, from_);
  if (EqualsNoCase(name, u"colorTo")) return ReadColor(value, to_);
  if (EqualsNoCase(name, u"vertical")) {
    vertical_ = IntOr0(value) != 0;
    return S_OK;
  }
  return SSkinObjBase::ApplyAttribute(name, value, loading);
}

void SSkinGradation::PaintCell(IRenderTarget* rt, const RECT& rc, int, BYTE alpha) {
  rt->FillGradientRect(rc, vertical_, from_, to_, alpha);
}

void SSkinGradation::Colorize(COLORREF color) {
  if (!enable_colorize_ || color == colorize_) return;
  if (colorize_ != 0) {
    from_ = saved_from_;
    to_ = saved_to_;
  }
  if (color != 0) {
    saved_from_ = from_;
    saved_to_ = to_;
    from_ = ColorizeColor(from_, color);
    to_ = ColorizeColor(to_, color);
  }
  colorize_ = color;
}

// ---- colour button ------------------------------------------------------------------

SSkinButton::SSkinButton()
    : colors_{0x707070, kNoColor, kNoColor, kNoColor, 0xEEEEEE, 0xEEEEEE,
              0xCECECE, 0x8E8E8E, 0xD6D6D6, 0xE0E0E0, 0xC0C0C0, 0x808080},
      saved_{} {}

HRESULT SSkinButton::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  static constexpr std::u16string_view kNames[12] = {
      u"colorBorder", u"colorBorderHover", u"colorBorderPush", u"colorBorderDisable",
      u"colorUp",     u"colorUpHover",     u"colorUpPush",     u"colorUpDisable",
      u"colorDown",   u"colorDownHover",   u"colorDownPush",   u"colorDownDisable"};
  for (int i = 0; i < 12; ++i)
    if (EqualsNoCase(name, kNames[i])) return ReadColor(value, colors_[i]);
  if (EqualsNoCase(name, u"cornerRadius")) corner_radius_ = IntOr0(value);
  else if (EqualsNoCase(name, u"cornerPercent")) corner_percent_ = ReadPercent(value);
  else return SSkinObjBase::ApplyAttribute(name, value, loading);
  return S_OK;
}

void SSkinButton::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  int s = std::clamp(state, 0, 3);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  int radius = corner_radius_;
  if (corner_percent_ > 0) radius = static_cast<int>(std::min(w, h) * corner_percent_);
  radius = std::clamp(radius, 0, kMaxCornerRadius);
  COLORREF top = colors_[4 + s], bottom = colors_[8 + s];
  if (top == bottom) {
    COLORREF fill = top;
    if (alpha != 255) fill = (fill & 0x00FFFFFF) | (((ColorAlpha(fill) * static_cast<COLORREF>(alpha)) >> 8) << 24);
    if (radius < 1) rt->FillColorRect(rc, fill);
    else rt->FillColorRoundRect(rc, POINT{radius, radius}, fill);
  } else {
    bool clipped = false;
    if (radius > 2) {
      if (auto rgn = MakeRegion(rt)) {
        rgn->CombineRoundRect({rc.left, rc.top, rc.right + 1, rc.bottom + 1}, POINT{2 * radius, 2 * radius}, 5);
        clipped = SUCCEEDED(rt->ClipPushRegion(rgn.get(), 1));
      }
    }
    rt->FillGradientRect({rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1}, true, top, bottom, alpha_);
    if (clipped) rt->ClipPop();
  }
  COLORREF border = colors_[s] == kNoColor ? colors_[0] : colors_[s];
  if (auto pen = MakePen(rt, 0, border, 1)) {
    SSelectScope selected(rt, pen.get());
    rt->StrokeRoundRect(rc, POINT{radius, radius});
  }
}

void SSkinButton::Colorize(COLORREF color) {
  if (!enable_colorize_ || color == colorize_) return;
  if (colorize_ != 0) std::copy(std::begin(saved_), std::end(saved_), colors_);
  if (color != 0) {
    std::copy(std::begin(colors_), std::end(colors_), saved_);
    for (COLORREF& c : colors_)
      if (c != kNoColor) c = ColorizeColor(c, color);
  }
  colorize_ = color;
}

// ---- colour rectangle ---------------------------------------------------------------

HRESULT SSkinColorRect::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  static constexpr std::u16string_view kFill[4] = {u"normal", u"hover", u"pushdown", u"disable"};
  static constexpr std::u16string_view kBorder[4] = {u"normalBorder", u"hoverBorder", u"pushdownBorder",
                                                     u"disableBorder"};
  for (int i = 0; i < 4; ++i) {
    if (EqualsNoCase(name, kFill[i])) return ReadColor(value, fill_[i]);
    if (EqualsNoCase(name, kBorder[i])) return ReadColor(value, border_[i]);
  }
  if (EqualsNoCase(name, u"borderWidth")) border_width_ = IntOr0(value);
  else if (EqualsNoCase(name, u"cornerRadius")) corner_radius_ = IntOr0(value);
  else if (EqualsNoCase(name, u"cornerPercent")) corner_percent_ = ReadPercent(value);
  else return SSkinObjBase::ApplyAttribute(name, value, loading);
  return S_OK;
}

int SSkinColorRect::StateCount() const {
  for (int i = 3; i >= 0; --i)
    if (fill_[i] != kNoColor) return i + 1;
  return 0;
}

void SSkinColorRect::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  int s = std::clamp(state, 0, 3);
  COLORREF fill = fill_[s] != kNoColor ? fill_[s] : fill_[0];
  COLORREF border = border_[s] != kNoColor ? border_[s] : border_[0];
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  int radius = corner_percent_ > 0 ? static_cast<int>(std::min(w, h) * corner_percent_) : corner_radius_;
  radius = std::clamp(radius, 0, kMaxCornerRadius);
  auto faded = [alpha](COLORREF c) {
    return (c & 0x00FFFFFF) | (((ColorAlpha(c) * static_cast<COLORREF>(alpha)) / 255) << 24);
  };
  if (fill != kNoColor) {
    if (radius > 0) rt->FillColorRoundRect(rc, POINT{radius, radius}, faded(fill));
    else rt->FillColorRect(rc, faded(fill));
  }
  if (border != kNoColor && border_width_ > 0) {
    if (auto pen = MakePen(rt, 0, faded(border), border_width_)) {
      SSelectScope selected(rt, pen.get());
      if (radius > 0) rt->StrokeRoundRect(rc, POINT{radius, radius});
      else rt->StrokeRect(rc);
    }
  }
}

// ---- shape ----------------------------------------------------------------------------

HRESULT SSkinShape::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (!EqualsNoCase(name, u"shape")) return SSkinObjBase::ApplyAttribute(name, value, loading);
  if (value == u"rectangle") shape_ = 0;
  else if (value == u"oval") shape_ = 1;
  else if (value == u"ring") shape_ = 2;
  else return E_FAIL;
  return S_OK;
}

void SSkinShape::AfterMarkupLoaded(const SXmlNode& node) {
  if (SXmlNode solid = node.Child(u"solid")) ReadColor(solid.Attribute(u"color").Value(), solid_);
  if (SXmlNode g = node.Child(u"gradient")) {
    ReadColor(g.Attribute(u"startColor").Value(), gradient_from_);
    ReadColor(g.Attribute(u"endColor").Value(), gradient_to_);
    gradient_vertical_ = g.Attribute(u"angle").AsInt(90) % 180 != 0;
  }
  if (SXmlNode stroke = node.Child(u"stroke")) {
    ReadColor(stroke.Attribute(u"color").Value(), stroke_color_);
    stroke_width_ = stroke.Attribute(u"width").AsInt(1);
  }
  if (SXmlNode corners = node.Child(u"corners")) corner_radius_ = corners.Attribute(u"radius").AsInt(0);
  if (SXmlNode size = node.Child(u"size"))
    size_ = {size.Attribute(u"width").AsInt(0), size.Attribute(u"height").AsInt(0)};
}

void SSkinShape::PaintCell(IRenderTarget* rt, const RECT& rc, int, BYTE alpha) {
  auto faded = [alpha](COLORREF c) {
    return (c & 0x00FFFFFF) | (((ColorAlpha(c) * static_cast<COLORREF>(alpha)) / 255) << 24);
  };
  if (gradient_from_ != kNoColor && gradient_to_ != kNoColor) {
    rt->FillGradientRect(rc, gradient_vertical_, gradient_from_, gradient_to_, alpha);
  } else if (solid_ != kNoColor) {
    if (shape_ == 0 && corner_radius_ > 0) rt->FillColorRoundRect(rc, POINT{corner_radius_, corner_radius_}, faded(solid_));
    else if (shape_ == 0) rt->FillColorRect(rc, faded(solid_));
    else rt->FillColorEllipse(rc, faded(solid_));
  }
  if (stroke_color_ != kNoColor && stroke_width_ > 0) {
    if (auto pen = MakePen(rt, 0, faded(stroke_color_), stroke_width_)) {
      SSelectScope selected(rt, pen.get());
      if (shape_ == 0) rt->StrokeRect(rc);
      else rt->StrokeEllipse(rc);
    }
  }
}

// ---- group ------------------------------------------------------------------------------

HRESULT SSKinGroup::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  static constexpr std::u16string_view kNames[4] = {u"normal", u"hover", u"pushDown", u"disable"};
  for (int i = 0; i < 4; ++i) {
    if (!EqualsNoCase(name, kNames[i])) continue;
    SApplication* app = SApplication::Instance();
    ISkinObj* skin = app ? app->SkinPools().GetSkin(value, scale_) : nullptr;
    if (!skin) return E_FAIL;
    members_[i] = skin;
    return S_OK;
  }
  return SSkinObjBase::ApplyAttribute(name, value, loading);
}

SIZE SSKinGroup::CellSize() const {
  for (const auto& m : members_)
    if (m) return m->CellSize();
  return {0, 0};
}

void SSKinGroup::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  int s = std::clamp(state, 0, 3);
  ISkinObj* skin = members_[s] ? members_[s].get() : members_[0].get();
  if (skin) skin->DrawCellAlpha(rt, rc, 0, alpha);
}

void SSKinGroup::CopyScaledInto(ISkinObj* target, int scale) const {
  SSkinObjBase::CopyScaledInto(target, scale);
  auto* t = dynamic_cast<SSKinGroup*>(target);
  if (!t) return;
  for (int i = 0; i < 4; ++i)
    t->members_[i] = members_[i] ? SAutoRefPtr<ISkinObj>::Adopt(members_[i]->ScaledCopy(scale)) : nullptr;
}

}  // namespace LOOM
