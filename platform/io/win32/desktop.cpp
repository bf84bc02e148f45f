// The desktop folder through SHGetSpecialFolderPathW and the launcher shortcut as a
// shell link (IShellLinkW, saved through IPersistFile).
#include "platform/io/desktop.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace platform {
namespace {

// COM for the calling thread for the scope; a thread that already has it in another
// mode keeps it (and is not uninitialised here).
class ComScope {
 public:
  ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// One interface pointer, released at the end of the scope.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  void** out() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  return slash == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, slash);
}

}  // namespace

std::u16string DesktopDirectory() {
  wchar_t folder[MAX_PATH] = {};
  if (::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE) == 0) return {};
  std::wstring path = folder;
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return {path.begin(), path.end()};
}

std::u16string ShortcutFileName(std::u16string_view name) { return std::u16string(name) + u".lnk"; }

// The link is saved under a name of its own beside the shortcut and moved over it, so
// that the desktop never shows half a link. Its working folder is the launcher's (the
// install directory): the game finds its files from there.
bool CreateShortcut(std::u16string_view target, std::u16string_view shortcut_path, std::u16string_view description) {
  const ComScope com;
  if (!com.usable()) return false;
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out()))) {
    return false;
  }
  std::wstring wide_target = Wide(target);
  for (wchar_t& c : wide_target) c = c == L'/' ? L'\\' : c;
  if (FAILED(link->SetPath(wide_target.c_str())) || FAILED(link->SetDescription(Wide(description).c_str())) ||
      FAILED(link->SetWorkingDirectory(FolderOf(wide_target).c_str()))) {
    return false;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;
  std::wstring destination = Wide(shortcut_path);
  for (wchar_t& c : destination) c = c == L'/' ? L'\\' : c;
  const std::wstring temporary = destination + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  if (FAILED(file->Save(temporary.c_str(), TRUE))) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  if (::MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
