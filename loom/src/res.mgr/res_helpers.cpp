// Pictures, icons and cursors from resource bytes, shared by the providers.
#include <cstring>
#include <vector>

#include "core/application.h"
#include "core/img_decoder.h"
#include "core/render.h"
#include "core/render_refs.h"
#include "core/res_provider.h"
#include "decoders/icon_file.h"

namespace LOOM {
namespace {

std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

HICON HandleFromImage(const RgbaImage& img, bool cursor, POINT hot_spot) {
  std::size_t pixels = std::size_t{img.width} * img.height;
  std::vector<std::uint32_t> bgra(pixels);
  PremultiplyRgbaToBgra(img.rgba.data(), reinterpret_cast<std::uint8_t*>(bgra.data()), pixels);
  return platform::CreateIconFromPixels(static_cast<int>(img.width), static_cast<int>(img.height), bgra, cursor,
                                        hot_spot);
}

}  // namespace

IBitmap* BitmapFromBytes(const void* data, std::size_t size) {
  SApplication* app = SApplication::Instance();
  if (!app || !app->RenderFactory() || !data || size == 0) return nullptr;
  auto bmp = MakeBitmap(app->RenderFactory());
  if (!bmp || bmp->LoadMemory(data, size) != S_OK) return nullptr;
  return bmp.detach();
}

IImgX* ImageFromBytes(const void* data, std::size_t size) {
  SApplication* app = SApplication::Instance();
  if (!app || !app->RenderFactory() || !data || size == 0) return nullptr;
  auto img = MakeImage(app->RenderFactory()->DecoderFactory());
  if (!img || img->LoadMemory(data, size) == 0) return nullptr;
  return img.detach();
}

HICON IconFromIconFile(const void* data, std::size_t size, int width) {
  RgbaImage img;
  const std::span<const std::uint8_t> bytes{static_cast<const std::uint8_t*>(data), size};
  if (!data || !DecodeIconFile(bytes, width, img)) return nullptr;
  HICON icon = HandleFromImage(img, false, {});
  // The file's other sizes go along, for the desktop's larger and smaller views of it.
  for (int other : IconFileSizes(bytes)) {
    RgbaImage extra;
    if (icon == nullptr || other == static_cast<int>(img.width) || !DecodeIconFile(bytes, other, extra)) continue;
    std::vector<std::uint32_t> bgra(std::size_t{extra.width} * extra.height);
    PremultiplyRgbaToBgra(extra.rgba.data(), reinterpret_cast<std::uint8_t*>(bgra.data()), bgra.size());
    platform::AddIconSize(icon, static_cast<int>(extra.width), static_cast<int>(extra.height), bgra);
  }
  return icon;
}

HCURSOR CursorFromCursorFile(const void* data, std::size_t size) {
  RgbaImage img;
  POINT hot{};
  if (!data || !DecodeIconFile({static_cast<const std::uint8_t*>(data), size}, 32, img, true, &hot)) return nullptr;
  return HandleFromImage(img, true, hot);
}

HCURSOR CursorFromAniFile(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  if (!p || size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "ACON", 4) != 0) return nullptr;
  // Walk the chunks (descending into LIST) to the first "icon" chunk: a cursor file.
  std::size_t pos = 12;
  while (pos + 8 <= size) {
    std::uint32_t len = Le32(p + pos + 4);
    if (std::memcmp(p + pos, "LIST", 4) == 0) {
      pos += 12;
      continue;
    }
    if (len > size - pos - 8) return nullptr;
    if (std::memcmp(p + pos, "icon", 4) == 0) return CursorFromCursorFile(p + pos + 8, len);
    pos += 8 + len + (len & 1);
  }
  return nullptr;
}

bool OpenModuleSource(IResProvider* provider, HINSTANCE module) {
  return provider && provider->OpenSource(reinterpret_cast<UINT_PTR>(module), 0);
}

bool OpenFolderSource(IResProvider* provider, std::u16string_view folder) {
  std::u16string path(folder);
  return provider && provider->OpenSource(reinterpret_cast<UINT_PTR>(path.c_str()), 0);
}

IResProvider* NewResourceProvider(int kind) {
  if (kind == 0) return new SResProviderPE();
  if (kind == 1) return new SResProviderFiles();
  return nullptr;
}

}  // namespace LOOM
