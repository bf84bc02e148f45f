// SImgDecoderFactory_GDIP over the platform's GDI+, through its flat interface: every
// time frame of a picture (animated GIF and the like), composed on a canvas of the
// picture's size, with delays in milliseconds; frames premultiplied with the
// truncating rule.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/render.h"
#include "decoded_image.h"
#include "platform/base/wide_text.h"
#include "platform/base/win_types.h"

#include <objidl.h>
#include <gdiplus.h>

namespace LOOM {
namespace {

namespace gdip = Gdiplus::DllExports;
using Gdiplus::GpBitmap;
using Gdiplus::GpImage;
using Gdiplus::GpStatus;

// {6AEDBD6D-3FB5-418A-83A6-7F45229DC872}
constexpr GUID kFrameDimensionTime{0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};
// The encoders' formats: {B96B3CAF-...} PNG, {B96B3CAE-...} JPEG, {B96B3CAB-...} BMP.
constexpr GUID FormatGuid(unsigned long first) {
  return GUID{first, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
constexpr PROPID kFrameDelayTag = 0x5100;
constexpr Gdiplus::PixelFormat kArgb = 0x26200A;   // PixelFormat32bppARGB
constexpr Gdiplus::PixelFormat kPargb = 0xE200B;   // PixelFormat32bppPARGB
constexpr std::size_t kNarrowPathLimit = 260;

// GDI+'s straight ARGB (blue, green, red, alpha in memory) into premultiplied
// blue-green-red-alpha.
std::vector<std::uint8_t> PremultipliedFrame(const Gdiplus::BitmapData& data) {
  const std::size_t w = data.Width, h = data.Height;
  std::vector<std::uint8_t> out(w * h * 4);
  for (std::size_t y = 0; y < h; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride;
    std::memcpy(out.data() + y * w * 4, row, w * 4);
  }
  PremultiplyBgraInPlace(out.data(), w * h);
  return out;
}

// Locks the whole of a GDI+ bitmap for reading as straight ARGB and converts it.
bool ReadFrame(GpBitmap* bitmap, UINT width, UINT height, std::vector<std::uint8_t>* pixels) {
  Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData data{};
  if (gdip::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, kArgb, &data) != Gdiplus::Ok) return false;
  *pixels = PremultipliedFrame(data);
  gdip::GdipBitmapUnlockBits(bitmap, &data);
  return true;
}

class SImgX_GDIP final : public TObjRefImpl<IImgX> {
 public:
  int LoadMemory(const void* data, std::size_t size) override {
    frames_.clear();
    if (!data || size == 0 || size > 0xFFFFFFFFu) return 0;
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (!block) return 0;
    std::memcpy(block, data, size);  // a fixed block's handle is its address
    IStream* made = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &made))) {  // the stream frees the block
      ::GlobalFree(block);
      return 0;
    }
    auto stream = SAutoRefPtr<IStream>::Adopt(made);  // GDI+ keeps its own reference
    GpBitmap* bitmap = nullptr;
    const GpStatus status = gdip::GdipCreateBitmapFromStream(stream.get(), &bitmap);
    return status == Gdiplus::Ok ? Decode(bitmap) : 0;
  }

