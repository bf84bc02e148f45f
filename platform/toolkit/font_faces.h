// Installed font faces. Linux: through fontconfig, with the project's aliases applied
// (res/fonts/loom-fonts.conf: "微软雅黑" and "宋体" resolve to the installed CJK font).
// Windows: the platform's font enumeration, and the faces of its font substitutes
// table (the test prefix maps the same two names to the CJK font, scripts/wine).
#pragma once

#include <string_view>

typedef struct _FcConfig FcConfig;

namespace platform {

// The fontconfig configuration the toolkit draws with (Linux only): the system's, plus
// the project's aliases. Made once per process on first use; never null after a
// successful init.
FcConfig* ToolkitFontConfig();
// True when a font of this face is installed, or the face is an alias that resolves
// to an installed font before any generic fallback.
bool FontFaceInstalled(std::u16string_view face);

}  // namespace platform
