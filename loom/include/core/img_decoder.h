// Image decoding: a decoder factory turns encoded bytes into a decoded image of one
// or more frames, each 32-bit premultiplied BGRA, top row first.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/obj_ref.h"
#include "platform/base/win_types.h"

namespace LOOM {

struct IBitmap;

// Formats a bitmap can be saved in.
enum ImageFormat : int { kImagePng = 1, kImageJpeg = 2, kImageBmp = 3 };

struct IImgFrame {
  virtual ~IImgFrame() = default;
  // False when the frame has no pixels.
  virtual bool Size(UINT* width, UINT* height) const = 0;
  // Copies the whole frame; succeeds only when size == width * height * 4.
  virtual bool CopyFramePixels(const RECT* rc, UINT stride, UINT size, BYTE* buffer) const = 0;
  virtual int Delay() const = 0;
};

struct IImgX : IObjRef {
  // Each load returns the number of frames decoded, 0 on failure.
  virtual int LoadMemory(const void* data, std::size_t size) = 0;
  virtual int LoadFileNarrow(const char* path) = 0;
  virtual int LoadFile(std::u16string_view path) = 0;
  virtual UINT FrameCount() const = 0;
  virtual const IImgFrame* Frame(UINT index) const = 0;

 protected:
  ~IImgX() = default;
};

struct IImgDecoderFactory : IObjRef {
  // A new empty image with one reference; returns 1.
  virtual int NewImage(IImgX** out) = 0;
  virtual HRESULT SaveBitmap(const IBitmap* bitmap, std::u16string_view path, int format) = 0;
  virtual std::u16string_view Description() const = 0;

 protected:
  ~IImgDecoderFactory() = default;
};

// The decoder factory for a name ("imgdecoder-wic", "imgdecoder-stb", "imgdecoder-png",
// "imgdecoder-gdip", compared exactly in that order). nullptr for any other name and
// for "imgdecoder-wic", which has no platform component here.
IImgDecoderFactory* NewImgDecoderFactory(std::u16string_view name);

// Largest image a decoder accepts (per side and in total); larger declarations are
// refused before any pixel buffer is allocated.
inline constexpr unsigned kMaxDecodedSide = 16384;
inline constexpr unsigned long long kMaxDecodedPixels = 1ull << 24;

}  // namespace LOOM
