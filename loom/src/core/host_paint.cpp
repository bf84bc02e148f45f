// Painting of the host: the off-screen cache, the invalid region, the repaint and the copy
// to the screen, render targets for elements that paint outside a repaint, and the dummy
// window of translucent hosts.
#include <algorithm>

#include "core/application.h"
#include "core/font_pool.h"
#include "core/host_wnd.h"
#include "core/rect_util.h"
#include "core/render_refs.h"
#include "core/ui_def.h"
#include "platform/ui/paint.h"

namespace LOOM {

namespace {

IRenderFactory* Factory() {
  SApplication* app = SApplication::Instance();
  return app ? app->RenderFactory() : nullptr;
}

constexpr COLORREF kOpaqueBlack = RGBA(0, 0, 0, 255);

// The font of the current UI definitions, for text drawn without a font of its own.
IFont* DefaultFont() {
  SApplication* app = SApplication::Instance();
  return app ? app->FontPool().FontForDescription(u"", 100) : nullptr;
}

const std::uint32_t* PixelsOf(IRenderTarget* rt, int* stride) {
  auto* bitmap = rt ? static_cast<IBitmap*>(rt->CurrentObject(OT_BITMAP)) : nullptr;
  if (!bitmap || bitmap->Width() == 0) return nullptr;
  *stride = static_cast<int>(bitmap->Width());
  return static_cast<const std::uint32_t*>(bitmap->Bits());
}

}  // namespace

// ---- resources -------------------------------------------------------------------------------

void SHostWnd::CreatePaintResources() {
  // Sized by every WM_SIZE; a pixel to begin with, where an empty target is refused.
  cache_ = MakeTarget(Factory(), 0, 0);
  if (!cache_) cache_ = MakeTarget(Factory(), 1, 1);
  invalid_ = MakeRegion(Factory());
}

void SHostWnd::ReleasePaintResources() {
  cache_.reset();
  invalid_.reset();
  update_list_.clear();
  late_paint_.clear();
  caret_.reset();
  caret_shown_ = caret_drawn_ = false;
  caret_erased_for_targets_ = 0;
  full_redraw_ = true;
  dirty_ = false;
}

// ---- invalidation ----------------------------------------------------------------------------

void SHostWnd::InvalidateScreen(const RECT* rc) {
  if (attr_.translucent) {
    if (dummy_ && dummy_->IsWindow()) platform::InvalidateRect(dummy_->NativeHandle(), nullptr, FALSE);
  } else if (CSimpleWnd::IsWindow()) {
    platform::InvalidateRect(NativeHandle(), rc, FALSE);
  }
}

void SHostWnd::Redraw() {
  full_redraw_ = true;
  dirty_ = true;
  if (invalid_) invalid_->Clear();
  InvalidateScreen(nullptr);
}

void SHostWnd::InvalidateHostRect(const RECT& rc) {
  if (!CSimpleWnd::IsWindow() || !invalid_) return;
  invalid_->CombineRect(rc, RGN_OR);
  dirty_ = true;
  InvalidateScreen(&rc);
}

void SHostWnd::QueueElementUpdate(SWND swnd) {
  if (std::find(update_list_.begin(), update_list_.end(), swnd) != update_list_.end()) return;
  update_list_.push_back(swnd);
  if (update_list_.size() == 1) InvalidateScreen(nullptr);
}

void SHostWnd::UpdateNow() {
  if (sizing_) return;
  if (attr_.translucent) {
    if (dummy_ && dummy_->IsWindow()) platform::UpdateWindow(dummy_->NativeHandle());
  } else if (CSimpleWnd::IsWindow()) {
    platform::UpdateWindow(NativeHandle());
  }
}

// ---- the repaint -----------------------------------------------------------------------------

void SHostWnd::OnPrint(::HDC device, LPARAM flags) {
  if (!cache_ || !invalid_) return;
  ++repaint_count_;
  LayoutIfDirty();
  if (full_redraw_) {
    invalid_->Clear();
    full_redraw_ = false;
    dirty_ = true;
  }
  const RECT client = WindowClientRect();
  RECT area{};
  if (dirty_) {
    dirty_ = false;
    IFont* font = DefaultFont();
    if (font) cache_->Select(font);
    cache_->SetTextColor(kOpaqueBlack);
    SAutoRefPtr<IRegion> region = std::exchange(invalid_, MakeRegion(Factory()));
    if (!invalid_) invalid_ = region;  // no factory: keep the old one rather than none
    const bool whole = region->IsEmpty();
    if (!whole) region->CombineRect(client, RGN_AND);
    // Invalidations wholly outside the client area leave nothing to paint.
    if (whole || !region->IsEmpty()) {
      area = whole ? client : region->Bounds();
      if (whole) cache_->ClipPushRect(client, RGN_COPY);
      else cache_->ClipPushRegion(region.get(), RGN_COPY);
      cache_->ReplaceRect(area, 0);
      if (caret_drawn_) ToggleCaret(false);
      PaintSubtree(cache_.get(), whole ? nullptr : region.get());
      if (caret_drawn_) ToggleCaret(false);
      cache_->ClipPop();
    }
    if (font) cache_->Select(font);
    if (region.get() == invalid_.get()) invalid_->Clear();
  } else {
    area = invalid_->Bounds();
    invalid_->Clear();
  }
  if (flags != kPrintRepaintedAreaOnly) area = client;

  RepaintUpdateList();
  for (const RECT& rc : late_paint_) area = RectUnion(area, rc);
  late_paint_.clear();

  CopyToScreen(device, RectIntersect(area, client));
}

void SHostWnd::RepaintUpdateList() {
  in_repaint_ = true;
  std::vector<SWND> list;
  list.swap(update_list_);
  for (SWND swnd : list) {
    if (SWindow* e = ElementForHandle(swnd)) e->RepaintUpdateRegion();
  }
  in_repaint_ = false;
}

void SHostWnd::CopyToScreen(::HDC device, const RECT& area) {
  last_copied_ = area;
  if (RectIsEmpty(area)) return;
  int stride = 0;
  const std::uint32_t* pixels = PixelsOf(cache_.get(), &stride);
  if (!pixels) return;
  if (attr_.translucent) {
    const RECT window = WindowRect();
    POINT position{window.left, window.top};
    SIZE size{window.right - window.left, window.bottom - window.top};
    platform::UpdateLayeredWindowPixels(NativeHandle(), &position, &size, pixels, stride, &area, attr_.alpha);
    return;
  }
  if (!device) return;
  // The device is clipped to what needs painting: copy only that part of the area.
  const platform::PixelSurface* surface = platform::GetDCSurface(device);
  RECT copy = surface ? RectIntersect(area, surface->clip) : area;
  last_copied_ = copy;
  if (RectIsEmpty(copy)) return;
  const std::uint32_t* from = pixels + static_cast<std::size_t>(copy.top) * stride + copy.left;
  platform::BlitToDC(device, copy.left, copy.top, RectWidth(copy), RectHeight(copy), from, stride);
}

// WM_PAINT of the host window itself. A translucent host repaints through its dummy
// window; its own WM_PAINT (the platform's, when it is shown) only shows the cache again.
void SHostWnd::OnPaintMessage() {
  PAINTSTRUCT ps;
  ::HDC device = platform::BeginPaint(NativeHandle(), &ps);
  if (!attr_.translucent) OnPrint(device, 0);
  else if (dirty_ || full_redraw_) InvalidateScreen(nullptr);
  else CopyToScreen(nullptr, ps.rcPaint);
  platform::EndPaint(NativeHandle(), &ps);
}

// Draws a rectangle of the cache on the screen at once (outside a repaint).
void SHostWnd::PresentNow(const RECT& rc) {
  RECT area = RectIntersect(rc, WindowClientRect());
  if (RectIsEmpty(area) || !CSimpleWnd::IsWindow()) return;
  if (attr_.translucent) {
    CopyToScreen(nullptr, area);
    return;
  }
  ::HDC device = platform::GetDC(NativeHandle());
  if (!device) return;
  CopyToScreen(device, area);
  platform::ReleaseDC(NativeHandle(), device);
}

// ---- render targets for elements -------------------------------------------------------------

IRenderTarget* SHostWnd::AcquireRenderTarget(const RECT& rc, UINT mode) {
  auto rt = MakeTarget(Factory(), std::max<LONG>(0, RectWidth(rc)), std::max<LONG>(0, RectHeight(rc)));
  if (!rt) return nullptr;
  rt->SetOrigin(-rc.left, -rc.top);
  if (mode != kPaintScratch && cache_) {
    if (caret_drawn_ && caret_erased_for_targets_++ == 0) ToggleCaret(false);
    rt->CopyFromTarget(rc, cache_.get(), rc.left, rc.top, SRCCOPY);
  }
  return rt.detach();  // the element hands it back through ReleaseRenderTarget
}

void SHostWnd::ReleaseRenderTarget(IRenderTarget* rt, const RECT& rc, UINT mode) {
  if (!rt) return;
  SAutoRefPtr<IRenderTarget> target = SAutoRefPtr<IRenderTarget>::Adopt(rt);
  if (mode == kPaintScratch || !cache_) return;
  cache_->CopyFromTarget(rc, rt, rc.left, rc.top, SRCCOPY);
  if (caret_erased_for_targets_ > 0 && --caret_erased_for_targets_ == 0 && caret_drawn_) ToggleCaret(false);
  if (in_repaint_) late_paint_.push_back(rc);
  else PresentNow(rc);
}

// ---- translucent hosts -----------------------------------------------------------------------

void SHostWnd::CreateDummyWindow() {
  if (dummy_ && dummy_->IsWindow()) return;
  dummy_ = std::make_unique<SDummyWnd>(this);
  HWND hwnd = dummy_->Create(u"LOOM_DUMMY_WND", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_LAYERED, 0, 0,
                             10, 10, nullptr);
  if (!hwnd) {
    dummy_.reset();
    return;
  }
  platform::SetLayeredWindowAttributes(hwnd, 0, 0, LWA_ALPHA);
  platform::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

void SHostWnd::DestroyDummyWindow() {
  if (dummy_) dummy_->DestroyWindow();
  dummy_.reset();
}

BOOL SDummyWnd::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT& result, DWORD map_id) {
  if (map_id != 0 || msg != WM_PAINT) return FALSE;
  return RunHandler(result, [&] {
    PAINTSTRUCT ps;
    platform::BeginPaint(hwnd, &ps);
    host_->OnPrint(nullptr, SHostWnd::kPrintRepaintedAreaOnly);
    platform::EndPaint(hwnd, &ps);
  });
}

}  // namespace LOOM
