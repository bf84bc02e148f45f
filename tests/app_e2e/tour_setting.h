// What the screenshot tour needs of the machine it runs on: a home for the program's
// default install directory, download servers that refuse the version file until the
// tour lets them serve and then send the pieces slowly, and a picture of the whole
// screen where there is one to take.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/app_e2e/ui_driver.h"

namespace krdn::app::e2e::tour {

namespace fs = std::filesystem;

// Makes the program's default install directory lie in `temp` where the platform lets
// a process choose its home; answers that directory, which must not exist yet.
fs::path PrepareHome(const fs::path& temp);

class Servers {
 public:
  // Serves the published tree `root`; `work` holds what the servers keep.
  Servers(const fs::path& root, const fs::path& work);
  ~Servers();
  Servers(const Servers&) = delete;
  Servers& operator=(const Servers&) = delete;

  std::string version_host() const;
  std::string repair_host() const;
  // The version file has been refused three times: from now on it is served.
  void Recover();
  // Ends the servers before the process ends without its destructors.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Waits until a window manager, where there is one, has placed a window of the program
// where the program believes it is, so that a click aimed at it lands there.
void WaitUntilPlaced(Driver& d, HWND window, const std::string& which);

// The name of the whole-screen picture, and its capture; an empty name when the
// platform has none to take.
std::string ScreenPictureName();
bool SaveScreen(const fs::path& file);

}  // namespace krdn::app::e2e::tour
