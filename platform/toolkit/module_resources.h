// Resources embedded in a module (the executable). On Windows they are the module's
// resource section (windres compiles the resource list, cmake/KrdnRc.cmake), found
// with FindResourceW. On Linux they stand in for it: the resource compiler
// (tools/rescomp) turns a resource list into a source file that defines this
// module's table, and a module handle (HINSTANCE) points at such a table. Types and
// names are stored upper-case and looked up without regard to case; numeric types
// and names are written "#<number>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace platform {

struct EmbeddedResource {
  const char16_t* type;   // "LAYOUT", "#14" (group icon), ...
  const char16_t* name;   // "XML_MAINWND", "#118", ...
  std::uint16_t language;
  const unsigned char* data;
  std::size_t size;
};

}  // namespace platform

#ifndef _WIN32
struct HINSTANCE__ {
  const platform::EmbeddedResource* entries;
  std::size_t count;
};
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
#endif

namespace platform {

// Standard resource type numbers.
inline constexpr int kRtCursor = 1;
inline constexpr int kRtBitmap = 2;
inline constexpr int kRtIcon = 3;
inline constexpr int kRtGroupCursor = 12;
inline constexpr int kRtGroupIcon = 14;
inline constexpr int kRtAniCursor = 21;
inline constexpr int kRtHtml = 23;

// The handle of the running executable: its embedded table, or an empty one when the
// executable embeds nothing.
HINSTANCE CurrentModule();
// The executable's full path (UTF-16), empty when unknown.
std::u16string ModuleFileName(HINSTANCE module);
// The folder of a file path: cut before its last separator ("/" on Linux, "\" or "/"
// on Windows); a root keeps its separator; empty when the path has none.
std::u16string FolderOfPath(std::u16string_view path);

// Finds a resource by type and name without regard to case (ASCII letters). A numeric
// type is passed as "#<n>". Returns the bytes in place, or an empty span.
std::span<const unsigned char> FindModuleResource(HINSTANCE module, std::u16string_view type,
                                                  std::u16string_view name);
bool HasModuleResource(HINSTANCE module, std::u16string_view type, std::u16string_view name);
std::u16string NumericResourceType(int type);

// The thread's last-error code, as the platform keeps it.
inline constexpr DWORD kErrorInsufficientBuffer = 122;
void SetLastErrorCode(DWORD code);
DWORD LastErrorCode();

}  // namespace platform
