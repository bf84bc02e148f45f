// The platform's own report of its version. The extended query of the kernel answers
// truthfully whatever the program's manifest declares.
#include "platform/base/os_version.h"

namespace platform {

bool GetExtendedVersion(OsVersionInfo* info) {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll || !info) return false;
  auto get_version = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (!get_version) return false;
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (get_version(&version) != 0) return false;
  info->major = version.dwMajorVersion;
  info->minor = version.dwMinorVersion;
  info->build = version.dwBuildNumber;
  info->product_type = version.wProductType;
  return true;
}

bool IsWorkstationVersion6() {
  OsVersionInfo info;
  return GetExtendedVersion(&info) && info.major == 6 && info.product_type == VER_NT_WORKSTATION;
}

}  // namespace platform