  int LoadFileNarrow(const char* path) override {
    frames_.clear();
    if (!path) return 0;
    wchar_t wide[kNarrowPathLimit]{};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, static_cast<int>(kNarrowPathLimit));
    if (length <= 0) return 0;  // does not fit, or not convertible
    return LoadWide(wide);
  }

  int LoadFile(std::u16string_view path) override {
    frames_.clear();
    const std::u16string text(path);
    return LoadWide(AsWideText(text.c_str()));
  }

  UINT FrameCount() const override { return static_cast<UINT>(frames_.size()); }
  const IImgFrame* Frame(UINT index) const override { return index < frames_.size() ? frames_[index].get() : nullptr; }

 private:
  int LoadWide(const wchar_t* path) {
    GpBitmap* bitmap = nullptr;
    if (gdip::GdipCreateBitmapFromFile(path, &bitmap) != Gdiplus::Ok) return 0;
    return Decode(bitmap);
  }

  // Decodes every time frame, then disposes of the GDI+ bitmap.
  int Decode(GpBitmap* bitmap) {
    UINT width = 0, height = 0, count = 0;
    gdip::GdipGetImageWidth(bitmap, &width);
    gdip::GdipGetImageHeight(bitmap, &height);
    if (gdip::GdipImageGetFrameCount(bitmap, &kFrameDimensionTime, &count) != Gdiplus::Ok || count == 0) count = 1;
    if (width > 0 && height > 0 && ImageSizeAcceptable(width, height) &&
        ImageSizeAcceptable(width, static_cast<unsigned long long>(height) * count)) {
      if (count == 1) DecodeStill(bitmap, width, height);
      else DecodeAnimation(bitmap, width, height, count);
    }
    gdip::GdipDisposeImage(bitmap);
    return static_cast<int>(frames_.size());
  }

  void DecodeStill(GpBitmap* bitmap, UINT width, UINT height) {
    std::vector<std::uint8_t> pixels;
    if (ReadFrame(bitmap, width, height, &pixels))
      frames_.push_back(std::make_unique<SImgFrame>(width, height, 0, std::move(pixels)));
  }

  void DecodeAnimation(GpBitmap* bitmap, UINT width, UINT height, UINT count) {
    const std::vector<UINT> delays = FrameDelays(bitmap);
    GpBitmap* canvas = nullptr;
    if (gdip::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0, kArgb, nullptr,
                                        &canvas) != Gdiplus::Ok)
      return;
    for (UINT i = 0; i < count; ++i) {
      if (gdip::GdipImageSelectActiveFrame(bitmap, &kFrameDimensionTime, i) != Gdiplus::Ok) break;
      Gdiplus::GpGraphics* graphics = nullptr;
      if (gdip::GdipGetImageGraphicsContext(canvas, &graphics) != Gdiplus::Ok) break;
      gdip::GdipGraphicsClear(graphics, 0);
      gdip::GdipDrawImageRectI(graphics, bitmap, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
      gdip::GdipDeleteGraphics(graphics);
      // Hundredths of a second, at least ten of them.
      const int delay = static_cast<int>(std::max<UINT>(i < delays.size() ? delays[i] : 0, 10) * 10);
      std::vector<std::uint8_t> pixels;
      if (!ReadFrame(canvas, width, height, &pixels)) break;
      frames_.push_back(std::make_unique<SImgFrame>(width, height, delay, std::move(pixels)));
    }
    gdip::GdipDisposeImage(canvas);
  }

  static std::vector<UINT> FrameDelays(GpBitmap* bitmap) {
    UINT size = 0;
    if (gdip::GdipGetPropertyItemSize(bitmap, kFrameDelayTag, &size) != Gdiplus::Ok || size < sizeof(Gdiplus::PropertyItem))
      return {};
    auto* item = static_cast<Gdiplus::PropertyItem*>(gdip::GdipAlloc(size));
    if (!item) return {};
    std::vector<UINT> delays;
    if (gdip::GdipGetPropertyItem(bitmap, kFrameDelayTag, size, item) == Gdiplus::Ok && item->value) {
      const auto* values = static_cast<const UINT*>(item->value);
      delays.assign(values, values + item->length / sizeof(UINT));
    }
    gdip::GdipFree(item);
    return delays;
  }

  std::vector<std::unique_ptr<SImgFrame>> frames_;
};

class SImgDecoderFactory_GDIP final : public TObjRefImpl<IImgDecoderFactory> {
 public:
  SImgDecoderFactory_GDIP() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
  }
  ~SImgDecoderFactory_GDIP() override {
    if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
  }

  int NewImage(IImgX** out) override {
    if (!out) return 0;
    *out = new SImgX_GDIP();
    return 1;
  }

  HRESULT SaveBitmap(const IBitmap* bitmap, std::u16string_view path, int format) override {
    if (!bitmap || !bitmap->Bits()) return E_FAIL;
    GUID wanted{};
    switch (format) {
      case kImagePng: wanted = FormatGuid(0xB96B3CAF); break;
      case kImageJpeg: wanted = FormatGuid(0xB96B3CAE); break;
      case kImageBmp: wanted = FormatGuid(0xB96B3CAB); break;
      default: return E_FAIL;
    }
    UINT count = 0, size = 0;
    if (gdip::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return E_FAIL;
    std::vector<std::uint8_t> storage(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (gdip::GdipGetImageEncoders(count, size, encoders) != Gdiplus::Ok) return E_FAIL;
    const Gdiplus::ImageCodecInfo* encoder = nullptr;
    for (UINT i = 0; i < count; ++i) {
      if (encoders[i].FormatID == wanted) encoder = &encoders[i];
    }
    if (!encoder) return E_FAIL;
    GpBitmap* wrapped = nullptr;
    const INT width = static_cast<INT>(bitmap->Width()), height = static_cast<INT>(bitmap->Height());
    if (gdip::GdipCreateBitmapFromScan0(width, height, width * 4, kPargb,
                                        static_cast<BYTE*>(const_cast<void*>(bitmap->Bits())), &wrapped) != Gdiplus::Ok)
      return E_FAIL;
    const std::u16string file(path);
    const GpStatus saved = gdip::GdipSaveImageToFile(wrapped, AsWideText(file.c_str()), &encoder->Clsid, nullptr);
    gdip::GdipDisposeImage(wrapped);
    return saved == Gdiplus::Ok ? S_OK : E_FAIL;
  }

  std::u16string_view Description() const override { return u"gdi+"; }

 private:
  ULONG_PTR token_ = 0;
};

}  // namespace

IImgDecoderFactory* NewGdipDecoderFactory() { return new SImgDecoderFactory_GDIP(); }

}  // namespace LOOM
