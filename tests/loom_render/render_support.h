// Helpers of the render tests: a factory, targets and bitmaps of known pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "core/obj_ref.h"
#include "core/render.h"

namespace LOOM::test {

inline SAutoRefPtr<IRenderFactory> Factory() { return SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory()); }

inline SAutoRefPtr<IRenderTarget> Target(IRenderFactory* f, int w, int h) {
  IRenderTarget* rt = nullptr;
  f->NewTarget(&rt, w, h);
  return SAutoRefPtr<IRenderTarget>::Adopt(rt);
}

// A bitmap whose pixel (x, y) is pixel(x, y) (premultiplied 0xAARRGGBB).
template <class Fn>
SAutoRefPtr<IBitmap> Bitmap(IRenderFactory* f, int w, int h, Fn pixel) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = pixel(x, y);
  IBitmap* bmp = nullptr;
  f->NewBitmap(&bmp);
  bmp->InitBlank(w, h, px.data());
  return SAutoRefPtr<IBitmap>::Adopt(bmp);
}

inline void Fill(IRenderTarget* rt, int w, int h, std::uint32_t value) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rt->SetPixelAt(x, y, value);
}

}  // namespace LOOM::test
