// Element painting: invalidation up to the host, painting a subtree for a region and a
// range of tree-order numbers, caches and layers, and painting at once outside a
// repaint (the elements beneath first, those above after).
#include "core/application.h"
#include "core/rect_util.h"
#include "core/render_refs.h"
#include "core/swnd.h"

namespace LOOM {

namespace {

IRenderFactory* Factory() {
  SApplication* app = SApplication::Instance();
  return app ? app->RenderFactory() : nullptr;
}

SAutoRefPtr<IRegion> NewRegionOf(const RECT& rc) {
  auto region = MakeRegion(Factory());
  if (region && !RectIsEmpty(rc)) region->CombineRect(rc, RGN_COPY);
  return region;
}

SAutoRefPtr<IRenderTarget> NewTargetOf(int width, int height) { return MakeTarget(Factory(), width, height); }

// Hands the font and text colour selected in from over to to; the previous ones of to
// are kept in saved.
void HandOverPaintState(IRenderTarget* from, IRenderTarget* to, SPaintState& saved) {
  if (IRenderObj* font = from->CurrentObject(OT_FONT)) saved.old_font = SelectKeepingPrevious(to, font);
  saved.old_text_color = to->SetTextColor(from->TextColor());
}

void TakeBackPaintState(IRenderTarget* to, SPaintState& saved) {
  if (saved.old_font) to->Select(saved.old_font.get());
  to->SetTextColor(saved.old_text_color);
}

// Makes (or resizes) a target of the rectangle's size whose origin maps host
// coordinates onto it.
void FitTarget(SAutoRefPtr<IRenderTarget>& target, const RECT& rc) {
  SIZE size{std::max<LONG>(0, RectWidth(rc)), std::max<LONG>(0, RectHeight(rc))};
  if (!target) target = NewTargetOf(size.cx, size.cy);
  else if (FAILED(target->Resize(size))) target.reset();
  if (target) target->SetOrigin(-rc.left, -rc.top);
}

}  // namespace

// ---- invalidation ----------------------------------------------------------------------

void SWindow::MarkDirty(const RECT* rc) { MarkDirtyWithFlag(rc ? *rc : rc_window_, true); }

void SWindow::MarkClientDirty() { MarkDirtyWithFlag(ClientArea(), true); }

void SWindow::MarkDirtyWithFlag(RECT rc, bool mark_cache) {
  if (mark_cache) own_flags_ |= kOwnCacheDirty;
  if ((state_ & WndState_Invisible) || update_lock_ > 0) return;
  rc = RectIntersect(rc, rc_window_);
  if (RectIsEmpty(rc)) return;
  if (style_.flags & kStyleBkgndBlend) {
    // A cache holds only its element's own picture, never its children: the parent's
    // cache stays valid.
    if (parent_) parent_->MarkDirtyWithFlag(rc, false);
    else if (container_) container_->InvalidateHostRect(rc);
    return;
  }
  if (!update_region_) update_region_ = NewRegionOf({});
  if (update_region_) update_region_->CombineRect(rc, RGN_OR);
  if (container_) container_->QueueElementUpdate(swnd_);
}

// ---- caches and layers -----------------------------------------------------------------

bool SWindow::PaintsToCache() const {
  return (own_flags_ & kOwnCache) != 0 || (!UsesLayer() && style_.alpha < 255);
}

void SWindow::UpdateCacheTargets() {
  if (PaintsToCache()) {
    FitTarget(cache_rt_, rc_window_);
    own_flags_ |= kOwnCacheDirty;
  }
  if (UsesLayer()) FitTarget(layer_rt_, rc_window_);
}

void SWindow::RebuildCache() {
  if (PaintsToCache()) {
    FitTarget(cache_rt_, rc_window_);
    own_flags_ |= kOwnCacheDirty;
  } else {
    cache_rt_.reset();
  }
  MarkDirty();
}

void SWindow::RebuildLayer() {
  if (UsesLayer()) FitTarget(layer_rt_, rc_window_);
  else layer_rt_.reset();
  if (!UsesLayer() && PaintsToCache() && !cache_rt_) RebuildCache();
}

// ---- painting a subtree ----------------------------------------------------------------

void SWindow::EnsureTreeOrder() {
  if (container_) container_->RenumberTree();
}

void SWindow::PaintOwnContent(IRenderTarget* rt, const RECT& client) {
  if (!PaintsToCache()) {
    SendElementMessage(WM_ERASEBKGND, PaintTargetParam(rt));
    SendElementMessage(WM_PAINT, PaintTargetParam(rt));
    return;
  }
  if (!cache_rt_) return;
  if (own_flags_ & kOwnCacheDirty) {
    cache_rt_->ReplaceRect(rc_window_, 0);
    SPaintState saved;
    HandOverPaintState(rt, cache_rt_.get(), saved);
    SendElementMessage(WM_ERASEBKGND, PaintTargetParam(cache_rt_.get()));
    SendElementMessage(WM_PAINT, PaintTargetParam(cache_rt_.get()));
    TakeBackPaintState(cache_rt_.get(), saved);
    own_flags_ &= ~kOwnCacheDirty;
  }
  RECT clip{};
  rt->ClipBounds(&clip);
  RECT part = RectIntersect(clip, client);
  if (!RectIsEmpty(part)) rt->BlendFromTarget(part, cache_rt_.get(), part, UsesLayer() ? 255 : style_.alpha);
}

void SWindow::PaintOwnMargin(IRenderTarget* rt) {
  RECT client = ClientArea();
  if (client == rc_window_) return;
  if (!PaintsToCache()) {
    SendElementMessage(WM_NCPAINT, PaintTargetParam(rt));
    return;
  }
  if (!cache_rt_) return;
  cache_rt_->ClipPushRect(client, RGN_DIFF);
  cache_rt_->ReplaceRect(rc_window_, 0);
  SendElementMessage(WM_NCPAINT, PaintTargetParam(cache_rt_.get()));
  cache_rt_->ClipPop();
  rt->ClipPushRect(client, RGN_DIFF);
  RECT clip{};
  rt->ClipBounds(&clip);
  RECT part = RectIntersect(clip, rc_window_);
  if (!RectIsEmpty(part)) rt->BlendFromTarget(part, cache_rt_.get(), part, UsesLayer() ? 255 : style_.alpha);
  rt->ClipPop();
}

void SWindow::PaintSubtree(IRenderTarget* rt, IRegion* region, UINT first, UINT end) {
  if (!rt || (state_ & WndState_Invisible)) return;
  if (!parent_) EnsureTreeOrder();
  const RECT window = rc_window_;
  bool has_region = region && !region->IsEmpty();
  // A leaf outside the region has nothing to paint (children may lie outside their
  // parent, so only leaves are passed over this way).
  if (has_region && !first_child_ && !region->IntersectsRect(window)) return;
  const RECT client = ClientArea();
  RECT interest = has_region ? region->Bounds() : window;
  bool margin_needed = RectUnion(interest, client) != client;

  IRenderTarget* outer = nullptr;
  SPaintState layer_saved;
  if (UsesLayer() && layer_rt_ && rt != layer_rt_.get()) {
    outer = rt;
    rt = layer_rt_.get();
    HandOverPaintState(outer, rt, layer_saved);
    if (has_region) rt->ClipPushRegion(region, RGN_COPY);
    else rt->ClipPushRect(window, RGN_COPY);
    rt->ReplaceRect(window, 0);
  }

  bool region_clip = false;
  if (window_region_) {
    if (auto moved = NewRegionOf({})) {
      moved->CombineRegion(window_region_.get(), RGN_COPY);
      moved->Offset({window.left, window.top});
      rt->ClipPushRegion(moved.get(), RGN_AND);
      region_clip = true;
    }
  }
  bool client_clip = ClipsToClient();
  if (client_clip) rt->ClipPushRect(client, RGN_AND);

  bool in_range = tree_order_ >= first && tree_order_ < end;
  if (in_range && (!has_region || region->IntersectsRect(client))) PaintOwnContent(rt, client);

  // The element's font and text colour stay selected while its children paint.
  SPaintState state;
  const bool has_children = first_child_ != nullptr;
  if (has_children) PrePaint(rt, state);
  for (SWindow* c = first_child_; c;) {
    SWindow* next = c->next_;
    if (c->tree_order_ >= end) break;
    bool below = c->tree_order_ < first;
    if (below && next && next->tree_order_ <= first) {
      c = next;
      continue;  // the whole subtree lies below the range
    }
    if (below && !next) {
      const SWindow* deepest = c;
      while (deepest->last_child_) deepest = deepest->last_child_;
      if (deepest->tree_order_ < first) break;
    }
    c->PaintSubtree(rt, region, first, end);
    c = next;
  }
  if (has_children) PostPaint(rt, state);

  if (client_clip) rt->ClipPop();
  if (region_clip) rt->ClipPop();

  if (in_range && margin_needed && (!has_region || region->IntersectsRect(window))) PaintOwnMargin(rt);

  if (outer) {
    rt->ClipPop();
    outer->BlendFromTarget(window, rt, window, style_.alpha);
    TakeBackPaintState(rt, layer_saved);
  }
}

void SWindow::PrePaint(IRenderTarget* rt, SPaintState& state) {
  int paint_state = PaintStateIndex(state_);
  if (IFont* font = style_.Font(paint_state)) state.old_font = SelectKeepingPrevious(rt, font);
  COLORREF color = style_.TextColor(paint_state);
  if (color != kNoColor) state.old_text_color = rt->SetTextColor(color);
}

void SWindow::PostPaint(IRenderTarget* rt, SPaintState& state) {
  if (state.old_font) rt->Select(state.old_font.get());
  if (state.old_text_color != kNoColor) rt->SetTextColor(state.old_text_color);
}

void SWindow::SelectPaintStateChain(IRenderTarget* rt, bool include_self) {
  std::vector<SWindow*> chain;
  for (SWindow* e = include_self ? this : parent_; e; e = e->parent_) chain.push_back(e);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    SPaintState discard;
    (*it)->PrePaint(rt, discard);
  }
}

