// An end-to-end scenario: a published sample client served by the fault server (or by
// nginx), a home folder for the desktop shortcut and the default install directory,
// and the program run on this process's main thread with a driver thread beside it.
//
// A test prepares the files and servers, then Run() starts this test binary again as a
// child process that runs only this test: there the program runs with the script
// beside it, and the program's own ways of ending (the loop's exit code, the process
// ended after the success dialog) become the child's exit code, which the parent
// checks together with what the run left on disk. A failed check in the child ends it
// with Driver::kFailedExitCode and prints what it saw.
//
//   TEST_F(AppScenario, Something) {
//     Prepare([&] { MakeClient(); InstallDamagedCopy(); ServeWithFaultServer(); });
//     Outcome outcome = Run([](Driver& d) { ... });
//     EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
//   }
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/startup.h"
#include "tests/app_e2e/ui_driver.h"
#include "tests/support/local_servers.h"
#include "tests/support/temp_dir.h"
#include "tools/fault-server/fault_server.h"

namespace krdn::app::e2e {

namespace fs = std::filesystem;

using Script = std::function<void(Driver&)>;

struct Outcome {
  int exit_code = -1000;  // the child's exit status; -1 arrives as 255
  std::string output;     // what the child printed
};

class AppScenario : public ::testing::Test {
 protected:
  void SetUp() override;
  // Gives PATH and HOME back before the servers stop: a test that leaves only its
  // stand-ins on the PATH must not leave nginx running for want of the tools to stop it.
  void TearDown() override;

  // A sample client of a few files (several pieces each) with a Windows launcher, and
  // a published tree of it. The install directory starts as a damaged copy.
  void MakeClient(std::uint64_t piece_size = 64 * 1024, const std::string& version = "1.9.3");
  void InstallDamagedCopy();
  // Servers: the fault server (default) or nginx.
  void ServeWithFaultServer();
  void ServeWithNginx();

  // True in the child process that runs the program.
  static bool InChild();
  // Runs `prepare` in the parent only (the child finds everything in place).
  void Prepare(const std::function<void()>& prepare);
  // Prepares a damaged copy served by the fault server with the pieces trickling in at
  // `bytes_per_second`, so that a run is still downloading when the script acts on it.
  void PrepareTricklingRepair(std::size_t bytes_per_second);
  // Parent: runs this test in a child process and answers how it ended. Child: runs
  // the program with the script and ends the process with the program's outcome.
  Outcome Run(const Script& script, const std::u16string& executable_path = {});

  // Lines of the status box (split after each "\r\n").
  static std::vector<std::u16string> Lines(const std::u16string& status);
  // True when the install directory holds exactly the client's files.
  bool InstallMatchesClient() const;
  fs::path LauncherMarker() const { return work_ / "launcher-started"; }
  fs::path Shortcut() const { return home_ / "Desktop/Velmora3.desktop"; }

  [[noreturn]] void RunProgramWith(const Script& script, const std::u16string& executable_path);

  std::unique_ptr<testing::TempDir> temp_;  // the parent's; the child works in it too
  fs::path work_;
  fs::path home_, client_, root_;
  fs::path install_;  // the program's default directory under this HOME
  fs::path bin_;      // first on the PATH: wine and picker stand-ins
  RunSettings settings_;
  std::unique_ptr<fault::FaultServer> fault_server_;
  std::unique_ptr<testing::LocalServers> nginx_;

 private:
  // The variable's value before SetUp (nullopt: unset), put back by TearDown.
  std::optional<std::string> saved_path_, saved_home_;
};

}  // namespace krdn::app::e2e
