// Start, Stop, Close and the folder browse, with a run under way.
#include <algorithm>
#include <set>
#include <thread>

#include "core/rich_edit.h"
#include "platform/text/text_defs.h"
#include "platform/base/utf.h"
#include "tests/app_e2e/scenario.h"

namespace krdn::app::e2e {
namespace {

bool Downloading(const Snapshot& s) { return s.status.find(u"下载文件: ") != std::u16string::npos; }

TEST_F(AppScenario, StartTwiceStartsOneRun) {
  PrepareTricklingRepair(40000);
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_stop");  // Stop before any Start touches no worker
    Snapshot stopped = d.Look();
    d.Expect(stopped.start_enabled && stopped.stop_enabled && stopped.workers_started == 0, "Stop before Start changes nothing");
    d.ClickMain(u"btn_start");
    d.WaitFor("the run to start", [](const Snapshot& s) { return s.busy && !s.start_enabled; });
    d.ClickMain(u"btn_start");  // disabled now
    // And the command itself, as if the button had taken it: the busy flag refuses it.
    d.FireCommand(u"btn_start");
    Snapshot running = d.WaitFor("the download", Downloading);
    d.Expect(running.workers_started == 1, "one worker for two presses of Start");
    d.ClickMain(u"btn_close");  // the loop ends with 1; the script ends here
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
}

TEST_F(AppScenario, StopHoldsTheRunAndStartContinuesIt) {
  PrepareTricklingRepair(60000);
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_start");
    d.WaitFor("the download", Downloading);
    d.ClickMain(u"btn_stop");
    Snapshot held = d.WaitFor("Stop", [](const Snapshot& s) { return s.start_enabled; });
    d.Expect(held.stop_enabled && !held.search_enabled, "stopped: start and stop enabled, browse disabled");
    d.Expect(!held.running && !held.busy && held.holds_worker, "the worker is held, not ended");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Snapshot later = d.Look();
    d.Expect(later.status == held.status && later.progress == held.progress, "nothing moves while held");
    // The user scrolls the status box up to read while the run is held: the lines the
    // run appends after Start leave the view there until the user is back at the end.
    d.OnUi([&] { d.Main()->Status().Element()->SendElementMessage(EM_LINESCROLL, 0, -2); });
    const int reading = d.Look().status_view_top;
    d.Expect(!d.Look().status_last_line_on_view, "the status box scrolled up by hand");
    d.ClickMain(u"btn_start");
    Snapshot resumed = d.WaitFor("Start", [](const Snapshot& s) { return !s.start_enabled; });
    d.Expect(resumed.running && resumed.busy && !resumed.search_enabled, "running again");
    d.WaitFor("more status lines", [&](const Snapshot& s) { return s.status.size() > held.status.size(); });
    d.Expect(d.Look().status_view_top == reading, "the view stays where the user reads");
    d.OnUi([&] { d.Main()->Status().Element()->SendElementMessage(WM_VSCROLL, SB_BOTTOM, 0); });
    Snapshot done = d.WaitFor("the success dialog", [](const Snapshot& s) { return s.dialog == u"DlgMsgBox3"; });
    d.Expect(done.workers_started == 1, "the same worker went on");
    d.Expect(done.status_last_line_on_view, "back at the end, the status box follows its newest line again");
    d.Expect(done.status.rfind(held.status, 0) == 0, "the status box kept its text and went on from it");
    d.ClickDialog(u"btn_cancel");
    d.WaitFor("the process to end", [](const Snapshot&) { return false; });
  });
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_TRUE(InstallMatchesClient());
  // The held transfer went on: no piece was asked for twice.
  std::set<std::pair<std::string, std::string>> pieces;
  for (const auto& r : fault_server_->requests()) {
    if (r.range.empty() || r.path.find("/krdn/repair/1.9.3/") != 0) continue;
    EXPECT_TRUE(pieces.insert({r.path, r.range}).second) << r.path << " " << r.range;
  }
  EXPECT_FALSE(pieces.empty());
}

