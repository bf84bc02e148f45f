// PNG through libpng's simplified API. Debian's libpng has no animated-PNG support, so
// animated pictures are read from their chunks here: every frame is rebuilt as a
// stand-alone PNG (the header with the frame's size, the shared ancillary chunks, the
// frame's data as IDAT) and decoded by libpng, then composed onto the canvas.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "decoded_image.h"

namespace LOOM {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

struct Chunk {
  std::uint32_t type;
  std::span<const std::uint8_t> data;
};

constexpr std::uint32_t Tag(const char (&s)[5]) {
  return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
         (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

// Splits the chunk stream; false when a chunk runs past the end.
bool ReadChunks(std::span<const std::uint8_t> bytes, std::vector<Chunk>& chunks) {
  std::size_t pos = 8;
  while (pos + 12 <= bytes.size()) {
    std::uint32_t len = Be32(&bytes[pos]);
    if (len > bytes.size() - pos - 12) return false;
    chunks.push_back({Be32(&bytes[pos + 4]), bytes.subspan(pos + 8, len)});
    if (chunks.back().type == Tag("IEND")) return true;
    pos += 12 + std::size_t{len};
  }
  return !chunks.empty();
}

void AppendChunk(std::vector<std::uint8_t>& out, std::uint32_t type, std::span<const std::uint8_t> data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t type_at = out.size();
  PutBe32(out, type);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, out.data() + type_at, static_cast<uInt>(4 + data.size()));
  PutBe32(out, static_cast<std::uint32_t>(crc));
}

bool DecodeWithLibpng(std::span<const std::uint8_t> bytes, RgbaImage& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  if (!ImageSizeAcceptable(image.width, image.height)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  out.width = image.width;
  out.height = image.height;
  out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    out.rgba.clear();
    return false;
  }
  return true;
}

struct FrameControl {
  std::uint32_t width = 0, height = 0, x = 0, y = 0;
  std::uint16_t delay_num = 0, delay_den = 0;
  std::uint8_t dispose = 0, blend = 0;
};

int DelayHundredths(std::uint16_t n, std::uint16_t d) {
  if (d == 0 || d == 100) return n;
  if (d == 10) return n * 10;
  if (d == 1000) return n / 10;
  return n * 100 / d;
}

void Compose(RgbaImage& canvas, const RgbaImage& frame, const FrameControl& fc) {
  for (std::uint32_t row = 0; row < fc.height; ++row) {
    std::uint8_t* dst = &canvas.rgba[((fc.y + row) * std::size_t{canvas.width} + fc.x) * 4];
    const std::uint8_t* src = &frame.rgba[row * std::size_t{frame.width} * 4];
    if (fc.blend == 0) {
      std::memcpy(dst, src, std::size_t{fc.width} * 4);
      continue;
    }
    for (std::uint32_t col = 0; col < fc.width; ++col, dst += 4, src += 4) {
      unsigned a = src[3];
      for (int c = 0; c < 4; ++c) dst[c] = static_cast<std::uint8_t>((src[c] * a + dst[c] * (255 - a)) >> 8);
    }
  }
}

void ClearRegion(RgbaImage& canvas, const FrameControl& fc) {
  for (std::uint32_t row = 0; row < fc.height; ++row)
    std::memset(&canvas.rgba[((fc.y + row) * std::size_t{canvas.width} + fc.x) * 4], 0, std::size_t{fc.width} * 4);
}

}  // namespace

std::vector<RgbaImage> DecodePng(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return {};
  RgbaImage img;
  if (!DecodeWithLibpng(bytes, img)) return {};
  std::vector<RgbaImage> out;
  out.push_back(std::move(img));
  return out;
}

std::vector<RgbaImage> DecodeApng(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return {};
  std::vector<Chunk> chunks;
  if (!ReadChunks(bytes, chunks) || chunks.front().type != Tag("IHDR") || chunks.front().data.size() != 13)
    return {};
  bool animated = std::any_of(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.type == Tag("acTL"); });
  if (!animated) return DecodePng(bytes);

