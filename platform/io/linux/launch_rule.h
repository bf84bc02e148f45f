// Internal to the Linux platform layer: how this machine starts a program file. The
// enter-game start (StartProgram) and the desktop shortcut follow the same rule, so
// that both start the game the same way: a Windows executable (a file that starts with
// "MZ") through wine, any other program directly.
#pragma once

#include <string>
#include <string_view>

namespace platform::detail {

struct LaunchRule {
  std::string program;  // the file, as a system path
  std::string folder;   // the folder it lies in
  bool through_wine = false;
};

LaunchRule LaunchRuleFor(std::u16string_view path);

}  // namespace platform::detail
