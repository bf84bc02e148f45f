// The program on a desktop with a window manager (openbox on an Xvfb server of the
// test's own), read back from outside as the window manager sees it: the main window
// (type, class, icon sizes, taskbar), the folder dialog and the three dialogs (transient
// for the main window, dialogs, modal, no taskbar or pager entry), the tooltip and the
// context menu (unmanaged tooltip and popup-menu windows that take no focus), and the
// window manager's close of the main window while each dialog runs, which changes
// nothing: the run and the dialog go on, and the success path still ends with 0.
#include <chrono>
#include <thread>

#include "core/rich_edit.h"
#include "core/swnd.h"
#include "platform/testing/test_input.h"
#include "platform/base/utf.h"
#include "tests/app_e2e/scenario.h"
#include "tests/app_e2e/x_desktop.h"
#include "tests/support/command_output.h"

namespace krdn::app::e2e {
namespace {

class DesktopScenario : public AppScenario {
 protected:
  void SetUp() override {
    if (!InChild()) {
      desktop_ = std::make_unique<XDesktop>();
      ASSERT_TRUE(desktop_->Ready()) << "Xvfb with openbox could not start";
    }
    AppScenario::SetUp();
  }
  void TearDown() override {
    desktop_.reset();
    if (!path_.empty()) ::setenv("PATH", path_.c_str(), 1);
  }
  // The program's PATH: the test's stand-ins only.
  void OnlyStandInsOnThePath() {
    path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", bin_.c_str(), 1);
  }

  std::string path_;

