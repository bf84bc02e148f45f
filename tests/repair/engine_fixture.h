// An engine test bench: a client folder, a published server tree served by the fault
// server, an install directory, and a window stand-in that records every notification
// and answers the dialogs as the test says.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/utf.h"
#include "repair/local_run_context.h"
#include "repair/repair_worker.h"
#include "tests/support/temp_dir.h"
#include "tools/fault-server/fault_server.h"
#include "tools/publish/publish.h"

namespace krdn::testing {

namespace fs = std::filesystem;

using Note = Notice;
using Kind = Notice::Kind;
inline constexpr RetrySeverity kUnstable = RetrySeverity::kUnstable;
inline constexpr RetrySeverity kNetworkFailure = RetrySeverity::kNetworkFailure;

// The questions of a run, in order: their severities and failure texts.
using Questions = std::vector<std::pair<RetrySeverity, std::u16string>>;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (work / "home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    fs::create_directories(work / "home/Desktop");
    fs::create_directories(install);
    server = std::make_unique<fault::FaultServer>(root);
    settings.version_host = server->url();
    settings.repair_host = server->url();
    settings.second = std::chrono::milliseconds(2);
    settings.stall_timeout = std::chrono::milliseconds(30000);
    settings.trace = [this](std::string_view line) {
      std::lock_guard lock(mutex);
      trace.emplace_back(line);
    };
    settings.on_sleep = [this](int seconds) {
      std::lock_guard lock(mutex);
      sleeps.push_back(seconds);
    };
  }

  void AddClientFile(const std::string& relative, const std::vector<std::uint8_t>& bytes) {
    WriteFile(client / relative, bytes);
  }

  void Publish(const std::string& version = "1.9.3", std::uint16_t mode = 0, std::uint64_t piece_size = 1024) {
    const publish::Outcome outcome =
        publish::Publish({.client = client, .out = root, .version = version, .mode_word = mode, .piece_size = piece_size});
    ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
  }

  // Copies the client into the install directory (the state before any damage).
  void InstallCopy() { fs::copy(client, install, fs::copy_options::recursive | fs::copy_options::overwrite_existing); }

  // Runs the worker to its end on this thread, with the flags a Start sets.
  void RunRepair() {
    context = MakeContext();
    context->Start();
    RepairWorker(*context, settings);
  }

  std::unique_ptr<LocalRunContext> MakeContext() {
    return std::make_unique<LocalRunContext>(platform::Utf8ToUtf16(install.string()),
                                             [this](const Note& note) { return Record(note); });
  }

  RetryAnswer Record(const Note& note) {
    std::function<RetryAnswer(const Note&)> answer_now;
    {
      std::lock_guard lock(mutex);
      notes.push_back(note);
      answer_now = answer;
    }
    return answer_now ? answer_now(note) : RetryAnswer::kGoOn;
  }

  std::vector<Note> NotesOf(Kind kind) const {
    std::lock_guard lock(mutex);
    std::vector<Note> out;
    for (const Note& note : notes) {
      if (note.kind == kind) out.push_back(note);
    }
    return out;
  }

  Questions QuestionsPut() const {
    Questions out;
    for (const Note& note : NotesOf(Kind::kQuestion)) out.emplace_back(note.severity, note.Text());
    return out;
  }

  std::size_t QuestionsOf(RetrySeverity severity) const {
    std::size_t count = 0;
    for (const auto& [put, text] : QuestionsPut()) count += put == severity ? 1 : 0;
    return count;
  }

  // Every appended status text, in order.
  std::vector<std::u16string> Appended() const {
    std::vector<std::u16string> out;
    for (const Note& note : NotesOf(Kind::kStatus)) out.push_back(note.Text());
    return out;
  }

  std::vector<int> ProgressValues() const {
    std::vector<int> out;
    for (const Note& note : NotesOf(Kind::kProgress)) out.push_back(note.percent);
    return out;
  }

  // The final text of the run (of the last end notice), and whether it succeeded.
  std::u16string FinalText() const {
    const auto ends = NotesOf(Kind::kEnded);
    return ends.empty() ? u"<none>" : ends.back().Text();
  }
  bool Succeeded() const { return !NotesOf(Kind::kSucceeded).empty(); }

  // The install directory holds every client file byte for byte.
  void ExpectInstallMatchesClient() const {
    for (const auto& entry : fs::recursive_directory_iterator(client)) {
      if (!entry.is_regular_file()) continue;
      const fs::path relative = fs::relative(entry.path(), client);
      EXPECT_EQ(ReadFile(install / relative), ReadFile(entry.path())) << relative;
    }
  }

  std::vector<std::string> AgentsFor(const std::string& path_prefix) const {
    std::vector<std::string> out;
    for (const auto& request : server->requests()) {
      if (request.path.rfind(path_prefix, 0) == 0) out.push_back(request.user_agent);
    }
    return out;
  }

  TempDir work;
  fs::path client = work / "client";
  fs::path root = work / "root";
  fs::path install = work / "install";
  std::unique_ptr<fault::FaultServer> server;
  RunSettings settings;
  std::unique_ptr<LocalRunContext> context;

  mutable std::mutex mutex;
  std::vector<Note> notes;
  std::vector<std::string> trace;
  std::vector<int> sleeps;
  std::function<RetryAnswer(const Note&)> answer;
};

inline std::u16string U(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }

}  // namespace krdn::testing
