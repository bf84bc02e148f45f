// Placement by the default layout: the participants' edges are resolved in passes
// (positions, then sizes from content and offsets) until a pass makes no progress.
#include "core/loom_layout.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/rect_util.h"
#include "core/swnd.h"

namespace LOOM {

namespace {

// Edges stay within this range whatever the markup writes, so sums never overflow.
constexpr std::int64_t kMaxCoord = std::int64_t{1} << 26;

int ClampCoord(std::int64_t v) { return static_cast<int>(std::clamp(v, -kMaxCoord, kMaxCoord)); }

enum Edge : int { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };

struct Participant {
  SAutoRefPtr<SWindow> child;
  const LoomLayoutParam* param;
  int scale;
  std::optional<int> edge[4];
  bool pending_x;
  bool pending_y;
};

class PlacementPasses {
 public:
  // width or height -1: an unknown extent.
  PlacementPasses(SWindow* owner, int width, int height) : extent_{width, height} {
    for (SWindow* c = owner->FirstChild(); c; c = c->NextSibling()) {
      if (!c->IsLayoutParticipant()) continue;
      const auto* p = dynamic_cast<const LoomLayoutParam*>(c->LayoutParams());
      if (!p) p = &default_param_;  // a parameter of another kind counts as the default
      items_.push_back({SAutoRefPtr<SWindow>(c), p, c->CurrentScale(), {}, p->offset_x != 0, p->offset_y != 0});
    }
    for (std::size_t i = 0; i < items_.size(); ++i) ids_.try_emplace(items_[i].child->Id(), static_cast<int>(i));
  }

  void Run() {
    for (;;) {
      if (!ResolvePositions()) break;
      ResolveContentSizes();
      ApplyOffsets();
    }
  }

  std::vector<Participant>& Items() { return items_; }

  // The pixel value of the second item of an axis counted from the far edge (kind 1,
  // sign -), else 0.
  int FarEdgeDistance(const Participant& it, int axis) const {
    const SPosItem& second = it.param->pos[axis == 0 ? 1 : 3];
    if (it.param->count != 4 || second.kind != kPosNormal || second.sign > 0) return 0;
    return Pixels(it, second.value);
  }

 private:
  static int Pixels(const Participant& it, const SLayoutSize& v) { return DimensionToPixels(v, it.scale); }

  // One edge of a neighbour or a referenced participant, usable when it is known and
  // that participant's offset along the axis is settled.
  std::optional<int> EdgeOf(int index, int edge) const {
    const Participant& p = items_[index];
    bool pending = (edge == kLeft || edge == kRight) ? p.pending_x : p.pending_y;
    if (pending) return std::nullopt;
    return p.edge[edge];
  }

  std::optional<int> Extent(int axis) const {
    int e = extent_[axis];
    return e < 0 ? std::nullopt : std::optional<int>(e);
  }

  // The value of a position item on an axis (0 x, 1 y) for participant i.
  std::optional<int> Evaluate(int i, const SPosItem& item, int axis) const {
    const Participant& it = items_[i];
    const int near_edge = axis == 0 ? kLeft : kTop, far_edge = axis == 0 ? kRight : kBottom;
    const std::int64_t signed_v = std::int64_t{item.sign} * Pixels(it, item.value);
    auto relative = [&](std::optional<int> base) -> std::optional<int> {
      if (!base) return std::nullopt;
      return ClampCoord(*base + signed_v);
    };
    const int count = static_cast<int>(items_.size());
    switch (item.kind) {
      case kPosNormal:
        if (item.sign > 0) return ClampCoord(Pixels(it, item.value));
        if (!Extent(axis)) return std::nullopt;
        return ClampCoord(std::int64_t{*Extent(axis)} - Pixels(it, item.value));
      case kPosCenter:
        if (!Extent(axis)) return std::nullopt;
        return ClampCoord(*Extent(axis) / 2 + signed_v);
      case kPosPercent: {
        if (!Extent(axis)) return std::nullopt;
        float c = std::clamp(item.value.value, 0.0f, 100.0f);
        float share = item.sign > 0 ? c : 100.0f - c;
        return ClampCoord(static_cast<std::int64_t>(static_cast<float>(*Extent(axis)) * share / 100.0f));
      }
      case kPosAfterPrev: return i > 0 ? relative(EdgeOf(i - 1, far_edge)) : ClampCoord(signed_v);
      case kPosWithPrev: return i > 0 ? relative(EdgeOf(i - 1, near_edge)) : ClampCoord(signed_v);
      case kPosBeforeNext: return i + 1 < count ? relative(EdgeOf(i + 1, near_edge)) : relative(Extent(axis));
      case kPosWithNext: return i + 1 < count ? relative(EdgeOf(i + 1, far_edge)) : relative(Extent(axis));
      case kPosSibNear:
      case kPosSibFar: {
        bool near_side = item.kind == kPosSibNear;
        auto ref = ids_.find(item.ref_id);
        if (ref == ids_.end()) return near_side ? ClampCoord(signed_v) : relative(Extent(axis));
        return relative(EdgeOf(ref->second, near_side ? near_edge : far_edge));
      }
      case kPosSize: {
        if (!it.edge[near_edge]) return std::nullopt;
        return ClampCoord(std::int64_t{*it.edge[near_edge]} + Pixels(it, item.value));
      }
      default: return std::nullopt;
    }
  }

  // The near edge from the first item of the axis (the flow defaults without "pos").
  std::optional<int> NearEdge(int i, int axis) const {
    const Participant& it = items_[i];
    if (it.param->count >= 2) return Evaluate(i, it.param->pos[axis == 0 ? 0 : 2], axis);
    SPosItem flow;
    flow.kind = axis == 0 ? kPosAfterPrev : kPosWithPrev;
    return Evaluate(i, flow, axis);
  }

