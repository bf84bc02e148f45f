// krdn-launcher-stand-in: the game launcher of the Windows sample clients. A windowed
// program without a window: it records how it was started and ends.
//
// When the environment names a file in KRDN_LAUNCHER_MARKER, that file gets three
// UTF-8 lines: the working directory, the command line and the program's own path.
// It is written beside and moved into place, so a reader never sees half of it.
#include <windows.h>

#include <string>

#include "platform/base/win32/handle.h"

namespace {

std::wstring EnvironmentVariable(const wchar_t* name) {
  std::wstring value(32768, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
  value.resize(length < value.size() ? length : 0);
  return value;
}

std::wstring WorkingDirectory() {
  std::wstring folder(32768, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
  folder.resize(length < folder.size() ? length : 0);
  return folder;
}

std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
  const platform::win32::UniqueHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
         written == bytes.size();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const std::wstring marker = EnvironmentVariable(L"KRDN_LAUNCHER_MARKER");
  if (marker.empty()) return 0;
  const std::string record = Utf8(WorkingDirectory()) + "\n" + Utf8(::GetCommandLineW()) + "\n" + Utf8(OwnPath()) + "\n";
  const std::wstring partial = marker + L".partial";
  if (!WriteWhole(partial, record)) return 1;
  return ::MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) != 0 ? 0 : 1;
}
