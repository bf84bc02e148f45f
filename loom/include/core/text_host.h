// STextHost: the host side of an edit element's text engine. It makes the engine,
// owns it, and answers the engine's callbacks from the element (its rectangle, insets,
// formats, properties) and the element's container (invalidation, caret, capture,
// focus, timers, the cursor, scroll bars, notifications).
//
// STextServiceHelper: where engines come from. On the platform it is the rich-edit
// library's "CreateTextServices"; here the platform layer's engine is linked in.
#pragma once

#include <atomic>

#include "core/obj_ref.h"
#include "platform/text/text_services.h"

namespace LOOM {

class SRichEdit;

class STextServiceHelper {
 public:
  // One per process: made on first use.
  static STextServiceHelper& Instance();
  platform::PCreateTextServices CreateFunction() const { return create_; }
  // Tests stand in a missing library (nullptr) or a failing entry point.
  void SetCreateFunction(platform::PCreateTextServices create) { create_ = create; }

 private:
  STextServiceHelper();
  platform::PCreateTextServices create_;
};

class STextHost final : public platform::ITextHost {
 public:
  explicit STextHost(SRichEdit* owner);
  STextHost(const STextHost&) = delete;
  STextHost& operator=(const STextHost&) = delete;

  // Makes the engine; false (and no engine) when the entry point is missing or fails.
  bool Init();
  // Releases the engine; the element calls it before it goes.
  void Shutdown();
  platform::ITextServices* Services() const { return services_.get(); }
  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  POINT LastCaretPos() const { return caret_pos_; }

  // ---- IUnknown ------------------------------------------------------------------------
  HRESULT QueryInterface(const platform::GUID& iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // ---- ITextHost -----------------------------------------------------------------------
  void* TxGetDC() override;
  INT_PTR TxReleaseDC(void* dc) override;
  BOOL TxShowScrollBar(int bar, BOOL show) override;
  BOOL TxEnableScrollBar(int bars, int arrows) override;
  BOOL TxSetScrollRange(int bar, LONG min, int max, BOOL redraw) override;
  BOOL TxSetScrollPos(int bar, int pos, BOOL redraw) override;
  void TxInvalidateRect(const RECT* rc, BOOL erase) override;
  void TxViewChange(BOOL update) override;
  BOOL TxCreateCaret(void* bitmap, int width, int height) override;
  BOOL TxShowCaret(BOOL show) override;
  BOOL TxSetCaretPos(int x, int y) override;
  BOOL TxSetTimer(UINT id, UINT timeout_ms) override;
  void TxKillTimer(UINT id) override;
  void TxScrollWindowEx(int dx, int dy, const RECT* scroll, const RECT* clip, void* update_region, RECT* update,
                        UINT flags) override;
  void TxSetCapture(BOOL capture) override;
  void TxSetFocus() override;
  void TxSetCursor(HCURSOR cursor, BOOL over_text) override;
  BOOL TxScreenToClient(POINT* pt) override;
  BOOL TxClientToScreen(POINT* pt) override;
  HRESULT TxActivate(LONG* old_state) override;
  HRESULT TxDeactivate(LONG new_state) override;
  HRESULT TxGetClientRect(RECT* rc) override;
  HRESULT TxGetViewInset(RECT* inset) override;
  HRESULT TxGetCharFormat(const CHARFORMATW** cf) override;
  HRESULT TxGetParaFormat(const PARAFORMAT** pf) override;
  COLORREF TxGetSysColor(int index) override;
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
  HRESULT TxGetMaxLength(DWORD* length) override;
  HRESULT TxGetScrollBars(DWORD* bars) override;
  HRESULT TxGetPasswordChar(WCHAR* ch) override;
  HRESULT TxGetAcceleratorPos(LONG* pos) override;
  HRESULT TxGetExtent(SIZE* extent) override;
  HRESULT OnTxCharFormatChange(const CHARFORMATW* cf) override;
  HRESULT OnTxParaFormatChange(const PARAFORMAT* pf) override;
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
  HRESULT TxNotify(DWORD code, void* data) override;
  void* TxImmGetContext() override;
  void TxImmReleaseContext(void* context) override;
  HRESULT TxGetSelectionBarWidth(LONG* width) override;

 private:
  ~STextHost();

  std::atomic<ULONG> refs_{1};
  bool active_ = false;
  SRichEdit* owner_;
  SAutoRefPtr<platform::ITextServices> services_;
  POINT caret_pos_{};
};

}  // namespace LOOM
