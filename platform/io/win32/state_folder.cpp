#include "platform/io/state_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cwchar>

namespace platform {

std::u16string UserStateFolder() {
  if (const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA"); local != nullptr && local[0] != L'\0') {
    return std::u16string(local, local + std::wcslen(local));
  }
  // The variable is the usual way to it; the shell knows the folder without it.
  PWSTR known = nullptr;
  std::u16string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) {
    folder.assign(known, known + std::wcslen(known));
  }
  ::CoTaskMemFree(known);
  return folder;
}

}  // namespace platform
