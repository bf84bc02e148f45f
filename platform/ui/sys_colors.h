// The system colours by the platform's indices. There is no desktop colour scheme to
// follow here, so they are the platform's default scheme.
#pragma once

#include "platform/base/win_types.h"

#ifndef _WIN32
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_GRAYTEXT = 17;
#endif

namespace platform {

// 0x00BBGGRR; black for an index without a colour.
COLORREF GetSysColor(int index);

}  // namespace platform
