#include "decoded_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/base/utf.h"

namespace LOOM {

bool ImageSizeAcceptable(unsigned long long width, unsigned long long height) {
  return width > 0 && height > 0 && width <= kMaxDecodedSide && height <= kMaxDecodedSide &&
         width * height <= kMaxDecodedPixels;
}

void PremultiplyRgbaToBgra(const std::uint8_t* rgba, std::uint8_t* bgra, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, rgba += 4, bgra += 4) {
    unsigned a = rgba[3];
    if (a == 0) {
      bgra[0] = bgra[1] = bgra[2] = bgra[3] = 0;
      continue;
    }
    bgra[0] = static_cast<std::uint8_t>(rgba[2] * a / 255);
    bgra[1] = static_cast<std::uint8_t>(rgba[1] * a / 255);
    bgra[2] = static_cast<std::uint8_t>(rgba[0] * a / 255);
    bgra[3] = static_cast<std::uint8_t>(a);
  }
}

void PremultiplyBgraInPlace(std::uint8_t* p, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, p += 4) {
    unsigned a = p[3];
    if (a == 255) continue;
    if (a == 0) {
      p[0] = p[1] = p[2] = 0;
      continue;
    }
    p[0] = static_cast<std::uint8_t>(p[0] * a / 255);
    p[1] = static_cast<std::uint8_t>(p[1] * a / 255);
    p[2] = static_cast<std::uint8_t>(p[2] * a / 255);
  }
}

void UnpremultiplyBgraToRgba(const std::uint8_t* bgra, std::uint8_t* rgba, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, bgra += 4, rgba += 4) {
    unsigned a = bgra[3];
    auto un = [a](unsigned c) { return static_cast<std::uint8_t>(a == 0 ? 0 : std::min(255u, (c * 255 + a / 2) / a)); };
    rgba[0] = un(bgra[2]);
    rgba[1] = un(bgra[1]);
    rgba[2] = un(bgra[0]);
    rgba[3] = static_cast<std::uint8_t>(a);
  }
}

bool SImgFrame::Size(UINT* width, UINT* height) const {
  if (pixels_.empty()) return false;
  if (width) *width = width_;
  if (height) *height = height_;
  return true;
}

bool SImgFrame::CopyFramePixels(const RECT*, UINT, UINT size, BYTE* buffer) const {
  if (pixels_.empty() || !buffer || size != pixels_.size()) return false;
  std::memcpy(buffer, pixels_.data(), pixels_.size());
  return true;
}

int SImgX::LoadMemory(const void* data, std::size_t size) {
  frames_.clear();
  if (!data || size == 0) return 0;
  std::vector<RgbaImage> images = decode_({static_cast<const std::uint8_t*>(data), size});
  for (RgbaImage& img : images) {
    std::size_t pixels = static_cast<std::size_t>(img.width) * img.height;
    if (pixels == 0 || img.rgba.size() != pixels * 4) continue;
    std::vector<std::uint8_t> bgra(pixels * 4);
    PremultiplyRgbaToBgra(img.rgba.data(), bgra.data(), pixels);
    frames_.push_back(std::make_unique<SImgFrame>(img.width, img.height, img.delay, std::move(bgra)));
  }
  return static_cast<int>(frames_.size());
}

int SImgX::LoadFileNarrow(const char* path) {
  if (!path) return 0;
  std::u16string wide = platform::Utf8ToUtf16(path);
  if (wide.size() >= 260) return 0;
  return LoadFile(wide);
}

int SImgX::LoadFile(std::u16string_view path) {
  frames_.clear();
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return 0;
  return LoadMemory(bytes.data(), bytes.size());
}

bool ReadWholeFile(std::u16string_view path, std::vector<std::uint8_t>& out) {
  std::ifstream in(platform::PathFromUtf16(path), std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  if (size < 0 || size > (std::streamoff{1} << 30)) return false;
  out.resize(static_cast<std::size_t>(size));
  in.seekg(0);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(out.data()), size));
}

}  // namespace LOOM
