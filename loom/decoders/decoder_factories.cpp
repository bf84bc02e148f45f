// The decoder factories chosen by name at start-up. The PNG and stb decoders are the
// same everywhere; "gdi+" and "wic" are the platform's (gdip_*.cpp, wic_codec.cpp).
#include <cstring>

#include "core/render.h"
#include "decoded_image.h"
#include "platform/base/utf.h"

namespace LOOM {

HRESULT SaveAsPng(const IBitmap* bitmap, std::u16string_view path, int format) {
  if (!bitmap || format != kImagePng) return E_FAIL;
  const auto* bits = static_cast<const std::uint8_t*>(bitmap->Bits());
  std::size_t pixels = std::size_t{bitmap->Width()} * bitmap->Height();
  if (!bits || pixels == 0) return E_FAIL;
  std::vector<std::uint8_t> rgba(pixels * 4);
  UnpremultiplyBgraToRgba(bits, rgba.data(), pixels);
  return EncodePngFile(platform::Utf16ToUtf8(path), bitmap->Width(), bitmap->Height(), rgba.data()) ? S_OK : E_FAIL;
}

namespace {

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
  if (name == u"imgdecoder-wic") return NewWicDecoderFactory();
  if (name == u"imgdecoder-stb") return new SImgDecoderFactory_STB();
  if (name == u"imgdecoder-png") return new SImgDecoderFactory_PNG();
  if (name == u"imgdecoder-gdip") return NewGdipDecoderFactory();
  return nullptr;
}

}  // namespace LOOM
