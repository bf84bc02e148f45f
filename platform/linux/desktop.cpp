#include "platform/desktop.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/utf.h"

namespace platform {
namespace {

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
  const std::string name = OneLine(Utf16ToUtf8(description));
  std::ostringstream entry;
  entry << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Version=1.0\n"
        << "Name=" << name << "\n"
        << "Comment=" << name << "\n"
        << "Exec=" << OneLine(QuoteForExec(NativePath(target))) << "\n"
        << "Terminal=false\n";
  const std::string text = entry.str();
  std::optional<File> file = File::Open(shortcut_path, File::Mode::kCreate);
  if (!file || !file->WriteAt(0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})) return false;
  file->Close();
  return ::chmod(NativePath(shortcut_path).c_str(), 0755) == 0;
}

}  // namespace platform
