// Modal dialogs: the owner disabled during the run, end codes, WM_CLOSE, Esc and Enter,
// the application quitting during a dialog, the owner destroyed under it, creation
// failures, and dialogs shown inside a message sent from another thread.
#include <functional>
#include <map>
#include <thread>

#include "platform/ui/timer.h"
#include "tests/loom_host/host_fixture.h"

namespace LOOM {
namespace {

using test::HostFixture;

constexpr UINT kStep = WM_USER + 1;  // posted by WM_INITDIALOG: runs inside the modal loop
// A run that has not ended after a few seconds ends with this code instead of hanging.
constexpr UINT_PTR kWatchdogTimer = 77;
constexpr int kGaveUp = -1;

// A key as the loop would receive it from the keyboard, whoever has the display's focus.
void PostKey(HWND hwnd, int key) {
  platform::PostMessageW(hwnd, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
  platform::PostMessageW(hwnd, WM_KEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(0xC0000001u));
}

// A dialog whose test scripts what happens at WM_INITDIALOG and inside its loop.
class ScriptedDialog : public SHostDialog {
 public:
  explicit ScriptedDialog(std::u16string_view layout) : SHostDialog(layout) {}
  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override {
    if (msg == WM_CREATE && refuse_creation) return RunHandler(result, [] { return -1; });
    if (msg == WM_KEYUP && on_key_up) on_key_up(wp);
    if (msg == WM_INITDIALOG) {
      owner_enabled_at_init = platform::IsWindowEnabled(platform::GetWindow(hwnd, GW_OWNER)) != FALSE;
      if (on_init) on_init();
      PostWindowMessage(kStep);
      return RunHandler(result, [] { return 0; });
    }
    if (msg == WM_TIMER && wp == kWatchdogTimer) return RunHandler(result, [&] { EndDialog(kGaveUp); });
    if (msg == kStep) {
      platform::SetTimer(hwnd, kWatchdogTimer, 5000, nullptr);
      ++steps;
      shown_in_loop = platform::IsWindowVisible(hwnd) != FALSE;
      owner_enabled_in_loop = platform::IsWindowEnabled(platform::GetWindow(hwnd, GW_OWNER)) != FALSE;
      if (in_loop) in_loop();
      return RunHandler(result, [] { return 0; });
    }
    return SHostDialog::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
  }
  std::function<void()> on_init;
  std::function<void()> in_loop;
  std::function<void(WPARAM)> on_key_up;
  bool refuse_creation = false;
  bool owner_enabled_at_init = true;
  bool owner_enabled_in_loop = true;
  bool shown_in_loop = false;
  int steps = 0;
};

// Runs an action, once, when a message reaches the loop it filters (and consumes it).
class StartOn final : public IMessageFilter {
 public:
  StartOn(UINT msg, std::function<void()> action) : msg_(msg), action_(std::move(action)) {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message != msg_ || done_) return FALSE;
    done_ = true;
    action_();
    return TRUE;
  }

 private:
  UINT msg_;
  std::function<void()> action_;
  bool done_ = false;
};

class DialogTest : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    owner_hwnd_ = owner_.Create(nullptr, WS_POPUP, 0, 0, 0, 0, 0);
    ASSERT_NE(owner_hwnd_, nullptr);
    owner_.ShowWindow(SW_SHOWNORMAL);
    test::DrainQueue();
  }
  void TearDown() override {
    owner_.DestroyWindow();
    HostFixture::TearDown();
  }
  SHostWnd owner_{u"LAYOUT:XML_MAIN"};
  HWND owner_hwnd_ = nullptr;
};

