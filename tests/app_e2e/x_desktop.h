// A desktop of the test's own for the window-manager tests: an Xvfb server with
// openbox managing it, and what the window manager sees of our windows, read from
// outside with xprop and xwininfo as a user's tools would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/app_e2e/ui_driver.h"

namespace krdn::app::e2e {

// Starts Xvfb (on a free display) and openbox, and waits until openbox manages it;
// stops both when it goes. DISPLAY is set to it for this process and its children.
class XDesktop {
 public:
  XDesktop();
  ~XDesktop();
  XDesktop(const XDesktop&) = delete;
  XDesktop& operator=(const XDesktop&) = delete;
  bool Ready() const { return ready_; }
  const std::string& Display() const { return display_; }

 private:
  int server_pid_ = -1;
  int wm_pid_ = -1;
  std::string display_;
  bool ready_ = false;
};

// One window as the window manager sees it.
struct XWindowFacts {
  std::string type;                 // _NET_WM_WINDOW_TYPE, e.g. "_NET_WM_WINDOW_TYPE_DIALOG"
  std::vector<std::string> states;  // _NET_WM_STATE
  std::uint64_t transient_for = 0;  // WM_TRANSIENT_FOR
  std::string wm_class;             // WM_CLASS as xprop prints it: "a", "b"
  bool override_redirect = false;
  bool viewable = false;
  bool Has(const std::string& state) const;
};

XWindowFacts FactsOf(std::uint64_t window);
// The square sizes in _NET_WM_ICON, in order.
std::vector<int> IconSizesOf(std::uint64_t window);
// _NET_CLIENT_LIST of the root window: the windows the window manager manages.
std::vector<std::uint64_t> ManagedWindows();
// The managed windows that would get a taskbar entry (no _NET_WM_STATE_SKIP_TASKBAR).
std::vector<std::uint64_t> TaskbarWindows();
std::uint64_t ActiveWindow();
// A mapped window with this title (WM_NAME), or 0.
std::uint64_t MappedWindowNamed(const std::string& title);
// Writes what the whole screen shows now to a PNG file; false when it cannot.
bool SaveScreen(const std::string& path);
// Asks the window manager to close a window, as a taskbar's close does (_NET_CLOSE_WINDOW).
void CloseThroughWindowManager(std::uint64_t window);
// Waits until the window manager manages a window of the program and shows it, and the
// program has seen where it put it: the X server has its client area where the program
// believes it is, or the program's belief has held still for half a second since; fails
// the scenario when that takes more than half a minute. The window manager moves a window
// it takes on, and an injected click is aimed from where the program believes the window
// is: aimed before the move and delivered after it, it would miss.
void WaitUntilPlaced(Driver& d, HWND window, const std::string& which);

}  // namespace krdn::app::e2e
