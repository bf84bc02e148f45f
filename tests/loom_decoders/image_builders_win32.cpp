// The JPEG and GIF test pictures on Windows: the JPEG through GDI+'s encoder, the
// animated GIF written here (GDI+ writes no animation): a four-colour palette and
// frames of one index each, compressed with clear codes often enough that every code
// stays nine bits wide.
#include "image_builders.h"

#include <cstring>

#include "platform/base/win_types.h"

#include <objidl.h>
#include <gdiplus.h>

namespace LOOM::test {
namespace {

namespace gdip = Gdiplus::DllExports;

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// LZW codes of 9 bits, least significant bit first, in sub-blocks of up to 255 bytes.
class CodeWriter {
 public:
  void Put(unsigned code) {
    bits_ |= code << count_;
    count_ += 9;
    while (count_ >= 8) {
      data_.push_back(static_cast<std::uint8_t>(bits_ & 0xFF));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  void Finish(Bytes& out) {
    if (count_ > 0) data_.push_back(static_cast<std::uint8_t>(bits_ & 0xFF));
    for (std::size_t i = 0; i < data_.size(); i += 255) {
      const std::size_t n = std::min<std::size_t>(255, data_.size() - i);
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), data_.begin() + static_cast<std::ptrdiff_t>(i), data_.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out.push_back(0);
  }

 private:
  unsigned bits_ = 0;
  int count_ = 0;
  Bytes data_;
};

}  // namespace

Bytes SolidJpeg(unsigned w, unsigned h, std::uint8_t grey) {
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return {};
  Bytes out;
  std::vector<std::uint32_t> pixels(std::size_t{w} * h, 0xFF000000u | grey * 0x010101u);
  Gdiplus::GpBitmap* bitmap = nullptr;
  UINT count = 0, size = 0;
  gdip::GdipGetImageEncodersSize(&count, &size);
  std::vector<std::uint8_t> storage(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
  const GUID jpeg{0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
  const CLSID* encoder = nullptr;
  if (size > 0 && gdip::GdipGetImageEncoders(count, size, encoders) == Gdiplus::Ok) {
    for (UINT i = 0; i < count; ++i)
      if (encoders[i].FormatID == jpeg) encoder = &encoders[i].Clsid;
  }
  IStream* stream = nullptr;
  if (encoder &&
      gdip::GdipCreateBitmapFromScan0(static_cast<INT>(w), static_cast<INT>(h), static_cast<INT>(w * 4), 0x26200A,
                                      reinterpret_cast<BYTE*>(pixels.data()), &bitmap) == Gdiplus::Ok &&
      SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
      gdip::GdipSaveImageToStream(bitmap, stream, encoder, nullptr) == Gdiplus::Ok) {
    HGLOBAL block = nullptr;
    ::GetHGlobalFromStream(stream, &block);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    const auto* bytes = static_cast<const std::uint8_t*>(::GlobalLock(block));
    if (bytes) out.assign(bytes, bytes + stat.cbSize.QuadPart);
    ::GlobalUnlock(block);
  }
  if (stream) stream->Release();
  if (bitmap) gdip::GdipDisposeImage(bitmap);
  Gdiplus::GdiplusShutdown(token);
  return out;
}

Bytes AnimatedGif(unsigned w, unsigned h, const std::vector<int>& colour_index, const std::vector<int>& delays) {
  Bytes out{'G', 'I', 'F', '8', '9', 'a'};
  Put16(out, w);
  Put16(out, h);
  out.insert(out.end(), {0xF1, 0, 0});  // a global table of 4 colours (2 bits)
  out.insert(out.end(), {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
  for (std::size_t i = 0; i < colour_index.size(); ++i) {
    out.insert(out.end(), {0x21, 0xF9, 4, 0});  // graphic control: no disposal, no transparency
    Put16(out, static_cast<unsigned>(delays[i]));
    out.insert(out.end(), {0, 0});
    out.push_back(0x2C);  // image descriptor over the whole canvas
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, w);
    Put16(out, h);
    out.push_back(0);
    out.push_back(8);  // minimum code size: codes start 9 bits wide (clear 256, end 257)
    CodeWriter codes;
    const unsigned total = w * h;
    for (unsigned p = 0; p < total; ++p) {
      if (p % 250 == 0) codes.Put(256);  // before the table would grow past 9 bits
      codes.Put(static_cast<unsigned>(colour_index[i]));
    }
    codes.Put(257);
    codes.Finish(out);
  }
  out.push_back(0x3B);
  return out;
}

}  // namespace LOOM::test
