// The shell's folder picker: SHBrowseForFolderW, owned by the caller's window (the shell
// runs it as a modal dialog, disabling the owner and pumping the thread's messages), then
// the folder's file-system path through SHGetPathFromIDListW.
#include "platform/shell/folder_picker.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

namespace platform {
namespace {

// File-system folders only, an edit box, the new dialog style.
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
static_assert(kBrowseFlags == 0x51);

struct ItemIdList {
  PIDLIST_ABSOLUTE list = nullptr;
  ~ItemIdList() { ::CoTaskMemFree(list); }
};

}  // namespace

FolderPick BrowseForFolder(HWND owner, std::u16string_view title) {
  std::wstring title_text(reinterpret_cast<const wchar_t*>(title.data()), title.size());
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title_text.c_str();
  info.ulFlags = kBrowseFlags;

  ItemIdList chosen{::SHBrowseForFolderW(&info)};
  if (!chosen.list) return {FolderPick::Outcome::kCancelled, {}};
  wchar_t path[MAX_PATH + 1]{};
  if (!::SHGetPathFromIDListW(chosen.list, path) || path[0] == L'\0') {
    // A virtual folder (no file-system path) cannot be installed into.
    return {FolderPick::Outcome::kCancelled, {}};
  }
  std::size_t length = std::wcslen(path);
  // "C:\" keeps its backslash, as the root; any other folder has none at the end.
  while (length > 3 && path[length - 1] == L'\\') --length;
  return {FolderPick::Outcome::kChosen, std::u16string(reinterpret_cast<const char16_t*>(path), length)};
}

}  // namespace platform
