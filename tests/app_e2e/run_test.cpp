// Whole runs: a damaged client repaired to the success dialog and the game started,
// the dialogs of a failing network, the run ended from the network-failure dialog.
#include <algorithm>

#include "platform/ui/message_box.h"
#include "platform/base/utf.h"
#include "tests/app_e2e/scenario.h"

namespace krdn::app::e2e {
namespace {

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

TEST_F(AppScenario, ADamagedClientIsRepairedAndTheGameStartedWithExitCodeZero) {
  Prepare([&] {
    MakeClient();
    InstallDamagedCopy();
    ServeWithNginx();
  });
  const std::u16string install = platform::Utf8ToUtf16(install_.string());
  Outcome outcome = Run([&](Driver& d) {
    Snapshot idle = d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.Expect(idle.directory_text == install, "the directory box shows the default directory");
    d.Expect(idle.progress == 0 && idle.status.empty(), "progress 0 and an empty status box at first");
    d.Expect(idle.start_enabled && idle.stop_enabled && idle.search_enabled, "all buttons enabled at first");
    d.ClickMain(u"btn_start");
    Snapshot done = d.WaitFor("the success dialog", [](const Snapshot& s) { return s.dialog == u"DlgMsgBox3"; });
    const auto lines = Lines(done.status);
    const std::vector<std::u16string> expected = {
        u"下载文件tern.sav", u"当前客户端版本号: 1.9.3", u"获取验证文件信息...", u"开始校验本地文件..."};
    d.Expect(lines.size() > expected.size() && std::equal(expected.begin(), expected.end(), lines.begin()),
             "the status box begins with the run's first lines: " + platform::Utf16ToUtf8(done.status));
    d.Expect(!lines.empty() && lines.back() == u"恭喜，已成功下载所有文件", "the last status line is the success");
    d.Expect(Contains(done.status, u"下载文件: \\data\\sound.pak......成功"), "the missing file was downloaded");
    d.Expect(done.progress == 100, "progress 100 at the end");
    d.Expect(done.status_view_top > 0 && done.status_last_line_on_view, "the status box shows its newest line");
    d.Expect(!done.start_enabled && done.stop_enabled && !done.search_enabled, "buttons as while running");
    d.Expect(!done.main_enabled, "the main window is disabled under the dialog");
    d.ClickDialog(u"btn_startgame");
    d.WaitFor("the process to end", [](const Snapshot&) { return false; });
  });
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_TRUE(InstallMatchesClient());
  EXPECT_TRUE(fs::exists(Shortcut()));
  // wine was asked to start the launcher of the install directory, from the program's folder.
  const std::string launched = testing::ReadText(LauncherMarker());
  EXPECT_NE(launched.find("\n" + (install_ / "VoLauncher.exe").string() + "\n"), std::string::npos) << launched;
  EXPECT_EQ(launched.substr(0, launched.find('\n')), fs::read_symlink("/proc/self/exe").parent_path().string());
}

TEST_F(AppScenario, WithoutWineEnterGameSaysTheGameNeedsItAndStillEndsWithZero) {
  Prepare([&] {
    MakeClient();
    InstallDamagedCopy();
    ServeWithNginx();
  });
  // No wine anywhere on the PATH of the program.
  fs::remove(bin_ / "wine");
  ::setenv("PATH", bin_.c_str(), 1);
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_start");
    d.WaitFor("the success dialog", [](const Snapshot& s) { return s.dialog == u"DlgMsgBox3"; });
    d.ClickDialog(u"btn_startgame");
    d.WaitFor("the error box", [](const Snapshot& s) { return s.message_box; });
    d.Expect(d.MessageBoxCaption() == u"错误", "an error box");
    d.Expect(d.OnUi([] { return platform::test::MessageBoxText(platform::test::CurrentMessageBox()); }).find(u"wine") !=
                 std::u16string::npos,
             "the box says that the game needs wine");
    d.AnswerMessageBox(IDOK);
    d.WaitFor("the process to end", [](const Snapshot&) { return false; });
  });
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  // The shortcut still starts the game through wine, once wine is installed.
  EXPECT_NE(testing::ReadText(Shortcut()).find("\nExec=wine \"" + (install_ / "VoLauncher.exe").string() + "\"\n"),
            std::string::npos);
}

