// The render abstraction: a factory makes render targets and render objects (pens,
// brushes, fonts, bitmaps, regions). Every bitmap is 32-bit, top row first, bytes
// blue, green, red, alpha, colours premultiplied by alpha. A toolkit colour keeps red
// in bits 0-7, green 8-15, blue 16-23 and the opacity in 24-31.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/obj_ref.h"
#include "platform/base/gdi_defs.h"
#include "platform/base/icon.h"
#include "platform/base/win_types.h"

namespace LOOM {

struct IRenderFactory;
struct IImgDecoderFactory;
struct IImgFrame;

inline constexpr COLORREF kNoColor = 0x00FFFFFF;
constexpr BYTE ColorAlpha(COLORREF c) { return static_cast<BYTE>(c >> 24); }
constexpr COLORREF RGBA(BYTE r, BYTE g, BYTE b, BYTE a) { return RGB(r, g, b) | (static_cast<COLORREF>(a) << 24); }

// The native drawing context of the back-end: a cairo_t* on Linux, a device context
// (HDC) on Windows.
using HDC = void*;

enum RenderObjType : int { OT_NULL = 0, OT_PEN = 1, OT_BRUSH = 2, OT_BITMAP = 3, OT_FONT = 4, OT_REGION = 5 };

// Expand modes (low 16 bits; the filter level rides in the high 16 bits).
enum : UINT { EM_NULL = 0, EM_STRETCH = 1, EM_TILE = 2 };

// The logical font record fonts are made from.
struct SLogFont {
  LONG height = 0;  // negative: character height in pixels
  LONG weight = 0;  // 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  BYTE charset = 0;
  BYTE quality = 0;
  std::u16string face;  // at most 31 characters
  friend bool operator==(const SLogFont&, const SLogFont&) = default;
};

struct IRenderObj : IObjRef {
  virtual int ObjectType() const = 0;
  virtual IRenderFactory* RenderFactoryOf() const = 0;

 protected:
  ~IRenderObj() = default;
};

struct IPen : IRenderObj {
  virtual int Style() const = 0;
  virtual int Width() const = 0;
  virtual COLORREF Color() const = 0;

 protected:
  ~IPen() = default;
};

struct IBitmap;
struct IBrush : IRenderObj {
  virtual bool IsBitmap() const = 0;
  virtual COLORREF Color() const = 0;
  virtual IBitmap* Pattern() const = 0;

 protected:
  ~IBrush() = default;
};

struct IFont : IRenderObj {
  virtual const SLogFont& LogFont() const = 0;
  virtual std::u16string_view FaceName() const = 0;
  virtual int Height() const = 0;
  virtual bool IsBold() const = 0;
  virtual bool IsUnderline() const = 0;
  virtual bool IsItalic() const = 0;
  virtual bool IsStrikeOut() const = 0;
  // Replaces the record; 0 when the font had no native font yet, 1 otherwise.
  virtual int UpdateFont(const SLogFont& lf) = 0;
  // Extra properties given by the font pool (serialised text); kept for the key.
  virtual void SetExtraProps(std::u16string_view props) = 0;

 protected:
  ~IFont() = default;
};

struct IBitmap : IRenderObj {
  virtual HRESULT InitFromImageFrame(const IImgFrame* frame) = 0;
  // Pixels (width * height premultiplied BGRA) or nullptr to clear.
  virtual HRESULT InitBlank(int width, int height, const void* pixels = nullptr) = 0;
  virtual HRESULT LoadFile(std::u16string_view path) = 0;
  virtual HRESULT LoadMemory(const void* data, std::size_t size) = 0;
  virtual UINT Width() const = 0;
  virtual UINT Height() const = 0;
  virtual SIZE Size() const = 0;
  virtual void* LockBits() = 0;
  virtual void UnlockBits(void* bits) = 0;
  virtual const void* Bits() const = 0;
  virtual HRESULT Clone(IBitmap** out) const = 0;
  virtual HRESULT Resample(IBitmap** out, int width, int height, int filter_level) const = 0;
  virtual HRESULT ResamplePercent(IBitmap** out, int percent, int filter_level) const = 0;
  virtual HRESULT SaveFile(std::u16string_view path, int format) const = 0;

