// The desktop's folder picker: zenity, else kdialog, run as a child process while the
// calling thread keeps handling its messages (its windows repaint; the owner is
// disabled, as under a modal dialog, and enabled again afterwards). On X11 the
// picker is attached to the owner's window (--attach), so it stays above it.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace platform {

struct FolderPick {
  enum class Outcome {
    kChosen,       // `path` holds the folder
    kCancelled,    // the user closed the picker without a choice
    kUnavailable,  // neither zenity nor kdialog is installed, or it could not start
  };
  Outcome outcome = Outcome::kUnavailable;
  std::u16string path;  // without a trailing "/" (except the root itself)
};

// The picker programs, in the order they are tried: "zenity", "kdialog".
FolderPick BrowseForFolder(HWND owner, std::u16string_view title);

// The folder a picker printed: its first line, without the line end; empty when the
// line is not an absolute path.
std::u16string FolderFromPickerOutput(std::string_view output);

}  // namespace platform
