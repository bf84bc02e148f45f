// The windowless text engine behind an edit box, and the contract between it and the
// box that hosts it: the engine (ITextServices) holds the text, the selection, undo
// and the scroll position, answers the edit messages and draws; the host (ITextHost)
// tells it its rectangle, insets, formats and properties, and carries out what the
// engine asks of the window: invalidation, the caret, capture, focus, timers, the
// cursor, scroll bars and notifications.
//
// Both interfaces keep the platform's slot order. Coordinates are the host window's
// client coordinates; the view inset is in HIMETRIC (0.01 mm). The engine draws with
// pango into the cairo context it is given (the render target's locked context).
// Everything runs on the UI thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/icon.h"
#include "platform/text/text_defs.h"
#include "platform/base/win_types.h"

namespace platform {

struct GUID {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8]{};
  friend bool operator==(const GUID&, const GUID&) = default;
};

// {00000000-0000-0000-C000-000000000046}
inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {8D33F740-CF58-11CE-A89D-00AA006CADC5}
inline constexpr GUID IID_ITextServices{0x8D33F740, 0xCF58, 0x11CE, {0xA8, 0x9D, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};
// {C5BDD8D0-D26E-11CE-A89E-00AA006CADC5}
inline constexpr GUID IID_ITextHost{0xC5BDD8D0, 0xD26E, 0x11CE, {0xA8, 0x9E, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};

struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// What the engine needs of its host.
struct ITextHost : IUnknown {
  virtual void* TxGetDC() = 0;
  virtual INT_PTR TxReleaseDC(void* dc) = 0;
  virtual BOOL TxShowScrollBar(int bar, BOOL show) = 0;
  virtual BOOL TxEnableScrollBar(int bars, int arrows) = 0;
  virtual BOOL TxSetScrollRange(int bar, LONG min, int max, BOOL redraw) = 0;
  virtual BOOL TxSetScrollPos(int bar, int pos, BOOL redraw) = 0;
  // rc nullptr: the whole client rectangle.
  virtual void TxInvalidateRect(const RECT* rc, BOOL erase) = 0;
  virtual void TxViewChange(BOOL update) = 0;
  virtual BOOL TxCreateCaret(void* bitmap, int width, int height) = 0;
  virtual BOOL TxShowCaret(BOOL show) = 0;
  virtual BOOL TxSetCaretPos(int x, int y) = 0;
  virtual BOOL TxSetTimer(UINT id, UINT timeout_ms) = 0;
  virtual void TxKillTimer(UINT id) = 0;
  virtual void TxScrollWindowEx(int dx, int dy, const RECT* scroll, const RECT* clip, void* update_region,
                                RECT* update, UINT flags) = 0;
  virtual void TxSetCapture(BOOL capture) = 0;
  virtual void TxSetFocus() = 0;
  virtual void TxSetCursor(HCURSOR cursor, BOOL over_text) = 0;
  virtual BOOL TxScreenToClient(POINT* pt) = 0;
  virtual BOOL TxClientToScreen(POINT* pt) = 0;
  virtual HRESULT TxActivate(LONG* old_state) = 0;
  virtual HRESULT TxDeactivate(LONG new_state) = 0;
  virtual HRESULT TxGetClientRect(RECT* rc) = 0;
  virtual HRESULT TxGetViewInset(RECT* inset) = 0;
  // The default character format; a CHARFORMAT2W when cbSize is 116.
  virtual HRESULT TxGetCharFormat(const CHARFORMATW** cf) = 0;
  virtual HRESULT TxGetParaFormat(const PARAFORMAT** pf) = 0;
  virtual COLORREF TxGetSysColor(int index) = 0;
  virtual HRESULT TxGetBackStyle(TXTBACKSTYLE* style) = 0;
  virtual HRESULT TxGetMaxLength(DWORD* length) = 0;
  virtual HRESULT TxGetScrollBars(DWORD* bars) = 0;
  virtual HRESULT TxGetPasswordChar(WCHAR* ch) = 0;
  virtual HRESULT TxGetAcceleratorPos(LONG* pos) = 0;
  virtual HRESULT TxGetExtent(SIZE* extent) = 0;
  virtual HRESULT OnTxCharFormatChange(const CHARFORMATW* cf) = 0;
  virtual HRESULT OnTxParaFormatChange(const PARAFORMAT* pf) = 0;
  virtual HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) = 0;
  virtual HRESULT TxNotify(DWORD code, void* data) = 0;
  virtual void* TxImmGetContext() = 0;
  virtual void TxImmReleaseContext(void* context) = 0;
  virtual HRESULT TxGetSelectionBarWidth(LONG* width) = 0;

 protected:
  ~ITextHost() = default;
};

// The engine.
struct ITextServices : IUnknown {
  // S_OK when the engine handled the message (the answer in *result), S_FALSE when it
  // did not.
  virtual HRESULT TxSendMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) = 0;
  // Draws the content aspect into `draw` (a cairo_t*) within `bounds` (the client
  // rectangle in the context's coordinates), limited to `update` when given.
  virtual HRESULT TxDraw(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                         void* target_info, const RECT* bounds, const RECT* metafile_bounds, RECT* update,
                         BOOL (*continue_drawing)(DWORD), DWORD continue_arg, LONG view_id) = 0;
  virtual HRESULT TxGetHScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) = 0;
  virtual HRESULT TxGetVScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) = 0;
  virtual HRESULT OnTxSetCursor(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                                void* target_info, const RECT* client, int x, int y) = 0;
  virtual HRESULT TxQueryHitPoint(DWORD aspect, LONG lindex, void* aspect_info, void* target_device, void* draw,
                                  void* target_info, const RECT* client, int x, int y, DWORD* hit) = 0;
  virtual HRESULT OnTxInPlaceActivate(const RECT* client) = 0;
  virtual HRESULT OnTxInPlaceDeactivate() = 0;
  virtual HRESULT OnTxUIActivate() = 0;
  virtual HRESULT OnTxUIDeactivate() = 0;
  virtual HRESULT TxGetText(std::u16string* text) = 0;
  virtual HRESULT TxSetText(const char16_t* text) = 0;
  virtual HRESULT TxGetCurTargetX(LONG* x) = 0;
  virtual HRESULT TxGetBaseLinePos(LONG* pos) = 0;
  virtual HRESULT TxGetNaturalSize(DWORD aspect, void* draw, void* target_info, void* target_device, DWORD mode,
                                   const SIZE* extent, LONG* width, LONG* height) = 0;
  virtual HRESULT TxGetDropTarget(void** target) = 0;
  virtual HRESULT OnTxPropertyBitsChange(DWORD mask, DWORD bits) = 0;
  virtual HRESULT TxGetCachedSize(DWORD* width, DWORD* height) = 0;

 protected:
  ~ITextServices() = default;
};

// Makes an engine for `host` (which must outlive it; the engine keeps no reference on
// it). `outer` must be nullptr: aggregation is not supported. On success *out holds
// one reference to the engine's IUnknown; ask it for IID_ITextServices.
HRESULT CreateTextServices(IUnknown* outer, ITextHost* host, IUnknown** out);
using PCreateTextServices = HRESULT (*)(IUnknown*, ITextHost*, IUnknown**);

}  // namespace platform
