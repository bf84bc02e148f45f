// Window message numbers, with the platform's names and values. The window layer
// extends this list; code above the platform layer uses only these names.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
inline constexpr UINT WM_USER = 0x0400;
#endif
