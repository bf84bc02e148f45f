// The program from start to end: working directory, trust of its own file, the
// toolkit (render and decoder factories, application, resource providers, named ids,
// UI definitions), the main window, the message loop, and the tear-down.
//
// Exit codes: -1 when the user refuses to run an untrusted program; 1 when the main
// window was closed; 0 after the success dialog, where the process ends at once from
// the main window (no tear-down); 2 when the windowing system cannot start (no display,
// or a display that refuses the connection), after a message on standard error.
#pragma once

#include <functional>
#include <string>

#include "repair/run_settings.h"

namespace krdn::app {

class CMainDlg;

inline constexpr int kExitNoDisplay = 2;

struct ProgramOptions {
  // The program's file: its folder becomes the working directory and its signature is
  // checked. Empty: the running executable.
  std::u16string executable_path;
  // The hosts of every run (the ones built into the program unless a test gives others).
  RunSettings run_settings;
  // Ends the process at once (after the success dialog).
  std::function<void(int exit_code)> end_process;
  // Called on the UI thread when the main window is shown, before the loop runs.
  std::function<void(CMainDlg&)> on_main_window;
};

int RunProgram(const ProgramOptions& options);

}  // namespace krdn::app
