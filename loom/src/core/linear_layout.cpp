#include "core/linear_layout.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/application.h"
#include "core/rect_util.h"
#include "core/swnd.h"
#include "core/swnd_style.h"
#include "core/ui_def.h"

namespace LOOM {

namespace {

int ExtendSide(std::u16string_view name) {
  if (EqualsNoCase(name, u"extend_left")) return 0;
  if (EqualsNoCase(name, u"extend_top")) return 1;
  if (EqualsNoCase(name, u"extend_right")) return 2;
  if (EqualsNoCase(name, u"extend_bottom")) return 3;
  return -1;
}

// One child's share of the line: sizes along the orientation (main) and across it.
struct LineItem {
  SWindow* child;
  const SLinearLayoutParam* param;
  RECT extend;
  int main;
  int cross;
};

class LinePlanner {
 public:
  LinePlanner(const SLinearLayout& layout, SWindow* owner, int width, int height)
      : layout_(layout), extent_{width, height} {
    for (SWindow* c = owner->FirstChild(); c; c = c->NextSibling()) {
      if (!c->IsLayoutParticipant()) continue;
      const auto* p = dynamic_cast<const SLinearLayoutParam*>(c->LayoutParams());
      if (!p) p = &default_param_;
      int scale = c->CurrentScale();
      auto px = [scale](const SLayoutSize& d) { return std::clamp(DimensionToPixels(d, scale), 0, 1 << 24); };
      RECT ext{px(p->extend[0]), px(p->extend[1]), px(p->extend[2]), px(p->extend[3])};
      items_.push_back({c, p, ext, 0, 0});
    }
    interval_ = std::clamp(DimensionToPixels(layout.interval, owner->CurrentScale()), 0, 1 << 24);
    for (LineItem& it : items_) SizeItem(it);
  }

  std::vector<LineItem>& Items() { return items_; }
  int Interval() const { return interval_; }
  int MainTotal() const {
    long long total = 0;
    for (const LineItem& it : items_) total += it.main;
    if (!items_.empty()) total += static_cast<long long>(interval_) * static_cast<long long>(items_.size() - 1);
    return static_cast<int>(std::min<long long>(total, 1 << 26));
  }

  // Shares the free space along the orientation out by weight.
  void ShareFreeSpace(int main_extent) {
    double weights = 0;
    for (const LineItem& it : items_)
      if (it.param->weight > 0) weights += it.param->weight;
    int free = main_extent - MainTotal();
    if (weights <= 0 || free <= 0) return;
    for (LineItem& it : items_) {
      if (it.param->weight <= 0) continue;
      int share = static_cast<int>(std::floor(free * it.param->weight / weights + 0.5));
      it.main += share;
      free -= share;
      weights -= it.param->weight;
      if (it.param->IsWrapContent(CrossAxis())) {
        int ext_main = MainExtends(it);
        SIZE size = layout_.vertical ? it.child->PreferredSize(extent_[0], it.main - ext_main)
                                     : it.child->PreferredSize(it.main - ext_main, extent_[1]);
        it.cross = (layout_.vertical ? size.cx : size.cy) + CrossExtends(it);
      }
    }
  }

 private:
  LayoutAxis MainAxis() const { return layout_.vertical ? LayoutAxis::Vert : LayoutAxis::Horz; }
  LayoutAxis CrossAxis() const { return layout_.vertical ? LayoutAxis::Horz : LayoutAxis::Vert; }
  int MainExtends(const LineItem& it) const {
    return layout_.vertical ? it.extend.top + it.extend.bottom : it.extend.left + it.extend.right;
  }
  int CrossExtends(const LineItem& it) const {
    return layout_.vertical ? it.extend.left + it.extend.right : it.extend.top + it.extend.bottom;
  }

  // Match parent: the area's extent; specified: its pixels plus extends; otherwise the
  // measured size plus extends.
  void SizeItem(LineItem& it) {
    int scale = it.child->CurrentScale();
    int ext_w = it.extend.left + it.extend.right, ext_h = it.extend.top + it.extend.bottom;
    int size[2] = {-1, -1};
    const LayoutAxis axes[2] = {LayoutAxis::Horz, LayoutAxis::Vert};
    const int ext[2] = {ext_w, ext_h};
    bool measure = false;
    for (int a = 0; a < 2; ++a) {
      if (it.param->IsMatchParent(axes[a]) && extent_[a] >= 0) size[a] = extent_[a];
      else if (it.param->IsSpecifiedSize(axes[a]))
        size[a] = std::clamp(DimensionToPixels(it.param->SpecifiedSize(axes[a]), scale), 0, 1 << 26) + ext[a];
      else measure = true;
    }
    if (measure) {
      int hint_w = size[0] >= 0 ? size[0] - ext_w : (extent_[0] >= 0 ? std::max(0, extent_[0] - ext_w) : -1);
      int hint_h = size[1] >= 0 ? size[1] - ext_h : (extent_[1] >= 0 ? std::max(0, extent_[1] - ext_h) : -1);
      SIZE m = it.child->PreferredSize(hint_w, hint_h);
      if (size[0] < 0) size[0] = std::clamp<LONG>(m.cx, 0, 1 << 26) + ext_w;
      if (size[1] < 0) size[1] = std::clamp<LONG>(m.cy, 0, 1 << 26) + ext_h;
    }
    it.main = layout_.vertical ? size[1] : size[0];
    it.cross = layout_.vertical ? size[0] : size[1];
  }

