// Icon and cursor files (directory, bitmap and PNG entries) and animated cursors.
#include <cstddef>
#include <cstdint>

#include "loom/decoders/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  LOOM::RgbaImage image;
  int want = size > 0 ? data[0] % 80 : 16;
  LOOM::DecodeIconFile(bytes, want, image);
  POINT hot{};
  LOOM::DecodeIconFile(bytes, 32, image, true, &hot);
  LOOM::DecodeDib(bytes, true, image);
  LOOM::DecodeBmpFile(bytes);
  return 0;
}
