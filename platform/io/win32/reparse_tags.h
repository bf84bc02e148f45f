// Which reparse points count as links. A symbolic link or a mount point (a junction)
// names another place, which may lie outside the install directory: it is never
// followed, and is replaced where a file or folder must be. Every other tag marks a
// file or folder that a filter driver keeps data for (cloud placeholders such as
// OneDrive's Files-On-Demand, deduplicated files, and tags yet to come): those are the
// user's files as any other, and removing one as a link would delete it, and the
// synchroniser would then delete it in the cloud as well.
#pragma once

#include <windows.h>

namespace platform::win32 {

constexpr bool IsLinkReparseTag(DWORD tag) {
  return tag == static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK) || tag == static_cast<DWORD>(IO_REPARSE_TAG_MOUNT_POINT);
}

}  // namespace platform::win32
