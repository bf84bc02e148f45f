// <windows.h> defines several names of the platform layer's own calls as macros
// (CreateDirectory, GetFileAttributes, SetCurrentDirectory become their "W" forms).
// Headers that declare such calls include this one first: it brings in <windows.h>
// once and takes those macros away, so that every translation unit sees the same
// names whatever it includes before or after. Windows code calls the W forms by name.
#pragma once

#ifdef _WIN32
#include <windows.h>
#undef CreateDirectory
#undef GetFileAttributes
#undef SetCurrentDirectory
#endif
