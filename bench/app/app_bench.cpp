// krdn-bench-app: the program's own speed, run on an X server (xvfb-run when there is
// no display):
//   - start to first frame: from main() to the main window's cache holding its
//     background, which the first paint also puts on screen;
//   - memory after start: resident set once the first frame is there;
//   - responsiveness while a run verifies FILES files (default 20,000), appending a
//     status line for each: how long the UI thread takes to answer a message sent to it
//     every 16 ms (a frame at 60 Hz), while the worker's own sends stream in.
//
//   krdn-bench-app [FILES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <memory>
#include <vector>

#include "app/main_dlg.h"
#include "app/startup.h"
#include "core/render.h"
#include "platform/shell/process.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"
#include "tests/app_e2e/ui_driver.h"
#include "tests/support/temp_dir.h"
#include "tools/fault-server/fault_server.h"
#include "tools/publish/publish.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using krdn::app::e2e::Driver;
using krdn::app::e2e::Snapshot;
using krdn::app::e2e::UiInvoker;

namespace {

const Clock::time_point kProcessStart = Clock::now();

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return -1;
}

// A client of `files` small files, published, and an intact installed copy: the run
// verifies every file (two status lines each) and downloads nothing.
void MakeClient(const fs::path& client, const fs::path& root, const fs::path& install, int files) {
  for (int i = 0; i < files; ++i) {
    krdn::testing::WriteFile(client / ("data" + std::to_string(i / 1000)) / ("file" + std::to_string(i) + ".dat"),
                             krdn::testing::PatternBytes(64 + i % 200, static_cast<std::uint32_t>(i)));
  }
  const auto outcome = krdn::publish::Publish({.client = client, .out = root, .version = "1.9.3", .mode_word = 0, .piece_size = 64 * 1024});
  if (outcome.code != krdn::publish::Outcome::kPublished) {
    std::fprintf(stderr, "cannot publish: %s\n", outcome.message.c_str());
    std::exit(2);
  }
  fs::copy(client, install, fs::copy_options::recursive);
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// A pixel of the main window's cache (0 before the first paint).
COLORREF MainPixel(Driver& d, int x, int y) {
  return d.OnUi([&] {
    LOOM::IRenderTarget* cache = d.Main() != nullptr ? d.Main()->Cache() : nullptr;
    return cache != nullptr ? cache->PixelAt(x, y) : COLORREF{0};
  });
}

void MeasureStart(Driver& d) {
  d.WaitFor("the main window", [](const Snapshot& x) { return x.main_window; });
  while (MainPixel(d, 500, 60) == 0 || MainPixel(d, 500, 60) == LOOM::kNoColor)
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  std::printf("start to first frame: %.1f ms\n", MsSince(kProcessStart));
  std::printf("memory after start: VmRSS %ld KiB, VmHWM %ld KiB\n", StatusKb("VmRSS:"), StatusKb("VmHWM:"));
  std::fflush(stdout);
  d.ClickMain(u"btn_close");
}

void MeasureRun(Driver& d, int files) {
  d.WaitFor("the main window", [](const Snapshot& x) { return x.main_window; });
  d.ClickMain(u"btn_start");
  const auto run_start = Clock::now();
  d.WaitFor("the run", [](const Snapshot& x) { return x.busy; });
  std::vector<double> answers;
  for (bool running = true; running;) {
    const auto sent = Clock::now();
    // A message to the UI thread, answered between the worker's appends; the run is
    // over when the success dialog has become the active window.
    running = d.OnUi([&] { return ::platform::GetActiveWindow() == d.Main()->NativeHandle(); });
    answers.push_back(MsSince(sent));
    std::this_thread::sleep_until(sent + std::chrono::milliseconds(16));
  }
  const double run_ms = MsSince(run_start);
  const std::size_t length = d.OnUi([&] { return d.Main()->Status().Text().size(); });
  std::printf("run over %d files: %.0f ms, status box %zu characters at the end\n", files, run_ms, length);
  std::printf("UI answers during the run (%zu messages, one per 16 ms): median %.2f ms, p99 %.2f ms, max %.2f ms\n",
              answers.size(), Percentile(answers, 0.5), Percentile(answers, 0.99), Percentile(answers, 1.0));
  std::printf("memory after the run: VmRSS %ld KiB, VmHWM %ld KiB\n", StatusKb("VmRSS:"), StatusKb("VmHWM:"));
  std::fflush(stdout);
  d.ClickDialog(u"btn_cancel");  // the success dialog: the process ends with 0
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "start" && mode != "run") {
    std::fprintf(stderr, "usage: krdn-bench-app start | run [FILES]\n");
    return 2;
  }
  const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20000;
  krdn::testing::TempDir temp;
  const fs::path home = temp.path() / "home";
  fs::create_directories(home / "Desktop");
  ::setenv("HOME", home.c_str(), 1);
  std::unique_ptr<krdn::fault::FaultServer> server;
  if (mode == "run") {
    const auto setup = Clock::now();
    MakeClient(temp.path() / "client", temp.path() / "root", home / "KRDN", files);
    std::fprintf(stderr, "set-up of %d files: %.0f ms (not counted)\n", files, MsSince(setup));
    server = std::make_unique<krdn::fault::FaultServer>(temp.path() / "root");
  }

  ::platform::InitWindowing();
  UiInvoker invoker;
  Driver driver(invoker);
  krdn::app::ProgramOptions options;
  if (server) {
    options.run_settings.version_host = server->url();
    options.run_settings.repair_host = server->url();
  }
  options.run_settings.trace = [](std::string_view) {};
  options.on_main_window = [&](krdn::app::CMainDlg& main) { driver.SetMainWindow(&main); };
  options.end_process = [&](int code) { ::platform::EndProcessNow(driver.Report() ? code : 1); };
  std::thread script([&] {
    if (mode == "start") MeasureStart(driver);
    else MeasureRun(driver, files);
  });
  const int code = krdn::app::RunProgram(options);
  invoker.Close();
  script.join();
  return driver.Report() && code == 1 ? 0 : 1;
}
