#include "platform/io/disk_space.h"

#include <sys/statvfs.h>

#include "platform/io/files.h"

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(std::u16string_view path) {
  if (path.empty()) return std::nullopt;
  struct statvfs info {};
  if (::statvfs(NativePath(path).c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
}

}  // namespace platform
