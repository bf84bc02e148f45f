// The GDI target: its context, states and clip, current objects, images, copies and
// pixels. Text and shapes are in gdi_drawing.cpp.
#include "gdi_target.h"

#include <algorithm>
#include <utility>

#include "gdi_alpha.h"

namespace LOOM {
namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A context with a bitmap selected for reading it as a source. A bitmap that is
// selected into another context already cannot be selected again: then a copy of its
// pixels stands in for it.
class SourceContext {
 public:
  explicit SourceContext(SBitmap_GDI* bitmap) {
    dc_ = ::CreateCompatibleDC(nullptr);
    if (!dc_ || !bitmap->Handle()) return;
    previous_ = ::SelectObject(dc_, bitmap->Handle());
    if (previous_) return;
    void* bits = nullptr;
    copy_ = NewPixelSection(static_cast<int>(bitmap->Width()), static_cast<int>(bitmap->Height()), &bits);
    if (!copy_) return;
    std::copy_n(bitmap->Pixels(), std::size_t{bitmap->Width()} * bitmap->Height(), static_cast<std::uint32_t*>(bits));
    previous_ = ::SelectObject(dc_, copy_);
  }
  ~SourceContext() {
    if (previous_) ::SelectObject(dc_, previous_);
    if (dc_) ::DeleteDC(dc_);
    if (copy_) ::DeleteObject(copy_);
  }
  SourceContext(const SourceContext&) = delete;
  SourceContext& operator=(const SourceContext&) = delete;

  ::HDC get() const { return previous_ ? dc_ : nullptr; }

 private:
  ::HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  HBITMAP copy_ = nullptr;
};

}  // namespace

SRenderTarget_GDI::SRenderTarget_GDI(IRenderFactory* factory) : TRenderTargetBase(factory) {}

SRenderTarget_GDI::~SRenderTarget_GDI() {
  if (!dc_) return;
  ::SelectObject(dc_, ::GetStockObject(BLACK_PEN));
  ::SelectObject(dc_, ::GetStockObject(BLACK_BRUSH));
  ::SelectObject(dc_, ::GetStockObject(SYSTEM_FONT));
  if (original_bitmap_) ::SelectObject(dc_, original_bitmap_);
  ::DeleteDC(dc_);
}

HRESULT SRenderTarget_GDI::Init(int width, int height) {
  dc_ = ::CreateCompatibleDC(nullptr);
  if (!dc_) return E_OUTOFMEMORY;
  ::SetBkMode(dc_, TRANSPARENT);
  ::SetGraphicsMode(dc_, GM_ADVANCED);
  original_bitmap_ = ::GetCurrentObject(dc_, OBJ_BITMAP);
  HRESULT hr = MakeDefaults(width, height);
  if (FAILED(hr)) return hr;
  Select(default_bitmap_.get());
  Select(default_pen_.get());
  Select(default_brush_.get());
  Select(default_font_.get());
  SetTextColor(0xFF000000);
  return S_OK;
}

void SRenderTarget_GDI::SelectBitmapHandle() {
  // A bitmap without pixels leaves the context its own one-pixel bitmap.
  HBITMAP handle = bitmap_ ? bitmap_->Handle() : nullptr;
  ::SelectObject(dc_, handle ? static_cast<HGDIOBJ>(handle) : original_bitmap_);
}

HPEN SRenderTarget_GDI::PenHandle() const {
  auto* pen = dynamic_cast<SPen_GDI*>(pen_.get());
  return pen && pen->Handle() ? pen->Handle() : static_cast<HPEN>(::GetStockObject(BLACK_PEN));
}

HBRUSH SRenderTarget_GDI::BrushHandle() const {
  auto* brush = dynamic_cast<SBrush_GDI*>(brush_.get());
  return brush && brush->Handle() ? brush->Handle() : static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
}

BYTE SRenderTarget_GDI::BrushOpacity() const { return brush_->IsBitmap() ? 255 : ColorAlpha(brush_->Color()); }

