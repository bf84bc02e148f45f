// The JPEG and GIF test pictures, made with libjpeg-turbo and giflib.
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
// jpeglib.h wants FILE and size_t first.
#include <jpeglib.h>

#include "image_builders.h"

namespace LOOM::test {

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

}  // namespace LOOM::test
