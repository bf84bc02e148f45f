// What File::Open and InstallRoot::OpenFile share on Windows: the CreateFileW access,
// sharing and disposition of each mode, and the checks a freshly opened handle passes
// before it becomes a File.
#pragma once

#include <string>
#include <string_view>

#include "platform/io/files.h"

namespace platform::win32 {

struct OpenSpec {
  DWORD access = 0;
  DWORD share = 0;
  DWORD disposition = 0;
};

// Reading shares the file with other readers only; writing shares it with nobody. The
// sharing check comes before anything else of the open, so a file another process
// holds fails at once instead of waiting, and a file being written is never read half
// done.
OpenSpec OpenSpecOf(File::Mode mode);

// Refuses anything but a regular file on a disk (a directory, a console, a pipe or a
// device of that name) and empties it for kCreate. False when the handle must not be
// used (the caller closes it).
bool SettleOpened(HANDLE handle, File::Mode mode);

// The system path as a wide path of the platform, "/" turned into "\".
std::wstring WidePath(std::u16string_view path);

inline File::Handle AsFileHandle(HANDLE handle) { return reinterpret_cast<File::Handle>(handle); }
inline HANDLE AsHandle(File::Handle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace platform::win32
