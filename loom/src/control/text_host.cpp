// The edit element's text host: every engine callback answered from the element and
// its container.
#include "core/text_host.h"

#include "core/rect_util.h"
#include "core/rich_edit.h"
#include "platform/ui/input.h"
#include "platform/ui/sys_colors.h"
#include "platform/ui/window.h"

namespace LOOM {

STextServiceHelper::STextServiceHelper() : create_(&platform::CreateTextServices) {}

STextServiceHelper& STextServiceHelper::Instance() {
  static STextServiceHelper helper;
  return helper;
}

STextHost::STextHost(SRichEdit* owner) : owner_(owner) {}

STextHost::~STextHost() { Shutdown(); }

bool STextHost::Init() {
  platform::PCreateTextServices create = STextServiceHelper::Instance().CreateFunction();
  if (!create) return false;
  platform::IUnknown* made = nullptr;
  if (FAILED(create(nullptr, this, &made)) || !made) return false;
  auto unknown = SAutoRefPtr<platform::IUnknown>::Adopt(made);
  void* services = nullptr;
  if (FAILED(unknown->QueryInterface(platform::IID_ITextServices, &services)) || !services) return false;
  services_ = SAutoRefPtr<platform::ITextServices>::Adopt(static_cast<platform::ITextServices*>(services));
  return true;
}

// The engine may call back while it goes: Services() answers null by then.
void STextHost::Shutdown() { services_.reset(); }

HRESULT STextHost::QueryInterface(const platform::GUID& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == platform::IID_IUnknown || iid == platform::IID_ITextHost) {
    *out = static_cast<platform::ITextHost*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STextHost::AddRef() { return ++refs_; }

ULONG STextHost::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---- the screen, scroll bars, invalidation ----------------------------------------------

void* STextHost::TxGetDC() { return nullptr; }  // the engine measures with its own pango context
INT_PTR STextHost::TxReleaseDC(void*) { return 1; }

BOOL STextHost::TxShowScrollBar(int bar, BOOL show) { return owner_->ShowScrollBar(bar, show != FALSE); }

BOOL STextHost::TxEnableScrollBar(int bars, int arrows) {
  return owner_->EnableScrollBar(bars, arrows != static_cast<int>(ESB_DISABLE_BOTH));
}

BOOL STextHost::TxSetScrollRange(int bar, LONG min, int max, BOOL redraw) {
  if (bar != SB_HORZ && bar != SB_VERT) return FALSE;
  owner_->SetScrollRange(bar == SB_VERT, min, max, redraw != FALSE);
  return TRUE;
}

BOOL STextHost::TxSetScrollPos(int bar, int pos, BOOL redraw) {
  if (bar != SB_HORZ && bar != SB_VERT) return FALSE;
  // While the element itself scrolls the engine, the record already follows.
  if (owner_->Options() & SRichEdit::kOptScrolling) return TRUE;
  owner_->SetScrollPos(bar == SB_VERT, pos, redraw != FALSE);
  return TRUE;
}

void STextHost::TxInvalidateRect(const RECT* rc, BOOL) { owner_->MarkDirty(rc); }

void STextHost::TxViewChange(BOOL update) {
  if (update) owner_->MarkDirty();
}

void STextHost::TxScrollWindowEx(int, int, const RECT*, const RECT*, void*, RECT*, UINT) { owner_->MarkDirty(); }

// ---- caret, timers, capture, focus, cursor -----------------------------------------------

// The engine's caret bitmap is the platform's (an HBITMAP where the engine is riched20),
// never a toolkit bitmap: the host draws this caret as a plain inverted bar of the size
// asked for.
BOOL STextHost::TxCreateCaret(void* /*engine_bitmap*/, int width, int height) {
  ISwndContainer* container = owner_->Container();
  if (!container) return FALSE;
  return container->CreateCaret(owner_->Handle(), nullptr, width, height) ? TRUE : FALSE;
}

BOOL STextHost::TxShowCaret(BOOL show) {
  if (show && !active_) return FALSE;  // an inactive box shows no caret
  ISwndContainer* container = owner_->Container();
  return container && container->ShowCaret(show != FALSE) ? TRUE : FALSE;
}

BOOL STextHost::TxSetCaretPos(int x, int y) {
  caret_pos_ = {x, y};
  ISwndContainer* container = owner_->Container();
  return container && container->MoveCaret(caret_pos_) ? TRUE : FALSE;
}

BOOL STextHost::TxSetTimer(UINT id, UINT timeout_ms) { return owner_->SetElementTimer(id, timeout_ms) ? TRUE : FALSE; }

void STextHost::TxKillTimer(UINT id) { owner_->KillElementTimer(id); }

void STextHost::TxSetCapture(BOOL capture) {
  ISwndContainer* container = owner_->Container();
  if (!container) return;
  if (capture) {
    container->CaptureElement(owner_->Handle());
  } else if (container->CapturedElement() == owner_->Handle()) {
    container->ReleaseElementCapture();
  }
}

void STextHost::TxSetFocus() {
  if (ISwndContainer* container = owner_->Container()) container->FocusElement(owner_->Handle());
}

void STextHost::TxSetCursor(HCURSOR cursor, BOOL) { platform::SetCursor(cursor); }

BOOL STextHost::TxScreenToClient(POINT* pt) {
  ISwndContainer* container = owner_->Container();
  return pt && container && container->HostHandle() ? platform::ScreenToClient(container->HostHandle(), pt) : FALSE;
}

BOOL STextHost::TxClientToScreen(POINT* pt) {
  ISwndContainer* container = owner_->Container();
  return pt && container && container->HostHandle() ? platform::ClientToScreen(container->HostHandle(), pt) : FALSE;
}

HRESULT STextHost::TxActivate(LONG* old_state) {
  if (old_state) *old_state = active_ ? 1 : 0;
  active_ = true;
  return S_OK;
}

HRESULT STextHost::TxDeactivate(LONG) {
  active_ = false;
  return S_OK;
}

// ---- what the box is -------------------------------------------------------------------

HRESULT STextHost::TxGetClientRect(RECT* rc) {
  if (!rc) return E_POINTER;
  *rc = owner_->ClientArea();
  return S_OK;
}

HRESULT STextHost::TxGetViewInset(RECT* inset) {
  if (!inset) return E_POINTER;
  *inset = owner_->ViewInset();
  return S_OK;
}

HRESULT STextHost::TxGetCharFormat(const CHARFORMATW** cf) {
  if (!cf) return E_POINTER;
  *cf = reinterpret_cast<const CHARFORMATW*>(&owner_->DefaultCharFormat());
  return S_OK;
}

HRESULT STextHost::TxGetParaFormat(const PARAFORMAT** pf) {
  if (!pf) return E_POINTER;
  *pf = reinterpret_cast<const PARAFORMAT*>(&owner_->DefaultParaFormat());
  return S_OK;
}

COLORREF STextHost::TxGetSysColor(int index) { return platform::GetSysColor(index); }

HRESULT STextHost::TxGetBackStyle(TXTBACKSTYLE* style) {
  if (!style) return E_POINTER;
  *style = TXTBACK_TRANSPARENT;
  return S_OK;
}

HRESULT STextHost::TxGetMaxLength(DWORD* length) {
  if (!length) return E_POINTER;
  *length = static_cast<DWORD>(owner_->MaxLength());
  return S_OK;
}

HRESULT STextHost::TxGetScrollBars(DWORD* bars) {
  if (!bars) return E_POINTER;
  *bars = owner_->EditStyle() & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
  return S_OK;
}

HRESULT STextHost::TxGetPasswordChar(WCHAR* ch) {
  if (!ch) return E_POINTER;
  *ch = owner_->PasswordChar();
  return S_OK;
}

HRESULT STextHost::TxGetAcceleratorPos(LONG* pos) {
  if (!pos) return E_POINTER;
  *pos = owner_->AcceleratorPos();
  return S_OK;
}

HRESULT STextHost::TxGetExtent(SIZE* extent) {
  if (!extent) return E_POINTER;
  *extent = owner_->Extent();
  return S_OK;
}

HRESULT STextHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }
HRESULT STextHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT STextHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
  if (!bits) return E_POINTER;
  *bits = owner_->PropertyBits(mask);
  return S_OK;
}

HRESULT STextHost::TxNotify(DWORD code, void* data) { return owner_->RaiseNotify(code, data); }

// The window layer has no input-method contexts to hand out: committed text arrives as
// characters.
void* STextHost::TxImmGetContext() { return nullptr; }
void STextHost::TxImmReleaseContext(void*) {}

HRESULT STextHost::TxGetSelectionBarWidth(LONG* width) {
  if (!width) return E_POINTER;
  *width = 0;
  return S_OK;
}

}  // namespace LOOM