TEST_F(AppScenario, FailuresRaiseTheUnstableDialogTwiceThenTheNetworkFailureDialog) {
  Prepare([&] {
    MakeClient();
    InstallDamagedCopy();
    ServeWithFaultServer();
    // Five failed attempts at the version file, then it comes.
    fault_server_->AddRule({.path_prefix = "/krdn/barternsav/", .fault = fault::Fault::kRefuse, .times = 5});
  });
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_start");
    HWND last = nullptr;
    auto next_dialog = [&](const char16_t* cls) {
      Snapshot s = d.WaitFor("a new " + platform::Utf16ToUtf8(cls),
                             [&](const Snapshot& x) { return x.dialog_window != nullptr && x.dialog_window != last; });
      d.Expect(s.dialog == cls, "dialog " + platform::Utf16ToUtf8(cls) + " expected, " + platform::Utf16ToUtf8(s.dialog) + " shown");
      d.Expect(!s.main_enabled, "the main window accepts no input under a dialog");
      last = s.dialog_window;
      return s;
    };
    next_dialog(u"DlgMsgBox1");
    d.ClickDialog(u"btn_retry");
    next_dialog(u"DlgMsgBox1");
    d.ClickDialog(u"btn_close");  // the unstable dialog's caption button: the worker retries all the same
    next_dialog(u"DlgMsgBox2");
    d.ClickDialog(u"btn_cancel");  // the caption button: code 2, the run goes on
    next_dialog(u"DlgMsgBox2");
    d.ClickDialog(u"btn_retry");
    Snapshot before_end = next_dialog(u"DlgMsgBox2");
    d.Expect(Contains(before_end.status, u"下载文件tern.sav"), "the run's first line is in the status box");
    d.ClickDialog(u"btn_close");  // ends the run
    Snapshot idle = d.WaitFor("the window back to idle", [](const Snapshot& s) { return s.dialog.empty(); });
    d.Expect(idle.start_enabled && idle.stop_enabled && idle.search_enabled, "all buttons enabled after the forced end");
    d.Expect(idle.progress == 0 && idle.status.empty(), "progress 0 and the status box emptied");
    d.Expect(idle.ended_by_user && !idle.busy && !idle.holds_worker, "the run was ended by the user");
    d.WaitFor("the abandoned worker to end", [](const Snapshot& s) { return s.workers_alive == 0; });
    // The next Start is a new run: the version file now comes at once.
    d.ClickMain(u"btn_start");
    Snapshot done = d.WaitFor("the success dialog", [](const Snapshot& s) { return s.dialog == u"DlgMsgBox3"; });
    d.Expect(done.workers_started == 2, "a second worker for the new run");
    const auto lines = Lines(done.status);
    d.Expect(!lines.empty() && lines.front() == u"下载文件tern.sav" &&
                 std::count(lines.begin(), lines.end(), u"下载文件tern.sav") == 1,
             "the new run's status box starts empty");
    d.ClickDialog(u"btn_cancel");  // the success dialog's caption button: no game, but the end all the same
    d.WaitFor("the process to end", [](const Snapshot&) { return false; });
  });
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_FALSE(fs::exists(LauncherMarker()));
  EXPECT_TRUE(InstallMatchesClient());
  std::size_t version_requests = 0;
  for (const auto& r : fault_server_->requests()) version_requests += r.path == "/krdn/barternsav/360/tern.sav";
  EXPECT_EQ(version_requests, 6u);
}

}  // namespace
}  // namespace krdn::app::e2e
