// The view: scrolling and the ranges the host shows, the caret, invalidation and
// drawing.
#include <cairo.h>

#include <algorithm>
#include <limits>

#include "platform/ui/sys_colors.h"
#include "platform/text/linux/text_engine.h"

namespace platform::text {
namespace {

constexpr std::int64_t kMaxCoordinate = 0x3FFFFFFF;

int ClampCoordinate(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -kMaxCoordinate, kMaxCoordinate)); }

}  // namespace

int TextEngine::ContentHeight() {
  return ClampCoordinate(std::int64_t{layout_.LineCount()} * layout_.LineHeight());
}

int TextEngine::MaxScrollY() { return std::max(0, ContentHeight() - ViewHeight()); }

int TextEngine::MaxScrollX() {
  // The lines measured so far, and the caret's place: enough for the view to follow
  // the caret without measuring lines nobody looks at.
  const int extent = std::max(layout_.WidestMeasuredLine(), caret_x_) + kCaretWidth;
  return std::max(0, extent - ViewWidth());
}

void TextEngine::ScrollTo(int x, int y) {
  x = std::clamp(x, 0, MaxScrollX());
  y = std::clamp(y, 0, MaxScrollY());
  if (x == scroll_x_ && y == scroll_y_) return;
  const bool vertical = y != scroll_y_;
  const bool horizontal = x != scroll_x_;
  scroll_x_ = x;
  scroll_y_ = y;
  InvalidateView();
  if (host_) {
    DWORD bars = 0;
    host_->TxGetScrollBars(&bars);
    if (vertical && (Multiline() || (bars & WS_VSCROLL))) host_->TxSetScrollPos(SB_VERT, scroll_y_, TRUE);
    if (horizontal && (bars & WS_HSCROLL)) host_->TxSetScrollPos(SB_HORZ, scroll_x_, TRUE);
  }
  UpdateCaret();
  if (host_ && (event_mask_ & ENM_SCROLL)) {
    if (vertical) host_->TxNotify(EN_VSCROLL, nullptr);
    if (horizontal) host_->TxNotify(EN_HSCROLL, nullptr);
  }
}

void TextEngine::ScrollCaretIntoView() {
  const int height = layout_.LineHeight();
  const int view_height = ViewHeight();
  const int view_width = ViewWidth();
  const std::int64_t top = std::int64_t{layout_.LineOfPosition(caret_)} * height;
  caret_x_ = layout_.XOfPosition(caret_);
  std::int64_t y = scroll_y_;
  if (top < y) {
    y = top;
  } else if (top + height > y + view_height) {
    y = top + height - view_height;
  }
  std::int64_t x = scroll_x_;
  if (caret_x_ < x) {
    x = std::max(0, caret_x_ - view_width / 4);
  } else if (caret_x_ + kCaretWidth > x + view_width) {
    // Jump a little further, so typing on does not scroll at every character.
    x = std::int64_t{caret_x_} + kCaretWidth - view_width + view_width / 4;
  }
  ScrollTo(ClampCoordinate(x), ClampCoordinate(y));
}

void TextEngine::ReportScrollRanges(bool force) {
  if (!host_) return;
  DWORD bars = 0;
  host_->TxGetScrollBars(&bars);
  const int client_height = std::max(0, client_.bottom - client_.top);
  const int client_width = std::max(0, client_.right - client_.left);
  // A multi-line box reports its vertical range even without a bar, so that the
  // box's panel can scroll it (the mouse wheel).
  if (Multiline() || (bars & WS_VSCROLL)) {
    const int max = std::max(0, MaxScrollY() + client_height - 1);
    if (force || max != reported_vmax_) {
      reported_vmax_ = max;
      host_->TxSetScrollRange(SB_VERT, 0, max, TRUE);
    }
  }
  if (bars & WS_HSCROLL) {
    const int max = std::max(0, MaxScrollX() + client_width - 1);
    if (force || max != reported_hmax_) {
      reported_hmax_ = max;
      host_->TxSetScrollRange(SB_HORZ, 0, max, TRUE);
    }
  }
  auto show = [&](int bar, DWORD style, bool needed, bool& shown) {
    if (!(bars & style)) return;
    if (!force && needed == shown) return;
    shown = needed;
    if (needed) {
      host_->TxShowScrollBar(bar, TRUE);
      host_->TxEnableScrollBar(bar, ESB_ENABLE_BOTH);
    } else if (bars & ES_DISABLENOSCROLL) {
      host_->TxShowScrollBar(bar, TRUE);
      host_->TxEnableScrollBar(bar, ESB_DISABLE_BOTH);
    } else {
      host_->TxShowScrollBar(bar, FALSE);
    }
  };
  show(SB_VERT, WS_VSCROLL, MaxScrollY() > 0, vbar_shown_);
  show(SB_HORZ, WS_HSCROLL, MaxScrollX() > 0, hbar_shown_);
}

// ---- the caret -------------------------------------------------------------------------

