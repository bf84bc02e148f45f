// The system colours: the platform's own scheme.
#include "platform/ui/sys_colors.h"

namespace platform {

COLORREF GetSysColor(int index) { return ::GetSysColor(index); }

}  // namespace platform
