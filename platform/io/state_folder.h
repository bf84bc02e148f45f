// Where a program keeps what it writes about the user's runs of it (logs, history):
// Linux: $XDG_STATE_HOME, else ~/.local/state (the XDG base directories); Windows: the
// user's local application data, %LOCALAPPDATA%.
#pragma once

#include <string>

namespace platform {

// The folder (it need not exist yet); empty when the system names none.
std::u16string UserStateFolder();

}  // namespace platform
