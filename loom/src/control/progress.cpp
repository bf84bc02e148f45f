// The progress bar: value and range, skins and their system fallbacks, painting.
#include "core/progress.h"

#include <algorithm>

#include "core/application.h"
#include "core/layout.h"
#include "core/rect_util.h"
#include "core/skin_pool.h"
#include "core/text_util.h"

namespace LOOM {

SProgress::SProgress() { SetOwnFlag(kOwnFocusable, true); }

// ---- attributes ------------------------------------------------------------------------

HRESULT SProgress::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  auto skin_named = [&](BarSkin& which, SAutoRefPtr<ISkinObj>& skin) {
    which = {std::u16string(value), -1};
    skin = LookUp(which, CurrentScale());
    return AttributeApplied(name, value, loading, S_OK);
  };
  auto integer = [&](auto& field) {
    field = IntOr0(value, true);
    return AttributeApplied(name, value, loading, S_OK);
  };
  if (EqualsNoCase(name, u"bkgndSkin")) return skin_named(bkgnd_, bkgnd_skin_);
  if (EqualsNoCase(name, u"posSkin")) return skin_named(pos_, pos_skin_);
  // Stored as given: a range or value that does not fit is settled when painting.
  if (EqualsNoCase(name, u"min")) return integer(min_);
  if (EqualsNoCase(name, u"max")) return integer(max_);
  if (EqualsNoCase(name, u"value")) return integer(value_);
  if (EqualsNoCase(name, u"vertical")) {
    vertical_ = IntOr0(value, true) != 0;
    return AttributeApplied(name, value, loading, S_OK);
  }
  if (EqualsNoCase(name, u"showPercent")) {
    show_percent_ = IntOr0(value, true) != 0;
    return AttributeApplied(name, value, loading, S_OK);
  }
  return SWindow::ApplyAttribute(name, value, loading);
}

ISkinObj* SProgress::LookUp(const BarSkin& which, int scale) const {
  if (which.system_index >= 0) return SystemSkinByIndex(which.system_index, scale);
  SApplication* app = SApplication::Instance();
  return (app && !which.name.empty()) ? app->SkinPools().GetSkin(which.name, scale) : nullptr;
}

// ---- value and range -------------------------------------------------------------------

bool SProgress::SetProgressValue(int value) {
  value_ = std::min(std::max(value, min_), max_);
  MarkDirty();
  return true;
}

void SProgress::SetProgressRange(int min, int max) {
  min_ = min;
  max_ = max;
  value_ = std::max(std::min(value_, max_), min_);
  MarkDirty();
}

LONG SProgress::FilledExtent(LONG extent) const {
  if (extent <= 0 || value_ <= min_) return 0;
  long long span = static_cast<long long>(max_) - min_;
  long long reach = static_cast<long long>(value_) - min_;
  // An empty or inverted range, or a value beyond max, fills the whole bar.
  if (span <= 0 || reach >= span) return extent;
  return static_cast<LONG>(reach * extent / span);
}

RECT SProgress::FilledRect(const RECT& rc) const {
  RECT filled = rc;
  if (vertical_) filled.bottom = rc.top + FilledExtent(RectHeight(rc));
  else filled.right = rc.left + FilledExtent(RectWidth(rc));
  return filled;
}

int SProgress::Percent() const { return static_cast<int>(FilledExtent(100)); }

// ---- messages --------------------------------------------------------------------------

int SProgress::OnCreate() {
  if (!bkgnd_skin_) {
    bkgnd_ = {{}, vertical_ ? kSysVertBkgnd : kSysBkgnd};
    bkgnd_skin_ = LookUp(bkgnd_, 100);
  }
  if (!pos_skin_) {
    pos_ = {{}, vertical_ ? kSysVertBar : kSysBar};
    pos_skin_ = LookUp(pos_, 100);
  }
  if (!bkgnd_skin_ || !pos_skin_) return -1;
  return SWindow::OnCreate();
}

void SProgress::OnPaint(IRenderTarget* rt) {
  if (!rt) return;
  SPaintState state;
  PrePaint(rt, state);
  RECT rc = ClientArea();
  if (bkgnd_skin_) bkgnd_skin_->DrawCell(rt, rc, 0);
  if (pos_skin_ && value_ > min_) {
    RECT filled = FilledRect(rc);
    if (!RectIsEmpty(filled)) pos_skin_->DrawCell(rt, filled, 0);
  }
  if (show_percent_ && !vertical_) {
    std::u16string text = IntToText(Percent()) + u"%";
    rt->TextDraw(text, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  PostPaint(rt, state);
}

// ---- size, tint and scale --------------------------------------------------------------

SIZE SProgress::PreferredSize(int width_hint, int height_hint) {
  SIZE given = SWindow::PreferredSize(width_hint, height_hint);
  SIZE cell = bkgnd_skin_ ? bkgnd_skin_->CellSize() : SIZE{0, 0};
  RECT margin = MarginPixels();
  SIZE content{cell.cx + margin.left + margin.right, cell.cy + margin.top + margin.bottom};
  ILayoutParam* param = LayoutParams();
  LayoutAxis along = vertical_ ? LayoutAxis::Vert : LayoutAxis::Horz;
  bool along_given = param && param->IsSpecifiedSize(along);
  if (vertical_) return {content.cx, along_given ? given.cy : content.cy};
  return {along_given ? given.cx : content.cx, content.cy};
}

void SProgress::TintElement(COLORREF color) {
  SWindow::TintElement(color);
  if (bkgnd_skin_) bkgnd_skin_->Colorize(color);
  if (pos_skin_) pos_skin_->Colorize(color);
}

void SProgress::ScaleSwitched(int scale) {
  SWindow::ScaleSwitched(scale);
  if (ISkinObj* skin = LookUp(bkgnd_, scale)) bkgnd_skin_ = skin;
  if (ISkinObj* skin = LookUp(pos_, scale)) pos_skin_ = skin;
}

}  // namespace LOOM
