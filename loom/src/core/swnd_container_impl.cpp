// Routing of host messages to the elements of the tree.
#include "core/swnd_container_impl.h"

#include <algorithm>

#include "platform/base/icon.h"
#include "platform/ui/input.h"

namespace LOOM {

namespace {

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

// The last mouse-button message (the extra buttons' double click).
constexpr UINT kLastButtonMessage = 0x020D;

// Bit 29 of a key message's lParam: Alt was held.
constexpr LPARAM kAltDownBit = LPARAM{1} << 29;

bool IsKeyMessage(UINT msg) {
  return (msg >= WM_KEYUP && msg <= WM_UNICHAR) || (msg >= WM_IME_STARTCOMPOSITION && msg <= WM_IME_COMPOSITION) ||
         msg == WM_IME_CHAR;
}

bool Usable(const SWindow* e) { return e && !e->HasDisabledState(); }

}  // namespace

SwndContainerImpl::SwndContainerImpl() : focus_(this) { SetContainer(this); }

SwndContainerImpl::~SwndContainerImpl() = default;

// ---- capture, focus, registrations -----------------------------------------------------

SWND SwndContainerImpl::CaptureElement(SWND swnd) {
  SWindow* e = ElementForHandle(swnd);
  if (!Usable(e)) return 0;
  SWND previous = capture_;
  capture_ = swnd;
  return previous;
}

bool SwndContainerImpl::ReleaseElementCapture() {
  capture_ = 0;
  return true;
}

void SwndContainerImpl::FocusElement(SWND swnd) { focus_.MoveFocusTo(swnd, kFocusByCode); }

bool SwndContainerImpl::AddDropTarget(SWND, IDropTarget*) { return false; }
void SwndContainerImpl::RemoveDropTarget(SWND) {}

bool SwndContainerImpl::AddFrameHandler(ITimelineHandler* handler) {
  if (!handler || std::find(frame_handlers_.begin(), frame_handlers_.end(), handler) != frame_handlers_.end())
    return false;
  frame_handlers_.push_back(handler);
  return true;
}

bool SwndContainerImpl::RemoveFrameHandler(ITimelineHandler* handler) {
  auto it = std::find(frame_handlers_.begin(), frame_handlers_.end(), handler);
  if (it == frame_handlers_.end()) return false;
  frame_handlers_.erase(it);
  return true;
}

void SwndContainerImpl::FrameTick() {
  if (!IsShown()) return;
  std::vector<ITimelineHandler*> handlers = frame_handlers_;
  for (ITimelineHandler* h : handlers) {
    // A handler removed by an earlier one this frame is not called any more.
    if (std::find(frame_handlers_.begin(), frame_handlers_.end(), h) != frame_handlers_.end()) h->OnNextFrame();
  }
}

bool SwndContainerImpl::AddMouseTracker(SWND swnd) {
  if (swnd == 0 || std::find(trackers_.begin(), trackers_.end(), swnd) != trackers_.end()) return false;
  trackers_.push_back(swnd);
  return true;
}

bool SwndContainerImpl::RemoveMouseTracker(SWND swnd) {
  auto it = std::find(trackers_.begin(), trackers_.end(), swnd);
  if (it == trackers_.end()) return false;
  trackers_.erase(it);
  return true;
}

void SwndContainerImpl::RenumberTree() {
  if (!tree_order_dirty_) return;
  UINT order = 0;
  SWindow* e = this;
  while (e) {
    e->SetTreeOrder(order++);
    if (e->FirstChild()) {
      e = e->FirstChild();
      continue;
    }
    while (e != this && !e->NextSibling()) e = e->GetParent();
    e = e == this ? nullptr : e->NextSibling();
  }
  tree_order_dirty_ = false;
}

bool SwndContainerImpl::RouteElementTimer(UINT_PTR id) {
  if (!IsElementTimerId(id)) return false;
  SWindow* e = ElementForHandle(ElementTimerHandle(id));
  if (!e) {
    KillHostTimer(id);
    return false;
  }
  if (e == this) return false;
  e->SendElementMessage(WM_TIMER, ElementTimerOwnId(id), 0);
  return true;
}

// ---- routing ---------------------------------------------------------------------------

LRESULT SwndContainerImpl::RouteHostMessage(UINT msg, WPARAM wp, LPARAM lp) {
  SAutoRefPtr<SWindow> keep(this);
  handled_ = true;
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) focus_.StashFocus();
      else focus_.RecallFocus();
      return 0;
    case WM_SETFOCUS: focus_.RecallFocus(); return 0;
    case WM_KILLFOCUS: focus_.StashFocus(); return 0;
    case WM_ACTIVATEAPP: BroadcastDepthFirst(this, msg, wp, lp); return 0;
    case WM_SETCURSOR: OnSetCursorMsg(lp); return 0;
    case WM_MOUSEMOVE: OnMouseMoveMsg(wp, lp); return 0;
    case WM_MOUSELEAVE: OnMouseLeaveMsg(); return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: return OnWheelMsg(msg, wp, lp);
    default: break;
  }
  if (msg == WM_KEYDOWN || IsKeyMessage(msg)) return OnKeyMsg(msg, wp, lp);
  if (msg == WM_MOUSEHOVER || (msg >= WM_LBUTTONDOWN && msg <= kLastButtonMessage)) return OnMouseButtonMsg(msg, wp, lp);
  handled_ = false;
  return 0;
}

