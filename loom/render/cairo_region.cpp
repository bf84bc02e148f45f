#include <algorithm>
#include <cmath>

#include "cairo_backend.h"

namespace LOOM {
namespace {

cairo_rectangle_int_t ToCairo(const RECT& rc) {
  return {rc.left, rc.top, std::max(0, rc.right - rc.left), std::max(0, rc.bottom - rc.top)};
}

}  // namespace

cairo_region_t* NewRoundRegion(const RECT& rc, double rx, double ry) {
  cairo_region_t* r = cairo_region_create();
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return r;
  rx = std::clamp(rx, 0.0, w / 2.0);
  ry = std::clamp(ry, 0.0, h / 2.0);
  for (int y = 0; y < h; ++y) {
    double cy = y + 0.5;
    double inset = 0;
    double dy = 0;
    if (cy < ry) dy = ry - cy;
    else if (cy > h - ry) dy = cy - (h - ry);
    if (dy > 0 && ry > 0) inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - (dy * dy) / (ry * ry)));
    int left = static_cast<int>(std::lround(inset));
    if (w - 2 * left <= 0) continue;
    cairo_rectangle_int_t row{rc.left + left, rc.top + y, w - 2 * left, 1};
    cairo_region_union_rectangle(r, &row);
  }
  return r;
}

SRegion_Cairo::SRegion_Cairo(IRenderFactory* f) : TRenderObj(f), region_(cairo_region_create()) {}
SRegion_Cairo::~SRegion_Cairo() { cairo_region_destroy(region_); }

void SRegion_Cairo::CombineNative(const cairo_region_t* other, int mode) {
  switch (mode) {
    case RGN_AND: cairo_region_intersect(region_, other); break;
    case RGN_OR: cairo_region_union(region_, other); break;
    case RGN_XOR: cairo_region_xor(region_, other); break;
    case RGN_DIFF: cairo_region_subtract(region_, other); break;
    case RGN_COPY: {
      cairo_region_t* copy = cairo_region_copy(other);
      cairo_region_destroy(region_);
      region_ = copy;
      break;
    }
    default: break;
  }
}

void SRegion_Cairo::CombineRect(const RECT& rc, int mode) {
  cairo_rectangle_int_t r = ToCairo(rc);
  cairo_region_t* other = cairo_region_create_rectangle(&r);
  CombineNative(other, mode);
  cairo_region_destroy(other);
}

void SRegion_Cairo::CombineRegion(const IRegion* other, int mode) {
  if (auto* o = dynamic_cast<const SRegion_Cairo*>(other)) CombineNative(o->region_, mode);
}

void SRegion_Cairo::CombineRoundRect(const RECT& rc, POINT corner, int mode) {
  cairo_region_t* other = NewRoundRegion(rc, corner.x / 2.0, corner.y / 2.0);
  CombineNative(other, mode);
  cairo_region_destroy(other);
}

void SRegion_Cairo::CombineEllipse(const RECT& rc, int mode) {
  cairo_region_t* other = NewRoundRegion(rc, (rc.right - rc.left) / 2.0, (rc.bottom - rc.top) / 2.0);
  CombineNative(other, mode);
  cairo_region_destroy(other);
}

bool SRegion_Cairo::ContainsPoint(POINT pt) const { return cairo_region_contains_point(region_, pt.x, pt.y); }

bool SRegion_Cairo::IntersectsRect(const RECT& rc) const {
  cairo_rectangle_int_t r = ToCairo(rc);
  return cairo_region_contains_rectangle(region_, &r) != CAIRO_REGION_OVERLAP_OUT;
}

RECT SRegion_Cairo::Bounds() const {
  cairo_rectangle_int_t r;
  cairo_region_get_extents(region_, &r);
  return {r.x, r.y, r.x + r.width, r.y + r.height};
}

bool SRegion_Cairo::IsEmpty() const {
  RECT b = Bounds();
  return b.right <= b.left || b.bottom <= b.top;
}

void SRegion_Cairo::Offset(POINT pt) { cairo_region_translate(region_, pt.x, pt.y); }

void SRegion_Cairo::Clear() {
  cairo_region_destroy(region_);
  region_ = cairo_region_create();
}

void SRegion_Cairo::CopyFromNative(const void* native) {
  if (!native) return;
  cairo_region_t* copy = cairo_region_copy(static_cast<const cairo_region_t*>(native));
  cairo_region_destroy(region_);
  region_ = copy;
}

}  // namespace LOOM