void TextEngine::UpdateCaret() {
  if (!host_) return;
  if (!focused_ || !in_place_) {
    ShowCaret(false);
    return;
  }
  const int height = layout_.LineHeight();
  if (!caret_created_) {
    host_->TxCreateCaret(nullptr, kCaretWidth, height);
    caret_created_ = true;
    caret_shown_ = false;
    caret_at_ = {-1, -1};
  }
  const RECT view = ViewRect();
  caret_x_ = layout_.XOfPosition(caret_);
  const POINT at{ClampCoordinate(std::int64_t{view.left} + caret_x_ - scroll_x_),
                 ClampCoordinate(std::int64_t{view.top} + std::int64_t{layout_.LineOfPosition(caret_)} * height - scroll_y_)};
  const bool visible = !HasSelection() && at.y + height > view.top && at.y < view.bottom && at.x >= view.left - 1 &&
                       at.x <= view.right;
  if (visible && (at.x != caret_at_.x || at.y != caret_at_.y)) {
    host_->TxSetCaretPos(at.x, at.y);
    caret_at_ = at;
  }
  ShowCaret(visible);
}

void TextEngine::ShowCaret(bool show) {
  if (!host_ || show == caret_shown_) return;
  if (show && !caret_created_) return;
  caret_shown_ = show;
  host_->TxShowCaret(show ? TRUE : FALSE);
}

// ---- invalidation ----------------------------------------------------------------------

bool TextEngine::SelectionShown() const {
  return HasSelection() && !selection_hidden_ && (focused_ || !(props_ & TXTBIT_HIDESELECTION));
}

void TextEngine::InvalidateLines(TextPos first, TextPos last) {
  if (!host_) return;
  const RECT view = ViewRect();
  const int height = layout_.LineHeight();
  const std::int64_t top = std::int64_t{view.top} + std::int64_t{first} * height - scroll_y_;
  const std::int64_t bottom = last == std::numeric_limits<TextPos>::max()
                                  ? view.bottom
                                  : std::int64_t{view.top} + (std::int64_t{last} + 1) * height - scroll_y_;
  RECT rc{view.left, ClampCoordinate(std::max<std::int64_t>(top, view.top)), view.right,
          ClampCoordinate(std::min<std::int64_t>(bottom, view.bottom))};
  if (rc.right <= rc.left || rc.bottom <= rc.top) return;
  host_->TxInvalidateRect(&rc, FALSE);
}

void TextEngine::InvalidateView() {
  if (!host_) return;
  RECT view = ViewRect();
  if (view.right <= view.left || view.bottom <= view.top) return;
  host_->TxInvalidateRect(&view, FALSE);
}

void TextEngine::InvalidatePositions(TextPos from, TextPos to) {
  InvalidateLines(layout_.LineOfPosition(std::min(from, to)), layout_.LineOfPosition(std::max(from, to)));
}

void TextEngine::InvalidateSelectionChange(TextPos old_start, TextPos old_end) {
  const TextPos start = SelStart();
  const TextPos end = SelEnd();
  if (old_start == old_end && start == end) return;  // the caret alone moved: the host draws it
  TextPos low = std::numeric_limits<TextPos>::max();
  TextPos high = std::numeric_limits<TextPos>::min();
  auto take = [&](TextPos a, TextPos b) {
    if (a == b) return;
    low = std::min({low, a, b});
    high = std::max({high, a, b});
  };
  take(old_start, start);
  take(old_end, end);
  if (low > high) return;
  InvalidatePositions(low, high);
}

// ---- drawing -------------------------------------------------------------------------------

void TextEngine::Draw(void* cairo, const RECT& bounds, const RECT* update) {
  auto* cr = static_cast<cairo_t*>(cairo);
  const int dx = bounds.left - client_.left;
  const int dy = bounds.top - client_.top;
  RECT view = ViewRect();
  view = {view.left + dx, view.top + dy, view.right + dx, view.bottom + dy};
  RECT clip = view;
  if (update) {
    clip = {std::max(clip.left, update->left), std::max(clip.top, update->top), std::min(clip.right, update->right),
            std::min(clip.bottom, update->bottom)};
  }
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  const int height = std::max(1, layout_.LineHeight());
  const TextPos count = layout_.LineCount();
  const std::int64_t from = (std::int64_t{clip.top} - view.top + scroll_y_) / height;
  const std::int64_t to = (std::int64_t{clip.bottom} - 1 - view.top + scroll_y_) / height;
  if (from >= count) return;

  cairo_save(cr);
  cairo_rectangle(cr, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
  cairo_clip(cr);
  const LineColors colors{text_color_,
                          host_ ? host_->TxGetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_HIGHLIGHT),
                          host_ ? host_->TxGetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_HIGHLIGHTTEXT)};
  const LineSelection selection{SelStart(), SelEnd(), SelectionShown()};
  const double left = static_cast<double>(view.left) - scroll_x_;
  for (std::int64_t line = std::max<std::int64_t>(from, 0); line <= to && line < count; ++line) {
    const double top = static_cast<double>(view.top) + static_cast<double>(line * height - scroll_y_);
    layout_.DrawLine(cr, static_cast<TextPos>(line), left, top, clip.left, clip.right, selection, colors);
  }
  cairo_restore(cr);
}

}  // namespace platform::text
