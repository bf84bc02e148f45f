// The tour on Windows (under wine): the profile folder is the platform's, so the
// default install directory is the real one and must not be there yet; nginx on the
// machine that runs wine serves the tree. Until Recover() nothing listens on the hosts'
// ports (the version file is refused); from then on nginx sends every answer at a slow
// rate. No whole-screen picture: the program's pictures are read from its windows.
#include <stdexcept>

#include "app/install_paths.h"
#include "tests/app_e2e/tour_setting.h"
#include "tests/support/local_servers.h"

namespace krdn::app::e2e::tour {
namespace {

std::string PortOf(const std::string& host) { return host.substr(host.rfind(':') + 1); }

}  // namespace

fs::path PrepareHome(const fs::path&) { return fs::path(DefaultInstallDirectory()); }

struct Servers::State {
  fs::path root, work;
  std::string version_host, repair_host;
  std::unique_ptr<testing::LocalServers> nginx;
};

// The ports come from a first start of the servers, which is ended at once: they are
// free again and refuse connections until Recover() serves on them.
Servers::Servers(const fs::path& root, const fs::path& work) : state_(std::make_unique<State>()) {
  state_->root = root;
  state_->work = work;
  testing::LocalServers probe(root, work / "nginx-ports");
  state_->version_host = probe.version_host();
  state_->repair_host = probe.repair_host();
}

Servers::~Servers() = default;

std::string Servers::version_host() const { return state_->version_host; }
std::string Servers::repair_host() const { return state_->repair_host; }

void Servers::Recover() {
  state_->nginx = std::make_unique<testing::LocalServers>(
      state_->root, state_->work / "nginx",
      "--version-port " + PortOf(state_->version_host) + " --repair-port " + PortOf(state_->repair_host) +
          " --limit-rate 32k");
  if (state_->nginx->version_host() != state_->version_host) throw std::runtime_error("nginx took other ports");
}

void Servers::Stop() { state_->nginx.reset(); }

// Under wine the tour's X server has no window manager: nothing moves a window.
void WaitUntilPlaced(Driver&, HWND, const std::string&) {}

std::string ScreenPictureName() { return {}; }
bool SaveScreen(const fs::path&) { return false; }

}  // namespace krdn::app::e2e::tour