  std::optional<int> FarEdge(int i, int axis) const {
    const Participant& it = items_[i];
    const LayoutAxis la = axis == 0 ? LayoutAxis::Horz : LayoutAxis::Vert;
    const std::optional<int>& near_edge_of_item = it.edge[axis == 0 ? kLeft : kTop];
    if (it.param->IsMatchParent(la)) return Extent(axis);
    if (it.param->IsSpecifiedSize(la)) {
      if (!near_edge_of_item) return std::nullopt;
      return ClampCoord(std::int64_t{*near_edge_of_item} + Pixels(it, it.param->SpecifiedSize(la)));
    }
    if (!it.param->IsWrapContent(la) && it.param->count == 4) return Evaluate(i, it.param->pos[axis == 0 ? 1 : 3], axis);
    return std::nullopt;
  }

  bool ResolvePositions() {
    bool any = false;
    for (bool changed = true; changed;) {
      changed = false;
      for (std::size_t n = 0; n < items_.size(); ++n) {
        int i = static_cast<int>(n);
        Participant& it = items_[n];
        auto settle = [&](int edge, std::optional<int> v) {
          if (it.edge[edge] || !v) return;
          it.edge[edge] = v;
          changed = true;
        };
        settle(kLeft, NearEdge(i, 0));
        settle(kTop, NearEdge(i, 1));
        settle(kRight, FarEdge(i, 0));
        settle(kBottom, FarEdge(i, 1));
      }
      any |= changed;
    }
    return any;
  }

  void ResolveContentSizes() {
    for (bool changed = true; changed;) {
      changed = false;
      for (Participant& it : items_) {
        if (!it.edge[kLeft] || !it.edge[kTop]) continue;
        bool wrap_w = !it.edge[kRight] && it.param->IsWrapContent(LayoutAxis::Horz);
        bool wrap_h = !it.edge[kBottom] && it.param->IsWrapContent(LayoutAxis::Vert);
        if (!wrap_w && !wrap_h) continue;
        int w = it.edge[kRight] ? *it.edge[kRight] - *it.edge[kLeft] : extent_[0];
        int h = it.edge[kBottom] ? *it.edge[kBottom] - *it.edge[kTop] : extent_[1];
        SIZE size = it.child->PreferredSize(w, h);
        if (wrap_w) it.edge[kRight] = ClampCoord(std::int64_t{*it.edge[kLeft]} + std::max<LONG>(0, size.cx));
        if (wrap_h) it.edge[kBottom] = ClampCoord(std::int64_t{*it.edge[kTop]} + std::max<LONG>(0, size.cy));
        changed = true;
      }
    }
  }

  void ApplyOffsets() {
    auto shift = [](std::optional<int>& a, std::optional<int>& b, float factor) {
      double d = static_cast<double>(static_cast<float>(*b - *a) * factor);
      auto delta = static_cast<std::int64_t>(std::clamp(d, -static_cast<double>(kMaxCoord), static_cast<double>(kMaxCoord)));
      a = ClampCoord(*a + delta);
      b = ClampCoord(*b + delta);
    };
    for (Participant& it : items_) {
      if (!it.edge[kLeft] || !it.edge[kTop]) continue;
      if (it.pending_x && it.edge[kRight]) {
        shift(it.edge[kLeft], it.edge[kRight], it.param->offset_x);
        it.pending_x = false;
      }
      if (it.pending_y && it.edge[kBottom]) {
        shift(it.edge[kTop], it.edge[kBottom], it.param->offset_y);
        it.pending_y = false;
      }
    }
  }

  LoomLayoutParam default_param_;
  std::vector<Participant> items_;
  std::unordered_map<int, int> ids_;  // id to the first participant carrying it
  int extent_[2];
};

}  // namespace

bool LoomLayout::AcceptsParams(const ILayoutParam* param) const {
  return dynamic_cast<const LoomLayoutParam*>(param) != nullptr;
}

void LoomLayout::PlaceChildren(SWindow* owner) {
  if (!owner) return;
  RECT area = owner->ChildrenArea();
  PlacementPasses passes(owner, RectWidth(area), RectHeight(area));
  passes.Run();
  for (Participant& it : passes.Items()) {
    // Edges left unresolved (a circle of references) fall back to an empty rectangle
    // at the near edges, so no marker ever reaches TakeRect.
    int left = it.edge[kLeft].value_or(0), top = it.edge[kTop].value_or(0);
    int right = it.edge[kRight].value_or(left), bottom = it.edge[kBottom].value_or(top);
    it.child->TakeRect(RectOffset({left, top, right, bottom}, area.left, area.top));
  }
}

SIZE LoomLayout::MeasureContent(SWindow* owner, int width_hint, int height_hint) {
  if (!owner) return {0, 0};
  PlacementPasses passes(owner, width_hint < 0 ? -1 : width_hint, height_hint < 0 ? -1 : height_hint);
  passes.Run();
  SIZE size{0, 0};
  for (Participant& it : passes.Items()) {
    if (it.edge[kRight]) size.cx = std::max<LONG>(size.cx, ClampCoord(std::int64_t{*it.edge[kRight]} + passes.FarEdgeDistance(it, 0)));
    if (it.edge[kBottom]) size.cy = std::max<LONG>(size.cy, ClampCoord(std::int64_t{*it.edge[kBottom]} + passes.FarEdgeDistance(it, 1)));
  }
  return size;
}

}  // namespace LOOM
