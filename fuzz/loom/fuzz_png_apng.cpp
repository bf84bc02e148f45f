// The PNG decoder with animated PNG composition.
#include <cstddef>
#include <cstdint>

#include "loom/decoders/decoded_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LOOM::SImgX image(&LOOM::DecodeApng);
  image.LoadMemory(data, size);
  return 0;
}