  std::unique_ptr<XDesktop> desktop_;
};

std::uint64_t IdOf(Driver& d, HWND hwnd) {
  return d.OnUi([&] { return platform::test::NativeWindowId(hwnd); });
}

// The main window once the window manager has placed and activated it, as a user
// would see it before clicking. The waits are long: under load the window manager may
// take seconds.
std::uint64_t ShownMainWindow(Driver& d) {
  d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
  const HWND hwnd = d.OnUi([&] { return d.Main()->NativeHandle(); });
  WaitUntilPlaced(d, hwnd, "the main window");
  const std::uint64_t main = IdOf(d, hwnd);
  for (int i = 0; i < 1000 && ActiveWindow() != main; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  d.Expect(FactsOf(main).viewable && ActiveWindow() == main, "the main window is shown and active");
  return main;
}

std::string Describe(const XWindowFacts& f) {
  std::string states;
  for (const auto& s : f.states) states += s + " ";
  return "type " + f.type + ", states " + states + ", transient for " + std::to_string(f.transient_for) + ", class " +
         f.wm_class;
}

// A dialog of the program as the window manager must see it while it runs.
void ExpectDialogRoles(Driver& d, std::uint64_t dialog, std::uint64_t main, const std::string& which) {
  const XWindowFacts f = FactsOf(dialog);
  d.Expect(f.type == "_NET_WM_WINDOW_TYPE_DIALOG", which + " is a dialog: " + Describe(f));
  d.Expect(f.transient_for == main, which + " is transient for the main window: " + Describe(f));
  d.Expect(f.Has("_NET_WM_STATE_MODAL"), which + " is modal: " + Describe(f));
  d.Expect(f.Has("_NET_WM_STATE_SKIP_TASKBAR") && f.Has("_NET_WM_STATE_SKIP_PAGER"),
           which + " has no taskbar or pager entry: " + Describe(f));
  d.Expect(f.wm_class == "\"krdn-repair\", \"krdn-repair\"", which + "'s class: " + f.wm_class);
  const auto managed = ManagedWindows();
  d.Expect(std::find(managed.begin(), managed.end(), dialog) != managed.end(), which + " is managed");
  d.Expect(TaskbarWindows() == std::vector<std::uint64_t>{main}, "only the main window is on the taskbar under " + which);
}

// The window manager's close of the main window under a dialog: nothing happens.
void CloseMainUnder(Driver& d, std::uint64_t main, HWND dialog, const std::string& which) {
  CloseThroughWindowManager(main);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Snapshot s = d.Look();
  d.Expect(s.main_window && s.dialog_window == dialog, "the main window and " + which + " survive the close");
  d.Expect(FactsOf(main).viewable, "the main window is still on screen");
}

TEST_F(DesktopScenario, WindowsHaveTheRolesTheWindowManagerUnderstands) {
  Prepare([&] {
    MakeClient();
    InstallDamagedCopy();
    ServeWithFaultServer();
    // Three refused version requests: the unstable dialog twice, the failure dialog once.
    fault_server_->AddRule({.path_prefix = "/krdn/barternsav/", .fault = fault::Fault::kRefuse, .times = 3});
  });
  OnlyStandInsOnThePath();  // no desktop folder picker: the program's own dialog
  Outcome outcome = Run([&](Driver& d) {
    const std::uint64_t main = ShownMainWindow(d);
    const XWindowFacts m = FactsOf(main);
    d.Expect(m.type == "_NET_WM_WINDOW_TYPE_NORMAL" && m.transient_for == 0, "the main window: " + Describe(m));
    d.Expect(!m.Has("_NET_WM_STATE_SKIP_TASKBAR") && !m.Has("_NET_WM_STATE_MODAL"), "the main window: " + Describe(m));
    d.Expect(m.wm_class == "\"krdn-repair\", \"krdn-repair\"", "the class the desktop entry names: " + m.wm_class);
    const std::vector<int> icon_sizes = IconSizesOf(main);
    std::string sizes;
    for (int size : icon_sizes) sizes += std::to_string(size) + " ";
    d.Expect(icon_sizes == std::vector<int>{256, 128, 64, 48, 32, 16}, "every icon size reaches the window manager: " + sizes);
    d.Expect(TaskbarWindows() == std::vector<std::uint64_t>{main}, "the main window is on the taskbar");

    // A tooltip: shown by hovering a button with a tip; no focus, not managed.
    d.OnUi([&] { d.Main()->ChildWithName(u"btn_start")->SetTipText(u"开始安装"); });
    // Two moves: the first makes the button the tooltip's target, the second starts its timer.
    for (int dx : {0, 1}) {
      d.OnUi([&] {
        RECT rc = d.Main()->ChildWithName(u"btn_start")->ElementArea();
        platform::test::MouseMove(d.Main()->NativeHandle(), POINT{(rc.left + rc.right) / 2 + dx, (rc.top + rc.bottom) / 2});
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::uint64_t tip = 0;
    for (int i = 0; i < 1000 && tip == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      tip = MappedWindowNamed("loom tooltip");
    }
    d.Expect(tip != 0, "the tooltip shows: " + testing::CommandOutput("/usr/bin/xwininfo -root -tree | grep -i loom"));
    if (tip != 0) {
      const XWindowFacts t = FactsOf(tip);
      d.Expect(t.type == "_NET_WM_WINDOW_TYPE_TOOLTIP" && t.override_redirect, "a tooltip window: " + Describe(t));
      const auto managed = ManagedWindows();
      d.Expect(std::find(managed.begin(), managed.end(), tip) == managed.end(), "the tooltip is not managed");
      d.Expect(ActiveWindow() == main, "the main window keeps the focus under the tooltip");
    }
    d.OnUi([&] { platform::test::MouseLeave(d.Main()->NativeHandle()); });

    // The status box's context menu: a popup menu, transient for the main window.
    d.OnUi([&] { d.Main()->Status().Element()->SetWindowText(u"第一行\r\n"); });
    d.OnUi([&] {
      RECT rc = d.Main()->Status().Element()->ElementArea();
      platform::test::Click(d.Main()->NativeHandle(), POINT{rc.left + 20, rc.top + 10}, platform::test::Button::kRight);
    });
    std::uint64_t menu = 0;
    for (int i = 0; i < 1000 && menu == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      menu = MappedWindowNamed("loom menu");
    }
    d.Expect(menu != 0, "the context menu shows");
    if (menu != 0) {
      const XWindowFacts c = FactsOf(menu);
      d.Expect(c.type == "_NET_WM_WINDOW_TYPE_POPUP_MENU" && c.override_redirect, "a popup menu: " + Describe(c));
      d.Expect(c.transient_for == main, "the menu belongs to the main window: " + Describe(c));
      d.Expect(ActiveWindow() == main, "the main window keeps the focus under the menu");
    }
    d.OnUi([&] { platform::test::KeyPress(VK_ESCAPE); });
    for (int i = 0; i < 1000 && MappedWindowNamed("loom menu") != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    d.Expect(MappedWindowNamed("loom menu") == 0, "Esc closes the menu");

    // The folder dialog.
    d.ClickMain(u"btn_search");
    Snapshot folder = d.WaitFor("the folder dialog", [](const Snapshot& s) { return s.dialog == u"DlgFolder"; });
    WaitUntilPlaced(d, folder.dialog_window, "the folder dialog");
    ExpectDialogRoles(d, IdOf(d, folder.dialog_window), main, "the folder dialog");
    CloseMainUnder(d, main, folder.dialog_window, "the folder dialog");
    d.ClickDialog(u"btn_cancel");
    d.WaitFor("the folder dialog to close", [](const Snapshot& s) { return s.dialog.empty() && s.main_enabled; });
    d.Expect(!FactsOf(main).Has("_NET_WM_STATE_MODAL"), "the main window was never modal");

    // The run, through the three dialogs.
    d.ClickMain(u"btn_start");
    HWND last = nullptr;
    auto next_dialog = [&](const char16_t* cls) {
      Snapshot s = d.WaitFor("a new " + platform::Utf16ToUtf8(cls),
                             [&](const Snapshot& x) { return x.dialog_window != nullptr && x.dialog_window != last; });
      d.Expect(s.dialog == cls, platform::Utf16ToUtf8(cls) + " expected, " + platform::Utf16ToUtf8(s.dialog) + " shown");
      last = s.dialog_window;
      const std::string which = platform::Utf16ToUtf8(cls);
      WaitUntilPlaced(d, s.dialog_window, which);
      ExpectDialogRoles(d, IdOf(d, s.dialog_window), main, which);
      CloseMainUnder(d, main, s.dialog_window, which);
      d.Expect(d.Look().workers_alive == 1, "the run goes on under " + which);
    };
    next_dialog(u"DlgMsgBox1");
    d.ClickDialog(u"btn_retry");
    next_dialog(u"DlgMsgBox1");
    d.ClickDialog(u"btn_retry");
    next_dialog(u"DlgMsgBox2");
    d.ClickDialog(u"btn_retry");
    next_dialog(u"DlgMsgBox3");
    d.ClickDialog(u"btn_startgame");
    d.WaitFor("the process to end", [](const Snapshot&) { return false; });
  });
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_TRUE(InstallMatchesClient());
  EXPECT_TRUE(fs::exists(LauncherMarker())) << "the game was started";
}

TEST_F(DesktopScenario, TheDesktopsFolderPickerIsAttachedToTheMainWindow) {
  const fs::path args = work_ / "zenity-args";
  Prepare([&] {
    testing::WriteFile(bin_ / "zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args.string() + "'\necho /srv/games\n");
    ::chmod((bin_ / "zenity").c_str(), 0755);
  });
  std::uint64_t main = 0;
  Outcome outcome = Run([&](Driver& d) {
    main = ShownMainWindow(d);
    d.ClickMain(u"btn_search");
    d.WaitFor("the chosen folder", [](const Snapshot& s) { return s.chosen_directory == u"/srv/games/KRDN"; });
    d.Expect(testing::ReadText(args).find("\n--attach=" + std::to_string(main) + "\n") != std::string::npos,
             "zenity is attached to the main window: " + testing::ReadText(args));
    d.ClickMain(u"btn_close");
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
}

}  // namespace
}  // namespace krdn::app::e2e
