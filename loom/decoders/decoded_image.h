// The decoded images and frames every decoder hands out: frames own a premultiplied
// BGRA buffer; images own their frames. Decoders fill RgbaImage values (straight,
// not premultiplied RGBA) and convert at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/img_decoder.h"

namespace LOOM {

// A straight (not premultiplied) RGBA picture as decoders produce it.
struct RgbaImage {
  unsigned width = 0;
  unsigned height = 0;
  int delay = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4
};

// Whether a declared size is acceptable before allocating for it.
bool ImageSizeAcceptable(unsigned long long width, unsigned long long height);

// Straight RGBA to premultiplied BGRA with the truncating rule: alpha 0 gives four
// zero bytes, otherwise each colour becomes colour * alpha / 255.
void PremultiplyRgbaToBgra(const std::uint8_t* rgba, std::uint8_t* bgra, std::size_t pixels);
// Straight BGRA to premultiplied BGRA, in place.
void PremultiplyBgraInPlace(std::uint8_t* bgra, std::size_t pixels);
// Premultiplied BGRA back to straight RGBA (for encoders).
void UnpremultiplyBgraToRgba(const std::uint8_t* bgra, std::uint8_t* rgba, std::size_t pixels);

class SImgFrame final : public IImgFrame {
 public:
  SImgFrame(unsigned width, unsigned height, int delay, std::vector<std::uint8_t> bgra)
      : width_(width), height_(height), delay_(delay), pixels_(std::move(bgra)) {}
  bool Size(UINT* width, UINT* height) const override;
  bool CopyFramePixels(const RECT* rc, UINT stride, UINT size, BYTE* buffer) const override;
  int Delay() const override { return delay_; }
  std::span<const std::uint8_t> Pixels() const { return pixels_; }

 private:
  unsigned width_;
  unsigned height_;
  int delay_;
  std::vector<std::uint8_t> pixels_;
};

// Decodes bytes into straight RGBA frames; empty on failure.
using DecodeFn = std::vector<RgbaImage> (*)(std::span<const std::uint8_t> bytes);

class SImgX final : public TObjRefImpl<IImgX> {
 public:
  explicit SImgX(DecodeFn decode) : decode_(decode) {}
  int LoadMemory(const void* data, std::size_t size) override;
  int LoadFileNarrow(const char* path) override;
  int LoadFile(std::u16string_view path) override;
  UINT FrameCount() const override { return static_cast<UINT>(frames_.size()); }
  const IImgFrame* Frame(UINT index) const override {
    return index < frames_.size() ? frames_[index].get() : nullptr;
  }

 private:
  DecodeFn decode_;
  std::vector<std::unique_ptr<SImgFrame>> frames_;
};

// A factory whose images decode with one decoding function.
template <DecodeFn Decode>
class SDecoderFactory : public TObjRefImpl<IImgDecoderFactory> {
 public:
  int NewImage(IImgX** out) override {
    if (!out) return 0;
    *out = new SImgX(Decode);
    return 1;
  }
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(std::u16string_view path, std::vector<std::uint8_t>& out);

// The codecs.
std::vector<RgbaImage> DecodePng(std::span<const std::uint8_t> bytes);      // first image only
std::vector<RgbaImage> DecodeApng(std::span<const std::uint8_t> bytes);     // every frame, composed
std::vector<RgbaImage> DecodeJpeg(std::span<const std::uint8_t> bytes);
std::vector<RgbaImage> DecodeGif(std::span<const std::uint8_t> bytes);      // every frame, ms delays
std::vector<RgbaImage> DecodeBmpFile(std::span<const std::uint8_t> bytes);  // "BM" files
std::vector<RgbaImage> DecodeStb(std::span<const std::uint8_t> bytes);
// A device-independent bitmap as stored in icon files (header, palette, colour bits and,
// when with_mask, the 1-bit AND mask; the header's height counts both).
bool DecodeDib(std::span<const std::uint8_t> bytes, bool with_mask, RgbaImage& out);
// The platform's decoders: GDI+ and the imaging component on Windows; on Linux a
// stand-in for GDI+ over the codecs above, and no imaging component (nullptr).
IImgDecoderFactory* NewGdipDecoderFactory();
IImgDecoderFactory* NewWicDecoderFactory();
// Encodes a bitmap as a PNG file (the PNG decoder's and the stand-in's saving).
HRESULT SaveAsPng(const IBitmap* bitmap, std::u16string_view path, int format);

// Writes straight RGBA as PNG.
bool EncodePngFile(const std::string& path, unsigned width, unsigned height, const std::uint8_t* rgba);

}  // namespace LOOM