  const SLinearLayout& layout_;
  int extent_[2];
  int interval_ = 0;
  SLinearLayoutParam default_param_;
  std::vector<LineItem> items_;
};

}  // namespace

int ParseLinearGravity(std::u16string_view value) {
  if (value == u"left" || value == u"top") return kGravityStart;
  if (value == u"center") return kGravityCenter;
  if (value == u"right" || value == u"bottom") return kGravityEnd;
  return kGravityInherit;
}

HRESULT SLinearLayoutParam::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool) {
  if (EqualsNoCase(name, u"weight")) {
    auto w = ReadDouble(value);
    if (!w) return E_FAIL;
    weight = static_cast<float>(std::clamp(*w, 0.0, 1e6));
    return S_OK;
  }
  if (EqualsNoCase(name, u"layout_gravity")) {
    int g = ParseLinearGravity(value);
    if (g == kGravityInherit) return E_FAIL;
    gravity = g;
    return S_OK;
  }
  if (EqualsNoCase(name, u"extend")) return ParseSideList(value, extend) ? S_OK : E_FAIL;
  if (int side = ExtendSide(name); side >= 0) {
    extend[side] = ResolveLayoutDimension(value);
    return S_OK;
  }
  return ApplySizeAttribute(name, value);
}

void SLinearLayoutParam::Clear() {
  width = height = {SIZE_WRAP_CONTENT, SizeUnit::px};
  weight = 0;
  gravity = kGravityInherit;
  extend = {};
}

HRESULT SLinearLayout::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool) {
  if (EqualsNoCase(name, u"orientation")) {
    if (value == u"horizontal") vertical = false;
    else if (value == u"vertical") vertical = true;
    else return E_FAIL;
    return S_OK;
  }
  if (EqualsNoCase(name, u"gravity")) {
    int g = ParseLinearGravity(value);
    if (g == kGravityInherit) return E_FAIL;
    gravity = g;
    return S_OK;
  }
  if (EqualsNoCase(name, u"interval")) {
    interval = ResolveLayoutDimension(value);
    return S_OK;
  }
  return E_NOTIMPL;
}

bool SLinearLayout::AcceptsParams(const ILayoutParam* param) const {
  return dynamic_cast<const SLinearLayoutParam*>(param) != nullptr;
}

void SLinearLayout::PlaceChildren(SWindow* owner) {
  if (!owner) return;
  RECT area = owner->ChildrenArea();
  LinePlanner plan(*this, owner, RectWidth(area), RectHeight(area));
  const int main_extent = vertical ? RectHeight(area) : RectWidth(area);
  const int cross_extent = vertical ? RectWidth(area) : RectHeight(area);
  plan.ShareFreeSpace(main_extent);
  int pos = 0;
  for (LineItem& it : plan.Items()) {
    int g = it.param->gravity == kGravityInherit ? gravity : it.param->gravity;
    int cross_pos = g == kGravityCenter ? (cross_extent - it.cross) / 2 : g == kGravityEnd ? cross_extent - it.cross : 0;
    RECT rc = vertical ? RECT{cross_pos, pos, cross_pos + it.cross, pos + it.main}
                       : RECT{pos, cross_pos, pos + it.main, cross_pos + it.cross};
    rc = {rc.left + it.extend.left, rc.top + it.extend.top, rc.right - it.extend.right, rc.bottom - it.extend.bottom};
    pos = static_cast<int>(std::min<long long>(static_cast<long long>(pos) + it.main + plan.Interval(), 1 << 26));
    it.child->TakeRect(RectOffset(rc, area.left, area.top));
  }
}

SIZE SLinearLayout::MeasureContent(SWindow* owner, int width_hint, int height_hint) {
  if (!owner) return {0, 0};
  LinePlanner plan(*this, owner, width_hint, height_hint);
  int cross = 0;
  for (const LineItem& it : plan.Items()) cross = std::max(cross, it.cross);
  int main = plan.MainTotal();
  return vertical ? SIZE{cross, main} : SIZE{main, cross};
}

}  // namespace LOOM
