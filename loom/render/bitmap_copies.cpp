#include "bitmap_copies.h"

#include "core/img_decoder.h"
#include "core/render_refs.h"

namespace LOOM {

HRESULT CloneBitmap(IRenderFactory& factory, const IBitmap& source, IBitmap** out) {
  if (!out) return E_POINTER;
  auto copy = MakeBitmap(&factory);
  if (!copy) return E_UNEXPECTED;
  HRESULT hr = copy->InitBlank(static_cast<int>(source.Width()), static_cast<int>(source.Height()), source.Bits());
  if (FAILED(hr)) return hr;
  *out = copy.detach();
  return S_OK;
}

HRESULT ResampleBitmap(IRenderFactory& factory, const IBitmap& source, int width, int height, int filter_level,
                       IBitmap** out) {
  if (!out) return E_POINTER;
  const int source_width = static_cast<int>(source.Width());
  const int source_height = static_cast<int>(source.Height());
  if (width == source_width && height == source_height) return CloneBitmap(factory, source, out);
  auto target = MakeTarget(&factory, width, height);
  if (!target) return E_OUTOFMEMORY;
  RECT dst{0, 0, width, height}, src{0, 0, source_width, source_height};
  // The target only reads the source's pixels.
  target->DrawImageExpanded(dst, const_cast<IBitmap*>(&source), src,
                            (static_cast<UINT>(filter_level) << 16) | EM_STRETCH, 255);
  SAutoRefPtr<IBitmap> bmp(static_cast<IBitmap*>(target->CurrentObject(OT_BITMAP)));
  *out = bmp.detach();  // outlives the target
  return S_OK;
}

HRESULT ResampleBitmapPercent(IRenderFactory& factory, const IBitmap& source, int percent, int filter_level,
                              IBitmap** out) {
  auto scaled = [percent](UINT v) { return static_cast<int>((static_cast<long long>(v) * percent + 50) / 100); };
  return ResampleBitmap(factory, source, scaled(source.Width()), scaled(source.Height()), filter_level, out);
}

HRESULT SaveBitmapFile(IRenderFactory& factory, const IBitmap& bitmap, std::u16string_view path, int format) {
  IImgDecoderFactory* decoders = factory.DecoderFactory();
  if (!decoders) return E_FAIL;
  return decoders->SaveBitmap(&bitmap, path, format);
}

}  // namespace LOOM
