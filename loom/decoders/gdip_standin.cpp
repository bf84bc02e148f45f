// Where the platform has no GDI+, "gdi+" stands for libpng, libjpeg-turbo, giflib and
// a bitmap reader behind one factory; and there is no imaging component for "wic".
#include <cstring>

#include "decoded_image.h"

namespace LOOM {
namespace {

std::vector<RgbaImage> DecodeAnyFormat(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 8 && bytes[0] == 0x89 && bytes[1] == 'P') return DecodePng(bytes);
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8) return DecodeJpeg(bytes);
  if (bytes.size() >= 6 && std::memcmp(bytes.data(), "GIF", 3) == 0) return DecodeGif(bytes);
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmpFile(bytes);
  return {};
}

class SImgDecoderFactory_GDIP final : public SDecoderFactory<DecodeAnyFormat> {
 public:
  HRESULT SaveBitmap(const IBitmap* bitmap, std::u16string_view path, int format) override {
    return SaveAsPng(bitmap, path, format);
  }
  std::u16string_view Description() const override { return u"gdi+"; }
};

}  // namespace

IImgDecoderFactory* NewGdipDecoderFactory() { return new SImgDecoderFactory_GDIP(); }
IImgDecoderFactory* NewWicDecoderFactory() { return nullptr; }

}  // namespace LOOM
