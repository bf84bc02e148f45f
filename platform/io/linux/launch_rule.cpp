// The rule both the enter-game start and the desktop shortcut follow, and the two
// questions it asks: is the file a Windows program, and where is a program on the PATH.
#include "platform/io/linux/launch_rule.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/io/files.h"
#include "platform/shell/process.h"

namespace platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindProgramOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    std::size_t colon = dirs.find(':');
    std::string dir(dirs.substr(0, colon));
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty()) continue;  // an empty entry would mean the working directory: never trusted
    std::string candidate = dir + "/" + std::string(name);
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

bool IsWindowsExecutable(std::u16string_view path) {
  auto file = File::Open(path, File::Mode::kRead);
  if (!file) return false;
  std::uint8_t magic[2] = {};
  return file->ReadAt(0, magic) == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

namespace detail {

LaunchRule LaunchRuleFor(std::u16string_view path) {
  LaunchRule rule;
  rule.program = NativePath(path);
  const std::size_t slash = rule.program.find_last_of('/');
  rule.folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : rule.program.substr(0, slash);
  // A launcher that is not there (yet) is judged by its name.
  auto file = File::Open(path, File::Mode::kRead);
  if (file) {
    rule.through_wine = IsWindowsExecutable(path);
  } else {
    std::string tail = rule.program.size() >= 4 ? rule.program.substr(rule.program.size() - 4) : std::string();
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    rule.through_wine = tail == ".exe";
  }
  return rule;
}

}  // namespace detail
}  // namespace platform