// ---------------------------------------------------------------------------
// Saved states and the clip

void SRenderTarget_GDI::SaveState() {
  const int cookie = ::SaveDC(dc_);
  states_.push_back(SavedState{cookie, bitmap_, CurrentDrawingObjects(), origin_});
}

bool SRenderTarget_GDI::RestoreState(int cookie) {
  auto it = std::find_if(states_.begin(), states_.end(), [cookie](const SavedState& s) { return s.cookie == cookie; });
  if (it == states_.end()) return false;
  SavedState saved = *it;
  states_.erase(it, states_.end());
  ::RestoreDC(dc_, cookie);  // the clip, the selected objects and the origin of that moment
  bitmap_ = saved.bitmap;
  RestoreDrawingObjects(saved.objects);
  origin_ = saved.origin;
  ::SetTextColor(dc_, text_color_ & 0x00FFFFFF);
  return true;
}

HRGN SRenderTarget_GDI::DeviceRegion(const RECT& rc) const {
  return ::CreateRectRgn(rc.left + origin_.x, rc.top + origin_.y, std::max(rc.left, rc.right) + origin_.x,
                         std::max(rc.top, rc.bottom) + origin_.y);
}

HRESULT SRenderTarget_GDI::CombineClip(HRGN device_region, int mode) {
  if (!device_region) return E_OUTOFMEMORY;
  const int result = ::ExtSelectClipRgn(dc_, device_region, mode);
  ::DeleteObject(device_region);
  return result == ERROR ? E_FAIL : S_OK;
}

HRESULT SRenderTarget_GDI::ClipPushRect(const RECT& rc, int mode) {
  SaveState();
  return CombineClip(DeviceRegion(rc), mode);
}

HRESULT SRenderTarget_GDI::ClipPushRegion(const IRegion* region, int mode) {
  auto* rgn = dynamic_cast<const SRegion_GDI*>(region);
  if (!rgn) return E_INVALIDARG;
  SaveState();
  HRGN copy = ::CreateRectRgn(0, 0, 0, 0);
  ::CombineRgn(copy, rgn->Handle(), nullptr, RGN_COPY);
  ::OffsetRgn(copy, origin_.x, origin_.y);
  return CombineClip(copy, mode);
}

HRESULT SRenderTarget_GDI::ClipPop() {
  if (states_.empty()) return E_FAIL;
  return RestoreState(states_.back().cookie) ? S_OK : E_FAIL;
}

HRESULT SRenderTarget_GDI::ClipExcludeRect(const RECT& rc) { return CombineClip(DeviceRegion(rc), RGN_DIFF); }

HRESULT SRenderTarget_GDI::ClipIntersectRect(const RECT& rc) { return CombineClip(DeviceRegion(rc), RGN_AND); }

HRESULT SRenderTarget_GDI::ClipSave(int* cookie) {
  if (!cookie) return E_POINTER;
  SaveState();
  *cookie = states_.back().cookie;
  return S_OK;
}

HRESULT SRenderTarget_GDI::ClipRestore(int cookie) { return RestoreState(cookie) ? S_OK : E_INVALIDARG; }

HRESULT SRenderTarget_GDI::ClipRegionCopy(IRegion** out) const {
  if (!out) return E_POINTER;
  auto region = MakeRegion(factory_.get());
  if (!region) return E_OUTOFMEMORY;
  HRGN clip = ::CreateRectRgn(0, 0, 0, 0);
  if (::GetClipRgn(dc_, clip) != 1) {  // no clip: the whole bitmap
    ::SetRectRgn(clip, 0, 0, bitmap_ ? static_cast<int>(bitmap_->Width()) : 0,
                 bitmap_ ? static_cast<int>(bitmap_->Height()) : 0);
  }
  region->CopyFromNative(clip);
  ::DeleteObject(clip);
  region->Offset({-origin_.x, -origin_.y});
  *out = region.detach();
  return S_OK;
}

