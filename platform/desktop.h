// The user's desktop and the launcher shortcut placed on it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The desktop directory of the XDG user directories ($XDG_CONFIG_HOME/user-dirs.dirs,
// else ~/.config/user-dirs.dirs), else ~/Desktop. Empty when no home directory is known.
std::u16string DesktopDirectory();

// The file name of the launcher shortcut for a name: "Velmora3" gives "Velmora3.desktop".
std::u16string ShortcutFileName(std::u16string_view name);

// Writes a freedesktop launcher at shortcut_path (replacing one that is there) whose
// Name and Comment are the description and whose Exec starts the target. The file is
// made executable, as desktops require for launchers. False when it cannot be written.
bool CreateShortcut(std::u16string_view target, std::u16string_view shortcut_path, std::u16string_view description);

}  // namespace platform
