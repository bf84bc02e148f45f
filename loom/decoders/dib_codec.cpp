// Device-independent bitmaps: "BM" files and the colour images of icon files
// (1, 4, 8, 24 and 32 bits per pixel, uncompressed, with the 1-bit AND mask of icons).
#include <cstring>

#include "decoded_image.h"

namespace LOOM {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool DecodeDib(std::span<const std::uint8_t> bytes, bool with_mask, RgbaImage& out) {
  if (bytes.size() < 40) return false;
  std::uint32_t header = Le32(&bytes[0]);
  if (header < 40 || header > bytes.size()) return false;
  std::int32_t w = static_cast<std::int32_t>(Le32(&bytes[4]));
  std::int32_t h_total = static_cast<std::int32_t>(Le32(&bytes[8]));
  std::uint16_t bpp = Le16(&bytes[14]);
  std::uint32_t compression = Le32(&bytes[16]);
  std::uint32_t colors_used = Le32(&bytes[32]);
  bool top_down = h_total < 0;
  long long h_abs = h_total < 0 ? -static_cast<long long>(h_total) : h_total;
  long long h = with_mask ? h_abs / 2 : h_abs;
  if (w <= 0 || h <= 0 || !ImageSizeAcceptable(static_cast<unsigned long long>(w), static_cast<unsigned long long>(h)))
    return false;
  if (compression != 0 && !(compression == 3 && bpp == 32)) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;

  std::size_t palette_count = bpp <= 8 ? (colors_used ? colors_used : (1u << bpp)) : 0;
  if (palette_count > 256) return false;
  std::size_t pos = header + (compression == 3 && header == 40 ? 12 : 0);
  if (pos + palette_count * 4 > bytes.size()) return false;
  const std::uint8_t* palette = &bytes[pos];
  pos += palette_count * 4;

  std::size_t uw = static_cast<std::size_t>(w), uh = static_cast<std::size_t>(h);
  std::size_t stride = ((uw * bpp + 31) / 32) * 4;
  std::size_t mask_stride = ((uw + 31) / 32) * 4;
  if (stride * uh > bytes.size() - pos) return false;
  const std::uint8_t* bits = &bytes[pos];
  const std::uint8_t* mask = nullptr;
  if (with_mask && pos + stride * uh + mask_stride * uh <= bytes.size()) mask = bits + stride * uh;

  out.width = static_cast<unsigned>(uw);
  out.height = static_cast<unsigned>(uh);
  out.rgba.assign(uw * uh * 4, 0);
  bool any_alpha = false;
  for (std::size_t y = 0; y < uh; ++y) {
    std::size_t src_row = top_down ? y : uh - 1 - y;
    const std::uint8_t* row = bits + src_row * stride;
    std::uint8_t* dst = &out.rgba[y * uw * 4];
    for (std::size_t x = 0; x < uw; ++x, dst += 4) {
      if (bpp == 32) {
        dst[0] = row[x * 4 + 2];
        dst[1] = row[x * 4 + 1];
        dst[2] = row[x * 4];
        dst[3] = row[x * 4 + 3];
        any_alpha |= dst[3] != 0;
      } else if (bpp == 24) {
        dst[0] = row[x * 3 + 2];
        dst[1] = row[x * 3 + 1];
        dst[2] = row[x * 3];
        dst[3] = 255;
      } else {
        std::size_t bit = x * bpp;
        unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        if (index < palette_count) {
          dst[0] = palette[index * 4 + 2];
          dst[1] = palette[index * 4 + 1];
          dst[2] = palette[index * 4];
        }
        dst[3] = 255;
      }
    }
  }
  // Without alpha of its own, the AND mask says which pixels are transparent.
  if (mask && !(bpp == 32 && any_alpha)) {
    for (std::size_t y = 0; y < uh; ++y) {
      const std::uint8_t* mrow = mask + (top_down ? y : uh - 1 - y) * mask_stride;
      for (std::size_t x = 0; x < uw; ++x)
        out.rgba[(y * uw + x) * 4 + 3] = ((mrow[x / 8] >> (7 - x % 8)) & 1) ? 0 : 255;
    }
  } else if (bpp == 32 && !any_alpha) {
    for (std::size_t i = 0; i < uw * uh; ++i) out.rgba[i * 4 + 3] = 255;
  }
  return true;
}

std::vector<RgbaImage> DecodeBmpFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return {};
  std::vector<RgbaImage> out(1);
  std::uint32_t bits_at = Le32(&bytes[10]);
  // Re-base the DIB so the colour bits follow the header and palette as DecodeDib expects.
  std::span<const std::uint8_t> dib = bytes.subspan(14);
  std::uint32_t header = Le32(&dib[0]);
  if (header < 40 || header > dib.size()) return {};
  std::uint16_t bpp = Le16(&dib[14]);
  std::uint32_t colors_used = Le32(&dib[32]);
  std::uint32_t compression = Le32(&dib[16]);
  std::size_t palette = bpp <= 8 ? (colors_used ? colors_used : (1u << bpp)) * 4 : (compression == 3 && header == 40 ? 12 : 0);
  std::size_t expected = 14 + header + palette;
  if (bits_at < expected || bits_at > bytes.size()) return {};
  std::vector<std::uint8_t> packed(dib.begin(), dib.begin() + static_cast<std::ptrdiff_t>(header + palette));
  packed.insert(packed.end(), bytes.begin() + bits_at, bytes.end());
  if (!DecodeDib(packed, false, out[0])) return {};
  return out;
}

}  // namespace LOOM