HRESULT SRenderTarget_GDI::ClipBounds(RECT* out) const {
  if (!out) return E_POINTER;
  if (::GetClipBox(dc_, out) == ERROR) return E_FAIL;
  if (bitmap_ && !bitmap_->Handle()) *out = RECT{-origin_.x, -origin_.y, -origin_.x, -origin_.y};
  return S_OK;
}

// ---------------------------------------------------------------------------
// Objects

HRESULT SRenderTarget_GDI::NewBitmapBrush(IBitmap* bitmap, IBrush** out) {
  auto* pattern = dynamic_cast<SBitmap_GDI*>(bitmap);
  if (!out || !pattern) return E_POINTER;
  *out = new SBrush_GDI(factory_.get(), pattern);
  return S_OK;
}

HRESULT SRenderTarget_GDI::Resize(SIZE size) {
  ::SelectObject(dc_, original_bitmap_);  // a section is re-made only while it is selected nowhere
  HRESULT hr = bitmap_->InitBlank(size.cx, size.cy);
  SelectBitmapHandle();
  ::SelectClipRgn(dc_, nullptr);  // a clip of the old size means nothing for the new one
  return hr;
}

HRESULT SRenderTarget_GDI::SetOrigin(int x, int y) {
  origin_ = {x, y};
  ::SetViewportOrgEx(dc_, x, y, nullptr);
  return S_OK;
}

// Only the back-end's own objects carry the handles the context selects.
bool SRenderTarget_GDI::AcceptsObject(const IRenderObj& obj) const {
  switch (obj.ObjectType()) {
    case OT_PEN: return dynamic_cast<const SPen_GDI*>(&obj) != nullptr;
    case OT_BRUSH: return dynamic_cast<const SBrush_GDI*>(&obj) != nullptr;
    case OT_FONT: return dynamic_cast<const SFont_GDI*>(&obj) != nullptr;
    case OT_BITMAP: return dynamic_cast<const SBitmap_GDI*>(&obj) != nullptr;
    default: return false;
  }
}

void SRenderTarget_GDI::BindSelected(int type) {
  switch (type) {
    case OT_PEN: ::SelectObject(dc_, PenHandle()); break;
    case OT_BRUSH: ::SelectObject(dc_, BrushHandle()); break;
    case OT_FONT: {
      auto* font = dynamic_cast<SFont_GDI*>(font_.get());
      if (font && font->Handle()) ::SelectObject(dc_, font->Handle());
      break;
    }
    case OT_BITMAP: SelectBitmapHandle(); break;
    default: break;
  }
}

COLORREF SRenderTarget_GDI::SetTextColor(COLORREF color) {
  COLORREF old = text_color_;
  text_color_ = color;
  ::SetTextColor(dc_, color & 0x00FFFFFF);
  return old;
}

// The context is lent in the compatible graphics mode, as the platform's own drawing
// code (the rich-edit engine among it) expects, and under the alpha guard of its clip:
// what the borrower draws with GDI keeps the alpha the pixels had.
LOOM::HDC SRenderTarget_GDI::LockDC(UINT flags) {
  lock_flags_ = flags;
  if (!lock_guard_) {
    RECT clip{};
    if (::GetClipBox(dc_, &clip) == ERROR) clip = RECT{};
    lock_guard_ = std::make_unique<SAlphaGuard>(dc_, bitmap_->Pixels(), static_cast<int>(bitmap_->Width()),
                                                static_cast<int>(bitmap_->Height()), clip);
    lock_graphics_mode_ = ::SetGraphicsMode(dc_, GM_COMPATIBLE);
  }
  return dc_;
}

void SRenderTarget_GDI::UnlockDC(LOOM::HDC dc) {
  if (dc != dc_) return;
  lock_flags_ = 0;
  if (!lock_guard_) return;
  ::GdiFlush();
  if (lock_graphics_mode_ != 0) ::SetGraphicsMode(dc_, lock_graphics_mode_);
  lock_guard_.reset();
}

