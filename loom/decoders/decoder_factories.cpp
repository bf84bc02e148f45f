// The decoder factories chosen by name at start-up. "gdi+" stands for the platform
// decoder: here libpng, libjpeg-turbo, giflib and a bitmap reader behind one factory.
#include <cstring>

#include "core/render.h"
#include "decoded_image.h"
#include "platform/utf.h"

namespace LOOM {
namespace {

std::vector<RgbaImage> DecodeAnyFormat(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 8 && bytes[0] == 0x89 && bytes[1] == 'P') return DecodePng(bytes);
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8) return DecodeJpeg(bytes);
  if (bytes.size() >= 6 && std::memcmp(bytes.data(), "GIF", 3) == 0) return DecodeGif(bytes);
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmpFile(bytes);
  return {};
}

HRESULT SaveAsPng(const IBitmap* bitmap, std::u16string_view path, int format) {
  if (!bitmap || format != kImagePng) return E_FAIL;
  const auto* bits = static_cast<const std::uint8_t*>(bitmap->Bits());
  std::size_t pixels = std::size_t{bitmap->Width()} * bitmap->Height();
  if (!bits || pixels == 0) return E_FAIL;
  std::vector<std::uint8_t> rgba(pixels * 4);
  UnpremultiplyBgraToRgba(bits, rgba.data(), pixels);
  return EncodePngFile(platform::Utf16ToUtf8(path), bitmap->Width(), bitmap->Height(), rgba.data()) ? S_OK : E_FAIL;
}

template <DecodeFn Decode>
class SDecoderFactory : public TObjRefImpl<IImgDecoderFactory> {
 public:
  int NewImage(IImgX** out) override {
    if (!out) return 0;
    *out = new SImgX(Decode);
    return 1;
  }
};

class SImgDecoderFactory_GDIP final : public SDecoderFactory<DecodeAnyFormat> {
 public:
  HRESULT SaveBitmap(const IBitmap* bitmap, std::u16string_view path, int format) override {
    return SaveAsPng(bitmap, path, format);
  }
  std::u16string_view Description() const override { return u"gdi+"; }
};

class SImgDecoderFactory_PNG final : public SDecoderFactory<DecodeApng> {
 public:
  HRESULT SaveBitmap(const IBitmap* bitmap, std::u16string_view path, int) override {
    return SaveAsPng(bitmap, path, kImagePng);
  }
  std::u16string_view Description() const override { return u"apng"; }
};

class SImgDecoderFactory_STB final : public SDecoderFactory<DecodeStb> {
 public:
  HRESULT SaveBitmap(const IBitmap*, std::u16string_view, int) override { return E_NOTIMPL; }
  std::u16string_view Description() const override { return u"stb"; }
};

}  // namespace

IImgDecoderFactory* NewImgDecoderFactory(std::u16string_view name) {
  if (name == u"imgdecoder-wic") return nullptr;  // no platform imaging component here
  if (name == u"imgdecoder-stb") return new SImgDecoderFactory_STB();
  if (name == u"imgdecoder-png") return new SImgDecoderFactory_PNG();
  if (name == u"imgdecoder-gdip") return new SImgDecoderFactory_GDIP();
  return nullptr;
}

}  // namespace LOOM
