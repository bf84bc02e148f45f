// The program on Windows end to end (under wine on Xvfb): the real start-up with the
// trust question of this unsigned test program, the window driven by injected clicks,
// a repair from nginx, Velmora3.lnk on the desktop, and the launcher started through
// CreateProcessW. The program runs in this test's own process with a driver thread
// beside it; each case is a CTest test of its own, since the success dialog ends the
// process: the checks that follow it run in the program's end-of-process hook.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "app/install_paths.h"
#include "app/startup.h"
#include "platform/io/desktop.h"
#include "platform/ui/message_box.h"
#include "platform/shell/process.h"
#include "platform/base/utf.h"
#include "platform/ui/windowing.h"
#include "tests/app_e2e/ui_driver.h"
#include "tests/support/local_servers.h"
#include "tests/support/temp_dir.h"
#include "tools/publish/publish.h"

namespace krdn::app::e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPiece = 64 * 1024;
// Marks an install directory as this test's own copy, which a later run may remove.
constexpr char kOwnCopyMark[] = "krdn-e2e-test-copy";

std::string Utf8(const fs::path& path) { return platform::Utf16ToUtf8(path.u16string()); }

fs::path OwnPath() {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return fs::path(path);
}

class WindowsProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = fs::path(DefaultInstallDirectory());
    // An earlier case's copy, or the empty folder it leaves: the program holds the
    // install directory open until the process ends, so that case cannot remove it.
    if (fs::exists(install_)) {
      ASSERT_TRUE(fs::exists(install_ / kOwnCopyMark) || fs::is_empty(install_))
          << install_ << " exists and is no copy of this test's";
      fs::remove_all(install_);
    }
    shortcut_ = fs::path(platform::DesktopDirectory()) / "Velmora3.lnk";
    fs::remove(shortcut_);
    temp_ = std::make_unique<testing::TempDir>();
    client_ = temp_->path() / "client";
    marker_ = temp_->path() / "launcher-started";
    ::SetEnvironmentVariableW(L"KRDN_LAUNCHER_MARKER", marker_.wstring().c_str());
  }

  // A sample client whose launcher records how it was started, published and served by
  // nginx; the install directory holds a damaged copy (missing, too short, one bad piece).
  void ServeDamagedClient() {
    testing::WriteFile(client_ / "VoLauncher.exe", testing::ReadFile(OwnPath().parent_path() / "krdn-launcher-stand-in.exe"));
    testing::WriteFile(client_ / "data/world.pak", testing::PatternBytes(5 * kPiece + 123, 1));
    testing::WriteFile(client_ / "data/sound.pak", testing::PatternBytes(3 * kPiece, 2));
    testing::WriteFile(client_ / u8"地图/城镇 01.map", testing::PatternBytes(2 * kPiece + 7, 3));
    testing::WriteFile(client_ / "config/settings.ini", std::string("[client]\nlanguage=zh_CN\n"));
    const fs::path root = temp_->path() / "root";
    const auto outcome = publish::Publish({.client = client_, .out = root, .version = "1.9.3", .mode_word = 0, .piece_size = kPiece});
    ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
    fs::copy(client_, install_, fs::copy_options::recursive);
    testing::WriteFile(install_ / kOwnCopyMark, std::string());
    owns_install_ = true;
    fs::remove(install_ / "data/sound.pak");
    fs::resize_file(install_ / u8"地图/城镇 01.map", 1000);
    std::vector<std::uint8_t> world = testing::ReadFile(install_ / "data/world.pak");
    world[world.size() / 2] ^= 0xFF;
    testing::WriteFile(install_ / "data/world.pak", world);
    nginx_ = std::make_unique<testing::LocalServers>(root, temp_->path() / "nginx");
    settings_.version_host = nginx_->version_host();
    settings_.repair_host = nginx_->repair_host();
  }

  bool InstallMatchesClient() const {
    for (const auto& entry : fs::recursive_directory_iterator(client_)) {
      if (!entry.is_regular_file()) continue;
      const fs::path installed = install_ / fs::relative(entry.path(), client_);
      if (!fs::exists(installed) || testing::ReadFile(installed) != testing::ReadFile(entry.path())) return false;
    }
    return true;
  }

  // Runs the program with the script beside it and answers the loop's exit code. When
  // the program ends the process instead, `at_end` runs with its exit code first, and
  // the process ends with 0 only if no check has failed.
  int RunProgram(const std::function<void(Driver&)>& script, const std::function<void(int)>& at_end) {
    platform::InitWindowing();
    UiInvoker invoker;
    Driver driver(invoker);
    // nginx is a process of the machine that runs wine: a failed run stops it first.
    driver.SetBeforeFailedExit([this] { nginx_.reset(); });
    std::thread([this] {
      std::this_thread::sleep_for(std::chrono::seconds(90));
      std::fprintf(stderr, "the program's run timed out\n");
      nginx_.reset();
      platform::EndProcessNow(Driver::kFailedExitCode + 1);
    }).detach();
    ProgramOptions options;
    options.run_settings = settings_;
    options.on_main_window = [&](CMainDlg& main) { driver.SetMainWindow(&main); };
    options.end_process = [&](int exit_code) {
      at_end(exit_code);
      const bool passed = driver.Report() && !::testing::Test::HasFailure();
      CleanUp();
      std::printf(passed ? "[  PASSED  ] the program ended the process\n" : "[  FAILED  ] the program ended the process\n");
      platform::EndProcessNow(passed ? 0 : 1);
    };
    std::thread script_thread([&] { script(driver); });
    const int exit_code = krdn::app::RunProgram(options);
    invoker.Close();
    script_thread.join();
    EXPECT_TRUE(driver.Report());
    return exit_code;
  }

  void TearDown() override { CleanUp(); }

  // The launcher may still be running from the install directory for a moment, which
  // keeps its file from being removed; the folder itself stays while the program holds
  // it open.
  void CleanUp() {
    nginx_.reset();
    std::error_code ignored;
    for (int i = 0; owns_install_ && i < 50 && fs::exists(install_ / "VoLauncher.exe", ignored); ++i) {
      fs::remove_all(install_, ignored);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    owns_install_ = false;
    fs::remove(shortcut_, ignored);
    temp_.reset();
  }

  fs::path install_, shortcut_, client_, marker_;
  bool owns_install_ = false;
  std::unique_ptr<testing::TempDir> temp_;
  std::unique_ptr<testing::LocalServers> nginx_;
  RunSettings settings_;
};

