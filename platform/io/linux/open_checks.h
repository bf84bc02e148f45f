// What File::Open and InstallRoot::OpenFile share: the open flags of each mode, and the
// checks a freshly opened descriptor passes before it becomes a File.
#pragma once

#include "platform/io/files.h"

namespace platform::posix {

// The access and creation flags of a mode (O_CLOEXEC and O_NONBLOCK are the caller's).
int OpenFlags(File::Mode mode);

// Refuses anything but a regular file, takes the mode's lock without waiting, turns
// the descriptor back to blocking I/O and empties it for kCreate. False when the
// descriptor must not be used (the caller closes it).
bool SettleOpened(int fd, File::Mode mode);

}  // namespace platform::posix