HRESULT SRenderTarget_GDI::SetTransform(const float matrix[6], float old[6]) {
  if (!matrix) return E_POINTER;
  XFORM previous{};
  ::GetWorldTransform(dc_, &previous);
  const XFORM next{matrix[0], matrix[1], matrix[2], matrix[3], matrix[4], matrix[5]};
  if (!::SetWorldTransform(dc_, &next)) return E_FAIL;
  if (old) {
    old[0] = previous.eM11;
    old[1] = previous.eM12;
    old[2] = previous.eM21;
    old[3] = previous.eM22;
    old[4] = previous.eDx;
    old[5] = previous.eDy;
  }
  return S_OK;
}

HRESULT SRenderTarget_GDI::Transform(float matrix[6]) const {
  if (!matrix) return E_POINTER;
  XFORM x{};
  if (!::GetWorldTransform(dc_, &x)) return E_FAIL;
  const float values[6] = {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy};
  std::copy(std::begin(values), std::end(values), matrix);
  return S_OK;
}

COLORREF SRenderTarget_GDI::SetPixelAt(int x, int y, COLORREF value) {
  std::uint32_t* p = PixelSlot(x, y);
  return p ? std::exchange(*p, value) : kNoColor;
}

HRESULT SRenderTarget_GDI::SetRasterOp(DWORD rop, DWORD* old) {
  int mix = 0;
  switch (rop) {
    case DSTINVERT: mix = R2_NOT; break;
    case SRCINVERT: mix = R2_XORPEN; break;
    case SRCAND: mix = R2_MASKPEN; break;
    case SRCCOPY: mix = R2_COPYPEN; break;
    default: return E_INVALIDARG;
  }
  ::SetROP2(dc_, mix);
  if (old) *old = raster_op_;
  raster_op_ = rop;
  return S_OK;
}

// ---------------------------------------------------------------------------
// The alpha devices around GDI calls

void SRenderTarget_GDI::Layered(const RECT& rc, BYTE alpha, bool copy, const std::function<void(::HDC)>& primitive) {
  if (Empty(rc) || alpha == 0) return;
  SAlphaLayer layer(dc_, rc, copy);
  if (!layer.Context()) return;  // no section for it: nothing is drawn
  primitive(layer.Context());
  layer.BlendOnto(alpha);
}

BOOL SRenderTarget_GDI::Guarded(const RECT& rc, const std::function<BOOL()>& call) {
  SAlphaGuard guard(dc_, bitmap_->Pixels(), static_cast<int>(bitmap_->Width()), static_cast<int>(bitmap_->Height()),
                    rc);
  return call();
}

// ---------------------------------------------------------------------------
// Images and copies

HRESULT SRenderTarget_GDI::BlendBitmap(const RECT& dst, SBitmap_GDI* bitmap, const RECT& src, BYTE alpha) {
  if (alpha == 0) return S_OK;
  SourceContext source(bitmap);
  if (!source.get()) return E_FAIL;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  return ::AlphaBlend(dc_, dst.left, dst.top, Width(dst), Height(dst), source.get(), src.left, src.top, Width(src),
                      Height(src), blend)
             ? S_OK
             : E_FAIL;
}

HRESULT SRenderTarget_GDI::DrawImage(const RECT& dst, IBitmap* bmp, int sx, int sy, BYTE alpha) {
  auto* bitmap = dynamic_cast<SBitmap_GDI*>(bmp);
  if (!bitmap || !bitmap->Handle()) return E_FAIL;
  int w = std::min(static_cast<int>(bitmap->Width()), Width(dst));
  int h = std::min(static_cast<int>(bitmap->Height()), Height(dst));
  // The area must lie inside the bitmap: the platform's blend refuses anything else.
  if (w <= 0 || h <= 0 || sx < 0 || sy < 0 || sx > static_cast<int>(bitmap->Width()) - w ||
      sy > static_cast<int>(bitmap->Height()) - h)
    return E_FAIL;
  return BlendBitmap({dst.left, dst.top, dst.left + w, dst.top + h}, bitmap, {sx, sy, sx + w, sy + h}, alpha);
}