void SWindow::PaintText(IRenderTarget* rt, std::u16string_view text, RECT rc, UINT format) {
  if (!text.empty()) rt->TextDraw(text, &rc, format);
}

void SWindow::PaintFocusFrame(IRenderTarget* rt) {
  if (!IsFocusable() || !(own_flags_ & kOwnDrawFocusRect)) return;
  RECT rc = RectDeflate(ClientArea(), {2, 2, 2, 2});
  auto pen = MakePen(rt, PS_DOT, 0xFF585858, 1);
  if (!pen) return;
  SSelectScope selected(rt, pen.get());
  rt->StrokeRect(rc);
}

// ---- painting outside a repaint --------------------------------------------------------

RECT SWindow::VisibleAreaWithinAncestors(RECT rc) const {
  for (const SWindow* p = parent_; p; p = p->parent_) rc = RectIntersect(rc, p->ClientArea());
  return rc;
}

SWindow* SWindow::NearestLayered() {
  for (SWindow* e = this; e; e = e->parent_)
    if (e->UsesLayer() && e->layer_rt_) return e;
  return nullptr;
}

IRenderTarget* SWindow::BeginElementPaint(const RECT* rc, UINT mode, bool client_only) {
  RECT area = client_only ? ClientArea() : rc_window_;
  if (rc) area = RectIntersect(area, *rc);
  if (update_lock_ > 0) return NewTargetOf(0, 0).detach();
  EnsureTreeOrder();
  area = VisibleAreaWithinAncestors(area);
  auto record = std::make_unique<PaintRecord>();
  record->area = area;
  record->mode = mode;
  record->region = NewRegionOf(area);
  SWindow* layered = NearestLayered();
  SAutoRefPtr<IRenderTarget> rt;
  if (layered) {
    rt = layered->layer_rt_;
    record->layered = layered->swnd_;
  } else if (container_) {
    rt = SAutoRefPtr<IRenderTarget>::Adopt(container_->AcquireRenderTarget(area, mode));
    record->from_host = rt != nullptr;
  }
  if (!rt || !record->region) {
    GiveBackPaintTarget(std::move(rt), record->from_host, area, kPaintScratch);
    return NewTargetOf(0, 0).detach();  // nowhere to paint: a target that is thrown away
  }
  rt->ClipPushRegion(record->region.get(), RGN_COPY);
  if (mode == kPaintBackground) {
    rt->ReplaceRect(area, 0);
    SWindow* base = layered ? layered : Root();
    base->SelectPaintStateChain(rt.get(), true);
    base->PaintSubtree(rt.get(), record->region.get(), 0, tree_order_);
  }
  SelectPaintStateChain(rt.get(), true);
  paint_record_ = std::move(record);
  return rt.detach();  // the caller hands this reference back to EndElementPaint
}

