#include <cstring>

#include "bitmap_copies.h"
#include "cairo_backend.h"

namespace LOOM {

SBitmap_Cairo::~SBitmap_Cairo() {
  if (surface_) cairo_surface_destroy(surface_);
}

HRESULT SBitmap_Cairo::InitBlank(int width, int height, const void* pixels) {
  if (!BitmapSizeAcceptable(width, height)) return E_OUTOFMEMORY;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return E_OUTOFMEMORY;
  }
  if (surface_) cairo_surface_destroy(surface_);
  surface_ = s;
  width_ = width;
  height_ = height;
  if (pixels && width > 0 && height > 0) {
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y)
      std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride,
                  static_cast<const unsigned char*>(pixels) + static_cast<std::size_t>(y) * width * 4,
                  static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(s);
  }
  return S_OK;
}

HRESULT SBitmap_Cairo::InitFromImageFrame(const IImgFrame* frame) {
  UINT w = 0, h = 0;
  if (!frame || !frame->Size(&w, &h) || !BitmapSizeAcceptable(w, h)) return E_OUTOFMEMORY;
  std::vector<BYTE> pixels(std::size_t{w} * h * 4);
  if (!frame->CopyFramePixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data())) return E_FAIL;
  return InitBlank(static_cast<int>(w), static_cast<int>(h), pixels.data());
}

HRESULT SBitmap_Cairo::LoadFrom(const IImgX& img, int frames) {
  return frames > 0 ? InitFromImageFrame(img.Frame(0)) : S_FALSE;
}

HRESULT SBitmap_Cairo::LoadFile(std::u16string_view path) {
  auto img = MakeImage(factory_->DecoderFactory());
  if (!img) return E_FAIL;
  const int frames = img->LoadFile(path);
  return LoadFrom(*img, frames);
}

HRESULT SBitmap_Cairo::LoadMemory(const void* data, std::size_t size) {
  auto img = MakeImage(factory_->DecoderFactory());
  if (!img) return E_FAIL;
  const int frames = img->LoadMemory(data, size);
  return LoadFrom(*img, frames);
}

std::uint32_t* SBitmap_Cairo::Pixels() const {
  if (!surface_ || width_ == 0 || height_ == 0) return nullptr;
  cairo_surface_flush(surface_);
  return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface_));
}

void SBitmap_Cairo::PixelsChanged() const {
  if (surface_) cairo_surface_mark_dirty(surface_);
}

void* SBitmap_Cairo::LockBits() { return Pixels(); }
void SBitmap_Cairo::UnlockBits(void*) { PixelsChanged(); }
const void* SBitmap_Cairo::Bits() const { return Pixels(); }

HRESULT SBitmap_Cairo::Clone(IBitmap** out) const { return CloneBitmap(*factory_, *this, out); }

HRESULT SBitmap_Cairo::Resample(IBitmap** out, int width, int height, int filter_level) const {
  return ResampleBitmap(*factory_, *this, width, height, filter_level, out);
}

HRESULT SBitmap_Cairo::ResamplePercent(IBitmap** out, int percent, int filter_level) const {
  return ResampleBitmapPercent(*factory_, *this, percent, filter_level, out);
}

HRESULT SBitmap_Cairo::SaveFile(std::u16string_view path, int format) const {
  return SaveBitmapFile(*factory_, *this, path, format);
}

}  // namespace LOOM
