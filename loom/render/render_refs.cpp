#include "core/render_refs.h"

#include <utility>

namespace LOOM {
namespace {

// Runs a making operation on a slot and adopts what it put there. A failed operation
// hands out no reference, whatever it left in the slot.
template <class T, class Operation>
SAutoRefPtr<T> Made(Operation make) {
  T* raw = nullptr;
  const bool made = make(&raw);
  return made ? SAutoRefPtr<T>::Adopt(raw) : nullptr;
}

}  // namespace

SAutoRefPtr<IRenderTarget> MakeTarget(IRenderFactory* factory, int width, int height) {
  if (!factory) return nullptr;
  return Made<IRenderTarget>([&](IRenderTarget** out) { return factory->NewTarget(out, width, height) != 0; });
}

SAutoRefPtr<IFont> MakeFont(IRenderFactory* factory, const SLogFont& lf) {
  if (!factory) return nullptr;
  return Made<IFont>([&](IFont** out) { return factory->NewFont(out, lf) != 0; });
}

SAutoRefPtr<IBitmap> MakeBitmap(IRenderFactory* factory) {
  if (!factory) return nullptr;
  return Made<IBitmap>([&](IBitmap** out) { return factory->NewBitmap(out) != 0; });
}

SAutoRefPtr<IRegion> MakeRegion(IRenderFactory* factory) {
  if (!factory) return nullptr;
  return Made<IRegion>([&](IRegion** out) { return factory->NewRegion(out) != 0; });
}

SAutoRefPtr<IImgX> MakeImage(IImgDecoderFactory* decoders) {
  if (!decoders) return nullptr;
  return Made<IImgX>([&](IImgX** out) { return decoders->NewImage(out) != 0; });
}

SAutoRefPtr<IPen> MakePen(IRenderTarget* rt, int style, COLORREF color, int width) {
  if (!rt) return nullptr;
  return Made<IPen>([&](IPen** out) { return SUCCEEDED(rt->NewPen(style, color, width, out)); });
}

SAutoRefPtr<IBrush> MakeSolidBrush(IRenderTarget* rt, COLORREF color) {
  if (!rt) return nullptr;
  return Made<IBrush>([&](IBrush** out) { return SUCCEEDED(rt->NewSolidBrush(color, out)); });
}

SAutoRefPtr<IRegion> MakeRegion(IRenderTarget* rt) {
  if (!rt) return nullptr;
  return Made<IRegion>([&](IRegion** out) { return SUCCEEDED(rt->NewRegion(out)); });
}

SAutoRefPtr<IRegion> ClipRegionOf(const IRenderTarget* rt) {
  if (!rt) return nullptr;
  return Made<IRegion>([&](IRegion** out) { return SUCCEEDED(rt->ClipRegionCopy(out)); });
}

SAutoRefPtr<IBitmap> CloneOf(const IBitmap* bitmap) {
  if (!bitmap) return nullptr;
  return Made<IBitmap>([&](IBitmap** out) { return SUCCEEDED(bitmap->Clone(out)); });
}

SAutoRefPtr<IBitmap> ResampledOf(const IBitmap* bitmap, int width, int height, int filter_level) {
  if (!bitmap) return nullptr;
  return Made<IBitmap>([&](IBitmap** out) { return SUCCEEDED(bitmap->Resample(out, width, height, filter_level)); });
}

SAutoRefPtr<IRenderObj> SelectKeepingPrevious(IRenderTarget* rt, IRenderObj* obj) {
  if (!rt || !obj) return nullptr;
  return Made<IRenderObj>([&](IRenderObj** out) { return SUCCEEDED(rt->Select(obj, out)); });
}

// ---- SSelectScope ----------------------------------------------------------------------

SSelectScope::SSelectScope(IRenderTarget* rt, IRenderObj* obj) : rt_(rt) {
  if (!rt || !obj) return;
  previous_ = Made<IRenderObj>([&](IRenderObj** out) {
    selected_ = SUCCEEDED(rt->Select(obj, out));
    return selected_;
  });
}

SSelectScope::SSelectScope(SSelectScope&& other) noexcept
    : rt_(std::move(other.rt_)),
      previous_(std::move(other.previous_)),
      selected_(std::exchange(other.selected_, false)) {}

SSelectScope& SSelectScope::operator=(SSelectScope&& other) noexcept {
  if (this != &other) {
    Restore();
    rt_ = std::move(other.rt_);
    previous_ = std::move(other.previous_);
    selected_ = std::exchange(other.selected_, false);
  }
  return *this;
}

void SSelectScope::Restore() {
  if (rt_ && previous_) rt_->Select(previous_.get());
  previous_.reset();
  rt_.reset();
}

}  // namespace LOOM