  std::span<const std::uint8_t> ihdr = chunks.front().data;
  std::uint32_t canvas_w = Be32(&ihdr[0]), canvas_h = Be32(&ihdr[4]);
  if (!ImageSizeAcceptable(canvas_w, canvas_h)) return {};

  // Chunks every frame shares: those between the header and the first image data.
  std::vector<Chunk> shared;
  for (std::size_t i = 1; i < chunks.size(); ++i) {
    std::uint32_t t = chunks[i].type;
    if (t == Tag("IDAT") || t == Tag("fdAT") || t == Tag("IEND")) break;
    if (t != Tag("acTL") && t != Tag("fcTL")) shared.push_back(chunks[i]);
  }

  struct PendingFrame {
    FrameControl fc;
    std::vector<std::uint8_t> data;
  };
  std::vector<PendingFrame> frames;
  PendingFrame* current = nullptr;
  for (std::size_t i = 1; i < chunks.size(); ++i) {
    const Chunk& c = chunks[i];
    if (c.type == Tag("fcTL")) {
      if (c.data.size() < 26) return {};
      FrameControl fc;
      fc.width = Be32(&c.data[4]);
      fc.height = Be32(&c.data[8]);
      fc.x = Be32(&c.data[12]);
      fc.y = Be32(&c.data[16]);
      fc.delay_num = Be16(&c.data[20]);
      fc.delay_den = Be16(&c.data[22]);
      fc.dispose = c.data[24];
      fc.blend = c.data[25];
      if (fc.width == 0 || fc.height == 0 || fc.x > canvas_w || fc.y > canvas_h || fc.width > canvas_w - fc.x ||
          fc.height > canvas_h - fc.y)
        return {};
      if (frames.size() * std::uint64_t{canvas_w} * canvas_h >= kMaxDecodedPixels * 2) return {};
      frames.push_back({fc, {}});
      current = &frames.back();
    } else if (c.type == Tag("IDAT") && current) {
      current->data.insert(current->data.end(), c.data.begin(), c.data.end());
    } else if (c.type == Tag("fdAT") && current && c.data.size() >= 4) {
      current->data.insert(current->data.end(), c.data.begin() + 4, c.data.end());
    } else if (c.type == Tag("IDAT") && !current) {
      // The default image is not part of the animation; skip its data.
    }
  }
  if (frames.empty()) return DecodePng(bytes);

  RgbaImage canvas{canvas_w, canvas_h, 0, std::vector<std::uint8_t>(std::size_t{canvas_w} * canvas_h * 4, 0)};
  std::vector<RgbaImage> out;
  for (PendingFrame& f : frames) {
    std::vector<std::uint8_t> png(kSignature, kSignature + 8);
    std::vector<std::uint8_t> header(ihdr.begin(), ihdr.end());
    for (int b = 0; b < 4; ++b) {
      header[b] = static_cast<std::uint8_t>(f.fc.width >> (24 - 8 * b));
      header[4 + b] = static_cast<std::uint8_t>(f.fc.height >> (24 - 8 * b));
    }
    AppendChunk(png, Tag("IHDR"), header);
    for (const Chunk& c : shared) AppendChunk(png, c.type, c.data);
    AppendChunk(png, Tag("IDAT"), f.data);
    AppendChunk(png, Tag("IEND"), {});
    RgbaImage frame;
    if (!DecodeWithLibpng(png, frame) || frame.width != f.fc.width || frame.height != f.fc.height) return {};
    RgbaImage before = f.fc.dispose == 2 ? canvas : RgbaImage{};
    Compose(canvas, frame, f.fc);
    RgbaImage shown = canvas;
    shown.delay = DelayHundredths(f.fc.delay_num, f.fc.delay_den);
    out.push_back(std::move(shown));
    if (f.fc.dispose == 1) ClearRegion(canvas, f.fc);
    else if (f.fc.dispose == 2) canvas = std::move(before);
  }
  return out;
}

bool EncodePngFile(const std::string& path, unsigned width, unsigned height, const std::uint8_t* rgba) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, rgba, 0, nullptr) != 0;
}

}  // namespace LOOM
