// The panel's bars under the mouse and on screen: pressing an arrow or the rail
// scrolls a step or a page and repeats while held, the thumb drags; each bar is drawn
// part by part with the scroll-bar skin.
#include <algorithm>

#include "core/panel.h"
#include "core/rect_util.h"

namespace LOOM {
namespace {

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

UINT CodeOfPart(int part) {
  switch (part) {
    case SPanel::kPartLineUp: return SB_LINEUP;
    case SPanel::kPartLineDown: return SB_LINEDOWN;
    case SPanel::kPartPageUp: return SB_PAGEUP;
    case SPanel::kPartPageDown: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
  }
}

}  // namespace

BOOL SPanel::HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (BarMouseDown(PointOf(lp))) {
        result = 0;
        return TRUE;
      }
      break;
    case WM_NCMOUSEMOVE:
    case WM_MOUSEMOVE:
      if (held_.active) {
        BarMouseMove(PointOf(lp));
        result = 0;
        return TRUE;
      }
      break;
    case WM_NCLBUTTONUP:
    case WM_LBUTTONUP:
      if (held_.active) {
        BarMouseUp();
        result = 0;
        return TRUE;
      }
      break;
    case WM_TIMER:
      if (wp == kRepeatTimer) {
        RepeatPart();
        result = 0;
        return TRUE;
      }
      break;
    case WM_CAPTURECHANGED:
      if (held_.active) BarMouseUp();
      break;
    default:
      break;
  }
  return SWindow::HandleElementMessage(msg, wp, lp, result);
}

bool SPanel::BarMouseDown(POINT pt) {
  for (bool vertical : {true, false}) {
    if (!ScrollBarShown(vertical)) continue;
    const int part = PartAt(vertical, pt);
    if (part == kPartNone) continue;
    if (!ScrollBarEnabled(vertical)) return true;  // a disabled bar swallows the click
    if (ISwndContainer* c = Container()) c->CaptureElement(Handle());
    held_ = {true, vertical, part, pt, ScrollRecord(vertical).nPos};
    if (part == kPartThumb) {
      OnScroll(vertical, SB_THUMBTRACK, held_.origin_pos);
    } else {
      OnScroll(vertical, CodeOfPart(part), 0);
      SetElementTimer(kRepeatTimer, kRepeatDelayMs);
    }
    InvalidateScrollBar(vertical);
    return true;
  }
  return false;
}

void SPanel::BarMouseMove(POINT pt) {
  if (held_.part != kPartThumb) return;
  const bool vertical = held_.vertical;
  const RECT up = PartRect(vertical, kPartLineUp);
  const RECT down = PartRect(vertical, kPartLineDown);
  const RECT thumb = PartRect(vertical, kPartThumb);
  const long long rail = vertical ? down.top - up.bottom : down.left - up.right;
  const long long travel = rail - (vertical ? RectHeight(thumb) : RectWidth(thumb));
  const SCROLLINFO& si = ScrollRecord(vertical);
  const long long span = static_cast<long long>(si.nMax) - si.nMin + 1 - std::max<long long>(si.nPage, 1) + 1;
  if (travel <= 0 || span <= 0) return;
  const long long moved = vertical ? pt.y - held_.origin.y : pt.x - held_.origin.x;
  const long long pos = held_.origin_pos + moved * span / travel;
  OnScroll(vertical, SB_THUMBTRACK, static_cast<int>(std::clamp<long long>(pos, si.nMin, si.nMax)));
}

void SPanel::BarMouseUp() {
  const Held held = held_;
  held_ = {};
  KillElementTimer(kRepeatTimer);
  if (ISwndContainer* c = Container(); c && c->CapturedElement() == Handle()) c->ReleaseElementCapture();
  if (held.part == kPartThumb) OnScroll(held.vertical, SB_THUMBPOSITION, ScrollRecord(held.vertical).nTrackPos);
  OnScroll(held.vertical, SB_ENDSCROLL, 0);
  InvalidateScrollBar(held.vertical);
}

void SPanel::RepeatPart() {
  if (!held_.active || held_.part == kPartThumb) {
    KillElementTimer(kRepeatTimer);
    return;
  }
  SetElementTimer(kRepeatTimer, kRepeatMs);
  OnScroll(held_.vertical, CodeOfPart(held_.part), 0);
}

// ---- painting ----------------------------------------------------------------------------

void SPanel::OnNcPaint(IRenderTarget* rt) {
  SWindow::OnNcPaint(rt);
  if (!rt || !skin_) return;
  if (ScrollBarShown(true)) PaintBar(rt, true);
  if (ScrollBarShown(false)) PaintBar(rt, false);
  if (ScrollBarShown(true) && ScrollBarShown(false)) {
    const RECT v = ScrollBarRect(true);
    const RECT h = ScrollBarRect(false);
    skin_->DrawCell(rt, RECT{v.left, h.top, v.right, h.bottom}, 10);  // the corner
  }
}

void SPanel::PaintBar(IRenderTarget* rt, bool vertical) {
  const int direction = vertical ? (1 << 24) : 0;
  const bool enabled = ScrollBarEnabled(vertical);
  for (int part : {kPartPageUp, kPartPageDown, kPartLineUp, kPartLineDown, kPartThumb}) {
    const RECT rc = PartRect(vertical, part);
    if (RectIsEmpty(rc)) continue;
    int state = 0;
    if (!enabled) {
      state = 3;
    } else if (held_.active && held_.vertical == vertical && held_.part == part) {
      state = 2;
    }
    skin_->DrawCell(rt, rc, part | (state << 16) | direction);
  }
}

}  // namespace LOOM
