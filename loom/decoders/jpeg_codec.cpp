// JPEG through libjpeg-turbo, straight into BGRA rows. libjpeg reports fatal errors
// through a callback that must not return; it jumps back here.
#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "decoded_image.h"

namespace LOOM {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}
void OnMessage(j_common_ptr) {}

// Kept free of objects with destructors between setjmp and longjmp.
bool DecodeInto(std::span<const std::uint8_t> bytes, RgbaImage& out) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.output_message = OnMessage;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || !ImageSizeAcceptable(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 4 || !ImageSizeAcceptable(cinfo.output_width, cinfo.output_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  out.width = cinfo.output_width;
  out.height = cinfo.output_height;
  out.rgba.resize(std::size_t{out.width} * out.height * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.rgba.data() + std::size_t{cinfo.output_scanline} * out.width * 4;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

std::vector<RgbaImage> DecodeJpeg(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return {};
  std::vector<RgbaImage> out(1);
  if (!DecodeInto(bytes, out[0])) return {};
  return out;
}

}  // namespace LOOM