LRESULT SwndContainerImpl::OnKeyMsg(UINT msg, WPARAM wp, LPARAM lp) {
  WPARAM code = wp;
  if (msg == WM_KEYDOWN) {
    if (focus_.HandleNavigationKey(static_cast<UINT>(code))) return 0;
  } else if ((lp & kAltDownBit) || platform::GetKeyState(VK_MENU) < 0) {
    if (code >= 97 && code <= 122) code -= 32;
    if (focus_.HandleNavigationKey(static_cast<UINT>(code), HeldModifiers() | kAccelAlt)) return 0;
  }
  SWindow* focused = ElementForHandle(focus_.FocusedElement());
  if (!focused) {
    handled_ = false;
    return 0;
  }
  BOOL handled = FALSE;
  LRESULT result = focused->SendElementMessage(msg, code, lp, &handled);
  handled_ = handled != FALSE;
  return result;
}

void SwndContainerImpl::OnSetCursorMsg(LPARAM lp) {
  POINT pt = PointOf(lp);
  bool chosen = false;
  if (SWindow* capture = ElementForHandle(capture_)) chosen = capture->ChooseCursor(pt);
  else if (SWindow* hover = ElementForHandle(hover_); Usable(hover)) chosen = hover->ChooseCursor(pt);
  if (!chosen) platform::SetCursor(platform::LoadSystemCursor(kIdcArrow));
}

void SwndContainerImpl::SendHoverEnter(SWindow* element, WPARAM wp, LPARAM lp) {
  if (hover_in_nc_) element->SendElementMessage(WM_NCMOUSEHOVER, wp, lp);
  element->SendElementMessage(WM_MOUSEHOVER, wp, lp);
}

void SwndContainerImpl::SendHoverLeave(SWindow* element, bool in_nc) {
  if (in_nc) element->SendElementMessage(WM_NCMOUSELEAVE);
  element->SendElementMessage(WM_MOUSELEAVE);
}

void SwndContainerImpl::OnMouseMoveMsg(WPARAM wp, LPARAM lp) {
  POINT pt = PointOf(lp);
  if (SWindow* capture = ElementForHandle(capture_)) {
    SWND hit = capture->CoversPoint(pt) ? capture_ : 0;
    if (hit != hover_) {
      if (SWindow* old = ElementForHandle(hover_)) SendHoverLeave(old, hover_in_nc_);
      hover_ = hit;
      hover_in_nc_ = false;
      if (SWindow* h = ElementForHandle(hit); Usable(h)) {
        hover_in_nc_ = h->IsPointOutsideClient(pt);
        SendHoverEnter(h, wp, lp);
      }
    }
    capture->SendElementMessage(hover_in_nc_ ? WM_NCMOUSEMOVE : WM_MOUSEMOVE, wp, lp);
  } else {
    SWND hit = IsShown() ? HitTestElement(pt) : 0;
    SWindow* h = ElementForHandle(hit);
    if (hit != hover_) {
      SWindow* old = ElementForHandle(hover_);
      bool keeps_tracking = old && (old->Style().flags & kStyleTrackMouse) && old->CoversPoint(pt);
      if (old && !keeps_tracking) SendHoverLeave(old, hover_in_nc_);
      hover_ = hit;
      hover_in_nc_ = false;
      if (Usable(h)) {
        hover_in_nc_ = h->IsPointOutsideClient(pt);
        SendHoverEnter(h, wp, lp);
      }
    } else if (Usable(h)) {
      bool nc = h->IsPointOutsideClient(pt);
      if (nc != hover_in_nc_) {
        hover_in_nc_ = nc;
        h->SendElementMessage(nc ? WM_NCMOUSEHOVER : WM_NCMOUSELEAVE, wp, lp);
      }
    }
    // The hover messages may have destroyed it.
    h = ElementForHandle(hit);
    if (Usable(h)) h->SendElementMessage(hover_in_nc_ ? WM_NCMOUSEMOVE : WM_MOUSEMOVE, wp, lp);
    else handled_ = false;
  }
  UpdateTrackers(pt);
}

