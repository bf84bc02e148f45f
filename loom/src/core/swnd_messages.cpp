// The base element's message map and its handlers.
#include "core/rect_util.h"
#include "core/swnd.h"

namespace LOOM {

namespace {

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

}  // namespace

BOOL SWindow::HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_CREATE: result = OnCreate(); return TRUE;
    case WM_DESTROY: OnDestroy(); return TRUE;
    case WM_SIZE: OnSize(static_cast<UINT>(wp), {LOWORD(static_cast<UINT_PTR>(lp)), HIWORD(static_cast<UINT_PTR>(lp))}); return TRUE;
    case WM_SETFOCUS: OnSetFocus(static_cast<SWND>(wp), static_cast<int>(lp)); return TRUE;
    case WM_KILLFOCUS: OnKillFocus(static_cast<SWND>(wp)); return TRUE;
    case WM_ENABLE: OnEnable(wp != 0, lp); return TRUE;
    case WM_PAINT: OnPaint(PaintTargetOf(wp)); return TRUE;
    case WM_ERASEBKGND: result = OnEraseBkgnd(PaintTargetOf(wp)); return TRUE;
    case WM_SHOWWINDOW: OnShowWindow(wp != 0, lp); return TRUE;
    case WM_NCPAINT: OnNcPaint(PaintTargetOf(wp)); return TRUE;
    case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wp), PointOf(lp)); return TRUE;
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wp), PointOf(lp)); return TRUE;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wp), PointOf(lp)); return TRUE;
    case WM_RBUTTONDOWN: OnRButtonDown(static_cast<UINT>(wp), PointOf(lp)); return TRUE;
    case WM_RBUTTONUP: OnRButtonUp(static_cast<UINT>(wp), PointOf(lp)); return TRUE;
    case WM_MOUSEWHEEL:
      result = OnMouseWheel(GET_KEYSTATE_WPARAM(wp), GET_WHEEL_DELTA_WPARAM(wp), PointOf(lp));
      if (!result && parent_) result = parent_->SendElementMessage(msg, wp, lp);
      return TRUE;
    case WM_MOUSEHOVER: OnMouseHover(static_cast<UINT>(wp), PointOf(lp)); return TRUE;
    case WM_MOUSELEAVE: OnMouseLeave(); return TRUE;
    case UM_SETSCALE: ScaleSwitched(static_cast<int>(wp)); return TRUE;
    case UM_SETLANGUAGE: LanguageSwitched(); return TRUE;
    case UM_SETCOLORIZE: TintElement(static_cast<COLORREF>(wp)); return TRUE;
    default: result = DefaultElementMessage(msg, wp, lp); return FALSE;
  }
}

int SWindow::OnCreate() {
  if (container_) {
    if (style_.flags & kStyleTrackMouse) container_->AddMouseTracker(swnd_);
    else container_->RemoveMouseTracker(swnd_);
  }
  style_.SetScale(CurrentScale());
  EventSwndCreate evt(this);
  RaiseEvent(evt);
  return 0;
}

void SWindow::OnDestroy() {
  EventSwndDestroy evt(this);
  RaiseEvent(evt);
  while (SWindow* child = first_child_) {
    child->SendElementMessage(WM_DESTROY);
    if (child->parent_ == this) DropChild(child);
  }
  layout_dirty_ = kLayoutDirty;
}

void SWindow::OnSize(UINT, SIZE size) {
  UpdateCacheTargets();
  EventSwndSize evt(this, size);
  RaiseEvent(evt);
}

void SWindow::OnSetFocus(SWND, int) {
  EventSetFocus evt(this);
  RaiseEvent(evt);
  MarkDirty();
}

void SWindow::OnKillFocus(SWND) {
  EventKillFocus evt(this);
  RaiseEvent(evt);
  MarkDirty();
}

void SWindow::OnPaint(IRenderTarget* rt) {
  if (!rt) return;
  SPaintState state;
  PrePaint(rt, state);
  PaintText(rt, GetElementText(false), TextArea(), DrawTextFormat());
  if (IsFocused()) PaintFocusFrame(rt);
  PostPaint(rt, state);
}

BOOL SWindow::OnEraseBkgnd(IRenderTarget* rt) {
  if (!rt) return TRUE;
  RECT client = ClientArea();
  if (bg_skin_) {
    int paint_state = PaintStateIndex(state_);
    if (paint_state >= bg_skin_->StateCount()) paint_state = 0;
    bg_skin_->DrawCell(rt, client, paint_state);
  } else if (style_.background_color != kNoColor) {
    rt->FillColorRect(client, style_.background_color);
  }
  return TRUE;
}

void SWindow::OnNcPaint(IRenderTarget* rt) {
  if (!rt || !IsShown()) return;
  RECT client = ClientArea();
  if (client == rc_window_) return;
  rt->ClipPushRect(client, RGN_DIFF);
  if (nc_skin_) {
    int paint_state = (state_ & WndState_Hover) && nc_skin_->StateCount() > 1 ? 1 : 0;
    nc_skin_->DrawCell(rt, rc_window_, paint_state);
  } else if (style_.border_color != kNoColor) {
    rt->FillColorRect(rc_window_, style_.border_color);
  }
  rt->ClipPop();
}

void SWindow::OnMouseMove(UINT, POINT) {}

void SWindow::OnLButtonDown(UINT, POINT pt) {
  if (container_) {
    if (AcceptsFocus()) container_->FocusElement(swnd_);
    container_->CaptureElement(swnd_);
  }
  ChangeState(WndState_PushDown, 0, true);
  EventLButtonDown evt(this, pt);
  RaiseEvent(evt);
}

void SWindow::OnLButtonUp(UINT, POINT pt) {
  if (container_ && container_->CapturedElement() == swnd_) container_->ReleaseElementCapture();
  if (!(state_ & WndState_PushDown)) return;
  ChangeState(0, WndState_PushDown, true);
  if (!RectContains(rc_window_, pt)) return;
  EventLButtonUp up(this, pt);
  RaiseEvent(up);
  FireCommand();
}

void SWindow::OnRButtonDown(UINT, POINT pt) { FireCtxMenu(pt); }

void SWindow::OnRButtonUp(UINT, POINT) {}

BOOL SWindow::OnMouseWheel(UINT, short, POINT) { return FALSE; }

void SWindow::OnMouseHover(UINT, POINT) {
  DWORD add = WndState_Hover;
  if (container_ && container_->CapturedElement() == swnd_) add |= WndState_PushDown;
  ChangeState(add, 0, true);
  RepaintNonClientNow();
  EventSwndMouseHover evt(this);
  RaiseEvent(evt);
}

void SWindow::OnMouseLeave() {
  DWORD remove = WndState_Hover;
  if (container_ && container_->CapturedElement() == swnd_) remove |= WndState_PushDown;
  ChangeState(0, remove, true);
  RepaintNonClientNow();
  EventSwndMouseLeave evt(this);
  RaiseEvent(evt);
}

}  // namespace LOOM
