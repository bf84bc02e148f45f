// Installed font faces, through fontconfig, with the project's aliases applied
// (res/fonts/loom-fonts.conf: "微软雅黑" and "宋体" resolve to the installed CJK font).
#pragma once

#include <string_view>

typedef struct _FcConfig FcConfig;

namespace platform {

// The fontconfig configuration the toolkit draws with: the system's, plus the project's
// aliases. Made once per process on first use; never null after a successful init.
FcConfig* ToolkitFontConfig();
// True when a font of this face is installed, or the face is an alias that resolves
// to an installed font before any generic fallback.
bool FontFaceInstalled(std::u16string_view face);

}  // namespace platform
