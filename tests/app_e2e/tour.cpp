// krdn-app-tour: runs the program against a fault server of its own with a published
// sample client, drives it through its states and writes a picture of the main window
// in each state and of each of the three dialogs to a folder.
//
//   krdn-app-tour OUTPUT_FOLDER      (needs an X server; scripts/screenshots gives one)
//
// The run: the version file fails three times (the unstable-connection dialog twice,
// then the network-failure dialog, answered with retry), the pieces come slowly enough
// to show the run and its Stop, and the run ends with the success dialog.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/startup.h"
#include "platform/process.h"
#include "platform/utf.h"
#include "platform/windowing.h"
#include "tests/app_e2e/ui_driver.h"
#include "tests/app_e2e/x_desktop.h"
#include "tests/support/temp_dir.h"
#include "tools/fault-server/fault_server.h"
#include "tools/publish/publish.h"

namespace fs = std::filesystem;
using krdn::app::e2e::Driver;
using krdn::app::e2e::Snapshot;
using krdn::app::e2e::UiInvoker;

namespace {

constexpr std::uint64_t kPiece = 64 * 1024;

void MakeDamagedInstall(const fs::path& client, const fs::path& root, const fs::path& install) {
  namespace t = krdn::testing;
  t::WriteFile(client / "VoLauncher.exe", std::string("MZ\x90\0", 4) + std::string(70000, 'L'));
  t::WriteFile(client / "data/world.pak", t::PatternBytes(12 * kPiece + 123, 1));
  t::WriteFile(client / "data/sound.pak", t::PatternBytes(8 * kPiece, 2));
  t::WriteFile(client / "地图/城镇 01.map", t::PatternBytes(2 * kPiece + 7, 3));
  t::WriteFile(client / "config/settings.ini", std::string("[client]\nlanguage=zh_CN\n"));
  const auto outcome = krdn::publish::Publish({.client = client, .out = root, .version = "1.9.3", .mode_word = 0, .piece_size = kPiece});
  if (outcome.code != krdn::publish::Outcome::kPublished) {
    std::fprintf(stderr, "krdn-app-tour: cannot publish the sample client: %s\n", outcome.message.c_str());
    std::exit(2);
  }
  fs::copy(client, install, fs::copy_options::recursive);
  fs::remove(install / "data/sound.pak");
  fs::resize_file(install / "地图/城镇 01.map", 1000);
}

// Waits a little for the fade of the buttons, then writes the picture.
void Shoot(Driver& d, bool dialog, const fs::path& file) {
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const bool saved = dialog ? d.SaveDialogPicture(file.string()) : d.SaveMainPicture(file.string());
  if (!saved) d.Fail("cannot write " + file.string());
  std::printf("wrote %s\n", file.c_str());
}

void Tour(Driver& d, const fs::path& out) {
  auto dialog_is = [](const char16_t* cls) { return [cls](const Snapshot& s) { return s.dialog == cls; }; };
  HWND last_dialog = nullptr;
  auto next_dialog = [&](const char16_t* cls) {
    Snapshot s = d.WaitFor("a new dialog", [&](const Snapshot& x) { return x.dialog_window != nullptr && x.dialog_window != last_dialog; });
    if (s.dialog != cls) d.Fail("expected " + ::platform::Utf16ToUtf8(cls) + ", saw " + ::platform::Utf16ToUtf8(s.dialog));
    last_dialog = s.dialog_window;
  };
  d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
  Shoot(d, false, out / "1-main-idle.png");
  d.ClickMain(u"btn_start");
  next_dialog(u"DlgMsgBox1");
  Shoot(d, true, out / "2-dialog-unstable-connection.png");
  d.ClickDialog(u"btn_retry");
  next_dialog(u"DlgMsgBox1");
  d.ClickDialog(u"btn_retry");
  next_dialog(u"DlgMsgBox2");
  Shoot(d, true, out / "3-dialog-network-failure.png");
  Shoot(d, false, out / "4-main-under-a-dialog.png");
  // The whole screen: the main window and the dialog as the window manager shows them.
  if (!krdn::app::e2e::SaveScreen((out / "9-desktop-openbox.png").string())) d.Fail("cannot capture the screen");
  std::printf("wrote %s\n", (out / "9-desktop-openbox.png").c_str());
  d.ClickDialog(u"btn_retry");
  d.WaitFor("the download", [](const Snapshot& s) { return s.status.find(u"下载文件: ") != std::u16string::npos && s.dialog.empty(); });
  Shoot(d, false, out / "5-main-running.png");
  d.ClickMain(u"btn_stop");
  d.WaitFor("Stop", [](const Snapshot& s) { return s.start_enabled; });
  Shoot(d, false, out / "6-main-stopped.png");
  d.ClickMain(u"btn_start");
  d.WaitFor("the success dialog", dialog_is(u"DlgMsgBox3"), std::chrono::seconds(60));
  Shoot(d, true, out / "7-dialog-success.png");
  Shoot(d, false, out / "8-main-finished.png");
  d.ClickDialog(u"btn_cancel");  // ends the process with 0, without starting the game
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: krdn-app-tour OUTPUT_FOLDER\n");
    return 2;
  }
  const fs::path out = fs::absolute(argv[1]);
  fs::create_directories(out);
  krdn::testing::TempDir temp;
  const fs::path home = temp.path() / "home";
  fs::create_directories(home / "Desktop");
  ::setenv("HOME", home.c_str(), 1);
  MakeDamagedInstall(temp.path() / "client", temp.path() / "root", home / "KRDN");

  krdn::fault::FaultServer server(temp.path() / "root");
  server.AddRule({.path_prefix = "/krdn/barternsav/", .fault = krdn::fault::Fault::kRefuse, .times = 3});
  server.AddRule({.path_prefix = "/krdn/repair/1.9.3/data/", .fault = krdn::fault::Fault::kTrickle, .bytes_per_second = 256 * 1024});

  ::platform::InitWindowing();
  UiInvoker invoker;
  Driver driver(invoker);
  krdn::app::ProgramOptions options;
  options.run_settings.version_host = server.url();
  options.run_settings.repair_host = server.url();
  options.run_settings.second = std::chrono::milliseconds(50);
  options.on_main_window = [&](krdn::app::CMainDlg& main) { driver.SetMainWindow(&main); };
  options.end_process = [&](int code) {
    std::printf("the program ended with %d; pictures in %s\n", code, out.c_str());
    ::platform::EndProcessNow(driver.Report() ? 0 : 1);
  };
  std::thread script([&] { Tour(driver, out); });
  const int code = krdn::app::RunProgram(options);
  invoker.Close();
  script.join();
  std::fprintf(stderr, "the program ended with %d before the tour was over\n", code);
  return 1;
}
