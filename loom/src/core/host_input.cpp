// Input of the host: mouse, keyboard, focus and activation, the cursor, the tooltip,
// element and root timers, animation frames, and the inspection protocol.
#include <cstring>

#include "core/host_wnd.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"

namespace LOOM {

namespace {

bool IsButtonDown(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

// The button-up message that ends a press (or double click).
UINT ButtonUpFor(UINT down) {
  switch (down) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return WM_LBUTTONUP;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return WM_RBUTTONUP;
    default: return WM_MBUTTONUP;
  }
}

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }
LPARAM LParamOf(POINT pt) { return MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)); }

}  // namespace

// ---- mouse ------------------------------------------------------------------------------------

void SHostWnd::RecordClickState(UINT msg, WPARAM wp, LPARAM lp) {
  if (IsButtonDown(msg)) click_ = ClickState{msg, wp, lp};
  else if (msg == WM_MOUSELEAVE) click_ = ClickState{WM_MOUSELEAVE, 0, 0};
  else click_ = ClickState{};
}

void SHostWnd::RestoreClickState() {
  if (!IsButtonDown(click_.msg)) return;
  ClickState pressed = click_;
  SendWindowMessage(ButtonUpFor(pressed.msg), pressed.wp, pressed.lp);
}

LRESULT SHostWnd::OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MOUSEMOVE && !tracking_mouse_) {
    TRACKMOUSEEVENT track{};
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = NativeHandle();
    tracking_mouse_ = platform::TrackMouseEvent(&track) != FALSE;
  } else if (msg == WM_MOUSELEAVE) {
    tracking_mouse_ = false;
  }
  RecordClickState(msg, wp, lp);
  if (IsButtonDown(msg) && (WindowStyle() & WS_CHILD) && platform::GetFocus() != NativeHandle())
    platform::SetFocus(NativeHandle());

  POINT pt = PointOf(lp);
  if (msg == WM_MOUSEWHEEL) {
    // The wheel arrives in screen coordinates.
    platform::ScreenToClient(NativeHandle(), &pt);
    lp = LParamOf(pt);
  }
  LRESULT result = RouteHostMessage(msg, wp, lp);
  if (CSimpleWnd::IsWindow()) UpdateTip(pt);
  return result;
}

void SHostWnd::UpdateTip(POINT client_point) {
  if (!tooltip_) return;
  SWindow* hover = IsButtonDown(click_.msg) ? nullptr : ElementForHandle(HoveredElement());
  SwndToolTipInfo info;
  if (hover && hover->QueryTip(client_point, info)) {
    TipId id{info.swnd, static_cast<DWORD>(MAKELONG(static_cast<WORD>(info.rc_target.left),
                                                    static_cast<WORD>(info.rc_target.top)))};
    tooltip_->SetTipTarget(id, info.rc_target, info.text, Scale());
  } else {
    tooltip_->DropTip();
  }
}

void SHostWnd::RefreshTip() {
  if (!CSimpleWnd::IsWindow()) return;
  POINT pt{};
  platform::GetCursorPos(&pt);
  platform::ScreenToClient(NativeHandle(), &pt);
  UpdateTip(pt);
}

SWND SHostWnd::CaptureElement(SWND swnd) {
  if (CSimpleWnd::IsWindow()) platform::SetCapture(NativeHandle());
  return SwndContainerImpl::CaptureElement(swnd);
}

bool SHostWnd::ReleaseElementCapture() {
  if (!SwndContainerImpl::ReleaseElementCapture()) return false;
  if (CSimpleWnd::IsWindow()) {
    if (platform::GetCapture() == NativeHandle()) platform::ReleaseCapture();
    // Hover states are computed again where the pointer now is.
    POINT pt{};
    platform::GetCursorPos(&pt);
    platform::ScreenToClient(NativeHandle(), &pt);
    PostWindowMessage(WM_MOUSEMOVE, 0, LParamOf(pt));
  }
  return true;
}

void SHostWnd::OnCaptureChanged(HWND new_capture) {
  if (new_capture == NativeHandle()) return;
  if (new_capture) {
    char16_t name[32]{};
    platform::GetClassNameW(new_capture, name, 32);
    if (std::u16string_view(name) == u"CLIPBRDWNDCLASS") return;
  }
  RestoreClickState();
}

LRESULT SHostWnd::OnSetCursor(WPARAM wp, LPARAM lp) {
  if (reinterpret_cast<HWND>(wp) != NativeHandle() || LOWORD(lp) != HTCLIENT) {
    return DefWindowProc(WM_SETCURSOR, wp, lp);
  }
  POINT pt{};
  platform::GetCursorPos(&pt);
  platform::ScreenToClient(NativeHandle(), &pt);
  RouteHostMessage(WM_SETCURSOR, wp, LParamOf(pt));
  return TRUE;
}

// ---- keyboard, focus and activation ----------------------------------------------------------

LRESULT SHostWnd::OnKeyMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) {
    // System keys (Alt+F4, the menu key) keep their platform meaning unless the focused
    // element asks for them.
    SWindow* focused = ElementForHandle(FocusedElement());
    if (!focused || !(focused->KeyWants() & SC_WANTSYSKEY)) return DefWindowProc(msg, wp, lp);
  }
  LRESULT result = RouteHostMessage(msg, wp, lp);
  if (!SwndContainerImpl::IsMsgHandled()) SetWindowMsgHandled(false);
  return result;
}

