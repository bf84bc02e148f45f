// Start-up: the trust question of an unsigned or altered program, the working
// directory, and a chosen folder that cannot be created.
#include "platform/base/utf.h"
#include "tests/app_e2e/scenario.h"

namespace krdn::app::e2e {
namespace {

// A copy of this (signed) test program: without its signature, or altered after signing.
fs::path CopyOfSelf(const fs::path& dir, bool keep_signature, bool alter) {
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const fs::path copy = dir / "copy" / self.filename();
  fs::create_directories(copy.parent_path());
  fs::copy_file(self, copy, fs::copy_options::overwrite_existing);
  if (keep_signature) fs::copy_file(self.string() + ".sig", copy.string() + ".sig", fs::copy_options::overwrite_existing);
  if (alter) {
    std::vector<std::uint8_t> bytes = testing::ReadFile(copy);
    bytes.push_back(0);
    testing::WriteFile(copy, bytes);
  }
  return copy;
}

TEST_F(AppScenario, AnUnsignedProgramAsksFirstAndNoEndsItWithMinusOne) {
  const std::u16string copy = platform::Utf8ToUtf16((work_ / "copy" / fs::read_symlink("/proc/self/exe").filename()).string());
  Prepare([&] { CopyOfSelf(work_, false, false); });
  Outcome outcome = Run(
      [&](Driver& d) {
        Snapshot asked = d.WaitFor("the trust question", [](const Snapshot& s) { return s.message_box; });
        d.Expect(!asked.main_window, "no main window before the answer");
        d.Expect(d.MessageBoxCaption() == u"Velmora3", "the question's caption");
        d.AnswerMessageBox(IDNO);
      },
      copy);
  EXPECT_EQ(outcome.exit_code, 255) << outcome.output;  // -1
}

TEST_F(AppScenario, AnAlteredProgramAsksFirstAndYesStartsIt) {
  const std::u16string copy = platform::Utf8ToUtf16((work_ / "copy" / fs::read_symlink("/proc/self/exe").filename()).string());
  Prepare([&] { CopyOfSelf(work_, true, true); });
  Outcome outcome = Run(
      [&](Driver& d) {
        d.WaitFor("the trust question", [](const Snapshot& s) { return s.message_box; });
        d.AnswerMessageBox(IDYES);
        d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
        d.ClickMain(u"btn_close");
      },
      copy);
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
}

TEST_F(AppScenario, ASignedProgramStartsWithoutAQuestionInItsOwnFolder) {
  Outcome outcome = Run([&](Driver& d) {
    Snapshot s = d.WaitFor("the main window", [](const Snapshot& x) { return x.main_window; });
    d.Expect(!s.message_box, "no question for a signed program");
    d.Expect(fs::current_path() == fs::read_symlink("/proc/self/exe").parent_path(), "the working directory is the program's folder");
    d.ClickMain(u"btn_quit");
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
}

TEST_F(AppScenario, AFolderThatCannotBeCreatedIsReportedAndNothingStarts) {
  const fs::path missing = work_ / "no/such/parent";
  Prepare([&] {
    testing::WriteFile(bin_ / "zenity", "#!/bin/sh\necho '" + missing.string() + "'\n");
    ::chmod((bin_ / "zenity").c_str(), 0755);
  });
  Outcome outcome = Run([&](Driver& d) {
    d.WaitFor("the main window", [](const Snapshot& s) { return s.main_window; });
    d.ClickMain(u"btn_search");
    d.WaitFor("the chosen folder", [](const Snapshot& s) { return s.chosen_directory.ends_with(u"parent/KRDN"); });
    d.ClickMain(u"btn_start");
    d.WaitFor("the error", [](const Snapshot& s) { return s.message_box; });
    d.Expect(d.MessageBoxCaption() == u"错误", "an error box");
    d.AnswerMessageBox(IDOK);
    Snapshot after = d.WaitFor("the box to close", [](const Snapshot& s) { return !s.message_box; });
    d.Expect(after.workers_started == 0 && after.start_enabled && after.search_enabled, "nothing started");
    d.ClickMain(u"btn_close");
  });
  EXPECT_EQ(outcome.exit_code, 1) << outcome.output;
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace krdn::app::e2e
