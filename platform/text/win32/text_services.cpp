// The edit control's text engine on Windows: riched20.dll's windowless rich-edit text
// services. The toolkit's host (platform::ITextHost) and the engine it drives
// (platform::ITextServices) keep the slot order of the platform's interfaces; only a
// few parameter types are the platform's handles and strings instead of the portable
// forms the header uses. Two thin objects carry each call across:
//   HostBridge      the platform's ITextHost, handed to riched20, forwarding every
//                   callback to the toolkit's host;
//   ServicesBridge  the toolkit's ITextServices, forwarding every call to riched20's.
// The library is loaded once, when the first engine is made, and stays loaded for the
// life of the process (engines may outlive any one owner).
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <richedit.h>
#include <textserv.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "platform/text/text_services.h"

namespace platform {
namespace {

// {8D33F740-CF58-11CE-A89D-00AA006CADC5}, as the engine answers it.
constexpr ::IID kIidTextServices{0x8D33F740, 0xCF58, 0x11CE, {0xA8, 0x9D, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};
// {C5BDD8D0-D26E-11CE-A89E-00AA006CADC5}
constexpr ::IID kIidTextHost{0xC5BDD8D0, 0xD26E, 0x11CE, {0xA8, 0x9E, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};

using RealCreate = HRESULT(WINAPI*)(::IUnknown*, ::ITextHost*, ::IUnknown**);

RealCreate RichEditEntry() {
  static const RealCreate entry = [] {
    HMODULE module = ::LoadLibraryW(L"riched20.dll");
    if (!module) return RealCreate{};
    return reinterpret_cast<RealCreate>(reinterpret_cast<void*>(::GetProcAddress(module, "CreateTextServices")));
  }();
  return entry;
}

// The platform's interfaces have no virtual destructors: COM objects end themselves in
// Release, as these do.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The platform's host interface over the toolkit's host. The toolkit's host answers
// TxGetDC with no context when it has none of its own to give; the engine then gets the
// screen's, which is what it measures text with.
class HostBridge final : public ::ITextHost {
 public:
  explicit HostBridge(platform::ITextHost* host) : host_(host) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (::IsEqualIID(iid, ::IID_IUnknown) || ::IsEqualIID(iid, kIidTextHost)) {
      *out = static_cast<::ITextHost*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HDC TxGetDC() override {
    if (HDC own = static_cast<HDC>(host_->TxGetDC())) return own;
    HDC screen = ::GetDC(nullptr);
    if (screen) screen_dcs_.push_back(screen);
    return screen;
  }
  INT TxReleaseDC(HDC dc) override {
    auto mine = std::find(screen_dcs_.begin(), screen_dcs_.end(), dc);
    if (mine == screen_dcs_.end()) return static_cast<INT>(host_->TxReleaseDC(dc));
    screen_dcs_.erase(mine);
    return ::ReleaseDC(nullptr, dc);
  }
  WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override { return host_->TxShowScrollBar(bar, show); }
  WINBOOL TxEnableScrollBar(INT bars, INT arrows) override { return host_->TxEnableScrollBar(bars, arrows); }
  WINBOOL TxSetScrollRange(INT bar, LONG min, INT max, WINBOOL redraw) override {
    return host_->TxSetScrollRange(bar, min, max, redraw);
  }
  WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override { return host_->TxSetScrollPos(bar, pos, redraw); }
  void TxInvalidateRect(LPCRECT rc, WINBOOL erase) override { host_->TxInvalidateRect(rc, erase); }
  void TxViewChange(WINBOOL update) override { host_->TxViewChange(update); }
  WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override {
    return host_->TxCreateCaret(bitmap, width, height);
  }
  WINBOOL TxShowCaret(WINBOOL show) override { return host_->TxShowCaret(show); }
  WINBOOL TxSetCaretPos(INT x, INT y) override { return host_->TxSetCaretPos(x, y); }
  WINBOOL TxSetTimer(UINT id, UINT timeout) override { return host_->TxSetTimer(id, timeout); }
  void TxKillTimer(UINT id) override { host_->TxKillTimer(id); }
  void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update_region, LPRECT update,
                        UINT flags) override {
    host_->TxScrollWindowEx(dx, dy, scroll, clip, update_region, update, flags);
  }
  void TxSetCapture(WINBOOL capture) override { host_->TxSetCapture(capture); }
  void TxSetFocus() override { host_->TxSetFocus(); }
  void TxSetCursor(HCURSOR cursor, WINBOOL over_text) override { host_->TxSetCursor(cursor, over_text); }
  WINBOOL TxScreenToClient(LPPOINT pt) override { return host_->TxScreenToClient(pt); }
  WINBOOL TxClientToScreen(LPPOINT pt) override { return host_->TxClientToScreen(pt); }
  HRESULT TxActivate(LONG* old_state) override { return host_->TxActivate(old_state); }
  HRESULT TxDeactivate(LONG new_state) override { return host_->TxDeactivate(new_state); }
  HRESULT TxGetClientRect(LPRECT rc) override { return host_->TxGetClientRect(rc); }
  HRESULT TxGetViewInset(LPRECT inset) override { return host_->TxGetViewInset(inset); }
  HRESULT TxGetCharFormat(const CHARFORMATW** cf) override { return host_->TxGetCharFormat(cf); }
  HRESULT TxGetParaFormat(const PARAFORMAT** pf) override { return host_->TxGetParaFormat(pf); }
  COLORREF TxGetSysColor(int index) override { return host_->TxGetSysColor(index); }
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override { return host_->TxGetBackStyle(style); }
  HRESULT TxGetMaxLength(DWORD* length) override { return host_->TxGetMaxLength(length); }
  HRESULT TxGetScrollBars(DWORD* bars) override { return host_->TxGetScrollBars(bars); }
  HRESULT TxGetPasswordChar(TCHAR* ch) override { return host_->TxGetPasswordChar(ch); }
  HRESULT TxGetAcceleratorPos(LONG* pos) override { return host_->TxGetAcceleratorPos(pos); }
  HRESULT TxGetExtent(LPSIZEL extent) override {
    SIZE size{};
    HRESULT hr = host_->TxGetExtent(&size);
    if (extent) *extent = SIZEL{size.cx, size.cy};
    return hr;
  }
  HRESULT OnTxCharFormatChange(const CHARFORMATW* cf) override { return host_->OnTxCharFormatChange(cf); }
  HRESULT OnTxParaFormatChange(const PARAFORMAT* pf) override { return host_->OnTxParaFormatChange(pf); }
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override { return host_->TxGetPropertyBits(mask, bits); }
  HRESULT TxNotify(DWORD code, void* data) override { return host_->TxNotify(code, data); }
  HIMC TxImmGetContext() override { return static_cast<HIMC>(host_->TxImmGetContext()); }
  void TxImmReleaseContext(HIMC context) override { host_->TxImmReleaseContext(context); }
  HRESULT TxGetSelectionBarWidth(LONG* width) override { return host_->TxGetSelectionBarWidth(width); }

  // The host's maximum length, or nothing when it gives none.
  bool MaxLength(DWORD* length) { return SUCCEEDED(host_->TxGetMaxLength(length)); }

 private:
  ~HostBridge() = default;

  platform::ITextHost* host_;
  std::vector<HDC> screen_dcs_;  // the screen's contexts handed out and not yet given back
  std::atomic<ULONG> refs_{1};
};

// The toolkit's engine interface over riched20's. It owns one reference on the real
// engine and one on the host bridge; the real engine keeps the bridge as a plain
// pointer, as the toolkit's host expects of any engine.
class ServicesBridge final : public platform::ITextServices {
 public:
  ServicesBridge(::IUnknown* unknown, ::ITextServices* services, HostBridge* host)
      : unknown_(unknown), services_(services), host_(host) {}

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_ITextServices) {
      *out = static_cast<platform::ITextServices*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT TxSendMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    return services_->TxSendMessage(msg, wp, lp, result);
  }
  HRESULT TxDraw(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw, void* target_info,
                 const RECT* bounds, const RECT* metafile_bounds, RECT* update, BOOL (*continue_drawing)(DWORD),
                 DWORD continue_arg, LONG view_id) override {
    RECTL bounds_l = ToRectL(bounds);
    RECTL metafile_l = ToRectL(metafile_bounds);
    return services_->TxDraw(aspect, lindex, aspect_info, static_cast<DVTARGETDEVICE*>(target_device),
                             static_cast<HDC>(draw), static_cast<HDC>(target_info), bounds ? &bounds_l : nullptr,
                             metafile_bounds ? &metafile_l : nullptr, update, continue_drawing, continue_arg,
                             view_id);
  }
  HRESULT TxGetHScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) override {
    return services_->TxGetHScroll(min, max, pos, page, enabled);
  }
  HRESULT TxGetVScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) override {
    return services_->TxGetVScroll(min, max, pos, page, enabled);
  }
  HRESULT OnTxSetCursor(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                        void* target_info, const RECT* client, int x, int y) override {
    return services_->OnTxSetCursor(aspect, lindex, aspect_info, static_cast<DVTARGETDEVICE*>(target_device),
                                    static_cast<HDC>(draw), static_cast<HDC>(target_info), client, x, y);
  }
  HRESULT TxQueryHitPoint(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                          void* target_info, const RECT* client, int x, int y, DWORD* hit) override {
    return services_->TxQueryHitPoint(aspect, lindex, aspect_info, static_cast<DVTARGETDEVICE*>(target_device),
                                      static_cast<HDC>(draw), static_cast<HDC>(target_info), client, x, y, hit);
  }
  HRESULT OnTxInPlaceActivate(const RECT* client) override { return services_->OnTxInPlaceActivate(client); }
  HRESULT OnTxInPlaceDeactivate() override { return services_->OnTxInPlaceDeactivate(); }
  HRESULT OnTxUIActivate() override { return services_->OnTxUIActivate(); }
  HRESULT OnTxUIDeactivate() override { return services_->OnTxUIDeactivate(); }
  HRESULT TxGetText(std::u16string* text) override {
    if (!text) return E_POINTER;
    BSTR raw = nullptr;
    HRESULT hr = services_->TxGetText(&raw);
    if (SUCCEEDED(hr)) {
      text->assign(reinterpret_cast<const char16_t*>(raw ? raw : L""), raw ? ::SysStringLen(raw) : 0);
    }
    ::SysFreeString(raw);
    return hr;
  }
  HRESULT TxSetText(const char16_t* text) override {
    return services_->TxSetText(reinterpret_cast<LPCWSTR>(text ? text : u""));
  }
  HRESULT TxGetCurTargetX(LONG* x) override { return services_->TxGetCurTargetX(x); }
  HRESULT TxGetBaseLinePos(LONG* pos) override { return services_->TxGetBaseLinePos(pos); }
  HRESULT TxGetNaturalSize(DWORD aspect, void* draw, void* target_info, void* target_device, DWORD mode,
                           const SIZE* extent, LONG* width, LONG* height) override {
    SIZEL extent_l{};
    if (extent) extent_l = SIZEL{extent->cx, extent->cy};
    return services_->TxGetNaturalSize(aspect, static_cast<HDC>(draw), static_cast<HDC>(target_info),
                                       static_cast<DVTARGETDEVICE*>(target_device), mode,
                                       extent ? &extent_l : nullptr, width, height);
  }
  HRESULT TxGetDropTarget(void** target) override {
    if (!target) return E_POINTER;
    ::IDropTarget* drop = nullptr;
    HRESULT hr = services_->TxGetDropTarget(&drop);
    *target = drop;
    return hr;
  }
  HRESULT OnTxPropertyBitsChange(DWORD mask, DWORD bits) override {
    HRESULT hr = services_->OnTxPropertyBitsChange(mask, bits);
    if (mask & TXTBIT_MAXLENGTHCHANGE) TakeHostsMaxLength();
    return hr;
  }