 protected:
  ~IBitmap() = default;
};

struct IRegion : IRenderObj {
  virtual void CombineRect(const RECT& rc, int mode) = 0;
  virtual void CombineRegion(const IRegion* other, int mode) = 0;
  virtual void CombineRoundRect(const RECT& rc, POINT corner, int mode) = 0;
  virtual void CombineEllipse(const RECT& rc, int mode) = 0;
  virtual bool ContainsPoint(POINT pt) const = 0;
  virtual bool IntersectsRect(const RECT& rc) const = 0;
  virtual RECT Bounds() const = 0;
  virtual bool IsEmpty() const = 0;
  virtual void Offset(POINT pt) = 0;
  virtual void Clear() = 0;
  // Copies from the back-end's native region (a cairo_region_t* here).
  virtual void CopyFromNative(const void* native) = 0;

 protected:
  ~IRegion() = default;
};

struct IRenderTarget : IObjRef {
  virtual HRESULT NewCompatibleTarget(SIZE size, IRenderTarget** out) = 0;
  virtual HRESULT NewPen(int style, COLORREF color, int width, IPen** out) = 0;
  virtual HRESULT NewSolidBrush(COLORREF color, IBrush** out) = 0;
  virtual HRESULT NewBitmapBrush(IBitmap* bitmap, IBrush** out) = 0;
  virtual HRESULT NewRegion(IRegion** out) = 0;
  virtual HRESULT Resize(SIZE size) = 0;
  virtual HRESULT ShiftOrigin(int dx, int dy, POINT* old = nullptr) = 0;
  virtual HRESULT Origin(POINT* out) const = 0;
  virtual HRESULT SetOrigin(int x, int y) = 0;
  virtual HRESULT ClipPushRect(const RECT& rc, int mode = RGN_AND) = 0;
  virtual HRESULT ClipPushRegion(const IRegion* region, int mode = RGN_AND) = 0;
  virtual HRESULT ClipPop() = 0;
  virtual HRESULT ClipExcludeRect(const RECT& rc) = 0;
  virtual HRESULT ClipIntersectRect(const RECT& rc) = 0;
  virtual HRESULT ClipSave(int* cookie) = 0;
  virtual HRESULT ClipRestore(int cookie) = 0;
  virtual HRESULT ClipRegionCopy(IRegion** out) const = 0;
  virtual HRESULT ClipBounds(RECT* out) const = 0;
  virtual HRESULT TextDraw(std::u16string_view text, RECT* rc, UINT format) = 0;
  virtual HRESULT TextExtent(std::u16string_view text, SIZE* out) = 0;
  virtual HRESULT TextAt(int x, int y, std::u16string_view text) = 0;
  virtual HRESULT StrokeRect(const RECT& rc) = 0;
  virtual HRESULT FillRectBrush(const RECT& rc) = 0;
  virtual HRESULT FillColorRect(const RECT& rc, COLORREF color) = 0;
  virtual HRESULT StrokeRoundRect(const RECT& rc, POINT corner) = 0;
  virtual HRESULT FillRoundRectBrush(const RECT& rc, POINT corner) = 0;
  virtual HRESULT FillColorRoundRect(const RECT& rc, POINT corner, COLORREF color) = 0;
  virtual HRESULT ReplaceRect(const RECT& rc, COLORREF color) = 0;
  virtual HRESULT InvertRect(const RECT& rc) = 0;
  virtual HRESULT StrokeEllipse(const RECT& rc) = 0;
  virtual HRESULT FillEllipseBrush(const RECT& rc) = 0;
  virtual HRESULT FillColorEllipse(const RECT& rc, COLORREF color) = 0;
  virtual HRESULT StrokeArc(const RECT& rc, float start_deg, float sweep_deg, bool pie) = 0;
  virtual HRESULT FillPie(const RECT& rc, float start_deg, float sweep_deg) = 0;
  virtual HRESULT StrokePolyline(const POINT* points, int count) = 0;
  virtual HRESULT FillGradientRect(const RECT& rc, bool vertical, COLORREF from, COLORREF to, BYTE alpha) = 0;
  virtual HRESULT ReservedDraw39() = 0;  // unsupported: E_NOTIMPL
  virtual HRESULT ReservedDraw40() = 0;  // unsupported: E_NOTIMPL
  // 0 on success, 1 on failure.
  virtual HRESULT DrawIconImage(int x, int y, HICON icon, int width, int height, UINT flags) = 0;
  virtual HRESULT DrawImage(const RECT& dst, IBitmap* bmp, int sx, int sy, BYTE alpha) = 0;
  virtual HRESULT DrawImageExpanded(const RECT& dst, IBitmap* bmp, const RECT& src, UINT mode, BYTE alpha) = 0;
  virtual HRESULT DrawImageNineGrid(const RECT& dst, IBitmap* bmp, const RECT& src, const RECT& margins,
                                    UINT mode, BYTE alpha) = 0;
  virtual HRESULT CopyFromTarget(const RECT& dst, IRenderTarget* src, int sx, int sy, DWORD rop) = 0;
  virtual HRESULT BlendFromTarget(const RECT& dst, IRenderTarget* src, const RECT& src_rc, BYTE alpha) = 0;
  virtual IRenderObj* CurrentObject(int type) const = 0;
  virtual HRESULT SelectDefault(int type, IRenderObj** old = nullptr) = 0;
  virtual HRESULT Select(IRenderObj* obj, IRenderObj** old = nullptr) = 0;
  virtual COLORREF TextColor() const = 0;
  virtual COLORREF SetTextColor(COLORREF color) = 0;
  virtual HDC LockDC(UINT flags) = 0;
  virtual void UnlockDC(HDC dc) = 0;
  // Matrix m11, m12, m21, m22, dx, dy.
  virtual HRESULT SetTransform(const float matrix[6], float old[6] = nullptr) = 0;
  virtual HRESULT Transform(float matrix[6]) const = 0;
  virtual HRESULT ReservedQuery56() = 0;  // unsupported: E_NOINTERFACE
  // The stored pixel (as a little-endian 32-bit word: 0xAARRGGBB premultiplied) at
  // (x, y) moved by the origin; kNoColor outside the bitmap.
  virtual COLORREF PixelAt(int x, int y) const = 0;
  virtual COLORREF SetPixelAt(int x, int y, COLORREF value) = 0;
  virtual HRESULT Reserved59() = 0;  // unsupported: E_NOTIMPL
  virtual HRESULT Reserved60() = 0;
  virtual HRESULT Reserved61() = 0;
  virtual HRESULT Reserved62() = 0;
  virtual HRESULT Reserved63() = 0;
  virtual HRESULT SetRasterOp(DWORD rop, DWORD* old = nullptr) = 0;

 protected:
  ~IRenderTarget() = default;
};

struct IRenderFactory : IObjRef {
  virtual IImgDecoderFactory* DecoderFactory() const = 0;
  virtual void SetDecoderFactory(IImgDecoderFactory* factory) = 0;
  // The making operations return 1 and hand out one reference, 0 with nothing made.
  virtual int NewTarget(IRenderTarget** out, int width, int height) = 0;
  virtual int NewFont(IFont** out, const SLogFont& lf) = 0;
  virtual int NewBitmap(IBitmap** out) = 0;
  virtual int NewRegion(IRegion** out) = 0;
  virtual int NewPath() = 0;          // unsupported: makes nothing, 0
  virtual int NewPathEffect() = 0;    // unsupported: makes nothing, 0
  virtual int NewShader() = 0;        // unsupported: makes nothing, 0

 protected:
  ~IRenderFactory() = default;
};

// The back-end this build draws with, a new factory with one reference: cairo and
// pango on Linux (SRenderFactory_Cairo), GDI on Windows (SRenderFactory_GDI).
IRenderFactory* NewRenderFactory();

// Largest side a bitmap or target accepts; larger requests fail without allocating.
inline constexpr int kMaxBitmapSide = 16384;
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 26;

}  // namespace LOOM