HRESULT SRenderTarget_GDI::DrawImageExpanded(const RECT& dst, IBitmap* bmp, const RECT& src, UINT mode, BYTE alpha) {
  const UINT expand = mode & 0xFFFF;  // the filter level in the high word means nothing to GDI
  if (expand == EM_NULL) {
    // Unscaled: never more of the bitmap than the source names (a cell of a strip must
    // not bring its neighbours).
    RECT d{dst.left, dst.top, dst.left + std::min(Width(src), Width(dst)), dst.top + std::min(Height(src), Height(dst))};
    return DrawImage(d, bmp, src.left, src.top, alpha);
  }
  auto* bitmap = dynamic_cast<SBitmap_GDI*>(bmp);
  if (!bitmap || !bitmap->Handle() || Empty(src) || Empty(dst)) return S_OK;
  if (src.left < 0 || src.top < 0 || src.right > static_cast<int>(bitmap->Width()) ||
      src.bottom > static_cast<int>(bitmap->Height()))
    return S_OK;  // a source outside the bitmap draws nothing
  if (expand == EM_STRETCH) {
    BlendBitmap(dst, bitmap, src, alpha);
    return S_OK;
  }
  // Tiles of the source, unscaled, from the destination's top-left, clipped to it.
  const int cookie = ::SaveDC(dc_);
  ::IntersectClipRect(dc_, dst.left, dst.top, dst.right, dst.bottom);
  for (int y = dst.top; y < dst.bottom; y += Height(src))
    for (int x = dst.left; x < dst.right; x += Width(src))
      BlendBitmap({x, y, x + Width(src), y + Height(src)}, bitmap, src, alpha);
  ::RestoreDC(dc_, cookie);
  return S_OK;
}

HRESULT SRenderTarget_GDI::CopyFromTarget(const RECT& dst, IRenderTarget* src, int sx, int sy, DWORD rop) {
  if (rop != SRCCOPY && rop != SRCAND && rop != SRCINVERT && rop != DSTINVERT) return E_INVALIDARG;
  auto* source = dynamic_cast<SRenderTarget_GDI*>(src);
  if (!source && rop != DSTINVERT) return E_INVALIDARG;
  ::HDC from = source ? source->Context() : nullptr;
  auto copy = [&] { return ::BitBlt(dc_, dst.left, dst.top, Width(dst), Height(dst), from, sx, sy, rop); };
  if (rop == SRCCOPY) return copy() ? S_OK : E_FAIL;
  return Guarded(dst, copy) ? S_OK : E_FAIL;
}

HRESULT SRenderTarget_GDI::BlendFromTarget(const RECT& dst, IRenderTarget* src, const RECT& src_rc, BYTE alpha) {
  auto* source = dynamic_cast<SRenderTarget_GDI*>(src);
  if (!source || Empty(dst) || Empty(src_rc)) return E_FAIL;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  if (source == this) {
    // Reading and writing one section: blend from a snapshot.
    auto copy = CloneOf(bitmap_.get());
    if (!copy) return E_FAIL;
    RECT s{src_rc.left + origin_.x, src_rc.top + origin_.y, src_rc.right + origin_.x, src_rc.bottom + origin_.y};
    return BlendBitmap(dst, static_cast<SBitmap_GDI*>(copy.get()), s, alpha);
  }
  return ::AlphaBlend(dc_, dst.left, dst.top, Width(dst), Height(dst), source->Context(), src_rc.left, src_rc.top,
                      Width(src_rc), Height(src_rc), blend)
             ? S_OK
             : E_FAIL;
}

}  // namespace LOOM
