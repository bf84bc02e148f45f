// The platform's report of its own version, as its extended version query answers it.
// Some window behaviour of the toolkit differs by platform version (the caption of a
// maximised window, for one).
#pragma once

#include "platform/base/win_types.h"

namespace platform {

#ifndef _WIN32
// Product types of the extended record.
inline constexpr BYTE VER_NT_WORKSTATION = 1;
inline constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
inline constexpr BYTE VER_NT_SERVER = 3;
#endif

struct OsVersionInfo {
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;
  BYTE product_type = 0;
};

// Fills the extended version record; false when only the short record can be read.
// On Windows the kernel's own answer; the Linux layer is no release of the platform
// family and answers false, so code that asks for a particular release takes its
// "other versions" path.
bool GetExtendedVersion(OsVersionInfo* info);

// Major version 6 of the workstation family, the releases whose window manager
// restores a maximised window that is dragged by its caption.
bool IsWorkstationVersion6();

}  // namespace platform
