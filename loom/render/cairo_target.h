// A render target over the current bitmap's cairo surface. The clip is kept as a
// region in device pixels (so that every combine mode works) and applied to cairo
// on change; pushes and saves snapshot the clip, origin, transform and selections.
#pragma once

#include <vector>

#include "cairo_backend.h"
#include "render_target_base.h"

namespace LOOM {

class SRenderTarget_Cairo final : public TRenderTargetBase<SBitmap_Cairo, SPen_Cairo, SBrush_Cairo> {
 public:
  explicit SRenderTarget_Cairo(IRenderFactory* factory);
  ~SRenderTarget_Cairo() override;
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
  HDC LockDC(UINT flags) override;
  void UnlockDC(HDC dc) override;
  HRESULT SetTransform(const float matrix[6], float old[6] = nullptr) override;
  HRESULT Transform(float matrix[6]) const override;
  COLORREF SetPixelAt(int x, int y, COLORREF value) override;
  HRESULT SetRasterOp(DWORD rop, DWORD* old = nullptr) override;

 private:
  struct SavedState {
    cairo_region_t* clip;
    POINT origin;
    float transform[6];
    DrawingObjects objects;
  };

  bool AcceptsObject(const IRenderObj& obj) const override;
  void BindSelected(int type) override;

  void BindSurface();
  void ApplyMatrix();
  void ApplyClip();
  void PushState();
  bool PopState();
  void CombineClip(const cairo_region_t* region, int mode);
  cairo_region_t* DeviceRegion(const RECT& rc) const;
  cairo_region_t* FullRegion() const;
  void SetSourceColor(COLORREF color, double opacity) const;
  void RoundRectPath(const RECT& rc, double rx, double ry) const;
  void ApplyPen() const;
  HRESULT FillWithBrush();
  // Paints a rectangle of a surface (in its pixels) into dst, scaled, repeated or not.
  void PaintSurface(cairo_surface_t* surface, const RECT& src, const RECT& dst, cairo_extend_t extend,
                    int filter_level, BYTE alpha);
  // Runs fn(dst_pixel, x, y) over the device pixels of rc (logical) that the clip allows.
  template <class Fn>
  void ForEachClippedPixel(const RECT& rc, Fn fn);

  cairo_t* cr_ = nullptr;
  float transform_[6] = {1, 0, 0, 1, 0, 0};
  UINT lock_flags_ = 0;
  DWORD raster_op_ = SRCCOPY;
  cairo_region_t* clip_ = nullptr;
  std::vector<SavedState> states_;  // pushes and saves share one stack, as device states do
};

}  // namespace LOOM
