#include "platform/io/desktop.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/io/files.h"
#include "platform/io/linux/launch_rule.h"
#include "platform/io/linux/pe_icon.h"
#include "platform/shell/process.h"
#include "platform/base/utf.h"

extern char** environ;

namespace platform {
namespace {

// Writes a whole file under a temporary name beside it and renames it into place, so
// that the desktop never sees half a file.
bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool written = ::fchmod(fd, mode) == 0;
  for (std::size_t done = 0; written && done < content.size();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n <= 0) written = false;
    else done += static_cast<std::size_t>(n);
  }
  written = written && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs file: "$HOME/Desktop" or an absolute path.
std::string DesktopFromUserDirs(const std::string& file, const std::string& home) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    if (line.rfind(key, 0) != 0) continue;
    const std::size_t end = line.find('"', key.size());
    if (end == std::string::npos) return {};
    std::string value = line.substr(key.size(), end - key.size());
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    return value.empty() || value.front() != '/' ? std::string() : value;
  }
  return {};
}

// Exec needs the path quoted, with the characters the desktop entry format reserves escaped.
std::string QuoteForExec(const std::string& path) {
  std::string out = "\"";
  for (const char c : path) {
    if (c == '\\') {
      out += "\\\\\\\\";  // escaped for the argument, then again for the value
      continue;
    }
    if (c == '"' || c == '`' || c == '$') out += "\\\\";
    if (c == '%') {
      out += "%%";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// Values of the desktop entry format may not hold line breaks.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// A string value (Path, Icon): a backslash is written as two.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (const char c : OneLine(text)) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The icon of the launcher's shortcut: a Windows launcher's own icon, stored as a PNG
// beside the tool's other data, else the tool's icon from the desktop's icon theme.
std::string ShortcutIcon(const detail::LaunchRule& rule, std::u16string_view shortcut_path) {
  constexpr char kToolIcon[] = "krdn-repair";
  constexpr std::uint64_t kMaxLauncherBytes = 256ull << 20;
  if (!rule.through_wine) return kToolIcon;
  auto launcher = File::Open(Utf8ToUtf16(rule.program), File::Mode::kRead);
  if (!launcher) return kToolIcon;
  const std::uint64_t size = launcher->Size().value_or(0);
  if (size == 0 || size > kMaxLauncherBytes) return kToolIcon;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (launcher->ReadAt(0, bytes) != bytes.size()) return kToolIcon;
  auto png = detail::ExecutableIconPng(bytes);
  if (!png) return kToolIcon;

  const std::string home = EnvOr("HOME", "");
  const std::string data = EnvOr("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
  if (data.empty() || data.front() != '/') return kToolIcon;
  std::string name = NativePath(shortcut_path);
  name = name.substr(name.find_last_of('/') + 1);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  const std::string folder = data + "/krdn-repair/icons";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const std::string path = folder + "/" + name + ".png";
  return WriteFileAtomically(path, {reinterpret_cast<const char*>(png->data()), png->size()}, 0644) ? path
                                                                                                       : std::string(kToolIcon);
}

// Marks the launcher trusted where the desktop keeps that mark (GNOME's file metadata),
// so that a double click starts it without a question. Best effort: waits at most two
// seconds for gio.
void MarkTrusted(const std::string& path) {
  const std::string gio = FindProgramOnPath("gio");
  if (gio.empty()) return;
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> argv = {gio, "set", "-t", "string", path, "metadata::trusted", "true"};
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, gio.c_str(), &files, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) return;
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace

std::u16string DesktopDirectory() {
  const std::string home = EnvOr("HOME", "");
  if (home.empty()) return {};
  const std::string config = EnvOr("XDG_CONFIG_HOME", home + "/.config");
  std::string desktop = DesktopFromUserDirs(config + "/user-dirs.dirs", home);
  if (desktop.empty()) desktop = home + "/Desktop";
  while (desktop.size() > 1 && desktop.back() == '/') desktop.pop_back();
  return Utf8ToUtf16(desktop);
}

std::u16string ShortcutFileName(std::u16string_view name) { return std::u16string(name) + u".desktop"; }

bool CreateShortcut(std::u16string_view target, std::u16string_view shortcut_path, std::u16string_view description) {
  const detail::LaunchRule rule = detail::LaunchRuleFor(target);
  const std::string name = OneLine(Utf16ToUtf8(description));
  std::ostringstream entry;
  entry << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Version=1.0\n"
        << "Name=" << name << "\n"
        << "Comment=" << name << "\n"
        << "Exec=" << (rule.through_wine ? "wine " : "") << OneLine(QuoteForExec(rule.program)) << "\n"
        << "Path=" << EscapeValue(rule.folder) << "\n"
        << "Icon=" << EscapeValue(ShortcutIcon(rule, shortcut_path)) << "\n"
        << "Terminal=false\n"
        << "Categories=Game;\n";
  const std::string path = NativePath(shortcut_path);
  if (!WriteFileAtomically(path, entry.str(), 0755)) return false;
  MarkTrusted(path);
  return true;
}

}  // namespace platform
