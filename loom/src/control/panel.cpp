// The panel: scroll records, the bars' geometry, attributes and scrolling requests.
#include "core/panel.h"

#include <algorithm>

#include "core/application.h"
#include "core/rect_util.h"
#include "core/skin_pool.h"
#include "core/text_util.h"
#include "core/values.h"

namespace LOOM {
namespace {

constexpr int kSystemScrollbarSkin = 5;
constexpr int kShownBit[2] = {1, 2};  // horizontal, vertical

int BarBit(bool vertical) { return kShownBit[vertical ? 1 : 0]; }

}  // namespace

SPanel::SPanel() { skin_ = SystemSkinByIndex(kSystemScrollbarSkin, 100); }

// ---- attributes ------------------------------------------------------------------------

HRESULT SPanel::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  auto dimension = [&](SLayoutSize& field) {
    SLayoutSize parsed;
    if (!ParseDimension(value, parsed)) return AttributeApplied(name, value, loading, E_FAIL);
    field = parsed;
    if (!loading) SendElementMessage(WM_NCCALCSIZE);
    return AttributeApplied(name, value, loading, S_OK);
  };
  if (EqualsNoCase(name, u"sbSkin")) {
    SApplication* app = SApplication::Instance();
    ISkinObj* skin = app && !value.empty() ? app->SkinPools().GetSkin(value, CurrentScale()) : nullptr;
    if (skin && !skin->MatchesTag(u"scrollbar")) skin = nullptr;
    skin_name_ = value;
    skin_ = skin ? skin : SystemSkinByIndex(kSystemScrollbarSkin, CurrentScale());
    return AttributeApplied(name, value, loading, S_OK);
  }
  if (EqualsNoCase(name, u"sbArrowSize")) return dimension(arrow_size_);
  if (EqualsNoCase(name, u"sbWid")) return dimension(width_);
  if (EqualsNoCase(name, u"sbLeft")) return dimension(inset_left_);
  if (EqualsNoCase(name, u"sbRight")) return dimension(inset_right_);
  if (EqualsNoCase(name, u"sbTop")) return dimension(inset_top_);
  if (EqualsNoCase(name, u"sbBottom")) return dimension(inset_bottom_);
  if (EqualsNoCase(name, u"sbEnable")) {
    allowed_ = IntOr0(value, true) & 3;
    if (!(allowed_ & 1)) ShowScrollBar(SB_HORZ, false);
    if (!(allowed_ & 2)) ShowScrollBar(SB_VERT, false);
    return AttributeApplied(name, value, loading, S_OK);
  }
  if (EqualsNoCase(name, u"updateInterval")) {
    update_interval_ = std::max(0, IntOr0(value, true));
    return AttributeApplied(name, value, loading, S_FALSE);
  }
  if (EqualsNoCase(name, u"scrollSpeed")) {
    scroll_speed_ = std::clamp(IntOr0(value, true), 1, 1 << 20);
    return AttributeApplied(name, value, loading, S_FALSE);
  }
  return SWindow::ApplyAttribute(name, value, loading);
}

int SPanel::Pixels(const SLayoutSize& size, int fallback) const {
  if (size.value < 0) return fallback;
  return std::clamp(DimensionToPixels(size, CurrentScale()), 0, 1 << 16);
}

// ---- geometry --------------------------------------------------------------------------

int SPanel::ScrollBarWidth() const {
  int fallback = kDefaultBarWidth;
  if (skin_) {
    // The system picture lays nine parts side by side, each a square of the bar's width.
    SIZE cell = skin_->CellSize();
    if (cell.cx >= 9) fallback = cell.cx / 9;
  }
  return Pixels(width_, fallback);
}

void SPanel::ComputeClientRect(RECT& out) const {
  SWindow::ComputeClientRect(out);
  const int width = ScrollBarWidth();
  if (shown_ & BarBit(true)) out.right = std::max(out.left, out.right - width);
  if (shown_ & BarBit(false)) out.bottom = std::max(out.top, out.bottom - width);
}

RECT SPanel::ScrollBarRect(bool vertical) const {
  if (!(shown_ & BarBit(vertical))) return {};
  RECT frame;
  SWindow::ComputeClientRect(frame);
  const int width = ScrollBarWidth();
  RECT bar;
  if (vertical) {
    bar = {std::max(frame.left, frame.right - width), frame.top, frame.right,
           frame.bottom - ((shown_ & BarBit(false)) ? width : 0)};
    bar.top += Pixels(inset_top_, 0);
    bar.bottom -= Pixels(inset_bottom_, 0);
  } else {
    bar = {frame.left, std::max(frame.top, frame.bottom - width),
           frame.right - ((shown_ & BarBit(true)) ? width : 0), frame.bottom};
    bar.left += Pixels(inset_left_, 0);
    bar.right -= Pixels(inset_right_, 0);
  }
  return RectNormalized(bar);
}

