// The wide text of the platform's calls (WCHAR: wchar_t on Windows, char16_t on Linux)
// holds the same UTF-16 code units as the system's own char16_t text.
#pragma once

#include "platform/base/win_types.h"

inline const WCHAR* AsWideText(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }
inline WCHAR* AsWideText(char16_t* text) { return reinterpret_cast<WCHAR*>(text); }
inline const char16_t* AsU16Text(const WCHAR* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* AsU16Text(WCHAR* text) { return reinterpret_cast<char16_t*>(text); }
