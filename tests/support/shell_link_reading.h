// Windows only: what the shell link interface (IShellLinkW) reads back from a saved
// .lnk file, so that tests check a shortcut as the desktop would see it.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <optional>
#include <string>

namespace krdn::testing {

struct LinkReading {
  std::wstring target;
  std::wstring working_directory;
  std::wstring description;
};

// Nothing when the file cannot be loaded as a shell link.
inline std::optional<LinkReading> ReadLink(const std::filesystem::path& path) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return std::nullopt;
  std::optional<LinkReading> reading;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.wstring().c_str(), STGM_READ))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t folder[MAX_PATH] = {};
        wchar_t description[MAX_PATH] = {};
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetDescription(description, MAX_PATH);
        reading = LinkReading{target, folder, description};
      }
      file->Release();
    }
    link->Release();
  }
  ::CoUninitialize();
  return reading;
}

}  // namespace krdn::testing
