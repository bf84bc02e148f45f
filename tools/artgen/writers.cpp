#include "writers.h"

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "palette.h"

namespace artgen {
namespace {

struct Pixel {
  int r, g, b, a;  // straight (not premultiplied) 0..255
};

Pixel PixelAt(cairo_surface_t* s, int x, int y) {
  const unsigned char* row = cairo_image_surface_get_data(s) + static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
  std::uint32_t v;
  std::memcpy(&v, row + 4 * x, 4);
  int a = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32 ? static_cast<int>(v >> 24) : 255;
  auto channel = [&](int shift) {
    int c = static_cast<int>((v >> shift) & 255);
    return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a);
  };
  return Pixel{channel(16), channel(8), channel(0), a};
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 255));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 255));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A device-independent bitmap as icon files store it: header with the doubled height,
// palette, bottom-up colour rows, then the bottom-up AND mask (1 = transparent).
std::vector<std::uint8_t> EncodeIconDib(cairo_surface_t* s, int bits) {
  const int size = cairo_image_surface_get_width(s);
  const int colours = bits == 4 ? 16 : bits == 8 ? 256 : 0;
  const int row_bytes = ((size * bits + 31) / 32) * 4;
  const int mask_row_bytes = ((size + 31) / 32) * 4;
  std::vector<std::uint8_t> out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(size));
  Put32(out, static_cast<std::uint32_t>(size * 2));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0);  // BI_RGB
  Put32(out, static_cast<std::uint32_t>((row_bytes + mask_row_bytes) * size));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(colours));
  Put32(out, 0);
  auto palette_entry = [&](const PaletteColour& c) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  };
  if (bits == 4)
    for (const auto& c : StandardPalette16()) palette_entry(c);
  if (bits == 8)
    for (const auto& c : Palette256()) palette_entry(c);

  for (int y = size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(row_bytes), 0);
    for (int x = 0; x < size; ++x) {
      Pixel p = PixelAt(s, x, y);
      if (bits == 32) {
        row[4 * x] = static_cast<std::uint8_t>(p.b);
        row[4 * x + 1] = static_cast<std::uint8_t>(p.g);
        row[4 * x + 2] = static_cast<std::uint8_t>(p.r);
        row[4 * x + 3] = static_cast<std::uint8_t>(p.a);
        continue;
      }
      // Palette images have no alpha: half-covered pixels are blended on black, the
      // rest are left to the mask.
      int index = 0;
      if (p.a >= 128) {
        index = bits == 4 ? Nearest(StandardPalette16(), p.r, p.g, p.b) : Nearest(Palette256(), p.r, p.g, p.b);
      }
      if (bits == 8) row[x] = static_cast<std::uint8_t>(index);
      else row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(mask_row_bytes), 0);
    for (int x = 0; x < size; ++x) {
      if (PixelAt(s, x, y).a < 128) mask[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), mask.begin(), mask.end());
  }
  return out;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace

// Written with libpng rather than cairo, which stores an opaque ARGB32 picture as RGB:
// every picture of an alpha surface stays 8-bit RGBA, as the package lists them.
std::vector<std::uint8_t> EncodePng(const Surface& surface) {
  cairo_surface_t* s = surface.get();
  cairo_surface_flush(s);
  const bool alpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
  const int width = cairo_image_surface_get_width(s), height = cairo_image_surface_get_height(s);
  std::vector<std::uint8_t> bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot encode a PNG");
  }
  png_set_write_fn(
      png, &bytes,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        out->insert(out->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  const int channels = alpha ? 4 : 3;
  std::vector<png_byte> row(static_cast<std::size_t>(width) * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Pixel p = PixelAt(s, x, y);
      png_byte* out = &row[static_cast<std::size_t>(x) * channels];
      out[0] = static_cast<png_byte>(p.r);
      out[1] = static_cast<png_byte>(p.g);
      out[2] = static_cast<png_byte>(p.b);
      if (alpha) out[3] = static_cast<png_byte>(p.a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

void WritePng(const Surface& surface, const std::string& path) { WriteBytes(path, EncodePng(surface)); }

void WriteJpeg(const Surface& surface, const std::string& path, int quality) {
  cairo_surface_t* s = surface.get();
  cairo_surface_flush(s);
  const int width = cairo_image_surface_get_width(s);
  const int height = cairo_image_surface_get_height(s);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  // Full-resolution chroma keeps the thin gold lines and small text clean.
  info.comp_info[0].h_samp_factor = 1;
  info.comp_info[0].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Pixel p = PixelAt(s, x, y);
      // Flatten on black (premultiplied colour is exactly that).
      row[3 * x] = static_cast<JSAMPLE>(p.r * p.a / 255);
      row[3 * x + 1] = static_cast<JSAMPLE>(p.g * p.a / 255);
      row[3 * x + 2] = static_cast<JSAMPLE>(p.b * p.a / 255);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
}

void WriteIcon(const std::vector<IconImage>& images, const std::string& path) {
  std::vector<std::vector<std::uint8_t>> blobs;
  for (const IconImage& image : images) {
    cairo_surface_flush(image.surface->get());
    blobs.push_back(image.bits == 0 ? EncodePng(*image.surface) : EncodeIconDib(image.surface->get(), image.bits));
  }
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<unsigned>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = cairo_image_surface_get_width(images[i].surface->get());
    const int bits = images[i].bits == 0 ? 32 : images[i].bits;
    out.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
    out.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
    out.push_back(static_cast<std::uint8_t>(bits == 4 ? 16 : 0));  // colour count
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, static_cast<std::uint32_t>(blobs[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(blobs[i].size());
  }
  for (const auto& blob : blobs) out.insert(out.end(), blob.begin(), blob.end());
  WriteBytes(path, out);
}

}  // namespace artgen
