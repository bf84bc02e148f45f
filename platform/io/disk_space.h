// How much a file system can still take: the bytes the program's user may still write
// there (without the blocks only the administrator may use, within a quota where the
// system reports one). Linux: statvfs. Windows: GetDiskFreeSpaceExW.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// The free space of the file system that holds the path (an existing directory or
// file; "\" counts as a separator); nothing when the system cannot tell.
std::optional<std::uint64_t> FreeDiskSpace(std::u16string_view path);

}  // namespace platform