TEST_F(AppScenario, CloseDuringAStalledTransferEndsWithExitCodeOneAndNoWorkerLeft) {
  Prepare([&] {
    MakeClient();
    InstallDamagedCopy();
    ServeWithFaultServer();
    // The manifest comes; the first piece stalls half-way.
    fault_server_->AddRule({.path_prefix = "/krdn/repair/1.9.3/data/", .fault = fault::Fault::kStallMidBody});
  });
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.RecordThreads();
    d.ClickMain(u"btn_start");
    d.WaitFor("the download", Downloading);
    d.ClickMain(u"btn_close");
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
  // The worker was inside the stalled transfer when the window closed.
  bool stalled_piece_asked = false;
  for (const auto& r : fault_server_->requests()) stalled_piece_asked |= r.path.starts_with("/krdn/repair/1.9.3/data/");
  EXPECT_TRUE(stalled_piece_asked);
}

TEST_F(AppScenario, QuitWhileTheRunIsHeldEndsWithExitCodeOneAndNoWorkerLeft) {
  PrepareTricklingRepair(40000);
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.RecordThreads();
    d.ClickMain(u"btn_start");
    d.WaitFor("the download", Downloading);
    d.ClickMain(u"btn_stop");
    d.WaitFor("Stop", [](const Snapshot& s) { return s.start_enabled && s.holds_worker; });
    d.ClickMain(u"btn_quit");
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
}

TEST_F(AppScenario, AfterTheRunEndedByItselfStopThenStartMakesANewWorker) {
  Prepare([&] {
    MakeClient(64 * 1024, "1.8.0");  // a version the tool does not support: the run ends at once
    InstallDamagedCopy();
    ServeWithFaultServer();
  });
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_start");
    Snapshot ended = d.WaitFor("the run to end by itself", [](const Snapshot& s) {
      return s.workers_started == 1 && s.workers_alive == 0 && !s.busy;
    });
    d.Expect(ended.status.find(u"1.8.0") != std::u16string::npos, "the version line is in the status box");
    d.Expect(!ended.start_enabled && ended.stop_enabled && !ended.search_enabled, "the buttons stay as while running");
    d.Expect(!ended.holds_worker, "a returned worker is not held");
    d.ClickMain(u"btn_stop");
    Snapshot stopped = d.WaitFor("Stop", [](const Snapshot& s) { return s.start_enabled; });
    d.Expect(!stopped.search_enabled, "browse stays disabled after Stop");
    d.ClickMain(u"btn_start");
    Snapshot again = d.WaitFor("the second run to end", [](const Snapshot& s) {
      return s.workers_started == 2 && s.workers_alive == 0 && !s.busy;
    });
    d.Expect(again.status.find(u"1.8.0") != again.status.rfind(u"1.8.0"), "the second run appended to the same status box");
    d.ClickMain(u"btn_quit");
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
}

TEST_F(AppScenario, BrowseChoosesAFolderAndStartCreatesKrdnInIt) {
  const fs::path games = work_ / "games";
  Prepare([&] {
    MakeClient();
    ServeWithFaultServer();
    fs::create_directories(games);
    testing::WriteFile(bin_ / "zenity", "#!/bin/sh\necho '" + games.string() + "'\n");
    ::chmod((bin_ / "zenity").c_str(), 0755);
  });
  const std::u16string chosen = platform::Utf8ToUtf16((games / "KRDN").string());
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_search");
    Snapshot browsed = d.WaitFor("the chosen folder", [&](const Snapshot& s) { return s.chosen_directory == chosen; });
    d.Expect(browsed.directory_text == chosen, "the directory box shows the folder with KRDN joined");
    d.ClickMain(u"btn_start");
    d.WaitFor("the success dialog", [](const Snapshot& s) { return s.dialog == u"DlgMsgBox3"; });
    d.ClickDialog(u"btn_cancel");
    d.WaitFor("the process to end", [](const Snapshot&) { return false; });
  });
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_TRUE(fs::exists(games / "KRDN/data/world.pak"));
  EXPECT_FALSE(fs::exists(install_));
}

}  // namespace
}  // namespace krdn::app::e2e
