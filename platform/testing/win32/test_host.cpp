// Under wine, CreateProcessW starts a Unix program as it is, but its standard handles do
// not reach it: the program's output goes through a file that a shell writes, and the
// end is the shell's mark beside it.
#include "platform/testing/test_host.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/io/files.h"
#include "platform/base/utf.h"
#include "platform/base/win32/command_line.h"
#include "platform/base/win32/handle.h"

namespace platform {
namespace {

using win32::QuoteArgument;

template <typename Fn>
Fn WineCall(const char* name) {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel != nullptr ? ::GetProcAddress(kernel, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}


std::wstring Wide(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return {text.begin(), text.end()};
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string HostPath(std::u16string_view path) {
  using UnixFileName = char* (*)(const WCHAR*);
  const auto unix_name = WineCall<UnixFileName>("wine_get_unix_file_name");
  if (unix_name == nullptr) return {};
  std::wstring wide(path.begin(), path.end());
  for (wchar_t& c : wide) c = c == L'/' ? L'\\' : c;
  char* name = unix_name(wide.c_str());
  if (name == nullptr) return {};
  std::string host = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return host;
}

std::string RunOnHost(const std::vector<std::string>& argv, int timeout_ms) {
  if (argv.empty()) return {};
  wchar_t temp[MAX_PATH + 1] = {};
  if (::GetTempPathW(MAX_PATH, temp) == 0) return {};
  const std::wstring stem = std::wstring(temp) + L"krdn-host-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(::GetTickCount64());
  const std::wstring output = stem + L".out";
  const std::wstring done = stem + L".done";
  const std::string host_output = HostPath(std::u16string(output.begin(), output.end()));
  const std::string host_done = HostPath(std::u16string(done.begin(), done.end()));
  const std::u16string shell_path = AbsolutePath(u"/bin/sh");
  if (host_output.empty() || shell_path.empty()) return {};

  std::vector<std::wstring> arguments = {std::wstring(shell_path.begin(), shell_path.end()), L"-c",
                                         L"\"$@\" >\"$0.out\" 2>&1; echo $? >\"$0.done\"",
                                         Wide(host_output.substr(0, host_output.size() - 4))};
  for (const std::string& argument : argv) arguments.push_back(Wide(argument));
  std::wstring command_line;
  for (const std::wstring& argument : arguments) command_line += (command_line.empty() ? L"" : L" ") + QuoteArgument(argument);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(arguments[0].c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process) == 0) {
    return {};
  }
  win32::UniqueHandle thread(process.hThread);
  win32::UniqueHandle handle(process.hProcess);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (::GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::string text = ReadAll(output);
  ::DeleteFileW(output.c_str());
  ::DeleteFileW(done.c_str());
  return text;
}

}  // namespace platform
