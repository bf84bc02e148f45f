// The install directory: its default, the folder a browse yields, and the launcher in it.
#pragma once

#include <string>
#include <string_view>

namespace krdn::app {

// "C:\KRDN" on Windows; "$HOME/KRDN" on Linux, "/KRDN" when no home is known.
std::u16string DefaultInstallDirectory();

// Joins a name to a folder with one separator, the platform's, as its path join does:
// "/games" + "KRDN" = "/games/KRDN", "/" + "KRDN" = "/KRDN"; on Windows "C:\games\"
// + "KRDN" = "C:\games\KRDN".
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// The game launcher of an install directory.
inline constexpr std::u16string_view kLauncherName = u"VoLauncher.exe";
inline std::u16string LauncherPath(std::u16string_view install_directory) {
  return JoinPath(install_directory, kLauncherName);
}

}  // namespace krdn::app
