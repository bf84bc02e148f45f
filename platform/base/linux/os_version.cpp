#include "platform/base/os_version.h"

namespace platform {

bool GetExtendedVersion(OsVersionInfo* info) {
  if (info) *info = OsVersionInfo{};
  return false;
}

bool IsWorkstationVersion6() {
  OsVersionInfo info;
  return GetExtendedVersion(&info) && info.major == 6 && info.product_type == VER_NT_WORKSTATION;
}

}  // namespace platform
