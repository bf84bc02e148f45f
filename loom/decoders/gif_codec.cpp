// GIF through giflib: every frame composed onto a canvas of the logical screen size
// with the frame's disposal, delays in milliseconds (hundredths below 10 count as 10).
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "decoded_image.h"

namespace LOOM {
namespace {

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buf, int len) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  if (len <= 0) return 0;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(len), r->bytes.size() - r->pos);
  std::memcpy(buf, r->bytes.data() + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* g) const {
    int err = 0;
    DGifCloseFile(g, &err);
  }
};

}  // namespace

std::vector<RgbaImage> DecodeGif(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF", 3) != 0) return {};
  MemoryReader reader{bytes, 0};
  int err = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &err));
  if (!gif) return {};
  unsigned width = static_cast<unsigned>(std::max(0, gif->SWidth));
  unsigned height = static_cast<unsigned>(std::max(0, gif->SHeight));
  if (!ImageSizeAcceptable(width, height)) return {};
  if (DGifSlurp(gif.get()) != GIF_OK || gif->ImageCount <= 0) return {};
  std::size_t frame_count = static_cast<std::size_t>(gif->ImageCount);
  if (frame_count * width * height > kMaxDecodedPixels * 2) return {};

  std::vector<std::uint8_t> canvas(std::size_t{width} * height * 4, 0);
  std::vector<RgbaImage> out;
  for (std::size_t i = 0; i < frame_count; ++i) {
    const SavedImage& frame = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif.get(), static_cast<int>(i), &gcb);
    const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    long fx = frame.ImageDesc.Left, fy = frame.ImageDesc.Top;
    long fw = frame.ImageDesc.Width, fh = frame.ImageDesc.Height;
    std::vector<std::uint8_t> before;
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) before = canvas;
    if (map && frame.RasterBits && fw > 0 && fh > 0) {
      for (long row = 0; row < fh; ++row) {
        long y = fy + row;
        if (y < 0 || y >= static_cast<long>(height)) continue;
        for (long col = 0; col < fw; ++col) {
          long x = fx + col;
          if (x < 0 || x >= static_cast<long>(width)) continue;
          int index = frame.RasterBits[row * fw + col];
          if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
          const GifColorType& c = map->Colors[index];
          std::uint8_t* p = &canvas[(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4];
          p[0] = c.Red;
          p[1] = c.Green;
          p[2] = c.Blue;
          p[3] = 255;
        }
      }
    }
    int delay = frame_count > 1 ? std::max(gcb.DelayTime, 10) * 10 : 0;
    out.push_back({width, height, delay, canvas});
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (long row = std::max(0L, fy); row < std::min<long>(fy + fh, height); ++row)
        for (long col = std::max(0L, fx); col < std::min<long>(fx + fw, width); ++col)
          std::memset(&canvas[(static_cast<std::size_t>(row) * width + static_cast<std::size_t>(col)) * 4], 0, 4);
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      canvas = std::move(before);
    }
  }
  return out;
}

}  // namespace LOOM
