#include "cairo_target.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace LOOM {
namespace {

constexpr double kPi = 3.1415925;  // the value the arc end points are computed with

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

double Channel(COLORREF c, int shift) { return ((c >> shift) & 0xFF) / 255.0; }

cairo_filter_t FilterFor(int level) { return level >= 2 ? CAIRO_FILTER_GOOD : CAIRO_FILTER_BILINEAR; }

}  // namespace

SRenderTarget_Cairo::SRenderTarget_Cairo(IRenderFactory* factory) : TRenderTargetBase(factory) {}

SRenderTarget_Cairo::~SRenderTarget_Cairo() {
  for (SavedState& s : states_) cairo_region_destroy(s.clip);
  if (clip_) cairo_region_destroy(clip_);
  if (cr_) cairo_destroy(cr_);
}

HRESULT SRenderTarget_Cairo::Init(int width, int height) {
  HRESULT hr = MakeDefaults(width, height);
  if (FAILED(hr)) return hr;
  bitmap_ = default_bitmap_;
  pen_ = default_pen_;
  brush_ = default_brush_;
  font_ = default_font_;
  BindSurface();
  return S_OK;
}

void SRenderTarget_Cairo::BindSurface() {
  if (cr_) cairo_destroy(cr_);
  cr_ = cairo_create(bitmap_->Surface());
  if (clip_) cairo_region_destroy(clip_);
  clip_ = FullRegion();
  ApplyMatrix();
  ApplyClip();
}

cairo_region_t* SRenderTarget_Cairo::FullRegion() const {
  cairo_rectangle_int_t all{0, 0, static_cast<int>(bitmap_->Width()), static_cast<int>(bitmap_->Height())};
  return cairo_region_create_rectangle(&all);
}

void SRenderTarget_Cairo::ApplyMatrix() {
  cairo_matrix_t m;
  cairo_matrix_init(&m, transform_[0], transform_[1], transform_[2], transform_[3], transform_[4] + origin_.x,
                    transform_[5] + origin_.y);
  cairo_set_matrix(cr_, &m);
}

void SRenderTarget_Cairo::ApplyClip() {
  cairo_reset_clip(cr_);
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  int n = cairo_region_num_rectangles(clip_);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(clip_, i, &r);
    cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
  }
  cairo_restore(cr_);  // the path survives a restore; the clip must be set outside it
  cairo_clip(cr_);
}

cairo_region_t* SRenderTarget_Cairo::DeviceRegion(const RECT& rc) const {
  cairo_rectangle_int_t r{rc.left + origin_.x, rc.top + origin_.y, std::max(0, Width(rc)), std::max(0, Height(rc))};
  return cairo_region_create_rectangle(&r);
}

void SRenderTarget_Cairo::CombineClip(const cairo_region_t* region, int mode) {
  switch (mode) {
    case RGN_AND: cairo_region_intersect(clip_, region); break;
    case RGN_OR: cairo_region_union(clip_, region); break;
    case RGN_XOR: cairo_region_xor(clip_, region); break;
    case RGN_DIFF: cairo_region_subtract(clip_, region); break;
    case RGN_COPY:
      cairo_region_destroy(clip_);
      clip_ = cairo_region_copy(region);
      break;
    default: break;
  }
  // Nothing outside the bitmap can be drawn whatever the combination says.
  cairo_region_t* full = FullRegion();
  cairo_region_intersect(clip_, full);
  cairo_region_destroy(full);
  ApplyClip();
}

void SRenderTarget_Cairo::PushState() {
  SavedState s{cairo_region_copy(clip_), origin_, {}, CurrentDrawingObjects()};
  std::copy(std::begin(transform_), std::end(transform_), s.transform);
  states_.push_back(std::move(s));
}

bool SRenderTarget_Cairo::PopState() {
  if (states_.empty()) return false;
  SavedState s = std::move(states_.back());
  states_.pop_back();
  cairo_region_destroy(clip_);
  clip_ = s.clip;
  origin_ = s.origin;
  std::copy(std::begin(s.transform), std::end(s.transform), transform_);
  RestoreDrawingObjects(s.objects);
  ApplyMatrix();
  ApplyClip();
  return true;
}