TEST_F(DialogTest, AModalRunDisablesItsOwnerAndReturnsTheFirstEndCode) {
  ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
  EXPECT_EQ(dlg.EndCode(), SHostDialog::kNotEnded);
  EXPECT_NE(dlg.MessageLoop(), app_.MainMessageLoop());
  RECT dialog_rect{};
  dlg.in_loop = [&] {
    EXPECT_TRUE(dlg.IsRunningModal());
    dialog_rect = WindowRectOf(dlg.NativeHandle());
    dlg.EndDialog(IDRETRY);
    dlg.EndDialog(IDIGNORE);
  };
  EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDRETRY);
  EXPECT_EQ(dlg.EndCode(), IDRETRY);
  EXPECT_FALSE(dlg.owner_enabled_in_loop);
  EXPECT_TRUE(dlg.shown_in_loop);
  EXPECT_TRUE(platform::IsWindowEnabled(owner_hwnd_));
  // On an X server other programs' windows may take the display's focus meanwhile.
  if (platform::VideoDriverName() == "offscreen") {
    EXPECT_EQ(platform::GetActiveWindow(), owner_hwnd_);
  }
  EXPECT_EQ(dlg.NativeHandle(), nullptr);  // destroyed after the run
  // Centred over its owner (600 x 300 main layout centred at its own place).
  RECT owner_rect = WindowRectOf(owner_hwnd_);
  EXPECT_EQ(dialog_rect.right - dialog_rect.left, 300);
  EXPECT_EQ((dialog_rect.left + dialog_rect.right) / 2, (owner_rect.left + owner_rect.right) / 2);
}

TEST_F(DialogTest, CloseEnterAndACommandFromIdOneEndTheDialog) {
  {
    ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
    dlg.in_loop = [&] { dlg.SendWindowMessage(WM_CLOSE); };
    EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDCANCEL);
  }
  {
    ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");  // "ok" has id IDOK
    dlg.in_loop = [&] { PostKey(dlg.NativeHandle(), VK_RETURN); };
    EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDOK);
  }
  {
    ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
    dlg.in_loop = [&] { platform::test::Click(dlg.NativeHandle(), POINT{20, 110}); };
    EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDOK);
  }
}

TEST_F(DialogTest, EscAndEnterDoNothingWithoutElementsOfIdsTwoAndOne) {
  ScriptedDialog dlg(u"LAYOUT:XML_PLAIN_DLG");
  dlg.in_loop = [&] {
    PostKey(dlg.NativeHandle(), VK_ESCAPE);
    PostKey(dlg.NativeHandle(), VK_RETURN);
  };
  // Once both keys have been handled, the release of the last one ends the dialog.
  dlg.on_key_up = [&](WPARAM key) {
    if (key == VK_RETURN) dlg.EndDialog(IDNO);
  };
  EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDNO);
}

TEST_F(DialogTest, AQuitDuringTheDialogEndsItWithTheMarkerAndReachesTheOuterLoop) {
  ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
  dlg.in_loop = [] { platform::PostQuitMessage(9); };
  int dialog_result = 0;
  // The dialog runs inside the application's main loop, as the program's do.
  owner_.PostWindowMessage(WM_USER + 50);
  StartOn starter(WM_USER + 50, [&] { dialog_result = dlg.RunModal(owner_hwnd_); });
  app_.MainMessageLoop()->AddMessageFilter(&starter);
  int exit_code = app_.MainMessageLoop()->Run();
  app_.MainMessageLoop()->RemoveMessageFilter(&starter);
  EXPECT_EQ(dialog_result, SHostDialog::kNotEnded);
  EXPECT_EQ(exit_code, 9);
  EXPECT_TRUE(platform::IsWindowEnabled(owner_hwnd_));
}

TEST_F(DialogTest, AnInitDialogThatEndsTheDialogReturnsItsCodeWithoutShowingIt) {
  ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
  dlg.on_init = [&] { dlg.EndDialog(IDYES); };
  EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDYES);
  EXPECT_FALSE(dlg.owner_enabled_at_init);
  EXPECT_EQ(dlg.steps, 0);  // the loop never ran
  EXPECT_TRUE(platform::IsWindowEnabled(owner_hwnd_));
}

TEST_F(DialogTest, AWindowThatCannotBeCreatedReturnsZeroAndLeavesTheOwnerAsItWas) {
  ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
  dlg.refuse_creation = true;
  EXPECT_EQ(dlg.RunModal(owner_hwnd_), 0);
  EXPECT_TRUE(platform::IsWindowEnabled(owner_hwnd_));
}