void SWindow::GiveBackPaintTarget(SAutoRefPtr<IRenderTarget> rt, bool from_host, const RECT& area, UINT mode) {
  if (rt && from_host && container_) container_->ReleaseRenderTarget(rt.detach(), area, mode);
}

void SWindow::EndElementPaint(IRenderTarget* rt) {
  if (!rt) return;
  auto target = SAutoRefPtr<IRenderTarget>::Adopt(rt);  // the reference BeginElementPaint handed out
  std::unique_ptr<PaintRecord> record = std::move(paint_record_);
  if (!record) return;  // the thrown-away target of an element with nowhere to paint
  SWindow* layered = record->layered ? ElementForHandle(record->layered) : nullptr;
  SWindow* base = layered ? layered : Root();
  if (record->mode == kPaintBackground) base->PaintSubtree(rt, record->region.get(), tree_order_ + 1, kOrderUnlimited);
  rt->ClipPop();
  if (!record->layered) {
    GiveBackPaintTarget(std::move(target), record->from_host, record->area, record->mode);
    return;
  }
  target.reset();
  if (!layered || record->mode == kPaintScratch || !container_) return;
  // The layer changed: compose the host's picture of the area again.
  IRenderTarget* host = container_->AcquireRenderTarget(record->area, kPaintCopy);
  if (!host) return;
  SWindow* root = Root();
  host->ClipPushRegion(record->region.get(), RGN_COPY);
  host->ReplaceRect(record->area, 0);
  root->PaintSubtree(host, record->region.get(), 0, layered->tree_order_);
  if (!RectIsEmpty(record->area))
    host->BlendFromTarget(record->area, layered->layer_rt_.get(), record->area, layered->style_.alpha);
  for (SWindow* e = layered; e; e = e->parent_) {
    if (e->next_) {
      root->PaintSubtree(host, record->region.get(), e->next_->tree_order_, kOrderUnlimited);
      break;
    }
  }
  host->ClipPop();
  container_->ReleaseRenderTarget(host, record->area, kPaintCopy);
}

