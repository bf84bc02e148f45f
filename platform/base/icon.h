// Icons and cursors as the platform hands them out: opaque handles over a 32-bit
// premultiplied image (blue, green, red, alpha; top row first). The toolkit creates
// them from decoded resources; the window layer shows them (window icons, the mouse
// cursor). A cursor is either one of the system cursors, by its standard id, or an
// image with a hot spot.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/base/win_types.h"

#ifndef _WIN32
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;  // as on the platform, a cursor is an icon with a hot spot

// Standard system cursor ids.
inline constexpr int IDC_ARROW = 32512;
inline constexpr int IDC_IBEAM = 32513;
inline constexpr int IDC_WAIT = 32514;
inline constexpr int IDC_CROSS = 32515;
inline constexpr int IDC_UPARROW = 32516;
inline constexpr int IDC_SIZE = 32640;
inline constexpr int IDC_ICON = 32641;
inline constexpr int IDC_SIZENWSE = 32642;
inline constexpr int IDC_SIZENESW = 32643;
inline constexpr int IDC_SIZEWE = 32644;
inline constexpr int IDC_SIZENS = 32645;
inline constexpr int IDC_SIZEALL = 32646;
inline constexpr int IDC_NO = 32648;
inline constexpr int IDC_HAND = 32649;
inline constexpr int IDC_APPSTARTING = 32650;
inline constexpr int IDC_HELP = 32651;
#endif

namespace platform {

// What an icon or image cursor holds. Pixels stay valid until the handle is destroyed.
struct IconImage {
  int width = 0;
  int height = 0;
  POINT hot_spot{};                      // cursors only
  std::span<const std::uint32_t> pixels;  // width * height, premultiplied BGRA
  int system_cursor_id = 0;              // non-zero for a system cursor (no pixels)
};

// Copies the pixels; returns nullptr for a non-positive or oversized (> 1024) side or
// a pixel span of the wrong length.
HICON CreateIconFromPixels(int width, int height, std::span<const std::uint32_t> bgra, bool is_cursor = false,
                           POINT hot_spot = {});
// Destroys an icon or image cursor made above. System cursors are shared and are never
// destroyed; passing one (or nullptr) returns false and does nothing.
bool DestroyIcon(HICON icon);
// The shared handle of a system cursor, nullptr for an id that is not a system cursor.
HCURSOR LoadSystemCursor(int id);
// nullptr-safe view of a handle's content.
const IconImage* GetIconImage(HICON icon);

// Further sizes of the same icon (the other images of an icon file). A window given the
// icon offers the desktop every size, and the desktop picks what its taskbar, switcher
// or title bar shows. False for a bad image, a cursor or a system cursor.
bool AddIconSize(HICON icon, int width, int height, std::span<const std::uint32_t> bgra);
// The icon's images: its own first, then the added sizes; empty for nullptr.
std::vector<const IconImage*> IconSizes(HICON icon);

}  // namespace platform
