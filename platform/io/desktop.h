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

// Writes a freedesktop launcher at shortcut_path (replacing one that is there, never
// leaving half a file) whose Name and Comment are the description and which starts the
// target the way StartProgram does (process.h): a Windows program through wine
// (Exec=wine "<target>"), another one directly; Path is the target's folder, Icon a
// Windows program's own icon (kept as a PNG under $XDG_DATA_HOME/krdn-repair/icons),
// else the tool's icon "krdn-repair". The file is made executable and, where gio is
// installed, marked trusted (metadata::trusted), as desktops require for launchers.
// False when it cannot be written.
bool CreateShortcut(std::u16string_view target, std::u16string_view shortcut_path, std::u16string_view description);

}  // namespace platform