  // Not every version of the library reads the host's maximum length when told that it
  // changed (wine's does not); the limit is handed over as the edit message too.
  void TakeHostsMaxLength() {
    DWORD length = 0;
    LRESULT ignored = 0;
    if (host_->MaxLength(&length)) services_->TxSendMessage(EM_EXLIMITTEXT, 0, static_cast<LPARAM>(length), &ignored);
  }
  HRESULT TxGetCachedSize(DWORD* width, DWORD* height) override { return services_->TxGetCachedSize(width, height); }

 private:
  ~ServicesBridge() {
    services_->Release();
    unknown_->Release();
    host_->Release();
  }

  static RECTL ToRectL(const RECT* rc) { return rc ? RECTL{rc->left, rc->top, rc->right, rc->bottom} : RECTL{}; }

  ::IUnknown* unknown_;
  ::ITextServices* services_;
  HostBridge* host_;
  std::atomic<ULONG> refs_{1};
};

#pragma GCC diagnostic pop

}  // namespace

HRESULT CreateTextServices(IUnknown* outer, ITextHost* host, IUnknown** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!host) return E_INVALIDARG;
  RealCreate create = RichEditEntry();
  if (!create) return E_FAIL;

  HostBridge* bridge = new (std::nothrow) HostBridge(host);
  if (!bridge) return E_OUTOFMEMORY;
  ::IUnknown* unknown = nullptr;
  HRESULT hr = create(nullptr, bridge, &unknown);
  if (FAILED(hr) || !unknown) {
    bridge->Release();
    return FAILED(hr) ? hr : E_FAIL;
  }
  void* services = nullptr;
  hr = unknown->QueryInterface(kIidTextServices, &services);
  if (FAILED(hr) || !services) {
    unknown->Release();
    bridge->Release();
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  auto* result = new (std::nothrow) ServicesBridge(unknown, static_cast<::ITextServices*>(services), bridge);
  if (!result) {
    static_cast<::ITextServices*>(services)->Release();
    unknown->Release();
    bridge->Release();
    return E_OUTOFMEMORY;
  }
  result->TakeHostsMaxLength();
  *out = result;
  return S_OK;
}

}  // namespace platform
