// The tour on Linux: HOME in the tour's folder, the fault server of the tests (three
// refusals of the version file, then the pieces at a trickle), and the X server's
// whole screen under its window manager.
#include <cstdlib>

#include "tests/app_e2e/tour_setting.h"
#include "tests/app_e2e/x_desktop.h"
#include "tools/fault-server/fault_server.h"

namespace krdn::app::e2e::tour {

fs::path PrepareHome(const fs::path& temp) {
  const fs::path home = temp / "home";
  fs::create_directories(home / "Desktop");
  ::setenv("HOME", home.c_str(), 1);
  return home / "KRDN";
}

struct Servers::State {
  std::unique_ptr<fault::FaultServer> server;
};

Servers::Servers(const fs::path& root, const fs::path&) : state_(std::make_unique<State>()) {
  state_->server = std::make_unique<fault::FaultServer>(root);
  // The refusals are counted out by the server: the fourth request is served.
  state_->server->AddRule({.path_prefix = "/krdn/barternsav/", .fault = fault::Fault::kRefuse, .times = 3});
  state_->server->AddRule(
      {.path_prefix = "/krdn/repair/1.9.3/data/", .fault = fault::Fault::kTrickle, .bytes_per_second = 256 * 1024});
}

Servers::~Servers() = default;

std::string Servers::version_host() const { return state_->server->url(); }
std::string Servers::repair_host() const { return state_->server->url(); }
void Servers::Recover() {}
void Servers::Stop() { state_->server.reset(); }

void WaitUntilPlaced(Driver& d, HWND window, const std::string& which) { e2e::WaitUntilPlaced(d, window, which); }

std::string ScreenPictureName() { return "9-desktop-openbox.png"; }
bool SaveScreen(const fs::path& file) { return e2e::SaveScreen(file.string()); }

}  // namespace krdn::app::e2e::tour
