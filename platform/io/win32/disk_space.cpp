#include "platform/io/disk_space.h"

#include <windows.h>

#include "platform/io/win32/open_checks.h"

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(std::u16string_view path) {
  if (path.empty()) return std::nullopt;
  // The call takes a directory; for a file its folder tells the same.
  ULARGE_INTEGER available{};
  std::wstring wide = win32::WidePath(path);
  if (::GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr) != 0) return available.QuadPart;
  const std::size_t separator = wide.find_last_of(L'\\');
  if (separator == std::wstring::npos) return std::nullopt;
  wide.resize(separator + 1);
  if (::GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr) == 0) return std::nullopt;
  return available.QuadPart;
}

}  // namespace platform