TEST_F(DialogTest, ADisabledOwnerOrTheDesktopIsNeitherDisabledNorEnabled) {
  platform::EnableWindow(owner_hwnd_, FALSE);
  {
    ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
    dlg.in_loop = [&] { dlg.OnOK(); };
    EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDOK);
  }
  EXPECT_FALSE(platform::IsWindowEnabled(owner_hwnd_));
  platform::EnableWindow(owner_hwnd_, TRUE);
  ScriptedDialog dlg(u"LAYOUT:XML_DIALOG");
  dlg.in_loop = [&] { dlg.OnCancel(); };
  EXPECT_EQ(dlg.RunModal(platform::GetDesktopWindow()), IDCANCEL);
  EXPECT_TRUE(platform::IsWindowEnabled(platform::GetDesktopWindow()));
}

TEST_F(DialogTest, DestroyingTheMainWindowUnderADialogEndsBothInOrder) {
  SHostWnd main_window(u"LAYOUT:XML_MAIN");  // appMain
  HWND main_hwnd = main_window.Create(nullptr, 0, 0, 400, 300);
  main_window.ShowWindow(SW_SHOWNORMAL);
  ScriptedDialog dlg(u"LAYOUT:XML_PLAIN_DLG");
  int dialog_result = 0;
  dlg.in_loop = [&] { platform::DestroyWindow(main_hwnd); };
  main_window.PostWindowMessage(WM_USER + 50);
  StartOn starter(WM_USER + 50, [&] { dialog_result = dlg.RunModal(main_hwnd); });
  app_.MainMessageLoop()->AddMessageFilter(&starter);
  int exit_code = app_.RunMainLoop(main_hwnd);
  app_.MainMessageLoop()->RemoveMessageFilter(&starter);
  EXPECT_EQ(dialog_result, IDCANCEL);  // its window went with its owner
  EXPECT_EQ(exit_code, 1);             // the main window's quit code
  EXPECT_FALSE(platform::IsWindow(main_hwnd));
}

TEST_F(DialogTest, ADialogWhoseOwnerIsDestroyedUnderItEndsAsIfClosed) {
  // An owner that posts no quit message: without an end the loop would wait for ever.
  ScriptedDialog dlg(u"LAYOUT:XML_PLAIN_DLG");
  dlg.in_loop = [&] { platform::DestroyWindow(owner_hwnd_); };
  EXPECT_EQ(dlg.RunModal(owner_hwnd_), IDCANCEL);
  EXPECT_FALSE(platform::IsWindow(owner_hwnd_));
}

TEST_F(DialogTest, ADialogRunsInsideAMessageSentFromAnotherThread) {
  // The worker's notifications: a send that the window answers by running a dialog.
  constexpr UINT kNotify = WM_USER + 106;
  struct Controller : SHostWnd {
    using SHostWnd::SHostWnd;
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override {
      if (msg == kNotify) {
        return RunHandler(result, [&] {
          ScriptedDialog dlg(u"LAYOUT:XML_PLAIN_DLG");
          dlg.in_loop = [&] { dlg.EndDialog(IDRETRY); };
          int code = dlg.RunModal(NativeHandle());
          platform::PostQuitMessage(0);
          return code;
        });
      }
      return SHostWnd::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
    }
  } controller(u"LAYOUT:XML_PLAIN_DLG");
  HWND hwnd = controller.Create(nullptr, WS_POPUP, 0, 0, 0, 0, 0);
  controller.ShowWindow(SW_SHOWNORMAL);
  LRESULT answer = 0;
  std::thread worker([&] { answer = platform::SendMessageW(hwnd, kNotify, 0, 0); });
  app_.MainMessageLoop()->Run();
  worker.join();
  EXPECT_EQ(answer, IDRETRY);
  controller.DestroyWindow();
}

}  // namespace
}  // namespace LOOM
