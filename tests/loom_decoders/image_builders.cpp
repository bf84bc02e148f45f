#include "image_builders.h"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h wants FILE and size_t first.
#include <jpeglib.h>

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

Bytes SolidJpeg(unsigned w, unsigned h, std::uint8_t grey) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &mem, &size);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(w * 3, grey);
  while (cinfo.next_scanline < h) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

namespace {
int WriteToVector(GifFileType* gif, const GifByteType* data, int len) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + len);
  return len;
}
}  // namespace

Bytes AnimatedGif(unsigned w, unsigned h, const std::vector<int>& colour_index, const std::vector<int>& delays) {
  Bytes out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &err);
  GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifPutScreenDesc(gif, static_cast<int>(w), static_cast<int>(h), 2, 0, map);
  for (std::size_t i = 0; i < colour_index.size(); ++i) {
    GraphicsControlBlock gcb{};
    gcb.DelayTime = delays[i];
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    std::size_t len = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
    EGifPutImageDesc(gif, 0, 0, static_cast<int>(w), static_cast<int>(h), false, nullptr);
    std::vector<GifPixelType> line(w, static_cast<GifPixelType>(colour_index[i]));
    for (unsigned y = 0; y < h; ++y) EGifPutLine(gif, line.data(), static_cast<int>(w));
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
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