RECT SPanel::PartRect(bool vertical, int part) const {
  const RECT bar = ScrollBarRect(vertical);
  if (RectIsEmpty(bar)) return {};
  const LONG start = vertical ? bar.top : bar.left;
  const LONG end = vertical ? bar.bottom : bar.right;
  const LONG length = end - start;
  const int arrow = std::min<LONG>(Pixels(arrow_size_, ScrollBarWidth()), length / 2);
  auto span = [&](LONG from, LONG to) {
    return vertical ? RECT{bar.left, from, bar.right, to} : RECT{from, bar.top, to, bar.bottom};
  };
  const LONG rail_start = start + arrow;
  const LONG rail_end = end - arrow;
  const LONG rail = rail_end - rail_start;
  const SCROLLINFO& si = ScrollRecord(vertical);
  const long long range = static_cast<long long>(si.nMax) - si.nMin + 1;
  const long long page = si.nPage;
  LONG thumb_start = rail_start;
  LONG thumb_end = rail_end;
  if (range > 0 && page > 0 && page < range && rail > 0) {
    const LONG thumb = static_cast<LONG>(std::max<long long>(std::min<long long>(kMinThumb, rail), rail * page / range));
    const long long travel = rail - thumb;
    const long long pos = std::clamp<long long>(si.nPos, si.nMin, si.nMin + range - page) - si.nMin;
    thumb_start = rail_start + static_cast<LONG>(travel * pos / std::max<long long>(1, range - page));
    thumb_end = thumb_start + thumb;
  }
  switch (part) {
    case kPartLineUp: return span(start, rail_start);
    case kPartLineDown: return span(rail_end, end);
    case kPartPageUp: return span(rail_start, thumb_start);
    case kPartPageDown: return span(thumb_end, rail_end);
    case kPartThumb: return span(thumb_start, thumb_end);
    default: return {};
  }
}

int SPanel::PartAt(bool vertical, POINT pt) const {
  if (!RectContains(ScrollBarRect(vertical), pt)) return kPartNone;
  for (int part : {kPartThumb, kPartLineUp, kPartLineDown, kPartPageUp, kPartPageDown}) {
    if (RectContains(PartRect(vertical, part), pt)) return part;
  }
  return kPartNone;
}

// ---- records and bars --------------------------------------------------------------------

int SPanel::MaxScrollPos(bool vertical) const {
  const SCROLLINFO& si = ScrollRecord(vertical);
  const long long top = static_cast<long long>(si.nMax) - std::max<long long>(si.nPage, 1) + 1;
  return static_cast<int>(std::clamp<long long>(top, si.nMin, std::max(si.nMin, si.nMax)));
}

void SPanel::SetScrollRange(bool vertical, int min, int max, bool redraw) {
  SCROLLINFO& si = vertical ? vert_ : horz_;
  si.nMin = min;
  si.nMax = std::max(min, max);
  si.nPos = std::clamp(si.nPos, si.nMin, MaxScrollPos(vertical));
  if (redraw) InvalidateScrollBar(vertical);
}

void SPanel::SetScrollPage(bool vertical, int page, bool redraw) {
  SCROLLINFO& si = vertical ? vert_ : horz_;
  si.nPage = static_cast<UINT>(std::max(0, page));
  page_set_[vertical ? 1 : 0] = true;
  si.nPos = std::clamp(si.nPos, si.nMin, MaxScrollPos(vertical));
  if (redraw) InvalidateScrollBar(vertical);
}

bool SPanel::SetScrollPos(bool vertical, int pos, bool redraw) {
  SCROLLINFO& si = vertical ? vert_ : horz_;
  pos = std::clamp(pos, si.nMin, MaxScrollPos(vertical));
  if (pos == si.nPos) return false;
  si.nPos = pos;
  si.nTrackPos = pos;
  if (redraw) InvalidateScrollBar(vertical);
  return true;
}

