#include "icon_file.h"

#include <algorithm>

#include <cstdlib>
#include <cstring>

namespace LOOM {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

RgbaImage ScaleNearest(const RgbaImage& src, unsigned w, unsigned h) {
  RgbaImage out{w, h, 0, std::vector<std::uint8_t>(std::size_t{w} * h * 4)};
  for (unsigned y = 0; y < h; ++y)
    for (unsigned x = 0; x < w; ++x) {
      std::size_t sx = std::size_t{x} * src.width / w, sy = std::size_t{y} * src.height / h;
      std::memcpy(&out.rgba[(std::size_t{y} * w + x) * 4], &src.rgba[(sy * src.width + sx) * 4], 4);
    }
  return out;
}

}  // namespace

bool DecodeIconFile(std::span<const std::uint8_t> bytes, int size, RgbaImage& out, bool cursor, POINT* hot_spot) {
  if (bytes.size() < 6 || Le16(&bytes[0]) != 0 || Le16(&bytes[2]) != (cursor ? 2 : 1)) return false;
  std::size_t count = Le16(&bytes[4]);
  if (count == 0 || 6 + count * 16 > bytes.size()) return false;
  int want = size > 0 ? size : 32;
  if (want > 1024) return false;
  long best = -1;
  long best_score = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &bytes[6 + i * 16];
    int w = e[0] ? e[0] : 256;
    int bits = cursor ? 32 : Le16(e + 6);
    // Closest size first, then colour depth.
    long score = std::labs(static_cast<long>(w - want)) * 1000 - bits;
    if (best < 0 || score < best_score) {
      best = static_cast<long>(i);
      best_score = score;
    }
  }
  const std::uint8_t* e = &bytes[6 + static_cast<std::size_t>(best) * 16];
  std::uint32_t length = Le32(e + 8), offset = Le32(e + 12);
  if (offset > bytes.size() || length > bytes.size() - offset) return false;
  std::span<const std::uint8_t> image = bytes.subspan(offset, length);
  RgbaImage decoded;
  if (image.size() >= 8 && image[0] == 0x89 && image[1] == 'P') {
    std::vector<RgbaImage> png = DecodePng(image);
    if (png.empty()) return false;
    decoded = std::move(png[0]);
  } else if (!DecodeDib(image, true, decoded)) {
    return false;
  }
  if (hot_spot) *hot_spot = POINT{Le16(e + 4), Le16(e + 6)};
  unsigned target = static_cast<unsigned>(want);
  out = (decoded.width == target && decoded.height == target) ? std::move(decoded) : ScaleNearest(decoded, target, target);
  return true;
}

std::vector<int> IconFileSizes(std::span<const std::uint8_t> bytes) {
  std::vector<int> sizes;
  if (bytes.size() < 6 || Le16(&bytes[0]) != 0 || Le16(&bytes[2]) != 1) return sizes;
  const std::size_t count = Le16(&bytes[4]);
  if (6 + count * 16 > bytes.size()) return sizes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &bytes[6 + i * 16];
    const int width = e[0] ? e[0] : 256, height = e[1] ? e[1] : 256;
    if (width == height && std::find(sizes.begin(), sizes.end(), width) == sizes.end()) sizes.push_back(width);
  }
  std::sort(sizes.rbegin(), sizes.rend());
  return sizes;
}

}  // namespace LOOM
