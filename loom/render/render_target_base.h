// What both back-ends' render targets share: the factory, the origin and text colour,
// the current and default pen, brush, font and bitmap, selecting them, the part of a
// saved state that keeps them, and the operations that only combine others (nine-grids,
// pixels through the origin), and the pens and solid brushes of the back-end's kinds. A
// back-end says which objects it can draw with (AcceptsObject) and ties a newly selected
// one to its native context (BindSelected).
#pragma once

#include <cstdint>

#include "core/render_refs.h"
#include "nine_grid.h"

namespace LOOM {

template <class Bitmap, class Pen, class Brush>
class TRenderTargetBase : public TObjRefImpl<IRenderTarget> {
 public:
  HRESULT NewPen(int style, COLORREF color, int width, IPen** out) final {
    if (!out) return E_POINTER;
    *out = new Pen(factory_.get(), style, color, width);
    return S_OK;
  }
  HRESULT NewSolidBrush(COLORREF color, IBrush** out) final {
    if (!out) return E_POINTER;
    *out = new Brush(factory_.get(), color);
    return S_OK;
  }
  HRESULT NewCompatibleTarget(SIZE size, IRenderTarget** out) final {
    if (!out) return E_POINTER;
    return factory_->NewTarget(out, size.cx, size.cy) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT NewRegion(IRegion** out) final {
    if (!out) return E_POINTER;
    return factory_->NewRegion(out) ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT ShiftOrigin(int dx, int dy, POINT* old = nullptr) final {
    if (old) *old = origin_;
    return SetOrigin(origin_.x + dx, origin_.y + dy);
  }
  HRESULT Origin(POINT* out) const final {
    if (!out) return E_POINTER;
    *out = origin_;
    return S_OK;
  }

  HRESULT DrawImageNineGrid(const RECT& dst, IBitmap* bmp, const RECT& src, const RECT& margins, UINT mode,
                            BYTE alpha) final {
    NineGrid grid;
    if (!LayOutNineGrid(dst, src, margins, &grid)) return S_FALSE;
    for (int i = 0; i < grid.count; ++i) {
      const NineGridCell& cell = grid.cells[i];
      DrawImageExpanded(cell.dst, bmp, cell.src, cell.corner ? EM_NULL : mode, alpha);
    }
    return S_OK;
  }

  IRenderObj* CurrentObject(int type) const final {
    switch (type) {
      case OT_PEN: return pen_.get();
      case OT_BRUSH: return brush_.get();
      case OT_BITMAP: return bitmap_.get();
      case OT_FONT: return font_.get();
      default: return nullptr;
    }
  }

  HRESULT SelectDefault(int type, IRenderObj** old = nullptr) final {
    IRenderObj* def = nullptr;
    switch (type) {
      case OT_PEN: def = default_pen_.get(); break;
      case OT_BRUSH: def = default_brush_.get(); break;
      case OT_BITMAP: def = default_bitmap_.get(); break;
      case OT_FONT: def = default_font_.get(); break;
      default: return E_INVALIDARG;
    }
    if (CurrentObject(type) == def) return S_FALSE;
    return Select(def, old);
  }

  // The object selected before is held until it is handed out, so that replacing the
  // target's last reference to it cannot free it first.
  HRESULT Select(IRenderObj* obj, IRenderObj** old = nullptr) final {
    if (!obj || !AcceptsObject(*obj)) return E_INVALIDARG;
    const int type = obj->ObjectType();
    SAutoRefPtr<IRenderObj> previous(CurrentObject(type));
    if (!Store(obj)) return E_INVALIDARG;
    BindSelected(type);
    if (old) *old = previous.detach();
    return S_OK;
  }

  COLORREF TextColor() const final { return text_color_; }

  // The stored pixel at (x, y) moved by the origin; kNoColor outside the bitmap.
  COLORREF PixelAt(int x, int y) const final {
    const std::uint32_t* p = PixelSlot(x, y);
    return p ? *p : kNoColor;
  }

  HRESULT ReservedDraw39() final { return E_NOTIMPL; }
  HRESULT ReservedDraw40() final { return E_NOTIMPL; }
  HRESULT ReservedQuery56() final { return E_NOINTERFACE; }
  HRESULT Reserved59() final { return E_NOTIMPL; }
  HRESULT Reserved60() final { return E_NOTIMPL; }
  HRESULT Reserved61() final { return E_NOTIMPL; }
  HRESULT Reserved62() final { return E_NOTIMPL; }
  HRESULT Reserved63() final { return E_NOTIMPL; }

  Bitmap* CurrentBitmap() const { return bitmap_.get(); }

 protected:
  // The pen, brush and font a saved state brings back.
  struct DrawingObjects {
    SAutoRefPtr<IPen> pen;
    SAutoRefPtr<IBrush> brush;
    SAutoRefPtr<IFont> font;
  };

  explicit TRenderTargetBase(IRenderFactory* factory) : factory_(factory) {}

  // Makes the defaults: a blank bitmap of the target's size, an opaque black solid pen
  // of width 1 and brush, and the 20-pixel "宋体" font (none of them selected yet).
  HRESULT MakeDefaults(int width, int height) {
    auto bitmap = MakeBitmap(factory_.get());
    default_bitmap_ = dynamic_cast<Bitmap*>(bitmap.get());
    if (!default_bitmap_) return E_OUTOFMEMORY;
    HRESULT hr = default_bitmap_->InitBlank(width, height);
    if (FAILED(hr)) return hr;
    default_pen_ = MakePen(this, PS_SOLID, 0xFF000000, 1);
    default_brush_ = MakeSolidBrush(this, 0xFF000000);
    SLogFont lf;
    lf.height = 20;
    lf.face = u"宋体";
    default_font_ = MakeFont(factory_.get(), lf);
    return S_OK;
  }

  DrawingObjects CurrentDrawingObjects() const { return {pen_, brush_, font_}; }
  // The native context's own state is brought back by the back-end.
  void RestoreDrawingObjects(const DrawingObjects& saved) {
    pen_ = saved.pen;
    brush_ = saved.brush;
    font_ = saved.font;
  }

  // The current bitmap's pixel at (x, y) moved by the origin, nullptr outside it.
  std::uint32_t* PixelSlot(int x, int y) const {
    x += origin_.x;
    y += origin_.y;
    std::uint32_t* pixels = bitmap_ ? bitmap_->Pixels() : nullptr;
    if (!pixels || x < 0 || y < 0 || x >= static_cast<int>(bitmap_->Width()) ||
        y >= static_cast<int>(bitmap_->Height()))
      return nullptr;
    return &pixels[static_cast<std::size_t>(y) * bitmap_->Width() + x];
  }

  // Whether the back-end can draw with the object (its own kind of bitmap, pen, ...).
  virtual bool AcceptsObject(const IRenderObj& obj) const = 0;
  // The object of the type was just made current: tie it to the native context.
  virtual void BindSelected(int type) = 0;

  SAutoRefPtr<IRenderFactory> factory_;
  COLORREF text_color_ = 0xFF000000;
  POINT origin_{};
  SAutoRefPtr<Bitmap> bitmap_;
  SAutoRefPtr<IPen> pen_;
  SAutoRefPtr<IBrush> brush_;
  SAutoRefPtr<IFont> font_;
  SAutoRefPtr<Bitmap> default_bitmap_;
  SAutoRefPtr<IPen> default_pen_;
  SAutoRefPtr<IBrush> default_brush_;
  SAutoRefPtr<IFont> default_font_;

 private:
  bool Store(IRenderObj* obj) {
    switch (obj->ObjectType()) {
      case OT_PEN: pen_ = static_cast<IPen*>(obj); return true;
      case OT_BRUSH: brush_ = static_cast<IBrush*>(obj); return true;
      case OT_FONT: font_ = static_cast<IFont*>(obj); return true;
      case OT_BITMAP:
        if (auto* bitmap = dynamic_cast<Bitmap*>(obj)) {
          bitmap_ = bitmap;
          return true;
        }
        return false;
      default: return false;
    }
  }
};

}  // namespace LOOM
