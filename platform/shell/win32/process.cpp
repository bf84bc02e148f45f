// Starting programs with CreateProcessW, the process's folders, and its end.
#include "platform/shell/process.h"

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "platform/io/files.h"
#include "platform/base/utf.h"
#include "platform/base/win32/command_line.h"
#include "platform/base/win32/handle.h"

namespace platform {
namespace {

using win32::QuoteArgument;
using win32::UniqueHandle;

std::wstring Wide(std::u16string_view text) {
  std::wstring wide(text.begin(), text.end());
  for (wchar_t& c : wide) c = c == L'/' ? L'\\' : c;
  return wide;
}

std::wstring Wide(std::string_view utf8) { return Wide(std::u16string_view(Utf8ToUtf16(utf8))); }

std::u16string FromWide(const wchar_t* text) {
  const std::wstring_view view(text);
  return {view.begin(), view.end()};
}

bool IsRegularFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}


std::wstring CommandLine(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const std::wstring& argument : arguments) {
    if (!line.empty()) line.push_back(L' ');
    line += QuoteArgument(argument);
  }
  return line;
}

}  // namespace

std::u16string DefaultInstallParent() { return u"C:\\"; }

std::u16string HomeDirectory() {
  wchar_t profile[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile))) {
    return FromWide(profile);
  }
  const wchar_t* variable = ::_wgetenv(L"USERPROFILE");
  return variable != nullptr ? FromWide(variable) : std::u16string();
}

char16_t PathSeparator() { return u'\\'; }

bool SetCurrentDirectory(std::u16string_view path) { return ::SetCurrentDirectoryW(Wide(path).c_str()) != 0; }

void EndProcessNow(int exit_code) {
  std::fflush(stdout);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exit_code));
  ::_exit(exit_code);  // not reached: TerminateProcess does not return for the own process
}

// Only the PATH's own folders, never the working directory: a name without extension
// is tried as given and with ".exe".
std::string FindProgramOnPath(std::string_view name) {
  const wchar_t* path = ::_wgetenv(L"PATH");
  if (path == nullptr || name.empty()) return {};
  const std::wstring wide_name = Wide(name);
  const bool has_extension = wide_name.find(L'.') != std::wstring::npos;
  std::wstring_view folders = path;
  while (!folders.empty()) {
    const std::size_t end = folders.find(L';');
    std::wstring folder(folders.substr(0, end));
    folders = end == std::wstring_view::npos ? std::wstring_view() : folders.substr(end + 1);
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
    if (folder.empty()) continue;
    if (folder.back() != L'\\') folder.push_back(L'\\');
    for (const std::wstring& candidate : {folder + wide_name, folder + wide_name + L".exe"}) {
      if ((has_extension || candidate.size() > folder.size() + wide_name.size()) && IsRegularFile(candidate)) {
        return Utf16ToUtf8(std::u16string(candidate.begin(), candidate.end()));
      }
      if (has_extension) break;
    }
  }
  return {};
}

bool IsWindowsExecutable(std::u16string_view path) {
  auto file = File::Open(path, File::Mode::kRead);
  if (!file) return false;
  std::uint8_t magic[2] = {};
  return file->ReadAt(0, magic) == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

// No arguments, no inherited handles, no creation flags, this process's environment and
// working directory; the new process is not waited for.
StartResult StartProgram(std::u16string_view path) {
  const std::wstring program = Wide(path);
  if (!IsRegularFile(program)) return StartResult::kNotStartable;
  std::wstring command_line = QuoteArgument(program);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process) == 0) {
    return StartResult::kNotStartable;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return StartResult::kStarted;
}

int SpawnWithOutput(const std::vector<std::string>& argv, int* output_fd) {
  if (argv.empty()) return -1;
  std::string program = argv[0];
  if (program.find_first_of("/\\") == std::string::npos) program = FindProgramOnPath(program);
  if (program.empty()) return -1;
  std::vector<std::wstring> arguments;
  for (const std::string& argument : argv) arguments.push_back(Wide(argument));
  arguments[0] = Wide(program);

  SECURITY_ATTRIBUTES inheritable{.nLength = sizeof(SECURITY_ATTRIBUTES), .lpSecurityDescriptor = nullptr,
                                  .bInheritHandle = TRUE};
  HANDLE reader = nullptr;  // handed to the C runtime at the end, closed here on failure
  HANDLE write_end = nullptr;
  if (output_fd != nullptr && ::CreatePipe(&reader, &write_end, &inheritable, 0) == 0) return -1;
  UniqueHandle writer(write_end);
  if (reader != nullptr) ::SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
  UniqueHandle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = writer ? writer.get() : ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  std::wstring command_line = CommandLine(arguments);
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(arguments[0].c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process) == 0) {
    if (reader != nullptr) ::CloseHandle(reader);
    return -1;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (output_fd != nullptr) {
    // The C runtime owns the read end from here on (closed with _close).
    *output_fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(reader), _O_RDONLY | _O_BINARY);
    if (*output_fd < 0) ::CloseHandle(reader);
  }
  return static_cast<int>(process.dwProcessId);
}

}  // namespace platform
