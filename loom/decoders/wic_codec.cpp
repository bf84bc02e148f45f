// SImgDecoderFactory_WIC over the platform's imaging component: every frame of the
// container through a format converter to premultiplied blue-green-red-alpha, copied
// out on demand with the rectangle and stride the caller gives. Delays are 0.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "decoded_image.h"
#include "platform/base/wide_text.h"
#include "platform/base/win_types.h"

#include <wincodec.h>

namespace LOOM {
namespace {

// {CACAF262-9370-4615-A13B-9F5539DA4C0A}
constexpr CLSID kImagingFactoryClass{0xCACAF262, 0x9370, 0x4615, {0xA1, 0x3B, 0x9F, 0x55, 0x39, 0xDA, 0x4C, 0x0A}};
// {EC5EC8A9-C395-4314-9C77-54D7A935FF70}
constexpr IID kImagingFactoryInterface{0xEC5EC8A9, 0xC395, 0x4314, {0x9C, 0x77, 0x54, 0xD7, 0xA9, 0x35, 0xFF, 0x70}};
// {6FDDC324-4E03-4BFE-B185-3D77768DC910}: 32-bit premultiplied blue-green-red-alpha.
constexpr GUID kPixelFormatPbgra{0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x10}};

template <class T>
struct Released {
  void operator()(T* p) const {
    if (p) p->Release();
  }
};
template <class T>
using ComRef = std::unique_ptr<T, Released<T>>;

// The process's one imaging factory, made the first time COM lets it be made (the
// calling thread must have initialised COM) and kept for the life of the process.
IWICImagingFactory* ImagingFactory() {
  static std::atomic<IWICImagingFactory*> factory{nullptr};
  if (IWICImagingFactory* made = factory.load()) return made;
  IWICImagingFactory* raw = nullptr;
  if (FAILED(::CoCreateInstance(kImagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER, kImagingFactoryInterface,
                                reinterpret_cast<void**>(&raw))))
    return nullptr;
  ComRef<IWICImagingFactory> made(raw);
  IWICImagingFactory* expected = nullptr;
  if (!factory.compare_exchange_strong(expected, made.get())) return expected;  // another thread made one first
  return made.release();  // kept by the process from here
}

class SImgFrame_WIC final : public IImgFrame {
 public:
  explicit SImgFrame_WIC(ComRef<IWICFormatConverter> converter) : converter_(std::move(converter)) {
    converter_->GetSize(&width_, &height_);
  }
  bool Size(UINT* width, UINT* height) const override {
    if (width) *width = width_;
    if (height) *height = height_;
    return width_ > 0 && height_ > 0;
  }
  bool CopyFramePixels(const RECT* rc, UINT stride, UINT size, BYTE* buffer) const override {
    if (!buffer) return false;
    WICRect area{0, 0, static_cast<INT>(width_), static_cast<INT>(height_)};
    if (rc) area = WICRect{rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top};
    return SUCCEEDED(converter_->CopyPixels(&area, stride, size, buffer));
  }
  int Delay() const override { return 0; }

 private:
  ComRef<IWICFormatConverter> converter_;
  UINT width_ = 0;
  UINT height_ = 0;
};

class SImgX_WIC final : public TObjRefImpl<IImgX> {
 public:
  int LoadMemory(const void* data, std::size_t size) override {
    frames_.clear();
    IWICImagingFactory* factory = ImagingFactory();
    if (!factory || !data || size == 0 || size > 0xFFFFFFFFu) return 0;
    // The stream reads the caller's block in place: keep a copy that lives as long as
    // the frames read from it.
    bytes_.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    IWICStream* raw_stream = nullptr;
    if (FAILED(factory->CreateStream(&raw_stream))) return 0;
    ComRef<IWICStream> stream(raw_stream);
    if (FAILED(stream->InitializeFromMemory(bytes_.data(), static_cast<DWORD>(bytes_.size())))) return 0;
    IWICBitmapDecoder* decoder = nullptr;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, &decoder)))
      return 0;
    return ReadFrames(ComRef<IWICBitmapDecoder>(decoder));
  }

  int LoadFileNarrow(const char* path) override {
    frames_.clear();
    if (!path) return 0;
    wchar_t wide[260]{};
    if (::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, 260) <= 0) return 0;
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
    IWICImagingFactory* factory = ImagingFactory();
    IWICBitmapDecoder* decoder = nullptr;
    if (!factory || FAILED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                              WICDecodeMetadataCacheOnLoad, &decoder)))
      return 0;
    return ReadFrames(ComRef<IWICBitmapDecoder>(decoder));
  }

  int ReadFrames(ComRef<IWICBitmapDecoder> decoder) {
    UINT count = 0;
    if (FAILED(decoder->GetFrameCount(&count))) return 0;
    IWICImagingFactory* factory = ImagingFactory();
    for (UINT i = 0; i < count; ++i) {
      IWICBitmapFrameDecode* frame = nullptr;
      if (FAILED(decoder->GetFrame(i, &frame))) break;
      ComRef<IWICBitmapFrameDecode> held(frame);
      UINT width = 0, height = 0;
      if (FAILED(frame->GetSize(&width, &height)) || !ImageSizeAcceptable(width, height)) break;
      IWICFormatConverter* converter = nullptr;
      if (FAILED(factory->CreateFormatConverter(&converter))) break;
      ComRef<IWICFormatConverter> converted(converter);
      if (FAILED(converted->Initialize(frame, kPixelFormatPbgra,
                                       WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        break;
      frames_.push_back(std::make_unique<SImgFrame_WIC>(std::move(converted)));
    }
    return static_cast<int>(frames_.size());
  }

  std::vector<BYTE> bytes_;
  std::vector<std::unique_ptr<SImgFrame_WIC>> frames_;
};

class SImgDecoderFactory_WIC final : public TObjRefImpl<IImgDecoderFactory> {
 public:
  int NewImage(IImgX** out) override {
    if (!out) return 0;
    *out = new SImgX_WIC();
    return 1;
  }
  HRESULT SaveBitmap(const IBitmap*, std::u16string_view, int) override { return E_FAIL; }
  std::u16string_view Description() const override { return u"wic"; }
};

}  // namespace

IImgDecoderFactory* NewWicDecoderFactory() {
  if (!ImagingFactory()) return nullptr;
  return new SImgDecoderFactory_WIC();
}

}  // namespace LOOM