// The first thing on screen is the question about this unsigned program; Yes goes on.
void AnswerTrustQuestion(Driver& d, int answer) {
  Snapshot asked = d.WaitFor("the trust question", [](const Snapshot& s) { return s.message_box; });
  d.Expect(!asked.main_window, "no main window before the answer");
  d.Expect(d.MessageBoxCaption() == u"Velmora3", "the question's caption");
  d.AnswerMessageBox(answer);
}

TEST_F(WindowsProgram, ARepairEndsWithTheShortcutAndEnterGameStartsTheLauncherFromTheProgramsFolder) {
  ServeDamagedClient();
  RunProgram(
      [](Driver& d) {
        AnswerTrustQuestion(d, IDYES);
        d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
        d.ClickMain(u"btn_start");
        d.WaitFor("the success dialog", [](const Snapshot& s) { return s.dialog == u"DlgMsgBox3"; }, std::chrono::seconds(60));
        d.ClickDialog(u"btn_startgame");
      },
      [&](int exit_code) {
        EXPECT_EQ(exit_code, 0);
        EXPECT_TRUE(InstallMatchesClient());
        EXPECT_TRUE(fs::exists(shortcut_)) << shortcut_;
        // The launcher runs on its own; it leaves its record within seconds.
        for (int i = 0; i < 100 && !fs::exists(marker_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(fs::exists(marker_)) << "the launcher was not started";
        // Three lines: working directory, command line, the program's own path.
        std::vector<std::string> lines;
        std::string record = testing::ReadText(marker_);
        for (std::size_t end; (end = record.find('\n')) != std::string::npos; record.erase(0, end + 1))
          lines.push_back(record.substr(0, end));
        ASSERT_EQ(lines.size(), 3u);
        const std::string launcher = Utf8((install_ / "VoLauncher.exe").make_preferred());
        EXPECT_EQ(lines[0], Utf8(OwnPath().parent_path())) << "the program's folder, not the shortcut's";
        EXPECT_EQ(lines[1], "\"" + launcher + "\"") << "no arguments";
        EXPECT_EQ(lines[2], launcher);
      });
  FAIL() << "the program returned instead of ending the process after the success dialog";
}

TEST_F(WindowsProgram, NoToTheTrustQuestionEndsWithMinusOneBeforeAnyWindow) {
  const int exit_code = RunProgram([](Driver& d) { AnswerTrustQuestion(d, IDNO); }, [](int) {
    ADD_FAILURE() << "the program ended the process";
  });
  EXPECT_EQ(exit_code, -1);
}

TEST_F(WindowsProgram, ClosingTheMainWindowEndsWithOne) {
  const int exit_code = RunProgram(
      [](Driver& d) {
        AnswerTrustQuestion(d, IDYES);
        const Snapshot s = d.WaitFor("the main window", [](const Snapshot& x) { return x.main_window; });
        d.Expect(s.directory_text == u"C:\\KRDN", "the default install directory C:\\KRDN in its box");
        d.Expect(fs::current_path() == OwnPath().parent_path(), "the working directory is the program's folder");
        d.ClickMain(u"btn_close");
      },
      [](int) { ADD_FAILURE() << "the program ended the process"; });
  EXPECT_EQ(exit_code, 1);
}

}  // namespace
}  // namespace krdn::app::e2e
