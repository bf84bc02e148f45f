#include "platform/ui/sys_colors.h"

namespace platform {

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
    case COLOR_HIGHLIGHTTEXT:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
      return RGB(0, 120, 215);
    case COLOR_BTNFACE:
      return RGB(240, 240, 240);
    case COLOR_GRAYTEXT:
      return RGB(109, 109, 109);
    default:
      return RGB(0, 0, 0);
  }
}

}  // namespace platform