void SHostWnd::OnActivate(WPARAM wp) {
  if (LOWORD(wp) != WA_INACTIVE) {
    platform::SetFocus(NativeHandle());
  } else {
    if (platform::GetFocus() == NativeHandle()) platform::SetFocus(nullptr);
    RestoreClickState();
  }
}

// ---- timers and animation --------------------------------------------------------------------

void SHostWnd::OnTimer(UINT_PTR id) {
  if (!IsElementTimerId(id)) {
    DefWindowProc(WM_TIMER, id, 0);
    return;
  }
  if (ElementTimerHandle(id) != (Handle() & 0x00FFFFFFu)) {
    RouteElementTimer(id);  // another element's, or a dead one's (killed)
    return;
  }
  switch (ElementTimerOwnId(id)) {
    case kCaretTimer:
      ToggleCaret(true);
      caret_drawn_ = !caret_drawn_;
      break;
    case kFrameTimer: OnFrameTimer(); break;
    default: break;
  }
}

void SHostWnd::OnFrameTimer() {
  if (platform::IsIconic(NativeHandle()) || !IsShown()) return;
  FrameTick();
}

bool SHostWnd::AddFrameHandler(ITimelineHandler* handler) {
  if (!SwndContainerImpl::AddFrameHandler(handler)) return false;
  if (FrameHandlerCount() == 1) SetHostTimer(MakeElementTimerId(Handle(), kFrameTimer), kFrameIntervalMs);
  return true;
}

bool SHostWnd::RemoveFrameHandler(ITimelineHandler* handler) {
  if (!SwndContainerImpl::RemoveFrameHandler(handler)) return false;
  if (FrameHandlerCount() == 0) KillHostTimer(MakeElementTimerId(Handle(), kFrameTimer));
  return true;
}

// ---- inspection ------------------------------------------------------------------------------

namespace {

constexpr std::size_t kDescriptionBytes = 10650;
constexpr std::size_t kNameOffset = 44;
constexpr std::size_t kNameChars = 250;
constexpr std::size_t kClassOffset = 546;
constexpr std::size_t kClassChars = 50;
constexpr std::size_t kUnavailableOffset = 648;
constexpr std::u16string_view kOverflow = u"##buf overflow!";

void PutInt(std::vector<unsigned char>& block, std::size_t offset, std::int32_t value) {
  std::memcpy(block.data() + offset, &value, sizeof value);
}

void PutRect(std::vector<unsigned char>& block, std::size_t offset, const RECT& rc) {
  PutInt(block, offset, rc.left);
  PutInt(block, offset + 4, rc.top);
  PutInt(block, offset + 8, rc.right);
  PutInt(block, offset + 12, rc.bottom);
}

// NUL-terminated UTF-16 text of at most `limit` characters, else the overflow mark.
void PutText(std::vector<unsigned char>& block, std::size_t offset, std::u16string_view text, std::size_t limit) {
  if (text.size() > limit) text = kOverflow;
  std::memcpy(block.data() + offset, text.data(), text.size() * sizeof(char16_t));
}

}  // namespace

LRESULT SHostWnd::OnInspection(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMsgElementAtPoint) {
    POINT pt = PointOf(lp);
    platform::ScreenToClient(NativeHandle(), &pt);
    return static_cast<LRESULT>(HitTestElement(pt));
  }
  if (!attr_.allow_spy) return 0;
  if (msg == kMsgInspectorWindow) {
    auto tool = reinterpret_cast<HWND>(lp);
    inspector_ = platform::IsWindow(tool) ? tool : nullptr;
    return inspector_ ? 1 : 0;
  }
  SWindow* element = wp == 0 ? this : ElementForHandle(static_cast<SWND>(wp));
  if (msg == kMsgRelatedElement) {
    SWindow* related = element ? element->RelatedElement(static_cast<int>(lp)) : nullptr;
    return related ? static_cast<LRESULT>(related->Handle()) : 0;
  }
  // kMsgDescribeElement
  if (!element) return 0;
  std::vector<unsigned char> block(kDescriptionBytes, 0);
  PutInt(block, 0, static_cast<std::int32_t>(element->Handle()));
  PutRect(block, 4, element->ElementArea());
  PutRect(block, 20, element->ClientArea());
  PutInt(block, 36, element->IsShown() ? 1 : 0);
  PutInt(block, 40, element->Id());
  PutText(block, kNameOffset, element->Name(), kNameChars);
  PutText(block, kClassOffset, element->TagName(), kClassChars);
  PutText(block, kUnavailableOffset, u"##unavailable!", kDescriptionBytes);
  if (inspector_ && platform::IsWindow(inspector_)) {
    COPYDATASTRUCT data{static_cast<ULONG_PTR>(kMsgDescribeElement), static_cast<DWORD>(block.size()), block.data()};
    platform::SendMessageW(inspector_, WM_COPYDATA, reinterpret_cast<WPARAM>(NativeHandle()),
                           reinterpret_cast<LPARAM>(&data));
  }
  return 1;
}

}  // namespace LOOM