void SPanel::FitPages() {
  const RECT client = ClientArea();
  if (!page_set_[1]) vert_.nPage = static_cast<UINT>(std::max<LONG>(0, RectHeight(client)));
  if (!page_set_[0]) horz_.nPage = static_cast<UINT>(std::max<LONG>(0, RectWidth(client)));
  vert_.nPos = std::clamp(vert_.nPos, vert_.nMin, MaxScrollPos(true));
  horz_.nPos = std::clamp(horz_.nPos, horz_.nMin, MaxScrollPos(false));
}

bool SPanel::ShowScrollBar(int bar, bool show) {
  int bits = bar == SB_BOTH ? 3 : bar == SB_VERT ? BarBit(true) : bar == SB_HORZ ? BarBit(false) : 0;
  const int before = shown_;
  if (show) {
    shown_ |= bits & allowed_;
  } else {
    shown_ &= ~bits;
  }
  if (shown_ == before) return true;
  // The client area changed: the element recomputes what depends on it.
  MarkDirty();
  SendElementMessage(WM_NCCALCSIZE);
  const RECT client = ClientArea();
  SendElementMessage(WM_SIZE, 0, MAKELONG(static_cast<WORD>(std::clamp<LONG>(RectWidth(client), 0, 0xFFFF)),
                                          static_cast<WORD>(std::clamp<LONG>(RectHeight(client), 0, 0xFFFF))));
  return true;
}

bool SPanel::EnableScrollBar(int bar, bool enable) {
  int bits = bar == SB_BOTH ? 3 : bar == SB_VERT ? BarBit(true) : bar == SB_HORZ ? BarBit(false) : 0;
  const int before = disabled_;
  disabled_ = enable ? (disabled_ & ~bits) : (disabled_ | bits);
  if (disabled_ != before) {
    if (bits & BarBit(true)) InvalidateScrollBar(true);
    if (bits & BarBit(false)) InvalidateScrollBar(false);
  }
  return true;
}

bool SPanel::ScrollBarShown(bool vertical) const { return (shown_ & BarBit(vertical)) != 0; }
bool SPanel::ScrollBarEnabled(bool vertical) const { return !(disabled_ & BarBit(vertical)); }

void SPanel::InvalidateScrollBar(bool vertical) {
  RECT bar = ScrollBarRect(vertical);
  if (!RectIsEmpty(bar)) MarkDirty(&bar);
}

// ---- scrolling -----------------------------------------------------------------------------

int SPanel::TargetPosition(bool vertical, UINT code, int pos) const {
  const SCROLLINFO& si = ScrollRecord(vertical);
  long long to = si.nPos;
  const long long page = std::max<long long>(si.nPage, 1);
  switch (code) {
    case SB_LINEUP: to -= scroll_speed_; break;
    case SB_LINEDOWN: to += scroll_speed_; break;
    case SB_PAGEUP: to -= page; break;
    case SB_PAGEDOWN: to += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: to = pos; break;
    case SB_TOP: to = si.nMin; break;
    case SB_BOTTOM: to = MaxScrollPos(vertical); break;
    default: break;
  }
  return static_cast<int>(std::clamp<long long>(to, si.nMin, MaxScrollPos(vertical)));
}

bool SPanel::OnScroll(bool vertical, UINT code, int pos) {
  const int target = TargetPosition(vertical, code, pos);
  SCROLLINFO& si = vertical ? vert_ : horz_;
  if (code == SB_THUMBTRACK) si.nTrackPos = target;
  if (!SetScrollPos(vertical, target, true)) return false;
  MarkClientDirty();
  return true;
}

bool SPanel::ScrollTo(bool vertical, int pos, bool redraw) {
  const SCROLLINFO& si = ScrollRecord(vertical);
  pos = std::clamp(pos, si.nMin, MaxScrollPos(vertical));
  const bool scrolled = OnScroll(vertical, SB_THUMBPOSITION, pos);
  if (scrolled && redraw) InvalidateScrollBar(vertical);
  return scrolled;
}

void SPanel::OnSize(UINT type, SIZE size) {
  FitPages();
  SWindow::OnSize(type, size);
}

BOOL SPanel::OnMouseWheel(UINT, short delta, POINT) {
  const bool vertical = ScrollRecord(true).nMax > ScrollRecord(true).nMin || !ScrollBarShown(false);
  const int notches = delta / WHEEL_DELTA;
  if (notches == 0) return FALSE;
  bool scrolled = false;
  // Three steps a notch, as the platform scrolls three lines.
  for (int i = 0; i < 3 * std::abs(notches); ++i) {
    scrolled |= OnScroll(vertical, notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
  }
  return scrolled ? TRUE : FALSE;
}

}  // namespace LOOM
