// The platform-style decoder: PNG, JPEG, GIF (every frame) and BMP by signature.
#include <cstddef>
#include <cstdint>

#include "core/img_decoder.h"
#include "loom/decoders/decoded_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static LOOM::IImgDecoderFactory* const factory = LOOM::NewImgDecoderFactory(u"imgdecoder-gdip");
  LOOM::IImgX* image = nullptr;
  factory->NewImage(&image);
  image->LoadMemory(data, size);
  image->Release();
  // Each codec directly too, so that inputs with a damaged signature reach them.
  std::span<const std::uint8_t> bytes(data, size);
  LOOM::DecodeJpeg(bytes);
  LOOM::DecodeGif(bytes);
  LOOM::DecodePng(bytes);
  return 0;
}
