// The PNG and animated PNG test pictures, made with zlib.
#include "image_builders.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace LOOM::test {
namespace {

void PutBe32(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}
void PutBe16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v));
}
void Chunk(Bytes& out, const char* type, const Bytes& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, static_cast<std::uint32_t>(crc32(0, out.data() + at, static_cast<uInt>(4 + data.size()))));
}
Bytes Deflate(unsigned w, unsigned h, const std::vector<std::uint8_t>& rgba) {
  Bytes raw;
  for (unsigned y = 0; y < h; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgba.begin() + y * w * 4, rgba.begin() + (y + 1) * w * 4);
  }
  uLongf len = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(len);
  compress(out.data(), &len, raw.data(), static_cast<uLong>(raw.size()));
  out.resize(len);
  return out;
}

}  // namespace

Bytes EncodePng(unsigned w, unsigned h, const std::vector<std::uint8_t>& rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  Bytes out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
  out.resize(size);
  return out;
}

Bytes SolidPng(unsigned w, unsigned h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  std::vector<std::uint8_t> rgba;
  for (unsigned i = 0; i < w * h; ++i) rgba.insert(rgba.end(), {r, g, b, a});
  return EncodePng(w, h, rgba);
}

Bytes AnimatedPng(unsigned w, unsigned h, const std::vector<ApngFrame>& frames) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  PutBe32(ihdr, w);
  PutBe32(ihdr, h);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Bytes actl;
  PutBe32(actl, static_cast<std::uint32_t>(frames.size()));
  PutBe32(actl, 0);
  Chunk(out, "acTL", actl);
  std::uint32_t seq = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    Bytes fctl;
    PutBe32(fctl, seq++);
    PutBe32(fctl, w);
    PutBe32(fctl, h);
    PutBe32(fctl, 0);
    PutBe32(fctl, 0);
    PutBe16(fctl, frames[i].num);
    PutBe16(fctl, frames[i].den);
    fctl.push_back(0);
    fctl.push_back(frames[i].blend);
    Chunk(out, "fcTL", fctl);
    Bytes data = Deflate(w, h, frames[i].rgba);
    if (i == 0) {
      Chunk(out, "IDAT", data);
    } else {
      Bytes fdat;
      PutBe32(fdat, seq++);
      fdat.insert(fdat.end(), data.begin(), data.end());
      Chunk(out, "fdAT", fdat);
    }
  }
  Chunk(out, "IEND", {});
  return out;
}

}  // namespace LOOM::test
