// stb_image, asked for four components.
#include <climits>

#include "decoded_image.h"

#include <stb_image.h>

namespace LOOM {

std::vector<RgbaImage> DecodeStb(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
  int w = 0, h = 0, comp = 0;
  int len = static_cast<int>(bytes.size());
  if (!stbi_info_from_memory(bytes.data(), len, &w, &h, &comp)) return {};
  if (!ImageSizeAcceptable(static_cast<unsigned>(w), static_cast<unsigned>(h))) return {};
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), len, &w, &h, &comp, 4);
  if (!pixels) return {};
  std::vector<RgbaImage> out(1);
  if (ImageSizeAcceptable(static_cast<unsigned>(w), static_cast<unsigned>(h))) {
    out[0].width = static_cast<unsigned>(w);
    out[0].height = static_cast<unsigned>(h);
    out[0].rgba.assign(pixels, pixels + std::size_t{out[0].width} * out[0].height * 4);
  }
  stbi_image_free(pixels);
  if (out[0].rgba.empty()) return {};
  return out;
}

}  // namespace LOOM
