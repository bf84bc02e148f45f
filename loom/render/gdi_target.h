// A render target over a memory device context with the current bitmap's section
// selected. The viewport origin is the target's origin; clip pushes and saves are the
// context's own saved states, together with the current objects they bring back.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "gdi_alpha.h"
#include "gdi_backend.h"
#include "render_target_base.h"

namespace LOOM {

class SRenderTarget_GDI final : public TRenderTargetBase<SBitmap_GDI, SPen_GDI, SBrush_GDI> {
 public:
  explicit SRenderTarget_GDI(IRenderFactory* factory);
  ~SRenderTarget_GDI() override;
  HRESULT Init(int width, int height);

  HRESULT NewBitmapBrush(IBitmap* bitmap, IBrush** out) override;
  HRESULT Resize(SIZE size) override;
  HRESULT SetOrigin(int x, int y) override;
  HRESULT ClipPushRect(const RECT& rc, int mode = RGN_AND) override;
  HRESULT ClipPushRegion(const IRegion* region, int mode = RGN_AND) override;
  HRESULT ClipPop() override;
  HRESULT ClipExcludeRect(const RECT& rc) override;
  HRESULT ClipIntersectRect(const RECT& rc) override;
  HRESULT ClipSave(int* cookie) override;
  HRESULT ClipRestore(int cookie) override;
  HRESULT ClipRegionCopy(IRegion** out) const override;
  HRESULT ClipBounds(RECT* out) const override;
  HRESULT TextDraw(std::u16string_view text, RECT* rc, UINT format) override;
  HRESULT TextExtent(std::u16string_view text, SIZE* out) override;
  HRESULT TextAt(int x, int y, std::u16string_view text) override;
  HRESULT StrokeRect(const RECT& rc) override;
  HRESULT FillRectBrush(const RECT& rc) override;
  HRESULT FillColorRect(const RECT& rc, COLORREF color) override;
  HRESULT StrokeRoundRect(const RECT& rc, POINT corner) override;
  HRESULT FillRoundRectBrush(const RECT& rc, POINT corner) override;
  HRESULT FillColorRoundRect(const RECT& rc, POINT corner, COLORREF color) override;
  HRESULT ReplaceRect(const RECT& rc, COLORREF color) override;
  HRESULT InvertRect(const RECT& rc) override;
  HRESULT StrokeEllipse(const RECT& rc) override;
  HRESULT FillEllipseBrush(const RECT& rc) override;
  HRESULT FillColorEllipse(const RECT& rc, COLORREF color) override;
  HRESULT StrokeArc(const RECT& rc, float start_deg, float sweep_deg, bool pie) override;
  HRESULT FillPie(const RECT& rc, float start_deg, float sweep_deg) override;
  HRESULT StrokePolyline(const POINT* points, int count) override;
  HRESULT FillGradientRect(const RECT& rc, bool vertical, COLORREF from, COLORREF to, BYTE alpha) override;
  HRESULT DrawIconImage(int x, int y, HICON icon, int width, int height, UINT flags) override;
  HRESULT DrawImage(const RECT& dst, IBitmap* bmp, int sx, int sy, BYTE alpha) override;
  HRESULT DrawImageExpanded(const RECT& dst, IBitmap* bmp, const RECT& src, UINT mode, BYTE alpha) override;
  HRESULT CopyFromTarget(const RECT& dst, IRenderTarget* src, int sx, int sy, DWORD rop) override;
  HRESULT BlendFromTarget(const RECT& dst, IRenderTarget* src, const RECT& src_rc, BYTE alpha) override;
  COLORREF SetTextColor(COLORREF color) override;
  LOOM::HDC LockDC(UINT flags) override;
  void UnlockDC(LOOM::HDC dc) override;
  HRESULT SetTransform(const float matrix[6], float old[6] = nullptr) override;
  HRESULT Transform(float matrix[6]) const override;
  COLORREF SetPixelAt(int x, int y, COLORREF value) override;
  HRESULT SetRasterOp(DWORD rop, DWORD* old = nullptr) override;

  ::HDC Context() const { return dc_; }

 private:
  // What a saved device state brings back besides the clip: the current objects and
  // the origin of that moment.
  struct SavedState {
    int cookie;
    SAutoRefPtr<SBitmap_GDI> bitmap;
    DrawingObjects objects;
    POINT origin;
  };

  bool AcceptsObject(const IRenderObj& obj) const override;
  void BindSelected(int type) override;

  void SaveState();
  bool RestoreState(int cookie);
  HRESULT CombineClip(HRGN device_region, int mode);  // deletes the region
  HRGN DeviceRegion(const RECT& rc) const;
  // Draws a primitive through an alpha layer over rc (target coordinates) at opacity
  // `alpha`; the primitive draws with the target's coordinates on the context given.
  void Layered(const RECT& rc, BYTE alpha, bool copy, const std::function<void(::HDC)>& primitive);
  // Runs a GDI call on the target's context under the alpha guard of rc.
  BOOL Guarded(const RECT& rc, const std::function<BOOL()>& call);
  HRESULT BlendBitmap(const RECT& dst, SBitmap_GDI* bitmap, const RECT& src, BYTE alpha);
  BYTE BrushOpacity() const;
  BYTE PenOpacity() const { return ColorAlpha(pen_->Color()); }
  HPEN PenHandle() const;
  HBRUSH BrushHandle() const;
  void SelectBitmapHandle();

  ::HDC dc_ = nullptr;
  UINT lock_flags_ = 0;
  // While the context is lent out (LockDC): the alpha bytes under the clip, which the
  // borrower's GDI drawing clears, and the graphics mode it is lent in.
  std::unique_ptr<SAlphaGuard> lock_guard_;
  int lock_graphics_mode_ = 0;
  DWORD raster_op_ = SRCCOPY;
  HGDIOBJ original_bitmap_ = nullptr;  // the context's own, selected back before it is deleted
  std::vector<SavedState> states_;
};

}  // namespace LOOM
