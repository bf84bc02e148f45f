// krdn-app-tour: runs the program against a fault server of its own with a published
// sample client, drives it through its states and writes a picture of the main window
// in each state and of each of the three dialogs to a folder.
//
//   krdn-app-tour OUTPUT_FOLDER      (needs an X server; scripts/screenshots gives one)
//
// The run: the version file fails three times (the unstable-connection dialog twice,
// then the network-failure dialog, answered with retry), the pieces come slowly enough
// to show the run and its Stop, and the run ends with the success dialog. A program
// file that fails its trust check (the Windows build carries no Authenticode
// signature) gets its question answered Yes first.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/startup.h"
#include "platform/ui/message_box.h"
#include "platform/shell/process.h"
#include "platform/base/utf.h"
#include "platform/ui/windowing.h"
#include "tests/app_e2e/tour_setting.h"
#include "tests/app_e2e/ui_driver.h"
#include "tests/support/temp_dir.h"
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
  t::WriteFile(client / u8"地图/城镇 01.map", t::PatternBytes(2 * kPiece + 7, 3));
  t::WriteFile(client / "config/settings.ini", std::string("[client]\nlanguage=zh_CN\n"));
  const auto outcome = krdn::publish::Publish({.client = client, .out = root, .version = "1.9.3", .mode_word = 0, .piece_size = kPiece});
  if (outcome.code != krdn::publish::Outcome::kPublished) {
    std::fprintf(stderr, "krdn-app-tour: cannot publish the sample client: %s\n", outcome.message.c_str());
    std::exit(2);
  }
  fs::copy(client, install, fs::copy_options::recursive);
  fs::remove(install / "data/sound.pak");
  fs::resize_file(install / u8"地图/城镇 01.map", 1000);
}

// Waits a little for the fade of the buttons, then writes the picture.
void Shoot(Driver& d, bool dialog, const fs::path& file) {
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const bool saved = dialog ? d.SaveDialogPicture(file.string()) : d.SaveMainPicture(file.string());
  if (!saved) d.Fail("cannot write " + file.string());
  std::printf("wrote %s\n", file.string().c_str());
}

void Tour(Driver& d, krdn::app::e2e::tour::Servers& servers, const fs::path& out) {
  auto dialog_is = [](const char16_t* cls) { return [cls](const Snapshot& s) { return s.dialog == cls; }; };
  HWND last_dialog = nullptr;
  auto next_dialog = [&](const char16_t* cls) {
    Snapshot s = d.WaitFor("a new dialog", [&](const Snapshot& x) { return x.dialog_window != nullptr && x.dialog_window != last_dialog; });
    if (s.dialog != cls) d.Fail("expected " + ::platform::Utf16ToUtf8(cls) + ", saw " + ::platform::Utf16ToUtf8(s.dialog));
    last_dialog = s.dialog_window;
    krdn::app::e2e::tour::WaitUntilPlaced(d, s.dialog_window, ::platform::Utf16ToUtf8(cls));
  };
  const Snapshot first =
      d.WaitFor("the main window or the trust question", [](const Snapshot& s) { return s.main_window || s.message_box; });
  if (!first.main_window) {
    std::printf("the trust question: answering Yes\n");
    d.AnswerMessageBox(IDYES);
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
  }
  krdn::app::e2e::tour::WaitUntilPlaced(d, d.OnUi([&] { return d.Main()->NativeHandle(); }), "the main window");
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
  if (const std::string screen = krdn::app::e2e::tour::ScreenPictureName(); !screen.empty()) {
    if (!krdn::app::e2e::tour::SaveScreen(out / screen)) d.Fail("cannot capture the screen");
    std::printf("wrote %s\n", (out / screen).string().c_str());
  }
  servers.Recover();
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
  const fs::path install = krdn::app::e2e::tour::PrepareHome(temp.path());
  if (fs::exists(install)) {
    std::fprintf(stderr, "krdn-app-tour: %s is there already; the tour repairs a copy of its own there\n",
                 install.string().c_str());
    return 2;
  }
  MakeDamagedInstall(temp.path() / "client", temp.path() / "root", install);
  krdn::app::e2e::tour::Servers servers(temp.path() / "root", temp.path());

  ::platform::InitWindowing();
  UiInvoker invoker;
  Driver driver(invoker);
  driver.SetBeforeFailedExit([&] { servers.Stop(); });
  krdn::app::ProgramOptions options;
  options.run_settings.version_host = servers.version_host();
  options.run_settings.repair_host = servers.repair_host();
  options.run_settings.second = std::chrono::milliseconds(50);
  options.on_main_window = [&](krdn::app::CMainDlg& main) { driver.SetMainWindow(&main); };
  options.end_process = [&](int code) {
    std::printf("the program ended with %d; pictures in %s\n", code, out.string().c_str());
    servers.Stop();
    ::platform::EndProcessNow(driver.Report() ? 0 : 1);
  };
  std::thread script([&] { Tour(driver, servers, out); });
  const int code = krdn::app::RunProgram(options);
  invoker.Close();
  script.join();
  std::fprintf(stderr, "the program ended with %d before the tour was over\n", code);
  return 1;
}
