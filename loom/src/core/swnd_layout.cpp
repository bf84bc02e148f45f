// Geometry of the element and its part in layout: client, text and children areas,
// hit testing, relayout requests, taking a rectangle, and the preferred size.
#include "core/application.h"
#include "core/render_refs.h"
#include "core/rect_util.h"
#include "core/swnd.h"

namespace LOOM {

namespace {

constexpr int kUnboundedExtent = 0x7FFFFF;
constexpr long long kMaxPreferredExtent = 1 << 26;

WORD SizeWord(LONG v) { return static_cast<WORD>(std::clamp<LONG>(v, 0, 0xFFFF)); }

}  // namespace

// ---- areas -----------------------------------------------------------------------------

void SWindow::ComputeClientRect(RECT& out) const { out = RectDeflate(rc_window_, MarginPixels()); }

RECT SWindow::ClientArea() const {
  RECT rc;
  ComputeClientRect(rc);
  return rc;
}

RECT SWindow::TextArea() const { return RectDeflate(ClientArea(), PaddingPixels()); }

RECT SWindow::ChildrenArea() const { return RectDeflate(ClientArea(), PaddingPixels()); }

bool SWindow::CoversPoint(POINT pt, bool client_only) const {
  if (client_only) return RectContains(ClientArea(), pt);
  if (window_region_) return window_region_->ContainsPoint({pt.x - rc_window_.left, pt.y - rc_window_.top});
  return RectContains(rc_window_, pt);
}

bool SWindow::IsPointOutsideClient(POINT pt) const { return !RectContains(ClientArea(), pt); }

SWND SWindow::HitTestElement(POINT pt) {
  if (!CoversPoint(pt)) return 0;
  if (IsPointOutsideClient(pt)) return swnd_;
  for (SWindow* c = last_child_; c; c = c->prev_) {
    if ((c->state_ & WndState_Invisible) || c->IsMsgTransparent()) continue;
    if (SWND hit = c->HitTestElement(pt)) return hit;
  }
  return swnd_;
}

// ---- layout requests -------------------------------------------------------------------

void SWindow::AskRelayout(SWND source, bool source_resizable) {
  ILayoutParam* param = LayoutParams();
  bool wraps = param && param->IsWrapContent(LayoutAxis::Any);
  if (source_resizable) layout_dirty_ = kLayoutDirty;
  else if (layout_dirty_ != kLayoutDirty) layout_dirty_ = (source == swnd_ || wraps) ? kLayoutDirty : kLayoutChildDirty;
  if (parent_ && (parent_->own_flags_ & kOwnVisible))
    parent_->AskRelayout(swnd_, wraps || !(own_flags_ & kOwnDisplay));
}

void SWindow::LayoutIfDirty() {
  if (layout_dirty_ != kLayoutClean && first_child_) RelayoutChildren();
  layout_dirty_ = kLayoutClean;
}

void SWindow::RelayoutChildren() {
  if (layout_dirty_ == kLayoutDirty) {
    if (layout_) layout_->PlaceChildren(this);
    RECT area = ChildrenArea();
    for (SWindow* c = first_child_; c;) {
      SWindow* next = c->next_;
      if (c->float_) {
        c->FloatAreaOffered(area);
        c->LayoutIfDirty();
      }
      c = next;
    }
  } else if (layout_dirty_ == kLayoutChildDirty) {
    for (SWindow* c = first_child_; c;) {
      SWindow* next = c->next_;
      if (c->IsLayoutParticipant() && c->layout_dirty_ != kLayoutClean) c->LayoutIfDirty();
      c = next;
    }
  }
}

void SWindow::FloatAreaOffered(const RECT&) {}

void SWindow::TakeRect(const RECT& rc) {
  RECT r = RectNormalized(rc);
  if (r == rc_window_ && layout_dirty_ == kLayoutClean) return;
  if (r != rc_window_) {
    layout_dirty_ = kLayoutDirty;
    MarkDirty();
    rc_window_ = r;
    MarkDirty();
    SendElementMessage(WM_NCCALCSIZE);
  }
  if (own_flags_ & kOwnVisible) {
    if (layout_dirty_ != kLayoutClean && first_child_) RelayoutChildren();
    layout_dirty_ = kLayoutClean;
  }
  RECT client = ClientArea();
  SendElementMessage(WM_SIZE, 0, MAKELONG(SizeWord(RectWidth(client)), SizeWord(RectHeight(client))));
}

void SWindow::PlaceAt(const RECT* rc) {
  if (rc) {
    float_ = true;
    TakeRect(*rc);
  } else {
    float_ = false;
    if (parent_) parent_->AskRelayout(swnd_, true);
  }
}

// ---- preferred size --------------------------------------------------------------------

void SWindow::MeasureText(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format) {
  rt->TextDraw(text, &rc, format | DT_CALCRECT);
}

SIZE SWindow::MeasureTextSize(int width, int height, bool width_wraps) {
  std::u16string text = GetElementText(false);
  SApplication* app = SApplication::Instance();
  if (text.empty() || !app || !app->RenderFactory()) return {0, 0};
  auto rt = MakeTarget(app->RenderFactory(), 0, 0);
  if (!rt) return {0, 0};
  SelectPaintStateChain(rt.get(), true);

  int max_width = max_width_.value < 0 ? -1 : DimensionToPixels(max_width_, CurrentScale());
  bool one_line = width_wraps && max_width < 0;
  int measure_w = width_wraps ? (one_line ? kUnboundedExtent : max_width) : (width >= 0 ? width : kUnboundedExtent);
  UINT format = (DrawTextFormat() & ~0xFu) | DT_CALCRECT;
  if (!one_line) {
    format |= DT_WORDBREAK;
    RECT pad = PaddingPixels();
    measure_w -= pad.left + pad.right;
    if (measure_w < 11) measure_w = 10;
  }
  RECT rc{0, 0, measure_w, height >= 0 ? height : kUnboundedExtent};
  MeasureText(rt.get(), text, rc, format);
  return {std::max<LONG>(0, RectWidth(rc)), std::max<LONG>(0, RectHeight(rc))};
}

SIZE SWindow::PreferredSize(int width_hint, int height_hint) {
  ILayoutParam* param = LayoutParams();
  if (!param) return {0, 0};
  // A parent of unknown size cannot be matched: measure the content instead.
  bool restore_w = width_hint < 0 && param->IsMatchParent(LayoutAxis::Horz);
  bool restore_h = height_hint < 0 && param->IsMatchParent(LayoutAxis::Vert);
  if (restore_w) param->SetWrapContent(LayoutAxis::Horz);
  if (restore_h) param->SetWrapContent(LayoutAxis::Vert);

  int scale = CurrentScale();
  int w = -1, h = -1;
  auto pixels = [scale](const SLayoutSize& d) {
    return static_cast<int>(std::clamp<long long>(DimensionToPixels(d, scale), 0, kMaxPreferredExtent));
  };
  if (param->IsSpecifiedSize(LayoutAxis::Horz)) w = pixels(param->SpecifiedSize(LayoutAxis::Horz));
  else if (param->IsMatchParent(LayoutAxis::Horz)) w = width_hint;
  if (param->IsSpecifiedSize(LayoutAxis::Vert)) h = pixels(param->SpecifiedSize(LayoutAxis::Vert));
  else if (param->IsMatchParent(LayoutAxis::Vert)) h = height_hint;

  SIZE result{w, h};
  if (w < 0 || h < 0) {
    bool wrap_w = param->IsWrapContent(LayoutAxis::Horz), wrap_h = param->IsWrapContent(LayoutAxis::Vert);
    SIZE text = MeasureTextSize(w, h, wrap_w);
    RECT margin = MarginPixels(), pad = PaddingPixels();
    int extra_w = margin.left + margin.right + pad.left + pad.right;
    int extra_h = margin.top + margin.bottom + pad.top + pad.bottom;
    int child_w = width_hint > 0 ? std::max(0, width_hint - extra_w) : width_hint;
    int child_h = height_hint > 0 ? std::max(0, height_hint - extra_h) : height_hint;
    SIZE children = layout_ ? layout_->MeasureContent(this, child_w, child_h) : SIZE{0, 0};
    auto total = [](LONG a, LONG b, int extra) {
      return static_cast<LONG>(std::clamp<long long>(std::max<long long>(a, b) + extra, 0, kMaxPreferredExtent));
    };
    if (wrap_w) result.cx = total(text.cx, children.cx, extra_w);
    if (wrap_h) result.cy = total(text.cy, children.cy, extra_h);
  }

  if (restore_w) param->SetMatchParent(LayoutAxis::Horz);
  if (restore_h) param->SetMatchParent(LayoutAxis::Vert);
  return result;
}

}  // namespace LOOM