void SWindow::PaintBelow(IRenderTarget* rt, const RECT& rc) {
  RECT area = RectIntersect(rc_window_, rc);
  auto region = NewRegionOf(area);
  if (!rt || !region) return;
  EnsureTreeOrder();
  rt->ClipPushRect(area, RGN_AND);
  rt->ReplaceRect(area, 0);
  SWindow* root = Root();
  SPaintState discard;
  root->PrePaint(rt, discard);
  root->PaintSubtree(rt, region.get(), 0, tree_order_);
  rt->ClipPop();
}

void SWindow::PaintAbove(IRenderTarget* rt, const RECT& rc) {
  RECT area = RectIntersect(rc_window_, rc);
  auto region = NewRegionOf(area);
  if (!rt || !region) return;
  EnsureTreeOrder();
  rt->ClipPushRect(area, RGN_AND);
  SWindow* root = Root();
  SPaintState discard;
  root->PrePaint(rt, discard);
  root->PaintSubtree(rt, region.get(), tree_order_ + 1, kOrderUnlimited);
  rt->ClipPop();
}

void SWindow::RepaintUpdateRegion() {
  if ((style_.flags & kStyleBkgndBlend) || !update_region_ || update_region_->IsEmpty()) return;
  RECT bounds = update_region_->Bounds();
  SAutoRefPtr<IRegion> region = std::move(update_region_);
  if (state_ & WndState_Invisible) return;
  IRenderTarget* rt = BeginElementPaint(&bounds, kPaintCopy, true);
  if (!rt) return;
  rt->ClipPushRegion(region.get(), RGN_AND);
  SendElementMessage(WM_ERASEBKGND, PaintTargetParam(rt));
  SendElementMessage(WM_PAINT, PaintTargetParam(rt));
  PaintAbove(rt, bounds);
  rt->ClipPop();
  EndElementPaint(rt);
}

void SWindow::RepaintNonClientNow() {
  RECT window = rc_window_, client = ClientArea();
  if (window == client || (state_ & WndState_Invisible) || RectIsEmpty(window)) return;
  auto margin = NewRegionOf(window);
  if (!margin) return;
  margin->CombineRect(client, RGN_DIFF);
  if (window_region_) {
    if (auto moved = NewRegionOf({})) {
      moved->CombineRegion(window_region_.get(), RGN_COPY);
      moved->Offset({window.left, window.top});
      margin->CombineRegion(moved.get(), RGN_AND);
    }
  }
  IRenderTarget* rt = BeginElementPaint(&window, kPaintCopy, false);
  if (!rt) return;
  rt->ClipPushRegion(margin.get(), RGN_AND);
  PaintBelow(rt, window);
  SendElementMessage(WM_NCPAINT, PaintTargetParam(rt));
  PaintAbove(rt, window);
  rt->ClipPop();
  EndElementPaint(rt);
}

}  // namespace LOOM
