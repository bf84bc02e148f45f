// Starting another program, detached from this one: it keeps running after this
// process ends, in its own session, with this process's environment and working
// directory, standard input from /dev/null and no other inherited descriptors.
//
// A Windows executable (a file that starts with "MZ") is started through `wine`
// when wine is installed, since that is how the game's programs run on Linux. The
// desktop shortcut (desktop.h) starts the launcher by the same rule.
#pragma once

#include "platform/base/win_names.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The user's home folder: $HOME, else the account's entry; empty when neither is known.
std::u16string HomeDirectory();

// The folder the program's default install directory lies in: the root of drive C: on
// Windows ("C:\"), the user's home folder elsewhere, where the root is no place for a
// game and not writable by a user.
std::u16string DefaultInstallParent();

// The separator of the platform's own paths between folder names: '/', and on
// Windows the backslash ("C:\users\me\KRDN").
char16_t PathSeparator();

// Makes the folder the process's working directory. False when it cannot.
bool SetCurrentDirectory(std::u16string_view path);

// Ends the process at once with the exit code, after flushing standard output and
// error: no destructors, no exit handlers, and threads end where they stand.
[[noreturn]] void EndProcessNow(int exit_code);

// Where a program name is found on the PATH; empty when it is not.
std::string FindProgramOnPath(std::string_view name);

// True when the file starts with the "MZ" signature of a Windows executable.
bool IsWindowsExecutable(std::u16string_view path);

enum class StartResult {
  kStarted,
  kNotStartable,  // missing, not a file, not executable, or the start failed
  kNeedsWine,     // a Windows program, and wine is not installed (Linux only)
};

// Starts the program at `path` (a system path) without arguments.
StartResult StartProgram(std::u16string_view path);

// Starts argv[0] (found on the PATH when it has no "/") with the arguments, standard
// output into the pipe whose read end is returned through `output_fd` (-1: inherited),
// and answers the child's process id, or -1.
int SpawnWithOutput(const std::vector<std::string>& argv, int* output_fd);

}  // namespace platform