void SwndContainerImpl::UpdateTrackers(POINT pt) {
  std::vector<SWND> handles = trackers_;
  for (SWND swnd : handles) {
    SWindow* e = ElementForHandle(swnd);
    if (!e) {
      RemoveMouseTracker(swnd);
      continue;
    }
    bool inside = e->CoversPoint(pt);
    bool hovered = (e->State() & WndState_Hover) != 0;
    if (e->IsShown() && inside && !hovered) e->SendElementMessage(WM_MOUSEHOVER, 0, MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
    else if (!inside && hovered) e->SendElementMessage(WM_MOUSELEAVE);
  }
}

void SwndContainerImpl::OnMouseLeaveMsg() {
  if (SWindow* capture = ElementForHandle(capture_)) {
    capture->SendElementMessage(WM_MOUSELEAVE);
  } else if (SWindow* hover = ElementForHandle(hover_); Usable(hover)) {
    hover->SendElementMessage(WM_MOUSELEAVE);
    if (hover_in_nc_) hover->SendElementMessage(WM_NCMOUSELEAVE);
  }
  std::vector<SWND> handles = trackers_;
  for (SWND swnd : handles)
    if (SWindow* e = ElementForHandle(swnd); e && (e->State() & WndState_Hover)) e->SendElementMessage(WM_MOUSELEAVE);
  hover_ = 0;
  hover_in_nc_ = false;
}

LRESULT SwndContainerImpl::OnMouseButtonMsg(UINT msg, WPARAM wp, LPARAM lp) {
  POINT pt = PointOf(lp);
  SWindow* target = ElementForHandle(capture_);
  bool non_client = false;
  if (target) {
    // The capture element hears of its margin only while the pointer hovers there.
    non_client = hover_in_nc_ && hover_ == capture_;
  } else {
    hover_ = IsShown() ? HitTestElement(pt) : 0;
    target = ElementForHandle(hover_);
    non_client = target && target->IsPointOutsideClient(pt);
  }
  if (!Usable(target)) {
    handled_ = false;
    return 0;
  }
  if (non_client) msg = msg == WM_MOUSEHOVER ? WM_NCMOUSEHOVER : msg - (WM_LBUTTONDOWN - WM_NCLBUTTONDOWN);
  return target->SendElementMessage(msg, wp, lp);
}

LRESULT SwndContainerImpl::OnWheelMsg(UINT msg, WPARAM wp, LPARAM lp) {
  SWindow* target = ElementForHandle(capture_);
  if (!target && SendsWheelToHover()) {
    hover_ = IsShown() ? HitTestElement(PointOf(lp)) : 0;
    target = ElementForHandle(hover_);
  } else if (!target) {
    target = ElementForHandle(focus_.FocusedElement());
  }
  if (!Usable(target)) {
    handled_ = false;
    return 0;
  }
  return target->SendElementMessage(msg, wp, lp);
}

void SwndContainerImpl::BroadcastDepthFirst(SWindow* element, UINT msg, WPARAM wp, LPARAM lp) {
  SAutoRefPtr<SWindow> keep(element);
  element->SendElementMessage(msg, wp, lp);
  for (SWindow* c = element->FirstChild(); c;) {
    SWindow* next = c->NextSibling();
    BroadcastDepthFirst(c, msg, wp, lp);
    c = next;
  }
}

}  // namespace LOOM