HRESULT SRenderTarget_Cairo::NewBitmapBrush(IBitmap* bitmap, IBrush** out) {
  if (!out || !bitmap) return E_POINTER;
  *out = new SBrush_Cairo(factory_.get(), bitmap);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::Resize(SIZE size) {
  HRESULT hr = bitmap_->InitBlank(size.cx, size.cy);
  if (FAILED(hr)) return hr;
  BindSurface();
  return S_OK;
}

HRESULT SRenderTarget_Cairo::SetOrigin(int x, int y) {
  origin_ = {x, y};
  ApplyMatrix();
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipPushRect(const RECT& rc, int mode) {
  PushState();
  cairo_region_t* r = DeviceRegion(rc);
  CombineClip(r, mode);
  cairo_region_destroy(r);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipPushRegion(const IRegion* region, int mode) {
  auto* rgn = dynamic_cast<const SRegion_Cairo*>(region);
  if (!rgn) return E_INVALIDARG;
  PushState();
  cairo_region_t* r = cairo_region_copy(rgn->Native());
  cairo_region_translate(r, origin_.x, origin_.y);
  CombineClip(r, mode);
  cairo_region_destroy(r);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipPop() { return PopState() ? S_OK : E_FAIL; }

HRESULT SRenderTarget_Cairo::ClipExcludeRect(const RECT& rc) {
  cairo_region_t* r = DeviceRegion(rc);
  CombineClip(r, RGN_DIFF);
  cairo_region_destroy(r);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipIntersectRect(const RECT& rc) {
  cairo_region_t* r = DeviceRegion(rc);
  CombineClip(r, RGN_AND);
  cairo_region_destroy(r);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipSave(int* cookie) {
  if (!cookie) return E_POINTER;
  PushState();
  *cookie = static_cast<int>(states_.size());
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipRestore(int cookie) {
  if (cookie <= 0 || static_cast<std::size_t>(cookie) > states_.size()) return E_INVALIDARG;
  while (states_.size() >= static_cast<std::size_t>(cookie)) PopState();
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipRegionCopy(IRegion** out) const {
  if (!out) return E_POINTER;
  auto rgn = MakeRegion(factory_.get());
  if (!rgn) return E_OUTOFMEMORY;
  rgn->CopyFromNative(clip_);
  rgn->Offset({-origin_.x, -origin_.y});
  *out = rgn.detach();
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ClipBounds(RECT* out) const {
  if (!out) return E_POINTER;
  cairo_rectangle_int_t r;
  cairo_region_get_extents(clip_, &r);
  *out = {r.x - origin_.x, r.y - origin_.y, r.x + r.width - origin_.x, r.y + r.height - origin_.y};
  return S_OK;
}

void SRenderTarget_Cairo::SetSourceColor(COLORREF color, double opacity) const {
  cairo_set_source_rgba(cr_, Channel(color, 0), Channel(color, 8), Channel(color, 16), opacity);
}

void SRenderTarget_Cairo::RoundRectPath(const RECT& rc, double rx, double ry) const {
  double w = Width(rc), h = Height(rc);
  rx = std::clamp(rx, 0.0, w / 2);
  ry = std::clamp(ry, 0.0, h / 2);
  cairo_new_path(cr_);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr_, rc.left, rc.top, w, h);
    return;
  }
  auto corner = [this, rx, ry](double cx, double cy, double a0, double a1) {
    cairo_save(cr_);
    cairo_translate(cr_, cx, cy);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, a0, a1);
    cairo_restore(cr_);
  };
  corner(rc.right - rx, rc.top + ry, -M_PI / 2, 0);
  corner(rc.right - rx, rc.bottom - ry, 0, M_PI / 2);
  corner(rc.left + rx, rc.bottom - ry, M_PI / 2, M_PI);
  corner(rc.left + rx, rc.top + ry, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr_);
}

void SRenderTarget_Cairo::ApplyPen() const {
  IPen* pen = pen_.get();
  cairo_set_line_width(cr_, pen->Width());
  static const double kDash[] = {6, 2}, kDot[] = {1, 1}, kDashDot[] = {6, 2, 1, 2}, kDashDotDot[] = {6, 2, 1, 2, 1, 2};
  switch (pen->Style() & 0xF) {
    case PS_DASH: cairo_set_dash(cr_, kDash, 2, 0); break;
    case PS_DOT: cairo_set_dash(cr_, kDot, 2, 0); break;
    case PS_DASHDOT: cairo_set_dash(cr_, kDashDot, 4, 0); break;
    case PS_DASHDOTDOT: cairo_set_dash(cr_, kDashDotDot, 6, 0); break;
    default: cairo_set_dash(cr_, nullptr, 0, 0); break;
  }
  SetSourceColor(pen->Color(), ColorAlpha(pen->Color()) / 255.0);
}

HRESULT SRenderTarget_Cairo::FillWithBrush() {
  IBrush* brush = brush_.get();
  if (auto* pattern_bmp = dynamic_cast<SBitmap_Cairo*>(brush->Pattern())) {
    cairo_set_source_surface(cr_, pattern_bmp->Surface(), 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_REPEAT);
  } else {
    SetSourceColor(brush->Color(), ColorAlpha(brush->Color()) / 255.0);
  }
  cairo_fill(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::StrokeRect(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  ApplyPen();
  int w = pen_->Width();
  cairo_new_path(cr_);
  if (w <= 1) {
    cairo_rectangle(cr_, rc.left + 0.5, rc.top + 0.5, Width(rc) - 1, Height(rc) - 1);
  } else {
    double half = w / 2.0;
    cairo_rectangle(cr_, rc.left + half, rc.top + half, Width(rc) - w, Height(rc) - w);
  }
  cairo_stroke(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillRectBrush(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, rc.left, rc.top, Width(rc), Height(rc));
  FillWithBrush();
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillColorRect(const RECT& rc, COLORREF color) {
  if (Empty(rc) || ColorAlpha(color) == 0) return S_OK;
  cairo_save(cr_);
  SetSourceColor(color, ColorAlpha(color) / 255.0);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, rc.left, rc.top, Width(rc), Height(rc));
  cairo_fill(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::StrokeRoundRect(const RECT& rc, POINT corner) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  ApplyPen();
  double half = pen_->Width() / 2.0;
  RECT inner{rc.left, rc.top, rc.right - 1, rc.bottom - 1};
  cairo_translate(cr_, half > 0.5 ? 0 : 0.5, half > 0.5 ? 0 : 0.5);
  RoundRectPath(inner, corner.x, corner.y);
  cairo_stroke(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillRoundRectBrush(const RECT& rc, POINT corner) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  RoundRectPath(rc, corner.x / 2.0, corner.y / 2.0);
  FillWithBrush();
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillColorRoundRect(const RECT& rc, POINT corner, COLORREF color) {
  if (Empty(rc) || ColorAlpha(color) == 0) return S_OK;
  cairo_save(cr_);
  RoundRectPath(rc, corner.x, corner.y);
  SetSourceColor(color, ColorAlpha(color) / 255.0);
  cairo_fill(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::ReplaceRect(const RECT& rc, COLORREF color) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  SetSourceColor(color, ColorAlpha(color) / 255.0);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, rc.left, rc.top, Width(rc), Height(rc));
  cairo_fill(cr_);
  cairo_restore(cr_);
  return S_OK;
}

template <class Fn>
void SRenderTarget_Cairo::ForEachClippedPixel(const RECT& rc, Fn fn) {
  std::uint32_t* pixels = bitmap_->Pixels();
  if (!pixels) return;
  cairo_region_t* area = DeviceRegion(rc);
  cairo_region_intersect(area, clip_);
  int stride = static_cast<int>(bitmap_->Width());
  int n = cairo_region_num_rectangles(area);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(area, i, &r);
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int x = r.x; x < r.x + r.width; ++x) fn(pixels[static_cast<std::size_t>(y) * stride + x], x, y);
  }
  cairo_region_destroy(area);
  bitmap_->PixelsChanged();
}

namespace {
// Inverts the colour of a premultiplied pixel and keeps its alpha: each channel c
// becomes alpha - c, the inverse colour at the same opacity (255 - c when opaque).
std::uint32_t InvertKeepingAlpha(std::uint32_t p) {
  std::uint32_t a = p >> 24;
  std::uint32_t out = p & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) out |= (a - std::min(a, (p >> shift) & 0xFF)) << shift;
  return out;
}
// Keeps every colour channel within alpha so the pixel stays valid premultiplied.
std::uint32_t ClampToAlpha(std::uint32_t colour_bits, std::uint32_t alpha) {
  std::uint32_t out = alpha << 24;
  for (int shift = 0; shift < 24; shift += 8) out |= std::min(alpha, (colour_bits >> shift) & 0xFF) << shift;
  return out;
}
}  // namespace

HRESULT SRenderTarget_Cairo::InvertRect(const RECT& rc) {
  ForEachClippedPixel(rc, [](std::uint32_t& p, int, int) { p = InvertKeepingAlpha(p); });
  return S_OK;
}

HRESULT SRenderTarget_Cairo::StrokeEllipse(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_save(cr_);  // the scale shapes the path only, not the pen
  cairo_translate(cr_, (rc.left + rc.right) / 2.0, (rc.top + rc.bottom) / 2.0);
  cairo_scale(cr_, std::max(0.5, (Width(rc) - 1) / 2.0), std::max(0.5, (Height(rc) - 1) / 2.0));
  cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr_);
  ApplyPen();
  cairo_stroke(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillEllipseBrush(const RECT& rc) {
  if (Empty(rc)) return S_OK;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_save(cr_);
  cairo_translate(cr_, (rc.left + rc.right) / 2.0, (rc.top + rc.bottom) / 2.0);
  cairo_scale(cr_, Width(rc) / 2.0, Height(rc) / 2.0);
  cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr_);
  FillWithBrush();
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillColorEllipse(const RECT& rc, COLORREF color) {
  if (Empty(rc) || ColorAlpha(color) == 0) return S_OK;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_save(cr_);
  cairo_translate(cr_, (rc.left + rc.right) / 2.0, (rc.top + rc.bottom) / 2.0);
  cairo_scale(cr_, Width(rc) / 2.0, Height(rc) / 2.0);
  cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr_);
  SetSourceColor(color, ColorAlpha(color) / 255.0);
  cairo_fill(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::StrokeArc(const RECT& rc, float start_deg, float sweep_deg, bool pie) {
  if (Empty(rc)) return S_OK;
  double a0 = start_deg * kPi / 180.0, a1 = (start_deg + sweep_deg) * kPi / 180.0;
  double cx = (rc.left + rc.right) / 2.0, cy = (rc.top + rc.bottom) / 2.0;
  cairo_save(cr_);
  cairo_new_path(cr_);
  if (pie) cairo_move_to(cr_, cx, cy);
  cairo_save(cr_);
  cairo_translate(cr_, cx, cy);
  // As with ellipses, a one-pixel outline lies on the rectangle's own pixels.
  cairo_scale(cr_, std::max(0.5, (Width(rc) - 1) / 2.0), std::max(0.5, (Height(rc) - 1) / 2.0));
  if (sweep_deg >= 0) cairo_arc(cr_, 0, 0, 1, a0, a1);
  else cairo_arc_negative(cr_, 0, 0, 1, a0, a1);
  cairo_restore(cr_);
  if (pie) cairo_close_path(cr_);
  ApplyPen();
  cairo_stroke(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillPie(const RECT& rc, float start_deg, float sweep_deg) {
  if (Empty(rc)) return S_OK;
  double a0 = start_deg * kPi / 180.0, a1 = (start_deg + sweep_deg) * kPi / 180.0;
  double cx = (rc.left + rc.right) / 2.0, cy = (rc.top + rc.bottom) / 2.0;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_move_to(cr_, cx, cy);
  cairo_save(cr_);
  cairo_translate(cr_, cx, cy);
  cairo_scale(cr_, Width(rc) / 2.0, Height(rc) / 2.0);
  if (sweep_deg >= 0) cairo_arc(cr_, 0, 0, 1, a0, a1);
  else cairo_arc_negative(cr_, 0, 0, 1, a0, a1);
  cairo_restore(cr_);
  cairo_close_path(cr_);
  FillWithBrush();
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::StrokePolyline(const POINT* points, int count) {
  if (!points || count < 2) return S_OK;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_move_to(cr_, points[0].x + 0.5, points[0].y + 0.5);
  for (int i = 1; i < count; ++i) cairo_line_to(cr_, points[i].x + 0.5, points[i].y + 0.5);
  ApplyPen();
  cairo_stroke(cr_);
  cairo_restore(cr_);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::FillGradientRect(const RECT& rc, bool vertical, COLORREF from, COLORREF to, BYTE alpha) {
  if (Empty(rc) || alpha == 0) return S_OK;
  cairo_pattern_t* p = vertical ? cairo_pattern_create_linear(0, rc.top, 0, rc.bottom)
                                : cairo_pattern_create_linear(rc.left, 0, rc.right, 0);
  cairo_pattern_add_color_stop_rgb(p, 0, Channel(from, 0), Channel(from, 8), Channel(from, 16));
  cairo_pattern_add_color_stop_rgb(p, 1, Channel(to, 0), Channel(to, 8), Channel(to, 16));
  cairo_save(cr_);
  cairo_set_source(cr_, p);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, rc.left, rc.top, Width(rc), Height(rc));
  if (alpha == 255) {
    cairo_fill(cr_);
  } else {
    cairo_clip(cr_);
    cairo_paint_with_alpha(cr_, alpha / 255.0);
  }
  cairo_restore(cr_);
  cairo_pattern_destroy(p);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::DrawIconImage(int x, int y, HICON icon, int width, int height, UINT) {
  const platform::IconImage* img = platform::GetIconImage(icon);
  if (!img || img->pixels.empty() || img->width <= 0 || img->height <= 0) return 1;
  cairo_surface_t* s = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(img->pixels.data())), CAIRO_FORMAT_ARGB32,
      img->width, img->height, img->width * 4);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return 1;
  }
  int w = width > 0 ? width : img->width, h = height > 0 ? height : img->height;
  PaintSurface(s, {0, 0, img->width, img->height}, {x, y, x + w, y + h}, CAIRO_EXTEND_PAD, 3, 255);
  cairo_surface_destroy(s);
  return S_OK;
}

void SRenderTarget_Cairo::PaintSurface(cairo_surface_t* surface, const RECT& src, const RECT& dst,
                                       cairo_extend_t extend, int filter_level, BYTE alpha) {
  if (Empty(src) || Empty(dst) || alpha == 0) return;
  cairo_surface_t* cell = cairo_surface_create_for_rectangle(surface, src.left, src.top, Width(src), Height(src));
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(cell);
  cairo_matrix_t m;
  bool scaled = extend == CAIRO_EXTEND_PAD && (Width(src) != Width(dst) || Height(src) != Height(dst));
  if (scaled) {
    cairo_matrix_init_scale(&m, static_cast<double>(Width(src)) / Width(dst),
                            static_cast<double>(Height(src)) / Height(dst));
    cairo_matrix_translate(&m, -dst.left, -dst.top);
    cairo_pattern_set_filter(pattern, FilterFor(filter_level));
  } else {
    cairo_matrix_init_translate(&m, -dst.left, -dst.top);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  }
  cairo_pattern_set_matrix(pattern, &m);
  cairo_pattern_set_extend(pattern, extend);
  cairo_save(cr_);
  cairo_set_source(cr_, pattern);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, dst.left, dst.top, Width(dst), Height(dst));
  if (alpha == 255) {
    cairo_fill(cr_);
  } else {
    cairo_clip(cr_);
    cairo_paint_with_alpha(cr_, alpha / 255.0);
  }
  cairo_restore(cr_);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(cell);
}

HRESULT SRenderTarget_Cairo::DrawImage(const RECT& dst, IBitmap* bmp, int sx, int sy, BYTE alpha) {
  auto* bitmap = dynamic_cast<SBitmap_Cairo*>(bmp);
  if (!bitmap || !bitmap->Surface()) return E_FAIL;
  int w = std::min(static_cast<int>(bitmap->Width()), Width(dst));
  int h = std::min(static_cast<int>(bitmap->Height()), Height(dst));
  // The area must lie inside the bitmap, as the platform blend demands.
  if (w <= 0 || h <= 0 || sx < 0 || sy < 0 || sx > static_cast<int>(bitmap->Width()) - w ||
      sy > static_cast<int>(bitmap->Height()) - h)
    return E_FAIL;
  PaintSurface(bitmap->Surface(), {sx, sy, sx + w, sy + h}, {dst.left, dst.top, dst.left + w, dst.top + h},
               CAIRO_EXTEND_NONE, 0, alpha);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::DrawImageExpanded(const RECT& dst, IBitmap* bmp, const RECT& src, UINT mode, BYTE alpha) {
  UINT expand = mode & 0xFFFF;
  if (expand == EM_NULL) {
    // Unscaled: the source rectangle at the destination's top-left, never more of the
    // bitmap than the source names (a cell of a strip must not bring its neighbours).
    RECT d{dst.left, dst.top, dst.left + std::min(Width(src), Width(dst)), dst.top + std::min(Height(src), Height(dst))};
    return DrawImage(d, bmp, src.left, src.top, alpha);
  }
  auto* bitmap = dynamic_cast<SBitmap_Cairo*>(bmp);
  if (!bitmap || !bitmap->Surface() || Empty(src) || Empty(dst)) return S_OK;
  if (src.left < 0 || src.top < 0 || src.right > static_cast<int>(bitmap->Width()) ||
      src.bottom > static_cast<int>(bitmap->Height()))
    return S_OK;  // a source outside the bitmap draws nothing and reads nothing
  PaintSurface(bitmap->Surface(), src, dst, expand == EM_STRETCH ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_REPEAT,
               static_cast<int>(mode >> 16), alpha);
  return S_OK;
}

HRESULT SRenderTarget_Cairo::CopyFromTarget(const RECT& dst, IRenderTarget* src, int sx, int sy, DWORD rop) {
  if (rop != SRCCOPY && rop != SRCAND && rop != SRCINVERT && rop != DSTINVERT) return E_INVALIDARG;
  if (rop == DSTINVERT) return InvertRect(dst);
  auto* source = dynamic_cast<SRenderTarget_Cairo*>(src);
  if (!source) return E_INVALIDARG;
  SBitmap_Cairo* sbmp = source->CurrentBitmap();
  POINT so = source->origin_;
  int sw = static_cast<int>(sbmp->Width()), sh = static_cast<int>(sbmp->Height());
  if (rop == SRCCOPY) {
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    int dx = dst.left + origin_.x, dy = dst.top + origin_.y;
    cairo_set_source_surface(cr_, sbmp->Surface(), dx - (sx + so.x), dy - (sy + so.y));
    cairo_new_path(cr_);
    cairo_rectangle(cr_, dx, dy, Width(dst), Height(dst));
    cairo_fill(cr_);
    cairo_restore(cr_);
    return S_OK;
  }
  const std::uint32_t* spx = sbmp->Pixels();
  if (!spx) return S_OK;
  int offx = sx + so.x - (dst.left + origin_.x), offy = sy + so.y - (dst.top + origin_.y);
  ForEachClippedPixel(dst, [&](std::uint32_t& p, int px, int py) {
    int qx = px + offx, qy = py + offy;
    if (qx < 0 || qy < 0 || qx >= sw || qy >= sh) return;
    std::uint32_t q = spx[static_cast<std::size_t>(qy) * sw + qx];
    std::uint32_t colour = rop == SRCAND ? (p & q) : (p ^ q);
    p = ClampToAlpha(colour & 0x00FFFFFFu, p >> 24);  // the destination keeps its alpha
  });
  return S_OK;
}

HRESULT SRenderTarget_Cairo::BlendFromTarget(const RECT& dst, IRenderTarget* src, const RECT& src_rc, BYTE alpha) {
  auto* source = dynamic_cast<SRenderTarget_Cairo*>(src);
  if (!source) return E_FAIL;
  SBitmap_Cairo* sbmp = source->CurrentBitmap();
  RECT s{src_rc.left + source->origin_.x, src_rc.top + source->origin_.y, src_rc.right + source->origin_.x,
         src_rc.bottom + source->origin_.y};
  if (Empty(s) || Empty(dst) || s.left < 0 || s.top < 0 || s.right > static_cast<int>(sbmp->Width()) ||
      s.bottom > static_cast<int>(sbmp->Height()))
    return E_FAIL;
  if (source == this) {
    // Reading and writing one surface: blend from a snapshot.
    auto copy = CloneOf(sbmp);
    if (!copy) return E_FAIL;
    PaintSurface(static_cast<SBitmap_Cairo*>(copy.get())->Surface(), s, dst, CAIRO_EXTEND_PAD, 0, alpha);
    return S_OK;
  }
  PaintSurface(sbmp->Surface(), s, dst, CAIRO_EXTEND_PAD, 0, alpha);
  return S_OK;
}

bool SRenderTarget_Cairo::AcceptsObject(const IRenderObj& obj) const {
  if (obj.ObjectType() != OT_BITMAP) return true;  // pens, brushes and fonts are read when drawing
  auto* bitmap = dynamic_cast<const SBitmap_Cairo*>(&obj);
  return bitmap && bitmap->Surface();
}

void SRenderTarget_Cairo::BindSelected(int type) {
  if (type == OT_BITMAP) BindSurface();
}

COLORREF SRenderTarget_Cairo::SetTextColor(COLORREF color) {
  COLORREF old = text_color_;
  text_color_ = color;
  return old;
}

HDC SRenderTarget_Cairo::LockDC(UINT flags) {
  lock_flags_ = flags;
  return cr_;
}

void SRenderTarget_Cairo::UnlockDC(HDC dc) {
  if (dc == cr_) lock_flags_ = 0;
}

HRESULT SRenderTarget_Cairo::SetTransform(const float matrix[6], float old[6]) {
  if (!matrix) return E_POINTER;
  cairo_matrix_t m;
  cairo_matrix_init(&m, matrix[0], matrix[1], matrix[2], matrix[3], matrix[4], matrix[5]);
  if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) return E_FAIL;
  if (old) std::copy(std::begin(transform_), std::end(transform_), old);
  std::copy(matrix, matrix + 6, transform_);
  ApplyMatrix();
  return S_OK;
}

HRESULT SRenderTarget_Cairo::Transform(float matrix[6]) const {
  if (!matrix) return E_POINTER;
  std::copy(std::begin(transform_), std::end(transform_), matrix);
  return S_OK;
}

COLORREF SRenderTarget_Cairo::SetPixelAt(int x, int y, COLORREF value) {
  std::uint32_t* p = PixelSlot(x, y);
  if (!p) return kNoColor;
  COLORREF old = std::exchange(*p, value);
  bitmap_->PixelsChanged();
  return old;
}

HRESULT SRenderTarget_Cairo::SetRasterOp(DWORD rop, DWORD* old) {
  if (rop != SRCCOPY && rop != SRCAND && rop != SRCINVERT && rop != DSTINVERT) return E_INVALIDARG;
  if (old) *old = raster_op_;
  raster_op_ = rop;
  return S_OK;
}

}  // namespace LOOM
