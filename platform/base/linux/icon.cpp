#include "platform/base/icon.h"

#include <array>
#include <memory>
#include <vector>

namespace platform {
namespace {

// Handles point at these; the image's span views the owned pixel vector.
struct IconObject {
  IconImage image;
  std::vector<std::uint32_t> pixels;
  std::vector<std::unique_ptr<IconObject>> other_sizes;
  bool cursor = false;
};

constexpr int kMaxIconSide = 1024;

constexpr std::array kSystemCursorIds = {IDC_ARROW,  IDC_IBEAM,    IDC_WAIT,     IDC_CROSS,  IDC_UPARROW, IDC_SIZE,
                                         IDC_ICON,   IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE, IDC_SIZENS,  IDC_SIZEALL,
                                         IDC_NO,     IDC_HAND,     IDC_APPSTARTING, IDC_HELP};

// The system cursors live as long as the process, like the platform's own.
const std::array<IconObject, kSystemCursorIds.size()>& SystemCursors() {
  static const auto cursors = [] {
    std::array<IconObject, kSystemCursorIds.size()> all{};
    for (std::size_t i = 0; i < all.size(); ++i) all[i].image.system_cursor_id = kSystemCursorIds[i];
    return all;
  }();
  return cursors;
}

bool IsSystemCursor(const IconObject* object) {
  const auto& cursors = SystemCursors();
  return object >= cursors.data() && object < cursors.data() + cursors.size();
}

HICON ToHandle(const IconObject* object) { return reinterpret_cast<HICON>(const_cast<IconObject*>(object)); }
IconObject* FromHandle(HICON icon) { return reinterpret_cast<IconObject*>(icon); }

}  // namespace

HICON CreateIconFromPixels(int width, int height, std::span<const std::uint32_t> bgra, bool is_cursor,
                           POINT hot_spot) {
  if (width <= 0 || height <= 0 || width > kMaxIconSide || height > kMaxIconSide) return nullptr;
  if (bgra.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return nullptr;
  auto object = std::make_unique<IconObject>();
  object->pixels.assign(bgra.begin(), bgra.end());
  object->image.width = width;
  object->image.height = height;
  object->image.hot_spot = is_cursor ? hot_spot : POINT{};
  object->cursor = is_cursor;
  object->image.pixels = object->pixels;
  return ToHandle(object.release());  // owned by the handle until DestroyIcon
}

bool DestroyIcon(HICON icon) {
  IconObject* object = FromHandle(icon);
  if (object == nullptr || IsSystemCursor(object)) return false;
  std::unique_ptr<IconObject> owned(object);
  return true;
}

HCURSOR LoadSystemCursor(int id) {
  const auto& cursors = SystemCursors();
  for (const IconObject& cursor : cursors) {
    if (cursor.image.system_cursor_id == id) return ToHandle(&cursor);
  }
  return nullptr;
}

const IconImage* GetIconImage(HICON icon) {
  const IconObject* object = FromHandle(icon);
  return object == nullptr ? nullptr : &object->image;
}

bool AddIconSize(HICON icon, int width, int height, std::span<const std::uint32_t> bgra) {
  IconObject* object = FromHandle(icon);
  if (object == nullptr || IsSystemCursor(object) || object->cursor) return false;
  HICON extra = CreateIconFromPixels(width, height, bgra);
  if (extra == nullptr) return false;
  object->other_sizes.emplace_back(FromHandle(extra));
  return true;
}

std::vector<const IconImage*> IconSizes(HICON icon) {
  std::vector<const IconImage*> sizes;
  const IconObject* object = FromHandle(icon);
  if (object == nullptr) return sizes;
  sizes.push_back(&object->image);
  for (const auto& other : object->other_sizes) sizes.push_back(&other->image);
  return sizes;
}

}  // namespace platform
