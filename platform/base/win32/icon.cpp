// Icons and cursors are the platform's own handles. Those made from pixels keep their
// pixels beside the handle; for any other icon (one loaded from resources) the pixels
// are read back from the handle the first time they are asked for.
#include "platform/base/icon.h"

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

constexpr int kMaxIconSide = 1024;
constexpr std::array kSystemCursorIds = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                                         32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};

struct IconRecord {
  IconImage image;
  std::vector<std::uint32_t> pixels;
  std::vector<HICON> other_sizes;  // handles of their own, destroyed with this icon
};

struct IconTable {
  std::mutex mutex;
  std::unordered_map<HICON, std::unique_ptr<IconRecord>> records;
};
IconTable& Icons() {
  static IconTable table;
  return table;
}

int SystemCursorId(HICON icon) {
  for (int id : kSystemCursorIds) {
    if (icon == ::LoadCursorW(nullptr, MAKEINTRESOURCEW(id))) return id;
  }
  return 0;
}

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

std::uint32_t Premultiplied(std::uint32_t straight) {
  const std::uint32_t a = straight >> 24;
  if (a == 0) return 0;
  auto channel = [&](int shift) { return (((straight >> shift) & 0xFF) * a / 255) << shift; };
  return (a << 24) | channel(16) | channel(8) | channel(0);
}

std::uint32_t Straight(std::uint32_t premultiplied) {
  const std::uint32_t a = premultiplied >> 24;
  if (a == 0) return 0;
  auto channel = [&](int shift) {
    const std::uint32_t c = (((premultiplied >> shift) & 0xFF) * 255 + a / 2) / a;
    return (c > 255 ? 255u : c) << shift;
  };
  return (a << 24) | channel(16) | channel(8) | channel(0);
}

// The pixels of an icon of the platform, premultiplied: its colour bitmap with its
// alpha, or, for an icon without alpha, its colour where the mask lets it show.
std::unique_ptr<IconRecord> ReadIcon(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return nullptr;
  auto record = std::make_unique<IconRecord>();
  BITMAP mask{};
  ::GetObjectW(info.hbmMask, sizeof(mask), &mask);
  const int width = mask.bmWidth;
  const int height = info.hbmColor ? mask.bmHeight : mask.bmHeight / 2;  // a monochrome icon stacks two masks
  HDC screen = ::GetDC(nullptr);
  bool read = width > 0 && height > 0;
  if (read) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    record->pixels.assign(count, 0);
    std::vector<std::uint32_t> and_mask(count, 0);
    BITMAPINFO bits = TopDown32(width, height);
    if (info.hbmColor) {
      read = ::GetDIBits(screen, info.hbmColor, 0, height, record->pixels.data(), &bits, DIB_RGB_COLORS) == height;
    }
    bits = TopDown32(width, height);
    ::GetDIBits(screen, info.hbmMask, 0, height, and_mask.data(), &bits, DIB_RGB_COLORS);
    bool has_alpha = false;
    for (std::uint32_t p : record->pixels) has_alpha = has_alpha || (p >> 24) != 0;
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t p = record->pixels[i];
      if (!has_alpha) p = (and_mask[i] & 0xFFFFFF) ? 0 : (p | 0xFF000000u);
      record->pixels[i] = Premultiplied(p);
    }
  }
  ::ReleaseDC(nullptr, screen);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  if (!read) return nullptr;
  record->image.width = width;
  record->image.height = height;
  if (!info.fIcon) record->image.hot_spot = POINT{static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
  record->image.pixels = record->pixels;
  return record;
}

}  // namespace

HICON CreateIconFromPixels(int width, int height, std::span<const std::uint32_t> bgra, bool is_cursor,
                           POINT hot_spot) {
  if (width <= 0 || height <= 0 || width > kMaxIconSide || height > kMaxIconSide) return nullptr;
  if (bgra.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return nullptr;
  // The platform's icons carry straight alpha; the toolkit's pixels are premultiplied.
  const BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP color = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < bgra.size(); ++i) out[i] = Straight(bgra[i]);
  HBITMAP mask = ::CreateBitmap(width, height, 1, 1, nullptr);
  ICONINFO icon_info{};
  icon_info.fIcon = is_cursor ? FALSE : TRUE;
  icon_info.xHotspot = is_cursor ? static_cast<DWORD>(hot_spot.x) : 0;
  icon_info.yHotspot = is_cursor ? static_cast<DWORD>(hot_spot.y) : 0;
  icon_info.hbmMask = mask;
  icon_info.hbmColor = color;
  HICON icon = mask ? ::CreateIconIndirect(&icon_info) : nullptr;
  ::DeleteObject(color);
  if (mask) ::DeleteObject(mask);
  if (!icon) return nullptr;

  auto record = std::make_unique<IconRecord>();
  record->pixels.assign(bgra.begin(), bgra.end());
  record->image.width = width;
  record->image.height = height;
  record->image.hot_spot = is_cursor ? hot_spot : POINT{};
  record->image.pixels = record->pixels;
  std::lock_guard lock(Icons().mutex);
  Icons().records[icon] = std::move(record);
  return icon;
}

bool DestroyIcon(HICON icon) {
  if (icon == nullptr || SystemCursorId(icon) != 0) return false;
  std::vector<HICON> other_sizes;
  {
    std::lock_guard lock(Icons().mutex);
    auto& records = Icons().records;
    if (auto it = records.find(icon); it != records.end()) {
      other_sizes = std::move(it->second->other_sizes);
      records.erase(it);
    }
  }
  for (HICON other : other_sizes) platform::DestroyIcon(other);
  return ::DestroyIcon(icon) != FALSE;
}

bool AddIconSize(HICON icon, int width, int height, std::span<const std::uint32_t> bgra) {
  if (icon == nullptr || SystemCursorId(icon) != 0 || GetIconImage(icon) == nullptr) return false;
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return false;
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (!info.fIcon) return false;  // a cursor has one size
  HICON extra = CreateIconFromPixels(width, height, bgra);
  if (extra == nullptr) return false;
  std::lock_guard lock(Icons().mutex);
  auto it = Icons().records.find(icon);
  if (it == Icons().records.end()) {
    ::DestroyIcon(extra);
    return false;
  }
  it->second->other_sizes.push_back(extra);
  return true;
}

std::vector<const IconImage*> IconSizes(HICON icon) {
  std::vector<const IconImage*> sizes;
  const IconImage* own = GetIconImage(icon);
  if (own == nullptr) return sizes;
  sizes.push_back(own);
  std::vector<HICON> others;
  {
    std::lock_guard lock(Icons().mutex);
    if (auto it = Icons().records.find(icon); it != Icons().records.end()) others = it->second->other_sizes;
  }
  for (HICON other : others) {
    if (const IconImage* image = GetIconImage(other)) sizes.push_back(image);
  }
  return sizes;
}

HCURSOR LoadSystemCursor(int id) {
  for (int known : kSystemCursorIds) {
    if (known == id) return ::LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
  }
  return nullptr;
}

const IconImage* GetIconImage(HICON icon) {
  if (icon == nullptr) return nullptr;
  std::lock_guard lock(Icons().mutex);
  auto& records = Icons().records;
  if (auto it = records.find(icon); it != records.end()) return &it->second->image;
  std::unique_ptr<IconRecord> record;
  if (const int id = SystemCursorId(icon)) {
    record = std::make_unique<IconRecord>();
    record->image.system_cursor_id = id;
  } else {
    record = ReadIcon(icon);
  }
  if (!record) return nullptr;
  return &(records[icon] = std::move(record))->image;
}

}  // namespace platform
