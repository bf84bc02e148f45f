// The edit element's message map: what it handles itself (keys, characters, mouse,
// focus, scrolling, limits, formats, the context menu) and what it passes to the engine.
#include <algorithm>

#include "core/application.h"
#include "core/menu_popup.h"
#include "core/rect_util.h"
#include "core/rich_edit.h"
#include "core/text_host.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"

namespace LOOM {
namespace {

bool CtrlHeld() { return (platform::GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

BOOL SRichEdit::HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_SETTEXT:
      result = OnSetText(lp);
      return TRUE;
    case WM_SETFONT:
      if (created_) {
        BuildDefaultCharFormat();
        TellEngine(TXTBIT_CHARFORMATCHANGE);
        OnNcCalcSize();
      }
      return TRUE;
    case WM_NCCALCSIZE:
      OnNcCalcSize();
      return TRUE;
    case EM_SETREADONLY:
      ApplyAttribute(u"readOnly", wp ? u"1" : u"0", false);
      result = TRUE;
      return TRUE;
    case EM_LIMITTEXT:
    case EM_EXLIMITTEXT: {
      const auto limit = static_cast<LONG>(msg == EM_EXLIMITTEXT ? lp : static_cast<LPARAM>(wp));
      // 0 is the default; a negative limit, read unsigned as the platform does, is the largest.
      max_length_ = limit == 0 ? kDefaultMaxLength : limit < 0 ? 0x7FFFFFFF : limit;
      TellEngine(TXTBIT_MAXLENGTHCHANGE);
      return TRUE;
    }
    case EM_SETCHARFORMAT:
      result = OnSetCharFormat(wp, lp);
      return TRUE;
    case EM_SETPARAFORMAT:
      result = OnSetParaFormat(lp);
      return TRUE;
    case EM_GETRECT:
      if (auto* rc = reinterpret_cast<RECT*>(lp)) *rc = ClientArea();
      return TRUE;
    case WM_KEYDOWN:
      return OnKeyDown(wp, lp, result) ? TRUE : FALSE;
    case WM_CHAR:
      return OnChar(wp, lp, result) ? TRUE : FALSE;
    case WM_TIMER:
      if (wp == kRepeatTimer) break;  // the panel's own
      ForwardToEngine(WM_TIMER, wp, lp, result);
      return TRUE;
    case UM_THREADTIMER:
      ForwardToEngine(WM_TIMER, wp, lp, result);
      return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      if (OnMouseMessage(msg, wp, lp, result)) return TRUE;
      break;
    default:
      break;
  }
  if (SPanel::HandleElementMessage(msg, wp, lp, result)) return TRUE;
  return ForwardToEngine(msg, wp, lp, result) ? TRUE : FALSE;
}

bool SRichEdit::ForwardToEngine(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  platform::ITextServices* services = TextServices();
  if (!services) return false;
  SAutoRefPtr<SWindow> keep(this);  // a notification handler may delete the element
  return services->TxSendMessage(msg, wp, lp, &result) == S_OK;
}

bool SRichEdit::RaiseHandled(EventArgs& evt) {
  // A handler answering true counts even when it lets the event travel on to the host.
  const bool host_handled = RaiseEvent(evt);
  return host_handled || evt.handled > 0;
}

HRESULT SRichEdit::RaiseNotify(DWORD code, void* data) {
  EventRichEditNotify evt(this, code, data);
  RaiseEvent(evt);
  return evt.result;
}

UINT SRichEdit::KeyWants() const {
  UINT wants = SC_WANTARROWS | SC_WANTCHARS;
  if (options_ & kOptWantTab) wants |= SC_WANTTAB;
  if (style_bits_ & ES_WANTRETURN) wants |= SC_WANTRETURN;
  return wants;
}

// ---- keyboard ----------------------------------------------------------------------------

bool SRichEdit::OnKeyDown(WPARAM key, LPARAM flags, LRESULT& result) {
  EventEditKeyDown evt(this, static_cast<UINT>(key), static_cast<UINT>(flags));
  if (RaiseHandled(evt)) return true;
  // Enter is the window's (a default button) unless the box wants it or Ctrl is held.
  if (key == VK_RETURN && !(style_bits_ & ES_WANTRETURN) && !CtrlHeld()) return false;
  return ForwardToEngine(WM_KEYDOWN, key, flags, result);
}

bool SRichEdit::OnChar(WPARAM ch, LPARAM flags, LRESULT& result) {
  const auto c = static_cast<char16_t>(ch);
  if (c == u'\t' && !(options_ & kOptWantTab) && !CtrlHeld()) return false;
  // A line break only where the box wants Enter, or with Ctrl held; Ctrl+Enter comes as
  // a line feed, so a line feed always had Ctrl with it.
  if (c == u'\r' && !(style_bits_ & ES_WANTRETURN) && !CtrlHeld()) return false;
  if (style_bits_ & ES_NUMBER) {
    // A number takes digits and its signs; editing keys (Backspace) still work.
    const bool allowed = (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u',' || c < 0x20;
    if (!allowed) return true;
  }
  return ForwardToEngine(WM_CHAR, ch, flags, result);
}

// ---- mouse -------------------------------------------------------------------------------

bool SRichEdit::OnMouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  ISwndContainer* container = Container();
  switch (msg) {
    case WM_LBUTTONDOWN: {
      if (container) container->CaptureElement(Handle());
      if (!IsFocused()) {
        if (container) container->FocusElement(Handle());
        // The focus selected everything; the click does not undo it.
        if (options_ & kOptAutoSel) return true;
      }
      ForwardToEngine(msg, wp, lp, result);
      return true;
    }
    case WM_LBUTTONUP:
      ForwardToEngine(msg, wp, lp, result);
      if (container && container->CapturedElement() == Handle()) container->ReleaseElementCapture();
      return true;
    default:
      ForwardToEngine(msg, wp, lp, result);
      return true;
  }
}

bool SRichEdit::ChooseCursor(POINT pt) {
  platform::ITextServices* services = TextServices();
  if (!services || IsPointOutsideClient(pt)) return SPanel::ChooseCursor(pt);
  const RECT client = ClientArea();
  return services->OnTxSetCursor(DVASPECT_CONTENT, 0, nullptr, nullptr, nullptr, nullptr, &client, pt.x, pt.y) ==
         S_OK;
}

BOOL SRichEdit::OnMouseWheel(UINT flags, short delta, POINT pt) {
  if (style_bits_ & ES_MULTILINE) {
    SPanel::OnMouseWheel(flags, delta, pt);
    return TRUE;
  }
  return SWindow::OnMouseWheel(flags, delta, pt);
}

// ---- focus -------------------------------------------------------------------------------

void SRichEdit::ActivateEngine(bool focused) {
  platform::ITextServices* services = TextServices();
  if (!services || !host_) return;
  if (focused) {
    host_->SetActive(true);
    services->OnTxUIActivate();
    services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
  } else {
    host_->SetActive(false);
    services->OnTxUIDeactivate();
    services->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
  }
}

void SRichEdit::OnSetFocus(SWND old_focus, int reason) {
  SPanel::OnSetFocus(old_focus, reason);
  if (!IsShown() || HasDisabledState() || !TextServices()) return;
  ActivateEngine(true);
  // Everything, however long: a limit of 65,535 would leave the rest unselected.
  if (options_ & kOptAutoSel) SendElementMessage(EM_SETSEL, 0, -1);
}

void SRichEdit::OnKillFocus(SWND new_focus) {
  SPanel::OnKillFocus(new_focus);
  if (!TextServices()) return;
  ActivateEngine(false);
  if (ISwndContainer* container = Container()) container->ShowCaret(false);
}

void SRichEdit::OnShowWindow(bool visible, LPARAM reason) {
  SPanel::OnShowWindow(visible, reason);
  // A box hidden while it has the focus shows no caret.
  if (!visible && host_ && host_->Active()) {
    if (ISwndContainer* container = Container()) container->ShowCaret(false);
  }
}

// ---- scrolling ---------------------------------------------------------------------------

bool SRichEdit::OnScroll(bool vertical, UINT code, int pos) {
  platform::ITextServices* services = TextServices();
  if ((options_ & kOptScrolling) || !services) return false;
  options_ |= kOptScrolling;
  SPanel::OnScroll(vertical, code, pos);
  LRESULT answer = 1;
  const HRESULT hr = services->TxSendMessage(vertical ? WM_VSCROLL : WM_HSCROLL, platform::MakeScrollWParam(code, pos),
                                             0, &answer);
  LONG actual = 0;
  if (vertical) {
    services->TxGetVScroll(nullptr, nullptr, &actual, nullptr, nullptr);
  } else {
    services->TxGetHScroll(nullptr, nullptr, &actual, nullptr, nullptr);
  }
  // The engine decides where it can be; the record follows it.
  if (actual != ScrollRecord(vertical).nPos) SetScrollPos(vertical, actual, true);
  options_ &= ~kOptScrolling;
  return hr == S_OK && answer == 0;
}

bool SRichEdit::ScrollTo(bool vertical, int pos, bool redraw) {
  const SCROLLINFO& si = ScrollRecord(vertical);
  pos = std::max(pos, si.nMin);
  pos = std::min(pos, MaxScrollPos(vertical));
  HoldUpdates();
  const bool processed = OnScroll(vertical, SB_THUMBPOSITION, pos);
  ReleaseUpdates();
  if (processed) {
    if (redraw) InvalidateScrollBar(vertical);
    MarkDirty();
  }
  return processed;
}

// ---- the context menu -------------------------------------------------------------------------

void SRichEdit::OnRButtonDown(UINT, POINT pt) {
  if (FireCtxMenu(pt)) return;
  SAutoRefPtr<SWindow> keep(this);
  ISwndContainer* container = Container();
  if (container) container->FocusElement(Handle());
  SMenuPopup menu;
  if (!BuildContextMenu(menu)) return;
  POINT screen = pt;
  if (container && container->HostHandle()) platform::ClientToScreen(container->HostHandle(), &screen);
  const UINT item = TrackContextMenu(menu, screen);
  if (item == 0 || !TextServices()) return;
  EventRichEditMenu evt(this, item);
  if (RaiseHandled(evt)) return;
  RunMenuItem(item);
}

UINT SRichEdit::TrackContextMenu(SMenuPopup& menu, POINT screen) {
  ISwndContainer* container = Container();
  return menu.Track(screen, container ? container->HostHandle() : nullptr);
}

bool SRichEdit::BuildContextMenu(SMenuPopup& menu) {
  SApplication* app = SApplication::Instance();
  if (!app || !menu.Load(app->EditMenuMarkup().Child())) return false;
  DWORD start = 0;
  DWORD end = 0;
  SendElementMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const bool selected = start < end;
  const bool read_only = (style_bits_ & ES_READONLY) != 0;
  // A password is not handed out: the engine refuses to copy or cut it.
  const bool hidden = (style_bits_ & ES_PASSWORD) != 0;
  menu.EnableItem(kMenuCut, selected && !read_only && !hidden);
  menu.EnableItem(kMenuDelete, selected && !read_only);
  menu.EnableItem(kMenuCopy, selected && !hidden);
  menu.EnableItem(kMenuPaste, !read_only && SendElementMessage(EM_CANPASTE) != 0);
  menu.EnableItem(kMenuSelectAll, TextLength() > 0);
  return true;
}

void SRichEdit::RunMenuItem(UINT item) {
  switch (item) {
    case kMenuCut: SendElementMessage(WM_CUT); break;
    case kMenuCopy: SendElementMessage(WM_COPY); break;
    case kMenuPaste: SendElementMessage(WM_PASTE); break;
    case kMenuDelete: SendElementMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"")); break;
    case kMenuSelectAll: SendElementMessage(EM_SETSEL, 0, -1); break;
    default: break;
  }
}

}  // namespace LOOM
